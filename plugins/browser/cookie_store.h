#pragma once
// The cookie tables of today's browsers, cleaned around the keep-list: of the
// rows the scan listed, those of hosts the list keeps stay, the others go;
// a cookie set after the scan stays too.
#include <map>
#include <string>
#include <string_view>

#include "engine/cookie_keep_list.h"
#include "sysaccess/sqlite_db.h"

namespace veltrane {

// What a clean did to the cookies filed under each report row.
struct CookieTally {
    int deleted = 0;
    int kept = 0;
};
using CookieTallies = std::map<std::wstring, CookieTally>;

// The report row of a cookie host: without the leading "." of a domain
// cookie and a leading "www.", as the other cookie plug-ins list them.
std::wstring CookieRowName(std::wstring_view host);

// Deletes the rows of `table` whose rowid is in temp.<listed>(id) and whose
// `hostColumn` the keep-list does not keep, counting per report row what
// went and what stayed.
SqliteStatus DeleteListedCookies(SqliteDb& db, std::string_view table, std::string_view hostColumn,
                                 std::string_view listed, const CookieKeepList& keep,
                                 CookieTallies& tallies);

}  // namespace veltrane
