#pragma once

#include "task/TaskParams.h"

#include <string>
#include <vector>

namespace linkvane {

class TIniFile;

enum class TTaskKeyKind {
    Text,     ///< the value as read
    Integer,  ///< a 32-bit integer
    OneBased, ///< an integer stored 1-based in the file and 0-based in 8 bits in memory
    YesNo,    ///< "YES" (any letter case) is true, anything else false
};

/// One key of the task file. The table of keys is the one place that load,
/// save, `show` and `--set` share, so they cannot drift apart.
struct TTaskKey {
    const char* Section;
    const char* Key;
    TTaskKeyKind Kind;
    const char* DefaultText; ///< for Text and YesNo keys missing from a file
    int32_t DefaultValue;    ///< for Integer and OneBased keys missing or not a valid integer
    std::string& (*TextField)(TTaskParams&);
    int32_t& (*IntegerField)(TTaskParams&);
    uint8_t& (*ByteField)(TTaskParams&);
    bool& (*FlagField)(TTaskParams&);

    /// The name `--set` knows the key by: the key itself, or "Section.Key"
    /// for a key that two sections share.
    std::string QualifiedName() const;
};

/// Every key in the order in which a task file is written.
const std::vector<TTaskKey>& TaskKeys();

/// The key named "Key" or "Section.Key" (without regard to case), or null when
/// there is none or the bare name is shared by two sections.
const TTaskKey* FindTaskKey(const std::string& name);

/// Reads every field from its key or that key's default, then derives
/// NextPageNodePath from NextPageNodeKeyword when the path is empty.
void ReadTaskKeys(const TIniFile& ini, TTaskParams& params);

/// Writes all keys in table order; an empty value keeps its key.
void WriteTaskKeys(TIniFile& ini, const TTaskParams& params);

/// The value text written for a key.
std::string TaskKeyValueText(const TTaskKey& key, const TTaskParams& params);

/// Sets a field from a value text as if it had been read from a task file
/// (quotes, hexadecimal integers, the 1-based types and "YES" as there).
void SetTaskKeyFromText(const TTaskKey& key, TTaskParams& params, const std::string& valueText);

/// The next-page path derived from a next-page keyword: with "=" in the
/// keyword the first link whose HTML holds it, otherwise the first link whose
/// text holds it near its start. The keyword is put in unchanged.
std::string BuildNextPagePath(const std::string& Keyword);

} // namespace linkvane
