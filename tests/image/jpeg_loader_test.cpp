// JPEG decoding: colour and grey pictures made by libjpeg, damaged files, and the
// dispatch of loadImage by the name's last three letters.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/image_loader.h"
#include "support/image_writers.h"

using namespace image_test;

namespace {

// Largest per-byte difference between two pictures of the same size.
int maxDifference(const uint8_t* a, const Bytes& b) {
  int worst = 0;
  for (size_t i = 0; i < b.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  return worst;
}

class JpegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = makeTempDir("jpeg");
    ASSERT_FALSE(dir.empty());
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string put(const std::string& name, const Bytes& bytes) {
    const std::string path = dir + "/" + name;
    EXPECT_TRUE(writeFile(path, bytes));
    return path;
  }
  std::string dir;
};

TEST_F(JpegTest, ColourPictureDecodesToBlueGreenRedTopRowFirst) {
  // Flat colour blocks survive JPEG almost exactly, so channel order and row order show.
  const int w = 32, h = 16;
  Bytes bgr(w * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &bgr[(y * w + x) * 3];
      p[0] = y < 8 ? 255 : 0;  // blue on top
      p[1] = 0;
      p[2] = y < 8 ? 0 : 255;  // red below
    }
  const std::string path = put("blocks.jpg", writeJpeg(bgr, w, h, 3, 100));
  int32_t width = 0, height = 0;
  unsigned char* pixels = loadJpeg(path.c_str(), &width, &height);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(width, w);
  EXPECT_EQ(height, h);
  EXPECT_LE(maxDifference(pixels, bgr), 8);
  std::free(pixels);
}

TEST_F(JpegTest, PatternAndProgressivePicturesMatchTheirSource) {
  const int w = 37, h = 21;  // not a multiple of the block size
  const Bytes bgr = makePattern(w, h);
  for (bool progressive : {false, true}) {
    const Bytes jpeg = writeJpeg(bgr, w, h, 3, 100, progressive);
    int32_t width = 0, height = 0;
    unsigned char* pixels = decodeJpeg(jpeg.data(), jpeg.size(), &width, &height);
    ASSERT_NE(pixels, nullptr) << progressive;
    EXPECT_EQ(width, w);
    EXPECT_EQ(height, h);
    EXPECT_LE(maxDifference(pixels, bgr), 8) << progressive;
    std::free(pixels);
  }
}

TEST_F(JpegTest, GreyPictureExpandsToEqualChannels) {
  const int w = 16, h = 8;
  Bytes grey(w * h);
  for (int i = 0; i < w * h; ++i) grey[i] = uint8_t(i < w * h / 2 ? 40 : 220);
  const Bytes jpeg = writeJpeg(grey, w, h, 1, 100);
  int32_t width = 0, height = 0;
  unsigned char* pixels = decodeJpeg(jpeg.data(), jpeg.size(), &width, &height);
  ASSERT_NE(pixels, nullptr);
  for (int i = 0; i < w * h; ++i) {
    EXPECT_EQ(pixels[i * 3], pixels[i * 3 + 1]);
    EXPECT_EQ(pixels[i * 3], pixels[i * 3 + 2]);
    EXPECT_NEAR(pixels[i * 3], grey[i], 4);
  }
  std::free(pixels);
}

TEST_F(JpegTest, DamagedFilesGiveNullWithoutEndingTheProcess) {
  const Bytes good = writeJpeg(makePattern(64, 64), 64, 64, 3);
  int32_t width = 0, height = 0;
  // Truncated at several points: inside the header, inside the scan.
  for (size_t cut : {size_t(0), size_t(2), size_t(20), good.size() / 2, good.size() - 3}) {
    const Bytes part(good.begin(), good.begin() + cut);
    EXPECT_EQ(decodeJpeg(part.data(), part.size(), &width, &height), nullptr) << cut;
  }
  // Not a JPEG at all; the library's own complaint stays off stderr.
  const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(decodeJpeg(text.data(), text.size(), &width, &height), nullptr);
  EXPECT_EQ(loadJpeg(put("text.jpg", text).c_str(), &width, &height), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  // A named pipe or a folder in place of the file: refused at once.
  const std::string pipe = dir + "/pipe.jpg";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(loadJpeg(pipe.c_str(), &width, &height), nullptr);
  EXPECT_EQ(loadJpeg(dir.c_str(), &width, &height), nullptr);
  // A missing file.
  EXPECT_EQ(loadJpeg((dir + "/missing.jpg").c_str(), &width, &height), nullptr);
  EXPECT_EQ(loadJpeg(put("empty.jpg", {}).c_str(), &width, &height), nullptr);
}

// Rewrites the frame header (SOFn: FF Cn, length, precision, height, width) of a JPEG.
void patchSize(Bytes& jpeg, int width, int height) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xff && (jpeg[i + 1] == 0xc0 || jpeg[i + 1] == 0xc2)) {
      jpeg[i + 5] = uint8_t(height >> 8);
      jpeg[i + 6] = uint8_t(height);
      jpeg[i + 7] = uint8_t(width >> 8);
      jpeg[i + 8] = uint8_t(width);
      return;
    }
  }
  ADD_FAILURE() << "no frame header";
}

TEST_F(JpegTest, HeadersClaimingMoreThanTheDataAreRefused) {
  int32_t width = 0, height = 0;
  Bytes wide = writeJpeg(makePattern(8, 8), 8, 8, 3);
  patchSize(wide, 20000, 8);  // beyond the side limit
  EXPECT_EQ(decodeJpeg(wide.data(), wide.size(), &width, &height), nullptr);
  // Within the limit but far more blocks than the data holds: the image data runs out.
  for (bool progressive : {false, true}) {
    Bytes large = writeJpeg(makePattern(16, 16), 16, 16, 3, 90, progressive);
    patchSize(large, 16000, 16000);
    EXPECT_EQ(decodeJpeg(large.data(), large.size(), &width, &height), nullptr) << progressive;
  }
  // Within the side limit but above the caller's pixel limit.
  const Bytes small = writeJpeg(makePattern(40, 40), 40, 40, 3);
  EXPECT_EQ(decodeJpeg(small.data(), small.size(), &width, &height, 1000), nullptr);
  unsigned char* pixels = decodeJpeg(small.data(), small.size(), nullptr, nullptr, 1600);
  EXPECT_NE(pixels, nullptr);
  std::free(pixels);
}

TEST_F(JpegTest, LoadImageChoosesByTheLastThreeLetters) {
  const Bytes jpeg = writeJpeg(makePattern(4, 4), 4, 4, 3);
  int32_t width = 0, height = 0;
  for (const char* name : {"a.jpg", "b.JPG", "c.Jpg", "djpg"}) {
    unsigned char* pixels = loadImage(put(name, jpeg).c_str(), &width, &height);
    EXPECT_NE(pixels, nullptr) << name;
    std::free(pixels);
  }
  for (const char* name : {"e.jpeg", "f.png", "g.jpg.txt"}) {
    EXPECT_EQ(loadImage(put(name, jpeg).c_str(), &width, &height), nullptr) << name;
  }
  EXPECT_EQ(loadImage("pg", &width, &height), nullptr);
  EXPECT_EQ(loadImage(nullptr, &width, &height), nullptr);
}

}  // namespace
