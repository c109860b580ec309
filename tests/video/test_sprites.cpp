// Sprites: selection, the four-per-line limit, drawing order, clipping, the early clock, Y
// wrap, 16 x 16 patterns, magnification and the frame-end collision check; then the renderer,
// the collision flag and the fifth-sprite bits against a plain per-pixel model over many random
// sprite tables.
#include "tests/video/vdp_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <sstream>

namespace {

constexpr uint16_t ATTR = 0x1B00;
constexpr uint16_t PATTERNS = 0x3800;

struct Sprites : VdpFixture {
    void SetUp() override {
        VdpFixture::SetUp();
        set_register(1, 0x40); // graphics I, 8 x 8
        set_register(2, 0x06);
        set_register(3, 0x80);
        set_register(4, 0x00);
        set_register(5, 0x36);
        set_register(6, 0x07);
        set_register(7, 0x01);
        vram[ATTR] = 0xD0;
        // Pattern 1: solid 8 x 8; patterns 4..7: solid 16 x 16; pattern 2: left column only.
        std::fill(vram.begin() + PATTERNS + 8, vram.begin() + PATTERNS + 16, uint8_t(0xFF));
        std::fill(vram.begin() + PATTERNS + 32, vram.begin() + PATTERNS + 64, uint8_t(0xFF));
        std::fill(vram.begin() + PATTERNS + 16, vram.begin() + PATTERNS + 24, uint8_t(0x80));
    }
    void sprite(int i, uint8_t y, uint8_t x, uint8_t name, uint8_t flags) {
        poke(uint16_t(ATTR + 4 * i), {y, x, name, flags});
        vram[ATTR + 4 * i + 4] = 0xD0;
    }
    uint8_t at(int line, int x) const { return pixel(line + VDP_BORDER, x + VDP_BORDER); }
    int count_colour(int line, uint8_t colour) const {
        int n = 0;
        for (int x = -8; x < 264; ++x) n += at(line, x) == colour;
        return n;
    }
};

TEST_F(Sprites, SelectionLimitAndOrder) {
    // First Y of 0xD0: nothing drawn, nothing collides.
    vram[ATTR] = 0xD0;
    vram[ATTR + 4] = 10;
    render_frame();
    EXPECT_EQ(count_colour(11, 1), 272);
    EXPECT_FALSE(vdp_frame_end());
    EXPECT_EQ(vdp.status & STATUS_COLLISION, 0);

    // Five sprites on a line: the first four are drawn; the fifth is reported.
    for (int i = 0; i < 5; ++i) sprite(i, 20, uint8_t(20 * i), 1, uint8_t(2 + i));
    render_frame();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(at(21, 20 * i), 2 + i) << i;
    EXPECT_EQ(at(21, 80), 1);
    vdp_frame_end();
    EXPECT_EQ(vdp.status & 0x5F, STATUS_FIFTH | 4);
    // A fifth sprite that meets the others on their last row only.
    sprite(4, 27, 80, 1, 6);
    vdp_frame_end();
    EXPECT_EQ(vdp.status & 0x5F, STATUS_FIFTH | 4);
    sprite(4, 28, 80, 1, 6);
    vdp_frame_end();
    EXPECT_EQ(vdp.status & 0x5F, 5) << "the end of the list";

    // A transparent sprite still takes a place.
    poke(ATTR + 3, {0x00});
    render_frame();
    EXPECT_EQ(at(21, 0), 1);
    EXPECT_EQ(at(21, 80), 1);

    // Overlap: the lower-numbered sprite is on top.
    sprite(0, 40, 100, 1, 0x08);
    sprite(1, 40, 104, 1, 0x09);
    render_frame();
    EXPECT_EQ(at(41, 103), 8);
    EXPECT_EQ(at(41, 104), 8);
    EXPECT_EQ(at(41, 108), 9);
    EXPECT_EQ(at(40, 104), 1); // a sprite covers lines Y + 1 .. Y + 8
    EXPECT_EQ(at(48, 104), 8);
    EXPECT_EQ(at(49, 104), 1);
}

TEST_F(Sprites, PositionsClippingAndSizes) {
    // Y = 0xFF puts row 0 on line 0; Y = 0 on line 1.
    sprite(0, 0xFF, 0, 2, 0x0F);
    sprite(1, 0x00, 50, 2, 0x0E);
    render_frame();
    EXPECT_EQ(at(0, 0), 15);
    EXPECT_EQ(at(7, 0), 15);
    EXPECT_EQ(at(8, 0), 1);
    EXPECT_EQ(at(0, 50), 1);
    EXPECT_EQ(at(1, 50), 14);

    // X = 250 shows six columns, the border untouched.
    sprite(0, 60, 250, 1, 0x0F);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 6);
    EXPECT_EQ(at(61, 256), 1);

    // 16 x 16: name 7 uses the patterns of name 4; early clock with X = 0x11 shows only the
    // rightmost column at screen column 0; X = 0x10 shows nothing.
    set_register(1, 0x42);
    sprite(0, 60, 0x11, 7, 0x8F);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 1);
    EXPECT_EQ(at(61, 0), 15);
    EXPECT_EQ(count_colour(76, 15), 1);
    EXPECT_EQ(count_colour(77, 15), 0);
    sprite(0, 60, 0x10, 7, 0x8F);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 0);
    sprite(0, 60, 100, 7, 0x0F);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 16);
    EXPECT_EQ(at(61, 100), 15);
    EXPECT_EQ(at(61, 115), 15);

    // Magnified: each pattern pixel is 2 x 2, on lines Y + 1 .. Y + 32, columns X .. X + 31.
    set_register(1, 0x43);
    render_frame();
    EXPECT_EQ(count_colour(60, 15), 0);
    EXPECT_EQ(count_colour(61, 15), 32);
    EXPECT_EQ(count_colour(92, 15), 32);
    EXPECT_EQ(count_colour(93, 15), 0);
    EXPECT_EQ(at(61, 131), 15);
    EXPECT_EQ(at(61, 132), 1);
}

TEST_F(Sprites, MagnifiedSpritesDoubleEveryPixel) {
    // Pattern 3: one row 0xA0 (pixels 0 and 2) in row 1, the rest empty.
    poke(PATTERNS + 24 + 1, {0xA0});
    set_register(1, 0x41);
    sprite(0, 30, 40, 3, 0x0F);
    render_frame();
    for (int line : {31, 32, 35, 36, 47}) EXPECT_EQ(count_colour(line, 15), 0) << line;
    for (int line : {33, 34}) {
        std::vector<uint8_t> seen;
        for (int x = 38; x < 48; ++x) seen.push_back(at(line, x));
        EXPECT_EQ(seen, (std::vector<uint8_t>{1, 1, 15, 15, 1, 1, 15, 15, 1, 1})) << line;
    }

    // The wrap at the top follows the 16-line height: Y = 0xF1 starts 15 lines above line 0 and
    // shows its last two lines; Y = 0xF0 stays below the screen.
    sprite(0, 0xF1, 0, 1, 0x0F);
    render_frame();
    EXPECT_EQ(count_colour(0, 15), 16);
    EXPECT_EQ(count_colour(1, 15), 16);
    EXPECT_EQ(count_colour(2, 15), 0);
    sprite(0, 0xF0, 0, 1, 0x0F);
    render_frame();
    EXPECT_EQ(count_colour(0, 15), 0);
    EXPECT_EQ(count_colour(1, 15), 0);

    // Four per line counts magnified sprites by the lines they cover: a fifth solid sprite
    // whose top is 15 lines higher still lies on line 20 and is dropped there.
    for (int i = 0; i < 4; ++i) sprite(i, 5, uint8_t(40 * i), 1, 0x0F);
    sprite(4, 19, 200, 1, 0x0E);
    render_frame();
    EXPECT_EQ(count_colour(20, 14), 0);
    EXPECT_EQ(count_colour(22, 14), 16);

    // With the early clock and X = 17 the sprite starts at column -15 and shows its last column.
    sprite(0, 100, 17, 1, 0x8D);
    vram[ATTR + 4] = 0xD0;
    render_frame();
    EXPECT_EQ(count_colour(101, 13), 1);
    EXPECT_EQ(at(101, 0), 13);
    // And at X = 250 it shows six of its sixteen columns.
    sprite(0, 100, 250, 1, 0x0D);
    render_frame();
    EXPECT_EQ(count_colour(101, 13), 6);
}

TEST_F(Sprites, TablesAtTheVeryEndOfVideoMemoryAreReadWrapped) {
    // R5 = 0xFF puts the attribute table in the last 128 bytes, entry 31 in the very last four;
    // R6 = 0x3F names 0x1F800, which wraps to 0x3800, where pattern 1 is solid.
    set_register(1, 0x40);
    set_register(5, 0xFF);
    set_register(6, 0x3F);
    for (int i = 1; i < 31; ++i) poke(uint16_t(0x3F80 + 4 * i), {0xD1, uint8_t(8 * i), 1, 0x0F});
    poke(0x3F80, {0x10, 0x10, 0x01, 0x0F});
    poke(0x3FFC, {0x10, 0x14, 0x01, 0x0E});
    render_frame();
    for (int x = 16; x < 24; ++x) EXPECT_EQ(at(0x11, x), 15) << x;
    for (int x = 24; x < 28; ++x) EXPECT_EQ(at(0x11, x), 14) << x;
    EXPECT_EQ(at(0x11, 28), 1);
    EXPECT_EQ(count_colour(0x18, 15), 8);
    EXPECT_EQ(count_colour(0x19, 15), 0);
    vdp_frame_end();
    EXPECT_NE(vdp_read_status() & STATUS_COLLISION, 0);
    // Moved apart, nothing collides: the thirty parked sprites below the screen are all on one
    // spot, and they take no part.
    poke(0x3FFD, {0x80});
    vdp_frame_end();
    EXPECT_EQ(vdp_read_status() & STATUS_COLLISION, 0);
}

TEST_F(Sprites, CollisionCheck) {
    auto collided = [&] {
        vdp_frame_end();
        return (vdp_read_status() & STATUS_COLLISION) != 0;
    };
    // Boxes overlap but pixels do not: pattern 2 is only its left column.
    sprite(0, 10, 10, 2, 0x0F);
    sprite(1, 10, 12, 2, 0x0F);
    EXPECT_FALSE(collided());
    poke(ATTR + 5, {11});
    EXPECT_FALSE(collided());
    poke(ATTR + 5, {10});
    EXPECT_TRUE(collided());
    // A colour-0 sprite never collides.
    sprite(0, 10, 10, 1, 0x0F);
    sprite(1, 12, 12, 1, 0x00);
    EXPECT_FALSE(collided());
    // dy = -7: row 7 of the first meets row 0 of the second.
    sprite(0, 10, 30, 1, 0x0F);
    sprite(1, 17, 30, 1, 0x0E);
    EXPECT_TRUE(collided());
    sprite(1, 18, 30, 1, 0x0E);
    EXPECT_FALSE(collided());
    // Sprites beyond the per-line limit still collide.
    for (int i = 0; i < 4; ++i) sprite(i, 100, uint8_t(40 * i), 1, 0x0F);
    sprite(4, 100, 200, 1, 0x0F);
    sprite(5, 103, 203, 1, 0x0F);
    EXPECT_TRUE(collided());
    // Sprites that cover no visible line do not: games park them below the screen in a heap.
    // A sprite at Y = 190 still shows its first row on line 191; at 191 it shows nothing.
    for (int i = 0; i < 12; ++i) sprite(i, 0xD1, 0, 1, 0x0F);
    EXPECT_FALSE(collided());
    sprite(0, 190, 0, 1, 0x0F);
    sprite(1, 191, 0, 1, 0x0F);
    EXPECT_FALSE(collided());
    sprite(1, 190, 0, 1, 0x0F);
    EXPECT_TRUE(collided());
    sprite(0, 191, 0, 1, 0x0F);
    sprite(1, 185, 0, 1, 0x0F);
    EXPECT_FALSE(collided());
    // Hanging over the top edge counts as visible: 0xF9 wraps to -7 and shows row 7 on line 0,
    // while 0xF8 is taken as 248, below the screen.
    sprite(0, 0xF9, 0, 1, 0x0F);
    sprite(1, 0xF9, 4, 1, 0x0F);
    EXPECT_TRUE(collided());
    sprite(1, 0xF8, 4, 1, 0x0F);
    EXPECT_FALSE(collided());
    // Magnified sprites collide at their magnified size.
    sprite(0, 10, 10, 1, 0x0F);
    sprite(1, 10, 18, 1, 0x0F);
    set_register(1, 0x40);
    EXPECT_FALSE(collided());
    set_register(1, 0x41);
    EXPECT_TRUE(collided());
    sprite(1, 25, 25, 1, 0x0F);
    EXPECT_TRUE(collided());
    sprite(1, 26, 10, 1, 0x0F);
    EXPECT_FALSE(collided());
    sprite(0, 10, 10, 4, 0x0F);
    sprite(1, 10, 25, 4, 0x0F);
    set_register(1, 0x42);
    EXPECT_TRUE(collided());
    sprite(1, 10, 26, 4, 0x0F);
    EXPECT_FALSE(collided());
    set_register(1, 0x43);
    EXPECT_TRUE(collided());
    sprite(1, 41, 41, 4, 0x0F);
    EXPECT_TRUE(collided());
    sprite(1, 42, 10, 4, 0x0F);
    EXPECT_FALSE(collided());
}

// The sprites as the chip shows them, pixel by pixel, straight from its rules: which entries
// exist, where each one's pixels fall, which four win a line, who is on top, and which pairs
// touch. Deliberately slow and plain, and sharing nothing with the renderer.
struct SpriteModel {
    const std::vector<uint8_t>& vram;
    uint16_t attr, patterns;
    bool big, magnified;

    int zoom() const { return magnified ? 2 : 1; }
    int height() const { return (big ? 16 : 8) * zoom(); } // on the screen, also the width
    uint8_t byte(int i, int k) const { return vram[(attr + 4 * i + k) & 0x3FFF]; }
    int entries() const {
        int n = 0;
        while (n < 32 && byte(n, 0) != 0xD0) ++n;
        return n;
    }
    int top(int i) const { return byte(i, 0) > 256 - height() ? byte(i, 0) - 256 : byte(i, 0); }
    int left(int i) const { return byte(i, 1) - ((byte(i, 3) & 0x80) ? 32 : 0); }
    int colour(int i) const { return byte(i, 3) & 0x0F; }
    bool on_line(int i, int line) const { return line >= top(i) + 1 && line <= top(i) + height(); }
    // Pixel (column u, row v) of sprite i's box on the screen.
    bool pixel(int i, int u, int v) const {
        int column = u / zoom(), row = v / zoom();
        int name = big ? (byte(i, 2) & 0xFC) : byte(i, 2);
        int address = patterns + name * 8 + row + (column >= 8 ? 16 : 0);
        return (vram[address & 0x3FFF] >> (7 - column % 8)) & 1;
    }
    // The colours sprites give the 256 columns of a line, -1 where the background shows.
    std::vector<int> line_colours(int line) const {
        std::vector<int> chosen;
        const int n = entries();
        for (int i = 0; i < n && chosen.size() < 4; ++i)
            if (on_line(i, line)) chosen.push_back(i);
        std::vector<int> out(256, -1);
        for (int x = 0; x < 256; ++x)
            for (int i : chosen) {
                int u = x - left(i);
                if (colour(i) != 0 && u >= 0 && u < height() && pixel(i, u, line - top(i) - 1)) {
                    out[size_t(x)] = colour(i);
                    break;
                }
            }
        return out;
    }
    // The status bits 6..0: the first fifth sprite on a line, else the end of the list.
    uint8_t fifth() const {
        const int n = entries();
        for (int line = 0; line < 192; ++line)
            for (int i = 0, seen = 0; i < n; ++i)
                if (on_line(i, line) && ++seen == 5) return uint8_t(STATUS_FIFTH | i);
        return uint8_t(n < 32 ? n : 31);
    }
    bool visible(int i) const {
        for (int line = 0; line < 192; ++line)
            if (on_line(i, line)) return true;
        return false;
    }
    // Raw Y and X, as the chip compares them: no early clock, no wrap, only the difference.
    bool touch(int a, int b) const {
        int dy = int8_t(uint8_t(byte(a, 0) - byte(b, 0)));
        int dx = int8_t(uint8_t(byte(a, 1) - byte(b, 1)));
        if (std::abs(dy) >= height() || std::abs(dx) >= height()) return false; // boxes apart
        for (int v = 0; v < height(); ++v)
            for (int u = 0; u < height(); ++u) {
                int vb = v + dy, ub = u + dx; // the same spot within b's box
                if (vb < 0 || vb >= height() || ub < 0 || ub >= height()) continue;
                if (pixel(a, u, v) && pixel(b, ub, vb)) return true;
            }
        return false;
    }
    bool collision() const {
        int n = entries();
        std::vector<bool> takes_part;
        for (int i = 0; i < n; ++i) takes_part.push_back(colour(i) != 0 && visible(i));
        for (int a = 0; a < n; ++a)
            for (int b = a + 1; b < n; ++b)
                if (takes_part[size_t(a)] && takes_part[size_t(b)] && touch(a, b)) return true;
        return false;
    }
};

// Sprite tables drawn at random, biased towards what breaks renderers: sprites heaped on one
// spot, the edges of the Y wrap and of the screen, parked sprites, the early clock, sparse
// patterns that touch only sometimes.
struct RandomTables {
    std::mt19937 rng{20240611};
    int below(int n) { return int(rng() % unsigned(n)); }
    uint8_t y_for(int height, int base) {
        switch (below(8)) {
        case 0: return uint8_t(256 - height + below(3) - 1); // either side of the wrap
        case 1: return uint8_t(189 + below(4));              // the last visible lines
        case 2: return uint8_t(0xD1 + below(3));             // parked
        case 3: return uint8_t(below(256) == 0xD0 ? 0xD1 : below(256));
        default: return uint8_t(base + below(2 * height) - height);
        }
    }
    uint8_t x_for(int height, int base) {
        switch (below(6)) {
        case 0: return uint8_t(below(height + 2));
        case 1: return uint8_t(255 - below(height + 2));
        default: return uint8_t(base + below(2 * height) - height);
        }
    }
    void fill(std::vector<uint8_t>& vram, uint16_t attr, uint16_t patterns, int height) {
        for (int i = 0; i < 2048; ++i) vram[patterns + i] = uint8_t(rng() & rng() & rng());
        int count = 1 + below(12);
        int base_y = below(200), base_x = below(256);
        for (int i = 0; i < 32; ++i) {
            uint8_t* e = &vram[attr + 4 * i];
            e[0] = y_for(height, base_y);
            if (e[0] == 0xD0) e[0] = 0xCF;
            e[1] = x_for(height, base_x);
            e[2] = uint8_t(rng());
            e[3] = uint8_t((below(4) == 0 ? 0x80 : 0) | (below(8) == 0 ? 0 : 1 + below(15)));
        }
        if (count < 12) vram[attr + 4 * count] = 0xD0; // else all 32 entries take part
    }
};

TEST_F(Sprites, RendererAndCollisionsMatchThePlainModel) {
    // A busy background: every name and pattern byte random, colours random.
    std::mt19937 rng(7);
    for (int i = 0; i < 0x800; ++i) vram[i] = uint8_t(rng());
    for (int i = 0; i < 0x300; ++i) vram[0x1800 + i] = uint8_t(rng());
    for (int i = 0; i < 32; ++i) vram[0x2000 + i] = uint8_t(rng());
    RandomTables tables;
    int collisions = 0, fifths = 0;
    const int trials = 240;
    for (int trial = 0; trial < trials; ++trial) {
        bool big = trial & 1, magnified = trial & 2;
        set_register(1, uint8_t(0x40 | (big ? 0x02 : 0) | (magnified ? 0x01 : 0)));
        SpriteModel model{vram, ATTR, PATTERNS, big, magnified};
        tables.fill(vram, ATTR, PATTERNS, model.height());

        uint8_t first_y = vram[ATTR];
        vram[ATTR] = 0xD0;
        render_frame();
        std::vector<uint8_t> background = picture;
        vram[ATTR] = first_y;
        render_frame();
        std::ostringstream table;
        for (int i = 0; i < 32 * 4; ++i) table << int(vram[ATTR + i]) << (i % 4 == 3 ? "; " : " ");
        for (int line = 0; line < 192; ++line) {
            std::vector<int> colours = model.line_colours(line);
            const uint8_t* drawn = &picture[size_t(line + 8) * VDP_PICTURE_WIDTH];
            std::vector<uint8_t> want(&background[size_t(line + 8) * VDP_PICTURE_WIDTH],
                                      &background[size_t(line + 9) * VDP_PICTURE_WIDTH]);
            for (int x = 0; x < 256; ++x)
                if (colours[size_t(x)] >= 0) want[size_t(x + 8)] = uint8_t(colours[size_t(x)]);
            if (std::equal(want.begin(), want.end(), drawn)) continue;
            int x = int(std::mismatch(want.begin(), want.end(), drawn).first - want.begin()) - 8;
            FAIL() << "trial " << trial << ", line " << line << ", column " << x << ": drawn "
                   << int(drawn[x + 8]) << ", expected " << int(want[size_t(x + 8)]) << ", R1 "
                   << (big ? "16" : "8") << (magnified ? " magnified" : "") << ", table " << table.str();
        }
        bool expected = model.collision();
        collisions += expected;
        fifths += (model.fifth() & STATUS_FIFTH) != 0;
        vdp_frame_end();
        uint8_t status = vdp_read_status();
        ASSERT_EQ((status & STATUS_COLLISION) != 0, expected)
            << "trial " << trial << ", R1 " << (big ? "16" : "8") << (magnified ? " magnified" : "")
            << ", table " << table.str();
        ASSERT_EQ(status & 0x5F, model.fifth()) << "trial " << trial << ", table " << table.str();
    }
    // Both outcomes must be common, or the comparison proves little.
    EXPECT_GT(collisions, trials / 5);
    EXPECT_LT(collisions, trials * 4 / 5);
    EXPECT_GT(fifths, trials / 5);
    EXPECT_LT(fifths, trials * 4 / 5);
}

} // namespace
