// Pixel format decoding and conversion between surface formats and 0xAARRGGBB.
#include "platform/dx7/dx7_pixel_layout.h"

#include <bit>
#include <cstring>

namespace {

void takeMask(DWORD mask, DWORD& outMask, int& outShift, int& outWidth) {
  outMask = mask;
  if (mask == 0) {
    outShift = 0;
    outWidth = 0;
    return;
  }
  outShift = std::countr_zero(mask);
  outWidth = std::popcount(mask);
}

inline std::uint32_t expandTo8(std::uint32_t value, int width) {
  if (width >= 8) return value >> (width - 8);
  std::uint32_t max = (1u << width) - 1u;
  return (value * 255u + max / 2u) / max;
}

inline std::uint32_t reduceFrom8(std::uint32_t value, int width) {
  if (width >= 8) return value << (width - 8);
  std::uint32_t max = (1u << width) - 1u;
  return (value * max + 127u) / 255u;
}

}  // namespace

Dx7PixelLayout Dx7PixelLayout::from(const DDPIXELFORMAT& f) {
  Dx7PixelLayout l;
  if (f.dwFlags & DDPF_ZBUFFER) {
    DWORD bits = f.dwZBufferBitDepth;
    if (bits != 16 && bits != 24 && bits != 32) return Dx7PixelLayout{};
    l.zbuffer = true;
    l.bitsPerPixel = bits;
    l.bytesPerPixel = bits == 16 ? 2 : 4;
    l.stencilBits = (f.dwFlags & DDPF_STENCILBUFFER) ? f.dwStencilBitDepth : 0;
    l.zMask = f.dwZBitMask ? f.dwZBitMask : (bits == 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u));
    l.stencilMask = l.stencilBits ? f.dwStencilBitMask : 0;
    l.zBits = static_cast<DWORD>(std::popcount(l.zMask));
    if (l.zBits != 16 && l.zBits != 24 && l.zBits != 32) return Dx7PixelLayout{};
    if (l.stencilBits != 0 && (l.zBits != 24 || l.stencilBits != 8)) return Dx7PixelLayout{};
    return l;
  }
  if (!(f.dwFlags & DDPF_RGB)) return Dx7PixelLayout{};
  DWORD bits = f.dwRGBBitCount;
  if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return Dx7PixelLayout{};
  l.rgb = true;
  l.bitsPerPixel = bits;
  l.bytesPerPixel = bits == 15 ? 2 : bits / 8;
  takeMask(f.dwRBitMask, l.mask[0], l.shift[0], l.width[0]);
  takeMask(f.dwGBitMask, l.mask[1], l.shift[1], l.width[1]);
  takeMask(f.dwBBitMask, l.mask[2], l.shift[2], l.width[2]);
  if ((f.dwFlags & DDPF_ALPHAPIXELS) && f.dwRGBAlphaBitMask) {
    takeMask(f.dwRGBAlphaBitMask, l.mask[3], l.shift[3], l.width[3]);
    l.hasAlpha = true;
  }
  for (int c = 0; c < 4; ++c) {
    // Masks must be contiguous runs of bits; channels wider than 8 bits are read through their
    // top 8 bits.
    // (64-bit: a channel may span all 32 bits.)
    if (l.mask[c] != 0 && (l.mask[c] >> l.shift[c]) != ((std::uint64_t{1} << l.width[c]) - 1u)) return Dx7PixelLayout{};
  }
  if (l.mask[0] == 0 && l.mask[1] == 0 && l.mask[2] == 0) return Dx7PixelLayout{};
  return l;
}

bool Dx7PixelLayout::sameAs(const Dx7PixelLayout& o) const {
  if (bytesPerPixel != o.bytesPerPixel || zbuffer != o.zbuffer) return false;
  if (zbuffer) return zMask == o.zMask && stencilMask == o.stencilMask;
  for (int c = 0; c < 3; ++c)
    if (mask[c] != o.mask[c]) return false;
  return (hasAlpha ? mask[3] : 0) == (o.hasAlpha ? o.mask[3] : 0);
}

bool Dx7PixelLayout::isArgb8888() const {
  return rgb && bytesPerPixel == 4 && mask[0] == 0x00FF0000u && mask[1] == 0x0000FF00u && mask[2] == 0x000000FFu &&
         (!hasAlpha || mask[3] == 0xFF000000u);
}

std::uint32_t Dx7PixelLayout::read(const std::uint8_t* p) const {
  switch (bytesPerPixel) {
    case 2:
      return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
    case 3:
      return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
             (static_cast<std::uint32_t>(p[2]) << 16);
    case 4: {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default:
      return 0;
  }
}

void Dx7PixelLayout::write(std::uint8_t* p, std::uint32_t v) const {
  switch (bytesPerPixel) {
    case 2:
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      break;
    case 3:
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      p[2] = static_cast<std::uint8_t>(v >> 16);
      break;
    case 4:
      std::memcpy(p, &v, 4);
      break;
    default:
      break;
  }
}

std::uint32_t Dx7PixelLayout::toArgb(std::uint32_t raw) const {
  std::uint32_t out = 0;
  static constexpr int kDest[4] = {16, 8, 0, 24};
  for (int c = 0; c < 4; ++c) {
    std::uint32_t v8;
    if (width[c] == 0 || (c == 3 && !hasAlpha))
      v8 = c == 3 ? 0xFFu : 0u;
    else
      v8 = expandTo8((raw & mask[c]) >> shift[c], width[c]);
    out |= (v8 & 0xFFu) << kDest[c];
  }
  return out;
}

std::uint32_t Dx7PixelLayout::fromArgb(std::uint32_t argb) const {
  std::uint32_t out = 0;
  static constexpr int kSource[4] = {16, 8, 0, 24};
  for (int c = 0; c < 4; ++c) {
    if (width[c] == 0 || (c == 3 && !hasAlpha)) continue;
    std::uint32_t v8 = (argb >> kSource[c]) & 0xFFu;
    out |= (reduceFrom8(v8, width[c]) << shift[c]) & mask[c];
  }
  return out;
}

void Dx7PixelLayout::rowsToArgb(const std::uint8_t* src, long srcPitch, int w, int h, std::uint32_t* dst,
                                long dstPitchPixels) const {
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = src + srcPitch * y;
    std::uint32_t* d = dst + dstPitchPixels * y;
    if (isArgb8888()) {
      std::memcpy(d, s, static_cast<size_t>(w) * 4);
      if (!hasAlpha)
        for (int x = 0; x < w; ++x) d[x] |= 0xFF000000u;
      continue;
    }
    for (int x = 0; x < w; ++x) d[x] = toArgb(read(s + static_cast<long>(x) * bytesPerPixel));
  }
}

void Dx7PixelLayout::rowsFromArgb(const std::uint32_t* src, long srcPitchPixels, int w, int h, std::uint8_t* dst,
                                  long dstPitch) const {
  for (int y = 0; y < h; ++y) {
    const std::uint32_t* s = src + srcPitchPixels * y;
    std::uint8_t* d = dst + dstPitch * y;
    if (isArgb8888() && hasAlpha) {
      std::memcpy(d, s, static_cast<size_t>(w) * 4);
      continue;
    }
    for (int x = 0; x < w; ++x) write(d + static_cast<long>(x) * bytesPerPixel, fromArgb(s[x]));
  }
}

void dx7ConvertPixels(const Dx7PixelLayout& srcLayout, const std::uint8_t* src, long srcPitch,
                      const Dx7PixelLayout& dstLayout, std::uint8_t* dst, long dstPitch, int w, int h) {
  if (srcLayout.sameAs(dstLayout)) {
    for (int y = 0; y < h; ++y)
      std::memmove(dst + dstPitch * y, src + srcPitch * y, static_cast<size_t>(w) * srcLayout.bytesPerPixel);
    return;
  }
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = src + srcPitch * y;
    std::uint8_t* d = dst + dstPitch * y;
    for (int x = 0; x < w; ++x)
      dstLayout.write(
          d + static_cast<long>(x) * dstLayout.bytesPerPixel,
          dstLayout.fromArgb(srcLayout.toArgb(srcLayout.read(s + static_cast<long>(x) * srcLayout.bytesPerPixel))));
  }
}
