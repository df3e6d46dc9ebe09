#include "runner/uURLExtractor.h"

#include "browser/PageWaitSettings.h"
#include "query/uCoreDataExtractor.h"
#include "support/Exception.h"
#include "support/IniFile.h"
#include "support/Mask.h"
#include "support/PathTools.h"
#include "support/ShowMsg.h"
#include "task/TaskFile.h"

#include <filesystem>
#include <system_error>

namespace linkvane {

TURLExtractor::TURLExtractor()
    : m_Engine(std::make_unique<TCoreDataExtractor>()),
      m_LinkURLMask(std::make_unique<TMask>("*")) {}

TURLExtractor::~TURLExtractor() = default;

bool TURLExtractor::LoadParam(const std::string& FileName) {
    std::error_code ec;
    if (FileName.empty() || !std::filesystem::is_regular_file(FileName, ec)) {
        return false;
    }
    TIniFile ini;
    if (!ini.LoadFromFile(FileName)) {
        return false;
    }
    m_TaskFileName = ExpandRelativePath(std::string(), FileName);
    TTaskParams params;
    ReadTaskKeys(ini, params);
    m_params = params;
    RefreshDerivedParams();
    return true;
}

void TURLExtractor::RefreshDerivedParams() {
    UpdateOutputFileName();
    m_URLFileName = ChangeFileExt(m_OutputFileName, "_URL.txt");
    ApplySpeedOptions();

    const uint8_t inputType = m_params.InputParam.InputType;
    if (inputType == 1 || inputType == 3) {
        AssignQuery(m_InputQuery, m_params.InputParam.DBConnectionFileName,
                    m_params.InputParam.URLSQL);
    }
    if (m_params.OutputParam.OutputType == 1) {
        AssignQuery(m_OutputQuery, m_params.OutputParam.DBConnectionFileName,
                    m_params.OutputParam.TableSQL);
    }
}

void TURLExtractor::AssignQuery(TDBQuery& Query, const std::string& ConnectionFile,
                                const std::string& SQL) {
    const std::string name = ExpandTaskPath(ConnectionFile);
    // A query left open by the previous task's run would go on reading and
    // writing that task's table.
    Query.Close();
    std::error_code ec;
    if (!name.empty() && std::filesystem::is_regular_file(name, ec)) {
        Query.ConnectionString = ConnectionStringForFile(name);
        Query.SQL = SQL;
        return;
    }
    // Without a connection the run ends when it opens the query, instead of
    // crawling into the table of a task loaded before.
    Query.ConnectionString.clear();
    Query.SQL = SQL;
    ShowMessageBox("File not exist: " + name, "LoadParam", TMsgButtons::AbortRetryIgnore,
                   TMsgIcon::None);
}

bool TURLExtractor::SaveParam(const std::string& FileName) const {
    TIniFile ini;
    std::error_code ec;
    if (std::filesystem::exists(FileName, ec) && !ini.LoadFromFile(FileName)) {
        throw Exception(FormatMessage("Unable to write to %s", {FileName}));
    }
    WriteTaskKeys(ini, m_params);
    ini.SaveToFile(FileName);
    return true;
}

std::string TURLExtractor::BuildNextPagePath(const std::string& Keyword) {
    return linkvane::BuildNextPagePath(Keyword);
}

void TURLExtractor::ApplySpeedOptions() const {
    SetPageWaitSettings(m_params.MinRepeatTimes, m_params.MinWaitSeconds, m_params.MaxWaitSeconds);
}

std::string TURLExtractor::ExpandTaskPath(const std::string& Name) const {
    return ExpandRelativePath(m_TaskFileName, Name);
}

std::string TURLExtractor::GetOutputTextFileName() const {
    return ExpandTaskPath(m_params.OutputParam.OutputTextFileName);
}

void TURLExtractor::UpdateOutputFileName() {
    m_OutputFileName = GetOutputTextFileName();
}

std::string TURLExtractor::GetOutputFileName() const {
    return ExpandTaskPath(m_params.OutputParam.OutputType == 0
                              ? m_params.OutputParam.OutputTextFileName
                              : m_params.OutputParam.DBConnectionFileName);
}

} // namespace linkvane
