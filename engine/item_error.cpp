#include "engine/item_error.h"

#include "sysaccess/reg_format.h"

namespace veltrane {

namespace {

std::wstring TitleFormat(ItemError::Kind kind, const std::wstring& store) {
    switch (kind) {
        case ItemError::kRegKey:
            return L"Error occurred while attempting to delete registry key (and it's content) "
                   L"\"%s\".";
        case ItemError::kRegValue:
            return L"Error occurred while attempting to delete registry value \"%s\".";
        case ItemError::kFile:
            return L"Error occurred while attempting to delete file \"%s\".";
        case ItemError::kWipeFile:
            return L"Error occurred while attempting to wipe file \"%s\".";
        case ItemError::kFolder:
            return L"Error occurred while attempting to delete folder \"%s\".";
        case ItemError::kStoreEntries:
            return L"Error occurred while attempting to delete " + store +
                   L" that correspond to \"%s\".";
        case ItemError::kRecycleBin:
            return L"Error occurred while attempting to clean Recycle Bin at Volume \"%s\".";
        case ItemError::kRecentDocument:
            return L"Error occurred while attempting to delete " + store +
                   L" recent document (%s).";
        default:
            return {};
    }
}

// Puts `value` in place of the first "%s" of `format`; the value itself is
// never read as a format.
std::wstring FillFormat(const std::wstring& format, const std::wstring& value) {
    size_t at = format.find(L"%s");
    if (at == std::wstring::npos) return format;
    return format.substr(0, at) + value + format.substr(at + 2);
}

}  // namespace

ItemError::ItemError(Kind kind, std::wstring name, Reason reasonType, DWORD code, bool reboot,
                     std::wstring extra, std::wstring reasonText)
    : kind_(kind),
      code_(code),
      reasonType_(reasonType == kSystemMessage && code == ERROR_ACCESS_DENIED ? kAccessDenied
                                                                              : reasonType),
      name_(std::move(name)),
      extra_(std::move(extra)),
      reasonText_(std::move(reasonText)),
      reboot_(reboot) {}

ItemError::ItemError(std::wstring title, std::wstring message)
    : plain_(true), name_(std::move(title)), extra_(std::move(message)) {}

std::wstring ItemError::GetTitle() const {
    if (plain_) return name_;
    std::wstring title = FillFormat(TitleFormat(kind_, store_), name_);
    if (kind_ == kRecycleBin) {
        if (reboot_) title += L"\nIt will be cleaned after system reboot.";
        return title;
    }
    if (!extra_.empty()) {
        std::wstring detail = reasonText_;
        if (detail.find(L"%s") == std::wstring::npos) detail += L" \"%s\".";
        title += L"\n" + FillFormat(detail, extra_);
    }
    if (reboot_) title += L"\nIt will be deleted after system reboot.";
    return title;
}

std::wstring ItemError::GetReason() const {
    if (plain_) return extra_;
    switch (reasonType_) {
        case kSystemMessage:
            return FormatSystemError(code_);
        case kFolderKeptForReboot:
            return L"The folder cannot be deleted because some tracks inside folder will be "
                   L"removed after reboot.";
        case kAccessDenied:
            return L"Access denied.";
        case kUnknown:
            return L"Unknown error.";
        case kOwnText:
            return reasonText_;
        default:
            return {};
    }
}

}  // namespace veltrane
