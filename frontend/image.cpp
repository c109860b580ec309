// load_image: decoder choice by extension, conversion to RGB565 with the colour keys, and the
// image list.
#include "frontend/image.h"
#include "frontend/surface.h"
#include "machine/play.h"

#include <cstdlib>
#include <cstring>

namespace {

// Whether `needle` occurs in the source: a C string for a path, or the first `length` bytes of
// data in memory (which need not be terminated).
bool source_contains(const void* source, uint8_t flags, size_t length, const char* needle) {
    if (flags & LOAD_FROM_MEMORY) return memmem(source, length, needle, std::strlen(needle)) != nullptr;
    return std::strstr(static_cast<const char*>(source), needle) != nullptr;
}

void copy_text(char (&dst)[32], const void* src, size_t limit) {
    const char* s = static_cast<const char*>(src);
    size_t n = 0;
    while (n < sizeof dst - 1 && n < limit && s[n]) ++n;
    std::memcpy(dst, s, n);
    dst[n] = '\0';
}

inline uint16_t rgb565(unsigned r, unsigned g, unsigned b) {
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

inline uint16_t swapped(uint16_t v) { return uint16_t((v >> 8) | (v << 8)); }

enum class Decoder { none, pcx, tga };

Decoder choose_decoder(const void* source, uint8_t flags, size_t length) {
    if (flags & LOAD_AS_PCX) return Decoder::pcx;
    auto has = [&](const char* lower, const char* upper) {
        return source_contains(source, flags, length, lower) || source_contains(source, flags, length, upper);
    };
    if (has(".pcx", ".PCX")) return Decoder::pcx;
    if (has(".gif", ".GIF")) {
        show_status_message("GIF loading is disabled in this build.");
        return Decoder::none;
    }
    if (has(".tga", ".TGA") || (flags & LOAD_AS_TGA)) return Decoder::tga;
    if (has(".png", ".PNG")) show_status_message("PNG loading is disabled in this build.");
    return Decoder::none;
}

} // namespace

int load_image(const char* name, const void* source, uint8_t flags, size_t length) {
    Decoder decoder = choose_decoder(source, flags, length);
    uint16_t width = 0, height = 0;
    uint16_t* pixels = nullptr;
    uint8_t* alpha = nullptr;
    if (decoder == Decoder::pcx) {
        PcxPalette palette;
        uint8_t* indices =
            (flags & LOAD_FROM_MEMORY)
                ? read_pcx_memory(static_cast<const uint8_t*>(source), length, &palette, &width, &height)
                : read_pcx_file(static_cast<const char*>(source), &palette, &width, &height);
        if (indices) {
            // The palette's colour keys: (123, 123, 123) is transparent, (0xDE, 0x6F, 0xDE) shadow.
            uint16_t colours[256];
            for (int i = 0; i < 256; ++i) {
                const uint8_t* c = palette.rgb[i];
                if (c[0] == 0x7B && c[1] == 0x7B && c[2] == 0x7B) colours[i] = IMAGE_TRANSPARENT;
                else if (c[0] == 0xDE && c[1] == 0x6F && c[2] == 0xDE) colours[i] = IMAGE_SHADOW;
                else colours[i] = rgb565(c[0], c[1], c[2]);
            }
            size_t n = size_t(width) * height;
            pixels = static_cast<uint16_t*>(std::malloc(n * 2));
            if (pixels)
                for (size_t i = 0; i < n; ++i) pixels[i] = colours[indices[i]];
            std::free(indices);
        }
    } else if (decoder == Decoder::tga) {
        pixels = read_tga(source, &alpha, &width, &height, (flags & LOAD_FROM_MEMORY) ? length : 0);
    }
    Image* image = pixels ? static_cast<Image*>(std::calloc(1, sizeof(Image))) : nullptr;
    if (!image) {
        std::free(pixels);
        std::free(alpha);
        show_status_message("ERROR: Couldn't load data from image file");
        return 0;
    }
    if (flags & LOAD_SWAP_BYTES) {
        size_t n = size_t(width) * height;
        for (size_t i = 0; i < n; ++i) pixels[i] = swapped(pixels[i]);
    }
    copy_text(image->source, source, (flags & LOAD_FROM_MEMORY) ? length : SIZE_MAX);
    copy_text(image->name, name, SIZE_MAX);
    image->width = width;
    image->height = height;
    image->pixels = pixels;
    image->alpha = alpha;
    image->next = image_list;
    image_list = image;
    return 1;
}
