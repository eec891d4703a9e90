// Packings made at test time with grib_set from the shipped samples (IEEE
// numbers in both editions, every edition 1 second-order variant eccodes
// writes, with and without a bitmap), decoded by raziva and by eccodes and
// compared value for value.
#include <gtest/gtest.h>

#include "grib2_oracle_util.h"

using namespace gribtest;

namespace {

class PackingOracle : public EccodesTest {
protected:
    // Repacks a fixture with grib_set; the made file's path.
    static std::string repack(const std::string &src, const std::string &settings,
                              const std::string &out) {
        std::string path = scratch_dir() + "/" + out;
        std::string cmd = "grib_set -r -s " + settings + " '" + fixture(src) + "' '" + path +
                          "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::string check = run("grib_get -p packingType '" + path + "' 2>/dev/null");
        EXPECT_NE(check.find(settings.substr(12, settings.find(',') == std::string::npos
                                                     ? std::string::npos
                                                     : settings.find(',') - 12)),
                  std::string::npos)
            << "grib_set did not write " << settings << ": " << check;
        return path;
    }
};

struct Case {
    const char *src;
    const char *settings;
    bool edition1;
};

TEST_F(PackingOracle, MadeFilesDecodeLikeEccodes) {
    const Case cases[] = {
        {"regular_latlon_surface.grib2", "packingType=grid_ieee", false},
        {"regular_latlon_surface.grib2", "packingType=grid_ieee,precision=2", false},
        {"bitmap_simple.grb", "packingType=grid_ieee", false},
        {"scan_east_west.grb", "packingType=grid_ieee", false},
        {"regular_latlon_surface.grib1", "packingType=grid_ieee", true},
        {"regular_latlon_surface.grib1", "packingType=grid_second_order", true},
        {"regular_latlon_surface.grib1", "packingType=grid_second_order_no_SPD", true},
        {"regular_latlon_surface.grib1", "packingType=grid_second_order_SPD1", true},
        {"regular_latlon_surface.grib1", "packingType=grid_second_order_SPD3", true},
        {"regular_latlon_surface.grib1",
         "packingType=grid_second_order,boustrophedonicOrdering=1", true},
        {"bitmap.grib1", "packingType=grid_second_order", true},
        {"scan_south_north.grib1", "packingType=grid_second_order", true},
        {"eta_grib1_part.grb", "packingType=grid_second_order", true},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string out = "made" + std::to_string(n++) + (c.edition1 ? ".grib1" : ".grib2");
        std::string path = repack(c.src, c.settings, out);
        SCOPED_TRACE(std::string(c.src) + " " + c.settings);
        if (c.edition1)
            oracle_grib1(path);
        else
            oracle_grib2(path);
    }
}

// Damaged second-order descriptors: the grid stays missing and the reader
// says why; nothing is read outside the section.
TEST_F(PackingOracle, DamagedSecondOrderRefused) {
    const std::string good = read_file(
        repack("regular_latlon_surface.grib1", "packingType=grid_second_order", "so.grib1"));
    ASSERT_GT(good.size(), 100u);
    // Binary data section: behind the indicator, product and grid sections.
    const std::size_t pds = 8, gds = pds + ((std::uint8_t(good[pds]) << 16) | (std::uint8_t(good[pds + 1]) << 8) |
                                            std::uint8_t(good[pds + 2]));
    const std::size_t bds = gds + ((std::uint8_t(good[gds]) << 16) | (std::uint8_t(good[gds + 1]) << 8) |
                                   std::uint8_t(good[gds + 2]));
    struct Damage {
        std::size_t octet;  // 1-based in the data section
        unsigned char value;
        const char *says;
    } damages[] = {
        {14, 0x12, "Unsupported second-order packing"},  // not general extended
        {14, 0x3a, "Unsupported second-order packing"},  // secondary bitmap
        {17, 0xff, "overrun"},                          // 65000 groups
        {15, 0xff, "overrun"},                          // N2 beyond the section
        {22, 40, "beyond 32 bits"},                     // widths of 40 bits
        {19, 0x00, "announced"},                        // value count disagrees
    };
    for (const Damage &d : damages) {
        std::string bad = good;
        bad[bds + d.octet - 1] = static_cast<char>(d.value);
        testing::internal::CaptureStderr();
        std::vector<Product> p = read_all(write_file("so_bad.grib1", bad), 0);
        std::string err = testing::internal::GetCapturedStderr();
        SCOPED_TRACE("octet " + std::to_string(d.octet));
        ASSERT_EQ(p.size(), 1u);
        for (float v : p[0].vals) ASSERT_EQ(v, -9999);
        EXPECT_NE(err.find(d.says), std::string::npos) << err;
    }
}

}  // namespace
