// The scene's render pass: camera, ambient light, lights, opaque then translucent groups,
// effects, and lights detached at the end of a frame.
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <string>

#include "gfx/light_parameters.h"
#include "scene/particle_system.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"

namespace {

using Writer = Scene3dxWriter;

void writeGroups(const std::string& path, const std::vector<Writer::Material>& materials) {
  Writer w;
  w.object(static_cast<int>(materials.size()), 1);
  for (const Writer::Material& m : materials) {
    w.material(m);
    w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    w.triangles({{0, 1, 2}});
  }
  ASSERT_TRUE(w.save(path));
}

class SceneRenderTest : public ::testing::Test {
 protected:
  SceneTempDir dir;
  RecordingGraphicsDriver driver;
  Scene scene{&driver};
  Camera frameCamera;

  bool load(const std::string& text, const std::string& name = "test.lws") {
    return scene.loadScene(dir.writeText(name, text).c_str());
  }
  void render(float time) {
    driver.clearCalls();
    scene.render(&frameCamera, time);
  }
};

TEST_F(SceneRenderTest, AmbientLightIsColourTimesIntensityTimesTen) {
  ASSERT_TRUE(load("LWSC\n3\nAmbientColor 0.5 0.5 0.5\nAmbientIntensity 0.1\n"));
  render(0.0f);
  auto ambient = driver.callsOf("setAmbientLight");
  ASSERT_EQ(ambient.size(), 1u);
  EXPECT_FLOAT_EQ(ambient[0].floats[0], 0.5f);
  EXPECT_FLOAT_EQ(ambient[0].floats[2], 0.5f);
  EXPECT_EQ(ambient[0].floats[3], 0.0f);
  EXPECT_EQ(driver.count("enableLighting"), 1);

  // A second file's ambient light is not used: render takes the first file's entries.
  ASSERT_TRUE(load("LWSC\n3\nAmbientColor 1 1 1\nAmbientIntensity 0.9\n", "second.lws"));
  render(1.0f);
  EXPECT_FLOAT_EQ(driver.callsOf("setAmbientLight")[0].floats[0], 0.5f);
}

TEST_F(SceneRenderTest, CameraItemReplacesTheFrameCameraOnlyWhenItExists) {
  ASSERT_TRUE(load("LWSC\n3\nGridSize 10\n"));
  render(0.0f);
  EXPECT_EQ(driver.count("setCamera"), 0);  // activeCamera -1
  scene.setActiveCamera(0);
  render(0.0f);
  EXPECT_EQ(driver.count("setCamera"), 0);  // no camera in the list: the frame camera stays

  ASSERT_TRUE(load("LWSC\n3\nGridSize 10\nCameraName Cam\n" + sceneItemMotionText("CameraMotion", 0, 0, -5)));
  render(0.0f);
  ASSERT_EQ(driver.count("setCamera"), 1);
  const Camera& camera = scene.cameras[0]->camera;
  EXPECT_FLOAT_EQ(camera.near, 1.0f);
  EXPECT_FLOAT_EQ(camera.far, 15000.0f);
  auto view = driver.callsOf("setViewMatrix");
  ASSERT_EQ(view.size(), 1u);
  EXPECT_FLOAT_EQ(view[0].matrix[14], 5.0f);  // the view moves the world by minus the eye
}

TEST_F(SceneRenderTest, LightsAreDescribedAndDetached) {
  ASSERT_TRUE(load("LWSC\n3\nLightName Key\n" + sceneItemMotionText("LightMotion", 1, 2, 3, 1.5707964f) +
                   "LightColor 1 0.5 0\nLightIntensity 0.8\nLightType 1\nLightName Bare\n" +
                   sceneItemMotionText("LightMotion", 0, 0, 0)));
  render(0.0f);
  ASSERT_EQ(driver.count("addLight"), 2);
  const LightParameters& p = scene.lights[0]->parameters;
  EXPECT_EQ(driver.callsOf("addLight")[0].pointer, &p);
  // The light's matrix carries its orientation only: heading 90 turns +Z onto +X.
  EXPECT_NEAR(p.direction.x, 1.0f, 1e-6f);
  EXPECT_NEAR(p.direction.y, 0.0f, 1e-6f);
  EXPECT_NEAR(p.direction.z, 0.0f, 1e-6f);
  EXPECT_FLOAT_EQ(p.position.z, 3.0f);
  EXPECT_FLOAT_EQ(p.diffuse.g, 0.5f);
  EXPECT_FLOAT_EQ(p.ambient.r, 1.0f);
  EXPECT_FLOAT_EQ(p.specular.b, 0.0f);
  EXPECT_FLOAT_EQ(p.specular.a, 1.0f);
  EXPECT_FLOAT_EQ(p.intensity, 0.8f);
  EXPECT_FLOAT_EQ(p.range, 8.0f);
  EXPECT_FLOAT_EQ(p.attenuation[1], 1.0f);
  EXPECT_EQ(p.type, LightParameters::kPoint);
  // A light without colour and intensity lines is white at intensity 1.
  EXPECT_FLOAT_EQ(scene.lights[1]->parameters.diffuse.g, 1.0f);
  EXPECT_FLOAT_EQ(scene.lights[1]->parameters.intensity, 1.0f);
  EXPECT_EQ(driver.lightsInUse, 2u);

  scene.detachLights();
  EXPECT_EQ(driver.count("removeLight"), 2);
  EXPECT_EQ(driver.lightsInUse, 0u);
  scene.detachLights();  // not rendered since: the driver holds none of them
  EXPECT_EQ(driver.lightsInUse, 0u);

  // Each light registered its flare and marker materials.
  Material* flare = scene.material(scene.lights[0]->flareMaterial);
  ASSERT_NE(flare, nullptr);
  EXPECT_STREQ(flare->layers[0].textureName, "lensflare.jpg(lensflarea.jpg)");
  EXPECT_EQ(flare->depthFunction, 8);
  EXPECT_EQ(scene.material(scene.lights[0]->markerMaterial)->diffuse, 0xFFFF00FFu);
}

TEST_F(SceneRenderTest, OpaqueGroupsOfAllObjectsComeBeforeTranslucentOnes) {
  Writer::Material opaque;
  Writer::Material glass;
  glass.transparency = 0.5f;
  Writer::Material negative;
  negative.transparency = -0.2f;
  Writer::Material alpha;
  alpha.textures = {"a.jpg", "(none)", "(none)", "b.jpg", "(none)"};
  writeGroups(dir.file("mixed.3dx"), {opaque, glass});
  writeGroups(dir.file("solid.3dx"), {opaque});
  writeGroups(dir.file("special.3dx"), {negative, alpha});
  ASSERT_TRUE(load("LWSC\n3\nLoadObjectLayer 1 mixed.lwo\n" + sceneItemMotionText("ObjectMotion", 1, 0, 0) +
                   "LoadObjectLayer 1 solid.lwo\n" + sceneItemMotionText("ObjectMotion", 2, 0, 0) +
                   "LoadObjectLayer 1 special.lwo\n" + sceneItemMotionText("ObjectMotion", 3, 0, 0) +
                   "AddNullObject Empty\n" + sceneItemMotionText("ObjectMotion", 0, 0, 0)));
  render(0.0f);
  auto buffer = [this](int object, int group) {
    return static_cast<const void*>(scene.vertexBuffer(0, scene.objects[object]->groups[group].vertexBuffer));
  };
  auto draws = driver.callsOf("drawIndexed");
  ASSERT_EQ(draws.size(), 5u);
  EXPECT_EQ(draws[0].pointer, buffer(0, 0));
  EXPECT_EQ(draws[1].pointer, buffer(1, 0));
  EXPECT_EQ(draws[2].pointer, buffer(0, 1));
  EXPECT_EQ(draws[3].pointer, buffer(2, 0));
  EXPECT_EQ(draws[4].pointer, buffer(2, 1));
  EXPECT_EQ(draws[0].ints[0], 4);  // triangle list
  EXPECT_EQ(draws[0].ints[3], 3);  // three indices
  // Every object sets its world matrix in both passes, the empty null included.
  auto world = driver.callsOf("setWorldMatrix");
  ASSERT_EQ(world.size(), 8u);
  EXPECT_FLOAT_EQ(world[1].matrix[12], 2.0f);
}

TEST_F(SceneRenderTest, FireNullFollowsItsObjectAndDrawsInBothPasses) {
  ASSERT_TRUE(load("LWSC\n3\nAddNullObject fire\n" + sceneItemMotionText("ObjectMotion", 4, 5, 6, 0, 0, 0, 2, 1, 1)));
  render(0.0f);
  EXPECT_EQ(driver.count("drawBillboard"), 2 * 2 * 45);  // two passes, the driver bound twice
  const SceneObject* fire = scene.objects[0];
  EXPECT_FLOAT_EQ(fire->effect->position.x, 4.0f);
  EXPECT_FLOAT_EQ(fire->effect->position.z, 6.0f);
  EXPECT_FLOAT_EQ(fire->effect->size, 2.0f);
}

}  // namespace
