// maptran.cpp - the current domain and its transforms: map projections on
// a sphere of radius 63.7122 (100 km units), the thermodynamic diagrams,
// the hodograph and plain x/y plots.
//
// Every projection is a pair of short functions (forward, inverse) kept
// side by side and registered in one table together with the way its plane
// limits are found; MAP_tran and MAP_untran only look the code up.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "zupcty.h"
#include "zupupa.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kR = MAP_EARTH_RADIUS;
constexpr double kA = MAP_SEMI_MAJOR;
constexpr double kB = MAP_SEMI_MINOR;
constexpr double kUnset = -9999.0;

// How the plane limits of a code are found.
enum class Limits {
    centred,    // map projections: image of the centre +- half the grid
    diagram,    // skew-T and tephigrams: corners with factors zeroed
    hodograph,  // corners taken as they are
    linear,     // x/y plots with scale factors
    reversed,   // x/y plot with y reversed
    corners     // images of the two corners
};

struct State;
using Forward = bool (*)(State &, double a, double b, double &x, double &y);
using Inverse = bool (*)(State &, double x, double y, double &a, double &b);

struct Projection {
    int code;
    Forward forward;
    Inverse inverse;
    Limits limits;
};

// The module state: one current domain for the whole process.
struct State {
    Domain dom{MAP_none, kUnset, kUnset, {-9999.f, -9999.f, -9999.f, -9999.f, -9999.f},
               kUnset, kUnset, kUnset, kUnset, MISSING, MISSING, 0};
    const Projection *proj = nullptr;  // table entry of dom.proj
    MAP_limits limits{0.f, 1.f, 0.f, 1.f};
    MAP_limits view{0.f, 1.f, 0.f, 1.f};
    double tlat1 = 30.0;
    double tlat2 = 60.0;
    double sat_rad = MAP_SAT_RADIUS;
    double sat_rad2 = 0.0;
    double sat_rad4 = 0.0;
    double sat_diff = 0.0;      // sat_rad^2 - a^2
    double earth_ratio = 0.0;   // R / sat_rad
    double sat_ratio = kUnset;
    double earth_ratio2 = (kB / kA) * (kB / kA);
    // Cached factors, -9999 until first use.
    double xfactor = kUnset;
    double yfactor = kUnset;
    double mult = kUnset;
    double scale = kUnset;
    bool in_limits = false;     // limits being computed: diagram factors 0
};

State &state() {
    static State s;
    return s;
}

void reset_factors(State &s) {
    s.xfactor = s.yfactor = s.mult = s.scale = kUnset;
    s.sat_ratio = kUnset;
}

bool is_unset(double v) { return v == kUnset; }

// A plane or data value that a float can hold.
bool usable(double v) { return std::isfinite(v) && std::fabs(v) < 1e30; }

// A limit as a float; values beyond the float range are held at its ends.
float limit_value(double v) {
    if (!std::isfinite(v)) return static_cast<float>(v);
    return static_cast<float>(std::clamp(v, -3.0e38, 3.0e38));
}

// Bring a longitude into [-180, 180].
double wrap_lon(double lon) {
    if (!std::isfinite(lon)) return lon;
    if (lon > 180.0 || lon < -180.0) {
        lon = std::fmod(lon, 360.0);
        if (lon > 180.0) lon -= 360.0;
        if (lon < -180.0) lon += 360.0;
    }
    return lon;
}

double plat_of(const State &s) { return is_unset(s.dom.plat) ? 0.0 : s.dom.plat; }
double plon_of(const State &s) { return is_unset(s.dom.plon) ? 0.0 : s.dom.plon; }

// Longitude difference from the projection longitude, wrapped.
double delta_lon(const State &s, double lon) { return wrap_lon(wrap_lon(lon) - plon_of(s)); }

// ----------------------------------------------------------------- identity
bool identity_fwd(State &, double a, double b, double &x, double &y) {
    x = a;
    y = b;
    return true;
}
bool identity_inv(State &, double x, double y, double &a, double &b) {
    a = x;
    b = y;
    return true;
}

// ------------------------------------------------------ polar stereographic
// h = -1 for a north-pole map; k = R (1 + sin |true latitude|).
double polar_h(const State &s) { return plat_of(s) >= 0.0 ? -1.0 : 1.0; }
double polar_k(State &s) {
    if (is_unset(s.mult)) s.mult = kR * (1.0 + polar_h(s) * std::sin(-s.tlat1 * kDeg));
    return s.mult;
}
bool polar_fwd(State &s, double lat, double lon, double &x, double &y) {
    const double h = polar_h(s);
    if (h * lat > 75.0) lat = 75.0 * h;
    const double rho = polar_k(s) * std::tan((h * lat + 90.0) * kDeg / 2.0);
    const double dl = delta_lon(s, lon) * kDeg;
    x = rho * std::sin(dl);
    y = h * rho * std::cos(dl);
    return true;
}
bool polar_inv(State &s, double x, double y, double &lat, double &lon) {
    const double h = polar_h(s);
    const double rho = std::hypot(x, y);
    lat = h * (2.0 * std::atan(rho / polar_k(s)) / kDeg - 90.0);
    lon = (rho == 0.0) ? plon_of(s) : plon_of(s) + std::atan2(x, h * y) / kDeg;
    lon = wrap_lon(lon);
    return true;
}

// ------------------------------------------------------------------ lat/lon
bool latlon_fwd(State &s, double lat, double lon, double &x, double &y) {
    x = delta_lon(s, lon);
    y = lat;
    return true;
}
bool latlon_inv(State &s, double x, double y, double &lat, double &lon) {
    lat = y;
    lon = wrap_lon(plon_of(s) + x);
    return true;
}

// ----------------------------------------------------------------- Mercator
bool mercator_fwd(State &s, double lat, double lon, double &x, double &y) {
    x = kR * (wrap_lon(lon) - plon_of(s)) * kDeg;
    if (x > kPi * kR) x -= 2.0 * kPi * kR;
    if (x < -kPi * kR) x += 2.0 * kPi * kR;
    lat = std::clamp(lat, -89.9, 89.9);
    y = -kR * std::log(std::tan((45.0 - lat / 2.0) * kDeg));
    return true;
}
bool mercator_inv(State &s, double x, double y, double &lat, double &lon) {
    lat = 90.0 - 2.0 * std::atan(std::exp(-y / kR)) / kDeg;
    lon = wrap_lon(plon_of(s) + x / kR / kDeg);
    return true;
}

// --------------------------------------------------- Lambert conformal conic
// The cone is set up for the hemisphere of plat (h); true latitudes given
// with the southern sign are mirrored so that the same formulas serve both.
double lambert_h(const State &s) { return plat_of(s) >= 0.0 ? 1.0 : -1.0; }
void lambert_factors(State &s) {
    if (!is_unset(s.xfactor)) return;
    const double h = lambert_h(s);
    double p1 = s.tlat1, p2 = s.tlat2;
    if (h < 0.0 && p1 < 0.0) p1 = -p1;
    if (h < 0.0 && p2 < 0.0) p2 = -p2;
    double n;
    if (std::fabs(p1 - p2) < 1e-6) {
        n = std::sin(p1 * kDeg);
    } else {
        n = (std::log(std::cos(p1 * kDeg)) - std::log(std::cos(p2 * kDeg))) /
            (std::log(std::tan((45.0 - p1 / 2.0) * kDeg)) -
             std::log(std::tan((45.0 - p2 / 2.0) * kDeg)));
    }
    s.xfactor = n;
    s.mult = std::cos(p1 * kDeg) / (n * std::pow(std::tan((45.0 - p1 / 2.0) * kDeg), n));
}
bool lambert_fwd(State &s, double lat, double lon, double &x, double &y) {
    lambert_factors(s);
    const double h = lambert_h(s), n = s.xfactor;
    double hl = std::max(h * lat, -89.0);
    const double rho = kR * s.mult * std::pow(std::tan((45.0 - hl / 2.0) * kDeg), n);
    const double a = n * delta_lon(s, lon) * kDeg;
    x = rho * std::sin(a);
    y = -h * rho * std::cos(a);
    return true;
}
bool lambert_inv(State &s, double x, double y, double &lat, double &lon) {
    lambert_factors(s);
    const double h = lambert_h(s), n = s.xfactor;
    const double rho = std::hypot(x, y);
    if (rho == 0.0) {
        lat = 90.0 * h;
        lon = plon_of(s);
        return true;
    }
    const double t = std::pow(rho / (kR * s.mult), 1.0 / n);
    lat = h * (90.0 - 2.0 * std::atan(t) / kDeg);
    lon = wrap_lon(plon_of(s) + std::atan2(x, -h * y) / kDeg / n);
    return true;
}

// ---------------------------------------------------------- azimuthal helper
// Latitude and longitude of the point at angular distance c (radians) from
// (plat, plon) along plane direction (x, y), rho = hypot(x, y).
void azimuthal_back(const State &s, double x, double y, double rho, double c, double &lat,
                    double &lon) {
    const double p0 = plat_of(s) * kDeg;
    if (rho == 0.0) {
        lat = plat_of(s);
        lon = plon_of(s);
        return;
    }
    const double sc = std::sin(c), cc = std::cos(c);
    const double v = std::clamp(cc * std::sin(p0) + y * sc * std::cos(p0) / rho, -1.0, 1.0);
    lat = std::asin(v) / kDeg;
    lon = wrap_lon(plon_of(s) +
                   std::atan2(x * sc, rho * std::cos(p0) * cc - y * std::sin(p0) * sc) / kDeg);
}

// Cosine of the angular distance from (plat, plon) and the local (x, y)
// direction factors shared by the azimuthal projections.
struct Azimuth {
    double cosc, east, north;
};
Azimuth azimuth(const State &s, double lat, double lon) {
    const double p0 = plat_of(s) * kDeg, p = lat * kDeg, dl = delta_lon(s, lon) * kDeg;
    Azimuth a;
    a.cosc = std::sin(p0) * std::sin(p) + std::cos(p0) * std::cos(p) * std::cos(dl);
    a.east = std::cos(p) * std::sin(dl);
    a.north = std::cos(p0) * std::sin(p) - std::sin(p0) * std::cos(p) * std::cos(dl);
    return a;
}

// ------------------------------------------------------------- orthographic
bool ortho_fwd(State &s, double lat, double lon, double &x, double &y) {
    const Azimuth a = azimuth(s, lat, lon);
    if (a.cosc < 0.0) return false;
    x = kR * a.east;
    y = kR * a.north;
    return true;
}
bool ortho_inv(State &s, double x, double y, double &lat, double &lon) {
    const double rho = std::hypot(x, y);
    if (rho > kR) return false;
    azimuthal_back(s, x, y, rho, std::asin(std::min(rho / kR, 1.0)), lat, lon);
    return true;
}

// ---------------------------------------------------------------- gnomonic
bool gnomonic_fwd(State &s, double lat, double lon, double &x, double &y) {
    const Azimuth a = azimuth(s, lat, lon);
    if (a.cosc <= 1e-6) return false;
    x = kR * a.east / a.cosc;
    y = kR * a.north / a.cosc;
    return true;
}
bool gnomonic_inv(State &s, double x, double y, double &lat, double &lon) {
    const double rho = std::hypot(x, y);
    azimuthal_back(s, x, y, rho, std::atan(rho / kR), lat, lon);
    return true;
}

// --------------------------------------------------- Lambert azimuthal equal-area
bool lambaz_fwd(State &s, double lat, double lon, double &x, double &y) {
    const Azimuth a = azimuth(s, lat, lon);
    if (a.cosc <= -1.0 + 1e-12) return false;
    const double k = kR * std::sqrt(2.0 / (1.0 + a.cosc));
    x = k * a.east;
    y = k * a.north;
    return true;
}
bool lambaz_inv(State &s, double x, double y, double &lat, double &lon) {
    const double rho = std::hypot(x, y);
    if (rho > 2.0 * kR) return false;
    azimuthal_back(s, x, y, rho, 2.0 * std::asin(std::min(rho / (2.0 * kR), 1.0)), lat, lon);
    return true;
}

// ---------------------------------------------------------- Mollweide-type
bool mollweide_fwd(State &s, double lat, double lon, double &x, double &y) {
    const double dl = delta_lon(s, lon);
    double theta;
    if (std::fabs(lat) > 89.99) {
        theta = (lat > 0 ? 90.0 : -90.0) * kDeg;
        x = 0.0;
    } else {
        const double target = kPi * std::sin(lat * kDeg);
        double t = lat * kDeg;  // t = 2 theta
        for (int i = 0; i < 15; ++i) {
            const double step = -(std::sin(t) + t - target) / (std::cos(t) + 1.0);
            t += step;
            if (std::fabs(step) < 1e-10) break;
        }
        theta = t / 2.0;
        x = kR * dl / 90.0 * std::cos(theta);
    }
    y = kR * std::sin(theta);
    return true;
}
bool mollweide_inv(State &s, double x, double y, double &lat, double &lon) {
    if (std::fabs(y) > kR) return false;
    const double theta = std::asin(y / kR);
    const double ct = std::cos(theta);
    double dl = 0.0;
    if (ct > 1e-12) dl = 90.0 * x / (kR * ct);
    if (std::fabs(dl) > 180.0 + 1e-9) return false;
    const double v = std::clamp((2.0 * theta + std::sin(2.0 * theta)) / kPi, -1.0, 1.0);
    lat = std::asin(v) / kDeg;
    lon = wrap_lon(plon_of(s) + dl);
    return true;
}

// --------------------------------------------------- geostationary satellite
bool ellipsoidal(const State &s) { return s.dom.ellipse != 0; }
bool scan_angles(const State &s) { return s.dom.param[1] == 1.0f; }

bool satellite_fwd(State &s, double lat, double lon, double &x, double &y) {
    const double dl = delta_lon(s, lon) * kDeg;
    double pc = lat * kDeg;
    if (ellipsoidal(s)) pc = std::atan(s.earth_ratio2 * std::tan(pc));
    if (s.earth_ratio > std::cos(pc) * std::cos(dl)) return false;
    double r = kR;
    if (ellipsoidal(s)) {
        const double c = std::cos(pc);
        r = kB / std::sqrt(1.0 - (1.0 - s.earth_ratio2) * c * c);
    }
    const double d = s.sat_rad - r * std::cos(pc) * std::cos(dl);
    const double e = r * std::sin(dl) * std::cos(pc);
    double xs = e / d;
    double ys = r * std::sin(pc) / std::sqrt(d * d + e * e);
    if (scan_angles(s)) {
        xs = std::atan(xs);
        ys = std::atan(ys);
    }
    x = s.sat_rad * xs;
    y = s.sat_rad * ys;
    return true;
}
bool satellite_inv(State &s, double x, double y, double &lat, double &lon) {
    double xs = x / s.sat_rad, ys = y / s.sat_rad;
    if (scan_angles(s)) {
        if (std::fabs(xs) >= kPi / 2 || std::fabs(ys) >= kPi / 2) return false;
        xs = std::tan(xs);
        ys = std::tan(ys);
    }
    // Ray from the satellite (sat_rad, 0, 0) along (-1, xs, zs).
    const double zs = ys * std::sqrt(1.0 + xs * xs);
    double qa, qc;
    if (ellipsoidal(s)) {
        qa = 1.0 + xs * xs + zs * zs / s.earth_ratio2;
        qc = s.sat_diff;
    } else {
        qa = 1.0 + xs * xs + zs * zs;
        qc = s.sat_rad2 - kR * kR;
    }
    const double qb = -2.0 * s.sat_rad;
    const double disc = qb * qb - 4.0 * qa * qc;
    if (disc < 0.0) return false;
    const double t = (-qb - std::sqrt(disc)) / (2.0 * qa);
    const double px = s.sat_rad - t, py = t * xs, pz = t * zs;
    double pc = std::atan2(pz, std::hypot(px, py));
    if (ellipsoidal(s)) pc = std::atan(std::tan(pc) / s.earth_ratio2);
    lat = pc / kDeg;
    lon = wrap_lon(plon_of(s) + std::atan2(py, px) / kDeg);
    return true;
}

// ------------------------------------------------------------ x/y plots
double linear_xf(State &s) {
    if (is_unset(s.xfactor)) {
        const double dx = s.dom.dx;
        s.xfactor = (dx == 0.0 || is_unset(dx) || s.dom.nx == MISSING) ? 1.0 : s.dom.nx / dx;
    }
    return s.xfactor;
}
double linear_yf(State &s) {
    if (is_unset(s.yfactor)) {
        const double dy = s.dom.dy;
        s.yfactor = (dy == 0.0 || is_unset(dy) || s.dom.ny == MISSING) ? 1.0 : s.dom.ny / dy;
    }
    return s.yfactor;
}
bool linear_fwd(State &s, double a, double b, double &x, double &y) {
    x = (a - s.limits.x_min) * linear_xf(s) + s.limits.x_min;
    y = (b - s.limits.y_min) * linear_yf(s) + s.limits.y_min;
    return true;
}
bool linear_inv(State &s, double x, double y, double &a, double &b) {
    a = (x - s.limits.x_min) / linear_xf(s) + s.limits.x_min;
    b = (y - s.limits.y_min) / linear_yf(s) + s.limits.y_min;
    return true;
}
bool reversed_fwd(State &s, double a, double b, double &x, double &y) {
    x = (a - s.limits.x_min) * linear_xf(s) + s.limits.x_min;
    y = (s.limits.y_min - b) * linear_yf(s) + s.limits.y_min;
    return true;
}
bool reversed_inv(State &s, double x, double y, double &a, double &b) {
    a = (x - s.limits.x_min) / linear_xf(s) + s.limits.x_min;
    b = s.limits.y_min - (y - s.limits.y_min) / linear_yf(s);
    return true;
}

// x against -ln y (pressure cross sections).
bool xlogy_fwd(State &, double a, double b, double &x, double &y) {
    if (b <= 0.0) return false;
    x = a;
    y = -std::log(b);
    return true;
}
bool xlogy_inv(State &, double x, double y, double &a, double &b) {
    a = x;
    b = std::exp(-y);
    return true;
}

// Pixel plane, y down.
bool pixel_fwd(State &, double a, double b, double &x, double &y) {
    x = a;
    y = -b;
    return true;
}
bool pixel_inv(State &, double x, double y, double &a, double &b) {
    a = x;
    b = -y;
    return true;
}

// ---------------------------------------------------------------- hodograph
// (direction the wind blows from, speed) to a polar plot.
bool hodo_fwd(State &, double dir, double spd, double &x, double &y) {
    x = spd * std::sin(dir * kDeg);
    y = spd * std::cos(dir * kDeg);
    return true;
}
bool hodo_inv(State &, double x, double y, double &dir, double &spd) {
    spd = std::hypot(x, y);
    dir = (spd == 0.0) ? 0.0 : std::atan2(x, y) / kDeg;
    if (dir < 0.0) dir += 360.0;
    if (dir >= 360.0) dir -= 360.0;
    return true;
}

// ------------------------------------------------------------------ emagram
bool emagram_fwd(State &, double t, double p, double &x, double &y) {
    if (p <= 0.0) return false;
    x = t;
    y = -std::log(p);
    return true;
}
bool emagram_inv(State &, double x, double y, double &t, double &p) {
    t = x;
    p = std::exp(-y);
    return true;
}

// -------------------------------------------------------------------- Stuve
constexpr double kStuveExp = 0.285714;
bool stuve_fwd(State &, double t, double p, double &x, double &y) {
    if (p < 0.0) return false;
    x = t;
    y = -std::pow(p, kStuveExp);
    return true;
}
bool stuve_inv(State &, double x, double y, double &t, double &p) {
    if (y > 0.0) return false;
    t = x;
    p = std::pow(-y, 3.5);
    return true;
}

// ------------------------------------------------------------------- skew-T
// The skew draws isotherms at 45 degrees on the device: it scales the plane
// aspect of the limits to the aspect of the view.
double skew(State &s) {
    if (s.in_limits) return 0.0;
    if (is_unset(s.scale)) {
        const double vw = s.view.x_max - s.view.x_min, vh = s.view.y_max - s.view.y_min;
        const double lw = s.limits.x_max - s.limits.x_min;
        const double lh = s.limits.y_max - s.limits.y_min;
        s.scale = (vw == 0.0 || lh == 0.0) ? 0.0 : (vh / vw) * (lw / lh);
    }
    return s.scale;
}
bool skewt_fwd(State &s, double t, double p, double &x, double &y) {
    if (p <= 0.0) return false;
    y = -std::log(p);
    x = t + (y - s.limits.y_min) * skew(s);
    return true;
}
bool skewt_inv(State &s, double x, double y, double &t, double &p) {
    p = std::exp(-y);
    t = x - (y - s.limits.y_min) * skew(s);
    return true;
}

// --------------------------------------------------------------- tephigrams
// Unrotated: (T, ln theta).
bool rteph_fwd(State &, double t, double p, double &x, double &y) {
    if (t == kUnset || p <= 0.0) return false;
    const float theta = pot_temp(static_cast<float>(t + 273.15), static_cast<float>(p));
    if (theta <= 0.0f) return false;
    x = t;
    y = std::log(static_cast<double>(theta));
    return true;
}
bool rteph_inv(State &, double x, double y, double &t, double &p) {
    t = x;
    // Exact inverse of the potential temperature (exponent 1/0.286).
    const double theta = std::exp(y);
    if (t + 273.15 <= 0.0) return false;
    p = 1000.0 * std::pow((t + 273.15) / theta, 1.0 / 0.286);
    return true;
}

// Rotated 45 degrees on the device about the lower-left corner of the view.
// Device offsets (u, v) from that corner become ((u + v)/2, (v - u)/2).
void teph_factors(State &s) {
    if (!is_unset(s.xfactor)) return;
    const double lw = s.limits.x_max - s.limits.x_min, lh = s.limits.y_max - s.limits.y_min;
    s.xfactor = (lw == 0.0) ? 1.0 : (s.view.x_max - s.view.x_min) / lw;
    s.yfactor = (lh == 0.0) ? 1.0 : (s.view.y_max - s.view.y_min) / lh;
    if (s.xfactor == 0.0) s.xfactor = 1.0;
    if (s.yfactor == 0.0) s.yfactor = 1.0;
}
bool teph_fwd(State &s, double t, double p, double &x, double &y) {
    if (s.in_limits) {
        if (p <= 0.0) return false;
        x = t;
        y = std::log(p);
        return false;
    }
    double lt;
    if (!rteph_fwd(s, t, p, x, lt)) return false;
    teph_factors(s);
    const double u = (t - s.limits.x_min) * s.xfactor;
    const double v = (lt - s.limits.y_min) * s.yfactor;
    x = ((u + v) / 2.0) / s.xfactor + s.limits.x_min;
    y = ((v - u) / 2.0) / s.yfactor + s.limits.y_min;
    return true;
}
bool teph_inv(State &s, double x, double y, double &t, double &p) {
    teph_factors(s);
    const double ur = (x - s.limits.x_min) * s.xfactor;
    const double vr = (y - s.limits.y_min) * s.yfactor;
    const double u = ur - vr, v = ur + vr;
    return rteph_inv(s, u / s.xfactor + s.limits.x_min, v / s.yfactor + s.limits.y_min, t, p);
}

// ------------------------------------------------------------ the table
const Projection kTable[] = {
    {MAP_none, identity_fwd, identity_inv, Limits::corners},
    {MAP_polar, polar_fwd, polar_inv, Limits::centred},
    {MAP_latlon, latlon_fwd, latlon_inv, Limits::centred},
    {MAP_mercator, mercator_fwd, mercator_inv, Limits::centred},
    {MAP_lambert, lambert_fwd, lambert_inv, Limits::centred},
    {MAP_ortho, ortho_fwd, ortho_inv, Limits::centred},
    {MAP_gnomonic, gnomonic_fwd, gnomonic_inv, Limits::centred},
    {MAP_mollweide, mollweide_fwd, mollweide_inv, Limits::centred},
    {MAP_lambert_az, lambaz_fwd, lambaz_inv, Limits::centred},
    {MAP_satellite, satellite_fwd, satellite_inv, Limits::centred},
    {MAP_xy, linear_fwd, linear_inv, Limits::linear},
    {MAP_xlogy, xlogy_fwd, xlogy_inv, Limits::corners},
    {MAP_hodo, hodo_fwd, hodo_inv, Limits::hodograph},
    {MAP_cat, linear_fwd, linear_inv, Limits::linear},
    {MAP_xp, reversed_fwd, reversed_inv, Limits::reversed},
    {MAP_skewt, skewt_fwd, skewt_inv, Limits::diagram},
    {MAP_stuve, stuve_fwd, stuve_inv, Limits::corners},
    {MAP_emagram, emagram_fwd, emagram_inv, Limits::corners},
    {MAP_teph, teph_fwd, teph_inv, Limits::diagram},
    {MAP_rteph, rteph_fwd, rteph_inv, Limits::diagram},
    {MAP_pixel, pixel_fwd, pixel_inv, Limits::corners},
};

// Codes without a transform of their own (zoom and size requests and any
// unknown code) pass points unchanged.
const Projection kPassThrough = {0, identity_fwd, identity_inv, Limits::corners};

const Projection *lookup(int code) {
    for (const Projection &p : kTable)
        if (p.code == code) return &p;
    return &kPassThrough;
}

bool is_map(int code) { return code >= 1 && code <= 9; }

void order(float &lo, float &hi) {
    if (lo > hi) std::swap(lo, hi);
}

// Forward through the current entry, with the longitude fix-up of the maps.
bool forward(State &s, double a, double b, double &x, double &y) {
    const Projection *p = s.proj ? s.proj : lookup(s.dom.proj);
    if (is_map(s.dom.proj) && !std::isfinite(b)) return false;
    return p->forward(s, a, b, x, y);
}

}  // namespace

// =================================================================== API

int MAP_domain(const Domain *dom) {
    State &s = state();
    if (!dom) {
        s.dom.proj = MAP_none;
        s.proj = lookup(MAP_none);
        reset_factors(s);
        return -1;
    }
    s.dom = *dom;
    if (is_unset(s.dom.plat)) s.dom.plat = s.dom.clat;
    if (is_unset(s.dom.plon)) s.dom.plon = s.dom.clon;
    s.proj = lookup(s.dom.proj);
    const float p0 = s.dom.param[0], p1 = s.dom.param[1];
    if (s.dom.proj == MAP_polar) {
        s.tlat1 = (plat_of(s) < 0.0) ? -60.0 : 60.0;
        if (!is_unset(p0)) s.tlat1 = p0;
    } else if (s.dom.proj == MAP_lambert) {
        s.tlat1 = 30.0;
        s.tlat2 = 60.0;
        if (!is_unset(p0)) {
            s.tlat1 = p0;
            s.tlat2 = is_unset(p1) ? p0 : p1;
        }
    } else if (s.dom.proj == MAP_satellite) {
        s.sat_rad = (!is_unset(p0) && p0 > kA) ? p0 : MAP_SAT_RADIUS;
        s.sat_rad2 = s.sat_rad * s.sat_rad;
        s.sat_rad4 = s.sat_rad2 * s.sat_rad2;
        s.sat_diff = s.sat_rad2 - kA * kA;
        s.earth_ratio = kR / s.sat_rad;
    }
    reset_factors(s);
    s.earth_ratio2 = (kB / kA) * (kB / kA);
    MAP_set_limits();
    return 0;
}

const Domain *MAP_get_domain(Domain *dom) {
    if (!dom) return &state().dom;
    *dom = state().dom;
    return dom;
}

int MAP_get_proj() { return state().dom.proj; }

int MAP_proj_str(const char *name) { return DOM_proj_str(name); }

int MAP_tran(float lat, float lon, float *x, float *y) {
    State &s = state();
    double xo = 0.0, yo = 0.0;
    const bool ok = forward(s, lat, lon, xo, yo) && usable(xo) && usable(yo);
    if (x) *x = ok ? static_cast<float>(xo) : MISSING_F;
    if (y) *y = ok ? static_cast<float>(yo) : MISSING_F;
    return ok ? 1 : 0;
}

int MAP_untran(float x, float y, float *lat, float *lon) {
    State &s = state();
    const Projection *p = s.proj ? s.proj : lookup(s.dom.proj);
    double a = 0.0, b = 0.0;
    const bool ok = p->inverse(s, x, y, a, b) && usable(a) && usable(b);
    if (lat) *lat = ok ? static_cast<float>(a) : MISSING_F;
    if (lon) *lon = ok ? static_cast<float>(b) : MISSING_F;
    return ok ? 1 : 0;
}

int MAP_tran_ep(const EarthPoint *ept, Point *pt) {
    if (!ept || !pt) return 0;
    return MAP_tran(ept->lat, ept->lon, &pt->x, &pt->y);
}

int MAP_tran_pe(const Point *pt, EarthPoint *ept) {
    if (!pt || !ept) return 0;
    return MAP_untran(pt->x, pt->y, &ept->lat, &ept->lon);
}

int MAP_tran_center(float *x, float *y) {
    const Domain &d = state().dom;
    return MAP_tran(d.clat, d.clon, x, y);
}

int MAP_set_limits() {
    State &s = state();
    const Domain &d = s.dom;
    const Projection *p = s.proj ? s.proj : lookup(d.proj);
    MAP_limits &lim = s.limits;
    double x0, y0, x1, y1;
    switch (p->limits) {
    case Limits::centred: {
        float cx, cy;
        MAP_tran(d.clat, d.clon, &cx, &cy);
        const double hx = (d.nx - 1.0) / 2.0 * d.dx, hy = (d.ny - 1.0) / 2.0 * d.dy;
        lim.x_min = limit_value(cx - hx);
        lim.x_max = limit_value(cx + hx);
        lim.y_min = limit_value(cy - hy);
        lim.y_max = limit_value(cy + hy);
        return 0;
    }
    case Limits::diagram: {
        reset_factors(s);
        s.in_limits = true;
        double dummy;
        x0 = y0 = x1 = y1 = kUnset;
        p->forward(s, d.clat, d.clon, x0, y0);
        p->forward(s, d.clat + d.dx, d.clon, x1, dummy);
        p->forward(s, d.clat, d.clon + d.dy, dummy, y1);
        s.in_limits = false;
        reset_factors(s);
        break;
    }
    case Limits::hodograph:
        x0 = d.clat;
        y0 = d.clon;
        x1 = d.clat + d.dx;
        y1 = d.clon + d.dy;
        break;
    case Limits::linear:
        reset_factors(s);
        x0 = d.clat;
        x1 = d.clat + d.nx;
        y0 = d.clon;
        y1 = d.clon + d.ny;
        break;
    case Limits::reversed:
        reset_factors(s);
        x0 = d.clat;
        x1 = d.clat + d.nx;
        y0 = -d.clon;
        y1 = d.ny - d.clon;
        break;
    case Limits::corners:
    default:
        x0 = y0 = x1 = y1 = kUnset;
        p->forward(s, d.clat, d.clon, x0, y0);
        p->forward(s, d.clat + d.dx, d.clon + d.dy, x1, y1);
        break;
    }
    lim.x_min = limit_value(x0);
    lim.x_max = limit_value(x1);
    lim.y_min = limit_value(y0);
    lim.y_max = limit_value(y1);
    order(lim.x_min, lim.x_max);
    order(lim.y_min, lim.y_max);
    return 0;
}

int MAP_get_limits(MAP_limits *lim) {
    if (!lim) return -1;
    *lim = state().limits;
    return 0;
}

int MAP_set_view(const MAP_limits *vp) {
    if (!vp) return -1;
    State &s = state();
    s.view = *vp;
    // The skew-T and tephigram factors depend on the view.
    if (s.dom.proj == MAP_skewt || s.dom.proj == MAP_teph) reset_factors(s);
    return 0;
}

int MAP_get_view(MAP_limits *vp) {
    if (!vp) return -1;
    *vp = state().view;
    return 0;
}

int MAP_setup() {
    State &s = state();
    reset_factors(s);
    return MAP_set_limits();
}

int MAP_grid_tran(float gx, float gy, float *x, float *y) {
    const State &s = state();
    if (gx == MISSING_F) {
        if (x) *x = MISSING_F;
        if (y) *y = MISSING_F;
        return -1;
    }
    if (x) *x = s.limits.x_min + s.dom.dx * gx;
    if (y) *y = s.limits.y_max - s.dom.dy * gy;
    return 0;
}

int MAP_grid_untran(float x, float y, float *gx, float *gy) {
    const State &s = state();
    if (x == MISSING_F || s.dom.dx == 0.0f || s.dom.dy == 0.0f) {
        if (gx) *gx = MISSING_F;
        if (gy) *gy = MISSING_F;
        return -1;
    }
    if (gx) *gx = (x - s.limits.x_min) / s.dom.dx;
    if (gy) *gy = (s.limits.y_max - y) / s.dom.dy;
    return 0;
}

int MAP_in_domain(float x, float y) {
    const State &s = state();
    if (s.dom.proj == MAP_none) return 1;
    const MAP_limits &l = s.limits;
    return (x >= l.x_min && x <= l.x_max && y >= l.y_min && y <= l.y_max) ? 1 : 0;
}

int MAP_domain_tran(const Domain *domain1, const Domain *domain2, float x1, float y1,
                    float *x2, float *y2) {
    if (!domain1 || !domain2 || DOM_comp(domain1, domain2)) {
        if (x2) *x2 = x1;
        if (y2) *y2 = y1;
        return 0;
    }
    // Copies first: either domain may be the module's own (MAP_get_domain).
    const Domain saved = state().dom, from = *domain1, to = *domain2;
    float lat, lon;
    MAP_domain(&from);
    if (MAP_untran(x1, y1, &lat, &lon)) {
        MAP_domain(&to);
        MAP_tran(lat, lon, x2, y2);
    } else {
        if (x2) *x2 = MISSING_F;
        if (y2) *y2 = MISSING_F;
    }
    MAP_domain(&saved);
    return 0;
}

float MAP_get_vert(float lat, float lon) {
    const State &s = state();
    if (!is_map(s.dom.proj)) return 0.0f;
    const float step = (lat > 89.0f) ? -0.01f : 0.01f;
    float x0, y0, x1, y1;
    if (!MAP_tran(lat, lon, &x0, &y0) || !MAP_tran(lat + step, lon, &x1, &y1)) return 0.0f;
    double ang = std::atan2(x1 - x0, y1 - y0) / kDeg;
    if (step < 0.0f) ang = wrap_lon(ang + 180.0);
    return static_cast<float>(ang);
}
