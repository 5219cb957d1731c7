// Shared body of the picture decoder fuzz targets: decode, touch every returned byte, and
// push successful pictures through conversion and both scaling filters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gfx/pixel_format.h"
#include "image/pixel_conversion.h"

namespace image_fuzz {

// Pictures beyond this many pixels are refused so that each input decodes quickly.
constexpr uint64_t kMaxFuzzPixels = 1u << 20;

using Decoder = unsigned char* (*)(const unsigned char*, size_t, int32_t*, int32_t*, uint64_t);

inline int run(Decoder decode, const uint8_t* data, size_t size) {
  int32_t width = 0, height = 0;
  unsigned char* pixels = decode(data, size, &width, &height, kMaxFuzzPixels);
  if (pixels == nullptr) return 0;
  // The buffer must hold exactly width × height × 3 bytes: read all of them.
  const size_t bytes = size_t(width) * size_t(height) * 3;
  volatile unsigned sum = 0;
  for (size_t i = 0; i < bytes; ++i) sum = sum + pixels[i];
  const PixelFormat source = picture24Format();
  const PixelFormat rgb565 = {16, 0, 0xf800, 0x07e0, 0x001f};
  uint16_t small[7 * 5];
  scaleImage(&source, pixels, width, height, width * 3, &rgb565, small, 7, 5, 7 * 2);
  uint32_t large[33 * 17];
  scaleImage(&source, pixels, width, height, width * 3, &rgb565, large, 33, 17, 33 * 4);
  std::free(pixels);
  return 0;
}

}  // namespace image_fuzz
