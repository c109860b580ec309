// Makes the boot ROM's 8 x 8 font from the glyph art below: 96 glyphs for the characters 0x20 to
// 0x7F, eight bytes each (one per pixel row, top first, bit 7 the leftmost pixel), 768 bytes in
// all. Cartridges copy it into video memory and use it in any display mode, so every glyph keeps
// to columns 1..5: in the 6-pixel cells of the text mode (bits 7..2) the whole glyph shows, with
// column 0 as the gap; in the 8-pixel cells of the graphics modes it sits in the middle.
//
//   velkoro-bootfontgen asm FILE   writes the assembly source the boot ROM includes
//                                  (roms/boot_font.asm)
//   velkoro-bootfontgen bin FILE   writes the 768 bytes themselves
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Glyph art: 5 columns by 8 rows per glyph, '#' = ink. Capitals and digits stand on rows 0..6,
// small letters on rows 2..6; those with a tail (g, j, p, q, y) sit one row higher and hang down
// to row 7. Each block names its characters, then gives the eight rows with the glyphs side by
// side, one space apart.
struct ArtBlock {
    const char* chars;
    const char* rows[8];
};

constexpr ArtBlock ART[] = {
    {" !\"#$%&'",
     {"..... ..#.. .#.#. .#.#. ..#.. ##... .##.. ..#..", "..... ..#.. .#.#. .#.#. .#### ##..# #..#. ..#..",
      "..... ..#.. .#.#. ##### #.#.. ...#. #.#.. .#...", "..... ..#.. ..... .#.#. .###. ..#.. .#... .....",
      "..... ..#.. ..... ##### ..#.# .#... #.#.# .....", "..... ..... ..... .#.#. ####. #..## #..#. .....",
      "..... ..#.. ..... .#.#. ..#.. ...## .##.# .....", "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"()*+,-./",
     {"...#. .#... ..... ..... ..... ..... ..... .....", "..#.. ..#.. ..#.. ..#.. ..... ..... ..... ....#",
      ".#... ...#. #.#.# ..#.. ..... ..... ..... ...#.", ".#... ...#. .###. ##### ..... ##### ..... ..#..",
      ".#... ...#. #.#.# ..#.. ..... ..... ..... .#...", "..#.. ..#.. ..#.. ..#.. .##.. ..... .##.. #....",
      "...#. .#... ..... ..... ..#.. ..... .##.. .....", "..... ..... ..... ..... .#... ..... ..... ....."}},
    {"01234567",
     {".###. ..#.. .###. ##### ...#. ##### ..##. #####", "#...# .##.. #...# ...#. ..##. #.... .#... ....#",
      "#..## ..#.. ....# ..#.. .#.#. ####. #.... ...#.", "#.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#..",
      "##..# ..#.. ..#.. ....# ##### ....# #...# .#...", "#...# ..#.. .#... #...# ...#. #...# #...# .#...",
      ".###. .###. ##### .###. ...#. .###. .###. .#...", "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"89:;<=>?",
     {".###. .###. ..... ..... ...#. ..... .#... .###.", "#...# #...# .##.. .##.. ..#.. ..... ..#.. #...#",
      "#...# #...# .##.. .##.. .#... ##### ...#. ....#", ".###. .#### ..... ..... #.... ..... ....# ...#.",
      "#...# ....# .##.. .##.. .#... ##### ...#. ..#..", "#...# ...#. .##.. .##.. ..#.. ..... ..#.. .....",
      ".###. .##.. ..... ..#.. ...#. ..... .#... ..#..", "..... ..... ..... .#... ..... ..... ..... ....."}},
    {"@ABCDEFG",
     {".###. .###. ####. .###. ###.. ##### ##### .###.", "#...# #...# #...# #...# #..#. #.... #.... #...#",
      "#.### #...# #...# #.... #...# #.... #.... #....", "#.#.# ##### ####. #.... #...# ####. ####. #.###",
      "#.### #...# #...# #.... #...# #.... #.... #...#", "#.... #...# #...# #...# #..#. #.... #.... #...#",
      ".###. #...# ####. .###. ###.. ##### #.... .####", "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"HIJKLMNO",
     {"#...# .###. ..### #...# #.... #...# #...# .###.", "#...# ..#.. ...#. #..#. #.... ##.## #...# #...#",
      "#...# ..#.. ...#. #.#.. #.... #.#.# ##..# #...#", "##### ..#.. ...#. ##... #.... #.#.# #.#.# #...#",
      "#...# ..#.. ...#. #.#.. #.... #...# #..## #...#", "#...# ..#.. #..#. #..#. #.... #...# #...# #...#",
      "#...# .###. .##.. #...# ##### #...# #...# .###.", "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"PQRSTUVW",
     {"####. .###. ####. .#### ##### #...# #...# #...#", "#...# #...# #...# #.... ..#.. #...# #...# #...#",
      "#...# #...# #...# #.... ..#.. #...# #...# #...#", "####. #...# ####. .###. ..#.. #...# #...# #.#.#",
      "#.... #.#.# #.#.. ....# ..#.. #...# #...# #.#.#", "#.... #..#. #..#. ....# ..#.. #...# .#.#. #.#.#",
      "#.... .##.# #...# ####. ..#.. .###. ..#.. .#.#.", "..... ..... ..... ..... ..... ..... ..... ....."}},
    {"XYZ[\\]^_",
     {"#...# #...# ##### .###. ..... .###. ..#.. .....", "#...# #...# ....# .#... #.... ...#. .#.#. .....",
      ".#.#. .#.#. ...#. .#... .#... ...#. #...# .....", "..#.. ..#.. ..#.. .#... ..#.. ...#. ..... .....",
      ".#.#. ..#.. .#... .#... ...#. ...#. ..... .....", "#...# ..#.. #.... .#... ....# ...#. ..... .....",
      "#...# ..#.. ##### .###. ..... .###. ..... .....", "..... ..... ..... ..... ..... ..... ..... #####"}},
    {"`abcdefg",
     {".#... ..... #.... ..... ....# ..... ..##. .....", "..#.. ..... #.... ..... ....# ..... .#..# .....",
      "...#. .###. #.##. .###. .##.# .###. .#... .####", "..... ....# ##..# #.... #..## #...# ###.. #...#",
      "..... .#### #...# #.... #...# ##### .#... #...#", "..... #...# #...# #...# #...# #.... .#... .####",
      "..... .#### ####. .###. .#### .###. .#... ....#", "..... ..... ..... ..... ..... ..... ..... .###."}},
    {"hijklmno",
     {"#.... ..#.. ...#. #.... .##.. ..... ..... .....", "#.... ..... ..... #.... ..#.. ..... ..... .....",
      "#.##. .##.. ..##. #..#. ..#.. ##.#. #.##. .###.", "##..# ..#.. ...#. #.#.. ..#.. #.#.# ##..# #...#",
      "#...# ..#.. ...#. ##... ..#.. #.#.# #...# #...#", "#...# ..#.. ...#. #.#.. ..#.. #.#.# #...# #...#",
      "#...# .###. #..#. #..#. .###. #...# #...# .###.", "..... ..... .##.. ..... ..... ..... ..... ....."}},
    {"pqrstuvw",
     {"..... ..... ..... ..... .#... ..... ..... .....", "..... ..... ..... ..... .#... ..... ..... .....",
      "####. .#### #.##. .#### ###.. #...# #...# #...#", "#...# #...# ##..# #.... .#... #...# #...# #...#",
      "#...# #...# #.... .###. .#... #...# #...# #.#.#", "####. .#### #.... ....# .#..# #..## .#.#. #.#.#",
      "#.... ....# #.... ####. ..##. .##.# ..#.. .#.#.", "#.... ....# ..... ..... ..... ..... ..... ....."}},
    {"xyz{|}~\x7F",
     {"..... ..... ..... ...#. ..#.. .#... ..... #####", "..... ..... ..... ..#.. ..#.. ..#.. ..... #####",
      "#...# #...# ##### ..#.. ..#.. ..#.. .#... #####", ".#.#. #...# ...#. .#... ..#.. ...#. #.#.# #####",
      "..#.. #...# ..#.. ..#.. ..#.. ..#.. ...#. #####", ".#.#. .#### .#... ..#.. ..#.. ..#.. ..... #####",
      "#...# ....# ##### ...#. ..#.. .#... ..... #####", "..... .###. ..... ..... ..... ..... ..... ....."}},
};

constexpr int ART_W = 5, ART_H = 8;
constexpr int FIRST = 0x20, COUNT = 96;

// Draws every glyph; false (with a message) when the art is incomplete or malformed.
bool draw_font(std::vector<uint8_t>& font) {
    font.assign(size_t(COUNT) * ART_H, 0);
    std::vector<bool> drawn(COUNT, false);
    for (const ArtBlock& block : ART) {
        size_t glyphs = std::strlen(block.chars);
        for (int row = 0; row < ART_H; ++row) {
            const char* line = block.rows[row];
            if (std::strlen(line) != glyphs * (ART_W + 1) - 1) {
                std::fprintf(stderr, "art row %d of block \"%s\" has the wrong length\n", row, block.chars);
                return false;
            }
            for (size_t g = 0; g < glyphs; ++g) {
                int code = static_cast<unsigned char>(block.chars[g]) - FIRST;
                if (code < 0 || code >= COUNT || (row == 0 && drawn[size_t(code)])) {
                    std::fprintf(stderr, "character 0x%02X is out of range or drawn twice\n", code + FIRST);
                    return false;
                }
                drawn[size_t(code)] = true;
                uint8_t bits = 0;
                for (int col = 0; col < ART_W; ++col) {
                    char c = line[g * (ART_W + 1) + size_t(col)];
                    if (c != '#' && c != '.') {
                        std::fprintf(stderr, "stray '%c' in the art of 0x%02X\n", c, code + FIRST);
                        return false;
                    }
                    if (c == '#') bits |= uint8_t(0x40 >> col); // column 1 of the cell is bit 6
                }
                font[size_t(code) * ART_H + size_t(row)] = bits;
            }
        }
    }
    for (int code = 0; code < COUNT; ++code)
        if (!drawn[size_t(code)]) {
            std::fprintf(stderr, "no glyph art for 0x%02X\n", code + FIRST);
            return false;
        }
    return true;
}

bool write_bin(const char* path, const std::vector<uint8_t>& font) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(font.data(), 1, font.size(), f) == font.size();
    return std::fclose(f) == 0 && ok;
}

bool write_asm(const char* path, const std::vector<uint8_t>& font) {
    FILE* f = std::fopen(path, "w");
    if (!f) return false;
    std::fprintf(f, "; The boot ROM's 8 x 8 font, characters 0x20 to 0x7F, eight bytes each. Generated by\n"
                    "; tools/bootfontgen.cpp from its glyph art: do not edit; rebuild it with\n"
                    "; `ninja -C build velkoro-boot-font`.\n"
                    "font:\n");
    for (int code = 0; code < COUNT; ++code) {
        std::fprintf(f, "        db ");
        for (int row = 0; row < ART_H; ++row)
            std::fprintf(f, "0x%02X%s", font[size_t(code) * ART_H + size_t(row)],
                         row + 1 < ART_H ? ", " : "");
        std::fprintf(f, " ; 0x%02X\n", code + FIRST);
    }
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "asm") != 0 && std::strcmp(argv[1], "bin") != 0)) {
        std::fprintf(stderr, "usage: %s asm|bin FILE\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> font;
    if (!draw_font(font)) return 1;
    bool ok = std::strcmp(argv[1], "asm") == 0 ? write_asm(argv[2], font) : write_bin(argv[2], font);
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
