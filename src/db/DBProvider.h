#pragma once

// The interface between TDBQuery and the database libraries. Not for use
// outside src/db/.

#include "db/DBConnectionString.h"
#include "db/DBValue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace linkvane {

/// One column of a result and where it comes from.
struct TDBColumn {
    /// The name the result gives the column (what FieldByName looks for).
    std::string Name;
    /// The table the column is read from, quoted for SQL; empty for a
    /// computed column, which cannot be written.
    std::string Table;
    /// The table column, quoted for SQL, and its plain name.
    std::string Column;
    std::string ColumnName;
    TColumnType Type = TColumnType::Unknown;
};

/// Reads one result row by row, on demand, from a snapshot of the database
/// taken when it was opened: rows written while it is read (by this process
/// or another) do not appear in it, and nothing is read before it is asked for.
class TDBCursor {
public:
    virtual ~TDBCursor() = default;
    virtual const std::vector<TDBColumn>& Columns() const = 0;
    /// The next row into `row` (one value per column); false at the end.
    virtual bool Fetch(std::vector<TDBValue>& row) = 0;
    /// Goes back before the first row (of the same snapshot).
    virtual void Restart() = 0;
    /// The number of rows of the result (of the same snapshot).
    virtual int64_t Count() = 0;
};

/// One write of a row into one table. Values are given per column.
struct TDBWrite {
    std::string Table;
    std::vector<const TDBColumn*> Columns;
    std::vector<const TDBValue*> Values;
    /// Update: the key column and its value.
    const TDBColumn* KeyColumn = nullptr;
    const TDBValue* KeyValue = nullptr;
    /// Insert: the columns whose stored values are read back.
    std::vector<const TDBColumn*> Returning;
};

/// One database as seen by this process: the connection all writes go
/// through, and the batch of writes not yet committed. Writes begin a batch
/// (a transaction) when none is open; Commit ends it. A failed write costs
/// only itself: the batch goes on without it.
class TDBDatabase {
public:
    virtual ~TDBDatabase() = default;
    virtual std::unique_ptr<TDBCursor> OpenCursor(const std::string& SQL) = 0;
    /// Inserts a row; `returned` gets the stored values of Write.Returning.
    virtual void Insert(const TDBWrite& Write, std::vector<TDBValue>& returned) = 0;
    /// Updates the rows whose key has the given value; answers their number.
    virtual int64_t Update(const TDBWrite& Write) = 0;
    /// Runs SQL statements (no result) outside any batch, after committing.
    virtual int64_t Execute(const std::string& SQL) = 0;
    virtual void Commit() = 0;
    virtual bool InBatch() const = 0;
    /// False once the connection no longer reaches what its connection
    /// string names (an SQLite file deleted or replaced since it was opened).
    virtual bool StillValid() const = 0;
};

/// The database a connection reaches, shared by every query of the process
/// that uses it while any of them holds it. Opens it when none does.
std::shared_ptr<TDBDatabase> AcquireDatabase(const TDBConnectionInfo& Info);

std::unique_ptr<TDBDatabase> OpenSQLiteDatabase(const TDBConnectionInfo& Info);
std::unique_ptr<TDBDatabase> OpenPGDatabase(const TDBConnectionInfo& Info);

/// Reports an error that a destructor cannot raise (writes that could not be
/// committed): to the error log and to the console.
void ReportUnraisedError(const std::string& Message) noexcept;

/// SQL texts end at their last statement: trailing blanks and ";" go.
std::string StripTrailingSemicolons(const std::string& SQL);

} // namespace linkvane
