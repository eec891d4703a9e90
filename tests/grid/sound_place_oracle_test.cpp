// Where soundings fall on the grids users have, against eccodes and cdo:
// global grids across the Greenwich seam and the date line and at the poles,
// Gaussian and rotated grids placed point by point, rotated winds turned to
// true north like cdo's rotuvb, and the surface of high ground (Tibet, the
// Andes) at both pressure spacings.  Values at a point are interpolated here
// by hand from the four eccodes points around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "grib2_oracle_util.h"
#include "zupupa.h"

using namespace gribtest;

namespace {

class PlaceOracle : public EccodesTest {
protected:
    void SetUp() override {
        if (!have_tool("cdo")) GTEST_SKIP() << "cdo not installed";
        EccodesTest::SetUp();
        GRD_sound_reset();
    }
    void TearDown() override { GRD_sound_reset(); }
    // Runs a command that makes a file; the file's path.
    static std::string make(const std::string &cmd, const std::string &out) {
        std::string path = scratch_dir() + "/" + out;
        std::string full = cmd + " '" + path + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(full.c_str()), 0) << full;
        return path;
    }
};

// One message of a file as eccodes lists it.
EcField ec_message(const std::string &path, const std::string &where) {
    EcField f;
    std::istringstream in(run("grib_get_data -w " + where + " -F '%.10g' '" + path + "' 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        EcPoint p;
        if (ls >> p.lat >> p.lon >> p.val) f.push_back(p);
    }
    return f;
}

// Bilinear value at (lat, lon) of a regular latitude-longitude field, across
// the seam when its columns close the circle.
double ec_bilinear(const EcField &f, double lat, double lon) {
    std::set<double> la, lo;
    std::map<std::pair<double, double>, double> at;
    for (const EcPoint &p : f) {
        la.insert(p.lat);
        lo.insert(p.lon);
        at[{p.lat, p.lon}] = p.val;
    }
    std::vector<double> lats(la.begin(), la.end()), lons(lo.begin(), lo.end());
    const double step = lons[1] - lons[0];
    while (lon < lons.front()) lon += 360;
    while (lon >= lons.front() + 360) lon -= 360;
    std::size_t i = 0;
    while (i + 1 < lons.size() && lons[i + 1] <= lon) ++i;
    const double lon0 = lons[i], lon1 = i + 1 < lons.size() ? lons[i + 1] : lons.front();
    const double fx = (lon - lon0) / step;
    std::size_t j = 0;
    while (j + 2 < lats.size() && lats[j + 1] <= lat) ++j;
    const double fy = lats[j + 1] == lats[j] ? 0 : (lat - lats[j]) / (lats[j + 1] - lats[j]);
    auto v = [&](double a, double b) { return at.at({a, b}); };
    return (1 - fx) * (1 - fy) * v(lats[j], lon0) + fx * (1 - fy) * v(lats[j], lon1) +
           (1 - fx) * fy * v(lats[j + 1], lon0) + fx * fy * v(lats[j + 1], lon1);
}

// First message of a file, decoded by raziva.
struct Decoded {
    GRD_report rec{};
    std::vector<float> vals;
};
Decoded decode_first(const std::string &path) {
    Decoded d;
    int type = 0;
    int slot = GRD_open(path.c_str(), 0, &type);
    if (slot < 0) return d;
    GRD_init(&d.rec);
    int num = 0;
    if (GRD_read(slot, &d.rec, 0, &num) == 0 && d.rec.grid)
        d.vals.assign(d.rec.grid, d.rec.grid + static_cast<long>(d.rec.domain.nx) * d.rec.domain.ny);
    GRD_free(&d.rec);
    GRD_close(slot);
    d.rec.grid = d.vals.empty() ? nullptr : d.vals.data();
    return d;
}

float value_at(const Decoded &d, float lat, float lon) {
    float gx, gy;
    GRD_locate(&d.rec, lat, lon, &gx, &gy);
    return GRD_get_value(&d.rec, gx, gy);
}

}  // namespace

// A global 2.5-degree grid from 0 to 357.5 E, and the same field with its
// seam moved to the date line: points across either seam, near the date
// line and at both poles.
TEST_F(PlaceOracle, GlobalGridsAcrossSeamsAndAtPoles) {
    const std::string greenwich = fixture("gfs_part.grb");
    const std::string dateline =
        make("cdo -s sellonlatbox,-180,180,-90,90 -selname,2t '" + greenwich + "'", "dateline.grb");
    const struct {
        float lat, lon;
    } points[] = {{45, -0.1f},   {51.5f, -0.12f}, {45, 359.9f}, {10, 179.9f},  {10, -179.9f},
                  {-33.9f, 180}, {0, -1.25f},     {90, 0},      {90, 123.4f},  {-90, -45},
                  {88.9f, -1}};
    for (const std::string &path : {greenwich, dateline}) {
        SCOPED_TRACE(path);
        EcField ec = ec_message(path, "shortName=2t");
        ASSERT_EQ(ec.size(), 144u * 73u);
        // The 2 m temperature among the file's messages.
        Decoded d;
        for (Product &p : read_all(path, 0))
            if (p.rec.var == 11 && p.rec.ltype == 105) {
                d.rec = p.rec;
                d.vals = p.vals;
                d.rec.grid = d.vals.data();
            }
        ASSERT_EQ(d.rec.var, 11);
        ASSERT_EQ(d.rec.ltype, 105);
        for (const auto &pt : points) {
            double want = ec_bilinear(ec, pt.lat, pt.lon);
            EXPECT_NEAR(value_at(d, pt.lat, pt.lon), want, 1e-3) << pt.lat << "," << pt.lon;
        }
    }
}

// Gaussian grids (GRIB2 3.40 from cdo, GRIB1 type 4 from it by grib_set) and
// a rotated grid in both editions: every eccodes point lands on its own grid
// point with its value; a sounding point between the outermost Gaussian row
// and the pole takes that row.
TEST_F(PlaceOracle, GaussianAndRotatedGridsPlaced) {
    const std::string src = fixture("gfs_part.grb");
    const std::string g2 = make("cdo -s -f grb2 remapbil,n32 -selname,2t '" + src + "'", "gauss.grib2");
    const std::string g1 = make("grib_set -s edition=1 '" + g2 + "'", "gauss.grib1");
    const std::string r2 = make("grib_set -s edition=2 '" + fixture("rotated_ll.grib1") + "'", "rot.grib2");
    oracle_grib2(g2);
    oracle_grib1(g1);
    oracle_grib2(r2);
    for (const std::string &path : {g1, g2}) {
        Decoded d = decode_first(path);
        ASSERT_EQ(d.rec.domain.ny, 64);
        EcField ec = ec_message(path, "count=1");
        // The first row (about 87.86 N) at 90 E, and the pole above it.
        double row = ec.front().lat;
        EXPECT_NEAR(row, 87.8638, 1e-3);
        double want = 0;
        for (const EcPoint &p : ec)
            if (p.lat == row && std::fabs(p.lon - 90) < 1e-6) want = p.val;
        EXPECT_NEAR(value_at(d, static_cast<float>(row), 90), want, 1e-3);
        EXPECT_NEAR(value_at(d, 90, 90), want, 1e-3);
        EXPECT_NEAR(value_at(d, 89, 90), want, 1e-3);
    }
}

// Winds of the rotated grid (relative to its axes) turned to true north at
// grid points all over it, against cdo's rotuvb on the same components.
TEST_F(PlaceOracle, RotatedWindsLikeCdo) {
    const std::string rot = fixture("rotated_ll.grib1");
    const std::string u = make("grib_set -s indicatorOfParameter=33 '" + rot + "'", "u.grib1");
    const std::string v = make("grib_set -s indicatorOfParameter=34 '" + rot + "'", "v.grib1");
    const std::string uv = write_file("uv.grib1", read_file(u) + read_file(v));
    const std::string earth = make("cdo -s rotuvb,u,v '" + uv + "'", "uv_earth.grib1");
    std::vector<Product> grid = read_all(uv, 0);
    std::vector<Product> cdo = read_all(earth, 0);
    ASSERT_EQ(grid.size(), 2u);
    ASSERT_EQ(cdo.size(), 2u);
    ASSERT_EQ(grid[0].rec.domain.param[4], 1.0f);  // components along the grid
    EcField ll = ec_message(u, "count=1");
    const int nx = grid[0].rec.domain.nx, ny = grid[0].rec.domain.ny;
    ASSERT_EQ(ll.size(), static_cast<std::size_t>(nx) * ny);
    double biggest = 0;
    for (int j = 0; j < ny; j += 53)
        for (int i = 0; i < nx; i += 61) {
            // eccodes lists rows south to north; ours run north to south
            const EcPoint &p = ll[static_cast<std::size_t>(j) * nx + i];
            const std::size_t k = static_cast<std::size_t>(ny - 1 - j) * nx + i;
            float ug = grid[0].vals[k], vg = grid[1].vals[k];
            const float angle = GRD_wind_angle(&grid[0].rec, static_cast<float>(p.lat), static_cast<float>(p.lon));
            GRD_turn_wind(angle, &ug, &vg);
            biggest = std::max(biggest, std::fabs(angle * 180 / M_PI));
            EXPECT_NEAR(ug, cdo[0].vals[k], 0.05) << p.lat << "," << p.lon;
            EXPECT_NEAR(vg, cdo[1].vals[k], 0.05) << p.lat << "," << p.lon;
        }
    EXPECT_GT(biggest, 5.0);  // the check sees real turns
}

// Soundings on the Tibetan plateau and in the Andes from GFS grids cut
// around them, at 50 and 25 mb spacing: the surface level is there at the
// interpolated surface pressure with the 2 m values, every level below it
// lost its temperature and wind, and the levels above it are the model's.
TEST_F(PlaceOracle, HighGroundKeepsItsSurface) {
    const std::string path = fixture("highground.grb");
    int type = 0;
    const struct {
        const char *name;
        float lat, lon, dp;
        bool high;  // the surface lies above the first ten levels
    } cases[] = {{"Tibet", 35.0f, 83.4f, 50, true}, {"Tibet", 35.0f, 83.4f, 25, true},
                 {"Andes", -15.3f, -72.2f, 50, false}, {"Andes", -15.3f, -72.2f, 25, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " dp " + std::to_string(c.dp));
        GRD_sound_reset();
        GRD_set_sound_dp(c.dp);
        FLAG_setl(6, 72);
        int slot = GRD_open(path.c_str(), 0, &type);
        ASSERT_GE(slot, 0);
        UPA_level lev[60];
        int num = 0;
        float sfcp = 0;
        ASSERT_EQ(GRD_get_sound(slot, c.lat, c.lon, lev, &num, &sfcp), 1);
        GRD_close(slot);
        const double psfc = ec_bilinear(ec_message(path, "shortName=sp"), c.lat, c.lon) / 100;
        const double t2 = ec_bilinear(ec_message(path, "shortName=2t"), c.lat, c.lon) - 273.15;
        EXPECT_NEAR(sfcp, psfc, 1e-4 * psfc);
        EXPECT_EQ(psfc < (c.dp == 50 ? 550 : 775), c.high);
        int s = -1;
        for (int k = 0; k < num; ++k)
            if (lev[k].p == sfcp) s = k;
        ASSERT_GE(s, 1);
        EXPECT_NEAR(lev[s].t, t2, 1e-3);
        for (int k = 0; k < s; ++k) {
            EXPECT_GT(lev[k].p, sfcp);
            EXPECT_EQ(lev[k].t, MISSING_F) << lev[k].p;
            EXPECT_EQ(lev[k].dir, MISSING_F) << lev[k].p;
        }
        int above = 0;
        for (int k = s + 1; k < num; ++k) {
            EXPECT_LT(lev[k].p, sfcp);
            const int p = static_cast<int>(lev[k].p);
            EcField t = ec_message(path, "shortName=t,level=" + std::to_string(p));
            if (t.empty() || lev[k].t == MISSING_F) continue;
            EXPECT_NEAR(lev[k].t, ec_bilinear(t, c.lat, c.lon) - 273.15, 1e-3) << p;
            if (++above == 3) break;
        }
        EXPECT_EQ(above, 3);
    }
}
