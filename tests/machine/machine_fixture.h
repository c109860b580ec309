// A card folder with a BIOS and cartridges made of given bytes, for tests that load games.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

// A BIOS image of `size` bytes whose first instruction jumps to itself, so that a game started
// with it stays put until SELECT ends it.
std::vector<uint8_t> spinning_bios(size_t size = 8192);

// A cartridge image of `size` bytes with the given two signature bytes; its start address points
// at a jump to itself. The other bytes hold the sum of their offset's two bytes, so that tests
// can check where each byte of the file landed (no byte near the end of a 32 KB image is 0xFF,
// the value of memory that nothing was loaded into).
std::vector<uint8_t> test_cartridge(size_t size, uint8_t first = 0xAA, uint8_t second = 0x55);

// Resets the headless back end onto `card`, recording the sound, with SELECT held from
// `select_ms` on (by default throughout, so that a game that starts ends at its first frame end)
// and the buttons of `held` held throughout; then gives a game what the program's start-up
// would: the screen and the picture buffer.
void start_headless_with_select(const std::string& card, uint32_t select_ms = 0, uint16_t held = 0);

// True when the recorded sound varies anywhere from sample `from` on (silence is a constant).
bool heard_from(size_t from);
