// A minimal "Word.Application": Application (RecentFiles, PathSeparator,
// Quit), RecentFiles (Count, Item) and RecentFile (Path, Name, Delete),
// reached only through IDispatch as the program does.
#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "system/word_stub.h"

namespace veltrane {

namespace {

LONG g_objects = 0;

enum Member : DISPID {
    kRecentFiles = 1,
    kPathSeparator,
    kQuit,
    kCount,
    kItem,
    kPath,
    kName,
    kDelete,
};

struct MemberName {
    const wchar_t* name;
    DISPID id;
};
const MemberName kMembers[] = {
    {L"RecentFiles", kRecentFiles},
    {L"PathSeparator", kPathSeparator},
    {L"Quit", kQuit},
    {L"Count", kCount},
    {L"Item", kItem},
    {L"Path", kPath},
    {L"Name", kName},
    {L"Delete", kDelete},
};

HKEY OpenStubKey() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kWordStubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    return key;
}

std::vector<std::wstring> ReadFiles() {
    std::vector<std::wstring> files;
    HKEY key = OpenStubKey();
    DWORD size = 0;
    if (RegQueryValueExW(key, L"Files", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
        RegQueryValueExW(key, L"Files", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &size);
        for (const wchar_t* entry = data.c_str(); *entry; entry += wcslen(entry) + 1)
            files.emplace_back(entry);
    }
    RegCloseKey(key);
    return files;
}

void WriteFiles(const std::vector<std::wstring>& files) {
    std::wstring data;
    for (const std::wstring& file : files) data += file + L'\0';
    data += L'\0';
    HKEY key = OpenStubKey();
    RegSetValueExW(key, L"Files", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring ReadString(const wchar_t* name) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    HKEY key = OpenStubKey();
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return data;
}

void WriteDword(const wchar_t* name, DWORD value) {
    HKEY key = OpenStubKey();
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

void CountUp(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    HKEY key = OpenStubKey();
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    WriteDword(name, value + 1);
}

HRESULT Raise(EXCEPINFO* exception, const wchar_t* description) {
    if (exception) {
        *exception = EXCEPINFO{};
        exception->scode = E_FAIL;
        exception->bstrSource = SysAllocString(L"Word stub");
        exception->bstrDescription = SysAllocString(description);
    }
    return DISP_E_EXCEPTION;
}

class StubObject : public IDispatch {
public:
    enum Kind { kApplication, kRecentFileList, kRecentFile };

    StubObject(Kind kind, std::wstring path = {}) : kind_(kind), path_(std::move(path)) {
        InterlockedIncrement(&g_objects);
    }
    virtual ~StubObject() { InterlockedDecrement(&g_objects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count != 1) return DISP_E_UNKNOWNNAME;
        for (const MemberName& member : kMembers)
            if (_wcsicmp(member.name, names[0]) == 0) {
                ids[0] = member.id;
                return S_OK;
            }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        if (result) VariantInit(result);
        switch (kind_) {
            case kApplication:
                return InvokeApplication(member, parameters, result);
            case kRecentFileList:
                return InvokeList(member, parameters, result, exception);
            case kRecentFile:
                return InvokeFile(member, result, exception);
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    static HRESULT ReturnObject(VARIANT* result, StubObject* object) {
        if (!result) {
            delete object;
            return S_OK;
        }
        object->AddRef();
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        return S_OK;
    }
    static HRESULT ReturnString(VARIANT* result, const std::wstring& text) {
        if (result) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(text.c_str());
        }
        return S_OK;
    }

    HRESULT InvokeApplication(DISPID member, DISPPARAMS* parameters, VARIANT* result) {
        switch (member) {
            case kRecentFiles:
                return ReturnObject(result, new StubObject(kRecentFileList));
            case kPathSeparator:
                return ReturnString(result, L"\\");
            case kQuit: {
                // SaveChanges is the first argument, the last in the array.
                DWORD saveChanges = 2;
                if (parameters && parameters->cArgs > 0) {
                    const VARIANT& first = parameters->rgvarg[parameters->cArgs - 1];
                    if (first.vt == VT_BOOL) saveChanges = first.boolVal ? 1 : 0;
                }
                WriteDword(L"QuitSaveChanges", saveChanges);
                CountUp(L"Quit");
                return S_OK;
            }
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT InvokeList(DISPID member, DISPPARAMS* parameters, VARIANT* result,
                       EXCEPINFO* exception) {
        std::vector<std::wstring> files = ReadFiles();
        if (member == kCount) {
            if (result) {
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(files.size());
            }
            return S_OK;
        }
        if (member != kItem) return DISP_E_MEMBERNOTFOUND;
        if (!parameters || parameters->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT index;
        VariantInit(&index);
        if (FAILED(VariantChangeType(&index, &parameters->rgvarg[0], 0, VT_I4)))
            return DISP_E_TYPEMISMATCH;
        if (index.lVal < 1 || static_cast<size_t>(index.lVal) > files.size())
            return Raise(exception, L"The requested member of the collection does not exist.");
        return ReturnObject(result, new StubObject(kRecentFile, files[index.lVal - 1]));
    }

    HRESULT InvokeFile(DISPID member, VARIANT* result, EXCEPINFO* exception) {
        size_t slash = path_.rfind(L'\\');
        switch (member) {
            case kPath:
                return ReturnString(result,
                                    slash == std::wstring::npos ? L"" : path_.substr(0, slash));
            case kName:
                return ReturnString(result,
                                    path_.substr(slash == std::wstring::npos ? 0 : slash + 1));
            case kDelete: {
                if (path_ == ReadString(L"FailDelete")) return Raise(exception, kWordStubRefusal);
                std::vector<std::wstring> files = ReadFiles();
                for (auto file = files.begin(); file != files.end(); ++file)
                    if (*file == path_) {
                        files.erase(file);
                        WriteFiles(files);
                        return S_OK;
                    }
                return Raise(exception, L"Object has been deleted.");
            }
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    LONG references_ = 0;
    Kind kind_;
    std::wstring path_;
};

class StubFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* application = new StubObject(StubObject::kApplication);
        application->AddRef();
        HRESULT hr = application->QueryInterface(iid, object);
        application->Release();
        if (SUCCEEDED(hr)) CountUp(L"Started");
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_objects);
        else
            InterlockedDecrement(&g_objects);
        return S_OK;
    }
};

StubFactory g_factory;

}  // namespace

}  // namespace veltrane

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
    using namespace veltrane;
    if (classId != kWordStubClassId) {
        *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return veltrane::g_objects == 0 ? S_OK : S_FALSE; }
