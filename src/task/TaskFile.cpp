#include "task/TaskFile.h"

#include "support/IniFile.h"
#include "support/TextTrim.h"

#include <algorithm>

namespace linkvane {
namespace {

#define LV_TEXT(section, key, def, expr)                                                           \
    TTaskKey {                                                                                     \
        section, key, TTaskKeyKind::Text, def, 0,                                                  \
            [](TTaskParams& p) -> std::string& { return p.expr; }, nullptr, nullptr, nullptr       \
    }
#define LV_INT(section, key, def, expr)                                                            \
    TTaskKey {                                                                                     \
        section, key, TTaskKeyKind::Integer, "", def, nullptr,                                     \
            [](TTaskParams& p) -> int32_t& { return p.expr; }, nullptr, nullptr                    \
    }
#define LV_ONE_BASED(section, key, def, expr)                                                      \
    TTaskKey {                                                                                     \
        section, key, TTaskKeyKind::OneBased, "", def, nullptr, nullptr,                           \
            [](TTaskParams& p) -> uint8_t& { return p.expr; }, nullptr                             \
    }
#define LV_YES_NO(section, key, def, expr)                                                         \
    TTaskKey {                                                                                     \
        section, key, TTaskKeyKind::YesNo, def, 0, nullptr, nullptr, nullptr,                      \
            [](TTaskParams& p) -> bool& { return p.expr; }                                         \
    }

const std::vector<TTaskKey> kTaskKeys = {
    LV_TEXT("Input", "TaskName", "", InputParam.TaskName),
    LV_ONE_BASED("Input", "InputType", 1, InputParam.InputType),
    LV_TEXT("Input", "PostTargetURL", "", InputParam.PostTargetURL),
    LV_TEXT("Input", "URLPrefix", "", InputParam.URLPrefix),
    LV_TEXT("Input", "URLMidListFileName", "", InputParam.URLMidListFileName),
    LV_YES_NO("Input", "URLMidIsUnicode", "NO", InputParam.URLMidIsUnicode),
    LV_TEXT("Input", "URLSuffix", "", InputParam.URLSuffix),
    LV_TEXT("Input", "DBConnectionFileName", "", InputParam.DBConnectionFileName),
    LV_TEXT("Input", "URLSQL", "", InputParam.URLSQL),
    LV_TEXT("Input", "InitURL", "", InputParam.InitURL),
    LV_TEXT("Extract", "LinkCollectionNodePath", ".A", ExtractParam.LinkCollectionNodePath),
    LV_TEXT("Extract", "LinkRelativeNodePath", "", ExtractParam.LinkRelativeNodePath),
    LV_TEXT("Extract", "NextPageNodePath", "", ExtractParam.NextPageNodePath),
    LV_TEXT("Extract", "NextPageNodeKeyword", "", ExtractParam.NextPageNodeKeyword),
    LV_TEXT("Extract", "LinkURL_Pattern", "", ExtractParam.LinkURL_Pattern),
    LV_TEXT("Extract", "LinkURL_Keywords_Include", "", ExtractParam.LinkURL_Keywords_Include),
    LV_TEXT("Extract", "LinkURL_Keywords_Exclude", "", ExtractParam.LinkURL_Keywords_Exclude),
    LV_TEXT("Extract", "LinkText_Keywords_Include", "", ExtractParam.LinkText_Keywords_Include),
    LV_TEXT("Extract", "LinkText_Keywords_Exclude", "", ExtractParam.LinkText_Keywords_Exclude),
    LV_INT("Extract", "LinkText_Length_Min", 1, ExtractParam.LinkText_Length_Min),
    LV_INT("Extract", "LinkText_Length_Max", 500, ExtractParam.LinkText_Length_Max),
    LV_TEXT("Extract", "ExtraDataRelativeNodePath", "", ExtractParam.ExtraDataRelativeNodePath),
    LV_ONE_BASED("Output", "OutputType", 1, OutputParam.OutputType),
    LV_ONE_BASED("Output", "LayoutType", 1, OutputParam.LayoutType),
    LV_TEXT("Output", "OutputTextFileName", "", OutputParam.OutputTextFileName),
    LV_TEXT("Output", "DBConnectionFileName", "", OutputParam.DBConnectionFileName),
    LV_TEXT("Output", "TableSQL", "", OutputParam.TableSQL),
    LV_TEXT("Output", "URLDataPattern", "", OutputParam.URLDataPattern),
    LV_INT("Options", "MinRepeatTimes", 100, MinRepeatTimes),
    LV_INT("Options", "MinWaitSeconds", 0, MinWaitSeconds),
    LV_INT("Options", "MaxWaitSeconds", 90, MaxWaitSeconds),
};

#undef LV_TEXT
#undef LV_INT
#undef LV_ONE_BASED
#undef LV_YES_NO

bool KeyNameShared(const TTaskKey& key) {
    return std::count_if(kTaskKeys.begin(), kTaskKeys.end(),
                         [&](const TTaskKey& k) { return SameTextAscii(k.Key, key.Key); }) > 1;
}

/// Sets a field from a value that is present (already trimmed and unquoted).
void SetFromValue(const TTaskKey& key, TTaskParams& params, const std::string& value) {
    switch (key.Kind) {
    case TTaskKeyKind::Text:
        key.TextField(params) = value;
        break;
    case TTaskKeyKind::Integer:
        key.IntegerField(params) = TIniFile::ParseInteger(value).value_or(key.DefaultValue);
        break;
    case TTaskKeyKind::OneBased:
        // Held in 8 bits without a check: a file value 0 becomes 255.
        key.ByteField(params) =
            static_cast<uint8_t>(TIniFile::ParseInteger(value).value_or(key.DefaultValue) - 1);
        break;
    case TTaskKeyKind::YesNo:
        key.FlagField(params) = UpperAscii(value) == "YES";
        break;
    }
}

} // namespace

std::string TTaskKey::QualifiedName() const {
    return KeyNameShared(*this) ? std::string(Section) + "." + Key : std::string(Key);
}

const std::vector<TTaskKey>& TaskKeys() {
    return kTaskKeys;
}

const TTaskKey* FindTaskKey(const std::string& name) {
    for (const auto& key : kTaskKeys) {
        if (SameTextAscii(name, std::string(key.Section) + "." + key.Key)) {
            return &key;
        }
    }
    for (const auto& key : kTaskKeys) {
        if (SameTextAscii(name, key.Key)) {
            return KeyNameShared(key) ? nullptr : &key;
        }
    }
    return nullptr;
}

void ReadTaskKeys(const TIniFile& ini, TTaskParams& params) {
    for (const auto& key : kTaskKeys) {
        const auto value = ini.ReadValue(key.Section, key.Key);
        // A missing integer key reads its empty default text as not a number,
        // which gives the key's default value.
        SetFromValue(key, params, value ? *value : std::string(key.DefaultText));
    }
    auto& extract = params.ExtractParam;
    if (extract.NextPageNodePath.empty() && !extract.NextPageNodeKeyword.empty()) {
        extract.NextPageNodePath = BuildNextPagePath(extract.NextPageNodeKeyword);
    }
}

std::string TaskKeyValueText(const TTaskKey& key, const TTaskParams& params) {
    auto& p = const_cast<TTaskParams&>(params); // the accessors only read here
    switch (key.Kind) {
    case TTaskKeyKind::Text:
        return key.TextField(p);
    case TTaskKeyKind::Integer:
        return std::to_string(key.IntegerField(p));
    case TTaskKeyKind::OneBased:
        return std::to_string(static_cast<int>(key.ByteField(p)) + 1);
    case TTaskKeyKind::YesNo:
        return key.FlagField(p) ? "YES" : "NO";
    }
    return {};
}

void WriteTaskKeys(TIniFile& ini, const TTaskParams& params) {
    for (const auto& key : kTaskKeys) {
        ini.WriteString(key.Section, key.Key, TaskKeyValueText(key, params));
    }
}

void SetTaskKeyFromText(const TTaskKey& key, TTaskParams& params, const std::string& valueText) {
    SetFromValue(key, params, TIniFile::ParseValueText(valueText));
}

std::string BuildNextPagePath(const std::string& Keyword) {
    if (Keyword.find('=') != std::string::npos) {
        return ".A(PosHTML('" + Keyword + "')>0)[1#]";
    }
    return ".A(PosText('" + Keyword + "')<10)[1#]";
}

} // namespace linkvane
