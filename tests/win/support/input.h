#pragma once
// Input as a user gives it: real keys and mouse moves through SendInput, to whatever window of
// any process has the focus or lies under the pointer.
#include <windows.h>

#include <initializer_list>
#include <string>

namespace tovasen::test {

// Keys as the keyboard gives them (modifiers held around the key).
void PressKey(WORD key, std::initializer_list<WORD> held = {});
void TypeText(const std::wstring& text);
// A left-button drag between two client points of window, in steps.
void DragInWindow(HWND window, POINT from, POINT to, int steps = 8);
void ClickInWindow(HWND window, POINT at);
// Input goes through the X server: lets each piece arrive before the next.
void Settle(DWORD ms = 60);
// Brings a window of any process to the front; false when it did not get there.
bool FocusWindow(HWND window);

}  // namespace tovasen::test
