#pragma once
// Whether a path leads where it is spelled: a file or folder reached through
// no link on its way (a junction or symbolic link at it or at a folder above
// it, a subst drive, a share), found by opening it and asking the system for
// its final path. Under Wine a Linux symbolic link opens as its target, so
// the final path is what tells it, at the end of the path or above it.
#include <windows.h>

#include <string>

namespace veltrane {

enum class PathRoute {
    kDirect,       // the path is where it says
    kThroughLink,  // the path leads somewhere else
    kMissing,      // nothing there
    kFailed,       // it could not be opened to ask (`error` says why)
};

struct [[nodiscard]] RouteCheck {
    PathRoute route = PathRoute::kFailed;
    std::wstring finalPath;       // where the path really leads (kThroughLink, when known)
    DWORD error = ERROR_SUCCESS;  // the Win32 code of kMissing and kFailed
};

[[nodiscard]] RouteCheck CheckPathRoute(const std::wstring& path);

}  // namespace veltrane
