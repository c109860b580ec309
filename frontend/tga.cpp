// The TGA reader: 8-, 16-, 24- and 32-bit pictures, raw or run-length encoded, true-colour, grey
// or colour-mapped (whose indices show as grey). Every read is checked against the data, so a
// header that claims more than the file holds is a read failure, never a read past the end.
#include "frontend/image.h"
#include "machine/play.h"

#include <cstdlib>
#include <cstring>

namespace {

struct ByteSource {
    const uint8_t* data;
    size_t length;
    size_t pos;
    bool take(size_t n, const uint8_t** out) {
        if (length - pos < n) return false;
        *out = data + pos;
        pos += n;
        return true;
    }
    bool u8(uint8_t* v) {
        const uint8_t* p;
        if (!take(1, &p)) return false;
        *v = p[0];
        return true;
    }
    bool u16(uint16_t* v) {
        const uint8_t* p;
        if (!take(2, &p)) return false;
        *v = uint16_t(p[0] | (p[1] << 8));
        return true;
    }
};

enum class Result { ok, read_error, no_buffer, no_alpha };

Result decode(ByteSource& in, uint16_t** pixels_out, uint8_t** alpha_out, uint16_t* width_out,
              uint16_t* height_out) {
    uint8_t id_length, map_type, type;
    if (!in.u8(&id_length) || !in.u8(&map_type) || !in.u8(&type)) return Result::read_error;
    if (map_type > 1 || type == 0) return Result::read_error;
    bool mapped = type == 1 || type == 9;
    if (!(mapped || type == 2 || type == 3 || type == 10 || type == 11)) return Result::read_error;
    if (mapped != (map_type == 1)) return Result::read_error;

    uint16_t map_first, map_length;
    uint8_t map_entry_bits;
    if (!in.u16(&map_first) || !in.u16(&map_length) || !in.u8(&map_entry_bits)) return Result::read_error;
    if (map_type == 1 && (map_length == 0 || (map_entry_bits != 16 && map_entry_bits != 24 && map_entry_bits != 32)))
        return Result::read_error;

    uint16_t x_origin, y_origin, width, height;
    uint8_t depth, descriptor;
    if (!in.u16(&x_origin) || !in.u16(&y_origin) || !in.u16(&width) || !in.u16(&height) || !in.u8(&depth) ||
        !in.u8(&descriptor))
        return Result::read_error;
    if (width == 0 || height == 0 || (depth != 8 && depth != 16 && depth != 24 && depth != 32) ||
        (mapped && depth != 8))
        return Result::read_error;

    // The identification field and the colour map are skipped: the map is not applied.
    const uint8_t* skipped;
    if (!in.take(id_length, &skipped)) return Result::read_error;
    if (map_type == 1 && !in.take(size_t(map_entry_bits) * (size_t(map_first) + map_length) / 8, &skipped))
        return Result::read_error;

    uint64_t count = uint64_t(width) * height;
    if (count > IMAGE_MAX_PIXELS) return Result::no_buffer;
    size_t bpp = depth / 8;
    size_t bytes = size_t(count) * bpp;
    const uint8_t* raw = nullptr;
    uint8_t* unpacked = nullptr;
    if (type >= 9) {
        unpacked = static_cast<uint8_t*>(std::calloc(bytes, 1));
        if (!unpacked) return Result::no_buffer;
        size_t stored = 0;
        while (stored < count) {
            uint8_t packet;
            if (!in.u8(&packet)) break;  // the data end between packets: the rest stays 0
            size_t n = (packet & 0x7F) + 1u;
            const uint8_t* src;
            bool ok = n <= count - stored && in.take((packet & 0x80) ? bpp : n * bpp, &src);
            if (!ok) {
                std::free(unpacked);
                return Result::read_error;
            }
            uint8_t* dst = unpacked + stored * bpp;
            if (packet & 0x80)
                for (size_t i = 0; i < n; ++i) std::memcpy(dst + i * bpp, src, bpp);
            else
                std::memcpy(dst, src, n * bpp);
            stored += n;
        }
        raw = unpacked;
    } else if (!in.take(bytes, &raw)) {
        return Result::read_error;
    }

    uint16_t* pixels = static_cast<uint16_t*>(std::malloc(size_t(count) * 2));
    uint8_t* alpha = static_cast<uint8_t*>(std::malloc(size_t(count)));
    if (!pixels || !alpha) {
        Result failure = pixels ? Result::no_alpha : Result::no_buffer;
        std::free(unpacked);
        std::free(pixels);
        std::free(alpha);
        return failure;
    }
    bool any_alpha = false;
    bool top_first = descriptor & 0x20, right_first = descriptor & 0x10;
    for (size_t y = 0; y < height; ++y) {
        size_t src_row = top_first ? y : height - 1 - y;
        for (size_t x = 0; x < width; ++x) {
            size_t src_col = right_first ? width - 1 - x : x;
            const uint8_t* p = raw + (src_row * width + src_col) * bpp;
            unsigned r, g, b, a;
            switch (depth) {
            case 8: r = g = b = p[0]; a = 0; break;
            case 16: {
                unsigned v = p[0] | (p[1] << 8);
                b = (v & 0x1F) << 3;
                g = (v >> 2) & 0xF8;
                r = (v >> 7) & 0xF8;
                a = (v & 0x8000) ? 0xFF : 0;
                break;
            }
            case 24: b = p[0]; g = p[1]; r = p[2]; a = 0; break;
            default: b = p[0]; g = p[1]; r = p[2]; a = p[3]; break;
            }
            size_t i = y * width + x;
            pixels[i] = uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
            alpha[i] = uint8_t(a);
            any_alpha |= a != 0;
        }
    }
    std::free(unpacked);
    if (!any_alpha) {
        std::free(alpha);
        alpha = nullptr;
    }
    *pixels_out = pixels;
    *alpha_out = alpha;
    *width_out = width;
    *height_out = height;
    return Result::ok;
}

} // namespace

uint16_t* read_tga(const void* source, uint8_t** alpha, uint16_t* width, uint16_t* height, size_t length) {
    *alpha = nullptr;
    uint8_t* block = nullptr;
    ByteSource in{static_cast<const uint8_t*>(source), length, 0};
    if (length == 0) {
        bool alloc_failed, short_read;
        block = read_whole_file(static_cast<const char*>(source), &in.length, &alloc_failed, &short_read);
        in.data = block;
        if (!block) in.length = 0;
    }
    uint16_t* pixels = nullptr;
    Result r = in.data ? decode(in, &pixels, alpha, width, height) : Result::read_error;
    std::free(block);
    switch (r) {
    case Result::ok: return pixels;
    case Result::read_error:
        show_status_message("TGA: Read error");
        show_status_message("error opening file");
        return nullptr;
    case Result::no_buffer: show_status_message("TGA: Couldn't allocate buffer"); return nullptr;
    case Result::no_alpha: return nullptr;
    }
    return nullptr;
}
