// fuzz.h - entry points fed with untrusted bytes, one per input kind.
//
// Each fuzz_<kind>.cpp defines its entry with RAZIVA_FUZZ_TARGET(kind).
// Built with clang's libFuzzer the entry becomes LLVMFuzzerTestOneInput of
// its own program; otherwise it registers itself by name so that one plain
// driver (replay_main.cpp) can feed it the files of a corpus.
#ifndef RAZIVA_FUZZ_H
#define RAZIVA_FUZZ_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

using Entry = int (*)(const std::uint8_t *data, std::size_t size);

struct Registration {
    Registration(const char *name, Entry entry);
};
// The registered entry of that name, or null.
Entry find(const std::string &name);
std::vector<std::string> names();

// Once per process: a private temporary folder (removed at exit), file
// writes confined to it and commands refused, the program state that
// every harness expects.  Returns the folder.
const std::string &workdir();
// Writes the bytes into workdir()/name and returns the full path.
std::string put_file(const char *name, const std::uint8_t *data, std::size_t size);
// The bytes as a C string: cut at the first NUL and at max bytes.
std::string text(const std::uint8_t *data, std::size_t size, std::size_t max = 2048);
// Splits the input at its first newline: the first line (without it) and
// the rest.  With no newline the whole input is the first line.
void split_first_line(const std::uint8_t *data, std::size_t size, std::string *first,
                      const std::uint8_t **rest, std::size_t *rest_size);

// Points file_path at the shipped lookup tables (parameter names, units).
void use_shipped_tables();

// Reads message after message of an open grid file (header, then values,
// then one value at the grid's centre), at most 32; closes it.
void read_grids(int slot);
// Opens a grid file by name (format found from its first bytes) and reads
// it grid after grid, header then values, as the sounding scan does.  A
// ZUPGRID4 data file "nam_cut.dat" from the test data stands next to it.
void read_grid_file(const std::string &path);

// Opens the bytes as a grid file of the given format code, read from
// memory; -> the slot, or -1.  The stream goes away with GRD_close.
int open_grid_memory(const std::uint8_t *data, std::size_t size, int type);

}  // namespace fuzz

#ifdef RAZIVA_LIBFUZZER
#define RAZIVA_FUZZ_TARGET(kind)                                                  \
    static int fuzz_##kind(const std::uint8_t *, std::size_t);                    \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *d, std::size_t n) { \
        return fuzz_##kind(d, n);                                                 \
    }                                                                             \
    static int fuzz_##kind(const std::uint8_t *data, std::size_t size)
#else
#define RAZIVA_FUZZ_TARGET(kind)                                           \
    static int fuzz_##kind(const std::uint8_t *, std::size_t);             \
    static const fuzz::Registration fuzz_reg_##kind(#kind, fuzz_##kind);   \
    static int fuzz_##kind(const std::uint8_t *data, std::size_t size)
#endif

#endif  // RAZIVA_FUZZ_H
