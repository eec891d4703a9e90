// The station database: the first line is the station answer, the rest
// the database file, read record by record and searched.
#include "fuzz.h"

#include "zupcty.h"

RAZIVA_FUZZ_TARGET(station) {
    std::string query;
    const std::uint8_t *rest = nullptr;
    std::size_t rest_size = 0;
    fuzz::split_first_line(data, size, &query, &rest, &rest_size);
    std::string path = fuzz::put_file("sao.cty", rest, rest_size);
    if (CTY_open_file(path.c_str()) == 0) {
        CTY_data rec;
        char line[512];
        for (int n = 0; n < 2000 && CTY_read(&rec); ++n)
            CTY_format_line(&rec, line, sizeof(line));
        CTY_close_file();
    }
    CTY_data found;
    CTY_get_file(query.c_str(), path.c_str(), &found);
    CTY_decode_line(query.c_str(), &found);
    return 0;
}
