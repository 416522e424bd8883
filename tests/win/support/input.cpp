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

void MouseAt(POINT screen, DWORD buttons = 0) { test::MouseAt(screen.x, screen.y, buttons); }

POINT ToScreen(HWND window, POINT p) {
    ClientToScreen(window, &p);
    return p;
}

}  // namespace

void MouseAt(int x, int y, DWORD buttons) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    in.mi.dx = MulDiv(x - vx, 65535, vw - 1);
    in.mi.dy = MulDiv(y - vy, 65535, vh - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | buttons;
    SendInput(1, &in, sizeof(in));
}

void DragOnScreen(POINT from, POINT to, int steps, DWORD restMs) {
    MouseAt(from);
    Sleep(restMs);  // the hand comes to rest before it presses
    MouseAt(from, MOUSEEVENTF_LEFTDOWN);
    Sleep(restMs);  // the press is held before the hand moves
    for (int i = 1; i <= steps; ++i) {
        MouseAt(POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        Sleep(40);  // a hand's speed
    }
    Sleep(restMs);  // the hand stops before it lets go
    MouseAt(to, MOUSEEVENTF_LEFTUP);
}

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
