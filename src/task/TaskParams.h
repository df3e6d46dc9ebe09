#pragma once

#include <cstdint>
#include <string>

namespace linkvane {

/// Where the entries come from. InputType is held 0-based (file value - 1).
struct TURLInputParam {
    std::string TaskName;
    uint8_t InputType = 0;
    std::string PostTargetURL;
    std::string URLPrefix;
    std::string URLMidListFileName;
    bool URLMidIsUnicode = false;
    std::string URLSuffix;
    std::string DBConnectionFileName;
    std::string URLSQL;
    std::string InitURL;

    bool operator==(const TURLInputParam&) const = default;
};

/// How links are taken from a page.
struct TURLExtractParam {
    std::string LinkCollectionNodePath;
    std::string LinkRelativeNodePath;
    std::string NextPageNodeKeyword;
    std::string NextPageNodePath;
    std::string LinkURL_Pattern;
    std::string LinkURL_Keywords_Include;
    std::string LinkURL_Keywords_Exclude;
    std::string LinkText_Keywords_Include;
    std::string LinkText_Keywords_Exclude;
    int32_t LinkText_Length_Min = 0;
    int32_t LinkText_Length_Max = 100;
    std::string ExtraDataRelativeNodePath;

    bool operator==(const TURLExtractParam&) const = default;
};

/// Where results go. OutputType and LayoutType are held 0-based.
struct TURLOutputParam {
    uint8_t OutputType = 0;
    uint8_t LayoutType = 0;
    std::string DBConnectionFileName;
    std::string TableSQL;
    std::string OutputTextFileName;
    std::string URLDataPattern;

    bool operator==(const TURLOutputParam&) const = default;
};

/// A whole task as it moves between a task file and the runner. The starting
/// values are those of a runner that has loaded nothing (not the defaults for
/// keys missing from a file).
struct TTaskParams {
    TURLInputParam InputParam;
    TURLExtractParam ExtractParam;
    TURLOutputParam OutputParam;
    int32_t MaxWaitSeconds = 0;
    int32_t MinWaitSeconds = 0;
    int32_t MinRepeatTimes = 0;

    bool operator==(const TTaskParams&) const = default;
};

} // namespace linkvane
