// The grabber against windows painted with known pixels at known screen positions.
#include "capture/capture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/pattern_window.h"
#include "support/wait.h"
#include "support/wine.h"

namespace tovasen {
namespace {

using test::PatternAt;
using test::PatternWindow;

COLORREF PixelAt(TBitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.ScanLine(y) + x * 4;
    return RGB(p[2], p[1], p[0]);
}

void ParkCursor() { SetCursorPos(1200, 1000); }

TEST(Capture, CopiesAPaintedWindowPixelForPixel) {
    ParkCursor();
    PatternWindow window(100, 120, 64, 48);
    TCapture capture;
    capture.ShowCursor = false;
    TBitmap bitmap;
    capture.Capture(bitmap, RECT{100, 120, 164, 168});
    ASSERT_EQ(TPixelFormat::pf32bit, bitmap.PixelFormat());
    ASSERT_EQ(64, bitmap.Width());
    ASSERT_EQ(48, bitmap.Height());
    int wrong = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (PixelAt(bitmap, x, y) != PatternAt(x, y) && wrong++ < 5) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): expected " << std::hex << PatternAt(x, y)
                              << " got " << PixelAt(bitmap, x, y);
            }
        }
    }
    EXPECT_EQ(0, wrong);
}

TEST(Capture, WindowCaptureReturnsItsRectangleAndIsNotClippedByTheScreen) {
    ParkCursor();
    TCapture capture;
    capture.ShowCursor = false;
    TBitmap bitmap;
    {
        PatternWindow window(200, 150, 40, 30);
        RECT rect{};
        capture.Capture(bitmap, window.Handle(), rect);
        EXPECT_EQ(200, rect.left);
        EXPECT_EQ(150, rect.top);
        EXPECT_EQ(240, rect.right);
        EXPECT_EQ(180, rect.bottom);
        EXPECT_EQ(PatternAt(39, 29), PixelAt(bitmap, 39, 29));
    }
    PatternWindow halfOff(-32, 200, 64, 48);
    // The bitmap of an earlier capture, reused: none of its pixels may show in the new one.
    bitmap.SetSize(64, 48);
    for (int y = 0; y < 48; ++y) std::memset(bitmap.ScanLine(y), 0xFF, 64 * 4);
    RECT rect{};
    capture.Capture(bitmap, halfOff.Handle(), rect);
    EXPECT_EQ(-32, rect.left);
    EXPECT_EQ(32, rect.right);
    EXPECT_EQ(64, bitmap.Width()) << "a window half off screen is captured at full size";
    EXPECT_EQ(48, bitmap.Height());
    for (int x = 0; x < 32; x += 8) EXPECT_EQ(RGB(0, 0, 0), PixelAt(bitmap, x, 10)) << "off the screen, x " << x;
    if (test::RunningOnWine()) {
        // Known Wine difference: its X11 screen copy fails as a whole when the source rectangle
        // leaves the root window, where Windows copies the on-screen part.
        return;
    }
    for (int x = 32; x < 64; ++x) EXPECT_EQ(PatternAt(x, 10), PixelAt(bitmap, x, 10)) << "x " << x;
}

TEST(Capture, FullScreenTakesTheMonitorUnderTheMouse) {
    SetCursorPos(10, 10);
    TCapture capture;
    TBitmap bitmap;
    RECT rect{};
    capture.Capture(bitmap, nullptr, rect);
    const RECT expected{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_EQ(expected.right, rect.right);
    EXPECT_EQ(expected.bottom, rect.bottom);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(expected.right, bitmap.Width());
    EXPECT_EQ(expected.bottom, bitmap.Height());
}

TEST(Capture, RepeatedCapturesReuseTheBitmap) {
    TCapture capture;
    TBitmap bitmap;
    capture.Capture(bitmap, RECT{0, 0, 50, 40});
    const HBITMAP first = bitmap.Handle();
    capture.Capture(bitmap, RECT{10, 10, 60, 50});
    EXPECT_EQ(first, bitmap.Handle()) << "same size and format must not reallocate";
    capture.Capture(bitmap, RECT{0, 0, 51, 40});
    EXPECT_EQ(51, bitmap.Width());
    EXPECT_NE(nullptr, bitmap.Handle());
}

// A 32 x 32 cursor that is transparent except a 2 x 2 black block at its hot spot (5, 7).
HCURSOR MakeDotCursor() {
    std::vector<std::uint8_t> andMask(32 * 4, 0xFF), xorMask(32 * 4, 0x00);
    for (int y = 7; y <= 8; ++y) {
        for (int x = 5; x <= 6; ++x) andMask[static_cast<size_t>(y * 4 + x / 8)] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
    }
    return CreateCursor(GetModuleHandleW(nullptr), 5, 7, 32, 32, andMask.data(), xorMask.data());
}

// A white 100 x 100 window at (300, 300) whose cursor is the given one, with the mouse on it at
// (350, 340): captured from (300, 300), the hot spot belongs at (50, 40). Frees the cursor.
class CursorOnWhite {
public:
    explicit CursorOnWhite(HCURSOR cursor) : cursor_(cursor), window_(300, 300, 100, 100, true, cursor) {
        SetCursorPos(350, 340);
        SetCursor(cursor);
        test::PumpMessages();
    }
    CursorOnWhite(const CursorOnWhite&) = delete;
    CursorOnWhite& operator=(const CursorOnWhite&) = delete;
    ~CursorOnWhite() {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
        DestroyCursor(cursor_);
    }
    bool IsCurrent() const {
        CURSORINFO info{};
        info.cbSize = sizeof(info);
        return cursor_ && GetCursorInfo(&info) && info.hCursor == cursor_;
    }

private:
    HCURSOR cursor_;
    PatternWindow window_;
};

std::vector<POINT> BlackPixels(TBitmap& bitmap) {
    std::vector<POINT> found;
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (PixelAt(bitmap, x, y) == RGB(0, 0, 0)) found.push_back({x, y});
        }
    }
    return found;
}

TEST(Capture, DrawsTheCursorWithItsHotSpotOnTheCursorPosition) {
    const CursorOnWhite dot(MakeDotCursor());
    ASSERT_TRUE(dot.IsCurrent()) << "the test cursor is not the current cursor";

    TCapture capture;
    TBitmap bitmap;
    capture.ShowCursor = true;
    capture.Capture(bitmap, RECT{300, 300, 400, 400});
    EXPECT_EQ(4u, BlackPixels(bitmap).size());
    EXPECT_EQ(RGB(0, 0, 0), PixelAt(bitmap, 50, 40)) << "the hot spot is not on the cursor position";
    EXPECT_EQ(RGB(0, 0, 0), PixelAt(bitmap, 51, 41));
    EXPECT_EQ(RGB(255, 255, 255), PixelAt(bitmap, 49, 39));

    capture.ShowCursor = false;
    capture.Capture(bitmap, RECT{300, 300, 400, 400});
    EXPECT_EQ(RGB(255, 255, 255), PixelAt(bitmap, 50, 40)) << "cursor drawn although ShowCursor is off";
}

// A 48 x 48 colour cursor, larger than the default icon size, transparent except two black
// pixels: its hot spot (3, 4) and (40, 42).
HCURSOR MakeLargeCursor() {
    std::vector<std::uint8_t> andMask(6 * 48, 0xFF);  // 48 bits a row, word-aligned
    for (const POINT p : {POINT{3, 4}, POINT{40, 42}}) {
        andMask[static_cast<size_t>(p.y * 6 + p.x / 8)] &= static_cast<std::uint8_t>(~(0x80 >> (p.x % 8)));
    }
    UniqueBitmap mask(CreateBitmap(48, 48, 1, 1, andMask.data()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 48;
    info.bmiHeader.biHeight = 48;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    UniqueBitmap color(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));  // all black
    ICONINFO icon{FALSE, 3, 4, mask.Get(), color.Get()};
    return reinterpret_cast<HCURSOR>(CreateIconIndirect(&icon));
}

TEST(Capture, DrawsTheCursorAtItsOwnSizeAndNotWhileItIsHidden) {
    const CursorOnWhite large(MakeLargeCursor());
    ASSERT_TRUE(large.IsCurrent()) << "the test cursor is not the current cursor";

    TCapture capture;
    TBitmap bitmap;
    capture.Capture(bitmap, RECT{300, 300, 400, 400});
    const std::vector<POINT> black = BlackPixels(bitmap);
    ASSERT_EQ(2u, black.size()) << "drawn at another size than its own 48 x 48";
    EXPECT_EQ(50, black[0].x) << "hot spot";
    EXPECT_EQ(40, black[0].y);
    EXPECT_EQ(50 - 3 + 40, black[1].x) << "the far pixel of an unscaled cursor";
    EXPECT_EQ(40 - 4 + 42, black[1].y);

    // Hidden, as a player or a game hides it: the picture has no cursor, in captures and in
    // the canvas copies a recording makes alike.
    ShowCursor(FALSE);
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    GetCursorInfo(&info);
    const bool hidden = !(info.flags & CURSOR_SHOWING);
    capture.Capture(bitmap, RECT{300, 300, 400, 400});
    const std::size_t whileHidden = BlackPixels(bitmap).size();
    ShowCursor(TRUE);
    ASSERT_TRUE(hidden) << "the system still reports the cursor as showing";
    EXPECT_EQ(0u, whileHidden) << "a hidden cursor was drawn";
}

}  // namespace
}  // namespace tovasen
