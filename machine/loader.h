// Cartridge and BIOS loading: run_cartridge builds a fresh console for one game (memory, video
// memory, BIOS and cartridge images, the power-on state of every chip) and runs it until the
// player leaves the game; release_machine frees what it built. Called by the play cycle.
#pragma once
#include <cstdint>

// Room for the ROM folder and the longest file name a Linux folder holds (255 bytes).
constexpr int PATH_BUFFER_BYTES = 320;
constexpr uint32_t BIOS_BYTES = 8192;
constexpr uint32_t CARTRIDGE_MIN_BYTES = 0x1000;
constexpr uint32_t CARTRIDGE_MAX_BYTES = 0x8000;
// The largest cartridge file taken at all, the largest MegaCart; a file over 32 KB is taken
// only as a whole MegaCart.
constexpr uint32_t CARTRIDGE_FILE_MAX_BYTES = 0x100000;
// Room for one line of the status strip: the reason and a path.
constexpr int LOAD_ERROR_BYTES = 400;

// Path of the BIOS image; the cartridge manager may replace it by the name the card spells.
extern char bios_path[PATH_BUFFER_BYTES];

// Set when the player named the BIOS (a PC's --bios): the cartridge manager then leaves
// bios_path as it is instead of taking the BIOS it finds beside the cartridges.
extern bool bios_named;

// Why the last load failed, one line for the player ("" after a load that worked): for
// example "BIOS not found: <path>" or "Cartridge too short: <name>".
extern char load_error[LOAD_ERROR_BYTES];

// Games run to their end, and loads that failed, since the program started.
extern uint32_t games_run;
extern uint32_t loads_failed;

// 1 after a game was run to its end, 0 when the load failed (load_error says why).
int run_cartridge(const char* path);
void release_machine();
