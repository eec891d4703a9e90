// mess.cpp - the message printer: class mask, screen and message-file
// routing, paging.
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zup.h"

namespace {

constexpr unsigned long kInitialMask = 0xFFFFF;

struct MessState {
    unsigned long mess_level = kInitialMask;
    int mess_set = 0;
    int mess_out = 1;
    int page = 1;
    int lines = 0;
    int max_lines = 22;
    FILE *pfile = nullptr;     // message file of the "message" resource
    FILE *ofile = nullptr;     // extra copy of shown messages
    char filename[80] = "";    // message file reopened per message (mode 2)
};
MessState st;

unsigned long bits32(long v) { return static_cast<unsigned long>(v) & 0xFFFFFFFFUL; }

// Every bit from the highest set bit of v down to bit 0.
unsigned long fill_down(unsigned long v) {
    unsigned long m = 0;
    for (int b = 31; b >= 0; --b) {
        if (v & (1UL << b)) {
            m = (b == 31) ? 0xFFFFFFFFUL : ((1UL << (b + 1)) - 1);
            break;
        }
    }
    return m;
}

void close_pfile() {
    if (st.pfile) FILE_close(st.pfile);
    st.pfile = nullptr;
}

int count_newlines(const char *s) {
    int n = 0;
    for (; s && *s; ++s)
        if (*s == '\n') ++n;
    return n;
}

struct ClassWord {
    const char *word;
    unsigned long bits;
};
constexpr ClassWord kClasses[] = {
    {"print", 0xF},         {"error", 0x30},       {"warn", 0xC0},
    {"mess", 0xF00},        {"out1", 0xF000},      {"out2", 0xF0000},
    {"out3", 0xF00000},     {"out4", 0xF000000},   {"debug", 0xF0000000UL},
    {"none", 0},
};

// Does item begin with word (any case)?
bool starts(const char *item, const char *word) {
    return strnicmp(item, word, static_cast<int>(std::strlen(word))) == 0;
}

void open_message_file(const char *name, const char *mode, int out) {
    close_pfile();
    st.pfile = FILE_open(name, mode);
    st.mess_out = out;
}

void apply_item(const char *item) {
    if (!*item) return;
    // File items: keyword, one separator character, the file name.
    struct FileItem {
        const char *word;
        const char *mode;
        int out;
    };
    static const FileItem kFiles[] = {
        {"+fi", "a", 1}, {"-fi", "w", 1}, {"@fi", "a", -1}, {"dfi", "a", 2}, {"fi", "a", 0},
    };
    for (const FileItem &f : kFiles) {
        if (starts(item, f.word)) {
            std::size_t wl = std::strlen(f.word);
            const char *name = item + wl;
            // Skip the rest of a longer word ("file=x") up to the separator.
            while (*name && std::isalpha(static_cast<unsigned char>(*name))) ++name;
            if (*name) ++name;
            if (f.out == 2) {
                close_pfile();
                copy_field(st.filename, name);
                st.mess_out = 2;
            } else {
                open_message_file(name, f.mode, f.out);
            }
            return;
        }
    }
    if (starts(item, "nopage")) {
        st.page = 0;
        return;
    }
    if (starts(item, "page")) {
        st.page = 2;
        return;
    }
    if (starts(item, "line")) {
        int n = 0;
        if (std::strlen(item) > 5) {
            long v = std::strtol(item + 5, nullptr, 10);
            n = v > 100000 ? 100000 : static_cast<int>(v < 0 ? 0 : v);
        }
        st.max_lines = n < 1 ? 22 : n;
        return;
    }
    char sign = 0;
    const char *w = item;
    if (*w == '+' || *w == '-') sign = *w++;
    unsigned long bits = 0;
    std::size_t wl = 0;
    for (const ClassWord &c : kClasses) {
        if (starts(w, c.word)) {
            bits = c.bits;
            wl = std::strlen(c.word);
            break;
        }
    }
    if (wl > 0) {
        switch (std::tolower(static_cast<unsigned char>(w[wl]))) {
        case 'a': bits &= 0x11111111UL; break;
        case 'b': bits &= 0x22222222UL; break;
        case 'c': bits &= 0x44444444UL; break;
        case 'd': bits &= 0x88888888UL; break;
        default: break;
        }
    }
    if (sign == '+')
        st.mess_level |= bits;
    else if (sign == '-')
        st.mess_level &= ~bits;
    else
        st.mess_level = fill_down(bits);
}

}  // namespace

int MESS_check(long level) { return (bits32(level) & st.mess_level) != 0; }
long MESS_get() { return static_cast<long>(st.mess_level); }
int MESS_check_set() { return st.mess_set; }

int MESS_set(int mode, long bits) {
    if (mode > 15 && st.mess_set) return 0;
    unsigned long b = bits32(bits);
    switch (mode) {
    case 0: case 10: case 20: st.mess_level = fill_down(b); break;
    case 1: case 11: case 21: st.mess_level |= b; break;
    case -1: case 9: case 19: st.mess_level &= ~b; break;
    default: break;
    }
    if (mode < 5) ++st.mess_set;
    return 0;
}

int MESS_set_str(const char *text) {
    if (!text) return 0;
    std::string all(text);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t comma = all.find(',', start);
        if (comma == std::string::npos) comma = all.size();
        std::string item = all.substr(start, comma - start);
        apply_item(item.c_str());
        start = comma + 1;
    }
    ++st.mess_set;
    return 0;
}

int MESS_set_page(int n) {
    st.page = n;
    return 0;
}
int MESS_get_page() { return st.page; }
int MESS_get_max_lines() { return st.max_lines; }

int MESS_set_out(int n) {
    st.mess_out = n;
    return 0;
}
int MESS_get_out() { return st.mess_out; }

int MESS_file(const char *name, const char *mode) {
    MESS_file_close();
    st.ofile = FILE_open(name, mode ? mode : "w");
    return st.ofile ? 0 : -1;
}

int MESS_file_close() {
    if (st.ofile) FILE_close(st.ofile);
    st.ofile = nullptr;
    return 0;
}

void MESS_reset() {
    close_pfile();
    MESS_file_close();
    st = MessState{};
}

int MESS_print(long level, const char *format, ...) {
    if (!format || !MESS_check(level)) return 0;
    // a report line fits the buffer and is formatted once; a longer text
    // is formatted again into a string of its size
    char line[512];
    std::string longer;
    const char *text = line;
    std::va_list ap;
    va_start(ap, format);
    std::va_list ap2;
    va_copy(ap2, ap);
    const int n = std::vsnprintf(line, sizeof line, format, ap2);
    va_end(ap2);
    if (n < 0) {
        line[0] = '\0';
    } else if (static_cast<std::size_t>(n) >= sizeof line) {
        longer.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(longer.data(), longer.size(), format, ap);
        longer.resize(static_cast<std::size_t>(n));
        text = longer.c_str();
    }
    va_end(ap);

    if (st.ofile) {
        std::fputs(text, st.ofile);
        std::fflush(st.ofile);
    }
    if (st.mess_out == 2 && st.filename[0]) st.pfile = FILE_open(st.filename, "a");
    if (st.pfile) {
        if (st.mess_out == -1) {
            char stamp[64];
            DATE_get_current_str(stamp);
            std::fprintf(st.pfile, "%s -- ", stamp);
        }
        std::fputs(text, st.pfile);
        std::fflush(st.pfile);
    }
    if (st.mess_out == 2) close_pfile();
    if (st.mess_out == 0) return 0;

    unsigned long lv = bits32(level);
    FILE *dest = (lv & 0xF0UL) ? stderr : stdout;
    // Keep the two screen streams in order.
    if (dest == stderr) std::fflush(stdout);
    std::fputs(text, dest);
    if (dest == stdout && st.page == 0) std::fflush(stdout);
    if (st.page == 2) {
        st.lines += count_newlines(format);
        if (st.lines > st.max_lines) MESS_hold(level, "Press return to continue\n");
    }
    return 1;
}

int MESS_hold(long level, const char *text) {
    if (!MESS_check(level) || st.mess_out == 0 || FLAG_batch() || st.page == 0) return 0;
    unsigned long lv = bits32(level);
    FILE *dest = ((lv & 0x30UL) && (lv & 0xC0UL)) ? stderr : stdout;
    std::fputs(text ? text : "", dest);
    std::fflush(stdout);
    std::fflush(stderr);
    std::fgetc(stdin);
    st.lines = 0;
    return 0;
}

int MESS_print_prog(const char *title) {
    MESS_print(3840, "      %s (Ver %s)\n\n", title ? title : "", ZUP_version());
    return 0;
}
