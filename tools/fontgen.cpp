// Makes the built-in font picture from the glyph art below: a 144 x 144 8-bit PCX (version 5,
// run-length encoded, 256-colour palette after a 0x0C marker) with one 9 x 9 cell per position
// of the character-order string. Each glyph is drawn in white with a one-pixel shadow below and
// to the right, on the (123, 123, 123) background that the loader turns transparent.
//
//   velkoro-fontgen pcx FILE   writes the PCX file
//   velkoro-fontgen cpp FILE   writes the C++ source that embeds it (frontend/font_data.cpp)
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/font.h"

namespace {

// Glyph art: 5 columns by 9 rows per glyph, '#' = ink. Capitals and digits stand on rows 0..6,
// descenders use rows 7 and 8; column 5 and the rows below the ink take the shadow. Each block
// names its characters, then gives the nine rows with the glyphs side by side, one space apart.
struct ArtBlock {
    const char* chars;
    const char* rows[9];
};

constexpr ArtBlock ART[] = {
    {"01234567",
     {".###. ..#.. .###. ##### ...#. ##### ..##. #####", "#...# .##.. #...# ...#. ..##. #.... .#... ....#",
      "#..## ..#.. ....# ..#.. .#.#. ####. #.... ...#.", "#.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#..",
      "##..# ..#.. ..#.. ....# ##### ....# #...# .#...", "#...# ..#.. .#... #...# ...#. #...# #...# .#...",
      ".###. .###. ##### .###. ...#. .###. .###. .#...", "..... ..... ..... ..... ..... ..... ..... .....",
      "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"89ABCDEF",
     {".###. .###. .###. ####. .###. ###.. ##### #####", "#...# #...# #...# #...# #...# #..#. #.... #....",
      "#...# #...# #...# #...# #.... #...# #.... #....", ".###. .#### ##### ####. #.... #...# ####. ####.",
      "#...# ....# #...# #...# #.... #...# #.... #....", "#...# ...#. #...# #...# #...# #..#. #.... #....",
      ".###. .##.. #...# ####. .###. ###.. ##### #....", "..... ..... ..... ..... ..... ..... ..... .....",
      "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"GHIJKLMN",
     {".###. #...# .###. ..### #...# #.... #...# #...#", "#...# #...# ..#.. ...#. #..#. #.... ##.## #...#",
      "#.... #...# ..#.. ...#. #.#.. #.... #.#.# ##..#", "#.### ##### ..#.. ...#. ##... #.... #.#.# #.#.#",
      "#...# #...# ..#.. ...#. #.#.. #.... #...# #..##", "#...# #...# ..#.. #..#. #..#. #.... #...# #...#",
      ".#### #...# .###. .##.. #...# ##### #...# #...#", "..... ..... ..... ..... ..... ..... ..... .....",
      "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"OPQRSTUV",
     {".###. ####. .###. ####. .#### ##### #...# #...#", "#...# #...# #...# #...# #.... ..#.. #...# #...#",
      "#...# #...# #...# #...# #.... ..#.. #...# #...#", "#...# ####. #...# ####. .###. ..#.. #...# #...#",
      "#...# #.... #.#.# #.#.. ....# ..#.. #...# #...#", "#...# #.... #..#. #..#. ....# ..#.. #...# .#.#.",
      ".###. #.... .##.# #...# ####. ..#.. .###. ..#..", "..... ..... ..... ..... ..... ..... ..... .....",
      "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"WXYZabcd",
     {"#...# #...# #...# ##### ..... #.... ..... ....#", "#...# #...# #...# ....# ..... #.... ..... ....#",
      "#...# .#.#. .#.#. ...#. .###. ####. .###. .####", "#.#.# ..#.. ..#.. ..#.. ....# #...# #.... #...#",
      "#.#.# .#.#. ..#.. .#... .#### #...# #.... #...#", "#.#.# #...# ..#.. #.... #...# #...# #...# #...#",
      ".#.#. #...# ..#.. ##### .#### ####. .###. .####", "..... ..... ..... ..... ..... ..... ..... .....",
      "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"efghijkl",
     {"..... ..##. ..... #.... ..#.. ...#. #.... .##..", "..... .#..# ..... #.... ..... ..... #.... ..#..",
      ".###. .#... .#### #.##. .##.. ..##. #..#. ..#..", "#...# ###.. #...# ##..# ..#.. ...#. #.#.. ..#..",
      "##### .#... #...# #...# ..#.. ...#. ##... ..#..", "#.... .#... #...# #...# ..#.. ...#. #.#.. ..#..",
      ".###. .#... .#### #...# .###. ...#. #..#. .###.", "..... ..... ....# ..... ..... #..#. ..... .....",
      "..... ..... .###. ..... ..... .##.. ..... ....."}},
    {"mnopqrst",
     {"..... ..... ..... ..... ..... ..... ..... .#...", "..... ..... ..... ..... ..... ..... ..... .#...",
      "##.#. #.##. .###. ####. .#### #.##. .#### ###..", "#.#.# ##..# #...# #...# #...# ##..# #.... .#...",
      "#.#.# #...# #...# #...# #...# #.... .###. .#...", "#.#.# #...# #...# #...# #...# #.... ....# .#..#",
      "#...# #...# .###. ####. .#### #.... ####. ..##.", "..... ..... ..... #.... ....# ..... ..... .....",
      "..... ..... ..... #.... ....# ..... ..... ....."}},
    {"uvwxyz!#",
     {"..... ..... ..... ..... ..... ..... ..#.. .#.#.", "..... ..... ..... ..... ..... ..... ..#.. .#.#.",
      "#...# #...# #...# #...# #...# ##### ..#.. #####", "#...# #...# #...# .#.#. #...# ...#. ..#.. .#.#.",
      "#...# #...# #.#.# ..#.. #...# ..#.. ..#.. #####", "#..## .#.#. #.#.# .#.#. #...# .#... ..... .#.#.",
      ".##.# ..#.. .#.#. #...# .#### ##### ..#.. .#.#.", "..... ..... ..... ..... ....# ..... ..... .....",
      "..... ..... ..... ..... .###. ..... ..... ....."}},
    {"$%&'()*+",
     {"..#.. ##... .##.. ..#.. ...#. .#... ..... .....", ".#### ##..# #..#. ..#.. ..#.. ..#.. ..#.. ..#..",
      "#.#.. ...#. #.#.. .#... .#... ...#. #.#.# ..#..", ".###. ..#.. .#... ..... .#... ...#. .###. #####",
      "..#.# .#... #.#.# ..... .#... ...#. #.#.# ..#..", "####. #..## #..#. ..... ..#.. ..#.. ..#.. ..#..",
      "..#.. ...## .##.# ..... ...#. .#... ..... .....", "..... ..... ..... ..... ..... ..... ..... .....",
      "..... ..... ..... ..... ..... ..... ..... ....."}},
    {",-./:;<=",
     {"..... ..... ..... ..... ..... ..... ...#. .....", "..... ..... ..... ....# .##.. .##.. ..#.. .....",
      "..... ..... ..... ...#. .##.. .##.. .#... #####", "..... ##### ..... ..#.. ..... ..... #.... .....",
      "..... ..... ..... .#... .##.. .##.. .#... #####", ".##.. ..... .##.. #.... .##.. ..#.. ..#.. .....",
      "..#.. ..... .##.. ..... ..... .#... ...#. .....", ".#... ..... ..... ..... ..... ..... ..... .....",
      "..... ..... ..... ..... ..... ..... ..... ....."}},
    {">?@[\\]^`",
     {".#... .###. .###. .###. ..... .###. ..#.. .#...", "..#.. #...# #...# .#... #.... ...#. .#.#. ..#..",
      "...#. ....# #.### .#... .#... ...#. #...# ...#.", "....# ...#. #.#.# .#... ..#.. ...#. ..... .....",
      "...#. ..#.. #.### .#... ...#. ...#. ..... .....", "..#.. ..... #.... .#... ....# ...#. ..... .....",
      ".#... ..#.. .###. .###. ..... .###. ..... .....", "..... ..... ..... ..... ..... ..... ..... .....",
      "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"{|}~",
     {"...#. ..#.. .#... .....", "..#.. ..#.. ..#.. .....", "..#.. ..#.. ..#.. .#...",
      ".#... ..#.. ...#. #.#.#", "..#.. ..#.. ..#.. ...#.", "..#.. ..#.. ..#.. .....",
      "...#. ..#.. .#... .....", "..... ..#.. ..... .....", "..... ..... ..... ....."}},
};

constexpr int ART_W = 5, ART_H = 9;
constexpr uint8_t BACKGROUND = 0, INK = 1, SHADOW = 2;
constexpr int SIZE = BUILTIN_FONT_PICTURE_SIZE;

// The art of one character, or nullptr when none is drawn.
bool find_art(char ch, const ArtBlock** block, int* index) {
    for (const ArtBlock& b : ART) {
        const char* at = std::strchr(b.chars, ch);
        if (ch && at) {
            *block = &b;
            *index = int(at - b.chars);
            return true;
        }
    }
    return false;
}

bool draw_glyphs(std::vector<uint8_t>& picture) {
    picture.assign(size_t(SIZE) * SIZE, BACKGROUND);
    for (int g = 0; g < 128; ++g) {
        char ch = BUILTIN_FONT_CHARSET[g];
        if (ch == ' ') continue;
        const ArtBlock* block;
        int index;
        if (!find_art(ch, &block, &index)) {
            std::fprintf(stderr, "no glyph art for '%c'\n", ch);
            return false;
        }
        int x0 = (BUILTIN_FONT_CELL * g) % SIZE, y0 = (BUILTIN_FONT_CELL * g) / SIZE * BUILTIN_FONT_CELL;
        auto inked = [&](int col, int row) {
            if (col < 0 || row < 0 || col >= ART_W || row >= ART_H) return false;
            const char* line = block->rows[row];
            size_t at = size_t(index) * (ART_W + 1) + size_t(col);
            return at < std::strlen(line) && line[at] == '#';
        };
        for (int row = 0; row < BUILTIN_FONT_LINE_HEIGHT; ++row)
            for (int col = 0; col < BUILTIN_FONT_GLYPH_WIDTH; ++col) {
                uint8_t v = inked(col, row) ? INK : inked(col - 1, row - 1) ? SHADOW : BACKGROUND;
                picture[size_t(y0 + row) * SIZE + size_t(x0 + col)] = v;
            }
    }
    return true;
}

void put_word(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = uint8_t(v & 0xFF);
    out[at + 1] = uint8_t(v >> 8);
}

std::vector<uint8_t> encode_pcx(const std::vector<uint8_t>& picture) {
    uint8_t palette[768] = {};
    const uint8_t colours[3][3] = {{123, 123, 123}, {0xFF, 0xFF, 0xFF}, {0xDE, 0x6F, 0xDE}};
    std::memcpy(palette, colours, sizeof colours);
    std::vector<uint8_t> out(128, 0);
    out[0] = 0x0A; // manufacturer
    out[1] = 5;    // version: 256-colour palette at the end
    out[2] = 1;    // run-length encoded
    out[3] = 8;    // bits per pixel
    put_word(out, 8, SIZE - 1);
    put_word(out, 10, SIZE - 1);
    put_word(out, 12, 72);
    put_word(out, 14, 72);
    std::memcpy(&out[16], palette, 48);
    out[65] = 1; // planes
    put_word(out, 66, SIZE);
    put_word(out, 68, 1); // palette kind: colour
    for (int y = 0; y < SIZE; ++y) {
        const uint8_t* line = &picture[size_t(y) * SIZE];
        for (int x = 0; x < SIZE;) {
            int run = 1;
            while (x + run < SIZE && run < 63 && line[x + run] == line[x]) ++run;
            if (run > 1 || (line[x] & 0xC0) == 0xC0) out.push_back(uint8_t(0xC0 | run));
            out.push_back(line[x]);
            x += run;
        }
    }
    out.push_back(0x0C);
    out.insert(out.end(), palette, palette + sizeof palette);
    return out;
}

bool write_pcx(const char* path, const std::vector<uint8_t>& pcx) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(pcx.data(), 1, pcx.size(), f) == pcx.size();
    return std::fclose(f) == 0 && ok;
}

bool write_cpp(const char* path, const std::vector<uint8_t>& pcx) {
    FILE* f = std::fopen(path, "w");
    if (!f) return false;
    std::fprintf(
        f,
        "// The built-in font picture (PCX). Generated by tools/fontgen.cpp from its glyph art: do not\n"
        "// edit; rebuild it with `ninja -C build velkoro-font-data`.\n"
        "#include \"frontend/font.h\"\n\n"
        "const uint32_t BUILTIN_FONT_PCX_BYTES = %zu;\n\n"
        "const uint8_t BUILTIN_FONT_PCX[] = {\n",
        pcx.size());
    for (size_t i = 0; i < pcx.size(); ++i)
        std::fprintf(f, "%s0x%02X,%s", i % 16 ? " " : "    ", pcx[i],
                     i % 16 == 15 || i + 1 == pcx.size() ? "\n" : "");
    std::fprintf(f, "};\n");
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "pcx") != 0 && std::strcmp(argv[1], "cpp") != 0)) {
        std::fprintf(stderr, "usage: %s pcx|cpp FILE\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> picture;
    if (!draw_glyphs(picture)) return 1;
    std::vector<uint8_t> pcx = encode_pcx(picture);
    bool ok = std::strcmp(argv[1], "pcx") == 0 ? write_pcx(argv[2], pcx) : write_cpp(argv[2], pcx);
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
