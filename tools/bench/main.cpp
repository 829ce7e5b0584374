// benchbase COMMAND ...: the baselines of the benchmarks and the seeding of
// their data. Run it only inside the sandbox (scripts/bench).
//
//   tree-seed DIR [FILES_PER_LEAF [BYTES]]   611 folders, 10 files of 4 KiB per leaf
//   tree-delete DIR [--overwrite]            everything below DIR
//   cache-seed ENTRIES DOMAINS [BYTES]       cached pages with local files
//   cache-scan | cache-delete                the cached pages (not cookies, not history)
//   reg-seed KEY COUNT [--letters]           values under HKEY_CURRENT_USER\KEY
//   reg-scan KEY | reg-delete KEY
//   places-seed PATH PLACES VISITS BOOKMARKED   a Firefox places.sqlite
//   places-clean PATH | places-count PATH   the history clean on SQLite alone
//
// Each prints one line "key=value ..." that the driver reads; the exit code is
// 0 when nothing failed.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "bench/folder_tree.h"
#include "bench/places_history.h"
#include "bench/registry_values.h"
#include "bench/url_cache.h"

namespace veltrane {

namespace {

std::wstring Expand(const wchar_t* text) {
    wchar_t buffer[32768];
    DWORD length = ExpandEnvironmentStringsW(text, buffer, 32768);
    return length > 0 && length <= 32768 ? std::wstring(buffer) : std::wstring(text);
}

int IntArgument(int argc, wchar_t** argv, int index, int fallback) {
    return index < argc ? _wtoi(argv[index]) : fallback;
}

bool HasFlag(int argc, wchar_t** argv, const wchar_t* flag) {
    for (int i = 2; i < argc; ++i)
        if (wcscmp(argv[i], flag) == 0) return true;
    return false;
}

int Usage() {
    fwprintf(stderr,
             L"usage: benchbase tree-seed|tree-delete|cache-seed|cache-scan|cache-delete|"
             L"reg-seed|reg-scan|reg-delete|places-seed|places-clean|places-count ...\n");
    return 2;
}

}  // namespace

}  // namespace veltrane

int wmain(int argc, wchar_t** argv) {
    using namespace veltrane;
    if (argc < 2) return Usage();
    std::wstring command = argv[1];
    if (command == L"tree-seed" && argc >= 3) {
        long files = SeedFolderTree(Expand(argv[2]), IntArgument(argc, argv, 3, 10),
                                    IntArgument(argc, argv, 4, 4096));
        wprintf(L"files=%ld\n", files);
        return files > 0 ? 0 : 1;
    }
    if (command == L"tree-delete" && argc >= 3) {
        TreeCounts counts =
            DeleteFolderContents(Expand(argv[2]), HasFlag(argc, argv, L"--overwrite"));
        wprintf(L"files=%ld folders=%ld failures=%ld\n", counts.files, counts.folders,
                counts.failures);
        return counts.failures == 0 ? 0 : 1;
    }
    if (command == L"cache-seed" && argc >= 4) {
        CacheCounts counts =
            SeedUrlCache(_wtoi(argv[2]), _wtoi(argv[3]), IntArgument(argc, argv, 4, 512));
        wprintf(L"entries=%ld bytes=%lld failures=%ld\n", counts.entries, counts.bytes,
                counts.failures);
        return counts.failures == 0 ? 0 : 1;
    }
    if (command == L"cache-scan" || command == L"cache-delete") {
        CacheCounts counts = command == L"cache-scan" ? ScanUrlCache() : DeleteUrlCache();
        wprintf(L"entries=%ld bytes=%lld failures=%ld\n", counts.entries, counts.bytes,
                counts.failures);
        return counts.failures == 0 ? 0 : 1;
    }
    if (command == L"places-seed" && argc >= 6) {
        bool ok = SeedPlaces(Expand(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]));
        PlacesCounts counts = CountPlaces(Expand(argv[2]));
        wprintf(L"places=%lld visits=%lld\n", counts.places, counts.visits);
        return ok && counts.ok ? 0 : 1;
    }
    if ((command == L"places-clean" || command == L"places-count") && argc >= 3) {
        PlacesCounts counts = command == L"places-clean" ? CleanPlaces(Expand(argv[2]))
                                                         : CountPlaces(Expand(argv[2]));
        wprintf(L"places=%lld visits=%lld\n", counts.places, counts.visits);
        return counts.ok ? 0 : 1;
    }
    if (command == L"reg-seed" && argc >= 4) {
        ValueCounts counts =
            SeedRegistryValues(argv[2], _wtoi(argv[3]), HasFlag(argc, argv, L"--letters"));
        wprintf(L"values=%ld failures=%ld\n", counts.values, counts.failures);
        return counts.failures == 0 ? 0 : 1;
    }
    if ((command == L"reg-scan" || command == L"reg-delete") && argc >= 3) {
        ValueCounts counts =
            command == L"reg-scan" ? ScanRegistryValues(argv[2]) : DeleteRegistryValues(argv[2]);
        wprintf(L"values=%ld failures=%ld\n", counts.values, counts.failures);
        return counts.failures == 0 ? 0 : 1;
    }
    return Usage();
}
