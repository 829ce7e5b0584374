#pragma once
// Tests of the URL cache start and end with every container empty, so that
// no entry of one test is found by the next.
#include <gtest/gtest.h>

#include "plugins/browser/url_cache.h"
#include "test_run.h"

namespace veltrane {

class EmptyUrlCacheTest : public testing::Test {
protected:
    void SetUp() override { EmptyCache(); }
    void TearDown() override { EmptyCache(); }

    static void EmptyCache() {
        for (UrlCacheKind kind :
             {UrlCacheKind::kFiles, UrlCacheKind::kCookies, UrlCacheKind::kHistory}) {
            DomainMap all;
            TestRun run;
            // Clearing up: what stays is found by the next test's own checks.
            (void)EnumerateUrlCache(kind, all, run);
            (void)DeleteUrlCacheDomains(kind, all, run);
        }
    }
};

}  // namespace veltrane
