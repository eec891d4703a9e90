// Resource files and the value conversions: the input is the resource
// file "zup.cfg" of the search list; every resource it sets, and its first
// line as such, go through every conversion kind.
#include "fuzz.h"

#include <vector>

#include "zup.h"
#include "zupresrc.h"

namespace {

constexpr int kLastResource = 114;

void convert_all(const char *text) {
    for (int cvt = CV_bool; cvt <= CV_help; ++cvt) {
        if (cvt == CV_strings) continue;  // a list, not a value
        alignas(16) unsigned char out[4096] = {};
        RES_conv_data(text, out, static_cast<DEF_convert>(cvt));
    }
}

void convert_each(const char *, const char *value, void *) { convert_all(value); }

}  // namespace

RAZIVA_FUZZ_TARGET(resource) {
    const std::string &dir = fuzz::workdir();
    fuzz::put_file("zup.cfg", data, size);
    static std::vector<res_type> keys = [] {
        std::vector<res_type> k;
        for (int i = 1; i <= kLastResource; ++i) k.push_back(static_cast<res_type>(i));
        k.push_back(RES_null);
        return k;
    }();
    static const res_type pos[] = {RES_filenames, RES_null};
    std::string df = dir;
    char prog[] = "raziva", opt[] = "-df";
    char *argv[] = {prog, opt, df.data(), nullptr};
    RES_clear();
    RES_init(3, argv, keys.data(), pos);
    RES_for_each(convert_each, nullptr);
    std::string first;
    const std::uint8_t *rest = nullptr;
    std::size_t rest_size = 0;
    fuzz::split_first_line(data, size, &first, &rest, &rest_size);
    convert_all(first.c_str());
    RES_clear();
    MESS_reset();
    FLAG_reset(MISSING);
    FILE_reset();
    DATE_reset_TZ();
    return 0;
}
