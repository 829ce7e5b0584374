#pragma once
// A registry export (.reg: the text regedit writes and imports) read into its
// keys and values. The corpus tests take their truth from it: which values a
// real hive holds, read from the file itself, not through our own code.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace veltrane {

struct RegExportValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

struct RegExportKey {
    std::map<std::wstring, RegExportValue> values;  // "" is the default value
};

// The keys of a UTF-16 export by their path below `root` ("Software\...").
using RegExport = std::map<std::wstring, RegExportKey>;

// Empty when the file cannot be read or holds keys of another root.
RegExport ReadRegExport(const std::wstring& file, const std::wstring& root = L"HKEY_CURRENT_USER");

}  // namespace veltrane
