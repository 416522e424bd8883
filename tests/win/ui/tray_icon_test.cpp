#include "ui/tray_icon.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include "support/wait.h"
#include "ui/application.h"
#include "ui/menu.h"

namespace tovasen {
namespace {

// The shell only modifies an icon it holds.
bool ShellHolds(const TTrayIcon& icon) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = icon.Handle();
    data.uID = TTrayIcon::kIconId;
    data.uFlags = NIF_TIP;
    lstrcpyW(data.szTip, L"probe");
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

TEST(TrayIcon, ShowsHidesAndComesBackWhenTheShellRestarts) {
    TApplication app;
    app.Initialize();
    TTrayIcon icon(nullptr, L"TrayIcon");
    icon.SetIcon(LoadIconW(nullptr, MAKEINTRESOURCEW(32512)));
    icon.SetHint(L"Tovasen");
    icon.SetVisible(true);
    ASSERT_TRUE(icon.Shown()) << "no notification area";
    EXPECT_TRUE(ShellHolds(icon));

    SendMessageW(icon.Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(icon.Shown()) << "not added again after TaskbarCreated";
    EXPECT_TRUE(ShellHolds(icon));

    icon.SetVisible(false);
    EXPECT_FALSE(ShellHolds(icon));
}

TEST(TrayIcon, AnAddTheShellRefusedIsTriedAgainUntilItHolds) {
    TApplication app;
    app.Initialize();
    TTrayIcon icon(nullptr, L"TrayIcon");
    icon.SetHint(L"Tovasen");
    // The shell refuses a second icon of the same window and id, as it refuses every add while
    // no notification area runs at log-on.
    NOTIFYICONDATAW occupant{};
    occupant.cbSize = sizeof(occupant);
    occupant.hWnd = icon.Handle();
    occupant.uID = TTrayIcon::kIconId;
    occupant.uFlags = NIF_TIP;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &occupant)) << "no notification area";
    icon.SetVisible(true);
    ASSERT_FALSE(icon.Shown()) << "the shell took the same icon twice: nothing to retry";
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &occupant));
    EXPECT_TRUE(test::WaitUntil([&] { return icon.Shown(); }, 3 * TTrayIcon::kRetryAddMs)) << "the add was not tried again";
    EXPECT_TRUE(ShellHolds(icon));
    icon.SetVisible(false);
    EXPECT_FALSE(ShellHolds(icon));
}

TEST(TrayIcon, ALeftClickRaisesOnClick) {
    TApplication app;
    app.Initialize();
    TTrayIcon icon(nullptr, L"TrayIcon");
    int clicks = 0;
    icon.OnClick = [&] { ++clicks; };
    SendMessageW(icon.Handle(), TTrayIcon::kCallbackMessage, TTrayIcon::kIconId, WM_LBUTTONDOWN);
    EXPECT_EQ(0, clicks) << "the click counts when the button comes up";
    SendMessageW(icon.Handle(), TTrayIcon::kCallbackMessage, TTrayIcon::kIconId, WM_LBUTTONUP);
    EXPECT_EQ(1, clicks);
}

}  // namespace
}  // namespace tovasen
