#pragma once

#include <string>
#include <utility>
#include <vector>

namespace linkvane {

enum class TDBProvider { SQLite, PostgreSQL };

/// Where a query's database is, worked out from its connection string.
struct TDBConnectionInfo {
    TDBProvider Provider = TDBProvider::SQLite;
    /// SQLite: the database file, as a full path.
    std::string FileName;
    /// PostgreSQL: libpq keywords and values, in order (later ones win).
    std::vector<std::pair<std::string, std::string>> PGParams;
    /// PostgreSQL: whether the first "dbname" is a URI to expand.
    bool PGExpandDBName = false;
    /// Equal for two connection strings that reach the same database, so
    /// the queries of one process can share its connection.
    std::string Key;
};

/// The message for a connection string that names no provider we have.
inline constexpr const char* kProviderNotFound =
    "Provider cannot be found. It may not be properly installed.";

/// Resolves a connection string: "FILE NAME=<file>.udl" reads the data link
/// file; "Provider=SQLite;Data Source=<file>" and
/// "Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;Password=..."
/// (or "Data Source=postgresql://...") are taken directly. A relative SQLite
/// file counts from the data link file's folder, or from the current folder
/// for a direct string. An empty string, the Jet string or any other provider
/// raises kProviderNotFound.
TDBConnectionInfo ResolveConnectionString(const std::string& ConnectionString);

/// The connection string held by a data link file: UTF-16 LE (with BOM) or
/// UTF-8 text of an optional "[oledb]" line, comment lines beginning with ";"
/// and one connection string line. Raises an error naming the file when it
/// cannot be read or holds no connection string.
std::string ReadDataLinkFile(const std::string& FileName);

} // namespace linkvane
