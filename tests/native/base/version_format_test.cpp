#include "base/version_format.h"

#include <gtest/gtest.h>

namespace tovasen {
namespace {

TEST(FormatVersion, FillsPlaceholdersInOrder) {
    EXPECT_EQ(L"4.1.8.0", FormatVersion(L"%d.%d.%d.%d", {4, 1, 8, 0}));
    EXPECT_EQ(L"4.1.8", FormatVersion(L"%d.%d.%d", {4, 1, 8, 0}));
    EXPECT_EQ(L"v65535-2", FormatVersion(L"v%d-%d", {65535, 2, 3, 4}));
}

TEST(FormatVersion, ToleratesFormatsItDoesNotExpect) {
    EXPECT_EQ(L"1 2 3 4 0", FormatVersion(L"%d %d %d %d %d", {1, 2, 3, 4}));
    EXPECT_EQ(L"100% %s x%", FormatVersion(L"100%% %s x%", {1, 2, 3, 4}));
    EXPECT_EQ(L"", FormatVersion(L"", {1, 2, 3, 4}));
}

}  // namespace
}  // namespace tovasen
