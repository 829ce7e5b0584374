#pragma once
// Traces of the plug-ins that are only a description of registry entries and
// files (Run history, typed addresses, temporary files, Opera and AOL files,
// media players, ...), with control data beside them that a clean must leave.
#include <windows.h>

#include <string>
#include <vector>

namespace veltrane {

struct SeededRegPlace {
    HKEY root;
    std::wstring key;
    std::wstring value;  // empty for the key itself
};

// What the seeder wrote: the traces a clean of the nineteen plug-ins removes,
// and the control data beside them that it must leave.
struct StandardSeedManifest {
    std::vector<SeededRegPlace> traceValues;
    std::vector<SeededRegPlace> traceKeys;
    std::vector<std::wstring> traceFiles;
    std::vector<std::wstring> traceFolders;
    std::vector<SeededRegPlace> controlValues;
    std::vector<SeededRegPlace> controlKeys;
    std::vector<std::wstring> controlFiles;
    std::vector<std::wstring> controlFolders;
    // Not traces, but the seeder's to undo: what makes the applications look
    // installed (their paths), and the folders made for them and for the
    // control data.
    std::vector<SeededRegPlace> settings;
    std::vector<std::wstring> madeFolders;
};

// `scale` multiplies the bulk items: temporary files, typed addresses, MRU values.
bool SeedStandardTraces(int scale, StandardSeedManifest* manifest);

// Typed addresses as the browser keeps them when one more is typed: every
// address moves one number down and the new one becomes "url1".
bool RenumberTypedUrls(const std::wstring& newAddress);

inline constexpr wchar_t kTypedUrlsKey[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";

}  // namespace veltrane
