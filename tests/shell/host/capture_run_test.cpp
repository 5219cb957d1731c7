// Captures and screenshots of a small test show: frame and sample counts, determinism,
// the fade in the sound track, screenshots equal to captured frames, refused requests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dx7/dx7_platform.h"
#include "scene/particle_system.h"
#include "shell/host/capture.h"
#include "support/scene_files.h"
#include "support/show_fakes.h"
#include "support/show_png_reader.h"
#include "support/show_test_files.h"
#include "support/test_xm_module.h"

namespace {

CaptureOptions smallCapture(const std::string& out) {
  CaptureOptions options;
  options.outDirectory = out;
  options.fps = 10;
  options.to = 1.0;
  options.frames = CaptureFrames::kPng;
  options.width = 64;
  options.height = 48;
  options.progress = nullptr;
  static QuietShowServices quiet;
  options.services = &quiet;
  return options;
}

std::string frameName(const std::string& folder, int index) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame_%05d.png", index);
  return folder + name;
}

int redPixels(const ShowPicture& picture) {
  int count = 0;
  for (std::uint32_t p : picture.pixels) count += ((p >> 16) & 0xFF) >= 0x60 && (p & 0xFF) < 0x30 ? 1 : 0;
  return count;
}

class CaptureRunTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(writeShowTestScene(dir)); }
  SceneTempDir dir;
  VolumeCaptureMusic music;
};

TEST_F(CaptureRunTest, OneSecondAtTenFramesPerSecondGivesTenFramesAndOneSecondOfSound) {
  CaptureOptions options = smallCapture(dir.file("out/one"));
  options.music = &music;
  CaptureResult result;
  ASSERT_EQ(runCapture(options, &result), kRunOk);
  EXPECT_EQ(result.frames, 10);
  EXPECT_EQ(result.audioFrames, 44100u);
  EXPECT_EQ(result.firstShowTime, 0.0f);
  EXPECT_NEAR(result.lastShowTime, 0.9f, 1e-5f);
  EXPECT_EQ(music.loadedFile, "rockon.xm");

  ShowPicture first, last;
  ASSERT_TRUE(showReadPng(frameName(options.outDirectory, 0), first));
  ASSERT_TRUE(showReadPng(frameName(options.outDirectory, 9), last));
  EXPECT_FALSE(showReadFile(frameName(options.outDirectory, 10)).size() > 0);
  EXPECT_EQ(first.width, 64);
  EXPECT_EQ(first.height, 48);
  EXPECT_GT(redPixels(first), 50);
  EXPECT_NE(first.pixels, last.pixels);  // the quad moved

  ShowWav wav;
  ASSERT_TRUE(showReadWav(options.outDirectory + "/audio.wav", wav));
  EXPECT_EQ(wav.sampleRate, 44100);
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.samples.size(), 2u * 44100u);
}

TEST_F(CaptureRunTest, TwoCapturesGiveIdenticalFramesAndSound) {
  CaptureOptions a = smallCapture(dir.file("a"));
  CaptureOptions b = smallCapture(dir.file("b"));
  a.music = &music;
  b.music = &music;
  a.fps = b.fps = 7;  // 1000 / 7 ms per frame does not divide evenly
  ASSERT_EQ(runCapture(a), kRunOk);
  ASSERT_EQ(runCapture(b), kRunOk);
  for (int i = 0; i < 7; ++i) {
    std::vector<std::uint8_t> fa = showReadFile(frameName(a.outDirectory, i));
    ASSERT_FALSE(fa.empty()) << i;
    EXPECT_EQ(fa, showReadFile(frameName(b.outDirectory, i))) << i;
  }
  EXPECT_TRUE(showReadFile(frameName(a.outDirectory, 7)).empty());
  EXPECT_EQ(showReadFile(a.outDirectory + "/audio.wav"), showReadFile(b.outDirectory + "/audio.wav"));
  ShowWav wav;
  ASSERT_TRUE(showReadWav(a.outDirectory + "/audio.wav", wav));
  EXPECT_EQ(wav.samples.size(), 2u * 44100u);  // 7 frames of 6300 sound frames
}

TEST_F(CaptureRunTest, EveryCaptureStartsTheParticlesRandomSequenceAfresh) {
  CaptureOptions options = smallCapture(dir.file("seed"));
  options.music = &music;
  options.frames = CaptureFrames::kDiscard;
  options.to = 0.2;
  particleRandom();  // whatever ran before in this process
  ASSERT_EQ(runCapture(options), kRunOk);
  int afterFirst = particleRandom();
  ASSERT_EQ(runCapture(options), kRunOk);
  EXPECT_EQ(particleRandom(), afterFirst);
}

TEST_F(CaptureRunTest, ScreenshotEqualsTheCapturedFrameAtTheSameTime) {
  CaptureOptions options = smallCapture(dir.file("cap"));
  options.music = &music;
  ASSERT_EQ(runCapture(options), kRunOk);
  ASSERT_EQ(runScreenshot(0.5, dir.file("shot.png"), options), kRunOk);
  ShowPicture frame, shot;
  ASSERT_TRUE(showReadPng(frameName(options.outDirectory, 5), frame));
  ASSERT_TRUE(showReadPng(dir.file("shot.png"), shot));
  ASSERT_EQ(shot.width, 64);
  ASSERT_EQ(shot.pixels.size(), frame.pixels.size());
  // The two clocks may differ in the last bit of the show time: allow a pixel or two of edge.
  int different = 0;
  for (std::size_t i = 0; i < shot.pixels.size(); ++i) different += shot.pixels[i] != frame.pixels[i] ? 1 : 0;
  EXPECT_LE(different, 4);
  EXPECT_GT(redPixels(shot), 50);
}

TEST_F(CaptureRunTest, ScreenshotRendersUpToFiveSecondsOfFramesBeforeItsOwn) {
  CaptureOptions options = smallCapture(dir.file("warm"));
  // 0.5 s at 30 frames per second: 15 frames before the kept one.
  std::uint64_t before = dx7PresentedFrameCount();
  ASSERT_EQ(runScreenshot(0.5, dir.file("half.png"), options), kRunOk);
  EXPECT_EQ(dx7PresentedFrameCount() - before, 16u + 1u);  // the loading picture is presented too
  // Late in the show the run-up stops at five seconds.
  before = dx7PresentedFrameCount();
  ASSERT_EQ(runScreenshot(20.0, dir.file("late.png"), options), kRunOk);
  EXPECT_EQ(dx7PresentedFrameCount() - before, 151u + 1u);
}

TEST_F(CaptureRunTest, SoundTrackStartsAtFromAndFollowsTheFadeFrameByFrame) {
  CaptureOptions options = smallCapture(dir.file("fade"));
  options.music = &music;
  options.from = 141.0;
  options.to = 142.0;
  options.frames = CaptureFrames::kDiscard;
  CaptureResult result;
  ASSERT_EQ(runCapture(options, &result), kRunOk);
  EXPECT_EQ(result.frames, 10);
  EXPECT_EQ(result.firstShowTime, 141.0f);
  // The module was played up to 141 s before the first frame's sound.
  EXPECT_EQ(music.rendered, 141u * 44100u + 44100u);

  ShowWav wav;
  ASSERT_TRUE(showReadWav(options.outDirectory + "/audio.wav", wav));
  ASSERT_EQ(wav.samples.size(), 2u * 44100u);
  int previous = 101;
  for (int k = 0; k < 10; ++k) {
    std::size_t begin = 2 * captureAudioFrameStart(k, 10);
    std::size_t end = 2 * captureAudioFrameStart(k + 1, 10);
    int volume = wav.samples[begin] / 100;
    for (std::size_t i = begin; i < end; ++i) ASSERT_EQ(wav.samples[i], volume * 100) << k;
    EXPECT_LT(volume, previous) << k;
    previous = volume;
  }
  EXPECT_EQ(wav.samples[0], 100 * 100);          // 141.0: no fade call yet
  EXPECT_NEAR(wav.samples.back() / 100, 55, 1);  // 141.9
}

TEST_F(CaptureRunTest, ACaptureAfterTheFadeKeepsTheFadesLastVolume) {
  CaptureOptions options = smallCapture(dir.file("late"));
  options.music = &music;
  options.from = 144.0;
  options.to = 144.5;
  options.frames = CaptureFrames::kDiscard;
  ASSERT_EQ(runCapture(options), kRunOk);
  ShowWav wav;
  ASSERT_TRUE(showReadWav(options.outDirectory + "/audio.wav", wav));
  ASSERT_EQ(wav.samples.size(), 2u * 22050u);
  // The last fade frame at 10 frames per second is 142.9 s: volume 5, not the full 100.
  for (std::int16_t s : wav.samples) ASSERT_EQ(s, 5 * 100);
}

TEST_F(CaptureRunTest, WithoutTheModuleTheSoundTrackIsSilentButComplete) {
  music.loads = false;
  CaptureOptions options = smallCapture(dir.file("quiet"));
  options.music = &music;
  options.frames = CaptureFrames::kDiscard;
  ASSERT_EQ(runCapture(options), kRunOk);
  ShowWav wav;
  ASSERT_TRUE(showReadWav(options.outDirectory + "/audio.wav", wav));
  ASSERT_EQ(wav.samples.size(), 2u * 44100u);
  for (std::int16_t s : wav.samples) ASSERT_EQ(s, 0);
}

TEST_F(CaptureRunTest, BadRequestsAreRefusedWithCode2AndUnwritableFoldersFailWithCode1) {
  dir.writeText("plain-file", "x");
  std::FILE* sink = std::tmpfile();
  CaptureOptions options = smallCapture(dir.file("bad"));
  options.err = sink;
  auto refused = [&](CaptureOptions o) { return runCapture(o); };
  CaptureOptions o = options;
  o.fps = 0;
  EXPECT_EQ(refused(o), kRunBadRequest);
  o = options;
  o.to = 0.0;
  EXPECT_EQ(refused(o), kRunBadRequest);
  o = options;
  o.from = -1.0;
  EXPECT_EQ(refused(o), kRunBadRequest);
  o = options;
  o.width = 0;
  EXPECT_EQ(refused(o), kRunBadRequest);
  o = options;
  o.outDirectory = dir.file("plain-file/sub");
  EXPECT_EQ(refused(o), kRunFailed);
  o.outDirectory = "";
  EXPECT_EQ(refused(o), kRunBadRequest);
  EXPECT_EQ(runScreenshot(1.0, dir.file("plain-file/shot.png"), options), kRunBadRequest);
  EXPECT_EQ(runScreenshot(-1.0, dir.file("shot.png"), options), kRunBadRequest);
  EXPECT_EQ(runScreenshot(std::nan(""), dir.file("shot.png"), options), kRunBadRequest);
  EXPECT_NE(std::ftell(sink), 0L);  // each refusal says why
  std::fclose(sink);
  // Past the show's end the refusal names the end.
  std::FILE* said = std::tmpfile();
  CaptureOptions late = options;
  late.err = said;
  EXPECT_EQ(runScreenshot(200.0, dir.file("shot.png"), late), kRunBadRequest);
  std::rewind(said);
  char text[256] = {};
  EXPECT_NE(std::fgets(text, sizeof text, said), nullptr);
  EXPECT_NE(std::string(text).find("the show ends at 146.5 s"), std::string::npos) << text;
  std::fclose(said);
}

}  // namespace

namespace {

TEST_F(CaptureRunTest, TheModuleIsRenderedIntoTheSoundTrackTheSameEveryTime) {
  ASSERT_TRUE(bass_test::writeTestXm(dir.file("rockon.xm")));
  CaptureOptions a = smallCapture(dir.file("music-a"));
  CaptureOptions b = smallCapture(dir.file("music-b"));
  a.frames = b.frames = CaptureFrames::kDiscard;
  ASSERT_EQ(runCapture(a), kRunOk);
  ASSERT_EQ(runCapture(b), kRunOk);
  ShowWav wav;
  ASSERT_TRUE(showReadWav(a.outDirectory + "/audio.wav", wav));
  ASSERT_EQ(wav.samples.size(), 2u * 44100u);
  int loud = 0;
  for (std::int16_t s : wav.samples) loud += s > 1000 || s < -1000 ? 1 : 0;
  EXPECT_GT(loud, 10000);
  EXPECT_EQ(showReadFile(a.outDirectory + "/audio.wav"), showReadFile(b.outDirectory + "/audio.wav"));
}

}  // namespace
