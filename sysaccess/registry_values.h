#pragma once
// Single registry values that are not text: a DWORD read or written, raw data
// read up to a size, and any value written as given.
#include <windows.h>

#include <cstdint>
#include <vector>

// True only when the value exists and is a REG_DWORD.
bool ReadRegDword(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD& value);
// Writes into a key that already exists; a missing key is not created.
bool SetRegDwordInExistingKey(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD value);
// Writes `size` bytes of `data` as they are, creating the key when missing.
bool SetRegValue(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD type,
                 const void* data, DWORD size);
// The data and type of a value no larger than `largest` bytes; false when the
// value is missing, unreadable or larger.
bool ReadRegBytes(HKEY key, const wchar_t* name, DWORD& type, std::vector<uint8_t>& data,
                  DWORD largest);
