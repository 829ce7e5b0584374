#pragma once
// One seeder per family of plug-ins. `scale` multiplies the bulk items
// (temporary files, typed addresses, cache entries, ...) for benchmarks.
#include <string>
#include <vector>

namespace veltrane {

struct Seeder {
    const wchar_t* name;
    bool (*seed)(int scale);
};

bool SeedStandard(int scale);
bool SeedBrowser(int scale);
bool SeedSystem(int scale);
bool SeedModernBrowsers(int scale);
bool SeedWindows(int scale);
bool SeedWindows10(int scale);

// Every seeder, in the order they run.
const std::vector<Seeder>& AllSeeders();

}  // namespace veltrane
