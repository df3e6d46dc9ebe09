#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace linkvane {

class TURLExtractor;
class TWebBrowser;

/// Loads tasks and batch lists into a runner and runs them, as the main window
/// and the command-line tool both do: the pre-run check, the batch run, the
/// progress text and the closing report. The host hears about each step
/// through the events and adds its own display.
class TTaskControl {
public:
    explicit TTaskControl(TURLExtractor& Runner);

    /// The task file that saving writes to; empty for an untitled task.
    std::string CurrentTaskFile;
    std::string BatchFileName;
    std::vector<std::string> TaskList;
    int TaskCount = 1;
    int TaskNo = 1;
    /// The browser the runner is bound to at the start of each run.
    TWebBrowser* Browser = nullptr;
    /// Set by the host for "/C": no closing report after the run.
    bool CloseAfterRun = false;

    /// Loads a task file into the runner. A missing file shows the "Load Task"
    /// message and changes nothing.
    bool LoadTask(const std::string& FileName, bool AsNew);
    /// A ".batch" name (any letter case) loads a batch list; anything else a task.
    bool OpenTaskOrBatch(const std::string& FileName);
    /// Reads a batch list (one task file name per line); loads no task yet.
    bool LoadTaskList(const std::string& FileName);
    /// The list file must exist and the result file's folder too.
    bool CheckInputFiles();

    /// Runs the loaded task after the pre-run check. Answers the records stored,
    /// or -1 when the check refused the run; an error of the run passes on.
    int RunOneTask();
    /// Runs every task of the batch list in order; a task that cannot be
    /// loaded ends the batch. StopBatch ends it after the task under way.
    /// Answers false when a task could not be loaded or was refused.
    bool RunTaskList();
    void StopBatch() { m_batchStopped = true; }

    /// "33.33% (1/3)  URL": the entry line shown before each entry.
    static QString ProgressText(int URLNo, int URLCount, const QString& EntryURL);
    /// The closing report after a run.
    static std::string FinishedReport(int Records);

    /// Raised after a task has been loaded (the command-line tool applies its
    /// --set values here) and after each run with its record count.
    std::function<void(const std::string& FileName)> OnTaskLoaded;
    std::function<void(int Records)> OnTaskFinished;

private:
    TURLExtractor& m_runner;
    bool m_batchStopped = false;
};

} // namespace linkvane
