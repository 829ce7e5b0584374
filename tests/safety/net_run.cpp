#include "safety/net_run.h"

#include <windows.h>

#include <algorithm>

#include <knownfolders.h>

#include "safety/snapshot.h"
#include "seedtraces/seeders.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kReports[] = L"C:\\VeltraneSafetyReports";
const std::vector<std::wstring> kVolatile = {
    // Deletions left for the next start: judged one by one (PendingDeletions).
    L"hkey_local_machine\\system\\currentcontrolset\\control\\session manager\t"
    L"pendingfilerenameoperations",
    // The program's own record of those, checked at its next start.
    L"hkey_current_user\\software\\veltrane\\deferred",
    // The net's own reports of the run before.
    L"c:\\veltranesafetyreports"};

// The seeders' own folders and keys that later tests expect to find empty.
void RemoveSeededTraces() {
    std::wstring appData = GetKnownFolderPath(FOLDERID_RoamingAppData);
    // Today's browsers too: a kept cookie of the net's would count in a later scan.
    std::wstring localData = GetKnownFolderPath(FOLDERID_LocalAppData);
    for (const std::wstring& folder :
         {std::wstring(L"C:\\VeltraneControl"), std::wstring(L"C:\\Program Files\\ICQ"),
          appData + L"\\ICQLite", appData + L"\\Mozilla", appData + L"\\Opera",
          appData + L"\\Opera Software", localData + L"\\Google\\Chrome",
          localData + L"\\Microsoft\\Edge", std::wstring(L"C:\\Program Files\\Netscape"),
          std::wstring(L"C:\\Program Files\\Opera"), std::wstring(L"C:\\FirefoxProfiles"),
          GetKnownFolderPath(FOLDERID_Documents) + L"\\My Received Files"})
        RemoveTree(folder);
    for (const wchar_t* key :
         {L"Software\\Microsoft\\MSNMessenger", L"Software\\Microsoft\\Office",
          L"Software\\Netscape", L"Software\\Microsoft\\Protected Storage System Provider"})
        DeleteTree(HKEY_CURRENT_USER, key);
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis");
}

constexpr wchar_t kPauseVariable[] = L"VELTRANE_TEST_PAUSE_BEFORE_CLEAN";
// A clean of every plug-in under Wine on a loaded machine takes minutes.
constexpr DWORD kRunTimeoutMs = 15 * 60 * 1000;

// The numbers of a plug-in's result and of the exit code, as scripts read them.
constexpr int kResultDone = 0;
constexpr int kResultDoneWithFailures = 2;
constexpr DWORD kExitDone = 0;
constexpr DWORD kExitItemsLeft = 4;
const char* const kCounts[] = {"removed", "failed", "deferred", "changed", "freedBytes"};

std::string ResultName(int result) {
    switch (result) {
        case 0:
            return "done (0)";
        case 1:
            return "failed (1)";
        case 2:
            return "finished with failures (2)";
        case 3:
            return "cancelled (3)";
    }
    return "result " + std::to_string(result);
}

// Whether the run planted what makes `left` leave items.
bool HasLinkAmong(const ExpectedLeft& left, const std::vector<std::wstring>& links) {
    if (left.linkedItems == nullptr) return true;
    for (const std::wstring& item : left.linkedItems())
        for (const std::wstring& link : links)
            if (IsAtOrBelow(link, TraceItemName(item))) return true;
    return false;
}

}  // namespace

std::string CleanRun::Report(const std::wstring& id, bool clean) const {
    return ReadTestFile(reports + L"\\" + id + (clean ? L".clean.html" : L".scan.html"));
}

std::wstring AllPluginIds() {
    ChildResult list = RunChild(VeltraneCommand(L"/list /json"));
    auto document = nlohmann::json::parse(list.output, nullptr, false);
    std::wstring ids;
    if (!document.is_object() || !document.contains("plugins")) return ids;
    for (const auto& plugin : document["plugins"])
        ids += (ids.empty() ? L"" : L",") + FromUtf8(plugin["id"].get<std::string>());
    return ids;
}

CleanRun RunClean(const std::wstring& ids, const std::function<void()>& between,
                  const std::wstring& options) {
    RemoveTree(kReports);
    CleanRun run;
    run.reports = kReports;
    const std::wstring command = VeltraneCommand(L"/clean /only:" + ids + L" /json /report:" +
                                                 std::wstring(kReports) + L" " + options);
    PipedChild child;
    if (between) {
        const std::wstring prefix = L"VeltraneSafetyNet-" + std::to_wstring(GetCurrentProcessId());
        UniqueHandle scanned(CreateEventW(nullptr, TRUE, FALSE, (prefix + L"-scanned").c_str()));
        UniqueHandle clean(CreateEventW(nullptr, TRUE, FALSE, (prefix + L"-clean").c_str()));
        // The program inherits the variable; this process keeps none of it.
        SetEnvironmentVariableW(kPauseVariable, prefix.c_str());
        const bool started = StartPipedChild(command, nullptr, child);
        SetEnvironmentVariableW(kPauseVariable, nullptr);
        if (!started) return run;
        HANDLE waits[] = {scanned.Get(), child.process.Get()};
        run.paused = WaitForMultipleObjects(2, waits, FALSE, kRunTimeoutMs) == WAIT_OBJECT_0;
        if (run.paused) between();
        SetEvent(clean.Get());
    } else if (!StartPipedChild(command, nullptr, child)) {
        return run;
    }
    run.child = FinishChild(child, kRunTimeoutMs);
    auto document = nlohmann::json::parse(run.child.output, nullptr, false);
    if (document.is_object() && document.contains("plugins"))
        for (const auto& plugin : document["plugins"])
            run.plugins[FromUtf8(plugin["id"].get<std::string>())] = plugin;
    return run;
}

std::vector<ExpectedLeft> LeftBehindAsPlanted(const std::vector<ExpectedLeft>& all,
                                              const std::vector<std::wstring>& links) {
    std::vector<ExpectedLeft> planted;
    for (const ExpectedLeft& left : all)
        if (HasLinkAmong(left, links)) planted.push_back(left);
    return planted;
}

void CheckOutcomes(const CleanRun& run, const std::vector<ExpectedLeft>& leftBehind,
                   Verdict& verdict) {
    if (run.plugins.empty()) {
        verdict.Add(Family::kOutcomes,
                    "no /json answer; the program printed:\n" + run.child.output);
        return;
    }
    std::string lackingCounts;
    size_t lacking = 0;
    for (const auto& [id, entry] : run.plugins) {
        const ExpectedLeft* expected = nullptr;
        for (const ExpectedLeft& left : leftBehind)
            if (id == left.id) expected = &left;
        const int want = expected ? kResultDoneWithFailures : kResultDone;
        const int result = entry.value("result", -1);
        if (result != want)
            verdict.Add(Family::kOutcomes, ToUtf8(id) + " ended " + ResultName(result) +
                                               ", expected " + ResultName(want) +
                                               (expected ? std::string(": ") + expected->why : ""));
        bool counted = true;
        for (const char* count : kCounts) counted = counted && entry.contains(count);
        if (!counted) {
            lackingCounts += (lackingCounts.empty() ? "" : ", ") + ToUtf8(id);
            ++lacking;
            continue;
        }
        const long long left = entry["failed"].get<long long>() + entry["changed"].get<long long>();
        if (expected && left == 0)
            verdict.Add(Family::kOutcomes,
                        ToUtf8(id) + " counts no item failed or changed: " + expected->why);
        if (!expected && left > 0)
            verdict.Add(Family::kOutcomes, ToUtf8(id) + " counts " + std::to_string(left) +
                                               " items failed or changed, expected none");
    }
    if (lacking == run.plugins.size()) lackingCounts = "every plug-in";
    if (lacking > 0)
        verdict.Add(
            Family::kOutcomes,
            "no removed, failed, deferred, changed and freedBytes in /json for " + lackingCounts);
    const DWORD wantExit = leftBehind.empty() ? kExitDone : kExitItemsLeft;
    if (run.child.exitCode != wantExit)
        verdict.Add(Family::kOutcomes, "exit code " + std::to_string(run.child.exitCode) +
                                           ", expected " + std::to_string(wantExit));
}

std::set<std::wstring> PendingDeletions() {
    std::set<std::wstring> paths;
    // Pairs of "\??\source" and target; an empty target is a deletion.
    const std::wstring text = PendingRenameOperations();
    std::vector<std::wstring> strings;
    for (size_t at = 0; at < text.size();) {
        strings.emplace_back(text.c_str() + at);
        at += strings.back().size() + 1;
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        std::wstring source = strings[i];
        if (source.empty()) break;
        if (source.rfind(L"\\??\\", 0) == 0) source = source.substr(4);
        paths.insert(source);
    }
    return paths;
}

NetRun::NetRun() {
    plantation->RestoreAfterwards(HKEY_LOCAL_MACHINE,
                                  L"System\\CurrentControlSet\\Control\\Session Manager",
                                  L"PendingFileRenameOperations");
    // The program's record of those: left, a later start would tell of them.
    plantation->RestoreAfterwards(HKEY_CURRENT_USER, L"SOFTWARE\\Veltrane\\Deferred", L"Items");
}

std::vector<StartFolder> NetRun::Seed() {
    plantation->OnUndo(RemoveSeededTraces);  // goes last, after every planted item
    for (const Seeder& seeder : AllSeeders())
        if (!seeder.seed(1)) setupFailure += "seeder " + ToUtf8(seeder.name) + " failed\n";
    places = NotedTracePlaces();
    return StartFolders(places);
}

std::vector<Damage> ChangesOf(const std::function<void()>& run) {
    const Snapshot before = TakeSnapshot();
    run();
    std::vector<Damage> changes = CompareSnapshots(before, TakeSnapshot());
    std::erase_if(changes, [](const Damage& change) {
        return std::any_of(kVolatile.begin(), kVolatile.end(), [&](const std::wstring& place) {
            return IsAtOrBelow(change.name, place);
        });
    });
    return changes;
}

void NetRun::Judged(const std::function<void()>& cleans) {
    std::set<std::wstring> pendingBefore = PendingDeletions();
    before = TakeSnapshot();
    cleans();
    Snapshot after = TakeSnapshot();
    std::vector<TracePlace> allowed = places;
    allowed.insert(allowed.end(), plantation->Traces().begin(), plantation->Traces().end());
    std::vector<Damage> damages = CompareSnapshots(before, after);
    for (const std::wstring& pending : PendingDeletions())
        if (!pendingBefore.count(pending))
            damages.push_back({TraceItemName(pending), L"left for deletion at the next start"});
    verdict.Judge(damages, allowed, plantation->Guards(), kVolatile);
}

void NetRun::Clean(const std::wstring& ids, const std::function<void()>& between) {
    Judged([&] {
        run = RunClean(ids, between);
        if (!run.child.started) setupFailure += "veltrane.exe did not start\n";
    });
}

std::string NetRun::FailureText(Family family) const {
    std::string findings = verdict.Findings(family);
    if (findings.empty()) return {};
    return std::string("The safety net's family \"") + FamilyName(family) + "\" broke:\n" +
           findings;
}

}  // namespace veltrane
