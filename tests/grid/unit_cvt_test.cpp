// Unit conversion between unit strings.
#include <gtest/gtest.h>

#include <string>

#include "grd_priv.h"
#include "grd_test_util.h"
#include "zup.h"
#include "zupgrd.h"

using namespace grdtest;

namespace {

class UnitCvt : public ::testing::Test {
protected:
    void SetUp() override {
        reset_resources();
        UNIT_reset();
    }
    void TearDown() override { UNIT_reset(); }
};

}  // namespace

TEST_F(UnitCvt, SameUnitsAndMissingValues) {
    EXPECT_FLOAT_EQ(UNIT_cvt(273.15f, "K", "K"), 273.15f);
    EXPECT_FLOAT_EQ(UNIT_cvt(3.0f, "m/S", "M/s"), 3.0f);
    EXPECT_EQ(UNIT_cvt(MISSING_F, "K", "C"), MISSING_F);
    EXPECT_EQ(UNIT_cvt(MISSING_F, "10 m", "m"), MISSING_F);
    EXPECT_FLOAT_EQ(UNIT_cvt(5.0f, "K", ""), 5.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(5.0f, "10_m", "10 m"), 5.0f);
}

TEST_F(UnitCvt, LeadingFactorsNeedNoTable) {
    // no units.lup reachable: factors alone still convert
    RES_put("file_path", scratch_dir().c_str());
    EXPECT_FLOAT_EQ(UNIT_cvt(10.0f, "10 m", "m"), 100.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(100.0f, "m", "10 m"), 10.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(50.0f, ".1 g/kg", "g/kg"), 5.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(3.0f, "10^-5 /s", "/s"), 3.0e-5f);
    EXPECT_FLOAT_EQ(UNIT_cvt(4.0f, "-m", "m"), -4.0f);
    // different names without the table give 0
    EXPECT_EQ(UNIT_cvt(300.0f, "K", "C"), 0.0f);
}

TEST_F(UnitCvt, TableConversionsWithScaleAndOffset) {
    EXPECT_NEAR(UNIT_cvt(273.15f, "K", "C"), 0.0f, 1e-4);
    EXPECT_NEAR(UNIT_cvt(20.0f, "C", "K"), 293.15f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(100.0f, "C", "F"), 212.0f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(50000.0f, "Pa", "mb"), 500.0f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(10.0f, "m/s", "knots"), 19.438f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(5500.0f, "gpm", "m"), 5500.0f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(25.0f, "dC", "C"), 2.5f, 1e-5);
    // factor and table together: 12 tenths of a degree C in K
    EXPECT_NEAR(UNIT_cvt(12.0f, ".1 C", "K"), 274.35f, 1e-3);
    // an unknown pair converts with scale 1 and offset 0
    EXPECT_FLOAT_EQ(UNIT_cvt(7.0f, "furlong", "parsec"), 7.0f);
}

TEST_F(UnitCvt, CachedPairIsReusedAcrossCalls) {
    EXPECT_NEAR(UNIT_cvt(283.15f, "K", "C"), 10.0f, 1e-4);
    // the table is gone, the cached pair still converts
    RES_put("file_path", scratch_dir().c_str());
    EXPECT_NEAR(UNIT_cvt(293.15f, "K", "C"), 20.0f, 1e-4);
    // a new pair needs the table again
    EXPECT_EQ(UNIT_cvt(1.0f, "m/s", "knots"), 0.0f);
}

TEST_F(UnitCvt, OwnTableFormat) {
    std::string dir = make_dir("units");
    write_file("units/units.lup", "# comment line\nabc xyz *2+1\nabc qq -3\ndeg_C deg_F *1.8+32\n");
    RES_put("file_path", dir.c_str());
    EXPECT_FLOAT_EQ(UNIT_cvt(5.0f, "abc", "xyz"), 11.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(5.0f, "ABC", "QQ"), 2.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(10.0f, "deg C", "deg_F"), 50.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(5.0f, "10 abc", "xyz"), 101.0f);
}
