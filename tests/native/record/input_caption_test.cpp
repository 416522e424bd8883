#include "record/input_caption.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovasen {
namespace {

// A key event: down (positive key) or up (negative key), at a time in milliseconds.
struct Key {
    int key;
    std::int64_t at;
};
constexpr int Up(int key) { return -key; }

// What a sequence of keys leaves as the caption at a moment: the one table of the captions.
TEST(InputCaption, KeysMakeTheCaptionsAUserWouldWrite) {
    const struct {
        const char* name;
        const wchar_t* language;
        std::vector<Key> keys;
        std::int64_t at;
        const wchar_t* caption;  // nullptr: none
    } rows[] = {
        {"modifiers in a fixed order, whatever order they were pressed in", L"en",
         {{vk::LShift, 0}, {vk::RMenu, 10}, {vk::LControl, 20}, {'S', 30}}, 100, L"Ctrl + Shift + Alt + S"},
        {"Win with a letter", L"en", {{vk::LWin, 0}, {'D', 5}}, 50, L"Win + D"},
        {"the same shortcut again while it shows is counted", L"en",
         {{vk::LControl, 0}, {'V', 10}, {Up('V'), 60}, {'V', 400}, {Up('V'), 450}, {'V', 1800}}, 1900, L"Ctrl + V \u00D73"},
        {"a held key repeating is one press", L"en", {{vk::LControl, 0}, {'V', 10}, {'V', 40}, {'V', 70}}, 100, L"Ctrl + V"},
        {"once the caption has gone, the count starts again", L"en",
         {{vk::LControl, 0}, {'V', 10}, {Up('V'), 60}, {'V', 1600}}, 1700, L"Ctrl + V"},
        {"another shortcut replaces the caption", L"en",
         {{vk::LControl, 0}, {'C', 10}, {Up('C'), 50}, {'V', 300}}, 400, L"Ctrl + V"},
        {"keys that act alone", L"en", {{vk::Escape, 0}, {Up(vk::Escape), 30}, {vk::F1 + 10, 40}}, 100, L"F11"},
        {"an arrow with Shift", L"en", {{vk::RShift, 0}, {vk::Left, 10}}, 100, L"Shift + Left"},
        {"Korean names", L"ko", {{vk::LControl, 0}, {vk::LShift, 5}, {vk::Right, 10}}, 100, L"Ctrl + Shift + 오른쪽 화살표"},
        {"Korean Win and Space", L"ko", {{vk::LWin, 0}, {vk::Space, 10}}, 100, L"Windows 키 + 스페이스바"},
        {"French names", L"fr", {{vk::LControl, 0}, {vk::LShift, 5}, {vk::Delete, 10}}, 100, L"Ctrl + Maj + Suppr"},
        {"an unknown language reads English", L"xx", {{vk::Return, 0}}, 100, L"Enter"},
        {"plain typing is never shown", L"en", {{'H', 0}, {Up('H'), 20}, {'I', 40}, {vk::Space, 60}}, 100, nullptr},
        {"nor Shift with a letter", L"en", {{vk::LShift, 0}, {'A', 10}}, 100, nullptr},
        {"a released modifier no longer counts", L"en", {{vk::LControl, 0}, {Up(vk::LControl), 10}, {'S', 20}}, 100, nullptr},
        {"modifiers alone make no caption", L"en", {{vk::LControl, 0}, {vk::LMenu, 10}}, 100, nullptr},
        {"a caption lasts about a second and a half", L"en", {{vk::Tab, 0}}, 1500, nullptr},
    };
    for (const auto& row : rows) {
        TInputMarks marks(row.language);
        for (const Key& k : row.keys) {
            if (k.key > 0) marks.KeyDown(k.key, k.at);
            else marks.KeyUp(-k.key);
        }
        const auto caption = marks.Caption(row.at);
        EXPECT_EQ(row.caption ? row.caption : L"(none)", caption ? caption->text : L"(none)") << row.name;
    }
}

TEST(InputCaption, LayoutCharactersNameOtherKeysAndNamelessKeysStayUnshown) {
    EXPECT_EQ(L"Ctrl + +", ShortcutText(0xBB, kModCtrl, L"en", L'+'));
    EXPECT_EQ(L"", ShortcutText(0xFF, kModCtrl, L"en", 0)) << "no name, no caption";
    TInputMarks marks(L"en");
    marks.KeyDown(vk::LControl, 0);
    marks.KeyDown(0xFF, 10);
    EXPECT_FALSE(marks.Caption(20));
}

TEST(InputCaption, RingsGrowAndFadeAndACaptionFadesAtItsEnd) {
    TInputMarks marks(L"en");
    marks.Press(TMouseButton::Right, 10, 20, 1000);
    marks.KeyDown(vk::F1 + 4, 1000);
    const auto start = marks.Rings(1000, 96), late = marks.Rings(1390, 96), scaled = marks.Rings(1000, 144);
    ASSERT_EQ(1u, start.size());
    EXPECT_EQ(TMouseButton::Right, start[0].button);
    EXPECT_EQ(24, start[0].diameter);
    EXPECT_GE(start[0].width, 3);
    EXPECT_EQ(1, start[0].opacity);
    ASSERT_EQ(1u, late.size());
    EXPECT_GT(late[0].diameter, start[0].diameter);
    EXPECT_LT(late[0].opacity, 0.1);
    EXPECT_EQ(36, scaled[0].diameter) << "scaled with the DPI";
    EXPECT_TRUE(marks.Rings(1400, 96).empty());
    EXPECT_EQ(1, marks.Caption(2100)->opacity);
    EXPECT_LT(marks.Caption(2450)->opacity, 0.25);
    EXPECT_FALSE(marks.Showing(2500));
    // A password field: everything goes at once.
    marks.Press(TMouseButton::Left, 0, 0, 3000);
    marks.Clear();
    EXPECT_FALSE(marks.Showing(3000));
}

TEST(InputCaption, TheBoxSitsLowAndCentredInTheArea) {
    const TBoxI box = CaptionBox(400, 300, 80, CaptionTextHeight(96), 96);
    EXPECT_EQ(400 - box.right, box.left);
    EXPECT_GE(box.top, 300 * 4 / 5) << "within the bottom fifth";
    EXPECT_LE(box.bottom, 300);
    const TBoxI tiny = CaptionBox(60, 20, 200, CaptionTextHeight(96), 96);
    EXPECT_GE(tiny.left, 0);
    EXPECT_LE(tiny.right, 60);
}

}  // namespace
}  // namespace tovasen
