// The inspector tool run on scenes written by the tests: JSON report, exit codes, PNG output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/scene_files.h"

namespace {

// The tool is built beside the tests: <build>/tools/inspect/vellumite-inspect.
std::string toolPath() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  std::filesystem::path tool = self.parent_path().parent_path().parent_path() / "tools/inspect/vellumite-inspect";
  return std::filesystem::exists(tool, ec) ? tool.string() : "";
}

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun run(const std::string& arguments) {
  ToolRun r;
  std::string command = toolPath() + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) r.out.append(buffer, n);
  int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class InspectToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (toolPath().empty()) GTEST_SKIP() << "vellumite-inspect is not built";
  }
  SceneTempDir dir;
};

TEST_F(InspectToolTest, ReportsItemsLinksAndEvaluatedMotions) {
  Scene3dxWriter w;
  w.object(1, 1);
  Scene3dxWriter::Material m;
  m.textures = {"skin.jpg", "(none)", "(none)", "(none)", "(none)"};
  w.material(m);
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  w.triangles({{0, 1, 2}});
  ASSERT_TRUE(w.save(dir.file("box.3dx")));
  std::filesystem::create_directory(dir.file("sub"));
  std::string text =
      "LWSC\n3\nGridSize 2\nLoadObjectLayer 1 box.lwo\n" +
      sceneKeyedMotionText(
          "ObjectMotion",
          {{{0, 0}, {10, 1}}, {{0, 0}}, {{0, 0}}, {{0, 0}}, {{0, 0}}, {{0, 0}}, {{1, 0}}, {{1, 0}}, {{1, 0}}}) +
      "CameraName Eye\n" + sceneItemMotionText("CameraMotion", 0, 0, -5) + "TargetObject 1\n" + "LightName Sun\n" +
      sceneItemMotionText("LightMotion", 0, 3, 0) +
      "ParentItem 10000000\nLightColor 1 0.5 0\nLightIntensity 0.8\nLightType 1\n" +
      "AmbientColor 1 1 1\nAmbientIntensity 0.25\n";
  dir.writeText("scene.lws", text);
  // Objects come from the scene file's folder, wherever the tool is started.
  std::filesystem::current_path(dir.file("sub"));
  ToolRun r = run("../scene.lws --time 0 --time 0.5");
  ASSERT_EQ(r.status, 0);
  const std::string& j = r.out;
  EXPECT_NE(j.find("\"gridSize\": 2"), std::string::npos);
  EXPECT_NE(j.find("\"sceneFileCount\": 1"), std::string::npos);
  EXPECT_NE(j.find("\"name\": \"Eye\""), std::string::npos);
  EXPECT_NE(j.find("\"target\": \"box.lwo\""), std::string::npos);
  EXPECT_NE(j.find("\"parent\": \"box.lwo\""), std::string::npos);
  EXPECT_NE(j.find("\"type\": \"point\""), std::string::npos);
  EXPECT_NE(j.find("\"color\": [1, 0.5, 0]"), std::string::npos);
  EXPECT_NE(j.find("\"intensity\": 0.800000012"), std::string::npos);
  EXPECT_NE(j.find("\"vertexCount\": 3"), std::string::npos);
  EXPECT_NE(j.find("\"textureName\": \"skin.jpg\""), std::string::npos);
  EXPECT_NE(j.find("\"position\": [5, 0, 0]"), std::string::npos);  // the object at t = 0.5
  EXPECT_NE(j.find("\"deforms\": false"), std::string::npos);
}

// Names are bytes of an 8-bit code page; the report escapes the high ones as Latin-1, so it
// stays valid UTF-8 (plain ASCII) whatever the scene holds.
TEST_F(InspectToolTest, HighBytesInNamesAreEscapedAsLatin1) {
  dir.writeText("latin.lws", "LWSC\n3\nLoadObjectLayer 1 Caf\xe9\xff.lwo\nLightName L\x80mpe\x01\n");
  ToolRun r = run("latin.lws");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Caf\\u00e9\\u00ff"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("L\\u0080mpe\\u0001"), std::string::npos) << r.out;
  for (unsigned char c : r.out) ASSERT_LT(c, 0x80) << "raw byte in the report";
}

TEST_F(InspectToolTest, ExitCodesAndPictures) {
  EXPECT_EQ(run("missing.lws").status, 1);
  dir.writeText("old.lws", "LWSC\n1\n");
  EXPECT_EQ(run("old.lws").status, 1);
  EXPECT_EQ(run("").status, 2);
  EXPECT_EQ(run("a.lws --frobnicate").status, 2);
  EXPECT_EQ(run("a.lws --time soon").status, 2);
  EXPECT_EQ(run("a.lws --time").status, 2);

  // A 2x1 uncompressed 24-bit picture: red, then blue.
  std::string tga(18, '\0');
  tga[2] = 2;
  tga[12] = 2;
  tga[14] = 1;
  tga[16] = 24;
  tga += std::string("\x00\x00\xff\xff\x00\x00", 6);
  dir.writeText("pic.tga", tga);
  EXPECT_EQ(run("pic.tga --png pic.png").status, 0);
  FILE* png = std::fopen(dir.file("pic.png").c_str(), "rb");
  ASSERT_NE(png, nullptr);
  unsigned char magic[8] = {};
  EXPECT_EQ(std::fread(magic, 1, 8, png), 8u);
  std::fclose(png);
  EXPECT_EQ(magic[1], 'P');
  EXPECT_EQ(run("nothing.jpg --png out.png").status, 1);
}

}  // namespace
