#define NCURSES_WIDECHAR 1
#include "platform/terminal/CursesCanvas.hpp"

#include <algorithm>

#include <curses.h>

#include <cwchar>
#include <string>

namespace term {

namespace {
int nearest8(ui::Color c) {
    int r = c.red8() > 127, g = c.green8() > 127, b = c.blue8() > 127;
    return r | (g << 1) | (b << 2);
}

attr_t attributesOf(const Style& style) {
    attr_t attributes = A_NORMAL;
    if (style.bold) attributes |= A_BOLD;
    if (style.reverse) attributes |= A_REVERSE;
    if (style.underline) attributes |= A_UNDERLINE;
    if (style.dim) attributes |= A_DIM;
    return attributes;
}
} // namespace

CursesCanvas::CursesCanvas() {
    colors_ = has_colors() ? COLORS : 0;
    direct_ = colors_ >= 0x1000000;
}

int CursesCanvas::width() const {
    return COLS;
}
int CursesCanvas::height() const {
    return LINES;
}

void CursesCanvas::clear() {
    erase();
    caret_.reset();
}

int CursesCanvas::colorNumber(const std::optional<ui::Color>& color) const {
    if (!color || color->alpha <= 0) return -1; // the terminal's default
    if (direct_) return (color->red8() << 16) | (color->green8() << 8) | color->blue8();
    if (colors_ >= 256) return nearest256(*color);
    if (colors_ >= 8) return nearest8(*color);
    return -1;
}

int CursesCanvas::colorPair(const Style& style) {
    if (colors_ <= 0) return 0;
    if (pair_ < 0 || style.foreground != pairForeground_ || style.background != pairBackground_) {
        pair_ = std::max(0, alloc_pair(colorNumber(style.foreground), colorNumber(style.background)));
        pairForeground_ = style.foreground;
        pairBackground_ = style.background;
    }
    return pair_;
}

void CursesCanvas::put(int x, int y, std::string_view cluster, int, const Style& style) {
    const attr_t attributes = attributesOf(style);
    int pair = colorPair(style);
    // Decode the cluster into wide characters for the cell (an ASCII cell, the most of any screen, is
    // its own wide character).
    wchar_t wide[CCHARW_MAX + 1] = {};
    std::size_t count = 0;
    if (cluster.size() == 1 && static_cast<unsigned char>(cluster[0]) < 0x80) {
        wide[count++] = static_cast<wchar_t>(cluster[0]);
    } else {
        std::mbstate_t state{};
        const char* p = cluster.data();
        const char* end = cluster.data() + cluster.size();
        while (p < end && count < CCHARW_MAX - 1) {
            wchar_t wc = 0;
            std::size_t n = std::mbrtowc(&wc, p, static_cast<std::size_t>(end - p), &state);
            if (n == 0 || n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
                wc = L'?';
                n = 1;
                state = std::mbstate_t{};
            }
            // Variation selectors are left out: terminals disagree on them, and a cell that carries one
            // is dropped by some of them altogether.
            if (!(wc >= 0xFE00 && wc <= 0xFE0F) || count == 0) wide[count++] = wc;
            p += n;
        }
    }
    cchar_t cell;
    setcchar(&cell, wide, attributes, static_cast<short>(pair < 0x7fff ? pair : 0), &pair);
    mvadd_wch(y, x, &cell);
}

void CursesCanvas::putBlanks(int x, int y, int count, const Style& style) {
    int pair = colorPair(style);
    const wchar_t blank[] = {L' ', L'\0'};
    cchar_t cell;
    setcchar(&cell, blank, attributesOf(style), static_cast<short>(pair < 0x7fff ? pair : 0), &pair);
    mvhline_set(y, x, &cell, count);
}

void CursesCanvas::present() {
    if (caret_) {
        curs_set(1);
        move(caret_->y, caret_->x);
    } else {
        curs_set(0);
    }
    refresh();
}

} // namespace term
