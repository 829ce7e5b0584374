#pragma once
// The unattended front end: runs a scan or a scan and clean through the same
// kernel the window uses, on a message-only window with its own message
// loop, and reports the outcome as a table or as JSON.
#include <string>

#include "app/command_line.h"
#include "engine/kernel.h"

// Exit codes: 0 every plug-in succeeded, 1 one failed, 2 usage error,
// 3 another instance was scanning or cleaning (nothing was done).
inline constexpr int kExitBusy = 3;
int RunHeadless(const HeadlessRequest& request, const PluginFactory& createPlugins,
                std::wstring& output);
