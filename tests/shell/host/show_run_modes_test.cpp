// The offline and authoring options, the preview's loop time, and screenshots of one scene.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "scene/scene.h"
#include "shell/host/command_line.h"
#include "shell/host/run_modes.h"
#include "shell/host/scene_preview.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"
#include "support/show_png_reader.h"
#include "support/show_test_files.h"

namespace {

struct Parsed {
  int code;
  RunModeOptions options;
  ProgramOptions program;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "vellumite");
  Parsed parsed;
  CommandLine line;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  parsed.code = parseCommandLine(static_cast<int>(args.size()), args.data(), "1", &line, out, err);
  std::fclose(err);
  std::fclose(out);
  parsed.options = line.modes;
  parsed.program = line.program;
  return parsed;
}

std::string cwd() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

TEST(RunModeOptions, CaptureOptionsAndTheProgramsOptionsTakeTheirValuesInOnePass) {
  Parsed p = parse({"--data", "--capture", "--mode", "800x600", "--capture", "out", "--fps=25", "--from", "10", "--to",
                    "12.5", "--png", "--headless"});
  ASSERT_EQ(p.code, -1);
  EXPECT_EQ(p.options.mode, RunMode::kCapture);
  EXPECT_EQ(p.options.capture.outDirectory, cwd() + "/out");
  EXPECT_EQ(p.options.capture.fps, 25);
  EXPECT_EQ(p.options.capture.from, 10.0);
  EXPECT_EQ(p.options.capture.to, 12.5);
  EXPECT_EQ(p.options.capture.frames, CaptureFrames::kPng);
  // "--data --capture": the folder named "--capture" belongs to --data.
  EXPECT_EQ(p.program.dataDirectory, "--capture");
  EXPECT_TRUE(p.program.hasMode);
  EXPECT_EQ(p.program.width, 800);
  EXPECT_TRUE(p.program.headless);

  Parsed plain = parse({"--headless"});
  EXPECT_EQ(plain.code, -1);
  EXPECT_EQ(plain.options.mode, RunMode::kShow);
  EXPECT_EQ(plain.options.capture.fps, 30);
  EXPECT_EQ(plain.options.capture.frames, CaptureFrames::kVideo);
}

TEST(RunModeOptions, ACaptureNameWithAVideoExtensionIsTheFileAndChoosesItsCodec) {
  Parsed folder = parse({"--capture", "out", "--codec", "vp9", "--crf", "40"});
  ASSERT_EQ(folder.code, -1);
  EXPECT_EQ(folder.options.capture.outDirectory, cwd() + "/out");
  EXPECT_EQ(folder.options.capture.videoName, "");
  EXPECT_EQ(folder.options.capture.codec, VideoCodec::kVp9);
  EXPECT_EQ(folder.options.capture.crf, 40);

  Parsed mp4 = parse({"--capture=clips/Show.MP4"});
  ASSERT_EQ(mp4.code, -1);
  EXPECT_EQ(mp4.options.capture.outDirectory, cwd() + "/clips");
  EXPECT_EQ(mp4.options.capture.videoName, "Show.MP4");
  EXPECT_EQ(mp4.options.capture.codec, VideoCodec::kH264);

  Parsed webm = parse({"--capture", "/web.webm"});
  ASSERT_EQ(webm.code, -1);
  EXPECT_EQ(webm.options.capture.outDirectory, "/");
  EXPECT_EQ(webm.options.capture.videoName, "web.webm");
  EXPECT_EQ(webm.options.capture.codec, VideoCodec::kVp9);

  // A folder whose name only contains an extension is a folder.
  Parsed dotted = parse({"--capture", "a.mp4.d"});
  EXPECT_EQ(dotted.options.capture.videoName, "");
}

TEST(RunModeOptions, ScreenshotAndSceneModes) {
  Parsed shot = parse({"--screenshot", "12.25", "/tmp/a.png"});
  ASSERT_EQ(shot.code, -1);
  EXPECT_EQ(shot.options.mode, RunMode::kScreenshot);
  EXPECT_EQ(shot.options.screenshotTime, 12.25);
  EXPECT_EQ(shot.options.screenshotPath, "/tmp/a.png");

  Parsed scene = parse({"--scene", "scenes/x.lws"});
  EXPECT_EQ(scene.options.mode, RunMode::kScene);
  EXPECT_EQ(scene.options.sceneFile, cwd() + "/scenes/x.lws");
  Parsed sceneShot = parse({"--screenshot", "1", "b.png", "--scene=x.lws"});
  EXPECT_EQ(sceneShot.options.mode, RunMode::kSceneScreenshot);
  EXPECT_EQ(sceneShot.options.screenshotPath, cwd() + "/b.png");
}

TEST(RunModeOptions, BadValuesAndCombinationsGiveCode2) {
  const std::vector<std::vector<const char*>> refused = {
      {"--capture"},
      {"--capture", "o", "--fps", "0"},
      {"--capture", "o", "--fps", "12.5"},
      {"--capture", "o", "--from", "-1"},
      {"--capture", "o", "--to", "abc"},
      {"--capture", "o", "--from", "5", "--to", "5"},
      {"--fps", "10"},
      {"--png"},
      {"--capture", "o", "--scene", "x.lws"},
      {"--capture", "o", "--screenshot", "1", "x.png"},
      {"--screenshot", "1"},
      {"--screenshot", "later", "x.png"},
      {"--scene"},
      {"--capture", "o", "--codec", "h265"},
      {"--capture", "o", "--crf", "64"},
      {"--capture", "o", "--crf", "52"},  // above H.264's range
      {"--capture", "o.mp4", "--codec", "vp9"},
      {"--capture", "o.webm", "--codec", "h264"},
      {"--capture", "o.mp4", "--png"},
      {"--codec", "vp9"},
  };
  for (const auto& args : refused) {
    std::string joined;
    for (const char* a : args) joined += std::string(a) + " ";
    EXPECT_EQ(parse(args).code, 2) << joined;
  }
}

TEST(ScenePreview, LoopsAtTheLastKeyTimeOfAnyMotionOrEnvelope) {
  SceneTempDir dir;
  ASSERT_TRUE(writeShowTestScene(dir, "one.lws"));
  dir.writeText("lit.lws", "LWSC\n3\nLightName L\n" + sceneItemMotionText("LightMotion", 0, 0, 0) +
                               sceneEnvelopeText("LightIntensity", {{{1.0f, 0.0f}, {0.0f, 3.5f}}}) +
                               sceneEnvelopeText("AmbientIntensity", {{{0.1f, 0.0f}, {0.2f, 2.5f}}}));
  RecordingGraphicsDriver driver;
  Scene one(&driver);
  ASSERT_TRUE(one.loadScene("one.lws"));
  EXPECT_EQ(sceneLastKeyTime(one), 2.0f);
  Scene lit(&driver);
  ASSERT_TRUE(lit.loadScene("lit.lws"));
  EXPECT_EQ(sceneLastKeyTime(lit), 3.5f);
  Scene empty(&driver);
  EXPECT_EQ(sceneLastKeyTime(empty), 0.0f);

  EXPECT_FLOAT_EQ(scenePreviewTime(0.5, 2.0f), 0.5f);
  EXPECT_FLOAT_EQ(scenePreviewTime(4.75, 2.0f), 0.75f);
  EXPECT_EQ(scenePreviewTime(7.0, 0.0f), 0.0f);
}

TEST(ScenePreview, ScreenshotOfOneSceneAtItsOwnTimeAndRefusals) {
  SceneTempDir dir;
  ASSERT_TRUE(writeShowTestScene(dir, "one.lws"));
  std::string folder = dir.path();
  std::FILE* err = std::tmpfile();
  // At time 0 the quad is on the left, at 2 s on the right.
  ASSERT_EQ(runSceneScreenshot(folder + "/one.lws", 0.0, folder + "/left.png", 64, 48, err), kRunOk);
  ASSERT_EQ(runSceneScreenshot(folder + "/one.lws", 2.0, folder + "/right.png", 64, 48, err), kRunOk);
  ShowPicture left, right;
  ASSERT_TRUE(showReadPng(folder + "/left.png", left));
  ASSERT_TRUE(showReadPng(folder + "/right.png", right));
  auto redAt = [](const ShowPicture& p, int x, int y) { return ((p.pixels[y * p.width + x] >> 16) & 0xFF) >= 0x60; };
  EXPECT_TRUE(redAt(left, 8, 24));
  EXPECT_FALSE(redAt(left, 56, 24));
  EXPECT_TRUE(redAt(right, 56, 24));
  EXPECT_FALSE(redAt(right, 8, 24));

  dir.writeText("notes.lws", "just some text\n");
  EXPECT_EQ(runSceneScreenshot(folder + "/missing.lws", 0.0, folder + "/x.png", 64, 48, err), kRunBadRequest);
  EXPECT_EQ(runSceneScreenshot(folder + "/notes.lws", 0.0, folder + "/x.png", 64, 48, err), kRunBadRequest);
  // A named pipe in place of the scene file is refused without waiting for a writer.
  ASSERT_EQ(mkfifo((folder + "/pipe.lws").c_str(), 0600), 0);
  EXPECT_EQ(runSceneScreenshot(folder + "/pipe.lws", 0.0, folder + "/x.png", 64, 48, err), kRunBadRequest);
  EXPECT_EQ(runSceneScreenshot(folder + "/one.lws", 0.0, folder + "/none/x.png", 64, 48, err), kRunBadRequest);
  // Without a display the preview window cannot be shown.
  EXPECT_EQ(runScenePreview(folder + "/one.lws", ProgramOptions{}, err), kRunBadRequest);
  std::fclose(err);
}

}  // namespace
