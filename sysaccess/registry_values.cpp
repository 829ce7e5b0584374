#include "sysaccess/registry_values.h"

#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"

namespace veltrane {

std::optional<DWORD> TryReadRegDword(HKEY root, const wchar_t* keyPath, const wchar_t* name) {
    const RegKey key = OpenRegKey(root, keyPath, KEY_READ);
    if (!key) return std::nullopt;
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return data;
}

RegWriteOutcome SetRegDwordInExistingKey(HKEY root, const wchar_t* keyPath, const wchar_t* name,
                                         DWORD value) {
    RegKey key;
    const LSTATUS opened = RegOpenKeyExW(root, keyPath, 0, KEY_SET_VALUE, key.Receive());
    if (opened != ERROR_SUCCESS) return RegWriteOutcome::Of(opened);
    return RegWriteOutcome::Of(RegSetValueExW(
        key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)));
}

RegWriteOutcome SetRegValue(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD type,
                            const void* data, DWORD size) {
    RegKey key;
    const LSTATUS created = RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                            key.Receive(), nullptr);
    if (created != ERROR_SUCCESS) return RegWriteOutcome::Of(created);
    return RegWriteOutcome::Of(
        RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size));
}

std::optional<RegBytes> TryReadRegBytes(HKEY key, const wchar_t* name, DWORD largest) {
    RegBytes value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS ||
        size > largest)
        return std::nullopt;
    value.data.assign(size, 0);
    if (RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

RegValueSealRead ReadRegValueSeal(HKEY key, const wchar_t* name) {
    // Most values fit the first read; a larger one is read again at its size,
    // and once more should it grow in between.
    std::vector<uint8_t> data(1024);
    RegValueSealRead read;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = static_cast<DWORD>(data.size());
        const LONG status =
            RegQueryValueExW(key, name, nullptr, &read.seal.type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size);
            continue;
        }
        if (status == ERROR_FILE_NOT_FOUND) {
            read.kind = RegValueSealRead::Kind::kMissing;
            return read;
        }
        if (status != ERROR_SUCCESS) {
            read.error = static_cast<DWORD>(status);
            return read;
        }
        read.kind = RegValueSealRead::Kind::kRead;
        read.seal.size = size;
        // FNV-1a: a value changed to other data of its size and type still shows.
        read.seal.hash = 0xCBF29CE484222325ull;
        for (DWORD i = 0; i < size; ++i)
            read.seal.hash = (read.seal.hash ^ data[i]) * 0x100000001B3ull;
        return read;
    }
    read.error = ERROR_MORE_DATA;  // it kept growing
    return read;
}

}  // namespace veltrane
