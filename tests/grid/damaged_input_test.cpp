// The whole program on damaged input: GRIB files cut at every section
// boundary, with lying lengths and sizes, junk resource and station files.
// Every run must end with a documented status and its message; in the
// sanitizer build any memory or arithmetic fault ends the run abnormally.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "grd_test_util.h"

using namespace grdtest;

namespace {

class Damaged : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    }
};

std::string sounding_run(const std::string &bytes, const std::string &time = "h24") {
    std::string path = write_file("damaged.grb", bytes);
    return "-ba -me +out1 -id 40,-100 -ft " + time + " '" + path + "'";
}

// No sanitizer report, a normal exit with the given status.
void expect_clean(const RunResult &r, int status, const std::string &what) {
    EXPECT_EQ(r.status, status) << what << "\n" << r.out.substr(0, 4000);
    EXPECT_FALSE(has(r.out, "runtime error")) << what;
    EXPECT_FALSE(has(r.out, "Sanitizer")) << what;
}

unsigned be(const std::string &b, std::size_t at, int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

void put_be(std::string &b, std::size_t at, int n, std::uint64_t v) {
    for (int i = n - 1; i >= 0; --i, v >>= 8) b[at + i] = static_cast<char>(v & 0xff);
}

// Offsets where the sections of the edition 1 message at b[0] start, and
// its end.
std::vector<std::size_t> grib1_sections(const std::string &b) {
    std::vector<std::size_t> at{0, 8};
    std::size_t p = 8;
    unsigned flags = static_cast<unsigned char>(b[p + 7]);
    p += be(b, p, 3);  // product definition
    at.push_back(p);
    if (flags & 0x80) at.push_back(p += be(b, p, 3));  // grid description
    if (flags & 0x40) at.push_back(p += be(b, p, 3));  // bitmap
    at.push_back(p += be(b, p, 3));                    // binary data
    at.push_back(p + 4);                               // after "7777"
    return at;
}

// Offsets where the sections of the edition 2 message at b[0] start.
std::vector<std::size_t> grib2_sections(const std::string &b) {
    std::vector<std::size_t> at{0, 16};
    std::size_t p = 16;
    while (p + 5 <= b.size() && b.compare(p, 4, "7777") != 0) {
        unsigned n = be(b, p, 4);
        if (n < 5) break;
        at.push_back(p += n);
    }
    return at;
}

std::size_t grib2_section(const std::string &b, int num) {
    for (std::size_t p : grib2_sections(b))
        if (p + 5 <= b.size() && static_cast<unsigned char>(b[p + 4]) == num) return p;
    return std::string::npos;
}

}  // namespace

TEST_F(Damaged, Edition1CutAtEverySectionBoundary) {
    std::string file = read_file(data_dir() + "/sample.grb");
    ASSERT_GT(file.size(), 1000u);
    for (std::size_t cut : grib1_sections(file)) {
        for (std::size_t c : {cut, cut + 3}) {
            RunResult r = raziva(sounding_run(file.substr(0, c)));
            // without the "GRIB" mark the file is not a grid file at all
            expect_clean(r, c < 4 ? 255 : 0, "cut at " + std::to_string(c));
            EXPECT_TRUE(has(r.out, c < 4 ? "Unable to open grid file" : "Too few grids")) << c;
        }
    }
    // cut in the middle of the file: part of the profile is there
    RunResult r = raziva(sounding_run(file.substr(0, file.size() / 2 + 5)));
    expect_clean(r, 0, "cut in the middle");
}

TEST_F(Damaged, Edition2CutAtEverySectionBoundary) {
    std::string file = read_file(test_data("../grib/gfs_small.grb"));
    ASSERT_GT(file.size(), 1000u);
    for (std::size_t cut : grib2_sections(file))
        for (std::size_t c : {cut, cut + 2, cut + 7})
            expect_clean(raziva(sounding_run(file.substr(0, c), "72")), c < 4 ? 255 : 0,
                         "cut at " + std::to_string(c));
}

TEST_F(Damaged, LyingLengthsAndSizes) {
    std::string g1 = read_file(data_dir() + "/sample.grb");
    std::string g2 = read_file(test_data("../grib/gfs_small.grb"));
    ASSERT_FALSE(g1.empty());
    ASSERT_FALSE(g2.empty());
    std::vector<std::pair<std::string, std::string>> cases;
    {
        std::string b = g1;  // length beyond the file and beyond the limit
        put_be(b, 4, 3, 0xFFFFFF);
        cases.emplace_back("edition 1 length 16 MB", b);
    }
    {
        std::string b = g1;  // a grid of 65535 x 65535 points
        std::size_t gds = 8 + be(b, 8, 3);
        put_be(b, gds + 6, 2, 65535);
        put_be(b, gds + 8, 2, 65535);
        cases.emplace_back("edition 1 with 2^32 points", b);
    }
    {
        std::string b = g1;  // binary data section claiming 2^24 - 1 octets
        std::vector<std::size_t> s = grib1_sections(b);
        put_be(b, s[s.size() - 2 - 1], 3, 0xFFFFFF);
        cases.emplace_back("edition 1 data section overstated", b);
    }
    {
        std::string b = g2;  // 2 GB message length
        put_be(b, 8, 8, 0x80000000ULL);
        cases.emplace_back("edition 2 length 2 GB", b);
    }
    {
        std::string b = g2;  // section 3 claiming 2^31 points
        std::size_t s3 = grib2_section(b, 3);
        ASSERT_NE(s3, std::string::npos);
        put_be(b, s3 + 6, 4, 0x80000000ULL);
        put_be(b, s3 + 30, 4, 0x10000);
        put_be(b, s3 + 34, 4, 0x8000);
        cases.emplace_back("edition 2 with 2^31 points", b);
    }
    for (int num : {3, 4, 5, 7}) {
        std::string b = g2;  // a section of length zero
        std::size_t s = grib2_section(b, num);
        ASSERT_NE(s, std::string::npos);
        put_be(b, s, 4, 0);
        cases.emplace_back("edition 2 section " + std::to_string(num) + " of length 0", b);
    }
    std::mt19937 rng(20261206);
    for (const std::string *g : {&g1, &g2}) {
        std::string b = g->substr(0, 40);  // a valid start, then noise
        for (int i = 0; i < 8192; ++i) b += static_cast<char>(rng());
        cases.emplace_back("random bytes after a header", b);
    }
    for (const auto &[what, bytes] : cases) expect_clean(raziva(sounding_run(bytes, "72")), 0, what);
}

TEST_F(Damaged, JunkResourceAndStationFiles) {
    std::mt19937 rng(7);
    std::string junk;
    for (int i = 0; i < 16384; ++i) junk += static_cast<char>(rng());
    // a resource file of binary junk in the current directory is read first
    std::string cfg = write_file("zup.cfg", junk);
    RunResult r = raziva("-ba -me +out1 -id 40,-100 -ft h24 '" + data_dir() + "/sample.grb'");
    std::remove(cfg.c_str());
    expect_clean(r, 0, "junk zup.cfg");
    EXPECT_TRUE(has(r.out, "Date: 24 hour NAM")) << r.out.substr(0, 2000);

    // a station database without a single line end
    std::string one_line(200000, 'K');
    for (std::size_t i = 7; i < one_line.size(); i += 11) one_line[i] = ' ';
    std::string cty = write_file("noline.cty", one_line);
    r = raziva("-ba -city_file '" + cty + "' -id KDDC -ft h24 '" + data_dir() + "/sample.grb'");
    expect_clean(r, 31, "station file without line ends");
    EXPECT_TRUE(has(r.out, "Station not found"));
    cty = write_file("junk.cty", junk);
    r = raziva("-ba -city_file '" + cty + "' -id KDDC -ft h24 '" + data_dir() + "/sample.grb'");
    expect_clean(r, 31, "station file of junk");
}

// A netCDF-4 file damaged so that the HDF5 layer under it faults while
// opening it: refused with a message, the run goes on to its end.
TEST_F(Damaged, Netcdf4FileThatBreaksTheLibrary) {
    std::string bytes = read_file(test_data("../../fuzz/corpus/netcdf/repro-hdf5-crash-0aaca0b2"));
    ASSERT_FALSE(bytes.empty());
    std::string path = write_file("damaged.nc", bytes);
    RunResult r = raziva("-ba -me +out1 -id 40,-100 -ft h24 '" + path + "'");
    expect_clean(r, 255, "damaged netCDF-4");
    EXPECT_TRUE(has(r.out, "netCDF-4 file damaged")) << r.out.substr(0, 2000);
}
