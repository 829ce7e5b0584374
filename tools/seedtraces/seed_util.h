#pragma once
// Helpers the seeders share to write registry values and files.
#include <windows.h>

#include <string>

bool SeedString(HKEY root, const std::wstring& key, const std::wstring& name,
                const std::wstring& data, DWORD type = REG_SZ);
bool SeedDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data);
bool SeedBinary(HKEY root, const std::wstring& key, const std::wstring& name, const void* data,
                DWORD size);
bool SeedKey(HKEY root, const std::wstring& key);
// Writes `content` to `path`, creating the folders on the way.
bool SeedFile(const std::wstring& path, const std::string& content);
bool SeedFolder(const std::wstring& path);
