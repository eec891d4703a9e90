// Transforms of the current domain: edge points of every projection,
// forward/inverse round trips, limits, grid and domain-to-domain transforms.

#include <gtest/gtest.h>

#include <cmath>

#include "map/map_fixtures.h"
#include "zupcty.h"
#include "zupupa.h"

namespace {

using namespace map_test;

void use(const Domain &d) { ASSERT_EQ(MAP_domain(&d), 0); }

// Forward then inverse over a lat/lon box; every point must come back.
void round_trip_box(const Domain &d, float lat0, float lat1, float lon0, float lon1) {
    use(d);
    int tested = 0;
    for (float lat = lat0; lat <= lat1 + 1e-3f; lat += (lat1 - lat0) / 8.0f) {
        for (float lon = lon0; lon <= lon1 + 1e-3f; lon += (lon1 - lon0) / 8.0f) {
            float x, y, la, lo;
            ASSERT_EQ(MAP_tran(lat, lon, &x, &y), 1) << d.proj << " " << lat << " " << lon;
            ASSERT_EQ(MAP_untran(x, y, &la, &lo), 1) << d.proj << " " << x << " " << y;
            EXPECT_NEAR(la, lat, 1e-4) << "code " << d.proj << " at " << lat << "," << lon;
            double dl = std::remainder(lo - lon, 360.0);
            EXPECT_NEAR(dl * std::cos(lat * kDeg), 0.0, 1e-4)
                << "code " << d.proj << " at " << lat << "," << lon << " got " << lo;
            ++tested;
        }
    }
    EXPECT_GT(tested, 60);
}

// Images worked out on paper (no image: 0 and x, y missing), at poles,
// limbs, cut latitudes and across the date line.
TEST(MapEdge, KnownImages) {
    const double k60 = kR * (1 + std::sin(60 * kDeg));  // polar scale, true at 60N
    const double r75 = k60 * std::tan(82.5 * kDeg);     // radius of 75S
    const double s2 = 2 * 421.61;                       // a satellite twice as far out
    const Domain polar = make(MAP_polar, 90, -105, 60, -105, 1, 1, 25, 17);
    const Domain ll = make(MAP_latlon, MISSING_F, 170, 40, 170, 1, 1, 21, 21);
    const Domain ortho = make(MAP_ortho, 0, 0, 0, 0, 1, 1, 25, 17);
    const Domain merc = make(MAP_mercator, 0, 170, 0, 170, 1, 1, 25, 17);
    const Domain sat = make(MAP_satellite, 0, -75, 0, -75, 1, 1, 25, 17);
    Domain sat2 = make(MAP_satellite, 0, 0, 0, 0, 1, 1, 25, 17);
    Domain lc = make(MAP_lambert, 40, -100, 40, -100, 1, 1, 25, 17);
    Domain slc = make(MAP_lambert, -35, 25, -35, 25, 1, 1, 25, 17);
    sat2.param[0] = static_cast<float>(s2);
    lc.param[0] = lc.param[1] = 40;
    slc.param[0] = -30;
    slc.param[1] = -60;
    const float M = MISSING_F;
    const struct {
        const char *what;
        Domain d;
        float lat, lon;
        int ok;
        double x, y;
    } cases[] = {
        {"polar: the pole", polar, 90, -105, 1, 0, 0},
        {"polar: 60N", polar, 60, -105, 1, 0, -k60 * std::tan(15 * kDeg)},
        {"polar: east lies right", polar, 60, -15, 1, k60 * std::tan(15 * kDeg), 0},
        {"polar: cut at 75S", make(MAP_polar, 90, 0, 60, 0, 1, 1, 25, 17), -89, 30, 1,
         r75 * std::sin(30 * kDeg), -r75 * std::cos(30 * kDeg)},
        {"polar: no plat or clat is a north-pole map true at 60N",
         make(MAP_polar, M, -105, M, -105, 1, 1, 25, 17), 60, -105, 1, 0,
         -k60 * std::tan(15 * kDeg)},
        {"latlon: across the date line", ll, 40, -175, 1, 15, 40},
        {"latlon: longitude beyond 180", ll, 40, 185, 1, 15, 40},
        {"ortho: far side", ortho, 0, 100, 0, M, M},
        {"ortho: near side", ortho, 0, 80, 1, kR * std::sin(80 * kDeg), 0},
        {"mercator: across the date line", merc, 0, -175, 1, kR * 15 * kDeg, 0},
        {"mercator: pole cut at 89.9", merc, 90, 170, 1, 0,
         kR * std::log(std::tan(M_PI / 4 + 89.9 * kDeg / 2))},
        {"lambert: apex of a tangent cone", lc, 90, -100, 1, 0, 0},
        {"lambert: apex of a southern cone", slc, -90, 25, 1, 0, 0},
        {"mollweide: pole", make(MAP_mollweide, 0, 0, 0, 0, 1, 1, 25, 17), 90, 45, 1, 0, kR},
        {"lambert azimuthal: antipode", make(MAP_lambert_az, 45, 10, 45, 10, 1, 1, 25, 17), -45,
         -170, 0, M, M},
        {"satellite: sub-point", sat, 0, -75, 1, 0, 0},
        {"satellite: beyond the limb", sat, 0, 10, 0, M, M},
        {"satellite: orbit radius", sat2, 0, 30, 1,
         s2 * kR * std::sin(30 * kDeg) / (s2 - kR * std::cos(30 * kDeg)), 0},
        {"satellite: the limb moves out with the orbit", sat2, 0, 82, 1,
         s2 * kR * std::sin(82 * kDeg) / (s2 - kR * std::cos(82 * kDeg)), 0},
        {"satellite: 82 degrees beyond the default limb",
         make(MAP_satellite, 0, 0, 0, 0, 1, 1, 25, 17), 0, 82, 0, M, M},
    };
    for (const auto &c : cases) {
        use(c.d);
        float x = 1, y = 1;
        EXPECT_EQ(MAP_tran(c.lat, c.lon, &x, &y), c.ok) << c.what;
        EXPECT_NEAR(x, c.x, 1e-4 + 2e-6 * std::fabs(c.x)) << c.what;
        EXPECT_NEAR(y, c.y, 1e-4 + 2e-6 * std::fabs(c.y)) << c.what;
    }
}

// Plane points back to the earth (no point: 0 and missing; NAN: not checked).
TEST(MapEdge, KnownInverseImages) {
    Domain sat = make(MAP_satellite, 0, -75, 0, -75, 1, 1, 25, 17);
    sat.ellipse = 1;
    const float M = MISSING_F;
    const struct {
        const char *what;
        Domain d;
        float x, y;
        int ok;
        double lat, lon;
    } cases[] = {
        {"polar: the origin is the pole", make(MAP_polar, 90, -105, 60, -105, 1, 1, 25, 17), 0, 0,
         1, 90, NAN},
        {"latlon: across the date line", make(MAP_latlon, M, 170, 40, 170, 1, 1, 21, 21), 15, 40,
         1, 40, -175},
        {"latlon: longitudes wrapped", make(MAP_latlon, 0, -170, 0, -170, 1, 1, 25, 17), -30, 10,
         1, 10, 160},
        {"mercator: longitudes wrapped", make(MAP_mercator, 0, 170, 0, 170, 1, 1, 25, 17),
         static_cast<float>(kR * 20 * kDeg), 0, 1, 0, -170},
        {"ortho: beyond the disk", make(MAP_ortho, 0, 0, 0, 0, 1, 1, 25, 17), 70, 0, 0, M, M},
        {"lambert azimuthal: beyond the 2R rim", make(MAP_lambert_az, 45, 10, 45, 10, 1, 1, 25, 17),
         static_cast<float>(2.01 * kR), 0, 0, M, M},
        {"satellite: off the earth", sat, 80, 80, 0, M, M},
    };
    for (const auto &c : cases) {
        use(c.d);
        float lat, lon;
        EXPECT_EQ(MAP_untran(c.x, c.y, &lat, &lon), c.ok) << c.what;
        EXPECT_NEAR(lat, c.lat, 1e-3) << c.what;
        if (!std::isnan(c.lon)) {
            EXPECT_NEAR(lon, c.lon, 1e-3) << c.what;
        }
    }
}

TEST(MapEdge, NullDomainAndPassThroughCodesAreTheIdentity) {
    EXPECT_EQ(MAP_domain(nullptr), -1);
    EXPECT_EQ(MAP_get_proj(), MISSING);
    float x, y;
    EXPECT_EQ(MAP_tran(12.5f, -7.25f, &x, &y), 1);
    EXPECT_EQ(x, 12.5f);
    EXPECT_EQ(y, -7.25f);
    EXPECT_EQ(MAP_in_domain(1e6f, -1e6f), 1);
    // So are the zoom and size codes, and a code of no projection.
    for (int code : {static_cast<int>(MAP_zoom), static_cast<int>(MAP_size), 77}) {
        use(make(code, 0, 0, 0, 0, 1, 1, 2, 2));
        EXPECT_EQ(MAP_tran(3, 4, &x, &y), 1);
        EXPECT_EQ(x, 3.0f) << code;
        EXPECT_EQ(y, 4.0f) << code;
    }
}

TEST(MapRoundTrip, EveryMapProjection) {
    round_trip_box(make(MAP_polar, 90, -105, 60, -105, 1, 1, 25, 17), 0, 88, -180, 179);
    round_trip_box(make(MAP_polar, -90, 30, -60, 30, 1, 1, 25, 17), -88, 0, -180, 179);
    round_trip_box(make(MAP_latlon, 0, 170, 0, 170, 1, 1, 25, 17), -89, 89, -179, 179);
    round_trip_box(make(MAP_mercator, 0, -100, 0, -100, 1, 1, 25, 17), -80, 80, -179, 179);
    Domain lc = make(MAP_lambert, 25, -95, 40, -95, 1, 1, 25, 17);
    round_trip_box(lc, -20, 85, -170, -20);
    lc.param[0] = 25;
    lc.param[1] = 25;
    round_trip_box(lc, -20, 85, -170, -20);
    round_trip_box(make(MAP_ortho, 40, -100, 40, -100, 1, 1, 25, 17), 0, 80, -150, -50);
    round_trip_box(make(MAP_gnomonic, 40, -100, 40, -100, 1, 1, 25, 17), 10, 80, -150, -50);
    round_trip_box(make(MAP_mollweide, 0, 20, 0, 20, 1, 1, 25, 17), -80, 80, -155, 195);
    round_trip_box(make(MAP_lambert_az, 50, 10, 50, 10, 1, 1, 25, 17), -40, 89, -150, 170);
    Domain slc = make(MAP_lambert, -35, 25, -35, 25, 1, 1, 25, 17);
    slc.param[0] = -30;
    slc.param[1] = -60;
    round_trip_box(slc, -60, -10, -10, 60);
    // The satellite view as scan angles (param 1) and as their tangents, on
    // the sphere and on the ellipsoid.
    Domain sat = make(MAP_satellite, 0, -75, 0, -75, 1, 1, 25, 17);
    round_trip_box(sat, -60, 60, -130, -20);
    sat.param[1] = 1;
    round_trip_box(sat, -60, 60, -130, -20);
    sat.ellipse = 1;
    round_trip_box(sat, -60, 60, -130, -20);
    sat.param[1] = MISSING_F;
    round_trip_box(sat, -60, 60, -130, -20);
}

// ------------------------------------------------------------- diagrams

TEST(Diagram, HodographPoints) {
    use(make(MAP_hodo, MISSING_F, MISSING_F, -150, -150, 300, 300, 11, 11));
    float x, y;
    ASSERT_EQ(MAP_tran(90, 10, &x, &y), 1);
    EXPECT_NEAR(x, 10.0, 1e-5);
    EXPECT_NEAR(y, 0.0, 1e-5);
    float dir, spd;
    ASSERT_EQ(MAP_untran(0, -10, &dir, &spd), 1);
    EXPECT_NEAR(dir, 180.0, 1e-4);
    EXPECT_NEAR(spd, 10.0, 1e-5);
    ASSERT_EQ(MAP_untran(0, 0, &dir, &spd), 1);
    EXPECT_EQ(dir, 0.0f);
    EXPECT_EQ(spd, 0.0f);
    ASSERT_EQ(MAP_untran(-5, 0, &dir, &spd), 1);  // west of the origin: from 270
    EXPECT_NEAR(dir, 270.0, 1e-4);
    MAP_limits lim;
    MAP_get_limits(&lim);
    EXPECT_EQ(lim.x_min, -150.0f);
    EXPECT_EQ(lim.x_max, 150.0f);
    EXPECT_EQ(lim.y_min, -150.0f);
    EXPECT_EQ(lim.y_max, 150.0f);
}

TEST(Diagram, SkewTBaseLineAndIsothermsAt45Degrees) {
    Domain d = make(MAP_skewt, MISSING_F, MISSING_F, -50, 1050, 100, -950, 12, 11);
    use(d);
    const MAP_limits view{0.05f, 0.85f, 0.05f, 0.96f};
    MAP_set_view(&view);
    MAP_limits lim;
    MAP_get_limits(&lim);
    EXPECT_NEAR(lim.x_min, -50.0, 1e-5);
    EXPECT_NEAR(lim.x_max, 50.0, 1e-5);
    EXPECT_NEAR(lim.y_min, -std::log(1050.0), 1e-5);
    EXPECT_NEAR(lim.y_max, -std::log(100.0), 1e-5);
    float x, y;
    ASSERT_EQ(MAP_tran(-12.5f, 1050, &x, &y), 1);
    EXPECT_NEAR(x, -12.5, 1e-4);  // base line: no skew
    // An isotherm rises at 45 degrees on the device.
    const double fx = (view.x_max - view.x_min) / (lim.x_max - lim.x_min);
    const double fy = (view.y_max - view.y_min) / (lim.y_max - lim.y_min);
    for (float t : {-40.0f, 0.0f, 25.0f}) {
        float x1, y1, x2, y2;
        MAP_tran(t, 1000, &x1, &y1);
        MAP_tran(t, 300, &x2, &y2);
        EXPECT_NEAR((x2 - x1) * fx, (y2 - y1) * fy, 1e-5) << t;
    }
    // A different view changes the skew.
    const MAP_limits wide{0.0f, 1.0f, 0.0f, 0.5f};
    MAP_set_view(&wide);
    float xa, ya, xb, yb;
    MAP_tran(0, 1000, &xa, &ya);
    MAP_tran(0, 300, &xb, &yb);
    EXPECT_NEAR((xb - xa) * 1.0 / (lim.x_max - lim.x_min), (yb - ya) * 0.5 / (lim.y_max - lim.y_min), 1e-5);
}

TEST(Diagram, StuveAndEmagramAxes) {
    use(make(MAP_stuve, MISSING_F, MISSING_F, -80, 1050, 120, -950, 12, 11));
    float x, y;
    ASSERT_EQ(MAP_tran(10, 500, &x, &y), 1);
    EXPECT_EQ(x, 10.0f);
    EXPECT_NEAR(y, -std::pow(500.0, 0.285714), 1e-5);
    use(make(MAP_emagram, MISSING_F, MISSING_F, -80, 1050, 120, -950, 12, 11));
    ASSERT_EQ(MAP_tran(10, 500, &x, &y), 1);
    EXPECT_NEAR(y, -std::log(500.0), 1e-6);
    MAP_limits lim;
    MAP_get_limits(&lim);
    EXPECT_LT(lim.y_min, lim.y_max);
    EXPECT_NEAR(lim.y_min, -std::log(1050.0), 1e-5);
}

TEST(Diagram, RotatedTephigramLimitsAndRightAngles) {
    Domain d = make(MAP_teph, MISSING_F, MISSING_F, -40, 230, 100, 90, 12, 11);
    use(d);
    const MAP_limits view{0.05f, 0.85f, 0.05f, 0.96f};
    MAP_set_view(&view);
    MAP_limits lim;
    MAP_get_limits(&lim);
    EXPECT_NEAR(lim.x_min, -40.0, 1e-5);
    EXPECT_NEAR(lim.x_max, 60.0, 1e-5);
    EXPECT_NEAR(lim.y_min, std::log(230.0), 1e-5);
    EXPECT_NEAR(lim.y_max, std::log(320.0), 1e-5);
    const double fx = (view.x_max - view.x_min) / (lim.x_max - lim.x_min);
    const double fy = (view.y_max - view.y_min) / (lim.y_max - lim.y_min);
    // Isotherms run up to the right at 45 degrees on the device ...
    float x1, y1, x2, y2;
    MAP_tran(0, 1000, &x1, &y1);
    MAP_tran(0, 500, &x2, &y2);
    EXPECT_NEAR((x2 - x1) * fx, (y2 - y1) * fy, 1e-5);
    // ... and dry adiabats cross them at right angles.
    const float th = 300.0f;
    float t1 = temp_on_dryad(th, 1000) - 273.15f, t2 = temp_on_dryad(th, 600) - 273.15f;
    MAP_tran(t1, 1000, &x1, &y1);
    MAP_tran(t2, 600, &x2, &y2);
    EXPECT_NEAR((x2 - x1) * fx, -(y2 - y1) * fy, 1e-4);
    // A missing temperature stays missing.
    EXPECT_EQ(MAP_tran(MISSING_F, 500, &x1, &y1), 0);
    EXPECT_EQ(x1, MISSING_F);
}

TEST(Diagram, UnrotatedTephigramIsTemperatureAndLogTheta) {
    use(make(MAP_rteph, MISSING_F, MISSING_F, -100, 50, 150, 230, 12, 11));
    float x, y;
    ASSERT_EQ(MAP_tran(20, 850, &x, &y), 1);
    EXPECT_EQ(x, 20.0f);
    EXPECT_NEAR(y, std::log(pot_temp(293.15f, 850)), 1e-5);
}

TEST(Diagram, EveryDiagramInverts) {
    const MAP_limits view{0.05f, 0.85f, 0.05f, 0.96f};
    const Domain doms[] = {
        make(MAP_skewt, MISSING_F, MISSING_F, -50, 1050, 100, -950, 12, 11),
        make(MAP_stuve, MISSING_F, MISSING_F, -80, 1050, 120, -950, 12, 11),
        make(MAP_emagram, MISSING_F, MISSING_F, -80, 1050, 120, -950, 12, 11),
        make(MAP_teph, MISSING_F, MISSING_F, -40, 230, 100, 90, 12, 11),
        make(MAP_rteph, MISSING_F, MISSING_F, -100, 50, 150, 230, 12, 11),
        make(MAP_xlogy, MISSING_F, MISSING_F, 0, 1000, 10, -900, 12, 11),
    };
    for (const Domain &d : doms) {
        use(d);
        MAP_set_view(&view);
        for (float p = 1050; p >= 100; p -= 95) {
            for (float t = -80; t <= 40; t += 15) {
                float x, y, t2, p2;
                ASSERT_EQ(MAP_tran(t, p, &x, &y), 1) << d.proj;
                ASSERT_EQ(MAP_untran(x, y, &t2, &p2), 1) << d.proj;
                EXPECT_NEAR(t2, t, 1e-3) << d.proj << " " << t << " " << p;
                EXPECT_NEAR(p2 / p, 1.0, 1e-4) << d.proj << " " << t << " " << p;
            }
        }
    }
    use(make(MAP_hodo, MISSING_F, MISSING_F, -150, -150, 300, 300, 11, 11));
    for (float dir = 0; dir < 360; dir += 22.5f) {
        float x, y, d2, s2;
        MAP_tran(dir, 35, &x, &y);
        MAP_untran(x, y, &d2, &s2);
        EXPECT_NEAR(d2, dir, 1e-3);
        EXPECT_NEAR(s2, 35, 1e-4);
    }
}

TEST(Diagram, LinearPlots) {
    // 20: the data range dx is drawn over nx plane units from clat.
    use(make(MAP_xy, MISSING_F, MISSING_F, 10, 100, 50, 20, 5, 4));
    MAP_limits lim;
    MAP_get_limits(&lim);
    EXPECT_EQ(lim.x_min, 10.0f);
    EXPECT_EQ(lim.x_max, 15.0f);
    EXPECT_EQ(lim.y_min, 100.0f);
    EXPECT_EQ(lim.y_max, 104.0f);
    float x, y, a, b;
    MAP_tran(60, 120, &x, &y);
    EXPECT_NEAR(x, 15.0, 1e-5);
    EXPECT_NEAR(y, 104.0, 1e-5);
    MAP_untran(12.5f, 102, &a, &b);
    EXPECT_NEAR(a, 35.0, 1e-4);
    EXPECT_NEAR(b, 110.0, 1e-4);
    // 25: y reversed.
    use(make(MAP_xp, MISSING_F, MISSING_F, 0, 10, 10, 10, 10, 10));
    MAP_get_limits(&lim);
    EXPECT_EQ(lim.y_min, -10.0f);
    EXPECT_EQ(lim.y_max, 0.0f);
    MAP_tran(0, -5, &x, &y);
    EXPECT_NEAR(y, -15.0, 1e-5);
    MAP_tran(0, -4, &x, &y);
    float y5;
    MAP_tran(0, -5, &x, &y5);
    EXPECT_LT(y, y5);  // larger data values lie lower
    MAP_untran(x, y, &a, &b);
    EXPECT_NEAR(b, -4.0, 1e-5);
    // 99: pixel plane.
    use(make(MAP_pixel, MISSING_F, MISSING_F, 0, 0, 640, 480, 1, 1));
    MAP_tran(10, 20, &x, &y);
    EXPECT_EQ(y, -20.0f);
    MAP_get_limits(&lim);
    EXPECT_EQ(lim.y_min, -480.0f);
    EXPECT_EQ(lim.y_max, 0.0f);
}

// --------------------------------------------- limits, grids, domains

TEST(MapLimits, CentredOnTheImageOfTheCentre) {
    Domain d = make(MAP_polar, 90, -105, 40, -100, 1.2f, 1.2f, 25, 17);
    use(d);
    float cx, cy;
    MAP_tran_center(&cx, &cy);
    MAP_limits lim;
    MAP_get_limits(&lim);
    EXPECT_NEAR(lim.x_min, cx - 12 * 1.2f, 1e-4);
    EXPECT_NEAR(lim.x_max, cx + 12 * 1.2f, 1e-4);
    EXPECT_NEAR(lim.y_min, cy - 8 * 1.2f, 1e-4);
    EXPECT_NEAR(lim.y_max, cy + 8 * 1.2f, 1e-4);
    // Missing plat/plon take the centre.
    Domain d2 = make(MAP_lambert, MISSING_F, MISSING_F, 40, -100, 1, 1, 25, 17);
    use(d2);
    Domain cur;
    MAP_get_domain(&cur);
    EXPECT_EQ(cur.plat, 40.0f);
    EXPECT_EQ(cur.plon, -100.0f);
    EXPECT_EQ(MAP_get_domain(nullptr)->clon, -100.0f);
}

TEST(MapLimits, GridTransformsAndInDomain) {
    use(make(MAP_polar, 90, -105, 40, -100, 1.2f, 1.2f, 25, 17));
    MAP_limits lim;
    MAP_get_limits(&lim);
    float x, y, gx, gy;
    EXPECT_EQ(MAP_grid_tran(0, 0, &x, &y), 0);
    EXPECT_EQ(x, lim.x_min);
    EXPECT_EQ(y, lim.y_max);
    EXPECT_EQ(MAP_grid_tran(24, 16, &x, &y), 0);
    EXPECT_NEAR(x, lim.x_max, 1e-4);
    EXPECT_NEAR(y, lim.y_min, 1e-4);
    EXPECT_EQ(MAP_grid_untran(x, y, &gx, &gy), 0);
    EXPECT_NEAR(gx, 24, 1e-3);
    EXPECT_NEAR(gy, 16, 1e-3);
    EXPECT_EQ(MAP_grid_tran(MISSING_F, 3, &x, &y), -1);
    EXPECT_EQ(x, MISSING_F);
    EXPECT_EQ(y, MISSING_F);
    EXPECT_EQ(MAP_grid_untran(MISSING_F, 3, &gx, &gy), -1);
    EXPECT_EQ(gy, MISSING_F);
    EXPECT_EQ(MAP_in_domain(lim.x_min, lim.y_max), 1);  // bounds included
    EXPECT_EQ(MAP_in_domain(lim.x_max + 0.01f, lim.y_max), 0);
    EXPECT_EQ(MAP_in_domain(lim.x_min, lim.y_min - 0.01f), 0);
}

TEST(MapLimits, DomainToDomainRestoresTheCurrentDomain) {
    const Domain ps = make(MAP_polar, 90, -105, 40, -100, 1.2f, 1.2f, 25, 17);
    const Domain ll = make(MAP_latlon, 0, -100, 40, -100, 1, 1, 25, 17);
    const Domain hodo = make(MAP_hodo, MISSING_F, MISSING_F, -150, -150, 300, 300, 11, 11);
    use(hodo);
    float x, y, x2, y2;
    use(ps);
    MAP_tran(45, -90, &x, &y);
    use(hodo);
    EXPECT_EQ(MAP_domain_tran(&ps, &ll, x, y, &x2, &y2), 0);
    EXPECT_NEAR(x2, 10.0, 1e-3);
    EXPECT_NEAR(y2, 45.0, 1e-3);
    EXPECT_EQ(MAP_get_proj(), MAP_hodo);
    MAP_limits lim;
    MAP_get_limits(&lim);
    EXPECT_EQ(lim.x_max, 150.0f);
    // Equal domains copy the point (a missing plat equal to the centre).
    Domain ps2 = ps;
    ps2.plat = MISSING_F;
    ps2.clat = 90;
    Domain ps3 = ps2;
    ps3.plat = 90;
    EXPECT_EQ(MAP_domain_tran(&ps2, &ps3, 1.5f, -2.5f, &x2, &y2), 0);
    EXPECT_EQ(x2, 1.5f);
    EXPECT_EQ(y2, -2.5f);
}

TEST(MapLimits, VerticalDirectionOfNorth) {
    use(make(MAP_polar, 90, -105, 40, -105, 1, 1, 25, 17));
    EXPECT_NEAR(MAP_get_vert(40, -105), 0.0, 1e-2);
    EXPECT_NEAR(MAP_get_vert(40, -15), -90.0, 1e-2);
    use(make(MAP_skewt, MISSING_F, MISSING_F, -50, 1050, 100, -950, 12, 11));
    EXPECT_EQ(MAP_get_vert(0, 500), 0.0f);
}

TEST(MapState, NewDomainResetsCachedFactors) {
    // Lambert: a secant cone followed by a tangent one must use the new
    // cone constant (a stale constant still inverts, so test the cone).
    Domain lc = make(MAP_lambert, 40, -100, 40, -100, 1, 1, 25, 17);
    use(lc);
    float x, y;
    MAP_tran(40, -100, &x, &y);
    lc.param[0] = lc.param[1] = 40;
    use(lc);
    MAP_tran(40, -100, &x, &y);
    EXPECT_NEAR(-y, kR * std::cos(40 * kDeg) / std::sin(40 * kDeg), 1e-3);
    // Skew-T: a taller diagram changes the skew.
    const MAP_limits view{0.f, 1.f, 0.f, 1.f};
    MAP_set_view(&view);
    for (float top : {-950.f, -500.f}) {
        use(make(MAP_skewt, MISSING_F, MISSING_F, -50, 1050, 100, top, 12, 11));
        MAP_limits lim;
        MAP_get_limits(&lim);
        float x1, y1, x2, y2;
        MAP_tran(10, 1000, &x1, &y1);
        MAP_tran(10, 700, &x2, &y2);
        EXPECT_NEAR((x2 - x1) / (lim.x_max - lim.x_min), (y2 - y1) / (lim.y_max - lim.y_min), 1e-5)
            << top;
    }
    // Polar stereographic: a new true latitude, a new scale.
    Domain ps = make(MAP_polar, 90, 0, 60, 0, 1, 1, 25, 17);
    use(ps);
    MAP_tran(60, 0, &x, &y);
    ps.param[0] = 30;
    use(ps);
    MAP_tran(60, 0, &x, &y);
    EXPECT_NEAR(y, -kR * 1.5 * std::tan(15 * kDeg), 1e-4);
}

TEST(MapState, DomainToDomainWithTheModulesOwnDomain) {
    const Domain ll = make(MAP_latlon, 0, -100, 40, -100, 1, 1, 25, 17);
    const Domain ps = make(MAP_polar, 90, -105, 40, -100, 1.2f, 1.2f, 25, 17);
    use(ps);
    float x, y;
    MAP_tran(45, -90, &x, &y);
    // The target is the current domain handed back by MAP_get_domain.
    const Domain *own = MAP_get_domain(nullptr);
    float x2, y2;
    EXPECT_EQ(MAP_domain_tran(&ll, own, 10, 45, &x2, &y2), 0);
    EXPECT_NEAR(x2, x, 1e-3);
    EXPECT_NEAR(y2, y, 1e-3);
    EXPECT_EQ(MAP_get_proj(), MAP_polar);
    // A point without an image in the target: -9999, still 0.
    const Domain ortho = make(MAP_ortho, 0, 0, 0, 0, 1, 1, 25, 17);
    EXPECT_EQ(MAP_domain_tran(&ll, &ortho, -80, 0, &x2, &y2), 0);  // lon 180
    EXPECT_EQ(x2, MISSING_F);
    EXPECT_EQ(y2, MISSING_F);
    EXPECT_EQ(MAP_get_proj(), MAP_polar);
}

TEST(MapRoundTrip, PlotsAndPassThroughCodes) {
    const Domain doms[] = {
        make(MAP_xy, MISSING_F, MISSING_F, 10, 100, 50, 20, 5, 4),
        make(MAP_cat, MISSING_F, MISSING_F, -3, 7, 2, 9, 11, 6),
        make(MAP_xp, MISSING_F, MISSING_F, 0, 10, 10, 10, 10, 10),
        make(MAP_pixel, MISSING_F, MISSING_F, 0, 0, 640, 480, 1, 1),
        make(MAP_none, MISSING_F, MISSING_F, 0, 0, 1, 1, 1, 1),
        make(MAP_zoom, MISSING_F, MISSING_F, 0, 0, 1, 1, 1, 1),
        make(MAP_size, MISSING_F, MISSING_F, 0, 0, 1, 1, 640, 480),
    };
    for (const Domain &d : doms) {
        use(d);
        for (float a = -20; a <= 60; a += 7.5f) {
            for (float b = -5; b <= 120; b += 12.5f) {
                float x, y, a2, b2;
                ASSERT_EQ(MAP_tran(a, b, &x, &y), 1) << d.proj;
                ASSERT_EQ(MAP_untran(x, y, &a2, &b2), 1) << d.proj;
                EXPECT_NEAR(a2, a, 1e-4) << d.proj;
                EXPECT_NEAR(b2, b, 1e-4) << d.proj;
            }
        }
    }
    // The cat code scales as the x/y plot: data width dx over nx units.
    use(doms[1]);
    float x, y;
    MAP_tran(-1, 16, &x, &y);
    EXPECT_NEAR(x, -3 + 2 * 11.0 / 2, 1e-4);
    EXPECT_NEAR(y, 7 + 9 * 6.0 / 9, 1e-4);
}

TEST(Diagram, PointsWithoutAnImage) {
    use(make(MAP_stuve, MISSING_F, MISSING_F, -80, 1050, 120, -950, 12, 11));
    float a, b;
    EXPECT_EQ(MAP_untran(0, 1, &a, &b), 0);  // above p = 0
    EXPECT_EQ(a, MISSING_F);
    EXPECT_EQ(b, MISSING_F);
    float x, y;
    EXPECT_EQ(MAP_tran(0, -10, &x, &y), 0);  // negative pressure
    use(make(MAP_emagram, MISSING_F, MISSING_F, -80, 1050, 120, -950, 12, 11));
    EXPECT_EQ(MAP_tran(0, 0, &x, &y), 0);
    EXPECT_EQ(y, MISSING_F);
    use(make(MAP_rteph, MISSING_F, MISSING_F, -100, 50, 150, 230, 12, 11));
    EXPECT_EQ(MAP_tran(MISSING_F, 500, &x, &y), 0);
    EXPECT_EQ(MAP_tran(-300, 500, &x, &y), 0);  // below absolute zero
    EXPECT_EQ(x, MISSING_F);
}

TEST(MapEdge, EarthPointForms) {
    use(make(MAP_polar, 90, -105, 60, -105, 1, 1, 25, 17));
    const EarthPoint e{60, -105};
    Point p{};
    ASSERT_EQ(MAP_tran_ep(&e, &p), 1);
    EarthPoint back{};
    ASSERT_EQ(MAP_tran_pe(&p, &back), 1);
    EXPECT_NEAR(back.lat, 60, 1e-4);
    EXPECT_NEAR(back.lon, -105, 1e-4);
    EXPECT_EQ(MAP_tran_ep(nullptr, &p), 0);
    EXPECT_EQ(MAP_tran_pe(&p, nullptr), 0);
}

TEST(MapEdge, GarbageInputDoesNotEscape) {
    const Domain doms[] = {
        make(MAP_polar, 90, -105, 60, -105, 1, 1, 25, 17),
        make(MAP_lambert, 40, -100, 40, -100, 1, 1, 25, 17),
        make(MAP_mollweide, 0, 0, 0, 0, 1, 1, 25, 17),
        make(MAP_satellite, 0, 0, 0, 0, 1, 1, 25, 17),
        make(MAP_ortho, 0, 0, 0, 0, 1, 1, 25, 17),
        make(MAP_lambert_az, 0, 0, 0, 0, 1, 1, 25, 17),
        make(MAP_mercator, 0, 0, 0, 0, 1, 1, 25, 17),
    };
    const float bad[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f};
    for (const Domain &d : doms) {
        use(d);
        for (float v : bad) {
            float x, y;
            if (MAP_tran(v, 10, &x, &y)) {
                EXPECT_TRUE(std::isfinite(x) && std::isfinite(y)) << d.proj << " " << v;
            } else {
                EXPECT_EQ(x, MISSING_F);
            }
            if (!std::isfinite(v)) {
                EXPECT_EQ(MAP_tran(10, v, &x, &y), 0) << d.proj << " " << v;
            } else if (MAP_tran(10, v, &x, &y)) {
                EXPECT_TRUE(std::isfinite(x) && std::isfinite(y)) << d.proj << " " << v;
            }
            if (MAP_untran(v, v, &x, &y)) {
                EXPECT_TRUE(std::isfinite(x) && std::isfinite(y)) << d.proj << " " << v;
            }
        }
    }
    // Absurd grids still give limits a float holds.
    Domain huge = make(MAP_polar, 90, 0, 60, 0, 3e38f, 3e38f, 1000000, 1000000);
    use(huge);
    MAP_limits lim;
    MAP_get_limits(&lim);
    EXPECT_LE(lim.x_min, lim.x_max);
    EXPECT_TRUE(std::isfinite(lim.x_max));
    // A degenerate cone (true latitudes 30S and 30N) has no images.
    Domain lc = make(MAP_lambert, 40, -100, 40, -100, 1, 1, 25, 17);
    lc.param[0] = 30;
    lc.param[1] = -30;
    use(lc);
    float x, y;
    EXPECT_EQ(MAP_tran(40, -90, &x, &y), 0);
}

}  // namespace
