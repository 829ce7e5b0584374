#pragma once
// The writer the seeders of described plug-ins share: every trace and every
// piece of control data it writes is noted in the manifest, so that tests
// know what a clean must remove and what it must leave.
#include <windows.h>

#include <string>

#include "seedtraces/seed_standard.h"
#include "seedtraces/seed_util.h"

namespace veltrane {

namespace seeding {

inline std::string Bytes(size_t size, char fill) { return std::string(size, fill); }

// Writes traces and control data, noting each in the manifest.
class Writer {
public:
    explicit Writer(StandardSeedManifest* manifest) : manifest_(manifest) {}

    void Value(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& data, DWORD type = REG_SZ) {
        Note(SeedString(root, key, name, data, type));
        Add(&StandardSeedManifest::traceValues, {root, key, name});
        NoteTraceValue(root, key, name);
    }
    void Dword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data) {
        Note(SeedDword(root, key, name, data));
        Add(&StandardSeedManifest::traceValues, {root, key, name});
        NoteTraceValue(root, key, name);
    }
    void Binary(HKEY root, const std::wstring& key, const std::wstring& name, size_t size) {
        Binary(root, key, name, Bytes(size, '\x5A'));
    }
    void Binary(HKEY root, const std::wstring& key, const std::wstring& name,
                const std::string& data) {
        Note(SeedBinary(root, key, name, data.data(), static_cast<DWORD>(data.size())));
        Add(&StandardSeedManifest::traceValues, {root, key, name});
        NoteTraceValue(root, key, name);
    }
    void Key(HKEY root, const std::wstring& key) {
        Note(SeedKey(root, key));
        Add(&StandardSeedManifest::traceKeys, {root, key, L""});
        NoteTraceKey(root, key);
    }
    void File(const std::wstring& path, size_t size) {
        Note(SeedFile(path, Bytes(size, 'x')));
        if (manifest_) manifest_->traceFiles.push_back(path);
        NoteTraceFile(path);
    }
    void Folder(const std::wstring& path) {
        Note(SeedFolder(path));
        if (manifest_) manifest_->traceFolders.push_back(path);
        NoteTraceFile(path);
    }

    void ControlValue(HKEY root, const std::wstring& key, const std::wstring& name,
                      const std::wstring& data) {
        Note(SeedString(root, key, name, data));
        Add(&StandardSeedManifest::controlValues, {root, key, name});
    }
    void ControlKey(HKEY root, const std::wstring& key) {
        ControlValue(root, key, L"Keep", L"This key must survive a clean.");
        Add(&StandardSeedManifest::controlKeys, {root, key, L""});
    }
    void ControlFile(const std::wstring& path) {
        Note(SeedFile(path, "This file must survive a clean.\r\n"));
        if (manifest_) manifest_->controlFiles.push_back(path);
    }
    void ControlFolder(const std::wstring& path) {
        Note(SeedFolder(path));
        if (manifest_) manifest_->controlFolders.push_back(path);
    }
    // Installation data the traces hang on (an application's path): not a trace.
    void Setting(HKEY root, const std::wstring& key, const std::wstring& name,
                 const std::wstring& data) {
        Note(SeedString(root, key, name, data));
        Add(&StandardSeedManifest::settings, {root, key, name});
    }
    void MadeFolder(const std::wstring& path) {
        Note(SeedFolder(path));
        if (manifest_) manifest_->madeFolders.push_back(path);
    }

    bool Ok() const { return ok_; }

private:
    void Note(bool ok) { ok_ = ok_ && ok; }
    void Add(std::vector<SeededRegPlace> StandardSeedManifest::*list, SeededRegPlace place) {
        if (manifest_) (manifest_->*list).push_back(std::move(place));
    }

    StandardSeedManifest* manifest_;
    bool ok_ = true;
};

}  // namespace seeding

}  // namespace veltrane
