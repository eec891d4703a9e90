// unpack_drs.cpp - the data representation section record and the choice of
// packing decoder.
#include <bit>
#include <cmath>
#include <cstdio>

#include "gbits.h"
#include "unpack.h"

namespace {

// Big-endian IEEE single precision.
double ieee4(const std::uint8_t *p) {
    return static_cast<double>(std::bit_cast<float>(gbits::u4(p)));
}

// A 4-octet count; values beyond the int range are kept at its top, where
// every size check refuses them.
int count4(const std::uint8_t *p) {
    std::uint32_t v = gbits::u4(p);
    return v > 0x7fffffffu ? 0x7fffffff : static_cast<int>(v);
}

}  // namespace

void UNPACK_clear_params(UNPACK_params *p) {
    p->data_pnts = -9999;
    p->drs_temp = -9999;
    p->ref = 0.0;
    p->sfac = 1.0;
    p->dscale = 1.0;
    p->num_bits = -9999;
    p->data_type = -9999;
    p->precision = -9999;
    p->num_bits_gref = -9999;
    p->split_method = -9999;
    p->miss_type = 0;
    p->miss1 = 0.0;
    p->miss2 = 0.0;
    p->num_group = -9999;
    p->ref_gwidth = -9999;
    p->num_bits_gwidth = -9999;
    p->ref_glen = -9999;
    p->inc_glen = -9999;
    p->last_glen = -9999;
    p->num_bits_glen = -9999;
    p->order = -1;
    p->spat_bytes = -1;
    p->comp_type = -9999;
    p->comp_ratio = -9999;
    p->ccsds_flags = -9999;
    p->ccsds_block = -9999;
    p->ccsds_rsi = -9999;
    p->max_val = -9999;
    p->num_map = -9999;
    p->levels.clear();
}

int UNPACK_read_drs(const std::uint8_t *sec, std::size_t len, UNPACK_params *p) {
    UNPACK_clear_params(p);
    if (!sec || len < 11) return -1;
    p->data_pnts = count4(sec + 5);
    p->drs_temp = static_cast<int>(gbits::u2(sec + 9));
    const int t = p->drs_temp;

    if (t == DRS_RUN_LENGTH) {
        if (len < 17) return -1;
        p->num_bits = sec[11];
        p->max_val = static_cast<int>(gbits::u2(sec + 12));
        p->num_map = static_cast<int>(gbits::u2(sec + 14));
        p->dscale = std::pow(10.0, -gbits::s1(sec + 16));
        std::size_t n = static_cast<std::size_t>(p->num_map);
        std::size_t have = (len - 17) / 2;
        p->levels.reserve(n < have ? n : have);
        for (std::size_t i = 0; i < n && i < have; ++i)
            p->levels.push_back(static_cast<float>(gbits::u2(sec + 17 + 2 * i) * p->dscale));
        return n <= have ? 0 : -1;
    }

    if (t == DRS_IEEE) {
        if (len < 12) return -1;
        p->precision = sec[11];
        return 0;
    }

    if (t != DRS_SIMPLE && t != DRS_COMPLEX && t != DRS_COMPLEX_SPATIAL && t != DRS_JPEG2000 &&
        t != DRS_JPEG2000_OLD && t != DRS_PNG && t != DRS_PNG_OLD && t != DRS_CCSDS)
        return 0;  // nothing more is known of other templates

    // Common head of every grid-point template: R, E, D, bits, type.
    if (len < 21) return -1;
    p->ref = ieee4(sec + 11);
    p->sfac = std::ldexp(1.0, gbits::s2(sec + 15));
    p->dscale = std::pow(10.0, -gbits::s2(sec + 17));
    p->num_bits = sec[19];
    p->data_type = sec[20];

    if (t == DRS_COMPLEX || t == DRS_COMPLEX_SPATIAL) {
        p->num_bits_gref = p->num_bits;
        if (len < 47) return -1;
        p->split_method = sec[21];
        p->miss_type = sec[22];
        if (p->miss_type > 0) p->miss1 = ieee4(sec + 23);
        if (p->miss_type > 1) p->miss2 = ieee4(sec + 27);
        p->num_group = count4(sec + 31);
        p->ref_gwidth = sec[35];
        p->num_bits_gwidth = sec[36];
        p->ref_glen = count4(sec + 37);
        p->inc_glen = sec[41];
        p->last_glen = count4(sec + 42);
        p->num_bits_glen = sec[46];
        if (t == DRS_COMPLEX_SPATIAL) {
            if (len < 49) return -1;
            p->order = sec[47];
            p->spat_bytes = sec[48];
        }
    } else if (t == DRS_JPEG2000 || t == DRS_JPEG2000_OLD) {
        if (len < 23) return -1;
        p->comp_type = sec[21];
        p->comp_ratio = sec[22];
    } else if (t == DRS_CCSDS) {
        if (len < 25) return -1;
        p->ccsds_flags = sec[21];
        p->ccsds_block = sec[22];
        p->ccsds_rsi = static_cast<int>(gbits::u2(sec + 23));
    }
    return 0;
}

int UNPACK_supported(int drs_temp) {
    switch (drs_temp) {
    case DRS_SIMPLE:
    case DRS_COMPLEX:
    case DRS_COMPLEX_SPATIAL:
    case DRS_IEEE:
    case DRS_JPEG2000:
    case DRS_JPEG2000_OLD:
    case DRS_PNG:
    case DRS_PNG_OLD:
    case DRS_CCSDS:
    case DRS_RUN_LENGTH:
        return 1;
    default:
        return 0;
    }
}

int UNPACK_data(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                std::size_t max_pts, UNPACK_out *out) {
    switch (p.drs_temp) {
    case DRS_SIMPLE:
        return UNPACK_simple(p, data, len, max_pts, out);
    case DRS_COMPLEX:
    case DRS_COMPLEX_SPATIAL:
        return UNPACK_complex(p, data, len, max_pts, out);
    case DRS_IEEE:
        return UNPACK_ieee(p, data, len, max_pts, out);
    case DRS_JPEG2000:
    case DRS_JPEG2000_OLD:
        return UNPACK_jpeg2000(p, data, len, max_pts, out);
    case DRS_PNG:
    case DRS_PNG_OLD:
        return UNPACK_png(p, data, len, max_pts, out);
    case DRS_CCSDS:
        return UNPACK_ccsds(p, data, len, max_pts, out);
    case DRS_RUN_LENGTH:
        return UNPACK_run_length(p, data, len, max_pts, out);
    default:
        break;
    }
    char buf[80];
    std::snprintf(buf, sizeof buf, "unsupported data representation template %d\n", p.drs_temp);
    return unpack_detail::fail(out, buf);
}

int UNPACK_data_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                       std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out) {
    switch (p.drs_temp) {
    case DRS_SIMPLE:
        return UNPACK_simple_points(p, data, len, max_pts, choose, out);
    case DRS_COMPLEX:
    case DRS_COMPLEX_SPATIAL:
        return UNPACK_complex_points(p, data, len, max_pts, choose, out);
    case DRS_IEEE:
        return UNPACK_ieee_points(p, data, len, max_pts, choose, out);
    case DRS_JPEG2000:
    case DRS_JPEG2000_OLD:
        return UNPACK_jpeg2000_points(p, data, len, max_pts, choose, out);
    case DRS_PNG:
    case DRS_PNG_OLD:
        return UNPACK_png_points(p, data, len, max_pts, choose, out);
    case DRS_CCSDS:
        return UNPACK_ccsds_points(p, data, len, max_pts, choose, out);
    default:
        break;
    }
    // run-length packing and the rest: decoded whole, then picked
    if (UNPACK_data(p, data, len, max_pts, out) < 0) return -1;
    unpack_detail::keep_chosen(choose, out);
    return 0;
}
