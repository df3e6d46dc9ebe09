#pragma once

#include "db/TDBQuery.h"
#include "task/TaskParams.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace linkvane {

class TCoreDataExtractor;
class TMask;
class TOutputTextFile;
class TWebBrowser;
class TURLExtractor;

/// The runner's state byte.
enum class TRunState : uint8_t { Stopped = 0, Running = 1, Paused = 2 };

using TEntryEvent =
    std::function<void(TURLExtractor* Sender, const QString& EntryURL, int URLNo, int URLCount)>;
using TPageEvent = std::function<void(TURLExtractor* Sender, const QString& EntryURL, int URLNo,
                                      int URLCount, int NextPageNo, int RecordCount)>;
using TCheckLinkEvent =
    std::function<void(TURLExtractor* Sender, QString& LinkURL, QString& LinkText, bool& IsValid)>;

/// Runs a task: holds its parameters, loads and saves task files, and (with
/// the run half) visits the entries and stores the links found.
class TURLExtractor {
public:
    TURLExtractor();
    TURLExtractor(const TURLExtractor&) = delete;
    TURLExtractor& operator=(const TURLExtractor&) = delete;
    ~TURLExtractor();

    // --- the run -------------------------------------------------------------
    /// Runs the loaded task: a list run for InputType 1 and 3, otherwise the
    /// link-table run. Answers the records stored in the whole run. An error
    /// ends the run and passes on (RunState then stays Running).
    int Execute();
    /// The list run over List, or over the list file when List is null or empty.
    int ExecuteList(const QStringList* List = nullptr);
    /// The link-table run (crawl queue).
    int ExecuteLinkTable();
    /// Visits one entry and its next pages; answers the records stored.
    int ExecuteOneEntry(const QString& EntryURL, int URLNo, int URLCount, int PageLevel,
                        int ParentID);
    /// Extracts and stores the links of the page shown; answers the records stored.
    int ExtractPage(int PageLevel, int ParentID);
    /// Readies the mask, the keyword lists and the output names.
    void PrepareRun();
    /// Fills List from a URL list file (expanded against the task file).
    void LoadEntryList(QStringList& List, const std::string& FileName) const;
    /// The stop check: pumps events, waits while paused; true when stopped.
    bool ShouldStop();
    void Pause();
    void Continue();
    void Stop();
    TRunState RunState() const { return m_RunState; }
    QStringList& EntryList() { return m_EntryList; }

    /// The browser the run drives (the query engine's main browser).
    TWebBrowser* WebBrowser() const;
    void SetWebBrowser(TWebBrowser* Browser);
    TCoreDataExtractor& QueryEngine() { return *m_Engine; }

    /// The whole URL matches LinkURL_Pattern (letter case ignored).
    bool MatchesLinkURLMask(const std::string& URL) const;
    /// True when List is empty or one of its keywords occurs in Text (letter
    /// case significant; an empty keyword never occurs).
    static bool ContainsAnyKeyword(const QString& Text, const QStringList& List);
    /// Appends one link to the open result file in the task's layout.
    void WriteLinkLine(TOutputTextFile& File, const std::string& LinkURL,
                       const std::string& LinkText, const std::string& ExtraData);
    /// The address of the page the browser shows.
    QString GetCurrentURL() const;
    /// Appends one link row to the output link table; false when it was not stored.
    bool AddLinkToTable(const QString& LinkURL, const QString& LinkText, const QString& ExtraData,
                        int PageLevel, int ParentID);

    TEntryEvent OnBeforeExectuteOneEntry;
    TPageEvent OnExtractedOnePage;
    TEntryEvent OnAfterExectuteOneEntry;
    TCheckLinkEvent OnCheckLinkValid;

    /// Reads a task file. Returns false, changing nothing, when the file does
    /// not exist. A missing connection file of a link-table task is reported
    /// ("File not exist: " + name) and loading goes on.
    bool LoadParam(const std::string& FileName);
    /// Writes the whole task into FileName (its other lines are kept).
    /// Raises "Unable to write to %s" when the file cannot be written; the old
    /// file is then untouched. Changes nothing in memory.
    bool SaveParam(const std::string& FileName) const;

    static std::string BuildNextPagePath(const std::string& Keyword);

    TURLInputParam& InputParam() { return m_params.InputParam; }
    const TURLInputParam& InputParam() const { return m_params.InputParam; }
    void SetInputParam(const TURLInputParam& value) { m_params.InputParam = value; }
    void GetExtractParam(TURLExtractParam& out) const { out = m_params.ExtractParam; }
    void SetExtractParam(const TURLExtractParam& value) { m_params.ExtractParam = value; }
    void GetOutputParam(TURLOutputParam& out) const { out = m_params.OutputParam; }
    void SetOutputParam(const TURLOutputParam& value) { m_params.OutputParam = value; }

    /// The whole task at once (the task file keys and `--set` work on this).
    const TTaskParams& TaskParams() const { return m_params; }
    void SetTaskParams(const TTaskParams& value) { m_params = value; }

    int32_t MaxWaitSeconds() const { return m_params.MaxWaitSeconds; }
    void SetMaxWaitSeconds(int32_t v) { m_params.MaxWaitSeconds = v; }
    int32_t MinWaitSeconds() const { return m_params.MinWaitSeconds; }
    void SetMinWaitSeconds(int32_t v) { m_params.MinWaitSeconds = v; }
    int32_t MinRepeatTimes() const { return m_params.MinRepeatTimes; }
    void SetMinRepeatTimes(int32_t v) { m_params.MinRepeatTimes = v; }
    /// After fields were set one by one (`--set`): the output names, the
    /// page-waiting settings and the link-table queries follow them again.
    void RefreshDerivedParams();
    /// Copies the three speed values into the page-waiting settings.
    void ApplySpeedOptions() const;

    /// The full name of the task file loaded last (anchor of relative names).
    const std::string& TaskFileName() const { return m_TaskFileName; }
    /// The result text file with relative names resolved.
    const std::string& OutputFileName() const { return m_OutputFileName; }
    /// The second file of the two-file layout.
    const std::string& URLFileName() const { return m_URLFileName; }

    /// Name expanded against the folder of the loaded task file.
    std::string ExpandTaskPath(const std::string& Name) const;
    /// OutputTextFileName expanded against the task file's folder.
    std::string GetOutputTextFileName() const;
    /// OutputFileName := GetOutputTextFileName (after the task dialog).
    void UpdateOutputFileName();
    std::string GetURLFileName() const { return m_URLFileName; }
    /// The result text file, or with the link table the output connection
    /// file; expanded.
    std::string GetOutputFileName() const;

    TDBQuery& InputQuery() { return m_InputQuery; }
    TDBQuery& OutputQuery() { return m_OutputQuery; }

private:
    /// Gives Query the connection of ConnectionFile (expanded) and SQL, or
    /// reports the missing file and leaves Query as it was.
    void AssignQuery(TDBQuery& Query, const std::string& ConnectionFile, const std::string& SQL);

    /// The passes of the link-table run, from the seed row to the end.
    int RunLinkTablePasses();

    /// A text of the page that changes when a click brings other content.
    std::string PageFingerprint() const;

    TTaskParams m_params;
    std::unique_ptr<TCoreDataExtractor> m_Engine;
    QStringList m_EntryList;
    std::unique_ptr<TMask> m_LinkURLMask;
    QStringList m_URLIncludeList;
    QStringList m_URLExcludeList;
    QStringList m_TextIncludeList;
    QStringList m_TextExcludeList;
    TRunState m_RunState = TRunState::Stopped;
    std::string m_TaskFileName;
    std::string m_OutputFileName;
    std::string m_URLFileName;
    TDBQuery m_InputQuery;
    TDBQuery m_OutputQuery;
};

} // namespace linkvane
