// sound_bench - time of one sounding extraction from a grid file, against
// decoding every message of the same file, and against the extraction from
// whole fields on one thread (the partial decoding and the threads off).
//
//   sound_bench FILE [LAT LON HOUR [REPEAT]]
//
// Without arguments the NAM sample of the tests is used four times over
// (388 messages) at 40N 100W, 24 hours.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "grd_points.h"
#include "zup.h"
#include "zupgrd.h"
#include "zupresrc.h"
#include "zupupa.h"

namespace {

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

std::string default_file() {
    std::string src = std::string(RAZIVA_DATA_DIR) + "/../tests/data/grid/eta_grib1.grb";
    std::string dst = "/tmp/sound_bench_388.grb";
    FILE *in = std::fopen(src.c_str(), "rb");
    FILE *out = std::fopen(dst.c_str(), "wb");
    if (!in || !out) {
        if (in) std::fclose(in);
        if (out) std::fclose(out);
        return src;
    }
    std::string bytes;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), in)) > 0) bytes.append(buf, n);
    for (int i = 0; i < 4; ++i) std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(in);
    std::fclose(out);
    return dst;
}

}  // namespace

int main(int argc, char **argv) {
    std::string file = argc > 1 ? argv[1] : default_file();
    float lat = argc > 3 ? static_cast<float>(std::atof(argv[2])) : 40.0f;
    float lon = argc > 3 ? static_cast<float>(std::atof(argv[3])) : -100.0f;
    long hour = argc > 4 ? std::atol(argv[4]) : 24;
    int repeat = argc > 5 ? std::atoi(argv[5]) : 20;
    if (repeat < 1) repeat = 1;

    FLAG_reset(MISSING);
    RES_put("file_path", RAZIVA_DATA_DIR);
    MESS_set(0, 0x30);  // errors only
    FLAG_setl(6, hour);

    int type = 0;
    int slot = GRD_open(file.c_str(), 0, &type);
    if (slot < 0) {
        std::fprintf(stderr, "cannot open %s\n", file.c_str());
        return 1;
    }
    GRD_report rec;
    GRD_init(&rec);
    int messages = 0;
    double t0 = now_ms();
    for (int m = 0;; ++m) {
        int num = m;
        if (GRD_read(slot, &rec, 1, &num) != 0) break;
        ++messages;
    }
    double scan = now_ms() - t0;
    t0 = now_ms();
    for (int m = 0;; ++m) {
        int num = m;
        if (GRD_read(slot, &rec, 0, &num) != 0) break;
    }
    double decode_all = now_ms() - t0;
    GRD_free(&rec);

    static UPA_level lev[300];
    int num = 0;
    float sfcp = 0;
    int ok = GRD_get_sound(slot, lat, lon, lev, &num, &sfcp);  // warm the caches
    t0 = now_ms();
    for (int r = 0; r < repeat; ++r) GRD_get_sound(slot, lat, lon, lev, &num, &sfcp);
    double per = (now_ms() - t0) / repeat;
    GRD_use_partial(0);
    GRD_set_pool_threads(0);
    t0 = now_ms();
    for (int r = 0; r < repeat; ++r) GRD_get_sound(slot, lat, lon, lev, &num, &sfcp);
    double whole = (now_ms() - t0) / repeat;
    GRD_close(slot);

    std::printf("file: %s\n", file.c_str());
    std::printf("messages: %d\n", messages);
    std::printf("sounding: %s, %d levels, surface %.1f mb\n", ok ? "made" : "not made", num,
                static_cast<double>(sfcp));
    std::printf("header-only scan of the file: %.2f ms\n", scan);
    std::printf("decoding every message:       %.2f ms\n", decode_all);
    std::printf("one sounding extraction:      %.2f ms (mean of %d)\n", per, repeat);
    std::printf("the same from whole fields:   %.2f ms (one thread)\n", whole);
    return 0;
}
