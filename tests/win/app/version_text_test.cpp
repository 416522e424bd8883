#include "base/version_text.h"

#include <gtest/gtest.h>

#include "base/module_path.h"
#include "support/process.h"

namespace tovasen {
namespace {

TEST(GetVersionText, ReadsTheExesOwnVersionResource) {
    EXPECT_EQ(L"1.0.0.0", GetVersionText(L"%d.%d.%d.%d", test::TovasenExe()));
    EXPECT_EQ(L"1.0.0", GetVersionText(L"%d.%d.%d", test::TovasenExe()));
}

TEST(GetVersionText, WithoutAVersionResourceGivesZeros) {
    // Test programs are built without a version resource.
    EXPECT_EQ(L"0.0.0.0", GetVersionText(L"%d.%d.%d"));
    EXPECT_EQ(L"0.0.0.0", GetVersionText(L"%d.%d.%d.%d", ModuleFileName(nullptr)));
}

}  // namespace
}  // namespace tovasen
