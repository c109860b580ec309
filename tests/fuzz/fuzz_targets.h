// The fuzz targets: each takes one input of arbitrary bytes, drives one part of the program
// with it, and aborts (through a sanitizer or a failed check) when the program misbehaves. The
// libFuzzer programs (one per target, fuzz_main.cpp) and the corpus replay test
// (test_fuzz_corpus.cpp) call them. They use the headless back end, a card folder of their own
// and the program-wide state; they run one input at a time on one thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The PCX decoder from memory, and load_image with the data in memory.
int fuzz_pcx(const uint8_t* data, size_t size);
// The TGA reader from memory and from a file, which must agree.
int fuzz_tga(const uint8_t* data, size_t size);
// load_image through a file, the first byte choosing the file name's extension.
int fuzz_image_file(const uint8_t* data, size_t size);
// run_cartridge with arbitrary bytes as the BIOS file and the cartridge file.
int fuzz_cartridge(const uint8_t* data, size_t size);
// About ten frames of emulation: our boot ROM and a valid cartridge header (of a plain cartridge
// or a MegaCart), the input as the program, with scripted controllers and spinners.
int fuzz_emulation(const uint8_t* data, size_t size);
// A stream of port writes and reads, every line rendered and frames ended by the frame driver.
int fuzz_ports(const uint8_t* data, size_t size);
// The headless runner's button-script parser.
int fuzz_script(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name; // also the corpus folder's name
    int (*run)(const uint8_t* data, size_t size);
};

constexpr FuzzTarget FUZZ_TARGETS[] = {
    {"pcx", fuzz_pcx},
    {"tga", fuzz_tga},
    {"image_file", fuzz_image_file},
    {"cartridge", fuzz_cartridge},
    {"emulation", fuzz_emulation},
    {"ports", fuzz_ports},
    {"script", fuzz_script},
};

// --- Shared by the targets (fuzz_support.cpp) ---

// Aborts with a message when `ok` is false: a finding.
void fuzz_check(bool ok, const char* what);

// Once per process: a card folder of the targets' own (removed at exit), the screen and the
// picture buffer, the headless back end on the virtual clock. Returns the card folder.
const char* fuzz_card();

// Writes `size` bytes to the file `name` in the card's ROM folder; returns its host path.
const char* fuzz_write_card_file(const char* name, const uint8_t* data, size_t size);

// The whole file, or nothing when it cannot be read.
std::vector<uint8_t> fuzz_read_file(const char* path);
