#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string>
#include <variant>

namespace linkvane {

/// What a result column holds, as far as writing a value into it goes.
enum class TColumnType { Unknown, Text, Integer, Float, Boolean, Date, DateTime, DateTimeTZ, Blob };

/// One value of a row: nothing (NULL), a whole number, a floating-point
/// number, text (UTF-8; also the bytes of a blob), a Boolean or a local
/// date-time. Values are converted on reading (As...), never on storing, so a
/// provider can write each kind the way its column wants it.
class TDBValue {
public:
    TDBValue() = default;
    static TDBValue Integer(int64_t v) { return TDBValue(Variant(v)); }
    static TDBValue Float(double v) { return TDBValue(Variant(v)); }
    static TDBValue Text(std::string v) { return TDBValue(Variant(std::move(v))); }
    static TDBValue Boolean(bool v) { return TDBValue(Variant(v)); }
    static TDBValue DateTime(const QDateTime& v);

    bool IsNull() const { return std::holds_alternative<std::monostate>(m_v); }
    bool IsInteger() const { return std::holds_alternative<int64_t>(m_v); }
    bool IsFloat() const { return std::holds_alternative<double>(m_v); }
    bool IsText() const { return std::holds_alternative<std::string>(m_v); }
    bool IsBoolean() const { return std::holds_alternative<bool>(m_v); }
    bool IsDateTime() const { return std::holds_alternative<QDateTime>(m_v); }

    /// NULL gives "", a Boolean "True"/"False", a date-time
    /// "yyyy/mm/dd hh:mm:ss".
    std::string AsString() const;
    /// Raises "'%s' is not a valid integer value" for text that is no number.
    int64_t AsInteger() const;
    double AsFloat() const;
    /// Numbers are true when not 0; text accepts true/false, t/f, yes/no,
    /// on/off and numbers (any case).
    bool AsBoolean() const;
    /// NULL gives an invalid QDateTime. Text is read in the forms
    /// "yyyy/mm/dd hh:mm:ss" and ISO 8601 (with "-", optional "T", fraction
    /// and offset); a value with an offset is turned into local time.
    QDateTime AsDateTime() const;

    bool operator==(const TDBValue& other) const = default;

private:
    using Variant = std::variant<std::monostate, int64_t, double, std::string, bool, QDateTime>;
    explicit TDBValue(Variant v) : m_v(std::move(v)) {}
    Variant m_v;
};

/// Local time as "yyyy/mm/dd hh:mm:ss", the form date-times take in text.
std::string DateTimeToText(const QDateTime& value);

/// Reads a date-time in the forms TDBValue::AsDateTime accepts; an invalid
/// QDateTime when the text is none of them.
QDateTime TextToDateTime(const std::string& text);

} // namespace linkvane
