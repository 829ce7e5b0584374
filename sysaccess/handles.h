#pragma once
// One non-copyable owner per kind of Win32 handle. Close() reports whether the
// system accepted the close; Attach/Detach move ownership in and out.
#include <windows.h>

#include <io.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdio>

namespace veltrane {

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    ~UniqueResource() { Close(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Detach()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            Close();
            value_ = other.Detach();
        }
        return *this;
    }

    bool IsValid() const { return Traits::IsValid(value_); }
    explicit operator bool() const { return IsValid(); }
    Type Get() const { return value_; }

    // For APIs that return the handle through an out-parameter.
    Type* Receive() {
        Close();
        return &value_;
    }
    void Attach(Type value) {
        Close();
        value_ = value;
    }
    Type Detach() {
        Type value = value_;
        value_ = Traits::Invalid();
        return value;
    }
    bool Close() {
        if (!IsValid()) return true;
        bool ok = Traits::Close(value_);
        value_ = Traits::Invalid();
        return ok;
    }

private:
    Type value_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(Type h) { return CloseHandle(h) != FALSE; }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static bool Close(Type h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};
// Owns a key opened or created below a root; never wrap a predefined root key.
using RegKey = UniqueResource<RegKeyTraits>;

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static bool Close(Type h) { return FindClose(h) != FALSE; }
};
using FindHandle = UniqueResource<FindHandleTraits>;

struct CrtFindTraits {
    using Type = intptr_t;
    static Type Invalid() { return -1; }
    static bool IsValid(Type h) { return h != -1; }
    static bool Close(Type h) { return _findclose(h) == 0; }
};
// A search of the C runtime's _wfindfirst/_wfindnext.
using CrtFindHandle = UniqueResource<CrtFindTraits>;

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static bool Close(Type h) { return LocalFree(h) == nullptr; }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

struct CrtFileTraits {
    using Type = FILE*;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    // A failed close may mean buffered bytes never reached the file.
    static bool Close(Type h) { return fclose(h) == 0; }
};
// A stream of the C runtime, opened with _wfopen.
using UniqueFile = UniqueResource<CrtFileTraits>;

template <typename Pointee>
struct CoTaskMemoryTraits {
    using Type = Pointee*;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static bool Close(Type h) {
        CoTaskMemFree(h);
        return true;
    }
};
// Memory the shell or COM handed over with CoTaskMemAlloc (an item list, a path).
template <typename Pointee = void>
using UniqueCoTaskMemory = UniqueResource<CoTaskMemoryTraits<Pointee>>;

struct BstrTraits {
    using Type = BSTR;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static bool Close(Type h) {
        SysFreeString(h);
        return true;
    }
};
using UniqueBstr = UniqueResource<BstrTraits>;

}  // namespace veltrane
