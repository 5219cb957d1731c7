// A texture on a DirectDraw 7 surface: mipmapped device textures filled through a staging
// surface, plain off-screen pictures for blits, and the driver's own front, back and depth
// buffers, all lockable, saved before a surface loss and restored after it.
#pragma once

#include <cstdint>

#include "gfx/texture.h"
#include "platform/dx7/ddraw.h"

class Direct3DDriver;

class DirectDrawTexture : public Texture {
 public:
  explicit DirectDrawTexture(GraphicsDriver* owner);
  // Frees the backup. The surface is never released here: the driver releases every surface
  // of its DirectDraw object at once.
  ~DirectDrawTexture() override;

  bool configure(int, int, int, int, bool isStaged, bool hasAlpha) override;
  bool upload(int imageWidth, int imageHeight, const std::uint8_t* rgb, const std::uint8_t* alphaPixels) override;
  void discardBackup() override;
  void restoreContents() override;
  void saveContents() override;
  void* lock(int level) override;
  void unlock(int level) override;
  void blit(const RECT* dst, Texture* src, const RECT* srcRect, bool colourKey) override;
  void blitAt(int x, int y, Texture* src, bool colourKey) override;

  // Makes this texture the wrapper of a surface the driver created (front, back or depth buffer).
  void wrap(IDirectDrawSurface7* wrapped, std::uint32_t surfaceWidth, std::uint32_t surfaceHeight,
            const PixelFormat& surfaceFormat);
  // Forgets the surface (after the driver released every surface of its DirectDraw object).
  void dropSurface();
  // Sets the magenta source colour key in the surface's format.
  void setMagentaColourKey();

  IDirectDrawSurface7* surface;
};
