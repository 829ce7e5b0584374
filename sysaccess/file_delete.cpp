#include "sysaccess/file_delete.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "sysaccess/file_walk.h"
#include "sysaccess/handles.h"
#include "sysaccess/os_version.h"

namespace {

constexpr DWORD kWipeBlock = 0x10000;

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The Windows 9x way: a "nul = <short path>" line first in WININIT.INI's [rename] section.
bool AddWininitRename(const std::wstring& path) {
    wchar_t shortPath[MAX_PATH] = {};
    DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    std::wstring name = (length > 0 && length < MAX_PATH) ? std::wstring(shortPath, length) : path;
    // The file is read by the 9x boot loader in the system's code page.
    int bytes = WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow.data(), bytes, nullptr, nullptr);

    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring iniPath = std::wstring(windows) + L"\\WININIT.INI";

    std::string text;
    if (FILE* file = _wfopen(iniPath.c_str(), L"rb")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, got);
        fclose(file);
    }
    std::string lines;  // line ends as LF while editing
    for (char c : text)
        if (c != '\r') lines += c;

    const std::string header = "[rename]\n";
    std::string entry = "nul = " + narrow + "\n";
    size_t at = lines.find(header);
    if (at == std::string::npos)
        lines += header + entry;
    else
        lines.insert(at + header.size(), entry);

    std::string output;
    for (char c : lines) {
        if (c == '\n') output += '\r';
        output += c;
    }
    FILE* file = _wfopen(iniPath.c_str(), L"wb");
    if (!file) return false;
    bool ok = fwrite(output.data(), 1, output.size(), file) == output.size();
    return fclose(file) == 0 && ok;
}

}  // namespace

bool WipeFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return IsGone(GetLastError());
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size)) return false;

    static const std::string ones(kWipeBlock, '\xFF');
    uint64_t remaining = static_cast<uint64_t>(size.QuadPart);
    while (remaining > 0) {
        DWORD block = static_cast<DWORD>(remaining < kWipeBlock ? remaining : kWipeBlock);
        DWORD written = 0;
        // A failed or empty write ends the pass as failed instead of looping.
        if (!WriteFile(file.Get(), ones.data(), block, &written, nullptr) || written == 0)
            return false;
        remaining -= written;
    }
    return file.Close();
}

bool DeleteFileEx(const std::wstring& path, bool overwrite) {
    const wchar_t* name = path.c_str();
    if (overwrite) {
        // Most files open for writing as they are; clearing the attributes of
        // every file up front would cost a trip to the file system each, so
        // only a file that refuses (read-only) gets them cleared and a retry.
        bool wiped = WipeFile(path);
        if (!wiped && GetLastError() == ERROR_ACCESS_DENIED &&
            SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL))
            wiped = WipeFile(path);
        if (!wiped) {
            DWORD error = GetLastError();
            ScheduleDeleteOnReboot(path);
            SetLastError(error);
            return true;
        }
    }
    if (DeleteFileW(name)) return false;
    DWORD error = GetLastError();
    if (IsGone(error)) return false;
    if (error == ERROR_ACCESS_DENIED && SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL)) {
        // Read-only, hidden and system files go too.
        if (DeleteFileW(name)) return false;
        error = GetLastError();
        if (IsGone(error)) return false;
    }
    ScheduleDeleteOnReboot(path);
    SetLastError(error);
    return true;
}

bool RemoveFolder(const std::wstring& path) {
    return RemoveDirectoryW(path.c_str()) || IsGone(GetLastError());
}

bool ScheduleDeleteOnReboot(const std::wstring& path) {
    if (IsWindowsNT()) return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return AddWininitRename(path);
}

namespace {

// Deletes the listed files, adding up what went and noting deferrals.
bool DeleteListedFiles(const StringList& files, const SizeList& sizes, IRunContext* plugin,
                       unsigned* count, uint64_t* size, bool* reboot) {
    bool overwrite = plugin != nullptr && plugin->GetWipeFiles();
    for (size_t i = 0; i < files.size(); ++i) {
        if (IsCancelled(plugin)) return false;
        bool deferred = DeleteFileEx(files[i], overwrite);
        if (count) ++*count;
        if (size) *size += sizes[i];
        if (deferred) {
            if (plugin) plugin->SetRebootNeeded();
            if (reboot) *reboot = true;
        }
    }
    return true;
}

void ResetOutputs(unsigned* count, uint64_t* size, bool* reboot) {
    if (count) *count = 0;
    if (size) *size = 0;
    if (reboot) *reboot = false;
}

}  // namespace

bool DeleteFolderFiles(const std::wstring& folder, IRunContext* plugin, bool /*counted*/,
                       unsigned* count, uint64_t* size, bool* reboot, const wchar_t* masks) {
    ResetOutputs(count, size, reboot);
    StringList files;
    SizeList sizes;
    if (!GetFileList(plugin, folder, &files, nullptr, masks, L'|', nullptr, &sizes)) return false;
    return DeleteListedFiles(files, sizes, plugin, count, size, reboot);
}

bool DeleteFolderTree(const std::wstring& folder, IRunContext* plugin, bool /*counted*/,
                      unsigned* count, uint64_t* size, bool* reboot, const wchar_t* masks) {
    ResetOutputs(count, size, reboot);
    StringList files;
    SizeList sizes;
    StringList folders;
    GetFileListPlugCancelProc visitor(plugin, &files, &sizes, &folders, masks, L'|');
    if (!WalkFolderTree(folder, visitor)) return false;
    if (!DeleteListedFiles(files, sizes, plugin, count, size, reboot)) return false;

    bool result = true;
    for (const std::wstring& path : folders) {
        if (IsCancelled(plugin)) return false;
        if (RemoveFolder(path)) {
            if (count) ++*count;
        } else {
            result = false;
        }
    }
    return result;
}
