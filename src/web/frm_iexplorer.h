#pragma once
#include <functional>
#include <string>

#include "i18n/translate_component.h"
#include "web/web_address.h"
#include "web/web_browser.h"
#include "ui/form.h"
#include "ui/std_controls.h"

namespace tovasen {

// A flat toolbar button that draws a left or right arrow, grey when disabled.
class TArrowButton : public TButton {
public:
    TArrowButton(TForm* parent, std::wstring name, bool pointsLeft);

protected:
    void CNDrawItem(const DRAWITEMSTRUCT& item) override;

private:
    bool FPointsLeft;
};

// The small browser window of web page capture: back and forward, an address field and the
// system's browser control below them. It has no owner window, so it stays on screen while the
// main window hides. Closed by the user, it tells OnUserClose and frees itself.
class TFrmIExplorer : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmIExplorer";
    static constexpr wchar_t kUserAgent[] =
        L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
        L"Chrome/128.0.0.0 Safari/537.36 Edg/128.0.0.0";

    explicit TFrmIExplorer(TComponent* owner);
    ~TFrmIExplorer() override;

    TArrowButton* BtnBack = nullptr;
    TArrowButton* BtnForward = nullptr;
    TEdit* Edit1 = nullptr;
    TWebBrowser* WB = nullptr;

    // Runs when the user closes the window, before it frees itself (not when its owner frees it).
    std::function<void()> OnUserClose;
    // Where navigation goes; by default the browser control. Tests record it instead.
    std::function<void(const std::wstring& address)> NavigateHook;

    // Frees the window after the current handler returns; only OnDismissed hears it.
    void Dismiss();
    // Runs once when the window is dismissed or closed by the user, before OnUserClose: whoever
    // keeps a pointer to it lets go here.
    std::function<void()> OnDismissed;

    // Handlers.
    bool Edit1KeyDown(WORD key);
    void BtnBackClick();
    void BtnForwardClick();
    void WBCommandStateChange(long command, bool enable);
    void WBTitleChange(const std::wstring& title);
    void WBDocumentComplete(bool topLevel, const std::wstring& url);
    void WBBeforeNavigate2(bool topLevel, const std::wstring& url, bool& cancel);
    void WBNavigateComplete2(bool topLevel, const std::wstring& url);
    void WBNewWindow(bool& cancel);
    // Alt+D anywhere in the program; true when it was the shortcut.
    bool EventsShortCut(const MSG& msg);

    // The full-page capture lays the control out at the page's size and back.
    void BeginPageLayout(int width, int height);
    void EndPageLayout();

    bool PreTranslateMessage(MSG& msg) override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // The user sizes this window: a new DPI scales the size the user chose, not the first one.
    void DpiChanged(int dpi, const RECT& suggested) override;

private:
    void Navigate(const std::wstring& address);
    // Runs a navigation the user asked for: the first top-level navigation the control
    // announces meanwhile is the user's.
    void UserNavigation(const std::function<void()>& navigate);
    void LayoutControls();
    void FormClose();
    std::wstring BlankTitle() const;

    bool FPageLayout = false;
    TNavigationGuard FNavigation;
    bool FUserNavigating = false;
    TLanguageListener FLanguageListener{[this] { TranslateComponent(this); }};
};


// The per-process settings of the embedded control, for this program only: its newest document
// mode, and the security features that keep a page in its zone (local-machine lockdown, zone
// elevation, MIME handling and sniffing, pop-up blocking). Per-user registry values named after
// the program's file name, read when the control starts; the security features are also turned
// on for this process at once. False when a value could not be written.
bool WriteBrowserFeatureControls();

}  // namespace tovasen
