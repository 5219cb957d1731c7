// Shared size checks, the picture allocation and in-memory DataFiles for the decoders.
#include "image/picture_buffer.h"

#include <cstdlib>
#include <cstring>

#include "image/image_loader.h"

namespace picture {

bool sizeAccepted(int64_t width, int64_t height, uint64_t maxPixels) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return false;
  return uint64_t(width) * uint64_t(height) <= maxPixels;
}

unsigned char* allocate(int32_t width, int32_t height) {
  return static_cast<unsigned char*>(std::malloc(size_t(width) * size_t(height) * 3));
}

bool attach(DataFile& file, const unsigned char* data, size_t size) {
  file.close();
  if (size > 0xffffffffu || (data == nullptr && size > 0)) return false;
  auto* copy = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
  if (copy == nullptr) return false;
  if (size > 0) std::memcpy(copy, data, size);
  file.data = copy;
  file.size = uint32_t(size);
  file.position = 0;
  file.littleEndian = 1;
  return true;
}

}  // namespace picture
