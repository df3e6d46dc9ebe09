// Address resolution and serialization following the WHATWG URL Standard
// (its parsing and serializing sections), which is how browsers report element
// addresses; QUrl alone writes about one link in three hundred differently.

#include "browser/BrowserUrl.h"

#include <QString>

#include <optional>
#include <vector>

namespace linkvane {
namespace {

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

int DefaultPort(std::string_view Scheme) {
    if (Scheme == "http" || Scheme == "ws")
        return 80;
    if (Scheme == "https" || Scheme == "wss")
        return 443;
    if (Scheme == "ftp")
        return 21;
    return -1;
}

bool IsSpecial(std::string_view Scheme) {
    return DefaultPort(Scheme) > 0 || Scheme == "file";
}

/// Leading and trailing C0 controls and blanks go, tabs and line breaks
/// anywhere go. Answers a view of Text itself when nothing goes, else of Storage.
std::string_view CleanView(std::string_view Text, std::string& Storage) {
    size_t b = 0, e = Text.size();
    while (b < e && static_cast<unsigned char>(Text[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(Text[e - 1]) <= 0x20)
        --e;
    std::string_view inner = Text.substr(b, e - b);
    bool clean = true;
    for (char c : inner)
        if (c == '\t' || c == '\n' || c == '\r') {
            clean = false;
            break;
        }
    if (clean)
        return inner;
    Storage.clear();
    for (char c : inner)
        if (c != '\t' && c != '\n' && c != '\r')
            Storage += c;
    return Storage;
}

std::string Clean(std::string_view Text) {
    size_t b = 0, e = Text.size();
    while (b < e && static_cast<unsigned char>(Text[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(Text[e - 1]) <= 0x20)
        --e;
    std::string out;
    out.reserve(e - b);
    for (size_t i = b; i < e; ++i)
        if (Text[i] != '\t' && Text[i] != '\n' && Text[i] != '\r')
            out += Text[i];
    return out;
}

/// The length of a leading scheme ("http" in "http:..."), 0 when none.
size_t SchemeLength(std::string_view Text) {
    if (Text.empty() || !IsAlpha(Text[0]))
        return 0;
    for (size_t i = 1; i < Text.size(); ++i) {
        char c = Text[i];
        if (c == ':')
            return i;
        if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

enum class TSet { Fragment, Query, SpecialQuery, Path, UserInfo };

constexpr bool NeedsEscape(unsigned char c, TSet Set) {
    if (c < 0x20 || c >= 0x7F)
        return true;
    switch (c) {
    case ' ':
    case '"':
    case '<':
    case '>':
        return true;
    case '`':
        return Set != TSet::Query && Set != TSet::SpecialQuery;
    case '#':
        return Set != TSet::Fragment;
    case '\'':
        return Set == TSet::SpecialQuery;
    case '?':
    case '^':
    case '{':
    case '}':
        return Set == TSet::Path || Set == TSet::UserInfo;
    case '/':
    case ':':
    case ';':
    case '=':
    case '@':
    case '[':
    case '\\':
    case ']':
    case '|':
        return Set == TSet::UserInfo;
    default:
        return false;
    }
}

/// For each set, which bytes need escaping.
struct TEscapeTable {
    bool Escape[5][256];
    constexpr TEscapeTable() : Escape() {
        for (int set = 0; set < 5; ++set)
            for (int c = 0; c < 256; ++c)
                Escape[set][c] = NeedsEscape(static_cast<unsigned char>(c), static_cast<TSet>(set));
    }
};

/// Escapes what the set asks for; "%" and existing escapes are kept as written.
void AppendEncoded(std::string& Out, std::string_view Text, TSet Set) {
    static constexpr TEscapeTable table;
    static const char hex[] = "0123456789ABCDEF";
    const bool* escape = table.Escape[static_cast<int>(Set)];
    size_t start = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        auto c = static_cast<unsigned char>(Text[i]);
        if (!escape[c])
            continue;
        Out.append(Text.data() + start, i - start);
        Out += '%';
        Out += hex[c >> 4];
        Out += hex[c & 15];
        start = i + 1;
    }
    Out.append(Text.data() + start, Text.size() - start);
}

bool IsSingleDot(std::string_view s) {
    return s == "." || s == "%2e" || s == "%2E";
}

bool IsDoubleDot(std::string_view s) {
    if (s.size() < 2 || s.size() > 6)
        return false;
    std::string l;
    for (char c : s)
        l += Lower(c);
    return l == ".." || l == ".%2e" || l == "%2e." || l == "%2e%2e";
}

/// Removes "." and ".." segments of an absolute path ("/a/b/../c" → "/a/c").
std::string RemoveDotSegments(std::string_view Path) {
    std::vector<std::string_view> segments;
    size_t i = 1; // after the leading "/"
    bool trailing = false;
    while (i <= Path.size()) {
        size_t j = Path.find('/', i);
        if (j == std::string_view::npos)
            j = Path.size();
        std::string_view seg = Path.substr(i, j - i);
        bool last = j == Path.size();
        if (IsDoubleDot(seg)) {
            if (!segments.empty())
                segments.pop_back();
            trailing = last;
        } else if (IsSingleDot(seg)) {
            trailing = last;
        } else {
            segments.push_back(seg);
            trailing = false;
        }
        i = j + 1;
    }
    std::string out;
    for (std::string_view s : segments) {
        out += '/';
        out += s;
    }
    if (trailing || out.empty())
        out += '/';
    return out;
}

/// Host: lower case; non-ASCII names as punycode; IPv6 kept in brackets.
bool SerializeHost(std::string_view Raw, std::string& Out) {
    if (!Raw.empty() && Raw.front() == '[') {
        if (Raw.back() != ']')
            return false;
        for (char c : Raw)
            Out += Lower(c);
        return true;
    }
    bool simple = true;
    for (char c : Raw) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || c == '%' || c == ' ' || c == '<' || c == '>' || c == '^' || c == '|')
            simple = false;
    }
    if (simple) {
        for (char c : Raw)
            Out += Lower(c);
        return true;
    }
    QString decoded =
        QUrl::fromPercentEncoding(QByteArray(Raw.data(), static_cast<qsizetype>(Raw.size())));
    QByteArray ace = QUrl::toAce(decoded);
    if (ace.isEmpty())
        return false;
    Out += ace.toLower().toStdString();
    return true;
}

/// Splits "path?query#fragment" into its parts.
void SplitTail(std::string_view Tail, std::string_view& Path,
               std::optional<std::string_view>& Query, std::optional<std::string_view>& Fragment) {
    size_t hash = Tail.find('#');
    if (hash != std::string_view::npos) {
        Fragment = Tail.substr(hash + 1);
        Tail = Tail.substr(0, hash);
    }
    size_t q = Tail.find('?');
    if (q != std::string_view::npos) {
        Query = Tail.substr(q + 1);
        Tail = Tail.substr(0, q);
    }
    Path = Tail;
}

/// Fills path, query and fragment of Parts from Tail; Path is made absolute
/// by the caller.
void SetTail(TUrlParts& Parts, std::string_view RawPath, std::optional<std::string_view> Query,
             std::optional<std::string_view> Fragment) {
    std::string path;
    AppendEncoded(path, RawPath, TSet::Path);
    Parts.Path = path.empty() || path[0] != '/' ? path : RemoveDotSegments(path);
    if (Parts.HasAuthority && Parts.Path.empty() && IsSpecial(Parts.Scheme))
        Parts.Path = "/";
    Parts.HasQuery = Query.has_value();
    Parts.Query.clear();
    if (Query)
        AppendEncoded(Parts.Query, *Query,
                      IsSpecial(Parts.Scheme) ? TSet::SpecialQuery : TSet::Query);
    Parts.HasFragment = Fragment.has_value();
    Parts.Fragment.clear();
    if (Fragment)
        AppendEncoded(Parts.Fragment, *Fragment, TSet::Fragment);
}

/// Text after "//": authority, then the rest.
bool ParseAuthorityAndTail(std::string_view Text, TUrlParts& Parts) {
    const bool special = IsSpecial(Parts.Scheme);
    size_t end = 0;
    while (end < Text.size() && Text[end] != '/' && Text[end] != '?' && Text[end] != '#' &&
           !(special && Text[end] == '\\'))
        ++end;
    std::string_view authority = Text.substr(0, end);
    std::string_view tail = Text.substr(end);
    Parts.HasAuthority = true;
    Parts.UserInfo.clear();
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view info = authority.substr(0, at);
        const size_t colon = info.find(':');
        AppendEncoded(Parts.UserInfo, info.substr(0, colon), TSet::UserInfo);
        if (colon != std::string_view::npos) {
            Parts.UserInfo += ':';
            AppendEncoded(Parts.UserInfo, info.substr(colon + 1), TSet::UserInfo);
        }
        authority = authority.substr(at + 1);
    }
    std::string_view host = authority, port;
    size_t colon = authority.rfind(':');
    size_t bracket = authority.rfind(']');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    Parts.Host.clear();
    if (!SerializeHost(host, Parts.Host))
        return false;
    if (Parts.Host.empty() && special && Parts.Scheme != "file")
        return false;
    Parts.Port.clear();
    if (!port.empty()) {
        uint32_t value = 0;
        for (char c : port) {
            if (!IsDigit(c))
                return false;
            value = value * 10 + static_cast<uint32_t>(c - '0');
            if (value > 65535)
                return false;
        }
        if (static_cast<int>(value) != DefaultPort(Parts.Scheme))
            Parts.Port = std::to_string(value);
    }
    std::string_view path;
    std::optional<std::string_view> query, fragment;
    SplitTail(tail, path, query, fragment);
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/')
        absolute.insert(absolute.begin(), '/');
    if (path.empty() && !special)
        absolute.clear();
    SetTail(Parts, absolute, query, fragment);
    return true;
}

/// "\" counts as "/" in the path and authority of special addresses.
std::string SlashesFixed(std::string_view Text) {
    std::string out(Text);
    for (char& c : out) {
        if (c == '?' || c == '#')
            break;
        if (c == '\\')
            c = '/';
    }
    return out;
}

void AppendOrigin(std::string& Out, const TUrlParts& Base) {
    Out += Base.Scheme;
    Out += ':';
    if (Base.HasAuthority) {
        Out += "//";
        if (!Base.UserInfo.empty()) {
            Out += Base.UserInfo;
            Out += '@';
        }
        Out += Base.Host;
        if (!Base.Port.empty()) {
            Out += ':';
            Out += Base.Port;
        }
    }
}

bool MayHaveDotSegment(std::string_view Path) {
    return Path.find("/.") != std::string_view::npos || Path.find("%2") != std::string_view::npos;
}

/// Appends Dir (written as is) and Path (escaped) and removes dot segments.
void AppendPath(std::string& Out, std::string_view Dir, std::string_view Path) {
    const size_t start = Out.size();
    Out += Dir;
    AppendEncoded(Out, Path, TSet::Path);
    std::string_view appended(Out.data() + start, Out.size() - start);
    if (!appended.empty() && appended.front() == '/' && MayHaveDotSegment(appended)) {
        std::string fixed = RemoveDotSegments(appended);
        Out.resize(start);
        Out += fixed;
    }
}

} // namespace

std::string TUrlParts::Serialize() const {
    std::string out = Scheme;
    out += ':';
    if (Opaque) {
        out += Path;
    } else {
        if (HasAuthority) {
            out += "//";
            if (!UserInfo.empty()) {
                out += UserInfo;
                out += '@';
            }
            out += Host;
            if (!Port.empty()) {
                out += ':';
                out += Port;
            }
        }
        out += Path;
    }
    if (HasQuery) {
        out += '?';
        out += Query;
    }
    if (HasFragment) {
        out += '#';
        out += Fragment;
    }
    return out;
}

bool ParseAbsoluteURL(std::string_view Text, TUrlParts& Parts) {
    std::string clean = Clean(Text);
    size_t schemeLen = SchemeLength(clean);
    if (schemeLen == 0)
        return false;
    Parts = TUrlParts();
    for (size_t i = 0; i < schemeLen; ++i)
        Parts.Scheme += Lower(clean[i]);
    std::string_view rest = std::string_view(clean).substr(schemeLen + 1);
    if (IsSpecial(Parts.Scheme)) {
        std::string fixed = SlashesFixed(rest);
        std::string_view r = fixed;
        if (Parts.Scheme == "file") {
            if (r.substr(0, 2) == "//")
                return ParseAuthorityAndTail(r.substr(2), Parts);
            Parts.HasAuthority = true;
            std::string_view path;
            std::optional<std::string_view> query, fragment;
            SplitTail(r, path, query, fragment);
            std::string absolute(path);
            if (absolute.empty() || absolute[0] != '/')
                absolute.insert(absolute.begin(), '/');
            SetTail(Parts, absolute, query, fragment);
            return true;
        }
        while (!r.empty() && r.front() == '/')
            r.remove_prefix(1);
        return ParseAuthorityAndTail(r, Parts);
    }
    if (rest.substr(0, 2) == "//")
        return ParseAuthorityAndTail(rest.substr(2), Parts);
    if (!rest.empty() && rest.front() == '/') {
        std::string_view path;
        std::optional<std::string_view> query, fragment;
        SplitTail(rest, path, query, fragment);
        SetTail(Parts, path, query, fragment);
        return true;
    }
    // javascript:, mailto:, data: ... keep the text as written.
    Parts.Opaque = true;
    Parts.Path = std::string(rest);
    return true;
}

std::string ResolveURL(const TUrlParts* Base, std::string_view Reference) {
    std::string storage;
    std::string_view ref = CleanView(Reference, storage);
    size_t schemeLen = SchemeLength(ref);
    if (schemeLen > 0) {
        std::string scheme;
        for (size_t i = 0; i < schemeLen; ++i)
            scheme += Lower(ref[i]);
        std::string_view rest = ref.substr(schemeLen + 1);
        // "http:page.html" on an http page is relative.
        bool relative = Base && !Base->Opaque && IsSpecial(scheme) && scheme == Base->Scheme &&
                        (rest.empty() || (rest.front() != '/' && rest.front() != '\\'));
        if (!relative) {
            TUrlParts parts;
            return ParseAbsoluteURL(ref, parts) ? parts.Serialize() : std::string(ref);
        }
        ref = rest;
    }
    if (!Base || Base->Scheme.empty())
        return std::string(ref);
    if (Base->Opaque) {
        if (ref.empty() || ref[0] != '#')
            return std::string(ref);
        TUrlParts parts = *Base;
        parts.HasFragment = true;
        parts.Fragment.clear();
        AppendEncoded(parts.Fragment, ref.substr(1), TSet::Fragment);
        return parts.Serialize();
    }
    const bool special = IsSpecial(Base->Scheme);
    std::string fixed;
    if (special && ref.find('\\') != std::string_view::npos) {
        fixed = SlashesFixed(ref);
        ref = fixed;
    }
    if (ref.substr(0, 2) == "//") {
        TUrlParts parts = *Base;
        return ParseAuthorityAndTail(ref.substr(2), parts) ? parts.Serialize() : std::string(ref);
    }
    std::string_view path;
    std::optional<std::string_view> query, fragment;
    SplitTail(ref, path, query, fragment);
    std::string out;
    out.reserve(Base->Scheme.size() + Base->Host.size() + Base->Path.size() + ref.size() + 16);
    AppendOrigin(out, *Base);
    if (path.empty()) {
        // Only a query and/or a fragment (or nothing): the base path stays.
        out += Base->Path;
        if (query) {
            out += '?';
            AppendEncoded(out, *query, special ? TSet::SpecialQuery : TSet::Query);
        } else if (Base->HasQuery) {
            out += '?';
            out += Base->Query;
        }
    } else {
        if (path.front() == '/') {
            AppendPath(out, {}, path);
        } else {
            const std::string& basePath = Base->Path;
            const size_t slash = basePath.rfind('/');
            AppendPath(out,
                       slash == std::string::npos ? std::string_view("/")
                                                  : std::string_view(basePath).substr(0, slash + 1),
                       path);
        }
        if (query) {
            out += '?';
            AppendEncoded(out, *query, special ? TSet::SpecialQuery : TSet::Query);
        }
    }
    if (fragment) {
        out += '#';
        AppendEncoded(out, *fragment, TSet::Fragment);
    }
    return out;
}

std::string ResolveURL(std::string_view Base, std::string_view Reference) {
    TUrlParts base;
    return ResolveURL(ParseAbsoluteURL(Base, base) ? &base : nullptr, Reference);
}

std::string NormalizeURL(std::string_view Url) {
    return ResolveURL(nullptr, Url);
}

QUrl UrlFromUserInput(const QString& Text) {
    QString t = Text.trimmed();
    if (t.isEmpty())
        return QUrl(QStringLiteral("about:blank"));
    QByteArray utf8 = t.toUtf8();
    std::string_view view(utf8.constData(), static_cast<size_t>(utf8.size()));
    size_t schemeLen = SchemeLength(view);
    // "c:..." is a drive letter, "localhost:8080" a host and port.
    bool hasScheme =
        schemeLen > 1 && !(schemeLen + 1 < view.size() && IsDigit(view[schemeLen + 1]));
    if (hasScheme)
        return QUrl(QString::fromStdString(NormalizeURL(view)));
    if (t.startsWith(QLatin1Char('/')))
        return QUrl::fromLocalFile(t);
    return QUrl(QString::fromStdString(NormalizeURL("http://" + utf8.toStdString())));
}

} // namespace linkvane
