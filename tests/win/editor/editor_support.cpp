#include "editor_support.h"

#include <string>

#include "support/wait.h"

namespace tovasen::test {

std::uint32_t SourcePixel(int x, int y) {
    return 0xFF000000u | (static_cast<std::uint32_t>((x * 7 + y) % 256) << 16) |
           (static_cast<std::uint32_t>((y * 13 + x * 2) % 256) << 8) | static_cast<std::uint32_t>((x * 3 + y * 5) % 256);
}

std::unique_ptr<TBitmap> SourceBitmap(int w, int h) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < w; ++x) row[x] = SourcePixel(x, y);
    }
    return bitmap;
}

TPixelBuffer SourcePixels(int w, int h) {
    TPixelBuffer pixels(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) pixels.At(x, y) = SourcePixel(x, y);
    }
    return pixels;
}

namespace {

void SendKey(WORD key, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(in));
}

void MouseAt(POINT screen, DWORD buttons = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    in.mi.dx = MulDiv(screen.x - vx, 65535, vw - 1);
    in.mi.dy = MulDiv(screen.y - vy, 65535, vh - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | buttons;
    SendInput(1, &in, sizeof(in));
}

POINT ToScreen(HWND window, POINT p) {
    ClientToScreen(window, &p);
    return p;
}

// Input goes through the X server: let each piece arrive before the next.
void Settle(DWORD ms = 60) { WaitUntil([] { return false; }, ms); }

}  // namespace

void PressKey(WORD key, std::initializer_list<WORD> held) {
    for (WORD h : held) SendKey(h, false);
    SendKey(key, false);
    SendKey(key, true);
    for (auto it = held.end(); it != held.begin();) SendKey(*--it, true);
    Settle(150);
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT in[2]{};
        for (int i = 0; i < 2; ++i) {
            in[i].type = INPUT_KEYBOARD;
            in[i].ki.wScan = c;
            in[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, in, sizeof(INPUT));
        Settle(30);
    }
    Settle(100);
}

void DragInWindow(HWND window, POINT from, POINT to, int steps) {
    MouseAt(ToScreen(window, from));
    Settle();
    MouseAt(ToScreen(window, from), MOUSEEVENTF_LEFTDOWN);
    Settle();
    for (int i = 1; i <= steps; ++i) {
        MouseAt(ToScreen(window, POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps}));
        Settle(30);
    }
    MouseAt(ToScreen(window, to), MOUSEEVENTF_LEFTUP);
    Settle(150);
}

void ClickInWindow(HWND window, POINT at) {
    MouseAt(ToScreen(window, at));
    Settle();
    MouseAt(ToScreen(window, at), MOUSEEVENTF_LEFTDOWN);
    MouseAt(ToScreen(window, at), MOUSEEVENTF_LEFTUP);
    Settle(150);
}

void Focus(TFrmEditor& editor) {
    SetForegroundWindow(editor.Handle());
    SetFocus(editor.Canvas().Handle());
    Settle(300);
}

bool OnRectangleOutline(int x, int y, POINT a, POINT b, int s) {
    const int l = std::min(a.x, b.x), t = std::min(a.y, b.y), r = std::max(a.x, b.x), btm = std::max(a.y, b.y);
    const bool inside = x >= l && x <= r && y >= t && y <= btm;
    const bool core = x >= l + s && x <= r - s && y >= t + s && y <= btm - s;
    return inside && !core;
}

}  // namespace tovasen::test
