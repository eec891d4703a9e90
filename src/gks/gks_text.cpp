// gks_text.cpp - stroke-font text and the text attributes.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "gks.h"
#include "gks_attr.h"
#include "gks_dev.h"
#include "zup.h"

namespace {

struct TextState {
    int color = 1;
    float width = 1.0f;
    float height = 0.01f;
    float expan = 1.0f;
    float space = 0.25f;
    float char_space = 0.0f;
    Gtext_hor hor = GNORMAL_HOR;
    Gtext_ver vert = GNORMAL_VERT;
    float upx = 0.0f;
    float upy = 1.0f;
    int font_ind = 1;
    int drop_shadow = 0;
    int drop_color = 1;
};

TextState X;

constexpr int kStrokeMax = 30;   // points per stroke batch
constexpr float kFontHeight = 105.0f;

// Advance of character c (not the last one of a string) in font units.
float advance(int c) {
    if (X.char_space > 0) return (X.space * 100 + 100) * X.char_space;
    int w = 0;
    gget_font_glyph(c, &w);
    return w + X.space * 100;
}

int vert_offset() {
    switch (X.vert) {
    case GTOP_VERT: return -160;
    case GCAP_VERT: return -140;
    case GHALF_VERT: return -85;
    case GBOTTOM_VERT: return 0;
    case GBASE_VERT:
    case GNORMAL_VERT:
    default: return -35;
    }
}

// Collects the device points of one stroke and hands complete strokes to
// the device.
class Stroker {
public:
    explicit Stroker(GksDevice *d) : d_(d) {}
    void move(const Gpt &p) {
        flush();
        pts_.assign(1, p);
    }
    void draw(const Gpt &p) {
        pts_.push_back(p);
        if (static_cast<int>(pts_.size()) >= kStrokeMax) {
            Gpt last = pts_.back();
            flush();
            pts_.assign(1, last);
        }
    }
    void flush() {
        if (pts_.size() > 1) d_->lines(static_cast<int>(pts_.size()), pts_.data());
        pts_.clear();
    }

private:
    GksDevice *d_;
    std::vector<Gpt> pts_;
};

}  // namespace

int greset_text() {
    X.color = 1;
    X.width = 1.0f;
    X.height = 0.01f;
    X.expan = 1.0f;
    X.space = 0.25f;
    X.char_space = 0.0f;
    X.hor = GNORMAL_HOR;
    X.vert = GNORMAL_VERT;
    X.upx = 0.0f;
    X.upy = 1.0f;
    if (X.font_ind != 1 && gget_num_fonts() >= 1) read_font(gget_font_file(1));
    X.font_ind = 1;
    return 0;
}

int gtext_width(const char *text) {
    if (!text || !*text) return 0;
    size_t n = std::strlen(text);
    float w = 0;
    for (size_t i = 0; i + 1 < n; ++i) w = std::round(w + advance(static_cast<unsigned char>(text[i])));
    int last = static_cast<unsigned char>(text[n - 1]);
    if (X.char_space > 0) {
        w += X.char_space * 100;
    } else {
        int lw = 0;
        gget_font_glyph(last, &lw);
        w += lw;
    }
    return static_cast<int>(std::round(w * X.expan));
}

int gtext_offsets(const char *text, int *h, int *v) {
    int W = gtext_width(text);
    int hh = 0;
    if (X.hor == GCENTER_HOR) hh = -W / 2;
    else if (X.hor == GRIGHT_HOR) hh = -W;
    if (h) *h = hh;
    if (v) *v = vert_offset();
    return 0;
}

int gtext(const Gpt *pt, const char *text) {
    if (!gcheck_open("gtext")) return -1;
    if (!pt || !text || !*text) return 0;
    GksDevice *d = gdev();
    if (d->records_world()) {
        char head[96];
        std::snprintf(head, sizeof head, "TE %f,%f ", pt->x, pt->y);
        d->record((std::string(head) + gline_text(text) + "\n").c_str());
        return 0;
    }
    {
        std::vector<char> data(sizeof(Gpt) + std::strlen(text) + 1);
        std::memcpy(data.data(), pt, sizeof(Gpt));
        std::memcpy(data.data() + sizeof(Gpt), text, std::strlen(text) + 1);
        grecord(50, 0, static_cast<int>(data.size()), data.data());
    }
    if (gget_font_type() == 2) {
        d->server_text(*pt, text, static_cast<int>(X.hor), static_cast<int>(X.vert));
        return 0;
    }
    if (gget_font_type() != 1) return 0;
    int hi = 0, vi = 0;
    gtext_offsets(text, &hi, &vi);
    float h = static_cast<float>(hi);
    const float v = static_cast<float>(vi);
    const float k = X.height / kFontHeight;
    const float x0 = pt->x, y0 = pt->y;
    auto world = [&](float xf, float yf) {
        float u = (xf * X.expan + h) * k, w = (yf + v) * k;
        return Gpt{x0 + X.upy * u + X.upx * w, y0 - X.upx * u + X.upy * w};
    };
    d->text_begin(*pt, text);
    Stroker s(d);
    for (const char *c = text; *c; ++c) {
        int code = static_cast<unsigned char>(*c);
        int p = gget_font_glyph(code, nullptr);
        if (p < 0) {
            if (code == ' ') {
                float step = X.char_space > 0 ? (X.space * 100 + 100) * X.char_space
                                              : X.space * 100 + 40;
                h += step * X.expan;
            }
            continue;
        }
        for (;; p += 2) {
            int xb = gget_font_byte(p);
            if (xb >= 255) break;
            int yb = gget_font_byte(p + 1);
            if (xb >= 128) s.move(gto_device(world(static_cast<float>(xb - 128), static_cast<float>(yb))));
            else s.draw(gto_device(world(static_cast<float>(xb), static_cast<float>(yb))));
        }
        s.flush();
        h += std::round(advance(code) * X.expan);
    }
    d->text_end();
    return 0;
}

int gset_text_colr_ind(int i) {
    if (!gcheck_open("gset_text_colr_ind")) return -1;
    if (i == X.color) return 0;
    if (!gcheck_colr("gset_text_colr_ind", i)) return -1;
    X.color = i;
    gattr_echo_int(56, "TE_CLR %d\n", i);
    return 0;
}

int gset_char_ht(float h) {
    if (!gcheck_open("gset_char_ht")) return -1;
    if (h == X.height) return 0;
    if (h < 0) {
        gerr_printf("gset_char_ht", "invalid character height: %f\n", h);
        return -1;
    }
    X.height = h;
    gattr_echo(57, "TE_HGHT %f\n", h);
    return 0;
}

int gset_expan(float e) {
    if (!gcheck_open("gset_expan")) return -1;
    if (e == X.expan) return 0;
    if (e < 0) {
        gerr_printf("gset_expan", "invalid expansion factor: %f\n", e);
        return -1;
    }
    X.expan = e;
    gattr_echo(55, "TE_EXP %f\n", e);
    return 0;
}

int gset_text_width(float w) {
    if (!gcheck_open("gset_text_width")) return -1;
    if (w < 0) {
        gerr_printf("gset_text_width", "invalid text width: %f\n", w);
        return -1;
    }
    w = gdev()->adjust_width(w);
    if (w == X.width) return 0;
    X.width = w;
    gattr_echo(61, "TE_WDTH %f\n", w);
    return 0;
}

int gset_space(float s) {
    if (!gcheck_open("gset_space")) return -1;
    if (s == X.space) return 0;
    X.space = s;
    gattr_echo(53, "TE_SPC %f\n", s);
    return 0;
}

int gset_char_space(float s) {
    if (!gcheck_open("gset_char_space")) return -1;
    if (s == X.char_space) return 0;
    X.char_space = s;
    gattr_echo(54, "TE_CSPC %f\n", s);
    return 0;
}

int gset_char_up_vec(const Gpt *up) {
    if (!gcheck_open("gset_char_up_vec") || !up) return -1;
    float len = std::sqrt(up->x * up->x + up->y * up->y);
    if (len <= 0) return -1;
    float ux = up->x / len, uy = up->y / len;
    if (ux == X.upx && uy == X.upy) return 0;
    X.upx = ux;
    X.upy = uy;
    if (GksDevice *d = gdev()) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "TE_UP %f,%f\n", ux, uy);
        d->record(buf);
    }
    Gpt u = {ux, uy};
    grecord(58, 0, sizeof u, &u);
    return 0;
}

int gset_text_align(const Gtext_align *align) {
    if (!gcheck_open("gset_text_align") || !align) return -1;
    if (align->hor == X.hor && align->vert == X.vert) return 0;
    X.hor = align->hor;
    X.vert = align->vert;
    if (GksDevice *d = gdev()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "TE_ALGN %d %d\n", static_cast<int>(X.hor),
                      static_cast<int>(X.vert));
        d->record(buf);
    }
    grecord(60, 0, sizeof *align, align);
    return 0;
}

int gset_text_path(int) { return 0; }

int gset_fontprec(const Gfontprec *fp) {
    if (!gcheck_open("gset_fontprec") || !fp) return -1;
    if (fp->font == X.font_ind) return 0;
    if (fp->font < 1 || fp->font > gget_num_fonts()) {
        MESS_print(192, "gset_fontprec: invalid font id: %d\n", fp->font);
        return -1;
    }
    X.font_ind = fp->font;
    if (GksDevice *d = gdev()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "TE_FNT %d %d\n", fp->font, static_cast<int>(fp->prec));
        d->record(buf);
    }
    grecord(59, fp->font, sizeof *fp, fp);
    return read_font(gget_font_file(fp->font));
}

int ginq_text_align(Gtext_align *align) {
    if (align) {
        align->hor = X.hor;
        align->vert = X.vert;
    }
    return 0;
}

int gget_text_colr() { return X.color; }
float gget_char_ht() { return X.height; }
float gget_expan() { return X.expan; }
float gget_text_width() { return X.width; }
float gget_space() { return X.space; }
float gget_char_space() { return X.char_space; }
int gget_char_up_vec(Gpt *up) {
    if (up) *up = {X.upx, X.upy};
    return 0;
}
int gget_font() { return X.font_ind; }
int gget_font_drop() { return X.drop_shadow; }
int gset_font_drop(int depth) {
    X.drop_shadow = depth < 0 ? 0 : depth;
    return 0;
}
int gset_font_drop_color(int color) {
    X.drop_color = color;
    return 0;
}
int gget_font_drop_color() { return X.drop_color; }
