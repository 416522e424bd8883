#pragma once
#include <windows.h>

#include <exdisp.h>
#include <ole2.h>

#include <functional>
#include <string>

#include "base/com.h"
#include "ui/control.h"

namespace tovasen {

class TBrowserSite;
class TBrowserEvents;

// The system's web browser control, embedded in a child window of a form. The form lays the
// host window out; the control follows the host's size. Events arrive as the On... members.
// When the control cannot be created (no COM apartment, no browser) the host stays empty,
// Created() is false and navigation raises. The control never shows dialogs of its own (script
// errors, security prompts) and never closes itself for a page's window.close().
class TWebBrowser : public TControl {
public:
    TWebBrowser(TForm* parent, std::wstring name);
    ~TWebBrowser() override;

    bool Created() const noexcept { return static_cast<bool>(FBrowser); }
    IWebBrowser2* Browser() const noexcept { return FBrowser.Get(); }

    // The user agent the host announces to the control (empty: the control's own).
    const std::wstring& UserAgent() const noexcept { return FUserAgent; }
    void SetUserAgent(const std::wstring& userAgent);

    void Navigate(const std::wstring& address);
    void GoBack();
    void GoForward();
    // The loaded document, or null when none is loaded.
    TComPtr<IDispatch> Document() const;

    // Places the host in its parent's client area, in device pixels.
    void SetBoundsPx(int left, int top, int width, int height);
    // Offers a key message aimed at the page to the control first (Tab, Backspace, Ctrl+C, the
    // page's own accelerators); true when the control took it.
    bool TranslateAccelerator(MSG& msg);

    std::function<void(long command, bool enable)> OnCommandStateChange;
    std::function<void(const std::wstring& title)> OnTitleChange;
    // topLevel is false for the completion of a frame.
    std::function<void(bool topLevel, const std::wstring& url)> OnDocumentComplete;
    // The page (topLevel) or one of its frames is about to load url.
    std::function<void(bool topLevel, const std::wstring& url, bool& cancel)> OnBeforeNavigate2;
    // The page or a frame has started showing the document at url.
    std::function<void(bool topLevel, const std::wstring& url)> OnNavigateComplete2;
    std::function<void(bool& cancel)> OnNewWindow;

    // What the control calls: the host's ambient properties and the event sink.
    IDispatch* AmbientDispatch() const noexcept;
    IDispatch* EventSink() const noexcept;

protected:
    LRESULT ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    friend class TBrowserEvents;
    void CreateBrowser();
    void Teardown() noexcept;
    void FitToHost();
    bool IsTopLevel(IDispatch* dispatch) const;
    IWebBrowser2& Require() const;

    std::wstring FUserAgent;
    // The control needs OLE on this thread for as long as it lives.
    TComApartment FApartment{TComApartment::TKind::Ole};
    TComPtr<TBrowserSite> FSite;
    TComPtr<TBrowserEvents> FEvents;
    TComPtr<IOleObject> FOleObject;
    TComPtr<IWebBrowser2> FBrowser;
    TComPtr<IConnectionPoint> FConnection;
    DWORD FCookie = 0;
};

}  // namespace tovasen
