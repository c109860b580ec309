// load_image, the image list and what the PCX and TGA readers share (whole-file reads, the
// message record).
#include "frontend/image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "machine/play.h"
#include "platform/platform.h"

ImageMessageLog image_messages;

void image_message(const char* text) {
    image_messages.text[image_messages.count % IMAGE_MESSAGE_SLOTS] = text;
    ++image_messages.count;
    show_status_message(text);
}

void clear_image_messages() { image_messages = ImageMessageLog{}; }

const char* image_message_at(uint32_t i) {
    if (i >= image_messages.count || image_messages.count - i > IMAGE_MESSAGE_SLOTS) return "";
    return image_messages.text[i % IMAGE_MESSAGE_SLOTS];
}

FileRead read_whole_file(const char* path, FileBlock* out) {
    out->data = nullptr;
    out->length = 0;
    FILE* f = platform_fopen(path, "rb");
    if (!f) return FileRead::OPEN_FAILED;
    // A folder or a device opens but has no sensible length: ftell fails or reports something
    // huge, and both end up here as a failure.
    long end = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) end = std::ftell(f);
    if (end < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return FileRead::OPEN_FAILED;
    }
    if (uint64_t(end) > IMAGE_FILE_LIMIT) {
        std::fclose(f);
        return FileRead::TOO_BIG;
    }
    size_t length = size_t(end);
    // One spare byte, so that an empty file still gets a block of its own.
    uint8_t* data = static_cast<uint8_t*>(std::calloc(length + 1, 1));
    if (!data) {
        std::fclose(f);
        return FileRead::NO_MEMORY;
    }
    size_t got = std::fread(data, 1, length, f);
    std::fclose(f);
    out->data = data;
    out->length = got;
    return got == length ? FileRead::OK : FileRead::SHORT;
}

namespace {

// The source as text: a path, or with data in memory the bytes up to the first NUL, never
// beyond the data's length.
std::string_view source_text(const void* source, uint8_t flags, uint32_t length) {
    const char* s = static_cast<const char*>(source);
    if (!s) return {};
    if (flags & IMAGE_IN_MEMORY) return std::string_view(s, strnlen(s, length));
    return std::string_view(s);
}

bool contains(std::string_view text, const char* lower, const char* upper) {
    return text.find(lower) != std::string_view::npos || text.find(upper) != std::string_view::npos;
}

void copy_text(char* out, size_t size, std::string_view text) {
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// A red, green, blue triplet as a pixel, the colour keys turned into their special values.
uint16_t rgb565_of(const uint8_t* rgb) {
    uint8_t r = rgb[0], g = rgb[1], b = rgb[2];
    if (r == IMAGE_KEY_TRANSPARENT_RGB && g == IMAGE_KEY_TRANSPARENT_RGB && b == IMAGE_KEY_TRANSPARENT_RGB)
        return IMAGE_TRANSPARENT;
    if (r == IMAGE_KEY_SHADOW_RB && g == IMAGE_KEY_SHADOW_G && b == IMAGE_KEY_SHADOW_RB) return IMAGE_SHADOW;
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

uint16_t swap_bytes(uint16_t v) { return uint16_t((v << 8) | (v >> 8)); }

enum class Decoder { NONE, PCX, TGA };

Decoder choose_decoder(std::string_view text, uint8_t flags) {
    if (flags & IMAGE_AS_PCX) return Decoder::PCX;
    if (contains(text, ".pcx", ".PCX")) return Decoder::PCX;
    if (contains(text, ".gif", ".GIF")) {
        image_message("GIF loading is disabled in this build.");
        return Decoder::NONE;
    }
    if (contains(text, ".tga", ".TGA") || (flags & IMAGE_AS_TGA)) return Decoder::TGA;
    if (contains(text, ".png", ".PNG")) image_message("PNG loading is disabled in this build.");
    return Decoder::NONE;
}

// Decodes into RGB565 pixels (and an alpha map from TGA); false after the decoder's message.
bool decode(Decoder decoder, const void* source, uint8_t flags, uint32_t length, uint16_t* width,
            uint16_t* height, uint16_t** pixels, uint8_t** alpha) {
    *pixels = nullptr;
    *alpha = nullptr;
    if (decoder == Decoder::TGA) {
        if (flags & IMAGE_IN_MEMORY)
            *pixels = read_tga_memory(static_cast<const uint8_t*>(source), length, alpha, width, height);
        else
            *pixels = read_tga(source, alpha, width, height, 0);
        return *pixels != nullptr;
    }
    uint8_t palette[768];
    uint8_t depth = 1;
    uint8_t* decoded =
        (flags & IMAGE_IN_MEMORY)
            ? read_pcx_memory(static_cast<const uint8_t*>(source), length, palette, width, height, &depth)
            : read_pcx_file(static_cast<const char*>(source), palette, width, height, &depth);
    if (!decoded) return false;
    size_t n = size_t(*width) * *height;
    *pixels = static_cast<uint16_t*>(std::malloc(n * 2));
    if (*pixels) {
        for (size_t i = 0; i < n; ++i)
            (*pixels)[i] = rgb565_of(depth == 3 ? decoded + 3 * i : palette + 3 * size_t(decoded[i]));
    }
    std::free(decoded);
    return *pixels != nullptr;
}

} // namespace

int load_image(const char* name, const void* source, uint8_t flags, uint32_t length) {
    std::string_view text = source_text(source, flags, length);
    Decoder decoder = source ? choose_decoder(text, flags) : Decoder::NONE;
    uint16_t width = 0, height = 0;
    uint16_t* pixels = nullptr;
    uint8_t* alpha = nullptr;
    Image* image = nullptr;
    if (decoder != Decoder::NONE && decode(decoder, source, flags, length, &width, &height, &pixels, &alpha))
        image = static_cast<Image*>(std::calloc(1, sizeof(Image)));
    if (!image) {
        std::free(pixels);
        std::free(alpha);
        image_message("ERROR: Couldn't load data from image file");
        return 0;
    }
    copy_text(image->source, sizeof image->source, text);
    copy_text(image->name, sizeof image->name, name ? std::string_view(name) : std::string_view());
    image->width = width;
    image->height = height;
    if (flags & IMAGE_SWAP_BYTES) {
        size_t n = size_t(width) * height;
        for (size_t i = 0; i < n; ++i) pixels[i] = swap_bytes(pixels[i]);
    }
    image->pixels = pixels;
    image->alpha = alpha;
    image->next = image_list;
    image_list = image;
    return 1;
}

void release_images_after(Image* keep) {
    while (image_list && image_list != keep) {
        Image* next = image_list->next;
        std::free(image_list->pixels);
        std::free(image_list->alpha);
        std::free(image_list);
        image_list = next;
    }
}
