#pragma once
// The common base of the program's HTML dialogs. Each dialog is a hidden
// Win32 window (for its title, owner and messages) plus a page from the
// "html" folder shown in the browser through the web host: a top-level
// dialog is opened by the shell, any other as a frame over its parent's page.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/html_element.h"
#include "ui/page_link.h"
#include "ui/window_thunk.h"

namespace veltrane {

class CDlgBase {
public:
    // `pageName` is the page's path below "html", with backslashes.
    CDlgBase(std::wstring pageName, std::wstring title, CDlgBase* parent);
    virtual ~CDlgBase();
    CDlgBase(const CDlgBase&) = delete;
    CDlgBase& operator=(const CDlgBase&) = delete;

    // Modeless: creates the window (hidden) and shows the page.
    bool Create();
    // Modal: creates the dialog and runs a nested message loop until EndDialog.
    // -1 when it could not be created; kAlreadyOpen, and no second frame, when
    // the same dialog is already open over the same parent.
    INT_PTR DoModal();
    static constexpr INT_PTR kAlreadyOpen = -2;
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return window_; }
    // The page's document; it reports every element missing while no page is attached.
    IHtmlDocument* GetDocument() const { return document_.get(); }
    bool IsPageAttached() const { return link_ && link_->IsAttached(); }
    const std::wstring& GetPageName() const { return pageName_; }
    // The page's address, for a browser that holds the session's cookie
    // (a frame of the parent's page); empty before Create.
    std::wstring GetPageAddress() const;
    // A new address that opens the page once in any browser; empty before Create.
    std::wstring GetLaunchAddress() const;
    // Brings the browser window of an attached page to the front.
    void RaisePage();
    // A modal dialog is open over this one: the page below ignores the user.
    bool HasModalChild() const;

    // What a dialog does with a page that has neither width nor height.
    static constexpr int kDefaultSize = 100;

protected:
    using EventHandler = std::function<void(const PageEvent& event)>;
    // The dialog's event table: the page reports these events, which reach `handler`.
    void BindEvent(std::wstring id, PageEventKind kind, EventHandler handler);
    // The element an event happened on.
    std::unique_ptr<IHtmlElement> ElementOf(const PageEvent& event) const;

    // Shows the page; true on success.
    virtual bool OnInitDialog();
    // A page has loaded and connected: sizes the dialog to its "DlgBody".
    // `reattached` is true for every connection after the first (a reload).
    virtual void OnDocumentComplete(bool reattached);
    // The close box of a frame.
    virtual void OnCancel();
    // Somebody showed the window (a second start, the tray): the page comes
    // forward, or is opened anew when none is connected or the one connected
    // is hidden (a background tab) or does not answer.
    virtual void OnShowRequested();
    // The page's connection went away (closed, reloading, or silent).
    virtual void OnPageDetached() {}
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Binding {
        std::wstring id;
        PageEventKind kind;
        EventHandler handler;
    };

    friend class WindowThunk<CDlgBase>;
    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Navigate();
    void OpenFrame(const CDlgBase& child);
    void CloseFrame(const CDlgBase& child);
    void HandlePageEvent(const PageEvent& event);
    // Asks the attached page to come forward; true when it says it is visible.
    bool RaiseVisiblePage();
    CDlgBase* FindOpenChild(const std::wstring& pageName, const std::string& linkId) const;
    void SizeToPage();
    void Destroy();

    const std::wstring pageName_;
    const std::wstring title_;
    CDlgBase* const parent_;
    std::vector<Binding> bindings_;
    std::vector<CDlgBase*> openChildren_;
    HWND window_ = nullptr;
    std::shared_ptr<CPageLink> link_;
    std::unique_ptr<IHtmlDocument> document_;
    unsigned completions_ = 0;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = IDCANCEL;
};

}  // namespace veltrane
