#pragma once
// Traces of the plug-ins of Windows 10 and 11 and today's Office, written the
// way Windows and Office write them: the Timeline's ActivitiesCache.db of two
// accounts (the schema of Windows 11), the recent lists of Office 2010, 2013
// and 2016 and later (signed in and not), Explorer's usage counters, and the
// machine's error reports and crash dumps, with control data beside every
// place that a clean must leave.
#include <string>

#include "seedtraces/seed_standard.h"

namespace veltrane {

// `scale` multiplies the list entries, activities and files.
bool SeedWindows10Traces(int scale, StandardSeedManifest* manifest);

namespace seeded {
// Activities of the local account's Timeline at scale 1: Word, Notepad and Edge.
inline constexpr int kTimelineLocalActivities = 3;
// The text of a copied activity of the Microsoft account, which no report may show.
inline constexpr char kTimelineClipboardMarker[] = "c2VjcmV0IHBhc3N3b3JkIDEyMw==";
// A row of Metadata in every Timeline database, which a clean must leave.
inline constexpr char kTimelineSettingKey[] = "CurrentSettings";
}  // namespace seeded

// The folder of a Timeline account below %LOCALAPPDATA%\ConnectedDevicesPlatform.
std::wstring TimelineAccountFolder(const std::wstring& account);
// The local account's folder name, "L." and the user's name.
std::wstring LocalTimelineAccount();
inline constexpr wchar_t kMicrosoftTimelineAccount[] = L"0c1f4a5e7b9d2e31";

// One activity as the Timeline keeps it.
struct TimelineActivity {
    std::string idHex;        // 32 hex digits
    std::string exePath;      // the program, as x_exe_path names it
    std::string displayName;  // the program's own name
    std::string displayText;  // what it showed
    int type = 5;             // 5 in use, 6 in focus, 10 and 16 copied text
    long long startTime = 0;  // Unix seconds
    std::string clipboard;    // the copied text's payload, for types 10 and 16
};
// An INSERT text for Activity, ActivityOperation (when `pending`) and Activity_PackageId.
std::string TimelineRows(const TimelineActivity& activity, bool pending);
// ActivitiesCache.db at `path` as Windows 11 writes it, with `rows` and the
// database's Metadata and settings.
bool WriteTimelineDatabase(const std::wstring& path, const std::string& rows);

}  // namespace veltrane
