// The show as the build makes it: every scene file loads whole in the engine (every object
// and picture it names is there and readable), nothing is reported missing when the show
// starts, every scene stays within its triangle budget, a frame of every scene window is lit
// and different from the frames of the other windows, the cameras cut on the beat, and a
// dozen frames match the golden frames kept with the tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "gfx/material.h"
#include "loading/envelope.h"
#include "loading/motion.h"
#include "port/decoded_picture.h"
#include "scene/particle_system.h"
#include "scene/scene.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "shell/host/capture.h"
#include "shell/host/show_services.h"
#include "shell/show_files.h"
#include "show_maker.h"
#include "support/gfx_recording_driver.h"
#include "support/show_png_reader.h"

namespace {

const char* const kScenes[] = {"grand.lws",  "text.lws", "design.lws",  "dass.lws",
                               "dance2.lws", "Slut.lws", "skitdemo.lws"};

class ShowContent : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(chdir(VELLUMITE_SHOW_DIR), 0) << "build the show first: " << VELLUMITE_SHOW_DIR; }
};

TEST_F(ShowContent, EverySceneLoadsWholeWithNothingMissing) {
  RecordingGraphicsDriver driver;
  Scene* scenes[7];
  for (int i = 0; i < 7; ++i) {
    scenes[i] = new Scene(&driver);
    ASSERT_TRUE(scenes[i]->loadScene(kScenes[i])) << kScenes[i];
    const Scene& s = *scenes[i];
    EXPECT_EQ(s.cameraCount, 1) << kScenes[i];
    EXPECT_GE(s.lightCount, 1) << kScenes[i];
    EXPECT_GE(s.objectCount, 1) << kScenes[i];
    long triangles = 0;
    for (int o = 0; o < s.objectCount; ++o) {
      const SceneObject* object = s.objects[o];
      ASSERT_GT(object->motionCount, 0) << kScenes[i] << " object " << o;
      // Every named object file loaded with its groups; nulls carry no file name.
      if (object->fileName != nullptr) {
        EXPECT_GT(object->groupCount, 0) << kScenes[i] << " " << object->fileName;
      }
      for (int g = 0; g < object->groupCount; ++g) triangles += object->groups[g].triangleCount;
    }
    EXPECT_LT(triangles, 40000) << kScenes[i] << ": keep the software rasteriser's budget";
    for (int l = 0; l < s.lightCount; ++l) {
      EXPECT_GT(s.lights[l]->motionCount, 0);
      EXPECT_NE(s.lights[l]->colors[0].motion, nullptr);
      EXPECT_NE(s.lights[l]->intensities[0].motion, nullptr);
    }
  }
  // What the program would report missing at start: nothing (the music included).
  const std::vector<std::string> missing = findMissingShowFiles(scenes, 7);
  std::string names;
  for (const std::string& m : missing) names += m + " ";
  EXPECT_TRUE(missing.empty()) << names;
  // And every picture a material names decodes.
  for (Scene* s : scenes) {
    for (int m = 0; m < s->materialCount; ++m) {
      const Material* material = s->material(m);
      for (int l = 0; material != nullptr && l < material->layerCount; ++l) {
        char base[kTextureNameCapacity], alpha[kTextureNameCapacity];
        const bool hasAlpha = splitTextureName(material->layers[l].textureName, base, alpha);
        for (const char* name : {base, hasAlpha ? alpha : base}) EXPECT_TRUE(DecodedPicture(name)) << name;
      }
    }
    delete s;
  }
  for (const char* picture :
       {"laddar.jpg", "slut.jpg", "light.jpg", "lensflare.jpg", "lensflarea.jpg", "fire0.jpg", "fire5.jpg"}) {
    EXPECT_TRUE(DecodedPicture(picture)) << picture;
  }
}

TEST_F(ShowContent, PicturesHaveDetailAndTheFireSixFlamesOnBlack) {
  // Every picture a scene's mesh wears is at least 256 texels across (the effects' own small
  // pictures aside), so that it keeps its detail on a large screen.
  RecordingGraphicsDriver driver;
  for (const char* file : kScenes) {
    Scene scene(&driver);
    ASSERT_TRUE(scene.loadScene(file));
    for (int m = 0; m < scene.materialCount; ++m) {
      const Material* material = scene.material(m);
      for (int l = 0; material != nullptr && l < material->layerCount; ++l) {
        char base[kTextureNameCapacity], alpha[kTextureNameCapacity];
        splitTextureName(material->layers[l].textureName, base, alpha);
        const std::string name = base;
        if (name.rfind("fire", 0) == 0 || name.rfind("lens", 0) == 0 || name == "glow.jpg" || name == "light.jpg" ||
            name == "credits.jpg" || name == "presents.jpg")
          continue;
        const DecodedPicture picture(base);
        EXPECT_GE(std::min(picture.width(), picture.height()), 256) << file << ": " << name;
      }
    }
  }
  // The flames are added to the picture: black at their borders (or the billboards' squares
  // show), hot inside, and no two alike.
  std::vector<std::vector<int>> flames;
  for (int k = 0; k < 6; ++k) {
    const std::string name = "fire" + std::to_string(k) + ".jpg";
    const DecodedPicture picture(name.c_str());
    ASSERT_TRUE(picture) << name;
    EXPECT_EQ(picture.width(), 128);
    std::vector<int> grey;
    int border = 0, hot = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const unsigned char* p = picture.bgr() + (std::size_t(y) * picture.width() + x) * 3;
        grey.push_back(p[0] + p[1] + p[2]);
        if (x == 0 || y == 0 || x == picture.width() - 1 || y == picture.height() - 1)
          border = std::max(border, grey.back());
        if (p[2] > 200 && p[1] > 120) ++hot;
      }
    EXPECT_LE(border, 3 * 12) << name << ": the border is not black";
    EXPECT_GT(hot, 150) << name << ": no hot core";
    flames.push_back(grey);
  }
  for (int a = 0; a < 6; ++a)
    for (int b = a + 1; b < 6; ++b) {
      long sum = 0;
      for (std::size_t i = 0; i < flames[a].size(); ++i) sum += std::abs(flames[a][i] - flames[b][i]);
      EXPECT_GT(double(sum) / (3.0 * double(flames[a].size())), 8.0)
          << "fire" << a << " and fire" << b << " look alike";
    }
}

TEST_F(ShowContent, MakingTheShowAgainGivesTheSameBytes) {
  const std::string again = std::string("/tmp/vellumite_show_again_") + std::to_string(getpid());
  const ShowMade made = makeShow(VELLUMITE_CONTENT_DIR, again);
  EXPECT_EQ(made.errors, 0);
  EXPECT_EQ(made.scenes, 7);
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(again)) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(showReadFile(entry.path().string()), showReadFile(name)) << name;
    ++compared;
  }
  EXPECT_GT(compared, 40);
  std::filesystem::remove_all(again);
}

struct Frame {
  double time;
  ShowPicture picture;
};

double meanBrightness(const ShowPicture& p) {
  double sum = 0;
  for (std::uint32_t c : p.pixels) sum += ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255);
  return sum / (3.0 * double(p.pixels.size()));
}

double meanDifference(const ShowPicture& a, const ShowPicture& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    for (int shift : {16, 8, 0}) sum += std::abs(int((a.pixels[i] >> shift) & 255) - int((b.pixels[i] >> shift) & 255));
  return sum / (3.0 * double(a.pixels.size()));
}

TEST_F(ShowContent, AFrameOfEverySceneWindowIsLitAndItsOwn) {
  // One time inside each window: the opening, the title over it, design, dance, fire,
  // finale with credits, closing picture.
  std::vector<Frame> frames = {{20, {}}, {36.5, {}}, {52, {}}, {81, {}}, {118, {}}, {137, {}}, {145, {}}};
  const std::string out = std::string("/tmp/vellumite_show_test_") + std::to_string(getpid());
  ProgramShowServices services;
  CaptureOptions options;
  options.services = &services;
  options.width = 320;  // the closing picture is 200 x 40 on screen: it must fit
  options.height = 240;
  options.progress = nullptr;
  for (Frame& f : frames) {
    const std::string path = out + "_" + std::to_string(int(f.time * 10)) + ".png";
    ASSERT_EQ(runScreenshot(f.time, path, options), kRunOk) << f.time;
    ASSERT_TRUE(showReadPng(path, f.picture)) << path;
    unlink(path.c_str());
    EXPECT_GT(meanBrightness(f.picture), f.time >= 143 ? 0.5 : 4.0) << "the frame at " << f.time << " s is black";
  }
  for (std::size_t i = 0; i < frames.size(); ++i)
    for (std::size_t j = i + 1; j < frames.size(); ++j)
      EXPECT_GT(meanDifference(frames[i].picture, frames[j].picture), 2.0)
          << "the frames at " << frames[i].time << " and " << frames[j].time << " s look alike";
}

TEST_F(ShowContent, TheCamerasCutOnTheBeatAtLeastFortyTimes) {
  // A cut is a stepped key of a camera's motion or of what it aims at; the music is 120 beats
  // a minute from the start, so every cut must fall on a whole half second of show time.
  const double offsets[] = {0, 33, 40, 94, 68, 134, 134};
  std::set<long> cuts;  // in milliseconds of show time
  RecordingGraphicsDriver driver;
  for (int i = 0; i < 7; ++i) {
    Scene scene(&driver);
    ASSERT_TRUE(scene.loadScene(kScenes[i])) << kScenes[i];
    const Motion* camera = scene.cameras[0]->motions[0].motion;
    for (const Motion* m : {camera, static_cast<const Motion*>(camera->target)}) {
      for (int c = 0; m != nullptr && c < m->channelCount; ++c) {
        const Envelope* e = m->channels[c];
        for (int k = 0; e != nullptr && k < e->keyCount; ++k) {
          if (e->keys[k].shape != 4) continue;
          const double t = offsets[i] + e->keys[k].time;
          EXPECT_NEAR(t * 2, std::round(t * 2), 1e-4) << kScenes[i] << ": a cut at " << t << " s is off the beat";
          cuts.insert(std::lround(t * 1000));
        }
      }
    }
  }
  EXPECT_GE(cuts.size(), 40u);
}

// A dozen frames of the real show at 160 x 120 across the scene windows, against the golden
// frames in tests/tools/show/golden (VELLUMITE_GOLDEN_UPDATE=1 writes them anew). The fires
// draw from one process-wide random sequence, so it starts again before every frame. The
// tolerance is for the software rasteriser on another processor (other vector instructions
// may round shading by a step, and now and then move an edge pixel): a mean difference of at
// most 1 of 255 per channel and at most 0.25 % of the pixels (48) off by more than 24. On one
// machine the frames come out identical. Moving the opening's spot light from above the
// monolith to before it changes 0.5 % of the 30 s frame by more than 24, and the fire's
// camera and flame changes move the mean by 5 to 27: changes of that kind are caught.
TEST_F(ShowContent, GoldenFramesOfTheShow) {
  const double times[] = {2, 11, 22.5, 30, 36.5, 45, 61, 74, 87, 101, 117, 129, 137, 140.5};
  const std::string golden = std::string(VELLUMITE_TEST_SOURCE_DIR) + "/golden";
  const bool update = std::getenv("VELLUMITE_GOLDEN_UPDATE") != nullptr;
  ProgramShowServices services;
  CaptureOptions options;
  options.services = &services;
  options.width = 160;
  options.height = 120;
  options.progress = nullptr;
  for (double t : times) {
    char name[32];
    std::snprintf(name, sizeof name, "show_%05.1f.png", t);
    const std::string path = std::string("/tmp/vellumite_golden_") + std::to_string(getpid()) + "_" + name;
    seedParticleRandom(1);
    ASSERT_EQ(runScreenshot(t, path, options), kRunOk) << t;
    if (update) {
      std::filesystem::copy_file(path, golden + "/" + name, std::filesystem::copy_options::overwrite_existing);
      unlink(path.c_str());
      continue;
    }
    ShowPicture made, expected;
    ASSERT_TRUE(showReadPng(path, made)) << path;
    unlink(path.c_str());
    ASSERT_TRUE(showReadPng(golden + "/" + name, expected)) << name << ": no golden frame";
    ASSERT_EQ(made.pixels.size(), expected.pixels.size()) << name;
    int far = 0;
    for (std::size_t i = 0; i < made.pixels.size(); ++i) {
      for (int shift : {16, 8, 0}) {
        if (std::abs(int((made.pixels[i] >> shift) & 255) - int((expected.pixels[i] >> shift) & 255)) > 24) {
          ++far;
          break;
        }
      }
    }
    EXPECT_LE(meanDifference(made, expected), 1.0) << name;
    EXPECT_LE(far, int(made.pixels.size() / 400)) << name << ": pixels far off";
  }
}

}  // namespace
