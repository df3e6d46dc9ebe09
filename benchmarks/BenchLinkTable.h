#pragma once
// SQLite link tables the benchmarks share: made from the shipped SQL in a
// temporary folder that goes at exit, optionally filled with a million rows.

#include "db/TDBQuery.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace linkvane::bench {

inline std::string ReadSourceFile(const std::string& name) {
    const std::string path = std::string(LINKVANE_SOURCE_DIR) + "/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

/// A folder for the databases, removed at exit.
inline const std::string& WorkDir() {
    struct TWorkDir {
        TWorkDir() {
            path = (std::filesystem::temp_directory_path() / "linkvane-bench-XXXXXX").string();
            if (!mkdtemp(path.data())) {
                throw std::runtime_error("mkdtemp failed");
            }
        }
        ~TWorkDir() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
        std::string path;
    };
    static const TWorkDir dir;
    return dir.path;
}

inline void ExecSQL(const std::string& connection, const std::string& sql) {
    TDBQuery q;
    q.ConnectionString = connection;
    q.SQL = sql;
    q.ExecSQL();
}

/// The connection string of a link table holding `rows` link-like rows. Each
/// kind is made once; with `fresh` a new one is made for every call.
inline std::string LinkTableDatabase(int64_t rows, bool unique, bool fresh) {
    static std::map<std::string, std::string> made;
    static int freshCount = 0;
    std::string name = "links_" + std::to_string(rows) + (unique ? "_unique" : "");
    if (fresh) {
        name += "_" + std::to_string(++freshCount);
    }
    if (auto it = made.find(name); it != made.end()) {
        return it->second;
    }
    const std::string file = WorkDir() + "/" + name + ".db";
    const std::string connection = "Provider=SQLite;Data Source=" + file;
    ExecSQL(connection, ReadSourceFile("data/examples/links-sqlite.sql"));
    if (unique) {
        ExecSQL(connection, ReadSourceFile("data/examples/links-unique.sql"));
    }
    if (rows > 0) {
        ExecSQL(connection,
                "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
                    std::to_string(rows) +
                    ") INSERT INTO Links (LinkURL, LinkText, PageLevel, ParentID, Processed, "
                    "ExtractTime, ExtraData) SELECT 'https://www.example.org/section-' || (x % 97) "
                    "|| '/article-' || x || '.html?ref=list&page=' || (x % 13), 'Article number ' "
                    "|| x || ' of the example site', x % 6, x / 20, x % 3 <> 0, "
                    "'2026/01/02 03:04:05', CASE WHEN x % 4 = 0 THEN 'extra ' || x END FROM n");
    }
    // What making the table left in the log and in the system's cache is
    // written out now, not in the first timed commit.
    ExecSQL(connection, "PRAGMA wal_checkpoint(TRUNCATE)");
    sync();
    made[name] = connection;
    return connection;
}

} // namespace linkvane::bench
