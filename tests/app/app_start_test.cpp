// Start-up of the window program: the web addresses of "urls.ini", the
// autostart entry, the command line, and a start from a foreign folder.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <vector>

#include "app/app_main.h"
#include "app/autostart_sync.h"
#include "support/child_process.h"
#include "support/scoped_no_browser.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/text.h"
#include "ui/urls.h"

namespace {

class Urls : public testing::Test {
protected:
    void SetUp() override {
        SITE_URL.clear();
        UPDATES_URL.clear();
        REMOTE_HELP_URL.clear();
    }

    bool Load(const std::string& content) {
        WriteTestFile(folder.Sub(L"urls.ini"), content);
        return LoadUrls(folder.Sub(L"urls.ini"),
                        [this](const std::wstring& text) { messages.push_back(text); });
    }

    ScopedTestFolder folder{L"Urls"};
    std::vector<std::wstring> messages;
};

TEST_F(Urls, KeysInAnyOrderWithCommentsAndBlankLines) {
    EXPECT_TRUE(
        Load("; addresses\r\n\r\n"
             "UPDATES_URL \"http://u/\"\r\n"
             "# another comment with SITE_URL \"http://wrong/\"\n"
             "   \tREMOTE_HELP_URL\t\t\"http://h/?a=1\" trailing text\n"
             "UNKNOWN_URL \"http://x/\"\n"
             "SITE_URL \"http://first/\"\n"
             "SITE_URL \"http://s/\""));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(SITE_URL, L"http://s/");  // the last of two wins
    EXPECT_EQ(UPDATES_URL, L"http://u/");
    EXPECT_EQ(REMOTE_HELP_URL, L"http://h/?a=1");
}

TEST_F(Urls, MissingKeyOrFileIsReportedOnceAndKeepsWhatWasFound) {
    EXPECT_FALSE(
        Load("SITE_URL \"http://s/\"\nUPDATES_URL \"http://u/\"\n"
             "site_url \"http://case/\"\nREMOTE_HELP_URL_X \"http://x/\"\n"));
    EXPECT_EQ(messages, std::vector<std::wstring>{L"File Urls.ini is corrupted"});
    EXPECT_EQ(SITE_URL, L"http://s/");
    EXPECT_EQ(UPDATES_URL, L"http://u/");
    EXPECT_EQ(REMOTE_HELP_URL, L"");

    messages.clear();
    EXPECT_FALSE(LoadUrls(folder.Sub(L"none.ini"),
                          [this](const std::wstring& text) { messages.push_back(text); }));
    EXPECT_EQ(messages, std::vector<std::wstring>{L"Cannot find Urls.ini file"});
}

TEST_F(Urls, ValueWithoutClosingQuoteIsEmptyButFound) {
    EXPECT_TRUE(Load("SITE_URL \"http://s/\nUPDATES_URL\nREMOTE_HELP_URL \"http://h/\"\n"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(SITE_URL, L"");
    EXPECT_EQ(UPDATES_URL, L"");
    EXPECT_EQ(REMOTE_HELP_URL, L"http://h/");
}

TEST(CommandLine, ArgumentsAfterTheProgramName) {
    EXPECT_EQ(
        CommandLineArguments(L"\"C:\\Program Files\\Veltrane\\veltrane.exe\" /emergencyclose"),
        L"/emergencyclose");
    EXPECT_EQ(CommandLineArguments(L"veltrane.exe   /emergencyclose now"), L"/emergencyclose now");
    EXPECT_EQ(CommandLineArguments(L"veltrane.exe"), L"");
}

// The start order: the autostart sync stores "BootStartup" from the Run
// entry before the kernel reads the options, so the kernel (and Settings)
// sees what the sync found, with or without a stored value before.
class Autostart : public testing::Test {
protected:
    ScopedTestKey key{L"Autostart"};
    SettingsHome home{{key.Root(), key.Sub(L"Machine")},
                      {key.Root(), key.Sub(L"User")},
                      {key.Root(), key.Sub(L"MachineRun")},
                      {key.Root(), key.Sub(L"UserRun")}};

    std::wstring BootStartup() {
        std::wstring value = L"(absent)";
        GetString(key.Root(), key.Sub(L"Machine\\Options"), L"BootStartup", value);
        return value;
    }
    bool KernelSeesBootStartup() {
        return CKernel(
                   nullptr, [](CKernel&) { return PluginList(); }, home)
            .GetOptions()
            .bootStartup;
    }
};

TEST_F(Autostart, ARunEntryTurnsTheOptionOnAndStays) {
    const std::wstring command = L"\"C:\\Program Files\\Veltrane\\veltrane.exe\"";
    SetString(key.Root(), home.machineRun.path, kRunValue, command);
    EXPECT_TRUE(SyncAutostart(home));
    EXPECT_EQ(BootStartup(), L"(absent)");  // absent counts as on: nothing to change
    EXPECT_TRUE(KernelSeesBootStartup());
    std::wstring run;
    EXPECT_TRUE(GetString(key.Root(), home.machineRun.path, kRunValue, run));
    EXPECT_EQ(run, command);

    // The entry of a user who kept their settings in their own key counts too.
    SHDeleteValueW(key.Root(), home.machineRun.path.c_str(), kRunValue);
    SetString(key.Root(), home.machine.path + L"\\Options", L"BootStartup", L"0");
    SetString(key.Root(), home.userRun.path, kRunValue, command);
    EXPECT_TRUE(SyncAutostart(home));
    EXPECT_EQ(BootStartup(), L"1");
    EXPECT_TRUE(KernelSeesBootStartup());
}

TEST_F(Autostart, NoOrAnEmptyRunEntryTurnsTheOptionOff) {
    // Nothing stored: the option counts as on until the sync has looked.
    EXPECT_TRUE(KernelSeesBootStartup());
    EXPECT_FALSE(SyncAutostart(home));
    EXPECT_EQ(BootStartup(), L"0");
    EXPECT_FALSE(KernelSeesBootStartup());

    SetString(key.Root(), home.machine.path + L"\\Options", L"BootStartup", L"1");
    SetString(key.Root(), home.machineRun.path, kRunValue, L"");
    EXPECT_FALSE(SyncAutostart(home));
    EXPECT_EQ(BootStartup(), L"0");
    EXPECT_FALSE(ValueExists(key.Root(), home.machineRun.path, kRunValue));
}

// Reads what the child prints until `marker` and the rest of its line arrive.
std::string ReadLineWith(HANDLE pipe, const std::string& marker, DWORD timeoutMs) {
    std::string output;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available > 0) {
            std::vector<char> buffer(available);
            DWORD got = 0;
            ReadFile(pipe, buffer.data(), available, &got, nullptr);
            output.append(buffer.data(), got);
            size_t at = output.find(marker);
            if (at != std::string::npos) {
                size_t end = output.find('\n', at);
                if (end != std::string::npos)
                    return output.substr(at + marker.size(), end - at - marker.size());
            }
        } else {
            Sleep(50);
        }
    }
    return {};
}

// A plain HTTP/1.0 GET of an address on the loopback, naming its host as browsers do.
std::string HttpGet(const std::string& address, const std::string& cookie = {}) {
    std::string rest = address.substr(address.find("//") + 2);
    size_t slash = rest.find('/');
    std::string port = rest.substr(rest.find(':') + 1, slash - rest.find(':') - 1);
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<u_short>(std::stoi(port)));
    inet_pton(AF_INET, "127.0.0.1", &target.sin_addr);
    std::string response;
    if (connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof(target)) == 0) {
        std::string request = "GET " + rest.substr(slash) +
                              " HTTP/1.0\r\nHost: " + rest.substr(0, slash) + "\r\n" +
                              (cookie.empty() ? "" : "Cookie: " + cookie + "\r\n") + "\r\n";
        send(socket, request.data(), static_cast<int>(request.size()), 0);
        char buffer[4096];
        int got;
        while ((got = recv(socket, buffer, sizeof(buffer), 0)) > 0) response.append(buffer, got);
    }
    closesocket(socket);
    WSACleanup();
    return response;
}

// Started from a folder with a layout page and a broken "urls.ini" of its
// own: the program serves its own page and reads its own addresses.
TEST(StartUp, FromAnotherFolderFindsUrlsAndPagesBesideTheProgram) {
    ScopedNoBrowser noBrowser;
    ScopedTestFolder started(L"StartedElsewhere");
    WriteTestFile(started.Sub(L"html\\Common\\layout.html"), "decoy");
    WriteTestFile(started.Sub(L"urls.ini"), "decoy");
    const std::wstring trace = started.Sub(L"trace.log");
    SetEnvironmentVariableW(L"VELTRANE_TRACE", trace.c_str());
    PipedChild child;
    const bool began = StartPipedChild(VeltraneCommand(L""), started.Path().c_str(), child);
    SetEnvironmentVariableW(L"VELTRANE_TRACE", nullptr);
    ASSERT_TRUE(began);

    std::string address = ReadLineWith(child.output.Get(), "Veltrane UI: ", 60000);
    // The address opens once: it gives the session's cookie and leads to the page.
    std::string launch = address.empty() ? "" : HttpGet(address);
    auto header = [&launch](const std::string& name) {
        size_t at = launch.find("\r\n" + name + ": ");
        if (at == std::string::npos) return std::string();
        at += name.size() + 4;
        return launch.substr(at, launch.find_first_of(";\r", at) - at);
    };
    std::string page = launch.empty()
                           ? ""
                           : HttpGet(address.substr(0, address.find('/', address.find("//") + 2)) +
                                         header("Location"),
                                     header("Set-Cookie"));
    TerminateProcess(child.process.Get(), 0);
    WaitForSingleObject(child.process.Get(), 10000);

    ASSERT_FALSE(address.empty());
    EXPECT_EQ(launch.rfind("HTTP/1.0 303 See Other\r\n", 0), 0u) << launch.substr(0, 200);
    EXPECT_EQ(page.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << page.substr(0, 200);
    EXPECT_NE(page.find("id=\"Layout\""), std::string::npos);
    // A problem with the addresses is traced before the address is printed.
    const std::string traced = ReadTestFile(trace);
    EXPECT_NE(traced.find("Veltrane UI: "), std::string::npos) << traced;
    EXPECT_EQ(traced.find("Urls.ini"), std::string::npos) << traced;
}

}  // namespace
