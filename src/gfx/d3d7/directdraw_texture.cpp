// DirectDraw surface textures: staged uploads with one conversion per mip level, locking,
// saving and restoring contents around surface losses, and blits with a colour key.
#include "gfx/d3d7/directdraw_texture.h"

#include <cstdlib>
#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/texture_pictures.h"
#include "gfx/material.h"
#include "image/pixel_conversion.h"

namespace {

// Builds the 32-bit source of an alpha texture: alpha from the mean of the alpha picture's
// three bytes (opaque without an alpha picture), colour from the 24-bit picture.
std::uint8_t* combineAlpha(int imageWidth, int imageHeight, const std::uint8_t* rgb, const std::uint8_t* alphaPixels) {
  const std::size_t pixels = static_cast<std::size_t>(imageWidth) * static_cast<std::size_t>(imageHeight);
  auto* combined = static_cast<std::uint8_t*>(std::malloc(pixels * 4));
  if (combined == nullptr) return nullptr;
  for (std::size_t i = 0; i < pixels; ++i) {
    std::uint8_t a = 255;
    if (alphaPixels != nullptr) {
      const unsigned sum = alphaPixels[i * 3] + alphaPixels[i * 3 + 1] + alphaPixels[i * 3 + 2];
      a = static_cast<std::uint8_t>(sum / 3);
    }
    combined[i * 4 + 0] = rgb[i * 3 + 0];
    combined[i * 4 + 1] = rgb[i * 3 + 1];
    combined[i * 4 + 2] = rgb[i * 3 + 2];
    combined[i * 4 + 3] = a;
  }
  return combined;
}

DDSURFACEDESC2 emptyDesc() {
  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  return desc;
}

}  // namespace

DirectDrawTexture::DirectDrawTexture(GraphicsDriver* owner) : Texture(owner), surface(nullptr) { setName("(noname)"); }

DirectDrawTexture::~DirectDrawTexture() { discardBackup(); }

bool DirectDrawTexture::configure(int, int, int, int, bool isStaged, bool) {
  staged = isStaged;
  return true;
}

void DirectDrawTexture::wrap(IDirectDrawSurface7* wrapped, std::uint32_t surfaceWidth, std::uint32_t surfaceHeight,
                             const PixelFormat& surfaceFormat) {
  surface = wrapped;
  width = surfaceWidth;
  height = surfaceHeight;
  format = surfaceFormat;
  levelCount = 0;
  staged = false;
  lockedBits = nullptr;
}

void DirectDrawTexture::dropSurface() {
  surface = nullptr;
  lockedBits = nullptr;
}

void DirectDrawTexture::setMagentaColourKey() {
  if (surface == nullptr) return;
  const PixelFormat picture = picture24Format();
  const std::uint32_t key = convertPixel(&picture, &format, 0xff00ffu);
  DDCOLORKEY colourKey{key, key};
  surface->SetColorKey(DDCKEY_SRCBLT, &colourKey);
}

bool DirectDrawTexture::upload(int imageWidth, int imageHeight, const std::uint8_t* rgb,
                               const std::uint8_t* alphaPixels) {
  auto* owner = static_cast<Direct3DDriver*>(driver);
  if (surface == nullptr || owner == nullptr || owner->directDraw == nullptr || rgb == nullptr || imageWidth <= 0 ||
      imageHeight <= 0)
    return false;

  // The source: the 24-bit picture, or a 32-bit one with alpha for a texture with alpha.
  PixelFormat sourceFormat = picture24Format();
  const void* source = rgb;
  int sourcePitch = imageWidth * 3;
  std::uint8_t* combined = nullptr;
  if (alpha) {
    combined = combineAlpha(imageWidth, imageHeight, rgb, alphaPixels);
    if (combined == nullptr) return false;
    sourceFormat = picture32AlphaFormat();
    source = combined;
    sourcePitch = imageWidth * 4;
  }

  // A staging surface of the texture's size and format.
  DDSURFACEDESC2 desc = emptyDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddpfPixelFormat = alpha ? owner->alphaTextureFormat : owner->opaqueTextureFormat;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB | (alpha ? DDPF_ALPHAPIXELS : 0);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  IDirectDrawSurface7* staging = nullptr;
  if (FAILED(owner->directDraw->CreateSurface(&desc, &staging, nullptr))) {
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    if (FAILED(owner->directDraw->CreateSurface(&desc, &staging, nullptr))) {
      std::free(combined);
      return false;
    }
  }

  // Scales the whole source to (levelWidth, levelHeight) into the staging surface's corner.
  auto fillStaging = [&](std::uint32_t levelWidth, std::uint32_t levelHeight) {
    DDSURFACEDESC2 locked = emptyDesc();
    if (FAILED(staging->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr))) return false;
    scaleImage(&sourceFormat, source, imageWidth, imageHeight, sourcePitch, &format, locked.lpSurface,
               static_cast<int32_t>(levelWidth), static_cast<int32_t>(levelHeight), locked.lPitch);
    staging->Unlock(nullptr);
    return true;
  };

  if (!fillStaging(width, height)) {
    staging->Release();
    std::free(combined);
    return false;
  }
  surface->Blt(nullptr, staging, nullptr, DDBLT_WAIT, nullptr);

  // The mip chain below the top level, each level converted from the full source.
  DDSCAPS2 caps;
  std::memset(&caps, 0, sizeof caps);
  surface->GetCaps(&caps);
  caps.dwCaps2 = 0;
  caps.dwCaps3 = 0;
  caps.dwCaps4 = 0;
  IDirectDrawSurface7* level = surface;
  IDirectDrawSurface7* next = nullptr;
  while (SUCCEEDED(level->GetAttachedSurface(&caps, &next)) && next != nullptr) {
    if (level != surface) level->Release();
    level = next;
    next = nullptr;
    DDSURFACEDESC2 levelDesc = emptyDesc();
    if (FAILED(level->GetSurfaceDesc(&levelDesc))) break;
    if (!fillStaging(levelDesc.dwWidth, levelDesc.dwHeight)) break;
    RECT part{0, 0, static_cast<LONG>(levelDesc.dwWidth), static_cast<LONG>(levelDesc.dwHeight)};
    level->Blt(nullptr, staging, &part, DDBLT_WAIT, nullptr);
  }
  if (level != surface) level->Release();

  staging->Release();
  std::free(combined);
  return true;
}

void DirectDrawTexture::discardBackup() {
  std::free(backup);
  backup = nullptr;
}

void* DirectDrawTexture::lock(int level) {
  if (staged || level > levelCount) return nullptr;
  if (lockedBits != nullptr) return lockedBits;
  if (surface == nullptr) return nullptr;
  DDSURFACEDESC2 desc = emptyDesc();
  if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return nullptr;
  lockedBits = desc.lpSurface;
  pitch = desc.lPitch;
  return lockedBits;
}

void DirectDrawTexture::unlock(int level) {
  if (level > levelCount || lockedBits == nullptr) return;
  lockedBits = nullptr;
  if (surface != nullptr) surface->Unlock(nullptr);
}

void DirectDrawTexture::saveContents() {
  if (staged) return;
  auto* pixels = static_cast<const std::uint8_t*>(lock(0));
  if (pixels == nullptr) return;
  discardBackup();
  const std::size_t size = static_cast<std::size_t>(height) * static_cast<std::size_t>(pitch);
  backup = static_cast<std::uint8_t*>(std::malloc(size > 0 ? size : 1));
  if (backup == nullptr) {
    unlock(0);
    return;
  }
  std::memcpy(backup, pixels, size);
  backupPitch = pitch;
  backupFormat = format;
  unlock(0);
}

void DirectDrawTexture::restoreContents() {
  if (staged) {
    TexturePictures pictures;
    if (!pictures.loadByName(name)) return;
    upload(pictures.width, pictures.height, pictures.rgb, pictures.alpha);
    return;
  }
  if (backup == nullptr) return;
  auto* pixels = static_cast<std::uint8_t*>(lock(0));
  // The backup stays for a later try while the surface cannot be locked.
  if (pixels == nullptr) return;
  DDSCAPS2 caps;
  std::memset(&caps, 0, sizeof caps);
  surface->GetCaps(&caps);
  if ((caps.dwCaps & DDSCAPS_ZBUFFER) != 0) {
    // Depth values are copied row by row as they are; a narrower surface takes what fits.
    const std::size_t rowBytes = static_cast<std::size_t>(backupPitch < pitch ? backupPitch : pitch);
    for (std::uint32_t row = 0; row < height; ++row)
      std::memcpy(pixels + static_cast<std::size_t>(row) * static_cast<std::size_t>(pitch),
                  backup + static_cast<std::size_t>(row) * static_cast<std::size_t>(backupPitch), rowBytes);
    unlock(0);
  } else {
    convertPixels(&backupFormat, backup, static_cast<int32_t>(width), static_cast<int32_t>(height), backupPitch,
                  &format, pixels, static_cast<int32_t>(width), static_cast<int32_t>(height), pitch);
    unlock(0);
    setMagentaColourKey();
  }
  discardBackup();
}

void DirectDrawTexture::blit(const RECT* dst, Texture* src, const RECT* srcRect, bool colourKey) {
  if (!valid || src == nullptr || !src->valid) return;
  auto* source = static_cast<DirectDrawTexture*>(src);
  if (surface == nullptr || source->surface == nullptr) return;
  DDBLTFX effects;
  std::memset(&effects, 0, sizeof effects);
  effects.dwSize = sizeof effects;
  surface->Blt(const_cast<RECT*>(dst), source->surface, const_cast<RECT*>(srcRect),
               colourKey ? (DDBLT_WAIT | DDBLT_KEYSRC) : 0, &effects);
}

void DirectDrawTexture::blitAt(int x, int y, Texture* src, bool colourKey) {
  if (!valid || src == nullptr || !src->valid) return;
  auto* source = static_cast<DirectDrawTexture*>(src);
  if (surface == nullptr || source->surface == nullptr) return;
  RECT target{x, y, x + static_cast<LONG>(source->width), y + static_cast<LONG>(source->height)};
  surface->Blt(&target, source->surface, nullptr, DDBLT_WAIT | (colourKey ? DDBLT_KEYSRC : 0), nullptr);
}
