// Picture loading: load_image picks a decoder by the name's extension or by flag, turns the
// decoded picture into RGB565 and puts it as an Image at the head of the program-wide image list
// (surface.h). The decoders (PCX and TGA) are also callable on their own. The built-in font is
// the program's only picture; the readers are part of the loader's contract. Failures are shown
// on the status line (show_status_message) and yield no image. The image list owns the images;
// the decoders' results belong to their callers (release them with std::free).
#pragma once
#include <cstddef>
#include <cstdint>

#include "frontend/surface.h"

// load_image flags.
constexpr uint8_t IMAGE_SWAP_BYTES = 1; // store each pixel with its two bytes exchanged
constexpr uint8_t IMAGE_IN_MEMORY = 2;  // the source is data of `length` bytes, not a path
constexpr uint8_t IMAGE_AS_PCX = 4;     // PCX whatever the name
constexpr uint8_t IMAGE_AS_TGA = 8;     // TGA when the name names no other format

// The colour keys of the front end's PCX pictures, palette or 24-bit alike.
constexpr uint8_t IMAGE_KEY_TRANSPARENT_RGB = 0x7B; // (123, 123, 123) becomes IMAGE_TRANSPARENT
constexpr uint8_t IMAGE_KEY_SHADOW_RB = 0xDE;       // (0xDE, 0x6F, 0xDE) becomes IMAGE_SHADOW
constexpr uint8_t IMAGE_KEY_SHADOW_G = 0x6F;

// The largest picture the readers take, per side: a bigger one is refused with the reader's
// message before anything is allocated (the front end shows 320 x 240; the handheld has 64 MB).
constexpr uint32_t IMAGE_MAX_SIDE = 2048;
// Files bigger than this are not read: the largest picture in its longest valid encoding (24-bit
// PCX, 2048 x 2048, every byte escaped) takes a little over 24 MB.
constexpr size_t IMAGE_FILE_LIMIT = size_t(25) << 20;

// Loads a picture under `name`; `source` is a path, or the data with IMAGE_IN_MEMORY. Returns 1
// with the new Image at the head of the image list, 0 on failure (after its message).
int load_image(const char* name, const void* source, uint8_t flags, uint32_t length);

// Removes from the list and releases every image loaded after `keep` (an earlier head of the
// list; nullptr = all). The program keeps its images to the end; the checks release theirs.
void release_images_after(Image* keep);

// PCX: the pixels (width x height of them, top row first) or nullptr. *bytes_per_pixel tells
// what they are: 1 = palette indices (one plane), 3 = red, green and blue (three 8-bit planes,
// a 24-bit picture). `palette` receives 256 RGB triplets when it is not nullptr (all black for a
// 24-bit picture). Other plane counts are refused.
uint8_t* read_pcx_file(const char* path, uint8_t* palette, uint16_t* width, uint16_t* height,
                       uint8_t* bytes_per_pixel);
uint8_t* read_pcx_memory(const uint8_t* data, size_t length, uint8_t* palette, uint16_t* width,
                         uint16_t* height, uint8_t* bytes_per_pixel);

// TGA: RGB565 pixels (width x height, top row first) or nullptr. `source` is a path when
// `length` is 0, else data of `length` bytes. *alpha receives a width x height byte map only when
// some pixel has a non-zero alpha, else nullptr.
uint16_t* read_tga(const void* source, uint8_t** alpha, uint16_t* width, uint16_t* height, uint32_t length);
uint16_t* read_tga_memory(const uint8_t* data, size_t length, uint8_t** alpha, uint16_t* width,
                          uint16_t* height);

// --- Shared by the readers ---

// Shows a loader message on the status line and records it (most recent last) for the
// automated checks; the record keeps the last IMAGE_MESSAGE_SLOTS messages.
constexpr uint32_t IMAGE_MESSAGE_SLOTS = 8;
struct ImageMessageLog {
    const char* text[IMAGE_MESSAGE_SLOTS];
    uint32_t count; // messages shown since the last clear (may exceed the slots)
};
extern ImageMessageLog image_messages;
void image_message(const char* text);
void clear_image_messages();
// The i-th message since the last clear, or "" when it is not kept.
const char* image_message_at(uint32_t i);

// Reads a whole file (through the card mapping) into a fresh block.
enum class FileRead { OK, OPEN_FAILED, TOO_BIG, NO_MEMORY, SHORT };
struct FileBlock {
    uint8_t* data; // std::free it; nullptr unless OK or SHORT
    size_t length; // bytes actually read
};
FileRead read_whole_file(const char* path, FileBlock* out);
