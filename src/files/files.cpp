// files.cpp - file-name conventions (templates of date and directory codes),
// typed-name matching, current/latest files, the file prompt, and the path
// utilities every reader and writer uses to open files.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "zup.h"
#include "zupresrc.h"

namespace {

constexpr int kKeyLen = 30;
constexpr int kExtLen = 20;

struct SavedConv {
    char conv[FILE_NAME_LEN] = "";
    char hconv[FILE_NAME_LEN] = "";
    int late_off = 3600;
    char filename[FILE_NAME_LEN] = "";
    int filename_type = 0;
};

struct FileState {
    char conv[FILE_NAME_LEN] = "";
    char hconv[FILE_NAME_LEN] = "";
    char ext[kExtLen] = "";
    char filename[FILE_NAME_LEN] = "";
    int filename_type = 0;
    Date file_date{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
    Date set{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
    char keys[256][kKeyLen] = {};
    int late_off = 3600;
    int min_size = 0;
    int rmin_size = 0;
    int retry = 4;
    int header = 0;
    int file_type = 0;
    char extra[FILE_NAME_LEN] = "";
    SavedConv saved;
    std::set<FILE *> pipes;  // streams opened with popen
};
FileState fs;

}  // namespace

// ---------------------------------------------------------------------------
// Paths

int FILE_is_stdio(const char *name) {
    if (!name || !name[0]) return 1;
    return std::strcmp(name, "-") == 0 || stricmp(name, "std") == 0 || stricmp(name, "stdn") == 0;
}

int FILE_fullpath(const char *name) {
    return name && (name[0] == '/' || name[0] == '.' || name[0] == '~') ? 1 : 0;
}

char *FILE_add_path_delim(char *text) {
    if (!text || !text[0]) return text;
    std::size_t n = std::strlen(text);
    if (text[n - 1] != '/') {
        text[n] = '/';
        text[n + 1] = '\0';
    }
    return text;
}

char *FILE_add_path(const char *dir, const char *name, char *out) {
    if (!out) return out;
    const char *nm = name ? name : "";
    if (FILE_is_stdio(nm) || FILE_fullpath(nm) || !dir || !dir[0]) {
        if (out != nm) copy_field(out, FILE_NAME_LEN, nm);
        return out;
    }
    std::string s = dir;
    if (s.back() != '/') s += '/';
    s += nm;
    copy_field(out, FILE_NAME_LEN, s.c_str());
    return out;
}

char *FILE_add_user_path(const char *name, char *out) {
    if (!out) return out;
    const char *nm = name ? name : "";
    if (nm[0] != '~') {
        if (out != nm) copy_field(out, FILE_NAME_LEN, nm);
        return out;
    }
    const char *rest = nm + 1;
    const char *slash = std::strchr(rest, '/');
    std::string user = slash ? std::string(rest, slash) : std::string(rest);
    std::string home;
    if (user.empty()) {
        const char *h = std::getenv("HOME");
        if (h) {
            home = h;
        } else if (struct passwd *pw = getpwuid(getuid())) {
            home = pw->pw_dir;
        }
    } else if (struct passwd *pw = getpwnam(user.c_str())) {
        home = pw->pw_dir;
    } else {
        // An unknown user leaves the name as typed.
        if (out != nm) copy_field(out, FILE_NAME_LEN, nm);
        return out;
    }
    std::string s = home + (slash ? slash : "");
    copy_field(out, FILE_NAME_LEN, s.c_str());
    return out;
}

int FILE_exist(const char *name) {
    if (!name || !name[0]) return 0;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    struct stat sb {};
    return stat(path, &sb) == 0 ? 1 : 0;
}

long FILE_size(const char *name) {
    if (!name || !name[0]) return -1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    struct stat sb {};
    if (stat(path, &sb) != 0) return -1;
    return static_cast<long>(sb.st_size);
}

int FILE_is_dir(const char *name) {
    if (!name || !name[0]) return 0;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    struct stat sb {};
    return stat(path, &sb) == 0 && S_ISDIR(sb.st_mode) ? 1 : 0;
}

int FILE_delete(const char *name) {
    if (!name || !name[0]) return -1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    return unlink(path) == 0 ? 0 : -1;
}

int FILE_make_dir(const char *dir) {
    if (!dir || !dir[0]) return -1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(dir, path);
    std::string p = path;
    for (std::size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            std::string part = p.substr(0, i);
            struct stat sb {};
            if (stat(part.c_str(), &sb) == 0) continue;
            if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return -1;
        }
    }
    return 0;
}

FILE *FILE_open(const char *name, const char *mode) {
    const char *m = mode && mode[0] ? mode : "r";
    bool writing = m[0] == 'w' || m[0] == 'a';
    if (FILE_is_stdio(name)) return writing ? stdout : stdin;
    if (name[0] == '|') {
        const char *cmd = name + 1;
        while (*cmd == ' ') ++cmd;
        std::fflush(stdout);
        FILE *p = popen(cmd, writing ? "w" : "r");
        if (p) fs.pipes.insert(p);
        return p;
    }
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    if (writing) {
        const char *slash = std::strrchr(path, '/');
        if (slash && slash != path) {
            std::string dir(path, static_cast<std::size_t>(slash - path));
            if (!FILE_is_dir(dir.c_str())) FILE_make_dir(dir.c_str());
        }
    }
    return std::fopen(path, m);
}

int FILE_close(FILE *file) {
    if (!file) return -1;
    if (file == stdin || file == stdout || file == stderr) {
        std::fflush(file);
        return 0;
    }
    auto it = fs.pipes.find(file);
    if (it != fs.pipes.end()) {
        fs.pipes.erase(it);
        return pclose(file) == -1 ? -1 : 0;
    }
    return std::fclose(file) == 0 ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Keys, forced date and simple state

int FILE_set_key(int key, const char *text) {
    if (key < 0 || key > 255) return -1;
    char *k = fs.keys[key];
    copy_field(k, kKeyLen, text ? text : "");
    fill_string(k, ' ', '_');
    return 0;
}

int FILE_get_key(int key, char *text) {
    if (key < 0 || key > 255) return 0;
    if (text) copy_field(text, kKeyLen, fs.keys[key]);
    return fs.keys[key][0] ? 1 : 0;
}

int FILE_set_time(const Date *date) {
    if (date)
        fs.set = *date;
    else
        DATE_init(&fs.set);
    return 0;
}

int FILE_get_time(Date *date) {
    if (date) *date = fs.set;
    return 0;
}

int FILE_set_type(int n) {
    fs.file_type = n;
    return 0;
}

int FILE_set_ext_info(const char *text) {
    copy_field(fs.ext, text ? text : "");
    return 0;
}

int FILE_extract_extra_info(const char *text) {
    copy_field(fs.extra, text ? text : "");
    return 0;
}

int FILE_set_min_size(int n) {
    fs.rmin_size = n;
    return 0;
}

int FILE_set_late_off(int seconds) {
    if (seconds > 0) fs.late_off = seconds;
    return 0;
}
int FILE_get_late_off() { return fs.late_off; }

int FILE_set_retry(int n) {
    fs.retry = n > 0 ? n : 1;
    return 0;
}

int FILE_save_name_conv() {
    copy_field(fs.saved.conv, fs.conv);
    copy_field(fs.saved.hconv, fs.hconv);
    fs.saved.late_off = fs.late_off;
    copy_field(fs.saved.filename, fs.filename);
    fs.saved.filename_type = fs.filename_type;
    return 0;
}

int FILE_restore_name_conv() {
    copy_field(fs.conv, fs.saved.conv);
    copy_field(fs.hconv, fs.saved.hconv);
    fs.late_off = fs.saved.late_off;
    copy_field(fs.filename, fs.saved.filename);
    fs.filename_type = fs.saved.filename_type;
    return 0;
}

const char *FILE_get_conv() { return fs.conv; }
const char *FILE_get_ext() { return fs.ext; }
const char *FILE_get_filename() { return fs.filename; }

int FILE_get_date(Date *date) {
    if (date) *date = fs.file_date;
    return 0;
}

void FILE_reset() {
    std::set<FILE *> pipes = std::move(fs.pipes);
    fs = FileState{};
    fs.pipes = std::move(pipes);
}
