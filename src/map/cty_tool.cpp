// cty_tool.cpp - station lookup in the station database by identifier,
// name or five-digit WMO number.

#include <cstdio>
#include <cstring>
#include <string>

#include "zupcty.h"
#include "zupresrc.h"

namespace {

// Does record d answer to text?  Names are stored with underscores for
// blanks, so a typed blank matches an underscore.
bool matches(const CTY_data &d, const char *text) {
    if (stricmp(d.id, text) == 0) return true;
    std::string name = text;
    for (char &c : name)
        if (c == ' ') c = '_';
    if (stricmp(d.name, name.c_str()) == 0) return true;
    if (d.wmo > 0 && d.wmo <= 99999) {
        char num[16];
        std::snprintf(num, sizeof num, "%05d", d.wmo);
        if (std::strcmp(num, text) == 0) return true;
    }
    return false;
}

int search(const char *text, const char *file, CTY_data *data) {
    if (CTY_open_file(file) != 0) return 0;
    MESS_print(3840, "Searching the city database file for: %s ...\n", text);
    CTY_data d{};
    int found = 0;
    while (CTY_read(&d)) {
        if (matches(d, text)) {
            found = 1;
            if (data) *data = d;
            break;
        }
    }
    CTY_close_file();
    return found;
}

}  // namespace

int CTY_get(const char *text, CTY_data *data, const char *def_file) {
    if (!text || !*text) return 0;
    const char *file = RES_get("city_file");
    if (file && stricmp(file, "none") == 0) return 0;
    if (!file || !*file) file = (def_file && *def_file) ? def_file : "sao.cty";
    return search(text, file, data);
}

int CTY_get_file(const char *text, const char *file, CTY_data *data) {
    if (!text || !*text || !file || !*file) return 0;
    return search(text, file, data);
}
