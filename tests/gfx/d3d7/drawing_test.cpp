// Per-frame driver operations: viewport and screen mapping, projection to the screen,
// clearing with rectangles, pixel read-back, billboards, points, lights, ambient light, fog.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/light_parameters.h"
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

namespace {

Matrix4 identity() {
  Matrix4 m;
  m.setIdentity();
  return m;
}

// Perspective with a 90° field of view, z from 1 to 100 (row-vector layout).
Matrix4 perspective(float aspect) {
  Matrix4 m;
  for (float& v : m.m) v = 0.0f;
  const float zf = 100.0f;
  const float zn = 1.0f;
  m.m[0] = 1.0f / aspect;
  m.m[5] = 1.0f;
  m.m[10] = zf / (zf - zn);
  m.m[11] = 1.0f;
  m.m[14] = -zn * zf / (zf - zn);
  return m;
}

}  // namespace

TEST(D3d7Viewport, FractionsGiveTheDeviceViewportAndScreenMatrix) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver(640, 480);
  ASSERT_NE(driver, nullptr);
  driver->setViewport(0.0f, 0.0f, 1.0f, 1.0f);
  D3DVIEWPORT7 viewport;
  driver->device->GetViewport(&viewport);
  EXPECT_EQ(viewport.dwX, 0u);
  EXPECT_EQ(viewport.dwWidth, 640u);
  EXPECT_EQ(viewport.dwHeight, 480u);
  EXPECT_FLOAT_EQ(viewport.dvMaxZ, 1.0f);
  EXPECT_FLOAT_EQ(driver->screenMatrix.m[0], 320.0f);
  EXPECT_FLOAT_EQ(driver->screenMatrix.m[5], -240.0f);
  EXPECT_FLOAT_EQ(driver->screenMatrix.m[12], 320.0f);
  EXPECT_FLOAT_EQ(driver->screenMatrix.m[13], 240.0f);
  EXPECT_FLOAT_EQ(driver->screenMatrix.m[14], 0.001f);

  driver->setViewport(0.25f, 0.5f, 0.75f, 1.0f);
  driver->device->GetViewport(&viewport);
  EXPECT_EQ(viewport.dwX, 160u);
  EXPECT_EQ(viewport.dwY, 240u);
  EXPECT_EQ(viewport.dwWidth, 320u);
  EXPECT_EQ(viewport.dwHeight, 240u);
  EXPECT_FLOAT_EQ(driver->screenMatrix.m[12], 320.0f);
  EXPECT_FLOAT_EQ(driver->screenMatrix.m[13], 360.0f);
}

TEST(D3d7Projection, PointsInFrontMapToPixelsAndPointsBehindAreRefused) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  driver->setWorldMatrix(identity());
  driver->setViewMatrix(identity());
  driver->setProjectionMatrix(identity());
  Vector3 out{7.0f, 7.0f, 7.0f};
  EXPECT_TRUE(driver->projectToScreen(Vector3{0.5f, 0.5f, 1.0f}, &out));
  EXPECT_FLOAT_EQ(out.x, 48.0f);  // 0.5 · 32 + 32
  EXPECT_FLOAT_EQ(out.y, 12.0f);  // −0.5 · 24 + 24
  Vector3 untouched{7.0f, 7.0f, 7.0f};
  EXPECT_FALSE(driver->projectToScreen(Vector3{0.0f, 0.0f, -1.0f}, &untouched));
  EXPECT_FALSE(driver->projectToScreen(Vector3{0.0f, 0.0f, 0.0001f}, &untouched));
  EXPECT_FLOAT_EQ(untouched.x, 7.0f);
  // The world translation is applied first.
  Matrix4 world = identity();
  world.m[12] = -0.5f;
  driver->setWorldMatrix(world);
  EXPECT_TRUE(driver->projectToScreen(Vector3{0.5f, 0.5f, 1.0f}, &out));
  EXPECT_FLOAT_EQ(out.x, 32.0f);
}

TEST(D3d7ReadPixelBlock, SamplesAroundTheProjectedPointAndMarksOutsidePixels) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  driver->setWorldMatrix(identity());
  driver->setViewMatrix(identity());
  driver->setProjectionMatrix(identity());
  driver->clear(0x00112233u, 1.0f, 0, nullptr, false);
  int samples[9];
  // (−1, 1, 1) projects exactly onto pixel (0, 0).
  ASSERT_TRUE(driver->readPixelBlock(Vector3{-1.0f, 1.0f, 1.0f}, samples));
  const bool outside[9] = {true, true, true, true, false, false, true, false, false};
  for (int i = 0; i < 9; ++i) {
    if (outside[i])
      EXPECT_EQ(samples[i], -1) << i;
    else
      EXPECT_EQ(samples[i] & 0xffffff, 0x112233) << i;
  }
  EXPECT_FALSE(driver->readPixelBlock(Vector3{0.0f, 0.0f, -2.0f}, samples));
}

TEST(D3d7Clear, RectanglesAreScreenFractions) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  driver->clear(0x00ff0000u, 1.0f, 0, nullptr, true);
  const float rects[8] = {0.0f, 0.0f, 0.5f, 0.5f, 0.75f, 0.75f, 1.0f, 1.0f};
  driver->clear(0x0000ff00u, 1.0f, 2, rects, false);
  EXPECT_EQ(backPixel(*driver, 0, 0), 0x00ff00u);
  EXPECT_EQ(backPixel(*driver, 31, 23), 0x00ff00u);
  EXPECT_EQ(backPixel(*driver, 32, 24), 0xff0000u);
  EXPECT_EQ(backPixel(*driver, 48, 36), 0x00ff00u);
  EXPECT_EQ(backPixel(*driver, 47, 35), 0xff0000u);
}

TEST(D3d7Billboard, AdditiveSquareFacesTheCameraAroundItsCentre) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  std::vector<std::uint8_t> white(8 * 8 * 3, 0xff);
  Texture* texture = nullptr;
  ASSERT_TRUE(driver->createTextureFromPixels(&texture, "spark", 8, 8, white.data(), nullptr, true));
  Material material;
  material.setDiffuse(0xff204060u);
  material.setDepthFunction(D3DCMP_ALWAYS);
  ASSERT_NE(material.addLayer("spark", 0, kBlendAdd, 0, 0, nullptr), nullptr);

  for (float angle : {0.0f, 0.7f}) {
    SCOPED_TRACE(angle);
    Matrix4 view;
    view.setRotationY(angle);
    driver->setViewMatrix(view);
    driver->setProjectionMatrix(perspective(64.0f / 48.0f));
    driver->clear(0x00101010u, 1.0f, 0, nullptr, true);
    driver->beginScene();
    driver->applyMaterialPass(&material, 0);
    // Placed straight ahead of the rotated camera, 4 units away; 2 units wide.
    const Vector3 centre{4.0f * view.m[2], 4.0f * view.m[6], 4.0f * view.m[10]};
    driver->drawBillboard(centre, 2.0f);
    driver->endScene();
    EXPECT_TRUE(nearColour(backPixel(*driver, 32, 24), 0x305070)) << std::hex << backPixel(*driver, 32, 24);
    // One unit either side at distance 4: 6 pixels across (0.75 · 32 / 4), 6 pixels up.
    EXPECT_TRUE(nearColour(backPixel(*driver, 32 + 4, 24), 0x305070));
    EXPECT_TRUE(nearColour(backPixel(*driver, 32, 24 + 4), 0x305070));
    EXPECT_TRUE(nearColour(backPixel(*driver, 32 + 10, 24), 0x101010));
    EXPECT_TRUE(nearColour(backPixel(*driver, 32, 24 - 12), 0x101010));
    EXPECT_FLOAT_EQ(driver->worldMatrix.m[12], centre.x);
    EXPECT_FLOAT_EQ(driver->worldMatrix.m[14], centre.z);
  }
}

TEST(D3d7Drawing, TrianglesOfMixedOrUnknownTypesAndPointsReachTheDeviceAsSpecified) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  RecordingDevice recorder(driver->device);
  driver->device = &recorder;
  const ColouredVertex coloured;
  NormalTexVertex<1> lit;
  TypedVertex unknown(40);
  driver->drawTriangle(coloured, lit, coloured);
  driver->drawTriangle(unknown, unknown, unknown);
  driver->drawTriangle(lit, lit, lit);
  driver->drawPoint(Vector3{1.0f, 2.0f, 3.0f});
  driver->device = recorder.inner;
  const auto draws = recorder.callsOf(DeviceCall::kDraw);
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].b, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
  EXPECT_EQ(draws[1].a, static_cast<DWORD>(D3DPT_POINTLIST));
  EXPECT_EQ(draws[1].b, D3DFVF_XYZ);
  EXPECT_EQ(draws[1].c, 1u);
}

TEST(D3d7Lighting, AmbientIsPackedWithEachComponentClamped) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  driver->setAmbientLight(1.0f, 0.0f, 0.0f, 1.0f);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_AMBIENT), 0xffff0000u);
  driver->setAmbientLight(0.5f, 0.25f, 0.1f, 0.0f);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_AMBIENT), 0x007f3f19u);
  // A scene ambient far above 1 stays in its own channel.
  driver->setAmbientLight(3.0f, -1.0f, 1.5f, 2.0f);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_AMBIENT), 0xffff00ffu);

  driver->enableLighting();
  EXPECT_TRUE(driver->lightingEnabled);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_LIGHTING), static_cast<DWORD>(TRUE));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_SPECULARENABLE), static_cast<DWORD>(TRUE));
  driver->disableLighting();
  EXPECT_FALSE(driver->lightingEnabled);
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_LIGHTING), static_cast<DWORD>(FALSE));
  EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_SPECULARENABLE), static_cast<DWORD>(FALSE));
}

TEST(D3d7Lighting, LightsAreShownUnderTheirSlotIndex) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  LightParameters first;
  LightParameters second;
  second.setType(LightParameters::kSpot);
  second.setDiffuse(0.5f, 0.25f, 1.0f, 1.0f);
  second.setIntensity(2.0f);
  second.setRange(50.0f);
  second.setAttenuation(1.0f, 0.5f, 0.25f);
  second.setPosition(Vector3{1.0f, 2.0f, 3.0f});
  second.setDirection(Vector3{0.0f, -1.0f, 0.0f});
  EXPECT_EQ(driver->addLight(&first), 0);
  EXPECT_EQ(driver->addLight(&second), 1);
  EXPECT_EQ(driver->addLight(&second), 1);
  EXPECT_EQ(driver->lightsInUse, 2u);
  D3DLIGHT7 light;
  ASSERT_EQ(driver->device->GetLight(1, &light), D3D_OK);
  EXPECT_EQ(light.dltType, D3DLIGHT_SPOT);
  EXPECT_FLOAT_EQ(light.dcvDiffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(light.dcvDiffuse.g, 0.5f);
  EXPECT_FLOAT_EQ(light.dcvDiffuse.b, 2.0f);
  EXPECT_FLOAT_EQ(light.dcvAmbient.a, 2.0f);
  EXPECT_FLOAT_EQ(light.dvRange, 50.0f);
  EXPECT_FLOAT_EQ(light.dvAttenuation1, 0.5f);
  EXPECT_FLOAT_EQ(light.dvAttenuation2, 0.25f);
  EXPECT_FLOAT_EQ(light.dvPosition.z, 3.0f);
  EXPECT_FLOAT_EQ(light.dvDirection.y, -1.0f);
  EXPECT_FLOAT_EQ(light.dvFalloff, 1.0f);
  EXPECT_FLOAT_EQ(light.dvTheta, 0.8f);
  EXPECT_FLOAT_EQ(light.dvPhi, 1.0f);
  BOOL enabled = FALSE;
  driver->device->GetLightEnable(1, &enabled);
  EXPECT_TRUE(enabled);

  EXPECT_EQ(driver->removeLight(&second), 1);
  driver->device->GetLightEnable(1, &enabled);
  EXPECT_FALSE(enabled);
  EXPECT_EQ(driver->lightsInUse, 1u);
  // A light that never had a slot borrows one only to release it again.
  LightParameters stranger;
  EXPECT_EQ(driver->removeLight(&stranger), 1);
  EXPECT_EQ(driver->lightsInUse, 1u);
}

TEST(D3d7Fog, ModesFollowTheDeviceCapsWithFallbackToVertexFog) {
  {
    ProfileScope profile(smallProfile());
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    driver->setFog(2.0f, 40.0f, 0x00808080u, GraphicsDriver::kFogTableExp2);
    driver->enableFog();
    EXPECT_TRUE(driver->fogEnabled);
    EXPECT_EQ(driver->fogMode, GraphicsDriver::kFogTableExp2);
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGTABLEMODE), static_cast<DWORD>(D3DFOG_EXP2));
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGCOLOR), 0x00808080u);
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGSTART), std::bit_cast<DWORD>(2.0f));
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGEND), std::bit_cast<DWORD>(40.0f));
    driver->setFog(2.0f, 40.0f, 0x00808080u, GraphicsDriver::kFogTableExp);
    driver->enableFog();
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGTABLEMODE), static_cast<DWORD>(D3DFOG_EXP));
    driver->disableFog();
    EXPECT_FALSE(driver->fogEnabled);
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGENABLE), static_cast<DWORD>(FALSE));
  }
  {
    AdapterProfile vertexOnly = smallProfile();
    vertexOnly.rasterCaps &= ~D3DPRASTERCAPS_FOGTABLE;
    ProfileScope profile(vertexOnly);
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->fogCaps, 1);
    driver->setFog(1.0f, 10.0f, 0, GraphicsDriver::kFogTableExp2);
    driver->enableFog();
    EXPECT_EQ(driver->fogMode, GraphicsDriver::kFogVertexLinear);
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGVERTEXMODE), static_cast<DWORD>(D3DFOG_LINEAR));
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGTABLEMODE), static_cast<DWORD>(D3DFOG_NONE));
  }
  {
    AdapterProfile noFog = smallProfile();
    noFog.rasterCaps &= ~(D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_FOGVERTEX);
    ProfileScope profile(noFog);
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    driver->fogEnabled = true;
    driver->enableFog();
    EXPECT_FALSE(driver->fogEnabled);
    EXPECT_EQ(renderState(*driver, D3DRENDERSTATE_FOGENABLE), static_cast<DWORD>(FALSE));
  }
}

TEST(D3d7Fog, LinearVertexFogBlendsTowardsTheFogColour) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  Matrix4 world = identity();
  driver->setWorldMatrix(world);
  driver->setViewMatrix(identity());
  driver->setProjectionMatrix(perspective(64.0f / 48.0f));
  Material plain;
  plain.setDepthFunction(D3DCMP_ALWAYS);
  driver->applyMaterialPass(&plain, 0);
  driver->fogCaps = 1;
  driver->setFog(0.0f, 10.0f, 0x00ffffffu, GraphicsDriver::kFogVertexLinear);
  driver->enableFog();
  driver->clear(0, 1.0f, 0, nullptr, true);
  driver->beginScene();
  // A black square at depth 5, halfway into the fog.
  const float u = 0.0f;
  const ColouredVertex a(-10.0f, 10.0f, 5.0f, 0xff000000u, &u, &u);
  const ColouredVertex b(10.0f, 10.0f, 5.0f, 0xff000000u, &u, &u);
  const ColouredVertex c(10.0f, -10.0f, 5.0f, 0xff000000u, &u, &u);
  driver->drawTriangle(a, b, c);
  driver->endScene();
  EXPECT_TRUE(nearColour(backPixel(*driver, 48, 12), 0x808080, 6)) << std::hex << backPixel(*driver, 48, 12);
}
