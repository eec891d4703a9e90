// The package's own grid files and netCDF grids: soundings from files made
// out of the NAM and GFS samples (tools/make_gridfiles.py, ncgen, cdo) agree
// with the soundings from the GRIB files; header forms, positioning,
// standard input and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "grd_test_util.h"
#include "zup.h"
#include "zupgrd.h"

using namespace grdtest;

namespace {

struct Sounding {
    int made = 0;
    int num = 0;
    float sfcp = 0;
    std::vector<UPA_level> lev = std::vector<UPA_level>(42);
};

Sounding sounding(const std::string &file, int hour, float lat = 40, float lon = -100) {
    reset_resources();
    GRD_sound_reset();
    FLAG_set(6, hour);
    Sounding s;
    int type = 0;
    int slot = GRD_open(file.c_str(), 0, &type);
    if (slot < 0) return s;
    GRD_info info;
    GRD_getinfo(slot, &info);
    s.made = GRD_get_sound(slot, lat, lon, s.lev.data(), &s.num, &s.sfcp);
    GRD_close(slot);
    return s;
}

// The NAM sample as the files made from it read: their formats have no
// flag for winds relative to the grid, so they carry the sample's
// grid-relative components as if they were east and north ones.  The copy
// has that flag (grid description octet 17, bit 0x08) cleared.
std::string nam_grib_as_made() {
    static std::string path;
    if (!path.empty()) return path;
    std::string b = read_file(test_data("eta_grib1.grb"));
    auto u3 = [&b](std::size_t at) {
        return (static_cast<std::size_t>(static_cast<unsigned char>(b[at])) << 16) |
               (static_cast<std::size_t>(static_cast<unsigned char>(b[at + 1])) << 8) |
               static_cast<unsigned char>(b[at + 2]);
    };
    for (std::size_t p = b.find("GRIB"); p != std::string::npos && p + 40 < b.size();) {
        const std::size_t pds = p + 8, gds = pds + u3(pds);
        if ((b[pds + 7] & 0x80) && gds + 17 < b.size()) b[gds + 16] = static_cast<char>(b[gds + 16] & ~0x08);
        p = b.find("GRIB", p + std::max<std::size_t>(u3(p + 4), 8));
    }
    path = write_file("eta_as_made.grb", b);
    return path;
}

void expect_same(const Sounding &a, const Sounding &b, const std::string &what) {
    ASSERT_EQ(a.made, 1) << what;
    ASSERT_EQ(b.made, 1) << what;
    ASSERT_EQ(a.num, b.num) << what;
    EXPECT_NEAR(a.sfcp, b.sfcp, 0.05) << what;
    auto near = [&](float x, float y, float tol, const char *f, int k) {
        if (x == MISSING_F || y == MISSING_F)
            EXPECT_EQ(x, y) << what << " " << f << " level " << k;
        else
            EXPECT_NEAR(x, y, tol) << what << " " << f << " level " << k;
    };
    for (int k = 0; k < a.num; ++k) {
        const UPA_level &x = a.lev[k], &y = b.lev[k];
        near(x.p, y.p, 0.05f, "p", k);
        near(x.h, y.h, 0.5f, "h", k);
        near(x.t, y.t, 0.02f, "t", k);
        near(x.td, y.td, 0.05f, "td", k);
        near(x.spd, y.spd, 0.05f, "spd", k);
        if (x.spd != MISSING_F && x.spd > 1) near(x.dir, y.dir, 0.5f, "dir", k);
    }
}

TEST(NativeSounding, FilesMadeFromGribGiveTheGribSounding) {
    Sounding grib = sounding(nam_grib_as_made(), 24);
    ASSERT_EQ(grib.made, 1);
    ASSERT_GT(grib.num, 15);
    for (const char *name : {"nam_cut.zup", "nam_cut.zupb", "nam_cut.zup4", "nam_model.nc",
                             "nam_model4.nc", "nam_model64.nc", "nam_cf.nc", "nam_cf4.nc"})
        expect_same(sounding(test_data(name), 24), grib, name);
    Sounding gfs = sounding(test_data("gfs_cut.grb"), 72);
    ASSERT_EQ(gfs.made, 1);
    expect_same(sounding(test_data("gfs_cf.nc"), 72), gfs, "gfs_cf.nc");
}

// The whole report of the program, without the file name and date lines.
std::string report(const std::string &file) {
    std::string out;
    for (const std::string &line : lines(raziva("-df '" + data_dir() + "' -ba -id 40,-100 -ft 24 '" + file + "'").out))
        if (line.rfind("Reading from", 0) != 0 && line.rfind("Date:", 0) != 0) out += line + "\n";
    return out;
}

TEST(NativeSounding, ProgramReportsAgreeWithGrib) {
    if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    std::string grib = report(nam_grib_as_made());
    ASSERT_NE(grib.find("CAPE"), std::string::npos);
    for (const char *name : {"nam_cut.zup", "nam_cut.zup4", "nam_model.nc"})
        EXPECT_EQ(report(test_data(name)), grib) << name;
}

TEST(NativeSounding, StandardInputIsReadGridAfterGrid) {
    Sounding grib = sounding(nam_grib_as_made(), 24);
    // the data file of the "ZUPGRID4" file is found in the working directory
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof(cwd)));
    ASSERT_EQ(chdir(test_data("").c_str()), 0);
    for (const char *name : {"nam_cut.zup", "nam_cut.zupb", "nam_cut.zup4"}) {
        ASSERT_TRUE(std::freopen(test_data(name).c_str(), "r", stdin));
        expect_same(sounding("-", 24), grib, std::string("stdin ") + name);
    }
    ASSERT_TRUE(std::freopen("/dev/null", "r", stdin));
    ASSERT_EQ(chdir(cwd), 0);
}

// ---------------------------------------------------------------------------
// Own grid files

struct Own {
    int slot = -1;
    GRD_report rec;
    explicit Own(const std::string &path) {
        reset_resources();
        GRD_init(&rec);
        int type = 0;
        slot = GRD_open(path.c_str(), 0, &type);
        GRD_info info;
        if (slot >= 0) GRD_getinfo(slot, &info);
    }
    ~Own() {
        GRD_free(&rec);
        GRD_close(slot);
    }
    int read(int n, int mode = 0) { return GRD_read(slot, &rec, mode, &n); }
};

struct HeaderCase {
    const char *text;
    int proj;
    float clat, clon, plat, plon, dx, dy;
    const char *units;
};

TEST(OwnGrid, ProjectionWords) {
    const HeaderCase cases[] = {
        {"1-west positive\nLL 40 90 1 1 2 2\n", 2, 40, -90, MISSING_F, -90, 1, 1, ""},
        {"2-with units\n7 1 84 0 100 500 24 7:gpm\n:m LL 40 -90 1 0.5 2 2\n", 2, 40, -90,
         MISSING_F, -90, 1, 0.5f, "m"},
        {"0-\nLL:-80 40 -90 1 1 2 2\n", 2, 40, -90, MISSING_F, -80, 1, 1, ""},
        {"0-\nPS:-105 60 -100 1.5 1.5 2 2\n", 1, 60, -100, MISSING_F, -105, 1.5f, 1.5f, ""},
        {"0-\nLC:-95 40 -100 0.8 0.8 2 2\n", 4, 40, -100, MISSING_F, -95, 0.8f, 0.8f, ""},
        {"0-\nLC:90:-95:25:25 40 -100 0.8 0.8 2 2\n", 4, 40, -100, 90, -95, 0.8f, 0.8f, ""},
        {"0-\nME 10 20 1 1 2 2\n", 3, 10, 20, MISSING_F, MISSING_F, 1, 1, ""},
        {"Temperature\n60 -100 1.5 2 2\n", 1, 60, -100, MISSING_F, MISSING_F, 1.5f, 1.5f, ""},
        {"0-\nXX -100 1.5 2 2\n", 1, 0, -100, MISSING_F, MISSING_F, 1.5f, 1.5f, ""},
    };
    int k = 0;
    for (const HeaderCase &c : cases) {
        std::string path = write_file("proj" + std::to_string(k++) + ".zup",
                                      std::string("ZUPGRID\n12Z 8 DEC 04\n") + c.text +
                                          "1 2\n3 4\n");
        Own g(path);
        ASSERT_EQ(g.read(0), 0) << c.text;
        const Domain &d = g.rec.domain;
        EXPECT_EQ(d.proj, c.proj) << c.text;
        EXPECT_FLOAT_EQ(d.clat, c.clat) << c.text;
        EXPECT_FLOAT_EQ(d.clon, c.clon) << c.text;
        EXPECT_FLOAT_EQ(d.plat, c.plat) << c.text;
        EXPECT_FLOAT_EQ(d.plon, c.plon) << c.text;
        EXPECT_FLOAT_EQ(d.dx, c.dx) << c.text;
        EXPECT_FLOAT_EQ(d.dy, c.dy) << c.text;
        EXPECT_STREQ(g.rec.units, c.units) << c.text;
        ASSERT_NE(g.rec.grid, nullptr);
        EXPECT_EQ(g.rec.grid[3], 4.0f);
        EXPECT_EQ(g.rec.date.year, 2004);
    }
    Own v0(write_file("v0.zup", "ZUPGRID\n12Z 8 DEC 04\n500 mb Temperature\nLL 40 -90 1 1 2 2\n"
                                "1 2\n3 4\n"));
    ASSERT_EQ(v0.read(0), 0);
    EXPECT_EQ(v0.rec.version, 0);
    EXPECT_STREQ(v0.rec.info, "500 mb Temperature");
    EXPECT_EQ(v0.rec.var, 0);
    EXPECT_EQ(v0.rec.source, 1);
}

TEST(OwnGrid, BinaryEditionFourFile) {
    // "ZUPGRID4B": a domain text, then big-endian 4-octet values
    std::string bytes = "ZUPGRID4B\n12Z 8 DEC 04\n0-test\nll,40,-100,2,2,1,1\n";
    for (float v : {1.5f, -2.0f, 3.25f, 1000.0f}) {
        unsigned u;
        std::memcpy(&u, &v, 4);
        for (int b = 3; b >= 0; --b) bytes.push_back(static_cast<char>((u >> (8 * b)) & 0xFF));
    }
    Own g(write_file("b4.zup", bytes + "\n"));
    EXPECT_EQ(GRD_get_file(g.slot)->itype, 3);
    ASSERT_EQ(g.read(0), 0);
    EXPECT_EQ(g.rec.domain.proj, 2);
    EXPECT_EQ(g.rec.domain.nx, 2);
    EXPECT_FLOAT_EQ(g.rec.grid[1], -2.0f);
    EXPECT_FLOAT_EQ(g.rec.grid[3], 1000.0f);
    EXPECT_EQ(g.read(1), -1);
}

TEST(OwnGrid, PositioningForwardSameAndBackward) {
    // grids follow the GRIB file: heights, temperatures, humidities, winds by level
    Own g(test_data("nam_cut.zup"));
    const int vars[] = {7, 11, 52, 33, 34};
    for (int n : {2, 2, 1, 0, 7, 8, 3, 96}) {
        ASSERT_EQ(g.read(n, n % 2), 0) << n;
        if (n < 95) {
            EXPECT_EQ(g.rec.var, vars[n % 5]) << n;
            EXPECT_EQ(g.rec.level, 100 + 50 * (n / 5)) << n;
        } else {
            EXPECT_EQ(g.rec.var, 11);
            EXPECT_EQ(g.rec.ltype, 105);
        }
        EXPECT_EQ(g.rec.grid == nullptr, n % 2 == 1) << n;
    }
    EXPECT_EQ(g.read(97), -1);
}

TEST(OwnGrid, DamagedFilesEndTheRead) {
    std::string text = read_file(test_data("nam_cut.zup"));
    std::string bin = read_file(test_data("nam_cut.zupb"));
    std::string z4 = read_file(test_data("nam_cut.zup4"));
    ASSERT_FALSE(text.empty());
    std::size_t second = text.find("12Z", 20);  // the second grid's date line
    struct Cut {
        std::string bytes;
        int good;  // grids readable before the damage
    } cuts[] = {
        {text.substr(0, text.find("LC:")), 0},                     // header
        {text.substr(0, text.find("LC:") + 30), 0},                // projection line
        {text.substr(0, second - 40), 0},                          // values
        {text.substr(0, second + 20), 1},                          // second header
        {bin.substr(0, bin.find("LC:") + 100), 0},                 // binary block
        {z4.substr(0, z4.find("FLOAT")) + "FLOAT missing.dat 0 0 0\n", 0},  // data file
        {z4.substr(0, z4.find("lc:")) + "xyz\nFLOAT nam_cut.dat 0 0 0\n", 0},  // domain
    };
    int k = 0;
    for (const Cut &c : cuts) {
        Own g(write_file("cut" + std::to_string(k++) + ".zup", c.bytes));
        ASSERT_GE(g.slot, 0);
        for (int n = 0; n < c.good; ++n) EXPECT_EQ(g.read(n), 0) << k;
        EXPECT_EQ(g.read(c.good), -1) << k;
        EXPECT_EQ(g.rec.grid, nullptr) << k;
    }
}

// ---------------------------------------------------------------------------
// GRID character code

// A bulletin of three grids on grid 211 (141 + 70): a temperature, then the
// two wind components, both coded 22.
std::string gridcode(bool cut = false) {
    std::string s = "GRID 07141 00000 60412 70812\n";
    const struct {
        const char *groups;
        const char *ref;
    } grids[] = {{"10400 25000 80240 42000", "27315"},
                 {"12200 25000 80240 41000", "-50"},
                 {"12200 25000 80240 40000", "0"}};
    for (const auto &g : grids) {
        s += std::string("07141 ") + g.groups + " " + g.ref + "\n";
        for (int i = 0; i < 93 * 65; ++i) {
            s += i == 5 ? "/////" : std::to_string(i % 100 - 50);
            s += i % 10 == 9 ? "\n" : " ";
        }
        s += "\n";
    }
    if (cut) s.resize(s.size() - 200);
    return s + "\nNNNN\n";
}

TEST(GridCode, GroupsParametersAndValues) {
    Own g(write_file("bulletin.grid", gridcode()));
    ASSERT_GE(g.slot, 0);
    GRD_file *f = GRD_get_file(g.slot);
    EXPECT_EQ(f->type, GRD_TYPE_GRID);
    EXPECT_EQ(f->date.year, 2004);
    EXPECT_EQ(f->date.day, 8);
    EXPECT_EQ(f->date.hour, 12);
    // wind components in order, the same on a second reading and going back
    for (int n : {2, 1, 2, 0, 1}) {
        ASSERT_EQ(g.read(n), 0) << n;
        EXPECT_EQ(g.rec.var, n == 0 ? 4 : 22 + n) << n;
        EXPECT_EQ(g.rec.type, 211);
        EXPECT_EQ(g.rec.ltype, 10);
        EXPECT_EQ(g.rec.level, 500);
        EXPECT_EQ(g.rec.time, 24);
        EXPECT_EQ(g.rec.source, 7);
        EXPECT_EQ(g.rec.domain.nx, 93);
        EXPECT_EQ(g.rec.grid[5], MISSING_F);
    }
    EXPECT_FLOAT_EQ(g.rec.grid[1], -49 * 0.1f - 50);  // scale 1: 0.1
    ASSERT_EQ(g.read(0), 0);
    EXPECT_FLOAT_EQ(g.rec.grid[0], -50 * 0.01f - 27315);  // scale 2, reference negated
    EXPECT_STREQ(g.rec.info, "500 mb Temperature (C)");
    EXPECT_EQ(g.read(3), -1);
    Own cut(write_file("cut.grid", gridcode(true)));
    EXPECT_EQ(cut.read(1), 0);
    EXPECT_EQ(cut.read(2), -1);
}

// ---------------------------------------------------------------------------
// netCDF files from CDL

std::string from_cdl(const std::string &name, const std::string &cdl, const char *kind = "nc3") {
    std::string src = write_file(name + ".cdl", cdl);
    std::string out = scratch_dir() + "/" + name + ".nc";
    std::string cmd = std::string("ncgen -k ") + kind + " -o " + out + " " + src + " 2>/dev/null";
    return std::system(cmd.c_str()) == 0 ? out : "";
}

TEST(NetcdfGrid, PackageLayout) {
    if (!have_tool("ncgen")) GTEST_SKIP() << "ncgen not installed";
    std::string path = from_cdl("package", R"(netcdf package {
dimensions: grid = UNLIMITED ; x = 3 ; y = 2 ; string_len = 20 ;
variables:
 float values(grid, y, x) ; values:long_name = "Temperature" ; values:units = "K" ;
 char datim(grid, string_len) ; char info(grid, string_len) ;
 short proj(grid) ; float lat1(grid) ; float lon1(grid) ; float dx(grid) ; float dy(grid) ;
 short model(grid) ; short ltype(grid) ; short level(grid) ; short time(grid) ;
 short var(grid) ; short nx(grid) ; short ny(grid) ;
 float x_coord(x) ; float y_coord(y) ;
 :grid_type = 1s ; :year = 3924 ; :month = 5 ; :day = 21 ; :hour = 12 ;
data:
 values = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 ;
 datim = "12Z 21 MAY 24", "12Z 21 MAY 24" ; info = "", "own text" ;
 proj = 2, _ ; lat1 = 40, 41 ; lon1 = -100, -101 ; dx = 1, 1 ; dy = 1, 1 ;
 model = 84, 84 ; ltype = 100, 100 ; level = 500, 850 ; time = 6, 12 ;
 var = 11, 11 ; nx = 3, 3 ; ny = 2, 2 ;
 x_coord = -100, -99.5, -99 ; y_coord = 41, 40 ;
})");
    ASSERT_FALSE(path.empty());
    Own g(path);
    GRD_info info;
    ASSERT_EQ(GRD_getinfo(g.slot, &info), 0);
    EXPECT_EQ(info.grid_type, 1);
    EXPECT_EQ(info.date.year, 2024);
    EXPECT_EQ(info.date.hour, 12);
    ASSERT_EQ(g.read(1), 0);
    EXPECT_STREQ(g.rec.info, "own text");
    EXPECT_EQ(g.rec.level, 850);
    EXPECT_EQ(g.rec.domain.proj, 2);
    EXPECT_FLOAT_EQ(g.rec.domain.clat, 40.5f);  // from the coordinate variables
    EXPECT_FLOAT_EQ(g.rec.domain.clon, -99.5f);
    EXPECT_FLOAT_EQ(g.rec.domain.dx, 0.5f);
    EXPECT_EQ(g.rec.grid[5], 12.0f);
    ASSERT_EQ(g.read(0), 0);
    EXPECT_STREQ(g.rec.info, "500 mb Temperature (K)");
    EXPECT_EQ(g.rec.time, 6);
    EXPECT_EQ(g.read(2), -1);
}

TEST(NetcdfGrid, ModelLayoutCodesAndDebugLines) {
    if (!have_tool("ncgen")) GTEST_SKIP() << "ncgen not installed";
    std::string path = from_cdl("model", R"(netcdf model {
dimensions: frtime = 2 ; level = 2 ; lat = 2 ; lon = 3 ;
variables:
 float lat(lat) ; float lon(lon) ; float level(level) ; float frtime(frtime) ;
 float temp(frtime, level, lat, lon) ; temp:units = "degK" ;
 float Ttrop(frtime, lat, lon) ; Ttrop:units = "celsius" ;
 float precip(frtime, lat, lon) ;
 :title = "NMC Global Trop fields" ;
data:
 lat = 40, 41 ; lon = -100, -99, -98 ; level = 850, 500 ; frtime = 0, 12 ;
 temp = 273, 274, 275, 276, 277, 278,  263, 264, 265, 266, 267, 268,
        283, 284, 285, 286, 287, 288,  253, 254, 255, 256, 257, 258 ;
 Ttrop = -50, -51, -52, -53, -54, -55,  -60, -61, -62, -63, -64, -65 ;
 precip = 0, 1, 2, 3, 4, 5,  6, 7, 8, 9, 10, 11 ;
})", "nc4");
    ASSERT_FALSE(path.empty());
    setenv("GRIBQP", "6", 1);
    Own g(path);
    GRD_file *f = GRD_get_file(g.slot);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->grid, 1);
    EXPECT_EQ(f->itype, 141);  // "NMC Globa" 40, "Trop" 1, no rtime 100
    ASSERT_EQ(f->var_num, 3);
    EXPECT_EQ(f->var[0], 104);
    EXPECT_EQ(f->var[1], 4);
    EXPECT_EQ(f->var[2], 50);
    EXPECT_EQ(f->max_num, 8);
    // temp: time index (m - b) / levels, level index (m - b) % levels
    ASSERT_EQ(g.read(3), 0);
    EXPECT_EQ(g.rec.var, 11);
    EXPECT_EQ(g.rec.ltype, 100);
    EXPECT_EQ(g.rec.level, 500);
    EXPECT_EQ(g.rec.time, 12);
    EXPECT_STREQ(g.rec.units, "K");
    // rows come north first
    EXPECT_FLOAT_EQ(g.rec.grid[0], 256);
    ASSERT_EQ(g.read(5), 0);  // Ttrop, second time: tropopause, converted to K
    EXPECT_EQ(g.rec.ltype, 7);
    EXPECT_NEAR(g.rec.grid[0], -63 + 273.15, 1e-3);
    ASSERT_EQ(g.read(7), 0);  // precip with GRIBQP
    EXPECT_EQ(g.rec.time, 18);
    EXPECT_EQ(g.read(8), -1);
    unsetenv("GRIBQP");
}

TEST(NetcdfGrid, CfRelativeHumidityFromSpecificHumidity) {
    if (!have_tool("ncgen")) GTEST_SKIP() << "ncgen not installed";
    // 280 K at 850 hPa with q = 3.708 g/kg is close to 50 % relative humidity
    std::string path = from_cdl("cfq", R"(netcdf cfq {
dimensions: time = 1 ; plev = 1 ; lat = 2 ; lon = 2 ;
variables:
 double time(time) ; time:units = "hours since 2024-05-21 12:00:00" ;
 double plev(plev) ; plev:standard_name = "air_pressure" ; plev:units = "Pa" ;
 double lat(lat) ; double lon(lon) ;
 float t(time, plev, lat, lon) ; t:standard_name = "air_temperature" ; t:units = "K" ;
 float q(time, plev, lat, lon) ; q:standard_name = "specific_humidity" ;
   q:units = "kg kg**-1" ; q:_FillValue = -1.f ;
data:
 time = 6 ; plev = 85000 ; lat = 40, 41 ; lon = -100, -99 ;
 t = 280, 280, 280, 280 ; q = 0.003708, 0.003708, -1, 0.003708 ;
})");
    ASSERT_FALSE(path.empty());
    Own g(path);
    GRD_file *f = GRD_get_file(g.slot);
    ASSERT_EQ(f->max_num, 3);
    EXPECT_EQ(f->date.hour, 12);
    ASSERT_EQ(g.read(2), 0);
    EXPECT_EQ(g.rec.var, 52);
    EXPECT_EQ(g.rec.level, 850);
    EXPECT_EQ(g.rec.time, 6);
    EXPECT_STREQ(g.rec.units, "%");
    EXPECT_NEAR(g.rec.grid[2], 50, 1.5);
    EXPECT_EQ(g.rec.grid[0], MISSING_F);  // the fill value, on the northern row
}

TEST(NetcdfGrid, CfPackedReanalysisLayout) {
    if (!have_tool("ncgen")) GTEST_SKIP() << "ncgen not installed";
    // packed values, levels in millibars, times counted from 1900, surface
    // fields known by their short names only, a netCDF-4 string attribute
    std::string path = from_cdl("era", R"(netcdf era {
dimensions: longitude = 3 ; latitude = 2 ; level = 2 ; time = 2 ;
variables:
 float longitude(longitude) ; longitude:units = "degrees_east" ;
 float latitude(latitude) ; latitude:units = "degrees_north" ;
 int level(level) ; level:units = "millibars" ;
 int time(time) ; time:units = "hours since 1900-01-01 00:00:00.0" ;
 short t(time, level, latitude, longitude) ; t:scale_factor = 0.01 ; t:add_offset = 250. ;
   t:units = "K" ; string t:standard_name = "air_temperature" ; t:missing_value = -32767s ;
 short t2m(time, latitude, longitude) ; t2m:scale_factor = 0.01 ; t2m:add_offset = 250. ;
   t2m:units = "K" ;
 short d2m(time, latitude, longitude) ; d2m:scale_factor = 0.01 ; d2m:add_offset = 250. ;
   d2m:units = "K" ;
data:
 longitude = 0, 0.25, 0.5 ; latitude = 50, 49.75 ; level = 500, 850 ;
 time = 1086444, 1086450 ;
 t = 0, 1, 2, 3, 4, 5,  100, 101, 102, 103, 104, 105,
     -32767, 1, 2, 3, 4, 5,  200, 201, 202, 203, 204, 205 ;
 t2m = 3000, 3000, 3000, 3000, 3000, 3000,  3100, 3100, 3100, 3100, 3100, 3100 ;
 d2m = 3000, 3000, 3000, 3000, 3000, 3000,  2000, 2000, 2000, 2000, 2000, 2000 ;
})", "nc4");
    ASSERT_FALSE(path.empty());
    Own g(path);
    GRD_file *f = GRD_get_file(g.slot);
    ASSERT_EQ(f->max_num, 10);  // t 2x2, t2m 2, d2m 2, relative humidity 2
    EXPECT_EQ(f->date.year, 2023);
    EXPECT_EQ(f->date.month, 12);
    EXPECT_EQ(f->date.day, 9);
    EXPECT_EQ(f->date.hour, 12);
    ASSERT_EQ(g.read(3), 0);  // t, second time, 850 mb
    EXPECT_EQ(g.rec.time, 6);
    EXPECT_EQ(g.rec.ltype, 100);
    EXPECT_EQ(g.rec.level, 850);
    EXPECT_FLOAT_EQ(g.rec.grid[5], 252.05f);
    ASSERT_EQ(g.read(2), 0);
    EXPECT_EQ(g.rec.grid[0], MISSING_F);
    ASSERT_EQ(g.read(4), 0);
    EXPECT_EQ(g.rec.var, 11);
    EXPECT_EQ(g.rec.ltype, 105);
    EXPECT_EQ(g.rec.level, 2);
    ASSERT_EQ(g.read(8), 0);
    EXPECT_EQ(g.rec.var, 52);
    EXPECT_FLOAT_EQ(g.rec.grid[0], 100);
    ASSERT_EQ(g.read(9), 0);
    EXPECT_LT(g.rec.grid[0], 50);  // 20 K of dew point spread
}

TEST(NetcdfGrid, BadFilesAreRefused) {
    if (!have_tool("ncgen")) GTEST_SKIP() << "ncgen not installed";
    const struct {
        const char *name, *cdl, *kind;
    } bad[] = {
        {"nodims", "netcdf a { dimensions: frtime = 1 ; variables: float T(frtime) ; }", "nc3"},
        {"novars", "netcdf a { dimensions: frtime = 1 ; lat = 2 ; lon = 2 ; }", "nc3"},
        {"chartype",
         "netcdf a { dimensions: frtime = 1 ; lat = 2 ; lon = 2 ; variables: "
         "char T(frtime, lat, lon) ; float lat(lat) ; float lon(lon) ; data: lat = 1, 2 ; "
         "lon = 1, 2 ; }",
         "nc3"},
        {"huge",
         "netcdf a { dimensions: frtime = 1 ; lat = 100000 ; lon = 100000 ; variables: "
         "float T(frtime, lat, lon) ; }",
         "nc4"},
        {"nocf", "netcdf a { dimensions: lat = 2 ; lon = 2 ; variables: float q(lat, lon) ; }",
         "nc3"},
        {"pkgtype",
         "netcdf a { dimensions: grid = 1 ; x = 2 ; y = 2 ; variables: char values(grid, y, x) "
         "; }",
         "nc3"},
    };
    for (const auto &b : bad) {
        std::string path = from_cdl(b.name, b.cdl, b.kind);
        ASSERT_FALSE(path.empty()) << b.name;
        reset_resources();
        int type = 0;
        int slot = GRD_open(path.c_str(), 0, &type);
        ASSERT_GE(slot, 0) << b.name;
        EXPECT_EQ(type, GRD_TYPE_NETCDF);
        GRD_info info;
        EXPECT_EQ(GRD_getinfo(slot, &info), -1) << b.name;
        GRD_report rec;
        GRD_init(&rec);
        int n = 0;
        EXPECT_EQ(GRD_read(slot, &rec, 0, &n), -1) << b.name;
        GRD_close(slot);
    }
    // a file that only looks like netCDF
    int type = 0;
    int slot = GRD_open(write_file("fake.nc", std::string("CDF\x01", 4) + "garbage").c_str(), 0,
                        &type);
    if (slot >= 0) {
        GRD_info info;
        EXPECT_EQ(GRD_getinfo(slot, &info), -1);
        GRD_close(slot);
    }
}

// Every file cut short and with bytes changed: each read ends with a result,
// never a crash or a hang.
TEST(NativeDamage, CutAndChangedFilesAreReadSafely) {
    std::vector<std::string> sources;
    for (const char *name : {"nam_cut.zup", "nam_cut.zupb", "nam_cut.zup4", "nam_model.nc",
                             "nam_cf.nc", "nam_model4.nc"})
        sources.push_back(read_file(test_data(name)));
    sources.push_back(gridcode());
    unsigned seed = 12345;
    auto rnd = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof(cwd)));
    ASSERT_EQ(chdir(test_data("").c_str()), 0);  // the data file of the "ZUPGRID4" file
    int files = 0;
    for (std::size_t k = 0; k < sources.size(); ++k) {
        const std::string &src = sources[k];
        ASSERT_FALSE(src.empty());
        const bool hdf = k == 5;
        for (int v = 0; v < 24; ++v) {
            std::string bytes = src;
            if (v < 12) {
                bytes.resize(src.size() * static_cast<std::size_t>(v + 1) / 13);
            } else {
                if (hdf) continue;  // the HDF5 layer is not made for damaged files
                for (int i = 0; i < 8; ++i)
                    bytes[rnd() % bytes.size()] = static_cast<char>(rnd() & 0xFF);
            }
            std::string path = write_file("damaged" + std::to_string(files++), bytes);
            reset_resources();
            int type = 0;
            int slot = GRD_open(path.c_str(), 0, &type);
            if (slot < 0) continue;
            GRD_info info;
            GRD_getinfo(slot, &info);
            GRD_report rec;
            GRD_init(&rec);
            for (int n = 0; n < 120; ++n) {
                int num = n;
                if (GRD_read(slot, &rec, n % 2, &num) != 0) break;
            }
            std::vector<UPA_level> lev(42);
            int count = 0;
            float sfcp = 0;
            FLAG_set(6, 24);
            GRD_get_sound(slot, 40, -100, lev.data(), &count, &sfcp);
            GRD_free(&rec);
            GRD_close(slot);
        }
    }
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_GT(files, 100);
}

}  // namespace
