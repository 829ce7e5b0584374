// What a user sees of the safety rules through the unattended program: a
// temporary folder that resolves to the profile, a hard link in the temporary
// folder, folder links in the Recycle Bin and among ICQ accounts, and a
// deletion the system refuses to schedule.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>
#include <knownfolders.h>

#include <nlohmann/json.hpp>

#include "safety/snapshot.h"
#include "seedtraces/seed_util.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kOptionsKey[] = L"SOFTWARE\\Veltrane\\Options";
constexpr wchar_t kReports[] = L"C:\\VeltraneSafetyReports";
constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";

struct CleanRun {
    nlohmann::json plugin;  // this run's entry of the one plug-in asked for
    bool rebootNeeded = false;
    std::string report;  // the clean report, as written
};

CleanRun CleanOnly(const std::wstring& id) {
    RemoveTree(kReports);
    ChildResult child = RunChild(
        VeltraneCommand(L"/clean /only:" + id + L" /json /report:" + std::wstring(kReports)));
    CleanRun run;
    auto document = nlohmann::json::parse(child.output, nullptr, false);
    if (!document.contains("plugins") || document["plugins"].empty()) {
        ADD_FAILURE() << child.output;
        return run;
    }
    run.plugin = document["plugins"][0];
    run.rebootNeeded = document["rebootNeeded"].get<bool>();
    run.report = ReadTestFile(std::wstring(kReports) + L"\\" + id + L".clean.html");
    return run;
}

// One variable taken out of the user's and the machine's environment and out
// of this process (which the program inherits), and put back afterwards.
class RemovedVariable {
public:
    explicit RemovedVariable(const wchar_t* name) : name_(name) {
        for (Place& place : places_) Take(place);
        wchar_t value[4096] = {};
        DWORD length = GetEnvironmentVariableW(name, value, 4096);
        if (length > 0 && length < 4096) process_ = value;
        SetEnvironmentVariableW(name, nullptr);
    }
    ~RemovedVariable() {
        for (Place& place : places_)
            if (place.had)
                RegSetKeyValueW(place.root, place.key, name_, place.type, place.data.data(),
                                static_cast<DWORD>(place.data.size()));
        if (!process_.empty()) SetEnvironmentVariableW(name_, process_.c_str());
    }

private:
    struct Place {
        HKEY root;
        const wchar_t* key;
        bool had = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    void Take(Place& place) {
        DWORD size = 0;
        if (RegGetValueW(place.root, place.key, name_, RRF_RT_ANY | RRF_NOEXPAND, &place.type,
                         nullptr, &size) != ERROR_SUCCESS)
            return;
        place.data.resize(size);
        place.had = RegGetValueW(place.root, place.key, name_, RRF_RT_ANY | RRF_NOEXPAND,
                                 &place.type, place.data.data(), &size) == ERROR_SUCCESS;
        RegDeleteKeyValueW(place.root, place.key, name_);
    }

    const wchar_t* name_;
    Place places_[2] = {{HKEY_CURRENT_USER, L"Environment"},
                        {HKEY_LOCAL_MACHINE,
                         L"System\\CurrentControlSet\\Control\\Session "
                         L"Manager\\Environment"}};
    std::wstring process_;
};

class ScopedOverWrite {
public:
    ScopedOverWrite() { SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite", L"1"); }
    ~ScopedOverWrite() { SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite", L"0"); }
};

std::wstring TempFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, path);
    std::wstring folder(path, length);
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

// Every file below the profile, with its content, as the snapshot sees them.
Snapshot ProfileFiles() {
    std::wstring profile = TraceItemName(GetKnownFolderPath(FOLDERID_Profile));
    Snapshot files;
    for (const auto& [name, fingerprint] : TakeSnapshot())
        if (name.size() > profile.size() && IsAtOrBelow(name, profile)) files[name] = fingerprint;
    return files;
}

TEST(Unattended, TemporaryFolderOnTheProfileIsRefusedAndNamed) {
    std::wstring profile = GetKnownFolderPath(FOLDERID_Profile);
    WriteTestFile(profile + L"\\Contacts\\alice.contact", "<contact/>");
    WriteTestFile(profile + L"\\Saved Games\\save1.dat", "level 7");
    Snapshot before = ProfileFiles();
    ASSERT_GT(before.size(), 2u);
    CleanRun run;
    {
        RemovedVariable temp(L"TEMP");
        RemovedVariable tmp(L"TMP");
        run = CleanOnly(L"TempDir");
    }
    Snapshot after = ProfileFiles();
    for (const Damage& damage : CompareSnapshots(before, after))
        ADD_FAILURE() << ToUtf8(damage.what + L": " + damage.name);
    EXPECT_NE(run.report.find(ToUtf8(EscapeHtml(profile))), std::string::npos) << run.report;
    EXPECT_NE(run.report.find("status status-failed"), std::string::npos) << run.report;
    EXPECT_EQ(run.report.find("status status-deleted"), std::string::npos) << run.report;
    DeleteFileW((profile + L"\\Contacts\\alice.contact").c_str());
    DeleteFileW((profile + L"\\Saved Games\\save1.dat").c_str());
}

TEST(Unattended, HardLinkInTheTemporaryFolderGoesWithoutTouchingTheOtherName) {
    ScopedTestFolder outside(L"SafetyHardLink");
    std::wstring document = outside.Sub(L"thesis.doc");
    WriteTestFile(document, "four years of work");
    std::wstring link = TempFolder() + L"\\~WRL0001.tmp";
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), document.c_str(), nullptr));
    CleanRun run;
    {
        ScopedOverWrite overwrite;
        run = CleanOnly(L"TempDir");
    }
    EXPECT_FALSE(FileExists(link));
    EXPECT_EQ(ReadTestFile(document), "four years of work");
    EXPECT_NE(run.report.find("Deleted, not overwritten"), std::string::npos) << run.report;
    EXPECT_EQ(run.plugin["result"], 0);
}

// Links made for one test, removed when it ends however it ends.
class ScopedLinks {
public:
    ~ScopedLinks() {
        for (const std::wstring& link : links_) RemoveFolderLink(link);
    }
    bool Make(const std::wstring& link, const std::wstring& target) {
        links_.push_back(link);
        return MakeFolderLink(link, target);
    }

private:
    std::vector<std::wstring> links_;
};

TEST(Unattended, FolderLinksInTheBinAndAmongIcqAccountsAreNotFollowed) {
    ScopedTestFolder targets(L"SafetyLinkTargets");
    ScopedLinks links;
    WriteTestFile(targets.Sub(L"bin\\letter.txt"), "kept");
    WriteTestFile(targets.Sub(L"item\\draft.txt"), "kept");
    WriteTestFile(targets.Sub(L"account\\77889900\\History.dat"), "kept");
    WriteTestFile(targets.Sub(L"pro\\Messages.dat"), "kept");

    std::wstring sid = GetCurrentUserSidString();
    ASSERT_FALSE(sid.empty());
    RemoveTree(L"C:\\RECYCLER");
    MakeFolder(L"C:\\RECYCLER");
    ASSERT_TRUE(links.Make(L"C:\\RECYCLER\\" + sid, targets.Sub(L"bin")));
    const std::wstring otherBin = L"C:\\RECYCLER\\S-1-5-21-7-7-7-1001";
    WriteTestFile(otherBin + L"\\Dc2.txt", "deleted letter");
    WriteTestFile(otherBin + L"\\INFO2", std::string(20, '\0'));
    // A bin is a system and hidden folder; one that is not is left whole.
    for (const wchar_t* folder : {L"C:\\RECYCLER", otherBin.c_str()})
        ASSERT_TRUE(SetFileAttributesW(folder, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(links.Make(otherBin + L"\\Dc1", targets.Sub(L"item")));

    std::wstring appData = GetKnownFolderPath(FOLDERID_RoamingAppData);
    SetString(HKEY_CURRENT_USER,
              L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"AppData",
              appData);
    RemoveTree(appData + L"\\ICQLite");
    std::wstring icqLite = appData + L"\\ICQLite\\HistoryDB";
    MakeFolder(icqLite);
    ASSERT_TRUE(links.Make(icqLite + L"\\1234561", targets.Sub(L"account")));
    const std::wstring icqPro = L"C:\\VeltraneTests\\SafetyIcq";
    RemoveTree(icqPro);
    SetString(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis\\ICQ\\ICQPro\\DefaultPrefs", L"ICQPath",
              icqPro);
    MakeFolder(icqPro + L"\\2003b");
    ASSERT_TRUE(links.Make(icqPro + L"\\2003b\\11111111", targets.Sub(L"pro")));

    {
        ScopedOverWrite overwrite;
        CleanOnly(L"RecycleBin");
        CleanOnly(L"MessageHistory");
    }
    EXPECT_EQ(ReadTestFile(targets.Sub(L"bin\\letter.txt")), "kept");
    EXPECT_EQ(ReadTestFile(targets.Sub(L"item\\draft.txt")), "kept");
    EXPECT_EQ(ReadTestFile(targets.Sub(L"account\\77889900\\History.dat")), "kept");
    EXPECT_EQ(ReadTestFile(targets.Sub(L"pro\\Messages.dat")), "kept");
    EXPECT_FALSE(FileExists(otherBin + L"\\Dc2.txt"));  // the bin itself was cleaned

    RemoveTree(L"C:\\RECYCLER");
    RemoveTree(appData + L"\\ICQLite");
    RemoveTree(icqPro);
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis");
}

// Denies everyone the right to change the key, so that the system cannot
// record a deletion for the next start; the key's own list comes back after.
class ScheduleRefused {
public:
    ScheduleRefused() {
        saved_ = TryGetRegKeyDacl(HKEY_LOCAL_MACHINE, kSessionManager);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        EXPLICIT_ACCESSW entries[2] = {};
        entries[0].grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
        entries[0].grfAccessMode = DENY_ACCESS;
        entries[1].grfAccessPermissions = KEY_READ;
        entries[1].grfAccessMode = GRANT_ACCESS;
        for (EXPLICIT_ACCESSW& entry : entries) {
            entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
            entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
            entry.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
        }
        PACL acl = nullptr;
        SetEntriesInAclW(2, entries, nullptr, &acl);
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
        applied_ = saved_ &&
                   SetRegKeyDacl(HKEY_LOCAL_MACHINE, kSessionManager, &descriptor, false).Written();
        LocalFree(acl);
        FreeSid(everyone);
    }
    ~ScheduleRefused() {
        if (saved_) (void)SetRegKeyDacl(HKEY_LOCAL_MACHINE, kSessionManager, saved_->data(), false);
    }
    bool Applied() const { return applied_; }

private:
    std::optional<SecurityDescriptorBuffer> saved_;
    bool applied_ = false;
};

TEST(Unattended, ADeletionTheSystemWillNotScheduleShowsAsFailed) {
    std::wstring path = TempFolder() + L"\\held-open.tmp";
    WriteTestFile(path, "in use");
    UniqueHandle holder = HoldOpen(path);
    ASSERT_TRUE(holder.IsValid());
    CleanRun run;
    {
        ScheduleRefused refused;
        ASSERT_TRUE(refused.Applied());
        ASSERT_FALSE(MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            << "the system still takes deletions for the next start";
        run = CleanOnly(L"TempDir");
    }
    EXPECT_FALSE(run.rebootNeeded);
    EXPECT_NE(run.report.find("status status-failed"), std::string::npos) << run.report;
    EXPECT_EQ(run.report.find("status status-reboot"), std::string::npos) << run.report;
    holder.Close();
    DeleteFileW(path.c_str());
}

}  // namespace

}  // namespace veltrane
