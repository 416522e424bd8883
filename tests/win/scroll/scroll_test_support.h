#pragma once
// What the scrolling capture's test programs share: the fixture, a capture that turns an error
// into a test failure, and reading pictures.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scroll/scroll_capture.h"
#include "ui/application.h"

namespace tovasen::test {

class ScrollCaptureTest : public ::testing::Test {
protected:
    void SetUp() override { app.Initialize(); }
    TApplication app;
};

inline ScrollCaptureResult CaptureOrFail(POINT at, const ScrollCaptureOptions& options = {}) {
    try {
        return CaptureScrollingWindow(at, options);
    } catch (const Exception& e) {
        ADD_FAILURE() << "the capture failed: " << std::string(e.Message().begin(), e.Message().end());
        return {};
    }
}

inline RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

inline std::uint32_t PixelOf(const TBitmap& bitmap, int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(bitmap.ScanLine(y))[x] & 0xFFFFFF;
}

}  // namespace tovasen::test
