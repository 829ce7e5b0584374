#include "plugins/browser/cookie_store.h"

#include <vector>

#include "sysaccess/text.h"

std::wstring CookieRowName(std::wstring_view host) {
    if (!host.empty() && host[0] == L'.') host.remove_prefix(1);
    if (host.substr(0, 4) == L"www.") host.remove_prefix(4);
    return std::wstring(host);
}

SqliteStatus DeleteCookiesOutsideKeepList(SqliteDb& db, std::string_view table,
                                          std::string_view hostColumn, const CookieKeepList& keep,
                                          CookieTallies& tallies) {
    const std::string from = std::string(" FROM ") + std::string(table);
    const std::string column(hostColumn);
    SqliteStatement hosts;
    SqliteStatus status =
        hosts.Prepare(db, "SELECT " + column + ", count(*)" + from + " GROUP BY " + column);
    if (!status.Ok()) return status;
    std::vector<std::pair<std::string, int>> found;
    SqliteStatement::Step step;
    while ((step = hosts.Next()) == SqliteStatement::Step::kRow)
        found.emplace_back(hosts.Utf8(0), static_cast<int>(hosts.Int(1)));
    if (step != SqliteStatement::Step::kDone) return hosts.LastStatus();

    SqliteStatement remove;
    status = remove.Prepare(db, "DELETE" + from + " WHERE " + column + " = ?");
    if (!status.Ok()) return status;
    for (const auto& [host, count] : found) {
        const std::wstring wideHost = FromUtf8(host);
        CookieTally& tally = tallies[CookieRowName(wideHost)];
        if (keep.Keeps(wideHost)) {
            tally.kept += count;
            continue;
        }
        remove.Reset();
        remove.BindText(1, host);
        if (remove.Next() != SqliteStatement::Step::kDone) return remove.LastStatus();
        tally.deleted += count;
    }
    return {};
}
