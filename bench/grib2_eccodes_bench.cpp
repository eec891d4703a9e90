// grib2_eccodes_bench - the eccodes peer of grib2_unpack_bench: every product
// of a file through codes_get_double_array, one thread.
#include <eccodes.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Processor time of this process: steadier than the wall clock on a busy
// machine.
static double cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: grib2_eccodes_bench FILE\n");
        return 1;
    }
    std::FILE *fp = std::fopen(argv[1], "rb");
    if (!fp) {
        std::fprintf(stderr, "grib2_eccodes_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    // BENCH_VERBOSE set: one line per product with the sum of its values.
    const bool verbose = std::getenv("BENCH_VERBOSE") != nullptr;
    codes_grib_multi_support_on(nullptr);
    std::vector<double> vals;
    long products = 0, points = 0;
    double sum = 0, decode = 0;
    auto t0 = Clock::now();
    const double c0 = cpu_seconds();
    int err = 0;
    codes_handle *h;
    while ((h = codes_handle_new_from_file(nullptr, fp, PRODUCT_GRIB, &err)) != nullptr) {
        auto t1 = Clock::now();
        codes_set_double(h, "missingValue", -9999.0);
        std::size_t n = 0;
        codes_get_size(h, "values", &n);
        vals.resize(n);
        if (codes_get_double_array(h, "values", vals.data(), &n) != 0) {
            std::fprintf(stderr, "product %ld: decoding failed\n", products + 1);
            n = 0;
        }
        decode += std::chrono::duration<double>(Clock::now() - t1).count();
        double psum = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (vals[i] != -9999.0) psum += static_cast<float>(vals[i]);
        sum += psum;
        if (verbose) std::printf("%ld %.6e\n", products + 1, psum);
        ++products;
        points += static_cast<long>(n);
        codes_handle_delete(h);
    }
    double total = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = cpu_seconds() - c0;
    std::fclose(fp);
    std::printf("eccodes products %ld points %ld total_s %.3f cpu_s %.3f decode_s %.3f sum %.6e\n",
                products, points, total, cpu, decode, sum);
    return 0;
}
