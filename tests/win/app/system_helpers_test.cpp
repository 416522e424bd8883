#include "app/system_helpers.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace tovasen {
namespace {

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) return 42;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

TEST(Wait, SwallowsTheExceptionOfItsProcedure) {
    bool ran = false;
    EXPECT_NO_THROW(Wait([&] {
        ran = true;
        throw std::runtime_error("lost on purpose");
    }));
    EXPECT_TRUE(ran);
}

TEST(Wait, KeepsTheWindowsOfTheWaitingThreadResponsive) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TovasenWaitTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    const DWORD uiThread = GetCurrentThreadId();
    DWORD_PTR answer = 0;
    LRESULT sent = 0;
    DWORD procThread = 0;
    // The procedure can only get its answer while the waiting thread handles messages.
    Wait([&] {
        procThread = GetCurrentThreadId();
        sent = SendMessageTimeoutW(window, WM_APP, 0, 0, SMTO_BLOCK, 3000, &answer);
    });
    EXPECT_NE(uiThread, procThread) << "the procedure must run off the user-interface thread";
    EXPECT_NE(0, sent) << "the window did not answer during the wait";
    EXPECT_EQ(42u, answer);
    DestroyWindow(window);
}

}  // namespace
}  // namespace tovasen
