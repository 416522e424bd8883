#include "base/dpi_scale.h"

#include <gtest/gtest.h>

namespace tovasen {
namespace {

TEST(ScaleToDpi, KeepsLengthsAt96Dpi) {
    for (int px : {0, 1, 8, 145, 162, 191, -7}) EXPECT_EQ(px, ScaleToDpi(px, 96)) << px;
}

TEST(ScaleToDpi, RoundsTiesToEven) {
    EXPECT_EQ(2, ScaleToDpi(1, 144));    // 1.5
    EXPECT_EQ(4, ScaleToDpi(3, 144));    // 4.5
    EXPECT_EQ(8, ScaleToDpi(5, 144));    // 7.5
    EXPECT_EQ(-2, ScaleToDpi(-1, 144));  // -1.5
    EXPECT_EQ(-4, ScaleToDpi(-3, 144));  // -4.5
    EXPECT_EQ(19, ScaleToDpi(15, 120));  // 18.75
    EXPECT_EQ(10, ScaleToDpi(8, 120));   // 10 exactly
    EXPECT_EQ(181, ScaleToDpi(145, 120));  // 181.25
    EXPECT_EQ(324, ScaleToDpi(162, 192));
}

}  // namespace
}  // namespace tovasen
