// Start-up of the window program: the web addresses of "urls.ini", the
// autostart entry, the command line, and a start from a foreign folder.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

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

class Autostart : public testing::Test {
protected:
    ScopedTestKey key{L"Autostart"};
    std::wstring runKey = key.Sub(L"Run");
    std::wstring optionsKey = key.Sub(L"Options");

    std::wstring BootStartup() {
        std::wstring value;
        GetString(key.Root(), optionsKey, L"BootStartup", value);
        return value;
    }
};

TEST_F(Autostart, PresentRunEntrySetsTheOptionAndIsKept) {
    SetString(key.Root(), runKey, kRunValue, L"\"C:\\Program Files\\Veltrane\\veltrane.exe\"");
    SetString(key.Root(), optionsKey, L"BootStartup", L"0");
    {
        CAutostartSync sync(key.Root(), runKey.c_str(), optionsKey.c_str());
        EXPECT_TRUE(sync.IsRunEntryPresent());
        EXPECT_EQ(BootStartup(), L"1");
    }
    std::wstring run;
    EXPECT_TRUE(GetString(key.Root(), runKey, kRunValue, run));
    EXPECT_EQ(run, L"\"C:\\Program Files\\Veltrane\\veltrane.exe\"");
    EXPECT_EQ(BootStartup(), L"1");
}

TEST_F(Autostart, MissingOrEmptyRunEntryClearsTheOption) {
    SetString(key.Root(), optionsKey, L"BootStartup", L"1");
    { CAutostartSync sync(key.Root(), runKey.c_str(), optionsKey.c_str()); }
    EXPECT_EQ(BootStartup(), L"0");
    EXPECT_FALSE(ValueExists(key.Root(), runKey, kRunValue));

    SetString(key.Root(), runKey, kRunValue, L"");
    { CAutostartSync sync(key.Root(), runKey.c_str(), optionsKey.c_str()); }
    EXPECT_EQ(BootStartup(), L"0");
    EXPECT_FALSE(ValueExists(key.Root(), runKey, kRunValue));
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
std::string HttpGet(const std::string& address) {
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
                              " HTTP/1.0\r\nHost: " + rest.substr(0, slash) + "\r\n\r\n";
        send(socket, request.data(), static_cast<int>(request.size()), 0);
        char buffer[4096];
        int got;
        while ((got = recv(socket, buffer, sizeof(buffer), 0)) > 0) response.append(buffer, got);
    }
    closesocket(socket);
    WSACleanup();
    return response;
}

TEST(StartUp, FromAnotherFolderFindsUrlsAndPagesBesideTheProgram) {
    ScopedNoBrowser noBrowser;
    PipedChild child;
    ASSERT_TRUE(StartPipedChild(VeltraneCommand(L""), L"C:\\windows", child));

    // A missing "urls.ini" would hold the start at its message box, before the address.
    std::string address = ReadLineWith(child.output.Get(), "Veltrane UI: ", 60000);
    std::string page = address.empty() ? "" : HttpGet(address);
    TerminateProcess(child.process.Get(), 0);
    WaitForSingleObject(child.process.Get(), 10000);

    ASSERT_FALSE(address.empty());
    EXPECT_EQ(page.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << page.substr(0, 200);
    EXPECT_NE(page.find("id=\"Layout\""), std::string::npos);
}

}  // namespace
