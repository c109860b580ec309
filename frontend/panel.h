// Panels: every screen of the front end is one framed rectangle with a title, an optional
// subtitle, a list of text rows (optionally two columns, optionally one highlighted row, scrolled
// by a first-row index) and a footer. The welcome screen, the message boxes and the cartridge
// manager fill a Panel and draw it into the back surface. A Panel owns none of its texts.
#pragma once
#include <cstdint>

#include "frontend/font.h"
#include "frontend/surface.h"

constexpr uint32_t PANEL_TITLE_SHADOW = 1; // draw the title over a black copy of itself
constexpr uint32_t PANEL_TWO_COLUMNS = 2;  // rows have a second-column text in items2

// The distance between text lines when the panel is drawn without a font (nothing is drawn then,
// but the rows keep the places, and the list the length, that the built-in font gives them).
constexpr int PANEL_DEFAULT_LINE_HEIGHT = 9;

struct Panel {
    const char* title;    // may be empty
    const char* subtitle; // may be empty
    const char* footer;   // may be empty
    uint16_t x, y;
    uint16_t w, h;
    Font* title_font; // empty = the font draw_panel is given
    uint32_t background;
    uint32_t highlight;   // the bar behind the selected row
    uint32_t line_colour; // frame and separator lines
    uint32_t flags;
    uint16_t row_count;
    const char* const* items;  // row_count texts; an entry may be empty
    const char* const* items2; // second-column texts (two-column lists only)
    uint8_t column2_chars;     // at most this many characters of a second-column text
    int32_t selected;          // -1 = none
    int32_t first;             // first row shown
    int32_t visible;           // rows that fit; set by every draw_panel
};

// Where a screen's panel sits and its colours.
struct PanelStyle {
    uint16_t x, y, w, h;
    uint16_t background, highlight, line_colour;
};

constexpr PanelStyle WELCOME_STYLE = {10, 5, 300, 220, 0x38E7, 0x208F, 0x0000};
constexpr PanelStyle MESSAGE_STYLE = {10, 10, 300, 160, 0x4100, 0x208F, 0x0000};
constexpr PanelStyle MANAGER_STYLE = {5, 5, 310, 220, 0x000D, 0x688F, 0x01E0};

// A screen's panel: the style, the texts and rows given, a shadowed title in font_secondary,
// reset (first row 0, nothing selected).
Panel make_panel(const PanelStyle& style, const char* title, const char* subtitle, const char* footer,
                 const char* const* items, uint16_t row_count);

void panel_reset(Panel* p);
void panel_select(Panel* p, int32_t row);
int16_t panel_selected(const Panel* p);
void panel_select_prev(Panel* p);
void panel_select_next(Panel* p);
void panel_scroll_up(Panel* p);
void panel_scroll_down(Panel* p);

// Draws the panel with `font` (the title with its own title font when it has one) and sets
// `visible`. Every text stays inside the panel's frame: a text too long for it is cut to whole
// glyphs.
void draw_panel(Surface* s, const Font* font, Panel* p);

// Draws the panel into the back surface and copies that to the screen.
void show_panel(Panel* p);

// A message panel with one row holding `text`, drawn once.
void message_box(const char* text, const char* footer);

// The message with the footer "Push X or B to continue.", waiting until X or B alone is pressed.
void message_box_wait(const char* text);

// The status strip: the top STATUS_STRIP_HEIGHT rows of `s` in black, with `text` on one line,
// or on two when it is longer than a line: broken after its last ": " that fits (a reason, then
// the file), the second line showing the end of what is left (a path's end names the file).
constexpr uint16_t STATUS_STRIP_HEIGHT = 20;
void draw_status_strip(Surface* s, const Font* font, const char* text);

// Waits until the pressed set is exactly X or exactly B, pausing 200 ms after any other press;
// `redraw`, when given, is shown again after each such press.
void wait_for_x_or_b(Panel* redraw);
