// Loading of texture pictures by file name, with the alpha picture fitted to the colour picture.
#include "gfx/d3d7/texture_pictures.h"

#include <cstdlib>

#include "gfx/material.h"
#include "gfx/pixel_format.h"
#include "image/image_loader.h"
#include "image/pixel_conversion.h"

TexturePictures::~TexturePictures() {
  std::free(rgb);
  std::free(alpha);
}

bool TexturePictures::loadColour(const char* file) {
  if (file == nullptr) return false;
  int32_t w = 0;
  int32_t h = 0;
  unsigned char* pixels = loadImage(file, &w, &h);
  if (pixels == nullptr || w <= 0 || h <= 0) {
    std::free(pixels);
    return false;
  }
  std::free(rgb);
  rgb = pixels;
  width = w;
  height = h;
  return true;
}

bool TexturePictures::loadAlpha(const char* file) {
  if (file == nullptr || rgb == nullptr) return false;
  int32_t w = 0;
  int32_t h = 0;
  unsigned char* pixels = loadImage(file, &w, &h);
  if (pixels == nullptr || w <= 0 || h <= 0) {
    std::free(pixels);
    return false;
  }
  if (w != width || h != height) {
    // Every pixel of the colour picture needs an alpha value: scale the alpha picture to fit.
    const PixelFormat picture = picture24Format();
    auto* fitted = static_cast<unsigned char*>(
        std::malloc(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3));
    if (fitted == nullptr || !scaleImage(&picture, pixels, w, h, w * 3, &picture, fitted, width, height, width * 3)) {
      std::free(fitted);
      std::free(pixels);
      return false;
    }
    std::free(pixels);
    pixels = fitted;
  }
  std::free(alpha);
  alpha = pixels;
  return true;
}

bool TexturePictures::loadByName(const char* textureName) {
  if (textureName == nullptr) return false;
  char colourFile[kTextureNameCapacity];
  char alphaFile[kTextureNameCapacity];
  const bool hasAlphaFile = splitTextureName(textureName, colourFile, alphaFile);
  if (!loadColour(colourFile)) return false;
  if (hasAlphaFile) loadAlpha(alphaFile);
  return true;
}
