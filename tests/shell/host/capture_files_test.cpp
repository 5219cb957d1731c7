// The files a capture writes: PNG frames read back pixel by pixel, and the WAV sound track.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "port/png_writer.h"
#include "shell/host/wav_writer.h"
#include "support/scene_files.h"
#include "support/show_png_reader.h"

namespace {

TEST(CapturePng, FramesDecodeToTheSamePixels) {
  SceneTempDir dir;
  std::mt19937 random(7);
  struct Size {
    int w, h;
  };
  for (Size size : {Size{1, 1}, Size{5, 3}, Size{64, 48}, Size{333, 97}}) {
    SCOPED_TRACE(size.w);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size.w) * size.h);
    for (int y = 0; y < size.h; ++y) {
      for (int x = 0; x < size.w; ++x) {
        std::uint32_t v;
        if (y < size.h / 3) {
          v = 0xFF000000u | (static_cast<std::uint32_t>(x * 255 / size.w) << 16) | static_cast<std::uint32_t>(y);
        } else if (y < 2 * size.h / 3) {
          v = 0xFF000000u | (random() & 0xFFFFFFu);
        } else {
          v = 0x12345678u;  // alpha is dropped
        }
        pixels[static_cast<std::size_t>(y) * size.w + x] = v;
      }
    }
    std::string path = dir.file("frame.png");
    ASSERT_TRUE(writePngArgb(path.c_str(), pixels.data(), size.w, size.h));
    ShowPicture picture;
    ASSERT_TRUE(showReadPng(path, picture));
    ASSERT_EQ(picture.width, size.w);
    ASSERT_EQ(picture.height, size.h);
    for (std::size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(picture.pixels[i], pixels[i] & 0xFFFFFFu) << i;
  }
}

TEST(CapturePng, UnwritablePathsFail) {
  std::vector<std::uint32_t> black(64 * 48, 0xFF000000u);
  EXPECT_FALSE(writePngArgb("/nonexistent-folder/frame.png", black.data(), 64, 48));
  EXPECT_FALSE(writePngArgb("unused.png", black.data(), 0, 48));
}

TEST(CaptureWav, HeaderSizesAndSamplesAfterSeveralWrites) {
  SceneTempDir dir;
  WavWriter wav;
  ASSERT_TRUE(wav.open(dir.file("audio.wav"), 44100, 2));
  std::vector<std::int16_t> first = {1, -1, 32767, -32768};
  std::vector<std::int16_t> second = {100, 200};
  ASSERT_TRUE(wav.write(first.data(), 2));
  ASSERT_TRUE(wav.write(second.data(), 1));
  EXPECT_EQ(wav.framesWritten(), 3u);
  ASSERT_TRUE(wav.close());
  ShowWav read;
  ASSERT_TRUE(showReadWav(dir.file("audio.wav"), read));
  EXPECT_EQ(read.sampleRate, 44100);
  EXPECT_EQ(read.channels, 2);
  EXPECT_EQ(read.samples, (std::vector<std::int16_t>{1, -1, 32767, -32768, 100, 200}));

  WavWriter nowhere;
  EXPECT_FALSE(nowhere.open("/nonexistent-folder/audio.wav", 44100, 2));
  EXPECT_FALSE(nowhere.write(first.data(), 1));
}

}  // namespace
