#include "history/history_grid.h"

#include <windowsx.h>

#include <algorithm>

#include "base/dpi_scale.h"
#include "history/history_format.h"
#include "ui/form.h"
#include "ui/paint_guard.h"

namespace tovasen {
namespace {

constexpr int kCellWidth96 = 216;
constexpr int kCellHeight96 = 196;
constexpr int kThumbWidth96 = 200;
constexpr int kThumbHeight96 = 140;
constexpr int kPad96 = 8;

}  // namespace

THistoryGrid::THistoryGrid(TForm* parent, THistoryGridSource& source)
    : TWindow(parent, L"GrdHistory"), FParent(parent), FSource(source) {
    TCreateParams params;
    params.ClassName = L"TovasenHistoryGrid";
    params.Style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP;
    params.ExStyle = WS_EX_CLIENTEDGE;
    params.Parent = parent->Handle();
    params.X = params.Y = 0;
    params.Width = params.Height = 100;
    params.Background = nullptr;
    CreateHandle(params);
}

int THistoryGrid::Scale(int pixels96) const { return FParent->ScaleValue(pixels96); }
int THistoryGrid::CellWidth() const { return Scale(kCellWidth96); }
int THistoryGrid::CellHeight() const { return Scale(kCellHeight96); }

int THistoryGrid::Columns() const {
    RECT client{};
    GetClientRect(Handle(), &client);
    return std::max(1, static_cast<int>(client.right) / CellWidth());
}

int THistoryGrid::ContentHeight() const {
    const int columns = Columns();
    const auto rows = static_cast<int>((FSource.ItemCount() + static_cast<std::size_t>(columns) - 1) /
                                       static_cast<std::size_t>(columns));
    return rows * CellHeight();
}

void THistoryGrid::SetBounds(const RECT& bounds) {
    SetWindowPos(Handle(), nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateScrollBar();
}

void THistoryGrid::ItemsChanged() {
    const std::size_t count = FSource.ItemCount();
    if (FSelected != kNone && FSelected >= count) FSelected = count ? count - 1 : kNone;
    UpdateScrollBar();
    InvalidateRect(Handle(), nullptr, FALSE);
}

void THistoryGrid::UpdateScrollBar() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int page = client.bottom;
    FTop = std::clamp(FTop, 0, std::max(0, ContentHeight() - page));
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(0, ContentHeight() - 1);
    info.nPage = static_cast<UINT>(std::max(0, page));
    info.nPos = FTop;
    SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
}

void THistoryGrid::ScrollTo(int top) {
    RECT client{};
    GetClientRect(Handle(), &client);
    top = std::clamp(top, 0, std::max(0, ContentHeight() - static_cast<int>(client.bottom)));
    if (top == FTop) return;
    FTop = top;
    SetScrollPos(Handle(), SB_VERT, FTop, TRUE);
    InvalidateRect(Handle(), nullptr, FALSE);
}

RECT THistoryGrid::ItemRect(std::size_t index) const {
    const int columns = Columns();
    const int row = static_cast<int>(index / static_cast<std::size_t>(columns));
    const int column = static_cast<int>(index % static_cast<std::size_t>(columns));
    const int left = column * CellWidth(), top = row * CellHeight() - FTop;
    return RECT{left, top, left + CellWidth(), top + CellHeight()};
}

std::size_t THistoryGrid::ItemAt(POINT client) const {
    if (client.x < 0 || client.y < 0) return kNone;
    const int column = client.x / CellWidth();
    if (column >= Columns()) return kNone;
    const std::size_t index = static_cast<std::size_t>((client.y + FTop) / CellHeight()) *
                                  static_cast<std::size_t>(Columns()) + static_cast<std::size_t>(column);
    return index < FSource.ItemCount() ? index : kNone;
}

void THistoryGrid::Select(std::size_t index) {
    if (index != kNone && index >= FSource.ItemCount()) return;
    FSelected = index;
    if (index != kNone) EnsureVisible(index);
    InvalidateRect(Handle(), nullptr, FALSE);
}

void THistoryGrid::EnsureVisible(std::size_t index) {
    RECT client{};
    GetClientRect(Handle(), &client);
    const RECT item = ItemRect(index);
    if (item.top < 0) ScrollTo(FTop + item.top);
    else if (item.bottom > client.bottom) ScrollTo(FTop + item.bottom - client.bottom);
}

void THistoryGrid::Paint() {
    const TPaintGuard painting(Handle());
    HDC target = painting.Dc();
    RECT client{};
    GetClientRect(Handle(), &client);
    // Drawn off screen first: scrolling through thumbnails must not flicker.
    UniqueDC dc(CreateCompatibleDC(target));
    UniqueBitmap buffer(CreateCompatibleBitmap(target, std::max(1L, client.right), std::max(1L, client.bottom)));
    {
        ScopedSelect bitmap(dc.Get(), buffer.Get());
        ScopedSelect font(dc.Get(), FParent->Font());
        FillRect(dc.Get(), &client, GetSysColorBrush(COLOR_WINDOW));
        SetBkMode(dc.Get(), TRANSPARENT);
        SetStretchBltMode(dc.Get(), HALFTONE);
        SetBrushOrgEx(dc.Get(), 0, 0, nullptr);
        const int columns = Columns();
        const int firstRow = FTop / CellHeight();
        const int lastRow = (FTop + client.bottom) / CellHeight();
        const std::size_t count = FSource.ItemCount();
        if (count == 0 && !EmptyText.empty()) {
            SetTextColor(dc.Get(), GetSysColor(COLOR_GRAYTEXT));
            RECT middle = client;
            DrawTextW(dc.Get(), EmptyText.c_str(), -1, &middle, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
        for (int row = firstRow; row <= lastRow; ++row) {
            for (int column = 0; column < columns; ++column) {
                const std::size_t index = static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                                          static_cast<std::size_t>(column);
                if (index >= count) break;
                PaintItem(dc.Get(), index, ItemRect(index));
            }
        }
        BitBlt(target, 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
    }
}

void THistoryGrid::PaintItem(HDC dc, std::size_t index, const RECT& cell) {
    const THistoryEntry& entry = FSource.ItemEntry(index);
    const bool selected = index == FSelected;
    const int pad = Scale(kPad96);
    RECT inner{cell.left + pad / 2, cell.top + pad / 2, cell.right - pad / 2, cell.bottom - pad / 2};
    if (selected) FillRect(dc, &inner, GetSysColorBrush(GetFocus() == Handle() ? COLOR_HIGHLIGHT : COLOR_BTNFACE));

    const int boxWidth = Scale(kThumbWidth96), boxHeight = Scale(kThumbHeight96);
    const RECT box{cell.left + (CellWidth() - boxWidth) / 2, cell.top + pad, cell.left + (CellWidth() + boxWidth) / 2,
                   cell.top + pad + boxHeight};
    if (const TPixels* thumbnail = FSource.ItemThumbnail(index); thumbnail && !thumbnail->Empty()) {
        // Fitted into the box, never enlarged beyond twice its size.
        const double scale = std::min({static_cast<double>(boxWidth) / thumbnail->Width,
                                       static_cast<double>(boxHeight) / thumbnail->Height, 2.0});
        const int w = std::max(1, static_cast<int>(thumbnail->Width * scale));
        const int h = std::max(1, static_cast<int>(thumbnail->Height * scale));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = thumbnail->Width;
        info.bmiHeader.biHeight = -thumbnail->Height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(thumbnail->BytesPerPixel * 8);
        info.bmiHeader.biCompression = BI_RGB;
        StretchDIBits(dc, box.left + (boxWidth - w) / 2, box.top + (boxHeight - h) / 2, w, h, 0, 0, thumbnail->Width,
                      thumbnail->Height, thumbnail->Bytes.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    } else {
        // No picture (a recording, a text): the kind of file, large.
        FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        std::wstring kind = entry.Target;
        for (wchar_t& c : kind) c = static_cast<wchar_t>(towupper(c));
        RECT text = box;
        DrawTextW(dc, kind.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

    SetTextColor(dc, GetSysColor(selected && GetFocus() == Handle() ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const int line = Scale(17);
    RECT title{inner.left + pad / 2, box.bottom + pad / 2, inner.right - pad / 2, box.bottom + pad / 2 + line};
    const std::wstring name = entry.WindowTitle.empty() ? FileNameOf(entry.Path) : entry.WindowTitle;
    DrawTextW(dc, name.c_str(), -1, &title, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    RECT when = title;
    OffsetRect(&when, 0, line);
    const std::wstring detail = DisplayTime(entry.TimeUtcMs, entry.UtcOffsetMinutes) + L"  " + entry.Target;
    DrawTextW(dc, detail.c_str(), -1, &when, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void THistoryGrid::RequestMenu(std::size_t index, POINT screen) {
    if (index == kNone) return;
    Select(index);
    if (OnMenu) OnMenu(index, screen);
}

void THistoryGrid::KeyDown(WPARAM key) {
    const std::size_t count = FSource.ItemCount();
    if (count == 0) return;
    const auto columns = static_cast<std::ptrdiff_t>(Columns());
    RECT client{};
    GetClientRect(Handle(), &client);
    const auto pageItems = columns * std::max<std::ptrdiff_t>(1, client.bottom / CellHeight());
    const auto current = static_cast<std::ptrdiff_t>(FSelected == kNone ? 0 : FSelected);
    std::ptrdiff_t next = current;
    switch (key) {
    case VK_LEFT: next = current - 1; break;
    case VK_RIGHT: next = current + 1; break;
    case VK_UP: next = current - columns; break;
    case VK_DOWN: next = current + columns; break;
    case VK_PRIOR: next = current - pageItems; break;
    case VK_NEXT: next = current + pageItems; break;
    case VK_HOME: next = 0; break;
    case VK_END: next = static_cast<std::ptrdiff_t>(count) - 1; break;
    case VK_RETURN:
        if (FSelected != kNone && OnOpen) OnOpen(FSelected);
        return;
    case VK_DELETE:
        if (FSelected != kNone && OnDelete) OnDelete(FSelected);
        return;
    case 'C':
        if (GetKeyState(VK_CONTROL) < 0 && FSelected != kNone && OnCopy) OnCopy(FSelected);
        return;
    default:
        return;
    }
    Select(static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(next, 0, static_cast<std::ptrdiff_t>(count) - 1)));
}

LRESULT THistoryGrid::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        UpdateScrollBar();
        InvalidateRect(Handle(), nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(Handle(), nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE: {
        // Arrows move the selection; Enter opens rather than pressing a default button.
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    }
    case WM_VSCROLL: {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        GetScrollInfo(Handle(), SB_VERT, &info);
        int top = FTop;
        switch (LOWORD(wParam)) {
        case SB_LINEUP: top -= CellHeight() / 4; break;
        case SB_LINEDOWN: top += CellHeight() / 4; break;
        case SB_PAGEUP: top -= static_cast<int>(info.nPage); break;
        case SB_PAGEDOWN: top += static_cast<int>(info.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = info.nTrackPos; break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = ContentHeight(); break;
        default: break;
        }
        ScrollTo(top);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        FWheel += GET_WHEEL_DELTA_WPARAM(wParam);
        const int steps = FWheel / WHEEL_DELTA;
        FWheel -= steps * WHEEL_DELTA;
        ScrollTo(FTop - steps * CellHeight() / 2);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        SetFocus(Handle());
        const std::size_t index = ItemAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (index != kNone) Select(index);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        const std::size_t index = ItemAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (index != kNone && OnOpen) OnOpen(index);
        return 0;
    }
    case WM_RBUTTONUP: {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const std::size_t index = ItemAt(point);
        ClientToScreen(Handle(), &point);
        RequestMenu(index, point);
        return 0;
    }
    case WM_KEYDOWN:
        KeyDown(wParam);
        return 0;
    case WM_CONTEXTMENU: {
        // From the keyboard (the menu key, Shift+F10); the right button was handled on its way up.
        if (lParam != -1 || FSelected == kNone) return 0;
        const RECT item = ItemRect(FSelected);
        POINT screen{item.left + CellWidth() / 2, item.top + CellHeight() / 2};
        ClientToScreen(Handle(), &screen);
        RequestMenu(FSelected, screen);
        return 0;
    }
    default:
        return TWindow::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
