// Forecast-time texts as typed at the time prompt or given with -ft.
#include "fuzz.h"

#include "zup.h"
#include "zupgrd.h"

RAZIVA_FUZZ_TARGET(ftime) {
    std::string t = fuzz::text(data, size, 256);
    int time = 0;
    if (VAR_dec_time(t.c_str(), &time) >= 0) {
        char label[128];
        DATE_fhour_label(label, time, 0);
        DATE_fhour_label(label, time, 1);
        char out[128];
        VAR_make_datalevel(time, 100, 500, out, sizeof(out));
    }
    return 0;
}
