#pragma once
// A place at a fixed registry location that a test changes and then puts
// back as it was: the named values get their old data (or go again), and the
// keys the test created on the way are removed.
#include <windows.h>

#include <shlwapi.h>

#include <string>
#include <vector>

#include "sysaccess/handles.h"

namespace veltrane {

class RegistryPlace {
public:
    RegistryPlace(HKEY root, const std::wstring& key, std::vector<std::wstring> values = {})
        : root_(root), key_(key) {
        // The outermost key that does not exist yet is the test's to remove.
        size_t end = 0;
        while (end != std::wstring::npos) {
            end = key.find(L'\\', end + 1);
            std::wstring prefix = key.substr(0, end);
            RegKey probe;
            if (RegOpenKeyExW(root, prefix.c_str(), 0, KEY_READ, probe.Receive()) !=
                ERROR_SUCCESS) {
                created_ = prefix;
                break;
            }
        }
        for (std::wstring& name : values) saved_.push_back(Save(std::move(name)));
    }
    ~RegistryPlace() {
        for (const Saved& value : saved_) Restore(value);
        if (!created_.empty()) SHDeleteKeyW(root_, created_.c_str());
    }
    RegistryPlace(const RegistryPlace&) = delete;
    RegistryPlace& operator=(const RegistryPlace&) = delete;

    HKEY Root() const { return root_; }
    const std::wstring& Key() const { return key_; }

private:
    struct Saved {
        std::wstring name;
        bool existed = false;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };

    Saved Save(std::wstring name) {
        Saved saved;
        saved.name = std::move(name);
        RegKey key;
        if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
            return saved;
        DWORD size = 0;
        if (RegQueryValueExW(key.Get(), saved.name.c_str(), nullptr, &saved.type, nullptr, &size) !=
            ERROR_SUCCESS)
            return saved;
        saved.data.resize(size);
        saved.existed = RegQueryValueExW(key.Get(), saved.name.c_str(), nullptr, &saved.type,
                                         saved.data.data(), &size) == ERROR_SUCCESS;
        return saved;
    }

    void Restore(const Saved& saved) {
        if (!saved.existed) {
            SHDeleteValueW(root_, key_.c_str(), saved.name.c_str());
            return;
        }
        RegKey key;
        if (RegCreateKeyW(root_, key_.c_str(), key.Receive()) != ERROR_SUCCESS) return;
        RegSetValueExW(key.Get(), saved.name.c_str(), 0, saved.type, saved.data.data(),
                       static_cast<DWORD>(saved.data.size()));
    }

    HKEY root_;
    std::wstring key_;
    std::wstring created_;
    std::vector<Saved> saved_;
};

}  // namespace veltrane
