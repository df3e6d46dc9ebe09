#include "db/DBValue.h"
#include "support/Exception.h"
#include "support/TextTrim.h"

#include <charconv>
#include <cmath>

namespace linkvane {

namespace {

bool ParseInt(const std::string& text, int64_t& out) {
    const std::string t = TrimText(text);
    const char* b = t.data();
    const char* e = b + t.size();
    if (b != e && *b == '+') {
        ++b;
    }
    const auto r = std::from_chars(b, e, out);
    return b != e && r.ec == std::errc() && r.ptr == e;
}

bool ParseFloat(const std::string& text, double& out) {
    const std::string t = TrimText(text);
    const char* b = t.data();
    const char* e = b + t.size();
    if (b != e && *b == '+') {
        ++b;
    }
    const auto r = std::from_chars(b, e, out);
    return b != e && r.ec == std::errc() && r.ptr == e;
}

/// Reads exactly `count` digits at pos.
bool Digits(const std::string& s, size_t& pos, size_t count, int& out) {
    if (pos + count > s.size()) {
        return false;
    }
    int v = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + (c - '0');
    }
    pos += count;
    out = v;
    return true;
}

} // namespace

TDBValue TDBValue::DateTime(const QDateTime& v) {
    if (!v.isValid()) {
        return TDBValue();
    }
    return TDBValue(Variant(v.toLocalTime()));
}

std::string DateTimeToText(const QDateTime& value) {
    return value.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toStdString();
}

QDateTime TextToDateTime(const std::string& text) {
    const std::string s = TrimText(text);
    size_t p = 0;
    int year = 0;
    int month = 0;
    int day = 0;
    if (!Digits(s, p, 4, year) || p >= s.size() || (s[p] != '-' && s[p] != '/')) {
        return {};
    }
    const char sep = s[p++];
    if (!Digits(s, p, 2, month) || p >= s.size() || s[p] != sep) {
        return {};
    }
    ++p;
    if (!Digits(s, p, 2, day)) {
        return {};
    }
    const QDate date(year, month, day);
    if (!date.isValid()) {
        return {};
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
    if (p < s.size() && (s[p] == ' ' || s[p] == 'T')) {
        ++p;
        if (!Digits(s, p, 2, hour) || p >= s.size() || s[p] != ':') {
            return {};
        }
        ++p;
        if (!Digits(s, p, 2, minute)) {
            return {};
        }
        if (p < s.size() && s[p] == ':') {
            ++p;
            if (!Digits(s, p, 2, second)) {
                return {};
            }
            if (p < s.size() && (s[p] == '.' || s[p] == ',')) {
                ++p;
                int scale = 100;
                const size_t start = p;
                while (p < s.size() && s[p] >= '0' && s[p] <= '9') {
                    msec += (s[p] - '0') * scale;
                    scale /= 10;
                    ++p;
                }
                if (p == start) {
                    return {};
                }
            }
        }
    }
    const QTime time(hour, minute, second, msec);
    if (!time.isValid()) {
        return {};
    }
    if (p == s.size()) {
        return QDateTime(date, time);
    }
    // An offset: "Z", "+hh", "+hh:mm" or "+hhmm".
    int offset = 0;
    if (s[p] == 'Z' || s[p] == 'z') {
        ++p;
    } else if (s[p] == '+' || s[p] == '-') {
        const int sign = s[p] == '-' ? -1 : 1;
        ++p;
        int oh = 0;
        int om = 0;
        if (!Digits(s, p, 2, oh)) {
            return {};
        }
        if (p < s.size() && s[p] == ':') {
            ++p;
        }
        if (p < s.size() && !Digits(s, p, 2, om)) {
            return {};
        }
        offset = sign * (oh * 3600 + om * 60);
    } else {
        return {};
    }
    if (p != s.size()) {
        return {};
    }
    return QDateTime(date, time, Qt::OffsetFromUTC, offset).toLocalTime();
}

std::string TDBValue::AsString() const {
    if (const auto* t = std::get_if<std::string>(&m_v)) {
        return *t;
    }
    if (const auto* i = std::get_if<int64_t>(&m_v)) {
        return std::to_string(*i);
    }
    if (const auto* d = std::get_if<double>(&m_v)) {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, r.ptr);
    }
    if (const auto* b = std::get_if<bool>(&m_v)) {
        return *b ? "True" : "False";
    }
    if (const auto* dt = std::get_if<QDateTime>(&m_v)) {
        return DateTimeToText(*dt);
    }
    return {};
}

int64_t TDBValue::AsInteger() const {
    if (const auto* i = std::get_if<int64_t>(&m_v)) {
        return *i;
    }
    if (const auto* b = std::get_if<bool>(&m_v)) {
        return *b ? 1 : 0;
    }
    if (const auto* d = std::get_if<double>(&m_v)) {
        if (std::isfinite(*d) && std::fabs(*d) < 9.2e18) {
            return std::llround(*d);
        }
    } else if (const auto* t = std::get_if<std::string>(&m_v)) {
        int64_t v = 0;
        if (ParseInt(*t, v)) {
            return v;
        }
    } else if (IsNull()) {
        return 0;
    }
    throw Exception(FormatMessage("'%s' is not a valid integer value", {AsString()}));
}

double TDBValue::AsFloat() const {
    if (const auto* d = std::get_if<double>(&m_v)) {
        return *d;
    }
    if (const auto* i = std::get_if<int64_t>(&m_v)) {
        return static_cast<double>(*i);
    }
    if (const auto* b = std::get_if<bool>(&m_v)) {
        return *b ? 1.0 : 0.0;
    }
    if (const auto* t = std::get_if<std::string>(&m_v)) {
        double v = 0;
        if (ParseFloat(*t, v)) {
            return v;
        }
    } else if (IsNull()) {
        return 0;
    }
    throw Exception(FormatMessage("'%s' is not a valid floating point value", {AsString()}));
}

bool TDBValue::AsBoolean() const {
    if (const auto* b = std::get_if<bool>(&m_v)) {
        return *b;
    }
    if (const auto* i = std::get_if<int64_t>(&m_v)) {
        return *i != 0;
    }
    if (const auto* d = std::get_if<double>(&m_v)) {
        return *d != 0;
    }
    if (const auto* t = std::get_if<std::string>(&m_v)) {
        const std::string v = LowerAscii(TrimText(*t));
        if (v == "true" || v == "t" || v == "yes" || v == "y" || v == "on") {
            return true;
        }
        if (v.empty() || v == "false" || v == "f" || v == "no" || v == "n" || v == "off") {
            return false;
        }
        double number = 0;
        if (ParseFloat(v, number)) {
            return number != 0;
        }
    } else if (IsNull()) {
        return false;
    }
    throw Exception(FormatMessage("'%s' is not a valid boolean value", {AsString()}));
}

QDateTime TDBValue::AsDateTime() const {
    if (const auto* dt = std::get_if<QDateTime>(&m_v)) {
        return *dt;
    }
    if (IsNull()) {
        return {};
    }
    if (const auto* t = std::get_if<std::string>(&m_v)) {
        QDateTime v = TextToDateTime(*t);
        if (v.isValid()) {
            return v;
        }
    }
    throw Exception(FormatMessage("'%s' is not a valid date and time", {AsString()}));
}

} // namespace linkvane
