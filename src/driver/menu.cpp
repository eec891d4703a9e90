// menu.cpp - numbered menus: display in one or two columns, answers by
// number, abbreviation or name.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "zup.h"

namespace {

// The entries listed in column menu_num, in order (entry 0 not included).
std::vector<const MENU_item *> listed(const MENU_item *menu, int menu_num) {
    std::vector<const MENU_item *> out;
    if (!menu || menu_num < 0 || menu_num > 9) return out;
    for (int i = 1; menu[i].name; ++i)
        if (menu[i].disp[menu_num] == 1) out.push_back(&menu[i]);
    return out;
}

const char kSeparator[] = " --------------------               ";

void print_entry(int number, const MENU_item *item, bool end_line) {
    if (item->name[0] == '-')
        MESS_print(15, end_line ? "%s\n" : "%s", kSeparator);
    else
        MESS_print(15, end_line ? " %2d: %-30s\n" : " %2d: %-30s ", number, item->name);
}

const char *name0(const MENU_item *menu) { return menu[0].name ? menu[0].name : ""; }

}  // namespace

int MENU_print(const char *title, const MENU_item *menu, int menu_num, int flag) {
    if (!menu) return 0;
    std::vector<const MENU_item *> items = listed(menu, menu_num);
    int n = static_cast<int>(items.size());
    MESS_print(15, "%s\n", title ? title : "");
    bool two = n >= 13;
    if (two) {
        int rows = (n + 1) / 2;
        for (int i = 0; i < rows; ++i) {
            int right = i + rows;
            bool has_right = right < n;
            print_entry(i + 1, items[static_cast<std::size_t>(i)], !has_right);
            if (has_right) print_entry(right + 1, items[static_cast<std::size_t>(right)], true);
        }
    } else {
        for (int i = 0; i < n; ++i) print_entry(i + 1, items[static_cast<std::size_t>(i)], true);
    }
    if (flag & 4) MESS_print(15, " 99: Help                          \n");
    if ((flag & 1) && (flag & 2)) {
        if (two)
            MESS_print(15, "  0: %-30s ", name0(menu));
        else
            MESS_print(15, "  0: %-30s\n", name0(menu));
        MESS_print(15, " -1: Exit program                  \n");
    } else if (flag & 1) {
        MESS_print(15, "  0: Exit program                  \n");
    } else if (flag & 2) {
        MESS_print(15, "  0: %-30s\n", name0(menu));
    }
    MESS_print(15, "\n");
    return 0;
}

int MENU_process(const char *title, const MENU_item *menu, int menu_num, const char *prompt,
                 char *string, int flag) {
    if (!menu || !string) return MISSING;
    std::vector<const MENU_item *> items = listed(menu, menu_num);
    int n = static_cast<int>(items.size());
    MENU_print(title, menu, menu_num, flag);
    for (;;) {
        ZUP_promptl(prompt, string);
        if (std::strcmp(string, "?") != 0) break;
        for (int i = 0; i <= n; ++i) {
            const MENU_item *it = i == 0 ? &menu[0] : items[static_cast<std::size_t>(i - 1)];
            const char *abbr = it->abbr ? it->abbr : "";
            MESS_print(15, i == n ? "%s\n\n" : "%s,", abbr);
        }
        string[0] = '\0';
    }

    bool fexit = flag & 1;
    bool fback = flag & 2;
    bool is_exit = std::strcmp(string, "Exit program") == 0 || stricmp(string, "exit") == 0;
    bool is_main = std::strcmp(string, "Return to main menu") == 0 || stricmp(string, "main") == 0;
    if (fexit && fback) {
        if (is_exit) return -1;
        if (is_main) return 0;
    } else if (fexit) {
        if (is_exit) return 0;
    } else if (fback) {
        if (is_main) return 0;
    }

    if (string_is_num(string) && std::strlen(string) < 10) {
        int v = std::atoi(string);
        int low = fexit ? -1 : (fback ? 0 : 1);
        if (v >= low && v <= n) {
            if (v > 0) {
                const MENU_item *it = items[static_cast<std::size_t>(v - 1)];
                copy_field(string, MENU_ANSWER_LEN, it->abbr ? it->abbr : "");
                return it->index;
            }
            return v;
        }
    }

    for (int i = 0; i <= n; ++i) {
        const MENU_item *it = i == 0 ? &menu[0] : items[static_cast<std::size_t>(i - 1)];
        if ((it->abbr && stricmp(it->abbr, string) == 0) ||
            (it->name && stricmp(it->name, string) == 0)) {
            copy_field(string, MENU_ANSWER_LEN, it->abbr ? it->abbr : "");
            return it->index;
        }
    }
    return MISSING;
}

int MENU_search(const char *text, const MENU_item *menu) {
    if (!text || !menu) return MISSING;
    for (int i = 0; menu[i].name; ++i) {
        if ((menu[i].abbr && stricmp(menu[i].abbr, text) == 0) || stricmp(menu[i].name, text) == 0)
            return menu[i].index;
    }
    return MISSING;
}
