#include "app/colour_card.h"

#include <cwchar>

#include "base/handles.h"
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

TColourCard::TColourCard(TForm& owner, TCapture& grabber, int left, int top) : FOwner(owner), FGrabber(grabber) {
    ShpColor = new TShape(&owner, L"ShpColor");
    ShpColor->SetBounds96(left, top, 15, 15);
    LblColor = new TLabel(&owner, L"LblColor", L"FFFFFF");
    LblColor->SetBounds96(left + 23, top, 120, 17);
    LstColor = new TListBox(&owner, L"LstColor", true);
    LstColor->SetBounds96(left, top + 21, 145, 75);
    LstColor->SetFont(L"Courier New", 12);
    LstColor->SetItemHeight96(15);
    LstColor->OnDrawItem = [this](const DRAWITEMSTRUCT& item, const std::wstring& text) { DrawItem(item, text); };
    LstColor->OnRightClick = [this] {
        POINT at{};
        GetCursorPos(&at);
        Pick->Popup(at.x, at.y, FOwner.Handle());
    };
    TmrColor = new TTimer(&owner, L"TmrColor", 100);
    TmrColor->OnTimer = [this] { ShowColourUnderMouse(); };

    Pick = new TPopupMenu(&owner, L"Pick");
    new TMenuItem(&Pick->Items(), L"PopCopyColour", L"복사", [this](TMenuItem&) {
        const int index = LstColor->ItemIndex();
        if (index >= 0) CopyTextToClipboardOrTell(LstColor->Item(index));
    });
    new TMenuItem(&Pick->Items(), L"PopDeleteColour", L"삭제", [this](TMenuItem&) {
        const int index = LstColor->ItemIndex();
        if (index >= 0) LstColor->Delete(index);
    });
}

// The colour picked is the one the card shows, as the user saw it.
std::wstring TColourCard::PickColour() {
    const std::wstring colour = LblColor->Caption();
    LstColor->Insert(0, colour);
    return colour;
}

void TColourCard::ShowColourUnderMouse() {
    POINT at{};
    GetCursorPos(&at);
    const COLORREF color = GetPixel(FGrabber.DC(), at.x, at.y);
    wchar_t text[8];
    std::swprintf(text, 8, L"%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    LblColor->SetCaption(text);
    ShpColor->SetColor(color);
}

void TColourCard::DrawItem(const DRAWITEMSTRUCT& item, const std::wstring& text) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    UniqueBrush back(CreateSolidBrush(selected ? RGB(0x33, 0x99, 0xFF) : RGB(255, 255, 255)));
    FillRect(item.hDC, &item.rcItem, back.Get());
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    RECT clip = item.rcItem;
    ExtTextOutW(item.hDC, FOwner.ScaleValue(20), item.rcItem.top, ETO_CLIPPED, &clip, text.c_str(),
                static_cast<UINT>(text.size()), nullptr);
    const RECT swatch{item.rcItem.left + FOwner.ScaleValue(2), item.rcItem.top + FOwner.ScaleValue(2),
                      FOwner.ScaleValue(15), item.rcItem.bottom - FOwner.ScaleValue(2)};
    UniqueBrush fill(CreateSolidBrush(ColorOf(text)));
    FillRect(item.hDC, &swatch, fill.Get());
    FrameRect(item.hDC, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

}  // namespace tovasen
