#include "db/DBConnectionString.h"
#include "support/Exception.h"
#include "support/PathTools.h"
#include "support/TextTrim.h"

#include <QFile>
#include <QStringDecoder>

#include <filesystem>
#include <system_error>

namespace linkvane {

namespace {

// A data link file is a few lines; anything much larger is not one.
constexpr qint64 kMaxDataLinkFileSize = 64 * 1024;

/// "User ID", "UserID" and "user id" are one keyword.
std::string KeywordOf(const std::string& key) {
    std::string out;
    for (char c : LowerAscii(key)) {
        if (c != ' ' && c != '\t') {
            out += c;
        }
    }
    return out;
}

struct TPair {
    std::string Keyword; // normalized
    std::string Name;    // as written
    std::string Value;
};

/// Splits "key=value;key=value". A value may be put in double or single
/// quotes (a doubled quote inside stands for one) so that it can hold ";".
std::vector<TPair> SplitPairs(const std::string& s) {
    std::vector<TPair> pairs;
    size_t p = 0;
    while (p < s.size()) {
        const size_t eq = s.find('=', p);
        const size_t semi = s.find(';', p);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            const std::string rest =
                TrimText(s.substr(p, semi == std::string::npos ? std::string::npos : semi - p));
            if (!rest.empty()) {
                throw Exception(
                    FormatMessage("Missing \"=\" after '%s' in the connection string", {rest}));
            }
            if (semi == std::string::npos) {
                break;
            }
            p = semi + 1;
            continue;
        }
        TPair pair;
        pair.Name = TrimText(s.substr(p, eq - p));
        pair.Keyword = KeywordOf(pair.Name);
        p = eq + 1;
        while (p < s.size() && (s[p] == ' ' || s[p] == '\t')) {
            ++p;
        }
        if (p < s.size() && (s[p] == '"' || s[p] == '\'')) {
            const char quote = s[p++];
            bool closed = false;
            while (p < s.size()) {
                if (s[p] == quote) {
                    if (p + 1 < s.size() && s[p + 1] == quote) {
                        pair.Value += quote;
                        p += 2;
                        continue;
                    }
                    ++p;
                    closed = true;
                    break;
                }
                pair.Value += s[p++];
            }
            if (!closed) {
                throw Exception(FormatMessage(
                    "Unclosed quote in the value of '%s' in the connection string", {pair.Name}));
            }
            const size_t next = s.find(';', p);
            if (!TrimText(s.substr(p, next == std::string::npos ? std::string::npos : next - p))
                     .empty()) {
                throw Exception(FormatMessage(
                    "Text after the quoted value of '%s' in the connection string", {pair.Name}));
            }
            p = next == std::string::npos ? s.size() : next + 1;
        } else {
            const size_t next = s.find(';', p);
            pair.Value =
                TrimText(s.substr(p, next == std::string::npos ? std::string::npos : next - p));
            p = next == std::string::npos ? s.size() : next + 1;
        }
        if (!pair.Keyword.empty()) {
            pairs.push_back(std::move(pair));
        }
    }
    return pairs;
}

const TPair* Find(const std::vector<TPair>& pairs, const std::string& keyword) {
    for (const TPair& p : pairs) {
        if (p.Keyword == keyword) {
            return &p;
        }
    }
    return nullptr;
}

/// Keywords a data link file may carry that say nothing about the database.
bool IsIgnorable(const std::string& keyword) {
    return keyword == "provider" || keyword == "persistsecurityinfo";
}

[[noreturn]] void UnknownKeyword(const TPair& pair) {
    throw Exception(FormatMessage("Unknown keyword '%s' in the connection string", {pair.Name}));
}

TDBConnectionInfo SQLiteInfo(const std::vector<TPair>& pairs, const std::string& referenceFile) {
    TDBConnectionInfo info;
    info.Provider = TDBProvider::SQLite;
    for (const TPair& p : pairs) {
        if (p.Keyword == "datasource") {
            info.FileName = p.Value;
        } else if (!IsIgnorable(p.Keyword)) {
            UnknownKeyword(p);
        }
    }
    if (info.FileName.empty()) {
        throw Exception("The connection string names no SQLite database file (Data Source)");
    }
    info.FileName = ExpandRelativePath(referenceFile, info.FileName);
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(info.FileName, ec);
    info.Key = "sqlite:" + (ec ? info.FileName : canonical.string());
    return info;
}

bool IsPGUri(const std::string& value) {
    const std::string v = LowerAscii(value);
    return v.rfind("postgresql://", 0) == 0 || v.rfind("postgres://", 0) == 0;
}

TDBConnectionInfo PGInfo(const std::vector<TPair>& pairs) {
    TDBConnectionInfo info;
    info.Provider = TDBProvider::PostgreSQL;
    // The URI goes first so that the keywords written beside it override it.
    if (const TPair* ds = Find(pairs, "datasource"); ds && IsPGUri(ds->Value)) {
        info.PGParams.emplace_back("dbname", ds->Value);
        info.PGExpandDBName = true;
    }
    info.PGParams.emplace_back("connect_timeout", "10");
    for (const TPair& p : pairs) {
        const std::string& k = p.Keyword;
        if (k == "datasource") {
            if (!IsPGUri(p.Value)) {
                info.PGParams.emplace_back("host", p.Value);
            }
        } else if (k == "host" || k == "server") {
            info.PGParams.emplace_back("host", p.Value);
        } else if (k == "port") {
            info.PGParams.emplace_back("port", p.Value);
        } else if (k == "database" || k == "initialcatalog") {
            info.PGParams.emplace_back("dbname", p.Value);
        } else if (k == "userid" || k == "user" || k == "uid" || k == "username") {
            info.PGParams.emplace_back("user", p.Value);
        } else if (k == "password" || k == "pwd") {
            info.PGParams.emplace_back("password", p.Value);
        } else if (k == "sslmode") {
            info.PGParams.emplace_back("sslmode", p.Value);
        } else if (k == "connecttimeout" || k == "timeout") {
            info.PGParams.emplace_back("connect_timeout", p.Value);
        } else if (!IsIgnorable(k)) {
            UnknownKeyword(p);
        }
    }
    // Values travel as UTF-8 whatever the server's default is.
    info.PGParams.emplace_back("client_encoding", "UTF8");
    info.PGParams.emplace_back("application_name", "linkvane");
    info.Key = "postgresql:" + std::string(info.PGExpandDBName ? "uri" : "kv");
    for (const auto& [k, v] : info.PGParams) {
        info.Key += '\n' + k + '=' + v;
    }
    return info;
}

TDBConnectionInfo ResolvePairs(const std::string& connectionString,
                               const std::string& referenceFile) {
    const std::vector<TPair> pairs = SplitPairs(connectionString);
    const TPair* provider = Find(pairs, "provider");
    const std::string name = provider ? LowerAscii(provider->Value) : std::string();
    if (name == "sqlite" || name == "sqlite3") {
        return SQLiteInfo(pairs, referenceFile);
    }
    if (name == "postgresql" || name == "postgres" || name == "pgsql") {
        return PGInfo(pairs);
    }
    throw Exception(kProviderNotFound);
}

} // namespace

std::string ReadDataLinkFile(const std::string& FileName) {
    QFile file(QString::fromStdString(FileName));
    if (!file.open(QIODevice::ReadOnly)) {
        throw Exception(FormatMessage("Cannot open the data link file '%s': %s",
                                      {FileName, file.errorString().toStdString()}));
    }
    if (file.size() > kMaxDataLinkFileSize) {
        throw Exception(FormatMessage("'%s' is not a data link file (too large)", {FileName}));
    }
    const QByteArray bytes = file.readAll();
    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        text = QStringDecoder(QStringConverter::Utf16LE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        text = QStringDecoder(QStringConverter::Utf16BE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
        // UTF-16 LE written without its BOM.
        text = QStringDecoder(QStringConverter::Utf16LE).decode(bytes);
    } else {
        text = QString::fromUtf8(bytes);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.compare(QStringLiteral("[oledb]"), Qt::CaseInsensitive) == 0) {
            continue;
        }
        return line.toStdString();
    }
    throw Exception(
        FormatMessage("The data link file '%s' holds no connection string", {FileName}));
}

TDBConnectionInfo ResolveConnectionString(const std::string& ConnectionString) {
    const std::string s = TrimText(ConnectionString);
    // "FILE NAME=" + the name, as made for a connection file. The rest is
    // taken whole, so a name holding ";" still works.
    static const std::string kFileName = "file name=";
    if (LowerAscii(s.substr(0, kFileName.size())) == kFileName) {
        std::string name = TrimText(s.substr(kFileName.size()));
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
            name.back() == name.front()) {
            name = name.substr(1, name.size() - 2);
        }
        std::error_code ec;
        if (!name.empty() && name.back() == ';' && !std::filesystem::exists(name, ec)) {
            name.pop_back();
        }
        const std::string inner = ReadDataLinkFile(name);
        if (LowerAscii(TrimText(inner)).rfind(kFileName, 0) == 0) {
            throw Exception(
                FormatMessage("The data link file '%s' names another data link file", {name}));
        }
        return ResolvePairs(inner, name);
    }
    if (s.empty()) {
        throw Exception(kProviderNotFound);
    }
    return ResolvePairs(s, std::string());
}

} // namespace linkvane
