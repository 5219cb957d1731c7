// Test picture writers: BMP/TGA/PCX byte by byte, JPEG through the shared writers library.
#include "support/image_writers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "writers/jpeg_writer.h"

namespace image_test {

namespace {

void put16(Bytes& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void put32(Bytes& out, uint32_t v) {
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}

void bmpHeaders(Bytes& out, int width, int height, int bits, uint32_t pixelOffset, uint32_t imageSize) {
  put16(out, 19778);  // "BM"
  put32(out, pixelOffset + imageSize);
  put16(out, 0);
  put16(out, 0);
  put32(out, pixelOffset);
  put32(out, 40);
  put32(out, uint32_t(width));
  put32(out, uint32_t(height));
  put16(out, 1);
  put16(out, uint32_t(bits));
  put32(out, 0);  // compression
  put32(out, imageSize);
  put32(out, 2835);
  put32(out, 2835);
  put32(out, bits == 8 ? 256 : 0);
  put32(out, 0);
}

}  // namespace

Bytes makePattern(int width, int height, uint32_t seed) {
  Bytes out(size_t(width) * height * 3);
  uint32_t state = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &out[(size_t(y) * width + x) * 3];
      state = state * 1664525u + 1013904223u;
      p[0] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
      p[1] = uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
      p[2] = ((x / 4 + y / 4) % 2) ? uint8_t(200 + (state >> 28)) : uint8_t(30 + (state >> 29));
    }
  }
  return out;
}

Bytes writeBmp24(const Bytes& bgr, int width, int height, bool padRows) {
  const int rowBytes = width * 3;
  const int stride = padRows ? (rowBytes + 3) / 4 * 4 : rowBytes;
  Bytes out;
  bmpHeaders(out, width, height, 24, 54, uint32_t(stride * height));
  for (int y = height - 1; y >= 0; --y) {
    out.insert(out.end(), bgr.begin() + size_t(y) * rowBytes, bgr.begin() + size_t(y + 1) * rowBytes);
    out.insert(out.end(), size_t(stride - rowBytes), 0);
  }
  return out;
}

Bytes writeBmp8(const Bytes& indices, const Bytes& palette, int width, int height, bool padRows) {
  const int stride = padRows ? (width + 3) / 4 * 4 : width;
  Bytes out;
  bmpHeaders(out, width, height, 8, 54 + 1024, uint32_t(stride * height));
  Bytes table = palette;
  table.resize(1024, 0);
  out.insert(out.end(), table.begin(), table.end());
  for (int y = height - 1; y >= 0; --y) {
    out.insert(out.end(), indices.begin() + size_t(y) * width, indices.begin() + size_t(y + 1) * width);
    out.insert(out.end(), size_t(stride - width), 0);
  }
  return out;
}

Bytes writeTga24(const Bytes& bgr, int width, int height, const std::string& id) {
  Bytes out;
  out.push_back(uint8_t(id.size()));
  out.push_back(0);  // no colour map
  out.push_back(2);  // uncompressed true colour
  out.insert(out.end(), 5, 0);
  put16(out, 0);
  put16(out, 0);
  put16(out, uint32_t(width));
  put16(out, uint32_t(height));
  out.push_back(24);
  out.push_back(0);  // bottom-left origin
  out.insert(out.end(), id.begin(), id.end());
  const size_t rowBytes = size_t(width) * 3;
  for (int y = height - 1; y >= 0; --y) {
    out.insert(out.end(), bgr.begin() + y * rowBytes, bgr.begin() + (y + 1) * rowBytes);
  }
  return out;
}

Bytes writePcx24(const Bytes& bgr, int width, int height, int bytesPerLine) {
  if (bytesPerLine == 0) bytesPerLine = (width + 1) / 2 * 2;
  Bytes out(128, 0);
  out[0] = 10;
  out[1] = 5;
  out[2] = 1;
  out[3] = 8;
  auto at16 = [&](size_t offset, uint32_t v) {
    out[offset] = uint8_t(v);
    out[offset + 1] = uint8_t(v >> 8);
  };
  at16(4, 0);
  at16(6, 0);
  at16(8, uint32_t(width - 1));
  at16(10, uint32_t(height - 1));
  at16(12, 72);
  at16(14, 72);
  out[65] = 3;
  at16(66, uint32_t(bytesPerLine));
  at16(68, 1);
  Bytes row(size_t(bytesPerLine) * 3);
  for (int y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &bgr[(size_t(y) * width + x) * 3];
      row[x] = p[2];
      row[bytesPerLine + x] = p[1];
      row[2 * bytesPerLine + x] = p[0];
    }
    // Runs stay inside one plane's line, as the format asks of encoders.
    for (int plane = 0; plane < 3; ++plane) {
      const uint8_t* line = &row[size_t(plane) * bytesPerLine];
      int x = 0;
      while (x < bytesPerLine) {
        int run = 1;
        while (x + run < bytesPerLine && run < 63 && line[x + run] == line[x]) ++run;
        if (run > 1 || (line[x] & 0xc0) == 0xc0) out.push_back(uint8_t(0xc0 | run));
        out.push_back(line[x]);
        x += run;
      }
    }
  }
  return out;
}

Bytes writeJpeg(const Bytes& pixels, int width, int height, int components, int quality, bool progressive) {
  JpegSettings settings;
  settings.quality = quality;
  settings.progressive = progressive;
  settings.fullChroma = true;  // decoded pixels stay close to the source at hard edges
  return encodeJpeg(pixels.data(), width, height, components == 1 ? JpegPixels::kGrey : JpegPixels::kBgr, settings);
}

bool writeFile(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string makeTempDir(const std::string& tag) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vellumite_" + tag + "_XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return {};
  return std::string(name.data());
}

}  // namespace image_test
