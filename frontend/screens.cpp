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
    Panel p =
        make_panel(WELCOME_STYLE, "Welcome to Velkoro! (v 001 alpha)", "A ColecoVision emulator for the GP2X",
                   "Push X or B to Continue.", welcome_rows, sizeof welcome_rows / sizeof welcome_rows[0]);
    panel_select(&p, -1);
    show_panel(&p);
    wait_for_x_or_b(&p);
    fill_rect(&screen_surface, 0x0000, 0, 0, screen_surface.width, screen_surface.height);
}
