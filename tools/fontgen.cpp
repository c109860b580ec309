// The font generator: writes the built-in font picture as C++ source (frontend/font_data.cpp)
// or, with --pcx, as a PCX file to look at.
//   fontgen frontend/font_data.cpp
//   fontgen --pcx font.pcx
#include "tools/font_pcx.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    bool pcx = argc == 3 && std::strcmp(argv[1], "--pcx") == 0;
    if (argc != 2 && !pcx) {
        std::fprintf(stderr, "usage: fontgen OUTPUT.cpp | fontgen --pcx OUTPUT.pcx\n");
        return 2;
    }
    std::vector<uint8_t> bytes = build_font_pcx();
    FILE* f = std::fopen(argv[argc - 1], pcx ? "wb" : "w");
    if (!f) {
        std::perror(argv[argc - 1]);
        return 1;
    }
    if (pcx) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    } else {
        std::fprintf(f, "// The built-in font picture, made by tools/fontgen from tools/font_glyphs.h. Do not edit.\n");
        std::fprintf(f, "#include \"frontend/font.h\"\n\n");
        std::fprintf(f, "const uint8_t BUILTIN_FONT_PCX[] = {");
        for (size_t i = 0; i < bytes.size(); ++i)
            std::fprintf(f, "%s0x%02X,", i % 16 == 0 ? "\n    " : " ", bytes[i]);
        std::fprintf(f, "\n};\nconst size_t BUILTIN_FONT_PCX_BYTES = sizeof BUILTIN_FONT_PCX;\n");
    }
    return std::fclose(f) == 0 ? 0 : 1;
}
