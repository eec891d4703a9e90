// Program flags and plot-part switches.
#include <gtest/gtest.h>

#include "zup.h"

TEST(Flags, RangeAndDefaults) {
    FLAG_reset(MISSING);
    EXPECT_EQ(FLAG_get(6), MISSING);
    EXPECT_EQ(FLAG_set(6, 24), 0);
    EXPECT_EQ(FLAG_get(6), 24);
    EXPECT_EQ(FLAG_getl(6), 24L);
    EXPECT_EQ(FLAG_set(30, 1), -1);
    EXPECT_EQ(FLAG_set(-1, 1), -1);
    EXPECT_EQ(FLAG_get(30), 0);
    EXPECT_EQ(FLAG_getl(-1), 0L);
    EXPECT_EQ(FLAG_setl(29, 5000000000L), 0);
    EXPECT_EQ(FLAG_getl(29), 5000000000L);
    FLAG_resetl(7);
    EXPECT_EQ(FLAG_get(0), 7);
    EXPECT_EQ(FLAG_get(29), 7);
}

TEST(PlotParts, SumsFollowTheItems) {
    FLAG_resetplot(0);
    EXPECT_EQ(FLAG_getplot(12), 0);
    FLAG_setplot(3, 1);
    EXPECT_EQ(FLAG_getplot(0), 1);
    EXPECT_EQ(FLAG_getplot(12), 2);  // item 3 and the text sum
    FLAG_setplot(0, 1);              // all six text positions
    EXPECT_EQ(FLAG_getplot(0), 6);
    EXPECT_EQ(FLAG_getplot(12), 12);
    FLAG_setplot(12, 1);
    EXPECT_EQ(FLAG_getplot(8), 1);
    EXPECT_EQ(FLAG_getplot(12), 6 + 11);
    FLAG_setplot(12, 0);
    EXPECT_EQ(FLAG_getplot(12), 0);
    EXPECT_EQ(FLAG_setplot(13, 1), -1);
    EXPECT_EQ(FLAG_getplot(13), 0);
}
