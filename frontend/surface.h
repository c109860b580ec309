// Drawing surfaces and loaded pictures. A Surface is 16-bit RGB565 pixel memory (the visible
// screen or the front end's back buffer); an Image is a decoded picture kept in the program-wide
// image list. The front-end screens, the status line and the frame presentation draw through
// these operations. Every operation clips to the surface: nothing outside it is touched, and
// what lies inside is drawn exactly as without clipping.
#pragma once
#include <cstdint>

struct Surface {
    uint16_t* pixels;
    uint8_t rotated; // 1: a 240-wide frame stored turned by 90 degrees (only blit looks at it)
    uint8_t bits_per_pixel;
    uint16_t pitch; // pixels from one row to the next
    uint16_t width;
    uint16_t height;
};

struct Image {
    char source[32];
    char name[32];
    uint16_t width, height;
    uint16_t* pixels;
    uint8_t* alpha; // per-pixel alpha from a TGA picture, or nullptr
    Image* next;    // the image loaded before this one
};

// The visible screen and the front end's composing buffer, both 320 x 240 (set up by the program
// entry, never released).
extern Surface screen_surface;
extern Surface back_surface;

// Head of the image list (most recently loaded first).
extern Image* image_list;

// Colour keys in images: a transparent pixel and a shadow pixel, which text drawing shows as
// IMAGE_SHADOW_COLOUR.
constexpr uint16_t IMAGE_TRANSPARENT = 0xFEDC;
constexpr uint16_t IMAGE_SHADOW = 0xFEDD;
constexpr uint16_t IMAGE_SHADOW_COLOUR = 0x7B6E;

void fill_rect(Surface* s, uint16_t colour, uint16_t x, uint16_t y, uint16_t w, uint16_t h);
void draw_hline(Surface* s, uint16_t colour, uint16_t x, uint16_t y, uint16_t length);
void draw_vline(Surface* s, uint16_t colour, uint16_t x, uint16_t y, uint16_t length);
void draw_line(Surface* s, uint16_t colour, int x1, int y1, int x2, int y2);
void blit(const Surface* source, Surface* destination, uint16_t sx, uint16_t sy, uint16_t w, uint16_t h,
          uint16_t dx, uint16_t dy);
void recolour_image(Image* image, uint16_t from, uint16_t to);
Image* current_image();
