#pragma once
// Word's recent-file list through late-bound automation (IDispatch), so that
// no Word type library is needed to build or run the program.
#include <oaidl.h>

#include <string>

#include "sysaccess/com_owners.h"

namespace veltrane {

class WordSession {
public:
    // The outcome of the last failed call: raised by Word itself (with its
    // description) or a failure of COM on the way.
    struct Failure {
        bool raisedByWord = false;
        std::wstring description;
    };

    WordSession() = default;
    WordSession(const WordSession&) = delete;
    WordSession& operator=(const WordSession&) = delete;

    // Creates "Word.Application" and runs it; false when Word is not there.
    bool Start();
    bool GetRecentCount(long& count);
    // RecentFiles.Item(index), 1-based, with its path (Path + PathSeparator + Name) and name.
    bool GetRecentFile(long index, ComPtr<IDispatch>& item, std::wstring& path, std::wstring& name);
    bool DeleteRecentFile(IDispatch* item);
    // Application.Quit; SaveChanges is passed only when asked, the other
    // arguments are always omitted.
    bool Quit(bool passSaveChanges);
    const Failure& LastFailure() const { return failure_; }

private:
    // Calls member `name` of `object`; `args` in call order (first argument first).
    bool Invoke(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, UINT argCount,
                VARIANT* result);
    bool GetString(IDispatch* object, const wchar_t* name, std::wstring& value);
    bool GetRecentFiles();

    ComPtr<IDispatch> application_;
    ComPtr<IDispatch> recentFiles_;
    std::wstring separator_;
    bool haveSeparator_ = false;
    Failure failure_;
};

}  // namespace veltrane
