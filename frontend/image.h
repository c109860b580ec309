// Loading pictures: load_image picks a decoder by the file name's extension (or by flag), turns
// the decoded picture into RGB565 and puts it at the head of the image list (current_image).
// The PCX decoder reads 8-bit palette pictures, the TGA reader true-colour, grey and
// colour-mapped ones. The built-in font is the one picture the program loads; errors are shown
// on the status line. Decoders allocate their results on the heap; the caller owns them.
#pragma once
#include <cstddef>
#include <cstdint>

// load_image flags.
constexpr uint8_t LOAD_SWAP_BYTES = 1;  // write each pixel with its two bytes exchanged
constexpr uint8_t LOAD_FROM_MEMORY = 2; // `source` is data of `length` bytes, not a path
constexpr uint8_t LOAD_AS_PCX = 4;      // decode as PCX whatever the name
constexpr uint8_t LOAD_AS_TGA = 8;      // decode as TGA

// Palette of a decoded PCX picture: 256 entries of red, green, blue.
struct PcxPalette {
    uint8_t rgb[256][3];
};

// 1 on success (the new Image heads the image list), 0 on failure.
int load_image(const char* name, const void* source, uint8_t flags, size_t length);

// The decoded 8-bit pixels (width x height, freed by the caller with free), or nullptr.
uint8_t* read_pcx_file(const char* path, PcxPalette* palette, uint16_t* width, uint16_t* height);
uint8_t* read_pcx_memory(const uint8_t* data, size_t length, PcxPalette* palette, uint16_t* width,
                         uint16_t* height);

// RGB565 pixels, top row first (freed by the caller with free), or nullptr. `alpha` receives a
// width x height byte map only when some pixel has a non-zero alpha, else nullptr. length 0 means
// `source` is a path.
uint16_t* read_tga(const void* source, uint8_t** alpha, uint16_t* width, uint16_t* height, size_t length);

// The largest picture the readers accept, in pixels; anything larger is refused before any
// allocation, whatever its header says.
constexpr uint64_t IMAGE_MAX_PIXELS = 0x1000000;

// Reads a whole file (through the card mapping) into a fresh block; nullptr when it cannot be
// opened. `short_read` tells whether fewer bytes arrived than the file's length; `alloc_failed`
// whether the block could not be had.
uint8_t* read_whole_file(const char* path, size_t* length, bool* alloc_failed, bool* short_read);
