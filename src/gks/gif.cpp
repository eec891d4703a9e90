// gif.cpp - GIF89a writer with its own LZW encoder: palette pass, code
// sizes growing to 12 bits, a hashed string table, clear codes when the
// table is full, 254-byte sub-blocks, optional interlacing and a
// transparent background.
#include <cstring>
#include <memory>

#include "zupimg.h"

namespace {

struct GifOptions {
    int use_inter = 0;   // interlaced rows
    int trans = 0;       // background transparent
};

GifOptions G;

// One string-table entry: key = (next index << 12) + prefix code.
struct hash_entry {
    int hash;
    int val;
    int next;   // overflow node, -1 at the end of a chain
};

constexpr int kTableSize = 4096;

// The encoder: string table, code packing and sub-block buffer.
class GifEncoder {
public:
    GifEncoder(IMG_outfile &out, int code_size) : out_(out), code_size_(code_size) {
        clear_code_ = 1 << code_size;
        end_info_code_ = clear_code_ + 1;
        reset_table();
    }

    // Codes for the pixels (palette indices) in the given row order.
    bool encode(const std::vector<unsigned char> &pix, int width,
                const std::vector<int> &rows) {
        put_code(clear_code_);
        int prefix = -1;
        for (int r : rows) {
            const unsigned char *row = pix.data() + static_cast<size_t>(r) * width;
            for (int x = 0; x < width; ++x) {
                int c = row[x];
                if (prefix < 0) {
                    prefix = c;
                    continue;
                }
                int key = (c << 12) + prefix;
                int found = lookup(key, prefix, c);
                if (found >= 0) {
                    prefix = found;
                    continue;
                }
                put_code(prefix);
                if (h_table_ind_ < kTableSize && h_node_ind_ < kTableSize) {
                    insert(key, prefix, c, h_table_ind_++);
                } else {
                    put_code(clear_code_);
                    reset_table();
                }
                prefix = c;
            }
        }
        put_code(prefix);
        put_code(end_info_code_);
        flush_bits();
        flush_block();
        return ok_;
    }

private:
    static int bucket(int prefix, int c) { return (prefix ^ (c << 4)) & (kTableSize - 1); }

    void reset_table() {
        for (auto &e : h_table_) e = {-1, 0, -1};
        h_node_ind_ = 0;
        h_table_ind_ = clear_code_ + 2;
        coded_size_ = code_size_ + 1;
        coded_mask_ = (1 << coded_size_) - 1;
    }

    int lookup(int key, int prefix, int c) const {
        const hash_entry *e = &h_table_[bucket(prefix, c)];
        if (e->hash < 0) return -1;
        for (;;) {
            if (e->hash == key) return e->val;
            if (e->next < 0) return -1;
            e = &h_nodes_[e->next];
        }
    }

    void insert(int key, int prefix, int c, int code) {
        hash_entry *e = &h_table_[bucket(prefix, c)];
        if (e->hash < 0) {
            *e = {key, code, -1};
            return;
        }
        int n = h_node_ind_++;
        h_nodes_[n] = {key, code, e->next};
        e->next = n;
    }

    // Least significant bit first at the current width; the width grows
    // once the next free code no longer fits.
    void put_code(int code) {
        temp_data_ |= static_cast<unsigned long>(code & coded_mask_) << data_bits_;
        data_bits_ += coded_size_;
        while (data_bits_ >= 8) {
            put_byte(static_cast<unsigned char>(temp_data_ & 0xff));
            temp_data_ >>= 8;
            data_bits_ -= 8;
        }
        if (h_table_ind_ > coded_mask_ && coded_size_ < 12) {
            ++coded_size_;
            coded_mask_ = (1 << coded_size_) - 1;
        }
    }

    void flush_bits() {
        if (data_bits_ > 0) put_byte(static_cast<unsigned char>(temp_data_ & 0xff));
        temp_data_ = 0;
        data_bits_ = 0;
    }

    void put_byte(unsigned char b) {
        data_[++out_bytes_] = b;
        if (out_bytes_ >= 254) flush_block();
    }

    void flush_block() {
        if (out_bytes_ == 0) return;
        data_[0] = static_cast<unsigned char>(out_bytes_);
        ok_ = out_.write(data_, static_cast<size_t>(out_bytes_) + 1) && ok_;
        out_bytes_ = 0;
    }

    IMG_outfile &out_;
    unsigned char data_[1000] = {};
    int code_size_;
    int clear_code_ = 0;
    int end_info_code_ = 0;
    int coded_size_ = 0;
    int coded_mask_ = 0;
    int data_bits_ = 0;
    unsigned long temp_data_ = 0;
    int out_bytes_ = 0;
    hash_entry h_table_[kTableSize];
    hash_entry h_nodes_[kTableSize];
    int h_table_ind_ = 0;
    int h_node_ind_ = 0;
    bool ok_ = true;
};

// Row order: straight, or the four interlace passes.
std::vector<int> row_order(int height, bool interlace) {
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(height));
    if (!interlace) {
        for (int y = 0; y < height; ++y) rows.push_back(y);
        return rows;
    }
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < height; y += step[p]) rows.push_back(y);
    return rows;
}

void put16(std::vector<unsigned char> &b, int v) {
    b.push_back(static_cast<unsigned char>(v & 0xff));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
}

}  // namespace

int GIF_interlace(int flag) {
    G.use_inter = flag ? 1 : 0;
    return 0;
}

int GIF_transparent(int flag) {
    G.trans = flag ? 1 : 0;
    return 0;
}

int GIF_write(const char *file, IMG_report *img) {
    if (!img || img->width < 1 || img->height < 1 || img->width > 65535 ||
        img->height > 65535) {
        MESS_print(192, "GIF_write: Invalid image size: %dx%d\n", img ? img->width : 0,
                   img ? img->height : 0);
        return 0;
    }
    IMG_palette pal;
    if (IMG_make_palette(img, &pal) != 0) return 0;
    IMG_outfile out(file);
    if (!out.get()) {
        MESS_print(192, "Unable to open GIF file\n");
        return 0;
    }
    int bits = 1;
    while ((1 << bits) < pal.num_color) ++bits;
    const int entries = 1 << bits;
    const int code_size = bits < 2 ? 2 : bits;

    std::vector<unsigned char> head = {'G', 'I', 'F', '8', '9', 'a'};
    put16(head, img->width);
    put16(head, img->height);
    head.push_back(static_cast<unsigned char>(0x80 | (bits - 1) << 4 | (bits - 1)));
    head.push_back(0);   // background index
    head.push_back(0);   // aspect
    for (int i = 0; i < entries; ++i) {
        head.push_back(pal.red[i]);
        head.push_back(pal.grn[i]);
        head.push_back(pal.blu[i]);
    }
    if (G.trans && pal.trans >= 0) {
        const unsigned char ext[] = {0x21, 0xF9, 4, 1, 10, 0,
                                     static_cast<unsigned char>(pal.trans), 0};
        head.insert(head.end(), ext, ext + sizeof ext);
    }
    head.push_back(',');
    put16(head, 0);
    put16(head, 0);
    put16(head, img->width);
    put16(head, img->height);
    head.push_back(G.use_inter ? 0x40 : 0);
    head.push_back(static_cast<unsigned char>(code_size));
    if (!out.write(head.data(), head.size())) return 0;

    auto enc = std::make_unique<GifEncoder>(out, code_size);
    if (!enc->encode(pal.index, img->width, row_order(img->height, G.use_inter != 0)))
        return 0;
    const unsigned char trailer[] = {0, ';'};
    if (!out.write(trailer, sizeof trailer)) return 0;
    return out.finish() ? 1 : 0;
}
