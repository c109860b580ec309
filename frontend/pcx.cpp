// The PCX decoder: run-length encoded lines of palette indices, the 256-colour palette at the end
// of version 5 files, the header's 16-colour palette otherwise; and 24-bit pictures, whose lines
// hold a red, a green and a blue plane one after the other. Header sizes are checked against the
// line buffer and the data before anything is allocated, so a lying header costs nothing.
#include <cstdlib>
#include <cstring>

#include "frontend/image.h"

namespace {

constexpr size_t PCX_HEADER_BYTES = 128;
constexpr size_t PCX_PALETTE_BYTES = 768;
constexpr uint8_t PCX_PALETTE_MARKER = 0x0C;
// One data byte yields at most this many output bytes (a run of the longest length).
constexpr uint64_t PCX_LONGEST_RUN = 0x3F;
// The plane counts the decoder reads: palette indices, or red, green and blue of 8 bits each.
constexpr uint8_t PCX_PALETTE_PLANES = 1;
constexpr uint8_t PCX_RGB_PLANES = 3;
// A line is at most three planes of the widest picture taken (bytes per line are even).
constexpr uint64_t PCX_MAX_LINE_BYTES = PCX_RGB_PLANES * (uint64_t(IMAGE_MAX_SIDE) + 2);

uint16_t word_at(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// Run-length decodes `length` bytes into `line`, starting at data[*pos]; false when the data end
// before the line is complete.
bool decode_line(const uint8_t* data, size_t size, size_t* pos, uint8_t* line, size_t length) {
    size_t filled = 0, p = *pos;
    while (filled < length) {
        if (p >= size) return false;
        uint8_t b = data[p++];
        if ((b & 0xC0) == 0xC0) {
            if (p >= size) return false;
            size_t run = b & 0x3F;
            uint8_t value = data[p++];
            // A run that overshoots the line is cut at its end, as the next line starts afresh.
            if (run > length - filled) run = length - filled;
            std::memset(line + filled, value, run);
            filled += run;
        } else {
            line[filled++] = b;
        }
    }
    *pos = p;
    return true;
}

void fill_palette(const uint8_t* data, size_t size, uint8_t version, uint8_t* palette, bool* bad) {
    *bad = false;
    if (version == 5) {
        size_t at = size >= PCX_PALETTE_BYTES + 1 ? size - (PCX_PALETTE_BYTES + 1) : 0;
        if (data[at] == PCX_PALETTE_MARKER) {
            if (size - at - 1 < PCX_PALETTE_BYTES) {
                *bad = true;
                return;
            }
            std::memcpy(palette, data + at + 1, PCX_PALETTE_BYTES);
            return;
        }
    }
    std::memset(palette, 0, PCX_PALETTE_BYTES);
    std::memcpy(palette, data + 16, 48);
}

uint8_t* decode_pcx(const uint8_t* data, size_t size, uint8_t* palette, uint16_t* width_out,
                    uint16_t* height_out, uint8_t* bytes_per_pixel) {
    if (!data || size < PCX_HEADER_BYTES) {
        image_message("ERROR: PCX Read Result fail");
        return nullptr;
    }
    uint8_t version = data[1], bits = data[3], planes = data[65];
    int32_t xmin = word_at(data + 4), ymin = word_at(data + 6);
    int32_t xmax = word_at(data + 8), ymax = word_at(data + 10);
    uint64_t plane_length = word_at(data + 66);
    uint64_t line_length = planes * plane_length;
    int64_t width = int64_t(xmax) - xmin + 1, height = int64_t(ymax) - ymin + 1;
    // Every line must fit the line buffer, the sizes must fit an Image, and the data must be able
    // to hold the lines at all; otherwise the header lies and nothing is allocated. Other plane
    // counts (and 3 planes of other than 8 bits) would decode into wrong colours: refused.
    uint64_t least_data = uint64_t(height) * ((line_length + PCX_LONGEST_RUN - 1) / PCX_LONGEST_RUN);
    bool rgb = planes == PCX_RGB_PLANES;
    if ((planes != PCX_PALETTE_PLANES && !(rgb && bits == 8)) || width < 1 || height < 1 ||
        uint64_t(width) > plane_length || least_data > size - PCX_HEADER_BYTES) {
        image_message("ERROR: Couldn't decode line");
        return nullptr;
    }
    // Nor is anything allocated for a picture or a line beyond what the front end can hold.
    if (line_length > PCX_MAX_LINE_BYTES) {
        image_message("ERROR: PCX linebuffer NULL");
        return nullptr;
    }
    if (width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE) {
        image_message("ERROR: PCX Blk NULL");
        return nullptr;
    }
    const size_t depth = rgb ? 3 : 1;
    uint8_t* line = static_cast<uint8_t*>(std::calloc(size_t(line_length), 1));
    if (!line) {
        image_message("ERROR: PCX linebuffer NULL");
        return nullptr;
    }
    uint8_t* out = static_cast<uint8_t*>(std::malloc(size_t(width) * size_t(height) * depth));
    if (!out) {
        std::free(line);
        image_message("ERROR: PCX Blk NULL");
        return nullptr;
    }
    size_t pos = PCX_HEADER_BYTES;
    for (int64_t y = 0; y < height; ++y) {
        if (!decode_line(data, size, &pos, line, size_t(line_length))) {
            std::free(line);
            std::free(out);
            image_message("ERROR: Couldn't decode line");
            return nullptr;
        }
        uint8_t* to = out + size_t(y) * size_t(width) * depth;
        if (rgb) {
            for (size_t x = 0; x < size_t(width); ++x)
                for (size_t c = 0; c < 3; ++c) to[3 * x + c] = line[c * plane_length + x];
        } else {
            std::memcpy(to, line, size_t(width));
        }
    }
    std::free(line);
    if (palette && rgb) {
        std::memset(palette, 0, PCX_PALETTE_BYTES); // the colours are in the pixels
    } else if (palette) {
        bool bad;
        fill_palette(data, size, version, palette, &bad);
        if (bad) {
            std::free(out);
            image_message("ERROR: Bad palette!");
            return nullptr;
        }
    }
    *width_out = uint16_t(width);
    *height_out = uint16_t(height);
    *bytes_per_pixel = uint8_t(depth);
    return out;
}

} // namespace

uint8_t* read_pcx_memory(const uint8_t* data, size_t length, uint8_t* palette, uint16_t* width,
                         uint16_t* height, uint8_t* bytes_per_pixel) {
    return decode_pcx(data, length, palette, width, height, bytes_per_pixel);
}

uint8_t* read_pcx_file(const char* path, uint8_t* palette, uint16_t* width, uint16_t* height,
                       uint8_t* bytes_per_pixel) {
    FileBlock block;
    switch (read_whole_file(path, &block)) {
    case FileRead::OPEN_FAILED: image_message("ERROR: Can't fopen() pcx"); return nullptr;
    case FileRead::TOO_BIG:
    case FileRead::NO_MEMORY: image_message("ERROR: Couldn't alloc in pcx"); return nullptr;
    case FileRead::SHORT: image_message("ERROR: pcx fread"); break;
    case FileRead::OK: break;
    }
    uint8_t* out = decode_pcx(block.data, block.length, palette, width, height, bytes_per_pixel);
    std::free(block.data);
    return out;
}
