#include "base/utf_convert.h"

#include <gtest/gtest.h>

namespace tovasen {
namespace {

TEST(UtfConvert, RoundTripsEveryPlane) {
    const std::string utf8 = "A\xC3\xA9\xED\x95\x9C\xF0\x9F\x93\xB7";  // A, é, 한, 📷
    const std::wstring wide = Utf8ToWide(utf8);
    if constexpr (sizeof(wchar_t) == 2) {
        EXPECT_EQ(5u, wide.size()) << "the camera needs a surrogate pair";
    } else {
        EXPECT_EQ(4u, wide.size());
    }
    EXPECT_EQ(L'\xD55C', wide[2]);
    EXPECT_EQ(utf8, WideToUtf8(wide));
}

TEST(UtfConvert, ReplacesMalformedInput) {
    EXPECT_EQ(L"a\xFFFD" L"b", Utf8ToWide("a\xFF" "b"));
    EXPECT_EQ(L"\xFFFD", Utf8ToWide("\xE2\x82"));            // cut short
    EXPECT_EQ(L"\xFFFD" L"A", Utf8ToWide("\xC1\x81" "A"));   // overlong
    EXPECT_EQ(L"\xFFFD", Utf8ToWide("\xED\xA0\x80"));        // a surrogate
    EXPECT_EQ(L"", Utf8ToWide(""));
}

}  // namespace
}  // namespace tovasen
