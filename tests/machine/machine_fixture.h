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
// at a jump to itself. The other bytes hold their offset's low byte, so that tests can check
// where each byte of the file landed.
std::vector<uint8_t> test_cartridge(size_t size, uint8_t first = 0xAA, uint8_t second = 0x55);

// Resets the headless back end onto `card` with SELECT held throughout, so that a game that
// starts ends at its first frame end.
void start_headless_with_select(const std::string& card);
