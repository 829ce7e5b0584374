#include <gtest/gtest.h>

#include "engine/cookie_keep_list.h"
#include "engine/kernel.h"
#include "support/keep_list_cases.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"
#include "sysaccess/text.h"

namespace {

TEST(CookieKeepList, MatchesTheSharedTable) {
    for (const KeepListCase& row : kKeepListCases)
        EXPECT_EQ(CookieKeepList(row.entries).Keeps(row.host), row.kept)
            << "host " << ToUtf8(row.host) << ", list \"" << ToUtf8(row.entries) << "\"";
}

TEST(CookieKeepList, StoredTextIsNormalisedAndEditable) {
    CookieKeepList list(L" .Example.COM ;; shop.example.com;example.com ; bad name;a.org.");
    EXPECT_EQ(list.ToText(), L"example.com;shop.example.com;a.org");
    EXPECT_EQ(CookieKeepList(list.ToText()).Domains(), list.Domains());

    EXPECT_FALSE(list.Add(L"EXAMPLE.com"));  // listed already
    EXPECT_FALSE(list.Add(L" . "));
    EXPECT_FALSE(list.Add(L"a;b.com"));
    EXPECT_TRUE(list.Add(L".Other.net"));
    EXPECT_TRUE(list.Contains(L"other.net"));
    // A parent entry keeps the sub-domain, but the sub-domain is its own entry.
    EXPECT_FALSE(list.Contains(L"x.example.com"));

    EXPECT_TRUE(list.Remove(L"Example.com"));
    EXPECT_FALSE(list.Remove(L"example.com"));
    EXPECT_TRUE(list.Keeps(L"shop.example.com"));
    EXPECT_FALSE(list.Keeps(L"example.com"));
    EXPECT_EQ(list.ToText(), L"shop.example.com;a.org;other.net");

    CookieKeepList empty(L" ; ;");
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.ToText(), L"");
    EXPECT_FALSE(empty.Keeps(L""));
    EXPECT_FALSE(list.Keeps(L""));
    EXPECT_FALSE(list.Keeps(L"."));
}

// The kernel takes the list when a run starts: a change to the option during
// a scan counts from the next run, and an override stands for every run.
class KernelKeepList : public testing::Test {
protected:
    void SetUp() override { ForgetKernelSettings(); }
    void TearDown() override {
        kernel.reset();
        ForgetKernelSettings();
    }
    void Start() {
        kernel = std::make_unique<CKernel>(&view, [](CKernel&) { return PluginList(); });
        view.Attach(kernel.get());
    }
    bool Scan() {
        kernel->SetMode(CKernel::kScanning);
        return view.PumpUntil([&] { return kernel->GetMode() == CKernel::kScanFinished; });
    }

    ScopedProgramFolder programFolder;
    RecordingView view;
    std::unique_ptr<CKernel> kernel;
};

TEST_F(KernelKeepList, RunsTakeTheStoredOptionOrTheOverride) {
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, kKeepCookiesOption, L"example.com");
    Start();
    EXPECT_TRUE(kernel->GetCookieKeepList().IsEmpty());  // no run yet
    ASSERT_TRUE(Scan());
    EXPECT_TRUE(kernel->GetCookieKeepList().Keeps(L"shop.example.com"));

    kernel->GetOptions().Option(kKeepCookiesOption) = L"example.org";
    EXPECT_TRUE(kernel->GetCookieKeepList().Keeps(L"example.com"));  // the run's copy stands
    kernel->SetMode(CKernel::kIdle);
    ASSERT_TRUE(Scan());
    EXPECT_FALSE(kernel->GetCookieKeepList().Keeps(L"example.com"));
    EXPECT_TRUE(kernel->GetCookieKeepList().Keeps(L"example.org"));

    kernel->OverrideCookieKeepList(L"override.net");
    kernel->SetMode(CKernel::kIdle);
    ASSERT_TRUE(Scan());
    EXPECT_EQ(kernel->GetCookieKeepList().ToText(), L"override.net");
    kernel.reset();  // saves the options
    std::wstring stored;
    ASSERT_TRUE(GetString(HKEY_LOCAL_MACHINE, kOptionsKey, kKeepCookiesOption, stored));
    EXPECT_EQ(stored, L"example.org");  // the override is never stored
}

}  // namespace
