// Headless DirectDraw/Direct3D set-up and surface helpers for tests.
#include "support/dx7_test_display.h"

#include <cstring>

#include "platform/dx7/dx7_platform.h"

bool Dx7TestDisplay::open(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD zBits) {
  if (FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&directDraw), IID_IDirectDraw7, nullptr)))
    return false;
  if (FAILED(directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) return false;
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (FAILED(directDraw->CreateSurface(&d, &primary, nullptr))) return false;
  if (FAILED(directDraw->CreateClipper(0, &clipper, nullptr))) return false;
  clipper->SetHWnd(0, nullptr);
  primary->SetClipper(clipper);
  d = DDSURFACEDESC2{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  d.dwWidth = width;
  d.dwHeight = height;
  d.ddpfPixelFormat = bitsPerPixel == 16 ? dx7TestFormat565() : dx7TestFormatX888();
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  if (FAILED(directDraw->CreateSurface(&d, &back, nullptr))) return false;
  if (zBits) {
    d = DDSURFACEDESC2{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = width;
    d.dwHeight = height;
    d.ddpfPixelFormat = dx7ZBufferFormat(zBits, zBits == 32 ? 0xFFFFFFFFu : (1u << zBits) - 1u);
    d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    if (FAILED(directDraw->CreateSurface(&d, &zbuffer, nullptr))) return false;
    if (FAILED(back->AddAttachedSurface(zbuffer))) return false;
  }
  if (FAILED(directDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&direct3D)))) return false;
  return SUCCEEDED(direct3D->CreateDevice(IID_IDirect3DHALDevice, back, &device));
}

void Dx7TestDisplay::close() {
  if (device) device->Release();
  if (direct3D) direct3D->Release();
  if (zbuffer) zbuffer->Release();
  if (back) back->Release();
  if (clipper) clipper->Release();
  if (primary) primary->Release();
  if (directDraw) directDraw->Release();
  device = nullptr;
  direct3D = nullptr;
  zbuffer = back = primary = nullptr;
  clipper = nullptr;
  directDraw = nullptr;
}

DDPIXELFORMAT dx7TestFormat565() { return dx7RgbFormat(16, 0xF800u, 0x07E0u, 0x001Fu); }
DDPIXELFORMAT dx7TestFormat1555() { return dx7RgbFormat(16, 0x7C00u, 0x03E0u, 0x001Fu, 0x8000u); }
DDPIXELFORMAT dx7TestFormat4444() { return dx7RgbFormat(16, 0x0F00u, 0x00F0u, 0x000Fu, 0xF000u); }
DDPIXELFORMAT dx7TestFormatX888() { return dx7RgbFormat(32, 0xFF0000u, 0xFF00u, 0xFFu); }
DDPIXELFORMAT dx7TestFormat8888() { return dx7RgbFormat(32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u); }

IDirectDrawSurface7* dx7TestSurface(IDirectDraw7* directDraw, DWORD width, DWORD height, const DDPIXELFORMAT& format,
                                    DWORD caps) {
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  d.dwWidth = width;
  d.dwHeight = height;
  d.ddpfPixelFormat = format;
  d.ddsCaps.dwCaps = caps;
  IDirectDrawSurface7* surface = nullptr;
  if (FAILED(directDraw->CreateSurface(&d, &surface, nullptr))) return nullptr;
  return surface;
}

namespace {

template <typename F>
bool withLock(IDirectDrawSurface7* surface, DWORD flags, F f) {
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  if (FAILED(surface->Lock(nullptr, &d, flags | DDLOCK_WAIT, nullptr))) return false;
  f(d);
  surface->Unlock(nullptr);
  return true;
}

DWORD bytesPerPixel(const DDSURFACEDESC2& d) {
  DWORD bits = (d.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER) ? d.ddpfPixelFormat.dwZBufferBitDepth
                                                          : d.ddpfPixelFormat.dwRGBBitCount;
  return bits == 24 && (d.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER) ? 4 : (bits + 7) / 8;
}

}  // namespace

std::uint32_t dx7TestReadPixel(IDirectDrawSurface7* surface, int x, int y) {
  std::uint32_t value = 0xDEADBEEFu;
  withLock(surface, DDLOCK_READONLY, [&](const DDSURFACEDESC2& d) {
    DWORD bpp = bytesPerPixel(d);
    value = 0;
    std::memcpy(&value, static_cast<std::uint8_t*>(d.lpSurface) + d.lPitch * y + static_cast<long>(x) * bpp, bpp);
  });
  return value;
}

bool dx7TestWritePixel(IDirectDrawSurface7* surface, int x, int y, std::uint32_t raw) {
  return withLock(surface, 0, [&](const DDSURFACEDESC2& d) {
    DWORD bpp = bytesPerPixel(d);
    std::memcpy(static_cast<std::uint8_t*>(d.lpSurface) + d.lPitch * y + static_cast<long>(x) * bpp, &raw, bpp);
  });
}

bool dx7TestFill(IDirectDrawSurface7* surface, std::uint32_t raw) {
  return withLock(surface, 0, [&](const DDSURFACEDESC2& d) {
    DWORD bpp = bytesPerPixel(d);
    for (DWORD y = 0; y < d.dwHeight; ++y)
      for (DWORD x = 0; x < d.dwWidth; ++x)
        std::memcpy(static_cast<std::uint8_t*>(d.lpSurface) + d.lPitch * static_cast<long>(y) + x * bpp, &raw, bpp);
  });
}
