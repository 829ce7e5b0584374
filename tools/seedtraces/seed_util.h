#pragma once
// Helpers the seeders share to write registry values and files.
#include <windows.h>

#include <string>
#include <vector>

namespace veltrane {

bool SeedString(HKEY root, const std::wstring& key, const std::wstring& name,
                const std::wstring& data, DWORD type = REG_SZ);
bool SeedDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data);
bool SeedBinary(HKEY root, const std::wstring& key, const std::wstring& name, const void* data,
                DWORD size);
bool SeedKey(HKEY root, const std::wstring& key);
// Writes `content` to `path`, creating the folders on the way.
bool SeedFile(const std::wstring& path, const std::string& content);
bool SeedFolder(const std::wstring& path);

// Where the seeders put traces: the places a clean of their plug-ins may
// remove or change. The safety-net test (tests/safety) lets exactly these,
// and what lies below them, change; everything else on the machine must come
// through a clean untouched. A new seeder joins the net by noting its places.
struct TracePlace {
    std::wstring name;         // as the safety net names items: see TraceItemName
    bool contentOnly = false;  // what is inside may go, the place itself stays
    bool editedOnly = false;   // a file a clean edits: it may change, it must stay
};
// A file or a folder with everything below it.
void NoteTraceFile(const std::wstring& path);
// A file a clean edits in place (a browser's database): it may change, never go.
void NoteEditedTraceFile(const std::wstring& path);
// What a plug-in empties: everything inside `folder`, which itself stays.
void NoteTraceFolderContent(const std::wstring& folder);
// A key with its values and sub-keys.
void NoteTraceKey(HKEY root, const std::wstring& key);
// One value.
void NoteTraceValue(HKEY root, const std::wstring& key, const std::wstring& name);
// Every place noted in this process, in the order noted.
const std::vector<TracePlace>& NotedTracePlaces();

// The one spelling of an item that the notes and the safety net's snapshots
// share: lower case; files by their full path; keys as "HKEY_CURRENT_USER\key";
// a value as its key, a tab, and its name.
std::wstring TraceItemName(const std::wstring& path);
std::wstring TraceItemName(HKEY root, const std::wstring& key);
std::wstring TraceItemName(HKEY root, const std::wstring& key, const std::wstring& value);

}  // namespace veltrane
