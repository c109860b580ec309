// The cartridge manager's parts: the scan of the card's ROM folder (which also finds the BIOS),
// the sorted name list, the manager's panel and its cursor keys. cartridge_manager itself is
// declared with the other screens (frontend/screens.h); the play cycle runs it before every game.
#pragma once
#include <cstdint>

#include "frontend/panel.h"
#include "machine/loader.h"

constexpr const char* ROM_DIRECTORY = "/mnt/sd/roms/colecovision/";
constexpr int MANAGER_MAX_NAMES = 1024;

// The folder the manager lists, with its trailing '/': the card's ROM folder, or the folder of
// a cartridge that was opened outside the manager (see take_opened_cartridge).
extern char rom_directory[PATH_BUFFER_BYTES];

// What the manager shows, followed by the folder it read (as the host names it), when that
// folder holds no cartridge or cannot be read.
constexpr const char* MANAGER_NO_CARTRIDGES = "No cartridges found in";

// The names of one visit, each in its own block and whole (the panel cuts what it draws, the path
// to a cartridge needs all of it); built afresh at every visit.
struct CartridgeList {
    char* names[MANAGER_MAX_NAMES];
    int count;
};

// Fills `list` (which must be empty) from rom_directory, in the folder's order: every entry
// whose name holds ".rom" or ".ROM" and which is not a folder itself, at most MANAGER_MAX_NAMES
// of them. An entry whose upper-cased name holds "COLECO.ROM" is the BIOS: it rewrites bios_path
// (unless the player named a BIOS) and is not listed. A folder that cannot be opened leaves the
// list empty.
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
