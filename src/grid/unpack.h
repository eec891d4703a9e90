// unpack.h - the GRIB edition 2 packing decoders: one routine per data
// representation template, called by the data-section reader (GRIB_DS).
//
// The section-5 reader fills an UNPACK_params record; the data-section reader
// hands each decoder the octets of section 7 that follow its 5-octet header.
// A decoder produces the packed values in stream order as floats, each
// (X * sfac + ref) * dscale for the unpacked integer X (for run-length
// packing the entry of the level table, -9999 for level 0); placing them on
// the grid (bitmap, scanning order, thinned rows) is the caller's business.
//
// Every decoder is bounds-checked: counts that the section cannot hold, group
// widths beyond 32 bits, images larger than the grid and corrupt compressed
// streams are refused with a message in UNPACK_out::msg (the caller prints it
// at warning level, 192), never read or written out of bounds.
#ifndef UNPACK_H
#define UNPACK_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

// Data representation templates handled here.
constexpr int DRS_SIMPLE = 0;           // 5.0 simple packing
constexpr int DRS_COMPLEX = 2;          // 5.2 complex packing
constexpr int DRS_COMPLEX_SPATIAL = 3;  // 5.3 complex packing, spatial differencing
constexpr int DRS_IEEE = 4;             // 5.4 IEEE floating point
constexpr int DRS_JPEG2000 = 40;        // 5.40 JPEG 2000 code stream
constexpr int DRS_JPEG2000_OLD = 40000; // 5.40000 (pre-standard number of 5.40)
constexpr int DRS_PNG = 41;             // 5.41 PNG
constexpr int DRS_PNG_OLD = 40010;      // 5.40010 (pre-standard number of 5.41)
constexpr int DRS_CCSDS = 42;           // 5.42 CCSDS adaptive entropy coding
constexpr int DRS_RUN_LENGTH = 200;     // 5.200 run-length packing with level values

// Every quantity of the data representation section (section 5).
// Fields not used by a template keep the values set by UNPACK_clear_params
// (-9999, or -1 for order/spat_bytes, 0 for the floats).
struct UNPACK_params {
    int data_pnts;       // octets 6-9: number of packed values
    int drs_temp;        // octets 10-11: template number
    double ref;          // reference value R (IEEE single, octets 12-15)
    double sfac;         // 2^E, E = binary scale factor (octets 16-17)
    double dscale;       // 10^-D, D = decimal scale factor (octets 18-19;
                         // for 5.200 octet 17)
    int num_bits;        // bits per packed value (octet 20; the bpval of
                         // 5.40/5.41/5.42; for 5.200 octet 12)
    int data_type;       // octet 21: type of the original values (0 float, 1 integer)

    // IEEE floating point (5.4): octet 12, 1 = 32 bits, 2 = 64 bits.
    int precision;

    // Complex packing (5.2, 5.3).
    int num_bits_gref;   // octet 20: bits per group reference
    int split_method;    // octet 22
    int miss_type;       // octet 23: 0 none, 1 primary, 2 primary and secondary
    double miss1;        // octets 24-27: primary missing substitute
    double miss2;        // octets 28-31: secondary missing substitute
    int num_group;       // octets 32-35: number of groups
    int ref_gwidth;      // octet 36: reference for group widths
    int num_bits_gwidth; // octet 37: bits per group width
    int ref_glen;        // octets 38-41: reference for group lengths
    int inc_glen;        // octet 42: length increment
    int last_glen;       // octets 43-46: true length of the last group
    int num_bits_glen;   // octet 47: bits per scaled group length
    int order;           // octet 48 (5.3): spatial differencing order 1 or 2, else -1
    int spat_bytes;      // octet 49 (5.3): octets per extra descriptor, else -1

    // JPEG 2000 (5.40): octets 22-23.
    int comp_type;       // 0 lossless, 1 lossy
    int comp_ratio;      // target compression ratio

    // CCSDS (5.42): octets 22-25.
    int ccsds_flags;     // libaec option mask (octet 22)
    int ccsds_block;     // block size (octet 23)
    int ccsds_rsi;       // reference sample interval (octets 24-25)

    // Run-length packing with level values (5.200).
    int max_val;         // octets 13-14: highest level index used
    int num_map;         // octets 15-16: number of level values
    std::vector<float> levels;  // octets 18...: level values times dscale
};

// What a decoder produces.
struct UNPACK_out {
    std::vector<float> values;  // packed values in stream order
    // True when missing-value management (5.2/5.3 miss_type 1 or 2) was in
    // force: values holds one entry per point, -9999 where flagged missing,
    // and the bitmap is not to be consulted.
    bool miss_managed = false;
    // Image size for JPEG 2000 and PNG (count x 1 for the other templates);
    // values then holds the first data_pnts pixels, row after row.
    int width = 0;
    int height = 0;
    // Failure text, empty on success ("jpc_decode error\n" for a JPEG 2000
    // stream the decoder rejects).
    std::string msg;
};

// Resets every field to its unset value (see UNPACK_params).
void UNPACK_clear_params(UNPACK_params *p);

// Reads section 5 (all of it, from octet 1) into p: the fields of templates
// 5.0, 5.2, 5.3, 5.40, 5.40000, 5.41, 5.42 and 5.200.  Returns 0, or -1 when
// the section is shorter than its template needs (p then holds what was read).
int UNPACK_read_drs(const std::uint8_t *sec, std::size_t len, UNPACK_params *p);

// 1 when a decoder exists for the data representation template, else 0.
int UNPACK_supported(int drs_temp);

// Decoders.  data/len: section 7 from octet 6 (after its length and number).
// A caller decoding many products keeps one UNPACK_out between calls: its
// value buffer is then reused instead of a fresh one (4 MB for a 0.25 degree
// global grid) being allocated, zeroed and paged in for every product.
// max_pts bounds the number of values produced (the caller's grid size).
// Each returns 0 on success, -1 on failure (out->msg says why; out->values is
// then empty).
int UNPACK_simple(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                  std::size_t max_pts, UNPACK_out *out);
int UNPACK_complex(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                   std::size_t max_pts, UNPACK_out *out);  // 5.2 and 5.3
int UNPACK_jpeg2000(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                    std::size_t max_pts, UNPACK_out *out);
int UNPACK_png(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
               std::size_t max_pts, UNPACK_out *out);
int UNPACK_ccsds(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                 std::size_t max_pts, UNPACK_out *out);
int UNPACK_run_length(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                      std::size_t max_pts, UNPACK_out *out);
// 5.4: data_pnts big-endian IEEE numbers of 4 (precision 1) or 8 octets
// (precision 2), taken as they are (no reference or scaling).
int UNPACK_ieee(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                std::size_t max_pts, UNPACK_out *out);

// GRIB edition 1 second-order ("complex") grid-point packing, the general
// extended form (binary data section flag 0x40, extended flag 0x08) with
// spatial differencing of order 0 to 3 and either row ordering.  bds/len:
// the whole binary data section from its octet 1; ref, sfac and dscale as
// for simple packing.  The values come out in stored order, one per coded
// point; *alt_rows is set when every second row is stored east to west.
int UNPACK_grib1_second_order(const std::uint8_t *bds, std::size_t len, double ref, double sfac,
                              double dscale, std::size_t max_pts, UNPACK_out *out,
                              bool *alt_rows);

// Picks the decoder for p.drs_temp.  An unsupported template gives -1 with
// out->msg "unsupported data representation template %d\n".
int UNPACK_data(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                std::size_t max_pts, UNPACK_out *out);

// Partial decoding, for callers that need a few points of a field (a
// sounding needs four of each).  The decoder first works out what the full
// decoder would give: the same refusals with the same texts, the number of
// values and out->width, out->height and out->miss_managed.  It then asks
// `choose` for the indices of the wanted values (strictly increasing, each
// below that number) and decodes no further than the last of them where the
// packing allows: simple packing reads the wanted values directly, complex
// packing stops after the last wanted value, JPEG 2000 decodes only the area
// around them (reversible streams), IEEE numbers are read where they lie,
// PNG stops after the last wanted row and
// CCSDS after the last wanted block.  out->values then holds one value per
// wanted index, in their order, bit-identical to the full decode.
using UNPACK_chooser = std::function<std::vector<std::size_t>(std::size_t count,
                                                              const UNPACK_out &shape)>;
int UNPACK_simple_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                         std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out);
int UNPACK_complex_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                          std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out);
int UNPACK_jpeg2000_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                           std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out);
int UNPACK_png_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                      std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out);
int UNPACK_ieee_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                       std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out);
int UNPACK_ccsds_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                        std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out);
int UNPACK_grib1_second_order_points(const std::uint8_t *bds, std::size_t len, double ref,
                                     double sfac, double dscale, std::size_t max_pts,
                                     const UNPACK_chooser &choose, UNPACK_out *out,
                                     bool *alt_rows);
// Picks the partial decoder for p.drs_temp; templates without one are
// decoded whole and the wanted values picked out.
int UNPACK_data_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                       std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out);

// Helpers shared by the decoder sources.
namespace unpack_detail {

// Message level of the decoders' debugging traces.
constexpr long DEBUG = 0x40000000L;

// Empties out, records the failure text and gives -1.
inline int fail(UNPACK_out *out, const char *msg) {
    out->values.clear();
    out->width = 0;
    out->height = 0;
    out->miss_managed = false;
    out->msg = msg;
    return -1;
}

// Prepares out for a fresh decode.
inline void reset(UNPACK_out *out) {
    out->values.clear();
    out->width = 0;
    out->height = 0;
    out->miss_managed = false;
    out->msg.clear();
}

// Keeps only the wanted entries of a fully decoded out->values, asking
// choose with the shape of the full decode.
inline void keep_chosen(const UNPACK_chooser &choose, UNPACK_out *out) {
    std::vector<std::size_t> idx = choose(out->values.size(), *out);
    std::vector<float> kept(idx.size());
    for (std::size_t w = 0; w < idx.size(); ++w) kept[w] = out->values[idx[w]];
    out->values.swap(kept);
}

// A constant field of n values (no bits per value), full or picked.
inline void constant_field(std::size_t n, double value, UNPACK_out *out) {
    out->values.assign(n, static_cast<float>(value));
    out->width = static_cast<int>(n);
    out->height = 1;
}

// Reads fields of 1 to 32 bits at a running bit position.  The caller has
// checked that every field it asks for lies inside the buffer; whole 8-octet
// words are loaded where the buffer allows, octets one by one near its end.
class FastBits {
public:
    FastBits(const std::uint8_t *buf, std::size_t len, std::uint64_t pos = 0)
        : buf_(buf), len_(len), pos_(pos) {}

    // nbits must be 1..32.
    std::uint32_t get(int nbits) {
        std::size_t off = static_cast<std::size_t>(pos_ >> 3);
        unsigned shift = static_cast<unsigned>(pos_ & 7);
        std::uint64_t w;
        if (off + 8 <= len_) {
            std::memcpy(&w, buf_ + off, 8);
            w = __builtin_bswap64(w);
        } else {
            w = 0;
            for (std::size_t i = 0; i < 8; ++i) {
                w <<= 8;
                if (off + i < len_) w |= buf_[off + i];
            }
        }
        pos_ += static_cast<unsigned>(nbits);
        return static_cast<std::uint32_t>((w << shift) >> (64 - nbits));
    }
    void skip(std::uint64_t nbits) { pos_ += nbits; }
    void align() { pos_ = (pos_ + 7) & ~std::uint64_t{7}; }
    std::uint64_t pos() const { return pos_; }

private:
    const std::uint8_t *buf_;
    std::size_t len_;
    std::uint64_t pos_;
};

}  // namespace unpack_detail

#endif  // UNPACK_H
