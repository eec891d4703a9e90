// files.cpp - file-name conventions (templates of date and directory codes),
// typed-name matching, current/latest files, the file prompt, and the path
// utilities every reader and writer uses to open files.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "zup.h"
#include "zupresrc.h"

namespace {

constexpr int kKeyLen = 30;
constexpr int kExtLen = 20;

struct SavedConv {
    char conv[FILE_NAME_LEN] = "";
    char hconv[FILE_NAME_LEN] = "";
    int late_off = 3600;
    char filename[FILE_NAME_LEN] = "";
    int filename_type = 0;
};

struct FileState {
    char conv[FILE_NAME_LEN] = "";
    char hconv[FILE_NAME_LEN] = "";
    char ext[kExtLen] = "";
    char filename[FILE_NAME_LEN] = "";
    int filename_type = 0;
    Date file_date{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
    Date set{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
    char keys[256][kKeyLen] = {};
    int late_off = 3600;
    int min_size = 0;
    int rmin_size = 0;
    int retry = 4;
    int header = 0;
    int file_type = 0;
    char extra[FILE_NAME_LEN] = "";
    char typed_dir[FILE_NAME_LEN] = "";  // directory of a typed full path
    std::vector<std::string> stars;      // texts a typed name gave the "*"s
    SavedConv saved;
    std::set<FILE *> pipes;  // streams opened with popen
    std::string sandbox;     // when set: no commands, writes only below it
};
FileState fs;

}  // namespace

// ---------------------------------------------------------------------------
// Paths

int FILE_is_stdio(const char *name) {
    if (!name || !name[0]) return 1;
    return std::strcmp(name, "-") == 0 || stricmp(name, "std") == 0 || stricmp(name, "stdn") == 0;
}

int FILE_fullpath(const char *name) {
    return name && (name[0] == '/' || name[0] == '.' || name[0] == '~') ? 1 : 0;
}

char *FILE_add_path_delim(char *text) {
    if (!text || !text[0]) return text;
    std::size_t n = std::strlen(text);
    if (text[n - 1] != '/') {
        text[n] = '/';
        text[n + 1] = '\0';
    }
    return text;
}

char *FILE_add_path(const char *dir, const char *name, char *out) {
    if (!out) return out;
    const char *nm = name ? name : "";
    if (FILE_is_stdio(nm) || FILE_fullpath(nm) || !dir || !dir[0]) {
        if (out != nm) copy_field(out, FILE_NAME_LEN, nm);
        return out;
    }
    std::string s = dir;
    if (s.back() != '/') s += '/';
    s += nm;
    copy_field(out, FILE_NAME_LEN, s.c_str());
    return out;
}

char *FILE_add_res_path(const char *res, const char *name, char *out) {
    const char *dir = nullptr;
    RES_getval(res, &dir, CV_path);
    return FILE_add_path(dir, name, out);
}

char *FILE_add_user_path(const char *name, char *out) {
    if (!out) return out;
    const char *nm = name ? name : "";
    if (nm[0] != '~') {
        if (out != nm) copy_field(out, FILE_NAME_LEN, nm);
        return out;
    }
    const char *rest = nm + 1;
    const char *slash = std::strchr(rest, '/');
    std::string user = slash ? std::string(rest, slash) : std::string(rest);
    std::string home;
    if (user.empty()) {
        const char *h = std::getenv("HOME");
        if (h) {
            home = h;
        } else if (struct passwd *pw = getpwuid(getuid())) {
            home = pw->pw_dir;
        }
    } else if (struct passwd *pw = getpwnam(user.c_str())) {
        home = pw->pw_dir;
    } else {
        // An unknown user leaves the name as typed.
        if (out != nm) copy_field(out, FILE_NAME_LEN, nm);
        return out;
    }
    std::string s = home + (slash ? slash : "");
    copy_field(out, FILE_NAME_LEN, s.c_str());
    return out;
}

int FILE_exist(const char *name) {
    if (!name || !name[0]) return 0;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    struct stat sb {};
    return stat(path, &sb) == 0 ? 1 : 0;
}

long FILE_size(const char *name) {
    if (!name || !name[0]) return -1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    struct stat sb {};
    if (stat(path, &sb) != 0) return -1;
    return static_cast<long>(sb.st_size);
}

int FILE_is_dir(const char *name) {
    if (!name || !name[0]) return 0;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    struct stat sb {};
    return stat(path, &sb) == 0 && S_ISDIR(sb.st_mode) ? 1 : 0;
}

int FILE_set_sandbox(const char *dir) {
    fs.sandbox = dir ? dir : "";
    while (fs.sandbox.size() > 1 && fs.sandbox.back() == '/') fs.sandbox.pop_back();
    return 0;
}

namespace {

// false (with a message) when the sandbox forbids changing this path: it
// must lie below the sandbox directory, without any ".." step.
bool sandbox_allows(const char *func, const char *path) {
    if (fs.sandbox.empty()) return true;
    std::string p = path ? path : "";
    bool inside = p.size() > fs.sandbox.size() + 1 &&
                  p.compare(0, fs.sandbox.size(), fs.sandbox) == 0 &&
                  p[fs.sandbox.size()] == '/' && p.find("/../") == std::string::npos &&
                  (p.size() < 3 || p.compare(p.size() - 3, 3, "/..") != 0);
    if (!inside) MESS_print(64, "%s: Not allowed outside %s: %s\n", func, fs.sandbox.c_str(),
                            p.c_str());
    return inside;
}

}  // namespace

int FILE_delete(const char *name) {
    if (!name || !name[0]) return -1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    if (!sandbox_allows("FILE_delete", path)) return -1;
    return unlink(path) == 0 ? 0 : -1;
}

int FILE_make_dir(const char *dir) {
    if (!dir || !dir[0]) return -1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(dir, path);
    if (!sandbox_allows("FILE_make_dir", path)) return -1;
    std::string p = path;
    for (std::size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            std::string part = p.substr(0, i);
            struct stat sb {};
            if (stat(part.c_str(), &sb) == 0) continue;
            if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return -1;
        }
    }
    return 0;
}

FILE *FILE_open(const char *name, const char *mode) {
    const char *m = mode && mode[0] ? mode : "r";
    bool writing = m[0] == 'w' || m[0] == 'a' || std::strchr(m, '+') != nullptr;
    if (FILE_is_stdio(name)) return writing ? stdout : stdin;
    if (name[0] == '|' && !fs.sandbox.empty()) {
        MESS_print(64, "FILE_open: Commands are not allowed: %s\n", name);
        return nullptr;
    }
    if (name[0] == '|') {
        const char *cmd = name + 1;
        while (*cmd == ' ') ++cmd;
        std::fflush(stdout);
        FILE *p = popen(cmd, writing ? "w" : "r");
        if (p) fs.pipes.insert(p);
        return p;
    }
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    if (writing && !sandbox_allows("FILE_open", path)) return nullptr;
    if (writing) {
        const char *slash = std::strrchr(path, '/');
        if (slash && slash != path) {
            std::string dir(path, static_cast<std::size_t>(slash - path));
            if (!FILE_is_dir(dir.c_str())) FILE_make_dir(dir.c_str());
        }
    }
    return std::fopen(path, m);
}

int FILE_close(FILE *file) {
    if (!file) return -1;
    if (file == stdin || file == stdout || file == stderr) {
        std::fflush(file);
        return 0;
    }
    auto it = fs.pipes.find(file);
    if (it != fs.pipes.end()) {
        fs.pipes.erase(it);
        return pclose(file) == -1 ? -1 : 0;
    }
    return std::fclose(file) == 0 ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Keys, forced date and simple state

int FILE_set_key(int key, const char *text) {
    if (key < 0 || key > 255) return -1;
    char *k = fs.keys[key];
    copy_field(k, kKeyLen, text ? text : "");
    fill_string(k, ' ', '_');
    return 0;
}

int FILE_get_key(int key, char *text) {
    if (key < 0 || key > 255) return 0;
    if (text) copy_field(text, kKeyLen, fs.keys[key]);
    return fs.keys[key][0] ? 1 : 0;
}

int FILE_set_time(const Date *date) {
    if (date)
        fs.set = *date;
    else
        DATE_init(&fs.set);
    return 0;
}

int FILE_get_time(Date *date) {
    if (date) *date = fs.set;
    return 0;
}

int FILE_set_type(int n) {
    fs.file_type = n;
    return 0;
}

int FILE_set_ext_info(const char *text) {
    copy_field(fs.ext, text ? text : "");
    return 0;
}

int FILE_extract_extra_info(const char *text) {
    copy_field(fs.extra, text ? text : "");
    return 0;
}

int FILE_set_min_size(int n) {
    fs.rmin_size = n;
    return 0;
}

int FILE_set_late_off(int seconds) {
    if (seconds > 0) fs.late_off = seconds;
    return 0;
}
int FILE_get_late_off() { return fs.late_off; }

int FILE_set_retry(int n) {
    fs.retry = n > 0 ? n : 1;
    return 0;
}

int FILE_save_name_conv() {
    copy_field(fs.saved.conv, fs.conv);
    copy_field(fs.saved.hconv, fs.hconv);
    fs.saved.late_off = fs.late_off;
    copy_field(fs.saved.filename, fs.filename);
    fs.saved.filename_type = fs.filename_type;
    return 0;
}

int FILE_restore_name_conv() {
    copy_field(fs.conv, fs.saved.conv);
    copy_field(fs.hconv, fs.saved.hconv);
    fs.late_off = fs.saved.late_off;
    copy_field(fs.filename, fs.saved.filename);
    fs.filename_type = fs.saved.filename_type;
    return 0;
}

const char *FILE_get_conv() { return fs.conv; }
const char *FILE_get_ext() { return fs.ext; }
const char *FILE_get_filename() { return fs.filename; }

int FILE_get_date(Date *date) {
    if (date) *date = fs.file_date;
    return 0;
}

void FILE_reset() {
    // Open pipes and the sandbox outlive a reset: a reset must not lift
    // the confinement of untrusted input.
    std::set<FILE *> pipes = std::move(fs.pipes);
    std::string sandbox = std::move(fs.sandbox);
    fs = FileState{};
    fs.pipes = std::move(pipes);
    fs.sandbox = std::move(sandbox);
}

// ---------------------------------------------------------------------------
// Naming conventions

namespace {

// Directory codes and the resources behind them.
const char *dir_resource(char code) {
    switch (code) {
    case 'C': return "con_path";
    case 'D': return "data_path";
    case 'F': return "file_path";
    case 'R': return "raw_path";
    case 'G': return "grid_path";
    case 'I': return "image_path";
    case 'W': return "watch_path";
    case 'T': return "text_path";
    case 'M': return "model_path";
    case 'S': return "sat_path";
    default: return nullptr;
    }
}

// The directory a directory code stands for, with a trailing "/".
std::string dir_value(char code) {
    if (fs.typed_dir[0]) return fs.typed_dir;
    const char *v = RES_get(dir_resource(code));
    std::string d = v && v[0] && stricmp(v, "none") != 0 ? v : ".";
    if (d.back() != '/') d += '/';
    return d;
}

// Reads "%N" after a '%': the width N (0 when absent) and the code.
const char *read_code(const char *t, int *n, char *code) {
    *n = 0;
    while (std::isdigit(static_cast<unsigned char>(*t))) {
        if (*n < 10000) *n = *n * 10 + (*t - '0');
        ++t;
    }
    *code = *t;
    return *t ? t + 1 : t;
}

// Reads a "{name}" group after a '%{'; t points after '{'.
const char *read_brace(const char *t, std::string *name) {
    const char *e = std::strchr(t, '}');
    if (!e) {
        *name = t;
        return t + std::strlen(t);
    }
    name->assign(t, static_cast<std::size_t>(e - t));
    return e + 1;
}

// Copies what a template holds besides its "%" codes: braces are dropped,
// blanks become underscores and "%{name}" gives the resource's value (unset
// when it has none).  Returns true when it took something at t, moving t on;
// false at a "%" code.
bool copy_plain(const char *&t, std::string &out, const char *unset) {
    char c = *t;
    if (c == '{' || c == '}') {
        ++t;
        return true;
    }
    if (c != '%') {
        out += c == ' ' ? '_' : c;
        ++t;
        return true;
    }
    if (t[1] != '{') return false;
    std::string name;
    t = read_brace(t + 2, &name);
    const char *v = RES_get(name.c_str());
    out += v ? v : unset;
    return true;
}

// A two-digit year stands for 1950 to 2049.
int full_year(int y) { return y < 100 ? (y < 50 ? y + 2000 : y + 1900) : y; }

std::string two(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%2.2d", v);
    return b;
}

// A negative forced hour -(100*o + i): hours o + k*i.  The offset is taken
// within one step (-1203 gives 0, 3, ..., 21 like -3).
void forced_hour_rule(int forced, int *step, int *offset) {
    int code = forced >= 0 ? 0 : (forced < -100000 ? 100000 : -forced);
    int i = code % 100;
    int o = code / 100;
    if (i < 1) i = 1;
    *step = i;
    *offset = o % i;
}

// Applies the forced fields of the hour resource to a date.  Sets the file
// spacing when a truncation rule is forced.
void apply_forced(Date *d, int *forced_off) {
    const Date &f = fs.set;
    *forced_off = 0;
    if (f.year != MISSING && f.year >= 0) d->year = f.year;
    if (f.month != MISSING && f.month >= 0) d->month = f.month;
    if (f.day != MISSING) {
        if (f.day >= 0) {
            d->day = f.day;
        } else if (d->day != MISSING) {
            int i = -f.day;
            d->day = (d->day / i) * i;
            if (d->day < 1) d->day = 1;
            *forced_off = i * 86400;
        }
    }
    if (f.hour != MISSING) {
        if (f.hour >= 0) {
            d->hour = f.hour;
        } else if (d->hour != MISSING) {
            // The latest of the hours o + k*i at or before the date's hour;
            // before the first of the day, the last one of the day before.
            int i = 0, o = 0;
            forced_hour_rule(f.hour, &i, &o);
            int h = d->hour < 0 ? 0 : (d->hour > 23 ? 23 : d->hour);
            if (h >= o) {
                d->hour = o + ((h - o) / i) * i;
            } else {
                d->hour = o + ((h + 24 - o) / i) * i;
                if (d->hour > 23) d->hour = o + ((23 - o) / i) * i;
                if (d->year != MISSING && d->month != MISSING && d->day != MISSING) {
                    Date c = *d;
                    c.hour = c.min = c.sec = 0;
                    long t = DATE_num_sec(&c) - 86400L;
                    Date prev;
                    DATE_get_gmdate(&t, &prev);
                    d->year = prev.year;
                    d->month = prev.month;
                    d->day = prev.day;
                    d->jday = prev.jday;
                    d->wday = prev.wday;
                }
            }
            *forced_off = i * 3600;
        }
    }
    if (f.min != MISSING) {
        if (f.min >= 0) d->min = f.min;
    }
}

// Seconds of a truncation step of n units; a step longer than the whole
// range of its field (most units) is cut to that range, with a message.
int step_seconds(int n, int unit, int most, const char *tmpl) {
    if (n > most) {
        MESS_print(192, "FILE_set_date: Step %d too long in template %s, %d used\n", n, tmpl,
                   most);
        n = most;
    }
    return n * unit;
}

// Expands tmpl for the date; the date used is written to used.
std::string expand(const char *tmpl, const Date *date, Date *used) {
    Date d;
    if (date)
        d = *date;
    else
        DATE_init(&d);
    int forced_off = 0;
    apply_forced(&d, &forced_off);
    DATE_init(used);
    int step = 0;  // smallest truncation step in seconds
    auto note_step = [&](int secs) {
        if (secs > 0 && (step == 0 || secs < step)) step = secs;
    };
    std::string out;
    std::size_t star = 0;
    for (const char *t = tmpl; *t;) {
        // A "*" stands for the text a typed name matched there.
        if (*t == '*' && star < fs.stars.size()) {
            out += fs.stars[star++];
            ++t;
            continue;
        }
        if (copy_plain(t, out, "")) continue;
        int n;
        char code;
        t = read_code(t + 1, &n, &code);
        int N = n > 0 ? n : 1;
        switch (code) {
        case '%': out += '%'; break;
        case 'Y':
            if (d.year == MISSING) {
                out += "0000";
            } else {
                int y = full_year(d.year);
                y = (y / N) * N;
                used->year = y;
                char b[16];
                std::snprintf(b, sizeof b, "%4.4d", y);
                out += b;
            }
            break;
        case 'y':
            if (d.year == MISSING) {
                out += "00";
            } else {
                int y = full_year(d.year);
                used->year = y;
                out += two(y % 100);
            }
            break;
        case 'm':
            if (d.month == MISSING) {
                out += "00";
            } else {
                used->month = d.month;
                out += two(d.month);
            }
            break;
        case 'b':
            if (d.month == MISSING) {
                out += "xxx";
            } else {
                used->month = d.month;
                out += DATE_month_lower(d.month);
            }
            break;
        case 'd':
            if (d.day == MISSING) {
                out += "00";
            } else {
                int v = (d.day / N) * N;
                used->day = v;
                out += two(v);
                note_step(step_seconds(N, 86400, 31, tmpl));
            }
            break;
        case 'j': {
            int j = d.jday;
            if (d.year != MISSING && d.month != MISSING && d.day != MISSING)
                DATE_monday_julian(d.year, d.month, d.day, &j);
            if (j == MISSING) {
                out += "000";
            } else {
                used->jday = j;
                char b[16];
                std::snprintf(b, sizeof b, "%3.3d", j);
                out += b;
                note_step(86400);
            }
            break;
        }
        case 'h':
            if (d.hour == MISSING) {
                out += "00";
            } else {
                int v = (d.hour / N) * N;
                used->hour = v;
                out += two(v);
                note_step(step_seconds(N, 3600, 744, tmpl));
            }
            break;
        case 'n':
            if (d.min == MISSING) {
                out += "00";
            } else {
                int v = (d.min / N) * N;
                used->min = v;
                out += two(v);
            }
            break;
        case 'e': out += fs.ext; break;
        case '\0': break;
        default:
            if (dir_resource(code)) {
                out += dir_value(code);
            } else {
                const char *k = fs.keys[static_cast<unsigned char>(code)];
                std::string v = k[0] ? k : "0";
                if (n > 0) {
                    v.resize(static_cast<std::size_t>(n), ' ');
                    for (char &ch : v)
                        if (ch == ' ') ch = '_';
                }
                out += v;
            }
            break;
        }
    }
    if (forced_off > 0)
        fs.late_off = forced_off;
    else if (step > 0)
        fs.late_off = step;
    if (used->year != MISSING && used->month != MISSING && used->day != MISSING) {
        int j;
        DATE_monday_julian(used->year, used->month, used->day, &j);
        used->jday = j;
    }
    return out;
}

// Builds the current name into fs.filename and out.
void store_name(const std::string &name, char *out, int literal) {
    copy_field(fs.filename, name.c_str());
    fs.filename_type = literal;
    if (out) copy_field(out, FILE_NAME_LEN, fs.filename);
}

bool template_is_stdio(const char *t) { return FILE_is_stdio(t); }

// Reads count digits at a; -> value or -1.
int take_digits(const char *&a, int count) {
    int v = 0;
    for (int i = 0; i < count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(a[i]))) return -1;
        v = v * 10 + (a[i] - '0');
    }
    a += count;
    return v;
}

// "#yyyy[mm[dd[hh[nn]]]]" digits into a date; -> characters used.
int read_hash_digits(const char *p, Date *d) {
    const char *start = p;
    int v = take_digits(p, 4);
    if (v < 0) return 0;
    d->year = v;
    int *fields[] = {&d->month, &d->day, &d->hour, &d->min};
    for (int *f : fields) {
        v = take_digits(p, 2);
        if (v < 0) break;
        *f = v;
    }
    return static_cast<int>(p - start);
}

// Signed offset "[+|-]D d H:M" or "[+|-]H:M"; no sign means minus.
// -> seconds, with p advanced; 0 and p unchanged when none.
long read_offset(const char *&p) {
    const char *q = p;
    int sign = -1;
    if (*q == '+') {
        sign = 1;
        ++q;
    } else if (*q == '-') {
        ++q;
    }
    if (!std::isdigit(static_cast<unsigned char>(*q)) && *q != ':') return 0;
    long secs = 0;
    long first = 0;
    bool have = false;
    while (std::isdigit(static_cast<unsigned char>(*q))) {
        if (first < 100000) first = first * 10 + (*q - '0');
        ++q;
        have = true;
    }
    if (*q == 'd') {
        secs += first * 86400;
        ++q;
        long h = 0;
        while (std::isdigit(static_cast<unsigned char>(*q))) {
            if (h < 100000) h = h * 10 + (*q - '0');
            ++q;
        }
        secs += h * 3600;
    } else if (have) {
        secs += first * 3600;
    }
    if (*q == ':') {
        ++q;
        long m = 0;
        while (std::isdigit(static_cast<unsigned char>(*q))) {
            if (m < 100000) m = m * 10 + (*q - '0');
            ++q;
        }
        secs += m * 60;
    }
    p = q;
    return sign * secs;
}

long date_seconds(const Date &d) {
    Date c = d;
    if (c.hour == MISSING) c.hour = 0;
    if (c.min == MISSING) c.min = 0;
    if (c.sec == MISSING) c.sec = 0;
    return DATE_num_sec(&c);
}

// Builds the name for the time t (seconds) from the template.
std::string name_for_time(long t) {
    Date d;
    DATE_get_gmdate(&t, &d);
    d.sec = MISSING;
    const char *tmpl = fs.header ? fs.hconv : fs.conv;
    return expand(tmpl, &d, &fs.file_date);
}

bool acceptable(const std::string &name) {
    long size = FILE_size(name.c_str());
    if (size < 0) return false;
    long minimum = fs.rmin_size > 0 ? fs.rmin_size : fs.min_size;
    return size > minimum;
}

// Turns the template into a shell pattern for listing.
std::string template_pattern() {
    std::string out;
    for (const char *t = fs.conv; *t;) {
        if (copy_plain(t, out, "*")) continue;
        int n;
        char code;
        t = read_code(t + 1, &n, &code);
        switch (code) {
        case '%': out += '%'; break;
        case 'Y': out += "?[0-9]??"; break;
        case 'y': case 'm': case 'd': case 'h': case 'n': out += "[0-9]?"; break;
        case 'b': out += "?[a-z]?"; break;
        case 'j': out += "?[0-9]?"; break;
        case 'e': out += fs.ext[0] ? fs.ext : "*"; break;
        case '\0': break;
        default:
            if (dir_resource(code)) {
                out += dir_value(code);
            } else {
                const char *k = fs.keys[static_cast<unsigned char>(code)];
                if (k[0])
                    out += k;
                else if (n > 0)
                    out += std::string(static_cast<std::size_t>(n), '?');
                else
                    out += '*';
            }
            break;
        }
    }
    return out;
}

// Shell-style match of one path component.
bool glob_match(const char *p, const char *s) {
    while (*p) {
        if (*p == '*') {
            while (*p == '*') ++p;
            if (!*p) return true;
            for (const char *q = s; *q; ++q)
                if (glob_match(p, q)) return true;
            return glob_match(p, s + std::strlen(s));
        }
        if (!*s) return false;
        if (*p == '?') {
            ++p;
            ++s;
            continue;
        }
        if (*p == '[') {
            const char *q = p + 1;
            bool neg = *q == '!' || *q == '^';
            if (neg) ++q;
            bool hit = false;
            const char *set_start = q;
            while (*q && (*q != ']' || q == set_start)) {
                if (q[1] == '-' && q[2] && q[2] != ']') {
                    if (*s >= q[0] && *s <= q[2]) hit = true;
                    q += 3;
                } else {
                    if (*s == *q) hit = true;
                    ++q;
                }
            }
            if (!*q) return false;  // unterminated set
            if (hit == neg) return false;
            p = q + 1;
            ++s;
            continue;
        }
        if (*p != *s) return false;
        ++p;
        ++s;
    }
    return *s == '\0';
}

// Expands a pattern of several components into existing paths.
void walk_pattern(const std::string &base, const std::string &rest, std::vector<std::string> &out) {
    if (out.size() > 10000) return;
    std::size_t slash = rest.find('/');
    std::string comp = rest.substr(0, slash);
    std::string tail = slash == std::string::npos ? "" : rest.substr(slash + 1);
    bool last = slash == std::string::npos;
    if (comp.find_first_of("*?[") == std::string::npos) {
        std::string path = base + comp;
        if (last) {
            if (FILE_exist(path.c_str())) out.push_back(path);
        } else {
            walk_pattern(path + "/", tail, out);
        }
        return;
    }
    DIR *dir = opendir(base.empty() ? "." : base.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (struct dirent *e = readdir(dir)) {
        if (e->d_name[0] == '.' && comp[0] != '.') continue;
        if (glob_match(comp.c_str(), e->d_name)) names.emplace_back(e->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string &n : names) {
        if (last)
            out.push_back(base + n);
        else
            walk_pattern(base + n + "/", tail, out);
    }
}

}  // namespace

int FILE_set_name(const char *type) {
    if (!type) return 0;
    fs.ext[0] = '\0';
    fs.stars.clear();
    // Key settings after the kind: ":m=eta:i=den".
    std::string kind = type;
    std::size_t colon = kind.find(':');
    if (colon != std::string::npos && type[0] != '@') {
        std::string keys = kind.substr(colon);
        kind.resize(colon);
        std::size_t pos = 0;
        while (pos < keys.size()) {
            std::size_t next = keys.find(':', pos + 1);
            std::string item = keys.substr(pos + 1, next == std::string::npos ? std::string::npos
                                                                              : next - pos - 1);
            char key = 0;
            char val[FILE_NAME_LEN] = "";
            if (std::sscanf(item.c_str(), "%c=%159[^:]", &key, val) >= 1 && item.size() > 1 &&
                item[1] == '=')
                FILE_set_key(static_cast<unsigned char>(key), val);
            if (next == std::string::npos) break;
            pos = next;
        }
    }
    fs.hconv[0] = '\0';
    fs.min_size = 0;
    if (stricmp(kind.c_str(), "none") == 0) {
        fs.conv[0] = '\0';
        return 1;
    }
    if (kind[0] == '@') {
        copy_field(fs.conv, kind.c_str() + 1);
        return 1;
    }
    const char *res = RES_get("name_conv");
    char path[FILE_NAME_LEN];
    FILE_add_res_path("file_path", res && res[0] ? res : "name_conv", path);
    FilePtr f = FILE_open_ptr(path, "r");
    if (!f || FILE_is_stdio(path)) {
        MESS_print(192, "FILE_set_name: No file name convention file: %s\n", path);
        copy_field(fs.conv, kind.c_str());
        return 0;
    }
    char line[DEF_LINE_LEN];
    std::string p_tmpl, p_hdr, p_name;
    int p_min = 0;
    bool partial = false;
    while (fgetnline(f.get(), line, DEF_LINE_LEN - 1) >= 0) {
        wstrim_string(line);
        const char *l = line;
        while (*l == ' ' || *l == '\t') ++l;
        if (!*l || *l == '#') continue;
        char name[FILE_NAME_LEN] = "", tmpl[FILE_NAME_LEN] = "", hdr[FILE_NAME_LEN] = "";
        int min = 0;
        int got = std::sscanf(l, "%159s %159s %159s %d", name, tmpl, hdr, &min);
        if (got < 2) continue;
        if (got < 4) min = 0;
        if (stricmp(name, kind.c_str()) == 0) {
            MESS_print(0x10000000L, "File name match for: %s\n", kind.c_str());
            copy_field(fs.conv, tmpl);
            copy_field(fs.hconv, got >= 3 && std::strcmp(hdr, "-") != 0 ? hdr : "");
            fs.min_size = min;
            return 1;
        }
        std::size_t nl = std::strlen(name);
        if (!partial && nl < kind.size() && strnicmp(name, kind.c_str(), static_cast<int>(nl)) == 0) {
            partial = true;
            p_name = name;
            p_tmpl = tmpl;
            p_hdr = got >= 3 && std::strcmp(hdr, "-") != 0 ? hdr : "";
            p_min = min;
        }
    }
    if (partial) {
        std::size_t us = kind.rfind('_');
        copy_field(fs.ext, us == std::string::npos ? "" : kind.c_str() + us + 1);
        MESS_print(0x10000000L, "File name partial match for: %s-%s ext: %s\n", p_name.c_str(),
                   kind.c_str(), fs.ext);
        copy_field(fs.conv, p_tmpl.c_str());
        copy_field(fs.hconv, p_hdr.c_str());
        fs.min_size = p_min;
        return 1;
    }
    MESS_print(0x10000000L, "No file name conversion for: %s\n", kind.c_str());
    copy_field(fs.conv, kind.c_str());
    return 0;
}

int FILE_set_date(const Date *date, char *out_file) {
    const char *tmpl = fs.header ? fs.hconv : fs.conv;
    if (!tmpl[0]) {
        if (!fs.filename[0]) copy_field(fs.filename, "filename");
        if (out_file) copy_field(out_file, FILE_NAME_LEN, fs.filename);
        return 1;
    }
    if (template_is_stdio(tmpl)) {
        if (fs.header) {
            if (out_file) copy_field(out_file, FILE_NAME_LEN, "-");
        } else {
            store_name("-", out_file, 0);
        }
        return 0;
    }
    const Date *d = date ? date : &fs.file_date;
    if (d->year == MISSING && fs.filename_type == 1 && fs.filename[0] && !fs.header) {
        if (out_file) copy_field(out_file, FILE_NAME_LEN, fs.filename);
        return 1;
    }
    Date copy = *d;
    Date used;
    std::string name = expand(tmpl, &copy, &used);
    if (!fs.header) fs.file_date = used;
    if (fs.header) {
        if (out_file) copy_field(out_file, FILE_NAME_LEN, name.c_str());
    } else {
        store_name(name, out_file, 0);
    }
    return 0;
}

int FILE_hdr_set_date(const Date *date, char *out_file) {
    if (!fs.hconv[0]) return 0;
    char name[FILE_NAME_LEN] = "";
    Date d = date ? *date : fs.file_date;
    fs.header = 1;
    FILE_set_date(&d, name);
    fs.header = 0;
    if (!name[0]) return 0;
    if (out_file) copy_field(out_file, FILE_NAME_LEN, name);
    return 1;
}

int FILE_set_file(const char *file, char *out_file) {
    DATE_init(&fs.file_date);
    fs.typed_dir[0] = '\0';
    fs.stars.clear();
    std::string answer = file ? file : "";
    if (answer.size() >= FILE_NAME_LEN) answer.resize(FILE_NAME_LEN - 1);
    // Current/latest answers ("la#10", "cu#1999011512") keep their "#".
    bool current = strnicmp(answer.c_str(), "la", 2) == 0 || strnicmp(answer.c_str(), "cu", 2) == 0;
    std::size_t hash = answer.find('#');
    if (hash != std::string::npos && hash > 0 && !current) {
        std::string extra = answer.substr(hash + 1);
        answer.resize(hash);
        if (fs.file_type == 0) {
            Date forced;
            DATE_init(&forced);
            if (read_hash_digits(extra.c_str(), &forced) > 0) FILE_set_time(&forced);
        } else {
            FILE_extract_extra_info(extra.c_str());
        }
    }
    if (stricmp(answer.c_str(), "exit") == 0) ZUP_exit(0);
    if (!answer.empty() && answer[0] == '@') {
        store_name(answer.substr(1), out_file, 1);
        return 0;
    }
    if (FILE_is_stdio(answer.c_str())) {
        store_name("-", out_file, 1);
        return 0;
    }
    if (!fs.conv[0]) {
        store_name(answer, out_file, 1);
        return 0;
    }
    if (answer[0] == '#' || strnicmp(answer.c_str(), "la", 2) == 0 ||
        strnicmp(answer.c_str(), "cu", 2) == 0) {
        const char *cur = answer.c_str();
        if (strnicmp(cur, "cu", 2) == 0) cur += 2;
        FILE_set_current(cur, out_file);
        MESS_print(3840, "Current filename: %s\n", fs.filename);
        return 0;
    }
    if (answer[0] == '/' && fs.conv[0] == '/') {
        store_name(answer, out_file, 1);
        return 0;
    }

    // Match the answer against the template, reading the date codes.
    Date d;
    DATE_init(&d);
    const char *t = fs.conv;
    const char *a = answer.c_str();
    std::string prefix_tmpl;  // template text matched so far
    bool stopped = false;     // a literal did not agree
    while (*t && *a) {
        if (*t == '%') {
            if (t[1] == '{') {
                std::string name;
                const char *next = read_brace(t + 2, &name);
                const char *v = RES_get(name.c_str());
                std::size_t vl = v ? std::strlen(v) : 0;
                if (vl && std::strncmp(a, v, vl) == 0) a += vl;
                prefix_tmpl.append(t, next);
                t = next;
                continue;
            }
            int n;
            char code;
            const char *next = read_code(t + 1, &n, &code);
            const char *save = a;
            int v = -1;
            bool ok = true;
            switch (code) {
            case 'y': v = take_digits(a, 2); if (v >= 0) d.year = full_year(v); else ok = false; break;
            case 'Y': v = take_digits(a, 4); if (v >= 0) d.year = v; else ok = false; break;
            case 'm': v = take_digits(a, 2); if (v >= 0) d.month = v; else ok = false; break;
            case 'd': v = take_digits(a, 2); if (v >= 0) d.day = v; else ok = false; break;
            case 'h': v = take_digits(a, 2); if (v >= 0) d.hour = v; else ok = false; break;
            case 'n': v = take_digits(a, 2); if (v >= 0) d.min = v; else ok = false; break;
            case 'j': v = take_digits(a, 3); if (v >= 0) d.jday = v; else ok = false; break;
            case 'b': {
                char mon[4] = {a[0], a[0] ? a[1] : '\0', a[0] && a[1] ? a[2] : '\0', '\0'};
                int m = std::strlen(mon) == 3 ? DATE_decode_month(mon) : 0;
                if (m > 0) {
                    d.month = m;
                    a += 3;
                } else {
                    ok = false;
                }
                break;
            }
            case 'e': {
                // The extension runs up to the template's next literal.
                char lit = *next;
                const char *end = lit ? std::strchr(a, lit) : a + std::strlen(a);
                if (!end) end = a + std::strlen(a);
                std::string e(a, static_cast<std::size_t>(end - a));
                if (e.size() < kExtLen) copy_field(fs.ext, e.c_str());
                a = end;
                break;
            }
            case '%':
                if (*a == '%') ++a; else ok = false;
                break;
            default:
                if (dir_resource(code)) {
                    const char *slash = std::strrchr(a, '/');
                    if (slash) {
                        std::string dir(a, static_cast<std::size_t>(slash - a + 1));
                        copy_field(fs.typed_dir, dir.c_str());
                        a = slash + 1;
                    }
                } else {
                    // A key field runs up to the template's next literal.
                    char lit = *next;
                    const char *end = lit && lit != '%' ? std::strchr(a, lit) : nullptr;
                    if (n > 0 && std::strlen(a) >= static_cast<std::size_t>(n)) end = a + n;
                    if (end) a = end;
                }
                break;
            }
            if (!ok) {
                a = save;
                stopped = true;
                break;
            }
            prefix_tmpl.append(t, next);
            t = next;
            continue;
        }
        if (*t == '*') {
            const char *next = t + 1;
            char lit = *next;
            const char *end = lit && lit != '%' ? std::strchr(a, lit) : a + std::strlen(a);
            if (!end) {
                stopped = true;
                break;
            }
            fs.stars.emplace_back(a, static_cast<std::size_t>(end - a));
            prefix_tmpl += '*';
            a = end;
            t = next;
            continue;
        }
        if (*t != *a) {
            stopped = true;
            break;
        }
        prefix_tmpl += *t;
        ++t;
        ++a;
    }
    if (d.jday != MISSING && d.year != MISSING)
        DATE_julian_monday(d.year, d.jday, &d.month, &d.day);
    Date used;
    std::string name;
    if ((stopped || !*t) && *a) {
        // The rest of the answer is kept as typed after what matched.
        name = expand(prefix_tmpl.c_str(), &d, &used) + a;
    } else {
        name = expand(fs.conv, &d, &used);
    }
    fs.file_date = used;
    if (d.year == MISSING) fs.file_date = d;
    store_name(name, out_file, 0);
    return 0;
}

long FILE_set_current(const char *cur, char *out_file) {
    // The current and latest files are looked for in the data directories,
    // never in the folder of a full path typed before, and without the
    // texts an earlier typed name gave the "*"s.
    fs.typed_dir[0] = '\0';
    fs.stars.clear();
    const char *p = cur ? cur : "la";
    Date base;
    long now;
    if (*p == '#') {
        DATE_init(&base);
        int used = read_hash_digits(p + 1, &base);
        p += 1 + used;
        now = date_seconds(base);
    } else {
        const char *env = std::getenv("zupcurtime");
        Date e;
        DATE_init(&e);
        if (env && read_hash_digits(env[0] == '#' ? env + 1 : env, &e) > 0)
            now = date_seconds(e);
        else
            now = DATE_get_time(nullptr);
    }
    DATE_get_gmdate(&now, &base);

    // Forced fields step the base time back, then replace its values.
    const Date &f = fs.set;
    Date d = base;
    if (f.month != MISSING && f.month >= 1 && f.month > d.month) --d.year;
    if (f.day != MISSING && f.day >= 1 && f.day > d.day) {
        if (--d.month < 1) {
            d.month = 12;
            --d.year;
        }
    }
    long t = date_seconds(d);
    // A negative forced hour is a truncation rule applied when the name is
    // built; a plain forced hour later than now means yesterday's.
    if (f.hour != MISSING && f.hour >= 0) {
        if (f.hour > d.hour) t -= 86400;
        DATE_get_gmdate(&t, &d);
        d.hour = f.hour;
        if (f.min == MISSING) d.min = 0;
    }
    if (f.min != MISSING && f.min >= 0) {
        if (f.min > d.min) {
            long back = date_seconds(d) - 3600;
            DATE_get_gmdate(&back, &d);
        }
        d.min = f.min;
    }
    if (f.month != MISSING && f.month >= 1) d.month = f.month;
    if (f.day != MISSING && f.day >= 1) d.day = f.day;
    if (f.year != MISSING && f.year >= 0) d.year = f.year;
    t = date_seconds(d);

    t += read_offset(p);

    // Learn the spacing of files from the template.
    std::string name = name_for_time(t);
    if (std::tolower(static_cast<unsigned char>(*p)) == 'l') {
        ++p;
        if (std::tolower(static_cast<unsigned char>(*p)) == 'a') ++p;
        int dir = -1;
        if (*p == '+') {
            dir = 1;
            ++p;
        }
        int steps = 500;
        if (*p == '#') {
            ++p;
            int n = 0;
            while (std::isdigit(static_cast<unsigned char>(*p))) {
                if (n < 100000) n = n * 10 + (*p - '0');
                ++p;
            }
            if (n > 0) steps = n;
        }
        long off = fs.late_off > 0 ? fs.late_off : 3600;
        // Candidates lie on the spacing, shifted by the offset of a forced
        // hour rule (-1224: the 12 UTC files).
        long align = 0;
        if (fs.set.hour != MISSING && fs.set.hour < 0) {
            int step = 1, offset = 0;
            forced_hour_rule(fs.set.hour, &step, &offset);
            align = 3600L * offset;
        }
        t -= (((t - align) % off) + off) % off;
        for (int i = 0; i < steps; ++i) {
            name = name_for_time(t);
            if (acceptable(name) || i + 1 == steps) break;
            t += dir * off;
        }
        t += read_offset(p);
    }
    name = name_for_time(t);
    store_name(name, out_file, 0);
    long off = fs.late_off > 0 ? fs.late_off : 3600;
    return t - ((t % off) + off) % off;
}

int FILE_list_file() {
    if (!fs.conv[0]) return 0;
    std::string pattern = template_pattern();
    MESS_print(0x80000000L, "SEARCH: %s\n", pattern.c_str());
    char expanded[FILE_NAME_LEN];
    FILE_add_user_path(pattern.c_str(), expanded);
    std::string pat = expanded;
    std::vector<std::string> files;
    if (!pat.empty() && pat[0] == '/')
        walk_pattern("/", pat.substr(1), files);
    else
        walk_pattern("", pat, files);
    std::size_t width = 0;
    for (const std::string &f : files) width = std::max(width, f.size());
    width += 2;
    std::size_t per_line = width < 80 ? 80 / width : 1;
    std::size_t col = 0;
    for (const std::string &f : files) {
        if (++col >= per_line || &f == &files.back()) {
            MESS_print(15, "%s\n", f.c_str());
            col = 0;
        } else {
            MESS_print(15, "%-*s", static_cast<int>(width), f.c_str());
        }
    }
    return 0;
}

int FILE_get_file(const char *prompt, char *out_file) {
    char name[FILE_NAME_LEN] = "";
    const char *fres = RES_get("filename");
    if (fres) {
        std::string first = fres;
        std::size_t cut = first.find_first_of("\n,");
        if (cut != std::string::npos) first.resize(cut);
        if (stricmp(first.c_str(), "list") == 0) {
            FILE_list_file();
            ZUP_exit(0);
        }
        FILE_set_file(first.c_str(), name);
        if (out_file) copy_field(out_file, FILE_NAME_LEN, name);
        return FILE_exist(name);
    }
    const char *cur = RES_get("current");
    if (cur || FLAG_batch()) {
        FILE_set_current(cur ? cur : "la", name);
        if (out_file) copy_field(out_file, FILE_NAME_LEN, name);
        if (FILE_exist(name)) {
            MESS_print(3840, "Current filename: %s\n", name);
            return 1;
        }
        MESS_print(192, "File not found: %s\n", name);
        ZUP_exit(10);
    }
    MESS_print(15, "List of available files:\n");
    FILE_list_file();
    MESS_print(15, "\n");
    for (int tries = 0; tries < fs.retry;) {
        char word[ZUP_LINE_LEN] = "";
        ZUP_prompts(prompt, word, ZUP_LINE_LEN - 1);
        if (stricmp(word, "exit") == 0) ZUP_exit(0);
        if (stricmp(word, "list") == 0) {
            FILE_list_file();
            continue;
        }
        ++tries;
        if (!word[0]) {
            MESS_print(192, "File not found: %s\n", word);
            continue;
        }
        if (word[0] == '#' || strnicmp(word, "cu", 2) == 0 || strnicmp(word, "la", 2) == 0) {
            const char *c = strnicmp(word, "cu", 2) == 0 ? word + 2 : word;
            FILE_set_current(c, name);
            MESS_print(3840, "Current filename: %s\n", name);
        } else {
            FILE_set_file(word, name);
        }
        if (out_file) copy_field(out_file, FILE_NAME_LEN, name);
        if (FILE_exist(name)) return 1;
        MESS_print(192, "File not found: %s\n", name);
    }
    ZUP_exit(10);
}
