// grd_place.cpp - where a point falls on a grid, and which way the grid's
// wind components point there.
//
// Beyond the plain projections of the map module, a latitude-longitude grid
// (projection 2) may be Gaussian or rotated; the GRIB readers mark such grids
// in the unused projection parameters of its domain:
//   param[0]  number of Gaussian latitudes between a pole and the equator;
//   param[1], param[2]  latitude and longitude of the southern pole of a
//             rotated grid, param[3] its angle of rotation (degrees);
// and, for any projection,
//   param[4]  1 when the grid's u and v run along its own x and y axes
//             (resolution and component flags, bit 0x08), not east and north.
#include <cmath>
#include <map>
#include <vector>

#include "grd_priv.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

bool given(float v) { return v != MISSING_F; }

// Gaussian latitudes (degrees, north to south) of a grid with n latitudes
// between a pole and the equator: the zeros of the Legendre polynomial of
// degree 2n, found by Newton's method from the usual first guesses.
// Kept for the few values of n that a run meets.
const std::vector<double> &gaussian_lats(int n) {
    static std::map<int, std::vector<double>> cache;
    auto it = cache.find(n);
    if (it != cache.end()) return it->second;
    if (cache.size() >= 4) cache.clear();
    const int m = 2 * n;
    std::vector<double> lat(static_cast<std::size_t>(m));
    for (int i = 0; i < n; ++i) {
        double x = std::cos(M_PI * (i + 0.75) / (m + 0.5));
        for (int iter = 0; iter < 100; ++iter) {
            double p0 = 1, p1 = x;
            for (int k = 2; k <= m; ++k) {
                double p2 = ((2.0 * k - 1) * x * p1 - (k - 1.0) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            double dp = m * (x * p1 - p0) / (x * x - 1);
            double dx = p1 / dp;
            x -= dx;
            if (std::fabs(dx) < 1e-15) break;
        }
        double a = std::asin(x) / kDeg;
        lat[static_cast<std::size_t>(i)] = a;
        lat[static_cast<std::size_t>(m - 1 - i)] = -a;
    }
    return cache.emplace(n, std::move(lat)).first->second;
}

// Row coordinate (0 = northernmost row, fractional between rows) of a
// latitude on a Gaussian grid of ny rows whose northern row lies at north.
// On a grid reaching the outermost Gaussian row, points between that row
// and the pole take the row itself (no values lie beyond it).
float gaussian_row(int n, int ny, double north, double lat) {
    const std::vector<double> &g = gaussian_lats(n);
    const int m = static_cast<int>(g.size());
    int j0 = 0;
    for (int j = 1; j < m; ++j)
        if (std::fabs(g[static_cast<std::size_t>(j)] - north) <
            std::fabs(g[static_cast<std::size_t>(j0)] - north))
            j0 = j;
    const int last = std::min(m - 1, j0 + ny - 1);
    auto at = [&](int j) { return g[static_cast<std::size_t>(j)]; };
    if (lat >= at(j0)) return (j0 == 0 || lat == at(j0)) ? 0.0f : MISSING_F;
    if (lat <= at(last)) return (last == m - 1 || lat == at(last)) ? static_cast<float>(last - j0) : MISSING_F;
    int j = j0;
    while (j + 1 <= last && at(j + 1) > lat) ++j;
    return static_cast<float>(j - j0 + (at(j) - lat) / (at(j) - at(j + 1)));
}

// Geographic point to the coordinates of a grid rotated so that its
// southern pole lies at (plat, plon), then turned by angle about that pole.
void rotate_point(const Domain &d, double lat, double lon, double *rlat, double *rlon) {
    const double nlat = -d.param[1] * kDeg;  // the rotated north pole
    const double nlon = (d.param[2] + 180.0) * kDeg;
    const double phi = lat * kDeg, dl = lon * kDeg - nlon;
    double s = std::sin(phi) * std::sin(nlat) + std::cos(phi) * std::cos(nlat) * std::cos(dl);
    s = std::max(-1.0, std::min(1.0, s));
    *rlat = std::asin(s) / kDeg;
    double rl = std::atan2(-std::cos(phi) * std::sin(dl),
                           -std::cos(phi) * std::sin(nlat) * std::cos(dl) + std::sin(phi) * std::cos(nlat)) /
                kDeg;
    if (given(d.param[3])) rl -= d.param[3];
    *rlon = std::remainder(rl, 360.0);  // within [-180, 180], in one step
}

bool rotated(const Domain &d) { return d.proj == 2 && given(d.param[1]) && given(d.param[2]); }
bool gaussian(const Domain &d) { return d.proj == 2 && given(d.param[0]) && d.param[0] >= 1; }

}  // namespace

// The largest grids in use have n = 1280 to 2560 (ECMWF O1280, TCo2559);
// 8000 leaves room for research runs while keeping the Newton search (of
// order n^2) under a second.
float GRD_gaussian_param(long n, long ny) {
    if (n >= 1 && n <= 8000 && 2 * n >= ny) return static_cast<float>(n);
    MESS_print(64, "Gaussian grid of %ld rows with %ld latitudes between pole and equator: "
                   "rows taken as evenly spaced\n", ny, n);
    return MISSING_F;
}

int GRD_locate(const GRD_report *rec, float lat, float lon, float *gx, float *gy) {
    if (gx) *gx = MISSING_F;
    if (gy) *gy = MISSING_F;
    if (!rec || !gx || !gy) return -1;
    const Domain &d = rec->domain;
    double a = lat, b = lon;
    if (rotated(d)) rotate_point(d, lat, lon, &a, &b);
    MAP_domain(&rec->domain);
    float x = MISSING_F, y = MISSING_F;
    MAP_tran(static_cast<float>(a), static_cast<float>(b), &x, &y);
    if (MAP_grid_untran(x, y, gx, gy) != 0) return -1;
    if (gaussian(d)) {
        // The northern row: the one at the top of the domain.
        const double north = d.clat + (d.ny - 1) / 2.0 * d.dy;
        *gy = gaussian_row(static_cast<int>(d.param[0]), d.ny, north, a);
    }
    return (*gx == MISSING_F || *gy == MISSING_F) ? -1 : 0;
}

float GRD_wind_angle(const GRD_report *rec, float lat, float lon) {
    if (!rec || rec->domain.param[4] != 1.0f) return 0.0f;
    const Domain &d = rec->domain;
    if (d.proj == 1 || d.proj == 4) {
        // Meridians are straight lines through the image of the pole (the
        // plane's origin): true north points to it (away from it on a
        // projection about the south pole).
        MAP_domain(&rec->domain);
        float x, y;
        if (!MAP_tran(lat, lon, &x, &y)) return 0.0f;
        const double sx = d.plat < 0 ? x : -x, sy = d.plat < 0 ? y : -y;
        if (sx == 0 && sy == 0) {
            // At the pole: the meridian of the point's longitude.
            double dl = lon - d.plon;
            return static_cast<float>((d.plat < 0 ? dl : -dl) * kDeg);
        }
        return static_cast<float>(std::atan2(sx, sy));
    }
    if (rotated(d)) {
        // True north in the rotated frame, from a short step along the
        // meridian (southward near the north pole).
        const double step = lat > 89.9 ? -1e-4 : 1e-4;
        double r0lat, r0lon, r1lat, r1lon;
        rotate_point(d, lat, lon, &r0lat, &r0lon);
        rotate_point(d, lat + step, lon, &r1lat, &r1lon);
        double dlon = r1lon - r0lon;
        if (dlon > 180) dlon -= 360;
        if (dlon < -180) dlon += 360;
        double e = dlon * std::cos(r0lat * kDeg), n = r1lat - r0lat;
        if (step < 0) {
            e = -e;
            n = -n;
        }
        return static_cast<float>(std::atan2(e, n));
    }
    return 0.0f;
}

void GRD_turn_wind(float angle, float *u, float *v) {
    if (!u || !v || angle == 0.0f || *u == MISSING_F || *v == MISSING_F) return;
    const double c = std::cos(angle), s = std::sin(angle);
    const double ug = *u, vg = *v;
    *u = static_cast<float>(ug * c - vg * s);
    *v = static_cast<float>(ug * s + vg * c);
}
