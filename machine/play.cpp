// Start-up and the play cycle.
#include "machine/play.h"
#include "frontend/font.h"
#include "frontend/manager.h"
#include "frontend/panel.h"
#include "frontend/screens.h"
#include "frontend/surface.h"
#include "frontend/ui.h"
#include "machine/heap.h"
#include "platform/platform.h"
#include "sound/psg.h"
#include "video/vdp.h"

#include <cstdio>
#include <cstring>

char cartridge_path[PATH_BUFFER_BYTES] = "/mnt/sd/roms/colecovision/dk.rom";

namespace {

void setup_surface(Surface* s, uint16_t* pixels) {
    s->pixels = pixels;
    s->rotated = 0;
    s->bits_per_pixel = 16;
    s->pitch = 320;
    s->width = 320;
    s->height = 240;
}

void clear_surfaces() {
    fill_rect(&screen_surface, 0, 0, 0, screen_surface.width, screen_surface.height);
    fill_rect(&back_surface, 0, 0, 0, back_surface.width, back_surface.height);
}

} // namespace

void show_status_message(const char* text) {
    draw_status_strip(&screen_surface, current_font, text);
    if (current_font) timer_delay(500);
}

void show_load_failure(const char* reason) {
    draw_status_strip(&screen_surface, current_font, reason);
    ui_wait_buttons(LOAD_FAILURE_MS);
}

bool take_opened_cartridge() {
    char cartridge[PATH_BUFFER_BYTES], bios[PATH_BUFFER_BYTES];
    if (!platform_take_cartridge(cartridge, bios, PATH_BUFFER_BYTES)) return false;
    std::memcpy(cartridge_path, cartridge, sizeof cartridge_path);
    std::memcpy(bios_path, bios, sizeof bios_path);
    // The manager then lists the cartridge's own folder: a path without a folder is in the
    // current one.
    const char* slash = std::strrchr(cartridge, '/');
    if (slash)
        std::snprintf(rom_directory, sizeof rom_directory, "%.*s", int(slash + 1 - cartridge), cartridge);
    else
        std::snprintf(rom_directory, sizeof rom_directory, "./");
    return true;
}

int program_main() {
    platform_init(1000, 16, 44100, 16, 2, 60, 1);
    setup_surface(&screen_surface, display_drawing_pointer());
    // The back buffer lives until the process ends. Without it no screen of the front end can
    // be composed, so the program reports it like a missing picture buffer and ends.
    uint16_t* back = static_cast<uint16_t*>(program_alloc(BACK_SURFACE_BYTES));
    // Cleared, because the welcome screen is composed over it before the first clear.
    if (back) std::memset(back, 0, BACK_SURFACE_BYTES);
    display_flip(0);
    font_primary = load_builtin_font();
    font_secondary = load_builtin_font();
    current_font = font_primary;
    if (!back) {
        show_status_message("Couldn't allocate backbuffer");
        return 0;
    }
    // Cleared, since the screens copy all of it and the panels cover only part.
    std::memset(back, 0, BACK_SURFACE_BYTES);
    setup_surface(&back_surface, back);
    play_cycle();
    return 0;
}

void play_cycle() {
    vdp_picture = static_cast<uint8_t*>(program_alloc(VDP_PICTURE_BYTES));
    if (!vdp_picture) {
        show_status_message("Couldn't allocate backbuffer");
        return;
    }
    std::memset(vdp_picture, 0, VDP_PICTURE_BYTES);
    // A cartridge opened from outside (a PC's command line) starts at once.
    bool opened = take_opened_cartridge();
    if (!opened) show_welcome();
    for (;;) {
        clear_surfaces();
        if (!opened) cartridge_manager();
        opened = false;
        clear_surfaces();
        audio_set_paused(0);
        audio_set_volume(VOLUME_PERCENT, VOLUME_PERCENT);
        display_show_game(1);
        const int ran = run_cartridge(cartridge_path);
        display_show_game(0);
        audio_set_paused(1);
        // A fill that was under way when the flag went up must finish before the mixer's
        // buffers are cleared.
        audio_wait_paused();
        mixer_reset();
        release_machine();
        if (!ran) show_load_failure(load_error);
    }
}
