#include "app/autostart_sync.h"

CAutostartSync::CAutostartSync(HKEY root, const wchar_t* runKey, const wchar_t* optionsKey)
    : runEntry_(root, runKey, kRunValue, L""), bootStartup_(root, optionsKey, L"BootStartup", L"") {
    present_ = !runEntry_.Get().empty();
    // An empty entry starts nothing: it goes, and is not written back.
    if (!present_) runEntry_.DeleteValue();
    bootStartup_.Set(present_ ? L"1" : L"0");
    bootStartup_.Write();
}
