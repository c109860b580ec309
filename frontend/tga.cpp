// The TGA reader: colour-mapped, true-colour and grey pictures, raw or run-length encoded, in
// any row and column order, turned into RGB565 pixels top row first plus an alpha map when the
// picture carries any transparency. Every read is checked against the data, whatever the header
// claims, and the picture's size is limited before anything is allocated.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "frontend/image.h"

namespace {

struct TgaSource {
    const uint8_t* data;
    size_t length;
    size_t pos;
};

bool take(TgaSource& s, size_t n, const uint8_t** out) {
    if (s.length - s.pos < n) return false;
    *out = s.data + s.pos;
    s.pos += n;
    return true;
}

bool byte(TgaSource& s, uint8_t* v) {
    const uint8_t* p;
    if (!take(s, 1, &p)) return false;
    *v = *p;
    return true;
}

bool word(TgaSource& s, uint16_t* v) {
    const uint8_t* p;
    if (!take(s, 2, &p)) return false;
    *v = uint16_t(p[0] | (p[1] << 8));
    return true;
}

struct TgaHeader {
    uint8_t id_length, map_type, image_type;
    uint16_t map_first, map_length;
    uint8_t map_entry_bits;
    uint16_t x_origin, y_origin, width, height;
    uint8_t depth, descriptor;
};

bool read_header(TgaSource& s, TgaHeader& h) {
    if (!byte(s, &h.id_length) || !byte(s, &h.map_type) || !byte(s, &h.image_type)) return false;
    uint8_t t = h.image_type;
    if (h.map_type > 1 || t == 0) return false;
    if (!(t == 1 || t == 2 || t == 3 || t == 9 || t == 10 || t == 11)) return false;
    bool mapped = t == 1 || t == 9;
    if (mapped != (h.map_type == 1)) return false;
    if (!word(s, &h.map_first) || !word(s, &h.map_length) || !byte(s, &h.map_entry_bits)) return false;
    if (h.map_type == 1 &&
        (h.map_length == 0 || (h.map_entry_bits != 16 && h.map_entry_bits != 24 && h.map_entry_bits != 32)))
        return false;
    if (!word(s, &h.x_origin) || !word(s, &h.y_origin) || !word(s, &h.width) || !word(s, &h.height) ||
        !byte(s, &h.depth) || !byte(s, &h.descriptor))
        return false;
    if (h.width == 0 || h.height == 0) return false;
    if (h.depth != 8 && h.depth != 16 && h.depth != 24 && h.depth != 32) return false;
    return !mapped || h.depth == 8;
}

// Run-length packets until the picture is full; the data may end between packets (the rest of
// the picture stays 0), but not inside one, and no packet may pass the picture's end.
bool read_packets(TgaSource& s, uint8_t* out, size_t pixels, size_t bpp) {
    size_t stored = 0;
    while (stored < pixels) {
        uint8_t p;
        if (!byte(s, &p)) return true;
        size_t count = size_t(p & 0x7F) + 1;
        if (count > pixels - stored) return false;
        const uint8_t* src;
        if (p & 0x80) {
            if (!take(s, bpp, &src)) return false;
            for (size_t i = 0; i < count; ++i) std::memcpy(out + (stored + i) * bpp, src, bpp);
        } else {
            if (!take(s, count * bpp, &src)) return false;
            std::memcpy(out + stored * bpp, src, count * bpp);
        }
        stored += count;
    }
    return true;
}

void reverse_rows(uint8_t* data, size_t row_bytes, size_t rows) {
    for (size_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(data + top * row_bytes, data + (top + 1) * row_bytes, data + bottom * row_bytes);
}

void reverse_columns(uint8_t* data, size_t width, size_t rows, size_t bpp) {
    uint8_t tmp[4];
    for (size_t y = 0; y < rows; ++y) {
        uint8_t* row = data + y * width * bpp;
        for (size_t l = 0, r = width - 1; l < r; ++l, --r) {
            std::memcpy(tmp, row + l * bpp, bpp);
            std::memcpy(row + l * bpp, row + r * bpp, bpp);
            std::memcpy(row + r * bpp, tmp, bpp);
        }
    }
}

void read_failure() {
    image_message("TGA: Read error");
    image_message("error opening file");
}

} // namespace

uint16_t* read_tga_memory(const uint8_t* data, size_t length, uint8_t** alpha, uint16_t* width,
                          uint16_t* height) {
    *alpha = nullptr;
    TgaSource s{data, data ? length : 0, 0};
    TgaHeader h;
    const uint8_t* skipped;
    bool header_ok = read_header(s, h);
    // A picture beyond what the front end can hold is refused before anything is allocated.
    if (header_ok && (h.width > IMAGE_MAX_SIDE || h.height > IMAGE_MAX_SIDE)) {
        image_message("TGA: Couldn't allocate buffer");
        return nullptr;
    }
    // The identification field and the colour map are passed over: the map is not applied, an
    // 8-bit picture shows its indices as grey. The file holds map_length entries.
    if (!header_ok || !take(s, h.id_length, &skipped) ||
        (h.map_type == 1 && !take(s, size_t(h.map_entry_bits / 8) * h.map_length, &skipped))) {
        read_failure();
        return nullptr;
    }
    size_t pixels = size_t(h.width) * h.height, bpp = h.depth / 8u;
    const uint8_t* raw = nullptr;
    uint8_t* decoded = nullptr;
    bool ok;
    if (h.image_type >= 9) {
        decoded = static_cast<uint8_t*>(std::calloc(pixels, bpp));
        if (!decoded) {
            image_message("TGA: Couldn't allocate buffer");
            return nullptr;
        }
        ok = read_packets(s, decoded, pixels, bpp);
    } else {
        // Raw data are checked before anything is allocated.
        ok = take(s, pixels * bpp, &raw);
        if (ok) {
            decoded = static_cast<uint8_t*>(std::malloc(pixels * bpp));
            if (!decoded) {
                image_message("TGA: Couldn't allocate buffer");
                return nullptr;
            }
            std::memcpy(decoded, raw, pixels * bpp);
        }
    }
    if (!ok) {
        std::free(decoded);
        read_failure();
        return nullptr;
    }
    if (!(h.descriptor & 0x20)) reverse_rows(decoded, size_t(h.width) * bpp, h.height);
    if (h.descriptor & 0x10) reverse_columns(decoded, h.width, h.height, bpp);
    uint16_t* out = static_cast<uint16_t*>(std::malloc(pixels * 2));
    uint8_t* a = out ? static_cast<uint8_t*>(std::malloc(pixels)) : nullptr;
    if (!out || !a) {
        if (!out) image_message("TGA: Couldn't allocate buffer");
        std::free(out);
        std::free(decoded);
        return nullptr;
    }
    bool any_alpha = false;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* p = decoded + i * bpp;
        uint8_t r, g, b, al = 0;
        switch (bpp) {
        case 1: r = g = b = p[0]; break;
        case 2: {
            unsigned v = unsigned(p[0] | (p[1] << 8));
            b = uint8_t((v & 0x1F) << 3);
            g = uint8_t((v >> 2) & 0xF8);
            r = uint8_t((v >> 7) & 0xF8);
            al = (v & 0x8000) ? 0xFF : 0;
            break;
        }
        default:
            b = p[0];
            g = p[1];
            r = p[2];
            if (bpp == 4) al = p[3];
            break;
        }
        out[i] = uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        a[i] = al;
        any_alpha |= al != 0;
    }
    std::free(decoded);
    if (!any_alpha) {
        std::free(a);
        a = nullptr;
    }
    *alpha = a;
    *width = h.width;
    *height = h.height;
    return out;
}

uint16_t* read_tga(const void* source, uint8_t** alpha, uint16_t* width, uint16_t* height, uint32_t length) {
    if (length) return read_tga_memory(static_cast<const uint8_t*>(source), length, alpha, width, height);
    *alpha = nullptr;
    FileBlock block;
    FileRead result =
        source ? read_whole_file(static_cast<const char*>(source), &block) : FileRead::OPEN_FAILED;
    if (result != FileRead::OK && result != FileRead::SHORT) {
        read_failure();
        return nullptr;
    }
    uint16_t* out = read_tga_memory(block.data, block.length, alpha, width, height);
    std::free(block.data);
    return out;
}
