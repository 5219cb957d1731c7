// Pixel layout record shared by textures, surfaces and the pixel conversion routines.
#pragma once

#include <cstdint>

// A pixel layout: bits per pixel and the four channel masks.
struct PixelFormat {
  std::uint8_t bitsPerPixel;
  std::uint32_t alphaMask;
  std::uint32_t redMask;
  std::uint32_t greenMask;
  std::uint32_t blueMask;
};

// Bytes one pixel takes: 1 up to 8 bits, 2 up to 16, 3 up to 24, 4 above.
inline int bytesPerPixel(const PixelFormat& format) {
  if (format.bitsPerPixel <= 8) return 1;
  if (format.bitsPerPixel <= 16) return 2;
  if (format.bitsPerPixel <= 24) return 3;
  return 4;
}

// The decoded picture layout: three bytes per pixel, blue, green, red.
inline PixelFormat picture24Format() { return PixelFormat{24, 0, 0xff0000u, 0xff00u, 0xffu}; }

// A 32-bit picture with an alpha channel in the top byte.
inline PixelFormat picture32AlphaFormat() { return PixelFormat{32, 0xff000000u, 0xff0000u, 0xff00u, 0xffu}; }
