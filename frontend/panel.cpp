// Panel arithmetic and drawing, and the message boxes.
#include "frontend/panel.h"
#include "frontend/ui.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstring>

namespace {

int line_height_of(const Font* font) {
    return font && font->line_height ? font->line_height : PANEL_DEFAULT_LINE_HEIGHT;
}

// Draws at most `max_chars` characters (0 = no limit) of `text` at (x, y), cut to the whole
// glyphs that end before column `right`, so that no name, however long, crosses the frame.
void draw_within(Surface* s, const Font* font, int x, int y, const char* text, unsigned max_chars,
                 int right) {
    if (!font || !text || font->glyph_width == 0 || x < 0 || y < 0 || x >= right) return;
    unsigned fit = unsigned(right - x) / font->glyph_width;
    unsigned n = max_chars ? std::min(max_chars, fit) : fit;
    if (n == 0) return;
    draw_text(s, font, uint16_t(x), uint16_t(y), text, uint8_t(std::min(n, 255u)));
}

} // namespace

Panel make_panel(const PanelStyle& style, const char* title, const char* subtitle, const char* footer,
                 const char* const* items, uint16_t row_count) {
    Panel p{};
    p.title = title;
    p.subtitle = subtitle;
    p.footer = footer;
    p.x = style.x;
    p.y = style.y;
    p.w = style.w;
    p.h = style.h;
    p.title_font = font_secondary;
    p.background = style.background;
    p.highlight = style.highlight;
    p.line_colour = style.line_colour;
    p.flags = PANEL_TITLE_SHADOW;
    p.row_count = row_count;
    p.items = items;
    panel_reset(&p);
    return p;
}

void panel_reset(Panel* p) {
    p->first = 0;
    p->selected = -1;
}

void panel_select(Panel* p, int32_t row) { p->selected = int16_t(row); }

int16_t panel_selected(const Panel* p) { return int16_t(p->selected); }

void panel_select_prev(Panel* p) {
    if (p->selected > 0) --p->selected;
}

void panel_select_next(Panel* p) {
    if (p->selected < int32_t(p->row_count) - 1) ++p->selected;
}

void panel_scroll_up(Panel* p) {
    if (p->first > 0) --p->first;
}

void panel_scroll_down(Panel* p) {
    if (p->first + p->visible < int32_t(p->row_count)) ++p->first;
}

void draw_panel(Surface* s, const Font* font, Panel* p) {
    const int x = p->x, y = p->y, w = p->w, h = p->h;
    const int lh = line_height_of(font);
    const uint16_t lines = uint16_t(p->line_colour);
    // Texts end at the frame's right-hand line.
    const int right = x + w - 6;
    auto separator = [&](int at) {
        draw_hline(s, lines, uint16_t(x + 3), uint16_t(at), uint16_t(std::max(w - 8, 0)));
    };

    fill_rect(s, uint16_t(p->background), p->x, p->y, p->w, p->h);
    draw_vline(s, lines, uint16_t(x + 3), uint16_t(y + 3), uint16_t(std::max(h - 9, 0)));
    draw_vline(s, lines, uint16_t(x + w - 6), uint16_t(y + 3), uint16_t(std::max(h - 9, 0)));
    draw_hline(s, lines, uint16_t(x + 3), uint16_t(y + 3), uint16_t(std::max(w - 9, 0)));
    draw_hline(s, lines, uint16_t(x + 3), uint16_t(y + h - 6), uint16_t(std::max(w - 9, 0)));

    if (p->title && p->title[0]) {
        const Font* tf = p->title_font ? p->title_font : font;
        Image* image = tf ? tf->image : nullptr;
        if ((p->flags & PANEL_TITLE_SHADOW) && image) {
            // The shadow is the title font itself with its white turned black, one pixel down
            // and right; the title drawn over it then turns the font's black white.
            recolour_image(image, 0xFFFF, 0x0000);
            draw_within(s, tf, x + 6, y + 6, p->title, 0, right);
            recolour_image(image, 0x0000, 0xFFFF);
        }
        draw_within(s, tf, x + 5, y + 5, p->title, 0, right);
    }

    const int t = y + 5 + lh;
    separator(t);
    int r = t + 3;
    if (p->subtitle && p->subtitle[0]) {
        draw_within(s, font, x + 5, r, p->subtitle, 0, right);
        r += lh;
        separator(r);
        r += 3;
    }
    const int f = y + h - 2 * lh;
    if (p->footer && p->footer[0]) draw_within(s, font, x + 5, f + 3, p->footer, 0, right);
    separator(f);

    p->visible = std::clamp((f - r - 2) / lh, 0, int(p->row_count));
    const bool two_columns = (p->flags & PANEL_TWO_COLUMNS) && p->items2;
    const int first = std::max<int>(p->first, 0);
    for (int i = first; i < first + p->visible && i < p->row_count; ++i) {
        const int row = r + (i - first) * lh;
        if (i == p->selected)
            fill_rect(s, uint16_t(p->highlight), uint16_t(x + 5), uint16_t(row - 2), uint16_t(w - 10),
                      uint16_t(lh + 2));
        const char* second = two_columns ? p->items2[i] : nullptr;
        if (p->items && p->items[i]) draw_within(s, font, x + 10, row, p->items[i], second ? 15 : 0, right);
        // A limit of 0 would mean "no limit" to the text drawing: keep it meaning none.
        if (second && p->column2_chars)
            draw_within(s, font, x + (w - 18) / 3 + 10, row, second, p->column2_chars, right);
    }
}

void show_panel(Panel* p) {
    draw_panel(&back_surface, current_font, p);
    blit(&back_surface, &screen_surface, 0, 0, 320, 240, 0, 0);
}

void draw_status_strip(Surface* s, const Font* font, const char* text) {
    fill_rect(s, 0, 0, 0, s->width, STATUS_STRIP_HEIGHT);
    if (!font || font->glyph_width == 0) return;
    const size_t fit = size_t(s->width - 4) / font->glyph_width;
    const size_t length = std::strlen(text);
    if (length <= fit) return draw_within(s, font, 2, 2, text, 0, s->width);
    size_t first = fit;
    for (size_t i = 0; i + 1 < fit; ++i)
        if (text[i] == ':' && text[i + 1] == ' ') first = i + 1;
    draw_within(s, font, 2, 2, text, unsigned(first), s->width);
    const char* rest = text + first;
    while (*rest == ' ') ++rest;
    const size_t left = std::strlen(rest);
    if (left <= fit) return draw_within(s, font, 2, 2 + line_height_of(font), rest, 0, s->width);
    const int dots = 3 * font->glyph_width;
    draw_within(s, font, 2, 2 + line_height_of(font), "...", 0, s->width);
    draw_within(s, font, 2 + dots, 2 + line_height_of(font), rest + left - (fit - 3), 0, s->width);
}

void message_box(const char* text, const char* footer) {
    const char* rows[1] = {text};
    Panel p = make_panel(MESSAGE_STYLE, "Message", nullptr, footer, rows, 1);
    show_panel(&p);
}

void wait_for_x_or_b(Panel* redraw) {
    for (;;) {
        uint16_t b = ui_wait_buttons(0);
        if (b == BTN_X || b == BTN_B) return;
        if (redraw) show_panel(redraw);
        timer_delay(200);
    }
}

void message_box_wait(const char* text) {
    message_box(text, "Push X or B to continue.");
    ui_wait_release();
    wait_for_x_or_b(nullptr);
}
