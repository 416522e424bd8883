#include "support/message_boxes.h"

#include <algorithm>

#include "support/process.h"

namespace tovasen::test {

MessageBoxAnswerer::MessageBoxAnswerer(int button) : button_(button), thread_([this] { Run(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() {
    std::lock_guard<std::mutex> hold(lock_);
    return texts_;
}

void MessageBoxAnswerer::Run() {
    std::vector<HWND> answered;
    while (!stop_) {
        // Every box, not the first found: a box closing (hidden, not yet destroyed) may come first.
        for (HWND box : ProcessWindows(GetCurrentProcessId(), L"#32770")) {
            if (!IsWindowVisible(box) || std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
            wchar_t text[1024] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 1024);
            {
                std::lock_guard<std::mutex> hold(lock_);
                texts_.push_back(text);
            }
            answered.push_back(box);
            PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button_), 0);
        }
        Sleep(20);
    }
}

}  // namespace tovasen::test
