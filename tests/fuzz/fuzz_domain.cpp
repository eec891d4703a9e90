// Domain texts and regions files: the first line is a domain text (and the
// region asked of the file), the rest a regions file.  A domain that
// decodes is set up and a few points go through its projection.
#include "fuzz.h"

#include "zup.h"
#include "zupcty.h"
#include "zupresrc.h"

RAZIVA_FUZZ_TARGET(domain) {
    std::string first;
    const std::uint8_t *rest = nullptr;
    std::size_t rest_size = 0;
    fuzz::split_first_line(data, size, &first, &rest, &rest_size);
    fuzz::put_file("zup.reg", rest, rest_size);
    RES_put("file_path", fuzz::workdir().c_str());
    char found[512];
    DOM_search_file("zup.reg", first.c_str(), found, sizeof(found));
    Domain dom;
    DOM_init(&dom);
    if (DOM_decode(first.c_str(), &dom) == 1 && MAP_domain(&dom) == 0) {
        static const float pts[][2] = {{40, -100}, {90, 0}, {-90, 180}, {0, 0}, {45, -0.1f}};
        for (const auto &p : pts) {
            float x = 0, y = 0, la = 0, lo = 0;
            if (MAP_tran(p[0], p[1], &x, &y) == 0) MAP_untran(x, y, &la, &lo);
            MAP_grid_untran(x, y, &la, &lo);
        }
        DOM_aspect(&dom);
    }
    RES_clear();
    FLAG_reset(MISSING);
    return 0;
}
