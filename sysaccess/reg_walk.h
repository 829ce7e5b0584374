#pragma once
// Registry walkers: a key is enumerated and each value and sub-key is handed
// to a visitor ("Proc") object. Visitors carry their buffers inline and are
// built on the stack of the walking function.
#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sysaccess/run_context.h"

namespace veltrane {

using StringList = std::vector<std::wstring>;
using RegPairList = std::vector<std::pair<std::wstring, std::wstring>>;  // (key path, value name)

namespace RegApi {

template <int NameLength, int DataSize>
class BaseRegProc {
public:
    virtual ~BaseRegProc() = default;

    // Entry handlers get the root and the key path given to the walk, not the
    // opened handle; the entry itself is in the name and data buffers.
    virtual void Filter(HKEY, const wchar_t*, bool) {}
    virtual void CheckCancel(HKEY, const wchar_t*, bool) {}
    virtual void Process(HKEY, const wchar_t*, bool) {}
    virtual wchar_t* GetNameBuffer() { return nameBuffer; }
    virtual wchar_t* GetDataBuffer() { return dataBuffer; }
    virtual DWORD GetNameBufferLength() const { return NameLength; }
    virtual DWORD GetDataBufferSize() const { return DataSize; }

    wchar_t nameBuffer[NameLength] = {};
    // Twice the size handed to the system, so that any data can be terminated.
    wchar_t dataBuffer[DataSize] = {};
    DWORD valueType = REG_NONE;  // type of the value being visited
    bool skip = false;
    bool abort = false;
    unsigned count = 0;
};

using RegProc = BaseRegProc<512, 16384>;

// Collects value names, data texts and sub-key names of one key.
template <int NameLength, int DataSize>
class GetRegValuesListProc : public BaseRegProc<NameLength, DataSize> {
public:
    GetRegValuesListProc(StringList* names, StringList* data, StringList* subKeys)
        : names_(names), data_(data), subKeys_(subKeys) {}

    void Filter(HKEY, const wchar_t*, bool isKey) override {
        if (isKey ? subKeys_ == nullptr : (names_ == nullptr && data_ == nullptr))
            this->skip = true;
    }
    void Process(HKEY, const wchar_t*, bool isKey) override {
        if (isKey) {
            subKeys_->push_back(this->nameBuffer);
            return;
        }
        if (names_) names_->push_back(this->nameBuffer);
        if (data_) data_->push_back(this->dataBuffer);
    }
    wchar_t* GetNameBuffer() override { return (names_ || subKeys_) ? this->nameBuffer : nullptr; }
    wchar_t* GetDataBuffer() override { return data_ ? this->dataBuffer : nullptr; }

protected:
    StringList* names_;
    StringList* data_;
    StringList* subKeys_;
};

// Collects, over a key tree, (key path, value name) pairs, data and sub-key paths.
template <int NameLength, int DataSize>
class GetRegValuesListRecProc : public BaseRegProc<NameLength, DataSize> {
public:
    GetRegValuesListRecProc(RegPairList* pairs, StringList* data, StringList* subKeys)
        : pairs_(pairs), data_(data), subKeys_(subKeys) {}

    void Filter(HKEY, const wchar_t*, bool isKey) override {
        if (isKey ? subKeys_ == nullptr : (pairs_ == nullptr && data_ == nullptr))
            this->skip = true;
    }
    void Process(HKEY, const wchar_t* keyPath, bool isKey) override {
        std::wstring path = keyPath ? keyPath : L"";
        if (isKey) {
            subKeys_->push_back(path.empty() ? std::wstring(this->nameBuffer)
                                             : path + L"\\" + this->nameBuffer);
            return;
        }
        if (pairs_) pairs_->emplace_back(path, this->nameBuffer);
        if (data_) data_->push_back(this->dataBuffer);
    }
    wchar_t* GetNameBuffer() override { return (pairs_ || subKeys_) ? this->nameBuffer : nullptr; }
    wchar_t* GetDataBuffer() override { return data_ ? this->dataBuffer : nullptr; }

protected:
    RegPairList* pairs_;
    StringList* data_;
    StringList* subKeys_;
};

}  // namespace RegApi

// Counts entries, honouring the run's cancel event.
class BaseRegPlugCancelProc : public RegApi::RegProc {
public:
    explicit BaseRegPlugCancelProc(const IRunContext* plugin) : plugin_(plugin) {}
    void CheckCancel(HKEY, const wchar_t*, bool) override;

private:
    const IRunContext* plugin_;
};

class GetRegValuesListPlugCancelProc : public RegApi::GetRegValuesListProc<512, 16384> {
public:
    GetRegValuesListPlugCancelProc(const IRunContext* plugin, StringList* names, StringList* data,
                                   StringList* subKeys)
        : GetRegValuesListProc(names, data, subKeys), plugin_(plugin) {}
    void CheckCancel(HKEY, const wchar_t*, bool) override;

private:
    const IRunContext* plugin_;
};

// As its base, but data that is not text is replaced by "#BINARY DATA#" or
// "#UNSUPPORTED FORMAT DATA#".
class GetRegValuesListPlugCancelEnhancedProc : public GetRegValuesListPlugCancelProc {
public:
    using GetRegValuesListPlugCancelProc::GetRegValuesListPlugCancelProc;
    void Process(HKEY root, const wchar_t* keyPath, bool isKey) override;
};

class GetRegValuesListRecPlugCancelProc : public RegApi::GetRegValuesListRecProc<512, 16384> {
public:
    GetRegValuesListRecPlugCancelProc(const IRunContext* plugin, RegPairList* pairs,
                                      StringList* data, StringList* subKeys)
        : GetRegValuesListRecProc(pairs, data, subKeys), plugin_(plugin) {}
    void CheckCancel(HKEY, const wchar_t*, bool) override;

private:
    const IRunContext* plugin_;
};

// Walks return true when they ran to the end, false when a visitor aborted.
// A key that cannot be opened holds nothing. A null key path walks the root.
bool WalkRegKey(HKEY root, const wchar_t* keyPath, RegApi::RegProc& walker);
// Children first: every entry below a sub-key reaches the walker before the sub-key.
bool WalkRegTree(HKEY root, const wchar_t* keyPath, RegApi::RegProc& walker);

bool GetRegValuesList(const IRunContext* plugin, HKEY root, const wchar_t* keyPath,
                      StringList* names, StringList* data, StringList* subKeys,
                      unsigned* count = nullptr);
bool GetRegValuesListEnhanced(const IRunContext* plugin, HKEY root, const wchar_t* keyPath,
                              StringList* names, StringList* data, StringList* subKeys,
                              unsigned* count = nullptr);
// Number of values and sub-keys in the whole tree.
bool CountRegTree(const IRunContext* plugin, HKEY root, const wchar_t* keyPath, unsigned* count);

// When a key was last written to and how many values it holds. Two equal
// stamps taken at two moments mean no value of the key was set or deleted in
// between, so what was read at the first still stands.
struct RegKeyStamp {
    FILETIME lastWrite{};
    DWORD values = 0;

    bool operator==(const RegKeyStamp& other) const {
        return lastWrite.dwLowDateTime == other.lastWrite.dwLowDateTime &&
               lastWrite.dwHighDateTime == other.lastWrite.dwHighDateTime && values == other.values;
    }
};
// Nothing when the key cannot be opened or asked.
std::optional<RegKeyStamp> ReadRegKeyStamp(HKEY key);
std::optional<RegKeyStamp> ReadRegKeyStamp(HKEY root, const wchar_t* keyPath);

}  // namespace veltrane
