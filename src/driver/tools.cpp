// tools.cpp - bounded line reading, interpolation, threshold packing and
// byte-order conversion of binary data values.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "zup.h"

namespace {

struct SwapState {
    bool on = false;
};
SwapState swap_state;

bool host_is_little() {
    const std::uint16_t probe = 1;
    unsigned char b;
    std::memcpy(&b, &probe, 1);
    return b == 1;
}

void reverse(unsigned char *p, int n) {
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        unsigned char t = p[i];
        p[i] = p[j];
        p[j] = t;
    }
}

// Reads the rest of a line, at most limit characters, into buf.  When the
// next character is the line end the previous read stopped at, it is
// skipped first.  -> length, 0 for an empty line, -1 at end of file.
int read_line(FILE *file, char *buf, int limit) {
    if (!file || !buf) return -1;
    if (limit < 0) limit = 0;
    buf[0] = '\0';
    int c = std::fgetc(file);
    if (c == EOF) return -1;
    if (c == '\n') {
        c = std::fgetc(file);
        if (c == EOF) return -1;
    }
    int n = 0;
    while (c != EOF && c != '\n') {
        if (n >= limit) {
            std::ungetc(c, file);
            break;
        }
        buf[n++] = static_cast<char>(c);
        c = std::fgetc(file);
    }
    if (c == '\n') std::ungetc(c, file);
    buf[n] = '\0';
    return n;
}

}  // namespace

int fgetline(FILE *file, char *buf) { return read_line(file, buf, 160); }

int fgetnline(FILE *file, char *buf, int n) { return read_line(file, buf, n); }

int fgetstring(FILE *file, char *buf, int n) {
    int r = read_line(file, buf, n);
    if (r < 0) return -1;
    return r > 0 ? 1 : 0;
}

float linear_interp(float x, float x1, float y1, float x2, float y2) {
    return y1 + (y2 - y1) * (x - x1) / (x2 - x1);
}

int float2int(float value) {
    // Zero, and values that are no number at all, have no code.
    if (value == 0.0f || !std::isfinite(value)) return 0;
    double a = std::fabs(static_cast<double>(value));
    int e = static_cast<int>(std::log10(a) + 5.0);
    int k = e - 5;
    if (k < 0) {
        for (int i = 0; i < 2 - k; ++i) a *= 10.0;
        k += 10;
    } else if (k == 0) {
        a *= 10.0;
    } else {
        for (int i = 0; i < k - 1; ++i) a /= 10.0;
    }
    // A tiny nudge keeps exact decimal values (0.25 * 1000) from dropping
    // to the integer below through binary rounding.
    int m = static_cast<int>(a + 1e-6) % 100;
    int code = 100 * k + m;
    return value < 0 ? -code : code;
}

int swap_setup(int order) {
    bool little = host_is_little();
    if (order == -1)
        swap_state.on = false;
    else if (order == 1)
        swap_state.on = little;
    else if (order == 2)
        swap_state.on = !little;
    else
        swap_state.on = true;
    return swap_state.on ? 1 : 0;
}

int swap_long(void *p) { return swap_longs(p, 1); }
int swap_short(void *p) { return swap_shorts(p, 1); }

int swap_longs(void *p, int n) {
    if (!swap_state.on) return -1;
    auto *b = static_cast<unsigned char *>(p);
    for (int i = 0; i < n; ++i) reverse(b + 4 * i, 4);
    return 0;
}

int swap_shorts(void *p, int n) {
    if (!swap_state.on) return -1;
    auto *b = static_cast<unsigned char *>(p);
    for (int i = 0; i < n; ++i) reverse(b + 2 * i, 2);
    return 0;
}

int swap_double(void *p) {
    if (!swap_state.on) return -1;
    reverse(static_cast<unsigned char *>(p), 8);
    return 0;
}

int fread_long_swap(FILE *file, void *p) {
    int n = static_cast<int>(std::fread(p, 4, 1, file));
    if (n == 1) swap_long(p);
    return n;
}

int fread_short_swap(FILE *file, void *p) {
    int n = static_cast<int>(std::fread(p, 2, 1, file));
    if (n == 1) swap_short(p);
    return n;
}

int fread_double_swap(FILE *file, void *p) {
    int n = static_cast<int>(std::fread(p, 8, 1, file));
    if (n == 1) swap_double(p);
    return n;
}

int fwrite_long_swap(FILE *file, const void *p) {
    unsigned char b[4];
    std::memcpy(b, p, 4);
    swap_long(b);
    return static_cast<int>(std::fwrite(b, 4, 1, file));
}

int fwrite_short_swap(FILE *file, const void *p) {
    unsigned char b[2];
    std::memcpy(b, p, 2);
    swap_short(b);
    return static_cast<int>(std::fwrite(b, 2, 1, file));
}
