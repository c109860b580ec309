// The cartridge manager: scan, sort, show and choose.
#include "frontend/manager.h"
#include "frontend/screens.h"
#include "frontend/ui.h"
#include "machine/loader.h"
#include "machine/play.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

Panel manager_panel;
char rom_directory[PATH_BUFFER_BYTES] = "/mnt/sd/roms/colecovision/";

namespace {

CartridgeList visit_list;

// `prefix` followed by `name` into a buffer of `size` bytes, cut to size - 1 bytes.
void join_cut(char* to, size_t size, const char* prefix, const char* name) {
    size_t n = 0;
    for (const char* part : {prefix, name})
        for (; *part && n + 1 < size; ++part) to[n++] = *part;
    to[n] = '\0';
}

// Upper-cases the letters a..z only: the names are bytes, whatever the locale thinks of them.
void ascii_upper(const char* from, char* to, size_t size) {
    size_t i = 0;
    for (; from[i] && i + 1 < size; ++i) {
        unsigned char c = static_cast<unsigned char>(from[i]);
        to[i] = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    to[i] = '\0';
}

// One step of the queued moves, or a single move of UP or DOWN: the window scrolls with the
// highlight while it can, so the highlight keeps its screen row until an end of the list.
void step(Panel* p, int direction) {
    if (direction < 0) {
        panel_select_prev(p);
        panel_scroll_up(p);
    } else {
        panel_select_next(p);
        panel_scroll_down(p);
    }
}

// pending_moves is 16-bit: a long run of page keys saturates instead of wrapping round.
void queue_moves(int moves) {
    int total = pending_moves + moves;
    if (total > 32767) total = 32767;
    if (total < -32767) total = -32767;
    pending_moves = int16_t(total);
}

// A folder whose name looks like a cartridge's is no cartridge: opening it tells.
bool is_folder(const char* name) {
    char path[PATH_BUFFER_BYTES];
    join_cut(path, sizeof path, rom_directory, name);
    DIR* dir = platform_opendir(path);
    if (dir) closedir(dir);
    return dir != nullptr;
}

void leave_program() {
    ui_wait_release();
    release_names(&visit_list);
    std::exit(0);
}

} // namespace

void scan_rom_directory(CartridgeList* list) {
    DIR* dir = platform_opendir(rom_directory);
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        char upper[sizeof entry->d_name];
        ascii_upper(name, upper, sizeof upper);
        if (std::strstr(upper, "COLECO.ROM")) {
            if (!bios_named) join_cut(bios_path, sizeof bios_path, rom_directory, name);
            continue;
        }
        if (!std::strstr(name, ".rom") && !std::strstr(name, ".ROM")) continue;
        if (list->count >= MANAGER_MAX_NAMES || is_folder(name)) continue;
        size_t bytes = std::strlen(name) + 1;
        char* copy = static_cast<char*>(std::malloc(bytes));
        if (!copy) continue;
        std::memcpy(copy, name, bytes);
        list->names[list->count++] = copy;
    }
    closedir(dir);
}

void sort_names(CartridgeList* list) {
    // strcmp compares the bytes as unsigned values on every host, also where char is signed.
    bool swapped = list->count >= 2;
    while (swapped) {
        swapped = false;
        for (int i = 0; i + 1 < list->count; ++i) {
            if (std::strcmp(list->names[i], list->names[i + 1]) > 0) {
                char* t = list->names[i];
                list->names[i] = list->names[i + 1];
                list->names[i + 1] = t;
                swapped = true;
            }
        }
    }
}

void release_names(CartridgeList* list) {
    for (int i = 0; i < list->count; ++i) std::free(list->names[i]);
    list->count = 0;
}

void manager_navigate(Panel* p, uint16_t b, bool repeated) {
    // A held page key keeps turning pages, but never queues a page while one is being turned.
    if (repeated && (b == BTN_LEFT || b == BTN_RIGHT) && pending_moves != 0) b = 0;
    switch (b) {
    case BTN_UP:
        pending_moves = 0;
        step(p, -1);
        break;
    case BTN_DOWN:
        pending_moves = 0;
        step(p, +1);
        break;
    case BTN_LEFT:
        if (pending_moves > 0) pending_moves = 0;
        queue_moves(-p->visible);
        break;
    case BTN_RIGHT:
        if (pending_moves < 0) pending_moves = 0;
        queue_moves(p->visible);
        break;
    default:
        if (pending_moves < 0) {
            step(p, -1);
            ++pending_moves;
        } else if (pending_moves > 0) {
            step(p, +1);
            --pending_moves;
        }
        break;
    }
}

void cartridge_manager() {
    if (take_opened_cartridge()) return;
    scan_rom_directory(&visit_list);
    sort_names(&visit_list);
    const bool empty = visit_list.count == 0;
    char read_folder[PATH_BUFFER_BYTES];
    if (!platform_map_path(rom_directory, read_folder, sizeof read_folder))
        join_cut(read_folder, sizeof read_folder, rom_directory, "");
    const char* const no_cartridges[] = {"", MANAGER_NO_CARTRIDGES, read_folder};

    Panel& p = manager_panel;
    p = make_panel(MANAGER_STYLE, "Cartridge Manager", rom_directory, "Push B to select cart; Y to exit emu.",
                   empty ? no_cartridges : visit_list.names, uint16_t(empty ? 3 : visit_list.count));
    panel_select(&p, empty ? -1 : 0);

    show_panel(&p);
    ui_wait_release();
    // With nothing to choose the manager still waits: X or START goes back to the play cycle
    // (which finds no game and comes back with a fresh look at the folder), Y leaves.
    for (;;) {
        uint16_t b = ui_wait_buttons(pending_moves == 0 ? 90 : 22);
        if (take_opened_cartridge()) break;
        if (b == BTN_X || b == BTN_START) {
            timer_delay(200);
            break;
        }
        if (b == BTN_Y) leave_program();
        if (empty) continue;
        if (b == BTN_B) {
            ui_wait_release();
            int16_t row = panel_selected(&p);
            if (row >= 0 && row < visit_list.count)
                join_cut(cartridge_path, sizeof cartridge_path, rom_directory, visit_list.names[row]);
            timer_delay(200);
            break;
        }
        manager_navigate(&p, b, ui_press_repeated);
        show_panel(&p);
    }
    p.items = nullptr;
    p.row_count = 0;
    release_names(&visit_list);
}
