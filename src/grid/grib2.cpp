// grib2.cpp - GRIB edition 2: section headers, the identification, grid,
// product, data representation, bitmap and data sections, and the walk over
// the products of a message.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "gbits.h"
#include "grd_priv.h"
#include "grd_points.h"
#include "grib.h"
#include "grib_priv.h"
#include "unpack.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"

using namespace grib_detail;

namespace {

constexpr long DEBUG = 0x40000000;
constexpr int MAX_LL_ROWS = 10000;     // latitude-longitude grids
constexpr int MAX_PROJ_ROWS = 2000;    // projected grids
constexpr long MAX_POINTS = 50000000;  // any grid
constexpr int PAD = 64;                // zero octets behind a section buffer

// Octet n (1-based) of a section buffer (zero-padded behind its end).
struct Sec {
    std::vector<std::uint8_t> b;
    std::uint8_t o(int n) const { return b[static_cast<std::size_t>(n - 1)]; }
    int u2(int n) const { return static_cast<int>(gbits::u2(&b[static_cast<std::size_t>(n - 1)])); }
    std::uint32_t u4(int n) const { return gbits::u4(&b[static_cast<std::size_t>(n - 1)]); }
    int s4(int n) const { return gbits::s4(&b[static_cast<std::size_t>(n - 1)]); }
    // Angle in millionths of a degree.
    float deg(int n) const { return static_cast<float>(s4(n) / 1e6); }
    long len = 0;  // section length
};

// Reads the section just announced by GRIB_read_section into s (octets 1-5
// restored from the header).  0, or -1 on a short read.
int read_body(int slot, Sec &s) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp || g.slen < 5) return -1;
    if (!can_read(fp, g.slen - 5)) return -1;
    try {
        s.b.assign(static_cast<std::size_t>(g.slen) + PAD, 0);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    std::uint32_t l = static_cast<std::uint32_t>(g.slen);
    s.b[0] = static_cast<std::uint8_t>(l >> 24);
    s.b[1] = static_cast<std::uint8_t>(l >> 16);
    s.b[2] = static_cast<std::uint8_t>(l >> 8);
    s.b[3] = static_cast<std::uint8_t>(l);
    s.b[4] = static_cast<std::uint8_t>(g.sect);
    s.len = g.slen;
    if (!read_exact(fp, s.b.data() + 5, static_cast<std::size_t>(g.slen - 5))) return -1;
    return 0;
}

float lon180(float lon) { return lon > 180 ? lon - 360 : lon; }

// Ratio of the map's earth radius (6371.22 km) to the one the grid lengths
// are measured on (shape of the earth, section 3 octets 15-20).
float earth_scale(const Sec &s) {
    double r_km;
    switch (s.o(15)) {
        case 0: r_km = 6367.47; break;
        case 1:
        case 7: {
            int f = s.o(16);
            std::uint32_t v = s.u4(17);
            if (f == 255 || v == 0xffffffffu || v == 0) return 1;
            r_km = v * std::pow(10.0, -f) / 1000.0;
            if (r_km < 6000 || r_km > 6500) return 1;
            break;
        }
        case 6:
        case 8: r_km = 6371.229; break;
        default: return 1;
    }
    return static_cast<float>(6371.22 / r_km);
}

void set_scan(int scan) {
    State &g = state();
    g.ydir = ((scan & 0x02) || (scan & 0x40)) ? 1 : -1;
    g.xrev = (scan & 0x80) != 0;
    g.jcons = (scan & 0x20) != 0;
    g.xalt = (scan & 0x10) ? 1 : 0;
}

// Row lengths of a thinned grid: ny entries of nb octets from octet at.
bool read_row_lengths(const Sec &s, int at, int nb, int ny, int *nx) {
    State &g = state();
    if (nb != 1 && nb != 2 && nb != 4) nb = 1;
    if (at < 1 || at - 1 + static_cast<long>(nb) * ny > s.len) return false;
    g.thin.assign(static_cast<std::size_t>(ny), 0);
    *nx = 0;
    for (int j = 0; j < ny; ++j) {
        const std::uint8_t *p = &s.b[static_cast<std::size_t>(at - 1 + j * nb)];
        long v = nb == 1 ? p[0] : nb == 2 ? static_cast<long>(gbits::u2(p)) : static_cast<long>(gbits::u4(p));
        if (v > 100000) return false;
        g.thin[static_cast<std::size_t>(j)] = static_cast<int>(v);
        *nx = std::max(*nx, static_cast<int>(v));
    }
    return true;
}

// Hours in a time value of the given unit (code table 4.4).
long to_hours(long v, int unit) {
    switch (unit) {
        case 0: return v / 60;
        case 1: return v;
        case 2: return 800 + v;
        case 3: return 900 + v;
        case 10: return v * 3;
        case 11: return v * 6;
        case 12: return v * 12;
        case 13: return v / 3600;
        default: return v;
    }
}

long days_from_civil(long y, int m, int d) {
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Scaled limit of a probability: missing when the value's first two octets
// are 255.
float prob_limit(const Sec &s, int sf, int val) {
    if (s.o(val) == 255 && s.o(val + 1) == 255) return MISSING_F;
    double v = s.s4(val);
    int f = gbits::s1(&s.b[static_cast<std::size_t>(sf - 1)]);
    if (f != 0) v *= std::pow(10.0, -f);
    return static_cast<float>(v);
}

// Notes (and in decoding mode reads) the bitmap of section 6.
int bitmap_section(int slot, bool load) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp) return -1;
    std::uint8_t ind;
    if (g.slen < 6 || !read_exact(fp, &ind, 1)) return -1;
    const long nbits = g.slen - 6;
    if (ind == 254) {
        g.bm2_active = g.bm2_loaded || g.bm2_pos >= 0;
        MESS_print(DEBUG, "BMS reuse: %d %ld %ld\n", ind, g.slen, g.bm2_len);
        if (nbits > 0 && std::fseek(fp, nbits, SEEK_CUR) != 0) return -1;
    } else if (ind == 255) {
        g.bm2_active = false;
        if (nbits > 0 && std::fseek(fp, nbits, SEEK_CUR) != 0) return -1;
    } else {
        g.bm2.clear();
        g.bm2_loaded = false;
        g.bm2_pos = std::ftell(fp);
        g.bm2_len = nbits;
        g.bm2_active = true;
        MESS_print(DEBUG, "BMS: %d %ld %ld\n", ind, g.slen, nbits);
        if (load) {
            try {
                g.bm2.resize(static_cast<std::size_t>(nbits));
            } catch (const std::bad_alloc &) {
                return -1;
            }
            if (!read_exact(fp, g.bm2.data(), g.bm2.size())) return -1;
            g.bm2_loaded = true;
        } else if (std::fseek(fp, nbits, SEEK_CUR) != 0) {
            return -1;
        }
    }
    return g.bm2_active ? 1 : 0;
}

// Loads a bitmap that a header-only walk only noted.
bool load_bitmap(FILE *fp) {
    State &g = state();
    if (g.bm2_loaded) return true;
    if (g.bm2_pos < 0) return false;
    long here = std::ftell(fp);
    try {
        g.bm2.resize(static_cast<std::size_t>(g.bm2_len));
    } catch (const std::bad_alloc &) {
        return false;
    }
    bool ok = std::fseek(fp, g.bm2_pos, SEEK_SET) == 0 && read_exact(fp, g.bm2.data(), g.bm2.size());
    std::fseek(fp, here, SEEK_SET);
    g.bm2_loaded = ok;
    return ok;
}

// No bits per value (simple packing, or complex packing without groups):
// every packed point is the reference value, whatever the data section holds.
bool constant_product(const UNPACK_params &p) {
    return p.num_bits == 0 &&
           (p.drs_temp == DRS_SIMPLE || ((p.drs_temp == DRS_COMPLEX || p.drs_temp == DRS_COMPLEX_SPATIAL) &&
                                         p.num_group <= 0 && p.num_bits_gref == 0));
}

}  // namespace

// ---------------------------------------------------------------------------
// Section headers

int GRIB_read_section(int slot) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp) {
        g.sect = -2;
        return 0;
    }
    g.sect_start = std::ftell(fp);
    std::uint8_t h[5];
    std::size_t n = std::fread(h, 1, 5, fp);
    if (n >= 2 && h[0] == '7' && h[1] == '7') {
        g.sect = -1;
        g.slen = 4;
        std::clearerr(fp);
        std::fseek(fp, g.sect_start + 4, SEEK_SET);
        return 0;
    }
    if (n < 5) {
        g.sect = -2;
        g.slen = 0;
        return 0;
    }
    g.slen = static_cast<long>(gbits::u4(h));
    g.sect = h[4];
    MESS_print(DEBUG, "section: %d %ld - %ld\n", g.sect, g.slen, g.sect_start);
    if (g.slen < 5 || g.sect >= 9) {
        MESS_print(64, "GRIB_read_section: Invalid section %d of length %ld\n", g.sect, g.slen);
        g.sect = -2;
        return 0;
    }
    return 1;
}

int GRIB_skip_section(int slot) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp) return -1;
    MESS_print(DEBUG, "skip section: %d - %ld\n", g.sect, g.slen);
    if (g.slen > 5 && std::fseek(fp, g.slen - 5, SEEK_CUR) != 0) return -1;
    return 1;
}

int GRIB_get_sect() { return state().sect; }
int GRIB_get_slen() { return static_cast<int>(state().slen); }

void GRIB_clear_bitmap() {
    State &g = state();
    g.bm2.clear();
    g.bm2_loaded = false;
    g.bm2_pos = -1;
    g.bm2_len = 0;
    g.bm2_active = false;
}

// ---------------------------------------------------------------------------
// Section 1: identification

int GRIB_IDS(int slot, GRD_report *grid) {
    State &g = state();
    Sec s;
    if (read_body(slot, s) < 0) return -1;
    g.centre = s.u2(6);
    Date &d = g.ref_date;
    d.year = s.u2(13);
    d.month = s.o(15);
    d.day = s.o(16);
    d.hour = s.o(17);
    d.min = s.o(18);
    d.sec = s.o(19);
    complete_date(&d);
    if (grid) {
        grid->version = 2;
        grid->source = g.centre;
        grid->date = d;
        grid->type = 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Section 3: grid definition

int GRIB_GDS(int slot, GRD_report *grid) {
    State &g = state();
    Sec s;
    if (read_body(slot, s) < 0) return -1;
    const int tmpl = s.u2(13);
    MESS_print(DEBUG, "GDS: %d\n", tmpl);
    Domain saved;
    MAP_get_domain(&saved);
    Domain &dom = g.dom;
    DOM_init(&dom);
    g.ydir = 1;
    g.xalt = 0;
    g.xrev = false;
    g.jcons = false;
    g.thin.clear();
    g.pole = false;
    int result = 1;

    auto too_large = [&](long nx, long ny, int max_rows) {
        if (ny > max_rows || nx > 100000 || nx < 1 || ny < 1 || nx * ny > MAX_POINTS) {
            MESS_print(64, "GRIB_GDS: Grid of %ld x %ld points refused\n", nx, ny);
            return true;
        }
        return false;
    };

    switch (tmpl) {
        case 0:    // latitude-longitude
        case 1:    // rotated latitude-longitude
        case 40:   // Gaussian
        case 41: { // rotated Gaussian
            std::uint32_t ni = s.u4(31);
            long ny = static_cast<long>(s.u4(35));
            if (ny > MAX_LL_ROWS || ny < 1) {
                MESS_print(64, "GRIB_GDS: Grid of %ld rows refused\n", ny);
                result = 0;
                break;
            }
            int nx;
            if (ni == 0xffffffffu) {
                int at = (tmpl == 1 || tmpl == 41) ? 85 : 73;
                if (!read_row_lengths(s, at, s.o(11), static_cast<int>(ny), &nx)) {
                    MESS_print(64, "GRIB_GDS: Invalid row lengths\n");
                    g.thin.clear();
                    result = 0;
                    break;
                }
            } else {
                nx = ni > 100000u ? 100001 : static_cast<int>(ni);
            }
            if (too_large(nx, ny, MAX_LL_ROWS)) {
                g.thin.clear();
                result = 0;
                break;
            }
            set_scan(s.o(72));
            dom.nx = nx;
            dom.ny = static_cast<int>(ny);
            MESS_print(DEBUG, "Lat-lon Grid\n");
            dom.proj = 2;
            float la1 = s.deg(47), lo1 = lon180(s.deg(51));
            float la2 = s.deg(56), lo2 = lon180(s.deg(60));
            float west = g.xrev ? lo2 : lo1, east = g.xrev ? lo1 : lo2;
            if (west > east) east += 360;
            dom.plat = 0;
            float clon = (west + east) / 2;
            if (clon > 180) clon -= 360;
            dom.plon = clon;
            dom.clon = clon;
            dom.clat = (la1 + la2) / 2;
            dom.dx = nx > 1 ? std::fabs(east - west) / (nx - 1) : 0;
            dom.dy = ny > 1 ? std::fabs(la2 - la1) / (ny - 1) : 0;
            // Gaussian and rotated grids are placed too: the Gaussian rows
            // by their latitudes (N, octets 68-71), the rotated grid through
            // its southern pole and angle (octets 73-84); grd_place.cpp
            // reads these parameters.
            if (tmpl == 40 || tmpl == 41) dom.param[0] = GRD_gaussian_param(s.u4(68), ny);
            if (tmpl == 1 || tmpl == 41) {
                dom.param[1] = s.deg(73);
                dom.param[2] = s.deg(77);
                dom.param[3] = std::bit_cast<float>(s.u4(81));
                if (!std::isfinite(dom.param[3])) dom.param[3] = 0;
            }
            if (s.o(55) & 0x08) dom.param[4] = 1;  // winds along the grid's axes
            MESS_print(DEBUG, "Grid locate: %3.2f N, %3.2f E - %3.2f N %3.2f E %3.2f - %d %d\n",
                       la1, lo1, la2, lo2, dom.dx, nx, static_cast<int>(ny));
            break;
        }
        case 10: {  // Mercator
            MESS_print(DEBUG, "Mercator Grid\n");
            long nx = static_cast<long>(s.u4(31)), ny = static_cast<long>(s.u4(35));
            if (too_large(nx, ny, MAX_PROJ_ROWS)) {
                result = 0;
                break;
            }
            set_scan(s.o(60));
            dom.proj = 3;
            dom.nx = static_cast<int>(nx);
            dom.ny = static_cast<int>(ny);
            float la1 = s.deg(39), lo1 = lon180(s.deg(43));
            float la2 = s.deg(52), lo2 = lon180(s.deg(56));
            float plon = (lo1 + lo2) / 2;
            if (lo1 > lo2) {
                plon = (lo1 - 360 + lo2) / 2;
                if (plon < -180) plon += 360;
            }
            dom.plat = 0;
            dom.plon = plon;
            dom.clat = 0;
            dom.clon = plon;
            MAP_domain(&dom);
            float x1, y1, x2, y2, clat, clon;
            MAP_tran(la1, lo1, &x1, &y1);
            MAP_tran(la2, lo2, &x2, &y2);
            MAP_untran((x1 + x2) / 2, (y1 + y2) / 2, &clat, &clon);
            dom.clat = clat;
            dom.clon = clon;
            dom.dx = nx > 1 ? std::fabs(x2 - x1) / (nx - 1) : 0;
            dom.dy = ny > 1 ? std::fabs(y2 - y1) / (ny - 1) : 0;
            break;
        }
        case 20:    // polar stereographic
        case 30: {  // Lambert conformal
            const bool lambert = tmpl == 30;
            MESS_print(DEBUG, lambert ? "Lambert Conformal Grid\n" : "Polar Stereographic Grid\n");
            long nx = static_cast<long>(s.u4(31)), ny = static_cast<long>(s.u4(35));
            if (too_large(nx, ny, MAX_PROJ_ROWS)) {
                result = 0;
                break;
            }
            set_scan(s.o(65));
            dom.proj = lambert ? 4 : 1;
            dom.nx = static_cast<int>(nx);
            dom.ny = static_cast<int>(ny);
            float la1 = s.deg(39), lo1 = lon180(s.deg(43));
            dom.plon = lon180(s.deg(52));
            dom.plat = (s.o(64) & 0x80) ? -90.0f : 90.0f;
            dom.dx = static_cast<float>(s.u4(56) * 1e-8) * earth_scale(s);
            dom.dy = static_cast<float>(s.u4(60) * 1e-8) * earth_scale(s);
            if (s.o(47) & 0x08) dom.param[4] = 1;  // winds along the grid's axes
            if (lambert) {
                dom.param[0] = s.deg(66);
                dom.param[1] = s.deg(70);
                dom.param[2] = 1;
            } else {
                dom.param[0] = s.deg(48);
            }
            dom.clat = la1;
            dom.clon = lo1;
            MAP_domain(&dom);
            float x, y, clat, clon;
            MAP_tran(la1, lo1, &x, &y);
            if (lambert) MESS_print(DEBUG, "Grid start: %3.2f N, %3.2f E\n", la1, lo1);
            x += (g.xrev ? -1.0f : 1.0f) * dom.dx * (nx - 1) / 2.0f;
            y += g.ydir * dom.dy * (ny - 1) / 2.0f;
            MAP_untran(x, y, &clat, &clon);
            dom.clat = clat;
            dom.clon = clon;
            break;
        }
        default:
            MESS_print(64, "GRIB_GDS: Unsupported grid template: %d\n", tmpl);
            result = 0;
            break;
    }
    MAP_domain(&saved);
    if (result == 0) DOM_init(&dom);
    if (grid) grid->domain = dom;
    return result;
}

// ---------------------------------------------------------------------------
// Section 4: product definition

int GRIB_PDS(int slot, GRD_report *grid) {
    State &g = state();
    Sec s;
    if (read_body(slot, s) < 0) return -1;
    if (!grid) return 1;
    grid->version = 2;
    grid->source = g.centre;
    grid->date = g.ref_date;
    grid->domain = g.dom;
    const int tmpl = s.u2(8);

    GribParam gp;
    GribParam_init(&gp);
    GRIB_get_ver2_param(&gp, g.centre, g.discipline, s.o(10), s.o(11));
    grid->var = gp.ind;
    copy_field(grid->units, gp.units);
    grid->model = s.o(14);

    g.ens = GRIB_ens_info{};
    g.ens.ens_prob_low = MISSING_F;
    g.ens.ens_prob_up = MISSING_F;

    const int unit = s.o(18);
    const long fcst = to_hours(s.s4(19), unit);
    int stat_at = 0;  // octet of the end of the overall period
    bool level_ok = true;
    switch (tmpl) {
        case 0: MESS_print(DEBUG, "4.0: Analysis or forecast on horizontal level at a fixed time\n"); break;
        case 1: MESS_print(DEBUG, "4.1: Individual ensemble member, horizontal level, fixed time\n"); break;
        case 2: MESS_print(DEBUG, "4.2: Derived forecast based on all ensemble members, horizontal level, fixed time\n"); break;
        case 5: MESS_print(DEBUG, "4.5: Probability forecast, horizontal level, fixed time\n"); break;
        case 8: MESS_print(DEBUG, "4.8: Average, accumulation or extreme value on horizontal level at a fixed time\n"); stat_at = 35; break;
        case 9: MESS_print(DEBUG, "4.9: Probability forecast, horizontal level/layer, time range\n"); stat_at = 48; break;
        case 11: MESS_print(DEBUG, "4.11: Individual ensemble member, horizontal level, time range\n"); stat_at = 38; break;
        case 12: MESS_print(DEBUG, "4.12: Derived forecast based on all ensemble members, horizontal level, time range\n"); stat_at = 37; break;
        case 50008: MESS_print(DEBUG, "JMA local sect 50008\n"); level_ok = false; break;
        default:
            if (g.warned_pds.insert(tmpl).second)
                MESS_print(192, "GRIB_PDS: Unsupported product template: %d\n", tmpl);
            level_ok = false;
            break;
    }
    const bool known = tmpl == 0 || tmpl == 1 || tmpl == 2 || tmpl == 5 || tmpl == 8 ||
                       tmpl == 9 || tmpl == 11 || tmpl == 12;

    // Forecast time.
    if (tmpl == 50008) {
        grid->time = 0;
        grid->ltype = 1;
        grid->level = 0;
    } else if (!known) {
        grid->time = MISSING;
        grid->ltype = MISSING;
        grid->level = MISSING;
    } else if (stat_at == 0) {
        grid->time = static_cast<int>(fcst);
    } else {
        const int e = stat_at;
        long st = fcst;
        long len = to_hours(s.s4(e + 15), s.o(e + 14));
        const int proc = s.o(e + 12);
        if (proc == 255 && unit == 1 && s.s4(e + 15) >= 10001) {
            const Date &r = g.ref_date;
            long t0 = days_from_civil(r.year, r.month, r.day) * 24 + r.hour;
            long t1 = days_from_civil(s.u2(e), s.o(e + 2), s.o(e + 3)) * 24 + s.o(e + 4);
            len = t1 - t0 - st;
        }
        int code;
        switch (proc) {
            case 0: code = 3000000; break;
            case 1: code = 4000000; break;
            case 2: code = 6000000; break;
            case 3: code = 7000000; break;
            case 4: code = 5000000; break;
            default: code = 2000000; break;
        }
        grid->time = static_cast<int>(code + st * 1000 + (st + len));
        MESS_print(DEBUG, "TIM %ld %ld %d\n", st, len, grid->time);
    }

    // Level.
    if (level_ok) {
        const int t1 = s.o(23), t2 = s.o(29);
        int f1 = s.o(24), f2 = s.o(30);
        f1 = f1 > 128 ? -(f1 - 128) : f1;
        f2 = f2 > 128 ? -(f2 - 128) : f2;
        double z1 = MISSING, z2 = MISSING;
        if (f1 != -127) {
            if (!(s.o(25) == 255 && s.o(26) == 255)) z1 = s.s4(25) * std::pow(10.0, -f1);
            if (!(s.o(31) == 255 && s.o(32) == 255) && f2 != -127)
                z2 = s.s4(31) * std::pow(10.0, -f2);
        }
        MESS_print(DEBUG, "LEV %d %d %f %f\n", t1, t2, z1, z2);
        // Levels are worked out in wide integers: a scaled value that does
        // not fit the level field is refused below instead of wrapping.
        auto I = [](double v) -> long long {
            return std::isfinite(v) ? static_cast<long long>(std::clamp(v, -1e15, 1e15)) : 0;
        };
        int lt = t1;
        long long lv = I(z1);
        switch (t1) {
            case 100:
                if (t2 == 255) { lt = 100; lv = I(z1 / 100); }
                else { lt = 101; lv = I(z1 / 1000) * 1000 + I(z2 / 1000); }
                break;
            case 101: lt = 102; lv = 0; break;
            case 102:
                if (t2 == 255) { lt = 103; lv = I(z1); }
                else { lt = 104; lv = I(z1 / 100) * 1000 + I(z2 / 100); }
                break;
            case 103:
                if (t2 == 255) { lt = 105; lv = I(z1 + 0.5); }
                else { lt = 106; lv = I(z1 / 100) * 1000 + I(z2 / 100); }
                break;
            case 104:
                if (t2 == 255) { lt = 107; lv = I(z1 * 10000 + 0.01); }
                else { lt = 108; lv = I(z1 * 100 + 0.01) * 1000 + I(z2 * 100 + 0.01); }
                break;
            case 105: lt = 109; lv = I(z1); break;
            case 106:
                if (t2 == 255) { lt = 111; lv = I(z1 * 100 + 0.01); }
                else { lt = 112; lv = I(z1 * 100 + 0.01) * 1000 + I(z2 * 100 + 0.01); }
                break;
            case 107: lt = t2 == 255 ? 113 : 114; lv = I(z1); break;
            case 108:
                if (t2 == 255) { lt = 115; lv = I(z1 / 100); }
                else { lt = 116; lv = I(z1 / 100) * 1000 + I(z2 / 100); }
                break;
            case 109: lt = 117; lv = I(z1 * 1e6 + (z1 > 0 ? 0.01 : -0.01)); break;
            case 111: lt = t2 == 255 ? 119 : 120; lv = I(z1); break;
            default: break;
        }
        if (z1 == MISSING) lv = 0;  // a surface without a value
        if (lv < -2147483647LL || lv > 2147483647LL) {
            MESS_print(192, "GRIB_PDS: Level value out of range: %g %g\n", z1, z2);
            lv = MISSING;
        }
        grid->ltype = lt;
        grid->level = static_cast<int>(lv);
    }

    // Ensemble and probability information.
    auto prob_kind = [&](int proc, int type) {
        if (proc == 4 && type <= 2) return type + 1;
        if (proc == 5 && type <= 2) return type + 4;
        if (proc == 2 && type <= 4) return type + 4;
        return 0;
    };
    switch (tmpl) {
        case 1:
        case 11: {
            g.ens.ens = 1;
            g.ens.ens_prod = 1;
            int t = s.o(35);
            g.ens.ens_type = t <= 1 ? 1 : t;
            g.ens.ens_id = s.o(36);
            g.ens.ens_smooth = 0;
            break;
        }
        case 2:
        case 12: {
            g.ens.ens = 1;
            g.ens.ens_type = 5;
            g.ens.ens_id = 0;
            int t = s.o(35);
            g.ens.ens_prod = t == 1 ? 2 : t == 2 ? 11 : 0;
            break;
        }
        case 5:
        case 9:
            g.ens.ens = 1;
            g.ens.ens_type = 5;
            g.ens.ens_prod = 0;
            g.ens.ens_prob_var = grid->var;
            g.ens.ens_prob_type = prob_kind(s.o(12), s.o(37));
            g.ens.ens_prob_low = prob_limit(s, 38, 39);
            g.ens.ens_prob_up = prob_limit(s, 43, 44);
            grid->var = 191;
            break;
        default: break;
    }

    MESS_print(DEBUG, "Source: %d\n", grid->source);
    MESS_print(DEBUG, "Model: %d\n", grid->model);
    MESS_print(DEBUG, "Init time: %d/%d/%d %2.2d:%2.2d\n", grid->date.month, grid->date.day,
               grid->date.year, grid->date.hour, grid->date.min);
    MESS_print(DEBUG, "Grid type: %d\n", grid->type);
    MESS_print(DEBUG, "Grid time: %d\n", grid->time);
    MESS_print(DEBUG, "Level type: %d\n", grid->ltype);
    MESS_print(DEBUG, "Level: %d\n", grid->level);
    MESS_print(DEBUG, "Variable: %d %s\n", grid->var, grid->units);
    GRIB_set_ens(g.ens.ens ? &g.ens : nullptr);
    GRIB_set_var(grid);
    make_datim(grid);
    return 1;
}

// ---------------------------------------------------------------------------
// Section 5: data representation

int GRIB_DRS(int slot, GRD_report *grid) {
    (void)grid;
    State &g = state();
    Sec s;
    if (read_body(slot, s) < 0) return -1;
    UNPACK_params &p = g.drs;
    UNPACK_clear_params(&p);
    g.drs_ok = UNPACK_read_drs(s.b.data(), static_cast<std::size_t>(s.len), &p) == 0;
    switch (p.drs_temp) {
        case DRS_SIMPLE: MESS_print(DEBUG, "Grid point - simple packing\n"); break;
        case DRS_COMPLEX: MESS_print(DEBUG, "Grid point - complex packing\n"); break;
        case DRS_COMPLEX_SPATIAL:
            MESS_print(DEBUG, "Grid point - complex packing and spatial differencing\n");
            break;
        case DRS_JPEG2000:
        case DRS_JPEG2000_OLD: MESS_print(DEBUG, "JPEG2000 data compression\n"); break;
        case DRS_RUN_LENGTH:
            MESS_print(DEBUG, "Bits: %d\n", p.num_bits);
            MESS_print(DEBUG, "Scale: %d %f\n", s.o(17), p.dscale);
            for (float v : p.levels) MESS_print(DEBUG, "  Level: %f\n", v);
            break;
        default: break;
    }
    if (p.drs_temp == DRS_COMPLEX || p.drs_temp == DRS_COMPLEX_SPATIAL) {
        MESS_print(DEBUG, "DRS-PTS: %d REF: %f SFAC: %f DSCL: %f NGREF: %d DTYPE: %d\n",
                   p.data_pnts, p.ref, p.sfac, p.dscale, p.num_bits_gref, p.data_type);
        MESS_print(DEBUG, "SPLIT: %d NGRP: %d - MTYPE: %d MISS: %f\n", p.split_method,
                   p.num_group, p.miss_type, p.miss1);
        MESS_print(DEBUG, "NWDTH: %d NLEN: %d - ORD: %d SPAT: %d\n", p.num_bits_gwidth,
                   p.num_bits_glen, p.order, p.spat_bytes);
    }
    g.dscale = static_cast<float>(p.dscale);
    g.sfac = static_cast<float>(p.sfac);
    g.ref = static_cast<float>(p.ref);
    return 1;
}

// ---------------------------------------------------------------------------
// Section 6: bitmap

int GRIB_BMS(int slot) { return bitmap_section(slot, true); }

// ---------------------------------------------------------------------------
// Section 7: data

int GRIB_DS(int slot, GRD_report *grid) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp || !grid) return -1;
    grid->domain = g.dom;
    const int nx = g.dom.nx, ny = g.dom.ny;
    if (nx <= 0 || ny <= 0) {
        GRD_free(grid);
        return GRIB_skip_section(slot) < 0 ? -1 : 0;
    }
    const long npts = static_cast<long>(nx) * ny;
    if (!GRD_alloc(grid, npts)) {
        GRIB_skip_section(slot);
        return 0;
    }
    std::fill(grid->grid, grid->grid + npts, MISSING_F);

    const UNPACK_params &p = g.drs;
    if (!g.drs_ok || !UNPACK_supported(p.drs_temp)) {
        if (g.warned_drs.insert(p.drs_temp).second)
            MESS_print(192, "GRIB_DS: Unsupported data representation template: %d\n", p.drs_temp);
        return GRIB_skip_section(slot) < 0 ? -1 : 1;
    }
    Sec s;
    if (read_body(slot, s) < 0) return -1;

    // Points of the message in scan order.
    long total = npts;
    if (static_cast<int>(g.thin.size()) == ny) {
        total = 0;
        for (int n : g.thin) total += n;
    }
    UNPACK_out out;
    const bool constant = constant_product(p);
    if (constant) {
        // No bits per value: every packed point is the reference value.
        const long n = std::min<long>(p.data_pnts > 0 ? p.data_pnts : total, total);
        out.values.assign(static_cast<std::size_t>(n), static_cast<float>(p.ref * p.dscale));
        out.width = static_cast<int>(n);
        out.height = 1;
    }
    int r = constant ? 0 : UNPACK_data(p, s.b.data() + 5, static_cast<std::size_t>(s.len - 5),
                        static_cast<std::size_t>(total), &out);
    MESS_print(DEBUG, "DS: %d values of %ld points (%d x %d)\n",
               static_cast<int>(out.values.size()), total, out.width, out.height);
    if (r < 0) {
        if (!out.msg.empty()) MESS_print(192, "%s", out.msg.c_str());
        return 0;
    }

    const bool use_bitmap = g.bm2_active && !out.miss_managed && out.height <= 1;
    if (!use_bitmap) {
        place_points(out.values.data(), out.values.size(), grid, g.xalt);
        return 1;
    }
    if (!load_bitmap(fp)) {
        MESS_print(64, "GRIB_DS: Bitmap cannot be read\n");
        return 0;
    }
    std::vector<float> pts(static_cast<std::size_t>(total), MISSING_F);
    std::size_t k = 0;
    const std::size_t nv = out.values.size();
    const std::size_t nbits = g.bm2.size() * 8;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        bool bit = i < nbits ? ((g.bm2[i >> 3] >> (7 - (i & 7))) & 1) : false;
        if (bit && k < nv) pts[i] = out.values[k++];
    }
    place_points(pts.data(), pts.size(), grid, g.xalt);
    return 1;
}

// ---------------------------------------------------------------------------
// Products of a message

namespace {

// Reads the section header behind a data section and records where the
// next product or message begins.
void note_continuation(int slot, int *cont) {
    State &g = state();
    FILE *fp = stream(slot);
    int r = GRIB_read_section(slot);
    long pos;
    int c;
    if (g.sect == -1) {
        pos = g.sect_start + 4;
        c = 0;
    } else if (r == 1) {
        pos = g.sect_start;
        c = 1;
    } else {
        // The message ends without its end mark.
        pos = g.sect_start;
        c = 0;
    }
    if (fp) {
        std::clearerr(fp);
        std::fseek(fp, pos, SEEK_SET);
    }
    GRD_set_new_pos(pos);
    GRD_set_cont(c);
    if (cont) *cont = c;
}

}  // namespace

int GRIB_read_product(int slot, GRD_report *grid, int mode, int *cont) {
    State &g = state();
    if (!stream(slot) || !grid) return -1;
    g.ds_pos = -1;
    bool got_ds = false;
    while (!got_ds && GRIB_read_section(slot) == 1) {
        MESS_print(DEBUG, "SECT: %d %ld\n", g.sect, g.slen);
        int r = 1;
        switch (g.sect) {
            case 1:
                GRIB_clear_bitmap();
                r = GRIB_IDS(slot, grid);
                break;
            case 3:
                r = GRIB_GDS(slot, grid);
                if (r == 0) {
                    if (mode == 0) GRD_free(grid);
                    GRD_set_cont(0);
                    if (cont) *cont = 0;
                    return 0;
                }
                break;
            case 4: r = GRIB_PDS(slot, grid); break;
            case 5: r = GRIB_DRS(slot, grid); break;
            case 6: r = bitmap_section(slot, mode == 0); break;
            case 7:
                got_ds = true;
                if (mode == 0) {
                    r = GRIB_DS(slot, grid);
                } else {
                    // a planning read notes where the packed values are
                    g.ds_pos = g.sect_start + 5;
                    g.ds_len = g.slen - 5;
                    r = GRIB_skip_section(slot);
                }
                break;
            default: r = GRIB_skip_section(slot); break;
        }
        if (r < 0) return -1;
    }
    if (!got_ds) {
        if (g.sect == -2) return -1;
        MESS_print(192, "No product found\n");
        GRD_set_cont(0);
        if (cont) *cont = 0;
        return 1;
    }
    note_continuation(slot, cont);
    return 0;
}

int GRIB_skip_product(int slot, int *cont) {
    State &g = state();
    if (!stream(slot)) return -1;
    GRD_report scratch;
    GRD_init(&scratch);
    bool got_ds = false;
    while (!got_ds && GRIB_read_section(slot) == 1) {
        int r;
        switch (g.sect) {
            case 1:
                GRIB_clear_bitmap();
                r = GRIB_IDS(slot, &scratch);
                break;
            case 3:
                r = GRIB_GDS(slot, &scratch);
                if (r == 0) r = 1;  // an unusable grid is still stepped over
                break;
            case 6: r = bitmap_section(slot, false); break;
            case 7:
                got_ds = true;
                r = GRIB_skip_section(slot);
                break;
            default: r = GRIB_skip_section(slot); break;
        }
        if (r < 0) return -1;
    }
    if (!got_ds) {
        GRD_set_cont(0);
        if (cont) *cont = 0;
        return -1;
    }
    note_continuation(slot, cont);
    return 0;
}

bool GRIB_point_job2(GRD_point_job *job) {
    const State &g = state();
    const int nx = g.dom.nx, ny = g.dom.ny;
    // thinned rows are stretched row by row: decoded whole
    if (nx <= 0 || ny <= 0 || static_cast<int>(g.thin.size()) == ny) return false;
    if (!g.drs_ok || !UNPACK_supported(g.drs.drs_temp) || g.ds_pos < 0) return false;
    if (g.bm2_active && g.bm2_pos < 0) return false;
    job->edition = 2;
    job->data_pos = g.ds_pos;
    job->data_len = g.ds_len;
    job->nx = nx;
    job->ny = ny;
    job->ydir = g.ydir;
    job->xrev = g.xrev;
    job->jcons = g.jcons;
    job->xalt = g.xalt;
    job->drs = g.drs;
    job->constant = constant_product(g.drs);
    job->bitmap = g.bm2_active;
    job->bm_pos = g.bm2_pos;
    job->bm_len = g.bm2_len;
    return true;
}
