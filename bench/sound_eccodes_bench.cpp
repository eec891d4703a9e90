// sound_eccodes_bench - the eccodes peer of one sounding: every product of a
// file is looked at, and the ones a sounding needs (height, temperature,
// humidity and wind on pressure levels, surface pressure, 2 m temperature
// and humidity, 10 m wind) at the forecast step are decoded whole with
// codes_get_double_array, as a program built on the eccodes C API would.
//
//   sound_eccodes_bench FILE STEP
//
// Prints the number of products decoded and the sum of their values.
#include <eccodes.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string key(codes_handle *h, const char *name) {
    char buf[64] = "";
    std::size_t len = sizeof buf;
    if (codes_get_string(h, name, buf, &len) != 0) return "";
    return buf;
}

bool needed(codes_handle *h, long step) {
    long s = -1, level = -1;
    if (codes_get_long(h, "step", &s) != 0 || s != step) return false;
    codes_get_long(h, "level", &level);
    const std::string type = key(h, "typeOfLevel"), name = key(h, "shortName");
    if (type == "isobaricInhPa")
        return name == "gh" || name == "t" || name == "r" || name == "u" || name == "v";
    if (type == "surface") return name == "sp";
    if (type == "heightAboveGround" && level == 2) return name == "2t" || name == "2r";
    if (type == "heightAboveGround" && level == 10) return name == "10u" || name == "10v";
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: sound_eccodes_bench FILE STEP\n");
        return 1;
    }
    std::FILE *fp = std::fopen(argv[1], "rb");
    if (!fp) {
        std::fprintf(stderr, "sound_eccodes_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    const long step = std::atol(argv[2]);
    codes_grib_multi_support_on(nullptr);
    std::vector<double> vals;
    long decoded = 0;
    double sum = 0;
    int err = 0;
    codes_handle *h;
    while ((h = codes_handle_new_from_file(nullptr, fp, PRODUCT_GRIB, &err)) != nullptr) {
        if (needed(h, step)) {
            std::size_t n = 0;
            codes_get_size(h, "values", &n);
            vals.resize(n);
            if (codes_get_double_array(h, "values", vals.data(), &n) == 0) {
                ++decoded;
                for (std::size_t i = 0; i < n; ++i) sum += vals[i];
            }
        }
        codes_handle_delete(h);
    }
    std::fclose(fp);
    std::printf("decoded %ld products, sum %.6e\n", decoded, sum);
    return 0;
}
