#include "ui/menu.h"

#include "ui/application.h"
#include "base/errors.h"

namespace tovasen {

TMenuItem::TMenuItem(TComponent* owner, std::wstring name, std::wstring caption,
                     std::function<void(TMenuItem&)> onClick)
    : TComponent(owner, std::move(name)), Caption(std::move(caption)), OnClick(std::move(onClick)) {}

std::vector<TMenuItem*> TMenuItem::Items() const {
    std::vector<TMenuItem*> items;
    for (TComponent* c : Components()) {
        if (auto* item = dynamic_cast<TMenuItem*>(c)) items.push_back(item);
    }
    return items;
}

void TMenuItem::Click() {
    if (Enabled && OnClick) OnClick(*this);
}

TPopupMenu::TPopupMenu(TComponent* owner, std::wstring name)
    : TComponent(owner, std::move(name)), FItems(new TMenuItem(this, L"")) {}

namespace {

void AppendItems(HMENU menu, const TMenuItem& parent, std::vector<TMenuItem*>& commands) {
    for (TMenuItem* item : parent.Items()) {
        if (!item->Visible) continue;
        if (item->IsSeparator()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (item->Checked ? MF_CHECKED : 0u) | (item->Enabled ? 0u : MF_GRAYED);
        if (!item->Items().empty()) {
            HMENU sub = CreatePopupMenu();
            AppendItems(sub, *item, commands);
            AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption.c_str());
            continue;
        }
        commands.push_back(item);
        AppendMenuW(menu, flags, commands.size() - 1, item->Caption.c_str());
    }
}

}  // namespace

UniqueMenu TPopupMenu::Build(std::vector<TMenuItem*>& commands) const {
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) RaiseLastOSError(L"CreatePopupMenu");
    commands.assign(1, nullptr);  // command 0 means "nothing chosen"
    AppendItems(menu.Get(), *FItems, commands);
    return menu;
}

bool TPopupMenu::Popup(int x, int y, HWND owner) {
    if (!owner && Application) owner = Application->Handle();
    if (OnPopup) OnPopup();
    std::vector<TMenuItem*> commands;
    UniqueMenu menu = Build(commands);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    const auto chosen = static_cast<size_t>(TrackPopupMenuEx(
        menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, owner, nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    if (chosen == 0 || chosen >= commands.size()) return false;
    commands[chosen]->Click();
    return true;
}

}  // namespace tovasen
