// raziva.cpp - the grid sounding program: pick a grid file, a station and
// forecast times, extract and analyse the soundings, print and plot them.
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"
#include "zupresrc.h"
#include "zupupa.h"

namespace {

// The resources this program accepts, in help order.
const res_type res_key[] = {
    RES_help,         RES_batch,        RES_message,      RES_file_path,    RES_data_path,
    RES_con_path,     RES_grid_path,    RES_raw_path,     RES_image_path,   RES_watch_path,
    RES_text_path,    RES_model_path,   RES_sat_path,     RES_city_file,    RES_map_file,
    RES_name_conv,    RES_in_file,      RES_out_file,     RES_file_param,   RES_model,
    RES_current,      RES_hour,         RES_num_hour,     RES_grid_num,     RES_grid_type,
    RES_plot_domain,  RES_grid_domain,  RES_region,       RES_stat_prior,   RES_identifier,
    RES_time,         RES_plot_type,    RES_plot_scale,   RES_plot_format,  RES_plot_param,
    RES_draw,         RES_label,        RES_con_interval, RES_con_base,     RES_font_list,
    RES_color_table,  RES_color_text,   RES_color_data,   RES_color_map,    RES_color_grid,
    RES_color_line,   RES_color_cmap,   RES_color_cont,   RES_color_fill,   RES_color_label,
    RES_color_clabel, RES_color_therm,  RES_color_thrmtxt, RES_color_wind,  RES_color_sound,
    RES_color_hodo,   RES_color_hodtxt, RES_device,       RES_title,        RES_icon,
    RES_background,   RES_geometry,     RES_null};

// Words without an option are the input file names.
const res_type res_pos[] = {RES_filenames, RES_null};

Domain domain;

}  // namespace

int main(int argc, char **argv) {
    DOM_init(&domain);
    RES_init(argc, argv, res_key, res_pos);

    if (FLAG_help()) {
        char progname[FILE_NAME_LEN];
        RES_get_progname(progname);
        RES_help_print(progname, res_key, res_pos);
        MESS_print(15, "%s: This program contours existing grids on a background map\n",
                   progname);
        return 0;
    }

    GRD_in_file();
    RES_getval("plot_domain", &domain, CV_domain);

    MESS_print_prog("MODEL GRIDDED SOUNDING PLOTTING");

    char file[FILE_NAME_LEN] = "";
    FILE_get_file("Enter the grid filename: ", file);
    Date file_date;
    FILE_get_date(&file_date);
    THERM_set_date(&file_date);

    return 0;
}
