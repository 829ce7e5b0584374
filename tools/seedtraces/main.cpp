// seedtraces [--scale N] [--only NAME,...]: writes traces for the plug-ins
// into the machine it runs on. Run it only inside the sandbox (scripts/seed).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "seedtraces/seeders.h"

int wmain(int argc, wchar_t** argv) {
    using namespace veltrane;
    int scale = 1;
    std::wstring only;
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"--scale") == 0 && i + 1 < argc) {
            scale = _wtoi(argv[++i]);
        } else if (wcscmp(argv[i], L"--only") == 0 && i + 1 < argc) {
            only = L"," + std::wstring(argv[++i]) + L",";
        } else {
            fwprintf(stderr, L"usage: seedtraces [--scale N] [--only NAME,...]\n");
            return 2;
        }
    }
    if (scale < 1) scale = 1;
    int failures = 0;
    for (const Seeder& seeder : AllSeeders()) {
        if (!only.empty() &&
            only.find(L"," + std::wstring(seeder.name) + L",") == std::wstring::npos)
            continue;
        bool ok = seeder.seed(scale);
        wprintf(L"%-16ls %ls\n", seeder.name, ok ? L"seeded" : L"FAILED");
        if (!ok) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
