// The image loader and its readers: ImageMagick's PCX (palette and 24-bit) and TGA files decoded
// pixel for pixel, hand-made headers for the run-length, plane and palette rules, and truncated
// or lying files that must take the failure path with the right messages and no harm.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/font.h"
#include "frontend/image.h"
#include "tests/support/heap.h"
#include "tests/support/test_support.h"

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

constexpr int W = 70, H = 5; // runs longer than a PCX run and more pixels than a TGA packet

// The source picture: runs of ten pixels of six colours, among them the two colour keys.
Rgba source_pixel(int x, int y) {
    static const Rgba colours[6] = {{255, 0, 0, 0},     {0, 255, 0, 0},        {0, 0, 255, 0},
                                    {123, 123, 123, 0}, {0xDE, 0x6F, 0xDE, 0}, {250, 250, 250, 0}};
    Rgba p = colours[(x / 10 + y) % 6];
    p.a = uint8_t((x * 7 + y * 30) % 256);
    return p;
}

uint16_t rgb565(const Rgba& p) { return uint16_t(((p.r >> 3) << 11) | ((p.g >> 2) << 5) | (p.b >> 3)); }

// Fixture files written by ImageMagick from a PPM and a PAM of the source picture.
struct Fixtures {
    TempFolder folder;
    bool ok = false;
    std::string path(const std::string& name) const { return folder.path + "/" + name; }
    Fixtures() {
        std::string ppm = "P3\n" + std::to_string(W) + " " + std::to_string(H) + "\n255\n";
        std::string pam = "P7\nWIDTH " + std::to_string(W) + "\nHEIGHT " + std::to_string(H) +
                          "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
        std::vector<uint8_t> pam_bytes(pam.begin(), pam.end());
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                Rgba p = source_pixel(x, y);
                ppm += std::to_string(p.r) + " " + std::to_string(p.g) + " " + std::to_string(p.b) + "\n";
                pam_bytes.insert(pam_bytes.end(), {p.r, p.g, p.b, p.a});
            }
        write_file(path("src.ppm"), std::vector<uint8_t>(ppm.begin(), ppm.end()));
        write_file(path("src.pam"), pam_bytes);
        const char* jobs[][2] = {
            {"src.ppm", "-type Palette PCX:pal.pcx"},
            {"src.ppm", "-type TrueColor PCX:rgb24.pcx"},
            {"src.pam", "-type TrueColorAlpha PCX:rgba32.pcx"},
            {"src.ppm", "-type TrueColor -compress None TGA:raw24.tga"},
            {"src.ppm", "-type TrueColor -compress RLE TGA:rle24.tga"},
            {"src.ppm", "-orient TopLeft -type TrueColor -compress None TGA:top24.tga"},
            {"src.ppm", "-orient TopRight -type TrueColor -compress RLE TGA:right24.tga"},
            {"src.pam", "-type TrueColorAlpha -compress None TGA:raw32.tga"},
            {"src.pam", "-orient TopLeft -type TrueColorAlpha -compress RLE TGA:rle32.tga"},
            {"src.ppm", "-type TrueColorAlpha -compress None TGA:opaque32.tga"},
        };
        ok = true;
        for (auto& job : jobs) {
            std::string command = std::string(VELKORO_CONVERT) + " " + path(job[0]) + " " + job[1];
            std::string out = std::string(job[1]).substr(std::string(job[1]).find(':') + 1);
            command.replace(command.rfind(out), out.size(), path(out));
            ok = ok && std::system(command.c_str()) == 0;
        }
    }
};

const Fixtures& fixtures() {
    static Fixtures f;
    return f;
}

Font* status_font() {
    static Font* font = load_builtin_font();
    return font;
}

struct Images : ::testing::Test {
    Image* keep = nullptr;
    void SetUp() override {
        status_font();
        keep = image_list;
        ASSERT_TRUE(fixtures().ok) << "ImageMagick (" << VELKORO_CONVERT << ") could not write the fixtures";
        clear_image_messages();
    }
    void TearDown() override { release_images_after(keep); }
    static std::vector<std::string> messages() {
        std::vector<std::string> v;
        for (uint32_t i = 0; i < image_messages.count; ++i) v.push_back(image_message_at(i));
        return v;
    }
};

using Messages = std::vector<std::string>;
const std::string LOAD_FAILED = "ERROR: Couldn't load data from image file";

// The decoded picture of a TGA fixture compared with the source, in the order its header says.
void expect_tga_picture(const std::string& file, bool with_alpha, uint8_t expected_descriptor) {
    std::vector<uint8_t> bytes = read_file(fixtures().path(file));
    ASSERT_GE(bytes.size(), 18u) << file;
    ASSERT_EQ(bytes[17] & 0x30, expected_descriptor) << file << ": ImageMagick wrote another orientation";
    bool bottom_up = !(bytes[17] & 0x20), right_to_left = bytes[17] & 0x10;
    uint8_t* alpha = nullptr;
    uint16_t w = 0, h = 0;
    uint16_t* px = read_tga(fixtures().path(file).c_str(), &alpha, &w, &h, 0);
    ASSERT_NE(px, nullptr) << file;
    ASSERT_EQ(w, W);
    ASSERT_EQ(h, H);
    // ImageMagick stores its rows as it holds them and only labels the order: the picture the
    // header describes is the source turned accordingly.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            Rgba s = source_pixel(right_to_left ? W - 1 - x : x, bottom_up ? H - 1 - y : y);
            ASSERT_EQ(px[y * W + x], rgb565(s)) << file << " at " << x << "," << y;
            if (with_alpha) {
                ASSERT_EQ(alpha[y * W + x], s.a) << file << " at " << x << "," << y;
            }
        }
    EXPECT_EQ(alpha != nullptr, with_alpha) << file;
    std::free(px);
    std::free(alpha);
}

TEST_F(Images, TgaFixturesDecodePixelForPixel) {
    expect_tga_picture("raw24.tga", false, 0x00);
    expect_tga_picture("rle24.tga", false, 0x00);
    expect_tga_picture("top24.tga", false, 0x20);
    expect_tga_picture("right24.tga", false, 0x30);
    expect_tga_picture("raw32.tga", true, 0x00);
    expect_tga_picture("rle32.tga", true, 0x20);
    // 32 bits with every alpha byte 0 carry no alpha map.
    std::vector<uint8_t> opaque = read_file(fixtures().path("opaque32.tga"));
    ASSERT_EQ(opaque[16], 32);
    for (size_t i = 18; i + 3 < opaque.size() && i < 18 + size_t(W) * H * 4; i += 4) opaque[i + 3] = 0;
    uint8_t* alpha = reinterpret_cast<uint8_t*>(1);
    uint16_t w, h;
    uint16_t* px = read_tga(opaque.data(), &alpha, &w, &h, uint32_t(opaque.size()));
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(alpha, nullptr);
    std::free(px);
    EXPECT_EQ(messages(), Messages{});
}

// A loaded PCX picture against the source, in the screen's colours with the colour keys.
void expect_source_picture(const Image* im) {
    ASSERT_NE(im, nullptr);
    ASSERT_EQ(im->width, W);
    ASSERT_EQ(im->height, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            Rgba s = source_pixel(x, y);
            uint16_t want = rgb565(s);
            if (s.r == 123 && s.g == 123 && s.b == 123) want = IMAGE_TRANSPARENT;
            if (s.r == 0xDE && s.g == 0x6F && s.b == 0xDE) want = IMAGE_SHADOW;
            ASSERT_EQ(im->pixels[y * W + x], want) << x << "," << y;
        }
}

TEST_F(Images, PcxFixtureThroughLoadImage) {
    std::string path = fixtures().path("pal.pcx");
    std::vector<uint8_t> bytes = read_file(path);
    ASSERT_EQ(bytes[1], 5);
    ASSERT_EQ(bytes[bytes.size() - 769], 0x0C);
    ASSERT_EQ(load_image("pal", path.c_str(), 0, 0), 1);
    Image* im = current_image();
    ASSERT_NE(im, nullptr);
    expect_source_picture(im);
    EXPECT_STREQ(im->name, "pal");
    EXPECT_EQ(std::string(im->source), path.substr(0, 31));
    // The same data from memory with the bytes of every pixel exchanged, as a second image.
    ASSERT_EQ(load_image("swapped", bytes.data(), IMAGE_IN_MEMORY | IMAGE_AS_PCX | IMAGE_SWAP_BYTES,
                         uint32_t(bytes.size())),
              1);
    ASSERT_EQ(current_image()->next, im);
    uint16_t v = im->pixels[0];
    EXPECT_EQ(current_image()->pixels[0], uint16_t((v << 8) | (v >> 8)));
    EXPECT_EQ(messages(), Messages{});
}

TEST_F(Images, PcxOf24BitsDecodesPixelForPixelAndOtherPlaneCountsAreRefused) {
    std::string path = fixtures().path("rgb24.pcx");
    std::vector<uint8_t> bytes = read_file(path);
    ASSERT_EQ(bytes[65], 3) << "ImageMagick wrote another kind of PCX";
    ASSERT_EQ(bytes[3], 8);
    // The reader hands out the colours themselves.
    uint16_t w = 0, h = 0;
    uint8_t depth = 0;
    uint8_t* px = read_pcx_file(path.c_str(), nullptr, &w, &h, &depth);
    ASSERT_NE(px, nullptr);
    ASSERT_EQ(depth, 3);
    ASSERT_EQ(w, W);
    ASSERT_EQ(h, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            Rgba s = source_pixel(x, y);
            const uint8_t* p = px + 3 * (y * W + x);
            ASSERT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{s.r, s.g, s.b}))
                << x << "," << y;
        }
    std::free(px);
    // And the loader turns them into the screen's colours, keys included, as for a palette file.
    ASSERT_EQ(load_image("rgb", path.c_str(), 0, 0), 1);
    expect_source_picture(current_image());
    EXPECT_EQ(messages(), Messages{});

    // Four planes (ImageMagick's PCX with alpha) would show wrong colours: refused, with the
    // decoder's message.
    std::vector<uint8_t> rgba = read_file(fixtures().path("rgba32.pcx"));
    ASSERT_EQ(rgba[65], 4);
    EXPECT_EQ(load_image("rgba", fixtures().path("rgba32.pcx").c_str(), 0, 0), 0);
    EXPECT_EQ(messages(), (Messages{"ERROR: Couldn't decode line", LOAD_FAILED}));
}

// A PCX header of the given geometry followed by `body`.
std::vector<uint8_t> pcx(uint16_t xmin, uint16_t ymin, uint16_t xmax, uint16_t ymax, uint8_t planes,
                         uint16_t bpl, std::vector<uint8_t> body, uint8_t version = 5) {
    std::vector<uint8_t> v(128, 0);
    v[0] = 0x0A;
    v[1] = version;
    v[2] = 1;
    v[3] = 8;
    auto put = [&](size_t at, uint16_t w) {
        v[at] = uint8_t(w);
        v[at + 1] = uint8_t(w >> 8);
    };
    put(4, xmin);
    put(6, ymin);
    put(8, xmax);
    put(10, ymax);
    for (int i = 0; i < 48; ++i) v[16 + i] = uint8_t(i + 1);
    v[65] = planes;
    put(66, bpl);
    for (uint8_t b : body) v.push_back(b); // not insert: GCC 12 warns wrongly on an empty body
    return v;
}

TEST_F(Images, PcxRunsAndPalettes) {
    uint8_t palette[768];
    uint16_t w = 0, h = 0;
    uint8_t depth = 0;
    // C3 41 = three 0x41, 41 = one, C0 07 = a run of nothing; a second line from a run cut at the
    // line's end; bytes past the width stay out of the picture.
    std::vector<uint8_t> data = pcx(0, 0, 3, 1, 1, 5, {0xC3, 0x41, 0xC0, 0x07, 0x41, 0x09, 0xC9, 0x22});
    uint8_t* px = read_pcx_memory(data.data(), data.size(), palette, &w, &h, &depth);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(std::vector<uint8_t>(px, px + 8),
              (std::vector<uint8_t>{0x41, 0x41, 0x41, 0x41, 0x22, 0x22, 0x22, 0x22}));
    std::free(px);
    // Three planes: each line is its red, green and blue bytes in turn, a run may cross from one
    // plane to the next (0xC3 0x08), one that overshoots the line is cut (0xC4 0x06), and the
    // bytes past the width in each plane stay out of the picture.
    data = pcx(0, 0, 1, 1, 3, 3, {1, 2, 0x77, 3, 4, 0x77, 5, 0xC4, 6, 6, 0xC3, 0x08, 9, 9, 0xC2, 0x0A, 0x77});
    px = read_pcx_memory(data.data(), data.size(), palette, &w, &h, &depth);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(depth, 3);
    EXPECT_EQ(std::vector<uint8_t>(px, px + 12),
              (std::vector<uint8_t>{1, 3, 5, 2, 4, 6, 6, 8, 10, 8, 9, 10}));
    std::free(px);
    // Version 3 (and version 5 without the marker): the header's 16 colours, black above them.
    for (uint8_t version : {3, 5}) {
        std::vector<uint8_t> v = pcx(0, 0, 0, 0, 1, 1, {0x07}, version);
        v.resize(v.size() + 800, 0x00);
        px = read_pcx_memory(v.data(), v.size(), palette, &w, &h, &depth);
        ASSERT_NE(px, nullptr);
        EXPECT_EQ(palette[0], 1);
        EXPECT_EQ(palette[47], 48);
        for (int i = 48; i < 768; ++i) ASSERT_EQ(palette[i], 0) << i;
        std::free(px);
    }
    // A palette marker with too few bytes after it (the data are shorter than a palette).
    std::vector<uint8_t> bad = pcx(0, 0, 0, 0, 1, 1, {0x07});
    bad[0] = 0x0C;
    EXPECT_EQ(read_pcx_memory(bad.data(), bad.size(), palette, &w, &h, &depth), nullptr);
    // Without a palette wanted, the same data decode.
    px = read_pcx_memory(bad.data(), bad.size(), nullptr, &w, &h, &depth);
    EXPECT_NE(px, nullptr);
    std::free(px);
    EXPECT_EQ(messages(), Messages{"ERROR: Bad palette!"});
}

TEST_F(Images, PcxLyingAndTruncatedHeaders) {
    uint8_t palette[768];
    uint16_t w, h;
    uint8_t depth;
    auto fails_with = [&](const std::vector<uint8_t>& data, const std::string& message) {
        clear_image_messages();
        uint8_t* px = read_pcx_memory(data.data(), data.size(), palette, &w, &h, &depth);
        EXPECT_EQ(px, nullptr) << message;
        std::free(px);
        EXPECT_EQ(messages(), Messages{message});
    };
    std::vector<uint8_t> ok = pcx(0, 0, 3, 0, 1, 4, {1, 2, 3, 4});
    fails_with(std::vector<uint8_t>(ok.begin(), ok.begin() + 127), "ERROR: PCX Read Result fail");
    fails_with({}, "ERROR: PCX Read Result fail");
    fails_with(std::vector<uint8_t>(ok.begin(), ok.end() - 1), "ERROR: Couldn't decode line");
    fails_with(pcx(0, 0, 3, 1, 1, 4, {0xC4, 1, 0xC3}), "ERROR: Couldn't decode line"); // run without value
    fails_with(pcx(5, 0, 4, 0, 1, 4, {1, 2, 3, 4}), "ERROR: Couldn't decode line");    // xmax < xmin
    fails_with(pcx(0, 5, 3, 4, 1, 4, {1, 2, 3, 4}), "ERROR: Couldn't decode line");    // ymax < ymin
    fails_with(pcx(0, 0, 4, 0, 1, 4, {1, 2, 3, 4, 5}), "ERROR: Couldn't decode line"); // wider than the line
    fails_with(pcx(0, 0, 3, 0, 0, 4, {1, 2, 3, 4}), "ERROR: Couldn't decode line");    // no planes
    fails_with(pcx(0, 0, 1, 0, 2, 2, {1, 2, 3, 4}), "ERROR: Couldn't decode line");    // two planes
    std::vector<uint8_t> eight_colours = pcx(0, 0, 0, 0, 3, 1, {0x80, 0x00, 0x80});
    eight_colours[3] = 1; // three planes of one bit each
    fails_with(eight_colours, "ERROR: Couldn't decode line");
    fails_with(pcx(0, 0, 2, 0, 3, 2, {1, 2, 3, 4, 5, 6}),
               "ERROR: Couldn't decode line"); // wider than a plane
    // Sizes that would need gigabytes, from a few bytes: refused before any allocation.
    fails_with(pcx(0, 0, 0xFFFE, 0xFFFE, 255, 0xFFFF, {0xFF, 0x00}), "ERROR: Couldn't decode line");
    fails_with(pcx(0, 0, 0xFFFF, 0, 2, 0xFFFF, {0xFF, 0x00}), "ERROR: Couldn't decode line"); // width 65536
    // From files: a missing file, a truncated one.
    TempFolder folder;
    clear_image_messages();
    EXPECT_EQ(read_pcx_file((folder.path + "/none.pcx").c_str(), palette, &w, &h, &depth), nullptr);
    EXPECT_EQ(messages(), Messages{"ERROR: Can't fopen() pcx"});
    write_file(folder.path + "/short.pcx", std::vector<uint8_t>(ok.begin(), ok.begin() + 130));
    clear_image_messages();
    EXPECT_EQ(load_image("short", (folder.path + "/short.pcx").c_str(), 0, 0), 0);
    EXPECT_EQ(messages(), (Messages{"ERROR: Couldn't decode line", LOAD_FAILED}));
    clear_image_messages();
    EXPECT_EQ(read_pcx_file(folder.path.c_str(), palette, &w, &h, &depth), nullptr); // a folder
    EXPECT_EQ(messages().size(), 1u);
}

TEST_F(Images, LoaderChoosesByExtensionAndFlag) {
    std::string pcx_path = fixtures().path("pal.pcx");
    std::string tga_path = fixtures().path("raw24.tga");
    TempFolder folder;
    std::string renamed = folder.path + "/picture.dat";
    write_file(renamed, read_file(pcx_path));
    auto load = [&](const std::string& src, uint8_t flags) {
        clear_image_messages();
        return load_image("x", src.c_str(), flags, 0);
    };
    EXPECT_EQ(load(folder.path + "/a.gif", 0), 0);
    EXPECT_EQ(messages(), (Messages{"GIF loading is disabled in this build.", LOAD_FAILED}));
    EXPECT_EQ(load(folder.path + "/a.PNG", 0), 0);
    EXPECT_EQ(messages(), (Messages{"PNG loading is disabled in this build.", LOAD_FAILED}));
    EXPECT_EQ(load(renamed, 0), 0);
    EXPECT_EQ(messages(), Messages{LOAD_FAILED});
    EXPECT_EQ(load(renamed, IMAGE_AS_PCX), 1);
    EXPECT_EQ(load(tga_path, 0), 1);
    EXPECT_EQ(current_image()->width, W);
    // The TGA flag reads anything not named otherwise as TGA, so the PCX data fail there.
    EXPECT_EQ(load(renamed, IMAGE_AS_TGA), 0);
    EXPECT_EQ(messages(), (Messages{"TGA: Read error", "error opening file", LOAD_FAILED}));
    // ".pcx" in the name wins over the TGA flag.
    EXPECT_EQ(load(pcx_path, IMAGE_AS_TGA), 1);
    // Data in memory: the source text ends with the data, never beyond.
    std::vector<uint8_t> data = read_file(pcx_path);
    clear_image_messages();
    EXPECT_EQ(load_image("mem", data.data(), IMAGE_IN_MEMORY | IMAGE_AS_PCX, uint32_t(data.size())), 1);
    EXPECT_EQ(std::memcmp(current_image()->source, data.data(), std::strlen(current_image()->source)), 0);
    char tiny[3] = {'.', 'g', 'i'};
    EXPECT_EQ(load_image("mem", tiny, IMAGE_IN_MEMORY, 3), 0);
    EXPECT_EQ(messages(), Messages{LOAD_FAILED});
}

// An 18-byte TGA header.
std::vector<uint8_t> tga(uint8_t id, uint8_t map_type, uint8_t type, uint16_t first, uint16_t map_len,
                         uint8_t entry, uint16_t w, uint16_t h, uint8_t depth, uint8_t desc,
                         std::vector<uint8_t> body = {}) {
    std::vector<uint8_t> v = {id,
                              map_type,
                              type,
                              uint8_t(first),
                              uint8_t(first >> 8),
                              uint8_t(map_len),
                              uint8_t(map_len >> 8),
                              entry,
                              0,
                              0,
                              0,
                              0,
                              uint8_t(w),
                              uint8_t(w >> 8),
                              uint8_t(h),
                              uint8_t(h >> 8),
                              depth,
                              desc};
    for (uint8_t b : body) v.push_back(b); // not insert: GCC 12 warns wrongly on an empty body
    return v;
}

uint16_t* tga_read(const std::vector<uint8_t>& v, uint8_t** alpha, uint16_t* w, uint16_t* h) {
    return read_tga_memory(v.data(), v.size(), alpha, w, h);
}

TEST_F(Images, TgaPacketsMapsAndGrey) {
    uint8_t* alpha;
    uint16_t w, h;
    // 8-bit colour-mapped: the indices show as grey, the map is passed over.
    std::vector<uint8_t> mapped =
        tga(2, 1, 1, 0, 2, 24, 2, 1, 8, 0x20, {0xAA, 0xBB, 1, 2, 3, 4, 5, 6, 0x00, 0xFF});
    uint16_t* px = tga_read(mapped, &alpha, &w, &h);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[0], 0x0000);
    EXPECT_EQ(px[1], 0xFFFF);
    std::free(px);
    // 16 bits: 0x7C00 is full red; bit 15 makes the pixel opaque in the alpha map.
    px = tga_read(tga(0, 0, 2, 0, 0, 0, 2, 1, 16, 0x20, {0x00, 0x7C, 0x1F, 0x80}), &alpha, &w, &h);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[0], 0xF800);
    EXPECT_EQ(px[1], 0x001F);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha[0], 0);
    EXPECT_EQ(alpha[1], 0xFF);
    std::free(px);
    std::free(alpha);
    // Grey run-length: the data end between packets, the rest stays black.
    px = tga_read(tga(0, 0, 11, 0, 0, 0, 4, 1, 8, 0x20, {0x81, 0xFF}), &alpha, &w, &h);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(std::vector<uint16_t>(px, px + 4), (std::vector<uint16_t>{0xFFFF, 0xFFFF, 0, 0}));
    std::free(px);
    EXPECT_EQ(messages(), Messages{});
}

TEST_F(Images, TgaRejectsBadAndLyingHeaders) {
    uint8_t* alpha;
    uint16_t w, h;
    auto rejected = [&](const std::vector<uint8_t>& v, const char* what) {
        clear_image_messages();
        uint16_t* px = tga_read(v, &alpha, &w, &h);
        EXPECT_EQ(px, nullptr) << what;
        std::free(px);
        EXPECT_EQ(messages(), (Messages{"TGA: Read error", "error opening file"})) << what;
    };
    std::vector<uint8_t> pixel = {1, 2, 3};
    rejected(tga(0, 2, 2, 0, 0, 0, 1, 1, 24, 0, pixel), "map type 2");
    rejected(tga(0, 0, 0, 0, 0, 0, 1, 1, 24, 0, pixel), "no image data");
    rejected(tga(0, 0, 4, 0, 0, 0, 1, 1, 24, 0, pixel), "type 4");
    rejected(tga(0, 0, 1, 0, 0, 0, 1, 1, 8, 0, pixel), "mapped type without map");
    rejected(tga(0, 1, 2, 0, 1, 24, 1, 1, 24, 0, {0, 0, 0, 1, 2, 3}), "true colour with map");
    rejected(tga(0, 1, 1, 0, 0, 24, 1, 1, 8, 0, pixel), "empty map");
    rejected(tga(0, 1, 1, 0, 1, 15, 1, 1, 8, 0, {0, 0, 1}), "15-bit map entries");
    rejected(tga(0, 0, 2, 0, 0, 0, 0, 1, 24, 0, pixel), "width 0");
    rejected(tga(0, 0, 2, 0, 0, 0, 1, 1, 12, 0, pixel), "depth 12");
    rejected(tga(0, 1, 1, 0, 1, 24, 1, 1, 16, 0, {0, 0, 0, 1, 2}), "mapped depth 16");
    rejected(std::vector<uint8_t>(10, 0), "short header");
    // Lying sizes: more pixels, map entries or identification bytes than the data hold.
    rejected(tga(0, 0, 2, 0, 0, 0, 100, 100, 24, 0, pixel), "raw pixels");
    rejected(tga(0, 1, 1, 0xFFFF, 0xFFFF, 32, 1, 1, 8, 0, pixel), "colour map");
    rejected(tga(255, 0, 2, 0, 0, 0, 1, 1, 24, 0, pixel), "identification field");
    // Packets: one of 128 pixels on a picture of 100, and data ending inside a packet.
    rejected(tga(0, 0, 11, 0, 0, 0, 10, 10, 8, 0, {0xFF, 0x80}), "packet past the end");
    rejected(tga(0, 0, 10, 0, 0, 0, 4, 1, 24, 0, {0x03, 1, 2, 3, 4, 5}), "raw packet cut short");
    rejected(tga(0, 0, 10, 0, 0, 0, 4, 1, 24, 0, {0x83, 1, 2}), "run packet cut short");
    // The same through load_image, from a file that cannot be opened.
    clear_image_messages();
    EXPECT_EQ(load_image("t", "/nowhere/x.tga", 0, 0), 0);
    EXPECT_EQ(messages(), (Messages{"TGA: Read error", "error opening file", LOAD_FAILED}));
}

TEST_F(Images, MessagesShowOnTheStatusLine) {
    Font* font = status_font();
    ASSERT_NE(font, nullptr);
    headless_reset(test_config(""));
    screen_surface = Surface{const_cast<uint16_t*>(headless_shown_buffer()), 0, 16, 320, 320, 240};
    fill_rect(&screen_surface, 0x1234, 0, 0, 320, 240);
    Font* saved = current_font;
    current_font = font;
    uint32_t before = headless_clock_ms();
    EXPECT_EQ(load_image("x", "nothing.gif", 0, 0), 0);
    current_font = saved;
    EXPECT_GE(headless_clock_ms() - before, 1000u); // two messages of 500 ms each
    std::vector<uint16_t> expected(size_t(320) * 20, 0);
    Surface strip{expected.data(), 0, 16, 320, 320, 20};
    draw_text(&strip, font, 2, 2, LOAD_FAILED.c_str(), 0);
    const uint16_t* shown = headless_shown_buffer();
    EXPECT_EQ(std::vector<uint16_t>(shown, shown + 320 * 20), expected);
    EXPECT_EQ(shown[320 * 20], 0x1234);
}

// The largest pictures the readers take, made from a few bytes: reading one costs the heap a
// small multiple of the picture's own size (RGB565), where the build can measure it.
TEST_F(Images, BiggestPicturesCostASmallMultipleOfTheirSize) {
    const size_t side = IMAGE_MAX_SIDE, picture = side * side * 2;
    uint8_t* alpha;
    uint16_t w, h;
    // TGA: 23 bytes, one run of 128 pixels; the data end there and the rest stays black.
    std::vector<uint8_t> t = tga(0, 0, 10, 0, 0, 0, side, side, 32, 0x20, {0xFF, 0x08, 0x10, 0x20, 0x80});
    ASSERT_EQ(t.size(), 23u);
    {
        HeapPeak heap;
        uint16_t* px = tga_read(t, &alpha, &w, &h);
        ASSERT_NE(px, nullptr);
        EXPECT_EQ(w, side);
        EXPECT_EQ(h, side);
        EXPECT_EQ(px[127], 0x2081);
        EXPECT_EQ(px[128], 0);
        EXPECT_EQ(alpha[127], 0x80);
        std::free(px);
        std::free(alpha);
        if (heap_peak_available()) {
            EXPECT_LE(heap.peak(), 4 * picture);
        }
    }
    // PCX through load_image: every line two bytes short of 33 runs of the longest length.
    std::vector<uint8_t> body;
    for (size_t y = 0; y < side; ++y) {
        for (int run = 0; run < 32; ++run) body.insert(body.end(), {0xFF, 7});
        body.insert(body.end(), {0xC0 | 32, 7});
    }
    std::vector<uint8_t> p = pcx(0, 0, side - 1, side - 1, 1, side, body, 3);
    {
        HeapPeak heap;
        ASSERT_EQ(load_image("big", p.data(), IMAGE_IN_MEMORY | IMAGE_AS_PCX, uint32_t(p.size())), 1);
        EXPECT_EQ(current_image()->width, side);
        EXPECT_EQ(current_image()->pixels[side * side - 1], current_image()->pixels[0]);
        if (heap_peak_available()) {
            EXPECT_LE(heap.peak(), 2 * picture);
        }
    }
    EXPECT_EQ(messages(), Messages{});
}

// A picture beyond the bound is refused with the reader's message for a block it cannot have,
// before anything of its size is allocated; so is a file beyond what such a picture can take.
TEST_F(Images, PicturesBeyondTheBoundAreRefused) {
    const uint16_t over = IMAGE_MAX_SIDE + 1;
    const size_t little = 64 * 1024;
    uint8_t palette[768];
    uint8_t* alpha;
    uint16_t w, h;
    auto refused = [&](const std::vector<uint8_t>& data, uint8_t flags, Messages expected, const char* what) {
        clear_image_messages();
        HeapPeak heap;
        EXPECT_EQ(load_image("x", data.data(), IMAGE_IN_MEMORY | flags, uint32_t(data.size())), 0) << what;
        EXPECT_LE(heap.peak(), little) << what;
        expected.push_back(LOAD_FAILED);
        EXPECT_EQ(messages(), expected) << what;
    };
    const Messages tga_big = {"TGA: Couldn't allocate buffer"};
    refused(tga(0, 0, 3, 0, 0, 0, over, 1, 8, 0, std::vector<uint8_t>(over, 9)), IMAGE_AS_TGA, tga_big,
            "TGA wide");
    refused(tga(0, 0, 3, 0, 0, 0, 1, over, 8, 0, std::vector<uint8_t>(over, 9)), IMAGE_AS_TGA, tga_big,
            "TGA tall");
    refused(tga(0, 0, 10, 0, 0, 0, 0xFFFF, 0xFFFF, 32, 0, {0xFF, 1, 2, 3, 4}), IMAGE_AS_TGA, tga_big,
            "TGA of 65535 x 65535 in 23 bytes");
    const Messages pcx_big = {"ERROR: PCX Blk NULL"};
    refused(pcx(0, 0, over - 1, 0, 1, over + 1, std::vector<uint8_t>(over + 1, 5)), IMAGE_AS_PCX, pcx_big,
            "PCX wide");
    refused(pcx(0, 0, 0, over - 1, 1, 2, std::vector<uint8_t>(2 * over, 5)), IMAGE_AS_PCX, pcx_big,
            "PCX tall");
    // Lines of three planes of the widest picture are taken; longer ones are not.
    refused(pcx(0, 0, 0, 0, 3, IMAGE_MAX_SIDE + 3, std::vector<uint8_t>(3 * (IMAGE_MAX_SIDE + 3), 5)),
            IMAGE_AS_PCX, {"ERROR: PCX linebuffer NULL"}, "PCX line");
    // At the bound itself both readers decode.
    std::vector<uint8_t> t =
        tga(0, 0, 3, 0, 0, 0, IMAGE_MAX_SIDE, 1, 8, 0, std::vector<uint8_t>(IMAGE_MAX_SIDE, 9));
    uint16_t* px = tga_read(t, &alpha, &w, &h);
    EXPECT_NE(px, nullptr);
    std::free(px);
    std::vector<uint8_t> p = pcx(0, 0, IMAGE_MAX_SIDE - 1, 0, 3, IMAGE_MAX_SIDE + 2,
                                 std::vector<uint8_t>(3 * (IMAGE_MAX_SIDE + 2), 5));
    uint8_t depth;
    uint8_t* ix = read_pcx_memory(p.data(), p.size(), palette, &w, &h, &depth);
    EXPECT_NE(ix, nullptr);
    std::free(ix);
    // Files beyond the limit are not read at all (a sparse file takes no room on the disk).
    TempFolder folder;
    for (const char* name : {"/huge.pcx", "/huge.tga"}) {
        std::string path = folder.path + name;
        write_file(path, tga(0, 0, 3, 0, 0, 0, 1, 1, 8, 0, {9}));
        std::filesystem::resize_file(path, IMAGE_FILE_LIMIT + 1);
        clear_image_messages();
        HeapPeak heap;
        EXPECT_EQ(load_image("huge", path.c_str(), 0, 0), 0);
        EXPECT_LE(heap.peak(), little) << name;
        EXPECT_EQ(messages()[0],
                  std::string(name) == "/huge.pcx" ? "ERROR: Couldn't alloc in pcx" : "TGA: Read error");
    }
}

} // namespace
