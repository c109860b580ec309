// The program's spine: start-up (platform, surfaces, fonts), then the endless play cycle that
// alternates between the front end (welcome screen once, then the cartridge manager) and the
// emulated console. Also the one-line status message the image loaders report errors with.
#pragma once
#include <cstdint>

#include "machine/loader.h"

constexpr uint32_t BACK_SURFACE_BYTES = 320 * 240 * 2;
constexpr int32_t VOLUME_PERCENT = 50;

// The cartridge to run next; the cartridge manager rewrites it, and it keeps its content from
// one game to the next.
extern char cartridge_path[PATH_BUFFER_BYTES];

// Takes a cartridge the player opened outside the cartridge manager (platform_take_cartridge):
// it becomes cartridge_path, with its BIOS in bios_path, and the manager lists its folder from
// then on. False when there is none.
bool take_opened_cartridge();

// The program's start-up and play cycle (what the process entry runs); returns 0 when the
// program ends by returning.
int program_main();

// Returns only when the picture buffer cannot be allocated.
void play_cycle();

// Shows one line of text at the top of the screen for 500 ms.
void show_status_message(const char* text);

// How long the reason of a failed load stays up unless a control is pressed first.
constexpr uint32_t LOAD_FAILURE_MS = 4000;

// Shows why a load failed in the status strip until a control is pressed or LOAD_FAILURE_MS
// pass: without it, choosing a cartridge that cannot run would seem to do nothing at all.
void show_load_failure(const char* reason);
