#pragma once
// Driving a running Tovasen.exe from a test, as a user or a script would.
#include <windows.h>

#include <memory>
#include <string>

#include "support/process.h"

namespace tovasen::test {

// Starts Tovasen.exe and waits until its main window and tray window exist (and the main
// window is visible, if asked). Records a test failure when it does not come up.
std::unique_ptr<ChildProcess> StartTovasen(const std::wstring& args, bool visible);
HWND MainWindowOf(const ChildProcess& program);

// The program's visible message box (class #32770), or null once timeoutMs has passed.
HWND WaitForMessageBox(const ChildProcess& program, DWORD timeoutMs = 10000);
std::wstring MessageBoxText(HWND box);
// Waits for the message box, checks its text and presses button.
void AnswerMessageBox(const ChildProcess& program, const std::wstring& text, int button);

// Menu item positions counted from the bottom of the main window's menu (separators skipped).
enum MenuFromBottom { kExitItem = 1, kAboutItem = 2, kAutostartItem = 3, kHotKeyItem = 4, kNamingMenu = 5, kLanguageMenu = 6 };
// Opens the main window's menu with a right-click and picks an item by keyboard.
void ChooseFromMenuBottom(const ChildProcess& program, int upPresses, std::initializer_list<WPARAM> thenKeys = {});

// Runs tovasen-cmd.exe with args and returns its exit code (or a failure when it hangs).
DWORD RunTovasenCmd(const std::wstring& args, DWORD timeoutMs = 30000);

}  // namespace tovasen::test
