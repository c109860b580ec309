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

// Path of the BIOS image; the cartridge manager may replace it by the name the card spells.
extern char bios_path[PATH_BUFFER_BYTES];

// Games run to their end, and loads that failed, since the program started.
extern uint32_t games_run;
extern uint32_t loads_failed;

// The bytes of the running game's cartridge image (at 0x8000 on), and a count of the cartridges
// loaded so far, which tells one game from the next (the state record names the cartridge).
extern uint32_t cartridge_size;
extern uint32_t cartridges_loaded;

// 1 after a game was run to its end, 0 when the load failed.
int run_cartridge(const char* path);
void release_machine();
