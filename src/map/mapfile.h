// mapfile.h - opening the data files of the map module (regions files and
// station databases).
#ifndef MAPFILE_H
#define MAPFILE_H

#include <cstddef>
#include <cstdio>

#include "zup.h"

// Open a data file for reading.  Only plain files are read here: the names
// that FILE_open takes for standard input ("", "-", "std", "stdn") or for a
// command pipe ("|...") are refused, so a domain text or a station field
// can neither wait on the terminal nor start a command.
inline FilePtr map_open_data(const char *path) {
    if (!path || FILE_is_stdio(path) || path[0] == '|') return FilePtr();
    return FILE_open_ptr(path, "r");
}

// Read one line (without its newline) into buf of size bytes; the rest of
// a longer line is dropped.  A NUL byte in the line ends the text kept but
// not the line.  false at the end of the file.
inline bool map_read_line(FILE *fp, char *buf, std::size_t size) {
    if (!fp || !buf || size == 0) return false;
    std::size_t n = 0;
    int c = std::getc(fp);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::getc(fp))
        if (n + 1 < size) buf[n++] = static_cast<char>(c);
    buf[n] = '\0';
    return true;
}

#endif  // MAPFILE_H
