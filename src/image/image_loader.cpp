// loadImage: chooses the picture decoder by the last three letters of the file name.
#include "image/image_loader.h"

#include <cctype>
#include <cstring>

namespace {

bool endsWith(const char* tail, const char* letters) {
  for (int i = 0; i < 3; ++i) {
    if (std::tolower(static_cast<unsigned char>(tail[i])) != letters[i]) return false;
  }
  return true;
}

}  // namespace

unsigned char* loadImage(const char* fileName, int32_t* width, int32_t* height) {
  if (fileName == nullptr) return nullptr;
  const size_t length = std::strlen(fileName);
  if (length < 3) return nullptr;
  const char* tail = fileName + length - 3;
  if (endsWith(tail, "jpg")) return loadJpeg(fileName, width, height);
  if (endsWith(tail, "pcx")) return loadPcx(fileName, width, height);
  if (endsWith(tail, "bmp")) return loadBmp(fileName, width, height);
  if (endsWith(tail, "tga")) return loadTga(fileName, width, height);
  return nullptr;
}
