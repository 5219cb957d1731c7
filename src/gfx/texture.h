// Texture interface: a named image held by a graphics driver.
#pragma once

#include <cstdint>

#include "gfx/pixel_format.h"
#include "platform/win32/win32_types.h"

class GraphicsDriver;

// The base class answers neutrally; a driver's texture class overrides what its surfaces need.
class Texture {
 public:
  explicit Texture(GraphicsDriver* driver);
  virtual ~Texture();

  // Prepares the texture; the base names it "(noname)" and keeps the two flags.
  virtual bool configure(int, int, int, int, bool staged, bool alpha);
  // Fills the texture from a picture of the given size (24-bit pixels, optional alpha picture).
  virtual bool upload(int imageWidth, int imageHeight, const std::uint8_t* rgb, const std::uint8_t* alpha);
  // Copies the pixel layout into *out (nothing for null).
  virtual void getPixelFormat(PixelFormat* out);
  // Drops the saved pixel copy.
  virtual void discardBackup();
  // Brings the pixels back after a loss.
  virtual void restoreContents();
  // Saves the pixels before a loss.
  virtual void saveContents();
  // Address of the locked pixels, or null when the level is refused.
  virtual void* lock(int level);
  virtual void unlock(int level);
  // Replaces the name by a copy of the given text (null clears it).
  virtual void setName(const char* newName);
  virtual void blit(const RECT* dst, Texture* src, const RECT* srcRect, bool colourKey);
  virtual void blitAt(int x, int y, Texture* src, bool colourKey);

  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  char* name;
  bool valid;
  bool staged;
  bool alpha;
  std::uint16_t levelCount;
  void* lockedBits;
  // Saved pixel copy; the class that allocates it frees it.
  std::uint8_t* backup;
  PixelFormat format;
  std::uint32_t width;
  std::uint32_t height;
  std::int32_t pitch;
  std::int32_t backupPitch;
  PixelFormat backupFormat;
  GraphicsDriver* driver;
};
