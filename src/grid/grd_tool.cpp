// grd_tool.cpp - grid records, matching a grid to a wanted field, values at
// a point, the input-file set-up and the station and forecast-time prompts
// of the grid programs.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"
#include "zupresrc.h"

namespace {

constexpr long DEBUG = 0xF0000000L;
constexpr int TIME_MENU_SIZE = 40;

// One piece of a mosaic of grid files from "model.lup".
struct MosaicPiece {
    std::string pattern;
    int col;
    int row;
    int grid;
};

struct ToolState {
    // time menu
    bool menu_loaded = false;
    bool prompt_on = true;
    MENU_item menu[TIME_MENU_SIZE];
    std::vector<std::string> names;  // storage of the menu texts read from a file
    std::vector<std::string> abbrs;
    std::vector<std::string> times;  // the last answer, split at commas
    // input file set-up
    std::vector<MosaicPiece> mosaic;
    int mosaic_nx = 1;
    int mosaic_ny = 1;
    bool menu_built = false;
};

ToolState &st() {
    static ToolState s;
    return s;
}

struct BuiltIn {
    const char *name;
    const char *abbr;
    int index;
    int shown;
};

const BuiltIn kTimes[] = {
    {"Initialized", "init", 999, 1}, {"3 hour", "h03", 3, 0},    {"6 hour", "h06", 6, 1},
    {"9 hour", "h09", 9, 0},         {"12 hour", "h12", 12, 1},  {"18 hour", "h18", 18, 1},
    {"24 hour", "h24", 24, 1},       {"30 hour", "h30", 30, 1},  {"36 hour", "h36", 36, 1},
    {"42 hour", "h42", 42, 1},       {"48 hour", "h48", 48, 1},  {"60 hour", "h60", 60, 1},
    {"3 day", "d3", 72, 1},          {"3.5 day", "e3", 84, 1},   {"4 day", "d4", 96, 1},
    {"4.5 day", "e4", 108, 1},       {"5 day", "d5", 120, 1},    {"5.5 day", "e5", 132, 1},
    {"6 day", "d6", 144, 1},         {"6.5 day", "e6", 156, 1},  {"7 day", "d7", 168, 1},
    {"7.5 day", "e7", 180, 1},       {"8 day", "d8", 192, 1},    {"8.5 day", "e8", 204, 1},
    {"9 day", "d9", 216, 1},         {"9.5 day", "e9", 228, 1},  {"10 day", "d0", 240, 1}};

void clear_item(MENU_item &m) {
    m.name = nullptr;
    m.abbr = nullptr;
    m.index = 0;
    for (int &d : m.disp) d = 0;
}

void build_builtin_menu() {
    ToolState &s = st();
    for (MENU_item &m : s.menu) clear_item(m);
    s.menu[0].name = "Back to previous menu";
    s.menu[0].abbr = "back";
    s.menu[0].index = 0;
    int k = 1;
    for (const BuiltIn &b : kTimes) {
        s.menu[k].name = b.name;
        s.menu[k].abbr = b.abbr;
        s.menu[k].index = b.index;
        s.menu[k].disp[0] = b.shown;
        ++k;
    }
    s.menu_built = true;
}

// Whether a display field of the time-menu file shows its entry.
bool shown(const char *disp) {
    if (std::strcmp(disp, "1") == 0) return true;
    if (std::strcmp(disp, "0") == 0) return false;
    int count = 0;
    char **list = nullptr;
    if (parse_string(disp, ',', &count, &list) != 0) return false;
    bool show = false;
    for (int i = 0; i < count && !show; ++i)
        if (strnicmp(list[i], "mo=", 3) == 0 &&
            VAR_menu_display(list[i] + 3, VAR_get_model_str()))
            show = true;
    free_parsed_array(count, list);
    return show;
}

// The model table of the input-file set-up.
struct ModelName {
    const char *model;
    int flag4;  // -9999: unchanged
    const char *pattern;
};
const ModelName kModels[] = {
    {"ngm", 2, "grib_ngm"},     {"ngme", 2, "grib_ngme"}, {"eta", 3, "grib_eta"},
    {"ruc", 4, "grib_ruc"},     {"lfm", 1, "grib_lfm"},   {"avn", 15, "grib_avn"},
    {"mrf", 15, "grib_mrf"},    {"ecmwf", 20, "grib_ecmwf"}, {"sww", 31, "grib_sww"},
    {"sst", 32, "grib_sst"},    {"sca", 33, "grib_sca"}};

// Words of one line of "model.lup" up to a comment word.
std::vector<std::string> line_words(const char *line) {
    std::vector<std::string> words;
    const char *p = line;
    while (*p) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
        if (!*p) break;
        const char *q = p;
        while (*q && *q != ' ' && *q != '\t' && *q != '\r' && *q != '\n') ++q;
        if (*p == '#') break;
        words.emplace_back(p, q);
        p = q;
    }
    return words;
}

// Looks the model string up in "model.lup"; true when found (the mosaic
// and the file name pattern are then set).
bool model_lookup(const std::string &path, const char *model) {
    ToolState &s = st();
    FilePtr f = FILE_open_ptr(path.c_str(), "r");
    if (!f) return false;
    char line[512];
    while (std::fgets(line, sizeof(line), f.get())) {
        std::vector<std::string> w = line_words(line);
        if (w.size() < 3 || !grd_same(w[0].c_str(), model)) continue;
        int nx = 1, ny = 1;
        if (std::sscanf(w[1].c_str(), "%dx%d", &nx, &ny) < 1) nx = 1;
        if (nx < 1) nx = 1;
        if (ny < 1) ny = 1;
        s.mosaic_nx = nx;
        s.mosaic_ny = ny;
        s.mosaic.clear();
        int grid_type = MISSING;
        RES_getval("grid_type", &grid_type, CV_int);
        std::string list = w[2];
        for (std::size_t i = 3; i < w.size(); ++i) list += w[i];
        int count = 0;
        char **items = nullptr;
        if (parse_string(list.c_str(), ',', &count, &items) == 0) {
            for (int i = 0; i < count; ++i) {
                MosaicPiece piece;
                std::string item = items[i];
                piece.grid = grid_type;
                std::size_t hash = item.find('#');
                if (hash != std::string::npos) {
                    piece.grid = std::atoi(item.c_str() + hash + 1);
                    item.resize(hash);
                }
                piece.pattern = item;
                piece.col = i % nx;
                piece.row = i / nx;
                s.mosaic.push_back(piece);
            }
            free_parsed_array(count, items);
        }
        if (!s.mosaic.empty()) FILE_set_name(s.mosaic[0].pattern.c_str());
        return true;
    }
    return false;
}

void set_input_flag(const char *v, bool exact) {
    if (exact ? grd_same(v, "zup") : strnicmp(v, "zup", 3) == 0)
        FLAG_set(17, 3);
    else if (exact ? grd_same(v, "cdf") : strnicmp(v, "cdf", 3) == 0)
        FLAG_set(17, 12);
    else if (grd_same(v, "grib"))
        FLAG_set(17, 23);
    else if (!exact)
        FILE_set_name(v);
}

}  // namespace

// ---------------------------------------------------------------------------
// Grid records

void GRD_init(GRD_report *rec) {
    if (!rec) return;
    rec->grid = nullptr;
    rec->datim[0] = '\0';
    rec->info[0] = '\0';
    rec->units[0] = '\0';
    rec->source = 0;
    rec->model = 0;
    rec->type = 0;
    rec->version = 0;
    rec->time = MISSING;
    rec->ltype = MISSING;
    rec->level = MISSING;
    rec->var = MISSING;
    DATE_init(&rec->date);
    DOM_init(&rec->domain);
}

void GRD_free(GRD_report *rec) {
    if (!rec) return;
    delete[] rec->grid;
    rec->grid = nullptr;
}

bool GRD_alloc(GRD_report *rec, long n) {
    if (!rec) return false;
    GRD_free(rec);
    if (n <= 0) return false;
    rec->grid = new (std::nothrow) float[static_cast<std::size_t>(n)];
    return rec->grid != nullptr;
}

void GRD_set_params(VAR_data *var, int time, int ltype, int level, int param) {
    if (!var) return;
    var->ltype = ltype;
    var->level = level;
    var->var[0] = param;
    for (int i = 1; i < 5; ++i) var->var[i] = 0;
    var->time = time;
}

int GRD_test(const GRD_report *rec, const VAR_data *var, int grid_type) {
    if (!rec || !var) return 0;
    bool ok = false;
    for (int v : var->var)
        if (v != MISSING && v == rec->var) ok = true;
    if (ok && var->ltype != MISSING && var->ltype != rec->ltype) ok = false;
    if (ok && var->level != MISSING && var->level != rec->level) ok = false;
    if (ok && var->time != MISSING) {
        if (var->time >= 1001) {
            if (var->time != rec->time) ok = false;
        } else if (rec->time == MISSING || var->time != rec->time % 1000) {
            ok = false;
        }
    }
    if (ok && grid_type != MISSING && grid_type != rec->type) ok = false;
    int r = ok ? 1 : 0;
    MESS_print(DEBUG,
               "Searching: T-%d:%d LT-%d:%d L-%d:%d V-%d,%d,%d,%d,%d:%d G-%d:%d = %d\n",
               var->time, rec->time, var->ltype, rec->ltype, var->level, rec->level,
               var->var[0], var->var[1], var->var[2], var->var[3], var->var[4], rec->var,
               grid_type, rec->type, r);
    return r;
}

// A latitude-longitude grid whose columns go round the whole circle wraps:
// a point between its last and first columns interpolates across the seam.
// Grids that do not close keep the edge rule.
bool GRD_wraps(const Domain &d) {
    return d.proj == 2 && d.dx > 0 && d.nx > 1 &&
           std::fabs(d.nx * static_cast<double>(d.dx) - 360.0) < 0.1 * d.dx;
}

bool GRD_find_cell(int nx, int ny, float x, float y, GRD_cell *cell, bool wrap) {
    if (nx <= 0 || ny <= 0) return false;
    if (wrap && std::isfinite(x) && x > -nx && x < 2.0f * nx) {
        if (x < 0) x += nx;
        if (x >= nx) x -= nx;
    }
    if (!(x >= 0) || !(y >= 0) || (!wrap && x > nx - 0.9999f) || !(x < nx) || y > ny - 0.9999f)
        return false;
    int i = static_cast<int>(x);
    int j = static_cast<int>(y);
    cell->fx = x - i;
    cell->fy = y - j;
    auto at = [&](int ii, int jj) { return static_cast<long>(nx) * jj + (wrap ? ii % nx : ii); };
    bool col_out = !wrap && i + 1 > nx - 0.9999f;
    bool row_out = j + 1 > ny - 0.9999f;
    cell->idx[0] = at(i, j);
    cell->idx[1] = col_out ? at(i, j) : at(i + 1, j);
    cell->idx[2] = row_out ? at(i, j) : at(i, j + 1);
    cell->idx[3] = (col_out || row_out) ? at(i, j) : at(i + 1, j + 1);
    return true;
}

float GRD_blend(const GRD_cell &cell, const float c[4]) {
    const float fx = cell.fx, fy = cell.fy;
    if (c[0] == MISSING_F || c[1] == MISSING_F || c[2] == MISSING_F || c[3] == MISSING_F)
        return MISSING_F;
    return (1 - fy) * (1 - fx) * c[0] + (1 - fy) * fx * c[1] + fy * (1 - fx) * c[2] +
           fy * fx * c[3];
}

float GRD_get_value(const GRD_report *rec, float x, float y) {
    if (!rec || !rec->grid) return MISSING_F;
    GRD_cell cell;
    if (!GRD_find_cell(rec->domain.nx, rec->domain.ny, x, y, &cell, GRD_wraps(rec->domain)))
        return MISSING_F;
    const float c[4] = {rec->grid[cell.idx[0]], rec->grid[cell.idx[1]], rec->grid[cell.idx[2]],
                        rec->grid[cell.idx[3]]};
    return GRD_blend(cell, c);
}

float GRD_get_value_domain(GRD_report *rec, Domain *dom, float *x, float *y) {
    if (!rec || !x || !y) return MISSING_F;
    float gx = MISSING_F, gy = MISSING_F;
    if (dom && dom->proj != MISSING) {
        float mx = MISSING_F, my = MISSING_F;
        if (MAP_domain_tran(dom, &rec->domain, *x, *y, &mx, &my) != 0) {
            *x = *y = MISSING_F;
            return MISSING_F;
        }
        MAP_domain(&rec->domain);
        MAP_grid_untran(mx, my, &gx, &gy);
        MAP_domain(dom);
    } else {
        MAP_grid_untran(*x, *y, &gx, &gy);
    }
    *x = gx;
    *y = gy;
    if (gx == MISSING_F || gy == MISSING_F) return MISSING_F;
    return GRD_get_value(rec, gx, gy);
}

// ---------------------------------------------------------------------------
// Input file set-up

void GRD_in_file() {
    ToolState &s = st();
    std::string model = "ngm";
    std::string path = grd_lookup_file("model.lup");
    {
        FilePtr f = FILE_open_ptr(path.c_str(), "r");
        if (f) {
            char line[512];
            while (std::fgets(line, sizeof(line), f.get())) {
                std::vector<std::string> w = line_words(line);
                if (!w.empty()) {
                    model = w[0];
                    break;
                }
            }
        }
    }
    s.mosaic.clear();
    s.mosaic_nx = s.mosaic_ny = 1;
    const char *res_model = RES_get("model");
    bool found = false;
    if (res_model && res_model[0]) {
        model = res_model;
        found = model_lookup(path, model.c_str());
    }
    VAR_set_model_str(model.c_str());
    if (!found) {
        const ModelName *hit = nullptr;
        for (const ModelName &m : kModels)
            if (grd_same(m.model, model.c_str())) hit = &m;
        if (hit) {
            FLAG_set(4, hit->flag4);
            FILE_set_name(hit->pattern);
        } else {
            std::string pattern = "grib_" + model;
            FILE_set_name(pattern.c_str());
        }
    }
    int count = 0;
    char **list = nullptr;
    RES_getvals("in_file", &count, &list);
    for (int i = 0; i < count; ++i) set_input_flag(list[i], false);
    free_parsed_array(count, list);
    count = 0;
    list = nullptr;
    RES_getvals("input", &count, &list);
    for (int i = 0; i < count; ++i) set_input_flag(list[i], true);
    free_parsed_array(count, list);
    const char *grid_num = RES_get("grid_num");
    if (grid_num) FILE_set_ext_info(grid_num);
}

int GRD_get_mosaic(int *nx, int *ny) {
    const ToolState &s = st();
    if (nx) *nx = s.mosaic_nx;
    if (ny) *ny = s.mosaic_ny;
    return static_cast<int>(s.mosaic.size());
}

int GRD_get_mosaic_piece(int k, char *pattern, std::size_t size, int *col, int *row,
                         int *grid) {
    const ToolState &s = st();
    if (k < 0 || k >= static_cast<int>(s.mosaic.size())) return 0;
    const MosaicPiece &p = s.mosaic[static_cast<std::size_t>(k)];
    if (pattern) copy_field(pattern, size, p.pattern.c_str());
    if (col) *col = p.col;
    if (row) *row = p.row;
    if (grid) *grid = p.grid;
    return 1;
}

// ---------------------------------------------------------------------------
// Station and time prompts

namespace {

// A station answer: a "lat,lon" pair (2) or an entry of the station
// database (1); 0 when neither.
int resolve_station(const char *text, float *lat, float *lon) {
    float a = MISSING_F, b = MISSING_F;
    int result = 0;
    if (std::sscanf(text, "%f,%f", &a, &b) == 2) {
        result = 2;
    } else {
        CTY_data data{};
        if (CTY_get(text, &data)) {
            a = data.lat;
            b = data.lon;
            result = 1;
        } else {
            a = b = MISSING_F;
        }
    }
    if (lat) *lat = a;
    if (lon) *lon = b;
    return result;
}

// The station answer: the identifier resource, or what is typed at the prompt.
void station_answer(char *text, std::size_t size) {
    const char *res = RES_get("identifier");
    if (res)
        copy_field(text, size, res);
    else
        ZUP_prompts("\nEnter a station or lat,lon: ", text, static_cast<int>(size));
}

void add_station(std::vector<GRD_sound> *list, const char *id, float lat, float lon) {
    list->emplace_back();
    GRD_sound &s = list->back();
    std::memset(&s, 0, sizeof s);
    copy_field(s.id, STATION_ID_LEN, id);
    s.lat = lat;
    s.lon = lon;
}

}  // namespace

int GRD_prompt_id(char *id, float *lat, float *lon) {
    char text[STATION_ID_LEN] = "";
    station_answer(text, sizeof text);
    if (id) copy_field(id, STATION_ID_LEN, text);
    int result = resolve_station(text, lat, lon);
    FILE_set_key("i", text);
    return result;
}

// Extension: an answer "@FILE" names a file of stations, one per line (an
// identifier, a name, a WMO number or "lat,lon"; '#' starts a comment,
// blank lines are passed over).  A line naming no station is reported and
// skipped; the list holds the stations found.  No station of the database
// starts with '@', so every other answer means what it always meant.
int GRD_read_stations(const char *name, std::vector<GRD_sound> *list) {
    FilePtr f = FILE_open_ptr(name, "r");
    if (!f) {
        MESS_print(64, "Unable to open station file: %s\n", name);
        return 0;
    }
    const std::size_t before = list->size();
    char line[512];
    int lineno = 0;
    while (std::fgets(line, sizeof line, f.get())) {
        ++lineno;
        std::size_t len = std::strlen(line);
        bool cut = len > 0 && line[len - 1] != '\n' && !std::feof(f.get());
        if (cut) {  // a line longer than any station: drop its rest
            int c;
            while ((c = std::fgetc(f.get())) != EOF && c != '\n') {
            }
        }
        char *hash = std::strchr(line, '#');
        if (hash) *hash = '\0';
        std::string text = line;
        const char *blank = " \t\r\n";
        text.erase(0, std::min(text.size(), text.find_first_not_of(blank)));
        std::size_t last = text.find_last_not_of(blank);
        text.erase(last == std::string::npos ? 0 : last + 1);
        if (text.empty()) continue;
        for (char &c : text)
            if (static_cast<unsigned char>(c) < ' ') c = ' ';
        float lat = MISSING_F, lon = MISSING_F;
        int r = cut || text.size() >= STATION_ID_LEN ? 0 : resolve_station(text.c_str(), &lat, &lon);
        if (r == 2 && !(lat >= -90 && lat <= 90 && lon >= -360 && lon <= 360)) r = 0;
        if (r == 0) {
            MESS_print(64, "Station not found: %.40s (line %d of %s)\n", text.c_str(), lineno, name);
            continue;
        }
        add_station(list, text.c_str(), lat, lon);
    }
    return static_cast<int>(list->size() - before);
}

int GRD_prompt_stations(std::vector<GRD_sound> *list) {
    char text[FILE_NAME_LEN] = "";
    station_answer(text, sizeof text);
    FILE_set_key("i", text);
    if (text[0] == '@') return GRD_read_stations(text + 1, list);
    float lat = MISSING_F, lon = MISSING_F;
    char id[STATION_ID_LEN] = "";
    copy_field(id, text);
    if (resolve_station(id, &lat, &lon) == 0) return 0;
    add_station(list, id, lat, lon);
    return 1;
}

int GRD_read_time_menu() {
    ToolState &s = st();
    if (!s.menu_built) build_builtin_menu();
    char prog[FILE_NAME_LEN] = "";
    RES_get_progname(prog);
    std::string name = std::string(prog) + ".tim";
    std::string path = grd_lookup_file(name.c_str());
    FilePtr f = FILE_open_ptr(path.c_str(), "r");
    if (!f) {
        // no file: the built-in times, even after a file read earlier
        build_builtin_menu();
        return 0;
    }
    for (int i = 1; i < TIME_MENU_SIZE; ++i) clear_item(s.menu[i]);
    s.names.assign(TIME_MENU_SIZE, std::string());
    s.abbrs.assign(TIME_MENU_SIZE, std::string());
    int k = 1;
    char line[512];
    while (k <= 38 && std::fgets(line, sizeof(line), f.get())) {
        char abbr[9] = "", title[31] = "", disp[40] = "";
        if (std::sscanf(line, "%8s %30s %39s", abbr, title, disp) < 3) continue;
        if (abbr[0] == '#') continue;
        if (!shown(disp)) continue;
        std::string t = title;
        for (char &c : t)
            if (c == '_') c = ' ';
        while (!t.empty() && t.back() == ' ') t.pop_back();
        s.names[k] = t;
        s.abbrs[k] = abbr;
        s.menu[k].name = s.names[k].c_str();
        s.menu[k].abbr = s.abbrs[k].c_str();
        s.menu[k].index = 1;
        s.menu[k].disp[0] = 1;
        ++k;
    }
    clear_item(s.menu[k]);
    return 1;
}

const MENU_item *GRD_get_time_menu() {
    if (!st().menu_built) build_builtin_menu();
    return st().menu;
}

int GRD_set_prompt_time(int val) {
    st().prompt_on = val != 0;
    return 0;
}

int GRD_prompt_time() {
    ToolState &s = st();
    if (!s.menu_loaded) {
        s.menu_loaded = true;
        if (!s.menu_built) build_builtin_menu();
        GRD_read_time_menu();
    }
    if (!s.prompt_on) return 0;
    std::string answer;
    int hour = 0;
    for (;;) {
        const char *res = RES_get("time");
        if (res) {
            char buf[200];
            copy_field(buf, res);
            answer = buf;
            s.prompt_on = false;
        } else {
            char string[MENU_ANSWER_LEN] = "";
            int r = MENU_process("\n        Forecast Time Menu\n", s.menu, 0, "Enter the time: ",
                                 string, 3);
            if (r == 0) return 0;
            if (r < 0 && r != MISSING) ZUP_exit(0);
            answer = string;
        }
        s.times.clear();
        int count = 0;
        char **list = nullptr;
        if (parse_string(answer.c_str(), ',', &count, &list) == 0) {
            for (int i = 0; i < count; ++i) s.times.emplace_back(list[i]);
            free_parsed_array(count, list);
        }
        const char *first = s.times.empty() ? "" : s.times[0].c_str();
        if (VAR_dec_time(first, &hour) != 0) break;
        MESS_print(64, "Invalid forecast time: %s\n", first);
        if (res) return 0;
    }
    FLAG_setl(6, hour);
    return 1;
}
