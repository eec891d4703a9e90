// Values at a point compared with eccodes: every grid of the NAM sample is
// decoded by grib_get_data, placed with proj on the grid's Lambert
// projection and interpolated bilinearly; the extracted sounding and the
// value of every message at the point must agree within float precision.
// The file's winds are relative to the grid: the sounding's directions must
// be those of eccodes' components turned by the cone constant times the
// longitude from the central meridian (computed here by hand), in the middle
// of the grid and at its corners.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "grib2_test_util.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"
#include "zupupa.h"

using namespace gribtest;

namespace {

constexpr float kLat = 40.0f;
constexpr float kLon = -100.0f;

struct OracleGrid {
    int param = 0, ltype = 0, level = 0;
    int nx = 0, ny = 0;
    EcField points;  // scan order: rows south to north
    double at(int i, int j) const { return points[static_cast<std::size_t>(j * nx + i)].val; }
};

// The Lambert geometry of the file (the same for every message) and the
// point in grid coordinates, from proj.
struct Geometry {
    double gi = 0, gj = 0;  // point, j counted from the first (southern) row
    bool ok = false;
};

Geometry locate(const std::string &file) {
    Geometry g;
    std::istringstream keys(run("grib_get -w count=1 -p Latin1InDegrees,Latin2InDegrees,"
                                "LoVInDegrees,DxInMetres,DyInMetres,"
                                "latitudeOfFirstGridPointInDegrees,"
                                "longitudeOfFirstGridPointInDegrees,radius " +
                                file));
    double lat1, lat2, lov, dx, dy, la1, lo1, radius;
    if (!(keys >> lat1 >> lat2 >> lov >> dx >> dy >> la1 >> lo1 >> radius)) return g;
    if (lov > 180) lov -= 360;
    if (lo1 > 180) lo1 -= 360;
    char cmd[512];
    std::snprintf(cmd, sizeof(cmd),
                  "printf '%%s\\n' '%.6f %.6f' '%.6f %.6f' | proj -f %%.6f +proj=lcc +lat_1=%.6f "
                  "+lat_2=%.6f +lon_0=%.6f +R=%.1f",
                  lo1, la1, static_cast<double>(kLon), static_cast<double>(kLat), lat1, lat2,
                  lov, radius);
    std::istringstream xy(run(cmd));
    double x1, y1, x, y;
    if (!(xy >> x1 >> y1 >> x >> y)) return g;
    g.gi = (x - x1) / dx;
    g.gj = (y - y1) / dy;
    g.ok = true;
    return g;
}

std::vector<OracleGrid> decode_all(const std::string &file) {
    std::vector<OracleGrid> grids;
    std::vector<EcField> fields = ec_data(file);
    auto keys = ec_keys(file, "indicatorOfParameter,indicatorOfTypeOfLevel:l,level,Nx,Ny");
    for (std::size_t k = 0; k < keys.size() && k < fields.size(); ++k) {
        if (keys[k].size() != 5) continue;
        OracleGrid g;
        g.param = static_cast<int>(keys[k][0]);
        g.ltype = static_cast<int>(keys[k][1]);
        g.level = static_cast<int>(keys[k][2]);
        g.nx = static_cast<int>(keys[k][3]);
        g.ny = static_cast<int>(keys[k][4]);
        if (fields[k].size() == static_cast<std::size_t>(g.nx * g.ny)) g.points = fields[k];
        grids.push_back(g);
    }
    return grids;
}

double bilinear(const OracleGrid &g, double gi, double gj) {
    int i = static_cast<int>(std::floor(gi));
    int j = static_cast<int>(std::floor(gj));
    double fx = gi - i, fy = gj - j;
    return (1 - fx) * (1 - fy) * g.at(i, j) + fx * (1 - fy) * g.at(i + 1, j) + (1 - fx) * fy * g.at(i, j + 1) +
           fx * fy * g.at(i + 1, j + 1);
}

// Direction the wind blows from (degrees) of grid-relative components on
// the NAM's Lambert grid (tangent at 25 N, central meridian 95 W): turned
// by sin(25)·(lon + 95) degrees.
double earth_dir(double ug, double vg, double lon) {
    const double a = std::sin(25 * M_PI / 180) * (lon + 95) * M_PI / 180;
    const double u = std::cos(a) * ug + std::sin(a) * vg;
    const double v = -std::sin(a) * ug + std::cos(a) * vg;
    double d = std::atan2(-u, -v) * 180 / M_PI;
    return d < 0 ? d + 360 : d;
}

class SoundOracle : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have_tool("grib_get_data") || !have_tool("grib_get") || !have_tool("proj"))
            GTEST_SKIP() << "eccodes tools or proj not installed";
        reset_resources();
        GRD_sound_reset();
        UNIT_reset();
        file = test_data("eta_grib1.grb");
        geo = locate(file);
        ASSERT_TRUE(geo.ok);
        static std::vector<OracleGrid> cache = decode_all(file);
        grids = cache;
        ASSERT_EQ(grids.size(), 97u);
        for (const OracleGrid &g : grids) ASSERT_FALSE(g.points.empty());
    }
    std::string file;
    Geometry geo;
    std::vector<OracleGrid> grids;
};

}  // namespace

TEST_F(SoundOracle, EveryMessageAtThePoint) {
    int type = 0;
    int s = GRD_open(file.c_str(), 0, &type);
    ASSERT_GE(s, 0);
    GRD_report rec;
    GRD_init(&rec);
    for (std::size_t k = 0; k < grids.size(); ++k) {
        int num = static_cast<int>(k);
        ASSERT_EQ(GRD_read(s, &rec, 0, &num), 0);
        EXPECT_EQ(rec.var, grids[k].param);
        EXPECT_EQ(rec.ltype, grids[k].ltype);
        EXPECT_EQ(rec.level, grids[k].level);
        float x = 0, y = 0;
        MAP_domain(&rec.domain);
        ASSERT_EQ(MAP_tran(kLat, kLon, &x, &y), 1);
        float ours = GRD_get_value_domain(&rec, nullptr, &x, &y);
        // our rows run north to south
        EXPECT_NEAR(x, geo.gi, 2e-3) << "message " << k;
        EXPECT_NEAR(rec.domain.ny - 1 - y, geo.gj, 2e-3) << "message " << k;
        double want = bilinear(grids[k], geo.gi, geo.gj);
        EXPECT_NEAR(ours, want, 1e-5 * std::max(1.0, std::fabs(want)) + 1e-4)
            << "message " << k << " parameter " << grids[k].param << " level "
            << grids[k].level;
    }
    GRD_free(&rec);
    GRD_close(s);
}

TEST_F(SoundOracle, ExtractedSoundingLevels) {
    int type = 0;
    int s = GRD_open(file.c_str(), 0, &type);
    ASSERT_GE(s, 0);
    FLAG_setl(6, 24);
    UPA_level lev[60];
    int num = 0;
    float sfcp = 0;
    ASSERT_EQ(GRD_get_sound(s, kLat, kLon, lev, &num, &sfcp), 1);
    GRD_close(s);

    std::map<std::pair<int, int>, double> at;  // (parameter, level) -> value
    double psfc = 0;
    for (const OracleGrid &g : grids) {
        double v = bilinear(g, geo.gi, geo.gj);
        if (g.ltype == 100) at[{g.param, g.level}] = v;
        if (g.ltype == 1 && g.param == 1) psfc = v / 100.0;
    }
    EXPECT_NEAR(sfcp, psfc, 1e-3 * psfc);
    int checked = 0;
    for (int i = 0; i < num; ++i) {
        int p = static_cast<int>(lev[i].p);
        if (lev[i].p != static_cast<float>(p) || !at.count({11, p})) continue;
        if (lev[i].t == MISSING_F) continue;  // below ground
        double h = at[{7, p}], t = at[{11, p}], rh = at[{52, p}];
        double u = at[{33, p}], v = at[{34, p}];
        EXPECT_NEAR(lev[i].h, h, 1e-5 * std::fabs(h) + 0.01) << p;
        EXPECT_NEAR(lev[i].t, t - 273.15, 1e-5 * t) << p;
        double spd = std::sqrt(u * u + v * v) * 1.944;
        EXPECT_NEAR(lev[i].spd, spd, 1e-3 * spd + 0.01) << p;
        double td = dew_temp(static_cast<float>(t), static_cast<float>(rh));
        EXPECT_NEAR(lev[i].td, td - 273.15, 0.01) << p;
        EXPECT_NEAR(lev[i].dir, earth_dir(u, v, kLon), 0.05) << p;
        ++checked;
    }
    EXPECT_GE(checked, 15);
}

// Grid points one in from each corner: the sounding there against eccodes'
// grid-relative components turned by hand.
TEST_F(SoundOracle, CornerWindsTurnedToTrueNorth) {
    const int nx = grids[0].nx, ny = grids[0].ny;
    int type = 0;
    int s = GRD_open(file.c_str(), 0, &type);
    ASSERT_GE(s, 0);
    FLAG_setl(6, 24);
    for (auto [i, j] : {std::pair{1, 1}, {nx - 2, 1}, {1, ny - 2}, {nx - 2, ny - 2}}) {
        const EcPoint &pt = grids[0].points[static_cast<std::size_t>(j * nx + i)];
        const double lat = pt.lat, lon = pt.lon > 180 ? pt.lon - 360 : pt.lon;
        UPA_level lev[60];
        int num = 0;
        float sfcp = 0;
        ASSERT_EQ(GRD_get_sound(s, static_cast<float>(lat), static_cast<float>(lon), lev, &num, &sfcp), 1);
        std::map<int, std::pair<double, double>> uv;
        for (const OracleGrid &g : grids) {
            double v = g.at(i, j);
            if (g.ltype == 100 && g.param == 33) uv[g.level].first = v;
            if (g.ltype == 100 && g.param == 34) uv[g.level].second = v;
        }
        std::printf("corner %.2f N %.2f E: wind turned by %.2f degrees\n", lat, lon,
                    std::sin(25 * M_PI / 180) * (lon + 95));
        int checked = 0;
        for (int k = 0; k < num; ++k) {
            auto it = uv.find(static_cast<int>(lev[k].p));
            if (it == uv.end() || lev[k].dir == MISSING_F || lev[k].p != static_cast<int>(lev[k].p)) continue;
            const auto [u, v] = it->second;
            if (std::hypot(u, v) < 1) continue;  // the direction of a calm is loose
            double diff = std::remainder(lev[k].dir - earth_dir(u, v, lon), 360.0);
            EXPECT_NEAR(diff, 0.0, 0.2) << lat << "," << lon << " at " << lev[k].p;
            ++checked;
        }
        EXPECT_GE(checked, 10) << lat << "," << lon;
    }
    GRD_close(s);
}
