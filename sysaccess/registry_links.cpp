#include "sysaccess/registry_links.h"

#include <winternl.h>

#include <algorithm>
#include <vector>

namespace veltrane {

extern "C" {
NTSTATUS NTAPI NtQueryKey(HANDLE key, int informationClass, void* information, ULONG length,
                          ULONG* resultLength);
}

namespace {

constexpr wchar_t kLinkValue[] = L"SymbolicLinkValue";
constexpr int kKeyNameInformation = 3;

}  // namespace

std::optional<bool> TryIsRegLink(HKEY key) {
    DWORD type = REG_NONE;
    const LSTATUS status = RegQueryValueExW(key, kLinkValue, nullptr, &type, nullptr, nullptr);
    if (status == ERROR_FILE_NOT_FOUND) return false;
    // A plain key may hold a value of that name; only a link's is a REG_LINK.
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) return type == REG_LINK;
    return std::nullopt;
}

OpenedRegKey OpenRegKeyNoLink(HKEY parent, const wchar_t* keyPath, REGSAM access) {
    OpenedRegKey opened;
    if (keyPath == nullptr || *keyPath == 0) {
        opened.error = ERROR_INVALID_PARAMETER;
        return opened;
    }
    const LSTATUS status = RegOpenKeyExW(parent, keyPath, REG_OPTION_OPEN_LINK,
                                         access | KEY_QUERY_VALUE, opened.key.Receive());
    if (status != ERROR_SUCCESS) {
        opened.kind = status == ERROR_FILE_NOT_FOUND ? OpenedRegKey::Kind::kMissing
                                                     : OpenedRegKey::Kind::kFailed;
        opened.error = static_cast<DWORD>(status);
        return opened;
    }
    const std::optional<bool> link = TryIsRegLink(opened.key.Get());
    if (!link) {
        opened.key.Close();
        opened.error = ERROR_ACCESS_DENIED;
        return opened;
    }
    if (*link) {
        opened.key.Close();
        opened.kind = OpenedRegKey::Kind::kLink;
        return opened;
    }
    opened.kind = OpenedRegKey::Kind::kOpened;
    return opened;
}

OpenedRegKey OpenRegPathNoLink(HKEY parent, const std::wstring& keyPath, REGSAM access) {
    OpenedRegKey opened;
    HKEY at = parent;
    size_t start = 0;
    while (true) {
        const size_t end = std::min(keyPath.find(L'\\', start), keyPath.size());
        const bool last = end == keyPath.size();
        const std::wstring name = keyPath.substr(start, end - start);
        // Keys above the last are only passed through.
        OpenedRegKey next = OpenRegKeyNoLink(at, name.c_str(), last ? access : 0);
        if (next.kind != OpenedRegKey::Kind::kOpened || last) return next;
        opened = std::move(next);
        at = opened.key.Get();
        start = end + 1;
    }
}

std::optional<std::wstring> TryReadRegKeyName(HKEY key) {
    // Room for the longest key path; the answer starts with its length in bytes.
    std::vector<ULONG> buffer(16 * 1024);
    ULONG length = 0;
    const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(ULONG));
    if (!NT_SUCCESS(NtQueryKey(key, kKeyNameInformation, buffer.data(), size, &length)) ||
        length < sizeof(ULONG) || buffer[0] > length - sizeof(ULONG))
        return std::nullopt;
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + 1),
                        buffer[0] / sizeof(wchar_t));
}

}  // namespace veltrane
