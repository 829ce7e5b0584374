#pragma once
// One unattended clean as the safety net runs it, and what it answered: the
// exit code, each plug-in's entry of the /json answer and its reports.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "safety/net_families.h"
#include "safety/plantation.h"
#include "safety/snapshot.h"
#include "support/child_process.h"

namespace veltrane {

struct CleanRun {
    ChildResult child;
    bool paused = false;  // the run stopped between its scan and its clean
    std::map<std::wstring, nlohmann::json> plugins;  // id -> its entry of the answer
    std::wstring reports;                            // the folder of its reports

    // The plug-in's clean (or scan) report as written; empty when there is none.
    std::string Report(const std::wstring& id, bool clean = true) const;
};

// Every plug-in's id, comma-separated, as "/only:" takes them.
std::wstring AllPluginIds();

// "veltrane.exe /clean /only:<ids> /json /report:<the net's report folder>".
// With `between`, the run pauses after its scan (the test hook
// VELTRANE_TEST_PAUSE_BEFORE_CLEAN) and cleans once `between` has changed the machine.
// `options` are added to the command line as they stand ("/exclude:...").
CleanRun RunClean(const std::wstring& ids, const std::function<void()>& between = {},
                  const std::wstring& options = {});

// The results of contracts every clean keeps: exit code 4 when items were
// left, 0 when none; per plug-in its result and the counts of what it did.
// `leftBehind` names each plug-in that must end "finished with failures", with
// why; every other plug-in must end done.
struct ExpectedLeft {
    const wchar_t* id;
    const char* why;
    // For a plug-in that leaves items only because of the file links planted
    // among its items: those items (files, or folders whose files it takes),
    // asked before the clean. Null for a plug-in that always leaves items.
    std::vector<std::wstring> (*linkedItems)() = nullptr;
};
void CheckOutcomes(const CleanRun& run, const std::vector<ExpectedLeft>& leftBehind,
                   Verdict& verdict);
// `all` as this run planted: a plug-in that names its linked items stays in
// it only when `links` (the file links the run made) holds one of them, since
// a sandbox a run before has used may leave no link among them.
std::vector<ExpectedLeft> LeftBehindAsPlanted(const std::vector<ExpectedLeft>& all,
                                              const std::vector<std::wstring>& links);

// The files the system will delete at the next start, by their DOS names.
std::set<std::wstring> PendingDeletions();

// What `run` removed or changed on the machine, leaving out what changes on its own.
std::vector<Damage> ChangesOf(const std::function<void()>& run);

// One run of the net: seeded, planted, pictured, cleaned, pictured and judged.
// What it planted goes again with it.
struct NetRun {
    NetRun();

    // Seeds every plug-in's traces; the folders the plug-ins start from.
    std::vector<StartFolder> Seed();
    // Pictures the machine, runs `cleans` and judges what they did.
    void Judged(const std::function<void()>& cleans);
    // Judged: a clean of `ids` (with `between` after its scan, when given).
    void Clean(const std::wstring& ids, const std::function<void()>& between = {});
    // What harmed `family`, headed by the family's name; empty when nothing did.
    std::string FailureText(Family family) const;

    std::unique_ptr<Plantation> plantation = std::make_unique<Plantation>();
    std::vector<TracePlace> places = NotedTracePlaces();
    Snapshot before;
    CleanRun run;
    Verdict verdict;
    std::string setupFailure;  // why the run could not be made; empty when it was
};

}  // namespace veltrane
