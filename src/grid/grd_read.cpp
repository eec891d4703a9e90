// grd_read.cpp - the table of open grid files: opening, format detection,
// index files, file information and reading grids by message number.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "grd_points.h"
#include "grd_priv.h"
#include "grib.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"

namespace {

constexpr long DEBUG = 0xF0000000L;

// Reader state of one slot beyond the GRD_file record.  The positions of
// the file read last are the module's current ones; every slot keeps its
// own copy so that files can be read in turns.
struct SlotState {
    long hdr_pos = 0;        // offset of the message of the index line held
    std::string hdr_text;    // header text of that line
    int hdr_line = -1;       // number of the index line held, -1 none
    long cur_pos = 0;
    long new_pos = -1;
    int cont = 0;
    int pcont = 0;
    bool walked = false;
    long cut_reported = -1;  // position of the cut message already reported
};

struct ReadState {
    std::unique_ptr<GRD_file> gfile[GRD_MAX_FILES];
    SlotState slot[GRD_MAX_FILES];
    long cur_pos = 0;   // start of the current message (or product)
    long new_pos = -1;  // where the next message or product begins
    int cont = 0;       // the next number continues inside this message
    int pcont = 0;      // the current number is such a continuation
    bool walked = false;  // cont/new_pos describe the current product
    bool use_hdrfile = true;
};

ReadState &st() {
    static ReadState s;
    return s;
}

GRD_file *slot_file(int slot) {
    if (slot < 0 || slot >= GRD_MAX_FILES) return nullptr;
    return st().gfile[slot].get();
}

bool is_stream_type(int type) {
    return (type >= 1 && type <= 4) || type == GRD_TYPE_GRIB || type == GRD_TYPE_GRID;
}

void skip_line(FILE *f) {
    int c;
    while ((c = std::fgetc(f)) != EOF && c != '\n') {
    }
}

bool seek_to(FILE *f, long pos) { return f && pos >= 0 && std::fseek(f, pos, SEEK_SET) == 0; }

// Next line of the index file into the slot; false at the end.
bool read_index_line(GRD_file *f, SlotState &ss) {
    char text[129] = "";
    long pos = 0;
    char line[512];
    while (true) {
        if (!std::fgets(line, sizeof(line), f->hfile)) return false;
        std::size_t len = std::strlen(line);
        // a line longer than the buffer: drop its rest
        if (len > 0 && line[len - 1] != '\n' && !std::feof(f->hfile)) skip_line(f->hfile);
        text[0] = '\0';
        if (std::sscanf(line, "%ld %128[^\n]", &pos, text) >= 1) break;
        // blank lines are passed over; a line without an offset ends the index
        if (line[std::strspn(line, " \t\r\n")] != '\0') return false;
    }
    std::size_t tl = std::strlen(text);
    while (tl > 0 && (text[tl - 1] == '\r' || text[tl - 1] == ' ')) text[--tl] = '\0';
    ss.hdr_pos = pos;
    ss.hdr_text = text;
    ++ss.hdr_line;
    return true;
}

bool rewind_index(GRD_file *f, SlotState &ss) {
    ss.hdr_line = -1;
    return std::fseek(f->hfile, 0, SEEK_SET) == 0;
}

// Header of a grid from its index line.
void header_from_index(GRD_file *f, const SlotState &ss, GRD_report *rec, int mode) {
    GRD_free(rec);
    GRD_init(rec);
    rec->version = 1;
    rec->source = f->grid == 10 ? 98 : 7;
    rec->date = f->date;
    const char *text = ss.hdr_text.c_str();
    const char *g = std::strstr(text, "/ GRIB");
    if (g) {
        const char *p = g + 6;
        char c;
        int v;
        int used = 0;
        while (std::sscanf(p, " %c%d%n", &c, &v, &used) == 2) {
            switch (c) {
            case 'S': rec->source = v; break;
            case 'M': rec->model = v; break;
            case 'G': rec->type = v; break;
            case 'T': rec->time = v; break;
            case 'L': rec->ltype = v; break;
            case 'H': rec->level = v; break;
            case 'V': rec->var = v; break;
            default: break;
            }
            p += used;
        }
    } else {
        const char *slash = std::strchr(text, '/');
        if (slash) {
            int a[7];
            int n = std::sscanf(slash + 1, "%d %d %d %d %d %d", &a[0], &a[1], &a[2], &a[3],
                                &a[4], &a[5]);
            if (n == 1) {
                n = std::sscanf(slash + 1, "%d:%d %d %d %d %d %d", &a[0], &a[1], &a[2],
                                &a[3], &a[4], &a[5], &a[6]);
                if (n >= 1) rec->source = a[0];
                if (n >= 2) rec->model = a[1];
                if (n >= 3) rec->type = a[2];
                if (n >= 4) rec->time = a[3];
                if (n >= 5) rec->ltype = a[4];
                if (n >= 6) rec->level = a[5];
                if (n >= 7) rec->var = a[6];
            } else {
                if (n >= 1) rec->model = a[0];
                if (n >= 2) rec->type = a[1];
                if (n >= 3) rec->time = a[2];
                if (n >= 4) rec->ltype = a[3];
                if (n >= 5) rec->level = a[4];
                if (n >= 6) rec->var = a[5];
            }
        }
    }
    GRIB_units(rec);
    DOM_init(&rec->domain);
    GRIB_set_domain(rec->type, &rec->domain);
    MESS_print(DEBUG, "GRIB HDR--%d %d %d %d %d %d\n", rec->model, rec->type, rec->time,
               rec->ltype, rec->level, rec->var);
    if (mode == 2) {
        VAR_make_datatype(rec->time, rec->ltype, rec->level, rec->var, rec->units, rec->info,
                          sizeof(rec->info));
        char label[DATE_LABEL_LEN] = "";
        DATE_make_label_for_time(rec->time, rec->source * 1000 + rec->model, &rec->date,
                                 label);
        copy_field(rec->datim, label);
    }
}

// Moves from message num to num + 1 of a GRIB file without an index file.
bool step_message(int slot, GRD_file *f) {
    ReadState &s = st();
    if (!s.walked) {
        // find the current message and step over it
        if (!seek_to(f->file, s.cur_pos)) return false;
        if (s.pcont) {
            // inside an edition 2 message: walk over the current product
            int c = 0;
            if (GRIB_skip_product(slot, &c) != 0) return false;
            s.cont = c;
            s.walked = true;
        } else if (GRIB_header(slot) <= 0) {
            return false;
        } else if (GRIB_get_version() == 2) {
            int c = 0;
            if (GRIB_skip_product(slot, &c) != 0) return false;
            s.cont = c;
            s.walked = true;
        } else {
            long next = GRIB_next(slot, 1);
            if (next <= 0) return false;
            s.cur_pos = next;
            s.cont = s.pcont = 0;
            return true;
        }
    }
    if (s.new_pos < 0 || !seek_to(f->file, s.new_pos)) return false;
    s.cur_pos = s.new_pos;
    // the product at new_pos continues the message (its sections 1 and 3
    // and the bitmap are reused), or a new message begins there
    s.pcont = s.cont;
    s.walked = false;
    return true;
}

// Positions the reader on message p (index file or stream).
bool position(int slot, GRD_file *f, int p) {
    ReadState &s = st();
    SlotState &ss = s.slot[slot];
    if (f->hfile) {
        if (p < ss.hdr_line || (p == 0 && p == f->num)) {
            if (!rewind_index(f, ss)) return false;
        }
        while (ss.hdr_line < p) {
            if (!read_index_line(f, ss)) return false;
        }
        const char *form = p == f->num + 1 ? "GRIB HDR1: %d %s\n"
                           : p == f->num   ? "GRIB HDR2: %d %s\n"
                                           : "GRIB HDR3: %d %s\n";
        MESS_print(DEBUG, form, p, ss.hdr_text.c_str());
        f->num = p;
        return true;
    }
    if (p == f->num) {
        s.cont = s.pcont;
        s.walked = false;
        return true;
    }
    if (p < f->num) {
        if (!seek_to(f->file, 0)) return false;
        f->num = 0;
        s.cur_pos = 0;
        s.new_pos = -1;
        s.cont = s.pcont = 0;
        s.walked = false;
        GRIB_clear_bitmap();
    }
    while (p > f->num) {
        if (!step_message(slot, f)) return false;
        ++f->num;
    }
    s.cont = s.pcont;
    return true;
}

// Makes a slot's positions the current ones for the length of a read and
// keeps them for the slot afterwards.
class SlotPositions {
public:
    explicit SlotPositions(int slot) : ss_(st().slot[slot]) {
        ReadState &s = st();
        s.cur_pos = ss_.cur_pos;
        s.new_pos = ss_.new_pos;
        s.cont = ss_.cont;
        s.pcont = ss_.pcont;
        s.walked = ss_.walked;
    }
    ~SlotPositions() {
        const ReadState &s = st();
        ss_.cur_pos = s.cur_pos;
        ss_.new_pos = s.new_pos;
        ss_.cont = s.cont;
        ss_.pcont = s.pcont;
        ss_.walked = s.walked;
    }
    SlotPositions(const SlotPositions &) = delete;
    SlotPositions &operator=(const SlotPositions &) = delete;

private:
    SlotState &ss_;
};

// mode 3 (planning, GRD_read_points) reads like mode 0 but describes the
// packed values in *job instead of decoding them where it can (*partial).
int read_grib(int slot, GRD_file *f, GRD_report *rec, int mode, int *num,
              GRD_point_job *job = nullptr, int *partial = nullptr) {
    ReadState &s = st();
    SlotState &ss = s.slot[slot];
    SlotPositions keep(slot);
    int p = num ? *num : f->num + 1;
    if (p < 0) p = 0;
    if (!position(slot, f, p)) return -1;
    if (f->hfile && (mode == 1 || mode == 2)) {
        header_from_index(f, ss, rec, mode);
        if (num) *num = f->num;
        return 0;
    }
    if (f->hfile) {
        s.cur_pos = ss.hdr_pos;
        s.pcont = s.cont = 0;
    }
    if (!seek_to(f->file, s.cur_pos)) return -1;
    bool continuing = s.pcont != 0;
    if (!continuing) {
        int r = GRIB_header(slot);
        if (r <= 0) return -1;
        // A message cut off by the end of the file is reported once: the
        // fields it held are missing from whatever is made of the file.
        long have = 0, want = 0;
        if (ss.cut_reported != s.cur_pos && GRIB_cut_short(slot, &have, &want)) {
            ss.cut_reported = s.cur_pos;
            MESS_print(64, "GRD_read: GRIB message %d is cut short: %ld of %ld octets\n", f->num,
                       have, want);
        }
    }
    rec->datim[0] = '\0';
    rec->info[0] = '\0';
    if (!continuing && GRIB_get_version() != 2) {
        s.walked = false;
        int r = GRIB_PDB(slot, rec, mode);
        if (r > 0) r = GRIB_GDB(slot, rec);
        if (r <= 0) {
            // values of another grid must not stay behind this header
            if (mode == 0 || mode == 3) GRD_free(rec);
            seek_to(f->file, s.cur_pos);
            return r;
        }
        if (mode == 0 || mode == 3) {
            r = GRIB_BMB(slot, rec);
            if (r > 0 && mode == 3) {
                r = GRIB_point_job1(slot, rec, job);
                *partial = r > 0 ? 1 : 0;
                if (r == 0) r = 1;  // decoded whole below
            }
            if (r > 0 && (mode == 0 || *partial == 0)) r = GRIB_BDB(slot, rec);
            if (r <= 0) {
                GRD_free(rec);
                seek_to(f->file, s.cur_pos);
                return -1;
            }
        }
    } else {
        int c = 0;
        GRD_set_cont(continuing ? 1 : 0);
        int r = GRIB_read_product(slot, rec, mode, &c);
        s.cont = c;
        s.walked = true;
        if (r != 0) {
            if (r == 1) s.cont = 0;
            seek_to(f->file, s.cur_pos);
            return r;
        }
        // otherwise the caller reads the product again, values and all
        if (mode == 3) *partial = GRIB_point_job2(job) ? 1 : 2;
    }
    seek_to(f->file, s.cur_pos);
    if (num) *num = f->num;
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------

GRD_file *GRD_get_file(int slot) { return slot_file(slot); }
long GRD_get_cur_pos() { return st().cur_pos; }
void GRD_set_cur_pos(long pos) { st().cur_pos = pos; }
long GRD_get_new_pos() { return st().new_pos; }
void GRD_set_new_pos(long pos) { st().new_pos = pos; }
int GRD_get_cont() { return st().cont; }
void GRD_set_cont(int cont) { st().cont = cont; }
int GRD_get_pcont() { return st().pcont; }
void GRD_set_pcont(int pcont) { st().pcont = pcont; }
void GRD_use_hdr_file(int on) { st().use_hdrfile = on != 0; }
int GRD_get_use_hdr_file() { return st().use_hdrfile ? 1 : 0; }

int GRD_chktype(const char *name) {
    if (!name) return -1;
    FilePtr f = FILE_open_ptr(name, "r");
    if (!f) return -1;
    unsigned char buf[200];
    std::size_t n = std::fread(buf, 1, sizeof(buf), f.get());
    if (n == 0) return -1;
    auto starts = [&](const char *s) {
        std::size_t l = std::strlen(s);
        return n >= l && std::memcmp(buf, s, l) == 0;
    };
    if (buf[0] == ' ' || (buf[0] >= '0' && buf[0] <= '9')) return GRD_TYPE_TEXT;
    if (starts("ZUPGRID4")) return GRD_TYPE_ZUP4;
    if (starts("ZUPGRID")) return GRD_TYPE_ZUP;
    // netCDF-4 files are HDF5 files
    if (starts("CDF") || starts("\x89HDF\r\n")) return GRD_TYPE_NETCDF;
    if (starts("GRIB") || buf[0] == '*' || buf[0] == 0x01) return GRD_TYPE_GRIB;
    if (starts("GRID")) return GRD_TYPE_GRID;
    for (std::size_t i = 0; i + 4 <= n; ++i)
        if (std::memcmp(buf + i, "GRIB", 4) == 0) return GRD_TYPE_GRIB;
    return -1;
}

namespace {

// Large files are read product after product into buffers of the same few
// sizes.  Keep freed memory in the process rather than handing it back to
// the system and faulting it in again, page by page, for the next product.
void keep_grid_memory() {
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
        return true;
    }();
    (void)done;
}

}  // namespace

int GRD_open(const char *name, int mode, int *type) {
    keep_grid_memory();
    ReadState &s = st();
    int code = type ? *type : 0;
    int slot = -1;
    for (int i = 0; i < GRD_MAX_FILES; ++i)
        if (!s.gfile[i]) {
            slot = i;
            break;
        }
    if (slot < 0) return -1;
    if (!name) name = "";
    bool is_std = name[0] == '\0' || std::strcmp(name, "-") == 0;
    if (is_std) {
        if (code != GRD_TYPE_ZUP && code != GRD_TYPE_ZUP_W && code != GRD_TYPE_GRIB)
            code = GRD_TYPE_ZUP;
    } else if (code == 0) {
        if (mode == 1) return -1;
        code = GRD_chktype(name);
        if (code < 0) return -1;
    }
    auto f = std::make_unique<GRD_file>();
    std::memset(f.get(), 0, sizeof(GRD_file));
    f->fd = 1;
    f->type = code;
    f->cur_var = -1;
    f->is_std = is_std;
    DATE_init(&f->date);
    if (is_stream_type(code)) {
        f->file = FILE_open(is_std ? "-" : name, mode == 1 ? "w" : "r");
        if (!f->file) return -1;
    } else if (code == GRD_TYPE_NETCDF) {
        f->file = nullptr;
        f->fd = grd_nc_open(name, mode);
        if (f->fd < 0) return -1;
    } else {
        return -1;
    }
    s.gfile[slot] = std::move(f);
    s.slot[slot] = SlotState{};
    s.cur_pos = 0;
    s.new_pos = -1;
    s.cont = s.pcont = 0;
    s.walked = false;
    if (code >= GRD_TYPE_TEXT && code <= GRD_TYPE_ZUP4) grd_own_open(slot, name);
    if (code == GRD_TYPE_GRID) grd_gridcode_open(slot);
    if (type) *type = code;
    return slot;
}

int GRD_hdr_open(int slot, const char *name) {
    GRD_file *f = slot_file(slot);
    if (!f || !st().use_hdrfile || f->type != GRD_TYPE_GRIB || !name || !name[0]) return -1;
    FILE *h = FILE_open(name, "r");
    if (!h) return -1;
    if (f->hfile) FILE_close(f->hfile);
    f->hfile = h;
    st().slot[slot].hdr_line = -1;
    return 0;
}

int GRD_getinfo(int slot, GRD_info *info) {
    GRD_file *f = slot_file(slot);
    if (!f || !info) return -1;
    std::memset(info, 0, sizeof(*info));
    DATE_init(&info->date);
    switch (f->type) {
    case GRD_TYPE_GRIB:
        break;
    case GRD_TYPE_TEXT:
    case GRD_TYPE_ZUP:
    case GRD_TYPE_ZUP_W:
    case GRD_TYPE_ZUP4:
        return grd_own_getinfo(slot, f, info);
    case GRD_TYPE_GRID:
        return grd_gridcode_getinfo(slot, f, info);
    case GRD_TYPE_NETCDF:
        return grd_nc_getinfo(f, info);
    default:
        return -1;
    }
    info->grid_type = 0;
    if (GRD_rewind(slot) != 0 && !f->is_std) return -1;
    if (GRIB_header(slot) <= 0) {
        GRD_rewind(slot);
        return -1;
    }
    int r = GRIB_get_info(slot, info);
    f->date = info->date;
    copy_field(f->datim, info->datim);
    GRD_rewind(slot);
    return r < 0 ? -1 : 0;
}

int GRD_read_points(int slot, GRD_report *rec, int *num, GRD_point_job *job, bool *partial) {
    *partial = false;
    GRD_file *f = slot_file(slot);
    if (!f || !rec || !job || f->type != GRD_TYPE_GRIB || f->is_std || !f->file ||
        !grd_partial_on())
        return GRD_read(slot, rec, 0, num);
    GRD_free(rec);
    job->fd = fileno(f->file);
    int how = 0;  // 0 decoded whole, 1 described, 2 to be read again whole
    int r = read_grib(slot, f, rec, 3, num, job, &how);
    if (r != 0) return r;
    if (how == 2) {
        int again = f->num;
        r = GRD_read(slot, rec, 0, &again);
        if (r == 0 && num) *num = again;
        return r;
    }
    *partial = how == 1;
    return 0;
}

int GRD_read(int slot, GRD_report *rec, int mode, int *num) {
    GRD_file *f = slot_file(slot);
    if (!f || !rec) return -1;
    switch (f->type) {
    case GRD_TYPE_GRIB:
        return read_grib(slot, f, rec, mode, num);
    case GRD_TYPE_TEXT:
    case GRD_TYPE_ZUP:
    case GRD_TYPE_ZUP_W:
    case GRD_TYPE_ZUP4: {
        SlotPositions keep(slot);
        return grd_own_read(slot, f, rec, mode, num);
    }
    case GRD_TYPE_GRID: {
        SlotPositions keep(slot);
        return grd_gridcode_read(slot, f, rec, mode, num);
    }
    case GRD_TYPE_NETCDF:
        return grd_nc_read(f, rec, mode, num);
    default:
        return 0;
    }
}

int GRD_rewind(int slot) {
    GRD_file *f = slot_file(slot);
    if (!f) return -1;
    ReadState &s = st();
    if (f->file && !f->is_std) {
        std::fseek(f->file, 0, SEEK_SET);
        if (f->type == GRD_TYPE_ZUP || f->type == GRD_TYPE_ZUP_W) skip_line(f->file);
    }
    if (f->hfile) rewind_index(f, s.slot[slot]);
    f->num = 0;
    f->cur_var = -1;
    s.cur_pos = (f->file && !f->is_std) ? std::ftell(f->file) : 0;
    if (s.cur_pos < 0) s.cur_pos = 0;
    s.new_pos = -1;
    s.cont = s.pcont = 0;
    s.walked = false;
    SlotState &ss = s.slot[slot];
    ss.cur_pos = s.cur_pos;
    ss.new_pos = -1;
    ss.cont = ss.pcont = 0;
    ss.walked = false;
    return 0;
}

int GRD_close(int slot) {
    if (slot < 0 || slot >= GRD_MAX_FILES) return -1;
    ReadState &s = st();
    GRD_file *f = s.gfile[slot].get();
    if (!f) return 0;
    if (!is_stream_type(f->type) && f->type != GRD_TYPE_NETCDF) return -1;
    if (f->file && !f->is_std) FILE_close(f->file);
    if (f->hfile) FILE_close(f->hfile);
    if (f->type == GRD_TYPE_NETCDF) grd_nc_close(f);
    grd_own_close(slot);
    s.gfile[slot].reset();
    s.slot[slot] = SlotState{};
    return 0;
}
