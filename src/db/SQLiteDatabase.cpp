// The SQLite provider. All writes of the process to one database file go
// through one connection (so they never wait for each other), grouped into a
// batch that Commit ends. Each open result is read through a read-only
// connection of its own in a read transaction, which in WAL mode is a
// snapshot: the writer commits while results are being walked, and a result
// never sees the rows written after it was opened.

#include "db/DBProvider.h"

#include "support/Exception.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <map>

namespace linkvane {

namespace {

// How long a statement waits for a lock held by another process.
constexpr int kBusyTimeoutMs = 10000;

std::string Quote(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + '"';
}

std::string UpperAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return s;
}

/// The kind of column a declared type stands for (after SQLite's affinity
/// rules, with Boolean and date-time added).
TColumnType TypeOfDeclared(const char* declared) {
    if (!declared) {
        return TColumnType::Unknown;
    }
    const std::string t = UpperAscii(declared);
    const auto has = [&t](const char* part) { return t.find(part) != std::string::npos; };
    if (has("BOOL")) {
        return TColumnType::Boolean;
    }
    if (has("DATE") || has("TIME")) {
        return TColumnType::DateTime;
    }
    if (has("INT")) {
        return TColumnType::Integer;
    }
    if (has("CHAR") || has("CLOB") || has("TEXT")) {
        return TColumnType::Text;
    }
    if (has("REAL") || has("FLOA") || has("DOUB")) {
        return TColumnType::Float;
    }
    if (has("BLOB")) {
        return TColumnType::Blob;
    }
    return TColumnType::Unknown;
}

TDBValue ReadColumn(sqlite3_stmt* stmt, int i, TColumnType type) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER: {
        const int64_t v = sqlite3_column_int64(stmt, i);
        return type == TColumnType::Boolean ? TDBValue::Boolean(v != 0) : TDBValue::Integer(v);
    }
    case SQLITE_FLOAT:
        return TDBValue::Float(sqlite3_column_double(stmt, i));
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const void* data = sqlite3_column_blob(stmt, i);
        const int size = sqlite3_column_bytes(stmt, i);
        return TDBValue::Text(data ? std::string(static_cast<const char*>(data), size)
                                   : std::string());
    }
    default:
        return {};
    }
}

class TSQLiteDatabase;

class TSQLiteCursor final : public TDBCursor {
public:
    TSQLiteCursor(TSQLiteDatabase& db, sqlite3* conn, const std::string& sql);
    ~TSQLiteCursor() override;
    const std::vector<TDBColumn>& Columns() const override { return m_columns; }
    bool Fetch(std::vector<TDBValue>& row) override;
    void Restart() override;
    int64_t Count() override;

private:
    sqlite3_stmt* Prepare() const;

    TSQLiteDatabase& m_db;
    sqlite3* m_conn;
    std::string m_sql;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_done = false;
    std::vector<TDBColumn> m_columns;
};

class TSQLiteDatabase final : public TDBDatabase {
public:
    explicit TSQLiteDatabase(const TDBConnectionInfo& info);
    ~TSQLiteDatabase() override;

    std::unique_ptr<TDBCursor> OpenCursor(const std::string& SQL) override;
    void Insert(const TDBWrite& Write, std::vector<TDBValue>& returned) override;
    int64_t Update(const TDBWrite& Write) override;
    int64_t Execute(const std::string& SQL) override;
    void Commit() override;
    bool InBatch() const override { return !sqlite3_get_autocommit(m_writer); }
    bool StillValid() const override;

    void ReleaseReader(sqlite3* conn);

private:
    sqlite3* OpenConnection(bool readOnly) const;
    sqlite3* AcquireReader();
    void BeginBatch();
    sqlite3_stmt* Statement(const std::string& sql);
    void Bind(sqlite3_stmt* stmt, int index, const TDBValue& value);
    [[noreturn]] void Fail(sqlite3* conn) const;

    std::string m_fileName;
    // The file as opened: a connection kept across a deletion of the file
    // would go on writing into the deleted one.
    dev_t m_device = 0;
    ino_t m_inode = 0;
    sqlite3* m_writer = nullptr;
    std::map<std::string, sqlite3_stmt*> m_statements;
    std::vector<sqlite3*> m_idleReaders;
};

TSQLiteCursor::TSQLiteCursor(TSQLiteDatabase& db, sqlite3* conn, const std::string& sql)
    : m_db(db), m_conn(conn), m_sql(sql) {
    try {
        if (sqlite3_exec(m_conn, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw Exception(sqlite3_errmsg(m_conn));
        }
        m_stmt = Prepare();
        const int n = sqlite3_column_count(m_stmt);
        m_columns.reserve(n);
        for (int i = 0; i < n; ++i) {
            TDBColumn col;
            col.Name = sqlite3_column_name(m_stmt, i);
            const char* table = sqlite3_column_table_name(m_stmt, i);
            const char* origin = sqlite3_column_origin_name(m_stmt, i);
            const char* database = sqlite3_column_database_name(m_stmt, i);
            if (table && origin) {
                col.Table = (database ? Quote(database) + "." : std::string()) + Quote(table);
                col.ColumnName = origin;
                col.Column = Quote(origin);
            }
            col.Type = TypeOfDeclared(sqlite3_column_decltype(m_stmt, i));
            m_columns.push_back(std::move(col));
        }
    } catch (...) {
        sqlite3_finalize(m_stmt);
        sqlite3_exec(m_conn, "ROLLBACK", nullptr, nullptr, nullptr);
        m_db.ReleaseReader(m_conn);
        throw;
    }
}

TSQLiteCursor::~TSQLiteCursor() {
    sqlite3_finalize(m_stmt);
    sqlite3_exec(m_conn, "ROLLBACK", nullptr, nullptr, nullptr);
    m_db.ReleaseReader(m_conn);
}

sqlite3_stmt* TSQLiteCursor::Prepare() const {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(m_conn, m_sql.c_str(), static_cast<int>(m_sql.size() + 1), &stmt,
                           &tail) != SQLITE_OK) {
        throw Exception(sqlite3_errmsg(m_conn));
    }
    if (!stmt) {
        throw Exception("The SQL text is empty");
    }
    if (tail && !StripTrailingSemicolons(tail).empty()) {
        sqlite3_finalize(stmt);
        throw Exception("The SQL text holds more than one statement");
    }
    // Opening runs the statement: anything that would change the database
    // is refused before it is stepped.
    if (sqlite3_column_count(stmt) == 0 || !sqlite3_stmt_readonly(stmt)) {
        sqlite3_finalize(stmt);
        throw Exception(
            FormatMessage("The SQL text is not a query that returns rows: %s", {m_sql}));
    }
    return stmt;
}

bool TSQLiteCursor::Fetch(std::vector<TDBValue>& row) {
    if (m_done) {
        return false;
    }
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) {
        m_done = true;
        return false;
    }
    if (rc != SQLITE_ROW) {
        const std::string message = sqlite3_errmsg(m_conn);
        sqlite3_reset(m_stmt);
        m_done = true;
        throw Exception(message);
    }
    row.resize(m_columns.size());
    for (size_t i = 0; i < m_columns.size(); ++i) {
        row[i] = ReadColumn(m_stmt, static_cast<int>(i), m_columns[i].Type);
    }
    return true;
}

void TSQLiteCursor::Restart() {
    sqlite3_reset(m_stmt);
    m_done = false;
}

int64_t TSQLiteCursor::Count() {
    // A second statement in the same read transaction sees the same rows.
    sqlite3_stmt* stmt = Prepare();
    int64_t count = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++count;
    }
    if (rc != SQLITE_DONE) {
        const std::string message = sqlite3_errmsg(m_conn);
        sqlite3_finalize(stmt);
        throw Exception(message);
    }
    sqlite3_finalize(stmt);
    return count;
}

TSQLiteDatabase::TSQLiteDatabase(const TDBConnectionInfo& info) : m_fileName(info.FileName) {
    m_writer = OpenConnection(false);
    // WAL lets results be read while the writer commits; without it a
    // result being walked would block every commit of the same process.
    sqlite3_stmt* stmt = nullptr;
    std::string mode;
    if (sqlite3_prepare_v2(m_writer, "PRAGMA journal_mode=WAL", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(stmt, 0);
        mode = text ? reinterpret_cast<const char*>(text) : "";
    }
    const std::string error = sqlite3_errmsg(m_writer);
    sqlite3_finalize(stmt);
    if (UpperAscii(mode) != "WAL") {
        sqlite3_close_v2(m_writer);
        throw Exception(FormatMessage("Cannot use the SQLite database '%s' for writing: %s",
                                      {m_fileName, mode.empty() ? error : "journal mode " + mode}));
    }
    // A committed batch survives a power failure, not only a crash.
    sqlite3_exec(m_writer, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    // Room for the upper levels of a large table's indexes (32 MB at most).
    sqlite3_exec(m_writer, "PRAGMA cache_size=-32768", nullptr, nullptr, nullptr);
    struct stat st {};
    if (stat(m_fileName.c_str(), &st) == 0) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
    }
}

bool TSQLiteDatabase::StillValid() const {
    struct stat st {};
    return stat(m_fileName.c_str(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode;
}

TSQLiteDatabase::~TSQLiteDatabase() {
    try {
        Commit();
    } catch (const std::exception& e) {
        ReportUnraisedError("The last writes to '" + m_fileName +
                            "' could not be committed: " + e.what());
    }
    for (auto& [sql, stmt] : m_statements) {
        sqlite3_finalize(stmt);
    }
    for (sqlite3* conn : m_idleReaders) {
        sqlite3_close_v2(conn);
    }
    sqlite3_close_v2(m_writer);
}

sqlite3* TSQLiteDatabase::OpenConnection(bool readOnly) const {
    sqlite3* conn = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(m_fileName.c_str(), &conn, flags, nullptr) != SQLITE_OK) {
        const std::string message = conn ? sqlite3_errmsg(conn) : "out of memory";
        sqlite3_close_v2(conn);
        throw Exception(
            FormatMessage("Cannot open the SQLite database '%s': %s", {m_fileName, message}));
    }
    sqlite3_extended_result_codes(conn, 1);
    sqlite3_busy_timeout(conn, kBusyTimeoutMs);
    return conn;
}

sqlite3* TSQLiteDatabase::AcquireReader() {
    if (!m_idleReaders.empty()) {
        sqlite3* conn = m_idleReaders.back();
        m_idleReaders.pop_back();
        return conn;
    }
    return OpenConnection(true);
}

void TSQLiteDatabase::ReleaseReader(sqlite3* conn) {
    if (sqlite3_get_autocommit(conn)) {
        m_idleReaders.push_back(conn);
    } else {
        sqlite3_close_v2(conn);
    }
}

std::unique_ptr<TDBCursor> TSQLiteDatabase::OpenCursor(const std::string& SQL) {
    return std::make_unique<TSQLiteCursor>(*this, AcquireReader(), SQL);
}

void TSQLiteDatabase::Fail(sqlite3* conn) const {
    throw Exception(sqlite3_errmsg(conn));
}

void TSQLiteDatabase::BeginBatch() {
    if (sqlite3_get_autocommit(m_writer) &&
        sqlite3_exec(m_writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(m_writer);
    }
}

sqlite3_stmt* TSQLiteDatabase::Statement(const std::string& sql) {
    if (auto it = m_statements.find(sql); it != m_statements.end()) {
        return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_writer, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK) {
        Fail(m_writer);
    }
    m_statements.emplace(sql, stmt);
    return stmt;
}

void TSQLiteDatabase::Bind(sqlite3_stmt* stmt, int index, const TDBValue& value) {
    int rc;
    if (value.IsNull()) {
        rc = sqlite3_bind_null(stmt, index);
    } else if (value.IsInteger() || value.IsBoolean()) {
        rc = sqlite3_bind_int64(stmt, index, value.AsInteger());
    } else if (value.IsFloat()) {
        rc = sqlite3_bind_double(stmt, index, value.AsFloat());
    } else {
        // Text, and date-times as text in the form "yyyy/mm/dd hh:mm:ss".
        const std::string text = value.AsString();
        rc = sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    }
    if (rc != SQLITE_OK) {
        Fail(m_writer);
    }
}

void TSQLiteDatabase::Insert(const TDBWrite& Write, std::vector<TDBValue>& returned) {
    std::string sql = "INSERT INTO " + Write.Table;
    if (Write.Columns.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        std::string names;
        std::string marks;
        for (const TDBColumn* col : Write.Columns) {
            names += (names.empty() ? "" : ",") + col->Column;
            marks += marks.empty() ? "?" : ",?";
        }
        sql += " (" + names + ") VALUES (" + marks + ")";
    }
    std::string returning;
    for (const TDBColumn* col : Write.Returning) {
        returning += (returning.empty() ? "" : ",") + col->Column;
    }
    if (!returning.empty()) {
        sql += " RETURNING " + returning;
    }
    BeginBatch();
    sqlite3_stmt* stmt = Statement(sql);
    sqlite3_reset(stmt);
    for (size_t i = 0; i < Write.Values.size(); ++i) {
        Bind(stmt, static_cast<int>(i + 1), *Write.Values[i]);
    }
    returned.assign(Write.Returning.size(), TDBValue());
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (size_t i = 0; i < Write.Returning.size(); ++i) {
            returned[i] = ReadColumn(stmt, static_cast<int>(i), Write.Returning[i]->Type);
        }
    }
    if (rc != SQLITE_DONE) {
        // Only this statement is undone; the batch goes on.
        const std::string message = sqlite3_errmsg(m_writer);
        sqlite3_reset(stmt);
        throw Exception(message);
    }
    sqlite3_reset(stmt);
}

int64_t TSQLiteDatabase::Update(const TDBWrite& Write) {
    std::string sql = "UPDATE " + Write.Table + " SET ";
    for (size_t i = 0; i < Write.Columns.size(); ++i) {
        sql += (i ? "," : "") + Write.Columns[i]->Column + "=?";
    }
    sql += " WHERE " + Write.KeyColumn->Column + "=?";
    BeginBatch();
    sqlite3_stmt* stmt = Statement(sql);
    sqlite3_reset(stmt);
    for (size_t i = 0; i < Write.Values.size(); ++i) {
        Bind(stmt, static_cast<int>(i + 1), *Write.Values[i]);
    }
    Bind(stmt, static_cast<int>(Write.Values.size() + 1), *Write.KeyValue);
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        const std::string message = sqlite3_errmsg(m_writer);
        sqlite3_reset(stmt);
        throw Exception(message);
    }
    sqlite3_reset(stmt);
    return sqlite3_changes64(m_writer);
}

int64_t TSQLiteDatabase::Execute(const std::string& SQL) {
    Commit();
    const int64_t before = sqlite3_total_changes64(m_writer);
    if (sqlite3_exec(m_writer, SQL.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(m_writer);
        if (!sqlite3_get_autocommit(m_writer)) {
            sqlite3_exec(m_writer, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        throw Exception(message);
    }
    // A transaction that the SQL text began and left open ends here.
    Commit();
    return sqlite3_total_changes64(m_writer) - before;
}

void TSQLiteDatabase::Commit() {
    if (sqlite3_get_autocommit(m_writer)) {
        return;
    }
    if (sqlite3_exec(m_writer, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw Exception(FormatMessage("Cannot commit the writes to '%s': %s",
                                      {m_fileName, sqlite3_errmsg(m_writer)}));
    }
}

} // namespace

std::unique_ptr<TDBDatabase> OpenSQLiteDatabase(const TDBConnectionInfo& Info) {
    return std::make_unique<TSQLiteDatabase>(Info);
}

} // namespace linkvane
