// The colour card: the colour under the mouse, every 100 ms, and the list of picked colours.
#include <cwchar>

#include "app/frm_tovasen.h"
#include "output/clipboard.h"

namespace tovasen {
namespace {

// "RRGGBB" as a colour; black for anything that is not six hexadecimal digits.
COLORREF ColorOf(const std::wstring& text) {
    if (text.size() != 6) return RGB(0, 0, 0);
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text.c_str(), &end, 16);
    if (*end != L'\0') return RGB(0, 0, 0);
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

}  // namespace

void TFrmTovasen::TmrColorTimer() {
    POINT at{};
    GetCursorPos(&at);
    const COLORREF color = GetPixel(FCapture->DC(), at.x, at.y);
    wchar_t text[8];
    std::swprintf(text, 8, L"%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    LblColor->SetCaption(text);
    ShpColor->SetColor(color);
}

void TFrmTovasen::N5Click() {
    const int index = LstColor->ItemIndex();
    if (index >= 0) CopyTextToClipboardOrTell(LstColor->Item(index));
}

void TFrmTovasen::N7Click() {
    const int index = LstColor->ItemIndex();
    if (index >= 0) LstColor->Delete(index);
}

void TFrmTovasen::FormMouseUp() {
    POINT at{};
    GetCursorPos(&at);
    Menu->Popup(at.x, at.y, Handle());
}

void TFrmTovasen::LstColorDrawItem(const DRAWITEMSTRUCT& item, const std::wstring& text) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    UniqueBrush back(CreateSolidBrush(selected ? RGB(0x33, 0x99, 0xFF) : RGB(255, 255, 255)));
    FillRect(item.hDC, &item.rcItem, back.Get());
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    RECT clip = item.rcItem;
    ExtTextOutW(item.hDC, ScaleValue(20), item.rcItem.top, ETO_CLIPPED, &clip, text.c_str(),
                static_cast<UINT>(text.size()), nullptr);
    const RECT swatch{item.rcItem.left + ScaleValue(2), item.rcItem.top + ScaleValue(2), ScaleValue(15),
                      item.rcItem.bottom - ScaleValue(2)};
    UniqueBrush fill(CreateSolidBrush(ColorOf(text)));
    FillRect(item.hDC, &swatch, fill.Get());
    FrameRect(item.hDC, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

}  // namespace tovasen
