// PCX pictures: three run-length encoded 8-bit planes (red, green, blue) per row.
#include <cstdlib>

#include "image/image_loader.h"
#include "image/picture_buffer.h"

namespace {

// Size of the buffer one decoded row (all planes) must fit in.
constexpr int32_t kRowBufferSize = 32768;
constexpr uint32_t kHeaderSize = 128;

// Decodes one row of run-length data into row; false when the data ends early or a run
// would pass the end of the row.
bool decodeRow(DataFile& file, unsigned char* row, int32_t rowLength) {
  int32_t filled = 0;
  while (filled < rowLength) {
    if (file.atEnd()) return false;
    const uint8_t b = file.readByte();
    int32_t run = 1;
    uint8_t value = b;
    if ((b & 0xc0) == 0xc0) {
      run = b & 0x3f;
      if (file.atEnd()) return false;
      value = file.readByte();
    }
    if (run > rowLength - filled) return false;
    for (int32_t i = 0; i < run; ++i) row[filled++] = value;
  }
  return true;
}

unsigned char* decodePcxFile(DataFile& file, int32_t* width, int32_t* height, uint64_t maxPixels) {
  if (file.size < kHeaderSize) return nullptr;
  file.seek(3, 0);
  const uint8_t bitsPerPlane = file.readByte();
  const int32_t xMin = int16_t(file.readWord());
  const int32_t yMin = int16_t(file.readWord());
  const int32_t xMax = int16_t(file.readWord());
  const int32_t yMax = int16_t(file.readWord());
  file.seek(65, 0);
  const int32_t planes = int8_t(file.readByte());
  const int32_t bytesPerLine = file.readWord();
  const int32_t w = xMax - xMin + 1;
  const int32_t h = yMax - yMin + 1;
  *width = w;
  *height = h;
  // Only three 8-bit planes, each line long enough for the picture, all within the row buffer.
  if (planes != 3 || bitsPerPlane != 8) return nullptr;
  if (!picture::sizeAccepted(w, h, maxPixels)) return nullptr;
  if (bytesPerLine < w || planes * bytesPerLine > kRowBufferSize) return nullptr;

  const int32_t rowLength = planes * bytesPerLine;
  auto* row = static_cast<unsigned char*>(std::malloc(size_t(rowLength)));
  unsigned char* pixels = picture::allocate(w, h);
  if (row == nullptr || pixels == nullptr) {
    std::free(row);
    std::free(pixels);
    return nullptr;
  }
  file.seek(int32_t(kHeaderSize), 0);
  for (int32_t y = 0; y < h; ++y) {
    if (!decodeRow(file, row, rowLength)) {
      std::free(row);
      std::free(pixels);
      return nullptr;
    }
    unsigned char* out = pixels + size_t(y) * size_t(w) * 3;
    for (int32_t x = 0; x < w; ++x, out += 3) {
      out[0] = row[2 * bytesPerLine + x];
      out[1] = row[bytesPerLine + x];
      out[2] = row[x];
    }
  }
  std::free(row);
  return pixels;
}

}  // namespace

unsigned char* decodePcx(const unsigned char* data, size_t size, int32_t* width, int32_t* height, uint64_t maxPixels) {
  int32_t ignoredWidth = 0, ignoredHeight = 0;
  DataFile file;
  if (!picture::attach(file, data, size)) return nullptr;
  return decodePcxFile(file, width ? width : &ignoredWidth, height ? height : &ignoredHeight, maxPixels);
}

unsigned char* loadPcx(const char* fileName, int32_t* width, int32_t* height) {
  int32_t ignoredWidth = 0, ignoredHeight = 0;
  DataFile file;
  if (fileName == nullptr || !file.open(fileName, 1)) return nullptr;
  return decodePcxFile(file, width ? width : &ignoredWidth, height ? height : &ignoredHeight,
                       uint64_t(kMaxImageSide) * kMaxImageSide);
}
