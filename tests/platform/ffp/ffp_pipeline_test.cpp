// Pipeline behaviour beyond pixels of one state: program cache, vertex upload cache, indexed and
// other primitive types, and refused draws.
#include "ffp_test_util.h"

#include "platform/dx7/ffp/ffp_shader_key.h"
#include "platform/dx7/ffp/ffp_vertex_layout.h"

namespace {

using FfpPipelineTest = FfpTest;

TEST_F(FfpPipelineTest, NoProgramsCompiledAfterWarmUp) {
  const unsigned int tex = texture(1, 1, {0xFF808080u});
  D3DLIGHT7 light = DeviceState::defaultLight();
  auto frame = [&](int n) {
    const float t = static_cast<float>(n);
    // Unlit, flat, blended.
    state.renderStates[D3DRENDERSTATE_LIGHTING] = FALSE;
    state.renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_FLAT;
    state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = TRUE;
    EXPECT_TRUE(draw(colourQuad(0x80000000u + static_cast<DWORD>(n)), kColourFvf));
    // Lit with two lights whose values change every frame.
    state.renderStates[D3DRENDERSTATE_LIGHTING] = TRUE;
    state.renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = FALSE;
    light.dvDirection.x = 0.1f * t;
    state.lights[0] = light;
    state.lights[5] = light;
    state.lightEnabled[0] = state.lightEnabled[5] = true;
    state.material.diffuse.r = 0.01f * t;
    state.transforms[D3DTRANSFORMSTATE_WORLD]._41 = 0.01f * t;
    EXPECT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
    // Textured with fog.
    textures[0] = FfpTexture{tex, false};
    state.renderStates[D3DRENDERSTATE_FOGENABLE] = TRUE;
    state.renderStates[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_EXP;
    state.setRenderStateFloat(D3DRENDERSTATE_FOGDENSITY, 0.1f * t);
    state.renderStates[D3DRENDERSTATE_FOGCOLOR] = static_cast<DWORD>(n);
    EXPECT_TRUE(draw(texturedQuad(0xFFFFFFFFu, 0.1f * t, 0.5f), kTexturedFvf));
    state.renderStates[D3DRENDERSTATE_FOGENABLE] = FALSE;
    textures[0] = FfpTexture{};
  };
  frame(0);
  const int warm = pipeline.programsCompiled();
  EXPECT_EQ(warm, 3);
  for (int n = 1; n < 10; ++n) frame(n);
  EXPECT_EQ(pipeline.programsCompiled(), warm);
}

TEST_F(FfpPipelineTest, ShaderKeyIgnoresValuesAndUnusedArguments) {
  const FfpTexture none[kDeviceTextureStages] = {};
  DeviceState a, b;
  b.material.diffuse.r = 0.5f;
  b.renderStates[D3DRENDERSTATE_AMBIENT] = 0x123456u;
  b.transforms[D3DTRANSFORMSTATE_WORLD]._11 = 3.0f;
  b.textureStageStates[0][D3DTSS_ALPHAARG2] = D3DTA_TFACTOR;  // SELECTARG1 does not read it
  b.textureStageStates[3][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;  // after the first disabled stage
  EXPECT_TRUE(ffpBuildShaderKey(a, none, kColourFvf, true) == ffpBuildShaderKey(b, none, kColourFvf, true));
  b.renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_FLAT;
  EXPECT_FALSE(ffpBuildShaderKey(a, none, kColourFvf, true) == ffpBuildShaderKey(b, none, kColourFvf, true));
}

TEST_F(FfpPipelineTest, VertexUploadsFollowSourceVersion) {
  std::vector<ColourVertex> v = colourQuad(0xFFFF0000u);
  const int id = 0;
  auto drawSource = [&](std::uint64_t version) {
    EXPECT_TRUE(pipeline.draw(state, textures, D3DPT_TRIANGLELIST, kColourFvf, v.data(), 6, nullptr, 0, &id, version));
    return centre();
  };
  EXPECT_EQ(drawSource(1), 0xFFFF0000u);
  for (ColourVertex& x : v) x.colour = 0xFF00FF00u;
  EXPECT_EQ(drawSource(1), 0xFFFF0000u);  // same version: the GL copy stands
  EXPECT_EQ(drawSource(2), 0xFF00FF00u);
  for (ColourVertex& x : v) x.colour = 0xFF0000FFu;
  pipeline.releaseSource(&id);
  EXPECT_EQ(drawSource(2), 0xFF0000FFu);  // a released source uploads again
  // Without a source every draw uploads.
  for (ColourVertex& x : v) x.colour = 0xFFFFFFFFu;
  ASSERT_TRUE(draw(v, kColourFvf));
  EXPECT_EQ(centre(), 0xFFFFFFFFu);
}

TEST_F(FfpPipelineTest, IndexedStripFanAndPointDraws) {
  const std::vector<ColourVertex> corners = {
      {-1, 1, 0.5f, 0xFF00FF00u}, {1, 1, 0.5f, 0xFF00FF00u}, {1, -1, 0.5f, 0xFF00FF00u}, {-1, -1, 0.5f, 0xFF00FF00u}};
  const WORD indices[] = {0, 1, 2, 0, 2, 3};
  ASSERT_TRUE(
      pipeline.draw(state, textures, D3DPT_TRIANGLELIST, kColourFvf, corners.data(), 4, indices, 6, nullptr, 0));
  EXPECT_EQ(gl.readPixel(2, 60), 0xFF00FF00u);
  EXPECT_EQ(gl.readPixel(60, 2), 0xFF00FF00u);

  gl.clear(0xFF000000);
  ASSERT_TRUE(draw(corners, kColourFvf, D3DPT_TRIANGLEFAN));
  EXPECT_EQ(gl.readPixel(2, 60), 0xFF00FF00u);
  EXPECT_EQ(gl.readPixel(60, 2), 0xFF00FF00u);

  gl.clear(0xFF000000);
  const std::vector<ColourVertex> strip = {corners[0], corners[1], corners[3], corners[2]};
  ASSERT_TRUE(draw(strip, kColourFvf, D3DPT_TRIANGLESTRIP));
  EXPECT_EQ(gl.readPixel(2, 60), 0xFF00FF00u);
  EXPECT_EQ(gl.readPixel(60, 2), 0xFF00FF00u);

  // A point at screen position (10, 20) lights exactly that pixel.
  gl.clear(0xFF000000);
  const std::vector<ScreenVertex> point = {{10.0f, 20.0f, 0.5f, 1.0f, 0xFFFFFFFFu}};
  ASSERT_TRUE(draw(point, kScreenFvf, D3DPT_POINTLIST));
  EXPECT_EQ(gl.readPixel(10, 20), 0xFFFFFFFFu);
  EXPECT_EQ(gl.readPixel(11, 20) | gl.readPixel(9, 20) | gl.readPixel(10, 19) | gl.readPixel(10, 21), 0xFF000000u);
}

TEST_F(FfpPipelineTest, RefusesDrawsItCannotMakeSafely) {
  const std::vector<ColourVertex> v = colourQuad(0xFFFFFFFFu);
  const WORD outside[] = {0, 1, 6};
  EXPECT_FALSE(pipeline.draw(state, textures, D3DPT_TRIANGLELIST, kColourFvf, v.data(), 6, outside, 3, nullptr, 0));
  EXPECT_FALSE(pipeline.draw(state, textures, static_cast<D3DPRIMITIVETYPE>(9), kColourFvf, v.data(), 6, nullptr, 0,
                             nullptr, 0));
  EXPECT_FALSE(
      pipeline.draw(state, textures, D3DPT_TRIANGLELIST, 0x1 | D3DFVF_DIFFUSE, v.data(), 6, nullptr, 0, nullptr, 0));
  EXPECT_FALSE(pipeline.draw(state, textures, D3DPT_TRIANGLELIST, kColourFvf, v.data(), 0, nullptr, 0, nullptr, 0));
  EXPECT_EQ(centre(), 0xFF000000u);
}

TEST(FfpVertexFormat, StridesOfTheEngineFormats) {
  EXPECT_EQ(FixedFunctionPipeline::vertexStride(D3DFVF_XYZ), 12u);
  EXPECT_EQ(FixedFunctionPipeline::vertexStride(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1), 24u);
  EXPECT_EQ(FixedFunctionPipeline::vertexStride(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX8), 88u);
  EXPECT_EQ(FixedFunctionPipeline::vertexStride(D3DFVF_LVERTEX), 32u);
  EXPECT_EQ(FixedFunctionPipeline::vertexStride(D3DFVF_TLVERTEX), 32u);
  EXPECT_EQ(FixedFunctionPipeline::vertexStride(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0)), 24u);
  EXPECT_EQ(FixedFunctionPipeline::vertexStride(0), 0u);
}

// Every part of a vertex where the format puts it: blend weights and the reserved word take
// room without an attribute, and each coordinate set starts where the previous one ends.
TEST(FfpVertexFormat, LayoutOffsetsFollowTheFormatsOrder) {
  const FfpVertexLayout l(D3DFVF_XYZB3 | D3DFVF_NORMAL | D3DFVF_RESERVED1 | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                          D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE4(2));
  EXPECT_FALSE(l.pretransformed);
  EXPECT_EQ(l.positionSize, 3);
  EXPECT_EQ(l.normalOffset, 24);
  EXPECT_EQ(l.diffuseOffset, 40);
  EXPECT_EQ(l.specularOffset, 44);
  ASSERT_EQ(l.texCoordCount, 3);
  EXPECT_EQ(l.texCoordSize[0], 1);
  EXPECT_EQ(l.texCoordSize[1], 2);
  EXPECT_EQ(l.texCoordSize[2], 4);
  EXPECT_EQ(l.texCoordOffset[0], 48);
  EXPECT_EQ(l.texCoordOffset[1], 52);
  EXPECT_EQ(l.texCoordOffset[2], 60);
  EXPECT_EQ(l.stride, 76u);

  const FfpVertexLayout t(D3DFVF_TLVERTEX);
  EXPECT_TRUE(t.pretransformed);
  EXPECT_EQ(t.positionSize, 4);
  EXPECT_EQ(t.normalOffset, -1);
  EXPECT_EQ(t.diffuseOffset, 16);
  EXPECT_EQ(t.texCoordOffset[0], 24);

  // More than eight coordinate sets, or no position, cannot be drawn.
  EXPECT_FALSE(FfpVertexLayout(D3DFVF_XYZ | (9u << D3DFVF_TEXCOUNT_SHIFT)).drawable());
  EXPECT_FALSE(FfpVertexLayout(D3DFVF_DIFFUSE).drawable());
}

}  // namespace
