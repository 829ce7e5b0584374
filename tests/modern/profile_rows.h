// Reading the rows of the plug-ins of today's browsers, which list each
// profile's items by name, and the files a clean must leave as they were.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "modern_fixture.h"
#include "plugins/browser/profile_store_plugin.h"
#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

// The row `name` of the profile at `index` (0-based, in the order found).
inline const DomainInfo* FindRow(const CProfileStorePlugin& plugin, size_t index,
                                 const std::wstring& name) {
    for (const DomainInfo* row : plugin.OrderedView())
        if (row->profileIndex == static_cast<int>(index) + 1 && row->name == name) return row;
    return nullptr;
}
inline int Count(const CProfileStorePlugin& plugin, size_t index, const std::wstring& name) {
    const DomainInfo* row = FindRow(plugin, index, name);
    return row ? row->itemCount : -1;
}
// Every row of the profile took `result`.
inline bool AllRows(const CProfileStorePlugin& plugin, size_t index, DomainInfo::Result result) {
    bool any = false;
    for (const DomainInfo* row : plugin.OrderedView()) {
        if (row->profileIndex != static_cast<int>(index) + 1) continue;
        if (row->result != result) return false;
        any = true;
    }
    return any;
}
inline size_t ProfileIndex(const CProfileStorePlugin& plugin, const std::wstring& folder) {
    for (size_t i = 0; i < plugin.Profiles().size(); ++i)
        if (_wcsicmp(plugin.Profiles()[i].profile.folder.c_str(), folder.c_str()) == 0) return i;
    return SIZE_MAX;
}

// Files a clean must leave byte for byte as they were.
class Survivors {
public:
    explicit Survivors(std::vector<std::wstring> paths) : paths_(std::move(paths)) {
        for (const std::wstring& path : paths_) bytes_.push_back(FileBytes(path));
    }
    // The files `names` in `folder`.
    Survivors(const std::wstring& folder, std::initializer_list<const wchar_t*> names)
        : Survivors(InFolder(folder, names)) {}
    void ExpectUnchanged() const {
        for (size_t i = 0; i < paths_.size(); ++i) {
            EXPECT_TRUE(FileExists(paths_[i])) << ToUtf8(paths_[i]);
            EXPECT_EQ(FileBytes(paths_[i]), bytes_[i]) << ToUtf8(paths_[i]);
        }
    }

private:
    static std::vector<std::wstring> InFolder(const std::wstring& folder,
                                              std::initializer_list<const wchar_t*> names) {
        std::vector<std::wstring> paths;
        for (const wchar_t* name : names) paths.push_back(folder + name);
        return paths;
    }

    std::vector<std::wstring> paths_;
    std::vector<std::string> bytes_;
};

}  // namespace veltrane
