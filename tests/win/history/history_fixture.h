#pragma once
// Shared set-up of the history's Windows tests: the application object, the prefix's own
// %LOCALAPPDATA%\Tovasen emptied before and after each test, pictures with a known pattern.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/config.h"
#include "history/history.h"
#include "support/files.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "ui/application.h"
#include "image/bitmap.h"

namespace tovasen::test {

// The colour of the test picture at (x, y), as 0x00RRGGBB.
inline std::uint32_t PictureColor(int x, int y) {
    return (static_cast<std::uint32_t>((x * 7) % 256) << 16) | (static_cast<std::uint32_t>((y * 13) % 256) << 8) |
           static_cast<std::uint32_t>((x * 3 + y * 5) % 256);
}

// A capture-like bitmap of PictureColor (or one plain colour) in the given format.
inline std::unique_ptr<TBitmap> Picture(int w, int h, TPixelFormat format = TPixelFormat::pf32bit,
                                        std::uint32_t plain = 0xFFFFFFFF) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = plain == 0xFFFFFFFF ? PictureColor(x, y) : plain;
            if (format == TPixelFormat::pfDevice) {
                SetPixelV(bitmap->Canvas().Handle(), x, y, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
                continue;
            }
            const int bytes = format == TPixelFormat::pf32bit ? 4 : 3;
            std::uint8_t* p = bitmap->ScanLine(y) + x * bytes;
            p[0] = static_cast<std::uint8_t>(c);
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c >> 16);
            if (bytes == 4) p[3] = 0;
        }
    }
    return bitmap;
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.Initialize();
        RemoveTree(folder);
        ASSERT_TRUE(test::ClearSettings());
    }
    void TearDown() override {
        history.reset();
        RemoveTree(folder);
        EXPECT_TRUE(test::ClearSettings());
    }
    THistory& Make(THistorySettings settings = {}) {
        history = std::make_unique<THistory>(folder, settings);
        history->OnNotice = [this](const std::wstring& text) { notices.push_back(text); };
        return *history;
    }
    // Records one capture and waits until it is stored.
    void RecordAndWait(const THistoryOutcome& outcome, TBitmap* picture) {
        history->Record(outcome, picture);
        ASSERT_TRUE(history->WaitIdle(30000));
        PumpMessages();  // the writer's news reach this thread through the queue
    }

    TApplication app;
    const std::wstring folder = THistory::DefaultHistoryFolder();
    std::unique_ptr<THistory> history;
    std::vector<std::wstring> notices;
    TempFolder files;  // where the user's own captures are written
};

}  // namespace tovasen::test
