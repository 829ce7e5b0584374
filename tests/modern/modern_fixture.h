#pragma once
// Today's browsers in the sandbox's real profile places (Chrome with a
// profile only Local State names, Edge, Firefox with a relative and an
// absolute profile), written by the seeder's code and removed around every
// test; a helper process that holds a profile lock; file and database probes.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "seedtraces/modern_browsers.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "sysaccess/sqlite_db.h"

namespace veltrane {

class ModernBrowsersTest : public testing::Test {
protected:
    void SetUp() override {
        // A kernel of an earlier test may have stored options (a keep-list) on its way out.
        ForgetKernelSettings();
        Remove();
        ASSERT_FALSE(Local().empty());
        ASSERT_TRUE(
            WriteChromiumUserData(Chrome(), {{L"Default", L"Person 1"}, {L"Work", L"Work"}}));
        ASSERT_TRUE(WriteChromiumProfile(ChromeDefault(), ChromeDefault()));
        ASSERT_TRUE(WriteChromiumProfile(ChromeWork(), ChromeWork()));
        ASSERT_TRUE(WriteChromiumUserData(Edge(), {{L"Default", L"Profile 1"}}));
        ASSERT_TRUE(WriteChromiumProfile(EdgeDefault(), EdgeDefault()));
        ASSERT_TRUE(
            WriteProfilesIni(FirefoxRoot(), {{L"default-release", L"Profiles/r1.default", true},
                                             {L"work", kFirefoxAbsolute, false}}));
        ASSERT_TRUE(WriteFirefoxProfile(FirefoxRelative(), FirefoxRelativeCache()));
        ASSERT_TRUE(WriteFirefoxProfile(FirefoxAbsolute(), FirefoxAbsolute()));
    }
    void TearDown() override {
        Remove();
        ForgetKernelSettings();
    }

    static std::wstring Known(int csidl) {
        wchar_t path[MAX_PATH] = {};
        if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return {};
        return std::wstring(path) + L"\\";
    }
    static std::wstring Local() { return Known(CSIDL_LOCAL_APPDATA); }
    static std::wstring Chrome() { return Local() + L"Google\\Chrome\\User Data\\"; }
    static std::wstring ChromeDefault() { return Chrome() + L"Default\\"; }
    static std::wstring ChromeWork() { return Chrome() + L"Work\\"; }
    static std::wstring Edge() { return Local() + L"Microsoft\\Edge\\User Data\\"; }
    static std::wstring EdgeDefault() { return Edge() + L"Default\\"; }
    static std::wstring FirefoxRoot() { return Known(CSIDL_APPDATA) + L"Mozilla\\Firefox\\"; }
    static std::wstring FirefoxRelative() { return FirefoxRoot() + L"Profiles\\r1.default\\"; }
    static std::wstring FirefoxRelativeCache() {
        return Local() + L"Mozilla\\Firefox\\Profiles\\r1.default\\";
    }
    static constexpr wchar_t kFirefoxAbsolute[] = L"C:\\VeltraneTests\\Firefox Work";
    static std::wstring FirefoxAbsolute() { return std::wstring(kFirefoxAbsolute) + L"\\"; }

private:
    static void Remove() {
        RemoveTree(Local() + L"Google");
        RemoveTree(Local() + L"Microsoft\\Edge");
        RemoveTree(Local() + L"Mozilla");
        RemoveTree(Known(CSIDL_APPDATA) + L"Mozilla");
        RemoveTree(kFirefoxAbsolute);
    }
};

// A helper process that holds `path` open for exclusive access while it lives.
class HeldLock {
public:
    explicit HeldLock(const std::wstring& path);
    ~HeldLock();
    bool Holding() const { return holding_; }

private:
    HANDLE process_ = nullptr;
    HANDLE release_ = nullptr;
    bool holding_ = false;
};

// The bytes of a file, for "the file is as it was" and "the text is gone".
std::string FileBytes(const std::wstring& path);
bool BytesContain(const std::wstring& path, const std::string& text);
// The first column of the first row of `sql`, as text ("" when none).
std::wstring QueryOne(const std::wstring& database, const std::string& sql);
int64_t CountRows(const std::wstring& database, const std::string& table);

}  // namespace veltrane
