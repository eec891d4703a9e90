// Stroke-font files.
#include "fuzz.h"

#include "gks.h"

RAZIVA_FUZZ_TARGET(font) {
    std::string path = fuzz::put_file("fuzz.fnt", data, size);
    read_font(path.c_str());
    return 0;
}
