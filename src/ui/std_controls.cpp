#include "ui/std_controls.h"

namespace tovasen {
namespace {

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

TLabel::TLabel(TForm* parent, std::wstring name, const std::wstring& caption) : TControl(parent, std::move(name)) {
    CreateControl(L"STATIC", caption, SS_LEFT | SS_NOPREFIX | SS_NOTIFY);
}

std::wstring TLabel::Caption() const { return WindowText(Handle()); }
void TLabel::SetCaption(const std::wstring& caption) { SetWindowTextW(Handle(), caption.c_str()); }

TButton::TButton(TForm* parent, std::wstring name, const std::wstring& caption) : TControl(parent, std::move(name)) {
    CreateControl(L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP);
}

std::wstring TButton::Caption() const { return WindowText(Handle()); }
void TButton::SetCaption(const std::wstring& caption) { SetWindowTextW(Handle(), caption.c_str()); }

void TButton::CNCommand(WORD code) {
    if (code == BN_CLICKED && OnClick) OnClick();
}

TComboBox::TComboBox(TForm* parent, std::wstring name, DWORD extraStyle) : TControl(parent, std::move(name)) {
    CreateControl(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | extraStyle);
}

std::vector<std::wstring> TComboBox::Items() const {
    std::vector<std::wstring> items;
    const auto count = SendMessageW(Handle(), CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)) + 1,
                          L'\0');
        const auto n = SendMessageW(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
        items.push_back(std::move(text));
    }
    return items;
}

void TComboBox::SetItems(const std::vector<std::wstring>& items) {
    SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : items) AddItem(item);
}

void TComboBox::AddItem(const std::wstring& item) {
    SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int TComboBox::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0)); }

void TComboBox::SetItemIndex(int index) { SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void TComboBox::TranslateItems(const std::function<std::wstring(const std::wstring&)>& translate) {
    const int index = ItemIndex();
    std::vector<std::wstring> items = Items();
    for (std::wstring& item : items) item = translate(item);
    SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
    SetItems(items);
    SetItemIndex(index);
    SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TComboBox::CNCommand(WORD code) {
    if (code == CBN_SELCHANGE && OnChange) OnChange();
}

}  // namespace tovasen

namespace tovasen {

TListBox::TListBox(TForm* parent, std::wstring name, DWORD extraStyle) : TControl(parent, std::move(name)) {
    CreateControl(L"LISTBOX", L"", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP | extraStyle,
                  WS_EX_CLIENTEDGE);
}

int TListBox::Count() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCOUNT, 0, 0)); }

std::wstring TListBox::Item(int index) const {
    const auto length = SendMessageW(Handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(Handle(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

void TListBox::Insert(int index, const std::wstring& item) {
    SendMessageW(Handle(), LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.c_str()));
}

void TListBox::Delete(int index) { SendMessageW(Handle(), LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

int TListBox::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0)); }

void TListBox::SetItemIndex(int index) { SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

TShape::TShape(TForm* parent, std::wstring name) : TControl(parent, std::move(name)) {
    CreateControl(L"STATIC", L"", SS_NOTIFY);
}

void TShape::SetColor(COLORREF color) {
    if (color == FColor) return;
    FColor = color;
    InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT TShape::ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return TControl::ControlProc(msg, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    RECT rect;
    GetClientRect(Handle(), &rect);
    UniqueBrush fill(CreateSolidBrush(FColor));
    FillRect(dc, &rect, fill.Get());
    FrameRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(Handle(), &paint);
    return 0;
}

}  // namespace tovasen
