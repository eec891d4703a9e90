// raziva.cpp - the grid sounding program: pick a grid file, a station and
// forecast times, extract and analyse the soundings, print and plot them.
#include <algorithm>
#include <vector>

#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"
#include "zupplt.h"
#include "zupresrc.h"
#include "zupsnd.h"
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
    // every plot part is drawn unless the "draw" resource says otherwise
    FLAG_resetplot(1);
    RES_init(argc, argv, res_key, res_pos);

    if (FLAG_help()) {
        char progname[FILE_NAME_LEN];
        RES_get_progname(progname);
        MESS_print(15, "%s: This program contours existing grids on a background map\n",
                   progname);
        RES_help_print(progname, res_key, res_pos);
        return 0;
    }

    GRD_in_file();
    RES_getval("plot_domain", &domain, CV_domain);

    MESS_print_prog("MODEL GRIDDED SOUNDING PLOTTING");

    char file[FILE_NAME_LEN] = "";
    if (!FILE_get_file("Enter the grid filename: ", file)) {
        // a file named on the command line or in the resources is missing
        MESS_print(192, "File not found: %s\n", file);
        return 10;
    }
    Date file_date;
    FILE_get_date(&file_date);
    THERM_set_date(&file_date);

    int file_type = 0;
    int grd_fd = GRD_open(file, 0, &file_type);
    if (grd_fd < 0) {
        MESS_print(64, "Unable to open grid file:%s\n", file);
        return -1;
    }
    MESS_print(3840, "Reading from grid file:%s\n", file);

    // A naming convention may give the grid file a separate index file.
    if (FILE_hdr_set_date(&file_date, file)) GRD_hdr_open(grd_fd, file);

    GRD_info info;
    GRD_getinfo(grd_fd, &info);
    GRD_snd_param();
    // the data's date for the plot labels and image file names
    PLT_label_date(&info.date);

    // One station, or every station of an "@FILE" answer, each reported in
    // turn for every chosen time from one scan of the file.
    std::vector<GRD_sound> stations;
    if (GRD_prompt_stations(&stations) == 0) {
        MESS_print(64, "Station not found\n");
        return 31;
    }

    static UPA_level sm[300];
    while (GRD_prompt_time() == 1) {
        GRD_get_sounds(grd_fd, stations.data(), static_cast<int>(stations.size()));
        for (const GRD_sound &snd : stations) {
            // a time without a sounding is skipped; the extraction says why
            if (!snd.made) continue;
            const char *id = snd.id;
            const float lat = snd.lat, lon = snd.lon;
            int num = snd.num;
            std::copy(snd.lev, snd.lev + num, sm);
            THERM_set_id(id, MISSING);
            UPA_set_datim(snd.datim);
            THERM_set_data(snd.sfcp, sm, num, sm, num);

            MESS_print(4096, "Date: %s\n", UPA_get_datim());
            MESS_print(4096, "Station: %s\n", id);
            if (lat != MISSING_F) MESS_print(4096, "Latitude:  %6.2f\n", lat);
            if (lon != MISSING_F) MESS_print(4096, "Longitude: %6.2f\n", lon);

            THERM_sig_table();
            THERM_calc();
            THERM_indices();
            THERM_wind_table();
            THERM_wind();
            THERM_storm_table();

            while (THERM_prompt_plot_type()) THERM_plot(&domain);
        }
    }
    GRD_close(grd_fd);
    return 0;
}
