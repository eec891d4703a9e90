// grib2_unpack_bench - times the decoding of every GRIB edition 2 product of
// a file.
//
//   grib2_unpack_bench FILE         walk the sections here and call the
//                                   packing decoders directly, then spread the
//                                   values over the grid (bitmap)
//   grib2_unpack_bench --grd FILE   read every message through GRD_read
//
// Prints one line: products, points, seconds in all (wall clock and processor
// time), seconds spent decoding, and the sum of the non-missing values (to compare with the eccodes peer).
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "grib2_walk.h"
#include "unpack.h"
#include "zupgrd.h"

namespace {

// Processor time of this process: steadier than the wall clock on a busy
// machine.
double cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

using Clock = std::chrono::steady_clock;

// BENCH_VERBOSE set: one line per product with the sum of its values.
const bool verbose = std::getenv("BENCH_VERBOSE") != nullptr;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int direct(const char *name) {
    std::FILE *fp = std::fopen(name, "rb");
    if (!fp) {
        std::fprintf(stderr, "grib2_unpack_bench: cannot open %s\n", name);
        return 1;
    }
    std::vector<std::uint8_t> msg;
    std::vector<float> grid;
    UNPACK_params p;
    UNPACK_out out;
    long products = 0, points = 0, failures = 0;
    double sum = 0, decode = 0;
    auto t0 = Clock::now();
    const double c0 = cpu_seconds();
    int ed;
    while ((ed = grib2_walk::next_message(fp, msg)) != 0) {
        if (ed != 2) continue;
        grib2_walk::products(msg, [&](const grib2_walk::Product &pr) {
            if (!pr.s3 || !pr.s5 || pr.l3 < 10) return;
            std::size_t npts = grib2_walk::be(pr.s3 + 6, 4);
            auto t1 = Clock::now();
            int rc = UNPACK_read_drs(pr.s5, pr.l5, &p);
            if (rc == 0) rc = UNPACK_data(p, pr.s7 + 5, pr.l7 - 5, npts, &out);
            // Spread over the grid: through the bitmap unless missing
            // values are coded in the data.
            grid.assign(npts, -9999.0f);
            if (rc == 0) {
                const float *v = out.values.data();
                std::size_t nv = out.values.size(), k = 0;
                if (pr.s6 && pr.s6[5] == 0 && !out.miss_managed) {
                    const std::uint8_t *bm = pr.s6 + 6;
                    std::size_t nbits = (pr.l6 - 6) * 8;
                    for (std::size_t i = 0; i < npts && i < nbits && k < nv; ++i)
                        if ((bm[i >> 3] >> (7 - (i & 7))) & 1) grid[i] = v[k++];
                } else {
                    std::memcpy(grid.data(), v, std::min(nv, npts) * sizeof(float));
                }
            } else {
                ++failures;
                std::fprintf(stderr, "product %ld: %s", products + 1, out.msg.c_str());
            }
            decode += seconds(Clock::now() - t1);
            double psum = 0;
            for (float x : grid)
                if (x != -9999.0f) psum += x;
            sum += psum;
            if (verbose) std::printf("%ld %.6e\n", products + 1, psum);
            ++products;
            points += static_cast<long>(npts);
        });
    }
    double total = seconds(Clock::now() - t0);
    const double cpu = cpu_seconds() - c0;
    std::fclose(fp);
    std::printf("direct  products %ld points %ld total_s %.3f cpu_s %.3f decode_s %.3f sum %.6e failures %ld\n",
                products, points, total, cpu, decode, sum, failures);
    return failures ? 2 : 0;
}

int through_grd(const char *name) {
    int type = 0;
    int slot = GRD_open(name, 0, &type);
    if (slot < 0) {
        std::fprintf(stderr, "grib2_unpack_bench: GRD_open failed on %s\n", name);
        return 1;
    }
    GRD_report rec;
    GRD_init(&rec);
    long products = 0, points = 0;
    double sum = 0;
    auto t0 = Clock::now();
    const double c0 = cpu_seconds();
    for (int num = 0;; ++num) {
        int n = num;
        int r = GRD_read(slot, &rec, 0, &n);
        if (r < 0) break;
        if (r > 0 || !rec.grid) continue;
        long npts = static_cast<long>(rec.domain.nx) * rec.domain.ny;
        for (long i = 0; i < npts; ++i)
            if (rec.grid[i] != -9999.0f) sum += rec.grid[i];
        ++products;
        points += npts;
    }
    double total = seconds(Clock::now() - t0);
    const double cpu = cpu_seconds() - c0;
    GRD_free(&rec);
    GRD_close(slot);
    std::printf("grd     products %ld points %ld total_s %.3f cpu_s %.3f sum %.6e\n", products, points,
                total, cpu, sum);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--grd") == 0) return through_grd(argv[2]);
    if (argc == 2) return direct(argv[1]);
    std::fprintf(stderr, "usage: grib2_unpack_bench [--grd] FILE\n");
    return 1;
}
