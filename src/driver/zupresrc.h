// zupresrc.h - resource identifiers, conversion kinds and the resource
// system's interface.
#ifndef ZUPRESRC_H
#define ZUPRESRC_H

#include "zup.h"

// Every resource any program of the package may accept.  The identifier only
// picks the row of the master definition table; lookups are by name.
enum res_type {
    RES_null = 0,
    RES_age = 1,
    RES_background = 2,
    RES_batch = 3,
    RES_bin_path = 4,
    RES_bull_file = 5,
    RES_city_file = 6,
    RES_color_cgrid = 7,
    RES_color_clabel = 8,
    RES_color_cloud = 9,
    RES_color_cmap = 10,
    RES_color_cont = 11,
    RES_color_conts = 12,
    RES_color_data = 13,
    RES_color_echo = 14,
    RES_color_fill = 15,
    RES_color_front = 16,
    RES_color_grid = 17,
    RES_color_hodo = 18,
    RES_color_hodtxt = 19,
    RES_color_label = 20,
    RES_color_labels = 21,
    RES_color_line = 22,
    RES_color_map = 23,
    RES_color_pop = 24,
    RES_color_rep = 25,
    RES_color_sound = 26,
    RES_color_table = 27,
    RES_color_text = 28,
    RES_color_therm = 29,
    RES_color_thrmtxt = 30,
    RES_color_wind = 31,
    RES_color_wx = 32,
    RES_command = 33,
    RES_commands = 34,
    RES_con_base = 35,
    RES_con_bases = 36,
    RES_con_interval = 37,
    RES_con_intervals = 38,
    RES_con_path = 39,
    RES_current = 40,
    RES_data_path = 41,
    RES_data_src = 42,
    RES_default = 43,
    RES_draw = 44,
    RES_decode_hour = 45,
    RES_device = 46,
    RES_file_param = 47,
    RES_file_path = 48,
    RES_filename = 49,
    RES_filenames = 50,
    RES_font_list = 51,
    RES_forecast = 52,
    RES_geometry = 53,
    RES_grid_num = 54,
    RES_grid_path = 55,
    RES_grid_type = 56,
    RES_help = 57,
    RES_hour = 58,
    RES_icon = 59,
    RES_identifier = 60,
    RES_identifiers = 61,
    RES_identifierp = 62,
    RES_image_path = 63,
    RES_in_file = 64,
    RES_in_files = 65,
    RES_ingest_port = 66,
    RES_ingestor = 67,
    RES_input = 68,
    RES_label = 69,
    RES_labels = 70,
    RES_level = 71,
    RES_map_file = 72,
    RES_message = 73,
    RES_model = 74,
    RES_name = 75,
    RES_name_conv = 76,
    RES_num_grid = 77,
    RES_num_hour = 78,
    RES_object_param = 79,
    RES_out_file = 80,
    RES_out_files = 81,
    RES_output = 82,
    RES_parameter = 83,
    RES_plot_domain = 84,
    RES_plot_format = 85,
    RES_plot_param = 86,
    RES_plot_range = 87,
    RES_plot_scale = 88,
    RES_plot_type = 89,
    RES_plot_types = 90,
    RES_position = 91,
    RES_product = 92,
    RES_program = 93,
    RES_raw_path = 94,
    RES_read_conf = 95,
    RES_region = 96,
    RES_save_param = 97,
    RES_stat_prior = 98,
    RES_state = 99,
    RES_table = 100,
    RES_time = 101,
    RES_title = 102,
    RES_unit = 103,
    RES_values = 104,
    RES_variable = 105,
    RES_watch_path = 106,
    RES_window_num = 107,
    RES_color_watch = 108,
    RES_log_file = 109,
    RES_grid_domain = 110,
    RES_inputg = 111,
    RES_text_path = 112,
    RES_model_path = 113,
    RES_sat_path = 114
};

// How a resource's text is turned into a typed value.
enum DEF_convert {
    CV_none = 0,
    CV_bool = 1,       // int: 1 for no value/true/on/yes, 0 for false/off/no
    CV_int = 2,        // int (decimal, or hexadecimal after 0x)
    CV_short = 3,      // short
    CV_long = 4,       // long
    CV_float = 5,      // float
    CV_string = 6,     // const char *: the resource's own text
    CV_strcpy = 7,     // char[FILE_NAME_LEN]: a bounded copy of the text
    CV_path = 8,       // const char *: directory with a trailing "/", "" for none
    CV_mess = 9,       // applies the message settings
    CV_draw = 10,      // sets the plot-part switches
    CV_current = 11,   // no conversion
    CV_hour = 12,      // file hour/offset handed to FILE_set_time
    CV_region = 13,    // Domain
    CV_name = 14,      // no conversion
    CV_ingestor = 15,  // no conversion
    CV_file_param = 16,  // program flag 15
    CV_device = 17,    // flag 2; const char *: text after the first comma
    CV_plot_type = 18,   // program flag 11
    CV_color = 19,     // int
    CV_domain = 20,    // Domain
    CV_strings = 21,   // no conversion (a newline separated list)
    CV_batch = 22,     // program flag 19 and the batch message mask
    CV_help = 23       // program flag 20
};

// Positional rows: a command-line word without an option goes to the row
// whose position is its count (1 to 9), or to the row taking every word.
constexpr int RES_POS_ALL = 10;

// One accepted resource of the running program.
struct RES_defobj {
    const char *def;   // resource name; null ends the table
    const char *env;   // environment variable
    const char *cmd;   // option name without the dash; null for positional
    int pos;           // 0 keyed; 1-9 the n-th positional word; 10 every one
    DEF_convert cvt;   // conversion kind
    void *out;         // where a start-up conversion stores its result
    int *num;          // count for CV_strings results
};

constexpr int RES_MAX_DEFS = 75;  // rows of a program's definition table

// Start-up: flags reset, definition table built from the two lists (each
// ended by RES_null), files, environment and command line read.  -> 1
int RES_init(int argc, char **argv, const res_type *res_key, const res_type *res_pos);
// Gathers all values for the table def_table (ended by a null def). -> 0
int RES_decode(const char *progname, const char *class_name, int argc, char **argv,
               RES_defobj *def_table);

// The value text, "" for a bare switch, null when the resource is not set.
const char *RES_get(const char *name);
// Converts the value of name into *data by cvt (see DEF_convert for the
// type behind data).  0 when the resource is not set or data is null.
int RES_getval(const char *name, void *data, DEF_convert cvt);
// Splits the value (at newlines for a CV_strings resource, at commas
// otherwise) into a list released with free_parsed_array.  -> count
int RES_getvals(const char *name, int *paramc, char ***paramv);
// Sets (or replaces) a plain string resource.  -> 0
int RES_put(const char *name, const char *value);
// Finds the node by exact name or appends one; replaces its value. -> 0/-1
int RES_new(int index, const char *name, const char *data, DEF_convert cvt);
// As RES_new, but an existing value becomes old + newline + new.  -> 0
int RES_append(int index, const char *name, const char *data, DEF_convert cvt);
// Prints every resource as "name: value" at level 8.  -> 0
int RES_list();
// Calls fn for every set resource in order of first setting (value null
// for a bare switch).
void RES_for_each(void (*fn)(const char *name, const char *value, void *ctx), void *ctx);
// Drops every value and forgets the command line (start-up state).
void RES_clear();

// argv[0], or null before RES_init.
const char *RES_get_prog();
// Last path component of argv[0] copied into buf (FILE_NAME_LEN bytes);
// a module-owned buffer when buf is null.
char *RES_get_progname(char *buf);

// Applies one conversion.  -> 1 when handled, 0 otherwise.
int RES_conv_data(const char *data, void *out, DEF_convert cvt);
// Device type from the first letter of text (p 4, h/q 5, m 3, w 6, else 1).
int RES_set_device(const char *text);

// Usage and resource help at level 15.  -> 1
int RES_help_print(const char *progname, const res_type *res_key, const res_type *res_pos);
int RES_help_item(res_type key);

// Build definition rows.  -> 1
int RES_enter(RES_defobj *obj, res_type key);
int RES_fill_obj(RES_defobj *obj, const char *def, const char *env, const char *cmd,
                 DEF_convert cvt, void *out, int *num);

// Resource files: open one element of the search list, read its entries
// (name and value, after tag sections) and close it.  DEF_get -> 1 with an
// entry, 0 at the end.  Names are at most 249 characters.
constexpr int DEF_LINE_LEN = 250;
int DEF_open(const char *element);
int DEF_get(char *name, char *value);
int DEF_close();
// Tags for conditional sections (from "+tag" search-list elements).
int DEF_add_tag(const char *tag);
int DEF_clear_tags();
// Pattern match of a resource-file entry name against a target text
// ("*" runs up to the next literal text).  -> 1 on a match
int DEF_cmp(const char *pattern, const char *target);
// Entry name against program.resource for the current program/title.
int DEF_valid(const char *entry, const char *resource);
// Program name and title used for matching.
int DEF_set_prog(const char *progname, const char *title);

#endif  // ZUPRESRC_H
