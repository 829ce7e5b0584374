#include "seedtraces/seed_util.h"

#include <shlobj.h>

#include <cstdio>

#include "sysaccess/file_bytes.h"
#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"

namespace veltrane {

bool SeedKey(HKEY root, const std::wstring& key) {
    return CreateRegKeyAsGranted(root, key.c_str()).IsValid();
}

static bool SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                     const void* data, DWORD size) {
    const RegKey created = CreateRegKeyAsGranted(root, key.c_str());
    if (!created) return false;
    return RegSetValueExW(created.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                          size) == ERROR_SUCCESS;
}

bool SeedString(HKEY root, const std::wstring& key, const std::wstring& name,
                const std::wstring& data, DWORD type) {
    return SetValue(root, key, name, type, data.c_str(),
                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

bool SeedDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data) {
    return SetValue(root, key, name, REG_DWORD, &data, sizeof(data));
}

bool SeedBinary(HKEY root, const std::wstring& key, const std::wstring& name, const void* data,
                DWORD size) {
    return SetValue(root, key, name, REG_BINARY, data, size);
}

bool SeedFolder(const std::wstring& path) {
    int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS;
}

bool SeedFile(const std::wstring& path, const std::string& content) {
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) SeedFolder(path.substr(0, slash));
    return WriteWholeFile(path, content).Done();
}

namespace {

std::vector<TracePlace>& TracePlaces() {
    static std::vector<TracePlace> places;
    return places;
}

std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring RootName(HKEY root) {
    if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
    if (root == HKEY_USERS) return L"HKEY_USERS";
    return L"HKEY_OTHER";
}

}  // namespace

std::wstring TraceItemName(const std::wstring& path) {
    std::wstring name = path;
    for (wchar_t& c : name)
        if (c == L'/') c = L'\\';
    while (name.size() > 3 && name.back() == L'\\') name.pop_back();
    return Lower(name);
}

std::wstring TraceItemName(HKEY root, const std::wstring& key) {
    std::wstring name = key;
    while (!name.empty() && name.back() == L'\\') name.pop_back();
    return Lower(RootName(root) + (name.empty() ? L"" : L"\\" + name));
}

std::wstring TraceItemName(HKEY root, const std::wstring& key, const std::wstring& value) {
    return TraceItemName(root, key) + L"\t" + Lower(value);
}

void NoteTraceFile(const std::wstring& path) { TracePlaces().push_back({TraceItemName(path)}); }

void NoteEditedTraceFile(const std::wstring& path) {
    TracePlaces().push_back({.name = TraceItemName(path), .editedOnly = true});
}

void NoteTraceFolderContent(const std::wstring& folder) {
    TracePlaces().push_back({TraceItemName(folder), true});
}

void NoteTraceKey(HKEY root, const std::wstring& key) {
    TracePlaces().push_back({TraceItemName(root, key)});
}

void NoteTraceValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    TracePlaces().push_back({TraceItemName(root, key, name)});
}

const std::vector<TracePlace>& NotedTracePlaces() { return TracePlaces(); }

}  // namespace veltrane
