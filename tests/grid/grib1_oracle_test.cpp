// Every message of every edition 0/1 sample and variant, decoded by raziva
// and by eccodes: values, placement, parameter, level and time.
#include <gtest/gtest.h>

#include "grib2_oracle_util.h"

using namespace gribtest;

namespace {

using Grib1Oracle = EccodesTest;

TEST_F(Grib1Oracle, LambertNam) { oracle_grib1("eta_grib1_part.grb"); }

TEST_F(Grib1Oracle, LatLonEcmwf) { oracle_grib1("regular_latlon_surface.grib1"); }

TEST_F(Grib1Oracle, SouthToNorthAndBitmap) {
    oracle_grib1("scan_south_north.grib1");
    oracle_grib1("bitmap.grib1");
}

// Rotated grid: every point placed through the rotated pole where eccodes
// puts it.
TEST_F(Grib1Oracle, RotatedGridPlaced) { oracle_grib1("rotated_ll.grib1"); }

TEST_F(Grib1Oracle, ThinnedRowsStretched) { oracle_grib1("reduced_latlon.grib1", false); }

// Bulletin headers of the three kinds around the same messages.
TEST_F(Grib1Oracle, WrappedMessages) {
    for (const char *f : {"wrap_zup.grb", "wrap_feed.grb", "wrap_oldzup.grb"}) {
        SCOPED_TRACE(f);
        std::vector<Product> bare = read_all(fixture("eta_grib1_part.grb"), 0, 3);
        std::vector<Product> wrapped = read_all(fixture(f), 0);
        ASSERT_EQ(wrapped.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(wrapped[k].rec.var, bare[k].rec.var);
            EXPECT_EQ(wrapped[k].rec.level, bare[k].rec.level);
            EXPECT_EQ(wrapped[k].vals, bare[k].vals);
        }
    }
}

// Edition 0 (no length, no decimal scale, old parameter numbers 2, 4, 13)
// against the edition 1 originals.
TEST_F(Grib1Oracle, EditionZero) {
    std::vector<Product> ed0 = read_all(fixture("edition0.grb"), 0);
    std::vector<Product> ed1 = read_all(fixture("eta_grib1_part.grb"), 0, 3);
    ASSERT_EQ(ed0.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(ed0[k].rec.version, 0);
        EXPECT_EQ(ed0[k].rec.var, ed1[k].rec.var);
        EXPECT_EQ(ed0[k].rec.ltype, ed1[k].rec.ltype);
        EXPECT_EQ(ed0[k].rec.level, ed1[k].rec.level);
        EXPECT_EQ(ed0[k].rec.time, ed1[k].rec.time);
        EXPECT_EQ(ed0[k].vals, ed1[k].vals);
    }
}

}  // namespace
