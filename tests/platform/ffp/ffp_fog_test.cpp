// Fog: vertex fog (linear) and table fog (linear, exp, exp2) on eye depth, fog colour, alpha kept.
#include "ffp_test_util.h"

namespace {

class FfpFogTest : public FfpTest {
 public:
  void SetUp() override {
    FfpTest::SetUp();
    if (IsSkipped()) return;
    state.transforms[D3DTRANSFORMSTATE_PROJECTION] = perspective(0.5f, 1000.0f);
    state.renderStates[D3DRENDERSTATE_FOGENABLE] = TRUE;
    state.renderStates[D3DRENDERSTATE_FOGCOLOR] = 0x000000FFu;
    state.setRenderStateFloat(D3DRENDERSTATE_FOGSTART, 0.0f);
    state.setRenderStateFloat(D3DRENDERSTATE_FOGEND, 10.0f);
    state.setRenderStateFloat(D3DRENDERSTATE_FOGDENSITY, 0.1f);
  }
  // A red quad filling the screen at eye depth 5.
  std::uint32_t drawAtDepth5(DWORD colour = 0xFFFF0000u) {
    auto v = quad<ColourVertex>(-5, -5, 5, 5, [colour](float x, float y) { return ColourVertex{x, y, 5.0f, colour}; });
    gl.clear(0xFF000000);
    EXPECT_TRUE(draw(v, kColourFvf));
    return centre();
  }
  // Red fogged towards blue by factor f (1 = no fog).
  static std::uint32_t fogged(double f, int alpha = 255) {
    return argb(alpha, clampByte(255 * f), 0, clampByte(255 * (1 - f)));
  }
};

TEST_F(FfpFogTest, VertexFogLinear) {
  state.renderStates[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_LINEAR;
  EXPECT_ARGB_NEAR(drawAtDepth5(), fogged(0.5), 2);
  // Alpha is left alone.
  EXPECT_ARGB_NEAR(drawAtDepth5(0x80FF0000u), fogged(0.5, 0x80), 2);
  // Start equal to end fogs everything.
  state.setRenderStateFloat(D3DRENDERSTATE_FOGSTART, 10.0f);
  EXPECT_ARGB_NEAR(drawAtDepth5(), fogged(0.0), 1);
  // Fog disabled.
  state.renderStates[D3DRENDERSTATE_FOGENABLE] = FALSE;
  EXPECT_ARGB_NEAR(drawAtDepth5(), fogged(1.0), 1);
}

TEST_F(FfpFogTest, VertexFogFactorIsSaturatedAtEachVertex) {
  // Without perspective, eye depth 0 on the left edge (no fog) and 1 on the right, twice the fog end:
  // each vertex's factor is clamped to 0..1 before it is interpolated, so mid-screen is half fogged.
  state.transforms[D3DTRANSFORMSTATE_PROJECTION] = state.transforms[D3DTRANSFORMSTATE_WORLD];
  state.renderStates[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_LINEAR;
  state.setRenderStateFloat(D3DRENDERSTATE_FOGEND, 0.5f);
  auto v = quad<ColourVertex>(-1, -1, 1, 1, [](float x, float y) {
    return ColourVertex{x, y, x < 0 ? 0.0f : 1.0f, 0xFFFF0000u};
  });
  gl.clear(0xFF000000);
  ASSERT_TRUE(draw(v, kColourFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(0, 32), fogged(1.0), 5);
  EXPECT_ARGB_NEAR(gl.readPixel(32, 32), fogged(0.5), 3);
  EXPECT_ARGB_NEAR(gl.readPixel(63, 32), fogged(0.0), 5);
}

TEST_F(FfpFogTest, TableFogModesUseEyeDepth) {
  struct Case {
    DWORD mode;
    double f;
  };
  for (const Case& c :
       {Case{D3DFOG_LINEAR, 0.5}, Case{D3DFOG_EXP, std::exp(-0.5)}, Case{D3DFOG_EXP2, std::exp(-0.25)}}) {
    state.renderStates[D3DRENDERSTATE_FOGTABLEMODE] = c.mode;
    EXPECT_ARGB_NEAR(drawAtDepth5(), fogged(c.f), 2) << "mode " << c.mode;
  }
  // Table fog wins over vertex fog.
  state.renderStates[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_LINEAR;
  state.renderStates[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_EXP;
  EXPECT_ARGB_NEAR(drawAtDepth5(), fogged(std::exp(-0.5)), 2);
}

TEST_F(FfpFogTest, TableFogIsPerPixel) {
  // A floor receding from eye depth 1 to 19: linear table fog follows depth across the rows,
  // where vertex fog would interpolate the two ends.
  state.renderStates[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_LINEAR;
  state.setRenderStateFloat(D3DRENDERSTATE_FOGEND, 20.0f);
  const std::vector<ColourVertex> floor = {{-20, -1, 19, 0xFFFF0000u}, {20, -1, 19, 0xFFFF0000u},
                                           {20, -1, 1, 0xFFFF0000u},   {-20, -1, 19, 0xFFFF0000u},
                                           {20, -1, 1, 0xFFFF0000u},   {-20, -1, 1, 0xFFFF0000u}};
  ASSERT_TRUE(draw(floor, kColourFvf));
  // Row r (pixel centre at r) sees clip y = 1 - 2r/64 = -1/z, so z = 32 / (r - 32).
  for (int row : {36, 40, 48, 62}) {
    const double z = 32.0 / (row - 32.0);
    EXPECT_ARGB_NEAR(gl.readPixel(32, row), fogged((20.0 - z) / 20.0), 3) << "row " << row;
  }
}

TEST_F(FfpFogTest, TableFogWithoutPerspectiveUsesZ) {
  state.transforms[D3DTRANSFORMSTATE_PROJECTION] = DeviceState::identity();
  state.renderStates[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_LINEAR;
  state.setRenderStateFloat(D3DRENDERSTATE_FOGEND, 1.0f);
  ASSERT_TRUE(draw(colourQuad(0xFFFF0000u, 0.25f), kColourFvf));
  EXPECT_ARGB_NEAR(centre(), fogged(0.75), 2);
}

}  // namespace

namespace {

std::vector<ScreenVertex> screenQuad(float z, float rhw, DWORD colour) {
  auto make = [&](float x, float y) { return ScreenVertex{x, y, z, rhw, colour}; };
  return {make(0, 64), make(64, 64), make(64, 0), make(0, 64), make(64, 0), make(0, 0)};
}

TEST_F(FfpFogTest, PretransformedTableFogUsesZUnlessTheProjectionIsPerspective) {
  state.renderStates[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_LINEAR;
  state.renderStates[D3DRENDERSTATE_ZENABLE] = D3DZB_FALSE;
  // z 0.25 and w (1 / rhw) 2.
  state.transforms[D3DTRANSFORMSTATE_PROJECTION] = DeviceState::identity();
  state.setRenderStateFloat(D3DRENDERSTATE_FOGEND, 1.0f);
  ASSERT_TRUE(draw(screenQuad(0.25f, 0.5f, 0xFFFF0000u), kScreenFvf));
  EXPECT_ARGB_NEAR(centre(), fogged(0.75), 2);

  state.transforms[D3DTRANSFORMSTATE_PROJECTION] = perspective(0.5f, 1000.0f);
  state.setRenderStateFloat(D3DRENDERSTATE_FOGEND, 4.0f);
  gl.clear(0xFF000000);
  ASSERT_TRUE(draw(screenQuad(0.25f, 0.5f, 0xFFFF0000u), kScreenFvf));
  EXPECT_ARGB_NEAR(centre(), fogged(0.5), 2);
}

TEST_F(FfpFogTest, VertexFogUsesTheDistanceBehindTheEyeToo) {
  // Eye z -5, mapped into the depth range by a projection that flips z: fog as for depth 5.
  D3DMATRIX proj = DeviceState::identity();
  proj._33 = -0.1f;
  state.transforms[D3DTRANSFORMSTATE_PROJECTION] = proj;
  state.renderStates[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_LINEAR;
  ASSERT_TRUE(draw(colourQuad(0xFFFF0000u, -5.0f), kColourFvf));
  EXPECT_ARGB_NEAR(centre(), fogged(0.5), 2);
}

TEST_F(FfpFogTest, TableFogWithEqualStartAndEndLeavesNearerDepthsClear) {
  state.renderStates[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_LINEAR;
  state.setRenderStateFloat(D3DRENDERSTATE_FOGSTART, 10.0f);
  state.setRenderStateFloat(D3DRENDERSTATE_FOGEND, 10.0f);
  EXPECT_ARGB_NEAR(drawAtDepth5(), fogged(1.0), 1);
  // Beyond the start: fully fogged.
  state.setRenderStateFloat(D3DRENDERSTATE_FOGSTART, 2.0f);
  state.setRenderStateFloat(D3DRENDERSTATE_FOGEND, 2.0f);
  EXPECT_ARGB_NEAR(drawAtDepth5(), fogged(0.0), 1);
}

}  // namespace
