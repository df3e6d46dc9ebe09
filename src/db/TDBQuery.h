#pragma once

#include "db/DBValue.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace linkvane {

class TDBQuery;
class TDBDatabase;
class TDBCursor;
struct TDBColumn;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

/// One field of a query's row, found by TDBQuery::FieldByName. Reading gives
/// the value of the current row (or of the row being edited or appended);
/// setting needs the query in edit or insert mode. Valid until the query is
/// closed.
class TDBField {
public:
    const std::string& FieldName() const;

    bool IsNull() const { return Value().IsNull(); }
    const TDBValue& Value() const;
    std::string AsString() const { return Value().AsString(); }
    QString AsWideString() const { return QString::fromStdString(Value().AsString()); }
    int64_t AsInteger() const { return Value().AsInteger(); }
    double AsFloat() const { return Value().AsFloat(); }
    bool AsBoolean() const { return Value().AsBoolean(); }
    QDateTime AsDateTime() const { return Value().AsDateTime(); }

    void SetValue(const TDBValue& value);
    void SetAsString(const std::string& value) { SetValue(TDBValue::Text(value)); }
    void SetAsWideString(const QString& value) { SetValue(TDBValue::Text(value.toStdString())); }
    void SetAsInteger(int64_t value) { SetValue(TDBValue::Integer(value)); }
    void SetAsFloat(double value) { SetValue(TDBValue::Float(value)); }
    void SetAsBoolean(bool value) { SetValue(TDBValue::Boolean(value)); }
    /// Stored as local time; a text column gets "yyyy/mm/dd hh:mm:ss".
    void SetAsDateTime(const QDateTime& value) { SetValue(TDBValue::DateTime(value)); }
    void Clear() { SetValue(TDBValue()); }

private:
    friend class TDBQuery;
    TDBField(TDBQuery& query, size_t index) : m_query(&query), m_index(index) {}
    TDBQuery* m_query;
    size_t m_index;
};

/// A query over a database given by a connection string and an SQL text,
/// whose rows can be walked, edited and appended to.
///
/// The connection string is "FILE NAME=<file>.udl" (a data link file), or
/// "Provider=SQLite;Data Source=<file>" (the file is created when missing),
/// or "Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;
/// Password=..." or "Provider=PostgreSQL;Data Source=postgresql://...".
///
/// Open runs the SQL text, which must be one query. Its rows are read on
/// demand from a snapshot taken at Open (rows written afterwards, by this
/// query, another one or another program, are not among them); opening
/// "SELECT * FROM Links" over a large table reads only its first row. Rows
/// appended through the query join its rows at the end.
///
/// Edit and Append write back to the table the result's fields come from,
/// with parameterized statements: an edit updates the row with the same `ID`
/// (so the result must hold that table's `ID` field), an append inserts the
/// fields that were set and reads back what was stored (the new `ID`,
/// defaults). A failed Post raises the database's message and leaves the row
/// in edit or insert mode for Cancel; it costs only that row.
///
/// Writes are grouped: all queries of the process on one database share one
/// connection for writing, and what they post stays in one open batch (a
/// transaction) until Commit, Open, Close or the destruction of the query. So
/// a page's rows are written with one disk sync, and posted rows are never
/// dropped when a query goes away.
class TDBQuery {
public:
    std::string ConnectionString;
    std::string SQL;

    TDBQuery();
    ~TDBQuery();
    TDBQuery(const TDBQuery&) = delete;
    TDBQuery& operator=(const TDBQuery&) = delete;

    /// Commits what is posted on the database, then runs SQL and goes to
    /// the first row. Does nothing when already open. A connection string
    /// that is empty or names no provider we have raises "Provider cannot be
    /// found. It may not be properly installed."; other failures raise the
    /// database's message.
    void Open();
    /// Drops a row being edited or appended and not posted, commits what is
    /// posted and closes the result. Does nothing when closed. The connection
    /// is kept for the next Open, until the query goes or its connection
    /// string names another database.
    void Close();
    bool Active() const { return m_state != TDataSetState::dsInactive; }
    TDataSetState State() const { return m_state; }

    /// Goes to the first row (a row being edited is posted first).
    void First();
    /// Goes to the next row (a row being edited is posted first).
    void Next();
    /// True past the last row, and when closed.
    bool Eof() const;
    /// The rows of the result plus those appended since Open. Counting reads
    /// the whole result once per Open, so over a large table it is not free.
    int64_t RecordCount();
    /// The rows appended since Open, which the query keeps (to show them
    /// after the result's rows). A query used only for appending can be
    /// reopened when this grows, without counting the table.
    int64_t AppendedCount() const { return static_cast<int64_t>(m_appended.size()); }

    /// A new empty row in insert mode; Post writes it.
    void Append();
    /// The current row in edit mode; Post writes the fields set.
    void Edit();
    void Post();
    /// Leaves edit or insert mode without writing.
    void Cancel();

    /// Raises "Field '%s' not found" when the result has no such field.
    /// The name is compared without regard to case.
    TDBField& FieldByName(const std::string& Name);
    /// nullptr when the result has no such field.
    TDBField* FindField(const std::string& Name);
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    TDBField& Fields(int Index) { return m_fields.at(static_cast<size_t>(Index)); }

    /// Commits the batch of writes posted on this query's database (by any
    /// query of the process). Call it when a unit of work is done, such as a
    /// page whose links were appended.
    void Commit();
    /// Whether posted writes of this query's database wait for a commit.
    bool InBatch() const;

    /// Runs the SQL text as statements that return no rows (several may be
    /// given, separated by ";"), committed at once; answers the rows they
    /// changed. For setting up tables; values are never pasted into it.
    int64_t ExecSQL();

private:
    friend class TDBField;
    enum class TWhere { Result, Appended, End };

    /// The database of ConnectionString, kept from the last use when it is
    /// still the same.
    std::shared_ptr<TDBDatabase> Database();
    void CheckActive() const;
    void CheckBrowseMode();
    const std::vector<TDBValue>* CurrentRow() const;
    std::vector<TDBValue>* CurrentRow();
    void FetchFromResult();
    void LeaveResult();
    const TDBValue& ReadValue(size_t index) const;
    void WriteValue(size_t index, const TDBValue& value);
    std::string TargetTable() const;
    void PostInsert();
    void PostEdit();

    // The database outlives the result read from it.
    std::shared_ptr<TDBDatabase> m_db;
    std::string m_dbKey;
    std::unique_ptr<TDBCursor> m_cursor;
    std::vector<TDBField> m_fields;
    std::vector<bool> m_writable;
    TDataSetState m_state = TDataSetState::dsInactive;
    TWhere m_where = TWhere::End;
    std::vector<TDBValue> m_row;
    bool m_atFirstRow = false;
    std::vector<std::vector<TDBValue>> m_appended;
    size_t m_appendedIndex = 0;
    std::vector<TDBValue> m_buffer;
    std::vector<bool> m_modified;
    std::optional<int64_t> m_count;
};

} // namespace linkvane
