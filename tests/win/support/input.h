#pragma once
// Input as a user gives it: real keys and mouse moves through SendInput, to whatever window of
// any process has the focus or lies under the pointer.
#include <windows.h>

#include <initializer_list>
#include <string>

namespace tovasen::test {

// The pointer to a point of the screen, with button transitions (MOUSEEVENTF_LEFTDOWN ...).
void MouseAt(int x, int y, DWORD buttons = 0);
// A left-button press at from, moves in steps to to and a release, spaced as a hand makes them:
// restMs before the press, after it and before the release, 40 ms a step. The pauses do not
// handle this thread's messages, so a window of this thread sees the gesture only afterwards.
void DragOnScreen(POINT from, POINT to, int steps, DWORD restMs);
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
