#include "safety/plantation.h"

#include <map>

#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"

namespace veltrane {

namespace {

bool IsPlainFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The files directly in `folder`, in the order the folder lists them.
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find) return files;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(folder + L"\\" + entry.cFileName);
    } while (FindNextFileW(find.Get(), &entry));
    return files;
}

}  // namespace

std::wstring ParentOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsPlainFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring SiblingName(const std::wstring& file, const std::wstring& tag) {
    if (file.empty()) return L"safety-" + tag + L".tmp";
    std::wstring name = file.substr(file.find_last_of(L'\\') + 1);
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) return name + L"-" + tag;
    return name.substr(0, dot) + L"-" + tag + name.substr(dot);
}

std::vector<StartFolder> StartFolders(const std::vector<TracePlace>& places) {
    std::map<std::wstring, StartFolder> folders;  // sorted: a folder before those inside it
    auto noteFile = [&folders](const std::wstring& folder, const std::wstring& file) {
        StartFolder& start = folders[folder];
        start.path = folder;
        if (start.firstTrace.empty()) start.firstTrace = file;
        start.lastTrace = file;
    };
    for (const TracePlace& place : places) {
        if (place.name.rfind(L"c:", 0) != 0) continue;
        if (IsPlainFolder(place.name))
            folders[place.name].path = place.name;
        else if (!place.contentOnly && IsPlainFile(place.name) &&
                 IsPlainFolder(ParentOf(place.name)))
            noteFile(ParentOf(place.name), place.name);
    }
    std::vector<StartFolder> list;
    for (auto& [path, start] : folders) {
        // A folder emptied whole names its traces by what it holds.
        if (start.firstTrace.empty()) {
            std::vector<std::wstring> files = FilesIn(path);
            if (!files.empty()) {
                start.firstTrace = TraceItemName(files.front());
                start.lastTrace = TraceItemName(files.back());
            }
        }
        list.push_back(start);
    }
    return list;
}

Plantation::~Plantation() {
    for (HeldFile& held : held_) held.handle.Close();
    for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) (*undo)();
    RemoveTree(kNetRoot);
    DeleteTree(HKEY_CURRENT_USER, kNetKey);
    DeleteTree(HKEY_LOCAL_MACHINE, kNetKey);
}

std::wstring Plantation::ControlFolder(const std::wstring& slug) {
    std::wstring folder =
        std::wstring(kNetRoot) + L"\\" + slug + L"\\" + std::to_wstring(++folders_);
    MakeFolder(folder);
    return folder;
}

void Plantation::Guard(const std::wstring& path, Family family, const std::wstring& why) {
    guards_.push_back({TraceItemName(path), family, why});
}

void Plantation::GuardKey(HKEY root, const std::wstring& key, Family family,
                          const std::wstring& why) {
    guards_.push_back({TraceItemName(root, key), family, why});
}

void Plantation::GuardValue(HKEY root, const std::wstring& key, const std::wstring& name,
                            Family family, const std::wstring& why) {
    guards_.push_back({TraceItemName(root, key, name), family, why});
}

void Plantation::OnUndo(std::function<void()> undo) { undo_.push_back(std::move(undo)); }

void Plantation::RestoreAfterwards(HKEY root, const std::wstring& key, const std::wstring& name) {
    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> data;
    bool had = RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                            nullptr, &size) == ERROR_SUCCESS;
    if (had) {
        data.resize(size);
        had = RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                           data.data(), &size) == ERROR_SUCCESS;
    }
    OnUndo([=] {
        if (had)
            RegSetKeyValueW(root, key.c_str(), name.c_str(), type, data.data(),
                            static_cast<DWORD>(data.size()));
        else
            RegDeleteKeyValueW(root, key.c_str(), name.c_str());
    });
}

void Plantation::NoteTrace(const std::wstring& path) { traces_.push_back({TraceItemName(path)}); }

void Plantation::NoteLink(const std::wstring& path) { links_.push_back(TraceItemName(path)); }

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[4096] = {};
    DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length > 0 && length < 4096 ? value : L"";
}

void RestoreVariable(const wchar_t* name, const std::wstring& value) {
    SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

}  // namespace

ScopedTempVariables::ScopedTempVariables(const std::wstring& folder)
    : temp_(Variable(L"TEMP")), tmp_(Variable(L"TMP")) {
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
    SetEnvironmentVariableW(L"TMP", folder.c_str());
}

ScopedTempVariables::~ScopedTempVariables() {
    RestoreVariable(L"TEMP", temp_);
    RestoreVariable(L"TMP", tmp_);
}

}  // namespace veltrane
