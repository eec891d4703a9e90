// The map projections against PROJ's `proj` on the same sphere (R =
// 6371.22 km): every point of a lat/lon grid must agree to better than 1 m.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "map/map_fixtures.h"
#include "zupcty.h"
#include "zupresrc.h"

namespace {

using namespace map_test;

constexpr double kToMetres = 1e5;  // plane unit: 100 km

bool have_proj() { return std::system("command -v proj >/dev/null 2>&1") == 0; }

struct LatLon {
    float lat, lon;
};

std::vector<LatLon> grid(float lat0, float lat1, float lon0, float lon1, int n = 12) {
    std::vector<LatLon> pts;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j)
            pts.push_back({lat0 + (lat1 - lat0) * i / n, lon0 + (lon1 - lon0) * j / n});
    return pts;
}

// Runs proj with the given definition over the points; x, y in metres.
std::vector<std::pair<double, double>> run_proj(const std::string &def,
                                                const std::vector<LatLon> &pts) {
    char name[] = "/tmp/raziva_projXXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return {};
    FILE *f = fdopen(fd, "w");
    for (const LatLon &p : pts) std::fprintf(f, "%.9f %.9f\n", p.lon, p.lat);
    std::fclose(f);
    const std::string cmd = "proj " + def + " -f %.6f " + name;
    std::vector<std::pair<double, double>> out;
    if (FILE *pipe = popen(cmd.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe)) {
            double x, y;
            if (std::sscanf(line, "%lf %lf", &x, &y) == 2) out.emplace_back(x, y);
            else out.emplace_back(NAN, NAN);
        }
        pclose(pipe);
    }
    unlink(name);
    return out;
}

// A domain centred on its projection point with true latitudes t1, t2.
Domain proj_domain(int proj, float plat, float plon, float t1 = MISSING_F, float t2 = MISSING_F) {
    Domain d = make(proj, plat, plon, plat, plon, 1, 1, 25, 17);
    d.param[0] = t1;
    d.param[1] = t2;
    return d;
}

// MAP_tran (converted by conv into metres) against proj, 1 m tolerance.
template <typename Conv>
void compare(const Domain &d, const std::string &def, const std::vector<LatLon> &pts, Conv conv,
             double tol_m = 1.0) {
    ASSERT_EQ(MAP_domain(&d), 0);
    const auto ref = run_proj(def, pts);
    ASSERT_EQ(ref.size(), pts.size()) << def;
    int compared = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        float x, y;
        ASSERT_EQ(MAP_tran(pts[i].lat, pts[i].lon, &x, &y), 1) << pts[i].lat << "," << pts[i].lon;
        double xm, ym;
        conv(x, y, xm, ym);
        EXPECT_NEAR(xm, ref[i].first, tol_m) << def << " at " << pts[i].lat << "," << pts[i].lon;
        EXPECT_NEAR(ym, ref[i].second, tol_m) << def << " at " << pts[i].lat << "," << pts[i].lon;
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

void metres(float x, float y, double &xm, double &ym) {
    xm = x * kToMetres;
    ym = y * kToMetres;
}

const std::string kSphere = " +R=6371220";

class ProjOracle : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!have_proj()) GTEST_SKIP() << "proj is not installed";
    }
};

TEST_F(ProjOracle, PolarStereographic) {
    compare(proj_domain(MAP_polar, 90, -105), "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105" + kSphere,
            grid(10, 88, -180, 179), metres);
    compare(proj_domain(MAP_polar, 90, 0, 45), "+proj=stere +lat_0=90 +lat_ts=45 +lon_0=0" + kSphere,
            grid(10, 88, -180, 179), metres);
    compare(proj_domain(MAP_polar, -90, 30), "+proj=stere +lat_0=-90 +lat_ts=-60 +lon_0=30" + kSphere,
            grid(-88, -10, -180, 179), metres);
}

TEST_F(ProjOracle, LatLon) {
    // The lat/lon plane is in degrees; the equidistant cylinder in metres.
    const double m_per_deg = kR * kToMetres * M_PI / 180.0;
    compare(proj_domain(MAP_latlon, 0, 170), "+proj=eqc +lon_0=170" + kSphere, grid(-89, 89, -179, 179),
            [&](float x, float y, double &xm, double &ym) {
                xm = x * m_per_deg;
                ym = y * m_per_deg;
            });
}

TEST_F(ProjOracle, Mercator) {
    compare(proj_domain(MAP_mercator, 0, -100), "+proj=merc +lon_0=-100" + kSphere,
            grid(-80, 80, -179, 179), metres);
}

TEST_F(ProjOracle, LambertConformal) {
    compare(proj_domain(MAP_lambert, 40, -100, 30, 60),
            "+proj=lcc +lat_1=30 +lat_2=60 +lat_0=90 +lon_0=-100" + kSphere, grid(0, 80, -160, -40),
            metres);
    compare(proj_domain(MAP_lambert, 25, -95, 25, 25),
            "+proj=lcc +lat_1=25 +lat_2=25 +lat_0=90 +lon_0=-95" + kSphere, grid(0, 80, -160, -30),
            metres);
    compare(proj_domain(MAP_lambert, 40, -100),  // default true latitudes 30 and 60
            "+proj=lcc +lat_1=30 +lat_2=60 +lat_0=90 +lon_0=-100" + kSphere, grid(0, 80, -160, -40),
            metres);
    compare(proj_domain(MAP_lambert, -35, 25, -30, -60),
            "+proj=lcc +lat_1=-30 +lat_2=-60 +lat_0=-90 +lon_0=25" + kSphere, grid(-80, 0, -20, 70),
            metres);
}

TEST_F(ProjOracle, Orthographic) {
    compare(proj_domain(MAP_ortho, 40, -100), "+proj=ortho +lat_0=40 +lon_0=-100" + kSphere,
            grid(10, 80, -150, -50), metres);
}

TEST_F(ProjOracle, Gnomonic) {
    compare(proj_domain(MAP_gnomonic, 40, -100), "+proj=gnom +lat_0=40 +lon_0=-100" + kSphere,
            grid(15, 75, -140, -60), metres);
}

TEST_F(ProjOracle, MollweideType) {
    // The plane is the Mollweide of a sphere of radius R / sqrt 2.
    char def[128];
    std::snprintf(def, sizeof def, "+proj=moll +lon_0=20 +R=%.6f", 6371220.0 / std::sqrt(2.0));
    compare(proj_domain(MAP_mollweide, 0, 20), def, grid(-80, 80, -159, 199), metres);
}

TEST_F(ProjOracle, LambertAzimuthal) {
    compare(proj_domain(MAP_lambert_az, 50, 10), "+proj=laea +lat_0=50 +lon_0=10" + kSphere,
            grid(-30, 89, -150, 170), metres);
}

TEST_F(ProjOracle, GeostationarySatellite) {
    // proj gives the scan angle times the height above the surface; the
    // plane holds the angle (or its tangent) times the orbit radius.
    const double sat = MAP_SAT_RADIUS;
    const double h_sphere = (sat - kR) * kToMetres;
    char def[160];
    std::snprintf(def, sizeof def, "+proj=geos +h=%.3f +lon_0=-75 +sweep=y" " +R=6371220",
                  h_sphere);
    Domain d = proj_domain(MAP_satellite, 0, -75, MISSING_F, 1);
    const auto pts = grid(-60, 60, -130, -20);
    // Angles in radians scaled to metres at the orbit radius.
    compare(d, def, pts, [&](float x, float y, double &xm, double &ym) {
        xm = x / sat * h_sphere;
        ym = y / sat * h_sphere;
    });
    d.param[1] = MISSING_F;
    compare(d, def, pts, [&](float x, float y, double &xm, double &ym) {
        xm = std::atan(x / sat) * h_sphere;
        ym = std::atan(y / sat) * h_sphere;
    });
    const double h_ell = (sat - MAP_SEMI_MAJOR) * kToMetres;
    std::snprintf(def, sizeof def,
                  "+proj=geos +h=%.3f +lon_0=-75 +sweep=y +a=6378136.8 +b=6356752", h_ell);
    d.param[1] = 1;
    d.ellipse = 1;
    compare(d, def, pts, [&](float x, float y, double &xm, double &ym) {
        xm = x / sat * h_ell;
        ym = y / sat * h_ell;
    });
}

// Domains written as text end at the same projections.
TEST_F(ProjOracle, DomainTexts) {
    RES_clear();
    RES_put("file_path", "/nonexistent");  // no regions file: built-in "us"
    Domain d;
    ASSERT_EQ(DOM_decode("lamb:e:40:-100:30:60,40,-100,50,40,1,1", &d), 1);
    compare(d, "+proj=lcc +lat_1=30 +lat_2=60 +lat_0=90 +lon_0=-100" + kSphere,
            grid(5, 80, -170, -30), metres);
    ASSERT_EQ(DOM_decode("ps,60,-105,25,17,1.2,1.2", &d), 1);
    compare(d, "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105" + kSphere, grid(0, 89, -180, 180),
            metres);
    ASSERT_EQ(DOM_decode("us", &d), 2);
    compare(d, "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-97" + kSphere, grid(0, 89, -180, 180),
            metres);
    ASSERT_EQ(DOM_decode("ps:-90:20,-40,20,25,17,1.2,1.2", &d), 1);
    compare(d, "+proj=stere +lat_0=-90 +lat_ts=-60 +lon_0=20" + kSphere,
            grid(-89, 0, -180, 180), metres);
    RES_clear();
}

}  // namespace
