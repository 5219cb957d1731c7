// A picture decoded by loadImage that frees its pixels when it goes, for the port's code that
// checks or converts a picture file without keeping the picture (the tools, the shell, tests).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "image/image_loader.h"

class DecodedPicture {
 public:
  // Decodes the file (the decoder chosen by the name's last three letters); empty on failure.
  explicit DecodedPicture(const char* fileName) : pixels_(loadImage(fileName, &width_, &height_)) {
    if (!pixels_) width_ = height_ = 0;
  }

  explicit operator bool() const { return pixels_ != nullptr; }
  // width × height × 3 bytes, blue-green-red, top row first; null when decoding failed.
  const unsigned char* bgr() const { return pixels_.get(); }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }

 private:
  struct Free {
    void operator()(unsigned char* pixels) const { std::free(pixels); }
  };
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::unique_ptr<unsigned char, Free> pixels_;
};
