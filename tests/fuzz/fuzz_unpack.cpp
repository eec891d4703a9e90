// The GRIB edition 2 packing decoders on their own.  Input: a two-octet
// length L, section 5 (L octets, from its first octet), then section 7
// from its sixth octet.
#include "fuzz.h"

#include <algorithm>

#include "unpack.h"

RAZIVA_FUZZ_TARGET(unpack) {
    if (size < 2) return 0;
    std::size_t len = static_cast<std::size_t>(data[0]) << 8 | data[1];
    if (len > size - 2) return 0;
    UNPACK_params p;
    UNPACK_clear_params(&p);
    if (UNPACK_read_drs(data + 2, len, &p) != 0) return 0;
    // the grid of a real message bounds the values; keep it to a large field
    std::size_t max_pts = p.data_pnts > 0 ? std::min<std::size_t>(p.data_pnts, 1u << 20) : 0;
    UNPACK_out out;
    UNPACK_data(p, data + 2 + len, size - 2 - len, max_pts, &out);
    return 0;
}
