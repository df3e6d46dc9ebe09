#include "runner/TaskControl.h"

#include "runner/uURLExtractor.h"
#include "support/PathTools.h"
#include "support/ShowMsg.h"
#include "support/TextTrim.h"

#include <QCoreApplication>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace linkvane {
namespace {

bool FileExists(const std::string& name) {
    std::error_code ec;
    return !name.empty() && std::filesystem::exists(name, ec);
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
    if (s.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(), s.end() - static_cast<long>(suffix.size()),
                      [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

} // namespace

TTaskControl::TTaskControl(TURLExtractor& Runner) : m_runner(Runner) {}

bool TTaskControl::LoadTask(const std::string& FileName, bool AsNew) {
    QCoreApplication::processEvents();
    if (!FileExists(FileName) || !m_runner.LoadParam(FileName)) {
        ShowMessageDlg("Load Task", "File does not exists:\r\n" + FileName);
        return false;
    }
    CurrentTaskFile = AsNew ? std::string() : FileName;
    if (OnTaskLoaded) {
        OnTaskLoaded(FileName);
    }
    return true;
}

bool TTaskControl::OpenTaskOrBatch(const std::string& FileName) {
    TaskList.clear();
    TaskCount = 1;
    TaskNo = 1;
    if (EndsWithNoCase(FileName, ".batch")) {
        return LoadTaskList(FileName);
    }
    return LoadTask(FileName, false);
}

bool TTaskControl::LoadTaskList(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    TaskList = SplitTextLines(buffer.str());
    BatchFileName = FileName;
    TaskCount = static_cast<int>(TaskList.size());
    TaskNo = 1;
    return true;
}

bool TTaskControl::CheckInputFiles() {
    const std::string listFile = m_runner.InputParam().URLMidListFileName;
    if (listFile.empty()) {
        return true;
    }
    if (!FileExists(ExpandRelativePath(CurrentTaskFile, listFile))) {
        ShowWarning("File '" + listFile + "' does not exist!");
        return false;
    }
    const std::string outputName = m_runner.GetOutputFileName();
    const std::string folder = ExtractFilePath(ExpandRelativePath(CurrentTaskFile, outputName));
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
        ShowWarning("Directory in '" + outputName + "' does not exist!");
        return false;
    }
    return true;
}

int TTaskControl::RunOneTask() {
    if (!CheckInputFiles()) {
        return -1;
    }
    m_runner.EntryList().clear();
    if (Browser) {
        m_runner.SetWebBrowser(Browser);
    }
    const int result = m_runner.Execute();
    if (OnTaskFinished) {
        OnTaskFinished(result);
    }
    if (m_runner.RunState() == TRunState::Stopped && TaskNo == TaskCount && !CloseAfterRun) {
        ShowInfo(FinishedReport(result));
    }
    return result;
}

bool TTaskControl::RunTaskList() {
    m_batchStopped = false;
    bool allRan = true;
    const std::string batchFile = BatchFileName;
    const std::vector<std::string> names = TaskList;
    for (size_t i = 0; i < names.size() && !m_batchStopped; ++i) {
        TaskNo = static_cast<int>(i) + 1;
        if (!LoadTask(ExpandRelativePath(batchFile, names[i]), false)) {
            return false;
        }
        allRan = RunOneTask() >= 0 && allRan;
    }
    return allRan;
}

QString TTaskControl::ProgressText(int URLNo, int URLCount, const QString& EntryURL) {
    const double percent = URLCount != 0 ? URLNo * 100.0 / URLCount : 0.0;
    return QString::number(percent, 'f', 2) + QStringLiteral("% (") + QString::number(URLNo) +
           u'/' + QString::number(URLCount) + QStringLiteral(")  ") + EntryURL;
}

std::string TTaskControl::FinishedReport(int Records) {
    return "Task Finished! Got " + std::to_string(Records) +
           " Records.\r\nPlease click 'View Result...' button to check the result.";
}

} // namespace linkvane
