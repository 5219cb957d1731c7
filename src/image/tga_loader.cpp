// TGA pictures: uncompressed 24-bit true colour, rows bottom first unless the header says
// top first; an ID field and an unused colour map are skipped.
#include <cstdlib>

#include "image/image_loader.h"
#include "image/picture_buffer.h"

namespace {

constexpr uint32_t kHeaderSize = 18;
constexpr uint8_t kUncompressedTrueColour = 2;
constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopToBottom = 0x20;

unsigned char* decodeTgaFile(DataFile& file, int32_t* width, int32_t* height, uint64_t maxPixels) {
  if (file.size < kHeaderSize) return nullptr;
  const uint8_t idLength = file.readByte();
  const uint8_t colourMapType = file.readByte();
  const uint8_t imageType = file.readByte();
  file.readWord();  // first colour map entry
  const uint16_t colourMapLength = file.readWord();
  const uint8_t colourMapEntryBits = file.readByte();
  file.readWord();  // x origin
  file.readWord();  // y origin
  const int32_t w = file.readWord();
  const int32_t h = file.readWord();
  const uint8_t depth = file.readByte();
  const uint8_t descriptor = file.readByte();
  *width = w;
  *height = h;
  // Colour-mapped, grey, run-length encoded and right-to-left pictures are not read.
  if (imageType != kUncompressedTrueColour || depth != 24 || (descriptor & kRightToLeft) != 0) return nullptr;
  if (!picture::sizeAccepted(w, h, maxPixels)) return nullptr;

  const uint64_t colourMapBytes = colourMapType != 0 ? uint64_t(colourMapLength) * ((colourMapEntryBits + 7) / 8) : 0;
  const uint64_t dataStart = kHeaderSize + uint64_t(idLength) + colourMapBytes;
  const uint64_t rowBytes = uint64_t(w) * 3;
  if (dataStart > file.size || rowBytes * uint64_t(h) > file.size - dataStart) return nullptr;

  unsigned char* pixels = picture::allocate(w, h);
  if (pixels == nullptr) return nullptr;
  const bool topFirst = (descriptor & kTopToBottom) != 0;
  file.seek(int32_t(dataStart), 0);
  for (int32_t row = 0; row < h; ++row) {
    const int32_t y = topFirst ? row : h - 1 - row;
    file.readBytes(pixels + size_t(y) * rowBytes, int32_t(rowBytes));
  }
  return pixels;
}

}  // namespace

unsigned char* decodeTga(const unsigned char* data, size_t size, int32_t* width, int32_t* height, uint64_t maxPixels) {
  int32_t ignoredWidth = 0, ignoredHeight = 0;
  DataFile file;
  if (!picture::attach(file, data, size)) return nullptr;
  return decodeTgaFile(file, width ? width : &ignoredWidth, height ? height : &ignoredHeight, maxPixels);
}

unsigned char* loadTga(const char* fileName, int32_t* width, int32_t* height) {
  int32_t ignoredWidth = 0, ignoredHeight = 0;
  DataFile file;
  if (fileName == nullptr || !file.open(fileName, 1)) return nullptr;
  return decodeTgaFile(file, width ? width : &ignoredWidth, height ? height : &ignoredHeight,
                       uint64_t(kMaxImageSide) * kMaxImageSide);
}
