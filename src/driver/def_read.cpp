// def_read.cpp - resource (defaults) files: which file a search-list element
// names, line reading with tag sections, and the entry-name patterns.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "zup.h"
#include "zupresrc.h"

namespace {

constexpr int kMaxTags = 10;
constexpr int kMaxDepth = 10;

struct Section {
    bool taken;   // some branch of this section was active
    bool active;  // the current branch is active
};

struct DefState {
    FilePtr file;
    std::vector<std::string> tags;
    Section stack[kMaxDepth] = {};
    int depth = 0;      // open sections kept on the stack
    int overflow = 0;   // sections nested beyond kMaxDepth
    std::string prog;   // program name for matching
    std::string title;  // title from the "name" option
};
DefState ds;

bool has_tag(const char *tag) {
    for (const std::string &t : ds.tags)
        if (stricmp(t.c_str(), tag) == 0) return true;
    return false;
}

bool all_active() {
    for (int i = 0; i < ds.depth; ++i)
        if (!ds.stack[i].active) return false;
    return true;
}

// Reads one line of at most DEF_LINE_LEN-1 characters; the rest of a
// longer line is dropped.  -> false at end of file.
bool read_line(FILE *f, char *buf) {
    int c;
    int n = 0;
    bool got = false;
    while ((c = std::fgetc(f)) != EOF) {
        got = true;
        if (c == '\n') break;
        if (n < DEF_LINE_LEN - 1) buf[n++] = static_cast<char>(c);
    }
    buf[n] = '\0';
    return got;
}

// Handles a tag-section keyword line.  -> true when the line was one.
bool section_line(const char *word, const char *arg) {
    auto is = [&](const char *kw) { return stricmp(word, kw) == 0; };
    if (is("DEF")) {
        if (all_active() && arg[0] && !has_tag(arg) &&
            static_cast<int>(ds.tags.size()) < kMaxTags)
            ds.tags.emplace_back(arg);
        return true;
    }
    if (is("UNDEF")) {
        if (all_active()) {
            for (auto it = ds.tags.begin(); it != ds.tags.end(); ++it) {
                if (stricmp(it->c_str(), arg) == 0) {
                    ds.tags.erase(it);
                    break;
                }
            }
        }
        return true;
    }
    if (is("IF")) {
        if (ds.depth >= kMaxDepth) {
            ++ds.overflow;
        } else {
            bool on = has_tag(arg);
            ds.stack[ds.depth++] = Section{on, on};
        }
        return true;
    }
    if (is("ELIF") || is("ELSE") || is("END")) {
        if (ds.overflow > 0) {
            if (is("END")) --ds.overflow;
            return true;
        }
        if (ds.depth == 0) {
            if (is("ELIF")) MESS_print(192, "DEF_get: elif without an if\n");
            else if (is("ELSE")) MESS_print(192, "DEF_get: else without an if\n");
            else MESS_print(192, "DEF_get: end without an if\n");
            return true;
        }
        Section &s = ds.stack[ds.depth - 1];
        if (is("END")) {
            --ds.depth;
        } else if (is("ELSE")) {
            s.active = !s.taken;
            s.taken = true;
        } else {
            bool on = !s.taken && has_tag(arg);
            s.active = on;
            if (on) s.taken = true;
        }
        return true;
    }
    return false;
}

}  // namespace

int DEF_open(const char *element) {
    DEF_close();
    const char *el = element ? element : "";
    char path[FILE_NAME_LEN];
    if (!el[0]) {
        copy_field(path, ".zupdef");
    } else {
        char expanded[FILE_NAME_LEN];
        FILE_add_user_path(el, expanded);
        if (FILE_is_dir(expanded)) {
            static const char *const kNames[] = {"zup.cfg", ".zupdef", "Zup.res"};
            path[0] = '\0';
            for (const char *n : kNames) {
                char candidate[FILE_NAME_LEN];
                FILE_add_path(expanded, n, candidate);
                if (FILE_exist(candidate)) {
                    copy_field(path, candidate);
                    break;
                }
            }
            if (!path[0]) return 0;
        } else {
            copy_field(path, expanded);
        }
    }
    if (FILE_is_stdio(path) || FILE_is_dir(path)) return 0;
    ds.file = FILE_open_ptr(path, "r");
    ds.depth = 0;
    ds.overflow = 0;
    return ds.file ? 1 : 0;
}

int DEF_get(char *name, char *value) {
    if (!ds.file || !name || !value) return 0;
    char line[DEF_LINE_LEN];
    char word[DEF_LINE_LEN];
    char val[DEF_LINE_LEN];
    while (read_line(ds.file.get(), line)) {
        wstrim_string(line);
        if (line[0] == '#') continue;
        word[0] = val[0] = '\0';
        int got = std::sscanf(line, "%249s %249s", word, val);
        if (got < 1) continue;
        if (section_line(word, got >= 2 ? val : "")) continue;
        if (got < 2) continue;
        if (val[0] == '"') {
            val[0] = '\0';
            if (std::sscanf(line, "%*s \"%249[^\"]", val) < 1) val[0] = '\0';
        }
        if (!all_active()) continue;
        low_string(word);
        std::size_t n = std::strlen(word);
        if (n > 0 && word[n - 1] == ':') word[n - 1] = '\0';
        if (!word[0]) continue;
        copy_field(name, DEF_LINE_LEN, word);
        copy_field(value, DEF_LINE_LEN, val);
        return 1;
    }
    return 0;
}

int DEF_close() {
    ds.file.reset();
    return 0;
}

int DEF_add_tag(const char *tag) {
    if (!tag || !tag[0] || has_tag(tag)) return 0;
    if (static_cast<int>(ds.tags.size()) >= kMaxTags) return -1;
    ds.tags.emplace_back(tag);
    return 0;
}

int DEF_clear_tags() {
    ds.tags.clear();
    return 0;
}

int DEF_set_prog(const char *progname, const char *title) {
    ds.prog = progname ? progname : "";
    ds.title = title ? title : "";
    return 0;
}

int DEF_cmp(const char *pattern, const char *target) {
    if (!pattern || !target) return 0;
    const char *p = pattern;
    const char *t = target;
    auto low = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    while (*p) {
        if (*p == '*') {
            while (*p == '*') ++p;
            if (!*p) return 1;  // a final "*" takes the rest
            // The literal text up to the next "*".
            std::size_t len = 0;
            while (p[len] && p[len] != '*') ++len;
            const char *found = nullptr;
            for (const char *s = t; *s; ++s) {
                if (std::strlen(s) < len) break;
                if (strnicmp(s, p, static_cast<int>(len)) == 0) {
                    found = s;
                    break;
                }
            }
            if (!found) return 0;
            t = found + len;
            p += len;
            continue;
        }
        if (!*t || low(*p) != low(*t)) return 0;
        ++p;
        ++t;
    }
    return *t == '\0';
}

int DEF_valid(const char *entry, const char *resource) {
    if (!entry || !resource) return 0;
    std::string target;
    if (ds.title.empty())
        target = ds.prog;
    else if (ds.title[0] == '+')
        target = ds.prog + "." + ds.title.substr(1);
    else
        target = ds.title;
    target += ".";
    target += resource;
    return DEF_cmp(entry, target.c_str());
}
