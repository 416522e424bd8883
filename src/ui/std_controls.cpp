#include "ui/std_controls.h"

#include "ui/fonts.h"
#include "ui/form.h"
#include "ui/paint_guard.h"

namespace tovasen {
namespace {

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

UniqueFont MakeFont(const TForm& form, const wchar_t* face, int height96, bool bold) {
    return NewFont(form.ScaleValue(height96), bold ? FW_BOLD : FW_NORMAL, face);
}

std::wstring ListItemText(HWND hwnd, UINT lengthMessage, UINT textMessage, UINT index) {
    const auto length = SendMessageW(hwnd, lengthMessage, index, 0);
    if (length < 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto n = SendMessageW(hwnd, textMessage, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return text;
}

}  // namespace

// --- TLabel ---

TLabel::TLabel(TForm* parent, std::wstring name, const std::wstring& caption, DWORD align)
    : TControl(parent, std::move(name)) {
    CreateControl(L"STATIC", caption, align | SS_NOPREFIX | SS_NOTIFY);
}

std::wstring TLabel::Caption() const { return WindowText(Handle()); }

void TLabel::SetCaption(const std::wstring& caption) {
    SetWindowTextW(Handle(), caption.c_str());
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TLabel::SetFontColor(COLORREF color) {
    FFontColor = color;
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TLabel::SetBackground(COLORREF color) {
    FBackground = color;
    FBrush.Reset(color == CLR_INVALID ? nullptr : CreateSolidBrush(color));
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TLabel::SetFont(const wchar_t* face, int height96, bool bold) {
    FFontFace = face;
    FFontHeight96 = height96;
    FFontBold = bold;
    FFont = MakeFont(*Parent(), face, height96, bold);
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);
}

void TLabel::ApplyDpi() {
    TControl::ApplyDpi();
    if (FFont) SetFont(FFontFace.c_str(), FFontHeight96, FFontBold);
}

void TLabel::CNCommand(WORD code) {
    if (code == STN_CLICKED && OnClick) OnClick();
}

HBRUSH TLabel::CNCtlColor(HDC dc) {
    if (FFontColor == CLR_INVALID && !FBrush) return nullptr;
    if (FFontColor != CLR_INVALID) SetTextColor(dc, FFontColor);
    SetBkMode(dc, TRANSPARENT);
    return FBrush ? FBrush.Get()
                  : reinterpret_cast<HBRUSH>(GetClassLongPtrW(Parent()->Handle(), GCLP_HBRBACKGROUND));
}

// --- Buttons ---

TButton::TButton(TForm* parent, std::wstring name, const std::wstring& caption, DWORD style)
    : TControl(parent, std::move(name)) {
    CreateControl(L"BUTTON", caption, style | (style == BS_GROUPBOX ? 0u : static_cast<DWORD>(WS_TABSTOP)));
}

std::wstring TButton::Caption() const { return WindowText(Handle()); }
void TButton::SetCaption(const std::wstring& caption) { SetWindowTextW(Handle(), caption.c_str()); }

void TButton::CNCommand(WORD code) {
    if (code == BN_CLICKED && OnClick) OnClick();
}

TCheckBox::TCheckBox(TForm* parent, std::wstring name, const std::wstring& caption)
    : TButton(parent, std::move(name), caption, BS_AUTOCHECKBOX) {}

bool TCheckBox::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool checked) {
    SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

TGroupBox::TGroupBox(TForm* parent, std::wstring name, const std::wstring& caption)
    : TButton(parent, std::move(name), caption, BS_GROUPBOX) {}

// --- TEdit ---

TEdit::TEdit(TForm* parent, std::wstring name, const std::wstring& text, DWORD style)
    : TControl(parent, std::move(name)) {
    CreateControl(L"EDIT", text, style | WS_TABSTOP, WS_EX_CLIENTEDGE);
}

std::wstring TEdit::Text() const { return WindowText(Handle()); }

void TEdit::SetText(const std::wstring& text) {
    FSettingText = true;
    SetWindowTextW(Handle(), text.c_str());
    FSettingText = false;
}

void TEdit::SelectAll() { SendMessageW(Handle(), EM_SETSEL, 0, -1); }

void TEdit::CNCommand(WORD code) {
    if (code == EN_CHANGE && !FSettingText && OnChange) OnChange();
}

LRESULT TEdit::ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN && OnKeyDown) {
        FSwallowChar = OnKeyDown(static_cast<WORD>(wParam));
        if (FSwallowChar) return 0;
    }
    if (msg == WM_CHAR && FSwallowChar) {
        FSwallowChar = false;
        return 0;
    }
    return TControl::ControlProc(msg, wParam, lParam);
}

// --- Lists ---

void DrawListItem(const DRAWITEMSTRUCT& item, const std::wstring& text) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    TextOutW(item.hDC, item.rcItem.left + 1, item.rcItem.top + 1, text.c_str(), static_cast<int>(text.size()));
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

TComboBox::TComboBox(TForm* parent, std::wstring name, bool ownerDraw) : TControl(parent, std::move(name)) {
    CreateControl(L"COMBOBOX", L"",
                  CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | (ownerDraw ? CBS_OWNERDRAWFIXED | CBS_HASSTRINGS : 0u));
}

std::vector<std::wstring> TComboBox::Items() const {
    std::vector<std::wstring> items;
    const auto count = SendMessageW(Handle(), CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        items.push_back(ListItemText(Handle(), CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<UINT>(i)));
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

std::wstring TComboBox::Text() const {
    const int index = ItemIndex();
    return index < 0 ? std::wstring() : ListItemText(Handle(), CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<UINT>(index));
}

void TComboBox::TranslateItems(const std::function<std::wstring(const std::wstring&)>& translate) {
    const int index = ItemIndex();
    const std::vector<std::wstring> shown = Items();
    std::vector<std::wstring> items = shown;
    for (std::wstring& item : items) item = translate(item);
    // Numbers, names and lists already in the language: filling them again only costs time.
    if (items == shown) return;
    SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
    SetItems(items);
    SetItemIndex(index);
    SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TComboBox::SetHeight96(int height) {
    // The closed box is its selection field plus a border whose size the system decides:
    // set the field, see what the box became, and correct by the difference once.
    FHeight96 = height;
    const int wanted = Parent()->ScaleValue(height);
    int field = wanted - 6;
    SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    RECT rect{};
    GetWindowRect(Handle(), &rect);
    field += wanted - (rect.bottom - rect.top);
    SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, field);
}

void TComboBox::ApplyDpi() {
    TControl::ApplyDpi();
    if (FHeight96) SetHeight96(FHeight96);
}

void TComboBox::CNCommand(WORD code) {
    if (code == CBN_SELCHANGE && OnChange) OnChange();
}

void TComboBox::CNDrawItem(const DRAWITEMSTRUCT& item) {
    const std::wstring text =
        item.itemID == static_cast<UINT>(-1) ? std::wstring() : ListItemText(Handle(), CB_GETLBTEXTLEN, CB_GETLBTEXT, item.itemID);
    if (OnDrawItem) OnDrawItem(item, text);
    else DrawListItem(item, text);
}

TListBox::TListBox(TForm* parent, std::wstring name, bool ownerDraw) : TControl(parent, std::move(name)) {
    CreateControl(L"LISTBOX", L"",
                  LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP |
                      (ownerDraw ? LBS_OWNERDRAWFIXED | LBS_HASSTRINGS : 0u),
                  WS_EX_CLIENTEDGE);
}

int TListBox::Count() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCOUNT, 0, 0)); }

std::wstring TListBox::Item(int index) const {
    return ListItemText(Handle(), LB_GETTEXTLEN, LB_GETTEXT, static_cast<UINT>(index));
}

void TListBox::Insert(int index, const std::wstring& item) {
    SendMessageW(Handle(), LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.c_str()));
}

void TListBox::Delete(int index) { SendMessageW(Handle(), LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

int TListBox::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0)); }

void TListBox::SetItemIndex(int index) { SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void TListBox::SetItemHeight96(int height) {
    FItemHeight96 = height;
    SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, Parent()->ScaleValue(height));
}

void TListBox::ApplyDpi() {
    TControl::ApplyDpi();
    if (FFont) SetFont(FFontFace.c_str(), FFontHeight96);
    if (FItemHeight96) SetItemHeight96(FItemHeight96);
}

void TListBox::SetFont(const wchar_t* face, int height96) {
    FFontFace = face;
    FFontHeight96 = height96;
    FFont = MakeFont(*Parent(), face, height96, false);
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);
}

void TListBox::CNDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) return;
    const std::wstring text = Item(static_cast<int>(item.itemID));
    if (OnDrawItem) OnDrawItem(item, text);
    else DrawListItem(item, text);
}

// --- TShape ---

TShape::TShape(TForm* parent, std::wstring name, Kind kind) : TControl(parent, std::move(name)), FKind(kind) {
    CreateControl(L"STATIC", L"", SS_NOTIFY);
}

void TShape::SetColor(COLORREF color) {
    if (color == FColor) return;
    FColor = color;
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TShape::SetPenColor(COLORREF color) {
    FPen = color;
    InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT TShape::ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) return TRUE;
    if (msg != WM_PAINT) return TControl::ControlProc(msg, wParam, lParam);
    const TPaintGuard painting(Handle());
    HDC dc = painting.Dc();
    RECT rect;
    GetClientRect(Handle(), &rect);
    FillRect(dc, &rect, reinterpret_cast<HBRUSH>(GetClassLongPtrW(Parent()->Handle(), GCLP_HBRBACKGROUND)));
    UniqueBrush fill(CreateSolidBrush(FColor));
    UniqueHandle<NullTraits<HPEN, CloseGdiObject>> pen(CreatePen(PS_SOLID, 1, FPen));
    {
        ScopedSelect brush(dc, fill.Get());
        ScopedSelect outline(dc, pen.Get());
        if (FKind == Kind::Ellipse) Ellipse(dc, rect.left, rect.top, rect.right, rect.bottom);
        else Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    }
    return 0;
}

}  // namespace tovasen
