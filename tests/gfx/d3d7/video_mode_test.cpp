// Adapter and mode enumeration callbacks, the mode choice (preselection, preset, dialog hook),
// and the z-buffer and texture format choices made during set-up.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/dx7/dx7_platform.h"
#include "support/d3d7_fixture.h"

namespace {

DDSURFACEDESC2 modeDesc(DWORD w, DWORD h, DWORD bits) {
  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwWidth = w;
  desc.dwHeight = h;
  desc.ddpfPixelFormat.dwRGBBitCount = bits;
  return desc;
}

void addAdapterWithModes(Direct3DDriver& driver, std::initializer_list<DDSURFACEDESC2> modes) {
  char description[] = "Card";
  char name[] = "card";
  ASSERT_TRUE(enumerateAdapter(nullptr, description, name, &driver, nullptr));
  for (DDSURFACEDESC2 mode : modes) enumerateMode(&mode, &driver.adapters[driver.adapterCount - 1]);
}

}  // namespace

TEST(D3d7AdapterEnumeration, AdaptersKeepGuidCopiesNamesAndStartWithoutModes) {
  Direct3DDriver driver(nullptr, "t");
  GUID secondary{0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
  char description1[] = "Primary display";
  char name1[] = "display";
  char description2[] = "3D accelerator";
  char name2[] = "accel";
  EXPECT_TRUE(enumerateAdapter(nullptr, description1, name1, &driver, nullptr));
  EXPECT_TRUE(enumerateAdapter(&secondary, description2, name2, &driver, nullptr));
  ASSERT_EQ(driver.adapterCount, 2);
  EXPECT_EQ(driver.adapters[0].guid, nullptr);
  EXPECT_STREQ(driver.adapters[0].description, "Primary display");
  EXPECT_STREQ(driver.adapters[0].driverName, "display");
  ASSERT_NE(driver.adapters[1].guid, nullptr);
  EXPECT_NE(driver.adapters[1].guid, &secondary);
  EXPECT_TRUE(IsEqualGUID(*driver.adapters[1].guid, secondary));
  EXPECT_EQ(driver.adapters[1].modeCount, 0);
  EXPECT_EQ(driver.adapters[1].modes, nullptr);
}

TEST(D3d7AdapterEnumeration, ModesOfUsableDepthsAreKeptInOrder) {
  Direct3DDriver driver(nullptr, "t");
  addAdapterWithModes(driver, {modeDesc(320, 200, 8), modeDesc(640, 480, 15), modeDesc(640, 480, 16),
                               modeDesc(640, 480, 4), modeDesc(800, 600, 24), modeDesc(1024, 768, 32)});
  const AdapterInfo& adapter = driver.adapters[0];
  ASSERT_EQ(adapter.modeCount, 4);
  EXPECT_EQ(adapter.modes[0].ddpfPixelFormat.dwRGBBitCount, 15u);
  EXPECT_EQ(adapter.modes[1].ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_EQ(adapter.modes[2].dwWidth, 800u);
  EXPECT_EQ(adapter.modes[3].dwWidth, 1024u);
  EXPECT_EQ(adapter.modes[3].dwSize, sizeof(DDSURFACEDESC2));
}

TEST(D3d7AdapterEnumeration, DefaultModePrefers640x480At32Bits) {
  Direct3DDriver driver(nullptr, "t");
  addAdapterWithModes(driver,
                      {modeDesc(320, 240, 16), modeDesc(640, 480, 16), modeDesc(640, 480, 32), modeDesc(800, 600, 32)});
  addAdapterWithModes(driver, {modeDesc(800, 600, 16), modeDesc(1024, 768, 32)});
  addAdapterWithModes(driver, {modeDesc(640, 480, 32), modeDesc(640, 480, 16)});
  addAdapterWithModes(driver, {modeDesc(640, 480, 15), modeDesc(640, 480, 16)});
  addAdapterWithModes(driver, {});
  EXPECT_EQ(driver.defaultMode(0), 2);
  EXPECT_EQ(driver.defaultMode(1), 0);
  EXPECT_EQ(driver.defaultMode(2), 0);
  EXPECT_EQ(driver.defaultMode(3), 1);
  EXPECT_EQ(driver.defaultMode(4), -1);
  EXPECT_EQ(driver.defaultMode(9), -1);
  EXPECT_EQ(driver.findMode(0, 800, 600, 32), 3);
  EXPECT_EQ(driver.findMode(0, 800, 600, 16), -1);
}

namespace {
int dialogCalls = 0;
void pickSecondModeFullscreen(Direct3DDriver& driver) {
  ++dialogCalls;
  driver.modeIndex = 1;
  driver.fullscreen = true;
  driver.waitForRetrace = true;
  driver.lowBppTextures = true;
  driver.dither = false;
}
}  // namespace

TEST(D3d7VideoModeChoice, WithoutDialogThePreselectionStands) {
  d3d7_test::ProfileScope profile(d3d7_test::smallProfile());
  win32SetHeadless(true);
  Direct3DDriver driver(nullptr, "t");
  ASSERT_TRUE(driver.chooseVideoMode(0, 0));
  EXPECT_EQ(driver.videoChoice, VideoChoice::kChosen);
  ASSERT_EQ(driver.adapterCount, 1);
  EXPECT_STREQ(driver.adapters[0].description, "Test adapter");
  EXPECT_EQ(driver.adapters[0].modeCount, 4);
  EXPECT_EQ(driver.width, 640);
  EXPECT_EQ(driver.height, 480);
  EXPECT_EQ(driver.bitsPerPixel, 32);
  EXPECT_FALSE(driver.fullscreen);
  EXPECT_FALSE(driver.waitForRetrace);
  EXPECT_FALSE(driver.lowBppTextures);
  EXPECT_TRUE(driver.dither);
}

TEST(D3d7VideoModeChoice, TheDialogHookSetsTheOptionsAndMode) {
  d3d7_test::ProfileScope profile(d3d7_test::smallProfile());
  win32SetHeadless(true);
  dialogCalls = 0;
  Direct3DDriver::setVideoSetupDialog(pickSecondModeFullscreen);
  Direct3DDriver driver(nullptr, "t");
  const bool chosen = driver.chooseVideoMode(0, 0);
  Direct3DDriver::setVideoSetupDialog(nullptr);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialogCalls, 1);
  EXPECT_EQ(driver.width, 640);
  EXPECT_EQ(driver.bitsPerPixel, 16);
  EXPECT_TRUE(driver.fullscreen);
  EXPECT_TRUE(driver.waitForRetrace);
  EXPECT_TRUE(driver.lowBppTextures);
  EXPECT_FALSE(driver.dither);
}

TEST(D3d7VideoModeChoice, PresetSkipsTheDialogAndReportsMissingModesAndAdapters) {
  d3d7_test::ProfileScope profile(d3d7_test::smallProfile());
  win32SetHeadless(true);
  dialogCalls = 0;
  Direct3DDriver::setVideoSetupDialog(pickSecondModeFullscreen);

  Direct3DDriver driver(nullptr, "t");
  VideoPreset preset;
  preset.width = 800;
  preset.height = 600;
  preset.waitForRetrace = true;
  preset.dither = false;
  driver.presetVideoOptions(preset);
  EXPECT_TRUE(driver.chooseVideoMode(0, 0));
  EXPECT_EQ(driver.width, 800);
  EXPECT_EQ(driver.bitsPerPixel, 32);
  EXPECT_TRUE(driver.waitForRetrace);
  EXPECT_FALSE(driver.dither);
  EXPECT_FALSE(driver.fullscreen);

  Direct3DDriver missingMode(nullptr, "t");
  preset.width = 123;
  preset.height = 45;
  missingMode.presetVideoOptions(preset);
  EXPECT_FALSE(missingMode.chooseVideoMode(0, 0));
  EXPECT_EQ(missingMode.videoChoice, VideoChoice::kUnknownMode);
  EXPECT_EQ(missingMode.adapters[0].modeCount, 4);

  Direct3DDriver missingAdapter(nullptr, "t");
  VideoPreset adapterPreset;
  adapterPreset.adapter = 3;
  missingAdapter.presetVideoOptions(adapterPreset);
  EXPECT_FALSE(missingAdapter.chooseVideoMode(0, 0));
  EXPECT_EQ(missingAdapter.videoChoice, VideoChoice::kUnknownAdapter);

  Direct3DDriver::setVideoSetupDialog(nullptr);
  EXPECT_EQ(dialogCalls, 0);
}

TEST(D3d7VideoModeChoice, AnAdapterWithoutModesLeavesNoChoice) {
  AdapterProfile empty = d3d7_test::smallProfile();
  empty.adapters[0].modes.clear();
  d3d7_test::ProfileScope profile(empty);
  win32SetHeadless(true);
  Direct3DDriver driver(nullptr, "t");
  EXPECT_FALSE(driver.chooseVideoMode(0, 0));
  EXPECT_EQ(driver.videoChoice, VideoChoice::kNoModes);
}

TEST(D3d7DepthFormatChoice, TheDisplayDepthWinsThenSixteenBitsThenTheDeepest) {
  auto choose = [](std::initializer_list<DDPIXELFORMAT> formats, int displayBits) {
    Direct3DDriver driver(nullptr, "t");
    driver.bitsPerPixel = static_cast<std::uint16_t>(displayBits);
    for (DDPIXELFORMAT f : formats)
      if (Direct3DDriver::depthFormatCallback(&f, &driver) == D3DENUMRET_CANCEL) break;
    return driver.hasDepthFormat ? static_cast<int>(driver.depthBits) : 0;
  };
  const DDPIXELFORMAT z16 = dx7ZBufferFormat(16, 0xffff);
  const DDPIXELFORMAT z24 = dx7ZBufferFormat(24, 0xffffff);
  const DDPIXELFORMAT z32 = dx7ZBufferFormat(32, 0xffffffff);
  const DDPIXELFORMAT z24s8 = dx7ZBufferFormat(32, 0xffffff00, 8, 0xff);
  EXPECT_EQ(choose({z16, z24, z32}, 32), 32);
  EXPECT_EQ(choose({z24, z16}, 32), 16);
  EXPECT_EQ(choose({z16, z24}, 32), 24);
  EXPECT_EQ(choose({z32, z16, z24}, 16), 16);
  EXPECT_EQ(choose({z24s8}, 32), 0);
  EXPECT_EQ(choose({z24, z24s8}, 32), 24);
  EXPECT_EQ(choose({}, 32), 0);

  Direct3DDriver driver(nullptr, "t");
  driver.bitsPerPixel = 32;
  DDPIXELFORMAT z = z32;
  Direct3DDriver::depthFormatCallback(&z, &driver);
  EXPECT_EQ(std::memcmp(&driver.depthFormat, &z32, sizeof z32), 0);
}

namespace {

struct TextureChoice {
  int opaqueBits;
  DWORD opaqueRed;
  int alphaBits;
  int alphaAlphaBits;
};

TextureChoice chooseTextureFormats(const std::vector<DDPIXELFORMAT>& formats, bool lowBpp) {
  Direct3DDriver driver(nullptr, "t");
  driver.lowBppTextures = lowBpp;
  for (DDPIXELFORMAT f : formats) EXPECT_EQ(Direct3DDriver::textureFormatCallback(&f, &driver), D3DENUMRET_OK);
  return {driver.hasOpaqueTextureFormat ? driver.opaqueTextureBits : 0, driver.opaqueTextureFormat.dwRBitMask,
          driver.hasAlphaTextureFormat ? driver.alphaTextureBits : 0, driver.alphaTextureAlphaBits};
}

}  // namespace

TEST(D3d7TextureFormatChoice, FullDepthPrefersThirtyTwoBitsAndTheMostAlpha) {
  const std::vector<DDPIXELFORMAT> formats = dx7DefaultAdapterProfile().textureFormats;
  const TextureChoice full = chooseTextureFormats(formats, false);
  EXPECT_EQ(full.opaqueBits, 32);
  EXPECT_EQ(full.alphaBits, 32);
  EXPECT_EQ(full.alphaAlphaBits, 8);
}

TEST(D3d7TextureFormatChoice, LowBppPrefersSixteenBitsEvenWhenDeeperFormatsExist) {
  const std::vector<DDPIXELFORMAT> formats = dx7DefaultAdapterProfile().textureFormats;
  const TextureChoice low = chooseTextureFormats(formats, true);
  EXPECT_EQ(low.opaqueBits, 16);
  EXPECT_EQ(low.opaqueRed, 0xf800u);
  EXPECT_EQ(low.alphaBits, 16);
  EXPECT_EQ(low.alphaAlphaBits, 4);

  // Deeper formats first: a later 16-bit format replaces the opaque choice, but replaces the
  // alpha choice only when it has more alpha bits.
  const std::vector<DDPIXELFORMAT> deepFirst = {dx7RgbFormat(32, 0xff0000, 0xff00, 0xff, 0xff000000),
                                                dx7RgbFormat(16, 0x7c00, 0x3e0, 0x1f, 0x8000)};
  const TextureChoice replaced = chooseTextureFormats(deepFirst, true);
  EXPECT_EQ(replaced.opaqueBits, 16);
  EXPECT_EQ(replaced.alphaBits, 32);
  EXPECT_EQ(replaced.alphaAlphaBits, 8);
  const std::vector<DDPIXELFORMAT> fewAlphaFirst = {dx7RgbFormat(32, 0xff0000, 0xff00, 0xff, 0x01000000),
                                                    dx7RgbFormat(16, 0x0f00, 0xf0, 0xf, 0xf000)};
  const TextureChoice moreAlpha = chooseTextureFormats(fewAlphaFirst, true);
  EXPECT_EQ(moreAlpha.alphaBits, 16);
  EXPECT_EQ(moreAlpha.alphaAlphaBits, 4);
}

TEST(D3d7TextureFormatChoice, PaletteFormatsAndMostlyAlphaFormatsAreSkipped) {
  const std::vector<DDPIXELFORMAT> formats = {dx7RgbFormat(8, 0xe0, 0x1c, 0x3, 0),
                                              dx7RgbFormat(16, 0x0f00, 0xf0, 0xf, 0xf000),
                                              dx7RgbFormat(16, 0, 0, 0xff, 0xff00)};
  const TextureChoice choice = chooseTextureFormats(formats, false);
  EXPECT_EQ(choice.opaqueBits, 16);
  EXPECT_EQ(choice.alphaBits, 16);
  EXPECT_EQ(choice.alphaAlphaBits, 4);
  // The first of equally deep formats stays the opaque choice.
  EXPECT_EQ(choice.opaqueRed, 0x0f00u);
}
