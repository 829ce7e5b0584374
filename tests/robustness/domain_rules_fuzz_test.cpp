// The text rules that file a trace under a domain, fed odd names: whatever
// the name, the domain is a piece of it or one of the fixed group names; and
// the cookie keep-list, which keeps a host only by itself or a parent domain.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/cookie_keep_list.h"
#include "engine/host_address.h"
#include "plugins/browser/netscape_files.h"
#include "plugins/browser/protected_storage.h"
#include "plugins/browser/url_domain.h"
#include "robustness/mutation.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

const std::vector<std::string> kNames = {"http://www.a.test/x?y#z",
                                         "https://user:pw@b.test:8080/",
                                         "ftp://ftp.c.test",
                                         "file:///C:/Docs/x.html",
                                         "res://ieframe.dll/",
                                         "Visited: jdoe@http://www.d.test/",
                                         "Cookie:jdoe@www.e.test/path",
                                         "http:",
                                         "http:/",
                                         "//",
                                         "@",
                                         "www.",
                                         ":a:b:",
                                         "https://#size#.test/#total#"};

bool IsPieceOrGroup(const std::wstring& domain, const std::wstring& name) {
    if (domain == L"Unknown Domain" || domain == L"System") return true;
    std::wstring piece = StartsWith(domain, L"control ") ? domain.substr(8) : domain;
    return name.find(piece) != std::wstring::npos;
}

TEST(DomainRulesFuzz, EveryNameGivesAPieceOfItself) {
    ForEachMutation(kNames, 4000, 40000, [](uint64_t, const std::string& bytes) {
        // The same bytes as UTF-8 (broken sequences included) and one to one.
        for (const std::wstring& name :
             {FromUtf8(bytes), std::wstring(bytes.begin(), bytes.end())}) {
            EXPECT_TRUE(IsPieceOrGroup(GetUrlDomain(name), name));
            EXPECT_TRUE(IsPieceOrGroup(GetHistoryEntryDomain(name), name));
            EXPECT_TRUE(IsPieceOrGroup(GetCookieEntryDomain(name), name));
            EXPECT_TRUE(IsPieceOrGroup(GetAutoCompleteItemDomain(name), name));
        }
        if (auto domain = CookieLineDomain(bytes)) {
            std::wstring wide(bytes.begin(), bytes.end());
            for (wchar_t& c : wide) c = static_cast<unsigned char>(c);
            EXPECT_TRUE(IsPieceOrGroup(*domain, wide));
            EXPECT_EQ(domain->find(L'\t'), std::wstring::npos);
        }
    });
}

// Keep-list entries and hosts of any text: the list reads back as it is
// stored, and a host is kept only by an entry equal to it or, for a name
// that is no address, by a parent domain.
TEST(DomainRulesFuzz, KeepListKeepsOnlyByItselfOrAParentDomain) {
    const std::vector<std::string> samples = {
        "example.com",    ".shop.example.com", "b\xc3\xbc" "cher.de", "192.168.0.1",
        "[2001:db8::1]",  "::ffff:1.2.3.4",    "xn--bcher-kva.de",      "0.1;a.b;*.c.d."};
    ForEachMutation(samples, 3000, 70000, [](uint64_t, const std::string& bytes) {
        const std::wstring text = FromUtf8(bytes);
        const CookieKeepList list(text + L";example.com;10.0.0.1;2001:db8::1");
        EXPECT_EQ(CookieKeepList(list.ToText()), list);
        const auto& domains = list.Domains();
        for (const std::wstring& host : {text, L"a." + text, text + L".example.com"}) {
            const std::wstring entry = list.KeptBy(host);
            if (entry.empty()) continue;
            EXPECT_NE(std::find(domains.begin(), domains.end(), entry), domains.end());
            const std::wstring name = CookieKeepList::Normalize(host);
            EXPECT_TRUE(name == entry ||
                        (EndsWith(name, L"." + entry) && !TryCanonicalAddress(name)))
                << ToUtf8(name) << " kept by " << ToUtf8(entry);
        }
    });
}

}  // namespace

}  // namespace veltrane
