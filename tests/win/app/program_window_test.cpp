#include <windows.h>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/wait.h"

namespace tovasen {
namespace {

TEST(Program, OpensItsWindowAndEndsWhenItCloses) {
    test::ChildProcess program(test::TovasenExe(), L"");
    HWND window = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] {
        window = FindWindowW(L"TFrmTovasen", nullptr);
        return window && IsWindowVisible(window);
    })) << "no visible TFrmTovasen window";
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(L"Tovasen", title);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(10000));
}

}  // namespace
}  // namespace tovasen
