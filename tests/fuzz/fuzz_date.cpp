// Dates and file-name templates: the first line is a date label and a
// time-zone text; the rest is a naming-convention file whose conventions
// are used to build file names for that date.
#include "fuzz.h"

#include <sstream>

#include "zup.h"
#include "zupresrc.h"

RAZIVA_FUZZ_TARGET(date) {
    std::string first;
    const std::uint8_t *rest = nullptr;
    std::size_t rest_size = 0;
    fuzz::split_first_line(data, size, &first, &rest, &rest_size);
    Date date;
    DATE_init(&date);
    DATE_decode_label(first.c_str(), &date);
    DATE_set_TZ(first.c_str());
    char label[256];
    DATE_make_label(&date, label);
    DATE_make_label_valid_time(static_cast<int>(first.size()) * 7 - 300, &date, label);
    DATE_decode_month(first.c_str());
    DATE_reset_TZ();

    fuzz::put_file("name_conv", rest, rest_size);
    RES_put("file_path", fuzz::workdir().c_str());
    FILE_set_key("i", first.c_str());
    std::istringstream kinds(fuzz::text(rest, rest_size, 4096));
    std::string kind;
    for (int n = 0; n < 8 && kinds >> kind; ++n) {
        kinds.ignore(4096, '\n');
        if (FILE_set_name(kind.c_str()) < 0) continue;
        char name[FILE_NAME_LEN];
        FILE_set_date(&date, name);
        FILE_hdr_set_date(&date, name);
    }
    FILE_reset();
    RES_clear();
    return 0;
}
