// The main window's Win32 side, with no page connected: the window-handle
// block, the notification-area icon's menu and double click, closing and
// the end of the session (also in the middle of a clean), and the autostart
// entry the kernel writes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "support/scoped_no_browser.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"
#include "ui/dlg_main.h"
#include "ui/resource_ids.h"

namespace veltrane {

namespace {

PluginList NoPlugins(CKernel&) { return {}; }

// True when a quit message is waiting; it is taken out of the queue.
bool TakeQuitMessage() {
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

HWND TrayWindow() {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (wcscmp(name, L"VeltraneTrayWindow") != 0) return TRUE;
            reinterpret_cast<Search*>(data)->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The "Restore" check mark as the menu shows it: read when the menu opens,
// after which the menu is closed again.
bool restoreCheckedWhenOpened = false;
int menusOpened = 0;
WNDPROC mainWindowProcedure = nullptr;

LRESULT CALLBACK WatchMenu(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITMENUPOPUP) {
        ++menusOpened;
        restoreCheckedWhenOpened =
            (GetMenuState(reinterpret_cast<HMENU>(wParam), ID_TRAY_RESTORE, MF_BYCOMMAND) &
             MF_CHECKED) != 0;
        EndMenu();
    }
    return CallWindowProcW(mainWindowProcedure, window, message, wParam, lParam);
}

class MainWindow : public testing::Test {
protected:
    void SetUp() override { ForgetKernelSettings(); }
    void TearDown() override {
        window.reset();
        TakeQuitMessage();
        ForgetKernelSettings();
    }
    void Open() {
        window = std::make_unique<CDlgMain>(kMainPage, &NoPlugins);
        ASSERT_TRUE(window->Create());
    }

    ScopedProgramFolder programFolder;
    ScopedNoBrowser noBrowser;
    std::unique_ptr<CDlgMain> window;
};

TEST_F(MainWindow, PublishesItsHandleInTheSharedBlock) {
    Open();
    UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, L"VeltraneMapKey_1_0"));
    ASSERT_TRUE(mapping);
    void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 1024);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(*static_cast<const uint32_t*>(view),
              static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window->GetSafeHwnd())));
    UnmapViewOfFile(view);
}

TEST_F(MainWindow, TrayMenuMarksRestoreAndDoubleClickToggles) {
    Open();
    HWND tray = TrayWindow();
    ASSERT_NE(tray, nullptr) << "the notification-area icon needs a display";
    HWND main = window->GetSafeHwnd();
    mainWindowProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchMenu)));

    EXPECT_TRUE(window->IsShown());
    SendMessageW(tray, CSystemTray::kNotifyMessage, IDR_TRAY_MENU, WM_RBUTTONUP);
    ASSERT_EQ(menusOpened, 1);
    EXPECT_TRUE(restoreCheckedWhenOpened);

    SendMessageW(tray, CSystemTray::kNotifyMessage, IDR_TRAY_MENU, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(window->IsShown());
    SendMessageW(tray, CSystemTray::kNotifyMessage, IDR_TRAY_MENU, WM_RBUTTONUP);
    ASSERT_EQ(menusOpened, 2);
    EXPECT_FALSE(restoreCheckedWhenOpened);

    SendMessageW(tray, CSystemTray::kNotifyMessage, IDR_TRAY_MENU, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(window->IsShown());
    // Another icon's notifications are not ours.
    SendMessageW(tray, CSystemTray::kNotifyMessage, IDR_TRAY_MENU + 1, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(window->IsShown());
    SetWindowLongPtrW(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mainWindowProcedure));
}

TEST_F(MainWindow, ClosingHidesUnlessHideOnExitIsOff) {
    Open();
    HWND main = window->GetSafeHwnd();
    // No option stored: it counts as on.
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(window->IsShown());
    EXPECT_FALSE(TakeQuitMessage());

    SendMessageW(main, WM_COMMAND, ID_TRAY_RESTORE, 0);
    EXPECT_TRUE(window->IsShown());
    Options options = window->GetKernel().GetOptions();
    options.hideOnExit = false;
    ASSERT_TRUE(window->GetKernel().SetOptions(options).Done());
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(MainWindow, EndOfSessionAndTrayExitQuit) {
    Open();
    HWND main = window->GetSafeHwnd();
    EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_TRUE(TakeQuitMessage());
    SendMessageW(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_TRUE(TakeQuitMessage());
}

bool PumpUntil(const std::function<bool()>& done) {
    MSG message;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(5)) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return false;
            DispatchMessageW(&message);
        }
        if (done()) return true;
    }
    return false;
}

TEST_F(MainWindow, ExitDuringACleanWaitsForTheWorkerAndEndsWithTheReport) {
    ScopedTestFolder tree(L"UiExitMidClean");
    std::vector<std::wstring> files;
    for (int i = 0; i < 3000; ++i) {
        files.push_back(tree.Sub(L"d" + std::to_wstring(i % 40) + L"\\f" + std::to_wstring(i)));
        WriteTestFile(files.back(), "trace");
    }
    std::map<std::wstring, TestPlugin*> created;
    window = std::make_unique<CDlgMain>(
        kMainPage,
        MakeTestFactory({{.id = L"ExitTree", .category = PluginCategory::kIeAndAol, .weight = 1}},
                        created));
    ASSERT_TRUE(window->Create());
    std::atomic<bool> started = false, returned = false;
    std::atomic<size_t> deleted = 0;
    created[L"ExitTree"]->fix = [&](TestPlugin& self) {
        started = true;
        for (const std::wstring& file : files) {
            if (self.IsCancelled()) break;
            if (DeleteFileW(file.c_str())) ++deleted;
            // Slow enough that the exit comes in the middle.
            Sleep(1);
        }
        returned = true;
        return self.IsCancelled() ? CPlugin::kCancelled : CPlugin::kDone;
    };
    CKernel& kernel = window->GetKernel();
    ASSERT_TRUE(kernel.HandleCommand(L"btn_scan"));
    ASSERT_TRUE(PumpUntil([&] { return kernel.GetMode() == CKernel::kScanFinished; }));
    ASSERT_TRUE(kernel.HandleCommand(L"btn_clean"));
    ASSERT_TRUE(PumpUntil([&] { return deleted > 10; }));

    SendMessageW(window->GetSafeHwnd(), WM_COMMAND, ID_TRAY_EXIT, 0);
    // The exit came back only once the worker was out of the plug-in, and the
    // clean it cut short ended as an aborted one does: with its report.
    EXPECT_TRUE(returned);
    EXPECT_TRUE(TakeQuitMessage());
    EXPECT_EQ(kernel.GetMode(), CKernel::kCleanFinished);
    EXPECT_EQ(kernel.GetCurrentPluginId(), L"ExitTree");
    EXPECT_EQ(created[L"ExitTree"]->GetRunState(), CPlugin::kCleaned);
    size_t left = 0;
    for (const std::wstring& file : files)
        if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) ++left;
    EXPECT_GT(left, 0u) << "the clean was not cut short";
    EXPECT_EQ(deleted + left, files.size());
    window.reset();
}

TEST_F(MainWindow, AutostartEntryIsTheQuotedProgramPath) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring name = module;
    name = name.substr(name.find_last_of(L'\\') + 1);
    {
        CKernel kernel(nullptr, &NoPlugins);
        Options options = kernel.GetOptions();
        options.bootStartup = true;
        ASSERT_TRUE(kernel.SetOptions(options).Done());
        std::wstring run;
        ASSERT_TRUE(GetString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, run));
        // The folder has a space: unquoted, Windows would try "C:\Program" first.
        EXPECT_EQ(run, L"\"" + std::wstring(kInstalledProgramFolder) + L"\\" + name + L"\"");

        options.bootStartup = false;
        ASSERT_TRUE(kernel.SetOptions(options).Done());
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
    }
}

}  // namespace

}  // namespace veltrane
