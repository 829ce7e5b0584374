#include "engine/deferred_check.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <map>
#include <set>

#include "sysaccess/file_delete.h"
#include "sysaccess/file_identity.h"
#include "sysaccess/file_info.h"
#include "sysaccess/handles.h"
#include "sysaccess/pending_renames.h"
#include "sysaccess/reg_multi_text.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/trace.h"

namespace veltrane {

namespace {

constexpr wchar_t kRecordKey[] = L"Deferred";
constexpr wchar_t kRecordValue[] = L"Items";
constexpr REGSAM kRecordAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

// What is at `path` now: a file's identity, a folder (id 0), or nothing.
std::optional<DeferredItem> ItemAt(const std::wstring& path) {
    const IdentityReadOutcome read = ReadFileIdentity(path);
    if (read.kind == IdentityRead::kRead)
        return DeferredItem{path, read.identity.volumeSerial, read.identity.fileId};
    if (read.kind == IdentityRead::kMissing && IsPlainFolder(path)) return DeferredItem{path};
    return std::nullopt;
}

// One text per item: "<volume serial> <file id> <path>", the numbers in hexadecimal.
std::wstring ItemText(const DeferredItem& item) {
    wchar_t numbers[40];
    swprintf(numbers, 40, L"%08lx %016llx ", static_cast<unsigned long>(item.volumeSerial),
             static_cast<unsigned long long>(item.fileId));
    return numbers + item.path;
}

std::optional<DeferredItem> ParseItem(const std::wstring& text) {
    // Eight and sixteen digits, a space after each, then a path.
    if (text.size() < 27 || text[8] != L' ' || text[25] != L' ') return std::nullopt;
    auto hex = [](const std::wstring& digits, uint64_t& value) {
        if (!std::all_of(digits.begin(), digits.end(), iswxdigit)) return false;
        value = wcstoull(digits.c_str(), nullptr, 16);
        return true;
    };
    uint64_t serial = 0;
    uint64_t id = 0;
    if (!hex(text.substr(0, 8), serial) || !hex(text.substr(9, 16), id)) return std::nullopt;
    return DeferredItem{text.substr(26), static_cast<uint32_t>(serial), id};
}

// The record's key, opened as itself; made (below the program's key, opened
// key by key as itself) when `create` and it is missing.
OpenedRegKey OpenRecordKey(const RegPlace& home, bool create) {
    OpenedRegKey program = OpenRegPathNoLink(home.root, home.path, create ? KEY_CREATE_SUB_KEY : 0);
    if (program.kind == OpenedRegKey::Kind::kMissing && create) {
        RegKey made;
        const LSTATUS status =
            RegCreateKeyExW(home.root, home.path.c_str(), 0, nullptr, 0, KEY_CREATE_SUB_KEY,
                            nullptr, made.Receive(), nullptr);
        if (status != ERROR_SUCCESS)
            return {OpenedRegKey::Kind::kFailed, static_cast<DWORD>(status), {}};
        program = OpenRegPathNoLink(home.root, home.path, KEY_CREATE_SUB_KEY);
    }
    if (program.kind != OpenedRegKey::Kind::kOpened) return program;
    OpenedRegKey record = OpenRegKeyNoLink(program.key.Get(), kRecordKey, kRecordAccess);
    if (record.kind != OpenedRegKey::Kind::kMissing || !create) return record;
    RegKey made;
    const LSTATUS status = RegCreateKeyExW(program.key.Get(), kRecordKey, 0, nullptr, 0,
                                           kRecordAccess, nullptr, made.Receive(), nullptr);
    if (status != ERROR_SUCCESS)
        return {OpenedRegKey::Kind::kFailed, static_cast<DWORD>(status), {}};
    // Opened again as itself: a link made in between is caught here.
    return OpenRegKeyNoLink(program.key.Get(), kRecordKey, kRecordAccess);
}

DeferredState StateNow(const DeferredItem& item) {
    if (item.fileId == 0)
        return IsPlainFolder(item.path) ? DeferredState::kStillThere : DeferredState::kRemoved;
    const IdentityReadOutcome read = ReadFileIdentity(item.path);
    switch (read.kind) {
        case IdentityRead::kMissing:
            return DeferredState::kRemoved;
        case IdentityRead::kRead:
            return read.identity.fileId == item.fileId &&
                           read.identity.volumeSerial == item.volumeSerial
                       ? DeferredState::kStillThere
                       : DeferredState::kRemoved;
        case IdentityRead::kRefused:
        case IdentityRead::kFailed:
            break;
    }
    return DeferredState::kUnchecked;
}

std::wstring LowerCase(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

std::wstring ItemsPhrase(size_t count, const wchar_t* one, const wchar_t* many) {
    return std::to_wstring(count) + (count == 1 ? one : many);
}

}  // namespace

std::vector<DeferredItem> NewDeferredItems(const std::vector<std::wstring>& before,
                                           const std::vector<std::wstring>& after) {
    // The system's names differ in case only where the caller's did.
    std::map<std::wstring, size_t> listedBefore;
    for (const std::wstring& path : before) ++listedBefore[path];
    std::vector<DeferredItem> items;
    for (const std::wstring& path : after) {
        if (size_t& count = listedBefore[path]; count > 0) {
            --count;
            continue;
        }
        if (std::optional<DeferredItem> item = ItemAt(path)) items.push_back(std::move(*item));
    }
    return items;
}

DeferredRecordOutcome RecordDeferredItems(const RegPlace& home,
                                          const std::vector<DeferredItem>& items) {
    if (items.empty()) return {DeferredRecordKind::kDone};
    OpenedRegKey record = OpenRecordKey(home, true);
    if (record.kind == OpenedRegKey::Kind::kLink) return {DeferredRecordKind::kLinkRefused};
    if (record.kind != OpenedRegKey::Kind::kOpened)
        return {DeferredRecordKind::kFailed, record.error};
    std::vector<std::wstring> texts;
    const MultiTextOutcome held = ReadRegMultiText(record.key.Get(), kRecordValue);
    if (held.kind == MultiTextRead::kRead) texts = held.texts;
    for (const DeferredItem& item : items) texts.push_back(ItemText(item));
    std::erase_if(texts, [](const std::wstring& text) { return text.empty(); });
    const RegWriteOutcome written = WriteRegMultiText(record.key.Get(), kRecordValue, texts);
    if (written.kind != RegWrite::kWritten) return {DeferredRecordKind::kFailed, written.error};
    return {DeferredRecordKind::kDone};
}

size_t DeferredCheck::Count(DeferredState state) const {
    return static_cast<size_t>(std::count_if(items.begin(), items.end(),
                                             [state](const auto& i) { return i.state == state; }));
}

std::optional<DeferredCheck> CheckDeferredItems(const RegPlace& home) {
    OpenedRegKey record = OpenRecordKey(home, false);
    if (record.kind == OpenedRegKey::Kind::kMissing) return std::nullopt;
    if (record.kind != OpenedRegKey::Kind::kOpened) {
        Trace(L"The record of deferred deletions could not be opened (%d, error %lu)\n",
              static_cast<int>(record.kind), record.error);
        return std::nullopt;
    }
    const MultiTextOutcome held = ReadRegMultiText(record.key.Get(), kRecordValue);
    if (held.kind == MultiTextRead::kMissing) return std::nullopt;
    if (held.kind != MultiTextRead::kRead) {
        Trace(L"The record of deferred deletions could not be read (%d, error %lu)\n",
              static_cast<int>(held.kind), held.error);
        return std::nullopt;
    }
    // Items the system still lists for its next start wait for that start:
    // they stay in the record and are not told of yet.
    const PendingDeletesOutcome pending = ReadPendingDeletes();
    if (pending.kind != PendingRead::kRead) {
        Trace(L"The system's pending deletions could not be read (error %lu)\n", pending.error);
        return std::nullopt;
    }
    std::set<std::wstring> waiting;
    for (const std::wstring& path : pending.paths) waiting.insert(LowerCase(path));
    std::vector<std::wstring> stillWaiting;
    DeferredCheck check;
    for (const std::wstring& text : held.texts) {
        std::optional<DeferredItem> item = ParseItem(text);
        if (!item) continue;
        if (waiting.contains(LowerCase(item->path))) {
            stillWaiting.push_back(text);
            continue;
        }
        const DeferredState state = StateNow(*item);
        check.items.push_back({std::move(*item), state});
    }
    // Rewritten before anything is shown: a crash while showing it must not show it forever.
    if (stillWaiting.size() != held.texts.size()) {
        const bool emptied = stillWaiting.empty();
        const DWORD error =
            emptied ? static_cast<DWORD>(RegDeleteValueW(record.key.Get(), kRecordValue))
                    : WriteRegMultiText(record.key.Get(), kRecordValue, stillWaiting).error;
        if (error != ERROR_SUCCESS)
            Trace(L"The record of deferred deletions could not be rewritten (error %lu)\n", error);
    }
    if (check.items.empty()) return std::nullopt;
    return check;
}

std::wstring DeferredCheckText(const DeferredCheck& check, size_t listed) {
    const size_t removed = check.Count(DeferredState::kRemoved);
    const size_t still = check.Count(DeferredState::kStillThere);
    const size_t unchecked = check.Count(DeferredState::kUnchecked);
    std::wstring text = ItemsPhrase(removed, L" item deferred at the last clean was",
                                    L" items deferred at the last clean were") +
                        L" removed at restart; " + ItemsPhrase(still, L" is", L" are") +
                        L" still there";
    if (unchecked > 0)
        text += L"; " + std::to_wstring(unchecked) +
                L" could not be checked (reached through a link now, or unreadable)";
    text += L".";
    for (size_t i = 0; i < check.items.size(); ++i) {
        if (i == listed) {
            text += L"\nand " + std::to_wstring(check.items.size() - i) + L" more";
            break;
        }
        const DeferredItemCheck& item = check.items[i];
        const wchar_t* state = item.state == DeferredState::kRemoved      ? L"removed: "
                               : item.state == DeferredState::kStillThere ? L"still there: "
                                                                          : L"not checked: ";
        text += L"\n" + std::wstring(state) + item.item.path;
    }
    return text;
}

size_t ScheduleStillThereAgain(const RegPlace& home, const DeferredCheck& check) {
    std::vector<DeferredItem> scheduled;
    for (const DeferredItemCheck& item : check.items) {
        // Checked once more just before: only the very file the clean deferred goes.
        if (item.state != DeferredState::kStillThere ||
            StateNow(item.item) != DeferredState::kStillThere)
            continue;
        if (ScheduleDeleteOnReboot(item.item.path).kind == DeleteOutcome::kDeferred)
            scheduled.push_back(item.item);
    }
    // Recorded again, so that the next start checks them too.
    if (const DeferredRecordOutcome recorded = RecordDeferredItems(home, scheduled);
        recorded.kind != DeferredRecordKind::kDone)
        Trace(L"Deferred deletions scheduled again but not recorded (%d, error %lu)\n",
              static_cast<int>(recorded.kind), recorded.error);
    return scheduled.size();
}

}  // namespace veltrane
