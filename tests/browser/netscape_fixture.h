#pragma once
// Netscape-family profiles in the sandbox's real profile locations, removed
// before and after every test.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "support/test_files.h"
#include "support/test_registry.h"

namespace veltrane {

class NetscapeTest : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    static std::wstring Special(int csidl) {
        wchar_t path[MAX_PATH] = {};
        SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE);
        return path;
    }
    static std::wstring AppData() { return Special(CSIDL_APPDATA); }
    static std::wstring MozillaRoot() { return AppData() + L"\\Mozilla"; }
    static std::wstring WindowsMozillaRoot() {
        return Special(CSIDL_WINDOWS) + L"\\Application Data\\Mozilla";
    }
    static constexpr const wchar_t* kNetscapeRoot = L"C:\\VeltraneTests\\Netscape";

    // A Mozilla suite profile with its salted folder; the folder, with "\".
    static std::wstring MozillaProfile(const std::wstring& name, const std::wstring& salt) {
        std::wstring folder = MozillaRoot() + L"\\Profiles\\" + name + L"\\" + salt + L"\\";
        MakeFolder(folder);
        return folder;
    }
    static std::wstring FirefoxProfile(const std::wstring& name) {
        std::wstring folder = MozillaRoot() + L"\\Firefox\\Profiles\\" + name + L"\\";
        MakeFolder(folder);
        return folder;
    }
    static std::wstring Netscape4Profile(const std::wstring& user) {
        SetString(HKEY_CURRENT_USER, L"Software\\Netscape\\Netscape Navigator\\Main",
                  L"Install Directory", std::wstring(kNetscapeRoot) + L"\\Program");
        SetString(HKEY_CURRENT_USER, L"Software\\Netscape\\Netscape Navigator\\biff",
                  L"CurrentUser", user);
        std::wstring folder = std::wstring(kNetscapeRoot) + L"\\Users\\" + user + L"\\";
        MakeFolder(folder);
        return folder;
    }

private:
    static void Clean() {
        RemoveTree(MozillaRoot());
        RemoveTree(WindowsMozillaRoot());
        RemoveTree(kNetscapeRoot);
        DeleteTree(HKEY_CURRENT_USER, L"Software\\Netscape");
    }
};

}  // namespace veltrane
