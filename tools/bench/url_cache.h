#pragma once

namespace veltrane {

// The WinInet cache benchmark: seeding, and the least a program does to list
// and empty the cached pages (cookies and history entries are left alone).

struct CacheCounts {
    long entries = 0;
    long long bytes = 0;
    long failures = 0;
};

// Caches `entries` pages spread evenly over `domains` hosts, each with a local
// file of `fileSize` bytes.
CacheCounts SeedUrlCache(int entries, int domains, int fileSize);
CacheCounts ScanUrlCache();
CacheCounts DeleteUrlCache();

}  // namespace veltrane
