// PNG output of pictures and rendered frames, 8-bit RGB, through libpng.
#pragma once

#include <cstdint>

// A decoded picture: width × height × 3 bytes, blue-green-red, top row first.
bool writePngBgr(const char* path, const unsigned char* bgr, int width, int height);
// A rendered frame: 0xAARRGGBB values, top row first; alpha is dropped.
bool writePngArgb(const char* path, const std::uint32_t* pixels, int width, int height);
