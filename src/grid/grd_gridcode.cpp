// grd_gridcode.cpp - the character-form GRID code.
#include "grd_priv.h"
#include "zup.h"
#include "zupgrd.h"

int grd_gridcode_getinfo(int, GRD_file *, GRD_info *) {
    MESS_print(64, "GRD_getinfo: GRID character code files are not readable\n");
    return -1;
}

int grd_gridcode_read(int, GRD_file *f, GRD_report *, int, int *) {
    MESS_print(64, "GRD_read: grid format %d is not readable\n", f->type);
    return -1;
}
