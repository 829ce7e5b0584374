#include "ui/dlg_base.h"

#include <algorithm>

#include "engine/program_folder.h"
#include "sysaccess/text.h"
#include "sysaccess/trace.h"
#include "ui/bridge_document.h"
#include "ui/open_url.h"
#include "ui/web_host.h"

namespace veltrane {

namespace {

constexpr wchar_t kWindowClass[] = L"VeltraneHtmlDialog";

bool RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSW windowClass = {};
    if (GetClassInfoW(GetModuleHandleW(nullptr), kWindowClass, &windowClass)) return true;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassW(&windowClass) != 0;
}

int SizeAttribute(IHtmlElement& body, const wchar_t* name) {
    std::optional<std::wstring> value = body.GetAttribute(name);
    return value ? _wtoi(value->c_str()) : CDlgBase::kDefaultSize;
}

}  // namespace

CDlgBase::CDlgBase(std::wstring pageName, std::wstring title, CDlgBase* parent)
    : pageName_(std::move(pageName)), title_(std::move(title)), parent_(parent) {}

CDlgBase::~CDlgBase() { Destroy(); }

bool CDlgBase::Create() {
    if (window_) return true;
    CWebHost& host = CWebHost::Get();
    // Pages are served from the "html" folder beside the program (none while
    // no program folder is named: never from the current directory).
    const std::wstring pages = ProgramFilePath(L"html");
    if (!host.IsRunning() && (pages.empty() || !host.Start(pages))) return false;
    if (!RegisterWindowClass(&WindowThunk<CDlgBase>::Proc)) return false;

    // Fixed size, close box, no minimise or maximise box; never visible itself.
    // The title is the frame's caption; only a top-level dialog's window
    // carries it, so that a second start finds the main window by its title.
    window_ = CreateWindowExW(
        parent_ ? 0 : WS_EX_APPWINDOW, kWindowClass, parent_ ? L"" : title_.c_str(),
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, CW_USEDEFAULT, CW_USEDEFAULT,
        kDefaultSize, kDefaultSize, parent_ ? parent_->window_ : nullptr, nullptr,
        GetModuleHandleW(nullptr), this);
    if (!window_) return false;

    std::vector<EventBinding> events;
    for (const Binding& binding : bindings_) events.push_back({binding.id, binding.kind});
    link_ = host.Register(window_, std::move(events));
    document_ = std::make_unique<CBridgeDocument>(link_);
    return OnInitDialog();
}

INT_PTR CDlgBase::DoModal() {
    if (parent_ && parent_->FindOpenChild(pageName_, {})) {
        Trace(L"%ls is already open\n", pageName_.c_str());
        return kAlreadyOpen;
    }
    modal_ = true;
    ended_ = false;
    result_ = IDCANCEL;
    if (!Create()) return -1;
    MSG message;
    while (!ended_) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The program is quitting: the outer loop must see it too.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    Destroy();
    return result_;
}

void CDlgBase::EndDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    if (!modal_) Destroy();
}

std::wstring CDlgBase::GetPageAddress() const {
    return link_ ? CWebHost::Get().GetPageAddress(pageName_, link_->GetId()) : std::wstring();
}

std::wstring CDlgBase::GetLaunchAddress() const {
    return link_ ? CWebHost::Get().GetLaunchAddress(pageName_, link_->GetId()) : std::wstring();
}

void CDlgBase::RaisePage() {
    if (link_) link_->Notify({{"t", "raise"}});
}

bool CDlgBase::RaiseVisiblePage() {
    if (!link_) return false;
    std::optional<nlohmann::json> reply = link_->Call({{"op", "raise"}});
    if (!reply || !reply->is_object()) return false;
    auto state = reply->find("value");
    return state != reply->end() && state->is_string() && *state == "visible";
}

bool CDlgBase::HasModalChild() const {
    return std::any_of(openChildren_.begin(), openChildren_.end(),
                       [](const CDlgBase* child) { return child->modal_; });
}

CDlgBase* CDlgBase::FindOpenChild(const std::wstring& pageName, const std::string& linkId) const {
    for (CDlgBase* child : openChildren_) {
        if (!pageName.empty() && child->pageName_ == pageName) return child;
        if (!linkId.empty() && child->link_ && child->link_->GetId() == linkId) return child;
    }
    return nullptr;
}

void CDlgBase::BindEvent(std::wstring id, PageEventKind kind, EventHandler handler) {
    bindings_.push_back({std::move(id), kind, std::move(handler)});
}

std::unique_ptr<IHtmlElement> CDlgBase::ElementOf(const PageEvent& event) const {
    return std::make_unique<CBridgeElement>(link_, event.handle, event.generation);
}

bool CDlgBase::OnInitDialog() {
    Navigate();
    return true;
}

void CDlgBase::OnDocumentComplete(bool) {
    SizeToPage();
    // A reloaded parent page has lost the frames of the dialogs still open.
    for (CDlgBase* child : openChildren_) OpenFrame(*child);
}

void CDlgBase::OnCancel() { EndDialog(IDCANCEL); }

void CDlgBase::OnShowRequested() {
    // Browsers ignore a page that asks to come forward from a background tab:
    // a fresh page then replaces it.
    if (IsPageAttached() && RaiseVisiblePage()) return;
    Navigate();
}

LRESULT CDlgBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kPageEventMessage: {
            std::unique_ptr<PageEvent> event(reinterpret_cast<PageEvent*>(lParam));
            HandlePageEvent(*event);
            return 0;
        }
        case WM_SHOWWINDOW:
            if (wParam) OnShowRequested();
            return 0;
        case WM_WINDOWPOSCHANGING:
            // The dialog is its page; the window itself stays out of sight.
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
            return 0;
        case WM_CLOSE:
            OnCancel();
            return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CDlgBase::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Known from the first message on, before CreateWindowExW returns.
    if (message == WM_NCCREATE) window_ = window;
    if (message == WM_NCDESTROY) {
        window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return WindowProc(message, wParam, lParam);
}

void CDlgBase::Navigate() {
    if (parent_) {
        if (std::find(parent_->openChildren_.begin(), parent_->openChildren_.end(), this) ==
            parent_->openChildren_.end())
            parent_->openChildren_.push_back(this);
        parent_->OpenFrame(*this);
        return;
    }
    // The browser the shell starts has the address on its command line: it
    // opens once, and the session's cookie is all the page keeps.
    std::wstring address = GetLaunchAddress();
    if (!OpenWithShell(address)) Trace(L"The shell could not open %ls\n", address.c_str());
}

void CDlgBase::OpenFrame(const CDlgBase& child) {
    if (!link_ || !child.link_) return;
    link_->Notify({{"t", "openFrame"},
                   {"dlg", child.link_->GetId()},
                   {"url", ToUtf8(child.GetPageAddress())},
                   {"title", ToUtf8(child.title_)},
                   {"modal", child.modal_}});
}

void CDlgBase::CloseFrame(const CDlgBase& child) {
    if (link_ && child.link_) link_->Notify({{"t", "closeFrame"}, {"dlg", child.link_->GetId()}});
}

void CDlgBase::HandlePageEvent(const PageEvent& event) {
    if (event.kind == PageEventKind::kDetached) {
        Trace(L"Page %hs detached\n", link_->GetId().c_str());
        OnPageDetached();
        return;
    }
    // Events of a page that has since been replaced are stale.
    if (event.generation != link_->GetGeneration()) return;
    if (event.kind == PageEventKind::kCloseFrame) {
        if (CDlgBase* child = FindOpenChild({}, ToUtf8(event.id))) child->OnCancel();
        return;
    }
    // Under a modal dialog the page is inert; whatever still arrives from it
    // (a click already on its way, a script) is not the user's.
    if (event.kind != PageEventKind::kDocumentComplete && HasModalChild()) {
        Trace(L"Page %hs: ignored while a dialog is open: %ls\n", link_->GetId().c_str(),
              event.id.c_str());
        return;
    }
    switch (event.kind) {
        case PageEventKind::kDocumentComplete:
            Trace(L"Page %hs complete (connection %u)\n", link_->GetId().c_str(), event.generation);
            OnDocumentComplete(completions_++ > 0);
            break;
        case PageEventKind::kClose:
            OnCancel();
            break;
        default:
            for (const Binding& binding : bindings_)
                if (binding.kind == event.kind && binding.id == event.id) binding.handler(event);
            break;
    }
}

void CDlgBase::SizeToPage() {
    std::unique_ptr<IHtmlElement> body = document_->GetElementById(L"DlgBody");
    if (!body) return;
    int width = SizeAttribute(*body, L"width");
    int height = SizeAttribute(*body, L"height");
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The page centres the dialog in its browser window, or over its owner's page.
    link_->Notify({{"t", "size"}, {"width", width}, {"height", height}});
}

void CDlgBase::Destroy() {
    if (parent_) {
        auto& siblings = parent_->openChildren_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        parent_->CloseFrame(*this);
    }
    if (link_) {
        CWebHost::Get().Unregister(link_);
        link_.reset();
    }
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
}

}  // namespace veltrane
