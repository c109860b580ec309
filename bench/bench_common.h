// What the benchmarks share: a card folder of their own, and the program started on the headless
// back end with the buffers a game draws into.
#pragma once
#include <string>

#include "platform/headless/headless.h"

// Makes the card folder `card` (and any parents it lacks) with roms/colecovision/ in it. Returns
// that games' folder, or an empty string when it cannot be made.
std::string make_bench_card(const std::string& card);

// Removes a card folder and all in it. False when it could not.
bool remove_bench_card(const std::string& card);

// Resets the headless back end with `config` on an unpaced clock (a benchmark never waits for the
// console's time) and gives the screen surface and the video chip's picture buffers of their own:
// a benchmark calls run_cartridge straight, without the front end that would set them up.
void start_headless_bench(HeadlessConfig config);
