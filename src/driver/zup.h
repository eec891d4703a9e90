// zup.h - shared types, the missing value and the module interfaces of the
// runtime services that every part of raziva uses.
#ifndef ZUP_H
#define ZUP_H

#include <cstddef>
#include <cstdio>
#include <cstring>

// The missing datum everywhere: grid points, sounding fields, indices, Date
// and Domain fields, program flags, attribute fields.
constexpr int MISSING = -9999;
constexpr float MISSING_F = -9999.0f;

inline bool is_missing(float v) { return v == MISSING_F; }
inline bool is_missing(int v) { return v == MISSING; }

// Fixed text-field sizes.
constexpr int FILE_NAME_LEN = 160;  // file names
constexpr int STATION_ID_LEN = 20;  // station identifiers

// The one bounded copy into a fixed-size text field: copies at most
// size-1 bytes and always terminates.  Returns dst.
inline char *copy_field(char *dst, std::size_t size, const char *src) {
    if (!dst || size == 0) return dst;
    if (!src) { dst[0] = '\0'; return dst; }
    std::size_t n = std::strlen(src);
    if (n >= size) n = size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
    return dst;
}
template <std::size_t N>
inline char *copy_field(char (&dst)[N], const char *src) {
    return copy_field(dst, N, src);
}

// One sounding level.  Arrays run from the bottom up (pressure decreasing).
struct UPA_level {
    float p;    // pressure, mb
    float h;    // height above sea level, m
    float t;    // temperature, C
    float td;   // dew point, C
    float dir;  // wind direction, degrees (from)
    float spd;  // wind speed, knots
};

// A broken-down UTC date; -9999 in a field means "not given".
struct Date {
    int year;
    int month;
    int day;
    int jday;   // day of the year from 1
    int wday;   // 0 = Sunday
    int hour;
    int min;
    int sec;
};

// A map projection, thermodynamic diagram, hodograph or x/y plot.
struct Domain {
    int proj;        // projection code; -9999 = no domain
    float plat;      // projection latitude; -9999 = take clat
    float plon;      // projection longitude; -9999 = take clon
    float param[5];  // projection parameters; -9999 = default
    float clat;      // centre latitude, or first corner in data units
    float clon;
    float dx;        // grid spacing in plane units, or data extent
    float dy;
    int nx;          // grid points, or plot size in units
    int ny;
    int ellipse;     // nonzero: ellipsoidal earth (satellite view)
};

// One entry of a numbered menu; a menu ends with an entry whose name is null.
struct MENU_item {
    const char *name;
    const char *abbr;
    int index;
    int disp[10];
};

#include <ctime>
#include <memory>

// ---------------------------------------------------------------------------
// Messages (mess)

// Message classes of the 32-bit level word.
constexpr long MESS_PRINT = 0xF;
constexpr long MESS_ERROR = 0x30;
constexpr long MESS_WARN = 0xC0;
constexpr long MESS_PROGRESS = 0xF00;
constexpr long MESS_OUT1 = 0xF000;
constexpr long MESS_OUT2 = 0xF0000;
constexpr long MESS_OUT3 = 0xF00000;
constexpr long MESS_OUT4 = 0xF000000;
constexpr long MESS_DEBUG = 0xF0000000L;

// Prints a printf-style message when level shares a bit with the mask.
// -> 1 when it went to the screen, else 0.
int MESS_print(long level, const char *format, ...) __attribute__((format(printf, 2, 3)));
int MESS_check(long level);
long MESS_get();
int MESS_check_set();
// mode 0/10/20: mask = all bits up to the highest bit of bits; 1/11/21: add;
// -1/9/19: remove.  Modes below 5 are explicit, above 15 weak.  -> 0
int MESS_set(int mode, long bits);
// Applies a "message" resource value ("mess,+out1a", "fi=run.log", ...). -> 0
int MESS_set_str(const char *text);
int MESS_set_page(int n);
int MESS_get_page();
int MESS_get_max_lines();
// Pauses with text (waits for one character) unless paging is off.  -> 0
int MESS_hold(long level, const char *text);
// Banner: "      title (Ver version)" at level 3840.
int MESS_print_prog(const char *title);
// Extra copy of every shown message; mode as for fopen.  -> 0, -1 on failure
int MESS_file(const char *name, const char *mode);
int MESS_file_close();
int MESS_set_out(int n);
int MESS_get_out();
// Back to the start-up state (mask, paging, files closed).
void MESS_reset();

// ---------------------------------------------------------------------------
// Program flags and plot-part switches (flag)

constexpr int FLAG_COUNT = 30;
constexpr int FLAG_PLOT_COUNT = 13;

int FLAG_get(int n);    // 0 for an index outside 0..29
long FLAG_getl(int n);
int FLAG_set(int n, long v);   // -> 0, or -1 for an index outside 0..29
int FLAG_setl(int n, long v);
int FLAG_reset(long v);
int FLAG_resetl(long v);
int FLAG_batch();        // flag 19 > 0
int FLAG_set_batch(long v);
int FLAG_help();         // flag 20 > 0
// Plot parts: 0 all text (1-6), 1-6 text positions ul uc ur ll lc lr,
// 7 data, 8 map, 9 grid, 10 summary, 11 border, 12 anything.
int FLAG_setplot(int item, int v);
int FLAG_getplot(int item);
int FLAG_resetplot(int v);

// ---------------------------------------------------------------------------
// Prompts and program control (system)

constexpr int ZUP_LINE_LEN = 80;  // a prompt reads at most 79 characters

// One blank-free word of at most len-1 characters; a module-owned buffer of
// len+1 bytes when buf is null.  An empty line leaves buf as it was.
char *ZUP_prompts(const char *prompt, char *buf, int len);
// One word of at most 19 characters (buf of 20 bytes; module-owned 81-byte
// buffer when null).
char *ZUP_promptl(const char *prompt, char *buf);
float ZUP_promptf(const char *prompt);
int ZUP_promptd(const char *prompt);
// "set name=value", "set" (list) or "exit" typed at a prompt.  -> 1 for set
int ZUP_set_command(const char *line);
// Reads one raw line of standard input (at most 79 characters, CR/LF and
// trailing blanks removed).  End of input ends the program as "exit" does.
char *ZUP_read_line(char *buf, int len);

[[noreturn]] void ZUP_exit(int status);
const char *ZUP_version();     // "5.59-LINUX-X11"
// Where an installed program keeps its files: "data" gives the run-time
// files directory (<prefix>/share/raziva), "resource" the directory of the
// installed resource file (<prefix>/zup/etc).  "" when the program does not
// run from an installed tree (<prefix>/bin/raziva), as in the build tree.
const char *ZUP_install_dir(const char *what);
int ZUP_back_proc();           // parent exits 0; child -> 1 (0 on failure)
int ZUP_init_time();
double ZUP_elapse_time();
int ZUP_sleep(double seconds);  // -1 for seconds <= 0

// ---------------------------------------------------------------------------
// Numbered menus (menu).  A menu ends with an entry whose name is null;
// entry 0 is the back entry.  flag bits: 1 exit, 2 back/main, 4 help.

constexpr int MENU_ANSWER_LEN = 20;  // the answer buffer of MENU_process

int MENU_print(const char *title, const MENU_item *menu, int menu_num, int flag);
// -> the chosen index (0 back, -1 exit), or -9999 with string holding the
// typed word.  string must hold MENU_ANSWER_LEN bytes.
int MENU_process(const char *title, const MENU_item *menu, int menu_num,
                 const char *prompt, char *string, int flag);
int MENU_search(const char *text, const MENU_item *menu);

// ---------------------------------------------------------------------------
// Text, line reading and byte order (string, tools)

// Splits text at delim into count pointers into one copy; trailing
// delimiters are dropped, empty inner fields kept.  -> 0, -1 for null/empty.
int parse_string(const char *text, char delim, int *count, char ***list);
void free_parsed_array(int count, char **list);
int stricmp(const char *a, const char *b);
int strnicmp(const char *a, const char *b, int n);
char *fill_string(char *text, char from, char to);
char *trim_string(char *text);
char *trim_cr_string(char *text);
char *wstrim_string(char *text);
int low_string(char *text);
int string_is_num(const char *text);
// Line readers; fgetline's buf must hold 161 bytes, the others n+1.
int fgetline(FILE *file, char *buf);
int fgetnline(FILE *file, char *buf, int n);
int fgetstring(FILE *file, char *buf, int n);
float linear_interp(float x, float x1, float y1, float x2, float y2);
int float2int(float value);
// Byte order: order -1 never swap, 1 big-endian data, 2 little-endian data,
// anything else always swap.
int swap_setup(int order);
int swap_long(void *p);
int swap_longs(void *p, int n);
int swap_short(void *p);
int swap_shorts(void *p, int n);
int swap_double(void *p);
// Read/write one value (4, 2 or 8 bytes) and swap it.  -> items read/written
int fread_long_swap(FILE *file, void *p);
int fread_short_swap(FILE *file, void *p);
int fread_double_swap(FILE *file, void *p);
int fwrite_long_swap(FILE *file, const void *p);
int fwrite_short_swap(FILE *file, const void *p);

// ---------------------------------------------------------------------------
// Dates and times (date)

constexpr int DATE_LABEL_LEN = 80;  // label buffers hold 80 bytes

int DATE_init(Date *date);
int DATE_print(long level, const Date *date);
const char *DATE_month(int m);
const char *DATE_month_lower(int m);
const char *DATE_month_long(int m);
const char *DATE_day_name(int wday);
int DATE_is_leap(int year);
long DATE_num_sec(const Date *date);
long DATE_num_sec_tm(const struct tm *tm);
long DATE_get_time(long *t);
// Fills date from seconds *t (the current time when t is null).  -> 0
int DATE_get_gmdate(const long *t, Date *date);
int DATE_get_current_gmdate(Date *date);
int DATE_get_current_str(char *buf);
int DATE_days_date(int days, int *year, int *month, int *day);
int DATE_julian_monday(int year, int jday, int *month, int *day);
int DATE_monday_julian(int year, int month, int day, int *jday);
int DATE_set_TZ(const char *text);
int DATE_get_tz_off();
const char *DATE_get_tz_str();
int DATE_get_tz_pm();
void DATE_reset_TZ();
int DATE_make_label(const Date *date, char *str);
int DATE_decode_label(const char *str, Date *date);
int DATE_decode_month(const char *text);
char *DATE_fhour_label(char *str, int fhour, int flag);
int DATE_make_label_for_time_mod(int fhour, const char *model, const Date *date, char *str);
int DATE_make_label_for_time(int fhour, int model, const Date *date, char *str);
int DATE_make_label_for(int fhour, int model, long seconds, char *str);
int DATE_make_label_valid_time(int fhour, const Date *date, char *str);

// ---------------------------------------------------------------------------
// File naming conventions, file selection and paths (files)
// Name buffers (out_file, out) hold FILE_NAME_LEN bytes.

int FILE_set_name(const char *type);
int FILE_set_date(const Date *date, char *out_file);
int FILE_hdr_set_date(const Date *date, char *out_file);
int FILE_set_file(const char *file, char *out_file);
long FILE_set_current(const char *cur, char *out_file);
int FILE_get_file(const char *prompt, char *out_file);
int FILE_list_file();
int FILE_get_date(Date *date);
int FILE_set_key(int key, const char *text);
inline int FILE_set_key(const char *key, const char *text) {
    return FILE_set_key(key ? static_cast<unsigned char>(key[0]) : 0, text);
}
// Copies the key value into text (30 bytes).  -> 1 when set, 0 otherwise
int FILE_get_key(int key, char *text);
int FILE_set_time(const Date *date);
int FILE_get_time(Date *date);
int FILE_set_type(int n);
int FILE_set_ext_info(const char *text);
int FILE_extract_extra_info(const char *text);
int FILE_set_min_size(int n);
int FILE_set_late_off(int seconds);
int FILE_get_late_off();
int FILE_set_retry(int n);
int FILE_save_name_conv();
int FILE_restore_name_conv();
// The current template ("" for none) and the extension of a partial match.
const char *FILE_get_conv();
const char *FILE_get_ext();
const char *FILE_get_filename();
// Clears the naming state (template, keys, forced date) to start-up values.
void FILE_reset();

char *FILE_add_path(const char *dir, const char *name, char *out);
// Joins the directory of a path resource ("file_path", "grid_path"...) and a
// name; "none" is the empty path, an unset resource leaves the name alone.
char *FILE_add_res_path(const char *res, const char *name, char *out);
char *FILE_add_path_delim(char *text);   // text must have room for one more byte
int FILE_fullpath(const char *name);     // 1 for "/", "." or "~" at the start
char *FILE_add_user_path(const char *name, char *out);
int FILE_is_stdio(const char *name);
// Opens a file: "", "-", "std", "stdn" = standard input/output; "|cmd" a
// pipe; "~" expanded; missing directories made when writing.  Null on failure.
FILE *FILE_open(const char *name, const char *mode);
// Closes what FILE_open returned (pipes with pclose, standard streams kept).
int FILE_close(FILE *file);
int FILE_exist(const char *name);
long FILE_size(const char *name);
int FILE_is_dir(const char *name);
int FILE_delete(const char *name);
int FILE_make_dir(const char *path);   // makes every missing directory; -> 0
// Confines what the package may do with file names, for untrusted input
// (tests, fuzzing): with a directory, "|command" names are refused and files
// are written, made or deleted only below it.  Null or "" lifts it.  -> 0
int FILE_set_sandbox(const char *dir);

// Owning handle for FILE_open.
struct FileCloser {
    void operator()(FILE *f) const { if (f) FILE_close(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;
inline FilePtr FILE_open_ptr(const char *name, const char *mode) {
    return FilePtr(FILE_open(name, mode));
}

#endif  // ZUP_H
