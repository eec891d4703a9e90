// The lookup tables on the file_path folder.  The first octet picks the
// table the rest of the input becomes; then the lookups that read it run.
#include "fuzz.h"

#include "grd_priv.h"
#include "zup.h"
#include "zupgrd.h"
#include "zupresrc.h"

RAZIVA_FUZZ_TARGET(lookup) {
    if (size < 1) return 0;
    static const char *const tables[] = {"variable.lup", "grib2_var.lup", "mod_name.lup",
                                         "units.lup",    "model.lup",     "raziva.tim"};
    const char *table = tables[data[0] % 6];
    fuzz::put_file(table, data + 1, size - 1);
    RES_put("file_path", fuzz::workdir().c_str());
    VAR_reset();
    UNIT_reset();
    const char *name = nullptr, *abbr = nullptr;
    VAR_get_names(11, &name, &abbr);
    VAR_search_var_num("TMP");
    char text[128];
    VAR_str(text, 7, "m", sizeof(text));
    VAR_make_datatype(24, 100, 500, 11, "K", text, sizeof(text));
    VAR_model(text, 84, sizeof(text));
    GribParam gp;
    GribParam_init(&gp);
    GRIB_get_ver2_param(&gp, 7, 0, 0, 0);
    UNIT_cvt(273.15f, "K", "C");
    UNIT_cvt(10.0f, "m/s", "knots");
    GRD_in_file();
    GRD_read_time_menu();
    RES_clear();
    return 0;
}
