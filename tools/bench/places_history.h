#pragma once
// The Firefox history benchmark: a large places.sqlite, and the least a
// program must do to clean it the safe way, straight on the SQLite library.
#include <string>

namespace veltrane {

struct PlacesCounts {
    long long places = -1;
    long long visits = -1;
    bool ok = false;
};

// places.sqlite at `path` with `places` pages, `visits` visits and the first
// `bookmarked` pages bookmarked.
bool SeedPlaces(const std::wstring& path, int places, int visits, int bookmarked);
// The statements of the history clean, in one transaction with
// secure_delete, then VACUUM and the WAL checkpoint.
PlacesCounts CleanPlaces(const std::wstring& path);
PlacesCounts CountPlaces(const std::wstring& path);

}  // namespace veltrane
