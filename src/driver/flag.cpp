// flag.cpp - the process-wide program flags and the plot-part switches.
#include "zup.h"

namespace {

struct FlagState {
    long flags[FLAG_COUNT];
    int plot_it[FLAG_PLOT_COUNT];
    FlagState() {
        for (long &f : flags) f = MISSING;
        for (int &p : plot_it) p = 0;
    }
};
FlagState state;

bool valid(int n) { return n >= 0 && n < FLAG_COUNT; }

// Item 0 is the sum of the six text positions, item 12 of items 0 to 11.
void resum() {
    int text = 0;
    for (int i = 1; i <= 6; ++i) text += state.plot_it[i];
    state.plot_it[0] = text;
    int all = 0;
    for (int i = 0; i <= 11; ++i) all += state.plot_it[i];
    state.plot_it[12] = all;
}

}  // namespace

int FLAG_get(int n) { return valid(n) ? static_cast<int>(state.flags[n]) : 0; }
long FLAG_getl(int n) { return valid(n) ? state.flags[n] : 0; }

int FLAG_set(int n, long v) {
    if (!valid(n)) return -1;
    state.flags[n] = v;
    return 0;
}
int FLAG_setl(int n, long v) { return FLAG_set(n, v); }

int FLAG_reset(long v) {
    for (long &f : state.flags) f = v;
    return 0;
}
int FLAG_resetl(long v) { return FLAG_reset(v); }

int FLAG_batch() { return state.flags[19] > 0; }
int FLAG_set_batch(long v) { return FLAG_set(19, v); }
int FLAG_help() { return state.flags[20] > 0; }

int FLAG_setplot(int item, int v) {
    if (item < 0 || item >= FLAG_PLOT_COUNT) return -1;
    if (item == 12) {
        for (int i = 0; i <= 11; ++i) state.plot_it[i] = v;
    } else if (item == 0) {
        for (int i = 0; i <= 6; ++i) state.plot_it[i] = v;
    } else {
        state.plot_it[item] = v;
    }
    resum();
    return 0;
}

int FLAG_getplot(int item) {
    if (item < 0 || item >= FLAG_PLOT_COUNT) return 0;
    return state.plot_it[item];
}

int FLAG_resetplot(int v) { return FLAG_setplot(12, v); }
