// Material passes: texture stage and render states per pass (read back from the device),
// the split of many layers over passes, multi-pass triangles with z-bias, and the blend
// modes on the first and on later stages, checked on drawn pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/directdraw_texture.h"
#include "gfx/material.h"
#include "gfx/vertex.h"
#include "support/d3d7_fixture.h"
#include "support/d3d7_recording_device.h"

using d3d7_test::backPixel;
using d3d7_test::DeviceCall;
using d3d7_test::nearColour;
using d3d7_test::ProfileScope;
using d3d7_test::RecordingDevice;
using d3d7_test::renderState;
using d3d7_test::smallProfile;
using d3d7_test::stageState;

namespace {

IDirectDrawSurface7* boundSurface(Direct3DDriver& driver, int stage) {
  IDirectDrawSurface7* surface = nullptr;
  driver.device->GetTexture(static_cast<DWORD>(stage), &surface);
  if (surface != nullptr) surface->Release();
  return surface;
}

// A registered 8 × 8 texture of one colour (0x00RRGGBB), mipmapped.
Texture* solidTexture(Direct3DDriver& driver, const char* name, std::uint32_t rgb) {
  std::vector<std::uint8_t> pixels(8 * 8 * 3);
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = static_cast<std::uint8_t>(rgb & 0xff);
    pixels[i + 1] = static_cast<std::uint8_t>((rgb >> 8) & 0xff);
    pixels[i + 2] = static_cast<std::uint8_t>((rgb >> 16) & 0xff);
  }
  Texture* texture = nullptr;
  EXPECT_TRUE(driver.createTextureFromPixels(&texture, name, 8, 8, pixels.data(), nullptr, true));
  return texture;
}

void addLayer(Material& material, const char* texture, int blendMode, int texCoordSource = 0) {
  ASSERT_NE(material.addLayer(texture, texCoordSource, blendMode, 0, 0, nullptr), nullptr);
}

// A square covering the whole 64 × 48 viewport at depth z (pre-transformed through identity
// world/view/projection), drawn as two triangles of type-1 vertices.
void drawScreenSquare(Direct3DDriver& driver, float z, std::uint32_t colour = 0xffffffffu) {
  const float u0 = 0.0f;
  const float u1 = 1.0f;
  const ColouredVertex a(-1.0f, 1.0f, z, colour, &u0, &u0);
  const ColouredVertex b(1.0f, 1.0f, z, colour, &u1, &u0);
  const ColouredVertex c(1.0f, -1.0f, z, colour, &u1, &u1);
  const ColouredVertex d(-1.0f, -1.0f, z, colour, &u0, &u1);
  driver.drawTriangle(a, b, c);
  driver.drawTriangle(c, d, a);
}

void useIdentityTransforms(Direct3DDriver& driver) {
  Matrix4 identity;
  identity.setIdentity();
  driver.setWorldMatrix(identity);
  driver.setViewMatrix(identity);
  driver.setProjectionMatrix(identity);
}

}  // namespace

TEST(D3d7MaterialPass, MaterialWithoutLayersTakesAlphaFromDiffuseAndNeverBlends) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  Material material;
  material.setTransparency(0.5f);
  EXPECT_TRUE(driver->applyMaterialPass(&material, 0));
  EXPECT_EQ(driver->currentMaterial, &material);
  EXPECT_EQ(stageState(*driver, 0, D3DTSS_ALPHAARG1), D3DTA_DIFFUSE);
  EXPECT_EQ(stageState(*driver, 0, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
  for (int stage = 0; stage < 8; ++stage) {
    EXPECT_EQ(stageState(*driver, stage, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(boundSurface(*driver, stage), nullptr);
  }
  EXPECT_EQ(stageState(*driver, 1, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_DISABLE));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
}

TEST(D3d7MaterialPass, RenderStatesAndLightingMaterialFollowTheMaterial) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  Material material;
  material.setDiffuse(0x00ff8000u);
  material.setSpecular(0x000000ffu);
  material.setLuminous(0x00808080u);
  material.setTransparency(0.25f);
  material.setSmoothShading(false);
  material.setDepthWrite(false);
  material.setDepthFunction(D3DCMP_ALWAYS);
  material.setCullMode(2);
  driver->applyMaterialPass(&material, 0);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_SHADEMODE), static_cast<DWORD>(D3DSHADE_FLAT));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ZWRITEENABLE), 0u);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ZFUNC), static_cast<DWORD>(D3DCMP_ALWAYS));
  D3DMATERIAL7 m;
  driver->device->GetMaterial(&m);
  EXPECT_FLOAT_EQ(m.diffuse.r, 1.0f);
  EXPECT_NEAR(m.diffuse.g, 128.0f / 255.0f, 1e-6);
  EXPECT_FLOAT_EQ(m.diffuse.a, 0.25f);
  EXPECT_FLOAT_EQ(m.ambient.r, 0.5f);
  EXPECT_FLOAT_EQ(m.ambient.a, 0.125f);
  EXPECT_FLOAT_EQ(m.specular.b, 1.0f);
  EXPECT_FLOAT_EQ(m.specular.a, 0.25f);
  EXPECT_NEAR(m.emissive.r, 128.0f / 255.0f, 1e-6);
  EXPECT_FLOAT_EQ(m.emissive.a, 0.0f);
  EXPECT_FLOAT_EQ(m.power, 0.0f);

  material.setSmoothShading(true);
  material.setDepthWrite(true);
  material.setCullMode(1);
  driver->applyMaterialPass(&material, 0);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_SHADEMODE), static_cast<DWORD>(D3DSHADE_GOURAUD));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ZWRITEENABLE), 2u);
  material.setCullMode(7);
  driver->applyMaterialPass(&material, 0);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
  material.setCullMode(0);
  driver->applyMaterialPass(&material, 0);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));

  // A device that refuses depth write mode 2 gets 1.
  RecordingDevice recorder(driver->device);
  recorder.refusedState = D3DRENDERSTATE_ZWRITEENABLE;
  recorder.refusedValue = 2;
  driver->device = &recorder;
  driver->applyMaterialPass(&material, 0);
  driver->device = recorder.inner;
  EXPECT_EQ(recorder.renderStateValues(D3DRENDERSTATE_ZWRITEENABLE), (std::vector<DWORD>{2, 1}));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ZWRITEENABLE), 1u);
}

TEST(D3d7MaterialPass, LaterStagesCombineByBlendModeAndBindTheirTextures) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  Texture* t = solidTexture(*driver, "t.jpg", 0x808080);
  Material material;
  const int modes[8] = {0, 1, 2, 3, 4, 5, 6, 0};
  for (int mode : modes) addLayer(material, "t.jpg", mode);
  material.layers[3].hasAlpha = true;
  EXPECT_TRUE(driver->applyMaterialPass(&material, 0));
  const DWORD expected[8] = {D3DTOP_MODULATE, D3DTOP_MODULATE, D3DTOP_MODULATE2X,  D3DTOP_MODULATE4X,
                             D3DTOP_ADD,      D3DTOP_SUBTRACT, D3DTOP_DOTPRODUCT3, D3DTOP_SELECTARG1};
  for (int stage = 0; stage < 8; ++stage) {
    SCOPED_TRACE(stage);
    EXPECT_EQ(stageState(*driver, stage, D3DTSS_COLOROP), expected[stage]);
    EXPECT_EQ(stageState(*driver, stage, D3DTSS_COLORARG1), D3DTA_TEXTURE);
    EXPECT_EQ(stageState(*driver, stage, D3DTSS_COLORARG2), D3DTA_CURRENT);
    EXPECT_EQ(stageState(*driver, stage, D3DTSS_ALPHAOP),
              stage == 3 ? static_cast<DWORD>(D3DTOP_MODULATE) : static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(boundSurface(*driver, stage), static_cast<DirectDrawTexture*>(t)->surface);
  }
  // The blending of the last layer decides: layer 7 has no alpha and the material is opaque.
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));

  // An unknown texture name leaves the stage without texture; the layer's alpha blends.
  Material missing;
  addLayer(missing, "missing.jpg", 0);
  missing.layers[0].hasAlpha = true;
  driver->applyMaterialPass(&missing, 0);
  EXPECT_EQ(boundSurface(*driver, 0), nullptr);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_SRCBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_DESTBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
}

TEST(D3d7MaterialPass, FirstStageBlendModesBlendThePassOntoTheFrame) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  struct Row {
    int mode;
    DWORD source;
    DWORD destination;
    DWORD op;
  };
  const Row rows[] = {{1, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, D3DTOP_MODULATE},
                      {2, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, D3DTOP_MODULATE},
                      {3, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, D3DTOP_MODULATE},
                      {4, D3DBLEND_ONE, D3DBLEND_ONE, D3DTOP_MODULATE},
                      {5, D3DBLEND_INVDESTCOLOR, D3DBLEND_INVDESTCOLOR, D3DTOP_MODULATE},
                      {6, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, D3DTOP_DOTPRODUCT3}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    Material material;
    addLayer(material, "t.jpg", row.mode);
    driver->applyMaterialPass(&material, 0);
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_SRCBLEND), row.source);
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_DESTBLEND), row.destination);
    EXPECT_EQ(stageState(*driver, 0, D3DTSS_COLOROP), row.op);
  }
  // A blend mode outside 0..6 leaves the stage disabled.
  Material odd;
  addLayer(odd, "t.jpg", kBlendBoundOnly);
  driver->applyMaterialPass(&odd, 0);
  EXPECT_EQ(stageState(*driver, 0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
}

TEST(D3d7MaterialPass, CoordinatesMatricesAndAddressing) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  Material material;
  addLayer(material, "a", 0, 2);
  addLayer(material, "b", 0, kTexCoordCameraNormal);
  addLayer(material, "c", 0, kTexCoordCameraReflection);
  Matrix4 shift;
  shift.setIdentity();
  shift.m[8] = 0.5f;
  ASSERT_NE(material.addLayer("d", kTexCoordCameraPosition, 0, 1, 2, &shift), nullptr);
  driver->applyMaterialPass(&material, 0);
  EXPECT_EQ(stageState(*driver, 0, D3DTSS_TEXCOORDINDEX), 2u);
  EXPECT_EQ(stageState(*driver, 0, D3DTSS_TEXTURETRANSFORMFLAGS), D3DTTFF_DISABLE);
  EXPECT_EQ(stageState(*driver, 1, D3DTSS_TEXCOORDINDEX), 1u | D3DTSS_TCI_CAMERASPACENORMAL);
  EXPECT_EQ(stageState(*driver, 1, D3DTSS_TEXTURETRANSFORMFLAGS), D3DTTFF_COUNT2);
  EXPECT_EQ(stageState(*driver, 2, D3DTSS_TEXCOORDINDEX), 2u | D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
  EXPECT_EQ(stageState(*driver, 3, D3DTSS_TEXCOORDINDEX), 3u | D3DTSS_TCI_CAMERASPACEPOSITION);
  EXPECT_EQ(stageState(*driver, 3, D3DTSS_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_MIRROR));
  EXPECT_EQ(stageState(*driver, 3, D3DTSS_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_CLAMP));
  EXPECT_EQ(stageState(*driver, 0, D3DTSS_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
  EXPECT_EQ(stageState(*driver, 4, D3DTSS_TEXCOORDINDEX), 0u);
  D3DMATRIX m;
  driver->device->GetTransform(D3DTRANSFORMSTATE_TEXTURE3, &m);
  EXPECT_FLOAT_EQ(m._31, 0.5f);
  driver->device->GetTransform(D3DTRANSFORMSTATE_TEXTURE0, &m);
  EXPECT_FLOAT_EQ(m._31, 0.0f);
  EXPECT_FLOAT_EQ(m._11, 1.0f);
}

TEST(D3d7MaterialPass, LayersAreSplitIntoPassesOfMaxTextureStages) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  driver->maxTextureStages = 2;
  Texture* textures[5];
  const char* names[5] = {"l0", "l1", "l2", "l3", "l4"};
  Material material;
  for (int i = 0; i < 5; ++i) {
    textures[i] = solidTexture(*driver, names[i], 0x101010u * static_cast<std::uint32_t>(i + 1));
    addLayer(material, names[i], i == 2 ? 4 : 0);
  }
  EXPECT_FALSE(driver->applyMaterialPass(&material, 0));
  EXPECT_EQ(boundSurface(*driver, 0), static_cast<DirectDrawTexture*>(textures[0])->surface);
  EXPECT_EQ(boundSurface(*driver, 1), static_cast<DirectDrawTexture*>(textures[1])->surface);
  EXPECT_EQ(stageState(*driver, 1, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_SELECTARG1));

  // Layer 2 starts pass 1: its additive mode blends the pass onto the frame.
  EXPECT_FALSE(driver->applyMaterialPass(&material, 1));
  EXPECT_EQ(boundSurface(*driver, 0), static_cast<DirectDrawTexture*>(textures[2])->surface);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_DESTBLEND), static_cast<DWORD>(D3DBLEND_ONE));

  EXPECT_TRUE(driver->applyMaterialPass(&material, 2));
  EXPECT_EQ(boundSurface(*driver, 0), static_cast<DirectDrawTexture*>(textures[4])->surface);
  EXPECT_EQ(boundSurface(*driver, 1), nullptr);
  EXPECT_EQ(stageState(*driver, 1, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
}

TEST(D3d7MaterialPass, MultiPassTrianglesUseZBiasAndTheLastPassWins) {
  // 24- and 32-bit z-buffers: later passes must win the strict depth test by their z-bias alone.
  for (DDPIXELFORMAT zFormat : {dx7ZBufferFormat(24, 0xffffff), dx7ZBufferFormat(32, 0xffffffff)}) {
    SCOPED_TRACE(zFormat.dwZBufferBitDepth);
    AdapterProfile depthProfile = smallProfile();
    depthProfile.zBufferFormats = {zFormat};
    ProfileScope profile(depthProfile);
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    driver->maxTextureStages = 2;
    const std::uint32_t colours[5] = {0x200000, 0x002000, 0x000020, 0x404040, 0x30a0f0};
    const char* names[5] = {"p0", "p1", "p2", "p3", "p4"};
    Material material;
    material.setDepthFunction(D3DCMP_LESS);
    for (int i = 0; i < 5; ++i) {
      solidTexture(*driver, names[i], colours[i]);
      addLayer(material, names[i], 0);
    }
    useIdentityTransforms(*driver);
    driver->clear(0x00000000u, 1.0f, 0, nullptr, true);
    driver->applyMaterialPass(&material, 0);

    RecordingDevice recorder(driver->device);
    driver->device = &recorder;
    driver->beginScene();
    const float u0 = 0.0f;
    const float u1 = 1.0f;
    const ColouredVertex a(-1.0f, 1.0f, 0.5f, 0xffffffffu, &u0, &u0);
    const ColouredVertex b(1.0f, 1.0f, 0.5f, 0xffffffffu, &u1, &u0);
    const ColouredVertex c(1.0f, -1.0f, 0.5f, 0xffffffffu, &u1, &u1);
    driver->drawTriangle(a, b, c);
    driver->endScene();
    driver->device = recorder.inner;

    // Each pass sets its z-bias right before drawing the triangle.
    std::vector<DWORD> sequence;
    for (const DeviceCall& call : recorder.calls) {
      if (call.kind == DeviceCall::kRenderState && call.a == D3DRENDERSTATE_ZBIAS) sequence.push_back(call.b);
      if (call.kind == DeviceCall::kDraw) {
        sequence.push_back(100 + call.c);
        EXPECT_EQ(call.a, static_cast<DWORD>(D3DPT_TRIANGLEFAN));
        EXPECT_EQ(call.b, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
      }
    }
    EXPECT_EQ(sequence, (std::vector<DWORD>{0, 103, 1, 103, 2, 103}));
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_ZBIAS), 2u);
    // Top-right corner lies inside the triangle: the last pass (layer 4) covers the earlier ones.
    EXPECT_TRUE(nearColour(backPixel(*driver, 60, 4), 0x30a0f0)) << std::hex << backPixel(*driver, 60, 4);

    // A material that fits the stages draws once with the states already applied.
    Material single;
    addLayer(single, "p4", 0);
    driver->applyMaterialPass(&single, 0);
    RecordingDevice once(driver->device);
    driver->device = &once;
    driver->drawTriangle(a, b, c);
    driver->device = once.inner;
    EXPECT_EQ(once.callsOf(DeviceCall::kDraw).size(), 1u);
    EXPECT_TRUE(once.renderStateValues(D3DRENDERSTATE_ZBIAS).empty());
  }
}

TEST(D3d7MaterialPass, BlendModesOnTheFirstStageAndOnLaterStagesGiveTheExpectedPixels) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  useIdentityTransforms(*driver);
  solidTexture(*driver, "half", 0x808080);
  solidTexture(*driver, "quarter", 0x404040);
  solidTexture(*driver, "small", 0x201008);

  struct Case {
    const char* label;
    std::vector<std::pair<const char*, int>> layers;
    std::uint32_t background;
    std::uint32_t expected;
  };
  const Case cases[] = {
      // First stage: the pass is blended with the frame.
      {"multiply onto frame", {{"half", 1}}, 0x404040, 0x404040},  // 2 · 0.5 · 0.25
      {"add onto frame", {{"small", 4}}, 0x404040, 0x605048},      // 0x40 + texel
      {"inverse onto frame", {{"half", 5}}, 0x404040, 0x909090},   // 0.5·0.75 + 0.25·0.75
      // Later stages: combined inside the texture cascade, opaque onto the frame.
      {"modulate", {{"half", 0}, {"half", 1}}, 0x000000, 0x404040},
      {"modulate 2x", {{"half", 0}, {"quarter", 2}}, 0x000000, 0x404040},
      {"modulate 4x", {{"quarter", 0}, {"quarter", 3}}, 0x000000, 0x404040},
      {"add", {{"quarter", 0}, {"small", 4}}, 0x000000, 0x605048},
      {"subtract", {{"quarter", 0}, {"half", 5}}, 0x000000, 0x404040},  // texture − current
      {"select", {{"quarter", 0}, {"small", 0}}, 0x000000, 0x201008},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.label);
    Material material;
    material.setDepthFunction(D3DCMP_ALWAYS);
    for (const auto& layer : test.layers) addLayer(material, layer.first, layer.second);
    driver->clear(test.background, 1.0f, 0, nullptr, true);
    driver->beginScene();
    driver->applyMaterialPass(&material, 0);
    drawScreenSquare(*driver, 0.5f);
    driver->endScene();
    const std::uint32_t pixel = backPixel(*driver, 32, 24);
    EXPECT_TRUE(nearColour(pixel, test.expected, 4)) << std::hex << pixel << " expected " << test.expected;
  }
}
