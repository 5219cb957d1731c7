// BMP pictures: uncompressed 8-bit (palette) and 24-bit, rows bottom first, padded to 4 bytes.
#include <cstdlib>
#include <cstring>

#include "image/image_loader.h"
#include "image/picture_buffer.h"

namespace {

constexpr uint16_t kSignature = 19778;  // "BM"
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;

unsigned char* decodeBmpFile(DataFile& file, int32_t* width, int32_t* height, uint64_t maxPixels) {
  if (file.readWord() != kSignature) return nullptr;
  if (file.size < kFileHeaderSize + kInfoHeaderSize) return nullptr;
  file.readDword();  // file size
  file.readWord();
  file.readWord();
  const uint32_t pixelOffset = file.readDword();
  const uint32_t infoSize = file.readDword();
  const int32_t w = int32_t(file.readDword());
  const int32_t h = int32_t(file.readDword());
  file.readWord();  // planes
  const uint16_t bits = file.readWord();
  const uint32_t compression = file.readDword();
  for (int i = 0; i < 5; ++i) file.readDword();  // image size, resolutions, colours used and important
  *width = w;
  *height = h;
  // Older or compressed variants lay their data out differently; only the plain ones are read.
  if (infoSize < kInfoHeaderSize || compression != kUncompressed) return nullptr;
  if (bits != 8 && bits != 24) return nullptr;
  if (!picture::sizeAccepted(w, h, maxPixels)) return nullptr;

  const uint32_t bytesPerPixel = bits / 8;
  const uint64_t rowBytes = uint64_t(w) * bytesPerPixel;
  const uint64_t stride = (rowBytes + 3) / 4 * 4;
  // Every row must be in the file; the last row's padding may be missing.
  if (pixelOffset >= file.size || stride * uint64_t(h - 1) + rowBytes > file.size - pixelOffset) return nullptr;

  uint8_t palette[1024];
  std::memset(palette, 0, sizeof palette);
  if (bits == 8) {
    const uint64_t paletteOffset = uint64_t(kFileHeaderSize) + infoSize;
    if (paletteOffset >= file.size) return nullptr;
    file.seek(int32_t(paletteOffset), 0);
    file.readBytes(palette, sizeof palette);  // a short palette leaves the rest black
  }

  unsigned char* pixels = picture::allocate(w, h);
  auto* indices = bits == 8 ? static_cast<uint8_t*>(std::malloc(size_t(w))) : nullptr;
  if (pixels == nullptr || (bits == 8 && indices == nullptr)) {
    std::free(pixels);
    std::free(indices);
    return nullptr;
  }
  const size_t outRow = size_t(w) * 3;
  const int32_t padding = int32_t(stride - rowBytes);
  file.seek(int32_t(pixelOffset), 0);
  for (int32_t y = h - 1; y >= 0; --y) {
    unsigned char* out = pixels + size_t(y) * outRow;
    if (bits == 24) {
      file.readBytes(out, int32_t(outRow));
    } else {
      file.readBytes(indices, w);
      for (int32_t x = 0; x < w; ++x, out += 3) {
        const uint8_t* entry = palette + size_t(indices[x]) * 4;
        out[0] = entry[0];
        out[1] = entry[1];
        out[2] = entry[2];
      }
    }
    file.seek(padding, 1);
  }
  std::free(indices);
  return pixels;
}

}  // namespace

unsigned char* decodeBmp(const unsigned char* data, size_t size, int32_t* width, int32_t* height, uint64_t maxPixels) {
  int32_t ignoredWidth = 0, ignoredHeight = 0;
  DataFile file;
  if (!picture::attach(file, data, size)) return nullptr;
  return decodeBmpFile(file, width ? width : &ignoredWidth, height ? height : &ignoredHeight, maxPixels);
}

unsigned char* loadBmp(const char* fileName, int32_t* width, int32_t* height) {
  int32_t ignoredWidth = 0, ignoredHeight = 0;
  DataFile file;
  if (fileName == nullptr || !file.open(fileName, 1)) return nullptr;
  return decodeBmpFile(file, width ? width : &ignoredWidth, height ? height : &ignoredHeight,
                       uint64_t(kMaxImageSide) * kMaxImageSide);
}
