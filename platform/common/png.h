// PNG files of the screen, through libpng: the runner's and the window's screenshots and the
// tests' golden pictures. The hosted back ends link it; the handheld writes no files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes RGB565 pixels (`pitch` pixels from one row to the next) as an 8-bit RGB PNG. Returns
// false on failure.
bool write_png_rgb565(const std::string& path, const uint16_t* pixels, int width, int height, int pitch);

// Reads an 8-bit RGB or RGBA PNG into 0xRRGGBB values. Returns false on failure.
bool read_png_rgb(const std::string& path, std::vector<uint32_t>& rgb, int& width, int& height);
