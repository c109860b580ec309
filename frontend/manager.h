// The cartridge manager's parts: the scan of the card's ROM folder (which also finds the BIOS),
// the sorted name list, the manager's panel and its cursor keys. cartridge_manager itself is
// declared with the other screens (frontend/screens.h); the play cycle runs it before every game.
#pragma once
#include <cstdint>

#include "frontend/panel.h"

constexpr const char* ROM_DIRECTORY = "/mnt/sd/roms/colecovision/";
constexpr int MANAGER_MAX_NAMES = 1024;

// What the manager shows when the ROM folder holds no cartridge (or cannot be read).
constexpr const char* MANAGER_NO_CARTRIDGES = "No cartridges found in /mnt/sd/roms/colecovision/";

// The names of one visit, each in its own block and whole (the panel cuts what it draws, the path
// to a cartridge needs all of it); built afresh at every visit.
struct CartridgeList {
    char* names[MANAGER_MAX_NAMES];
    int count;
};

// Fills `list` (which must be empty) from the ROM folder, in the folder's order: every entry
// whose name holds ".rom" or ".ROM", at most MANAGER_MAX_NAMES of them. An
// entry whose upper-cased name holds "COLECO.ROM" is the BIOS: it rewrites bios_path and is not
// listed. A folder that cannot be opened leaves the list empty.
void scan_rom_directory(CartridgeList* list);

// Bubble sort in ascending byte order (bytes compared as unsigned values).
void sort_names(CartridgeList* list);

// Frees the names and empties the list.
void release_names(CartridgeList* list);

// The manager's panel of the current (or last) visit.
extern Panel manager_panel;

// Acts on one pressed set of the manager's wait: UP and DOWN move the highlight, LEFT and RIGHT
// queue a page of moves in pending_moves, anything else carries out one queued move. A page key
// held down (`repeated`) turns the next page only once the queued one is done.
void manager_navigate(Panel* p, uint16_t b, bool repeated = false);
