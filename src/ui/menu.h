#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/component.h"
#include "base/handles.h"

namespace tovasen {

// One menu entry; its sub-items are the menu items it owns, in the order they were made.
// The caption "-" makes a separator.
class TMenuItem : public TComponent {
public:
    TMenuItem(TComponent* owner, std::wstring name, std::wstring caption = {},
              std::function<void(TMenuItem&)> onClick = {});

    std::wstring Caption;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    std::function<void(TMenuItem& sender)> OnClick;

    std::vector<TMenuItem*> Items() const;
    bool IsSeparator() const noexcept { return Caption == L"-"; }
    void Click();
};

// A popup menu built from its item tree each time it pops up, so captions and check marks set
// from code always show as they are.
class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner, std::wstring name);

    TMenuItem& Items() noexcept { return *FItems; }
    // Runs just before the menu is built to pop up: items that change (a list of recent files)
    // are made there.
    std::function<void()> OnPopup;
    // Shows the menu at a screen position for the window owner (the application window when
    // null) and runs the chosen item's OnClick. Returns whether an item was chosen. Nothing is
    // touched after the handler: it may have freed the menu and its window.
    bool Popup(int x, int y, HWND owner = nullptr);

    // The menu as the system sees it, with each item's command id as its index in commands.
    UniqueMenu Build(std::vector<TMenuItem*>& commands) const;

private:
    TMenuItem* FItems;
};

}  // namespace tovasen
