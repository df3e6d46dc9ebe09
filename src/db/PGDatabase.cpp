// The PostgreSQL provider. As with SQLite, all writes of the process to one
// database go through one connection, in a batch (a transaction) that Commit
// ends; each write runs under a savepoint, so a failed one (a duplicate
// address, say) is undone alone and the batch goes on. Each open result is
// read through a connection of its own: a cursor in a read-only repeatable-
// read transaction, fetched in blocks, so opening a query over a large table
// reads one row and the result is a snapshot that the writer's commits do not
// disturb.

#include "db/DBProvider.h"

#include "support/Exception.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace linkvane {

namespace {

// Rows fetched at a time once the first row has been read.
constexpr int kFetchBlock = 256;

// Type OIDs of the built-in types (pg_type.h).
constexpr Oid kBoolOid = 16;
constexpr Oid kByteaOid = 17;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kOidOid = 26;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kDateOid = 1082;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kTimestampTZOid = 1184;
constexpr Oid kNumericOid = 1700;
constexpr Oid kTextOid = 25;
constexpr Oid kVarcharOid = 1043;
constexpr Oid kBpcharOid = 1042;

TColumnType TypeOfOid(Oid oid) {
    switch (oid) {
    case kBoolOid:
        return TColumnType::Boolean;
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid:
        return TColumnType::Integer;
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid:
        return TColumnType::Float;
    case kDateOid:
        return TColumnType::Date;
    case kTimestampOid:
        return TColumnType::DateTime;
    case kTimestampTZOid:
        return TColumnType::DateTimeTZ;
    case kTextOid:
    case kVarcharOid:
    case kBpcharOid:
        return TColumnType::Text;
    case kByteaOid:
        return TColumnType::Blob;
    default:
        return TColumnType::Unknown;
    }
}

/// A value in PostgreSQL's text form, read as the column's kind.
TDBValue Decode(const char* text, int length, TColumnType type) {
    const std::string s(text, length);
    switch (type) {
    case TColumnType::Boolean:
        return TDBValue::Boolean(s == "t" || s == "true");
    case TColumnType::Integer: {
        int64_t v = 0;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        if (r.ec == std::errc() && r.ptr == s.data() + s.size()) {
            return TDBValue::Integer(v);
        }
        break;
    }
    case TColumnType::Float: {
        double v = 0;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        if (r.ec == std::errc() && r.ptr == s.data() + s.size()) {
            return TDBValue::Float(v);
        }
        break;
    }
    case TColumnType::Date:
    case TColumnType::DateTime:
    case TColumnType::DateTimeTZ: {
        // "infinity" and dates before Christ stay text.
        const QDateTime v = TextToDateTime(s);
        if (v.isValid()) {
            return TDBValue::DateTime(v);
        }
        break;
    }
    default:
        break;
    }
    return TDBValue::Text(s);
}

/// A value in the text form the column's type reads. Null for NULL.
bool Encode(const TDBValue& value, TColumnType type, std::string& out) {
    if (value.IsNull()) {
        return false;
    }
    const bool numeric = type == TColumnType::Integer || type == TColumnType::Float;
    if (value.IsBoolean()) {
        out = numeric ? (value.AsBoolean() ? "1" : "0") : (value.AsBoolean() ? "true" : "false");
    } else if (value.IsInteger() && type == TColumnType::Boolean) {
        out = value.AsInteger() != 0 ? "true" : "false";
    } else if (value.IsDateTime()) {
        const QDateTime dt = value.AsDateTime();
        switch (type) {
        case TColumnType::Date:
            out = dt.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
            break;
        case TColumnType::DateTime:
            out = dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toStdString();
            break;
        case TColumnType::DateTimeTZ: {
            const int offset = dt.offsetFromUtc();
            const int minutes = std::abs(offset) / 60;
            char zone[16];
            std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                          minutes % 60);
            out = dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toStdString() + zone;
            break;
        }
        default:
            out = DateTimeToText(dt);
            break;
        }
    } else {
        out = value.AsString();
    }
    return true;
}

std::string TrimmedMessage(const char* message) {
    std::string s = message ? message : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

struct TResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using TResult = std::unique_ptr<PGresult, TResultDeleter>;

bool Succeeded(const PGresult* r) {
    const ExecStatusType status = PQresultStatus(r);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::string ErrorOf(PGconn* conn, const PGresult* r) {
    std::string message = TrimmedMessage(r ? PQresultErrorMessage(r) : nullptr);
    if (message.empty()) {
        message = TrimmedMessage(PQerrorMessage(conn));
    }
    // libpq puts "ERROR:  " before the server's text.
    for (const char* prefix : {"ERROR:  ", "FATAL:  "}) {
        if (message.rfind(prefix, 0) == 0) {
            message.erase(0, std::char_traits<char>::length(prefix));
        }
    }
    return message;
}

TResult Exec(PGconn* conn, const std::string& sql) {
    TResult r(PQexec(conn, sql.c_str()));
    if (!Succeeded(r.get())) {
        throw Exception(ErrorOf(conn, r.get()));
    }
    return r;
}

TResult ExecParams(PGconn* conn, const std::string& sql, const std::vector<std::string>& params) {
    std::vector<const char*> values;
    for (const std::string& p : params) {
        values.push_back(p.c_str());
    }
    TResult r(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                           values.data(), nullptr, nullptr, 0));
    if (!Succeeded(r.get())) {
        throw Exception(ErrorOf(conn, r.get()));
    }
    return r;
}

struct TTableInfo {
    std::string Name; // quoted, schema-qualified where the search path needs it
    std::map<int, std::string> Columns;
};

class TPGDatabase;

class TPGCursor final : public TDBCursor {
public:
    TPGCursor(TPGDatabase& db, PGconn* conn, const std::string& sql);
    ~TPGCursor() override;
    const std::vector<TDBColumn>& Columns() const override { return m_columns; }
    bool Fetch(std::vector<TDBValue>& row) override;
    void Restart() override;
    int64_t Count() override;

private:
    void Declare();
    void FetchBlock(int rows);

    TPGDatabase& m_db;
    PGconn* m_conn;
    std::string m_sql;
    TResult m_block;
    int m_blockSize = 0;
    int m_index = 0;
    std::vector<TDBColumn> m_columns;
};

class TPGDatabase final : public TDBDatabase {
public:
    explicit TPGDatabase(const TDBConnectionInfo& info);
    ~TPGDatabase() override;

    std::unique_ptr<TDBCursor> OpenCursor(const std::string& SQL) override;
    void Insert(const TDBWrite& Write, std::vector<TDBValue>& returned) override;
    int64_t Update(const TDBWrite& Write) override;
    int64_t Execute(const std::string& SQL) override;
    void Commit() override;
    bool InBatch() const override { return m_inBatch; }
    bool StillValid() const override { return true; }

    void ReleaseReader(PGconn* conn);
    const TTableInfo& TableInfo(PGconn* conn, Oid table);

private:
    PGconn* Connect() const;
    PGconn* AcquireReader();
    void BeginBatch();
    /// Runs a write under the batch's savepoint: undone alone when it fails.
    TResult Write(const std::string& sql, const std::vector<TDBColumn const*>& columns,
                  const std::vector<const TDBValue*>& values);

    TDBConnectionInfo m_info;
    PGconn* m_writer = nullptr;
    bool m_inBatch = false;
    std::map<std::string, std::string> m_prepared;
    std::vector<PGconn*> m_idleReaders;
    std::map<Oid, TTableInfo> m_tables;
};

TPGCursor::TPGCursor(TPGDatabase& db, PGconn* conn, const std::string& sql)
    : m_db(db), m_conn(conn), m_sql(StripTrailingSemicolons(sql)) {
    try {
        Exec(m_conn, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        Declare();
        const int n = PQnfields(m_block.get());
        for (int i = 0; i < n; ++i) {
            TDBColumn col;
            col.Name = PQfname(m_block.get(), i);
            col.Type = TypeOfOid(PQftype(m_block.get(), i));
            const Oid table = PQftable(m_block.get(), i);
            const int number = PQftablecol(m_block.get(), i);
            if (table != InvalidOid && number > 0) {
                const TTableInfo& info = m_db.TableInfo(m_conn, table);
                if (auto it = info.Columns.find(number); it != info.Columns.end()) {
                    col.Table = info.Name;
                    col.ColumnName = it->second;
                    char* quoted = PQescapeIdentifier(m_conn, it->second.data(), it->second.size());
                    if (!quoted) {
                        throw Exception(ErrorOf(m_conn, nullptr));
                    }
                    col.Column = quoted;
                    PQfreemem(quoted);
                }
            }
            m_columns.push_back(std::move(col));
        }
    } catch (...) {
        m_block.reset();
        PQclear(PQexec(m_conn, "ROLLBACK"));
        m_db.ReleaseReader(m_conn);
        throw;
    }
}

TPGCursor::~TPGCursor() {
    m_block.reset();
    PQclear(PQexec(m_conn, "ROLLBACK"));
    m_db.ReleaseReader(m_conn);
}

void TPGCursor::Declare() {
    // The extended protocol takes one statement only, so nothing can follow
    // the query in its text.
    ExecParams(m_conn, "DECLARE linkvane_rows NO SCROLL CURSOR FOR " + m_sql, {});
    // The first row alone: a query only appended to reads no more.
    FetchBlock(1);
}

void TPGCursor::FetchBlock(int rows) {
    m_block = Exec(m_conn, "FETCH FORWARD " + std::to_string(rows) + " FROM linkvane_rows");
    m_blockSize = rows;
    m_index = 0;
}

bool TPGCursor::Fetch(std::vector<TDBValue>& row) {
    if (m_index >= PQntuples(m_block.get())) {
        if (PQntuples(m_block.get()) < m_blockSize) {
            return false;
        }
        FetchBlock(kFetchBlock);
        if (PQntuples(m_block.get()) == 0) {
            m_blockSize = 1; // stays at the end
            return false;
        }
    }
    PGresult* r = m_block.get();
    row.resize(m_columns.size());
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const int c = static_cast<int>(i);
        row[i] = PQgetisnull(r, m_index, c) ? TDBValue()
                                            : Decode(PQgetvalue(r, m_index, c),
                                                     PQgetlength(r, m_index, c), m_columns[i].Type);
    }
    ++m_index;
    return true;
}

void TPGCursor::Restart() {
    m_block.reset();
    Exec(m_conn, "CLOSE linkvane_rows");
    Declare();
}

int64_t TPGCursor::Count() {
    // The same transaction, so the same snapshot as the rows being walked.
    ExecParams(m_conn, "DECLARE linkvane_count NO SCROLL CURSOR FOR " + m_sql, {});
    const TResult r = Exec(m_conn, "MOVE FORWARD ALL IN linkvane_count");
    Exec(m_conn, "CLOSE linkvane_count");
    return std::atoll(PQcmdTuples(r.get()));
}

TPGDatabase::TPGDatabase(const TDBConnectionInfo& info) : m_info(info) {
    m_writer = Connect();
}

TPGDatabase::~TPGDatabase() {
    try {
        Commit();
    } catch (const std::exception& e) {
        ReportUnraisedError(
            std::string("The last writes to the PostgreSQL database could not be committed: ") +
            e.what());
    }
    for (PGconn* conn : m_idleReaders) {
        PQfinish(conn);
    }
    PQfinish(m_writer);
}

PGconn* TPGDatabase::Connect() const {
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [k, v] : m_info.PGParams) {
        keywords.push_back(k.c_str());
        values.push_back(v.c_str());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keywords.data(), values.data(), m_info.PGExpandDBName ? 1 : 0);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        const std::string message = conn ? TrimmedMessage(PQerrorMessage(conn)) : "out of memory";
        PQfinish(conn);
        throw Exception("Cannot connect to the PostgreSQL database: " + message);
    }
    // Notices (such as "there is no transaction in progress") are not errors.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return conn;
}

PGconn* TPGDatabase::AcquireReader() {
    while (!m_idleReaders.empty()) {
        PGconn* conn = m_idleReaders.back();
        m_idleReaders.pop_back();
        if (PQstatus(conn) == CONNECTION_OK) {
            return conn;
        }
        PQfinish(conn);
    }
    return Connect();
}

void TPGDatabase::ReleaseReader(PGconn* conn) {
    if (PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) == PQTRANS_IDLE) {
        m_idleReaders.push_back(conn);
    } else {
        PQfinish(conn);
    }
}

const TTableInfo& TPGDatabase::TableInfo(PGconn* conn, Oid table) {
    if (auto it = m_tables.find(table); it != m_tables.end()) {
        return it->second;
    }
    const std::string oid = std::to_string(table);
    TTableInfo info;
    const TResult name = ExecParams(conn, "SELECT $1::oid::regclass::text", {oid});
    info.Name = PQgetvalue(name.get(), 0, 0);
    const TResult cols = ExecParams(conn,
                                    "SELECT attnum, attname FROM pg_catalog.pg_attribute "
                                    "WHERE attrelid = $1 AND attnum > 0 AND NOT attisdropped",
                                    {oid});
    for (int i = 0; i < PQntuples(cols.get()); ++i) {
        info.Columns[std::atoi(PQgetvalue(cols.get(), i, 0))] = PQgetvalue(cols.get(), i, 1);
    }
    return m_tables.emplace(table, std::move(info)).first->second;
}

std::unique_ptr<TDBCursor> TPGDatabase::OpenCursor(const std::string& SQL) {
    return std::make_unique<TPGCursor>(*this, AcquireReader(), SQL);
}

void TPGDatabase::BeginBatch() {
    if (m_inBatch) {
        return;
    }
    if (PQstatus(m_writer) != CONNECTION_OK) {
        PQreset(m_writer);
        m_prepared.clear();
        if (PQstatus(m_writer) != CONNECTION_OK) {
            throw Exception("Cannot connect to the PostgreSQL database: " +
                            TrimmedMessage(PQerrorMessage(m_writer)));
        }
    }
    Exec(m_writer, "BEGIN; SAVEPOINT linkvane_row");
    m_inBatch = true;
}

TResult TPGDatabase::Write(const std::string& sql, const std::vector<const TDBColumn*>& columns,
                           const std::vector<const TDBValue*>& values) {
    BeginBatch();
    std::vector<std::string> texts(values.size());
    std::vector<const char*> params(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        params[i] = Encode(*values[i], columns[i]->Type, texts[i]) ? texts[i].c_str() : nullptr;
    }
    auto it = m_prepared.find(sql);
    TResult r;
    if (it == m_prepared.end()) {
        const std::string name = "linkvane_" + std::to_string(m_prepared.size() + 1);
        r.reset(PQprepare(m_writer, name.c_str(), sql.c_str(), static_cast<int>(params.size()),
                          nullptr));
        if (Succeeded(r.get())) {
            it = m_prepared.emplace(sql, name).first;
        }
    }
    if (it != m_prepared.end()) {
        r.reset(PQexecPrepared(m_writer, it->second.c_str(), static_cast<int>(params.size()),
                               params.data(), nullptr, nullptr, 0));
    }
    if (!Succeeded(r.get())) {
        const std::string message = ErrorOf(m_writer, r.get());
        TResult undo(PQexec(m_writer, "ROLLBACK TO SAVEPOINT linkvane_row"));
        if (!Succeeded(undo.get())) {
            // The connection is gone or the batch cannot go on: it is lost.
            m_inBatch = false;
            PQclear(PQexec(m_writer, "ROLLBACK"));
            throw Exception(message +
                            "; the uncommitted writes were lost: " + ErrorOf(m_writer, undo.get()));
        }
        throw Exception(message);
    }
    Exec(m_writer, "RELEASE SAVEPOINT linkvane_row; SAVEPOINT linkvane_row");
    return r;
}

void TPGDatabase::Insert(const TDBWrite& Write, std::vector<TDBValue>& returned) {
    std::string sql = "INSERT INTO " + Write.Table;
    if (Write.Columns.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        std::string names;
        std::string marks;
        for (size_t i = 0; i < Write.Columns.size(); ++i) {
            names += (i ? "," : "") + Write.Columns[i]->Column;
            marks += (i ? ",$" : "$") + std::to_string(i + 1);
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
    const TResult r = this->Write(sql, Write.Columns, Write.Values);
    returned.assign(Write.Returning.size(), TDBValue());
    if (PQntuples(r.get()) > 0) {
        for (size_t i = 0; i < Write.Returning.size(); ++i) {
            const int c = static_cast<int>(i);
            if (!PQgetisnull(r.get(), 0, c)) {
                returned[i] = Decode(PQgetvalue(r.get(), 0, c), PQgetlength(r.get(), 0, c),
                                     Write.Returning[i]->Type);
            }
        }
    }
}

int64_t TPGDatabase::Update(const TDBWrite& Write) {
    std::string sql = "UPDATE " + Write.Table + " SET ";
    for (size_t i = 0; i < Write.Columns.size(); ++i) {
        sql += (i ? "," : "") + Write.Columns[i]->Column + "=$" + std::to_string(i + 1);
    }
    sql += " WHERE " + Write.KeyColumn->Column + "=$" + std::to_string(Write.Columns.size() + 1);
    std::vector<const TDBColumn*> columns = Write.Columns;
    std::vector<const TDBValue*> values = Write.Values;
    columns.push_back(Write.KeyColumn);
    values.push_back(Write.KeyValue);
    const TResult r = this->Write(sql, columns, values);
    return std::atoll(PQcmdTuples(r.get()));
}

int64_t TPGDatabase::Execute(const std::string& SQL) {
    Commit();
    // The statements may change tables: what was learnt of them goes.
    m_tables.clear();
    if (!m_prepared.empty()) {
        PQclear(PQexec(m_writer, "DEALLOCATE ALL"));
        m_prepared.clear();
    }
    const TResult r = Exec(m_writer, SQL);
    return std::atoll(PQcmdTuples(r.get()));
}

void TPGDatabase::Commit() {
    if (!m_inBatch) {
        return;
    }
    m_inBatch = false;
    TResult r(PQexec(m_writer, "COMMIT"));
    if (!Succeeded(r.get())) {
        throw Exception("Cannot commit the writes: " + ErrorOf(m_writer, r.get()));
    }
}

} // namespace

std::unique_ptr<TDBDatabase> OpenPGDatabase(const TDBConnectionInfo& Info) {
    return std::make_unique<TPGDatabase>(Info);
}

} // namespace linkvane
