#include <gtest/gtest.h>

#include "engine/cookie_keep_list.h"
#include "engine/kernel.h"
#include "support/keep_list_cases.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"
#include "sysaccess/text.h"

namespace veltrane {

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

TEST(CookieKeepList, InternationalNamesAndAddressesHaveOneSpelling) {
    CookieKeepList list(L"B\u00fccher.DE;[2001:DB8:0:0::1];010.0.0.1;0.1;1.2.3;xn--bcher-kva.de");
    EXPECT_EQ(list.ToText(), L"xn--bcher-kva.de;2001:db8::1;10.0.0.1");
    EXPECT_TRUE(list.Keeps(L"b\u00fccher.de"));  // a host given in its own script
    for (const wchar_t* host : {L"2001:db8::1", L"[2001:db8::1]", L"2001:0db8:0000::0001"})
        EXPECT_EQ(list.KeptBy(host), L"2001:db8::1") << ToUtf8(host);
    EXPECT_FALSE(list.Keeps(L"2001:db8::2"));
    EXPECT_FALSE(list.Keeps(L"x.10.0.0.1"));
    EXPECT_TRUE(list.Add(L"::ffff:1.2.3.4"));
    EXPECT_TRUE(list.Keeps(L"[::FFFF:102:304]"));
    EXPECT_TRUE(list.Add(L"::"));
    EXPECT_TRUE(list.Keeps(L"0:0:0:0:0:0:0:0"));
    for (const wchar_t* wrong : {L"1::2::3", L"fe80::1%eth0", L"1:2:3:4:5:6:7:8:9", L"[1.2.3.4]",
                                 L"256.1.1.1", L"12345::", L"a.b.99"})
        EXPECT_FALSE(list.Add(wrong)) << ToUtf8(wrong);
}

// A list that is stored but cannot be read keeps everything until a new
// list takes its place.
TEST(CookieKeepList, AnUnreadableListKeepsEveryHost) {
    CookieKeepList list = CookieKeepList::Unreadable(L"cannot be read");
    EXPECT_FALSE(list.IsEmpty());
    EXPECT_EQ(list.KeptBy(L".Any.Host.test"), L"any.host.test");
    EXPECT_FALSE(list.Remove(L"any.host.test"));
    EXPECT_EQ(list.UnreadableReason(), L"cannot be read");
    EXPECT_TRUE(list.Add(L"new.test"));
    EXPECT_FALSE(list.IsUnreadable());
    EXPECT_FALSE(list.Keeps(L"any.host.test"));
    EXPECT_TRUE(list.Keeps(L"www.new.test"));
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

    Options options = kernel->GetOptions();
    options.keepCookies = CookieKeepList(L"example.org");
    ASSERT_TRUE(kernel->SetOptions(options).Done());
    EXPECT_TRUE(kernel->GetCookieKeepList().Keeps(L"example.com"));  // the run's copy stands
    kernel->SetMode(CKernel::kIdle);
    ASSERT_TRUE(Scan());
    EXPECT_FALSE(kernel->GetCookieKeepList().Keeps(L"example.com"));
    EXPECT_TRUE(kernel->GetCookieKeepList().Keeps(L"example.org"));

    kernel->OverrideCookieKeepList(L"override.net");
    kernel->SetMode(CKernel::kIdle);
    ASSERT_TRUE(Scan());
    EXPECT_EQ(kernel->GetCookieKeepList().ToText(), L"override.net");
    kernel.reset();
    std::wstring stored;
    ASSERT_TRUE(GetString(HKEY_LOCAL_MACHINE, kOptionsKey, kKeepCookiesOption, stored));
    EXPECT_EQ(stored, L"example.org");  // the override is never stored
}

}  // namespace

}  // namespace veltrane
