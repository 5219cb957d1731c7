// Programs that fail to build: GL's reason reaches the debug output, once per shader key, and
// the key stays failed without being built again.
#include <cstdio>
#include <string>
#include <vector>

#include "ffp_test_util.h"
#include "platform/dx7/ffp/ffp_programs.h"
#include "platform/dx7/ffp/ffp_shader_gen.h"
#include "platform/win32/win32_host.h"

namespace {

std::string undeclaredVertex(const FfpShaderKey&) {
  return "#version 330 core\nvoid main() { gl_Position = undeclaredName; }\n";
}
std::string whiteFragment(const FfpShaderKey&) {
  return "#version 330 core\nout vec4 colour;\nvoid main() { colour = vec4(1.0); }\n";
}
std::string withoutMain(const FfpShaderKey&) {
  return "#version 330 core\nout vec4 colour;\nvoid helper() { colour = vec4(1.0); }\n";
}

class FfpProgramsTest : public FfpTest {
 protected:
  void SetUp() override {
    FfpTest::SetUp();
    win32SetDebugSink(
        [](const char* text, void* lines) { static_cast<std::vector<std::string>*>(lines)->push_back(text); }, &debug);
  }
  void TearDown() override {
    win32SetDebugSink(nullptr, nullptr);
    FfpTest::TearDown();
  }
  static std::string hashOf(const FfpShaderKey& key) {
    char text[32];
    std::snprintf(text, sizeof text, "%016zx", key.hash());
    return text;
  }

  std::vector<std::string> debug;
  GlState glState;
};

TEST_F(FfpProgramsTest, CompileFailuresAreReportedOncePerKeyWithTheLog) {
  FfpProgramCache cache(FfpShaderSources{undeclaredVertex, whiteFragment});
  FfpShaderKey a, b;
  b.lighting = 1;
  std::string error;
  EXPECT_TRUE(cache.get(a, error, glState).failed);
  EXPECT_NE(error.find("vertex shader: "), std::string::npos);
  EXPECT_NE(error.find("undeclaredName"), std::string::npos) << error;  // GL's log, not only our prefix
  error.clear();
  EXPECT_TRUE(cache.get(a, error, glState).failed);
  EXPECT_TRUE(error.empty());  // not built again
  EXPECT_TRUE(cache.get(b, error, glState).failed);
  EXPECT_EQ(cache.compiled(), 2);
  ASSERT_EQ(debug.size(), 2u);
  EXPECT_NE(debug[0].find(hashOf(a)), std::string::npos) << debug[0];
  EXPECT_NE(debug[0].find("undeclaredName"), std::string::npos) << debug[0];
  EXPECT_NE(debug[1].find(hashOf(b)), std::string::npos) << debug[1];
  EXPECT_EQ(debug[1].back(), '\n');
  cache.release(glState);
}

TEST_F(FfpProgramsTest, LinkFailuresAreReportedAndGoodProgramsAreNot) {
  FfpProgramCache broken(FfpShaderSources{ffpVertexShaderSource, withoutMain});
  std::string error;
  EXPECT_TRUE(broken.get(FfpShaderKey(), error, glState).failed);
  EXPECT_EQ(error.rfind("link: ", 0), 0u) << error;
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_NE(debug[0].find(error), std::string::npos) << debug[0];

  FfpProgramCache generated;
  error.clear();
  const FfpProgram& program =
      generated.get(ffpBuildShaderKey(state, textures, D3DFVF_XYZ | D3DFVF_DIFFUSE, true), error, glState);
  EXPECT_FALSE(program.failed) << error;
  EXPECT_NE(program.program, 0u);
  EXPECT_EQ(debug.size(), 1u);
  broken.release(glState);
  generated.release(glState);
}

}  // namespace
