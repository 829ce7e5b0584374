// A dialog over the loopback web host: a modal one opens as a frame over its
// parent's page and ends with its close box.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "fake_page.h"
#include "support/scoped_no_browser.h"
#include "support/test_files.h"
#include "ui/dlg_base.h"

namespace veltrane {

namespace {

class Dialog : public CDlgBase {
public:
    using CDlgBase::CDlgBase;
    int completions = 0;

protected:
    void OnDocumentComplete(bool reattached) override {
        CDlgBase::OnDocumentComplete(reattached);
        ++completions;
    }
};

void PumpUntil(const std::function<bool()>& done) {
    DWORD start = GetTickCount();
    MSG message;
    while (!done() && GetTickCount() - start < 5000) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }
}

TEST(DialogBase, AModalDialogIsAFrameOverItsParentAndEndsWithItsCloseBox) {
    ScopedProgramFolder programFolder;
    ScopedNoBrowser noBrowser;
    Dialog main(L"Common\\layout.html", L"Veltrane", nullptr);
    ASSERT_TRUE(main.Create());
    CWebHost& host = CWebHost::Get();
    const std::string cookie = SessionCookie(host);
    FakePage mainPage(host.GetPort(), "/" + host.GetRunPath() + "/socket?dlg=main", cookie);
    mainPage.Receive();
    mainPage.Send({{"t", "complete"}});
    mainPage.Serve();
    PumpUntil([&] { return main.completions == 1; });
    ASSERT_EQ(main.completions, 1);
    EXPECT_EQ(mainPage.Message("size"),
              nlohmann::json({{"t", "size"}, {"width", 300}, {"height", 100}}));

    // The dialog's page connects once the parent's page has made its frame.
    std::unique_ptr<FakePage> dialogPage;
    std::thread opener([&] {
        DWORD start = GetTickCount();
        nlohmann::json frame;
        while ((frame = mainPage.Message("openFrame")).is_null() && GetTickCount() - start < 5000)
            Sleep(10);
        if (frame.is_null()) return;
        dialogPage = std::make_unique<FakePage>(
            host.GetPort(),
            "/" + host.GetRunPath() + "/socket?dlg=" + frame["dlg"].get<std::string>(), cookie);
        dialogPage->Receive();
        dialogPage->Send({{"t", "complete"}});
        dialogPage->Serve(false, true);
    });
    Dialog about(L"DlgAbout.htm", L"About", &main);
    INT_PTR result = about.DoModal();
    opener.join();

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(about.completions, 1);
    nlohmann::json frame = mainPage.Message("openFrame");
    ASSERT_FALSE(frame.is_null());
    EXPECT_EQ(frame["title"], "About");
    EXPECT_NE(frame["url"].get<std::string>().find("/DlgAbout.htm?dlg="), std::string::npos);
    PumpUntil([&] { return !mainPage.Message("closeFrame").is_null(); });
    EXPECT_EQ(mainPage.Message("closeFrame")["dlg"], frame["dlg"]);
}

}  // namespace

}  // namespace veltrane
