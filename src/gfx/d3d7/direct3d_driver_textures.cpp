// Direct3D driver texture operations: the texture format choice, surface creation for
// device textures and plain pictures, loading from picture files and from pixel buffers.
#include <bit>
#include <cstdio>
#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/directdraw_texture.h"
#include "gfx/d3d7/texture_pictures.h"
#include "image/pixel_conversion.h"
#include "shell/memory_tracker.h"

namespace {

// Creates the surface as described; where that fails, tries once more as an off-screen
// plain surface in system memory.
bool createSurfaceOrSystemCopy(IDirectDraw7* directDraw, DDSURFACEDESC2& desc, IDirectDrawSurface7*& surface) {
  if (SUCCEEDED(directDraw->CreateSurface(&desc, &surface, nullptr))) return true;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  if (SUCCEEDED(directDraw->CreateSurface(&desc, &surface, nullptr))) return true;
  surface = nullptr;
  return false;
}

// Room for "colour(alpha)" built from two file names.
constexpr int kTextureNameBuffer = 2 * 256 + 8;

void takeOpaqueFormat(Direct3DDriver* driver, const DDPIXELFORMAT* format, DWORD bits) {
  driver->opaqueTextureFormat = *format;
  driver->opaqueTextureBits = static_cast<std::uint16_t>(bits);
  driver->hasOpaqueTextureFormat = true;
}

void takeAlphaFormat(Direct3DDriver* driver, const DDPIXELFORMAT* format, DWORD bits, DWORD alphaBits) {
  driver->alphaTextureFormat = *format;
  driver->alphaTextureBits = static_cast<std::uint16_t>(bits);
  driver->alphaTextureAlphaBits = static_cast<std::uint16_t>(alphaBits);
  driver->hasAlphaTextureFormat = true;
}

int smallestPowerOfTwo(int value) {
  int power = 1;
  while (power < value && power < (1 << 30)) power <<= 1;
  return power;
}

int clampSize(int value, DWORD minimum, DWORD maximum) {
  if (value < static_cast<int>(minimum)) value = static_cast<int>(minimum);
  if (value > static_cast<int>(maximum)) value = static_cast<int>(maximum);
  return value;
}

// Levels down to an 8-pixel-wide one: 9 for 2048 and wider ... 1 for 8, 0 below.
int mipLevels(int w) {
  int levels = 0;
  for (int size = 8; size <= w && levels < 9; size <<= 1) ++levels;
  return levels;
}

// Fills a freshly created texture from a 24-bit picture (and an alpha picture of its size).
bool fillTexture(Texture* texture, int pictureWidth, int pictureHeight, const std::uint8_t* rgb,
                 const std::uint8_t* alpha, bool mipmapped) {
  if (mipmapped) return texture->upload(pictureWidth, pictureHeight, rgb, alpha);
  void* pixels = texture->lock(0);
  if (pixels == nullptr) return false;
  const PixelFormat picture = picture24Format();
  convertPixels(&picture, rgb, pictureWidth, pictureHeight, pictureWidth * 3, &texture->format, pixels,
                static_cast<int32_t>(texture->width), static_cast<int32_t>(texture->height), texture->pitch);
  texture->unlock(0);
  return true;
}

}  // namespace

HRESULT CALLBACK Direct3DDriver::textureFormatCallback(LPDDPIXELFORMAT format, LPVOID context) {
  auto* driver = static_cast<Direct3DDriver*>(context);
  const DWORD bits = format->dwRGBBitCount;
  if (bits <= 8) return D3DENUMRET_OK;

  bool takeOpaque;
  if (!driver->lowBppTextures)
    takeOpaque = bits > driver->opaqueTextureBits;
  else
    takeOpaque = driver->opaqueTextureBits < 16 || (bits == 16 && driver->opaqueTextureBits > 16);
  if (takeOpaque) takeOpaqueFormat(driver, format, bits);

  const DWORD lowMask = bits >= 32 ? 0xffffffffu : ((1u << bits) - 1u);
  const DWORD alphaBits = static_cast<DWORD>(std::popcount(format->dwRGBAlphaBitMask & lowMask));
  if (alphaBits >= bits / 2) return D3DENUMRET_OK;

  bool takeAlpha;
  if (!driver->lowBppTextures)
    takeAlpha = bits >= driver->alphaTextureBits && alphaBits > driver->alphaTextureAlphaBits;
  else
    takeAlpha = driver->alphaTextureBits < 16 || (bits == 16 && alphaBits > driver->alphaTextureAlphaBits);
  if (takeAlpha) takeAlphaFormat(driver, format, bits, alphaBits);
  return D3DENUMRET_OK;
}

bool Direct3DDriver::createTexture(Texture** out, int textureWidth, int textureHeight, bool mipmapped, bool alpha) {
  if (!active || out == nullptr || directDraw == nullptr || device == nullptr) return false;
  DirectDrawTexture* texture;
  if (*out == nullptr) {
    texture = TRACKED_NEW DirectDrawTexture(this);
    *out = texture;
    if (!GraphicsDriver::createTexture(out, textureWidth, textureHeight, mipmapped, alpha)) {
      // Not registered, so nobody else would ever free it.
      delete texture;
      *out = nullptr;
      return false;
    }
  } else {
    texture = static_cast<DirectDrawTexture*>(*out);
  }
  texture->dropSurface();

  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (!mipmapped) {
    // A plain picture in the primary surface's layout.
    const PixelFormat& primary = frontBuffer->format;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(textureWidth);
    desc.dwHeight = static_cast<DWORD>(textureHeight);
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = primary.bitsPerPixel;
    desc.ddpfPixelFormat.dwRBitMask = primary.redMask;
    desc.ddpfPixelFormat.dwGBitMask = primary.greenMask;
    desc.ddpfPixelFormat.dwBBitMask = primary.blueMask;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    if (!createSurfaceOrSystemCopy(directDraw, desc, texture->surface)) return false;
    texture->alpha = alpha;
    texture->staged = false;
    texture->width = static_cast<std::uint32_t>(textureWidth);
    texture->height = static_cast<std::uint32_t>(textureHeight);
    texture->levelCount = 0;
    texture->format = PixelFormat{primary.bitsPerPixel, 0, primary.redMask, primary.greenMask, primary.blueMask};
  } else {
    const DDPIXELFORMAT& chosen = alpha ? alphaTextureFormat : opaqueTextureFormat;
    D3DDEVICEDESC7 caps;
    std::memset(&caps, 0, sizeof caps);
    if (FAILED(device->GetCaps(&caps))) return false;
    int w = clampSize(textureWidth, caps.dwMinTextureWidth, caps.dwMaxTextureWidth);
    int h = clampSize(textureHeight, caps.dwMinTextureHeight, caps.dwMaxTextureHeight);
    if ((caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2) != 0) {
      w = smallestPowerOfTwo(textureWidth);
      h = smallestPowerOfTwo(textureHeight);
    }
    if ((caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0) w = h = (w > h ? w : h);
    w = clampSize(w, caps.dwMinTextureWidth, caps.dwMaxTextureWidth);
    h = clampSize(h, caps.dwMinTextureHeight, caps.dwMaxTextureHeight);
    const int levels = mipLevels(w);

    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_MIPMAPCOUNT;
    desc.dwWidth = static_cast<DWORD>(w);
    desc.dwHeight = static_cast<DWORD>(h);
    desc.dwMipMapCount = static_cast<DWORD>(levels);
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB | (alpha ? DDPF_ALPHAPIXELS : 0);
    desc.ddpfPixelFormat.dwRGBBitCount = chosen.dwRGBBitCount;
    desc.ddpfPixelFormat.dwRBitMask = chosen.dwRBitMask;
    desc.ddpfPixelFormat.dwGBitMask = chosen.dwGBitMask;
    desc.ddpfPixelFormat.dwBBitMask = chosen.dwBBitMask;
    desc.ddpfPixelFormat.dwRGBAlphaBitMask = chosen.dwRGBAlphaBitMask;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    desc.ddsCaps.dwCaps2 = DDSCAPS2_D3DTEXTUREMANAGE;
    if (!createSurfaceOrSystemCopy(directDraw, desc, texture->surface)) return false;
    texture->alpha = alpha;
    texture->staged = true;
    texture->width = static_cast<std::uint32_t>(w);
    texture->height = static_cast<std::uint32_t>(h);
    texture->levelCount = static_cast<std::uint16_t>(levels);
    texture->format = PixelFormat{static_cast<std::uint8_t>(chosen.dwRGBBitCount), chosen.dwRGBAlphaBitMask,
                                  chosen.dwRBitMask, chosen.dwGBitMask, chosen.dwBBitMask};
  }
  texture->setMagentaColourKey();
  return true;
}

bool Direct3DDriver::loadTexture(Texture** out, const char* file, const char* alphaFile, bool mipmapped) {
  if (out == nullptr || file == nullptr) return false;
  TexturePictures pictures;
  if (!pictures.loadColour(file)) return false;
  if (alphaFile != nullptr && !pictures.loadAlpha(alphaFile)) return false;
  if (!createTexture(out, pictures.width, pictures.height, mipmapped, alphaFile != nullptr)) return false;
  char textureName[kTextureNameBuffer];
  if (alphaFile != nullptr)
    std::snprintf(textureName, sizeof textureName, "%s(%s)", file, alphaFile);
  else
    std::snprintf(textureName, sizeof textureName, "%s", file);
  (*out)->setName(textureName);
  return fillTexture(*out, pictures.width, pictures.height, pictures.rgb, pictures.alpha, mipmapped);
}

bool Direct3DDriver::createTextureFromPixels(Texture** out, const char* textureName, int textureWidth,
                                             int textureHeight, const std::uint8_t* rgb,
                                             const std::uint8_t* alphaPixels, bool mipmapped) {
  if (out == nullptr || rgb == nullptr || textureWidth <= 0 || textureHeight <= 0) return false;
  if (!createTexture(out, textureWidth, textureHeight, mipmapped, alphaPixels != nullptr)) return false;
  const char* base = textureName != nullptr ? textureName : "";
  char fullName[kTextureNameBuffer];
  if (alphaPixels != nullptr)
    std::snprintf(fullName, sizeof fullName, "%s(%s)", base, base);
  else
    std::snprintf(fullName, sizeof fullName, "%s", base);
  (*out)->setName(fullName);
  return fillTexture(*out, textureWidth, textureHeight, rgb, alphaPixels, mipmapped);
}

void Direct3DDriver::releaseTexture(Texture* texture) {
  if (!active) return;
  GraphicsDriver::releaseTexture(texture);
}
