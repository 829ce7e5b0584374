// Origins read from the names the browsers give their site data.
#include <gtest/gtest.h>

#include <optional>

#include "plugins/browser/storage_origin.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

TEST(StorageOrigin, NamesAreReadAsTheBrowsersWriteThem) {
    struct Case {
        std::optional<StorageOrigin> origin;
        const wchar_t* text;  // nullptr: not an origin
        OriginKind kind = OriginKind::kSite;
    };
    const Case cases[] = {
        {OriginFromIdentifier(L"https_Example.COM_0"), L"https://example.com"},
        {OriginFromIdentifier(L"http_localhost_8080"), L"http://localhost:8080"},
        {OriginFromIdentifier(L"https_..\\evil_0"), nullptr},
        {OriginFromIdentifier(L"https_example.com_99999"), nullptr},
        {OriginFromIdentifier(L"chrome-extension_abcdefghijklmnop_0"),
         L"chrome-extension://abcdefghijklmnop", OriginKind::kExtension},
        {OriginFromUrl("https://example.com:443/"), L"https://example.com"},
        {OriginFromUrl(std::string("https://shop.test\0key", 18)), L"https://shop.test"},
        {OriginFromUrl("https://embed.test/^0https://top.test"), L"https://embed.test"},
        {OriginFromUrl("https://[::1]:8443/"), L"https://[::1]:8443"},
        {OriginFromUrl("https:///nohost"), nullptr},
        {OriginFromFirefoxFolder(L"https+++example.com+++8443^userContextId=2"),
         L"https://example.com:8443"},
        {OriginFromFirefoxFolder(L"file++++C++Users+x+page.html"), L"file://"},
        {OriginFromFirefoxFolder(L"moz-extension+++0a1b2c3d^userContextId=4294967295"),
         L"moz-extension://0a1b2c3d", OriginKind::kExtension},
        {OriginFromFirefoxFolder(L"about+home"), L"about://home", OriginKind::kBrowser},
    };
    for (const Case& test : cases) {
        if (test.text == nullptr) {
            EXPECT_FALSE(test.origin) << ToUtf8(test.origin->Text());
            continue;
        }
        ASSERT_TRUE(test.origin) << ToUtf8(test.text);
        EXPECT_EQ(test.origin->Text(), test.text);
        EXPECT_EQ(test.origin->kind, test.kind) << ToUtf8(test.text);
    }
    EXPECT_FALSE(OriginFromFirefoxFolder(L"file++++C++x")->IsKeepable());
}

}  // namespace

}  // namespace veltrane
