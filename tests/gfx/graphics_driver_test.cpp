// Tests of the graphics driver's shared state: defaults, camera, texture registry, light slots.
#include "gfx/graphics_driver.h"

#include <gtest/gtest.h>

#include <string>

#include "gfx/heap_array.h"
#include "gfx/light_parameters.h"
#include "gfx/texture.h"
#include "support/gfx_recording_driver.h"

namespace {

TEST(GraphicsDriverTest, DriverWithoutOverridesAnswersNeutrally) {
  GraphicsDriver driver("title");
  EXPECT_STREQ(driver.name, "title");
  EXPECT_EQ(driver.maxTextureStages, 8);
  EXPECT_EQ(driver.maxLights, 128u);
  EXPECT_EQ(driver.mode, 1u);
  EXPECT_FALSE(driver.active);
  EXPECT_FALSE(driver.lightingEnabled);
  EXPECT_EQ(driver.textureCount, 0u);
  EXPECT_EQ(driver.lightSlotCount, 0u);

  EXPECT_TRUE(driver.initialize());
  EXPECT_TRUE(driver.chooseVideoMode(1, 2));
  Vector3 p{1.0f, 2.0f, 3.0f};
  Vector3 out{7.0f, 7.0f, 7.0f};
  EXPECT_FALSE(driver.projectToScreen(p, &out));
  EXPECT_EQ(out.x, 7.0f);
  int block[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_TRUE(driver.readPixelBlock(p, block));
  for (int v : block) EXPECT_EQ(v, -1);
  EXPECT_EQ(driver.findTexture("anything.jpg"), nullptr);
  EXPECT_EQ(driver.findTexture(nullptr), nullptr);
  VertexBuffer* buffer = nullptr;
  EXPECT_FALSE(driver.createVertexBuffer(&buffer, 1, 3, 0));
  EXPECT_EQ(buffer, nullptr);

  Material material;
  EXPECT_TRUE(driver.applyMaterialPass(&material, 0));
  EXPECT_EQ(driver.currentMaterial, &material);

  driver.setViewport(0.0f, 0.0f, 1.0f, 1.0f);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(driver.screenMatrix.m[i], (i % 5 == 0) ? 1.0f : 0.0f);

  driver.setFog(1.0f, 9.0f, 0xff112233u, 4);
  driver.enableFog();
  EXPECT_EQ(driver.fogStart, 1.0f);
  EXPECT_EQ(driver.fogEnd, 9.0f);
  EXPECT_EQ(driver.fogColour, 0xff112233u);
  EXPECT_EQ(driver.fogMode, 4);
  EXPECT_TRUE(driver.fogEnabled);
}

TEST(GraphicsDriverTest, LongTitleIsCutToTheNameBuffer) {
  std::string title(400, 'x');
  GraphicsDriver driver(title.c_str());
  EXPECT_EQ(std::string(driver.name), std::string(255, 'x'));
  GraphicsDriver unnamed(nullptr);
  EXPECT_STREQ(unnamed.name, "");
}

TEST(GraphicsDriverTest, SetCameraUpdatesTheCameraAndUsesTheOverriddenSetters) {
  RecordingGraphicsDriver driver;
  Camera camera;
  camera.setPosition(1.0f, 2.0f, 3.0f);
  ASSERT_TRUE(camera.viewDirty);
  driver.setCamera(camera);
  EXPECT_FALSE(camera.viewDirty);
  EXPECT_EQ((driver.sequence({"setViewMatrix", "setProjectionMatrix"})),
            (std::vector<std::string>{"setViewMatrix", "setProjectionMatrix"}));
  EXPECT_EQ(driver.viewMatrix.m[12], -1.0f);
  EXPECT_EQ(driver.viewMatrix.m[13], -2.0f);
  EXPECT_EQ(driver.viewMatrix.m[14], -3.0f);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(driver.projectionMatrix.m[i], camera.projection.m[i]);
}

// A texture that counts how the driver disposes of it.
struct CountingTexture : Texture {
  explicit CountingTexture(GraphicsDriver* d, std::string* log) : Texture(d), events(log) {}
  ~CountingTexture() override { *events += "destroyed;"; }
  void discardBackup() override { *events += "discard;"; }
  std::string* events;
};

Texture* registerNamed(GraphicsDriver& driver, const char* name) {
  Texture* texture = nullptr;
  EXPECT_TRUE(driver.createTexture(&texture, 4, 4, true, false));
  texture->setName(name);
  return texture;
}

TEST(GraphicsDriverTest, TextureRegistryKeepsOrderAndFindsExactNames) {
  GraphicsDriver driver("d");
  Texture* colour = registerNamed(driver, "lensflare.jpg(lensflarea.jpg)");
  Texture* other = registerNamed(driver, "laddar.jpg");
  Texture* last = registerNamed(driver, "Laddar.jpg");
  ASSERT_EQ(driver.textureCount, 3u);
  EXPECT_EQ(colour->driver, &driver);

  // The name with an alpha picture differs from the colour file alone; case counts.
  EXPECT_EQ(driver.findTexture("lensflare.jpg"), nullptr);
  EXPECT_EQ(driver.findTexture("lensflare.jpg(lensflarea.jpg)"), colour);
  EXPECT_EQ(driver.findTexture("laddar.jpg"), other);
  EXPECT_EQ(driver.findTexture("Laddar.jpg"), last);

  // Releasing the middle entry moves the later one down.
  driver.releaseTexture(other);
  ASSERT_EQ(driver.textureCount, 2u);
  EXPECT_EQ(driver.textures[0], colour);
  EXPECT_EQ(driver.textures[1], last);
  EXPECT_EQ(driver.findTexture("laddar.jpg"), nullptr);

  // A texture the driver does not hold is left alone.
  Texture stranger(&driver);
  driver.releaseTexture(&stranger);
  driver.releaseTexture(nullptr);
  EXPECT_EQ(driver.textureCount, 2u);

  driver.releaseTexture(colour);
  driver.releaseTexture(last);
  EXPECT_EQ(driver.textureCount, 0u);
  EXPECT_EQ(driver.textures, nullptr);
}

TEST(GraphicsDriverTest, CreateTextureRegistersAGivenTextureAndSurvivesGrowthFailure) {
  std::string events;
  {
    GraphicsDriver driver("d");
    Texture* given = new CountingTexture(&driver, &events);
    Texture* slot = given;
    EXPECT_TRUE(driver.createTexture(&slot, 1, 1, false, false));
    EXPECT_EQ(slot, given);
    EXPECT_EQ(driver.textureCount, 1u);

    failHeapArrayGrowthAfter(0);
    Texture* fresh = nullptr;
    EXPECT_FALSE(driver.createTexture(&fresh, 1, 1, false, false));
    EXPECT_EQ(driver.textureCount, 1u);
    ASSERT_NE(fresh, nullptr);  // the new texture stays with the caller
    delete fresh;
    EXPECT_FALSE(driver.createTexture(nullptr, 1, 1, false, false));
  }
  // Destruction drops the saved copy before destroying the texture.
  EXPECT_EQ(events, "discard;destroyed;");
}

TEST(GraphicsDriverTest, AddingARegisteredLightReturnsItsSlot) {
  GraphicsDriver driver("d");
  LightParameters a, b;
  EXPECT_EQ(driver.addLight(&a), 0);
  EXPECT_EQ(driver.addLight(&b), 1);
  EXPECT_EQ(driver.addLight(&a), 0);
  EXPECT_EQ(driver.lightsInUse, 2u);
  EXPECT_EQ(driver.lightSlotCount, 10u);
  EXPECT_EQ(driver.addLight(nullptr), -1);

  // A freed slot is reused first.
  EXPECT_EQ(driver.removeLight(&a), 0);
  LightParameters c;
  EXPECT_EQ(driver.addLight(&c), 0);
  EXPECT_EQ(driver.lightSlots[1], &b);
}

TEST(GraphicsDriverTest, LightTableIsCappedByMaxLights) {
  GraphicsDriver driver("d");
  driver.maxLights = 8;
  LightParameters lights[9];
  for (int i = 0; i < 8; ++i) EXPECT_EQ(driver.addLight(&lights[i]), i);
  EXPECT_EQ(driver.addLight(&lights[8]), -1);
  EXPECT_EQ(driver.lightSlotCount, 8u);
  EXPECT_EQ(driver.lightsInUse, 8u);
}

TEST(GraphicsDriverTest, LightTableGrowsAndShrinksByTen) {
  GraphicsDriver driver("d");
  LightParameters lights[11];
  for (int i = 0; i < 11; ++i) driver.addLight(&lights[i]);
  EXPECT_EQ(driver.lightSlotCount, 20u);
  EXPECT_EQ(driver.lightsInUse, 11u);

  // Removing from the end: the table shrinks once fewer than 10 remain.
  EXPECT_EQ(driver.removeLight(&lights[10]), 10);
  EXPECT_EQ(driver.lightSlotCount, 20u);
  EXPECT_EQ(driver.removeLight(&lights[9]), 9);
  EXPECT_EQ(driver.lightSlotCount, 10u);
  for (int i = 8; i >= 0; --i) EXPECT_EQ(driver.removeLight(&lights[i]), i);
  EXPECT_EQ(driver.lightsInUse, 0u);
  EXPECT_EQ(driver.lightSlotCount, 10u);
}

TEST(GraphicsDriverTest, ShrinkingNeverDropsALightStillShown) {
  GraphicsDriver driver("d");
  LightParameters lights[11];
  for (int i = 0; i < 11; ++i) driver.addLight(&lights[i]);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(driver.removeLight(&lights[i]), i);
  EXPECT_EQ(driver.lightsInUse, 1u);
  ASSERT_EQ(driver.lightSlotCount, 20u);
  EXPECT_EQ(driver.lightSlots[10], &lights[10]);
  EXPECT_EQ(driver.addLight(&lights[10]), 10);
  EXPECT_EQ(driver.removeLight(&lights[10]), 10);
  EXPECT_EQ(driver.lightsInUse, 0u);
  EXPECT_EQ(driver.lightSlotCount, 10u);
}

TEST(GraphicsDriverTest, RemovingAnUnknownLightChangesNothing) {
  GraphicsDriver driver("d");
  LightParameters shown, stranger;
  driver.addLight(&shown);
  EXPECT_EQ(driver.removeLight(&stranger), -1);
  EXPECT_EQ(driver.removeLight(nullptr), -1);
  EXPECT_EQ(driver.lightsInUse, 1u);
  EXPECT_EQ(driver.removeLight(&shown), 0);
  EXPECT_EQ(driver.removeLight(&shown), -1);
  EXPECT_EQ(driver.lightsInUse, 0u);
}

TEST(GraphicsDriverTest, FailedLightTableGrowthRestoresTheCounts) {
  GraphicsDriver driver("d");
  LightParameters light;
  failHeapArrayGrowthAfter(0);
  EXPECT_EQ(driver.addLight(&light), -1);
  EXPECT_EQ(driver.lightsInUse, 0u);
  EXPECT_EQ(driver.lightSlotCount, 0u);
  EXPECT_EQ(driver.addLight(&light), 0);
}

TEST(TextureTest, BaseTextureStoresNameAndRefusesLevelsAboveItsCount) {
  GraphicsDriver driver("d");
  Texture texture(&driver);
  EXPECT_EQ(texture.name, nullptr);
  EXPECT_TRUE(texture.valid);
  EXPECT_FALSE(texture.staged);
  EXPECT_TRUE(texture.configure(0, 0, 0, 0, true, true));
  EXPECT_STREQ(texture.name, "(noname)");
  EXPECT_TRUE(texture.staged);
  EXPECT_TRUE(texture.alpha);
  texture.setName("fire0.jpg");
  EXPECT_STREQ(texture.name, "fire0.jpg");

  int pixels[4] = {};
  texture.levelCount = 2;
  texture.lockedBits = pixels;
  EXPECT_EQ(texture.lock(2), pixels);
  EXPECT_EQ(texture.lock(3), nullptr);
  texture.unlock(3);
  EXPECT_EQ(texture.lockedBits, pixels);
  texture.unlock(0);
  EXPECT_EQ(texture.lockedBits, nullptr);

  texture.format = picture32AlphaFormat();
  PixelFormat copy{};
  texture.getPixelFormat(&copy);
  texture.getPixelFormat(nullptr);
  EXPECT_EQ(copy.alphaMask, 0xff000000u);
  EXPECT_EQ(bytesPerPixel(copy), 4);
}

TEST(PixelFormatTest, BytesPerPixelFollowsTheBitCount) {
  EXPECT_EQ(bytesPerPixel(PixelFormat{8, 0, 0, 0, 0}), 1);
  EXPECT_EQ(bytesPerPixel(PixelFormat{15, 0, 0, 0, 0}), 2);
  EXPECT_EQ(bytesPerPixel(PixelFormat{16, 0, 0, 0, 0}), 2);
  EXPECT_EQ(bytesPerPixel(picture24Format()), 3);
  EXPECT_EQ(bytesPerPixel(PixelFormat{32, 0, 0, 0, 0}), 4);
}

}  // namespace
