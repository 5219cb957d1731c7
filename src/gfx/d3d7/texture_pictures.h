// The colour and alpha pictures of a texture, loaded from files and freed together; an alpha
// picture of another size than its colour picture is scaled to the colour picture's size.
#pragma once

#include <cstdint>

struct TexturePictures {
  TexturePictures() = default;
  ~TexturePictures();
  TexturePictures(const TexturePictures&) = delete;
  TexturePictures& operator=(const TexturePictures&) = delete;

  // Loads the colour picture; false when it cannot be decoded.
  bool loadColour(const char* file);
  // Loads the alpha picture for the colour picture already loaded; false when it cannot be
  // decoded or scaled.
  bool loadAlpha(const char* file);
  // Loads the files a texture name stands for: "colour" or "colour(alpha)". The colour picture
  // is required; an alpha picture that fails to load leaves alpha null.
  bool loadByName(const char* textureName);

  // 24-bit pictures (blue, green, red), width × height each, released with free.
  std::uint8_t* rgb = nullptr;
  std::uint8_t* alpha = nullptr;
  int width = 0;
  int height = 0;
};
