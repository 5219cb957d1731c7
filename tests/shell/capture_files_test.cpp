// The files a capture writes: PNG frames decoded by an independent reader, the deflate
// stream on awkward input, and the WAV sound track.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "shell/png_writer.h"
#include "shell/wav_writer.h"
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
    ASSERT_TRUE(writePng(path, pixels.data(), size.w, size.h));
    ShowPicture picture;
    ASSERT_TRUE(showReadPng(path, picture));
    ASSERT_EQ(picture.width, size.w);
    ASSERT_EQ(picture.height, size.h);
    for (std::size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(picture.pixels[i], pixels[i] & 0xFFFFFFu) << i;
  }
}

TEST(CapturePng, BlackFramesCompressWellAndUnwritablePathsFail) {
  std::vector<std::uint32_t> black(640 * 480, 0xFF000000u);
  std::vector<std::uint8_t> png = encodePng(black.data(), 640, 480);
  EXPECT_LT(png.size(), 8000u);
  EXPECT_FALSE(writePng("/nonexistent-folder/frame.png", black.data(), 640, 480));
}

TEST(CapturePng, DeflateRoundTripsRepeatsAcrossTheWholeWindowAndLongRuns) {
  std::mt19937 random(3);
  std::vector<std::uint8_t> data(40000);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  // A copy 32767 bytes back (the farthest distance), a long run, and a tail shorter than a match.
  std::vector<std::uint8_t> input(data.begin(), data.begin() + 32767);
  input.insert(input.end(), data.begin(), data.begin() + 5000);
  input.insert(input.end(), 70000, 0xAB);
  input.insert(input.end(), data.begin() + 100, data.begin() + 102);
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> stream = zlibCompress(input.data(), input.size());
  ASSERT_TRUE(showInflate(stream, out));
  EXPECT_EQ(out, input);
  EXPECT_LT(stream.size(), 32767u + 5000u);  // the repeat was found
  ASSERT_TRUE(showInflate(zlibCompress(nullptr, 0), out));
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(adler32(reinterpret_cast<const std::uint8_t*>("Wikipedia"), 9), 0x11E60398u);
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
