#include "hotkey/hotkey_code.h"

#include <gtest/gtest.h>

#include <set>

namespace tovasen {
namespace {

TEST(HotKeyCode, TheListHoldsFiftyKeysInOrder) {
    const auto& entries = HotKeyEntries();
    ASSERT_EQ(50u, entries.size());
    EXPECT_STREQ(L"PrintScreen", entries[0].text);
    EXPECT_EQ(0x2C, entries[0].virtualKey);
    EXPECT_STREQ(L"A", entries[1].text);
    EXPECT_STREQ(L"Z", entries[26].text);
    EXPECT_STREQ(L"1", entries[27].text);
    EXPECT_STREQ(L"0", entries[36].text);
    EXPECT_EQ(0x30, entries[36].virtualKey);
    EXPECT_STREQ(L"F1", entries[37].text);
    EXPECT_STREQ(L"F12", entries[48].text);
    EXPECT_EQ(0x7B, entries[48].virtualKey);
    EXPECT_STREQ(L"DEL", entries[49].text);
    std::set<int> keys;
    for (const auto& e : entries) EXPECT_TRUE(keys.insert(e.virtualKey).second) << "duplicate key";
}

TEST(HotKeyCode, BuildsAndSplitsCodes) {
    const int f5 = *HotKeyEntryIndex(0x74);
    EXPECT_EQ(24692, MakeHotKey(f5, true, true, false)) << "F5 with Ctrl and Shift";
    EXPECT_EQ(44, MakeHotKey(0, false, false, false));
    EXPECT_EQ(0x802E, MakeHotKey(49, false, false, true));
    EXPECT_EQ(0, MakeHotKey(-1, false, false, false)) << "no selection, no key";
    EXPECT_EQ(6u, HotKeyModifierFlags(24692)) << "MOD_CONTROL | MOD_SHIFT";
    EXPECT_EQ(1u, HotKeyModifierFlags(0x802E));
    EXPECT_EQ(0x74, HotKeyVirtualKey(24692));
    EXPECT_FALSE(HotKeyEntryIndex(0x24).has_value()) << "Home is not in the list";
    EXPECT_EQ(0x2C, HotKeyFromSetting(0x1002C)) << "only the low 16 bits count";
    EXPECT_EQ(0xFFFF, HotKeyFromSetting(-1));
}

}  // namespace
}  // namespace tovasen
