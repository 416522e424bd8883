#include "editor/editor_toolbar.h"

#include <commctrl.h>
#include <objidl.h>
// objidl.h first: GDI+ needs IStream.
#include <gdiplus.h>

#include <array>
#include <cmath>

#include "base/dpi_scale.h"
#include "editor/gdiplus_painter.h"
#include "i18n/translation.h"
#include "ui/fonts.h"
#include "ui/paint_guard.h"

namespace tovasen {
namespace {

using namespace Gdiplus;

constexpr int kButton96 = 32, kGap96 = 10, kPad96 = 4, kIcon96 = 20, kTextButton96 = 96;

std::wstring WithKey(const wchar_t* korean, const std::wstring& key) { return Translate(korean) + L" (" + key + L")"; }

Color Rgb(std::uint32_t rgb, BYTE alpha = 255) {
    return Color(alpha, static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
}

// One icon in box (s: its side), in ink; shapes only, so it scales with the DPI.
void PaintIcon(Graphics& g, TToolbarCommand command, TTool tool, const RectF& box, const Color& ink,
               const TToolStyle& style) {
    const REAL s = box.Width, x = box.X, y = box.Y, w = std::max<REAL>(1.5f, s / 12);
    Pen pen(ink, w);
    pen.SetLineJoin(LineJoinRound);
    pen.SetStartCap(LineCapRound);
    pen.SetEndCap(LineCapRound);
    const SolidBrush brush(ink);
    auto at = [&](REAL fx, REAL fy) { return PointF(x + fx * s, y + fy * s); };
    switch (command) {
    case TToolbarCommand::Color: {
        const SolidBrush swatch(Rgb(style.Color));
        g.FillRectangle(&swatch, x + s * 0.1f, y + s * 0.1f, s * 0.8f, s * 0.8f);
        g.DrawRectangle(&pen, x + s * 0.1f, y + s * 0.1f, s * 0.8f, s * 0.8f);
        return;
    }
    case TToolbarCommand::Size: {
        Pen sample(ink, std::min<REAL>(static_cast<REAL>(style.Size), s * 0.3f));
        g.DrawLine(&sample, at(0.1f, 0.3f), at(0.9f, 0.3f));
        const FontFamily family(TextFaceName().c_str());
        const Font font(&family, s * 0.45f, FontStyleRegular, UnitPixel);
        StringFormat centred;
        centred.SetAlignment(StringAlignmentCenter);
        const std::wstring n = std::to_wstring(style.Size);
        g.DrawString(n.c_str(), static_cast<INT>(n.size()), &font, RectF(x - s * 0.2f, y + s * 0.45f, s * 1.4f, s * 0.6f),
                     &centred, &brush);
        return;
    }
    case TToolbarCommand::Undo:
    case TToolbarCommand::Redo: {
        const bool undo = command == TToolbarCommand::Undo;
        g.DrawArc(&pen, x + s * 0.15f, y + s * 0.25f, s * 0.7f, s * 0.6f, undo ? 180.0f : 0.0f, undo ? 220.0f : -220.0f);
        const REAL tipX = undo ? 0.15f : 0.85f, dir = undo ? 1.0f : -1.0f;
        const PointF head[3] = {at(tipX - dir * 0.12f, 0.42f), at(tipX, 0.58f), at(tipX + dir * 0.14f, 0.44f)};
        g.FillPolygon(&brush, head, 3);
        return;
    }
    case TToolbarCommand::FindSecrets: {
        // A bar of blackout under a magnifying glass.
        g.FillRectangle(&brush, x + s * 0.05f, y + s * 0.62f, s * 0.55f, s * 0.2f);
        g.DrawEllipse(&pen, x + s * 0.35f, y + s * 0.08f, s * 0.45f, s * 0.45f);
        g.DrawLine(&pen, at(0.42f, 0.46f), at(0.22f, 0.66f));
        return;
    }
    case TToolbarCommand::Copy:
        g.DrawRectangle(&pen, x + s * 0.12f, y + s * 0.1f, s * 0.5f, s * 0.6f);
        g.DrawRectangle(&pen, x + s * 0.38f, y + s * 0.3f, s * 0.5f, s * 0.6f);
        return;
    case TToolbarCommand::Save:
    case TToolbarCommand::Done:
        if (command == TToolbarCommand::Done) {
            const PointF tick[3] = {at(0.1f, 0.55f), at(0.38f, 0.82f), at(0.9f, 0.2f)};
            g.DrawLines(&pen, tick, 3);
        } else {
            g.DrawLine(&pen, at(0.5f, 0.1f), at(0.5f, 0.6f));
            const PointF head[3] = {at(0.3f, 0.42f), at(0.5f, 0.65f), at(0.7f, 0.42f)};
            g.DrawLines(&pen, head, 3);
            const PointF tray[4] = {at(0.1f, 0.62f), at(0.1f, 0.88f), at(0.9f, 0.88f), at(0.9f, 0.62f)};
            g.DrawLines(&pen, tray, 4);
        }
        return;
    case TToolbarCommand::Tool:
        break;
    }
    switch (tool) {
    case TTool::Select: {
        const PointF cursor[7] = {at(0.25f, 0.05f), at(0.25f, 0.8f), at(0.43f, 0.62f), at(0.56f, 0.92f),
                                  at(0.68f, 0.86f), at(0.56f, 0.57f), at(0.8f, 0.57f)};
        g.FillPolygon(&brush, cursor, 7);
        break;
    }
    case TTool::Rectangle:
        g.DrawRectangle(&pen, x + s * 0.1f, y + s * 0.22f, s * 0.8f, s * 0.56f);
        break;
    case TTool::Ellipse:
        g.DrawEllipse(&pen, x + s * 0.08f, y + s * 0.2f, s * 0.84f, s * 0.6f);
        break;
    case TTool::Arrow: {
        g.DrawLine(&pen, at(0.12f, 0.88f), at(0.72f, 0.28f));
        const PointF head[3] = {at(0.9f, 0.1f), at(0.5f, 0.22f), at(0.78f, 0.5f)};
        g.FillPolygon(&brush, head, 3);
        break;
    }
    case TTool::Line:
        g.DrawLine(&pen, at(0.12f, 0.88f), at(0.88f, 0.12f));
        break;
    case TTool::Pen:
        g.DrawBezier(&pen, at(0.08f, 0.75f), at(0.35f, 0.0f), at(0.55f, 1.0f), at(0.92f, 0.25f));
        break;
    case TTool::Highlighter: {
        Pen marker(Rgb(0xF0C000, 200), s * 0.28f);
        marker.SetStartCap(LineCapFlat);
        g.DrawLine(&marker, at(0.1f, 0.55f), at(0.9f, 0.55f));
        g.DrawLine(&pen, at(0.1f, 0.82f), at(0.9f, 0.82f));
        break;
    }
    case TTool::Text:
        g.DrawLine(&pen, at(0.18f, 0.15f), at(0.82f, 0.15f));
        g.DrawLine(&pen, at(0.5f, 0.15f), at(0.5f, 0.88f));
        g.DrawLine(&pen, at(0.36f, 0.88f), at(0.64f, 0.88f));
        break;
    case TTool::Step: {
        g.FillEllipse(&brush, x + s * 0.08f, y + s * 0.08f, s * 0.84f, s * 0.84f);
        Pen figure(Color(255, 255, 255, 255), w);
        g.DrawLine(&figure, at(0.42f, 0.32f), at(0.52f, 0.25f));
        g.DrawLine(&figure, at(0.52f, 0.25f), at(0.52f, 0.75f));
        break;
    }
    case TTool::Pixelate:
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const SolidBrush cell((i + j) % 2 ? Color(255, 200, 200, 200) : ink);
                const REAL fi = static_cast<REAL>(i), fj = static_cast<REAL>(j);
                g.FillRectangle(&cell, x + s * (0.08f + 0.28f * fi), y + s * (0.08f + 0.28f * fj), s * 0.28f, s * 0.28f);
            }
        }
        break;
    case TTool::Blackout:
        g.FillRectangle(&brush, x + s * 0.08f, y + s * 0.28f, s * 0.84f, s * 0.44f);
        break;
    case TTool::Crop:
        g.DrawLines(&pen, std::array<PointF, 3>{at(0.28f, 0.05f), at(0.28f, 0.72f), at(0.95f, 0.72f)}.data(), 3);
        g.DrawLines(&pen, std::array<PointF, 3>{at(0.05f, 0.28f), at(0.72f, 0.28f), at(0.72f, 0.95f)}.data(), 3);
        break;
    }
}

}  // namespace

TEditorToolbar::TEditorToolbar(TComponent* owner, HWND parent, bool withDone) : TWindow(owner, L"Toolbar") {
    for (const TToolInfo& info : EditorTools()) {
        FButtons.push_back({TToolbarCommand::Tool, info.Tool, WithKey(info.Name, std::wstring(1, info.Key)), {}, {}, false});
    }
    FButtons.push_back({TToolbarCommand::FindSecrets, TTool::Select, WithKey(L"비밀 정보 찾기", L"S"), {}, {}, true});
    FButtons.push_back({TToolbarCommand::Color, TTool::Select, Translate(L"색상"), {}, {}, true});
    FButtons.push_back({TToolbarCommand::Size, TTool::Select, WithKey(L"굵기", L"[ ]"), {}, {}, false});
    FButtons.push_back({TToolbarCommand::Undo, TTool::Select, WithKey(L"실행 취소", L"Ctrl+Z"), {}, {}, true});
    FButtons.push_back({TToolbarCommand::Redo, TTool::Select, WithKey(L"다시 실행", L"Ctrl+Y"), {}, {}, false});
    FButtons.push_back({TToolbarCommand::Copy, TTool::Select, WithKey(L"복사", L"Ctrl+C"), {}, {}, true});
    if (withDone) {
        FButtons.push_back({TToolbarCommand::Done, TTool::Select, WithKey(L"완료", L"Ctrl+Enter"), Translate(L"완료"), {}, true});
    } else {
        FButtons.push_back({TToolbarCommand::Save, TTool::Select, WithKey(L"저장", L"Ctrl+S"), Translate(L"저장"), {}, true});
    }

    TCreateParams params;
    params.ClassName = kClassName;
    params.Style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    params.Parent = parent;
    params.X = params.Y = 0;
    params.Width = params.Height = 1;
    params.ClassStyle = 0;
    CreateHandle(params);

    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    FTips.Reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                GetModuleHandleW(nullptr), nullptr));
    for (std::size_t i = 0; i < FButtons.size() && FTips; ++i) {
        TTTOOLINFOW tip{};
        tip.cbSize = sizeof(tip);
        tip.uFlags = TTF_SUBCLASS;
        tip.hwnd = Handle();
        tip.uId = i;
        tip.lpszText = FButtons[i].Tip.data();
        SendMessageW(FTips.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tip));
    }
}

TEditorToolbar::~TEditorToolbar() { FTips.Reset(); }

int TEditorToolbar::Layout(int dpi) {
    FDpi = dpi;
    const int button = ScaleToDpi(kButton96, dpi), gap = ScaleToDpi(kGap96, dpi), pad = ScaleToDpi(kPad96, dpi);
    int x = pad;
    for (std::size_t i = 0; i < FButtons.size(); ++i) {
        TButton& b = FButtons[i];
        if (b.Gap) x += gap;
        const int width = b.Label.empty() ? button : ScaleToDpi(kTextButton96, dpi);
        b.Bounds = RECT{x, pad, x + width, pad + button};
        x += width + 1;
        if (FTips) {
            TTTOOLINFOW tip{};
            tip.cbSize = sizeof(tip);
            tip.hwnd = Handle();
            tip.uId = i;
            tip.rect = b.Bounds;
            SendMessageW(FTips.Get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tip));
        }
    }
    FFont = NewFont(ScaleToDpi(12, dpi), FW_SEMIBOLD);
    FHeight = button + 2 * pad;
    InvalidateRect(Handle(), nullptr, TRUE);
    return FHeight;
}

void TEditorToolbar::SetState(TTool tool, const TToolStyle& style, bool canUndo, bool canRedo, bool selection) {
    if (tool == FTool && style == FStyle && canUndo == FCanUndo && canRedo == FCanRedo && selection == FSelection) return;
    FSelection = selection;
    FTool = tool;
    FStyle = style;
    FCanUndo = canUndo;
    FCanRedo = canRedo;
    InvalidateRect(Handle(), nullptr, FALSE);
}

const TEditorToolbar::TButton* TEditorToolbar::Find(TToolbarCommand command, TTool tool) const {
    for (const TButton& b : FButtons) {
        if (b.Command == command && (command != TToolbarCommand::Tool || b.Tool == tool)) return &b;
    }
    return nullptr;
}

RECT TEditorToolbar::ButtonRect(TToolbarCommand command, TTool tool) const {
    const TButton* b = Find(command, tool);
    return b ? b->Bounds : RECT{};
}

std::wstring TEditorToolbar::ButtonTip(TToolbarCommand command, TTool tool) const {
    const TButton* b = Find(command, tool);
    return b ? b->Tip : std::wstring();
}

int TEditorToolbar::ButtonAt(POINT p) const {
    for (std::size_t i = 0; i < FButtons.size(); ++i) {
        if (PtInRect(&FButtons[i].Bounds, p)) return static_cast<int>(i);
    }
    return -1;
}

bool TEditorToolbar::Enabled(const TButton& b) const {
    switch (b.Command) {
    case TToolbarCommand::Undo:
        return FCanUndo;
    case TToolbarCommand::Redo:
        return FCanRedo;
    case TToolbarCommand::Color:
        return ToolHasColor(FTool) || FSelection;
    case TToolbarCommand::Size:
        return ToolHasSize(FTool) || FSelection;
    default:
        return true;
    }
}

void TEditorToolbar::SetHot(int index) {
    if (index == FHot) return;
    for (int i : {FHot, index}) {
        if (i >= 0) InvalidateRect(Handle(), &FButtons[static_cast<std::size_t>(i)].Bounds, FALSE);
    }
    FHot = index;
}

void TEditorToolbar::Paint() {
    const TPaintGuard painting(Handle());
    HDC dc = painting.Dc();
    if (!dc) return;
    RECT client;
    GetClientRect(Handle(), &client);
    // Drawn off screen first: the row never flickers while buttons light up.
    const UniqueDC memory(CreateCompatibleDC(dc));
    const UniqueBitmap surface(CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)));
    {
        const ScopedSelect selectSurface(memory.Get(), surface.Get());
        FillRect(memory.Get(), &client, GetSysColorBrush(COLOR_BTNFACE));
        Graphics g(memory.Get());
        g.SetSmoothingMode(SmoothingModeAntiAlias);
        g.SetPixelOffsetMode(PixelOffsetModeHalf);
        g.SetTextRenderingHint(TextRenderingHintAntiAlias);
        const COLORREF text = GetSysColor(COLOR_BTNTEXT), grey = GetSysColor(COLOR_GRAYTEXT);
        const int icon = ScaleToDpi(kIcon96, FDpi);
        for (std::size_t i = 0; i < FButtons.size(); ++i) {
            const TButton& b = FButtons[i];
            const bool enabled = Enabled(b);
            const bool chosen = b.Command == TToolbarCommand::Tool && b.Tool == FTool;
            const bool hot = static_cast<int>(i) == FHot && enabled;
            const bool primary = b.Command == TToolbarCommand::Done || b.Command == TToolbarCommand::Save;
            const RECT& r = b.Bounds;
            if (chosen || hot || primary) {
                const Color back = primary ? (hot ? Color(255, 0, 90, 170) : Color(255, 0, 110, 200))
                                           : chosen ? Color(255, 204, 228, 247) : Color(255, 229, 241, 251);
                const SolidBrush fill(back);
                g.FillRectangle(&fill, static_cast<INT>(r.left), static_cast<INT>(r.top), static_cast<INT>(r.right - r.left),
                                static_cast<INT>(r.bottom - r.top));
                if (chosen) {
                    const Pen edge(Color(255, 0, 120, 215), 1.0f);
                    g.DrawRectangle(&edge, static_cast<INT>(r.left), static_cast<INT>(r.top),
                                    static_cast<INT>(r.right - r.left - 1), static_cast<INT>(r.bottom - r.top - 1));
                }
            }
            const COLORREF c = primary ? RGB(255, 255, 255) : enabled ? text : grey;
            const Color ink(255, GetRValue(c), GetGValue(c), GetBValue(c));
            const int iconLeft = b.Label.empty() ? (r.left + r.right - icon) / 2 : r.left + (r.bottom - r.top - icon) / 2;
            PaintIcon(g, b.Command, b.Tool,
                      RectF(static_cast<REAL>(iconLeft), static_cast<REAL>((r.top + r.bottom - icon) / 2),
                            static_cast<REAL>(icon), static_cast<REAL>(icon)),
                      ink, FStyle);
            if (!b.Label.empty()) {
                const ScopedSelect selectFont(memory.Get(), FFont.Get());
                SetBkMode(memory.Get(), TRANSPARENT);
                SetTextColor(memory.Get(), c);
                RECT label{iconLeft + icon, r.top, r.right, r.bottom};
                DrawTextW(memory.Get(), b.Label.c_str(), static_cast<int>(b.Label.size()), &label,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
        }
        const RECT& dirty = painting.Dirty();
        BitBlt(dc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, memory.Get(), dirty.left,
               dirty.top, SRCCOPY);
    }
}

LRESULT TEditorToolbar::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&track);
        SetHot(ButtonAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}));
        return 0;
    }
    case WM_MOUSELEAVE:
        SetHot(-1);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const int index = ButtonAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        if (index < 0) return 0;
        const TButton& b = FButtons[static_cast<std::size_t>(index)];
        if (Enabled(b) && OnCommand) {
            const auto onCommand = OnCommand;  // the command may close the editor
            onCommand(b.Command, b.Tool);
        }
        return 0;
    }
    default:
        return TWindow::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
