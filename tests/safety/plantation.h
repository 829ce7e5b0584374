#pragma once
// What the safety net plants for one run, and how it goes again: every
// planted item registers its undo, and the plantation undoes them all, last
// first, however the test ends, so that later tests find the sandbox as the
// seeders left it.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "safety/net_families.h"
#include "seedtraces/seed_util.h"
#include "sysaccess/handles.h"

namespace veltrane {

// Everything the net plants outside the seeders' places lies below this folder.
inline constexpr wchar_t kNetRoot[] = L"C:\\VeltraneSafetyNet";
// And below this key, in HKEY_CURRENT_USER and in HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kNetKey[] = L"Software\\VeltraneSafetyNet";

// A folder a plug-in empties or takes files from, with a trace file the
// seeders wrote in it (empty when it holds none directly).
struct StartFolder {
    std::wstring path;
    std::wstring firstTrace;
    std::wstring lastTrace;
};
// The starting folders the noted trace places show, outermost first.
std::vector<StartFolder> StartFolders(const std::vector<TracePlace>& places);
// "history.dat", "held" -> "history-held.dat": a name the plug-in's masks still take.
std::wstring SiblingName(const std::wstring& file, const std::wstring& tag);
std::wstring ParentOf(const std::wstring& path);
bool IsPlainFolder(const std::wstring& path);

// A file the net holds open as another program would, with what it held.
struct HeldFile {
    std::wstring path;
    UniqueHandle handle;
    std::string content;
    DWORD share = 0;
};

class Plantation {
public:
    Plantation() = default;
    ~Plantation();
    Plantation(const Plantation&) = delete;
    Plantation& operator=(const Plantation&) = delete;

    // A fresh folder below kNetRoot for one family's control data: "<slug>\<n>".
    std::wstring ControlFolder(const std::wstring& slug);
    void Guard(const std::wstring& path, Family family, const std::wstring& why);
    void GuardKey(HKEY root, const std::wstring& key, Family family, const std::wstring& why);
    void GuardValue(HKEY root, const std::wstring& key, const std::wstring& name, Family family,
                    const std::wstring& why);
    // Runs `undo` when the plantation goes (last registered, first run).
    void OnUndo(std::function<void()> undo);
    // Puts the value back as it is now (or removes it, when there is none) afterwards.
    void RestoreAfterwards(HKEY root, const std::wstring& key, const std::wstring& name);
    // Trace places the net adds: its own items inside trace folders may go.
    void NoteTrace(const std::wstring& path);
    // A file link the net made in a trace folder (or a trace it turned into one).
    void NoteLink(const std::wstring& path);

    const std::vector<Guarded>& Guards() const { return guards_; }
    const std::vector<TracePlace>& Traces() const { return traces_; }
    const std::vector<std::wstring>& Links() const {
        return links_;
    }  // as TraceItemName spells them
    std::vector<HeldFile>& Held() { return held_; }

private:
    std::vector<Guarded> guards_;
    std::vector<TracePlace> traces_;
    std::vector<std::wstring> links_;
    std::vector<std::function<void()>> undo_;
    std::vector<HeldFile> held_;
    int folders_ = 0;
};

// TEMP and TMP of this process, which the program inherits, set to `folder`
// while this lives.
class ScopedTempVariables {
public:
    explicit ScopedTempVariables(const std::wstring& folder);
    ~ScopedTempVariables();
    ScopedTempVariables(const ScopedTempVariables&) = delete;
    ScopedTempVariables& operator=(const ScopedTempVariables&) = delete;

private:
    std::wstring temp_;
    std::wstring tmp_;
};

}  // namespace veltrane
