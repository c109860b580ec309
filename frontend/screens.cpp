// The welcome screen shown once at start. The cartridge manager is in frontend/manager.cpp.
#include "frontend/screens.h"
#include "frontend/panel.h"

namespace {

// An empty row, the credits, an empty row and the greetings.
const char* const welcome_rows[] = {
    "",
    "Velkoro, by the Velkoro developers",
    "",
    "Greetings to everyone who plays ColecoVision",
    "games, and to everyone who still makes them!",
};

} // namespace

void show_welcome() {
    Panel p{};
    p.title = "Welcome to Velkoro! (v 001 alpha)";
    p.subtitle = "A ColecoVision emulator for the GP2X";
    p.footer = "Push X or B to Continue.";
    p.x = 10;
    p.y = 5;
    p.w = 300;
    p.h = 220;
    p.title_font = font_secondary;
    p.background = 0x38E7;
    p.highlight = 0x208F;
    p.line_colour = 0x0000;
    p.flags = PANEL_TITLE_SHADOW;
    p.row_count = sizeof welcome_rows / sizeof welcome_rows[0];
    p.items = welcome_rows;
    panel_reset(&p);
    panel_select(&p, -1);
    show_panel(&p);
    wait_for_x_or_b(&p);
    fill_rect(&screen_surface, 0x0000, 0, 0, screen_surface.width, screen_surface.height);
}
