#pragma once
// Wine hands web addresses opened through the shell to a Linux browser; a
// test that makes the program open one must not start it.
#include <windows.h>

#include <string>

#include "support/test_registry.h"

namespace veltrane {

class ScopedNoBrowser {
public:
    ScopedNoBrowser() {
        hadValue_ = GetString(HKEY_CURRENT_USER, kKey, L"Browsers", previous_);
        SetString(HKEY_CURRENT_USER, kKey, L"Browsers",
                  L"true");  // the Unix command that does nothing
    }
    ~ScopedNoBrowser() {
        if (hadValue_)
            SetString(HKEY_CURRENT_USER, kKey, L"Browsers", previous_);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"Browsers");
    }
    ScopedNoBrowser(const ScopedNoBrowser&) = delete;
    ScopedNoBrowser& operator=(const ScopedNoBrowser&) = delete;

private:
    static constexpr wchar_t kKey[] = L"Software\\Wine\\WineBrowser";
    std::wstring previous_;
    bool hadValue_;
};

}  // namespace veltrane
