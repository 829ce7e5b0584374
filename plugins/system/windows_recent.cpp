#include "plugins/system/windows_recent.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "plugins/system/shortcut_shape.h"
#include "sysaccess/com_owners.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_info.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/protected_places.h"

namespace veltrane {

namespace {

// An item list, freed with the shell's allocator.
using ItemIdList = UniqueCoTaskMemory<ITEMIDLIST>;

std::wstring DisplayName(IShellFolder* folder, LPCITEMIDLIST item, SHGDNF flags, UINT length) {
    STRRET name = {};
    if (FAILED(folder->GetDisplayNameOf(item, flags, &name))) return {};
    std::wstring text(length, L'\0');
    if (FAILED(StrRetToBufW(&name, item, text.data(), length))) return {};
    text.resize(wcslen(text.c_str()));
    return text;
}

// The shortcut behind an item: from the folder, else by loading the file.
// IShellLinkW keeps targets whose names the ANSI code page cannot hold.
bool OpenShortcut(IShellFolder* folder, LPCITEMIDLIST item, const std::wstring& file,
                  ComPtr<IShellLinkW>& link) {
    // The shell's loader trusts the offsets inside the file; a damaged one is
    // passed over like any shortcut the shell cannot read.
    if (!IsSoundShortcutFile(file)) return false;
    if (SUCCEEDED(
            folder->GetUIObjectOf(nullptr, 1, &item, IID_IShellLinkW, nullptr, link.ReceiveVoid())))
        return true;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.ReceiveVoid())))
        return false;
    ComPtr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.ReceiveVoid())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ))) {
        link.Reset();
        return false;
    }
    return true;
}

}  // namespace

CPlgWinRecUsed::CPlgWinRecUsed(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {
    progressInterval = 1000;
}

CPlugin::Result CPlgWinRecUsed::Scan() {
    list_.clear();
    ScopedComApartment apartment;
    ItemIdList recent;
    const std::wstring recentFolder = GetKnownFolderPath(FOLDERID_Recent);
    if (recentFolder.empty()) return kFailed;
    if (!PathExists(recentFolder)) return kDone;
    // A Recent folder that is a link, or lies below one, is not listed: one row says so.
    if (PlaceVerdict verdict = CheckFolder(recentFolder, FolderAction::kEmpty); !verdict.allowed) {
        list_.push_back(RefusedFolderRow(recentFolder, std::move(verdict.reason)));
        return kDone;
    }
    if (FAILED(SHParseDisplayName(recentFolder.c_str(), nullptr, recent.Receive(), 0, nullptr)))
        return kFailed;
    ComPtr<IShellFolder> desktop;
    ComPtr<IShellFolder> folder;
    if (FAILED(SHGetDesktopFolder(desktop.Receive())) ||
        FAILED(
            desktop->BindToObject(recent.Get(), nullptr, IID_IShellFolder, folder.ReceiveVoid())))
        return kFailed;
    ComPtr<IEnumIDList> items;
    HRESULT hr =
        folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.Receive());
    if (FAILED(hr)) return kFailed;
    if (hr == S_FALSE || !items) return kDone;  // nothing to enumerate

    std::wstring dots;
    for (;;) {
        ItemIdList item;
        hr = items->Next(1, item.Receive(), nullptr);
        if (hr != S_OK) break;
        std::wstring name = DisplayName(folder.Get(), item.Get(), SHGDN_NORMAL, 512);
        std::wstring shortcut = DisplayName(folder.Get(), item.Get(), SHGDN_FORPARSING, 1024);
        ComPtr<IShellLinkW> link;
        if (!OpenShortcut(folder.Get(), item.Get(), shortcut, link)) continue;
        // A shortcut reached through a link or an alias is not Recent's own:
        // it shows with why, and the clean leaves it.
        IdentityReadOutcome identity = ReadFileIdentity(shortcut);
        if (identity.kind != IdentityRead::kRead && identity.kind != IdentityRead::kRefused)
            continue;
        SetProgress(dots);
        dots += L".";
        if (IsCancelled()) return kCancelled;
        wchar_t target[MAX_PATH] = {};
        link->GetPath(target, MAX_PATH, nullptr, 0);
        RecentDocument record;
        record.name = name;
        record.shortcut = shortcut;
        record.identity = std::move(identity.identity);
        record.refusal = std::move(identity.reason);
        record.path = target;
        record.type = record.path.empty() ? L"" : ShellTypeName(record.path, false);
        list_.push_back(std::move(record));
    }
    return FAILED(hr) ? kFailed : kDone;
}

CPlugin::Result CPlgWinRecUsed::Fix() {
    const std::wstring recentFolder = GetKnownFolderPath(FOLDERID_Recent);
    if (recentFolder.empty()) return kFailed;
    errors.clear();
    // A Recent folder that resolves to the user's own files is left alone,
    // shortcuts included: every row fails with the guard's reason.
    PlaceVerdict verdict = CheckFolder(recentFolder, FolderAction::kEmpty);
    if (!verdict.allowed) {
        for (RecentDocument& record : list_) {
            record.result = ItemOutcome::kFailed;
            record.error = ItemError(ItemError::kFile, record.shortcut, ItemError::kOwnText, 0,
                                     false, L"", verdict.reason);
        }
        CollectRecentDocumentErrors(list_, errors);
        if (list_.empty())
            errors.emplace_back(ItemError::kFolder, recentFolder, ItemError::kOwnText, 0, false,
                                L"", verdict.reason);
        return kDone;
    }
    // Exactly the shortcuts the scan listed go: one made since, or a file the
    // shell does not show as a shortcut, stays.
    for (RecentDocument& record : list_) {
        if (IsCancelled()) break;
        if (record.refusal.empty()) {
            RemoveRecentFile(record, *this);
            continue;
        }
        record.result = ItemOutcome::kFailed;
        record.error = ItemError(ItemError::kFile, record.shortcut, ItemError::kOwnText, 0, false,
                                 L"", record.refusal);
    }
    CollectRecentDocumentErrors(list_, errors);
    return IsCancelled() ? kCancelled : kDone;
}

ReportResult CPlgWinRecUsed::BuildScanReport(IHtmlElement& element) {
    if (GetRunState() != kScanned) return ReportResult::kNotYet;
    element.SetInnerHtml(BuildRecentDocumentsReport(*this, {&list_}, false));
    return ReportResult::kBuilt;
}

ReportResult CPlgWinRecUsed::BuildFixReport(IHtmlElement& element) {
    if (GetRunState() != kCleaned) return ReportResult::kNotYet;
    element.SetInnerHtml(BuildRecentDocumentsReport(*this, {&list_}, true));
    return ReportResult::kBuilt;
}

ScanSummary CPlgWinRecUsed::GetScanSummary() const { return ScanSummary{list_.size(), 0}; }

CleanSummary CPlgWinRecUsed::GetCleanSummary() const {
    return CountRecentDocuments({&list_}, CPlugin::GetCleanSummary());
}

}  // namespace veltrane
