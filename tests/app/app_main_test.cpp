// Start-up of the window program: the arguments it is given, and a start
// from a foreign folder that serves its own page and reads its own addresses.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/app_main.h"
#include "support/child_process.h"
#include "support/scoped_no_browser.h"
#include "support/test_files.h"

namespace veltrane {

namespace {

TEST(CommandLine, ArgumentsAfterTheProgramName) {
    EXPECT_EQ(
        CommandLineArguments(L"\"C:\\Program Files\\Veltrane\\veltrane.exe\" /emergencyclose"),
        L"/emergencyclose");
    EXPECT_EQ(CommandLineArguments(L"veltrane.exe   /emergencyclose now"), L"/emergencyclose now");
    EXPECT_EQ(CommandLineArguments(L"veltrane.exe"), L"");
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

}  // namespace veltrane
