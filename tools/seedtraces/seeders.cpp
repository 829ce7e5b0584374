#include "seedtraces/seeders.h"

namespace veltrane {

// The one list of seeders: the seeder program runs it, and the safety-net
// test seeds with every entry, so a seeder added here joins both.
const std::vector<Seeder>& AllSeeders() {
    static const std::vector<Seeder> seeders = {
        {L"standard", &SeedStandard}, {L"browser", &SeedBrowser},
        {L"system", &SeedSystem},     {L"modern", &SeedModernBrowsers},
        {L"windows", &SeedWindows},   {L"windows10", &SeedWindows10},
    };
    return seeders;
}

}  // namespace veltrane
