// The author's preview: the clock the keys steer, the files a scene depends on, and the
// preview run headless, steered by posted keys and reloading a changed object file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/dx7/dx7_platform.h"
#include "platform/win32/win32_window.h"
#include "scene/scene.h"
#include "shell/host/author_controls.h"
#include "shell/host/options.h"
#include "shell/host/scene_preview.h"
#include "support/gfx_recording_driver.h"
#include "support/image_writers.h"
#include "support/scene_files.h"
#include "support/show_test_files.h"

namespace {

namespace fs = std::filesystem;

void press(AuthorClock& clock, WPARAM key) {
  clock.handleMessage(WM_KEYDOWN, key);
  clock.handleMessage(WM_KEYUP, key);
}

TEST(AuthorClock, KeysPauseSeekAndRestart) {
  AuthorClock clock;
  EXPECT_DOUBLE_EQ(clock.advance(0.5), 0.5);
  press(clock, VK_SPACE);
  EXPECT_TRUE(clock.paused());
  EXPECT_DOUBLE_EQ(clock.advance(3.0), 0.5) << "a paused clock stands";
  press(clock, VK_RIGHT);
  EXPECT_DOUBLE_EQ(clock.advance(0.1), 1.5) << "seeking works while paused";
  clock.handleMessage(WM_KEYDOWN, VK_SHIFT);
  press(clock, VK_RIGHT);
  press(clock, VK_RIGHT);
  clock.handleMessage(WM_KEYUP, VK_SHIFT);
  EXPECT_DOUBLE_EQ(clock.advance(0.0), 21.5) << "Shift makes steps of 10 s";
  press(clock, VK_LEFT);
  EXPECT_DOUBLE_EQ(clock.advance(0.0), 20.5) << "Shift released: 1 s again";
  clock.handleMessage(WM_KEYDOWN, VK_SHIFT);
  press(clock, VK_LEFT);
  press(clock, VK_LEFT);
  press(clock, VK_LEFT);
  EXPECT_DOUBLE_EQ(clock.advance(0.0), 0.0) << "never before the start";
  clock.handleMessage(WM_KEYUP, VK_SHIFT);
  press(clock, VK_SPACE);
  clock.advance(4.0);
  press(clock, VK_RIGHT);
  press(clock, VK_HOME);
  EXPECT_DOUBLE_EQ(clock.advance(2.0), 0.0) << "Home restarts and drops seeks still pending";
  EXPECT_EQ(clock.restarts(), 1);
  EXPECT_TRUE(clock.handleMessage(WM_KEYDOWN, 'R'));
  EXPECT_FALSE(clock.handleMessage(WM_KEYUP, 'R'));
  EXPECT_FALSE(clock.handleMessage(WM_KEYDOWN, VK_ESCAPE)) << "Escape is left to the window";

  EXPECT_EQ(authorTitle("one.lws", 12.34, false), "[VELLUMITE] one.lws  12.3 s");
  EXPECT_EQ(authorTitle("one.lws", 0.0, true), "[VELLUMITE] one.lws  0.0 s (paused)");
}

TEST(ScenePreviewFiles, TheSceneObjectsAndPicturesAreWatched) {
  SceneTempDir dir;
  Scene3dxWriter w;
  w.object(1, 1);
  Scene3dxWriter::Material m;
  m.textures = {"skin.jpg", "(none)", "(none)", "mask.jpg", "(none)"};
  w.material(m);
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 2, {0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1});
  w.triangles({{0, 1, 2}});
  ASSERT_TRUE(w.save(dir.file("box.3dx")));
  dir.writeText("s.lws", "LWSC\n3\nLoadObjectLayer 1 Objects\\box.lwo\n" +
                             sceneItemMotionText("ObjectMotion", 0, 0, 0) + "LoadObjectLayer 1 later.lwo\n" +
                             sceneItemMotionText("ObjectMotion", 0, 0, 0) + "AddNullObject pivot\n" +
                             sceneItemMotionText("ObjectMotion", 0, 0, 0));
  RecordingGraphicsDriver driver;
  Scene scene(&driver);
  ASSERT_TRUE(scene.loadScene("s.lws"));
  std::vector<std::string> files = sceneDependencies(scene, "s.lws");
  // The colour map with the alpha map gives one texture "skin.jpg(mask.jpg)": both pictures.
  EXPECT_EQ(files, (std::vector<std::string>{"s.lws", "box.3dx", "later.3dx", "skin.jpg", "mask.jpg"}));

  WatchedFiles watched;
  watched.watch(files);
  EXPECT_FALSE(watched.changed());
  dir.writeText("later.3dx", "");  // a missing object appears
  EXPECT_TRUE(watched.changed());
  watched.watch(files);
  EXPECT_FALSE(watched.changed());
  const auto before = fs::last_write_time(dir.file("box.3dx"));
  ASSERT_TRUE(w.save(dir.file("box.3dx")));  // same bytes, new time
  fs::last_write_time(dir.file("box.3dx"), before + std::chrono::seconds(1));
  EXPECT_TRUE(watched.changed());
}

// The preview's frames as the hook sees them.
// Plays a scene in the preview, watching its files on every frame, with `afterFrame` called
// after each; what the preview says goes nowhere. Gives the exit code.
int playPreview(const std::string& file,
                bool (*afterFrame)(void*, GraphicsDriver*, const PreviewScene&, const AuthorClock&), void* context) {
  PreviewHooks hooks;
  hooks.afterFrame = afterFrame;
  hooks.context = context;
  hooks.watchInterval = 0;
  std::FILE* err = std::tmpfile();
  const int code = runScenePreview(file, ProgramOptions{}, err, &hooks);
  std::fclose(err);
  return code;
}

struct PreviewRun {
  std::string folder;
  int frame = 0;
  int reloadFrame = -1;
  double pausedAt = -1.0;
  double afterSeek = -1.0;
  double afterReload = -1.0;
  bool sawRed = false;
  bool sawGreenAfterReload = false;
  bool sawRedAfterReload = false;
};

bool frameHas(std::uint32_t (*classify)(std::uint32_t), std::uint32_t wanted) {
  std::vector<std::uint32_t> pixels;
  int w = 0;
  int h = 0;
  if (!dx7ReadPresentedFrame(pixels, &w, &h)) return false;
  for (std::uint32_t p : pixels)
    if (classify(p) == wanted) return true;
  return false;
}

// 1 red, 2 green, 0 anything else.
std::uint32_t colourOf(std::uint32_t p) {
  const std::uint32_t r = (p >> 16) & 0xFF;
  const std::uint32_t g = (p >> 8) & 0xFF;
  if (r >= 0x60 && g < 0x30) return 1;
  if (g >= 0x60 && r < 0x30) return 2;
  return 0;
}

bool afterFrame(void* context, GraphicsDriver* driver, const PreviewScene& preview, const AuthorClock& clock) {
  PreviewRun& run = *static_cast<PreviewRun*>(context);
  HWND window = static_cast<Direct3DDriver*>(driver)->window;
  ++run.frame;
  if (run.frame == 1) {
    run.sawRed = frameHas(colourOf, 1);
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
  } else if (run.frame == 2) {
    run.pausedAt = clock.paused() ? clock.time() : -1.0;
    PostMessageA(window, WM_KEYDOWN, VK_RIGHT, 0);
  } else if (run.frame == 3) {
    run.afterSeek = clock.time();
    // The author saves the object again, now green.
    Scene3dxWriter quad;
    quad.object(1, 1);
    Scene3dxWriter::Material material;
    material.diffuse = 0xFF00FF00u;
    material.doubleSided = 1;
    quad.material(material);
    quad.vertices({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
    quad.triangles({{0, 1, 2}, {0, 2, 3}});
    quad.save(run.folder + "/quad.3dx");
    fs::last_write_time(run.folder + "/quad.3dx",
                        fs::last_write_time(run.folder + "/quad.3dx") + std::chrono::seconds(2));
  } else if (preview.loads >= 2 && run.reloadFrame < 0) {
    run.reloadFrame = run.frame;
    run.afterReload = clock.time();
    run.sawGreenAfterReload = frameHas(colourOf, 2);
    run.sawRedAfterReload = frameHas(colourOf, 1);
    return false;
  }
  return run.frame < 20;
}

TEST(ScenePreviewRun, KeysSteerTheClockAndAChangedObjectIsReloadedAtTheSameTime) {
  SceneTempDir dir;
  ASSERT_TRUE(writeShowTestScene(dir, "one.lws"));
  PreviewRun run;
  run.folder = dir.path();
  ASSERT_EQ(playPreview(dir.file("one.lws"), afterFrame, &run), 0);

  EXPECT_TRUE(run.sawRed) << "the red quad is drawn";
  ASSERT_GE(run.pausedAt, 0.0) << "Space paused the clock";
  EXPECT_NEAR(run.afterSeek, std::fmod(run.pausedAt + 1.0, 2.0), 1e-9) << "Right moved it 1 s on (looping at 2 s)";
  EXPECT_EQ(run.reloadFrame, 4) << "reloaded on the first frame after the change";
  EXPECT_NEAR(run.afterReload, run.afterSeek, 1e-9) << "the reload keeps the scene time";
  EXPECT_TRUE(run.sawGreenAfterReload);
  EXPECT_FALSE(run.sawRedAfterReload);
}

// A picture of one colour (blue, green, red) written as JPEG, its time moved on so the
// change shows even within one clock tick.
void writePicture(const std::string& path, unsigned char b, unsigned char g, unsigned char r) {
  image_test::Bytes pixels;
  for (int i = 0; i < 16 * 16; ++i) pixels.insert(pixels.end(), {b, g, r});
  const bool existed = fs::exists(path);
  const auto before = existed ? fs::last_write_time(path) : fs::file_time_type();
  ASSERT_TRUE(image_test::writeFile(path, image_test::writeJpeg(pixels, 16, 16, 3)));
  if (existed) fs::last_write_time(path, before + std::chrono::seconds(2));
}

struct PictureRun {
  std::string folder;
  int frame = 0;
  bool sawRed = false;
  bool sawGreenAfterReload = false;
  bool reloaded = false;
};

bool afterPictureFrame(void* context, GraphicsDriver*, const PreviewScene& preview, const AuthorClock&) {
  PictureRun& run = *static_cast<PictureRun*>(context);
  ++run.frame;
  if (run.frame == 1) {
    run.sawRed = frameHas(colourOf, 1);
    writePicture(run.folder + "/paint.jpg", 0, 255, 0);
  } else if (preview.loads >= 2) {
    run.reloaded = true;
    run.sawGreenAfterReload = frameHas(colourOf, 2);
    return false;
  }
  return run.frame < 10;
}

TEST(ScenePreviewRun, AChangedPictureIsReadAgain) {
  SceneTempDir dir;
  ASSERT_TRUE(writeShowTestScene(dir, "one.lws"));
  // The quad, white and painted with a picture.
  Scene3dxWriter quad;
  quad.object(1, 1);
  Scene3dxWriter::Material material;
  material.diffuse = 0xFFFFFFFFu;
  material.doubleSided = 1;
  material.textures = {"paint.jpg", "(none)", "(none)", "(none)", "(none)"};
  quad.material(material);
  quad.vertices({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}}, 1, {0, 1, 1, 1, 1, 0, 0, 0});
  quad.triangles({{0, 1, 2}, {0, 2, 3}});
  ASSERT_TRUE(quad.save(dir.file("quad.3dx")));
  writePicture(dir.file("paint.jpg"), 0, 0, 255);
  PictureRun run;
  run.folder = dir.path();
  ASSERT_EQ(playPreview(dir.file("one.lws"), afterPictureFrame, &run), 0);
  EXPECT_TRUE(run.sawRed) << "the red picture is drawn";
  EXPECT_TRUE(run.reloaded);
  EXPECT_TRUE(run.sawGreenAfterReload) << "the driver let go of the old picture";
}

bool countFrame(void* context, GraphicsDriver*, const PreviewScene&, const AuthorClock&) {
  ++*static_cast<int*>(context);
  return false;
}

TEST(ScenePreviewRun, ASceneFileThatCannotBeReadEndsBeforeItsFirstFrame) {
  SceneTempDir dir;
  dir.writeText("cut.lws", "LWSC\n");  // the header without its version
  int frames = 0;
  PreviewHooks hooks;
  hooks.afterFrame = countFrame;
  hooks.context = &frames;
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(runScenePreview(dir.file("cut.lws"), ProgramOptions{}, err, &hooks), 2);
  std::rewind(err);
  char line[512] = {};
  ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
  std::fclose(err);
  EXPECT_NE(std::string(line).find("cut.lws is not a scene file this program can read"), std::string::npos) << line;
  EXPECT_EQ(frames, 0);
}

}  // namespace
