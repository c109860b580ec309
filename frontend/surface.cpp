// Fills, lines and copies on RGB565 surfaces, clipped to the surface.
#include "frontend/surface.h"

#include <algorithm>
#include <cstdlib>

Surface screen_surface;
Surface back_surface;
Image* image_list = nullptr;

namespace {

// Clips the span [start, start + length) to [0, limit); false when nothing is left. The sums are
// 16-bit as the callers' coordinates, so a span whose end wraps past 0xFFFF draws nothing.
bool clip_span(uint16_t start, uint16_t length, uint16_t limit, uint16_t& out_start, uint16_t& out_length) {
    uint16_t end = uint16_t(start + length);
    if (end <= start || start >= limit) return false;
    out_start = start;
    out_length = uint16_t(std::min<unsigned>(end, limit) - start);
    return true;
}

inline void fill_run(uint16_t* p, uint16_t colour, unsigned n) {
    // Unrolled by eight: the front end fills whole screens between games.
    while (n >= 8) {
        p[0] = p[1] = p[2] = p[3] = p[4] = p[5] = p[6] = p[7] = colour;
        p += 8;
        n -= 8;
    }
    while (n--) *p++ = colour;
}

inline void plot(Surface* s, uint16_t colour, int x, int y) {
    if (x >= 0 && y >= 0 && x < s->width && y < s->height)
        s->pixels[size_t(y) * s->pitch + size_t(x)] = colour;
}

} // namespace

void fill_rect(Surface* s, uint16_t colour, uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
    uint16_t cx, cw, cy, ch;
    if (!clip_span(x, w, s->width, cx, cw) || !clip_span(y, h, s->height, cy, ch)) return;
    for (unsigned row = cy; row < unsigned(cy) + ch; ++row)
        fill_run(s->pixels + size_t(row) * s->pitch + cx, colour, cw);
}

void draw_hline(Surface* s, uint16_t colour, uint16_t x, uint16_t y, uint16_t length) {
    uint16_t cx, cw;
    if (y >= s->height || !clip_span(x, length, s->width, cx, cw)) return;
    fill_run(s->pixels + size_t(y) * s->pitch + cx, colour, cw);
}

void draw_vline(Surface* s, uint16_t colour, uint16_t x, uint16_t y, uint16_t length) {
    uint16_t cy, ch;
    if (x >= s->width || !clip_span(y, length, s->height, cy, ch)) return;
    uint16_t* p = s->pixels + size_t(cy) * s->pitch + x;
    for (unsigned i = 0; i < ch; ++i, p += s->pitch) *p = colour;
}

void draw_line(Surface* s, uint16_t colour, int x1, int y1, int x2, int y2) {
    int dx = 2 * std::abs(x2 - x1), dy = 2 * std::abs(y2 - y1);
    int sx = x2 > x1 ? 1 : -1, sy = y2 > y1 ? 1 : -1;
    int x = x1, y = y1;
    if (dy < dx) {
        int error = dy - dx / 2;
        for (;;) {
            plot(s, colour, x, y);
            if (x == x2) break;
            if (error >= 0) {
                y += sy;
                error -= dx;
            }
            x += sx;
            error += dy;
        }
    } else {
        int error = dx - dy / 2;
        for (;;) {
            plot(s, colour, x, y);
            if (y == y2) break;
            if (error >= 0) {
                x += sx;
                error -= dy;
            }
            y += sy;
            error += dx;
        }
    }
}

void blit(const Surface* source, Surface* destination, uint16_t sx, uint16_t sy, uint16_t w, uint16_t h,
          uint16_t dx, uint16_t dy) {
    // Clip against the source first, then against the destination (whose width and height are
    // those of the frame as the program sees it, also when it is stored turned).
    uint16_t csx, cw, csy, ch;
    if (!clip_span(sx, w, source->width, csx, cw) || !clip_span(sy, h, source->height, csy, ch)) return;
    uint16_t cdx, cdy, dw, dh;
    if (!clip_span(dx, cw, destination->width, cdx, dw) || !clip_span(dy, ch, destination->height, cdy, dh))
        return;
    for (unsigned row = 0; row < dh; ++row) {
        const uint16_t* src = source->pixels + size_t(csy + row) * source->pitch + csx;
        if (destination->rotated) {
            // Each source row becomes a destination column of the turned frame.
            for (unsigned col = 0; col < dw; ++col) {
                unsigned tx = cdx + col, ty = cdy + row;
                destination->pixels[size_t(tx) * destination->pitch + (destination->height - 1 - ty)] =
                    src[col];
            }
        } else {
            uint16_t* dst = destination->pixels + size_t(cdy + row) * destination->pitch + cdx;
            std::copy(src, src + dw, dst);
        }
    }
}

void recolour_image(Image* image, uint16_t from, uint16_t to) {
    if (!image || !image->pixels) return;
    size_t n = size_t(image->width) * image->height;
    for (size_t i = 0; i < n; ++i)
        if (image->pixels[i] == from) image->pixels[i] = to;
}

Image* current_image() { return image_list; }
