// JPEG encoding of pictures held in memory, through libjpeg's compressor.
#pragma once

#include <cstdint>
#include <vector>

enum class JpegPixels {
  kRgb,   // three bytes per pixel: red, green, blue
  kBgr,   // three bytes per pixel: blue, green, red (as the engine's loaders return them)
  kGrey,  // one byte per pixel
};

struct JpegSettings {
  int quality = 92;
  bool progressive = false;
  // Colour at full resolution (no chroma subsampling): sharper hard colour edges.
  bool fullChroma = false;
};

// Baseline (or progressive) JPEG of width × height pixels, top row first. Empty on failure.
std::vector<std::uint8_t> encodeJpeg(const std::uint8_t* pixels, int width, int height, JpegPixels layout,
                                     const JpegSettings& settings = {});
