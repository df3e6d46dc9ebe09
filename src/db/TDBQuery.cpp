#include "db/TDBQuery.h"

#include "db/DBConnectionString.h"
#include "db/DBProvider.h"
#include "support/Exception.h"

namespace linkvane {

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

const TDBValue kNull;

} // namespace

const std::string& TDBField::FieldName() const {
    return m_query->m_cursor->Columns()[m_index].Name;
}

const TDBValue& TDBField::Value() const {
    return m_query->ReadValue(m_index);
}

void TDBField::SetValue(const TDBValue& value) {
    m_query->WriteValue(m_index, value);
}

TDBQuery::TDBQuery() = default;

TDBQuery::~TDBQuery() {
    try {
        Close();
    } catch (const std::exception& e) {
        ReportUnraisedError(std::string("Closing a query failed: ") + e.what());
    }
}

void TDBQuery::Open() {
    if (Active()) {
        return;
    }
    const std::shared_ptr<TDBDatabase> db = Database();
    // The result is a snapshot: what was posted before must be in it.
    db->Commit();
    m_cursor = db->OpenCursor(SQL);
    const std::vector<TDBColumn>& columns = m_cursor->Columns();
    m_fields.clear();
    m_writable.assign(columns.size(), false);
    for (size_t i = 0; i < columns.size(); ++i) {
        m_fields.push_back(TDBField(*this, i));
        // A table column shown twice (a join of a table with itself) is
        // written through its first field only.
        bool writable = !columns[i].Table.empty();
        for (size_t j = 0; writable && j < i; ++j) {
            writable = !(columns[j].Table == columns[i].Table &&
                         columns[j].ColumnName == columns[i].ColumnName);
        }
        m_writable[i] = writable;
    }
    m_appended.clear();
    m_appendedIndex = 0;
    m_count.reset();
    m_state = TDataSetState::dsBrowse;
    try {
        FetchFromResult();
    } catch (...) {
        Close();
        throw;
    }
}

void TDBQuery::Close() {
    if (!Active()) {
        return;
    }
    m_state = TDataSetState::dsInactive;
    m_buffer.clear();
    m_modified.clear();
    m_cursor.reset();
    m_fields.clear();
    m_writable.clear();
    m_row.clear();
    m_appended.clear();
    m_where = TWhere::End;
    m_count.reset();
    // The connection stays for the next Open.
    m_db->Commit();
}

std::shared_ptr<TDBDatabase> TDBQuery::Database() {
    const TDBConnectionInfo info = ResolveConnectionString(ConnectionString);
    if (!m_db || m_dbKey != info.Key || !m_db->StillValid()) {
        m_db.reset();
        m_db = AcquireDatabase(info);
        m_dbKey = info.Key;
    }
    return m_db;
}

void TDBQuery::CheckActive() const {
    if (!Active()) {
        throw Exception("Cannot perform this operation on a closed dataset");
    }
}

void TDBQuery::CheckBrowseMode() {
    CheckActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert) {
        Post();
    }
}

void TDBQuery::FetchFromResult() {
    m_where = TWhere::Result;
    m_atFirstRow = m_cursor->Fetch(m_row);
    if (!m_atFirstRow) {
        LeaveResult();
    }
}

void TDBQuery::LeaveResult() {
    m_row.clear();
    if (m_appended.empty()) {
        m_where = TWhere::End;
    } else {
        m_where = TWhere::Appended;
        m_appendedIndex = 0;
    }
}

void TDBQuery::First() {
    CheckBrowseMode();
    // Right after Open there is nothing to go back to.
    if (m_atFirstRow && m_where == TWhere::Result) {
        return;
    }
    m_cursor->Restart();
    FetchFromResult();
}

void TDBQuery::Next() {
    CheckBrowseMode();
    m_atFirstRow = false;
    if (m_where == TWhere::Result) {
        if (!m_cursor->Fetch(m_row)) {
            LeaveResult();
        }
    } else if (m_where == TWhere::Appended) {
        if (++m_appendedIndex >= m_appended.size()) {
            m_where = TWhere::End;
        }
    }
}

bool TDBQuery::Eof() const {
    return !Active() || m_where == TWhere::End;
}

int64_t TDBQuery::RecordCount() {
    CheckActive();
    if (!m_count) {
        m_count = m_cursor->Count();
    }
    return *m_count + AppendedCount();
}

const std::vector<TDBValue>* TDBQuery::CurrentRow() const {
    switch (m_where) {
    case TWhere::Result:
        return &m_row;
    case TWhere::Appended:
        return &m_appended[m_appendedIndex];
    default:
        return nullptr;
    }
}

std::vector<TDBValue>* TDBQuery::CurrentRow() {
    return const_cast<std::vector<TDBValue>*>(std::as_const(*this).CurrentRow());
}

void TDBQuery::Append() {
    CheckBrowseMode();
    m_buffer.assign(m_fields.size(), TDBValue());
    m_modified.assign(m_fields.size(), false);
    m_state = TDataSetState::dsInsert;
}

void TDBQuery::Edit() {
    CheckActive();
    if (m_state != TDataSetState::dsBrowse) {
        return;
    }
    const std::vector<TDBValue>* row = CurrentRow();
    if (!row) {
        throw Exception("There is no current row to edit");
    }
    m_buffer = *row;
    m_modified.assign(m_fields.size(), false);
    m_state = TDataSetState::dsEdit;
}

void TDBQuery::Cancel() {
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert) {
        m_state = TDataSetState::dsBrowse;
        m_buffer.clear();
        m_modified.clear();
    }
}

void TDBQuery::Post() {
    CheckActive();
    if (m_state == TDataSetState::dsInsert) {
        PostInsert();
    } else if (m_state == TDataSetState::dsEdit) {
        PostEdit();
    } else {
        throw Exception("Dataset not in edit or insert mode");
    }
}

std::string TDBQuery::TargetTable() const {
    const std::vector<TDBColumn>& columns = m_cursor->Columns();
    std::string table;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!m_modified[i]) {
            continue;
        }
        if (!table.empty() && table != columns[i].Table) {
            throw Exception("Cannot write the fields of more than one table in one row");
        }
        table = columns[i].Table;
    }
    if (table.empty()) {
        // Nothing set: the table of the ID field, else of the first field.
        for (size_t i = 0; i < columns.size(); ++i) {
            if (m_writable[i] && (table.empty() || SameName(columns[i].ColumnName, "ID"))) {
                table = columns[i].Table;
            }
        }
    }
    if (table.empty()) {
        throw Exception("The query's rows cannot be written: its fields come from no table");
    }
    return table;
}

void TDBQuery::PostInsert() {
    const std::vector<TDBColumn>& columns = m_cursor->Columns();
    TDBWrite write;
    write.Table = TargetTable();
    std::vector<size_t> returnedFields;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (m_modified[i]) {
            write.Columns.push_back(&columns[i]);
            write.Values.push_back(&m_buffer[i]);
        }
        if (m_writable[i] && columns[i].Table == write.Table) {
            write.Returning.push_back(&columns[i]);
            returnedFields.push_back(i);
        }
    }
    std::vector<TDBValue> returned;
    m_db->Insert(write, returned);
    std::vector<TDBValue> row = std::move(m_buffer);
    for (size_t k = 0; k < returnedFields.size(); ++k) {
        row[returnedFields[k]] = std::move(returned[k]);
    }
    m_appended.push_back(std::move(row));
    m_where = TWhere::Appended;
    m_appendedIndex = m_appended.size() - 1;
    m_buffer.clear();
    m_modified.clear();
    m_state = TDataSetState::dsBrowse;
}

void TDBQuery::PostEdit() {
    const std::vector<TDBColumn>& columns = m_cursor->Columns();
    bool any = false;
    for (bool m : m_modified) {
        any = any || m;
    }
    if (!any) {
        Cancel();
        return;
    }
    TDBWrite write;
    write.Table = TargetTable();
    const std::vector<TDBValue>& original = *CurrentRow();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (m_modified[i]) {
            write.Columns.push_back(&columns[i]);
            write.Values.push_back(&m_buffer[i]);
        }
        if (!write.KeyColumn && m_writable[i] && columns[i].Table == write.Table &&
            SameName(columns[i].ColumnName, "ID")) {
            write.KeyColumn = &columns[i];
            write.KeyValue = &original[i];
        }
    }
    if (!write.KeyColumn) {
        throw Exception(
            FormatMessage("Cannot edit a row of %s: the query's result does not hold its ID field",
                          {write.Table}));
    }
    if (write.KeyValue->IsNull()) {
        throw Exception("Cannot edit a row whose ID is empty");
    }
    if (m_db->Update(write) == 0) {
        throw Exception(
            FormatMessage("The row to update was not found (ID %s)", {write.KeyValue->AsString()}));
    }
    *CurrentRow() = std::move(m_buffer);
    m_buffer.clear();
    m_modified.clear();
    m_state = TDataSetState::dsBrowse;
}

TDBField* TDBQuery::FindField(const std::string& Name) {
    if (!Active()) {
        return nullptr;
    }
    const std::vector<TDBColumn>& columns = m_cursor->Columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (SameName(columns[i].Name, Name)) {
            return &m_fields[i];
        }
    }
    return nullptr;
}

TDBField& TDBQuery::FieldByName(const std::string& Name) {
    CheckActive();
    if (TDBField* field = FindField(Name)) {
        return *field;
    }
    throw Exception(FormatMessage("Field '%s' not found", {Name}));
}

const TDBValue& TDBQuery::ReadValue(size_t index) const {
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert) {
        return m_buffer[index];
    }
    const std::vector<TDBValue>* row = CurrentRow();
    return row && index < row->size() ? (*row)[index] : kNull;
}

void TDBQuery::WriteValue(size_t index, const TDBValue& value) {
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert) {
        throw Exception("Dataset not in edit or insert mode");
    }
    if (!m_writable[index]) {
        throw Exception(
            FormatMessage("Field '%s' cannot be modified", {m_cursor->Columns()[index].Name}));
    }
    m_buffer[index] = value;
    m_modified[index] = true;
}

void TDBQuery::Commit() {
    if (m_db) {
        m_db->Commit();
    }
}

bool TDBQuery::InBatch() const {
    return m_db && m_db->InBatch();
}

int64_t TDBQuery::ExecSQL() {
    return Database()->Execute(SQL);
}

} // namespace linkvane
