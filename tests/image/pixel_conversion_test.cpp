// Channel conversion, whole-image conversion with pitches, and both scaling filters.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/pixel_conversion.h"

namespace {

const PixelFormat kBgr24 = {24, 0, 0xff0000, 0xff00, 0xff};
const PixelFormat kArgb32 = {32, 0xff000000, 0xff0000, 0xff00, 0xff};
const PixelFormat kRgb565 = {16, 0, 0xf800, 0x07e0, 0x001f};
const PixelFormat kArgb4444 = {16, 0xf000, 0x0f00, 0x00f0, 0x000f};
const PixelFormat kArgb1555 = {16, 0x8000, 0x7c00, 0x03e0, 0x001f};

TEST(ConvertPixel, WidensWithOnesAndNarrowsByDroppingLowBits) {
  EXPECT_EQ(convertPixel(&kRgb565, &kBgr24, 0xffff), 0xffffffu & 0xffffff);
  EXPECT_EQ(convertPixel(&kRgb565, &kBgr24, 1u << 11), 0x0f0000u);  // red 1 of 5 bits becomes 15
  EXPECT_EQ(convertPixel(&kRgb565, &kBgr24, 0), 0u);                // zero channels stay zero
  EXPECT_EQ(convertPixel(&kBgr24, &kRgb565, 0xff00ff), 0xf81fu);    // the magenta colour key
  EXPECT_EQ(convertPixel(&kBgr24, &kRgb565, 0x070307), 0u);         // below one step: zero
  EXPECT_EQ(convertPixel(&kBgr24, &kArgb4444, 0x123456), 0x0135u);
  // Channels the source lacks give zero, including alpha; channels the target lacks vanish.
  EXPECT_EQ(convertPixel(&kBgr24, &kArgb32, 0xabcdef), 0x00abcdefu);
  EXPECT_EQ(convertPixel(&kArgb1555, &kBgr24, 0x8000), 0u);
  EXPECT_EQ(convertPixel(&kArgb1555, &kArgb32, 0x8000), 0xff000000u);
  EXPECT_EQ(convertPixel(&kArgb32, &kArgb32, 0x12345678), 0x12345678u);
}

TEST(ConvertPixel, FullWidthMaskIntoNarrowerOrAbsentChannel) {
  const PixelFormat gray32 = {32, 0, 0xffffffff, 0, 0};
  EXPECT_EQ(convertPixel(&gray32, &kBgr24, 0xff000000), 0xff0000u);
  const PixelFormat none = {32, 0, 0, 0, 0};
  EXPECT_EQ(convertPixel(&gray32, &none, 0xffffffff), 0u);
}

TEST(ConvertPixels, RejectsMismatchedOrMissingArguments) {
  uint8_t src[12] = {};
  uint8_t dst[12] = {};
  EXPECT_FALSE(convertPixels(&kBgr24, nullptr, 2, 2, 6, &kBgr24, dst, 2, 2, 6));
  EXPECT_FALSE(convertPixels(&kBgr24, src, 2, 2, 6, &kBgr24, nullptr, 2, 2, 6));
  EXPECT_FALSE(convertPixels(nullptr, src, 2, 2, 6, &kBgr24, dst, 2, 2, 6));
  EXPECT_FALSE(convertPixels(&kBgr24, src, 2, 2, 6, nullptr, dst, 2, 2, 6));
  EXPECT_FALSE(convertPixels(&kBgr24, src, 2, 2, 6, &kBgr24, dst, 1, 2, 6));
  EXPECT_FALSE(convertPixels(&kBgr24, src, 2, 2, 6, &kBgr24, dst, 2, 1, 6));
  EXPECT_FALSE(convertPixels(&kBgr24, src, -2, 2, 6, &kBgr24, dst, -2, 2, 6));
  EXPECT_FALSE(convertPixels(&kBgr24, src, 2, 2, -6, &kBgr24, dst, 2, 2, -6));
}

TEST(ConvertPixels, IdenticalFormatsCopyRowsOrConvertAcrossPitches) {
  // Same pitch: one block copy of height × pitch bytes, padding included.
  std::vector<uint8_t> src(2 * 8);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i + 1);
  std::vector<uint8_t> dst(16, 0);
  ASSERT_TRUE(convertPixels(&kBgr24, src.data(), 2, 2, 8, &kBgr24, dst.data(), 2, 2, 8));
  EXPECT_EQ(dst, src);

  // Different pitches: pixel by pixel, bytes between rows untouched.
  std::vector<uint8_t> wide(2 * 10, 0xee);
  ASSERT_TRUE(convertPixels(&kBgr24, src.data(), 2, 2, 8, &kBgr24, wide.data(), 2, 2, 10));
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(0, std::memcmp(&wide[y * 10], &src[y * 8], 6)) << "row " << y;
    EXPECT_EQ(wide[y * 10 + 6], 0xee);
    EXPECT_EQ(wide[y * 10 + 9], 0xee);
  }
}

TEST(ConvertPixels, TwentyFourBitToFiveSixFiveAndBack) {
  const uint8_t src[2 * 3] = {0xff, 0xff, 0xff, 0x00, 0x00, 0xff};  // white, red (blue-green-red bytes)
  uint16_t packed[2] = {};
  ASSERT_TRUE(convertPixels(&kBgr24, src, 2, 1, 6, &kRgb565, packed, 2, 1, 4));
  EXPECT_EQ(packed[0], 0xffff);
  EXPECT_EQ(packed[1], 0xf800);
  uint8_t back[8] = {};
  ASSERT_TRUE(convertPixels(&kRgb565, packed, 2, 1, 4, &kArgb32, back, 2, 1, 8));
  const uint8_t expected[8] = {0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0xff, 0x00};
  EXPECT_EQ(0, std::memcmp(back, expected, 8));
}

uint32_t at(const std::vector<uint32_t>& pixels, int width, int x, int y) { return pixels[y * width + x]; }

TEST(ScaleImage, RejectsMissingPointersAndNonPositiveSizes) {
  uint32_t src[4] = {};
  uint32_t dst[4] = {};
  EXPECT_FALSE(scaleImage(&kArgb32, src, 2, 2, 8, &kArgb32, dst, 0, 2, 0));
  EXPECT_FALSE(scaleImage(&kArgb32, src, -2, 2, 8, &kArgb32, dst, 2, 2, 8));
  EXPECT_FALSE(scaleImage(&kArgb32, nullptr, 2, 2, 8, &kArgb32, dst, 2, 2, 8));
  EXPECT_FALSE(scaleImage(nullptr, src, 2, 2, 8, &kArgb32, dst, 2, 2, 8));
  EXPECT_FALSE(scaleImage(&kArgb32, src, 2, 2, 8, &kArgb32, nullptr, 2, 2, 8));
}

TEST(ScaleImage, SinglePixelEnlargedFillsEveryTarget) {
  const uint8_t pixel[3] = {0x10, 0x80, 0xf0};
  std::vector<uint32_t> dst(16, 0);
  ASSERT_TRUE(scaleImage(&kBgr24, pixel, 1, 1, 3, &kArgb32, dst.data(), 4, 4, 16));
  for (uint32_t p : dst) EXPECT_EQ(p, 0x00f08010u);
}

TEST(ScaleImage, HalvingAveragesTwoByTwoBlocks) {
  std::vector<uint32_t> src(16);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src[y * 4 + x] = uint32_t((x + 4 * y) * 10) | uint32_t(y * 60) << 16;
  std::vector<uint32_t> dst(4, 0);
  ASSERT_TRUE(scaleImage(&kArgb32, src.data(), 4, 4, 16, &kArgb32, dst.data(), 2, 2, 8));
  // Blue of block (0,0): (0+10+40+50)/4 = 25; red: (0+0+60+60)/4 = 30.
  EXPECT_EQ(at(dst, 2, 0, 0), 0x1e0000u | 25);
  EXPECT_EQ(at(dst, 2, 1, 0), 0x1e0000u | 45);
  EXPECT_EQ(at(dst, 2, 0, 1), 0x960000u | 105);
  EXPECT_EQ(at(dst, 2, 1, 1), 0x960000u | 125);
}

TEST(ScaleImage, ThreeToTwoUsesOnePixelBoxes) {
  // stepX = stepY = 98304: sample points 0 and 1.5 → pixels 0 and 1 with a 1×1 box.
  std::vector<uint32_t> src(9);
  for (int i = 0; i < 9; ++i) src[i] = uint32_t(i * 20);
  std::vector<uint32_t> dst(4, 0);
  ASSERT_TRUE(scaleImage(&kArgb32, src.data(), 3, 3, 12, &kArgb32, dst.data(), 2, 2, 8));
  EXPECT_EQ(dst, (std::vector<uint32_t>{0, 20, 60, 80}));
}

TEST(ScaleImage, BilinearTruncatesEachProductSeparately) {
  // Two pixels 2 → 4: steps of half a pixel. Blue 101 and 0: at fx = 0.5,
  // trunc(0 × 0.5) + trunc(101 × 0.5) = 50 (a single rounding would give 50.5 → 50 too);
  // blue 3 and 3 at 0.5: trunc(1.5) + trunc(1.5) = 2, not 3.
  const uint32_t src[2] = {101 | 3u << 8, 0 | 3u << 8};
  std::vector<uint32_t> dst(4, 0);
  ASSERT_TRUE(scaleImage(&kArgb32, src, 2, 1, 8, &kArgb32, dst.data(), 4, 1, 16));
  EXPECT_EQ(dst[0], 101 | 3u << 8);
  EXPECT_EQ(dst[1], 50 | 2u << 8);
  // The last source column has no right neighbour: plain copies.
  EXPECT_EQ(dst[2], 0 | 3u << 8);
  EXPECT_EQ(dst[3], 0 | 3u << 8);
}

TEST(ScaleImage, BilinearBlendsRowsWithOneTruncation) {
  // One column, two rows 1×2 → 1×4: at fy = 0.5 the channel is trunc(b·0.5 + t·0.5).
  const uint32_t src[2] = {3, 4};
  std::vector<uint32_t> dst(4, 0);
  ASSERT_TRUE(scaleImage(&kArgb32, src, 1, 2, 4, &kArgb32, dst.data(), 1, 4, 4));
  EXPECT_EQ(dst, (std::vector<uint32_t>{3, 3, 4, 4}));
}

TEST(ScaleImage, WritesDestinationFormatAtItsPitch) {
  const uint8_t pixel[3] = {0xff, 0xff, 0xff};
  std::vector<uint16_t> dst(3 * 4, 0x1234);  // 2 wide, pitch of 4 pixels
  ASSERT_TRUE(scaleImage(&kBgr24, pixel, 1, 1, 3, &kRgb565, dst.data(), 2, 3, 8));
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(dst[y * 4], 0xffff);
    EXPECT_EQ(dst[y * 4 + 1], 0xffff);
    EXPECT_EQ(dst[y * 4 + 2], 0x1234);
  }
}

TEST(ScaleImage, IdenticalGeometryIsACopy) {
  std::vector<uint8_t> src(2 * 8);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 7);
  std::vector<uint8_t> dst(16, 0);
  ASSERT_TRUE(scaleImage(&kBgr24, src.data(), 2, 2, 8, &kBgr24, dst.data(), 2, 2, 8));
  EXPECT_EQ(dst, src);
}

}  // namespace
