// The Netscape cache plug-in: the caches of Mozilla Suite and Netscape 4 profiles only.
#include "plugins/browser/netscape_cache_plugin.h"
#include "netscape_fixture.h"
#include "plugin_harness.h"

namespace veltrane {

namespace {

using NetscapeCache = NetscapeTest;

TEST_F(NetscapeCache, CachesOfSuiteAndNetscape4ProfilesOnly) {
    {
        PluginHarness<CPlgNetscapeCache> nothing(L"NetscapeFileCache", PluginCategory::kNetscape);
        EXPECT_TRUE(nothing.Get().GetEngine().fileEntries.empty());
    }
    std::wstring suite = MozillaProfile(L"default", L"s1.slt");
    std::wstring netscape = Netscape4Profile(L"jdoe");
    std::wstring firefox = FirefoxProfile(L"f1.default");
    WriteTestFile(suite + L"Cache\\_CACHE_001_", "1234");
    WriteTestFile(suite + L"Cache.Trash\\old", "12");
    WriteTestFile(netscape + L"Cache\\M0.HTM", "1");
    WriteTestFile(firefox + L"Cache\\_CACHE_001_", "keep");
    WriteTestFile(suite + L"Cache\\sub\\deeper", "not below");

    PluginHarness<CPlgNetscapeCache> cache(L"NetscapeFileCache", PluginCategory::kNetscape);
    ASSERT_TRUE(cache.Scan());
    EXPECT_EQ(cache.Get().GetScanSummary().items, 3u);
    EXPECT_EQ(cache.Get().GetScanSummary().bytes, 7u);
    ASSERT_TRUE(cache.Clean());
    EXPECT_FALSE(FileExists(suite + L"Cache\\_CACHE_001_"));
    EXPECT_FALSE(FileExists(suite + L"Cache.Trash\\old"));
    EXPECT_FALSE(FileExists(netscape + L"Cache\\M0.HTM"));
    EXPECT_TRUE(FileExists(firefox + L"Cache\\_CACHE_001_"));
    EXPECT_TRUE(FileExists(suite + L"Cache\\sub\\deeper"));
}

}  // namespace

}  // namespace veltrane
