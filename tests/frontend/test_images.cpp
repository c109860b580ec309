// The picture readers: PCX and TGA files written by ImageMagick decoded pixel for pixel, the
// extension rules of load_image, and files that are short or lie about their sizes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "frontend/image.h"
#include "frontend/surface.h"
#include "machine/play.h"
#include "tests/support/test_support.h"

namespace {

// The source picture of every fixture, 5 x 3, as the ImageMagick input file lists it.
constexpr int W = 5, H = 3;
constexpr uint8_t SOURCE[H][W][3] = {
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {0, 0, 0}},
    {{10, 20, 30}, {255, 0, 0}, {255, 0, 0}, {255, 0, 0}, {0, 255, 0}},
    {{0, 0, 0}, {0, 0, 0}, {123, 123, 123}, {222, 111, 222}, {0, 0, 255}},
};

uint16_t rgb565(const uint8_t* c) { return uint16_t(((c[0] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[2] >> 3)); }

struct Images : ::testing::Test {
    TempFolder dir;
    std::string ppm = dir.path + "/source.ppm";

    void SetUp() override {
        std::string text = "P3\n5 3\n255\n";
        for (auto& row : SOURCE)
            for (auto& px : row) text += std::to_string(px[0]) + " " + std::to_string(px[1]) + " " + std::to_string(px[2]) + "\n";
        write_file(ppm, std::vector<uint8_t>(text.begin(), text.end()));
        last_status_message[0] = '\0';
        headless_reset(test_config(dir.path));
    }
    // Runs ImageMagick on the source picture with the given options, writing `name`.
    std::string convert(const std::string& options, const std::string& name) {
        std::string out = dir.path + "/" + name;
        std::string cmd = std::string(VELKORO_CONVERT) + " " + ppm + " " + options + " " + out;
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return out;
    }
    // What the readers see of a host path: the card mapping leaves paths outside "/mnt/sd/" alone.
    void expect_source_pixels(const uint16_t* px, uint16_t w, uint16_t h, bool keys) {
        ASSERT_EQ(w, W);
        ASSERT_EQ(h, H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                uint16_t want = rgb565(SOURCE[y][x]);
                if (keys && y == 2 && x == 2) want = IMAGE_TRANSPARENT;
                if (keys && y == 2 && x == 3) want = IMAGE_SHADOW;
                EXPECT_EQ(px[y * W + x], want) << x << "," << y;
            }
    }
};

TEST_F(Images, PalettePcxFromImageMagick) {
    std::string path = convert("-type Palette", "picture.pcx");
    PcxPalette palette;
    uint16_t w = 0, h = 0;
    uint8_t* indices = read_pcx_file(path.c_str(), &palette, &w, &h);
    ASSERT_NE(indices, nullptr) << last_status_message;
    ASSERT_EQ(w, W);
    ASSERT_EQ(h, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) EXPECT_EQ(0, std::memcmp(palette.rgb[indices[y * W + x]], SOURCE[y][x], 3));
    std::free(indices);

    ASSERT_EQ(load_image("picture.pcx", path.c_str(), 0, 0), 1);
    Image* img = current_image();
    EXPECT_STREQ(img->name, "picture.pcx");
    EXPECT_EQ(img->alpha, nullptr);
    expect_source_pixels(img->pixels, img->width, img->height, true);

    ASSERT_EQ(load_image("swapped", path.c_str(), LOAD_SWAP_BYTES, 0), 1);
    EXPECT_EQ(current_image()->next, img);
    uint16_t red = rgb565(SOURCE[0][0]);
    EXPECT_EQ(current_image()->pixels[0], uint16_t((red >> 8) | (red << 8)));
}

// A 4 x 1 one-plane PCX header with the given version and line length, followed by `body`.
std::vector<uint8_t> pcx(uint8_t version, uint16_t xmax, uint16_t bytes_per_line, std::vector<uint8_t> body) {
    std::vector<uint8_t> f(128, 0);
    f[0] = 0x0A;
    f[1] = version;
    f[2] = 1;
    f[3] = 8;
    f[8] = uint8_t(xmax);
    f[9] = uint8_t(xmax >> 8);
    f[16] = 1;  // header palette entry 0 = (1, 2, 3)
    f[17] = 2;
    f[18] = 3;
    f[65] = 1;
    f[66] = uint8_t(bytes_per_line);
    f[67] = uint8_t(bytes_per_line >> 8);
    for (uint8_t b : body) f.push_back(b);
    return f;
}

TEST_F(Images, PcxRunsAndTheHeaderPalette) {
    // 0xC3 0x41: three bytes 0x41; 0x41 alone: one; a run of length 0 writes nothing.
    std::vector<uint8_t> f = pcx(3, 3, 4, {0xC3, 0x41, 0xC0, 0x99, 0x07});
    PcxPalette palette;
    uint16_t w, h;
    uint8_t* px = read_pcx_memory(f.data(), f.size(), &palette, &w, &h);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(std::vector<uint8_t>(px, px + 4), (std::vector<uint8_t>{0x41, 0x41, 0x41, 0x07}));
    std::free(px);
    // Not version 5: the header's 16 colours, black for the rest.
    EXPECT_EQ(palette.rgb[0][0], 1);
    EXPECT_EQ(palette.rgb[0][2], 3);
    EXPECT_EQ(palette.rgb[200][1], 0);

    // A run longer than the line is cut at the line's end; the next line starts afresh.
    f = pcx(3, 1, 2, {0xC5, 0x11, 0x22});
    f[10] = 1;  // two lines
    px = read_pcx_memory(f.data(), f.size(), nullptr, &w, &h);
    ASSERT_EQ(px, nullptr);  // the second line has only one byte
    EXPECT_STREQ(last_status_message, "ERROR: Couldn't decode line");
}

TEST_F(Images, PcxHeadersThatLieAreRefused) {
    PcxPalette palette;
    uint16_t w, h;
    struct Case {
        std::vector<uint8_t> file;
        const char* message;
    };
    std::vector<uint8_t> inverted = pcx(5, 3, 4, {1, 2, 3, 4});
    inverted[4] = 9;  // xmin above xmax
    std::vector<uint8_t> inverted_y = pcx(5, 3, 4, {1, 2, 3, 4});
    inverted_y[6] = 1;  // ymin above ymax (0)
    std::vector<uint8_t> huge = pcx(5, 0xFFFF, 0xFFFF, {});
    huge[10] = huge[11] = 0xFF;
    std::vector<uint8_t> no_palette = pcx(5, 3, 4, {1, 2, 3, 4});
    no_palette[0] = 0x0C;  // read as the palette marker of a file too short to hold the palette
    const Case cases[] = {
        {std::vector<uint8_t>(127, 0), "ERROR: PCX Read Result fail"},
        {inverted, "ERROR: Couldn't decode line"},
        {inverted_y, "ERROR: Couldn't decode line"},
        {pcx(5, 7, 4, std::vector<uint8_t>(8, 1)), "ERROR: Couldn't decode line"},  // wider than its lines
        {pcx(5, 3, 0, {}), "ERROR: Couldn't decode line"},
        {huge, "ERROR: Couldn't decode line"},
        {pcx(5, 3, 4, {1, 2, 0xC2}), "ERROR: Couldn't decode line"},  // ends inside the line
        {no_palette, "ERROR: Bad palette!"},
    };
    for (const Case& c : cases) {
        last_status_message[0] = '\0';
        EXPECT_EQ(read_pcx_memory(c.file.data(), c.file.size(), &palette, &w, &h), nullptr);
        EXPECT_STREQ(last_status_message, c.message);
    }
    EXPECT_EQ(read_pcx_file((dir.path + "/absent.pcx").c_str(), &palette, &w, &h), nullptr);
    EXPECT_STREQ(last_status_message, "ERROR: Can't fopen() pcx");
}

TEST_F(Images, LoaderChoosesByExtension) {
    std::string path = convert("-type Palette", "p.pcx");
    EXPECT_EQ(load_image("a", (dir.path + "/x.gif").c_str(), 0, 0), 0);
    EXPECT_STREQ(last_status_message, "ERROR: Couldn't load data from image file");
    last_status_message[0] = '\0';
    EXPECT_EQ(load_image("a", (dir.path + "/x.PNG").c_str(), 0, 0), 0);
    EXPECT_STREQ(last_status_message, "ERROR: Couldn't load data from image file");
    EXPECT_EQ(load_image("a", (dir.path + "/x.bmp").c_str(), 0, 0), 0);
    // Flag 4 reads a PCX whatever the name says.
    std::string renamed = dir.path + "/p.dat";
    std::rename(path.c_str(), renamed.c_str());
    EXPECT_EQ(load_image("a", renamed.c_str(), LOAD_AS_PCX, 0), 1);
    // In memory the data are searched only within their length.
    std::vector<uint8_t> data = read_file(renamed);
    EXPECT_EQ(load_image("a", data.data(), LOAD_FROM_MEMORY | LOAD_AS_PCX, data.size()), 1);
    EXPECT_EQ(load_image("a", data.data(), LOAD_FROM_MEMORY, data.size()), 0);
}

TEST_F(Images, TrueColourTgaInEveryLayout) {
    uint8_t* alpha = nullptr;
    uint16_t w, h;
    for (const char* options : {"-orient TopLeft -compress None", "-flip -compress None",
                                "-orient TopLeft -compress RLE", "-flip -compress RLE"}) {
        SCOPED_TRACE(options);
        std::string path = convert(options, "t.tga");
        uint16_t* px = read_tga(path.c_str(), &alpha, &w, &h, 0);
        ASSERT_NE(px, nullptr) << last_status_message;
        EXPECT_EQ(alpha, nullptr);
        expect_source_pixels(px, w, h, false);
        std::free(px);
        // The same bytes from memory.
        std::vector<uint8_t> data = read_file(path);
        px = read_tga(data.data(), &alpha, &w, &h, data.size());
        ASSERT_NE(px, nullptr);
        expect_source_pixels(px, w, h, false);
        std::free(px);
    }
}

TEST_F(Images, TgaAlphaGreyAndColourMapped) {
    uint8_t* alpha = nullptr;
    uint16_t w, h;
    std::string half = convert("-orient TopLeft -alpha set -channel A -evaluate set 50% +channel", "a.tga");
    uint16_t* px = read_tga(half.c_str(), &alpha, &w, &h, 0);
    ASSERT_NE(px, nullptr);
    ASSERT_NE(alpha, nullptr);
    EXPECT_NEAR(alpha[0], 0x80, 1);
    expect_source_pixels(px, w, h, false);
    std::free(px);
    std::free(alpha);

    std::string clear = convert("-orient TopLeft -alpha set -channel A -evaluate set 0 +channel", "c.tga");
    px = read_tga(clear.c_str(), &alpha, &w, &h, 0);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(alpha, nullptr);
    std::free(px);

    ASSERT_EQ(load_image("grey", convert("-orient TopLeft -type Grayscale", "g.tga").c_str(), 0, 0), 1);
    Image* img = current_image();
    ASSERT_EQ(img->width, W);
    unsigned white = img->pixels[3];
    EXPECT_EQ(white, 0xFFFFu);
    EXPECT_EQ(img->pixels[4], 0x0000);

    // Colour-mapped: the indices show as grey levels, the map itself is not applied.
    std::string mapped = convert("-orient TopLeft -type Palette -compress None", "m.tga");
    std::vector<uint8_t> data = read_file(mapped);
    ASSERT_GE(data.size(), 18u);
    ASSERT_EQ(data[2], 1) << "ImageMagick wrote no colour-mapped picture";
    px = read_tga(data.data(), &alpha, &w, &h, data.size());
    ASSERT_NE(px, nullptr);
    size_t pixel_data = data.size() - size_t(W) * H;
    uint8_t index = data[pixel_data];
    EXPECT_EQ(px[0], uint16_t(((index >> 3) << 11) | ((index >> 2) << 5) | (index >> 3)));
    std::free(px);
}

// An uncompressed or run-length 24-bit TGA header of w x h with the given descriptor.
std::vector<uint8_t> tga(uint8_t type, uint16_t w, uint16_t h, uint8_t descriptor, std::vector<uint8_t> body) {
    std::vector<uint8_t> f = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h),
                              uint8_t(h >> 8), 24, descriptor};
    for (uint8_t b : body) f.push_back(b);
    return f;
}

TEST_F(Images, TgaPacketsOrderAndLyingHeaders) {
    uint8_t* alpha;
    uint16_t w, h;
    // Right-to-left rows, top row first.
    std::vector<uint8_t> f = tga(2, 2, 1, 0x30, {0, 0, 255, 255, 0, 0});
    uint16_t* px = read_tga(f.data(), &alpha, &w, &h, f.size());
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[0], 0x001F);  // blue, stored second
    EXPECT_EQ(px[1], 0xF800);
    std::free(px);
    // The data end between packets: the rest stays 0.
    f = tga(10, 4, 1, 0x20, {0x81, 0, 0, 255});
    px = read_tga(f.data(), &alpha, &w, &h, f.size());
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[1], 0xF800);
    EXPECT_EQ(px[2], 0);
    std::free(px);

    std::vector<uint8_t> big_id = tga(2, 1, 1, 0x20, {1, 2, 3});
    big_id[0] = 200;
    std::vector<uint8_t> big_map = {0, 1, 1, 0, 0, 0xFF, 0xFF, 24, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0x20, 5};
    const std::vector<uint8_t> refused[] = {
        std::vector<uint8_t>(tga(10, 10, 10, 0x20, {0xFF, 1, 2, 3})),  // a 128-pixel run on 100 pixels
        tga(10, 4, 1, 0x20, {0x03, 1, 2, 3}),                          // the data end inside a packet
        tga(2, 100, 100, 0x20, {1, 2, 3}),                             // claims more pixels than it holds
        tga(2, 0, 1, 0x20, {}),
        big_id,
        big_map,
        {0, 0, 2, 0, 0},                                               // a cut header
        {0, 2, 2},
        {0, 0, 4},
    };
    for (const auto& bad : refused) {
        last_status_message[0] = '\0';
        EXPECT_EQ(read_tga(bad.data(), &alpha, &w, &h, bad.size()), nullptr);
        EXPECT_STREQ(last_status_message, "error opening file");
    }
    EXPECT_EQ(read_tga((dir.path + "/absent.tga").c_str(), &alpha, &w, &h, 0), nullptr);
    EXPECT_STREQ(last_status_message, "error opening file");
    // A huge picture is refused before anything is allocated for it.
    f = tga(10, 0xFFFF, 0xFFFF, 0x20, {0x80, 1, 2, 3});
    EXPECT_EQ(read_tga(f.data(), &alpha, &w, &h, f.size()), nullptr);
    EXPECT_STREQ(last_status_message, "TGA: Couldn't allocate buffer");
}

} // namespace
