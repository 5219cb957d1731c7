// What the DirectDraw/Direct3D subset offers beyond the platform's own interfaces: the adapter
// profile (the capabilities the subset reports, replaceable in tests), simulated surface loss,
// and read-back of the last presented frame (screenshots and frame capture).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx7/d3d_types.h"
#include "platform/dx7/ddraw_types.h"

struct AdapterDisplayMode {
  DWORD width;
  DWORD height;
  DWORD bitsPerPixel;
};

// One adapter the subset reports when the profile lists adapters itself.
struct AdapterEntry {
  std::string description;
  std::string driverName;
  std::vector<AdapterDisplayMode> modes;
};

// One Direct3D device type offered by EnumDevices.
struct AdapterDevice {
  GUID guid;
  std::string description;
  std::string name;
  DWORD devCaps;   // D3DDEVCAPS_*
  bool creatable;  // CreateDevice of this type succeeds
};

struct AdapterProfile {
  // Adapters and their display modes; empty: one adapter per display (one when headless) with
  // the display's modes plus the usual window sizes, at 16 and 32 bits.
  std::vector<AdapterEntry> adapters;
  // Depth of the desktop: the format of a windowed primary surface (16 or 32).
  DWORD displayBitsPerPixel = 32;
  // EnumZBufferFormats and EnumTextureFormats report these, in this order.
  std::vector<DDPIXELFORMAT> zBufferFormats;
  std::vector<DDPIXELFORMAT> textureFormats;
  // D3DPTEXTURECAPS_* of the triangle caps (POW2, SQUAREONLY ...), and the size limits.
  DWORD textureCaps = 0;
  DWORD minTextureWidth = 1;
  DWORD minTextureHeight = 1;
  DWORD maxTextureWidth = 2048;
  DWORD maxTextureHeight = 2048;
  WORD maxTextureBlendStages = 8;
  WORD maxSimultaneousTextures = 8;
  DWORD maxActiveLights = 8;
  // D3DPRASTERCAPS_* of the triangle caps (the fog bits among them).
  DWORD rasterCaps = 0;
  // EnumDevices reports these, in this order.
  std::vector<AdapterDevice> devices;
  // CreateSurface fails with DDERR_OUTOFVIDEOMEMORY when the requested caps contain any of
  // these bits (for example DDSCAPS_ZBUFFER to exercise a failing z-buffer).
  DWORD failSurfaceCaps = 0;
};

// Pixel formats as the platform describes them.
DDPIXELFORMAT dx7RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha = 0);
DDPIXELFORMAT dx7ZBufferFormat(DWORD bits, DWORD zMask, DWORD stencilBits = 0, DWORD stencilMask = 0);

// What the GL implementation supports: z formats 16, 24, 24 + 8 stencil, 32; texture formats
// 5-6-5, 1-5-5-5, 4-4-4-4, X8R8G8B8, A8R8G8B8 (in that order); no size restrictions up to
// 2048 (less when GL's texture size limit is lower); 8 stages; 8 lights; vertex and table fog;
// the RGB and MMX software devices, a hardware-rasterising HAL device and a T&L HAL device
// (in that order; every type renders through GL alike).
AdapterProfile dx7DefaultAdapterProfile();
const AdapterProfile& dx7AdapterProfile();
void dx7SetAdapterProfile(const AdapterProfile& profile);
void dx7ResetAdapterProfile();

// True when the subset renders without a display (EGL surfaceless).
bool dx7IsHeadless();

// Every existing surface reports DDERR_SURFACELOST until restored and its contents are gone.
// With displayModeChanged, RestoreAllSurfaces answers DDERR_WRONGMODE.
void dx7SimulateSurfaceLoss(bool displayModeChanged);

// The last frame presented (Flip, or Blt onto a primary surface), as 0xAARRGGBB values with
// alpha 0xFF, top row first. False when nothing was presented yet.
bool dx7ReadPresentedFrame(std::vector<std::uint32_t>& pixels, int* width, int* height);
// The same through a ring of a few pixel buffers, so that copying a frame out overlaps rendering
// the next ones: dx7BeginFrameRead starts reading the frame presented last (false when nothing
// was presented or dx7FrameReadRing reads are pending); dx7TakeFrameRead gives the oldest
// frame begun and not yet taken (false when none is pending); dx7ResetFrameReads forgets
// pending reads and frees the buffers.
int dx7FrameReadRing();
bool dx7BeginFrameRead();
bool dx7TakeFrameRead(std::vector<std::uint32_t>& pixels, int* width, int* height);
int dx7PendingFrameReads();
void dx7ResetFrameReads();
// Frames presented since start.
std::uint64_t dx7PresentedFrameCount();
