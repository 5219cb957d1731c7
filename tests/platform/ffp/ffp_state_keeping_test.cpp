// A pipeline that keeps its GL state between draws (and joins single triangles into one GL draw)
// must draw exactly what a pipeline that sets everything for every draw draws, and put GL back
// as promised when asked.
#include "ffp_test_util.h"

#include <algorithm>
#include <functional>

#include "platform/dx7/ffp/gl_api.h"

namespace {

class FfpStateKeepingTest : public FfpTest {
 protected:
  // Runs `scene` with a pipeline that sets everything for every draw, then with one that keeps
  // its state, each onto the same cleared target; gives both images.
  void drawBothWays(const std::function<void()>& scene, std::vector<std::uint32_t>& immediate,
                    std::vector<std::uint32_t>& kept) {
    gl.clear(0xFF000000);
    scene();
    immediate = gl.readImage();
    pipeline.releaseGlResources();
    state.reset(kSize, kSize, true);
    state.renderStates[D3DRENDERSTATE_LIGHTING] = FALSE;
    state.renderStates[D3DRENDERSTATE_CULLMODE] = D3DCULL_NONE;
    for (FfpTexture& t : textures) t = FfpTexture{};
    gl.clear(0xFF000000);
    pipeline.setKeepGlState(true);
    scene();
    pipeline.restoreGlState();
    kept = gl.readImage();
    pipeline.setKeepGlState(false);
  }

  // Pixels that differ between two images (all of them when the sizes differ).
  static std::size_t differingPixels(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < a.size(); ++i) differing += a[i] != b[i];
    return differing;
  }

  // One triangle as a fan of three vertices (what the engine draws its triangles with).
  bool fan(const ColourVertex& a, const ColourVertex& b, const ColourVertex& c) {
    const std::vector<ColourVertex> v{a, b, c};
    return draw(v, kColourFvf, D3DPT_TRIANGLEFAN);
  }
};

TEST_F(FfpStateKeepingTest, KeptStateDrawsWhatSettingEverythingDraws) {
  const unsigned int red = texture(2, 2, {0xFFFF0000u, 0xFF800000u, 0xFF400000u, 0xFFFF8080u}, true);
  const unsigned int green = texture(1, 1, {0x8000FF00u});
  auto scene = [&]() {
    // Opaque background from a list of two triangles.
    EXPECT_TRUE(draw(colourQuad(0xFF204060u, 0.9f), kColourFvf));
    // Blended single triangles with nothing changing between them: they join, and their order
    // shows in the blend.
    state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = TRUE;
    state.renderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_INVSRCALPHA;
    state.renderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_SRCALPHA;
    for (int i = 0; i < 6; ++i) {
      const float x = -0.9f + 0.25f * static_cast<float>(i);
      const DWORD colour = 0x40000000u * static_cast<DWORD>(i % 3 + 1) + 0x3311u * static_cast<DWORD>(i + 1);
      EXPECT_TRUE(fan({x, -0.8f, 0.5f, colour}, {x + 0.9f, 0.7f, 0.5f, colour}, {x + 0.6f, -0.6f, 0.5f, 0xFF0000FFu}));
    }
    // A world matrix that moves every triangle (a uniform change between them).
    for (int i = 0; i < 4; ++i) {
      state.transforms[D3DTRANSFORMSTATE_WORLD]._41 = 0.1f * static_cast<float>(i);
      state.transforms[D3DTRANSFORMSTATE_WORLD]._42 = -0.05f * static_cast<float>(i);
      EXPECT_TRUE(
          fan({-0.5f, -0.5f, 0.4f, 0x80FF0000u}, {0.0f, 0.5f, 0.4f, 0x8000FF00u}, {0.5f, -0.5f, 0.4f, 0x800000FFu}));
    }
    state.transforms[D3DTRANSFORMSTATE_WORLD]._41 = state.transforms[D3DTRANSFORMSTATE_WORLD]._42 = 0.0f;
    // Flat shading takes the colour of the fan's provoking vertex, joined or not.
    state.renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_FLAT;
    state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = FALSE;
    EXPECT_TRUE(
        fan({-1.0f, 0.2f, 0.3f, 0xFFFF0000u}, {-0.4f, 1.0f, 0.3f, 0xFF00FF00u}, {-0.2f, 0.2f, 0.3f, 0xFF0000FFu}));
    EXPECT_TRUE(fan({0.2f, 0.2f, 0.3f, 0xFFFFFF00u}, {0.5f, 1.0f, 0.3f, 0xFF00FFFFu}, {1.0f, 0.2f, 0.3f, 0xFFFF00FFu}));
    state.renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    // Depth: later triangles behind earlier ones fail, then depth writes off.
    state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESS;
    EXPECT_TRUE(
        fan({-1.0f, -1.0f, 0.35f, 0xFFFFFFFFu}, {-1.0f, 1.0f, 0.35f, 0xFFFFFFFFu}, {1.0f, -1.0f, 0.35f, 0xFFFFFFFFu}));
    state.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = FALSE;
    EXPECT_TRUE(
        fan({-1.0f, -1.0f, 0.1f, 0xFF102030u}, {1.0f, 1.0f, 0.1f, 0xFF102030u}, {1.0f, -1.0f, 0.1f, 0xFF102030u}));
    state.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    // Textures switching between triangles, and a sampler change.
    state.textureStageStates[0][D3DTSS_COLOROP] = D3DTOP_MODULATE;
    state.textureStageStates[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    state.textureStageStates[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
    for (int i = 0; i < 4; ++i) {
      textures[0] = FfpTexture{i % 2 ? green : red, true};
      state.textureStageStates[0][D3DTSS_ADDRESSU] = i < 2 ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
      const float x = -0.8f + 0.4f * static_cast<float>(i);
      const std::vector<TexturedVertex> tri{{x, -0.2f, 0.05f, 0xFFFFFFFFu, -0.5f, 0.0f, 0, 0},
                                            {x + 0.3f, 0.4f, 0.05f, 0xFFC0C0C0u, 1.5f, 1.0f, 0, 0},
                                            {x + 0.35f, -0.3f, 0.05f, 0xFF808080u, 1.0f, 0.0f, 0, 0}};
      EXPECT_TRUE(draw(tri, kTexturedFvf, D3DPT_TRIANGLEFAN));
    }
    textures[0] = FfpTexture{};
    state.textureStageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG2;
    // An indexed draw between joined triangles keeps its place.
    EXPECT_TRUE(
        fan({-1.0f, -1.0f, 0.0f, 0xFF00FF00u}, {-0.6f, -0.4f, 0.0f, 0xFF00FF00u}, {-0.2f, -1.0f, 0.0f, 0xFF00FF00u}));
    const std::vector<ColourVertex> square{{-0.9f, -0.9f, 0.0f, 0xFFFF00FFu},
                                           {-0.9f, -0.5f, 0.0f, 0xFFFF00FFu},
                                           {-0.5f, -0.5f, 0.0f, 0xFFFF00FFu},
                                           {-0.5f, -0.9f, 0.0f, 0xFFFF00FFu}};
    const WORD indices[6] = {0, 1, 2, 0, 2, 3};
    EXPECT_TRUE(
        pipeline.draw(state, textures, D3DPT_TRIANGLELIST, kColourFvf, square.data(), 4, indices, 6, nullptr, 0));
    EXPECT_TRUE(
        fan({-0.8f, -1.0f, 0.0f, 0xFF0000FFu}, {-0.7f, -0.6f, 0.0f, 0xFF0000FFu}, {-0.6f, -1.0f, 0.0f, 0xFF0000FFu}));
    // Lit geometry whose material changes between triangles.
    state.renderStates[D3DRENDERSTATE_LIGHTING] = TRUE;
    state.renderStates[D3DRENDERSTATE_AMBIENT] = 0xFF404040u;
    for (int i = 0; i < 3; ++i) {
      state.material.ambient = {0.3f * static_cast<float>(i + 1), 0.5f, 0.2f, 1.0f};
      const float x = 0.1f + 0.3f * static_cast<float>(i);
      EXPECT_TRUE(
          fan({x, -1.0f, 0.0f, 0xFFFFFFFFu}, {x, -0.6f, 0.0f, 0xFFFFFFFFu}, {x + 0.25f, -1.0f, 0.0f, 0xFFFFFFFFu}));
    }
  };
  std::vector<std::uint32_t> immediate, kept;
  drawBothWays(scene, immediate, kept);
  EXPECT_EQ(differingPixels(immediate, kept), 0u);
  // The scene drew something in every part tested (not two blank images).
  EXPECT_NE(immediate[static_cast<std::size_t>(kSize / 2) * kSize + kSize / 2], 0xFF000000u);
}

TEST_F(FfpStateKeepingTest, TrianglesRepeatedUnderAdditiveBlendingAddTwice) {
  // Two triangles of a square, then the same two again, each square under its own world matrix,
  // as the fire's billboards come: drawn once with the colour doubled where that is exact, they
  // must leave the very bytes two draws leave, whatever the rounding of each fragment and
  // wherever the sums saturate.
  std::vector<std::uint32_t> texels(8 * 8);
  for (int i = 0; i < 64; ++i)
    texels[static_cast<std::size_t>(i)] = 0xFF000000u | (static_cast<std::uint32_t>(i * 97 % 256) << 16) |
                                          (static_cast<std::uint32_t>(i * 53 % 256) << 8) |
                                          static_cast<std::uint32_t>(i * 29 % 256);
  const unsigned int noise = texture(8, 8, texels);
  auto billboardTwice = [&](float x0, float y0, float x1, float y1, float z) {
    const float h = 0.5f * (x1 - x0), v = 0.5f * (y1 - y0);
    state.transforms[D3DTRANSFORMSTATE_WORLD]._41 = x0 + h;
    state.transforms[D3DTRANSFORMSTATE_WORLD]._42 = y0 + v;
    const TexturedVertex a{-h, -v, z, 0xFF3A7FC1u, 0, 0, 0, 0}, b{h, -v, z, 0x80F01D66u, 1, 0, 0, 0},
        c{h, v, z, 0xFF12C3E7u, 1, 1, 0, 0}, d{-h, v, z, 0x40FFFFFFu, 0, 1, 0, 0};
    for (int copy = 0; copy < 2; ++copy) {
      EXPECT_TRUE(draw(std::vector<TexturedVertex>{a, b, c}, kTexturedFvf, D3DPT_TRIANGLEFAN));
      EXPECT_TRUE(draw(std::vector<TexturedVertex>{c, d, a}, kTexturedFvf, D3DPT_TRIANGLEFAN));
    }
  };
  auto scene = [&]() {
    // A background of every level, from black to white.
    const std::vector<ColourVertex> ground{{-1, -1, 0.9f, 0xFF000000u}, {-1, 1, 0.9f, 0xFF0080FFu},
                                           {1, 1, 0.9f, 0xFFFFFFFFu},   {-1, -1, 0.9f, 0xFF000000u},
                                           {1, 1, 0.9f, 0xFFFFFFFFu},   {1, -1, 0.9f, 0xFFFF8000u}};
    EXPECT_TRUE(draw(ground, kColourFvf));
    textures[0] = FfpTexture{noise, false};
    state.textureStageStates[0][D3DTSS_COLOROP] = D3DTOP_MODULATE;
    state.textureStageStates[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    state.textureStageStates[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
    state.textureStageStates[0][D3DTSS_MAGFILTER] = D3DTFG_LINEAR;
    state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = TRUE;
    state.renderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    state.renderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ONE;
    state.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = FALSE;
    billboardTwice(-0.9f, -0.9f, 0.5f, 0.6f, 0.5f);
    billboardTwice(-0.2f, -0.5f, 0.95f, 0.95f, 0.4f);
    // With depth writes on, the second copy fails a less-than test: it adds nothing.
    state.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESS;
    billboardTwice(-0.6f, 0.1f, 0.2f, 0.9f, 0.3f);
  };
  std::vector<std::uint32_t> immediate, kept;
  drawBothWays(scene, immediate, kept);
  EXPECT_EQ(differingPixels(immediate, kept), 0u);
}

TEST_F(FfpStateKeepingTest, RestoreDrawsWhatWaitsAndPutsGlBack) {
  const unsigned int tex = texture(1, 1, {0xFFFFFFFFu});
  pipeline.setKeepGlState(true);
  textures[1] = FfpTexture{tex, false};
  state.textureStageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.textureStageStates[0][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;
  state.textureStageStates[1][D3DTSS_COLOROP] = D3DTOP_MODULATE;
  state.textureStageStates[1][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  state.textureStageStates[1][D3DTSS_COLORARG2] = D3DTA_CURRENT;
  state.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = FALSE;
  state.renderStates[D3DRENDERSTATE_CLIPPLANEENABLE] = 1;
  state.clipPlanes[0][3] = 1.0f;  // keeps everything
  const std::vector<ColourVertex> tri{
      {-1, -1, 0.5f, 0xFF00FF00u}, {-1, 3, 0.5f, 0xFF00FF00u}, {3, -1, 0.5f, 0xFF00FF00u}};
  ASSERT_TRUE(draw(tri, kColourFvf, D3DPT_TRIANGLELIST));
  state.renderStates[D3DRENDERSTATE_FILLMODE] = D3DFILL_WIREFRAME;
  ASSERT_TRUE(draw(tri, kColourFvf, D3DPT_TRIANGLELIST));
  pipeline.restoreGlState();

  EXPECT_EQ(centre(), 0xFF00FF00u);
  GLint value = -1;
  glGetIntegerv(GL_DEPTH_WRITEMASK, &value);
  EXPECT_EQ(value, GL_TRUE);
  if (!gl.es()) {  // ES has no polygon modes to leave set
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
  }
  glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
  EXPECT_EQ(value, GL_TEXTURE0);
  for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1}) {
    glActiveTexture(unit);
    glGetIntegerv(GL_SAMPLER_BINDING, &value);
    EXPECT_EQ(value, 0) << "unit " << unit - GL_TEXTURE0;
  }
  glActiveTexture(GL_TEXTURE0);
  EXPECT_FALSE(glIsEnabled(GL_CLIP_DISTANCE0));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_CLAMP));
  pipeline.setKeepGlState(false);
}

TEST_F(FfpStateKeepingTest, WhatOthersSetBetweenDrawsIsSetRightAgain) {
  // Blended grey over the background, twice; between the two, other GL work changes the state
  // the pipeline had set, after restoreGlState() as the rule asks.
  state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = TRUE;
  state.renderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_SRCALPHA;
  state.renderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  const unsigned int tex = texture(1, 1, {0xFF80FF80u});
  textures[0] = FfpTexture{tex, false};
  state.textureStageStates[0][D3DTSS_COLOROP] = D3DTOP_MODULATE;
  state.textureStageStates[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  state.textureStageStates[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
  state.textureStageStates[0][D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  state.textureStageStates[0][D3DTSS_ALPHAARG1] = D3DTA_DIFFUSE;
  const std::vector<TexturedVertex> quad = texturedQuad(0x80FFFFFFu, 0.5f, 0.5f);
  auto scene = [&](bool interfere) {
    gl.clear(0xFF0000FFu);
    EXPECT_TRUE(draw(quad, kTexturedFvf));
    pipeline.restoreGlState();
    if (interfere) {
      const unsigned int other = gl.createTexture(1, 1, std::vector<std::uint32_t>{0xFFFF0000u}.data());
      glBindTexture(GL_TEXTURE_2D, other);
      glDisable(GL_BLEND);
      glBlendFunc(GL_ONE, GL_ZERO);
      glDepthFunc(GL_NEVER);
      glViewport(0, 0, 1, 1);
      glUseProgram(0);
      gl.bindTarget();
      glViewport(0, 0, 1, 1);
      glDeleteTextures(1, &other);
    }
    EXPECT_TRUE(draw(quad, kTexturedFvf));
    pipeline.restoreGlState();
    return gl.readImage();
  };
  pipeline.setKeepGlState(true);
  const std::vector<std::uint32_t> quiet = scene(false);
  const std::vector<std::uint32_t> disturbed = scene(true);
  pipeline.setKeepGlState(false);
  EXPECT_EQ(quiet, disturbed);
  // Two blends of (128, 255, 128) at alpha 1/2 over blue.
  EXPECT_ARGB_NEAR(quiet[static_cast<std::size_t>(kSize) * (kSize / 2) + kSize / 2] & 0xFFFFFFu, 0x60C0A0u, 3);
}

}  // namespace
