// Colour tables and attribute strings: the input is a colour table file,
// and each of its lines is also read as an attribute string.
#include "fuzz.h"

#include <sstream>

#include "colors.h"
#include "gks.h"

RAZIVA_FUZZ_TARGET(color) {
    std::string path = fuzz::put_file("zup.clr", data, size);
    CLR_clear_table();
    CLR_read_table(path.c_str());
    std::istringstream lines(fuzz::text(data, size, 8192));
    std::string line;
    for (int n = 0; n < 64 && std::getline(lines, line); ++n) {
        Gattribs attr;
        ATTRIB_init(&attr);
        ATTRIB_parse(line.c_str(), &attr);
        ATTR_parse_fill_pat(line.c_str());
        ATTR_parse_marker(line.c_str());
        CLR_get_ind(line.c_str());
    }
    CLR_clear_table();
    return 0;
}
