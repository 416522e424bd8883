#pragma once
#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>

#include "ui/window.h"

namespace tovasen {

class TPopupMenu;
class TTimer;

// A notification-area icon. It owns a hidden top-level window for the shell's callbacks (a
// message-only window would miss the TaskbarCreated broadcast, after which the icon is added
// again because Explorer restarted). An add the shell refuses (at log-on the notification area
// may not be up yet) is tried again every few seconds until it holds.
class TTrayIcon : public TWindow {
public:
    static constexpr UINT kCallbackMessage = WM_APP + 1;
    static constexpr UINT kIconId = 1;
    static constexpr wchar_t kWindowClass[] = L"TTrayIconWindow";
    static constexpr UINT kRetryAddMs = 2000;

    TTrayIcon(TComponent* owner, std::wstring name);
    ~TTrayIcon() override;

    void SetIcon(HICON icon);  // not owned: the caller's icon must outlive the tray icon
    const std::wstring& Hint() const noexcept { return FHint; }
    void SetHint(const std::wstring& hint);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool visible);
    // True while the shell holds the icon (it may refuse when no notification area runs).
    bool Shown() const noexcept { return FShown; }

    TPopupMenu* PopupMenu = nullptr;
    std::function<void()> OnClick;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    NOTIFYICONDATAW Data(UINT flags) const;
    void Add();
    void Remove();
    void Modify(UINT flags);

    HICON FIcon = nullptr;
    std::wstring FHint;
    bool FVisible = false;
    bool FShown = false;
    UINT FTaskbarCreated;
    TTimer* FRetryAdd;
};

}  // namespace tovasen
