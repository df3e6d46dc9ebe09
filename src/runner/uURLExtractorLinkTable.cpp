// The link-table run: a database table serves as the crawl queue. Every
// visited row adds the links of its page as new rows, which the next pass
// visits.
#include "runner/uURLExtractor.h"

#include "db/TDBQuery.h"

#include <QDateTime>

namespace linkvane {

namespace {

/// Closes a query on the way out of a failed run: what it posted is stored,
/// and an error of its own would only hide the one that ended the run.
void CloseAfterError(TDBQuery& Query) noexcept {
    try {
        Query.Close();
    } catch (const std::exception&) {
    }
}

} // namespace

int TURLExtractor::ExecuteLinkTable() {
    int total = 0;
    try {
        total = RunLinkTablePasses();
    } catch (...) {
        CloseAfterError(m_InputQuery);
        CloseAfterError(m_OutputQuery);
        throw;
    }
    // An open result holds a read snapshot of the database (a transaction on
    // a server) for as long as it stays open: nothing keeps it after the run.
    m_InputQuery.Close();
    m_OutputQuery.Close();
    return total;
}

int TURLExtractor::RunLinkTablePasses() {
    int total = 0;
    int urlNo = 0;
    int urlCount = 0;
    PrepareRun();
    m_RunState = TRunState::Running;
    TDBQuery& input = m_InputQuery;
    input.Close();
    input.Open();
    if (input.Eof()) {
        // An error before the post (a field the query lacks) ends the run;
        // a row the table refuses leaves the queue empty, which ends it too.
        input.Append();
        input.FieldByName("LinkURL").SetAsString(m_params.InputParam.InitURL);
        input.FieldByName("PageLevel").SetAsInteger(0);
        input.FieldByName("Processed").SetAsBoolean(false);
        try {
            input.Post();
        } catch (const std::exception&) {
            input.Cancel();
        }
        input.Commit();
    }
    while (input.RecordCount() > 0) {
        urlCount += static_cast<int>(input.RecordCount());
        input.First();
        while (!input.Eof()) {
            if (ShouldStop()) {
                break;
            }
            const QString url = input.FieldByName("LinkURL").AsWideString();
            const int pageLevel = static_cast<int>(input.FieldByName("PageLevel").AsInteger());
            const int id = static_cast<int>(input.FieldByName("ID").AsInteger());
            ++urlNo;
            total += ExecuteOneEntry(url, urlNo, urlCount, pageLevel, id);
            input.Edit();
            input.FieldByName("Processed").SetAsBoolean(true);
            input.Post();
            // The row is done: its mark and the rows its pages added are
            // on disk before the next row is visited.
            input.Commit();
            input.Next();
        }
        if (ShouldStop()) {
            break;
        }
        input.Close();
        input.Open();
    }
    return total;
}

bool TURLExtractor::AddLinkToTable(const QString& LinkURL, const QString& LinkText,
                                   const QString& ExtraData, int PageLevel, int ParentID) {
    TDBQuery& output = m_OutputQuery;
    if (!output.Active()) {
        output.Open();
    }
    output.Append();
    try {
        output.FieldByName("LinkURL").SetAsWideString(LinkURL);
        output.FieldByName("LinkText").SetAsWideString(LinkText);
        output.FieldByName("PageLevel").SetAsInteger(PageLevel + 1);
        output.FieldByName("ParentID").SetAsInteger(ParentID);
        output.FieldByName("Processed").SetAsBoolean(false);
        output.FieldByName("ExtractTime").SetAsDateTime(QDateTime::currentDateTime());
        if (!ExtraData.isEmpty()) {
            output.FieldByName("ExtraData").SetAsWideString(ExtraData);
        }
    } catch (...) {
        // The caller drops this link; the next one starts from a clean row.
        output.Cancel();
        throw;
    }
    try {
        output.Post();
    } catch (const std::exception&) {
        // A row the table refuses (a unique index on LinkURL, say) costs
        // only this link.
        output.Cancel();
        return false;
    }
    // Rows appended in one run should not pile up in the query.
    if (output.AppendedCount() > 100) {
        output.Close();
        output.Open();
    }
    return true;
}

} // namespace linkvane
