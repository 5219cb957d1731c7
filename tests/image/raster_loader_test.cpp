// BMP, TGA and PCX decoding: pictures written byte by byte and compared pixel by pixel,
// the variants outside the supported subset, and truncated or hostile headers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "image/image_loader.h"
#include "support/image_writers.h"

using namespace image_test;

namespace {

using Decoder = unsigned char* (*)(const unsigned char*, size_t, int32_t*, int32_t*, uint64_t);
constexpr uint64_t kAnySize = uint64_t(kMaxImageSide) * kMaxImageSide;

// Decodes and compares with the expected picture; returns whether it matched exactly.
::testing::AssertionResult decodesTo(Decoder decode, const Bytes& file, const Bytes& expected, int w, int h) {
  int32_t width = -1, height = -1;
  unsigned char* pixels = decode(file.data(), file.size(), &width, &height, kAnySize);
  if (pixels == nullptr) return ::testing::AssertionFailure() << "decoder returned null";
  const bool sameSize = width == w && height == h;
  const bool samePixels = sameSize && std::memcmp(pixels, expected.data(), expected.size()) == 0;
  std::free(pixels);
  if (!sameSize) return ::testing::AssertionFailure() << "size " << width << "x" << height;
  if (!samePixels) return ::testing::AssertionFailure() << "pixels differ";
  return ::testing::AssertionSuccess();
}

bool refused(Decoder decode, const Bytes& file) {
  int32_t width = 0, height = 0;
  unsigned char* pixels = decode(file.data(), file.size(), &width, &height, kAnySize);
  std::free(pixels);
  return pixels == nullptr;
}

void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v) {
  put16(b, at, v & 0xffff);
  put16(b, at + 2, v >> 16);
}

// Every proper prefix of a file must be refused (checked at a spread of cut points).
void expectPrefixesRefused(Decoder decode, const Bytes& file) {
  for (size_t cut = 0; cut < file.size(); cut += 1 + cut / 3) {
    const Bytes part(file.begin(), file.begin() + cut);
    EXPECT_TRUE(refused(decode, part)) << "cut at " << cut << " of " << file.size();
  }
}

TEST(BmpLoader, TwentyFourBitRowsWithAndWithoutPadding) {
  for (int w : {1, 2, 3, 4, 5, 8}) {
    const Bytes bgr = makePattern(w, 3, w);
    EXPECT_TRUE(decodesTo(decodeBmp, writeBmp24(bgr, w, 3), bgr, w, 3)) << w;
  }
}

TEST(BmpLoader, EightBitIndicesGoThroughThePalette) {
  Bytes palette(1024);
  for (int i = 0; i < 256; ++i) {
    palette[i * 4] = uint8_t(i);
    palette[i * 4 + 1] = uint8_t(255 - i);
    palette[i * 4 + 2] = uint8_t(i * 7);
    palette[i * 4 + 3] = 0x55;  // reserved byte: never copied
  }
  const int w = 3, h = 2;
  const Bytes indices = {0, 1, 255, 128, 7, 9};
  Bytes expected;
  for (uint8_t i : indices) expected.insert(expected.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
  EXPECT_TRUE(decodesTo(decodeBmp, writeBmp8(indices, palette, w, h), expected, w, h));
}

TEST(BmpLoader, UnsupportedVariantsAreRefused) {
  const Bytes good = writeBmp24(makePattern(4, 4), 4, 4);
  Bytes wrongSignature = good;
  wrongSignature[0] = 'X';
  EXPECT_TRUE(refused(decodeBmp, wrongSignature));
  for (uint32_t bits : {1u, 4u, 16u, 32u}) {
    Bytes other = good;
    put16(other, 28, bits);
    EXPECT_TRUE(refused(decodeBmp, other)) << bits;
  }
  Bytes compressed = good;
  put32(compressed, 30, 1);  // run-length, 8 bits
  EXPECT_TRUE(refused(decodeBmp, compressed));
  Bytes coreHeader = good;
  put32(coreHeader, 14, 12);
  EXPECT_TRUE(refused(decodeBmp, coreHeader));
}

TEST(BmpLoader, HostileSizesAndOffsetsAreRefused) {
  const Bytes good = writeBmp24(makePattern(4, 4), 4, 4);
  const std::vector<std::pair<size_t, uint32_t>> patches = {
      {18, 0},
      {22, 0},
      {18, uint32_t(-4)},
      {22, uint32_t(-4)},  // zero or negative
      {18, 16385},
      {22, 16385},
      {18, 16384},
      {22, 0x40000000},  // too large / beyond file
      {10, 0xfffffff0},
      {10, uint32_t(good.size())},  // pixels outside the file
  };
  for (auto [offset, value] : patches) {
    Bytes bad = good;
    put32(bad, offset, value);
    EXPECT_TRUE(refused(decodeBmp, bad)) << offset << " = " << value;
  }
  expectPrefixesRefused(decodeBmp, good);
  // Only the final row's padding may be missing.
  const Bytes bgr = makePattern(3, 2);
  Bytes shortPadding = writeBmp24(bgr, 3, 2);
  shortPadding.resize(shortPadding.size() - 3);
  EXPECT_TRUE(decodesTo(decodeBmp, shortPadding, bgr, 3, 2));
}

TEST(TgaLoader, BottomFirstTopFirstAndIdField) {
  const int w = 5, h = 3;
  const Bytes bgr = makePattern(w, h, 3);
  EXPECT_TRUE(decodesTo(decodeTga, writeTga24(bgr, w, h), bgr, w, h));
  EXPECT_TRUE(decodesTo(decodeTga, writeTga24(bgr, w, h, "made by a test"), bgr, w, h));

  // Top-left origin: the same rows stored in reading order.
  Bytes topFirst = writeTga24(bgr, w, h);
  topFirst[17] = 0x20;
  topFirst.resize(18);
  topFirst.insert(topFirst.end(), bgr.begin(), bgr.end());
  EXPECT_TRUE(decodesTo(decodeTga, topFirst, bgr, w, h));

  // An unused colour map in front of the pixels is skipped.
  Bytes withMap = writeTga24(bgr, w, h);
  withMap[1] = 1;
  put16(withMap, 5, 2);  // two entries
  withMap[7] = 24;
  withMap.insert(withMap.begin() + 18, 6, 0xab);
  EXPECT_TRUE(decodesTo(decodeTga, withMap, bgr, w, h));
}

TEST(TgaLoader, UnsupportedVariantsAndHostileHeadersAreRefused) {
  const Bytes good = writeTga24(makePattern(4, 4), 4, 4);
  const std::vector<std::function<void(Bytes&)>> damage = {
      [](Bytes& b) { b[2] = 1; },             // colour-mapped
      [](Bytes& b) { b[2] = 3; },             // grey
      [](Bytes& b) { b[2] = 10; },            // run-length
      [](Bytes& b) { b[16] = 32; },           // 32-bit
      [](Bytes& b) { b[17] = 0x10; },         // right to left
      [](Bytes& b) { put16(b, 12, 0); },      // zero width
      [](Bytes& b) { put16(b, 14, 0); },      // zero height
      [](Bytes& b) { put16(b, 12, 20000); },  // beyond the side limit
      [](Bytes& b) { put16(b, 14, 16384); },  // within the limit, beyond the file
      [](Bytes& b) { b[0] = 255; },           // ID field longer than the file
      [](Bytes& b) {
        b[1] = 1;
        put16(b, 5, 0xffff);
        b[7] = 32;
      },  // colour map beyond the file
  };
  for (size_t i = 0; i < damage.size(); ++i) {
    Bytes bad = good;
    damage[i](bad);
    EXPECT_TRUE(refused(decodeTga, bad)) << "case " << i;
  }
  expectPrefixesRefused(decodeTga, good);
}

TEST(PcxLoader, EvenAndOddWidthsDecodeWithCorrectColours) {
  for (int w : {1, 2, 7, 16, 70}) {  // 70: runs of 63 and the 0xC0 escape for bright bytes
    const Bytes bgr = makePattern(w, 4, w);
    EXPECT_TRUE(decodesTo(decodePcx, writePcx24(bgr, w, 4), bgr, w, 4)) << w;
  }
  // Lines longer than the picture: the extra bytes of each plane are ignored.
  const Bytes bgr = makePattern(3, 2);
  EXPECT_TRUE(decodesTo(decodePcx, writePcx24(bgr, 3, 2, 9), bgr, 3, 2));
}

TEST(PcxLoader, ZeroLengthRunsProduceNothing) {
  const Bytes bgr = {10, 20, 30};
  Bytes file = writePcx24(bgr, 1, 1, 1);
  file.insert(file.begin() + 128, {0xc0, 0x99, 0xc0, 0x42});
  EXPECT_TRUE(decodesTo(decodePcx, file, bgr, 1, 1));
}

TEST(PcxLoader, UnsupportedVariantsAndHostileHeadersAreRefused) {
  const Bytes good = writePcx24(makePattern(6, 3), 6, 3);
  const std::vector<std::function<void(Bytes&)>> damage = {
      [](Bytes& b) { b[65] = 1; },                  // one plane
      [](Bytes& b) { b[65] = 4; },                  // four planes
      [](Bytes& b) { b[3] = 1; },                   // one bit per plane
      [](Bytes& b) { put16(b, 8, uint32_t(-5)); },  // Xmax below Xmin
      [](Bytes& b) { put16(b, 4, 0x8000); },        // width beyond the side limit
      [](Bytes& b) { put16(b, 10, 20000); },        // height beyond the side limit
      [](Bytes& b) { put16(b, 66, 4); },            // lines shorter than the picture
      [](Bytes& b) { put16(b, 66, 11000); },        // rows longer than the row buffer
      [](Bytes& b) { put16(b, 10, 3000); },         // more rows than the data holds
      [](Bytes& b) { b[128] = 0xff; },              // a run of 63 past the row's end
  };
  for (size_t i = 0; i < damage.size(); ++i) {
    Bytes bad = good;
    damage[i](bad);
    EXPECT_TRUE(refused(decodePcx, bad)) << "case " << i;
  }
  expectPrefixesRefused(decodePcx, good);
}

TEST(RasterLoaders, CallerPixelLimitIsHonoured) {
  const Bytes bgr = makePattern(20, 20);
  int32_t w = 0, h = 0;
  EXPECT_EQ(decodeBmp(writeBmp24(bgr, 20, 20).data(), writeBmp24(bgr, 20, 20).size(), &w, &h, 399), nullptr);
  const Bytes tga = writeTga24(bgr, 20, 20);
  EXPECT_EQ(decodeTga(tga.data(), tga.size(), &w, &h, 399), nullptr);
  const Bytes pcx = writePcx24(bgr, 20, 20);
  EXPECT_EQ(decodePcx(pcx.data(), pcx.size(), &w, &h, 399), nullptr);
}

TEST(RasterLoaders, LoadImageReadsFilesByTheirLastThreeLetters) {
  const std::string dir = makeTempDir("raster");
  ASSERT_FALSE(dir.empty());
  const int w = 6, h = 5;
  const Bytes bgr = makePattern(w, h, 9);
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"a.bmp", writeBmp24(bgr, w, h)},
      {"B.BMP", writeBmp24(bgr, w, h)},
      {"c.Tga", writeTga24(bgr, w, h)},
      {"dpcx", writePcx24(bgr, w, h)},
  };
  for (const auto& [name, bytes] : files) {
    const std::string path = dir + "/" + name;
    ASSERT_TRUE(writeFile(path, bytes));
    int32_t width = 0, height = 0;
    unsigned char* pixels = loadImage(path.c_str(), &width, &height);
    ASSERT_NE(pixels, nullptr) << name;
    EXPECT_EQ(width, w);
    EXPECT_EQ(height, h);
    EXPECT_EQ(0, std::memcmp(pixels, bgr.data(), bgr.size())) << name;
    std::free(pixels);
  }
  // A BMP under a TGA name goes to the TGA decoder, which refuses it.
  const std::string wrong = dir + "/bmp.tga";
  ASSERT_TRUE(writeFile(wrong, writeBmp24(bgr, w, h)));
  int32_t width = 0, height = 0;
  EXPECT_EQ(loadImage(wrong.c_str(), &width, &height), nullptr);
  EXPECT_EQ(loadImage((dir + "/missing.bmp").c_str(), &width, &height), nullptr);
  EXPECT_EQ(loadPcx((dir + "/missing.pcx").c_str(), &width, &height), nullptr);
  EXPECT_EQ(loadTga((dir + "/missing.tga").c_str(), &width, &height), nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
