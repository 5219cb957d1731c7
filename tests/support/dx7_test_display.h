// A headless DirectDraw/Direct3D set-up for tests: DirectDraw object, primary, off-screen back
// buffer with an optional z-buffer, and a device; plus small surface helpers.
#pragma once

#include <cstdint>

#include "platform/dx7/d3d.h"

struct Dx7TestDisplay {
  IDirectDraw7* directDraw = nullptr;
  IDirectDrawSurface7* primary = nullptr;
  IDirectDrawClipper* clipper = nullptr;
  IDirectDrawSurface7* back = nullptr;
  IDirectDrawSurface7* zbuffer = nullptr;
  IDirect3D7* direct3D = nullptr;
  IDirect3DDevice7* device = nullptr;

  // Windowed: primary with a clipper and an off-screen back buffer of the given depth (16 means
  // 5-6-5). zBits 0: no z-buffer.
  bool open(DWORD width, DWORD height, DWORD bitsPerPixel = 32, DWORD zBits = 16);
  void close();
  ~Dx7TestDisplay() { close(); }
};

DDPIXELFORMAT dx7TestFormat565();
DDPIXELFORMAT dx7TestFormat1555();
DDPIXELFORMAT dx7TestFormat4444();
DDPIXELFORMAT dx7TestFormatX888();
DDPIXELFORMAT dx7TestFormat8888();

// A surface of the given caps and format (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY by default).
IDirectDrawSurface7* dx7TestSurface(IDirectDraw7* directDraw, DWORD width, DWORD height, const DDPIXELFORMAT& format,
                                    DWORD caps = 0x40 | 0x800);

// Raw pixel values through Lock (whole surface).
std::uint32_t dx7TestReadPixel(IDirectDrawSurface7* surface, int x, int y);
bool dx7TestFill(IDirectDrawSurface7* surface, std::uint32_t raw);
bool dx7TestWritePixel(IDirectDrawSurface7* surface, int x, int y, std::uint32_t raw);
