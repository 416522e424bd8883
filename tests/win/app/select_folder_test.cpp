#include "app/select_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/files.h"
#include "support/process.h"
#include "support/wait_for.h"

namespace tovasen {
namespace {

// Waits (on another thread) for this process's dialog, records its title and presses button.
class DialogAnswerer {
public:
    explicit DialogAnswerer(int button)
        : thread_([this, button] {
              if (HWND dialog = test::WaitForVisibleWindow(GetCurrentProcessId(), L"#32770")) {
                  wchar_t text[128] = {};
                  GetWindowTextW(dialog, text, 128);
                  title_ = text;
                  PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
              }
          }) {}
    ~DialogAnswerer() {
        if (thread_.joinable()) thread_.join();
    }
    // The dialog's title, once it has been answered (empty when none came up).
    std::wstring Title() {
        if (thread_.joinable()) thread_.join();
        return title_;
    }

private:
    std::wstring title_;
    std::thread thread_;
};

TEST(SelectFolder, ShowsItsTitleAndLeavesThePathOnCancel) {
    test::TempFolder folder;
    std::wstring path = folder.Path();
    DialogAnswerer answer(IDCANCEL);
    EXPECT_FALSE(SelectFolder(nullptr, path, L"폴더 선택", L"선택"));
    EXPECT_EQ(L"폴더 선택", answer.Title());
    EXPECT_EQ(folder.Path(), path);
}

}  // namespace
}  // namespace tovasen
