#include "sysaccess/reg_walk.h"

#include "sysaccess/handles.h"
#include "sysaccess/reg_markers.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace veltrane {

namespace {

// The entry protocol shared by every walk; false when the walk must stop.
bool VisitEntry(HKEY root, const wchar_t* keyPath, bool isKey, RegApi::RegProc& walker) {
    walker.skip = false;
    walker.abort = false;
    walker.Filter(root, keyPath, isKey);
    walker.CheckCancel(root, keyPath, isKey);
    if (!walker.skip) {
        walker.Process(root, keyPath, isKey);
        ++walker.count;
    }
    return !walker.abort;
}

bool HasPath(const wchar_t* keyPath) { return keyPath != nullptr && *keyPath != 0; }

}  // namespace

namespace {

// The values of an open key, then its sub-keys, as entries of `keyPath`.
bool WalkOpenKey(HKEY key, HKEY root, const wchar_t* keyPath, RegApi::RegProc& walker) {
    wchar_t* name = walker.GetNameBuffer();
    wchar_t* data = walker.GetDataBuffer();
    for (DWORD index = 0;; ++index) {
        // Values are enumerated with the walker's own buffers even when the
        // walker wants neither, so that counting walks see every value.
        DWORD nameLength = walker.GetNameBufferLength();
        DWORD dataSize = walker.GetDataBufferSize();
        wchar_t* nameTarget = name ? name : walker.nameBuffer;
        LONG result = RegEnumValueW(key, index, nameTarget, &nameLength, nullptr, &walker.valueType,
                                    reinterpret_cast<BYTE*>(data), data ? &dataSize : nullptr);
        if (result == ERROR_MORE_DATA && data) {
            // Data larger than the buffer must not end the walk: the values
            // after it would never be seen. Such a value is visited by name
            // with empty data.
            nameLength = walker.GetNameBufferLength();
            result = RegEnumValueW(key, index, nameTarget, &nameLength, nullptr, &walker.valueType,
                                   nullptr, nullptr);
            dataSize = 0;
        }
        if (result == ERROR_MORE_DATA) continue;  // a name longer than any we can delete by
        if (result != ERROR_SUCCESS) break;
        if (data) {
            // The data need not be terminated; the buffer has room behind it.
            data[dataSize / sizeof(wchar_t)] = 0;
        }
        if (!VisitEntry(root, keyPath, false, walker)) return false;
    }
    // A link among the sub-keys is an entry like any other; only the tree
    // walk would enter it, and it does not.
    for (DWORD index = 0;; ++index) {
        if (RegEnumKeyW(key, index, walker.nameBuffer, walker.GetNameBufferLength()) !=
            ERROR_SUCCESS)
            break;
        if (!VisitEntry(root, keyPath, true, walker)) return false;
    }
    return true;
}

// Each sub-key is opened below the open key as itself, so a link found on
// the way is never entered, and a key renamed into a link after it was
// listed is found at its open.
bool WalkOpenTree(HKEY key, HKEY root, const std::wstring& path, RegApi::RegProc& walker) {
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = walker.GetNameBufferLength();
        if (RegEnumKeyExW(key, index, walker.nameBuffer, &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        OpenedRegKey child = OpenRegKeyNoLink(key, walker.nameBuffer, KEY_READ);
        if (child.kind != OpenedRegKey::Kind::kOpened) continue;
        std::wstring childPath =
            path.empty() ? std::wstring(walker.nameBuffer) : path + L"\\" + walker.nameBuffer;
        if (!WalkOpenTree(child.key.Get(), root, childPath, walker)) return false;
    }
    return WalkOpenKey(key, root, path.empty() ? nullptr : path.c_str(), walker);
}

}  // namespace

bool WalkRegKey(HKEY root, const wchar_t* keyPath, RegApi::RegProc& walker) {
    if (!HasPath(keyPath)) return WalkOpenKey(root, root, keyPath, walker);
    // Whatever access the user is granted, where the tree walk asks for
    // KEY_READ: a key that grants less than full reading still shows what it
    // lets us enumerate. A link holds nothing of its own.
    const OpenedRegKey opened = OpenRegKeyNoLink(root, keyPath, MAXIMUM_ALLOWED);
    if (opened.kind != OpenedRegKey::Kind::kOpened) return true;
    return WalkOpenKey(opened.key.Get(), root, keyPath, walker);
}

bool WalkRegTree(HKEY root, const wchar_t* keyPath, RegApi::RegProc& walker) {
    if (!HasPath(keyPath)) return WalkOpenTree(root, root, L"", walker);
    const OpenedRegKey opened = OpenRegKeyNoLink(root, keyPath, KEY_READ);
    if (opened.kind != OpenedRegKey::Kind::kOpened) return true;
    return WalkOpenTree(opened.key.Get(), root, keyPath, walker);
}

void BaseRegPlugCancelProc::CheckCancel(HKEY, const wchar_t*, bool) {
    if (IsCancelled(plugin_)) skip = abort = true;
}

void GetRegValuesListPlugCancelProc::CheckCancel(HKEY, const wchar_t*, bool) {
    if (IsCancelled(plugin_)) skip = abort = true;
}

void GetRegValuesListRecPlugCancelProc::CheckCancel(HKEY, const wchar_t*, bool) {
    if (IsCancelled(plugin_)) skip = abort = true;
}

void GetRegValuesListPlugCancelEnhancedProc::Process(HKEY root, const wchar_t* keyPath,
                                                     bool isKey) {
    // The type comes with the enumeration; no need to open the key again per value.
    if (!isKey && data_ != nullptr) {
        if (const wchar_t* marker = DataMarkerFor(valueType)) wcscpy(dataBuffer, marker);
    }
    GetRegValuesListPlugCancelProc::Process(root, keyPath, isKey);
}

bool GetRegValuesList(const IRunContext* plugin, HKEY root, const wchar_t* keyPath,
                      StringList* names, StringList* data, StringList* subKeys, unsigned* count) {
    GetRegValuesListPlugCancelProc walker(plugin, names, data, subKeys);
    bool result = WalkRegKey(root, keyPath, walker);
    if (count) *count = walker.count;
    return result;
}

bool GetRegValuesListEnhanced(const IRunContext* plugin, HKEY root, const wchar_t* keyPath,
                              StringList* names, StringList* data, StringList* subKeys,
                              unsigned* count) {
    GetRegValuesListPlugCancelEnhancedProc walker(plugin, names, data, subKeys);
    bool result = WalkRegKey(root, keyPath, walker);
    if (count) *count = walker.count;
    return result;
}

bool CountRegTree(const IRunContext* plugin, HKEY root, const wchar_t* keyPath, unsigned* count) {
    BaseRegPlugCancelProc walker(plugin);
    bool result = WalkRegTree(root, keyPath, walker);
    if (count) *count = walker.count;
    return result;
}

std::optional<RegKeyStamp> ReadRegKeyStamp(HKEY key) {
    RegKeyStamp stamp;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &stamp.values,
                         nullptr, nullptr, nullptr, &stamp.lastWrite) != ERROR_SUCCESS)
        return std::nullopt;
    return stamp;
}

std::optional<RegKeyStamp> ReadRegKeyStamp(HKEY root, const wchar_t* keyPath) {
    const RegKey key = OpenRegKey(root, keyPath, KEY_QUERY_VALUE);
    if (!key) return std::nullopt;
    return ReadRegKeyStamp(key.Get());
}

}  // namespace veltrane
