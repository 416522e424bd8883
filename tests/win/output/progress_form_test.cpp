// The upload's progress strip: its window styles, translucency, place and gauge.
#include "output/progress_form.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <thread>

#include "support/wait.h"

namespace tovasen {
namespace {

// A stand-in taskbar: a window of the shell's taskbar class at the given rectangle.
class FakeTaskbar {
public:
    explicit FakeTaskbar(RECT r) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_TrayWnd";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, r.left, r.top, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~FakeTaskbar() { DestroyWindow(hwnd_); }
    HWND Handle() const { return hwnd_; }

private:
    HWND hwnd_;
};

TEST(ProgressForm, IsAClickThroughTranslucentTopmostStripAboveABottomTaskbar) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    FakeTaskbar taskbar({0, h - 40, w, h});
    ASSERT_EQ(taskbar.Handle(), FindWindowW(L"Shell_TrayWnd", nullptr)) << "another taskbar window is in the way";
    HWND before = GetForegroundWindow();
    HWND strip = nullptr;
    {
        TProgressForm form(L"업로드 중입니다.");
        strip = form.Handle();
        ASSERT_TRUE(IsWindowVisible(strip));
        const LONG_PTR ex = GetWindowLongPtrW(strip, GWL_EXSTYLE);
        EXPECT_EQ(static_cast<LONG_PTR>(WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST),
                  ex & (WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST));
        EXPECT_EQ(0, GetWindowLongPtrW(strip, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
        BYTE alpha = 0;
        DWORD flags = 0;
        ASSERT_TRUE(GetLayeredWindowAttributes(strip, nullptr, &alpha, &flags));
        EXPECT_EQ(140, alpha);
        EXPECT_EQ(static_cast<DWORD>(LWA_ALPHA), flags & LWA_ALPHA);
        RECT r{};
        GetWindowRect(strip, &r);
        EXPECT_EQ(0, r.left);
        EXPECT_EQ(w, r.right);
        EXPECT_EQ(h - 40 - 30, r.top);
        EXPECT_EQ(h - 40, r.bottom);
        EXPECT_EQ(before, GetForegroundWindow()) << "the strip took the focus";

        HWND label = FindWindowExW(strip, nullptr, L"Static", nullptr);
        ASSERT_NE(nullptr, label);
        wchar_t text[64] = {};
        GetWindowTextW(label, text, 64);
        EXPECT_STREQ(L"업로드 중입니다.", text);
    }
    EXPECT_FALSE(IsWindow(strip)) << "the strip outlived its object";
}

TEST(ProgressForm, StaysAtTheBottomWithATaskbarAtTheTopOrNone) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    FakeTaskbar taskbar({0, 0, w, 40});
    TProgressForm form(L"x");
    RECT r{};
    GetWindowRect(form.Handle(), &r);
    EXPECT_EQ(h - 30, r.top);
    EXPECT_EQ(h, r.bottom);
}

TEST(ProgressForm, TheGaugeTakesRangesBeyond16BitsAndWorkerValues) {
    TProgressForm form(L"x");
    HWND gauge = FindWindowExW(form.Handle(), nullptr, PROGRESS_CLASSW, nullptr);
    ASSERT_NE(nullptr, gauge);
    form.SetProgress(70000, 140000);
    EXPECT_EQ(140000, SendMessageW(gauge, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(70000, SendMessageW(gauge, PBM_GETPOS, 0, 0));

    // From another thread only numbers travel; the strip shows them from its own loop.
    std::thread worker([values = form.Values()] { values->Set(5 * 1024 * 1024, 5 * 1024 * 1024 + 300); });
    worker.join();
    EXPECT_TRUE(test::WaitUntil([&] { return SendMessageW(gauge, PBM_GETPOS, 0, 0) == 5 * 1024 * 1024; }, 3000));
    EXPECT_EQ(5 * 1024 * 1024 + 300, SendMessageW(gauge, PBM_GETRANGE, FALSE, 0));

    form.SetProgress(0xFFFFFFF0u, 0xFFFFFFFFu);  // beyond a signed range: shown halved
    EXPECT_EQ(0x7FFFFFFF, SendMessageW(gauge, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(0x7FFFFFF8, SendMessageW(gauge, PBM_GETPOS, 0, 0));
}

}  // namespace
}  // namespace tovasen
