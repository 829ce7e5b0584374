#pragma once
// The application object: one instance per desktop, the main window and the
// message loop.
#include <windows.h>

#include <string>

#include "engine/kernel.h"
#include "sysaccess/handles.h"

namespace veltrane {

inline constexpr wchar_t kInstanceMutexName[] = L"Veltrane Anti-Second-Instance Mutex";
inline constexpr wchar_t kHandshakeMessageName[] =
    L"Veltrane Hand-shake message for activation previous instance";
inline constexpr wchar_t kEmergencyCloseSwitch[] = L"/emergencyclose";
// Sent to a running instance for "/emergencyclose"; it has no handler there.
inline constexpr UINT kEmergencyCloseMessage = WM_USER + 153;

class CAppMain {
public:
    // `commandLine` is everything after the program's name.
    CAppMain(std::wstring commandLine, PluginFactory createPlugins);

    // Runs the whole program: InitInstance, then ExitInstance's code.
    int Run();

    // Hands over to a running instance, or runs the main window's message loop.
    // Always false: the loop has already run when it returns.
    bool InitInstance();
    // Releases the single-instance mutex; the program's exit code.
    int ExitInstance();

private:
    void ActivatePreviousInstance(bool emergency) const;

    std::wstring commandLine_;
    PluginFactory createPlugins_;
    UINT handshakeMessage_ = 0;
    // Held (and owned) from a successful start to ExitInstance; a second start finds it.
    UniqueHandle instanceMutex_;
};

// The command line without the program's own name, as the system keeps it.
std::wstring CommandLineArguments(const wchar_t* fullCommandLine);

// Makes the wide-character interface available where the system lacks it
// (the 9x family); false when the program cannot run.
bool PrepareUnicodeLayer();

}  // namespace veltrane
