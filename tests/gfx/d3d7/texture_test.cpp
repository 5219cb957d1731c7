// Textures: size rules and mip levels, plain pictures and colour-keyed blits, loading from
// picture files (with alpha pictures of any size), and contents after a surface loss.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/directdraw_texture.h"
#include "platform/dx7/dx7_platform.h"
#include "support/d3d7_fixture.h"
#include "support/image_writers.h"

using d3d7_test::backPixel;
using d3d7_test::nearColour;
using d3d7_test::ProfileScope;
using d3d7_test::smallProfile;

namespace {

DirectDrawTexture* asSurfaceTexture(Texture* texture) { return static_cast<DirectDrawTexture*>(texture); }

// Pixel (x, y) of a surface in a 32-bit layout, read through a direct lock.
std::uint32_t surfacePixel(IDirectDrawSurface7* surface, int x, int y) {
  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return 0xdeadbeefu;
  std::uint32_t value = 0;
  std::memcpy(&value, static_cast<const std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * 4, 4);
  surface->Unlock(nullptr);
  return value;
}

image_test::Bytes solidPicture(int w, int h, std::uint32_t rgb) {
  image_test::Bytes pixels(static_cast<std::size_t>(w) * h * 3);
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = static_cast<std::uint8_t>(rgb & 0xff);
    pixels[i + 1] = static_cast<std::uint8_t>((rgb >> 8) & 0xff);
    pixels[i + 2] = static_cast<std::uint8_t>((rgb >> 16) & 0xff);
  }
  return pixels;
}

std::string writeBmp(const std::string& dir, const char* file, int w, int h, std::uint32_t rgb) {
  const std::string path = dir + "/" + file;
  EXPECT_TRUE(image_test::writeFile(path, image_test::writeBmp24(solidPicture(w, h, rgb), w, h)));
  return path;
}

struct Size {
  std::uint32_t width;
  std::uint32_t height;
  int levels;
};

Size textureSize(Direct3DDriver& driver, int w, int h) {
  Texture* texture = nullptr;
  EXPECT_TRUE(driver.createTexture(&texture, w, h, true, false));
  if (texture == nullptr) return {0, 0, -1};
  return {texture->width, texture->height, texture->levelCount};
}

}  // namespace

TEST(D3d7TextureCreation, SizesFollowTheDeviceRulesAndLevelsFollowTheWidth) {
  {
    ProfileScope profile(smallProfile());
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    const Size square = textureSize(*driver, 256, 256);
    EXPECT_EQ(square.width, 256u);
    EXPECT_EQ(square.height, 256u);
    EXPECT_EQ(square.levels, 6);
    const Size free = textureSize(*driver, 100, 60);
    EXPECT_EQ(free.width, 100u);
    EXPECT_EQ(free.height, 60u);
    EXPECT_EQ(free.levels, 4);
    EXPECT_EQ(textureSize(*driver, 7, 7).levels, 0);
    EXPECT_EQ(textureSize(*driver, 8, 8).levels, 1);
    EXPECT_EQ(textureSize(*driver, 2048, 16).levels, 9);
    EXPECT_EQ(textureSize(*driver, 4000, 16).width, 2048u);
  }
  {
    AdapterProfile pow2 = smallProfile();
    pow2.textureCaps |= D3DPTEXTURECAPS_POW2;
    ProfileScope profile(pow2);
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    const Size size = textureSize(*driver, 100, 60);
    EXPECT_EQ(size.width, 128u);
    EXPECT_EQ(size.height, 64u);
    EXPECT_EQ(size.levels, 5);
  }
  {
    AdapterProfile square = smallProfile();
    square.textureCaps |= D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY;
    ProfileScope profile(square);
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    const Size size = textureSize(*driver, 100, 60);
    EXPECT_EQ(size.width, 128u);
    EXPECT_EQ(size.height, 128u);
  }
}

TEST(D3d7TextureCreation, StagedTexturesAreNeverLockedAndCarryTheChosenFormat) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver(64, 48, true);
  ASSERT_NE(driver, nullptr);
  Texture* opaque = nullptr;
  Texture* translucent = nullptr;
  const std::uint32_t before = driver->textureCount;
  ASSERT_TRUE(driver->createTexture(&opaque, 32, 32, true, false));
  ASSERT_TRUE(driver->createTexture(&translucent, 32, 32, true, true));
  EXPECT_EQ(driver->textureCount, before + 2);
  EXPECT_TRUE(opaque->staged);
  EXPECT_EQ(opaque->lock(0), nullptr);
  EXPECT_EQ(opaque->format.bitsPerPixel, 16);
  EXPECT_EQ(opaque->format.redMask, 0xf800u);
  EXPECT_TRUE(translucent->alpha);
  EXPECT_EQ(translucent->format.alphaMask, 0xf000u);
  DDCOLORKEY key{};
  ASSERT_EQ(asSurfaceTexture(opaque)->surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, 0xf81fu);
  EXPECT_EQ(key.dwColorSpaceHighValue, 0xf81fu);

  // Inactive drivers create and release nothing.
  driver->active = false;
  Texture* none = nullptr;
  EXPECT_FALSE(driver->createTexture(&none, 8, 8, true, false));
  EXPECT_EQ(none, nullptr);
  driver->releaseTexture(opaque);
  EXPECT_EQ(driver->textureCount, before + 2);
  driver->active = true;
  driver->releaseTexture(opaque);
  EXPECT_EQ(driver->textureCount, before + 1);
}

TEST(D3d7PlainPicture, ColourKeyedBlitsLeaveMagentaPixelsTransparent) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  // Left half magenta, right half blue.
  std::vector<std::uint8_t> rgb(8 * 8 * 3);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      std::uint8_t* p = &rgb[(y * 8 + x) * 3];
      if (x < 4) {
        p[0] = 0xff;
        p[1] = 0x00;
        p[2] = 0xff;
      } else {
        p[0] = 0xff;
        p[1] = 0x00;
        p[2] = 0x00;
      }
    }
  Texture* picture = nullptr;
  ASSERT_TRUE(driver->createTextureFromPixels(&picture, "picture", 8, 8, rgb.data(), nullptr, false));
  EXPECT_FALSE(picture->staged);
  EXPECT_EQ(picture->levelCount, 0);
  EXPECT_STREQ(picture->name, "picture");
  EXPECT_EQ(picture->format.bitsPerPixel, driver->backBuffer->format.bitsPerPixel);

  driver->clear(0x00ff0000u, 1.0f, 0, nullptr, false);
  driver->backBuffer->blitAt(10, 10, picture, true);
  EXPECT_EQ(backPixel(*driver, 11, 11), 0xff0000u);
  EXPECT_EQ(backPixel(*driver, 16, 11), 0x0000ffu);
  driver->backBuffer->blitAt(30, 10, picture, false);
  EXPECT_EQ(backPixel(*driver, 31, 11), 0xff00ffu);

  // Stretched onto a rectangle, without key.
  RECT target{0, 24, 32, 48};
  driver->backBuffer->blit(&target, picture, nullptr, false);
  EXPECT_EQ(backPixel(*driver, 4, 30), 0xff00ffu);
  EXPECT_EQ(backPixel(*driver, 28, 30), 0x0000ffu);

  // Invalid sources are ignored.
  driver->clear(0x0000ff00u, 1.0f, 0, nullptr, false);
  picture->valid = false;
  driver->backBuffer->blitAt(0, 0, picture, false);
  EXPECT_EQ(backPixel(*driver, 5, 1), 0x00ff00u);
}

TEST(D3d7TextureLoading, PictureFilesWithAndWithoutAlphaPictures) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  const std::string dir = image_test::makeTempDir("d3d7_textures");
  const std::string colour = writeBmp(dir, "colour.bmp", 16, 16, 0x2060a0);
  // The alpha picture is smaller than the colour picture: it is fitted to it.
  const std::string alpha = writeBmp(dir, "alpha.bmp", 4, 4, 0x406080);

  Texture* translucent = nullptr;
  ASSERT_TRUE(driver->loadTexture(&translucent, colour.c_str(), alpha.c_str(), true));
  const std::string fullName = colour + "(" + alpha + ")";
  EXPECT_STREQ(translucent->name, fullName.c_str());
  EXPECT_TRUE(translucent->alpha);
  EXPECT_EQ(driver->findTexture(fullName.c_str()), translucent);
  EXPECT_EQ(driver->findTexture(colour.c_str()), nullptr);
  IDirectDrawSurface7* top = asSurfaceTexture(translucent)->surface;
  EXPECT_EQ(surfacePixel(top, 3, 3), 0x602060a0u);  // alpha (0x40+0x60+0x80)/3
  DDSCAPS2 caps{};
  caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
  IDirectDrawSurface7* level1 = nullptr;
  ASSERT_EQ(top->GetAttachedSurface(&caps, &level1), DD_OK);
  EXPECT_EQ(surfacePixel(level1, 1, 1), 0x602060a0u);
  level1->Release();

  Texture* plain = nullptr;
  ASSERT_TRUE(driver->loadTexture(&plain, colour.c_str(), nullptr, false));
  EXPECT_STREQ(plain->name, colour.c_str());
  EXPECT_EQ(driver->findTexture(colour.c_str()), plain);
  auto* pixels = static_cast<const std::uint8_t*>(plain->lock(0));
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[0], 0xa0);
  EXPECT_EQ(pixels[1], 0x60);
  EXPECT_EQ(pixels[2], 0x20);
  plain->unlock(0);

  const std::string jpeg = dir + "/photo.jpg";
  ASSERT_TRUE(image_test::writeFile(jpeg, image_test::writeJpeg(solidPicture(16, 16, 0x3070b0), 16, 16, 3)));
  Texture* photo = nullptr;
  ASSERT_TRUE(driver->loadTexture(&photo, jpeg.c_str(), nullptr, true));
  EXPECT_TRUE(nearColour(surfacePixel(asSurfaceTexture(photo)->surface, 8, 8) & 0xffffff, 0x3070b0, 4));

  const std::uint32_t count = driver->textureCount;
  Texture* missing = nullptr;
  EXPECT_FALSE(driver->loadTexture(&missing, (dir + "/none.bmp").c_str(), nullptr, true));
  EXPECT_FALSE(driver->loadTexture(&missing, colour.c_str(), (dir + "/none.bmp").c_str(), true));
  EXPECT_EQ(driver->textureCount, count);
  EXPECT_FALSE(driver->createTextureFromPixels(&missing, "x", 4, 4, nullptr, nullptr, true));
}

TEST(D3d7TextureLoading, PixelBuffersWithAlphaAreNamedTwice) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  const image_test::Bytes rgb = solidPicture(8, 8, 0x102030);
  const image_test::Bytes alpha = solidPicture(8, 8, 0xffffff);
  Texture* texture = nullptr;
  ASSERT_TRUE(driver->createTextureFromPixels(&texture, "flare", 8, 8, rgb.data(), alpha.data(), true));
  EXPECT_STREQ(texture->name, "flare(flare)");
  EXPECT_EQ(surfacePixel(asSurfaceTexture(texture)->surface, 0, 0), 0xff102030u);
}

TEST(D3d7SurfaceContents, SavedAndRestoredAcrossASimulatedLoss) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  const std::string dir = image_test::makeTempDir("d3d7_restore");
  const std::string colour = writeBmp(dir, "c.bmp", 16, 16, 0x112233);
  const std::string alpha = writeBmp(dir, "a.bmp", 16, 16, 0x808080);
  Texture* staged = nullptr;
  Texture* colourOnly = nullptr;
  Texture* plain = nullptr;
  ASSERT_TRUE(driver->loadTexture(&staged, colour.c_str(), alpha.c_str(), true));
  ASSERT_TRUE(driver->loadTexture(&colourOnly, colour.c_str(), nullptr, true));
  ASSERT_TRUE(driver->loadTexture(&plain, colour.c_str(), nullptr, false));
  driver->clear(0x00445566u, 0.25f, 0, nullptr, true);

  auto* depthBits = static_cast<const std::uint8_t*>(driver->depthBuffer->lock(0));
  ASSERT_NE(depthBits, nullptr);
  const std::vector<std::uint8_t> depthBefore(depthBits, depthBits + driver->depthBuffer->pitch * 48);
  driver->depthBuffer->unlock(0);

  driver->saveSurfaces();
  EXPECT_EQ(staged->backup, nullptr);
  ASSERT_NE(plain->backup, nullptr);
  dx7SimulateSurfaceLoss(false);
  EXPECT_NE(driver->backSurface->IsLost(), DD_OK);
  ASSERT_EQ(driver->directDraw->RestoreAllSurfaces(), DD_OK);

  // The files changed meanwhile: staged textures reload them by name.
  writeBmp(dir, "c.bmp", 16, 16, 0x778899);
  driver->restoreSurfaces();
  EXPECT_EQ(surfacePixel(asSurfaceTexture(staged)->surface, 2, 2), 0x80778899u);
  EXPECT_EQ(surfacePixel(asSurfaceTexture(colourOnly)->surface, 2, 2) & 0xffffff, 0x778899u);
  EXPECT_EQ(surfacePixel(asSurfaceTexture(plain)->surface, 2, 2) & 0xffffff, 0x112233u);
  EXPECT_EQ(plain->backup, nullptr);
  EXPECT_EQ(backPixel(*driver, 7, 7), 0x445566u);
  DDCOLORKEY key{};
  ASSERT_EQ(driver->backSurface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue & 0xffffff, 0xff00ffu);

  depthBits = static_cast<const std::uint8_t*>(driver->depthBuffer->lock(0));
  ASSERT_NE(depthBits, nullptr);
  EXPECT_EQ(std::memcmp(depthBits, depthBefore.data(), depthBefore.size()), 0);
  driver->depthBuffer->unlock(0);

  // A staged texture whose alpha file vanished comes back opaque.
  std::remove(alpha.c_str());
  driver->saveSurfaces();
  dx7SimulateSurfaceLoss(false);
  driver->directDraw->RestoreAllSurfaces();
  driver->restoreSurfaces();
  EXPECT_EQ(surfacePixel(asSurfaceTexture(staged)->surface, 2, 2), 0xff778899u);
}
