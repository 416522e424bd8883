#include "select/area_geometry.h"

#include <gtest/gtest.h>

namespace tovasen {
namespace {

TEST(AreaGeometry, CaptureRectAndWindowSizeAreInverse) {
    // A 492 x 397 window with a 25-pixel head holds a 480 x 360 area, 6 right and 31 down.
    const TRectI window{100, 50, 100 + 492, 50 + 397};
    EXPECT_EQ((TRectI{106, 81, 586, 441}), AreaCaptureRect(window, 25));
    EXPECT_EQ(492, AreaWindowWidth(480));
    EXPECT_EQ(397, AreaWindowHeight(360, 25));
    // At 144 DPI the head is 38 pixels: the capture area keeps its size, only its top moves.
    EXPECT_EQ((TRectI{-194, -112, 446, 368}), AreaCaptureRect({-200, -156, -200 + 652, -156 + 530}, 38));
}

TEST(AreaGeometry, SizeNeverGoesBelowTwoByTwo) {
    struct Case {
        int w, h, wantW, wantH;
    } cases[] = {{14, 39, 14, 39}, {13, 38, 14, 39}, {0, 0, 14, 39}, {-50, 5, 14, 39}, {500, 20, 500, 39}, {3, 400, 14, 400}};
    for (const Case& c : cases) {
        int w = c.w, h = c.h;
        ClampAreaWindowSize(w, h, 25);
        EXPECT_EQ(c.wantW, w) << c.w << "x" << c.h;
        EXPECT_EQ(c.wantH, h) << c.w << "x" << c.h;
    }
}

TEST(AreaGeometry, HitTestFollowsTheBands) {
    const int cw = 492, ch = 397, head = 25;
    struct Case {
        int x, y;
        AreaHit want;
    } cases[] = {
        {0, 0, ahCaption},     {200, 10, ahCaption},   {491, 24, ahCaption},   // the head moves
        {0, 25, ahTopLeft},    {5, 30, ahTopLeft},     {6, 25, ahTop},         {486, 30, ahTop},
        {487, 30, ahTopRight}, {491, 25, ahTopRight},  {0, 31, ahLeft},        {5, 391, ahLeft},
        {491, 200, ahRight},   {487, 391, ahRight},    {486, 200, ahCaption},  // inner right line
        {200, 391, ahCaption}, {200, 392, ahBottom},   {0, 396, ahBottomLeft}, {491, 396, ahBottomRight},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.want, AreaHitTest({c.x, c.y, cw, ch, head, false, false})) << c.x << "," << c.y;
    }
    // The close button takes clicks; a recording locks the bands but not the head.
    EXPECT_EQ(ahClient, AreaHitTest({470, 10, cw, ch, head, true, false}));
    EXPECT_EQ(ahCaption, AreaHitTest({200, 10, cw, ch, head, false, true}));
    EXPECT_EQ(ahClient, AreaHitTest({200, 396, cw, ch, head, false, true}));
    EXPECT_EQ(ahClient, AreaHitTest({0, 200, cw, ch, head, false, true}));
}

TEST(AreaGeometry, KeysMoveOrResize) {
    const TRectI w{100, 100, 200, 150};
    EXPECT_EQ((TRectI{100, 99, 200, 149}), AreaKeyMove(w, AreaKey::Up, false, false, 25));
    EXPECT_EQ((TRectI{100, 101, 200, 151}), AreaKeyMove(w, AreaKey::Down, false, false, 25));
    EXPECT_EQ((TRectI{99, 100, 199, 150}), AreaKeyMove(w, AreaKey::Left, false, false, 25));
    EXPECT_EQ((TRectI{101, 100, 201, 150}), AreaKeyMove(w, AreaKey::Right, false, false, 25));
    EXPECT_EQ((TRectI{100, 100, 200, 149}), AreaKeyMove(w, AreaKey::Up, true, false, 25));
    EXPECT_EQ((TRectI{100, 100, 201, 150}), AreaKeyMove(w, AreaKey::Right, true, false, 25));
    EXPECT_EQ((TRectI{100, 100, 190, 150}), AreaKeyMove(w, AreaKey::Left, false, true, 25));
    EXPECT_EQ((TRectI{100, 100, 200, 160}), AreaKeyMove(w, AreaKey::Down, false, true, 25));
    // Shift before Ctrl: both together resize by one.
    EXPECT_EQ((TRectI{100, 100, 200, 151}), AreaKeyMove(w, AreaKey::Down, true, true, 25));
    // The minimum holds for keys as for the mouse.
    const TRectI small{0, 0, 15, 40};
    EXPECT_EQ((TRectI{0, 0, 14, 40}), AreaKeyMove(small, AreaKey::Left, false, true, 25));
    EXPECT_EQ((TRectI{0, 0, 15, 39}), AreaKeyMove(small, AreaKey::Up, false, true, 25));
}

TEST(AreaGeometry, DesktopTestIsStrict) {
    const TRectI desktop{0, 0, 1280, 1024};
    EXPECT_TRUE(AreaFitsDesktop({1, 1, 1279, 1023}, desktop));
    EXPECT_FALSE(AreaFitsDesktop({0, 100, 500, 500}, desktop));
    EXPECT_FALSE(AreaFitsDesktop({100, 0, 500, 500}, desktop));
    EXPECT_FALSE(AreaFitsDesktop({100, 100, 1280, 500}, desktop));
    EXPECT_FALSE(AreaFitsDesktop({100, 100, 500, 1024}, desktop));
    EXPECT_FALSE(AreaFitsDesktop({3000, 100, 3500, 500}, desktop));
    EXPECT_TRUE(AreaFitsDesktop({-1500, 10, -1000, 500}, {-1920, 0, 1280, 1080}));
}

TEST(AreaGeometry, PulseWalksDownAndBackInEighteenTicks) {
    TAreaPulse pulse;
    std::vector<int> reds;
    for (int i = 0; i < 19; ++i) reds.push_back(static_cast<int>(pulse.Tick(0x0000FF) & 0xFF));
    const std::vector<int> want{255, 242, 229, 217, 204, 191, 178, 166, 153, 140,
                                153, 166, 178, 191, 204, 217, 229, 242, 255};
    EXPECT_EQ(want, reds);
    // Every channel darkens alike; MulDiv rounds halves away from zero.
    EXPECT_EQ(0x8C8C8Cu, DarkenColor(0xFFFFFF, 45));
    EXPECT_EQ(0x000001u, DarkenColor(0x000001, 49));
    EXPECT_EQ(0x000000u, DarkenColor(0x000001, 50));
}

TEST(AreaGeometry, SpinTextParsesWithoutThrowingAndClamps) {
    struct Case {
        const wchar_t* text;
        int want;
    } cases[] = {{L"50", 64},       {L"640", 640},   {L"9999", 9999}, {L"10000", 9999},
                 {L"99999999999", 9999}, {L"999999999999999999999999", 9999}, {L"abc", 64}, {L"", 64},
                 {L"-5", 64},       {L" 800 ", 800}, {L"1,024", 64},  {L"12a", 64},
                 {L"+720", 720},    {L"-", 64},      {L"0064", 64}};
    for (const Case& c : cases) EXPECT_EQ(c.want, ParseSpinText(c.text)) << "\"" << c.text << "\"";
    EXPECT_EQ(64, ClampSpin(-5));
    EXPECT_EQ(9999, ClampSpin(1LL << 40));
    EXPECT_EQ(L"640x480", FormatAreaSize(640, 480));
}

}  // namespace
}  // namespace tovasen
