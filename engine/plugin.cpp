#include "engine/plugin.h"

#include "engine/changed_since_scan.h"
#include "engine/kernel.h"
#include "engine/page_reader.h"
#include "sysaccess/text.h"
#include "sysaccess/thread_entry.h"

namespace veltrane {

namespace {

struct SharedPageSet {
    bool loaded = false;
    std::wstring language;
    SharedResultPages pages;
};

SharedPageSet& Shared() {
    static SharedPageSet set;
    return set;
}

std::wstring WithTrailingSlash(std::wstring path) {
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'\\';
    return path;
}

}  // namespace

const wchar_t* CategoryName(PluginCategory category) {
    switch (category) {
        case PluginCategory::kIeAndAol:
            return L"IE & AOL plugins";
        case PluginCategory::kSystem:
            return L"System plugins";
        case PluginCategory::kNetscape:
            return L"Netscape plugins";
        case PluginCategory::kOpera:
            return L"Opera plugins";
        case PluginCategory::kMultimedia:
            return L"Multimedia plugins";
        case PluginCategory::kCommunication:
            return L"Communication plugins";
        case PluginCategory::kChromium:
            return L"Chrome, Edge and other Chromium browsers";
        case PluginCategory::kFirefox:
            return L"Firefox";
        case PluginCategory::kWindows:
            return L"Windows 7 to 11";
    }
    return L"Unknown type";
}

CPlugin::CPlugin(CKernel& kernel, const PluginIdentity& identity)
    : weight_(identity.weight), category_(identity.category), id_(identity.id), kernel_(&kernel) {
    // Virtual dispatch does not reach derived classes here; they load their
    // own pages in their constructors.
    CPlugin::LoadPages(kernel.GetLanguage());
    const std::optional<DWORD> stored = kernel.ReadPluginTick(id_);
    enabled_ = !stored || *stored != 0;
    // Any other number is written back as 1 at exit.
    if (stored && *stored <= 1) storedEnabled_ = enabled_;
}

CPlugin::~CPlugin() {
    // Writing an unchanged flag back costs every plug-in a trip to the registry
    // at each exit, and an unattended run puts back what it changed.
    if (storedEnabled_ != enabled_) kernel_->StorePluginTick(id_, enabled_);
}

std::wstring CPlugin::GetCategoryName() const { return CategoryName(category_); }

void CPlugin::StartScan(HANDLE cancelEvent) {
    cancelEvent_ = cancelEvent;
    // A worker that cannot be started ends its plug-in as failed, so the run goes on.
    if (!LaunchWorker(&CPlugin::ScanThread)) FinishScan(kFailed);
}

void CPlugin::StartFix(HANDLE cancelEvent) {
    cancelEvent_ = cancelEvent;
    keptKeys_.clear();
    if (!LaunchWorker(&CPlugin::FixThread)) FinishFix(kFailed);
}

bool CPlugin::LaunchWorker(LPTHREAD_START_ROUTINE routine) {
    // Kept, so that an exit can wait for the worker before the plug-in goes.
    worker_.Attach(CreateThread(nullptr, 0, routine, this, 0, nullptr));
    return worker_.IsValid();
}

bool CPlugin::WaitForWorker(DWORD timeoutMs) const {
    return !worker_ || WaitForSingleObject(worker_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

// A plug-in that throws has failed as a whole; the run goes on with the next.
DWORD WINAPI CPlugin::ScanThread(void* self) {
    auto* plugin = static_cast<CPlugin*>(self);
    plugin->FinishScan(CatchAtThreadEntry(
        L"Scan", [plugin] { return plugin->Scan(); }, [] { return kFailed; }));
    return 0;
}

DWORD WINAPI CPlugin::FixThread(void* self) {
    auto* plugin = static_cast<CPlugin*>(self);
    // Exclusions that cannot be read might keep anything: nothing is removed.
    if (const std::optional<std::wstring>& refusal = plugin->kernel_->CleanRefusal()) {
        plugin->errors.assign(1, ItemError(L"Exclusions", *refusal));
        plugin->FinishFix(kFailed);
        return 0;
    }
    plugin->FinishFix(CatchAtThreadEntry(
        L"Clean", [plugin] { return plugin->Fix(); }, [] { return kFailed; }));
    return 0;
}

void CPlugin::FinishScan(Result result) {
    if (result != kCancelled) runState_ = kScanned;
    kernel_->PostFinished(CKernel::kScanFinishedMessage, id_, result);
}

CleanSummary CPlugin::GetCleanSummary() const {
    CleanSummary summary;
    for (const ItemError& error : errors) {
        if (error.IsReboot())
            ++summary.deferred;
        else if (TellsChangedSinceScan(error))
            ++summary.changed;
        else
            ++summary.failed;
    }
    return summary;
}

void CPlugin::FinishFix(Result result) {
    // A clean that ran to its end but left rows it showed did not do all it showed.
    if (result == kDone && GetCleanSummary().LeftItems()) result = kDoneWithFailures;
    runState_ = kCleaned;
    kernel_->PostFinished(CKernel::kFixFinishedMessage, id_, result);
}

void CPlugin::ShowDescription(IHtmlElement& element) {
    element.SetInnerHtml(ReadPage(GetPluginFolder() + L"description.html"));
}

ReportResult CPlugin::BuildScanReport(IHtmlElement&) { return ReportResult::kNoReport; }

ReportResult CPlugin::BuildFixReport(IHtmlElement&) { return ReportResult::kNoReport; }

void CPlugin::OnReportClick(const std::wstring& command, IHtmlElement*) {
    const std::wstring prefix = L"idError_";
    if (command.compare(0, prefix.size(), prefix) != 0) return;
    long number = wcstol(command.c_str() + prefix.size(), nullptr, 10);
    if (number >= 1 && static_cast<size_t>(number) <= errors.size()) {
        const ItemError& error = errors[static_cast<size_t>(number) - 1];
        kernel_->ShowItemError(error.GetTitle(), error.GetReason());
    }
}

void CPlugin::LoadPages(const std::wstring& language) {
    SharedPageSet& shared = Shared();
    if (!shared.loaded || shared.language != language) {
        shared.loaded = true;
        shared.language = language;
        std::wstring folder = GetPluginsFolder();
        SharedResultPages& pages = shared.pages;
        pages.resError = ReadPage(folder + L"res_Error.html");
        pages.resReboot = ReadPage(folder + L"res_Reboot.html");
        pages.resDeleted = ReadPage(folder + L"res_Deleted.html");
        pages.resDeletedNotOverwritten = ReadPage(folder + L"res_DeletedNotOverwritten.html");
        pages.resGone = ReadPage(folder + L"res_Gone.html");
        pages.resCancelled = ReadPage(folder + L"res_Cancelled.html");
        pages.resKept = ReadPage(folder + L"res_Kept.html");
        pages.resKeptByYou = ReadPage(folder + L"res_KeptByYou.html");
        pages.resExcluded = ReadPage(folder + L"res_Excluded.html");
        pages.resNewerThanLimit = ReadPage(folder + L"res_NewerThanLimit.html");
        pages.newerThanLimit = ReadPage(folder + L"newer_than_limit.html");
        pages.scaning = ReadPage(folder + L"scaning.html");
        pages.clearing = ReadPage(folder + L"Clearing.html");
        pages.resScanFinished = ReadPage(folder + L"res_ScanFinished.html");
        pages.resFixFinished = ReadPage(folder + L"res_FixFinished.html");
        pages.noItemsFound = ReadPage(folder + L"no_items_found.html");
        pages.noItemsErased = ReadPage(folder + L"no_items_erased.html");
    }
    nameHtml_.reset();
}

std::wstring CPlugin::GetNameHtml() const {
    // Read when first shown: an unattended run shows no names.
    if (!nameHtml_) nameHtml_ = ReadPage(GetPluginFolder() + L"name.html");
    return *nameHtml_;
}

const SharedResultPages& CPlugin::SharedPages() { return Shared().pages; }

bool CPlugin::IsCancelled() const {
    if (cancelEvent_ == nullptr) return false;
    // Walkers ask once per item: the kernel's own event is mirrored in memory.
    if (cancelEvent_ == kernel_->GetCancelEvent()) return kernel_->IsCancelSignalled();
    return WaitForSingleObject(cancelEvent_, 0) == WAIT_OBJECT_0;
}

bool CPlugin::GetWipeFiles() const { return kernel_->GetWipeFiles(); }

void CPlugin::SetRebootNeeded() { kernel_->SetRebootNeeded(true); }

bool CPlugin::IsTooNew(const FILETIME& lastWrite) const {
    const std::optional<FILETIME>& cutoff = kernel_->GetAgeCutoff();
    return ageLimitApplies_ && cutoff && CompareFileTime(&lastWrite, &*cutoff) > 0;
}

KeepVerdict CPlugin::MayRemove(const ItemRef& item) const {
    KeepVerdict verdict = kernel_->MayRemove(item);
    if (!verdict.Keeps() && item.kind == ItemKind::kFile && IsTooNew(item.lastWrite))
        verdict.kind = KeepVerdict::Kind::kNewerThanLimit;
    if (verdict.Keeps()) keptKeys_.insert(ItemKey(item));
    return verdict;
}

std::wstring CPlugin::KeptStatusHtml(const KeepVerdict& verdict) {
    const SharedResultPages& pages = SharedPages();
    switch (verdict.kind) {
        case KeepVerdict::Kind::kRemove:
            return {};
        case KeepVerdict::Kind::kKeptByYou:
            return pages.resKeptByYou;
        case KeepVerdict::Kind::kNewerThanLimit:
            return pages.resNewerThanLimit;
        case KeepVerdict::Kind::kExcluded:
            break;
    }
    std::wstring text = pages.resExcluded;
    ReplaceAll(text, L"#rule#", EscapeHtml(verdict.rule));
    return text;
}

bool CPlugin::SetProgress(const std::wstring& itemText) {
    std::wstring prefix;
    const CKernel::Mode mode = kernel_->GetMode();
    if (mode == CKernel::kScanning)
        prefix = SharedPages().scaning;
    else if (mode == CKernel::kCleaning)
        prefix = SharedPages().clearing;
    // Plain text: the view escapes it where it builds markup.
    std::wstring text = prefix + L" " + itemText;

    if (progressInterval != 0 && GetTickCount() - lastProgressTick_ <= progressInterval)
        return false;
    kernel_->PostProgress(id_, text);
    if (progressInterval != 0) lastProgressTick_ = GetTickCount();
    return true;
}

std::wstring CPlugin::GetPluginsFolder() const {
    return WithTrailingSlash(L"html\\" + kernel_->GetLanguage() + L"\\Plugins");
}

std::wstring CPlugin::GetPluginFolder() const {
    return WithTrailingSlash(GetPluginsFolder() + L"Plg" + id_);
}

}  // namespace veltrane
