// The PCX decoder: 8 bits per pixel, run-length encoded, with the 256-colour palette that
// version 5 files carry after a 0x0C marker at the end.
#include "frontend/image.h"
#include "machine/play.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Files larger than this are not pictures this program can show.
constexpr long MAX_FILE_BYTES = 64L * 1024 * 1024;

inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

uint8_t* decode_pcx(const uint8_t* data, size_t length, PcxPalette* palette, uint16_t* width_out,
                    uint16_t* height_out) {
    if (length < 128) {
        show_status_message("ERROR: PCX Read Result fail");
        return nullptr;
    }
    const uint8_t* h = data;
    uint8_t version = h[1];
    uint16_t xmin = le16(h + 4), ymin = le16(h + 6), xmax = le16(h + 8), ymax = le16(h + 10);
    uint32_t planes = h[65];
    uint32_t line_length = uint32_t(le16(h + 66)) * planes;
    // A header that lies about its sizes is refused: the copy of each line must stay inside the
    // line buffer, and the picture must fit an allocation.
    uint32_t width = uint32_t(xmax) - xmin + 1, height = uint32_t(ymax) - ymin + 1;
    if (xmax < xmin || ymax < ymin || width > line_length || uint64_t(width) * height > IMAGE_MAX_PIXELS) {
        show_status_message("ERROR: Couldn't decode line");
        return nullptr;
    }
    uint8_t* line = static_cast<uint8_t*>(std::calloc(line_length, 1));
    if (!line) {
        show_status_message("ERROR: PCX linebuffer NULL");
        return nullptr;
    }
    uint8_t* out = static_cast<uint8_t*>(std::malloc(size_t(width) * height));
    if (!out) {
        std::free(line);
        show_status_message("ERROR: PCX Blk NULL");
        return nullptr;
    }
    size_t pos = 128;
    for (uint32_t y = 0; y < height; ++y) {
        uint32_t filled = 0;
        while (filled < line_length) {
            if (pos >= length) {
                std::free(line);
                std::free(out);
                show_status_message("ERROR: Couldn't decode line");
                return nullptr;
            }
            uint8_t b = data[pos++];
            if ((b & 0xC0) == 0xC0) {
                if (pos >= length) continue;  // the value is missing: the next test fails the line
                uint32_t run = b & 0x3F;
                uint8_t value = data[pos++];
                // A run never spills over the end of the line buffer.
                if (run > line_length - filled) run = line_length - filled;
                std::memset(line + filled, value, run);
                filled += run;
            } else {
                line[filled++] = b;
            }
        }
        std::memcpy(out + size_t(y) * width, line, width);
    }
    std::free(line);

    if (palette) {
        bool have = false;
        if (version == 5) {
            size_t at = length > 769 ? length - 769 : 0;
            if (data[at] == 0x0C) {
                if (length - at - 1 < 768) {
                    std::free(out);
                    show_status_message("ERROR: Bad palette!");
                    return nullptr;
                }
                std::memcpy(palette->rgb, data + at + 1, 768);
                have = true;
            }
        }
        if (!have) {
            std::memset(palette->rgb, 0, sizeof palette->rgb);
            std::memcpy(palette->rgb, h + 16, 48);
        }
    }
    *width_out = uint16_t(width);
    *height_out = uint16_t(height);
    return out;
}

} // namespace

uint8_t* read_whole_file(const char* path, size_t* length, bool* alloc_failed, bool* short_read) {
    *alloc_failed = *short_read = false;
    *length = 0;
    FILE* f = platform_fopen(path, "rb");
    if (!f) return nullptr;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::rewind(f);
    if (size < 0 || size > MAX_FILE_BYTES) {
        std::fclose(f);
        *alloc_failed = true;
        return nullptr;
    }
    // One spare byte, so that an empty file still gives a block.
    uint8_t* block = static_cast<uint8_t*>(std::calloc(size_t(size) + 1, 1));
    if (!block) {
        std::fclose(f);
        *alloc_failed = true;
        return nullptr;
    }
    size_t got = std::fread(block, 1, size_t(size), f);
    std::fclose(f);
    *short_read = got < size_t(size);
    *length = got;
    return block;
}

uint8_t* read_pcx_file(const char* path, PcxPalette* palette, uint16_t* width, uint16_t* height) {
    size_t length;
    bool alloc_failed, short_read;
    uint8_t* block = read_whole_file(path, &length, &alloc_failed, &short_read);
    if (!block) {
        show_status_message(alloc_failed ? "ERROR: Couldn't alloc in pcx" : "ERROR: Can't fopen() pcx");
        return nullptr;
    }
    if (short_read) show_status_message("ERROR: pcx fread");
    uint8_t* pixels = decode_pcx(block, length, palette, width, height);
    std::free(block);
    return pixels;
}

uint8_t* read_pcx_memory(const uint8_t* data, size_t length, PcxPalette* palette, uint16_t* width,
                         uint16_t* height) {
    return decode_pcx(data, length, palette, width, height);
}
