#include "plugins/browser/cookie_store.h"

#include <vector>

#include "plugins/browser/sqlite_clean.h"
#include "sysaccess/text.h"

namespace veltrane {

std::wstring CookieRowName(std::wstring_view host) {
    if (!host.empty() && host[0] == L'.') host.remove_prefix(1);
    if (host.substr(0, 4) == L"www.") host.remove_prefix(4);
    return std::wstring(host);
}

SqliteStatus DeleteListedCookies(SqliteDb& db, std::string_view table, std::string_view hostColumn,
                                 std::string_view listed, const CookieKeepList& keep,
                                 CookieTallies& tallies) {
    const std::string name(table);
    std::vector<int64_t> gone;
    SqliteStatus status =
        ForEachRow(db,
                   "SELECT rowid, " + std::string(hostColumn) + " FROM " + name +
                       " WHERE rowid IN (SELECT id FROM temp." + std::string(listed) + ")",
                   [&](const SqliteStatement& cookie) {
                       const std::wstring host = FromUtf8(cookie.Utf8View(1));
                       CookieTally& tally = tallies[CookieRowName(host)];
                       if (keep.Keeps(host)) {
                           ++tally.kept;
                           return;
                       }
                       ++tally.deleted;
                       gone.push_back(cookie.Int(0));
                   });
    if (status.Ok()) status = FillTempIdTable(db, "gone_cookies", gone);
    if (status.Ok())
        status = db.Exec("DELETE FROM " + name +
                         " WHERE rowid IN (SELECT id FROM temp.gone_cookies); "
                         "DROP TABLE temp.gone_cookies");
    return status;
}

}  // namespace veltrane
