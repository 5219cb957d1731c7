// Picture files made by the tests themselves: BMP, TGA and PCX written byte by byte, JPEG
// encoded with libjpeg. Pixels are given as the loaders return them: blue, green, red, top row first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace image_test {

using Bytes = std::vector<uint8_t>;

// A deterministic test picture: smooth gradients plus a few hard edges.
Bytes makePattern(int width, int height, uint32_t seed = 1);

// Uncompressed 24-bit BMP, bottom row first; rows padded to 4 bytes unless padRows is false.
Bytes writeBmp24(const Bytes& bgr, int width, int height, bool padRows = true);
// 8-bit BMP with a 256-entry palette (blue, green, red, reserved) and one index per pixel.
Bytes writeBmp8(const Bytes& indices, const Bytes& palette, int width, int height, bool padRows = true);
// Uncompressed 24-bit TGA, bottom row first, with an optional ID field.
Bytes writeTga24(const Bytes& bgr, int width, int height, const std::string& id = "");
// Three-plane 8-bit PCX, run-length encoded; bytesPerLine 0 means width rounded up to even.
Bytes writePcx24(const Bytes& bgr, int width, int height, int bytesPerLine = 0);
// Baseline JPEG of three (RGB) or one (grey) components, from blue-green-red or grey pixels.
Bytes writeJpeg(const Bytes& pixels, int width, int height, int components, int quality = 95, bool progressive = false);

// Writes bytes to a file; false on failure.
bool writeFile(const std::string& path, const Bytes& bytes);
// A fresh folder under the temporary directory for one test.
std::string makeTempDir(const std::string& tag);

}  // namespace image_test
