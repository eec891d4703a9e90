// grib_cut - cut a window of grid points around a point out of every message
// of a GRIB edition 1 file (Lambert conformal or lat/lon grids, simple
// packing, no bitmap).  The packed values are copied bit for bit, so the
// window holds exactly the values of the original grid.
//
//   g++ -std=c++20 -O2 -o grib_cut tools/grib_cut.cpp
//   grib_cut in.grb out.grb LAT LON HALF
//
// HALF grid points are kept on each side of the point nearest (LAT, LON).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const double kPi = 3.14159265358979323846;
const double kRad = kPi / 180.0;
const double kEarth = 6367470.0;  // the spherical earth of edition 1 (m)

unsigned get(const std::uint8_t *p, int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

int get_signed(const std::uint8_t *p, int n) {
    unsigned v = get(p, n);
    unsigned sign = 1u << (8 * n - 1);
    return (v & sign) ? -static_cast<int>(v & ~sign) : static_cast<int>(v);
}

void put(std::uint8_t *p, unsigned v, int n) {
    for (int i = n - 1; i >= 0; --i) {
        p[i] = static_cast<std::uint8_t>(v & 0xFF);
        v >>= 8;
    }
}

void put_signed(std::uint8_t *p, int v, int n) {
    unsigned mag = static_cast<unsigned>(v < 0 ? -v : v);
    if (v < 0) mag |= 1u << (8 * n - 1);
    put(p, mag, n);
}

// Spherical Lambert conformal conic, metres in the plane.
struct Lambert {
    double n, F, lon0;
    Lambert(double lat1, double lat2, double lov) : lon0(lov * kRad) {
        double p1 = lat1 * kRad, p2 = lat2 * kRad;
        if (std::fabs(lat1 - lat2) < 1e-9)
            n = std::sin(p1);
        else
            n = std::log(std::cos(p1) / std::cos(p2)) /
                std::log(std::tan(kPi / 4 + p2 / 2) / std::tan(kPi / 4 + p1 / 2));
        F = std::cos(p1) * std::pow(std::tan(kPi / 4 + p1 / 2), n) / n;
    }
    void forward(double lat, double lon, double &x, double &y) const {
        double rho = kEarth * F / std::pow(std::tan(kPi / 4 + lat * kRad / 2), n);
        double dl = lon * kRad - lon0;
        while (dl > kPi) dl -= 2 * kPi;
        while (dl < -kPi) dl += 2 * kPi;
        x = rho * std::sin(n * dl);
        y = -rho * std::cos(n * dl);
    }
    void inverse(double x, double y, double &lat, double &lon) const {
        double rho = std::copysign(std::sqrt(x * x + y * y), n);
        double theta = n > 0 ? std::atan2(x, -y) : std::atan2(-x, y);
        lon = (lon0 + theta / n) / kRad;
        lat = (2 * std::atan(std::pow(kEarth * F / rho, 1 / n)) - kPi / 2) / kRad;
        if (lon > 180) lon -= 360;
        if (lon < -180) lon += 360;
    }
};

struct Window {
    int i0, j0, nx, ny;
};

Bytes cut_bits(const std::uint8_t *data, std::size_t data_len, int nbits, int NX,
               const Window &w, int *unused) {
    Bytes out;
    std::uint64_t acc = 0;
    int nacc = 0;
    for (int j = w.j0; j < w.j0 + w.ny; ++j)
        for (int i = w.i0; i < w.i0 + w.nx; ++i) {
            std::uint64_t bit = static_cast<std::uint64_t>(j * NX + i) * nbits;
            std::uint64_t v = 0;
            for (int b = 0; b < nbits; ++b, ++bit) {
                std::size_t byte = bit / 8;
                int on = byte < data_len ? (data[byte] >> (7 - bit % 8)) & 1 : 0;
                v = (v << 1) | static_cast<unsigned>(on);
            }
            acc = (acc << nbits) | v;
            nacc += nbits;
            while (nacc >= 8) {
                out.push_back(static_cast<std::uint8_t>((acc >> (nacc - 8)) & 0xFF));
                nacc -= 8;
            }
        }
    *unused = 0;
    if (nacc > 0) {
        out.push_back(static_cast<std::uint8_t>((acc << (8 - nacc)) & 0xFF));
        *unused = 8 - nacc;
    }
    return out;
}

// Cuts one message; false when it cannot be cut.
bool cut_message(const std::uint8_t *m, std::size_t len, double lat, double lon, int half,
                 Bytes &out) {
    if (len < 8 + 28 || get(m + 7, 1) != 1) return false;
    const std::uint8_t *pds = m + 8;
    unsigned pds_len = get(pds, 3);
    if (!(pds[7] & 0x80) || (pds[7] & 0x40)) return false;  // needs a GDS, no bitmap
    const std::uint8_t *gds = pds + pds_len;
    unsigned gds_len = get(gds, 3);
    const std::uint8_t *bds = gds + gds_len;
    if (static_cast<std::size_t>(bds + 11 - m) > len) return false;
    unsigned bds_len = get(bds, 3);
    if (static_cast<std::size_t>(bds + bds_len - m) > len) return false;
    if (bds[3] & 0xF0) return false;  // simple packing of grid-point values only
    int type = gds[5];
    int NX = static_cast<int>(get(gds + 6, 2));
    int NY = static_cast<int>(get(gds + 8, 2));
    double la1 = get_signed(gds + 10, 3) / 1000.0;
    double lo1 = get_signed(gds + 13, 3) / 1000.0;
    Bytes g(gds, gds + gds_len);
    Window w{};
    if (type == 3) {
        double lov = get_signed(gds + 17, 3) / 1000.0;
        double dx = get(gds + 20, 3), dy = get(gds + 23, 3);
        int scan = gds[27];
        double lat1 = get_signed(gds + 28, 3) / 1000.0;
        double lat2 = get_signed(gds + 31, 3) / 1000.0;
        Lambert lc(lat1, lat2, lov);
        double x1, y1, x, y;
        lc.forward(la1, lo1, x1, y1);
        lc.forward(lat, lon, x, y);
        double sy = (scan & 0x40) ? 1 : -1;
        double sx = (scan & 0x80) ? -1 : 1;
        int ic = static_cast<int>(std::lround((x - x1) / (sx * dx)));
        int jc = static_cast<int>(std::lround((y - y1) / (sy * dy)));
        w = {ic - half, jc - half, 2 * half + 1, 2 * half + 1};
        if (w.i0 < 0 || w.j0 < 0 || w.i0 + w.nx > NX || w.j0 + w.ny > NY) return false;
        double nlat, nlon;
        lc.inverse(x1 + sx * dx * w.i0, y1 + sy * dy * w.j0, nlat, nlon);
        put_signed(&g[10], static_cast<int>(std::lround(nlat * 1000)), 3);
        put_signed(&g[13], static_cast<int>(std::lround(nlon * 1000)), 3);
    } else if (type == 0) {
        double di = get(gds + 23, 2) / 1000.0, dj = get(gds + 25, 2) / 1000.0;
        int scan = gds[27];
        double sy = (scan & 0x40) ? 1 : -1;
        double sx = (scan & 0x80) ? -1 : 1;
        double dl = lon - lo1;
        while (dl < 0) dl += 360;
        int ic = static_cast<int>(std::lround(dl / (sx * di)));
        int jc = static_cast<int>(std::lround((lat - la1) / (sy * dj)));
        w = {ic - half, jc - half, 2 * half + 1, 2 * half + 1};
        if (w.i0 < 0 || w.j0 < 0 || w.i0 + w.nx > NX || w.j0 + w.ny > NY) return false;
        double nla1 = la1 + sy * dj * w.j0, nlo1 = lo1 + sx * di * w.i0;
        double nla2 = nla1 + sy * dj * (w.ny - 1), nlo2 = nlo1 + sx * di * (w.nx - 1);
        put_signed(&g[10], static_cast<int>(std::lround(nla1 * 1000)), 3);
        put_signed(&g[13], static_cast<int>(std::lround(nlo1 * 1000)), 3);
        put_signed(&g[17], static_cast<int>(std::lround(nla2 * 1000)), 3);
        put_signed(&g[20], static_cast<int>(std::lround(nlo2 * 1000)), 3);
    } else {
        return false;
    }
    put(&g[6], static_cast<unsigned>(w.nx), 2);
    put(&g[8], static_cast<unsigned>(w.ny), 2);

    int nbits = bds[10];
    int unused = 0;
    Bytes packed;
    if (nbits > 0)
        packed = cut_bits(bds + 11, bds_len - 11, nbits, NX, w, &unused);
    Bytes b(bds, bds + 11);
    b.insert(b.end(), packed.begin(), packed.end());
    if (b.size() % 2) {
        b.push_back(0);
        unused += 8;
    }
    put(&b[0], static_cast<unsigned>(b.size()), 3);
    b[3] = static_cast<std::uint8_t>((bds[3] & 0xF0) | (unused & 0x0F));

    Bytes p(pds, pds + pds_len);
    p[6] = 255;  // no longer a catalogued grid
    std::size_t total = 8 + p.size() + g.size() + b.size() + 4;
    Bytes msg = {'G', 'R', 'I', 'B', 0, 0, 0, 1};
    put(&msg[4], static_cast<unsigned>(total), 3);
    msg.insert(msg.end(), p.begin(), p.end());
    msg.insert(msg.end(), g.begin(), g.end());
    msg.insert(msg.end(), b.begin(), b.end());
    msg.insert(msg.end(), {'7', '7', '7', '7'});
    out.insert(out.end(), msg.begin(), msg.end());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s in.grb out.grb LAT LON HALF\n", argv[0]);
        return 2;
    }
    FILE *in = std::fopen(argv[1], "rb");
    if (!in) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    Bytes all;
    std::uint8_t buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), in)) > 0) all.insert(all.end(), buf, buf + n);
    std::fclose(in);
    double lat = std::atof(argv[3]), lon = std::atof(argv[4]);
    int half = std::atoi(argv[5]);
    Bytes out;
    int kept = 0, skipped = 0;
    for (std::size_t pos = 0; pos + 8 <= all.size();) {
        if (!(all[pos] == 'G' && all[pos + 1] == 'R' && all[pos + 2] == 'I' && all[pos + 3] == 'B')) {
            ++pos;
            continue;
        }
        std::size_t len = get(&all[pos + 4], 3);
        if (len < 8 || pos + len > all.size()) break;
        if (cut_message(&all[pos], len, lat, lon, half, out))
            ++kept;
        else
            ++skipped;
        pos += len;
    }
    FILE *o = std::fopen(argv[2], "wb");
    if (!o) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::fwrite(out.data(), 1, out.size(), o);
    std::fclose(o);
    std::fprintf(stderr, "%d messages cut, %d left out\n", kept, skipped);
    return kept > 0 ? 0 : 1;
}
