// Cookie files as the Netscape family writes them, and reading them back.
#pragma once

#include <string>

#include "plugins/browser/netscape_files.h"
#include "test_run.h"

namespace veltrane {

inline const std::string kHeader = "# Netscape HTTP Cookie File\r\n# Do not edit.\r\n\r\n";

inline std::string CookieLine(const std::string& host, const std::string& value) {
    return host + "\tTRUE\t/\tFALSE\t2145916800\tname\t" + value + "\r\n";
}

inline DomainMap ReadCookies(bool* ok = nullptr) {
    DomainMap domains;
    TestRun run;
    bool result = GetNetscapeCookies(domains, run);
    if (ok) *ok = result;
    return domains;
}

}  // namespace veltrane
