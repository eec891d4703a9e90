// system.cpp - keyboard prompts with their in-prompt commands, program
// exit, version, background detach and the elapsed-time clock.
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zup.h"
#include "zupresrc.h"

namespace {

struct SystemState {
    // Answer buffers handed out when a caller passes none; they live until
    // the program ends, as callers keep the pointers.
    std::vector<std::unique_ptr<char[]>> buffers;
    struct timeval start {};
    double slept = 0.0;
};
SystemState sys;

char *new_buffer(std::size_t size) {
    sys.buffers.push_back(std::make_unique<char[]>(size));
    char *b = sys.buffers.back().get();
    b[0] = '\0';
    return b;
}

void show_prompt(const char *prompt) {
    if (prompt) MESS_print(15, "%s", prompt);
    std::fflush(stdout);
    std::fflush(stderr);
}

// Reads the next line (at most ZUP_LINE_LEN-1 characters; a longer line is
// cut and its rest discarded) and cleans it.
void read_clean_line(char *line) {
    ZUP_read_line(line, ZUP_LINE_LEN);
}

// Scans one blank-free word of at most max characters from line into word.
bool scan_word(const char *line, char *word, int max) {
    const char *p = line;
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) return false;
    int n = 0;
    while (*p && *p != ' ' && *p != '\t' && n < max) word[n++] = *p++;
    word[n] = '\0';
    return n > 0;
}

}  // namespace

char *ZUP_read_line(char *buf, int len) {
    if (!buf || len < 1) return buf;
    std::fflush(stdout);
    int n = 0;
    int c;
    bool got = false;
    while ((c = std::fgetc(stdin)) != EOF) {
        got = true;
        if (c == '\n') break;
        if (n < len - 1) buf[n++] = static_cast<char>(c);
    }
    buf[n] = '\0';
    // End of input at a prompt ends the program as "exit" does.
    if (!got) ZUP_exit(0);
    wstrim_string(buf);
    return buf;
}

int ZUP_set_command(const char *line) {
    if (!line) return 0;
    if (strnicmp(line, "set", 3) == 0) {
        char name[ZUP_LINE_LEN] = "";
        int pos = -1;
        // The name ends at a blank or "="; the value follows the run of
        // blanks and "=" signs after it.
        std::sscanf(line, "%*s %79[^= ]%*[= ]%n", name, &pos);
        if (name[0]) {
            const char *value = "";
            if (pos > 0 && static_cast<std::size_t>(pos) <= std::strlen(line)) value = line + pos;
            RES_put(name, value);
        } else {
            MESS_print(2048, "Set resources\n");
            RES_list();
            MESS_print(2048, "\n");
        }
        return 1;
    }
    if (strnicmp(line, "exit", 4) == 0) ZUP_exit(0);
    return 0;
}

char *ZUP_prompts(const char *prompt, char *buf, int len) {
    // The word is at least one character long; a caller's buffer is never
    // written beyond its len bytes.
    std::size_t room = len > 0 ? static_cast<std::size_t>(len) : 0;
    if (len < 2) len = 2;
    if (!buf) {
        buf = new_buffer(static_cast<std::size_t>(len) + 1);
        room = static_cast<std::size_t>(len) + 1;
    }
    char line[ZUP_LINE_LEN];
    char word[ZUP_LINE_LEN];
    for (;;) {
        show_prompt(prompt);
        read_clean_line(line);
        if (!line[0]) return buf;
        if (ZUP_set_command(line)) continue;
        int max = len - 1 < ZUP_LINE_LEN - 1 ? len - 1 : ZUP_LINE_LEN - 1;
        if (scan_word(line, word, max)) {
            copy_field(buf, room, word);
            return buf;
        }
    }
}

char *ZUP_promptl(const char *prompt, char *buf) {
    if (!buf) buf = new_buffer(81);
    char line[ZUP_LINE_LEN];
    char word[ZUP_LINE_LEN];
    for (;;) {
        show_prompt(prompt);
        read_clean_line(line);
        if (!line[0]) return buf;
        if (!scan_word(line, word, 19)) continue;
        if (ZUP_set_command(word)) continue;
        copy_field(buf, 20, word);
        return buf;
    }
}

float ZUP_promptf(const char *prompt) {
    char line[ZUP_LINE_LEN];
    for (;;) {
        show_prompt(prompt);
        read_clean_line(line);
        if (!line[0]) return 0.0f;
        if (ZUP_set_command(line)) continue;
        float v;
        if (std::sscanf(line, "%f", &v) == 1) return v;
    }
}

int ZUP_promptd(const char *prompt) {
    char line[ZUP_LINE_LEN];
    for (;;) {
        show_prompt(prompt);
        read_clean_line(line);
        if (!line[0]) return 0;
        if (ZUP_set_command(line)) continue;
        int v;
        if (std::sscanf(line, "%d", &v) == 1) return v;
    }
}

void ZUP_exit(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

const char *ZUP_version() { return "5.59-LINUX-X11"; }

#ifndef RAZIVA_INSTALL_BINDIR
#define RAZIVA_INSTALL_BINDIR "bin"
#define RAZIVA_INSTALL_DATADIR "share/raziva"
#define RAZIVA_INSTALL_RESDIR "zup/etc"
#endif

const char *ZUP_install_dir(const char *what) {
    // The prefix is found from the program's own location, so a tree
    // installed with any prefix (or moved, or unpacked from a package)
    // finds its files.
    static const std::string prefix = [] {
        char exe[4096];
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0) return std::string();
        std::string dir(exe, static_cast<std::size_t>(n));
        dir.resize(dir.rfind('/') == std::string::npos ? 0 : dir.rfind('/'));
        const std::string bindir = RAZIVA_INSTALL_BINDIR;
        if (bindir.empty()) return std::string();
        if (bindir[0] == '/') return dir == bindir ? std::string("/") : std::string();
        const std::string tail = "/" + bindir;
        if (dir.size() < tail.size() || dir.compare(dir.size() - tail.size(), tail.size(), tail) != 0)
            return std::string();
        std::string p = dir.substr(0, dir.size() - tail.size());
        return p.empty() ? std::string("/") : p;
    }();
    static std::string data, resource;
    if (prefix.empty() || !what) return "";
    auto join = [](const std::string &base, const char *rel) {
        if (rel[0] == '/') return std::string(rel);
        return (base == "/" ? std::string() : base) + "/" + rel;
    };
    if (std::strcmp(what, "data") == 0) {
        if (data.empty()) data = join(prefix, RAZIVA_INSTALL_DATADIR);
        return data.c_str();
    }
    if (std::strcmp(what, "resource") == 0) {
        if (resource.empty()) resource = join(prefix, RAZIVA_INSTALL_RESDIR);
        return resource.c_str();
    }
    return "";
}

int ZUP_back_proc() {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) return 0;
    if (pid > 0) std::_Exit(0);
    std::signal(SIGINT, SIG_IGN);
    close(0);
    close(1);
    close(2);
    int in = open("/dev/null", O_RDONLY);
    int out = open("/dev/null", O_WRONLY);
    int err = open("/dev/null", O_WRONLY);
    if (in != 0 || out != 1 || err != 2) return 0;
    setpgid(0, 0);
    return 1;
}

int ZUP_init_time() {
    gettimeofday(&sys.start, nullptr);
    sys.slept = 0.0;
    return 0;
}

double ZUP_elapse_time() {
    struct timeval now {};
    gettimeofday(&now, nullptr);
    return static_cast<double>(now.tv_sec - sys.start.tv_sec) +
           static_cast<double>(now.tv_usec - sys.start.tv_usec) * 1e-6;
}

int ZUP_sleep(double seconds) {
    if (seconds <= 0) return -1;
    usleep(static_cast<useconds_t>(seconds * 1e6));
    sys.slept += seconds;
    return 0;
}
