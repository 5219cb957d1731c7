// A surface pixel format taken apart: bytes per pixel and, per channel, mask, shift and width,
// with conversion of single pixels and whole rectangles to and from 0xAARRGGBB.
#pragma once

#include <cstdint>

#include "platform/dx7/ddraw_types.h"

struct Dx7PixelLayout {
  DWORD bitsPerPixel = 0;
  DWORD bytesPerPixel = 0;
  bool rgb = false;       // DDPF_RGB
  bool hasAlpha = false;  // an alpha mask is set and DDPF_ALPHAPIXELS given
  bool zbuffer = false;   // DDPF_ZBUFFER
  DWORD zBits = 0;        // z bits (without stencil)
  DWORD stencilBits = 0;
  DWORD zMask = 0;
  DWORD stencilMask = 0;
  // red, green, blue, alpha
  DWORD mask[4] = {0, 0, 0, 0};
  int shift[4] = {0, 0, 0, 0};
  int width[4] = {0, 0, 0, 0};

  // Empty (bytesPerPixel 0) for formats the subset cannot store.
  static Dx7PixelLayout from(const DDPIXELFORMAT& format);
  bool valid() const { return bytesPerPixel != 0; }
  bool sameAs(const Dx7PixelLayout& other) const;
  // 32 bits with the 8-8-8 colour masks in 0xAARRGGBB positions.
  bool isArgb8888() const;

  std::uint32_t read(const std::uint8_t* p) const;
  void write(std::uint8_t* p, std::uint32_t value) const;
  // Raw value <-> 0xAARRGGBB; alpha reads 0xFF in formats without alpha.
  std::uint32_t toArgb(std::uint32_t raw) const;
  std::uint32_t fromArgb(std::uint32_t argb) const;

  // Rectangles of width x height pixels; pitches in bytes.
  void rowsToArgb(const std::uint8_t* src, long srcPitch, int w, int h, std::uint32_t* dst, long dstPitchPixels) const;
  void rowsFromArgb(const std::uint32_t* src, long srcPitchPixels, int w, int h, std::uint8_t* dst,
                    long dstPitch) const;
};

// Both formats taken apart, then every pixel converted (a plain copy when they are alike).
void dx7ConvertPixels(const Dx7PixelLayout& srcLayout, const std::uint8_t* src, long srcPitch,
                      const Dx7PixelLayout& dstLayout, std::uint8_t* dst, long dstPitch, int w, int h);
