#pragma once
// A subst drive that lives as long as one test.
#include <windows.h>

#include <string>

namespace veltrane {

// A subst drive for one test: a free drive letter that stands for `folder`.
class ScopedSubst {
public:
    explicit ScopedSubst(const std::wstring& folder) {
        for (wchar_t letter = L'S'; letter <= L'Y' && !defined_; ++letter) {
            drive_ = std::wstring{letter, L':'};
            wchar_t target[MAX_PATH] = {};
            if (QueryDosDeviceW(drive_.c_str(), target, MAX_PATH) != 0) continue;
            defined_ = DefineDosDeviceW(0, drive_.c_str(), folder.c_str()) != FALSE;
        }
    }
    ~ScopedSubst() {
        if (defined_) DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive_.c_str(), nullptr);
    }
    ScopedSubst(const ScopedSubst&) = delete;
    ScopedSubst& operator=(const ScopedSubst&) = delete;

    bool Defined() const { return defined_; }
    // "S:\<rest>"
    std::wstring Path(const std::wstring& rest = L"") const { return drive_ + L"\\" + rest; }

private:
    std::wstring drive_;
    bool defined_ = false;
};

}  // namespace veltrane
