#pragma once

#include <QUrl>

#include <string>
#include <string_view>

namespace linkvane {

/// An absolute address split as the WHATWG URL standard does, each part
/// already percent-encoded as browsers write it.
struct TUrlParts {
    std::string Scheme; ///< lower case, without ':'
    bool HasAuthority = false;
    std::string UserInfo; ///< without '@'
    std::string Host;
    std::string Port; ///< empty for the scheme's default port
    std::string Path; ///< for an opaque address the text after ':' as written
    bool Opaque = false;
    bool HasQuery = false;
    std::string Query; ///< without '?'
    bool HasFragment = false;
    std::string Fragment; ///< without '#'

    std::string Serialize() const;
};

/// Parses an absolute address; false when Text has no scheme or is malformed.
bool ParseAbsoluteURL(std::string_view Text, TUrlParts& Parts);

/// Resolves an attribute's address against Base and writes it as browsers
/// do: tabs and line breaks are removed and leading and trailing blanks
/// dropped; "\" is "/" in http(s), ftp, ws(s) and file addresses; dot
/// segments are removed; an empty path of an http(s) address is "/"; default
/// ports are dropped; percent escapes keep their case; blanks, quotes, "<",
/// ">" and non-ASCII are escaped (UTF-8), and "'" too in the query of those
/// schemes; the text after a scheme without "//" (javascript:, mailto:) is
/// kept as written. An empty reference answers Base without its fragment.
/// A reference that cannot be resolved is answered as written (trimmed).
std::string ResolveURL(const TUrlParts* Base, std::string_view Reference);
std::string ResolveURL(std::string_view Base, std::string_view Reference);

/// An absolute address as a browser writes it; other text trimmed.
std::string NormalizeURL(std::string_view Url);

/// The address a browser's address bar makes of typed text: with a scheme
/// as it is, a path as file:, anything else as http:. Empty text is about:blank.
QUrl UrlFromUserInput(const QString& Text);

} // namespace linkvane
