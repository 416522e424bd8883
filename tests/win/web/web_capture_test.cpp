// The full-page capture against a page that paints a known pattern: bands, seams, the last
// partial band, the layout restored on every path, and nothing left behind by a failure.
#include "web/web_capture.h"

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace tovasen {
namespace {

// The pixel the page has at (x, y): y is spelled out in red and green, so a row from the wrong
// band shows; x in blue.
std::uint32_t PagePixel(int x, int y) {
    return (static_cast<std::uint32_t>(y & 0xFF) << 16) | (static_cast<std::uint32_t>((y >> 8) & 0xFF) << 8) |
           static_cast<std::uint32_t>((x * 7) & 0xFF);
}

class FakePage : public TWebPage {
public:
    PageExtents extents;
    int zoom = 96;
    PageMargins margins{19, 6};
    bool noDocument = false;
    bool failBegin = false;
    int failDrawAt = -1;   // the draw that answers false
    int throwDrawAt = -1;  // the draw that raises
    int paintWidth = -1;   // paints only this many columns (-1: all)
    std::function<void()> onDraw;
    std::function<void(double seconds)> onPainted;

    int begins = 0, ends = 0;
    int layoutWidth = 0, layoutHeight = 0;
    std::vector<RECT> bounds;

    PageExtents Measure() override {
        if (noDocument) throw EWebCaptureError();
        return extents;
    }
    int ZoomDpi() override { return zoom; }
    PageMargins Margins() override { return margins; }
    void BeginLayout(int width, int height) override {
        ++begins;
        layoutWidth = width;
        layoutHeight = height;
        if (failBegin) throw Exception(L"layout refused");
    }
    void EndLayout() override { ++ends; }
    bool Draw(HDC dc, const RECT& b) override {
        const int index = static_cast<int>(bounds.size());
        bounds.push_back(b);
        if (onDraw) onDraw();
        if (index == throwDrawAt) throw Exception(L"engine failure");
        if (index == failDrawAt) return false;
        // Straight into the DIB section selected into dc, clipped to it, as a renderer would.
        const auto start = std::chrono::steady_clock::now();
        DIBSECTION section{};
        if (GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof(section), &section) != sizeof(section)) return false;
        const int w = section.dsBm.bmWidth, h = section.dsBm.bmHeight;
        auto* bits = static_cast<std::uint8_t*>(section.dsBm.bmBits);
        // Which way up the rows lie: what GDI puts at the top left shows where row 0 is.
        SetPixelV(dc, 0, 0, RGB(1, 2, 3));
        GdiFlush();
        const bool topDown = (*reinterpret_cast<std::uint32_t*>(bits) & 0xFFFFFF) == 0x010203;
        const int right = std::min<int>(b.right - b.left, paintWidth < 0 ? b.right - b.left : paintWidth);
        for (int y = 0; y < h; ++y) {
            const int pageY = y - b.top;
            if (pageY < 0 || pageY >= b.bottom - b.top) continue;
            auto* row = reinterpret_cast<std::uint32_t*>(bits + static_cast<std::size_t>(topDown ? y : h - 1 - y) *
                                                                    static_cast<std::size_t>(section.dsBm.bmWidthBytes));
            for (int x = 0; x < w && x - b.left < right; ++x) row[x] = PagePixel(x - b.left, pageY);
        }
        if (onPainted) onPainted(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return true;
    }
};

FakePage PageOf(int bodyWidth, int bodyHeight) {
    FakePage page;
    page.extents.body = ScrollExtent{bodyWidth, bodyHeight};
    return page;
}

std::uint32_t PixelAt(const TBitmap& bitmap, int x, int y) {
    std::uint32_t value = 0;
    std::memcpy(&value, bitmap.ScanLine(y) + static_cast<std::size_t>(x) * 4, 4);
    return value & 0xFFFFFF;
}

TEST(WebCapture, BandsJoinWithoutSeamsAndTheLastPartialBandIsRight) {
    for (int height : {2049, 4097, 20000}) {
        SCOPED_TRACE(testing::Message() << "height " << height);
        FakePage page = PageOf(234, height);  // 240 wide once the strip is cut
        TBitmap bitmap;
        CaptureWebPage(bitmap, page);
        ASSERT_EQ(240, bitmap.Width());
        ASSERT_EQ(height, bitmap.Height());
        EXPECT_EQ(TPixelFormat::pf32bit, bitmap.PixelFormat());
        EXPECT_EQ(259, page.layoutWidth);
        EXPECT_EQ(height, page.layoutHeight);
        EXPECT_EQ(1, page.begins);
        EXPECT_EQ(1, page.ends);
        ASSERT_EQ(static_cast<std::size_t>((height + 2047) / 2048), page.bounds.size());
        for (std::size_t i = 0; i < page.bounds.size(); ++i) {
            EXPECT_EQ(-2048 * static_cast<int>(i), page.bounds[i].top) << "band " << i;
            EXPECT_EQ(259, page.bounds[i].right - page.bounds[i].left) << "band " << i;
            EXPECT_EQ(height, page.bounds[i].bottom - page.bounds[i].top) << "band " << i;
        }
        int wrong = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < 240; ++x) {
                if (PixelAt(bitmap, x, y) != PagePixel(x, y) && wrong++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
        EXPECT_EQ(0, wrong) << "first wrong pixel at " << firstX << ", " << firstY;
    }
}

TEST(WebCapture, WhatThePageLeavesUnpaintedIsWhite) {
    FakePage page = PageOf(294, 3000);
    page.paintWidth = 100;
    TBitmap bitmap;
    CaptureWebPage(bitmap, page);
    ASSERT_EQ(300, bitmap.Width());
    for (int y : {0, 2047, 2048, 2999}) {
        EXPECT_EQ(PagePixel(99, y), PixelAt(bitmap, 99, y)) << "row " << y;
        EXPECT_EQ(0xFFFFFFu, PixelAt(bitmap, 100, y)) << "row " << y;
        EXPECT_EQ(0xFFFFFFu, PixelAt(bitmap, 299, y)) << "row " << y;
    }
}

TEST(WebCapture, EveryFailureLeavesNothingAndRestoresTheLayoutOnce) {
    struct Case {
        const char* label;
        std::function<void(FakePage&, WebCaptureOptions&)> inject;
        int begins, ends;
    } cases[] = {
        {"no document", [](FakePage& p, WebCaptureOptions&) { p.noDocument = true; }, 0, 0},
        {"layout refused", [](FakePage& p, WebCaptureOptions&) { p.failBegin = true; }, 1, 1},
        {"allocation", [](FakePage&, WebCaptureOptions& o) {
             o.allocate = [](TBitmap& b, int w, int h) {
                 b.SetPixelFormat(TPixelFormat::pf32bit);
                 b.SetSize(w, h / 2);  // part of it, as a failed reallocation might leave
                 throw EOSError(L"Creating a bitmap", ERROR_NOT_ENOUGH_MEMORY);
             };
         }, 1, 1},
        {"first draw fails", [](FakePage& p, WebCaptureOptions&) { p.failDrawAt = 0; }, 1, 1},
        {"later draw fails", [](FakePage& p, WebCaptureOptions&) { p.failDrawAt = 1; }, 1, 1},
        {"draw raises", [](FakePage& p, WebCaptureOptions&) { p.throwDrawAt = 1; }, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakePage page = PageOf(500, 5000);
        WebCaptureOptions options;
        c.inject(page, options);
        TBitmap bitmap;
        try {
            CaptureWebPage(bitmap, page, options);
            ADD_FAILURE() << "no error raised";
        } catch (const EWebCaptureError& e) {
            EXPECT_EQ(L"The web page could not be captured.", e.Message());
        }
        EXPECT_TRUE(bitmap.Empty()) << bitmap.Width() << " x " << bitmap.Height();
        EXPECT_EQ(nullptr, bitmap.Handle());
        EXPECT_EQ(c.begins, page.begins);
        EXPECT_EQ(c.ends, page.ends);
    }
}

TEST(WebCapture, HugePagesAreCutToThePictureLimits) {
    FakePage page = PageOf(39975, 700);
    TBitmap bitmap;
    CaptureWebPage(bitmap, page);
    EXPECT_EQ(16383, bitmap.Width());
    EXPECT_EQ(700, bitmap.Height());
    EXPECT_EQ(40000, page.layoutWidth) << "the page keeps its own layout; the picture is its top-left part";
    EXPECT_EQ(PagePixel(16382, 699), PixelAt(bitmap, 16382, 699));
}

// User and kernel time of this process: on a machine shared with other work the wall clock
// says more about the neighbours than about the capture.
double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

std::size_t PagefileUsage() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage;
}

TEST(WebCapture, ALongPageNeedsTheResultAndOneBandOfMemory) {
    FakePage page = PageOf(1914, 20000);
    const std::size_t before = PagefileUsage();
    std::size_t highest = before;
    double painting = 0;
    std::chrono::steady_clock::time_point firstDraw{};
    page.onDraw = [&] {
        highest = std::max(highest, PagefileUsage());
        if (firstDraw == std::chrono::steady_clock::time_point{}) firstDraw = std::chrono::steady_clock::now();
    };
    page.onPainted = [&](double seconds) { painting += seconds; };
    TBitmap bitmap;
    const double cpuStart = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    CaptureWebPage(bitmap, page);
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(1920, bitmap.Width());
    ASSERT_EQ(20000, bitmap.Height());
    const std::size_t result = std::size_t{1920} * 20000 * 4;
    const std::size_t band = std::size_t{1920} * 2048 * 4;
    const std::size_t extra = highest - before;
    const double setUp = std::chrono::duration<double>(firstDraw - start).count();
    std::printf("1920 x 20000 page: %.3f s in all: %.3f s to the first draw (the result's allocation), %.3f s "
                "the fake page painting, %.3f s the bands; %.1f MiB beyond the start (result %.1f MiB, one band "
                "%.1f MiB); %.3f s of processor time\n",
                elapsed, setUp, painting, elapsed - setUp - painting, static_cast<double>(extra) / 1048576.0, static_cast<double>(result) / 1048576.0,
                static_cast<double>(band) / 1048576.0, cpu);
    EXPECT_LE(extra, result + band + 16 * 1048576u);
    EXPECT_EQ(PagePixel(1919, 19999), PixelAt(bitmap, 1919, 19999));
}

}  // namespace
}  // namespace tovasen
