#include "plugins/system/word_automation.h"

#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <vector>

#include "sysaccess/handles.h"

namespace veltrane {

namespace {

constexpr DWORD kWordContext = 23;  // in-process, local and remote servers, in-process handlers

VARIANT OmittedArgument() {
    VARIANT omitted;
    VariantInit(&omitted);
    omitted.vt = VT_ERROR;
    omitted.scode = DISP_E_PARAMNOTFOUND;
    return omitted;
}

}  // namespace

bool WordSession::Start() {
    failure_ = Failure();
    CLSID classId;
    HRESULT result = CLSIDFromProgID(L"Word.Application", &classId);
    if (SUCCEEDED(result))
        result = CoCreateInstance(classId, nullptr, kWordContext, IID_IDispatch,
                                  application_.ReceiveVoid());
    if (SUCCEEDED(result)) result = OleRun(application_.Get());
    if (FAILED(result)) {
        application_.Reset();
        return false;
    }
    return true;
}

bool WordSession::Invoke(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args,
                         UINT argCount, VARIANT* result) {
    failure_ = Failure();
    if (object == nullptr) return false;
    DISPID member = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member)))
        return false;
    // IDispatch takes its arguments last first.
    std::vector<VARIANT> reversed(args, args + argCount);
    std::reverse(reversed.begin(), reversed.end());
    DISPPARAMS parameters = {reversed.data(), nullptr, argCount, 0};
    EXCEPINFO exception = {};
    HRESULT hr = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result,
                                &exception, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        const UniqueBstr source(exception.bstrSource);
        const UniqueBstr description(exception.bstrDescription);
        const UniqueBstr helpFile(exception.bstrHelpFile);
        failure_.raisedByWord = true;
        if (description) failure_.description = description.Get();
        return false;
    }
    return SUCCEEDED(hr);
}

bool WordSession::GetString(IDispatch* object, const wchar_t* name, std::wstring& value) {
    ScopedVariant result;
    if (!Invoke(object, name, DISPATCH_PROPERTYGET, nullptr, 0, result.Receive())) return false;
    ScopedVariant text;
    if (FAILED(VariantChangeType(text.Receive(), &result.Get(), 0, VT_BSTR))) return false;
    value.assign(text.Get().bstrVal, SysStringLen(text.Get().bstrVal));
    return true;
}

bool WordSession::GetRecentFiles() {
    if (recentFiles_) return true;
    ScopedVariant result;
    if (!Invoke(application_.Get(), L"RecentFiles", DISPATCH_PROPERTYGET, nullptr, 0,
                result.Receive()))
        return false;
    if (result.Get().vt != VT_DISPATCH || result.Get().pdispVal == nullptr) return false;
    result.Get().pdispVal->QueryInterface(IID_IDispatch, recentFiles_.ReceiveVoid());
    return static_cast<bool>(recentFiles_);
}

bool WordSession::GetRecentCount(long& count) {
    if (!GetRecentFiles()) return false;
    ScopedVariant result;
    if (!Invoke(recentFiles_.Get(), L"Count", DISPATCH_PROPERTYGET, nullptr, 0, result.Receive()))
        return false;
    ScopedVariant number;
    if (FAILED(VariantChangeType(number.Receive(), &result.Get(), 0, VT_I4))) return false;
    count = number.Get().lVal;
    return true;
}

bool WordSession::GetRecentFile(long index, ComPtr<IDispatch>& item, std::wstring& path,
                                std::wstring& name) {
    if (!GetRecentFiles()) return false;
    if (!haveSeparator_) {
        if (!GetString(application_.Get(), L"PathSeparator", separator_)) return false;
        haveSeparator_ = true;
    }
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = index;
    ScopedVariant result;
    if (!Invoke(recentFiles_.Get(), L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, &argument, 1,
                result.Receive()))
        return false;
    if (result.Get().vt != VT_DISPATCH || result.Get().pdispVal == nullptr) return false;
    result.Get().pdispVal->QueryInterface(IID_IDispatch, item.ReceiveVoid());
    std::wstring folder;
    if (!item || !GetString(item.Get(), L"Path", folder) || !GetString(item.Get(), L"Name", name))
        return false;
    path = folder + separator_ + name;
    return true;
}

bool WordSession::DeleteRecentFile(IDispatch* item) {
    ScopedVariant result;
    return Invoke(item, L"Delete", DISPATCH_METHOD, nullptr, 0, result.Receive());
}

bool WordSession::Quit(bool passSaveChanges) {
    VARIANT args[3] = {OmittedArgument(), OmittedArgument(), OmittedArgument()};
    if (passSaveChanges) {
        args[0].vt = VT_BOOL;
        args[0].boolVal = VARIANT_TRUE;
    }
    ScopedVariant result;
    bool ok = Invoke(application_.Get(), L"Quit", DISPATCH_METHOD, args, 3, result.Receive());
    recentFiles_.Reset();
    application_.Reset();
    return ok;
}

}  // namespace veltrane
