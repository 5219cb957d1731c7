// The show as the build makes it: every scene file loads whole in the engine (every object
// and picture it names is there and readable), nothing is reported missing when the show
// starts, every scene stays within its triangle budget, and a frame of every scene window
// is lit, and different from the frames of the other windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gfx/material.h"
#include "image/decoded_picture.h"
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

const char* const kScenes[] = {"grand.lws", "text.lws", "design.lws", "dass.lws", "dance2.lws", "Slut.lws", "skitdemo.lws"};

class ShowContent : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(chdir(VELLUMITE_SHOW_DIR), 0) << "build the show first: " << VELLUMITE_SHOW_DIR;
  }
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
  for (const char* picture : {"laddar.jpg", "slut.jpg", "light.jpg", "lensflare.jpg", "lensflarea.jpg", "fire0.jpg", "fire5.jpg"}) {
    EXPECT_TRUE(DecodedPicture(picture)) << picture;
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
    for (int shift : {16, 8, 0})
      sum += std::abs(int((a.pixels[i] >> shift) & 255) - int((b.pixels[i] >> shift) & 255));
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

}  // namespace
