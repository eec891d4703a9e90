// fuzz.cpp - what the fuzzing entry points share.
#include "fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "zup.h"
#include "grd_points.h"
#include "grd_priv.h"
#include "zupgrd.h"
#include "zupresrc.h"

namespace fuzz {

namespace {

std::map<std::string, Entry> &table() {
    static std::map<std::string, Entry> t;
    return t;
}

void remove_workdir();

std::string make_workdir() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/raziva-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    std::atexit(remove_workdir);
    return buf.data();
}

// Kept for the whole process (never destroyed): the exit handler that
// removes the folder still needs its name.
const std::string &dir() {
    static const std::string *d = [] {
        auto *w = new std::string(make_workdir());
        // Untrusted input must not run commands or write anywhere else.
        FILE_set_sandbox(w->c_str());
        // Decode on the caller's thread: a pool started for every input
        // costs more than the small decodes it would share.
        GRD_set_pool_threads(0);
        // a netCDF-4 header that hangs the HDF5 layer is given up sooner
        // (libFuzzer may run an input twice within its time limit)
        grd_nc_set_probe_limit(1500);
        return w;
    }();
    return *d;
}

void remove_workdir() {
    std::error_code ec;
    std::filesystem::remove_all(dir(), ec);
}

}  // namespace

Registration::Registration(const char *name, Entry entry) { table()[name] = entry; }

Entry find(const std::string &name) {
    auto it = table().find(name);
    return it == table().end() ? nullptr : it->second;
}

std::vector<std::string> names() {
    std::vector<std::string> v;
    for (const auto &[name, entry] : table()) v.push_back(name);
    return v;
}

const std::string &workdir() { return dir(); }

std::string put_file(const char *name, const std::uint8_t *data, std::size_t size) {
    std::string path = workdir() + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

std::string text(const std::uint8_t *data, std::size_t size, std::size_t max) {
    std::size_t n = 0;
    while (n < size && n < max && data[n]) ++n;
    return std::string(reinterpret_cast<const char *>(data), n);
}

void split_first_line(const std::uint8_t *data, std::size_t size, std::string *first,
                      const std::uint8_t **rest, std::size_t *rest_size) {
    const void *nl = size ? std::memchr(data, '\n', size) : nullptr;
    std::size_t n = nl ? static_cast<std::size_t>(static_cast<const std::uint8_t *>(nl) - data)
                       : size;
    *first = text(data, n);
    std::size_t skip = nl ? n + 1 : n;
    *rest = data + skip;
    *rest_size = size - skip;
}

void use_shipped_tables() { RES_put("file_path", RAZIVA_DATA_DIR); }

void read_grids(int slot) {
    GRD_info info;
    GRD_getinfo(slot, &info);
    GRD_report rec;
    GRD_init(&rec);
    for (int m = 0; m < 32; ++m) {
        int num = m;
        int r = GRD_read(slot, &rec, 1, &num);
        if (r < 0) break;
        if (r > 0) continue;
        num = m;
        if (GRD_read(slot, &rec, 0, &num) != 0) continue;
        Domain dom = rec.domain;
        float x = 0, y = 0;
        GRD_get_value_domain(&rec, &dom, &x, &y);
    }
    GRD_free(&rec);
    GRD_close(slot);
}

void read_grid_file(const std::string &path) {
    static const bool copied = [] {
        std::error_code ec;
        std::filesystem::copy_file(RAZIVA_TEST_DATA_DIR "/grid/nam_cut.dat",
                                   workdir() + "/nam_cut.dat",
                                   std::filesystem::copy_options::overwrite_existing, ec);
        return true;
    }();
    (void)copied;
    int type = 0;
    int slot = GRD_open(path.c_str(), 0, &type);
    if (slot >= 0) read_grids(slot);
}

int open_grid_memory(const std::uint8_t *data, std::size_t size, int type) {
    workdir();
    int code = type;
    int slot = GRD_open("/dev/null", 0, &code);
    if (slot < 0) return -1;
    GRD_file *f = GRD_get_file(slot);
    // The reader only seeks, tells and reads: a memory stream serves as well.
    FILE *mem = fmemopen(const_cast<std::uint8_t *>(data), size ? size : 1, "rb");
    if (!f || !mem) {
        if (mem) std::fclose(mem);
        GRD_close(slot);
        return -1;
    }
    FILE_close(f->file);
    f->file = mem;
    if (size == 0) std::fgetc(mem);  // an empty buffer reads as end of file
    return slot;
}

}  // namespace fuzz
