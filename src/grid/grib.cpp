// grib.cpp - finding GRIB messages behind bulletin headers, stepping from one
// message to the next, and decoding editions 0 and 1 (product definition,
// grid description, bitmap and binary data sections).
#include "grib.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "gbits.h"
#include "grd_priv.h"
#include "grd_points.h"
#include "grib_priv.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"

namespace grib_detail {

State &state() {
    static State s;
    return s;
}

FILE *stream(int slot) {
    GRD_file *f = GRD_get_file(slot);
    return f ? f->file : nullptr;
}

bool read_exact(FILE *fp, void *buf, std::size_t n) {
    if (!fp) return false;
    return n == 0 || std::fread(buf, 1, n, fp) == n;
}

bool can_read(FILE *fp, long n) {
    if (!fp || n < 0) return false;
    if (n <= 4096) return true;
    const long here = std::ftell(fp);
    if (here < 0) return true;  // a pipe: the read itself will tell
    if (std::fseek(fp, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(fp);
    std::fseek(fp, here, SEEK_SET);
    return end - here >= n;
}

void complete_date(Date *d) {
    static const int cum[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    if (d->month < 1 || d->month > 12 || d->day < 1 || d->day > 31) {
        d->jday = MISSING;
        d->wday = MISSING;
        return;
    }
    int y = d->year;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    d->jday = cum[d->month - 1] + d->day + (leap && d->month > 2 ? 1 : 0);
    // Day of the week (0 = Sunday) by Zeller's congruence.
    int m = d->month, yy = y;
    if (m < 3) { m += 12; --yy; }
    int k = yy % 100, j = yy / 100;
    int h = (d->day + (13 * (m + 1)) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;  // 0 = Saturday
    d->wday = (h + 6) % 7;
}

void make_datim(GRD_report *grid) {
    char label[DATE_LABEL_LEN + 8] = "";
    DATE_make_label_for_time(grid->time, grid->source * 1000 + grid->model, &grid->date, label);
    copy_field(grid->datim, label);
}

void stretch_row(const float *in, int n, float *out, int nx) {
    if (nx <= 0) return;
    if (n <= 0) {
        for (int i = 0; i < nx; ++i) out[i] = MISSING_F;
        return;
    }
    if (n == 1 || nx == 1) {
        for (int i = 0; i < nx; ++i) out[i] = in[0];
        return;
    }
    double s = static_cast<double>(n - 1) / (nx - 1);
    int used = 2;
    float a = in[0], b = in[1];
    double t = 0;
    for (int i = 0; i < nx; ++i) {
        // (an exact multiple of the step advances despite rounding)
        if (t >= 1 - 1e-9 && used < n) {
            a = b;
            b = in[used++];
            t = std::max(t - 1, 0.0);
        }
        if (a == MISSING_F || b == MISSING_F)
            out[i] = MISSING_F;
        else
            out[i] = static_cast<float>((1 - t) * a + t * b);
        t += s;
    }
}

void place_points(const float *pts, std::size_t npts, GRD_report *grid, int xalt) {
    State &g = state();
    const int nx = grid->domain.nx, ny = grid->domain.ny;
    if (!grid->grid || nx <= 0 || ny <= 0) return;
    const bool thin = !g.thin.empty() && static_cast<int>(g.thin.size()) == ny;
    auto dest_row = [&](int j) {
        return grid->grid + static_cast<std::size_t>(g.ydir > 0 ? ny - 1 - j : j) * nx;
    };
    if (thin) {
        std::vector<float> row(static_cast<std::size_t>(nx)), in;
        std::size_t k = 0;
        for (int j = 0; j < ny; ++j) {
            int n = std::max(g.thin[static_cast<std::size_t>(j)], 0);
            in.assign(static_cast<std::size_t>(n), MISSING_F);
            for (int i = 0; i < n && k < npts; ++i) in[static_cast<std::size_t>(i)] = pts[k++];
            bool rev = g.xrev != (xalt && (j % 2 == 1));
            if (rev) std::reverse(in.begin(), in.end());
            stretch_row(in.data(), n, row.data(), nx);
            std::copy(row.begin(), row.end(), dest_row(j));
        }
        return;
    }
    const std::size_t n = std::min(npts, static_cast<std::size_t>(nx) * ny);
    if (!g.jcons) {
        // Row by row: copied, or turned when the row runs east to west.
        for (int j = 0; j < ny; ++j) {
            const std::size_t start = static_cast<std::size_t>(j) * nx;
            if (start >= n) break;
            const std::size_t len = std::min(static_cast<std::size_t>(nx), n - start);
            float *dst = dest_row(j);
            const float *src = pts + start;
            if (g.xrev != (xalt && (j % 2 == 1)))
                std::reverse_copy(src, src + len, dst + (nx - len));
            else
                std::copy(src, src + len, dst);
        }
    } else {
        // Consecutive points run along a column; alternation turns columns.
        for (std::size_t k = 0; k < n; ++k) {
            int i = static_cast<int>(k / ny), j = static_cast<int>(k % ny);
            if (xalt && (i % 2 == 1)) j = ny - 1 - j;
            dest_row(j)[g.xrev ? nx - 1 - i : i] = pts[k];
        }
    }
}

}  // namespace grib_detail

using namespace grib_detail;

namespace {

constexpr std::uint8_t SOH = 0x01, ETX = 0x03, CR = 0x0d, LF = 0x0a;

// Result of one attempt at a header kind.
constexpr int TRY_NO = 0, TRY_EOF = -1;

// Reads a line of at most max characters up to the next CR or LF (which is
// left in the stream); false at the end of the file.
bool read_heading(FILE *fp, char *out, std::size_t max) {
    std::size_t n = 0;
    int c;
    while ((c = std::getc(fp)) != EOF && c != CR && c != LF) {
        if (n < max) out[n++] = static_cast<char>(c);
    }
    out[n] = '\0';
    if (c == EOF) return false;
    std::ungetc(c, fp);
    return true;
}

// Expects the exact bytes seq at the current position.
bool expect(FILE *fp, const char *seq, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (std::getc(fp) != static_cast<unsigned char>(seq[i])) return false;
    return true;
}

// Skips CR and LF bytes; returns false at the end of the file.
bool skip_crlf(FILE *fp) {
    int c;
    while ((c = std::getc(fp)) == CR || c == LF) {
    }
    if (c == EOF) return false;
    std::ungetc(c, fp);
    return true;
}

// Kind 1: optional CR/LF/ETX, then "** " and a heading line.
int try_zup(int slot, FILE *fp) {
    State &g = state();
    int c;
    while ((c = std::getc(fp)) == CR || c == LF || c == ETX) {
    }
    if (c == EOF) return TRY_EOF;
    if (c != '*' || std::getc(fp) != '*' || std::getc(fp) != ' ') return TRY_NO;
    // The heading runs to the line feed (carriage returns included), at
    // most 30 characters; the rest of a longer line stays in the stream for
    // the mark search.
    char head[31];
    std::size_t n = 0;
    while (n < 30 && (c = std::getc(fp)) != EOF && c != LF) head[n++] = static_cast<char>(c);
    head[n] = '\0';
    if (c == EOF) return TRY_EOF;
    head[n >= 3 ? n - 3 : 0] = '\0';
    copy_field(g.wmo_header, head);
    int r = GRIB_search(slot);
    return r > 0 ? r : TRY_EOF;
}

// Kind 2: [CR/LF ETX] SOH CR CR LF nnn CR CR LF heading CR CR LF.
int try_feed(int slot, FILE *fp) {
    State &g = state();
    // The trailer of the previous bulletin (LF ETX, or the whole CR CR LF
    // ETX when an edition 2 message was read to its end mark) may come first.
    int c = std::getc(fp);
    if (c == EOF) return TRY_EOF;
    if (c == CR || c == LF) {
        while (c == CR || c == LF) c = std::getc(fp);
        if (c != ETX) return c == EOF ? TRY_EOF : TRY_NO;
        c = std::getc(fp);
    }
    if (c == EOF) return TRY_EOF;
    if (c != SOH) return TRY_NO;
    if (!expect(fp, "\r\r\n", 3)) return TRY_NO;
    char seq[31];
    if (!read_heading(fp, seq, 30)) return TRY_EOF;
    bool digits = seq[0] != '\0';
    for (const char *p = seq; *p; ++p)
        if ((*p < '0' || *p > '9') && *p != ' ') digits = false;
    if (!digits) return TRY_NO;
    if (!expect(fp, "\r\r\n", 3)) return TRY_NO;
    char head[31];
    if (!read_heading(fp, head, 30)) return TRY_EOF;
    if (!skip_crlf(fp)) return TRY_EOF;
    copy_field(g.wmo_header, head);
    int r = GRIB_search(slot);
    return r > 0 ? r : TRY_EOF;
}

// Kind 4: no header.  A mark followed by ": " is the length line of the
// old header (kind 3), not a message.
int try_raw(int slot, FILE *fp) {
    State &g = state();
    int r = GRIB_search(slot);
    if (r <= 0) return TRY_EOF;
    if (g.is[4] == ':' && g.is[5] == ' ') return TRY_NO;
    copy_field(g.wmo_header, "GRIB01 KXXX 010000");
    (void)fp;
    return r;
}

// Kind 3: [CR/LF] "GRIB: <length>" line, SOH CR CR LF, a skipped line,
// heading.
int try_oldzup(int slot, FILE *fp) {
    State &g = state();
    long len = 0;
    // Line ends left behind an edition 2 message read to its end mark.
    if (!skip_crlf(fp)) return TRY_EOF;
    if (!expect(fp, "GRIB: ", 6)) return TRY_NO;
    int c, nd = 0;
    while ((c = std::getc(fp)) >= '0' && c <= '9') {
        if (len < 100000000L) len = len * 10 + (c - '0');
        ++nd;
    }
    if (nd == 0 || c != LF) return TRY_NO;
    g.grid_size = std::ftell(fp) + len;
    int r = TRY_NO;
    if (skip_crlf(fp) && std::getc(fp) == SOH && expect(fp, "\r\r\n", 3)) {
        char line[31];
        if (read_heading(fp, line, 30) && skip_crlf(fp)) {
            char head[31];
            if (read_heading(fp, head, 30)) {
                copy_field(g.wmo_header, head);
                skip_crlf(fp);
                r = GRIB_search(slot);
                if (r <= 0) r = TRY_EOF;
            }
        }
    }
    MESS_print(15, "old ZUP: %d\n", r);
    return r;
}

int try_kind(int kind, int slot, FILE *fp) {
    switch (kind) {
        case GRIB_HDR_ZUP: return try_zup(slot, fp);
        case GRIB_HDR_FEED: return try_feed(slot, fp);
        case GRIB_HDR_OLDZUP: return try_oldzup(slot, fp);
        case GRIB_HDR_RAW: return try_raw(slot, fp);
        default: return TRY_NO;
    }
}

// Catalogued grids.
struct CatGrid {
    int num;
    int proj;
    int nx, ny;
    float dx, dy, clat, clon;
};
constexpr CatGrid cat_grids[] = {
    {21, 2, 37, 37, 5.0f, 2.5f, 45, 90},      {22, 2, 37, 37, 5.0f, 2.5f, 45, -90},
    {23, 2, 37, 37, 5.0f, 2.5f, -45, 90},     {24, 2, 37, 37, 5.0f, 2.5f, -45, -90},
    {25, 2, 73, 19, 5.0f, 5.0f, 45, 180},     {26, 2, 73, 19, 5.0f, 5.0f, -45, 180},
    {37, 2, 73, 73, 1.5f, 1.5f, 45, 15},      {38, 2, 73, 73, 1.5f, 1.5f, 45, 105},
    {39, 2, 73, 73, 1.5f, 1.5f, 45, -165},    {40, 2, 73, 73, 1.5f, 1.5f, 45, -75},
    {41, 2, 73, 73, 1.5f, 1.5f, -45, 15},     {42, 2, 73, 73, 1.5f, 1.5f, -45, 105},
    {43, 2, 73, 73, 1.5f, 1.5f, -45, -165},   {44, 2, 73, 73, 1.5f, 1.5f, -45, -75},
    {50, 2, 36, 33, 2.5f, 1.25f, 40, -96.25f},
    {61, 2, 91, 46, 2.0f, 2.0f, 45, 90},      {62, 2, 91, 46, 2.0f, 2.0f, 45, -90},
    {63, 2, 91, 46, 2.0f, 2.0f, -45, 90},     {64, 2, 91, 46, 2.0f, 2.0f, -45, -90},
    {211, 4, 93, 65, 0.8127f, 0.8127f, 40.607f, -100.553f},
    {212, 4, 185, 129, 0.4063f, 0.4063f, 40.606f, -100.554f},
    {215, 4, 369, 257, 0.2032f, 0.2032f, 40.607f, -100.553f},
};

// Octet n (1-based) of a section held in a zero-padded buffer.
struct Octets {
    const std::uint8_t *p;
    std::uint8_t o(int n) const { return p[n - 1]; }
    int u2(int n) const { return static_cast<int>(gbits::u2(p + n - 1)); }
    int u3(int n) const { return static_cast<int>(gbits::u3(p + n - 1)); }
    int s2(int n) const { return gbits::s2(p + n - 1); }
    int s3(int n) const { return gbits::s3(p + n - 1); }
};

float lon180(float lon) { return lon > 180 ? lon - 360 : lon; }

// Grid lengths of edition 1 are measured on an earth of radius 6367.47 km;
// the map works on one of 6371.22 km.
constexpr float EARTH_SCALE_1 = 6371.22f / 6367.47f;

void print_octets(const std::uint8_t *p, int n) {
    for (int i = 0; i < n; ++i)
        MESS_print(0x40000000, "[%2.2X]%s", p[i], (i % 8 == 7 || i == n - 1) ? "\n" : "");
}

// Next raw value of bpval bits through the spike filter; -1 when the
// data run out.
long next_raw(gbits::Reader &rd, int bpval) {
    State &g = state();
    long cur = static_cast<long>(rd.next(bpval));
    if (rd.overrun()) return -1;
    if (g.bad_max >= 1) {
        if (g.bad_test > 0 && g.prev_raw >= 0) {
            int slot = g.bad_test % 20;
            g.valid_data[slot] = 0;
            if (std::labs(g.prev_raw - cur) > g.bad_limit) {
                g.valid_data[slot] = 1;
                int count = 0;
                for (std::uint8_t v : g.valid_data) count += v;
                if (count > g.bad_max) {
                    g.bad = 1;
                }
                MESS_print(0x40000000, "BAD: %6ld %6ld %6ld %2d %2d\n", g.bad_limit, g.prev_raw,
                           cur, count, g.bad);
            }
        }
        ++g.bad_test;
        g.prev_raw = cur;
    }
    return cur;
}

void start_row() {
    State &g = state();
    g.bad_test = 0;
    g.prev_raw = -1;
    std::memset(g.valid_data, 0, sizeof g.valid_data);
}

// Next point value: -9999 for a bitmap 0 (no value consumed) or once the
// grid is judged corrupt.
float next_point(gbits::Reader &rd) {
    State &g = state();
    if (!GRIB_BMB_read()) return MISSING_F;
    long raw = next_raw(rd, g.bpval);
    if (raw < 0 || g.bad) return MISSING_F;
    return static_cast<float>((raw * static_cast<double>(g.sfac) + g.ref) * g.dscale);
}

// Unpacked bitmap bit for edition 1.
bool bitmap_bit(const std::vector<std::uint8_t> &bm, std::uint64_t off) {
    std::size_t byte = static_cast<std::size_t>(off >> 3);
    if (byte >= bm.size()) return true;
    return (bm[byte] >> (7 - (off & 7))) & 1;
}


// Points of the message in scan order: nx*ny, or the sum of the thinned
// row lengths.
std::size_t scan_points(int nx, int ny) {
    State &g = state();
    if (static_cast<int>(g.thin.size()) != ny) return static_cast<std::size_t>(nx) * ny;
    std::size_t total = 0;
    for (int n : g.thin) total += static_cast<std::size_t>(std::max(n, 0));
    return total;
}

// Second-order packing (flag 0x40) and IEEE numbers (flags 0x20 and 0x10
// together: octet 12 gives the precision, the numbers follow from octet
// 13): the coded values are spread over the bitmap's points, then placed
// like simple-packed rows.  1, or 1 with the grid left missing and a
// message when the section cannot be decoded.
int decode_packed(const std::vector<std::uint8_t> &sec, int flag, GRD_report *grid) {
    State &g = state();
    const std::size_t total = scan_points(grid->domain.nx, grid->domain.ny);
    std::size_t coded = total;
    if (g.has_bmb) {
        coded = 0;
        for (std::size_t i = 0; i < total; ++i) coded += bitmap_bit(g.bmb, i);
    }
    UNPACK_out out;
    bool alt = false;
    int r;
    if (flag & 0x40) {
        r = UNPACK_grib1_second_order(sec.data(), sec.size(), g.ref, g.sfac, g.dscale, total, &out,
                                      &alt);
    } else {
        UNPACK_params p;
        UNPACK_clear_params(&p);
        p.data_pnts = static_cast<int>(coded);
        p.precision = sec.size() > 11 ? sec[11] : -9999;
        r = sec.size() >= 12 ? UNPACK_ieee(p, sec.data() + 12, sec.size() - 12, total, &out) : -1;
        if (r < 0 && out.msg.empty()) out.msg = "GRIB_BDB: IEEE data section too short\n";
    }
    if (r < 0) {
        MESS_print(192, "%s", out.msg.c_str());
        return 1;
    }
    std::vector<float> pts(total, MISSING_F);
    std::size_t k = 0;
    for (std::size_t i = 0; i < total && k < out.values.size(); ++i)
        if (!g.has_bmb || bitmap_bit(g.bmb, i)) pts[i] = out.values[k++];
    place_points(pts.data(), pts.size(), grid, alt ? 1 : 0);
    return 1;
}
}  // namespace

// ---------------------------------------------------------------------------
// Finding messages

int GRIB_search(int slot) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp) return -1;
    // Slide a four-octet window over the stream until it holds a mark (the
    // marks hold no zero octet, so the empty start cannot match).
    constexpr std::uint32_t GRIB = 0x47524942, GRID = 0x47524944, BUFR = 0x42554652;
    std::uint32_t win = 0;
    for (;;) {
        int c = std::getc(fp);
        if (c == EOF) return -1;
        win = (win << 8) | static_cast<std::uint32_t>(c);
        if (win == GRIB || win == GRID || win == BUFR) break;
    }
    g.is[0] = static_cast<std::uint8_t>(win >> 24);
    g.is[1] = static_cast<std::uint8_t>(win >> 16);
    g.is[2] = static_cast<std::uint8_t>(win >> 8);
    g.is[3] = static_cast<std::uint8_t>(win);
    g.msg_start = std::ftell(fp) - 4;
    std::memset(g.is + 4, 0, 12);
    if (!read_exact(fp, g.is + 4, 4)) return -1;
    g.is_read = true;
    int count = 4;
    bool grib = g.is[0] == 'G' && g.is[3] == 'B';
    bool bufr = g.is[0] == 'B';
    if (grib && g.is[7] == 2) {
        if (!read_exact(fp, g.is + 8, 8)) return -1;
        g.discipline = g.is[6];
        g.version = 2;
        count = 12;
    } else if ((grib || bufr) && g.is[7] == 1) {
        g.version = 1;
    } else {
        g.version = 0;
    }
    GRD_set_new_pos(std::ftell(fp));
    return count;
}

int GRIB_header(int slot) {
    GRD_file *f = GRD_get_file(slot);
    if (!f || !f->file) return -1;
    FILE *fp = f->file;
    long start = std::ftell(fp);
    if (start < 0) return -1;
    const int order[4] = {GRIB_HDR_ZUP, GRIB_HDR_FEED, GRIB_HDR_RAW, GRIB_HDR_OLDZUP};
    bool eof = false;
    int tried = 0;
    if (f->itype >= 1 && f->itype <= 4) {
        tried = f->itype;
        int r = try_kind(tried, slot, fp);
        if (r > 0) return r;
        if (r == TRY_EOF) eof = true;
    }
    for (int kind : order) {
        if (kind == tried) continue;
        std::clearerr(fp);
        std::fseek(fp, start, SEEK_SET);
        int r = try_kind(kind, slot, fp);
        if (r > 0) {
            f->itype = kind;
            return r;
        }
        if (r == TRY_EOF) eof = true;
    }
    std::clearerr(fp);
    std::fseek(fp, start, SEEK_SET);
    return eof ? -1 : 0;
}

long GRIB_next(int slot, int move) {
    State &g = state();
    GRD_file *f = GRD_get_file(slot);
    if (!f || !f->file) return -1;
    FILE *fp = f->file;
    long pos = std::ftell(fp);
    if (pos < 0) return -1;
    long next;
    if (f->itype == GRIB_HDR_OLDZUP) {
        next = g.grid_size + 1;
        if (next < 0 || next - pos > GRIB_MAX_SIZE) return -1;
    } else if (g.version == 2) {
        std::uint64_t len = gbits::u8(g.is + 8);
        if (len < 16 || len > static_cast<std::uint64_t>(1) << 40) {
            MESS_print(192, "Invalid product size: %ld\n", static_cast<long>(len));
            return 0;
        }
        next = g.msg_start + static_cast<long>(len);
        if (f->itype == GRIB_HDR_ZUP || f->itype == GRIB_HDR_FEED) next += 4;
    } else if (g.version == 1) {
        long len = static_cast<long>(gbits::u3(g.is + 4));
        if (len > GRIB_MAX_SIZE || len < 8) {
            MESS_print(192, "Invalid product size: %ld\n", len);
            return 0;
        }
        next = g.msg_start + len;
        if (f->itype == GRIB_HDR_ZUP) next += 1;
        if (f->itype == GRIB_HDR_FEED) next += 4;
    } else {
        // Edition 0 carries no length: scan for the end mark "7777", then
        // for the start of what follows.
        int c, run = 0;
        while ((c = std::getc(fp)) != EOF) {
            if (c == '7') {
                if (++run >= 3) break;
            } else {
                run = 0;
            }
        }
        while (c != EOF && (c = std::getc(fp)) != EOF) {
            if (c == '*' || c == ETX || c == 'G' || c == 'B') break;
        }
        if (c == EOF) {
            std::clearerr(fp);
            std::fseek(fp, pos, SEEK_SET);
            return -1;
        }
        next = std::ftell(fp);
        if (c == 'G' || c == 'B') --next;
        g.version = 0;
    }
    std::fseek(fp, move ? next : pos, SEEK_SET);
    return next;
}

int GRIB_cut_short(int slot, long *have, long *want) {
    State &g = state();
    GRD_file *f = GRD_get_file(slot);
    if (!f || !f->file || g.msg_start < 0) return 0;
    long len;
    if (f->itype == GRIB_HDR_OLDZUP)
        len = g.grid_size - g.msg_start;
    else if (g.version == 2)
        len = static_cast<long>(std::min<std::uint64_t>(gbits::u8(g.is + 8), 1ull << 40));
    else if (g.version == 1)
        len = static_cast<long>(gbits::u3(g.is + 4));
    else
        return 0;
    FILE *fp = f->file;
    long here = std::ftell(fp);
    if (here < 0 || std::fseek(fp, 0, SEEK_END) != 0) {
        std::clearerr(fp);
        return 0;
    }
    long end = std::ftell(fp);
    std::fseek(fp, here, SEEK_SET);
    if (end < 0 || len <= 0 || g.msg_start + len <= end) return 0;
    if (have) *have = end - g.msg_start;
    if (want) *want = len;
    return 1;
}

int GRIB_get_version() { return state().version; }
int GRIB_get_discipline() { return state().discipline; }
const char *GRIB_get_wmo_header() { return state().wmo_header; }

void GRIB_set_max_bad(int max_bad) { state().bad_max = max_bad; }
int GRIB_get_bad() { return state().bad; }

int GRIB_get_info(int slot, GRD_info *info) {
    State &g = state();
    GRD_file *f = GRD_get_file(slot);
    if (!f || !f->file || !info) return -1;
    std::uint8_t b[48] = {};
    std::size_t got = std::fread(b, 1, 40, f->file);
    Date d;
    d.sec = 0;
    int centre;
    if (g.version == 2) {
        if (got < 18) return -1;
        Octets s{b};
        d.year = s.u2(13);
        d.month = s.o(15);
        d.day = s.o(16);
        d.hour = s.o(17);
        d.min = s.o(18);
        centre = s.u2(6);
        f->grid = 2;
    } else {
        // PDS octet n: edition 1 from the buffer start, edition 0 after the
        // four octets already read with the mark.
        std::uint8_t pds[52] = {};
        if (g.version == 1) {
            if (got < 17) return -1;
            std::memcpy(pds, b, got);
        } else {
            if (got < 13) return -1;
            std::memcpy(pds, g.is + 4, 4);
            std::memcpy(pds + 4, b, got);
        }
        Octets s{pds};
        int y = s.o(13);
        if (y < 50) y += 2000;
        if (y < 200) y += 1900;
        d.year = y;
        d.month = s.o(14) > 12 ? 1 : s.o(14);
        d.day = s.o(15);
        d.hour = s.o(16);
        d.min = 0;
        centre = s.o(5);
        f->grid = (g.version == 0 && centre == 98) ? 10 : g.version;
    }
    complete_date(&d);
    info->date = d;
    char label[DATE_LABEL_LEN + 8] = "";
    DATE_make_label(&d, label);
    copy_field(info->datim, label);
    info->grid_type = 0;
    return 0;
}

// ---------------------------------------------------------------------------
// Conversions and catalogued grids

float GRIB_flt_conv(const std::uint8_t *p) {
    if (p[0] == 0) return 0;
    double mant = p[1] / 256.0 + p[2] / 65536.0 + p[3] / 16777216.0;
    double v = mant * std::pow(16.0, (p[0] & 0x7f) - 64);
    return static_cast<float>((p[0] & 0x80) ? -v : v);
}

float GRIB_scl_conv(const std::uint8_t *p) {
    if (p[0] == 0 && p[1] == 0) return 1;
    return static_cast<float>(std::ldexp(1.0, gbits::s2(p)));
}

float GRIB_ieee_float_conv(const std::uint8_t *p) {
    if (p[0] == 0) return 0;
    std::uint32_t u = gbits::u4(p);
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

int GRIB_set_domain(int grid_num, Domain *dom) {
    if (!dom) return 0;
    for (const CatGrid &c : cat_grids) {
        if (c.num != grid_num) continue;
        dom->proj = c.proj;
        dom->nx = c.nx;
        dom->ny = c.ny;
        dom->dx = c.dx;
        dom->dy = c.dy;
        dom->clat = c.clat;
        dom->clon = c.clon;
        if (c.proj == 4) {
            dom->plat = 90;
            dom->plon = -95;
            dom->param[0] = 25;
            dom->param[1] = 25;
            dom->param[2] = 1;
        }
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Edition 0/1 sections

int GRIB_decode_PDB(const std::uint8_t *pds, int len, int ver, GRD_report *grid) {
    State &g = state();
    if (!pds || !grid || len < 17) return -1;
    std::uint8_t buf[64] = {};
    std::memcpy(buf, pds, static_cast<std::size_t>(std::min(len, 64)));
    Octets s{buf};

    grid->version = ver;
    grid->source = s.o(5);
    grid->model = s.o(6);
    g.grid_id = s.o(7);
    grid->type = g.grid_id;
    grid->ltype = s.o(10);
    g.pds_flag = s.o(8);

    Date &d = grid->date;
    int y = s.o(13);
    if (y < 50) y += 2000;
    if (y < 200) y += 1900;
    d.year = y;
    d.month = s.o(14);
    d.day = s.o(15);
    d.hour = s.o(16);
    d.min = s.o(17);
    d.sec = 0;
    complete_date(&d);

    const int unit = s.o(18);
    int p1 = s.o(19), p2 = s.o(20);
    const int raw_p2 = p2;
    if (unit == 2) {
        p1 += 800;
        p2 += 800;
    } else if (unit == 3) {
        p1 += 900;
        p2 += 900;
    } else if (unit == 12) {
        p1 *= 12;
        p2 *= 12;
    }
    const int tri = s.o(21);
    const int nave = s.u2(22);
    int q = raw_p2 * nave + (unit == 2 ? 800 : unit == 3 ? 900 : 0);
    switch (tri) {
        case 0: grid->time = p1; break;
        case 1: grid->time = 0; break;
        case 2: grid->time = 2000000 + p1 * 1000 + p2; break;
        case 3: grid->time = 3000000 + p1 * 1000 + p2; break;
        case 4: grid->time = 4000000 + p1 * 1000 + p2; break;
        case 5: grid->time = 5000000 + p1 * 1000 + p2; break;
        case 10: grid->time = s.u2(19); break;
        case 113: grid->time = 13000000 + p1 * 1000 + q; break;
        case 118: grid->time = 18000000 + p1 * 1000 + q; break;
        case 123: grid->time = 23000000 + q; break;
        default: break;
    }

    switch (grid->ltype) {
        case 1: case 4: case 6: case 7: case 102: case 200:
            grid->level = 0;
            break;
        case 5: case 100: case 103: case 105: case 107: case 111: case 113: case 117: case 119:
            grid->level = s.u2(11);
            break;
        case 101: case 104: case 106: case 108: case 109: case 112: case 114: case 116: case 120:
            grid->level = s.o(11) * 1000 + s.o(12);
            break;
        default: break;
    }

    const int param = s.o(9);
    if (s.o(4) == 129) {
        if (param == 212) grid->var = 491;
    } else {
        grid->var = param == 177 ? 571 : param;
    }
    if (ver == 1 && grid->ltype == 1 && grid->model == 44 && param == 7) grid->var = 161;

    grid->units[0] = '\0';
    GRIB_units(grid);

    g.dscale = ver == 0 ? 1.0f : static_cast<float>(std::pow(10.0, -s.s2(27)));

    g.ens = GRIB_ens_info{};
    g.ens.ens_prob_low = MISSING_F;
    g.ens.ens_prob_up = MISSING_F;
    if (grid->source == 7 && s.o(26) == 2 && len >= 45) {
        g.ens.ens = 1;
        g.ens.ens_type = s.o(42);
        g.ens.ens_id = s.o(43);
        g.ens.ens_prod = s.o(44);
        g.ens.ens_smooth = s.o(45);
        MESS_print(0x40000000, "Ens: %d %d %d %d\n", g.ens.ens_type, g.ens.ens_id,
                   g.ens.ens_prod, g.ens.ens_smooth);
        if ((grid->var == 191 || grid->var == 192) && len >= 55) {
            g.ens.ens_prob_var = s.o(46);
            g.ens.ens_prob_type = s.o(47);
            g.ens.ens_prob_low = GRIB_flt_conv(buf + 47);
            g.ens.ens_prob_up = GRIB_flt_conv(buf + 51);
            // The units are those of the parameter the probability is about.
            GRD_report tmp = *grid;
            tmp.var = g.ens.ens_prob_var;
            tmp.units[0] = '\0';
            tmp.grid = nullptr;
            GRIB_units(&tmp);
            copy_field(grid->units, tmp.units);
        }
    }

    DOM_init(&g.dom);
    GRIB_set_domain(g.grid_id, &g.dom);
    g.ydir = 1;
    g.xrev = false;
    g.jcons = false;
    g.thin.clear();
    const int gid = g.grid_id;
    g.pole = (gid >= 21 && gid <= 26) || (gid >= 61 && gid <= 64);
    if (gid == 23 || gid == 24 || gid == 26 || gid == 63 || gid == 64)
        g.lat = -90;
    else if (gid == 21 || gid == 22 || gid == 25 || gid == 61 || gid == 62)
        g.lat = 0;
    grid->domain = g.dom;

    MESS_print(0x40000000, "Source: %d\n", grid->source);
    MESS_print(0x40000000, "Model: %d\n", grid->model);
    MESS_print(0x40000000, "Init time: %d/%d/%d %2.2d:%2.2d\n", d.month, d.day, d.year, d.hour,
               d.min);
    MESS_print(0x40000000, "Grid type: %d\n", grid->type);
    MESS_print(0x40000000, "Grid time: %d\n", grid->time);
    if (tri != 0) {
        MESS_print(0x40000000, "Time range: %d\n", tri);
        MESS_print(0x40000000, "Time units: %d\n", unit);
        MESS_print(0x40000000, "P1,P2: %d,%d\n", p1, p2);
    }
    MESS_print(0x40000000, "Level type: %d\n", grid->ltype);
    MESS_print(0x40000000, "Flag: %X\n", g.pds_flag);
    MESS_print(0x40000000, "Level: [%d %d %d] %d\n", s.o(11), s.o(12), s.u2(11), grid->level);
    MESS_print(0x40000000, "Variable: [%d] %d %s\n", param, grid->var, grid->units);
    return 1;
}

int GRIB_PDB(int slot, GRD_report *grid, int mode) {
    (void)mode;
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp || !grid) return -1;
    if (!g.is_read) {
        if (!read_exact(fp, g.is + 4, 4)) return -1;
        g.is_read = true;
    }
    const int ver = g.is[7] == 1 ? 1 : 0;
    g.version = ver;
    // The PDS buffer: up to 470 octets are kept, any more are skipped.
    std::uint8_t pds[470] = {};
    int have;
    if (ver == 1) {
        if (!read_exact(fp, pds, 20)) return -1;
        have = 20;
    } else {
        std::memcpy(pds, g.is + 4, 4);
        if (!read_exact(fp, pds + 4, 20)) return -1;
        have = 24;
    }
    g.is_read = false;
    int plen = static_cast<int>(gbits::u3(pds));
    if (plen < have) {
        MESS_print(64, "GRIB_PDB: Invalid product definition length: %d\n", plen);
        return -1;
    }
    int rest = plen - have;
    int keep = std::min(rest, static_cast<int>(sizeof pds) - have);
    if (!read_exact(fp, pds + have, static_cast<std::size_t>(keep))) return -1;
    if (rest > keep && std::fseek(fp, rest - keep, SEEK_CUR) != 0) return -1;
    print_octets(pds, std::min(plen, 32));
    if (GRIB_decode_PDB(pds, std::min(plen, static_cast<int>(sizeof pds)), ver, grid) < 0)
        return -1;
    GRIB_set_ens(g.ens.ens ? &g.ens : nullptr);
    GRIB_set_var(grid);
    make_datim(grid);
    return 1;
}

int GRIB_GDB(int slot, GRD_report *grid) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp || !grid) return -1;
    if (!(g.pds_flag & 0x80)) {
        grid->domain = g.dom;
        return 1;
    }
    std::uint8_t head[3];
    if (!read_exact(fp, head, 3)) return -1;
    long len = static_cast<long>(gbits::u3(head));
    if (len < 32) {
        MESS_print(64, "GRIB_GDB: Invalid grid description length: %ld\n", len);
        return -1;
    }
    if (!can_read(fp, len - 3)) return -1;
    std::vector<std::uint8_t> gds(static_cast<std::size_t>(len) + 64, 0);
    std::memcpy(gds.data(), head, 3);
    if (!read_exact(fp, gds.data() + 3, static_cast<std::size_t>(len - 3))) return -1;
    Octets s{gds.data()};
    print_octets(gds.data(), 32);
    const int rep = s.o(6);
    MESS_print(0x40000000, "Grid type: %d\n", rep);

    // Spherical harmonics and the other non-grid-point representations
    // cannot be placed on a grid.
    if (rep == 50 || rep == 60 || rep == 70 || rep == 80) {
        MESS_print(64, "GRIB_GDB: Spherical harmonic coefficients are not a grid: %d\n", rep);
        return 0;
    }

    const int scan = s.o(28);
    g.ydir = ((scan & 0x02) || (scan & 0x40)) ? 1 : -1;
    g.xrev = (scan & 0x80) != 0;
    g.jcons = (scan & 0x20) != 0;
    MESS_print(0x40000000, g.ydir > 0 ? "Gridpoint direction: %x : south to north\n"
                                      : "Gridpoint direction: %x : north to south\n",
               scan);

    int nx = s.u2(7), ny = s.u2(9);
    const int nv = s.o(4), pvl = s.o(5);
    g.thin.clear();
    bool thinned = pvl != 0 && pvl != 255 && nx == 0xffff;
    if (ny > 2000 || ny < 1) {
        MESS_print(64, "GRIB_GDB: Grid too large: %d rows\n", ny);
        return 0;
    }
    if (thinned) {
        MESS_print(0x40000000, "Thinning grid\n");
        long at = pvl - 1 + 4L * nv;  // row lengths follow the vertical coordinates
        if (at < 32 || at + 2L * ny > len) {
            MESS_print(64, "GRIB_GDB: Row lengths beyond the grid description\n");
            return 0;
        }
        nx = 0;
        g.thin.resize(static_cast<std::size_t>(ny));
        for (int j = 0; j < ny; ++j) {
            g.thin[static_cast<std::size_t>(j)] =
                static_cast<int>(gbits::u2(gds.data() + at + 2 * j));
            nx = std::max(nx, g.thin[static_cast<std::size_t>(j)]);
        }
    }
    if (nx > 2000 || nx < 1) {
        MESS_print(64, "GRIB_GDB: Grid too large: %d columns\n", nx);
        g.thin.clear();
        return 0;
    }
    MESS_print(0x40000000, "Number of gridpoints: %dx%d\n", nx, ny);
    Domain &dom = g.dom;
    dom.nx = nx;
    dom.ny = ny;

    const float la1 = s.s3(11) / 1000.0f, lo1 = s.s3(14) / 1000.0f;
    Domain saved;
    MAP_get_domain(&saved);
    switch (rep) {
        case 0:     // latitude-longitude
        case 4:     // Gaussian
        case 10:    // rotated latitude-longitude
        case 14: {  // rotated Gaussian
            MESS_print(0x40000000, "Lat-Lon Grid\n");
            dom.proj = 2;
            const float la2 = s.s3(18) / 1000.0f, lo2 = s.s3(21) / 1000.0f;
            g.lat = la1;
            const int res = s.o(17);
            const bool gauss = rep == 4 || rep == 14;
            const int di = s.u2(24), dj = gauss ? 0xffff : s.u2(26);
            // Gaussian and rotated grids are placed too: the Gaussian rows
            // by their latitudes, the rotated grid through its pole
            // (grd_place.cpp reads these parameters).
            if (gauss) dom.param[0] = GRD_gaussian_param(s.u2(26), ny);
            if (rep == 10 || rep == 14) {
                dom.param[1] = s.s3(33) / 1000.0f;
                dom.param[2] = s.s3(36) / 1000.0f;
                dom.param[3] = GRIB_flt_conv(gds.data() + 38);
                if (!std::isfinite(dom.param[3])) dom.param[3] = 0;
            }
            float dx, dy;
            if ((res & 0x80) && di != 0xffff && dj != 0xffff) {
                dx = di / 1000.0f;
                dy = dj / 1000.0f;
            } else {
                dy = ny > 1 ? g.ydir * (la2 - la1) / (ny - 1) : 0;
                dx = dy;
            }
            if (thinned || ((res & 0x80) && di == 0xffff)) {
                float w = g.xrev ? lo2 : lo1, e = g.xrev ? lo1 : lo2;
                if (e < w) e += 360;
                dx = nx > 1 ? (e - w) / (nx - 1) : 0;
            }
            if (g.grid_id >= 37 && g.grid_id <= 44 && dx > 30) dx = 1.25f;
            float west = g.xrev ? lo2 : lo1;
            float clon = west + (nx - 1) / 2.0f * dx;
            if (clon > 180) clon -= 360;
            dom.clon = clon;
            dom.clat = la1 + (g.ydir * (ny - 1)) / 2.0f * dy;
            dom.dx = dx;
            dom.dy = dy;
            if (gauss) {
                // Mean row spacing; columns from the longitudes (Di is
                // rounded to millidegrees).
                dy = ny > 1 ? std::fabs(la2 - la1) / (ny - 1) : 0;
                float w = g.xrev ? lo2 : lo1, e = g.xrev ? lo1 : lo2;
                if (e <= w) e += 360;
                dx = nx > 1 ? (e - w) / (nx - 1) : dy;
                float west = g.xrev ? lo2 : lo1;
                float clon = west + (nx - 1) / 2.0f * dx;
                if (clon > 180) clon -= 360;
                dom.clon = clon;
                dom.clat = (la1 + la2) / 2;
                dom.dx = dx;
                dom.dy = dy;
            }
            MESS_print(0x40000000, "Res/comp flag: %X\n", res);
            MESS_print(0x40000000, "Grid locate: %3.2f N, %3.2f E\n", dom.clat, dom.clon);
            MESS_print(0x40000000, "Grid size: %3.2fx%3.2f\n", dom.dx, dom.dy);
            break;
        }
        case 1: {  // Mercator
            MESS_print(0x40000000, "Mercator Grid\n");
            dom.proj = 3;
            dom.plat = 0;
            const float la2 = s.s3(18) / 1000.0f, lo2 = s.s3(21) / 1000.0f;
            float plon = (lo1 + lo2) / 2;
            if (lo1 > lo2) {
                plon = (lo1 - 360 + lo2) / 2;
                if (plon < -180) plon += 360;
            }
            dom.plon = lon180(plon);
            dom.clat = 0;
            dom.clon = dom.plon;
            MAP_domain(&dom);
            float x1, y1, x2, y2, clat, clon;
            MAP_tran(la1, lon180(lo1), &x1, &y1);
            MAP_tran(la2, lon180(lo2), &x2, &y2);
            dom.dx = nx > 1 ? std::fabs(x2 - x1) / (nx - 1) : 0;
            dom.dy = ny > 1 ? std::fabs(y2 - y1) / (ny - 1) : 0;
            MAP_untran((x1 + x2) / 2, (y1 + y2) / 2, &clat, &clon);
            dom.clat = clat;
            dom.clon = clon;
            break;
        }
        case 3: {  // Lambert conformal
            MESS_print(0x40000000, "Lambert Conformal Grid\n");
            dom.proj = 4;
            dom.plon = lon180(s.s3(18) / 1000.0f);
            dom.plat = (s.o(27) & 0x80) ? -90.0f : 90.0f;
            dom.param[0] = s.s3(29) / 1000.0f;
            dom.param[1] = s.s3(32) / 1000.0f;
            dom.param[2] = 1;
            MESS_print(0x40000000, "Grid parallels: %3.2f N, %3.2f N\n", dom.param[0],
                       dom.param[1]);
            dom.dx = s.u3(21) / 100000.0f * EARTH_SCALE_1;
            dom.dy = s.u3(24) / 100000.0f * EARTH_SCALE_1;
            dom.clat = la1;
            dom.clon = lo1;
            MAP_domain(&dom);
            float x, y, clat, clon;
            MAP_tran(la1, lon180(lo1), &x, &y);
            x += (g.xrev ? -1 : 1) * (nx - 1) / 2.0f * dom.dx;
            y += g.ydir * (ny - 1) / 2.0f * dom.dy;
            MAP_untran(x, y, &clat, &clon);
            dom.clat = clat;
            dom.clon = clon;
            break;
        }
        case 5: {  // polar stereographic
            MESS_print(0x40000000, "Polar Stereographic Grid\n");
            dom.proj = 1;
            dom.plon = lon180(s.s3(18) / 1000.0f);
            if (grid->source == 98 && g.grid_id == 45) dom.plon = 0;
            const bool south = (s.o(27) & 0x80) != 0;
            dom.plat = south ? -90.0f : 90.0f;
            dom.param[0] = south ? -60.0f : 60.0f;
            dom.dx = s.u3(21) / 100000.0f * EARTH_SCALE_1;
            dom.dy = s.u3(24) / 100000.0f * EARTH_SCALE_1;
            dom.clat = la1;
            dom.clon = lo1;
            MAP_domain(&dom);
            float x, y, clat, clon;
            MAP_tran(la1, lon180(lo1), &x, &y);
            x += (g.xrev ? -1 : 1) * dom.dx * (nx - 1) / 2.0f;
            y += g.ydir * dom.dy * (ny - 1) / 2.0f;
            MAP_untran(x, y, &clat, &clon);
            dom.clat = clat;
            dom.clon = clon;
            MESS_print(0x40000000, "Grid locate: %3.2f N, %3.2f E - %3.2f E %f %f\n", dom.clat,
                       dom.clon, dom.plon, dom.dx, dom.dy);
            break;
        }
        default:
            // Other grid-point grids: the values decode but the grid is not
            // placed on a map.
            break;
    }
    // Wind components relative to the grid's axes (turned to true north
    // where a sounding is made, grd_place.cpp).
    if (dom.proj != MISSING && (s.o(17) & 0x08)) dom.param[4] = 1;
    MAP_domain(&saved);
    grid->domain = dom;
    return 1;
}

int GRIB_BMB(int slot, GRD_report *grid) {
    (void)grid;
    State &g = state();
    g.bmb.clear();
    g.has_bmb = false;
    g.bmoff = 0;
    if (!(g.pds_flag & 0x40)) return 1;
    FILE *fp = stream(slot);
    if (!fp) return -1;
    MESS_print(0x40000000, "Bit Map section\n");
    std::uint8_t head[6];
    if (!read_exact(fp, head, 6)) return -1;
    long len = static_cast<long>(gbits::u3(head));
    if (len < 6) {
        MESS_print(64, "GRIB_BMB: Invalid bitmap length: %ld\n", len);
        return -1;
    }
    if (!can_read(fp, len - 6)) return -1;
    try {
        g.bmb.resize(static_cast<std::size_t>(len - 6));
    } catch (const std::bad_alloc &) {
        return 0;
    }
    if (!read_exact(fp, g.bmb.data(), g.bmb.size())) return -1;
    g.has_bmb = true;
    return 1;
}

int GRIB_BMB_read() {
    State &g = state();
    if (!g.has_bmb) return 1;
    return bitmap_bit(g.bmb, g.bmoff++) ? 1 : 0;
}

int GRIB_BDB(int slot, GRD_report *grid) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp || !grid) return -1;
    std::uint8_t head[11];
    if (!read_exact(fp, head, 11)) return -1;
    long len = static_cast<long>(gbits::u3(head));
    g.sfac = GRIB_scl_conv(head + 4);
    g.ref = GRIB_flt_conv(head + 6);
    g.bpval = head[10];
    const int flag = head[3];
    MESS_print(0x40000000, "Decimal Scale factor: %f\n", g.dscale);
    MESS_print(0x40000000, "Scale factor: %f\n", g.sfac);
    MESS_print(0x40000000, "Reference value: %f\n", g.ref);
    MESS_print(0x40000000, "Bits per value: %d\n", g.bpval);

    const int nx = g.dom.nx, ny = g.dom.ny;
    grid->domain = g.dom;
    auto finish = [&](int r) {
        g.bmb.clear();
        g.has_bmb = false;
        if (!g.thin.empty()) g.thin.clear();
        return r;
    };
    if (nx <= 0 || ny <= 0 || nx > 2000 || ny > 2000) {
        MESS_print(64, "GRIB_BDB: No grid size for grid %d\n", g.grid_id);
        GRD_free(grid);
        return finish(0);
    }
    const long npts = static_cast<long>(nx) * ny;
    if (!GRD_alloc(grid, npts)) return finish(0);
    std::fill(grid->grid, grid->grid + npts, MISSING_F);

    if (len < 11) {
        MESS_print(64, "GRIB_BDB: Invalid data section length: %ld\n", len);
        return finish(-1);
    }
    if (!can_read(fp, len - 11)) return finish(-1);
    // The whole section, its first 11 octets included (the second-order
    // descriptors give octet numbers from the section start).
    std::vector<std::uint8_t> sec;
    try {
        sec.resize(static_cast<std::size_t>(len));
    } catch (const std::bad_alloc &) {
        return finish(0);
    }
    std::memcpy(sec.data(), head, 11);
    if (!read_exact(fp, sec.data() + 11, sec.size() - 11)) return finish(-1);

    if (flag & 0x80) {
        // Spherical harmonic coefficients are not grid-point values; the
        // grid stays missing rather than filled with garbage.
        MESS_print(192, "GRIB_BDB: Unsupported data packing: flag %X\n", flag);
        return finish(1);
    }
    if ((flag & 0x40) || (flag & 0x30) == 0x30) {
        if (g.pole || (g.grid_id == 50 && nx == 36 && ny == 33)) {
            MESS_print(192, "GRIB_BDB: Unsupported data packing: flag %X\n", flag);
            return finish(1);
        }
        return finish(decode_packed(sec, flag, grid));
    }
    if (g.bpval > 32) {
        MESS_print(192, "GRIB_BDB: Invalid bits per value: %d\n", g.bpval);
        return finish(1);
    }

    // Spike limit: half the packing range (the whole range for the first
    // grid of a run at special levels).
    int lt = grid->ltype;
    if (g.first_grid && (lt == 6 || lt == 7 || lt >= 90))
        g.bad_limit = 1L << std::min(g.bpval, 31);
    else
        g.bad_limit = g.bpval > 0 ? 1L << std::min(g.bpval - 1, 31) : 0;
    g.first_grid = false;
    MESS_print(0x40000000, "Bad limit value: %ld\n", g.bad_limit);
    g.bad = 0;
    g.bmoff = 0;

    gbits::Reader rd(sec.data() + 11, sec.size() - 11);
    float *out = grid->grid;

    if (g.grid_id == 50 && nx == 36 && ny == 33) {
        for (int r = 32; r >= 0; --r) {
            int p = r >= 1 ? (r - 1) / 4 : 0;
            start_row();
            float *row = out + static_cast<std::size_t>(r) * nx;
            for (int i = p; i < 36 - p; ++i) row[i] = next_point(rd);
        }
        return finish(1);
    }

    if (g.pole) {
        // Catalogued grids with single-value pole rows.
        const float dy = g.dom.dy > 0 ? g.dom.dy : 1;
        const bool wrap = g.grid_id == 25 || g.grid_id == 26;
        auto dest = [&](int k) { return out + static_cast<std::size_t>(g.ydir > 0 ? ny - 1 - k : k) * nx; };
        auto at_pole = [&]() { return std::fabs(g.lat) >= 90 - 1e-3f; };
        int k = 0;
        if (at_pole() && k < ny) {
            start_row();
            float v = next_point(rd);
            std::fill(dest(k), dest(k) + nx, v);
            ++k;
            g.lat += g.ydir * dy;
        }
        while (k < ny && !at_pole()) {
            start_row();
            float *row = dest(k);
            int n = wrap ? nx - 1 : nx;
            for (int i = 0; i < n; ++i) row[i] = next_point(rd);
            if (wrap) row[nx - 1] = row[0];
            ++k;
            g.lat += g.ydir * dy;
        }
        if (at_pole() && k < ny) {
            start_row();
            float v = next_point(rd);
            std::fill(dest(k), dest(k) + nx, v);
        }
        return finish(1);
    }

    // Regular or thinned rows: collect the points in message order, then
    // place them.
    std::vector<float> pts;
    const bool thin = static_cast<int>(g.thin.size()) == ny;
    long total = 0;
    if (thin)
        for (int n : g.thin) total += n;
    else
        total = npts;
    pts.reserve(static_cast<std::size_t>(total));
    for (int j = 0; j < ny; ++j) {
        int n = thin ? g.thin[static_cast<std::size_t>(j)] : nx;
        start_row();
        for (int i = 0; i < n; ++i) pts.push_back(next_point(rd));
    }
    place_points(pts.data(), pts.size(), grid, 0);
    return finish(1);
}

int GRIB_point_job1(int slot, GRD_report *grid, GRD_point_job *job) {
    State &g = state();
    FILE *fp = stream(slot);
    if (!fp || !grid) return -1;
    const long start = std::ftell(fp);
    std::uint8_t head[11];
    if (!read_exact(fp, head, 11)) return -1;
    const long len = static_cast<long>(gbits::u3(head));
    const int flag = head[3];
    const int nx = g.dom.nx, ny = g.dom.ny;
    const int bpval = head[10];
    // what the full decode treats specially is left to it: the spike
    // filter (simple packing), pole rows, the octagonal grid, thinned rows
    const int kind = (flag & 0x40) ? 1 : (flag & 0x30) == 0x30 ? 2 : 0;
    const bool plain = !g.pole && !(g.grid_id == 50 && nx == 36 && ny == 33) &&
                       static_cast<int>(g.thin.size()) != ny && nx > 0 && ny > 0 && nx <= 2000 &&
                       ny <= 2000 && len >= 11 && !(flag & 0x80) &&
                       (kind != 0 || (g.bad_max < 1 && bpval <= 32));
    if (!plain || std::fseek(fp, len - 11, SEEK_CUR) != 0) {
        std::fseek(fp, start, SEEK_SET);
        return 0;
    }
    grid->domain = g.dom;
    g.sfac = GRIB_scl_conv(head + 4);
    g.ref = GRIB_flt_conv(head + 6);
    g.bpval = bpval;
    if (kind == 0) g.first_grid = false;
    job->edition = 1;
    job->ed1_kind = kind;
    // simple packing: the values; the others: the whole section, whose
    // descriptors count octets from its start
    job->data_pos = kind == 0 ? start + 11 : start;
    job->data_len = kind == 0 ? len - 11 : len;
    job->nx = nx;
    job->ny = ny;
    job->ydir = g.ydir;
    job->xrev = g.xrev;
    job->jcons = g.jcons;
    job->xalt = 0;
    job->ref = g.ref;
    job->sfac = g.sfac;
    job->dscale = g.dscale;
    job->bpval = bpval;
    job->has_bm1 = g.has_bmb;
    job->bm1.swap(g.bmb);
    g.bmb.clear();
    g.has_bmb = false;
    if (!g.thin.empty()) g.thin.clear();
    return 1;
}
