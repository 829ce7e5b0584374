// Shortcuts in the Recent folder are read by the shell: damaged ones must
// leave the scan and the clean standing.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include "plugins/system/windows_recent.h"
#include "robustness/mutation.h"
#include "sysaccess/com_owners.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

std::wstring RecentFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_RECENT, TRUE);
    return path;
}

// The bytes of a shortcut as the shell saves it.
std::string ShortcutBytes(const std::wstring& shortcut, const std::wstring& target) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.ReceiveVoid())))
        return {};
    link->SetPath(target.c_str());
    link->SetDescription(L"#size# <b>");
    ComPtr<IPersistFile> file;
    link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
    if (!file || FAILED(file->Save(shortcut.c_str(), TRUE))) return {};
    std::string bytes = ReadTestFile(shortcut);
    DeleteFileW(shortcut.c_str());
    return bytes;
}

TEST(RecentShortcutsFuzz, DamagedShortcutsAreScannedAndCleaned) {
    ScopedComApartment apartment;
    ScopedTestFolder folder(L"RecentFuzz");
    WriteTestFile(folder.Sub(L"letter.txt"), "Dear ...");
    const std::vector<std::string> samples = {
        ShortcutBytes(folder.Sub(L"a.lnk"), folder.Sub(L"letter.txt")),
        ShortcutBytes(folder.Sub(L"b.lnk"), L"D:\\#total#\\" + std::wstring(200, L'x') + L".doc")};
    ASSERT_FALSE(samples[0].empty());
    RemoveTree(RecentFolder());
    PluginRun<CPlgWinRecUsed> run(L"WinRecUsed");
    for (uint64_t round = 0; round < 60 && !HasFailure(); ++round) {
        const uint64_t firstSeed = 70000 + round * 4;
        SCOPED_TRACE("seeds from " + std::to_string(firstSeed));
        std::vector<std::wstring> written;
        ForEachMutation(samples, 4, firstSeed, [&](uint64_t seed, const std::string& bytes) {
            written.push_back(RecentFolder() + L"\\doc" + std::to_wstring(seed) + L".lnk");
            WriteTestFile(written.back(), bytes);
        });
        ASSERT_EQ(run.Scan(), L"Finished");
        run.ScanReport();
        ASSERT_EQ(run.Clean(), L"Finished");
        // What the scan listed is gone; a shortcut the shell cannot read is passed over.
        for (const RecentDocument& record : run.plugin->GetList())
            EXPECT_FALSE(FileExists(record.shortcut));
        for (const std::wstring& path : written) DeleteFileW(path.c_str());
    }
    EXPECT_TRUE(FileExists(folder.Sub(L"letter.txt")));
}

}  // namespace

}  // namespace veltrane
