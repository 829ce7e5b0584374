#pragma once
// COM ownership for any thread that uses COM: an apartment per thread and
// one owner per interface pointer or VARIANT.
#include <objbase.h>

namespace veltrane {

// CoInitialize on construction, CoUninitialize on destruction when it succeeded.
class ScopedComApartment {
public:
    ScopedComApartment() : result_(CoInitialize(nullptr)) {}
    ~ScopedComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ScopedComApartment(const ScopedComApartment&) = delete;
    ScopedComApartment& operator=(const ScopedComApartment&) = delete;
    // False when the thread could not enter an apartment (COM is not usable).
    explicit operator bool() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = other.pointer_;
            other.pointer_ = nullptr;
        }
        return *this;
    }

    Interface* Get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For APIs that return an interface through an out-parameter.
    Interface** Receive() {
        Reset();
        return &pointer_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    void Reset() {
        if (pointer_) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    Interface* pointer_ = nullptr;
};

// A VARIANT cleared when it goes out of scope.
class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&value_); }
    ~ScopedVariant() { VariantClear(&value_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    VARIANT* Receive() {
        VariantClear(&value_);
        return &value_;
    }
    VARIANT& Get() { return value_; }

private:
    VARIANT value_;
};

}  // namespace veltrane
