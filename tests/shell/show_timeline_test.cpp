// The show's loading order, its timeline at the window boundaries, the music fade, the
// closing picture, the light release and the shutdown order.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "math/camera.h"
#include "platform/bass/bass.h"
#include "shell/music.h"
#include "shell/show_files.h"
#include "shell/show_timeline.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"
#include "support/show_fakes.h"

namespace {

const std::vector<std::string> kDetachOrder = {"skitdemo.lws", "design.lws", "text.lws", "grand.lws",
                                               "dass.lws",     "dance2.lws", "Slut.lws"};

struct Rendered {
  std::string scene;
  float time;
};

class ShowTimelineTest : public ::testing::Test {
 protected:
  ShowTimelineTest() : back(&driver), services(&back), show(&services) {
    driver.width = 640;
    driver.height = 480;
  }

  void load() {
    show.load(&driver);
    services.log.clear();
    driver.clearCalls();
  }

  // The scenes rendered in one frame at showTime, in order.
  std::vector<Rendered> frame(float showTime) {
    services.log.clear();
    show.drawFrame(&driver, showTime, camera);
    std::vector<Rendered> rendered;
    for (const ShowEvent& e : services.log.of("render")) rendered.push_back({e.scene, e.time});
    return rendered;
  }

  RecordingGraphicsDriver driver;
  BlitTarget back;
  FakeShowServices services;
  ShowTimeline show;
  Camera camera;
};

TEST_F(ShowTimelineTest, LoadsPicturesShowsTheLoadingPictureThenMusicScenesAndLightTexture) {
  show.load(&driver);

  std::vector<GfxCall> textures = driver.callsOf("loadTexture");
  ASSERT_EQ(textures.size(), 3u);
  EXPECT_EQ(textures[0].text, "slut.jpg");
  EXPECT_EQ(textures[1].text, "laddar.jpg");
  EXPECT_EQ(textures[2].text, "light.jpg");
  EXPECT_FALSE(textures[0].flag);
  EXPECT_FALSE(textures[1].flag);
  EXPECT_TRUE(textures[2].flag);
  for (const GfxCall& c : textures) EXPECT_EQ(c.text2, "");

  // The loading picture: clear, blit, present(true), with no scene bracket.
  std::vector<std::string> frameCalls = driver.sequence({"clear", "present", "beginScene", "endScene"});
  EXPECT_EQ(frameCalls, (std::vector<std::string>{"clear", "present"}));
  EXPECT_TRUE(driver.callsOf("present")[0].flag);
  EXPECT_TRUE(driver.callsOf("clear")[0].flag);
  ASSERT_EQ(back.blits.size(), 1u);
  EXPECT_EQ(back.blits[0].source, show.loadingPicture);
  EXPECT_EQ(back.blits[0].rect.left, 220);
  EXPECT_EQ(back.blits[0].rect.top, 220);
  EXPECT_EQ(back.blits[0].rect.right, 420);
  EXPECT_EQ(back.blits[0].rect.bottom, 260);
  EXPECT_FALSE(back.blits[0].hasSourceRect);
  EXPECT_FALSE(back.blits[0].colourKey);

  std::vector<std::string> order;
  for (const ShowEvent& e : services.log.events) order.push_back(e.what + " " + e.scene);
  EXPECT_EQ(order,
            (std::vector<std::string>{"initMusic ", "loadMusic rockon.xm", "createScene grand.lws",
                                      "createScene text.lws", "createScene design.lws", "createScene dass.lws",
                                      "createScene dance2.lws", "createScene Slut.lws", "createScene skitdemo.lws"}));
  EXPECT_TRUE(show.musicStarted);
  EXPECT_EQ(show.music, 7u);
}

TEST_F(ShowTimelineTest, PictureRectangleIsCentredAndAlways200By40) {
  RECT r = showPictureRect(640, 480);
  EXPECT_EQ(r.left, 220);
  EXPECT_EQ(r.bottom - r.top, 40);
  r = showPictureRect(801, 601);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 280);
  // Smaller than the picture: the division rounds toward zero on negative values.
  r = showPictureRect(101, 19);
  EXPECT_EQ(r.left, -49);
  EXPECT_EQ(r.top, -10);
  EXPECT_EQ(r.right, 151);
  EXPECT_EQ(r.bottom, 30);
}

TEST_F(ShowTimelineTest, WindowsAtTheirBoundariesRenderTheRightScenesInOrderAtTheirOwnTime) {
  load();
  struct Case {
    float showTime;
    std::vector<Rendered> expected;
  };
  const std::vector<Case> cases = {
      {0.0f, {{"grand.lws", 0.0f}}},
      {std::nextafter(33.0f, 0.0f), {{"grand.lws", std::nextafter(33.0f, 0.0f)}}},
      {33.0f, {{"grand.lws", 33.0f}, {"text.lws", 0.0f}}},
      {39.5f, {{"grand.lws", 39.5f}, {"text.lws", 6.5f}}},
      {40.0f, {{"design.lws", 0.0f}}},
      {67.75f, {{"design.lws", 27.75f}}},
      {68.0f, {{"dance2.lws", 0.0f}}},
      {94.0f, {{"dass.lws", 0.0f}}},
      {133.5f, {{"dass.lws", 39.5f}}},
      {134.0f, {{"Slut.lws", 0.0f}, {"skitdemo.lws", 0.0f}}},
      {142.5f, {{"Slut.lws", 8.5f}, {"skitdemo.lws", 8.5f}}},
      {143.0f, {}},
      {146.75f, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.showTime);
    std::vector<Rendered> rendered = frame(c.showTime);
    ASSERT_EQ(rendered.size(), c.expected.size());
    for (std::size_t i = 0; i < rendered.size(); ++i) {
      EXPECT_EQ(rendered[i].scene, c.expected[i].scene);
      EXPECT_EQ(rendered[i].time, c.expected[i].time);
    }
    // Every scene releases its lights at the end of every frame, in the fixed order.
    EXPECT_EQ(services.log.scenesOf("detachLights"), kDetachOrder);
    EXPECT_EQ(services.log.events.back().what, "detachLights");
  }
  // The difference is taken before rounding to single precision.
  std::vector<Rendered> late = frame(100.1f);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].time, static_cast<float>(static_cast<double>(100.1f) - 94.0));
}

TEST_F(ShowTimelineTest, FadeStartsAbove141AtVolume99TruncatesAndStopsAt143) {
  load();
  frame(141.0f);
  EXPECT_TRUE(services.log.of("volume").empty());

  frame(std::nextafter(141.0f, 200.0f));
  std::vector<ShowEvent> volume = services.log.of("volume");
  ASSERT_EQ(volume.size(), 1u);
  EXPECT_EQ(volume[0].value, 99);
  // After the two last scenes, before the light release.
  std::vector<std::string> order;
  for (const ShowEvent& e : services.log.events) {
    if (e.what != "detachLights") order.push_back(e.what + e.scene);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"renderSlut.lws", "renderskitdemo.lws", "volume"}));
  EXPECT_TRUE(services.otherVolumesLeft);

  const std::vector<std::pair<float, int>> values = {{141.5f, 75}, {141.51f, 74}, {142.0f, 50}, {142.99f, 0}};
  for (const auto& [t, expected] : values) {
    frame(t);
    ASSERT_EQ(services.log.of("volume").size(), 1u) << t;
    EXPECT_EQ(services.log.of("volume")[0].value, expected) << t;
  }
  // From 143 on the last value stays: no more calls.
  frame(143.0f);
  EXPECT_TRUE(services.log.of("volume").empty());
  frame(145.0f);
  EXPECT_TRUE(services.log.of("volume").empty());
}

TEST_F(ShowTimelineTest, ClosingPictureFrom143Centred) {
  load();
  back.blits.clear();
  frame(std::nextafter(143.0f, 0.0f));
  EXPECT_TRUE(back.blits.empty());
  driver.width = 800;
  driver.height = 600;
  frame(143.0f);
  ASSERT_EQ(back.blits.size(), 1u);
  EXPECT_EQ(back.blits[0].source, show.closingPicture);
  EXPECT_NE(show.closingPicture, nullptr);
  EXPECT_EQ(back.blits[0].rect.left, 300);
  EXPECT_EQ(back.blits[0].rect.top, 280);
  EXPECT_FALSE(back.blits[0].hasSourceRect);
  EXPECT_FALSE(back.blits[0].colourKey);
  frame(146.0f);
  EXPECT_EQ(back.blits.size(), 2u);
}

TEST_F(ShowTimelineTest, MissingPicturesAreNeverBlitted) {
  driver.missingFiles = {"slut.jpg", "laddar.jpg"};
  show.load(&driver);
  EXPECT_EQ(show.loadingPicture, nullptr);
  EXPECT_EQ(show.closingPicture, nullptr);
  EXPECT_EQ(driver.count("present"), 1);  // the loading frame is still shown (black)
  frame(144.0f);
  EXPECT_TRUE(back.blits.empty());
}

TEST_F(ShowTimelineTest, ShutdownStopsMusicThenDestroysScenesInOrder) {
  load();
  show.startMusic();
  ASSERT_EQ(services.log.of("startMusic").size(), 1u);
  EXPECT_EQ(services.log.of("startMusic")[0].value, 7);
  services.log.clear();
  show.shutdown();
  std::vector<std::string> order;
  for (const ShowEvent& e : services.log.events) order.push_back(e.what + " " + e.scene);
  EXPECT_EQ(order, (std::vector<std::string>{"stopMusic ", "destroy skitdemo.lws", "destroy Slut.lws",
                                             "destroy text.lws", "destroy design.lws", "destroy grand.lws",
                                             "destroy dass.lws", "destroy dance2.lws"}));
  for (Scene* scene : show.scenes) EXPECT_EQ(scene, nullptr);
}

TEST_F(ShowTimelineTest, WithoutSoundTheMusicIsNeitherLoadedStartedNorStoppedButFadeCallsStillCome) {
  services.soundWorks = false;
  show.load(&driver);
  EXPECT_FALSE(show.musicStarted);
  EXPECT_TRUE(services.log.of("loadMusic").empty());
  show.startMusic();
  frame(142.0f);
  EXPECT_EQ(services.log.of("volume").size(), 1u);
  show.shutdown();
  EXPECT_TRUE(services.log.of("startMusic").empty());
  EXPECT_TRUE(services.log.of("stopMusic").empty());
  EXPECT_EQ(services.log.of("destroy").size(), 7u);
}

TEST(ShowFiles, NamesEveryMissingOrUnreadableFileOnceIncludingObjectsAndPicturesTheScenesUse) {
  SceneTempDir dir;
  dir.writeText("grand.lws", "LWSC\n3\nLoadObjectLayer 1 C:\\objects\\box.lwo\n" +
                                 sceneItemMotionText("ObjectMotion", 0, 0, 0) + "LoadObjectLayer 2 box.lwo\n" +
                                 sceneItemMotionText("ObjectMotion", 0, 0, 0) + "LoadObjectLayer 1 ball.lwo\n" +
                                 sceneItemMotionText("ObjectMotion", 0, 0, 0));
  for (const char* present : {"text.lws", "design.lws", "dass.lws", "dance2.lws", "Slut.lws", "skitdemo.lws",
                              "rockon.xm", "slut.jpg", "light.jpg", "wood.jpg"}) {
    dir.writeText(present, "LWSC\n3\n");
  }
  // ball.3dx exists and names a colour picture (present) and an alpha picture (missing).
  Scene3dxWriter writer;
  writer.object(1, 1);
  Scene3dxWriter::Material material;
  material.textures[0] = "wood.jpg";
  material.textures[3] = "grain.jpg";
  writer.material(material);
  writer.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 1, {0, 0, 1, 0, 0, 1});
  writer.triangles({{0, 1, 2}});
  ASSERT_TRUE(writer.save(dir.file("ball.3dx")));

  RecordingGraphicsDriver driver;
  BlitTarget back(&driver);
  class FilesOnlyServices : public FakeShowServices {
   public:
    using FakeShowServices::FakeShowServices;
    Scene* createScene(GraphicsDriver* d, const char* file) override { return createShowScene(d, file); }
  } services(&back);
  ShowTimeline show(&services);
  show.load(&driver);
  EXPECT_EQ(services.missing, (std::vector<std::string>{"laddar.jpg", "box.3dx", "grain.jpg"}));
  // Present but not what the show takes them for.
  EXPECT_EQ(services.unreadable,
            (std::vector<std::string>{"slut.jpg: not a picture that can be decoded", "rockon.xm: not a music module",
                                      "light.jpg: not a picture that can be decoded",
                                      "wood.jpg: not a picture that can be decoded"}));
  EXPECT_EQ(showObjectFileName("dir/sub\\Thing.LWO"), "Thing.3dx");
  EXPECT_EQ(showObjectFileName("thing.obj"), "");
}

// Scene files that are a folder, a named pipe, empty, junk or a cut-off header: the show
// loads without blocking, and each is named once as missing or unreadable.
TEST(ShowFiles, HostileSceneFilesAreNamedAndNeverBlockTheStart) {
  SceneTempDir dir;
  ASSERT_EQ(mkdir(dir.file("grand.lws").c_str(), 0700), 0);
  ASSERT_EQ(mkfifo(dir.file("text.lws").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(dir.file("rockon.xm").c_str(), 0600), 0);
  dir.writeText("design.lws", "");
  dir.writeText("dass.lws", std::string("\x89\x00\xff\x10junk\x00\x01", 11));
  dir.writeText("dance2.lws", "LWS");
  dir.writeText("Slut.lws", "LWSC\n");
  dir.writeText("skitdemo.lws", "LWSC\n3\nLoadObjectLayer 1 junk.lwo\n" + sceneItemMotionText("ObjectMotion", 0, 0, 0));
  dir.writeText("junk.3dx", "3DY and more");
  RecordingGraphicsDriver driver;
  BlitTarget back(&driver);
  class FilesOnlyServices : public FakeShowServices {
   public:
    using FakeShowServices::FakeShowServices;
    Scene* createScene(GraphicsDriver* d, const char* file) override { return createShowScene(d, file); }
  } services(&back);
  ShowTimeline show(&services);
  show.load(&driver);
  EXPECT_EQ(services.missing,
            (std::vector<std::string>{"slut.jpg", "laddar.jpg", "rockon.xm", "grand.lws", "text.lws", "light.jpg"}));
  EXPECT_EQ(services.unreadable,
            (std::vector<std::string>{
                "design.lws: not a scene file", "dass.lws: not a scene file", "dance2.lws: not a scene file",
                "Slut.lws: not a scene file (unsupported version)", "junk.3dx: not an object file"}));
  show.shutdown();
}

}  // namespace

namespace {

// The fake scenes and back buffer with the sound library itself.
class LibraryMusicServices : public FakeShowServices {
 public:
  using FakeShowServices::FakeShowServices;
  bool initMusic(GraphicsDriver*) override { return ::initMusic(nullptr); }
  std::uint32_t loadMusic(const char* file) override { return ::loadMusic(file); }
  bool startMusic(std::uint32_t music) override { return ::startMusic(music); }
  bool stopMusic(std::uint32_t music) override { return ::stopMusic(music); }
  void setGlobalVolumes(int music, int sample, int stream) override {
    BASS_SetGlobalVolumes(music, sample, stream);
    log.add("volume", "", 0.0f, music);
  }
};

// Loads the show, runs frames across the fade and the closing picture, shuts down.
void runThroughTheEnd(ShowTimeline& show, RecordingGraphicsDriver& driver) {
  show.load(&driver);
  show.startMusic();
  Camera camera;
  for (float t = 139.0f; t < 147.0f; t += 0.25f) show.drawFrame(&driver, t, camera);
  show.shutdown();
}

TEST(ShowMusic, AnotherLibraryVersionGivesASilentShowWhoseFadeCallsAreHarmless) {
  bassSetReportedVersion(0x70000);
  RecordingGraphicsDriver driver;
  BlitTarget back(&driver);
  LibraryMusicServices services(&back);
  ShowTimeline show(&services);
  runThroughTheEnd(show, driver);
  bassSetReportedVersion(0);
  EXPECT_FALSE(show.musicStarted);
  EXPECT_EQ(show.music, 0u);
  EXPECT_EQ(services.log.of("volume").size(), 7u);  // 141.25 ... 142.75
  EXPECT_EQ(services.log.of("destroy").size(), 7u);
}

TEST(ShowMusic, WithoutASoundDeviceTheShowIsSilentAndEndsNormally) {
  const char* previous = std::getenv("SDL_AUDIODRIVER");
  std::string saved = previous != nullptr ? previous : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  RecordingGraphicsDriver driver;
  BlitTarget back(&driver);
  LibraryMusicServices services(&back);
  ShowTimeline show(&services);
  runThroughTheEnd(show, driver);
  if (previous != nullptr) {
    setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  } else {
    unsetenv("SDL_AUDIODRIVER");
  }
  EXPECT_FALSE(show.musicStarted);
  EXPECT_EQ(services.log.of("destroy").size(), 7u);
}

}  // namespace
