// gks_obj.cpp - the redraw display list: kernel calls recorded as objects
// (code, a value, a copy of the arguments), replayed on demand, for
// example into a metafile (Alt-m on the window).
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gks.h"
#include "gks_dev.h"
#include "gks_evnt.h"
#include "gks_obj.h"
#include "zup.h"

namespace {

struct Drawobj {
    int type = 0;
    int values = 0;
    std::vector<unsigned char> data;
    Gredraw_fn func = nullptr;
};

struct ObjState {
    std::vector<Drawobj> objs;
    int redraw = 0;
    int action = 1;
    long calls = 0;
};

ObjState O;

template <class T>
T get(const Drawobj &o, size_t off = 0) {
    T v{};
    if (o.data.size() >= off + sizeof(T)) std::memcpy(&v, o.data.data() + off, sizeof(T));
    return v;
}

float fval(const Drawobj &o) { return get<float>(o); }

std::vector<Gpt> points(const Drawobj &o) {
    size_t n = o.values > 0 ? static_cast<size_t>(o.values) : 0;
    n = std::min(n, o.data.size() / sizeof(Gpt));
    std::vector<Gpt> v(n);
    if (n) std::memcpy(v.data(), o.data.data(), n * sizeof(Gpt));
    return v;
}

}  // namespace

int ginit_objs() {
    O.objs.clear();
    O.calls = 0;
    // Recording serves the new window; "no" in the environment variable
    // "zupredraw" switches it off.
    const char *e = std::getenv("zupredraw");
    bool off = e && stricmp(e, "no") == 0;
    O.redraw = (gget_win_type() == GWS_WIN && !off) ? 1 : 0;
    return 0;
}

void *gnew_obj(int type, int values, int size, const void *data) {
    // Long drawings keep the window answering exposures.
    if (++O.calls % 500 == 0) gcheck_expose();
    if (!O.redraw) return nullptr;
    if (size < 0) size = 0;
    Drawobj o;
    o.type = type;
    o.values = values;
    o.data.resize(static_cast<size_t>(size));
    if (data && size) std::memcpy(o.data.data(), data, static_cast<size_t>(size));
    O.objs.push_back(std::move(o));
    Drawobj &back = O.objs.back();
    return back.data.empty() ? static_cast<void *>(&back) : back.data.data();
}

int gclear_objs() {
    O.objs.clear();
    return 0;
}

int gdel_seg_objs(int n) {
    std::vector<Drawobj> keep;
    bool inside = false;
    for (auto &o : O.objs) {
        if (o.type == GOBJ_SEG_OPEN && o.values == n) {
            inside = true;
            continue;
        }
        if (inside && o.type == GOBJ_SEG_CLOSE && o.values == n) {
            inside = false;
            continue;
        }
        if (!inside) keep.push_back(std::move(o));
    }
    O.objs = std::move(keep);
    return 0;
}

int gset_redraw(int on) {
    int old = O.redraw;
    O.redraw = on ? 1 : 0;
    return old;
}

int gget_redraw() { return O.redraw; }

int gset_cache(int on) {
    O.action = on ? 1 : 0;
    return 0;
}

int gget_cache() { return O.action; }

int gset_redraw_func(Gredraw_fn f, const void *data, int size) {
    if (!f) return -1;
    void *p = gnew_obj(GOBJ_FUNC, 0, size, data);
    if (!p) return -1;
    O.objs.back().func = f;
    return 0;
}

int gget_num_objs() { return static_cast<int>(O.objs.size()); }

int gget_obj(int i, int *type, int *values) {
    if (i < 0 || i >= static_cast<int>(O.objs.size())) return -1;
    if (type) *type = O.objs[i].type;
    if (values) *values = O.objs[i].values;
    return 0;
}

int gobj_redraw_funcs(int i) {
    if (i < 0 || i >= static_cast<int>(O.objs.size())) return -1;
    // A copy: a replayed call may not change the list under us.
    const Drawobj o = O.objs[i];
    switch (o.type) {
    case GOBJ_MESSAGE: {
        std::string t(o.data.begin(), o.data.end());
        gmessage(1, t.c_str());
        break;
    }
    case GOBJ_WS_VP: {
        Glim r = get<Glim>(o);
        gset_ws_vp(o.values, &r);
        break;
    }
    case GOBJ_WS_WIN: {
        Glim r = get<Glim>(o);
        gset_ws_win(o.values, &r);
        break;
    }
    case GOBJ_SEL_TRAN: gsel_norm_tran(o.values); break;
    case GOBJ_VP: {
        Glim r = get<Glim>(o);
        gset_vp(o.values, &r);
        break;
    }
    case GOBJ_WIN: {
        Glim r = get<Glim>(o);
        gset_win(o.values, &r);
        break;
    }
    case GOBJ_COLR_REP: {
        Gcolr_rep c = {get<float>(o, 0), get<float>(o, 4), get<float>(o, 8)};
        gset_colr_rep(1, o.values, &c);
        break;
    }
    case GOBJ_CLEAR_REGION: {
        Glim r = get<Glim>(o);
        gclear_region(&r);
        break;
    }
    case GOBJ_POLYLINE: {
        auto p = points(o);
        gpolyline(static_cast<int>(p.size()), p.data());
        break;
    }
    case GOBJ_POLYMARKER: {
        auto p = points(o);
        gpolymarker(static_cast<int>(p.size()), p.data());
        break;
    }
    case GOBJ_FILL_AREA: {
        auto p = points(o);
        gfill_area(static_cast<int>(p.size()), p.data());
        break;
    }
    case GOBJ_LINE_TYPE: gset_linetype(o.values); break;
    case GOBJ_LINE_WIDTH: gset_linewidth(fval(o)); break;
    case GOBJ_LINE_COLR: gset_line_colr_ind(o.values); break;
    case GOBJ_LINE_BOLD: gset_line_print_bold(o.values); break;
    case GOBJ_MARK_TYPE: gset_marker_type(o.values); break;
    case GOBJ_MARK_SIZE: gset_marker_size(fval(o)); break;
    case GOBJ_MARK_COLR: gset_marker_colr_ind(o.values); break;
    case GOBJ_MARK_WIDTH: gset_marker_width(fval(o)); break;
    case GOBJ_TEXT: {
        if (o.data.size() <= sizeof(Gpt)) break;
        Gpt p = get<Gpt>(o);
        std::string t(o.data.begin() + sizeof(Gpt), o.data.end());
        gtext(&p, t.c_str());
        break;
    }
    case GOBJ_TEXT_SPACE: gset_space(fval(o)); break;
    case GOBJ_TEXT_CHAR_SPACE: gset_char_space(fval(o)); break;
    case GOBJ_TEXT_EXPAN: gset_expan(fval(o)); break;
    case GOBJ_TEXT_COLR: gset_text_colr_ind(o.values); break;
    case GOBJ_TEXT_HEIGHT: gset_char_ht(fval(o)); break;
    case GOBJ_TEXT_UP: {
        Gpt u = get<Gpt>(o);
        gset_char_up_vec(&u);
        break;
    }
    case GOBJ_TEXT_FONT: {
        Gfontprec f = get<Gfontprec>(o);
        gset_fontprec(&f);
        break;
    }
    case GOBJ_TEXT_ALIGN: {
        Gtext_align a = get<Gtext_align>(o);
        gset_text_align(&a);
        break;
    }
    case GOBJ_TEXT_WIDTH: gset_text_width(fval(o)); break;
    case GOBJ_FILL_STYLE: gset_fill_int_style(o.values); break;
    case GOBJ_FILL_PAT: gset_fill_style_ind(o.values); break;
    case GOBJ_FILL_COLR: gset_fill_colr_ind(o.values); break;
    case GOBJ_FILL_SOLID: gset_fill_print_solid(o.values); break;
    case GOBJ_SEG_OPEN: gcreate_seg(o.values); break;
    case GOBJ_SEG_CLOSE: gclose_seg(o.values); break;
    case GOBJ_FUNC: {
        std::vector<unsigned char> d = o.data;
        if (o.func) o.func(d.empty() ? nullptr : d.data());
        break;
    }
    default:
        return -1;
    }
    return 0;
}

int gobj_redraw_all() {
    int rec = gset_redraw(0);
    // Replayed attributes start from the kernel's defaults so that each
    // recorded change takes effect again.
    greset_line();
    greset_marker();
    greset_fill();
    greset_text();
    for (int i = 0; i < static_cast<int>(O.objs.size()); ++i) gobj_redraw_funcs(i);
    gset_redraw(rec);
    return 0;
}

int gobj_print_meta() {
    if (O.objs.empty()) {
        MESS_print(64, "gobj_print_meta: No redraw data to make metafile from\n");
        return -1;
    }
    const char *name = std::getenv("METAOUT");
    if (!name || !*name) name = "zup.meta";
    int old_type = gget_win_type(), w = 0, h = 0;
    gget_win_size(&w, &h);
    int cursor = gset_cursor(8);
    int meta_type = gmeta_get_type();
    gmeta_set_type(0);
    if (!gmeta_open_file(name)) {
        gerr_printf("gprint_meta", "unable to open metafile\n");
        gmeta_set_type(meta_type);
        gset_cursor(cursor);
        return -1;
    }
    std::unique_ptr<GksDevice> window = gdev_swap(gmeta_make_device());
    gset_win_type(GWS_META);
    gset_win_size(1000, 800);
    int tran = 0;
    ginq_cur_norm_tran_num(nullptr, &tran);
    gsel_norm_tran(0);
    gobj_redraw_all();
    std::unique_ptr<GksDevice> meta = gdev_swap(std::move(window));
    meta->close();
    gmeta_set_type(meta_type);
    gset_win_type(old_type);
    gset_win_size(w, h);
    gsel_norm_tran(tran);
    gset_cursor(cursor);
    gcheck_event();
    gbell(0);
    return 0;
}
