#include "sysaccess/path_route.h"

#include <vector>

#include "sysaccess/handles.h"
#include "sysaccess/protected_places.h"

namespace veltrane {

namespace {

// The final path of an open file or folder, without its "\\?\" prefix.
std::wstring FinalPath(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), VOLUME_NAME_DOS);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= buffer.size()) return {};
    std::wstring path(buffer.data(), length);
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

UniqueHandle OpenForQuery(const std::wstring& path, DWORD flags) {
    return UniqueHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
}

}  // namespace

RouteCheck CheckPathRoute(const std::wstring& path) {
    RouteCheck check;
    UniqueHandle handle = OpenForQuery(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!handle) {
        check.error = GetLastError();
        check.route = check.error == ERROR_FILE_NOT_FOUND || check.error == ERROR_PATH_NOT_FOUND
                          ? PathRoute::kMissing
                          : PathRoute::kFailed;
        return check;
    }
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (GetFileInformationByHandleEx(handle.Get(), FileAttributeTagInfo, &tag, sizeof tag) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // The link itself is the answer; where it points is for the report.
        check.route = PathRoute::kThroughLink;
        if (UniqueHandle target = OpenForQuery(path, 0)) check.finalPath = FinalPath(target.Get());
        return check;
    }
    check.finalPath = FinalPath(handle.Get());
    if (check.finalPath.empty()) {
        check.error = GetLastError();
        return check;
    }
    const std::wstring spelled = NormalisePlacePath(path);
    check.route = !spelled.empty() && NormalisePlacePath(check.finalPath) == spelled
                      ? PathRoute::kDirect
                      : PathRoute::kThroughLink;
    if (check.route == PathRoute::kDirect) check.finalPath.clear();
    return check;
}

}  // namespace veltrane
