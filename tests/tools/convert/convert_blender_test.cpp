// Scenes made in Blender (data/blender, written by blender/blender_scenes.py with
// Blender's own silhouettes of chosen frames) converted and played by the program: its
// frames must cover the same pixels as Blender's, to 95 % (intersection over union).
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "convert_test_files.h"
#include "support/scene_files.h"

namespace {

using namespace convert_test;
namespace fs = std::filesystem;

// A picture's pixels as grey levels; empty when it cannot be read.
std::vector<unsigned char> greyPixels(const std::string& path, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_GRAY;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return pixels;
}

struct BlenderScene {
  const char* name;
  std::vector<int> frames;  // at 24 frames a second
};
void PrintTo(const BlenderScene& scene, std::ostream* out) { *out << scene.name; }

class ConvertBlenderTest : public ::testing::TestWithParam<BlenderScene> {
 protected:
  SceneTempDir dir;
};

TEST_P(ConvertBlenderTest, ProgramFramesCoverBlendersSilhouettes) {
  const BlenderScene& scene = GetParam();
  const std::string data = std::string(VELLUMITE_TEST_DATA) + "/blender/";
  const std::string lws = dir.file(std::string(scene.name) + ".lws");
  const ToolRun run = convert(data + scene.name + ".gltf " + lws + " --ambient 1");
  ASSERT_EQ(run.status, 0) << run.messages;
  for (int frame : scene.frames) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%03d.png", frame);
    const std::string ours = dir.file(std::string(scene.name) + "_program" + suffix);
    const std::string seconds = std::to_string(frame / 24.0);
    const ToolRun shot = runCommand("cd " + dir.path() + " && " + VELLUMITE_PROGRAM + " --scene " + lws +
                                    " --screenshot " + seconds + " " + ours);
    ASSERT_EQ(shot.status, 0) << shot.messages;
    int w = 0, h = 0, bw = 0, bh = 0;
    const std::vector<unsigned char> program = greyPixels(ours, w, h);
    const std::vector<unsigned char> blender = greyPixels(data + scene.name + "_mask" + suffix, bw, bh);
    ASSERT_FALSE(program.empty()) << ours;
    ASSERT_FALSE(blender.empty()) << "mask of frame " << frame;
    ASSERT_EQ(w, bw);
    ASSERT_EQ(h, bh);
    std::size_t both = 0, either = 0;
    for (std::size_t i = 0; i < program.size(); ++i) {
      const bool a = program[i] > 8, b = blender[i] > 128;
      both += a && b;
      either += a || b;
    }
    const double overlap = either ? static_cast<double>(both) / static_cast<double>(either) : 1.0;
    RecordProperty(std::string("overlap_") + std::to_string(frame), std::to_string(overlap));
    std::printf("%s at %s s: silhouettes overlap %.4f\n", scene.name, seconds.c_str(), overlap);
    EXPECT_GE(overlap, 0.95) << scene.name << " frame " << frame;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenes, ConvertBlenderTest,
                         ::testing::Values(BlenderScene{"chain", {0, 24, 48}}, BlenderScene{"flight", {0, 36, 54, 72}},
                                           BlenderScene{"arm", {0, 16, 32, 48}}),
                         [](const ::testing::TestParamInfo<BlenderScene>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
