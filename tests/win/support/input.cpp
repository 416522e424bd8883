#include "support/input.h"

#include "support/wait.h"

namespace tovasen::test {
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
}  // namespace

void Settle(DWORD ms) { WaitUntil([] { return false; }, ms); }

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

bool FocusWindow(HWND window) {
    SetForegroundWindow(window);
    return WaitUntil([window] { return GetForegroundWindow() == window; }, 5000);
}

}  // namespace tovasen::test
