// Blt and BltFast as the platform performs them: raster operations (on z-buffers too), ignored
// blending flags, source and destination colour keys, which source pixel a stretch takes, raw
// copies between formats of one layout, and stretched depth copies.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dx7/dx7_pixel_layout.h"
#include "platform/dx7/dx7_platform.h"
#include "support/dx7_test_display.h"

namespace {

class BlitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dx7ResetAdapterProfile();
    ASSERT_TRUE(display.open(8, 8));
    memory = dx7TestSurface(display.directDraw, 8, 8, dx7TestFormatX888());
    ASSERT_NE(memory, nullptr);
  }
  void TearDown() override {
    if (memory) memory->Release();
  }
  // The memory surface and the back buffer (held in GL) as destinations.
  std::vector<IDirectDrawSurface7*> targets() { return {memory, display.back}; }
  static DDBLTFX effects() {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    return fx;
  }
  static void fill(IDirectDrawSurface7* s, DWORD colour) {
    DDBLTFX fx = effects();
    fx.dwFillColor = colour;
    ASSERT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  }
  static std::uint32_t rgb(IDirectDrawSurface7* s, int x, int y) { return dx7TestReadPixel(s, x, y) & 0xFFFFFFu; }
  // A one-row X8R8G8B8 picture of the given colours.
  IDirectDrawSurface7* row(const std::vector<std::uint32_t>& colours) {
    IDirectDrawSurface7* s =
        dx7TestSurface(display.directDraw, static_cast<DWORD>(colours.size()), 1, dx7TestFormatX888());
    for (size_t i = 0; i < colours.size(); ++i) dx7TestWritePixel(s, static_cast<int>(i), 0, colours[i]);
    return s;
  }

  Dx7TestDisplay display;
  IDirectDrawSurface7* memory = nullptr;
};

TEST_F(BlitTest, RasterOperationsBlacknessWhitenessAndSourceCopy) {
  IDirectDrawSurface7* picture = row({0x123456u});
  for (IDirectDrawSurface7* target : targets()) {
    fill(target, 0x808080u);
    DDBLTFX fx = effects();
    RECT left{0, 0, 4, 8};
    fx.dwROP = 0x00FF0062;  // WHITENESS
    ASSERT_EQ(target->Blt(&left, nullptr, nullptr, DDBLT_ROP | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(rgb(target, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb(target, 4, 0), 0x808080u);
    fx.dwROP = 0x00000042;  // BLACKNESS
    ASSERT_EQ(target->Blt(&left, nullptr, nullptr, DDBLT_ROP | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(rgb(target, 3, 7), 0x000000u);
    fx.dwROP = 0x00CC0020;  // SRCCOPY
    ASSERT_EQ(target->Blt(&left, picture, nullptr, DDBLT_ROP | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(rgb(target, 2, 2), 0x123456u);
    // Other operations are not available.
    fx.dwROP = 0x00660046;  // SRCINVERT
    EXPECT_EQ(target->Blt(&left, picture, nullptr, DDBLT_ROP | DDBLT_WAIT, &fx), DDERR_NORASTEROPHW);
    EXPECT_EQ(rgb(target, 2, 2), 0x123456u);
  }
  picture->Release();
}

// On a z-buffer the two raster operations that need no source clear or set every bit, the
// stencil bits with the depth bits, as they do on colour surfaces.
TEST_F(BlitTest, BlacknessAndWhitenessFillZBuffersWithZeroAndOneBits) {
  IDirectDrawSurface7* depth = dx7TestSurface(display.directDraw, 4, 4, dx7ZBufferFormat(16, 0xFFFFu), DDSCAPS_ZBUFFER);
  IDirectDrawSurface7* stencil =
      dx7TestSurface(display.directDraw, 4, 4, dx7ZBufferFormat(32, 0x00FFFFFFu, 8, 0xFF000000u), DDSCAPS_ZBUFFER);
  ASSERT_NE(depth, nullptr);
  ASSERT_NE(stencil, nullptr);
  struct Case {
    IDirectDrawSurface7* surface;
    std::uint32_t allOnes;
  };
  for (const Case& c : {Case{depth, 0xFFFFu}, Case{stencil, 0xFFFFFFFFu}}) {
    ASSERT_TRUE(dx7TestFill(c.surface, 0x12345678u & c.allOnes));
    DDBLTFX fx = effects();
    fx.dwROP = 0x00FF0062;  // WHITENESS
    ASSERT_EQ(c.surface->Blt(nullptr, nullptr, nullptr, DDBLT_ROP | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(dx7TestReadPixel(c.surface, 3, 3), c.allOnes);
    RECT left{0, 0, 2, 4};
    fx.dwROP = 0x00000042;  // BLACKNESS
    ASSERT_EQ(c.surface->Blt(&left, nullptr, nullptr, DDBLT_ROP | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(dx7TestReadPixel(c.surface, 1, 3), 0u);
    EXPECT_EQ(dx7TestReadPixel(c.surface, 2, 0), c.allOnes);
  }
  stencil->Release();
  depth->Release();
}

TEST_F(BlitTest, AlphaAndZBufferFlagsAreIgnoredAndTheBlitCopies) {
  IDirectDrawSurface7* picture = row({0xA0B0C0u});
  for (IDirectDrawSurface7* target : targets()) {
    for (DWORD flag :
         {DDBLT_ALPHASRC, DDBLT_ALPHADEST, DDBLT_ALPHASRCCONSTOVERRIDE, DDBLT_ZBUFFER, DDBLT_ZBUFFERSRCOVERRIDE}) {
      fill(target, 0);
      DDBLTFX fx = effects();
      ASSERT_EQ(target->Blt(nullptr, picture, nullptr, flag | DDBLT_WAIT, &fx), DD_OK) << std::hex << flag;
      EXPECT_EQ(rgb(target, 5, 5), 0xA0B0C0u) << std::hex << flag;
    }
  }
  picture->Release();
}

TEST_F(BlitTest, SourceKeyFlagsAreChecked) {
  IDirectDrawSurface7* unkeyed = row({0x00FF00u});
  IDirectDrawSurface7* keyed = row({0xFF00FFu});
  DDCOLORKEY key{0xFF00FFu, 0xFF00FFu};
  ASSERT_EQ(keyed->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  for (IDirectDrawSurface7* target : targets()) {
    fill(target, 0x101010u);
    DDBLTFX fx = effects();
    fx.ddckSrcColorkey = key;
    // Both source-key flags at once, or a source without a key: refused, nothing drawn.
    EXPECT_EQ(target->Blt(nullptr, keyed, nullptr, DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &fx),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(target->Blt(nullptr, unkeyed, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, &fx), DDERR_INVALIDPARAMS);
    EXPECT_EQ(rgb(target, 1, 1), 0x101010u);
    // Each alone works.
    ASSERT_EQ(target->Blt(nullptr, keyed, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(rgb(target, 1, 1), 0x101010u);
    ASSERT_EQ(target->Blt(nullptr, unkeyed, nullptr, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(rgb(target, 1, 1), 0x00FF00u);
  }
  keyed->Release();
  unkeyed->Release();
}

TEST_F(BlitTest, DestinationKeysReplaceOnlyMatchingPixels) {
  IDirectDrawSurface7* picture = row({0x3366CCu});
  for (IDirectDrawSurface7* target : targets()) {
    // Left half black (the key), right half grey.
    fill(target, 0x000000u);
    RECT right{4, 0, 8, 8};
    DDBLTFX grey = effects();
    grey.dwFillColor = 0x808080u;
    ASSERT_EQ(target->Blt(&right, nullptr, nullptr, DDBLT_COLORFILL, &grey), DD_OK);

    // The surface's own destination key.
    DDCOLORKEY black{0, 0};
    ASSERT_EQ(target->SetColorKey(DDCKEY_DESTBLT, &black), DD_OK);
    ASSERT_EQ(target->Blt(nullptr, picture, nullptr, DDBLT_KEYDEST | DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(rgb(target, 1, 1), 0x3366CCu);
    EXPECT_EQ(rgb(target, 6, 1), 0x808080u);

    // An override key naming the grey.
    DDBLTFX fx = effects();
    fx.ddckDestColorkey = DDCOLORKEY{0x808080u, 0x808080u};
    IDirectDrawSurface7* white = row({0xFFFFFFu});
    ASSERT_EQ(target->Blt(nullptr, white, nullptr, DDBLT_KEYDESTOVERRIDE | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(rgb(target, 1, 1), 0x3366CCu);
    EXPECT_EQ(rgb(target, 6, 1), 0xFFFFFFu);

    // BltFast with the destination key: only the black... none left but a fresh one.
    RECT corner{0, 0, 1, 1};
    DDBLTFX zero = effects();
    ASSERT_EQ(target->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL, &zero), DD_OK);
    IDirectDrawSurface7* red = row({0xFF0000u, 0xFF0000u});
    ASSERT_EQ(target->BltFast(0, 0, red, nullptr, DDBLTFAST_DESTCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(rgb(target, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgb(target, 1, 0), 0x3366CCu);

    // Asking for the surface's key and an override at once is refused.
    EXPECT_EQ(target->Blt(nullptr, white, nullptr, DDBLT_KEYDEST | DDBLT_KEYDESTOVERRIDE, &fx), DDERR_INVALIDPARAMS);
    ASSERT_EQ(target->SetColorKey(DDCKEY_DESTBLT, nullptr), DD_OK);
    EXPECT_EQ(target->Blt(nullptr, white, nullptr, DDBLT_KEYDEST, nullptr), DDERR_INVALIDPARAMS);
    red->Release();
    white->Release();
  }
  picture->Release();
}

TEST_F(BlitTest, StretchesTakeTheSourcePixelAtTheFloorOfTheScaledPosition) {
  // Shrinking red, green, blue onto two pixels takes source 0 and 1 (floor(x * 3 / 2)); a
  // pixel-centre rule would take 0 and 2.
  IDirectDrawSurface7* three = row({0xFF0000u, 0x00FF00u, 0x0000FFu});
  IDirectDrawSurface7* two = row({0xFF0000u, 0x00FF00u});
  for (IDirectDrawSurface7* target : targets()) {
    fill(target, 0);
    RECT dst{0, 0, 2, 1};
    ASSERT_EQ(target->Blt(&dst, three, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(rgb(target, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgb(target, 1, 0), 0x00FF00u);
    // Enlarging two onto three takes 0, 0, 1 (centres would take 0, 1, 1).
    RECT wide{0, 1, 3, 2};
    ASSERT_EQ(target->Blt(&wide, two, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(rgb(target, 0, 1), 0xFF0000u);
    EXPECT_EQ(rgb(target, 1, 1), 0xFF0000u);
    EXPECT_EQ(rgb(target, 2, 1), 0x00FF00u);
    // A source rectangle offsets the same way: 7 source pixels from 1 onto 3 take 1, 3, 5.
    IDirectDrawSurface7* ramp =
        row({0x000000u, 0x000011u, 0x000022u, 0x000033u, 0x000044u, 0x000055u, 0x000066u, 0x000077u});
    RECT src{1, 0, 8, 1};
    RECT three2{0, 2, 3, 3};
    ASSERT_EQ(target->Blt(&three2, ramp, &src, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(rgb(target, 0, 2), 0x000011u);
    EXPECT_EQ(rgb(target, 1, 2), 0x000033u);
    EXPECT_EQ(rgb(target, 2, 2), 0x000055u);
    ramp->Release();
  }
  // Between two surfaces held in GL as well.
  IDirectDrawSurface7* rt =
      dx7TestSurface(display.directDraw, 3, 1, dx7TestFormatX888(), DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  ASSERT_NE(rt, nullptr);
  ASSERT_EQ(rt->Blt(nullptr, three, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  RECT dst{0, 0, 2, 1};
  ASSERT_EQ(display.back->Blt(&dst, rt, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(rgb(display.back, 1, 0), 0x00FF00u);
  rt->Release();
  two->Release();
  three->Release();
}

TEST_F(BlitTest, SixteenBitBlitsBetweenOneLayoutCopyTheTopBitAsItIs) {
  IDirectDrawSurface7* x1555 = dx7TestSurface(display.directDraw, 2, 1, dx7RgbFormat(16, 0x7C00u, 0x03E0u, 0x001Fu));
  IDirectDrawSurface7* a1555 = dx7TestSurface(display.directDraw, 2, 1, dx7TestFormat1555());
  ASSERT_NE(x1555, nullptr);
  ASSERT_NE(a1555, nullptr);
  dx7TestWritePixel(x1555, 0, 0, 0x7C00u);
  dx7TestWritePixel(x1555, 1, 0, 0x83E0u);
  ASSERT_EQ(a1555->Blt(nullptr, x1555, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(a1555, 0, 0), 0x7C00u);
  EXPECT_EQ(dx7TestReadPixel(a1555, 1, 0), 0x83E0u);
  // Formats of another layout are still converted.
  IDirectDrawSurface7* r565 = dx7TestSurface(display.directDraw, 2, 1, dx7TestFormat565());
  ASSERT_EQ(r565->Blt(nullptr, a1555, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(r565, 0, 0), 0xF800u);
  r565->Release();
  a1555->Release();
  x1555->Release();
}

TEST_F(BlitTest, DepthBlitsStretchLikeColourBlits) {
  const DDPIXELFORMAT format = dx7ZBufferFormat(16, 0xFFFFu);
  IDirectDrawSurface7* small = dx7TestSurface(display.directDraw, 2, 2, format, DDSCAPS_ZBUFFER);
  IDirectDrawSurface7* large = dx7TestSurface(display.directDraw, 4, 4, format, DDSCAPS_ZBUFFER);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  dx7TestWritePixel(small, 0, 0, 0x1000u);
  dx7TestWritePixel(small, 1, 0, 0x2000u);
  dx7TestWritePixel(small, 0, 1, 0x3000u);
  dx7TestWritePixel(small, 1, 1, 0x4000u);
  ASSERT_EQ(large->Blt(nullptr, small, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(large, 1, 1), 0x1000u);
  EXPECT_EQ(dx7TestReadPixel(large, 2, 1), 0x2000u);
  EXPECT_EQ(dx7TestReadPixel(large, 1, 2), 0x3000u);
  EXPECT_EQ(dx7TestReadPixel(large, 3, 3), 0x4000u);
  // And back down: pixel 0 of each pair.
  dx7TestWritePixel(large, 2, 2, 0x5555u);
  ASSERT_EQ(small->Blt(nullptr, large, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dx7TestReadPixel(small, 1, 1), 0x5555u);
  large->Release();
  small->Release();
}

}  // namespace
