// string.cpp - splitting, trimming, case folding and comparison of texts.
#include <cctype>
#include <cstring>

#include "zup.h"

namespace {
int lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }
}  // namespace

int parse_string(const char *text, char delim, int *count, char ***list) {
    if (count) *count = 0;
    if (list) *list = nullptr;
    if (!text || !*text || !count || !list) return -1;
    std::size_t len = std::strlen(text);
    // Trailing delimiters do not make empty fields.
    while (len > 0 && text[len - 1] == delim) --len;
    char *copy = new char[len + 1];
    std::memcpy(copy, text, len);
    copy[len] = '\0';
    int n = 1;
    for (std::size_t i = 0; i < len; ++i)
        if (copy[i] == delim) ++n;
    // The first pointer is always the start of the copy, which is how
    // free_parsed_array finds it again.
    char **items = new char *[n];
    int k = 0;
    items[k++] = copy;
    for (std::size_t i = 0; i < len; ++i) {
        if (copy[i] == delim) {
            copy[i] = '\0';
            items[k++] = copy + i + 1;
        }
    }
    *count = n;
    *list = items;
    return 0;
}

void free_parsed_array(int count, char **list) {
    if (count <= 0 || !list) return;
    delete[] list[0];
    delete[] list;
}

int stricmp(const char *a, const char *b) {
    if (!a || !b) return 1;
    for (;; ++a, ++b) {
        int d = lower(*a) - lower(*b);
        if (d != 0 || *a == '\0') return d;
    }
}

int strnicmp(const char *a, const char *b, int n) {
    if (!a || !b) return 1;
    if (n < 1) n = 1;
    for (int i = 0; i < n; ++i, ++a, ++b) {
        int d = lower(*a) - lower(*b);
        if (d != 0 || *a == '\0') return d;
    }
    return 0;
}

char *fill_string(char *text, char from, char to) {
    if (!text) return text;
    for (char *p = text; *p; ++p)
        if (*p == from) *p = to;
    return text;
}

char *trim_string(char *text) {
    if (!text) return text;
    std::size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
    return text;
}

char *trim_cr_string(char *text) {
    if (!text) return text;
    std::size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == '\r') text[--n] = '\0';
    return text;
}

char *wstrim_string(char *text) {
    if (!text) return text;
    char *w = text;
    for (const char *r = text; *r; ++r)
        if (*r != '\r' && *r != '\n') *w++ = *r;
    *w = '\0';
    return trim_string(text);
}

int low_string(char *text) {
    if (!text || !*text) return 0;
    for (char *p = text; *p; ++p) *p = static_cast<char>(lower(*p));
    return 1;
}

int string_is_num(const char *text) {
    if (!text || !*text) return 0;
    const char *p = text;
    if (*p == '-') ++p;
    if (!*p) return 0;
    for (; *p; ++p)
        if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
    return 1;
}
