// resrc.cpp - the resource system: the master definition table, gathering
// values from resource files, the environment and the command line, lookups
// and typed conversions.
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "zup.h"
#include "zupcty.h"
#include "zupresrc.h"

namespace {

// One row of the master table.
struct MasterRow {
    res_type id;
    const char *def;
    const char *cmd;  // option name; null for a positional row
    int pos;
    const char *env;
    DEF_convert cvt;
    const char *synopsis;
    const char *help;  // null: block help of the domain resources
};

constexpr const char *kBlock = nullptr;

const MasterRow kMaster[] = {
    {RES_help, "help", "h", 0, "zuphelp", CV_help, "-h", "Print this help"},
    {RES_batch, "batch", "ba", 0, "zupbatch", CV_batch, "-ba", "Run program in batch mode"},
    {RES_message, "message", "me", 0, "zupmess", CV_mess, "-me level",
     "Message level to be displayed:\n"
     "             none,print,error,warn,mess,out1,*out2,out3,out4,debug"},
    {RES_file_path, "file_path", "fp", 0, "zupfile", CV_path, "-fp path", "File path"},
    {RES_data_path, "data_path", "dp", 0, "zupdata", CV_path, "-dp path", "Raw data path"},
    {RES_con_path, "con_path", "cp", 0, "zupcon", CV_path, "-cp path", "Converted data path"},
    {RES_grid_path, "grid_path", "gp", 0, "zupgrid", CV_path, "-gp path", "Gridded data path"},
    {RES_raw_path, "raw_path", "rp", 0, "zupraw", CV_path, "-rp path", "Raw files path"},
    {RES_image_path, "image_path", "ip", 0, "zupimage", CV_string, "-ip path", "Image file path"},
    {RES_watch_path, "watch_path", "wp", 0, "zupwatch", CV_path, "-wp path",
     "Watch file data path"},
    {RES_text_path, "text_path", "tp", 0, "zuptext", CV_path, "-tp path", "Text file path"},
    {RES_model_path, "model_path", "mp", 0, "zupmpath", CV_path, "-mp path", "Model file path"},
    {RES_sat_path, "sat_path", "sp", 0, "zupsat", CV_path, "-sp path", "Satellite file path"},
    {RES_city_file, "city_file", "cf", 0, "zupcity", CV_string, "-cf file",
     "City database file name"},
    {RES_map_file, "map_file", "mf", 0, "zupmap", CV_string, "-mf file[,file]",
     "Map database files"},
    {RES_name_conv, "name_conv", "nc", 0, "zupnameconv", CV_name, "-nc type",
     "Naming convention file name"},
    {RES_in_file, "in_file", "if", 0, "zupinfile", CV_string, "-if type", "Input data file type"},
    {RES_in_files, "in_file", "if", 0, "zupinfile", CV_string, "-if type[,...]",
     "Input data file type"},
    {RES_out_file, "out_file", "of", 0, "zupoutfile", CV_string, "-of type",
     "Output file type"},
    {RES_file_param, "file_param", "pf", 0, "zupfileparam", CV_file_param, "-pf param",
     "File parameters: use,calc,over,app"},
    {RES_model, "model", "mo", 0, "zupmodel", CV_string, "-mo model", "Specific model to use"},
    {RES_current, "current", "cu", 0, "zupcurrent", CV_current, "-cu [hour]",
     "Use current data file"},
    {RES_hour, "hour", "ho", 0, "zuphour", CV_hour, "-ho hour", "Actual hour of the file"},
    {RES_num_hour, "num_hour", "nh", 0, "zupnumhour", CV_string, "-nh hour[,step]",
     "Number of hours to view"},
    {RES_grid_num, "grid_num", "gn", 0, "zupgridnum", CV_string, "-gn number",
     "Specific grid index in file to use"},
    {RES_grid_type, "grid_type", "gt", 0, "zupgridtype", CV_int, "-gt number",
     "Specific grid type (number) to use"},
    {RES_plot_domain, "plot_domain", "pd", 0, "zupdomain", CV_domain,
     "-pd region or [proj],clat,clon[,nx,ny][,dx,dy]", kBlock},
    {RES_grid_domain, "grid_domain", "gd", 0, "zupgrddomain", CV_domain,
     "-gd region or [proj],clat,clon[,nx,ny][,dx,dy]", kBlock},
    {RES_region, "region", "re", 0, "zupregion", CV_region,
     "-re region or [proj],clat,clon[,nx,ny][,dx,dy]", kBlock},
    {RES_stat_prior, "stat_prior", "pr", 0, "zupprior", CV_int, "-pr prior",
     "Priority of stations used in the plot"},
    {RES_identifier, "identifier", "id", 0, "zupident", CV_string, "-id ident",
     "Specific station identifier"},
    {RES_time, "time", "ft", 0, "zuptime", CV_string, "-ft time",
     "Forecast time to be plotted or contoured"},
    {RES_plot_type, "plot_type", "pl", 0, "zupplot", CV_plot_type, "-pl type",
     "Plot type: cf,lcf,ln,dln,ndln,value,none"},
    {RES_plot_scale, "plot_scale", "sc", 0, "zupscale", CV_float, "-sc scale",
     "Text and wind vector scale factor"},
    {RES_plot_format, "plot_format", "fm", 0, "zupformat", CV_string, "-fm format",
     "Numeric format"},
    {RES_plot_param, "plot_param", "pp", 0, "zuppltparam", CV_string, "-pp param",
     "Plot parameters"},
    {RES_draw, "draw", "dr", 0, "zupdraw", CV_draw, "-dr param[,...]",
     "Draw components: text,data,sum,map,none"},
    {RES_label, "label", "la", 0, "zuplabel", CV_string, "-la label", "Plot labels"},
    {RES_con_interval, "con_interval", "in", 0, "zupconint", CV_float, "-in intrvl",
     "Contour interval"},
    {RES_con_base, "con_base", "cb", 0, "zupconbase", CV_float, "-cb base",
     "Color fill contour/vector base value"},
    {RES_font_list, "font_list", "fl", 0, "zupfontlist", CV_string, "-fl list",
     "List of fonts to use"},
    {RES_color_table, "color_table", "ct", 0, "zupclrtbl", CV_string, "-ct file",
     "Color table file name"},
    {RES_color_text, "color_text", "cot", 0, "zupclrtext", CV_string, "-cot clr", "Text color"},
    {RES_color_data, "color_data", "cod", 0, "zupclrdata", CV_string, "-cod clr",
     "Data plotting color"},
    {RES_color_map, "color_map", "com", 0, "zupclrmap", CV_string, "-com clr", "line map color"},
    {RES_color_grid, "color_grid", "cogr", 0, "zupclrgrid", CV_string, "-cogr clr", "grid color"},
    {RES_color_line, "color_line", "coln", 0, "zupclrln", CV_string, "-coln clr",
     "Lat-lon line color"},
    {RES_color_cmap, "color_cmap", "cocm", 0, "zupclrcmap", CV_string, "-cocm clr",
     "Fill map color"},
    {RES_color_cont, "color_cont", "coco", 0, "zupclrcont", CV_string, "-coco clr",
     "Line contour color"},
    {RES_color_fill, "color_fill", "cof", 0, "zupclrfill", CV_string, "-cof clr[,...]",
     "Fill contour colors"},
    {RES_color_label, "color_label", "cola", 0, "zupclrlab", CV_string, "-cola clr",
     "Line label color"},
    {RES_color_clabel, "color_clabel", "cocl", 0, "zupclrclab", CV_string, "-cocl clr",
     "Fill label color"},
    {RES_color_therm, "color_therm", "coth", 0, "zupclrtherm", CV_string,
     "-coth pclr,tclr,daclr,maclr,mrclr", "Thermodynamic diagram colors"},
    {RES_color_thrmtxt, "color_thrmtxt", "cott", 0, "zupclrthtxt", CV_string,
     "-cott pclr,tclr,daclr,maclr,mrclr", "Thermodynamic diagram text colors"},
    {RES_color_wind, "color_wind", "cowd", 0, "zupclrwind", CV_string, "-cowd clr",
     "Wind barb colors"},
    {RES_color_sound, "color_sound", "cosd", 0, "zupclrsnd", CV_string, "-cosd tclr,tdclr",
     "Sounding colors"},
    {RES_color_hodo, "color_hodo", "coh", 0, "zupclrhodo", CV_string, "-coh dclr,sclr,hclr",
     "Hodograph colors"},
    {RES_color_hodtxt, "color_hodtxt", "coht", 0, "zupclrhdtxt", CV_string,
     "-coht dclr,sclr,hclr", "Hodograph text colors"},
    {RES_device, "device", "de", 0, "zupdevice", CV_device, "-de dev[,name]",
     "Output device: d,p,q,w,m"},
    {RES_title, "title", "ti", 0, "zuptitle", CV_string, "-ti title", "Window title"},
    {RES_icon, "icon", "ic", 0, "zupicon", CV_bool, "-ic", "Open window iconified"},
    {RES_background, "background", "bg", 0, "zupback", CV_string, "-bg clr", "Background color"},
    {RES_geometry, "geometry", "ge", 0, "zupgeometry", CV_string, "-ge wxh+x+y",
     "Window geometry"},
    {RES_filenames, "filename", nullptr, RES_POS_ALL, "zupfilename", CV_strings,
     "file [file...]", "Input file names"},
    // Rows used by other programs of the package.
    {RES_ingestor, "ingestor", "di", 0, "zupingestor", CV_ingestor, "-di ingestor",
     "Data ingestor"},
    {RES_input, "input", "in", 0, "zupin", CV_string, "-in file", "Input file"},
    {RES_inputg, "input", "inp", 0, "zupin", CV_string, "-inp file", "Input file"},
    {RES_output, "output", "ou", 0, "zupout", CV_string, "-ou file", "Output file"},
    {RES_bull_file, "bull_file", "bf", 0, "zupbullfile", CV_string, "-bf file",
     "Bulletin file name"},
    {RES_log_file, "log_file", "lf", 0, "zuplog", CV_string, "-lf file", "Log file name"},
    {RES_decode_hour, "decode_hour", "dh", 0, "zupdecode", CV_string, "-dh hour",
     "Hours of data to decode"},
    {RES_product, "product", "ph", 0, "zupproduct", CV_string, "-ph product", "Product"},
    {RES_forecast, "forecast", "fc", 0, "zupforecast", CV_string, "-fc forecast",
     "Forecast type"},
    {RES_state, "state", "st", 0, "zupstate", CV_string, "-st state", "State"},
    {RES_level, "level", "le", 0, "zuplevel", CV_string, "-le level", "Level"},
    {RES_variable, "variable", "va", 0, "zupvar", CV_string, "-va var", "Variable"},
    {RES_object_param, "object_param", "oa", 0, "zupobject", CV_string, "-oa param",
     "Objective analysis parameters"},
    {RES_parameter, "parameter", "pa", 0, "zupparam", CV_string, "-pa param", "Parameters"},
    {RES_table, "table", "ta", 0, "zuptable", CV_bool, "-ta", "Print as a table"},
    {RES_color_front, "color_front", "cofr", 0, "zupclrfront", CV_string, "-cofr clr",
     "Front color"},
    {RES_color_watch, "color_watch", "cowa", 0, "zupclrwatch", CV_string, "-cowa clr",
     "Watch color"},
    {RES_color_cloud, "color_cloud", "cocd", 0, "zupclrcld", CV_string, "-cocd clr",
     "Cloud color"},
    {RES_color_wx, "color_wx", "cowx", 0, "zupclrwx", CV_string, "-cowx clr", "Weather color"},
    {RES_color_pop, "color_pop", "copp", 0, "zupclrpop", CV_string, "-copp clr",
     "Probability color"},
    {RES_window_num, "window_num", "wn", 0, "zupwindownum", CV_int, "-wn number",
     "Window number"},
    {RES_command, "command", nullptr, RES_POS_ALL, "zupcommand", CV_strings,
     "command [command...]", "Commands"},
    {RES_commands, "command", "cd", 0, "zupcommand", CV_string, "-cd command", "Command"},
    {RES_filename, "filename", nullptr, 1, "zupfilename", CV_strcpy, "file", "Input file name"},
    {RES_values, "value", nullptr, RES_POS_ALL, "zupvalue", CV_strings, "value [value...]",
     "Values"},
};

const MasterRow *master_row(res_type key) {
    for (const MasterRow &r : kMaster)
        if (r.id == key) return &r;
    return nullptr;
}

struct Node {
    int index;
    std::string name;
    std::optional<std::string> data;
    DEF_convert cvt;
};

struct ResState {
    std::list<Node> nodes;        // in order of first setting
    std::vector<RES_defobj> table;  // the running program's definitions
    RES_defobj *defs = nullptr;
    int argc = 0;
    char **argv = nullptr;
    std::string prog;   // last path component of argv[0]
    std::string title;  // from the "name" option
    std::set<std::string> paths;   // converted path texts handed out
    std::vector<std::unique_ptr<char[]>> names;  // progname buffers
};
ResState rs;

Node *find_node(const char *name) {
    if (!name) return nullptr;
    for (Node &n : rs.nodes)
        if (n.name == name) return &n;
    return nullptr;
}

std::string base_name(const char *path) {
    if (!path) return "";
    const char *s = std::strrchr(path, '/');
    return s ? s + 1 : path;
}

bool is_letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// Is arg a keyed option ("-x..." or "--x...")?  Sets the name start.
bool option_start(const char *arg, const char **name) {
    if (!arg || arg[0] != '-') return false;
    const char *p = arg + 1;
    if (*p == '-') ++p;
    if (!is_letter(*p)) return false;
    *name = p;
    return true;
}

bool is_name_option(const std::string &n) {
    return !n.empty() && n.size() <= 4 && strnicmp(n.c_str(), "name", static_cast<int>(n.size())) == 0;
}
bool is_default_option(const std::string &n) {
    return strnicmp(n.c_str(), "default", 7) == 0 || strnicmp(n.c_str(), "df", 2) == 0;
}

// Splits a keyed option at "=" (name cut to 49 characters).
void split_option(const char *name_start, std::string &name, std::optional<std::string> &value) {
    const char *eq = std::strchr(name_start, '=');
    std::size_t len = eq ? static_cast<std::size_t>(eq - name_start) : std::strlen(name_start);
    if (len > 49) len = 49;
    name.assign(name_start, len);
    value.reset();
    if (eq) value = std::string(eq + 1);
}

int row_count() {
    int n = 0;
    if (rs.defs)
        while (rs.defs[n].def) ++n;
    return n;
}

void trace(const char *name, const char *value) {
    MESS_print(0x80000000L, "RESRC: %s=%s\n", name, value ? value : "");
}

// Applies the entries of one resource file to the table.
void read_resource_file(const char *element) {
    if (!DEF_open(element)) return;
    char name[DEF_LINE_LEN];
    char value[DEF_LINE_LEN];
    int nrows = row_count();
    while (DEF_get(name, value)) {
        bool matched = false;
        for (int i = 0; i < nrows; ++i) {
            const RES_defobj &d = rs.defs[i];
            if (!d.def[0]) continue;
            if (DEF_valid(name, d.def)) {
                trace(d.def, value);
                RES_new(i, d.def, value, d.cvt);
                matched = true;
            }
        }
        if (matched) continue;
        const char *last = name;
        for (const char *p = name; *p; ++p)
            if (*p == '.' || *p == '*') last = p + 1;
        if (*last && DEF_valid(name, last)) {
            trace(last, value);
            RES_new(MISSING, last, value, CV_string);
        }
    }
    DEF_close();
}

void read_search_list() {
    const char *list = RES_get("default");
    std::string path = list ? list : ".:/home/zup/etc:/usr/local/zup/etc";
    // An installed program reads its installed resource file before the
    // default list, so that a resource file in the current directory or in
    // /home/zup/etc wins over it; a directory of the list is not read twice.
    std::string installed = list ? "" : ZUP_install_dir("resource");
    if (!installed.empty()) {
        std::string rest;
        for (std::size_t start = 0; start <= path.size();) {
            std::size_t colon = path.find(':', start);
            if (colon == std::string::npos) colon = path.size();
            std::string el = path.substr(start, colon - start);
            if (el != installed && el != installed + "/") rest += ":" + el;
            start = colon + 1;
        }
        path = installed + rest;
    }
    DEF_clear_tags();
    std::vector<std::string> elements;
    std::size_t start = 0;
    for (;;) {
        std::size_t colon = path.find(':', start);
        elements.push_back(path.substr(start, colon == std::string::npos ? std::string::npos
                                                                         : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    for (const std::string &el : elements) {
        if (!el.empty() && el[0] == '+') {
            DEF_add_tag(el.c_str() + 1);
        } else if (!el.empty() && el[0] == '#') {
            // The loop-window program is not part of this package.
            MESS_print(192, "ZUPloop window: %s not running or no message queue exists\n",
                       el.c_str() + 1);
        } else {
            read_resource_file(el.c_str());
        }
    }
}

void read_environment() {
    std::string middle;
    if (rs.title.empty())
        middle = rs.prog;
    else if (rs.title[0] == '+')
        middle = rs.prog + "." + rs.title.substr(1);
    else
        middle = rs.title;
    int nrows = row_count();
    for (int i = 0; i < nrows; ++i) {
        const RES_defobj &d = rs.defs[i];
        if (!d.def[0]) continue;
        std::string v1 = "zup" + middle + "." + d.def;
        std::string v3 = std::string("zup") + d.def;
        const char *val = std::getenv(v1.c_str());
        if (!val && d.env && d.env[0]) val = std::getenv(d.env);
        if (!val) val = std::getenv(v3.c_str());
        if (val) {
            trace(d.def, val);
            RES_new(i, d.def, val, d.cvt);
        }
    }
}

int find_row_for_option(const std::string &name) {
    int nrows = row_count();
    for (int i = 0; i < nrows; ++i)
        if (rs.defs[i].cmd && stricmp(rs.defs[i].cmd, name.c_str()) == 0) return i;
    for (int i = 0; i < nrows; ++i)
        if (rs.defs[i].def[0] && stricmp(rs.defs[i].def, name.c_str()) == 0) return i;
    if (is_name_option(name) || is_default_option(name)) return -1;
    for (int i = 0; i < nrows; ++i)
        if (rs.defs[i].def[0] &&
            strnicmp(rs.defs[i].def, name.c_str(), static_cast<int>(name.size())) == 0)
            return i;
    return -1;
}

void read_command_line(int argc, char **argv) {
    int positional = 0;
    bool all_started = false;
    int nrows = row_count();
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (!arg) continue;
        if (std::strcmp(arg, "--") == 0) continue;
        const char *start = nullptr;
        if (option_start(arg, &start)) {
            std::string name;
            std::optional<std::string> value;
            split_option(start, name, value);
            bool from_next = false;
            const char *dummy = nullptr;
            if (!value && i + 1 < argc && argv[i + 1] && !option_start(argv[i + 1], &dummy)) {
                value = std::string(argv[i + 1]);
                from_next = true;
            }
            int row = find_row_for_option(name);
            if (row >= 0) {
                DEF_convert cvt = rs.defs[row].cvt;
                if (from_next && (cvt == CV_bool || cvt == CV_batch || cvt == CV_help)) {
                    value.reset();
                    from_next = false;
                }
                trace(rs.defs[row].def, value ? value->c_str() : nullptr);
                RES_new(row, rs.defs[row].def, value ? value->c_str() : nullptr, cvt);
            } else {
                RES_new(MISSING, name.c_str(), value ? value->c_str() : nullptr, CV_string);
            }
            if (from_next) ++i;
            continue;
        }
        ++positional;
        int exact = -1;
        int all = -1;
        for (int r = 0; r < nrows; ++r) {
            if (rs.defs[r].cmd) continue;
            if (rs.defs[r].pos == positional && exact < 0) exact = r;
            if (rs.defs[r].pos == RES_POS_ALL && all < 0) all = r;
        }
        if (exact >= 0) {
            RES_new(exact, rs.defs[exact].def, arg, rs.defs[exact].cvt);
        } else if (all >= 0) {
            // The first word replaces any earlier value, later ones append.
            if (all_started)
                RES_append(all, rs.defs[all].def, arg, rs.defs[all].cvt);
            else
                RES_new(all, rs.defs[all].def, arg, rs.defs[all].cvt);
            all_started = true;
        }
    }
}

// Decoders for the conversions that act on process-wide state.

int plot_type_code(const char *w) {
    struct PT {
        const char *word;
        int code;
    };
    static const PT kTypes[] = {
        {"raw", 0},   {"ln", 12},      {"dln", 13},    {"ndln", 14},   {"cf", 15},
        {"lcf", 16},  {"value", 17},   {"gvalue", 17}, {"vect", 21},   {"barb", 22},
        {"strm", 23}, {"stream", 23},  {"an", 54},     {"number", 54}, {"pm", 55},
        {"stuve", 61}, {"skewt", 62},  {"ema", 63},    {"teph", 64},   {"rteph", 65},
        {"hodo", 69}, {"none", 99},
    };
    for (const PT &t : kTypes)
        if (stricmp(w, t.word) == 0) return t.code;
    return MISSING;
}

void apply_draw(const char *text) {
    int count = 0;
    char **items = nullptr;
    if (parse_string(text, ',', &count, &items) != 0) return;
    for (int k = 0; k < count; ++k) {
        const char *it = items[k];
        int on = 1;
        if (*it == '+') {
            ++it;
        } else if (*it == '-') {
            on = 0;
            ++it;
        } else if (k == 0) {
            FLAG_setplot(12, 0);
        }
        struct Part {
            const char *word;
            int item;
        };
        static const Part kParts[] = {
            {"text_ul", 1}, {"text_uc", 2}, {"text_ur", 3}, {"text_ll", 4}, {"text_lc", 5},
            {"text_lr", 6}, {"sum", 10},    {"data", 7},    {"grid", 9},    {"map", 8},
            {"bord", 11},
        };
        if (stricmp(it, "none") == 0) {
            FLAG_setplot(12, 0);
        } else if (stricmp(it, "all") == 0) {
            FLAG_setplot(12, 1);
        } else if (stricmp(it, "text") == 0) {
            FLAG_setplot(0, on);
            FLAG_setplot(11, on);
        } else {
            for (const Part &p : kParts) {
                if (strnicmp(it, p.word, static_cast<int>(std::strlen(p.word))) == 0) {
                    FLAG_setplot(p.item, on);
                    break;
                }
            }
        }
    }
    free_parsed_array(count, items);
}

// Digits of a "#yyyymmddhhmm" text into date fields.
void read_hash_date(const char *p, Date *d) {
    auto take = [&](int n, int *field) {
        char buf[5] = "";
        int k = 0;
        while (k < n && std::isdigit(static_cast<unsigned char>(p[k]))) {
            buf[k] = p[k];
            ++k;
        }
        if (k < n) return false;
        buf[k] = '\0';
        *field = std::atoi(buf);
        p += n;
        return true;
    };
    if (!take(4, &d->year)) return;
    if (!take(2, &d->month)) return;
    if (!take(2, &d->day)) return;
    if (!take(2, &d->hour)) return;
    take(2, &d->min);
}

void apply_hour(const char *text) {
    Date d;
    DATE_init(&d);
    std::size_t len = std::strlen(text);
    bool colon = std::strchr(text, ':') != nullptr;
    bool digit0 = std::isdigit(static_cast<unsigned char>(text[0])) != 0;
    if (text[0] == '#') {
        read_hash_date(text + 1, &d);
    } else if (len == 6 && !colon) {
        std::sscanf(text, "%2d%2d%2d", &d.month, &d.day, &d.hour);
    } else if (len == 4 && digit0 && !colon) {
        std::sscanf(text, "%2d%2d", &d.day, &d.hour);
    } else if (len == 3 && digit0 && !colon) {
        std::sscanf(text, "%1d%2d", &d.day, &d.hour);
    } else if (std::strchr(text, 'd')) {
        std::sscanf(text, "%dd%d:%d", &d.day, &d.hour, &d.min);
    } else if (text[0] == ':') {
        std::sscanf(text, ":%d", &d.min);
    } else if (text[0] == '-' && text[1] == ':') {
        if (std::sscanf(text, "-:%d", &d.min) == 1) d.min = -d.min;
    } else {
        std::sscanf(text, "%d:%d", &d.hour, &d.min);
        if (text[0] == '-' && d.hour == 0) {
            d.hour = MISSING;
            if (d.min != MISSING) d.min = -d.min;
        }
    }
    FILE_set_time(&d);
}

// A number of the text in an int; values beyond its range are clamped.
int to_int(const char *text, int base) {
    long v = std::strtol(text, nullptr, base);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

const char *intern_path(const std::string &s) { return rs.paths.insert(s).first->c_str(); }

}  // namespace

// ---------------------------------------------------------------------------

int RES_fill_obj(RES_defobj *obj, const char *def, const char *env, const char *cmd,
                 DEF_convert cvt, void *out, int *num) {
    if (!obj) return 0;
    obj->def = def;
    obj->env = env;
    obj->cmd = cmd;
    obj->pos = 0;
    obj->cvt = cvt;
    obj->out = out;
    obj->num = num;
    return 1;
}

int RES_enter(RES_defobj *obj, res_type key) {
    if (!obj) return 0;
    const MasterRow *r = master_row(key);
    if (!r) {
        RES_fill_obj(obj, "", "", "", CV_none, nullptr, nullptr);
        return 1;
    }
    RES_fill_obj(obj, r->def, r->env, r->cmd, r->cvt, nullptr, nullptr);
    obj->pos = r->pos;
    return 1;
}

void RES_clear() {
    rs.nodes.clear();
    rs.table.clear();
    rs.defs = nullptr;
    rs.argc = 0;
    rs.argv = nullptr;
    rs.prog.clear();
    rs.title.clear();
    DEF_clear_tags();
    DEF_set_prog("", "");
}

int RES_init(int argc, char **argv, const res_type *res_key, const res_type *res_pos) {
    RES_clear();
    FLAG_reset(MISSING);
    for (int pass = 0; pass < 2; ++pass) {
        const res_type *list = pass == 0 ? res_key : res_pos;
        for (int i = 0; list && list[i] != RES_null; ++i) {
            if (static_cast<int>(rs.table.size()) >= RES_MAX_DEFS - 1) break;
            RES_defobj obj{};
            RES_enter(&obj, list[i]);
            rs.table.push_back(obj);
        }
    }
    RES_defobj end{};
    rs.table.push_back(end);
    RES_decode(argc > 0 && argv ? argv[0] : "", "Zup", argc, argv, rs.table.data());
    if (const char *tz = std::getenv("zuptz")) DATE_set_TZ(tz);
    return 1;
}

int RES_decode(const char *progname, const char * /*class_name*/, int argc, char **argv,
               RES_defobj *def_table) {
    rs.argc = argc;
    rs.argv = argv;
    rs.defs = def_table;
    rs.prog = base_name(progname);
    rs.title.clear();
    DEF_set_prog(rs.prog.c_str(), "");

    if (const char *def = std::getenv("zupdefault")) RES_new(MISSING, "default", def, CV_string);

    // The resource-file search list and the program title come first.
    for (int i = 1; i < argc; ++i) {
        const char *start = nullptr;
        if (!argv[i] || !option_start(argv[i], &start)) continue;
        std::string name;
        std::optional<std::string> value;
        split_option(start, name, value);
        const char *dummy = nullptr;
        if (!value && i + 1 < argc && argv[i + 1] && !option_start(argv[i + 1], &dummy))
            value = std::string(argv[i + 1]);
        if (is_name_option(name)) {
            RES_new(MISSING, "name", value ? value->c_str() : nullptr, CV_string);
            rs.title = value ? *value : "";
            DEF_set_prog(rs.prog.c_str(), rs.title.c_str());
        } else if (is_default_option(name)) {
            RES_new(MISSING, "default", value ? value->c_str() : nullptr, CV_string);
        }
    }

    read_search_list();
    read_environment();
    read_command_line(argc, argv);

    // Start-up conversions, in the order the resources were first set.
    for (Node &n : rs.nodes) {
        if (n.index < 0 || n.index >= row_count()) continue;
        const RES_defobj &d = rs.defs[n.index];
        if (d.cvt == CV_strings && d.out) {
            int count = 0;
            char **list = nullptr;
            if (n.data) parse_string(n.data->c_str(), '\n', &count, &list);
            *static_cast<char ***>(d.out) = list;
            if (d.num) *d.num = count;
            continue;
        }
        if (n.data)
            RES_conv_data(n.data->c_str(), d.out, d.cvt);
        else if (d.cvt == CV_batch || d.cvt == CV_help || d.cvt == CV_mess || d.out)
            RES_conv_data(nullptr, d.out, d.cvt);
    }
    return 0;
}

const char *RES_get(const char *name) {
    Node *n = find_node(name);
    if (!n) return nullptr;
    return n->data ? n->data->c_str() : "";
}

int RES_getval(const char *name, void *data, DEF_convert cvt) {
    Node *n = find_node(name);
    if (!n || !data) return 0;
    return RES_conv_data(n->data ? n->data->c_str() : nullptr, data, cvt);
}

int RES_getvals(const char *name, int *paramc, char ***paramv) {
    if (paramc) *paramc = 0;
    if (paramv) *paramv = nullptr;
    Node *n = find_node(name);
    if (!n || !n->data || !paramc || !paramv) return 0;
    char delim = n->cvt == CV_strings ? '\n' : ',';
    if (parse_string(n->data->c_str(), delim, paramc, paramv) != 0) return 0;
    return *paramc;
}

int RES_put(const char *name, const char *value) {
    return RES_new(MISSING, name, value, CV_string);
}

int RES_new(int index, const char *name, const char *data, DEF_convert cvt) {
    if (!name) return -1;
    Node *n = find_node(name);
    if (!n) {
        rs.nodes.push_back(Node{index, name, std::nullopt, cvt});
        n = &rs.nodes.back();
    }
    n->index = index;
    n->cvt = cvt;
    if (data)
        n->data = std::string(data);
    else
        n->data.reset();
    return 0;
}

int RES_append(int index, const char *name, const char *data, DEF_convert cvt) {
    Node *n = find_node(name);
    if (!n || !n->data || !data) return RES_new(index, name, data, cvt);
    n->index = index;
    n->cvt = cvt;
    *n->data += '\n';
    *n->data += data;
    return 0;
}

int RES_list() {
    for (const Node &n : rs.nodes) {
        if (n.data)
            MESS_print(8, "%s: %s\n", n.name.c_str(), n.data->c_str());
        else
            MESS_print(8, "%s:\n", n.name.c_str());
    }
    return 0;
}

void RES_for_each(void (*fn)(const char *, const char *, void *), void *ctx) {
    if (!fn) return;
    for (const Node &n : rs.nodes) fn(n.name.c_str(), n.data ? n.data->c_str() : nullptr, ctx);
}

const char *RES_get_prog() { return rs.argc > 0 && rs.argv ? rs.argv[0] : nullptr; }

char *RES_get_progname(char *buf) {
    std::string name = base_name(RES_get_prog());
    if (name.empty()) name = "ZUP";
    if (!buf) {
        rs.names.push_back(std::make_unique<char[]>(FILE_NAME_LEN));
        buf = rs.names.back().get();
    }
    copy_field(buf, FILE_NAME_LEN, name.c_str());
    return buf;
}

int RES_set_device(const char *text) {
    if (!text) return 1;
    switch (text[0]) {
    case 'p': case 'P': return 4;
    case 'h': case 'H': case 'q': case 'Q': return 5;
    case 'm': case 'M': return 3;
    case 'w': case 'W': return 6;
    default: return 1;
    }
}

int RES_conv_data(const char *data, void *out, DEF_convert cvt) {
    // Kinds that act on process-wide state need no destination.
    switch (cvt) {
    case CV_mess:
        MESS_set_str(data ? data : "");
        return 1;
    case CV_batch:
        FLAG_set(19, 1);
        if (!MESS_check_set()) MESS_set(0, 255);
        return 1;
    case CV_help:
        FLAG_set(20, 1);
        return 1;
    case CV_hour:
        if (!data || !data[0]) return 0;
        apply_hour(data);
        return 1;
    case CV_file_param:
        if (!data) return 0;
        if (stricmp(data, "use") == 0 || stricmp(data, "reuse") == 0)
            FLAG_set(15, 3);
        else if (stricmp(data, "over") == 0 || stricmp(data, "calc") == 0 ||
                 stricmp(data, "recalc") == 0)
            FLAG_set(15, 1);
        else if (stricmp(data, "app") == 0)
            FLAG_set(15, 2);
        return 1;
    case CV_plot_type: {
        if (!data) return 0;
        int code = plot_type_code(data);
        if (code != MISSING) FLAG_set(11, code);
        return 1;
    }
    case CV_draw:
        if (!data) return 0;
        apply_draw(data);
        return 1;
    case CV_none: case CV_current: case CV_name: case CV_ingestor: case CV_strings:
        return 0;
    default:
        break;
    }
    if (!out) return 0;
    // A resource given without a value converts to 0 (1 for a switch).
    if (!data) {
        switch (cvt) {
        case CV_bool: case CV_int: case CV_color:
            *static_cast<int *>(out) = cvt == CV_bool ? 1 : 0;
            return 1;
        case CV_short: *static_cast<short *>(out) = 0; return 1;
        case CV_long: *static_cast<long *>(out) = 0; return 1;
        case CV_float: *static_cast<float *>(out) = 0.0f; return 1;
        default: data = ""; break;
        }
    }
    bool digit0 = std::isdigit(static_cast<unsigned char>(data[0])) != 0;
    switch (cvt) {
    case CV_bool:
        if (!data[0] || stricmp(data, "true") == 0 || stricmp(data, "on") == 0 ||
            stricmp(data, "yes") == 0)
            *static_cast<int *>(out) = 1;
        else if (stricmp(data, "false") == 0 || stricmp(data, "off") == 0 ||
                 stricmp(data, "no") == 0)
            *static_cast<int *>(out) = 0;
        return 1;
    case CV_int:
        if (digit0 || data[0] == '-' || data[0] == '+') {
            if (data[1] == 'x' || data[1] == 'X')
                *static_cast<int *>(out) = to_int(data, 16);
            else
                *static_cast<int *>(out) = to_int(data, 10);
        }
        return 1;
    case CV_short:
        if (digit0) *static_cast<short *>(out) = static_cast<short>(to_int(data, 10));
        return 1;
    case CV_long:
        if (digit0) *static_cast<long *>(out) = std::strtol(data, nullptr, 10);
        return 1;
    case CV_float:
        *static_cast<float *>(out) = std::strtof(data, nullptr);
        return 1;
    case CV_color:
        *static_cast<int *>(out) = to_int(data, 10);
        return 1;
    case CV_string:
        *static_cast<const char **>(out) = data;
        return 1;
    case CV_strcpy:
        copy_field(static_cast<char *>(out), FILE_NAME_LEN, data);
        return 1;
    case CV_path: {
        std::string p = stricmp(data, "none") == 0 ? "" : data;
        if (!p.empty() && p.back() != '/') p += '/';
        *static_cast<const char **>(out) = intern_path(p);
        return 1;
    }
    case CV_device: {
        const char *comma = std::strchr(data, ',');
        std::string first = comma ? std::string(data, comma) : std::string(data);
        FLAG_set(2, first.empty() ? 1 : RES_set_device(first.c_str()));
        if (comma) *static_cast<const char **>(out) = comma + 1;
        return 1;
    }
    case CV_region:
    case CV_domain:
        // A bare switch leaves the domain as it is.
        if (!data[0]) return 0;
        return DOM_decode(data, static_cast<Domain *>(out));
    default:
        return 0;
    }
}

int RES_help_item(res_type key) {
    const MasterRow *r = master_row(key);
    if (!r) {
        MESS_print(15, "%d\n", static_cast<int>(key));
        return 1;
    }
    if (r->help) {
        MESS_print(15, " %-10s  %s\n", r->synopsis, r->help);
        return 1;
    }
    MESS_print(15, " %-10s\n", r->synopsis);
    if (key == RES_plot_domain)
        MESS_print(15, "             Output plot domain\n");
    else if (key == RES_grid_domain)
        MESS_print(15, "             Grid domain\n");
    else
        MESS_print(15, "             Region to be used for plotting and gridding\n");
    MESS_print(15, "               region=predefined region:\n");
    MESS_print(15, "                  us,ne,at,se,mw,sp,nw,sw,etc\n");
    MESS_print(15, "               proj=projection, clat=central latitude, clon=central longitude,\n");
    MESS_print(15, "               nx,ny=number of gridpoints and dx,dy=grid spacing\n");
    if (key == RES_region) MESS_print(15, "               us,ne,at,se,mw,sp,nw,sw,var\n");
    return 1;
}

int RES_help_print(const char *progname, const res_type *res_key, const res_type *res_pos) {
    const char *prog = progname ? progname : "";
    MESS_print(15, "%s syntax (version:%s)\n", prog, ZUP_version());
    MESS_print(15, "   %s [options...]\n", prog);
    MESS_print(15, "Keyed options...\n");
    MESS_print(15, " %-10s  Resource/defaults file name\n", "-df file");
    MESS_print(15, " %-10s  Program name\n", "-na name");
    for (int i = 0; res_key && res_key[i] != RES_null; ++i) RES_help_item(res_key[i]);
    MESS_print(15, "Positional options...\n");
    for (int i = 0; res_pos && res_pos[i] != RES_null; ++i) RES_help_item(res_pos[i]);
    return 1;
}
