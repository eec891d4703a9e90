// Every product of every edition 2 sample and variant, decoded by raziva and
// by eccodes (grib_get_data, grib_get): values, placement, level and time.
#include <gtest/gtest.h>

#include "grib2_oracle_util.h"

using namespace gribtest;

namespace {

using Grib2Oracle = EccodesTest;

// Complex packing with spatial differencing, several products per message,
// bitmaps, statistical times.
TEST_F(Grib2Oracle, GfsComplexSpatialDifferencing) { oracle_grib2("gfs_part.grb"); }

// The same products repacked in every supported way.
TEST_F(Grib2Oracle, GfsRepacked) {
    for (const char *f : {"gfs_small.grb", "gfs_small_simple.grb", "gfs_small_complex.grb",
                          "gfs_small_jpeg.grb", "gfs_small_png.grb", "gfs_small_ccsds.grb"})
        oracle_grib2(f);
}

// Bitmaps with simple, complex and JPEG 2000 packing.
TEST_F(Grib2Oracle, Bitmaps) {
    for (const char *f : {"bitmap_simple.grb", "bitmap_complex.grb", "bitmap_jpeg.grb",
                          "scanning_mode_with_bitmap.grib2"})
        oracle_grib2(f);
}

// Rows south to north, east to west, columns consecutive.
TEST_F(Grib2Oracle, ScanningModes) {
    for (const char *f : {"scan_south_north.grb", "scan_east_west.grb", "scan_both_jpeg.grb",
                          "scanning_mode.grib2"})
        oracle_grib2(f);
}

// Lambert (simple packing, several products per message), polar
// stereographic (simple and JPEG 2000), Mercator (complex with missing
// values), regular and thinned lat/lon.
TEST_F(Grib2Oracle, Projections) {
    for (const char *f : {"eta_part.grb", "ngm.grb", "safrica_part.grib2",
                          "regular_latlon_surface.grib2"})
        oracle_grib2(f);
}

// Mercator with alternating rows and missing values.  eccodes 2.28 lists
// wrong coordinates for this grid, so values are compared in message order
// and the placement is checked against the corner points of the message.
TEST_F(Grib2Oracle, MercatorAlternatingRows) {
    oracle_grib2("dspr.temp.bin", true);
    std::vector<Product> p = read_all(fixture("dspr.temp.bin"), 1, 1);
    ASSERT_EQ(p.size(), 1u);
    const Domain &d = p[0].rec.domain;
    EXPECT_EQ(d.proj, 3);
    ASSERT_EQ(d.nx, 339);
    ASSERT_EQ(d.ny, 224);
    Domain saved;
    MAP_get_domain(&saved);
    MAP_domain(&d);
    float x, y, lat, lon;
    MAP_grid_tran(0, static_cast<float>(d.ny - 1), &x, &y);  // south-west corner
    MAP_untran(x, y, &lat, &lon);
    EXPECT_NEAR(lat, 16.9775, 0.01);
    EXPECT_NEAR(lon, 291.972 - 360, 0.01);
    MAP_grid_tran(static_cast<float>(d.nx - 1), 0, &x, &y);  // north-east corner
    MAP_untran(x, y, &lat, &lon);
    EXPECT_NEAR(lat, 19.5445, 0.01);
    EXPECT_NEAR(lon, 296.016 - 360, 0.01);
    MAP_domain(&saved);
}

TEST_F(Grib2Oracle, ThinnedRowsStretched) { oracle_grib2("reduced_latlon_surface.grib2"); }

// Bulletin-wrapped edition 2 messages decode like bare ones.
TEST_F(Grib2Oracle, WrappedMessages) {
    for (const char *f : {"wrap_feed.grib2", "wrap_zup.grib2"}) oracle_grib2(f);
}

}  // namespace
