// Fuzz targets of the picture readers: the PCX decoder, the TGA reader, and load_image through
// files of every extension it knows. Besides the sanitizers' checks, the two ways into a reader
// (memory and file, with and without a palette) must agree, a picture must be within the size
// the readers allow, and load_image must succeed exactly when its decoder does.
#include <cstdlib>
#include <cstring>

#include "frontend/image.h"
#include "frontend/surface.h"
#include "tests/fuzz/fuzz_targets.h"

namespace {

// Reads every byte of a result, so that a block shorter than its picture shows up at once. Its
// loop teaches the fuzzer nothing, so it carries no coverage hooks.
#if defined(__clang__)
__attribute__((no_sanitize("coverage")))
#endif
uint32_t
touch(const uint8_t* p, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum += p[i];
    return sum;
}

void check_size(uint16_t w, uint16_t h) {
    fuzz_check(w >= 1 && h >= 1 && w <= IMAGE_MAX_SIDE && h <= IMAGE_MAX_SIDE, "picture size out of bounds");
}

bool same(const void* a, const void* b, size_t n) {
    if (!a || !b) return a == b;
    return std::memcmp(a, b, n) == 0;
}

// Pictures the readers take are decoded only up to this many pixels: a 23-byte file can make a
// picture of 2048 x 2048, which costs tens of milliseconds and teaches the fuzzer nothing that a
// small one does not. Either side may still reach the bound (a picture of 2048 x 2, say), and
// pictures beyond it are still tried (they are refused before anything is allocated). The cost
// of the largest pictures is measured by the image tests.
constexpr uint64_t FUZZ_MAX_PIXELS = 1 << 12;

bool too_costly(uint64_t width, uint64_t height) {
    return width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE && width * height > FUZZ_MAX_PIXELS;
}

// The picture size a PCX or TGA header claims (0 x 0 when the data are too short to say).
bool pcx_too_costly(const uint8_t* d, size_t n) {
    if (n < 12) return false;
    auto word = [&](size_t at) { return int64_t(d[at] | (d[at + 1] << 8)); };
    int64_t w = word(8) - word(4) + 1, h = word(10) - word(6) + 1;
    return w > 0 && h > 0 && too_costly(uint64_t(w), uint64_t(h));
}

bool tga_too_costly(const uint8_t* d, size_t n) {
    if (n < 16) return false;
    return too_costly(uint64_t(d[12] | (d[13] << 8)), uint64_t(d[14] | (d[15] << 8)));
}

const char* last_message() { return image_message_at(image_messages.count - 1); }

// load_image must answer as its decoder did, with the decoder's picture size.
void check_load(int loaded, bool decoded, uint16_t w, uint16_t h, Image* keep) {
    fuzz_check(loaded == (decoded ? 1 : 0), "load_image and its decoder disagree");
    if (loaded) {
        Image* im = image_list;
        fuzz_check(im != keep && im->width == w && im->height == h, "loaded image has the wrong size");
        touch(reinterpret_cast<const uint8_t*>(im->pixels), size_t(w) * h * 2);
    } else {
        fuzz_check(std::strcmp(last_message(), "ERROR: Couldn't load data from image file") == 0,
                   "failed load without its message");
    }
    release_images_after(keep);
}

struct Pcx {
    uint8_t palette[768];
    uint16_t w = 0, h = 0;
    uint8_t depth = 0; // bytes per pixel
    uint8_t* pixels = nullptr;
    ~Pcx() { std::free(pixels); }
    size_t bytes() const { return size_t(w) * h * depth; }
};

void check_pcx(const Pcx& p) {
    if (!p.pixels) return;
    check_size(p.w, p.h);
    fuzz_check(p.depth == 1 || p.depth == 3, "PCX pixels of neither 1 nor 3 bytes");
    touch(p.pixels, p.bytes());
}

} // namespace

int fuzz_pcx(const uint8_t* data, size_t size) {
    fuzz_card();
    if (pcx_too_costly(data, size)) return 0;
    Pcx with, without;
    with.pixels = read_pcx_memory(data, size, with.palette, &with.w, &with.h, &with.depth);
    check_pcx(with);
    // Without a palette the palette's own failure cannot happen; the pixels are the same.
    without.pixels = read_pcx_memory(data, size, nullptr, &without.w, &without.h, &without.depth);
    check_pcx(without);
    if (with.pixels) {
        fuzz_check(without.pixels && without.w == with.w && without.h == with.h &&
                       without.depth == with.depth && same(with.pixels, without.pixels, with.bytes()),
                   "PCX decodes differently without a palette");
    }
    Image* keep = image_list;
    uint8_t flags = IMAGE_IN_MEMORY | IMAGE_AS_PCX | (size && (data[size - 1] & 1) ? IMAGE_SWAP_BYTES : 0);
    int loaded = load_image("fuzz", data, flags, uint32_t(size));
    check_load(loaded, with.pixels != nullptr, with.w, with.h, keep);
    return 0;
}

int fuzz_tga(const uint8_t* data, size_t size) {
    fuzz_card();
    if (tga_too_costly(data, size)) return 0;
    uint8_t* alpha = nullptr;
    uint16_t w = 0, h = 0;
    uint16_t* pixels = read_tga_memory(data, size, &alpha, &w, &h);
    if (pixels) {
        check_size(w, h);
        touch(reinterpret_cast<const uint8_t*>(pixels), size_t(w) * h * 2);
        if (alpha) touch(alpha, size_t(w) * h);
    }
    const char* path = fuzz_write_card_file("fuzz.tga", data, size);
    uint8_t* file_alpha = nullptr;
    uint16_t fw = 0, fh = 0;
    uint16_t* file_pixels = read_tga(path, &file_alpha, &fw, &fh, 0);
    bool agree = (pixels != nullptr) == (file_pixels != nullptr);
    if (agree && pixels) {
        size_t n = size_t(w) * h;
        agree = fw == w && fh == h && same(pixels, file_pixels, n * 2) && same(alpha, file_alpha, n);
    }
    fuzz_check(agree, "TGA from a file and from memory disagree");
    std::free(pixels);
    std::free(alpha);
    std::free(file_pixels);
    std::free(file_alpha);
    return 0;
}

int fuzz_image_file(const uint8_t* data, size_t size) {
    fuzz_card();
    if (size == 0) return 0;
    static const char* const names[] = {"fuzz.pcx", "fuzz.PCX", "fuzz.tga", "fuzz.TGA", "fuzz.gif",
                                        "fuzz.GIF", "fuzz.png", "fuzz.PNG", "fuzz.bin", "fuzz"};
    constexpr size_t NAMES = sizeof names / sizeof names[0];
    if (pcx_too_costly(data + 1, size - 1) || tga_too_costly(data + 1, size - 1)) return 0;
    const char* name = names[(data[0] & 0x0F) % NAMES];
    // The high bits of the first byte: the flags that apply to a file (not IMAGE_IN_MEMORY).
    uint8_t flags = uint8_t((data[0] >> 4) & (IMAGE_SWAP_BYTES | IMAGE_AS_PCX | IMAGE_AS_TGA));
    const char* path = fuzz_write_card_file(name, data + 1, size - 1);

    // What the decoder that load_image picks makes of the same bytes in memory.
    bool pcx = (flags & IMAGE_AS_PCX) || std::strstr(name, ".pcx") || std::strstr(name, ".PCX");
    bool tga = !pcx && (std::strstr(name, ".tga") || std::strstr(name, ".TGA") ||
                        ((flags & IMAGE_AS_TGA) && !std::strstr(name, ".gif") && !std::strstr(name, ".GIF")));
    bool decoded = false;
    uint16_t w = 0, h = 0;
    if (pcx) {
        Pcx mem, file;
        mem.pixels = read_pcx_memory(data + 1, size - 1, mem.palette, &mem.w, &mem.h, &mem.depth);
        file.pixels = read_pcx_file(path, file.palette, &file.w, &file.h, &file.depth);
        check_pcx(file);
        bool agree = (mem.pixels != nullptr) == (file.pixels != nullptr);
        if (agree && mem.pixels)
            agree = mem.w == file.w && mem.h == file.h && mem.depth == file.depth &&
                    same(mem.pixels, file.pixels, mem.bytes()) && same(mem.palette, file.palette, 768);
        fuzz_check(agree, "PCX from a file and from memory disagree");
        decoded = mem.pixels != nullptr;
        w = mem.w;
        h = mem.h;
    } else if (tga) {
        uint8_t* alpha = nullptr;
        uint16_t* pixels = read_tga_memory(data + 1, size - 1, &alpha, &w, &h);
        decoded = pixels != nullptr;
        std::free(pixels);
        std::free(alpha);
    }
    Image* keep = image_list;
    int loaded = load_image("fuzz", path, flags, 0);
    check_load(loaded, decoded, w, h, keep);
    return 0;
}
