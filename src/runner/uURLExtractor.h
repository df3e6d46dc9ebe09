#pragma once

#include "db/TDBQuery.h"
#include "task/TaskParams.h"

#include <cstdint>
#include <string>

namespace linkvane {

/// Runs a task: holds its parameters, loads and saves task files, and (with
/// the run half) visits the entries and stores the links found.
class TURLExtractor {
public:
    TURLExtractor() = default;
    TURLExtractor(const TURLExtractor&) = delete;
    TURLExtractor& operator=(const TURLExtractor&) = delete;
    ~TURLExtractor() = default;

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

    TTaskParams m_params;
    std::string m_TaskFileName;
    std::string m_OutputFileName;
    std::string m_URLFileName;
    TDBQuery m_InputQuery;
    TDBQuery m_OutputQuery;
};

} // namespace linkvane
