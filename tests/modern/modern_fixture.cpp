#include "modern_fixture.h"

#include <string>

namespace veltrane {

HeldLock::HeldLock(const std::wstring& path) {
    static int counter = 0;
    const std::wstring suffix =
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    const std::wstring readyName = L"VeltraneLockReady-" + suffix;
    const std::wstring releaseName = L"VeltraneLockRelease-" + suffix;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring helper = self;
    helper = helper.substr(0, helper.rfind(L'\\') + 1) + L"lock_helper.exe";
    std::wstring command =
        L"\"" + helper + L"\" \"" + path + L"\" " + readyName + L" " + releaseName;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        HANDLE both[] = {ready, process_};
        holding_ = WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
    }
    CloseHandle(ready);
}

HeldLock::~HeldLock() {
    SetEvent(release_);
    if (process_ != nullptr) {
        WaitForSingleObject(process_, 30000);
        CloseHandle(process_);
    }
    CloseHandle(release_);
}

std::string FileBytes(const std::wstring& path) { return ReadTestFile(path); }

bool BytesContain(const std::wstring& path, const std::string& text) {
    return FileBytes(path).find(text) != std::string::npos;
}

std::wstring QueryOne(const std::wstring& database, const std::string& sql) {
    SqliteDb db;
    if (!db.Open(database, SqliteDb::Access::kReadOnly).Ok()) return L"(cannot open)";
    return db.QueryText(sql);
}

int64_t CountRows(const std::wstring& database, const std::string& table) {
    return _wtoi64(QueryOne(database, "SELECT count(*) FROM " + table).c_str());
}

}  // namespace veltrane
