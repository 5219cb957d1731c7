// Surfaces read back headless: pixel formats, Lock/Unlock round trips through GL, stretching
// and colour-keyed Blt, mip chains, z-buffers, loss and restore, presenting.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dx7/dx7_pixel_layout.h"
#include "platform/dx7/dx7_platform.h"
#include "support/dx7_test_display.h"

namespace {

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dx7ResetAdapterProfile();
    ASSERT_TRUE(display.open(8, 8));
  }
  Dx7TestDisplay display;
};

TEST(PixelLayoutTest, ConvertsEachFormatToAndFromArgb) {
  struct Case {
    DDPIXELFORMAT format;
    std::uint32_t raw;
    std::uint32_t argb;
  };
  const Case cases[] = {
      {dx7TestFormat565(), 0xF800u, 0xFFFF0000u},      {dx7TestFormat565(), 0x07E0u, 0xFF00FF00u},
      {dx7TestFormat565(), 0x001Fu, 0xFF0000FFu},      {dx7TestFormat1555(), 0x7C00u, 0x00FF0000u},
      {dx7TestFormat1555(), 0x801Fu, 0xFF0000FFu},     {dx7TestFormat4444(), 0xF0F0u, 0xFF00FF00u},
      {dx7TestFormat4444(), 0x8421u, 0x88442211u},     {dx7TestFormatX888(), 0x123456u, 0xFF123456u},
      {dx7TestFormat8888(), 0x80123456u, 0x80123456u},
  };
  for (const Case& c : cases) {
    Dx7PixelLayout layout = Dx7PixelLayout::from(c.format);
    ASSERT_TRUE(layout.valid());
    EXPECT_EQ(layout.toArgb(c.raw), c.argb) << std::hex << c.raw;
    EXPECT_EQ(layout.fromArgb(c.argb), c.raw) << std::hex << c.argb;
  }
  // Every 5-6-5 value survives the trip through 8-8-8.
  Dx7PixelLayout l565 = Dx7PixelLayout::from(dx7TestFormat565());
  for (std::uint32_t v = 0; v < 0x10000u; v += 7) EXPECT_EQ(l565.fromArgb(l565.toArgb(v)), v);
  // A channel spanning all 32 bits is read through its top 8 bits.
  Dx7PixelLayout wide = Dx7PixelLayout::from(dx7RgbFormat(32, 0xFFFFFFFFu, 0, 0));
  ASSERT_TRUE(wide.valid());
  EXPECT_EQ(wide.toArgb(0xAB000000u), 0xFFAB0000u);
  // Formats the subset cannot store.
  EXPECT_FALSE(Dx7PixelLayout::from(dx7RgbFormat(8, 0xE0u, 0x1Cu, 0x03u)).valid());
  EXPECT_FALSE(Dx7PixelLayout::from(dx7RgbFormat(16, 0xF0F0u, 0x0F00u, 0x000Fu)).valid());
}

TEST_F(SurfaceTest, DeviceClearReadsBackThroughLock) {
  ASSERT_EQ(display.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699u, 0.5f, 0), D3D_OK);
  // The unused top byte of X8R8G8B8 reads as zero.
  EXPECT_EQ(dx7TestReadPixel(display.back, 0, 0), 0x336699u);
  EXPECT_EQ(dx7TestReadPixel(display.back, 7, 7), 0x336699u);
  EXPECT_NEAR(static_cast<double>(dx7TestReadPixel(display.zbuffer, 3, 3)), 0x7FFF, 1.0);

  // A rectangle clears only its pixels: rows are counted from the top.
  D3DRECT r{2, 1, 4, 3};
  ASSERT_EQ(display.device->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
  EXPECT_EQ(dx7TestReadPixel(display.back, 2, 1) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(dx7TestReadPixel(display.back, 3, 2) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(dx7TestReadPixel(display.back, 4, 1) & 0xFFFFFFu, 0x336699u);
  EXPECT_EQ(dx7TestReadPixel(display.back, 2, 3) & 0xFFFFFFu, 0x336699u);
  EXPECT_EQ(dx7TestReadPixel(display.back, 2, 0) & 0xFFFFFFu, 0x336699u);
}

TEST_F(SurfaceTest, SixteenBitBackBufferLocksInItsOwnFormat) {
  Dx7TestDisplay d16;
  ASSERT_TRUE(d16.open(4, 4, 16, 0));
  ASSERT_EQ(d16.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  ASSERT_EQ(d16.back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(d.lPitch, 8);
  EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_EQ(*static_cast<std::uint16_t*>(d.lpSurface), 0xF800u);
  EXPECT_EQ(d16.back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  d16.back->Unlock(nullptr);
  EXPECT_EQ(d16.back->Unlock(nullptr), DDERR_NOTLOCKED);
}

TEST_F(SurfaceTest, WritesToALockedBackBufferReachGl) {
  ASSERT_EQ(display.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
  ASSERT_TRUE(dx7TestWritePixel(display.back, 5, 6, 0x00ABCDEFu));
  // Drawing-side change after the write: a clear of another pixel keeps the written one.
  D3DRECT r{0, 0, 1, 1};
  ASSERT_EQ(display.device->Clear(1, &r, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);
  EXPECT_EQ(dx7TestReadPixel(display.back, 5, 6) & 0xFFFFFFu, 0xABCDEFu);
  EXPECT_EQ(dx7TestReadPixel(display.back, 0, 0) & 0xFFFFFFu, 0x00FF00u);
}

TEST_F(SurfaceTest, EachFormatRoundTripsThroughABlitIntoTheBackBuffer) {
  struct Case {
    DDPIXELFORMAT format;
    std::uint32_t raw;
    std::uint32_t rgb;
  };
  const Case cases[] = {{dx7TestFormat565(), 0xF81Fu, 0xFF00FFu},
                        {dx7TestFormat1555(), 0x83E0u, 0x00FF00u},
                        {dx7TestFormat4444(), 0xF00Fu, 0x0000FFu},
                        {dx7TestFormatX888(), 0x123456u, 0x123456u},
                        {dx7TestFormat8888(), 0xFF654321u, 0x654321u},
                        {dx7RgbFormat(24, 0xFF0000u, 0xFF00u, 0xFFu), 0xA1B2C3u, 0xA1B2C3u}};
  for (DWORD caps : {DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, DDSCAPS_TEXTURE}) {
    for (const Case& c : cases) {
      IDirectDrawSurface7* s = dx7TestSurface(display.directDraw, 4, 4, c.format, caps);
      ASSERT_NE(s, nullptr);
      ASSERT_TRUE(dx7TestFill(s, c.raw));
      EXPECT_EQ(dx7TestReadPixel(s, 3, 3), c.raw);
      ASSERT_EQ(display.back->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DD_OK);
      EXPECT_EQ(dx7TestReadPixel(display.back, 0, 0) & 0xFFFFFFu, c.rgb) << std::hex << c.raw;
      EXPECT_EQ(dx7TestReadPixel(display.back, 7, 7) & 0xFFFFFFu, c.rgb) << std::hex << c.raw;
      s->Release();
    }
  }
}

// A 2 x 2 picture: red, green / blue, magenta (the key).
IDirectDrawSurface7* quadPicture(IDirectDraw7* dd, const DDPIXELFORMAT& format) {
  IDirectDrawSurface7* s = dx7TestSurface(dd, 2, 2, format);
  Dx7PixelLayout l = Dx7PixelLayout::from(format);
  dx7TestWritePixel(s, 0, 0, l.fromArgb(0xFFFF0000u));
  dx7TestWritePixel(s, 1, 0, l.fromArgb(0xFF00FF00u));
  dx7TestWritePixel(s, 0, 1, l.fromArgb(0xFF0000FFu));
  dx7TestWritePixel(s, 1, 1, l.fromArgb(0xFFFF00FFu));
  DDCOLORKEY key{l.fromArgb(0xFFFF00FFu), l.fromArgb(0xFFFF00FFu)};
  s->SetColorKey(DDCKEY_SRCBLT, &key);
  return s;
}

TEST_F(SurfaceTest, StretchBlitWithSourceKeyInMemoryAndOnTheBackBuffer) {
  IDirectDrawSurface7* picture = quadPicture(display.directDraw, dx7TestFormat565());
  ASSERT_NE(picture, nullptr);
  Dx7PixelLayout l565 = Dx7PixelLayout::from(dx7TestFormat565());
  IDirectDrawSurface7* memoryTarget = dx7TestSurface(display.directDraw, 4, 4, dx7TestFormatX888());
  for (IDirectDrawSurface7* target : {memoryTarget, display.back}) {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = target == display.back ? 0x000000u : 0x202020u;
    ASSERT_EQ(target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    RECT dst{0, 0, 4, 4};
    ASSERT_EQ(target->Blt(&dst, picture, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, &fx), DD_OK);
    std::uint32_t background = target == display.back ? 0x000000u : 0x202020u;
    // Each source pixel covers 2 x 2; the keyed quarter leaves the background.
    EXPECT_EQ(dx7TestReadPixel(target, 1, 1) & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(dx7TestReadPixel(target, 2, 0) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(dx7TestReadPixel(target, 0, 3) & 0xFFFFFFu, 0x0000FFu);
    EXPECT_EQ(dx7TestReadPixel(target, 3, 3) & 0xFFFFFFu, background);
    EXPECT_EQ(dx7TestReadPixel(target, 2, 2) & 0xFFFFFFu, background);
    // Without the key flag the magenta pixels arrive.
    ASSERT_EQ(target->Blt(&dst, picture, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(dx7TestReadPixel(target, 3, 3) & 0xFFFFFFu, 0xFF00FFu);
  }
  // Shrinking into a 16-bit surface takes the first pixel of each stretch and converts.
  IDirectDrawSurface7* small = dx7TestSurface(display.directDraw, 1, 1, dx7TestFormat565());
  RECT src{1, 1, 4, 4};
  ASSERT_EQ(small->Blt(nullptr, memoryTarget, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(small, 0, 0), 0xF800u);
  ASSERT_EQ(small->Blt(nullptr, memoryTarget, &src, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(small, 0, 0), 0xF800u);
  RECT keyed{2, 2, 4, 4};
  ASSERT_EQ(small->Blt(nullptr, memoryTarget, &keyed, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(small, 0, 0), l565.fromArgb(0xFFFF00FFu));
  // Rectangles outside the surfaces are refused.
  RECT outside{3, 3, 5, 5};
  EXPECT_EQ(small->Blt(nullptr, memoryTarget, &outside, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  small->Release();
  memoryTarget->Release();
  picture->Release();
}

TEST_F(SurfaceTest, MipmappedTextureChainHasHalvingLevels) {
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_MIPMAPCOUNT;
  d.dwWidth = 64;
  d.dwHeight = 32;
  d.dwMipMapCount = 4;
  d.ddpfPixelFormat = dx7TestFormat565();
  d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
  d.ddsCaps.dwCaps2 = DDSCAPS2_D3DTEXTUREMANAGE;
  IDirectDrawSurface7* top = nullptr;
  ASSERT_EQ(display.directDraw->CreateSurface(&d, &top, nullptr), DD_OK);
  DDSCAPS2 caps{};
  ASSERT_EQ(top->GetCaps(&caps), DD_OK);
  std::vector<std::pair<DWORD, DWORD>> sizes;
  IDirectDrawSurface7* level = top;
  level->AddRef();
  for (;;) {
    DDSURFACEDESC2 ld{};
    ld.dwSize = sizeof(ld);
    ASSERT_EQ(level->GetSurfaceDesc(&ld), DD_OK);
    sizes.emplace_back(ld.dwWidth, ld.dwHeight);
    dx7TestFill(level, 0x001Fu * static_cast<std::uint32_t>(sizes.size()));
    IDirectDrawSurface7* next = nullptr;
    HRESULT hr = level->GetAttachedSurface(&caps, &next);
    level->Release();
    if (FAILED(hr)) break;
    level = next;
  }
  EXPECT_EQ(sizes, (std::vector<std::pair<DWORD, DWORD>>{{64, 32}, {32, 16}, {16, 8}, {8, 4}}));
  // The top level is what a blit copies.
  ASSERT_EQ(display.back->Blt(nullptr, top, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(display.back, 4, 4) & 0xFFFFFFu, 0x0000FFu);
  top->Release();

  // Without DDSCAPS_COMPLEX several levels are refused.
  d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
  EXPECT_EQ(display.directDraw->CreateSurface(&d, &top, nullptr), DDERR_INVALIDCAPS);
}

TEST_F(SurfaceTest, ZBufferRowsRoundTripRawly) {
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  ASSERT_EQ(display.zbuffer->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(d.ddpfPixelFormat.dwFlags, DDPF_ZBUFFER);
  auto* z = static_cast<std::uint16_t*>(d.lpSurface);
  for (int i = 0; i < 64; ++i) z[i] = static_cast<std::uint16_t>(i * 1000);
  display.zbuffer->Unlock(nullptr);
  // Drawing into the back buffer makes the next lock read the z-buffer back from GL.
  ASSERT_EQ(display.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
  ASSERT_EQ(display.zbuffer->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  z = static_cast<std::uint16_t*>(d.lpSurface);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(z[i], i * 1000);
  display.zbuffer->Unlock(nullptr);
}

TEST_F(SurfaceTest, EveryZFormatClearsAndRoundTripsInItsOwnLayout) {
  struct Case {
    DDPIXELFORMAT format;
    std::uint32_t quarter;  // z = 0.25 in the format
    std::uint32_t tolerance;
  };
  const Case cases[] = {{dx7ZBufferFormat(16, 0xFFFFu), 0x4000u, 1},
                        {dx7ZBufferFormat(24, 0xFFFFFFu), 0x400000u, 1},
                        {dx7ZBufferFormat(32, 0xFFFFFF00u, 8, 0xFFu), 0x40000000u, 0x100},
                        {dx7ZBufferFormat(32, 0xFFFFFFFFu), 0x40000000u, 0x100}};
  for (const Case& c : cases) {
    IDirectDrawSurface7* target =
        dx7TestSurface(display.directDraw, 4, 4, dx7TestFormatX888(), DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    IDirectDrawSurface7* z = dx7TestSurface(display.directDraw, 4, 4, c.format, DDSCAPS_ZBUFFER);
    ASSERT_NE(z, nullptr);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    EXPECT_EQ(target->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
    IDirect3DDevice7* device = nullptr;
    ASSERT_EQ(display.direct3D->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.25f, 0), D3D_OK);
    std::uint32_t value = dx7TestReadPixel(z, 2, 2);
    EXPECT_LE(value > c.quarter ? value - c.quarter : c.quarter - value, c.tolerance) << std::hex << value;
    // Raw values written through a lock come back after GL held them.
    ASSERT_TRUE(dx7TestWritePixel(z, 1, 1, c.quarter * 3));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    value = dx7TestReadPixel(z, 1, 1);
    EXPECT_LE(value > c.quarter * 3 ? value - c.quarter * 3 : c.quarter * 3 - value, c.tolerance) << std::hex << value;
    device->Release();
    z->Release();
    target->Release();
  }
}

TEST_F(SurfaceTest, LostSurfacesRefuseWorkUntilRestored) {
  ASSERT_EQ(display.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0), D3D_OK);
  dx7SimulateSurfaceLoss(false);
  EXPECT_EQ(display.back->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(display.primary->IsLost(), DDERR_SURFACELOST);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  EXPECT_EQ(display.back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(display.primary->Blt(nullptr, display.back, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(display.directDraw->RestoreAllSurfaces(), DD_OK);
  EXPECT_EQ(display.back->IsLost(), DD_OK);
  // The contents did not survive.
  EXPECT_EQ(dx7TestReadPixel(display.back, 1, 1) & 0xFFFFFFu, 0u);

  dx7SimulateSurfaceLoss(true);
  EXPECT_EQ(display.directDraw->TestCooperativeLevel(), DDERR_WRONGMODE);
  EXPECT_EQ(display.directDraw->RestoreAllSurfaces(), DDERR_WRONGMODE);
  EXPECT_EQ(display.back->IsLost(), DDERR_SURFACELOST);
}

TEST_F(SurfaceTest, PresentingKeepsTheFrame) {
  std::uint64_t before = dx7PresentedFrameCount();
  ASSERT_EQ(display.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030u, 1.0f, 0), D3D_OK);
  D3DRECT r{0, 0, 8, 1};
  ASSERT_EQ(display.device->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0), D3D_OK);
  RECT client{100, 100, 108, 108};
  ASSERT_EQ(display.primary->Blt(&client, display.back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7PresentedFrameCount(), before + 1);
  std::vector<std::uint32_t> frame;
  int w = 0, h = 0;
  ASSERT_TRUE(dx7ReadPresentedFrame(frame, &w, &h));
  ASSERT_EQ(w, 8);
  ASSERT_EQ(h, 8);
  EXPECT_EQ(frame[0], 0xFFFFFFFFu);  // top row first
  EXPECT_EQ(frame[8 * 7 + 3], 0xFF102030u);
}

TEST_F(SurfaceTest, FrameReadsThroughTheBufferRingComeBackInPresentationOrder) {
  dx7ResetFrameReads();
  RECT client{100, 100, 108, 108};
  const int ring = dx7FrameReadRing();
  ASSERT_GE(ring, 2);
  // One frame more than the ring holds: the last read waits until the oldest is taken.
  for (int i = 0; i <= ring; ++i) {
    std::uint32_t colour = 0xFF000000u | static_cast<std::uint32_t>(0x10 * (i + 1));
    ASSERT_EQ(display.device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK);
    ASSERT_EQ(display.primary->Blt(&client, display.back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(dx7BeginFrameRead(), i < ring) << i;
  }
  EXPECT_EQ(dx7PendingFrameReads(), ring);
  std::vector<std::uint32_t> frame;
  int w = 0, h = 0;
  ASSERT_TRUE(dx7TakeFrameRead(frame, &w, &h));
  EXPECT_EQ(frame[0], 0xFF000010u);
  EXPECT_TRUE(dx7BeginFrameRead());  // the last frame presented, in the freed buffer
  for (int i = 1; i <= ring; ++i) {
    ASSERT_TRUE(dx7TakeFrameRead(frame, &w, &h)) << i;
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    ASSERT_EQ(frame.size(), 64u);
    // Each frame as it was presented, though later frames were drawn over it since.
    EXPECT_EQ(frame[63], 0xFF000000u | static_cast<std::uint32_t>(0x10 * (i + 1))) << i;
  }
  EXPECT_FALSE(dx7TakeFrameRead(frame, &w, &h));
  dx7ResetFrameReads();
  EXPECT_EQ(dx7PendingFrameReads(), 0);
}

TEST_F(SurfaceTest, FullScreenFlipPresentsTheBackBuffer) {
  IDirectDraw7* dd = nullptr;
  ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
  HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10));  // headless: never dereferenced
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(123, 45, 32, 0, 0), DDERR_INVALIDMODE);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  d.dwBackBufferCount = 1;
  IDirectDrawSurface7* primary = nullptr;
  ASSERT_EQ(dd->CreateSurface(&d, &primary, nullptr), DD_OK);
  DDSCAPS2 caps{DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE, 0, 0, {0}};
  IDirectDrawSurface7* back = nullptr;
  ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
  DDPIXELFORMAT format{};
  format.dwSize = sizeof(format);
  ASSERT_EQ(back->GetPixelFormat(&format), DD_OK);
  EXPECT_EQ(format.dwRGBBitCount, 16u);
  EXPECT_EQ(format.dwGBitMask, 0x07E0u);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0x07E0u;
  ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
  std::vector<std::uint32_t> frame;
  int w = 0, h = 0;
  ASSERT_TRUE(dx7ReadPresentedFrame(frame, &w, &h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(frame[640 * 240 + 320], 0xFF00FF00u);
  // A second DirectDraw object cannot take exclusive mode meanwhile.
  IDirectDraw7* other = nullptr;
  ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&other), IID_IDirectDraw7, nullptr), DD_OK);
  EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_EXCLUSIVEMODEALREADYSET);
  other->Release();
  back->Release();
  primary->Release();
  dd->Release();
}

// Releasing the DirectDraw object frees every surface, also those only the enumeration reached.
HRESULT releaseEach(LPDIRECTDRAWSURFACE7 surface, LPDDSURFACEDESC2, LPVOID context) {
  ++*static_cast<int*>(context);
  surface->Release();
  return DDENUMRET_OK;
}

TEST_F(SurfaceTest, EnumSurfacesHandsOutEachSurfaceOnce) {
  IDirectDrawSurface7* extra = dx7TestSurface(display.directDraw, 2, 2, dx7TestFormat565());
  ASSERT_NE(extra, nullptr);
  int count = 0;
  ASSERT_EQ(
      display.directDraw->EnumSurfaces(DDENUMSURFACES_ALL | DDENUMSURFACES_DOESEXIST, nullptr, &count, releaseEach),
      DD_OK);
  EXPECT_EQ(count, 4);  // primary, back buffer, z-buffer, extra
  // The handed-out references were the enumeration's own: the surfaces still work.
  EXPECT_EQ(dx7TestReadPixel(extra, 0, 0), 0u);
  extra->Release();
}

TEST_F(SurfaceTest, DepthStencilBufferLocksWithTheMasksItWasCreatedWith) {
  // Depth in the low 24 bits, stencil in the top byte.
  IDirectDrawSurface7* target =
      dx7TestSurface(display.directDraw, 4, 4, dx7TestFormatX888(), DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  IDirectDrawSurface7* z =
      dx7TestSurface(display.directDraw, 4, 4, dx7ZBufferFormat(32, 0x00FFFFFFu, 8, 0xFF000000u), DDSCAPS_ZBUFFER);
  ASSERT_NE(target, nullptr);
  ASSERT_NE(z, nullptr);
  ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
  IDirect3DDevice7* device = nullptr;
  ASSERT_EQ(display.direct3D->CreateDevice(IID_IDirect3DHALDevice, target, &device), DD_OK);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0x5A), D3D_OK);
  EXPECT_EQ(dx7TestReadPixel(z, 2, 2), 0x5AFFFFFFu);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
  EXPECT_EQ(dx7TestReadPixel(z, 2, 2), 0x5A000000u);
  // Written through a lock, read back through GL: the depth test sees 0x400000 / 0xFFFFFF.
  ASSERT_TRUE(dx7TestFill(z, 0x11400000u));
  EXPECT_EQ(dx7TestReadPixel(z, 1, 3), 0x11400000u);
  // A depth fill keeps to the depth bits.
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillDepth = 0x00FFFFFFu;
  ASSERT_EQ(z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(z, 0, 0) & 0x00FFFFFFu, 0x00FFFFFFu);
  device->Release();
  z->Release();
  target->Release();
}

TEST_F(SurfaceTest, FlipPassesContentsRoundACircularChain) {
  IDirectDraw7* dd = nullptr;
  ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
  HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10));  // headless: never dereferenced
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  d.dwBackBufferCount = 2;
  IDirectDrawSurface7* front = nullptr;
  ASSERT_EQ(dd->CreateSurface(&d, &front, nullptr), DD_OK);
  DDSCAPS2 backCaps{DDSCAPS_BACKBUFFER, 0, 0, {0}};
  DDSCAPS2 flipCaps{DDSCAPS_FLIP, 0, 0, {0}};
  IDirectDrawSurface7* back1 = nullptr;
  IDirectDrawSurface7* back2 = nullptr;
  ASSERT_EQ(front->GetAttachedSurface(&backCaps, &back1), DD_OK);
  ASSERT_EQ(back1->GetAttachedSurface(&flipCaps, &back2), DD_OK);
  // The chain closes on the front.
  IDirectDrawSurface7* again = nullptr;
  ASSERT_EQ(back2->GetAttachedSurface(&flipCaps, &again), DD_OK);
  EXPECT_EQ(again, front);
  if (again) again->Release();

  auto fill = [](IDirectDrawSurface7* s, DWORD colour) {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = colour;
    ASSERT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  };
  fill(back1, 0xFF0000u);
  fill(back2, 0x00FF00u);
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  // The front shows what back 1 held, back 1 holds back 2's, back 2 the old front (black).
  std::vector<std::uint32_t> frame;
  int w = 0, h = 0;
  ASSERT_TRUE(dx7ReadPresentedFrame(frame, &w, &h));
  EXPECT_EQ(frame[640 * 240 + 320] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(dx7TestReadPixel(front, 5, 5) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(dx7TestReadPixel(back1, 5, 5) & 0xFFFFFFu, 0x00FF00u);
  EXPECT_EQ(dx7TestReadPixel(back2, 5, 5) & 0xFFFFFFu, 0x000000u);
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(back1, 5, 5) & 0xFFFFFFu, 0x000000u);
  EXPECT_EQ(dx7TestReadPixel(back2, 5, 5) & 0xFFFFFFu, 0xFF0000u);
  ASSERT_TRUE(dx7ReadPresentedFrame(frame, &w, &h));
  EXPECT_EQ(frame[640 * 240 + 320] & 0xFFFFFFu, 0x00FF00u);
  back2->Release();
  back1->Release();
  front->Release();
  dd->Release();
}

}  // namespace
