// The whole-machine safety net: a clean of every plug-in, with overwriting
// on, may remove exactly what its scan listed, and nothing through a link, an
// alias or another name.
//
// Every run seeds every plug-in's traces with the seeders of tools/seedtraces
// (AllSeeders), which note the places they wrote (NoteTraceFile,
// NoteTraceFolderContent, NoteTraceKey, NoteTraceValue). The net then plants
// what a careless cleaner would destroy, snapshots every file (content,
// attributes, write time) and registry value of the sandbox (the options
// in HKLM\SOFTWARE\Veltrane included), cleans through "veltrane.exe /clean /json", snapshots
// again, and sorts every removed or changed item: a planted item is its
// family's harm, an item at or below a noted place may go, anything else is
// harm to the neighbours. Each family is a test of its own and names the
// items it lost.
//
// The adversarial clean (one run, every plug-in) plants, in and around every
// folder a plug-in starts from and every list it walks:
//   seeded neighbours  a file beside the folder, a folder link and a hard link in it
//   file links         a file link with a name the plug-in takes; its first trace a link
//   files held open    a file in every folder, held shared for read and write (and delete)
//   bin look-alikes    C:\Recycled\Family photos\ and C:\Recycler\Invoices\, no bins
//   registry links     a link key in every list, to a key shaped like the list
//   profile lists      Local State and profiles.ini entries that lead into Documents
// and pauses between its scan and its clean (VELTRANE_TEST_PAUSE_BEFORE_CLEAN)
// while ChangeAfterScan turns listed files into hard links and links, listed
// folders into links, writes files again, adds files and changes values. Then
// every plug-in's result and the exit code are held against kLeftBehind.
// Four more runs: a keep-list of 400 characters with "OverWrite" stored after
// it; every starting folder replaced by a link; the folder above every
// starting folder (and above TEMP) replaced by a link; and TEMP and TMP spelt
// as a Documents child, a \\?\ path, a subst drive and an admin share.
//
// Joining: a new plug-in's seeder is added to AllSeeders and notes its trace
// places; the families plant around them without a change here. A plug-in
// that must leave items in the adversarial clean joins kLeftBehind, with why.
#include <windows.h>

#include <gtest/gtest.h>
#include <knownfolders.h>
#include <wininet.h>

#include "safety/adversaries.h"
#include "safety/net_run.h"
#include "safety/scan_then_change.h"
#include "support/test_files.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// The items among which a planted file link makes a plug-in leave items,
// for the plug-ins a sandbox used before may give no such link: the bins'
// folders (any file in them is listed), and the files of the cookie entries
// (the cookie folder may hold files no entry names).
std::vector<std::wstring> BinFolders() {
    return {L"C:\\Recycled", L"C:\\Recycler", L"C:\\$Recycle.Bin"};
}
std::vector<std::wstring> CookieEntryFiles() {
    std::vector<std::wstring> files;
    std::vector<BYTE> buffer(0x10000);
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    DWORD size = static_cast<DWORD>(buffer.size());
    // Wine matches the prefix as written; Windows takes its documented pattern.
    HANDLE found = FindFirstUrlCacheEntryW(L"Cookie:", entry, &size);
    if (found == nullptr) found = FindFirstUrlCacheEntryW(L"cookie:", entry, &size);
    if (found == nullptr) return files;
    do {
        if (entry->lpszLocalFileName != nullptr) files.push_back(entry->lpszLocalFileName);
        size = static_cast<DWORD>(buffer.size());
    } while (FindNextUrlCacheEntryW(found, entry, &size));
    FindCloseUrlCache(found);
    return files;
}

// The plug-ins that must end "finished with failures" in the adversarial
// clean; every other plug-in must end done, and the exit code must be 4.
// Held files are deferred (done), hard links go without overwriting (done),
// folder links inside a folder are never entered, and the bin look-alikes
// are no bins, so none of them leaves a row on its own. Neither do
// IEAddressBarHistory, whose list the browser renumbers (an address changed
// after the scan is another item there, and the one listed is gone), nor
// IEFormsAutocomplete, which lists only keys named as form items.
const std::vector<ExpectedLeft> kLeftBehind = {
    // File links in its folders, and listed items changed after the scan.
    {L"TempDir", "file links; files, a folder and a folder above files changed after the scan"},
    {L"ErrorReports", "file links; a report folder became a link after the scan"},
    {L"JumpLists", "file links; a list became another name of a file after the scan"},
    {L"ThumbnailCache", "file links; a cache became another name of a file after the scan"},
    {L"MessageHistory",
     "file links; a linked messenger account key; a file changed after the scan"},
    {L"OperaCache", "file links; a cache file became a link after the scan"},
    {L"ChromiumHistory",
     "History a file link; Visited Links a link and Shortcuts written after "
     "the scan; a profile that is a link into Documents"},
    {L"ChromiumCache",
     "file links; the Work profile a link after the scan; a profile in Documents"},
    {L"ChromiumCookies", "Network\\Cookies a file link; the Work profile a link after the scan"},
    {L"ChromiumSessions",
     "file links; the Work profile a link after the scan; a profile in Documents"},
    {L"ChromiumFormData", "the Work profile became a link after the scan"},
    {L"ChromiumSiteData",
     "file links in its site folders; the profile in Local State that is a link"},
    {L"FirefoxCookies", "profiles.ini's profiles in Documents"},
    {L"FirefoxFormHistory", "profiles.ini's profiles in Documents"},
    {L"FirefoxSiteData", "file links in its site folders; profiles in Documents"},
    {L"WindowsTimeline", "each database a file link"},
    {L"RecycleBin", "a file link in a bin's folder", &BinFolders},
    {L"FirefoxSessions", "file links; a backup written after the scan; profiles in Documents"},
    // File links only.
    {L"IECookies", "a cookie file is a file link", &CookieEntryFiles},
    {L"IEHistory", "file links in the History folder it lists"},
    {L"IEDownload", "file links"},
    {L"AOLAddressBarHistory", "a file link"},
    {L"WinRecUsed", "file links"},
    {L"MSOfficeRecUsed", "file links"},
    {L"NetscapeHistory", "history.dat is a file link"},
    {L"NetscapeFileCache", "file links"},
    {L"OperaAddressHistory", "opera.dir is a file link"},
    {L"FirefoxHistory", "places.sqlite is a file link"},
    {L"FirefoxCache", "file links; profiles in Documents"},
    // Registry link keys in the lists they walk.
    {L"ShellBags", "registry links in BagMRU and Bags"},
    {L"IEAutoCompletePsw", "registry links in IntelliForms"},
    {L"OpenSavePidlHistory", "registry links in the dialogs' lists"},
    {L"OpenHistory", "a registry link in OpenSaveMRU"},
    {L"FindHistory", "registry links in the search lists"},
    {L"ExplorerRecentDocs", "registry links in RecentDocs; a value changed after the scan"},
    {L"RealPlayerPlaylist", "registry links in the clip lists"},
    {L"IEHelper", "a registry link among the helper objects"},
    // Values changed after the scan.
    {L"RunHistory", "a value changed after the scan"},
    {L"ExplorerTypedPaths", "a value changed after the scan"},
    {L"WCMediaHistory", "a value changed after the scan"},
};

// The adversarial clean, run once for the tests of its families.
class AdversarialClean : public testing::Test {
protected:
    static void SetUpTestSuite() {
        net_ = new NetRun;
        std::vector<StartFolder> starts = net_->Seed();
        Plantation& plantation = *net_->plantation;
        // The look-alikes first: no other family plants in the user's folders.
        PlantBinLookAlikes(plantation);
        std::erase_if(starts, [&plantation](const StartFolder& start) {
            for (const Guarded& guard : plantation.Guards())
                if (IsAtOrBelow(start.path, guard.name)) return true;
            return false;
        });
        if (starts.size() < 10) net_->setupFailure += "fewer than 10 starting folders\n";
        PlantNeighbours(plantation, starts);
        PlantFileLinks(plantation, starts);
        PlantHeldFiles(plantation, starts);
        PlantProfileLists(plantation);
        PlantRegistryLinks(plantation, net_->places);
        TurnOverwriteOn(plantation);
        const std::wstring ids = AllPluginIds();
        if (ids.empty()) net_->setupFailure += "no plug-in listed\n";
        const std::vector<ExpectedLeft> leftBehind =
            LeftBehindAsPlanted(kLeftBehind, plantation.Links());
        net_->Clean(ids, [] { ChangeAfterScan(*net_->plantation, net_->before, net_->verdict); });
        if (!net_->run.paused)
            net_->verdict.Add(Family::kScanThenChange,
                              "the run never paused between its scan and its clean");
        CheckHeldFiles(plantation, net_->verdict);
        CheckOutcomes(net_->run, leftBehind, net_->verdict);
    }
    static void TearDownTestSuite() {
        delete net_;
        net_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(net_->setupFailure.empty()) << net_->setupFailure; }
    void ExpectIntact(Family family) { EXPECT_EQ(net_->FailureText(family), ""); }

    static NetRun* net_;
};

NetRun* AdversarialClean::net_ = nullptr;

TEST_F(AdversarialClean, SeededNeighboursSurvive) {
    ExpectIntact(Family::kNeighbours);
    // The clean did its work: the net is not passed by a clean that removed nothing.
    EXPECT_GT(net_->verdict.TraceChanges(), 100u);
}

TEST_F(AdversarialClean, FileLinksAreNeverWrittenOrDeletedThrough) {
    ExpectIntact(Family::kFileLinks);
}

TEST_F(AdversarialClean, HeldFilesGetNotOneByte) { ExpectIntact(Family::kHeldOpen); }

TEST_F(AdversarialClean, UserFoldersNamedLikeBinsStay) { ExpectIntact(Family::kBinLookAlikes); }

TEST_F(AdversarialClean, RegistryLinksInListsAreNotFollowed) {
    ExpectIntact(Family::kRegistryLinks);
}

TEST_F(AdversarialClean, ProfileListsDoNotLeadIntoUserFolders) {
    ExpectIntact(Family::kProfileLists);
}

TEST_F(AdversarialClean, WhatChangedAfterTheScanStaysAsChanged) {
    ExpectIntact(Family::kScanThenChange);
}

TEST_F(AdversarialClean, EveryResultAndTheExitCodeTellWhatWasLeft) {
    EXPECT_EQ(net_->FailureText(Family::kOutcomes), "") << net_->run.child.output;
}

// The options are read whole, whatever their length, and a clean leaves
// them as they are: the keep-list keeps its cookies in every cookie store,
// and "OverWrite", stored after it, stays on (the hard link the net puts in
// the temporary folder goes "Deleted, not overwritten" only then).
TEST(SafetyNet, LongKeepListAndTheOptionsAfterItHold) {
    NetRun net;
    std::vector<StartFolder> starts = net.Seed();
    wchar_t temp[MAX_PATH + 1] = {};
    const std::wstring tempFolder =
        TraceItemName(std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)));
    std::erase_if(starts, [&](const StartFolder& start) { return start.path != tempFolder; });
    ASSERT_EQ(starts.size(), 1u) << ToUtf8(tempFolder);
    PlantNeighbours(*net.plantation, starts);
    PlantOptions(*net.plantation);
    ASSERT_TRUE(net.setupFailure.empty()) << net.setupFailure;
    net.Clean(L"TempDir,IECookies,NetscapeCookies,OperaCookies,ChromiumCookies,FirefoxCookies");
    CheckOptions(net.run, net.verdict);
    EXPECT_EQ(net.FailureText(Family::kOptions), "");
    EXPECT_EQ(net.FailureText(Family::kNeighbours), "");
}

// Rules that keep everything: a clean of every plug-in removes and changes
// nothing, not even the IE history's index, whose entries have no file of
// their own but are named by the History folder.
TEST(SafetyNet, RulesThatKeepEverythingLeaveEverything) {
    NetRun net;
    (void)net.Seed();
    ASSERT_TRUE(net.setupFailure.empty()) << net.setupFailure;
    const std::set<std::wstring> pendingBefore = PendingDeletions();
    CleanRun run;
    std::vector<Damage> changes = ChangesOf([&] {
        run = RunClean(AllPluginIds(), {},
                       L"/exclude:folder:C:\\ /exclude:key:HKCU /exclude:key:HKLM");
    });
    ASSERT_TRUE(run.child.started);
    std::string changed;
    for (const Damage& change : changes) changed += ToUtf8(change.name + L": " + change.what) + "\n";
    EXPECT_EQ(changed, "") << run.child.output;
    EXPECT_EQ(PendingDeletions(), pendingBefore);
}

// Every starting folder (at), or the folder above it (above), is a link to
// where it went: nothing behind a link may change, and the clean says it left items.
void ExpectLinksNotFollowed(bool above) {
    NetRun net;
    std::vector<StartFolder> starts = net.Seed();
    std::string why;
    EXPECT_TRUE(PlantFolderLinks(*net.plantation, starts, above, why)) << why;
    ASSERT_TRUE(net.setupFailure.empty()) << net.setupFailure;
    net.Clean(AllPluginIds());
    const Family family = above ? Family::kFolderLinksAbove : Family::kFolderLinksAt;
    if (net.run.child.exitCode != 4)
        net.verdict.Add(family, "exit code " + std::to_string(net.run.child.exitCode) +
                                    ", expected 4: the clean showed folders it had to leave");
    EXPECT_EQ(net.FailureText(family), "") << net.run.child.output;
    EXPECT_EQ(net.FailureText(Family::kNeighbours), "");
}

TEST(SafetyNet, FolderLinksAtEveryStartingFolderAreNotFollowed) { ExpectLinksNotFollowed(false); }

TEST(SafetyNet, FolderLinksAboveEveryStartingFolderAreNotFollowed) { ExpectLinksNotFollowed(true); }

// A drive letter for a folder, as subst makes it. Under Wine such a drive,
// like an admin share, reaches no file (Wine resolves drives through its
// prefix only): there the refusal in the report is what shows that the
// clean saw through the alias.
class ScopedSubstDrive {
public:
    ScopedSubstDrive(const wchar_t* drive, const std::wstring& folder) : drive_(drive) {
        made_ = DefineDosDeviceW(0, drive_, folder.c_str()) != 0;
    }
    ~ScopedSubstDrive() {
        if (made_) DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive_, nullptr);
    }
    bool Made() const { return made_; }

private:
    const wchar_t* drive_;
    bool made_ = false;
};

TEST(SafetyNet, AliasesOfTheTemporaryFolderAreRefused) {
    NetRun net;
    const std::wstring aliases = GetKnownFolderPath(FOLDERID_Documents) + L"\\Safety aliases";
    const std::wstring favorites = GetKnownFolderPath(FOLDERID_Favorites);
    for (const wchar_t* folder : {L"\\Work", L"\\Subst", L"\\Share"})
        WriteTestFile(aliases + folder + L"\\thesis.docx", "four years of work");
    WriteTestFile(favorites + L"\\Bank.url", "[InternetShortcut]\r\nURL=https://bank.test/\r\n");
    net.plantation->OnUndo([aliases, favorites] {
        RemoveTree(aliases);
        DeleteFileW((favorites + L"\\Bank.url").c_str());
    });
    net.plantation->Guard(aliases, Family::kAliases, L"a folder of the user's Documents");
    net.plantation->Guard(favorites, Family::kAliases, L"the user's Favorites");
    ScopedSubstDrive subst(L"S:", aliases);
    ASSERT_TRUE(subst.Made());
    struct Alias {
        std::wstring temp;
        std::string what;
    };
    const std::vector<Alias> cases = {
        {aliases + L"\\Work", "a folder in Documents"},
        {L"\\\\?\\" + favorites, "the Favorites folder spelt \\\\?\\"},
        {L"S:\\Subst", "a subst drive of a Documents folder"},
        {L"\\\\localhost\\C$\\" + aliases.substr(3) + L"\\Share", "an admin share"},
    };
    net.Judged([&] {
        for (const Alias& alias : cases) {
            ScopedTempVariables temp(alias.temp);
            CleanRun run = RunClean(L"TempDir");
            const std::string what = "TEMP=" + ToUtf8(alias.temp) + " (" + alias.what + "): ";
            // The class names of a row's status: the page's style sheet names them all.
            const std::string report = run.Report(L"TempDir");
            if (report.find("status status-failed") == std::string::npos ||
                report.find("status status-deleted") != std::string::npos)
                net.verdict.Add(Family::kAliases,
                                what + "the clean report shows no refusal, or a deletion");
            if (run.Report(L"TempDir", false).find("Refused: ") == std::string::npos)
                net.verdict.Add(Family::kAliases,
                                what + "the scan report shows no refused row with its reason");
            if (run.child.exitCode == 0)
                net.verdict.Add(Family::kAliases, what + "exit code 0 for a refused folder");
        }
    });
    EXPECT_EQ(net.FailureText(Family::kAliases), "");
    EXPECT_EQ(net.FailureText(Family::kNeighbours), "");
}

}  // namespace

}  // namespace veltrane
