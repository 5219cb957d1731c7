// Tests of the render node: buffer and texture mirroring over several drivers, forwarding
// to active drivers, and multi-pass indexed drawing.
#include "scene/render_node.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gfx/heap_array.h"
#include "gfx/light_parameters.h"
#include "gfx/material.h"
#include "gfx/vertex.h"
#include "shell/memory_tracker.h"
#include "support/gfx_recording_driver.h"

namespace {

using Names = std::vector<std::string>;

Material* materialWithLayers(const std::vector<const char*>& names) {
  Material* material = new Material();
  for (const char* name : names) material->addLayer(name, 0, kBlendBase, kAddressWrap, kAddressWrap, nullptr);
  return material;
}

// "file|alpha" for every texture load a driver saw, in order.
Names loads(const RecordingGraphicsDriver& driver) {
  Names result;
  for (const GfxCall& call : driver.callsOf("loadTexture")) {
    EXPECT_TRUE(call.flag);  // textures of materials are always mipmapped
    result.push_back(call.text + "|" + call.text2);
  }
  return result;
}

RecordingVertexBuffer* memoryBuffer(const RenderNode& node, int binding, int index) {
  return static_cast<RecordingVertexBuffer*>(node.vertexBuffer(binding, index));
}

ColouredVertex colouredAt(float x, std::uint32_t colour) {
  float u = x * 0.5f, v = x * 0.25f;
  return ColouredVertex(x, x + 1.0f, x + 2.0f, colour, &u, &v);
}

TEST(RenderNodeTest, NodeWithoutDriversForwardsNothing) {
  RenderNode node(nullptr);
  EXPECT_EQ(node.driverCount, 0);
  EXPECT_EQ(node.currentMaterial, -1);
  EXPECT_EQ(node.createVertexBuffer(1, 3, 0), 0);
  EXPECT_EQ(node.lockVertexBuffer(0), nullptr);
  EXPECT_FALSE(node.unlockVertexBuffer(0));
  ColouredVertex vertex;
  EXPECT_EQ(node.writeVertex(0, 0, vertex), 0);
  EXPECT_EQ(node.drawVertexBuffer(0, 4, 0, 3), 0);
  EXPECT_EQ(node.drawIndexed(0, 4, 0, 3, nullptr, 0), 0);
  EXPECT_EQ(node.drawBillboard(Vector3{0, 0, 0}, 1.0f), 0);
  EXPECT_EQ(node.enableLighting(), 0);
  EXPECT_EQ(node.addMaterial(materialWithLayers({})), 0);
  EXPECT_EQ(node.addMaterial(materialWithLayers({"a.jpg"})), 1);
  EXPECT_EQ(node.addMaterial(nullptr), -1);
  EXPECT_EQ(node.materialCount, 2);
}

TEST(RenderNodeTest, BuffersAreCreatedAndWrittenOnEveryDriver) {
  RecordingGraphicsDriver first, second;
  second.active = false;  // writes reach inactive drivers too
  RenderNode node(&first);
  node.addDriver(&second);
  node.addDriver(nullptr);
  ASSERT_EQ(node.driverCount, 2);

  EXPECT_EQ(node.createVertexBuffer(1, 4, 1), 0);
  EXPECT_EQ(node.createVertexBuffer(10, 2, 0), 1);
  EXPECT_EQ(node.vertexBufferCount, 2);
  for (RecordingGraphicsDriver* driver : {&first, &second}) {
    auto created = driver->callsOf("createVertexBuffer");
    ASSERT_EQ(created.size(), 2u);
    EXPECT_EQ(created[0].ints[0], 1);
    EXPECT_EQ(created[0].ints[1], 4);
    EXPECT_EQ(created[0].ints[2], 1);
    EXPECT_EQ(created[1].ints[0], 10);
  }
  EXPECT_EQ(node.vertexStride(0), 24);
  EXPECT_EQ(node.vertexStride(1), 32);
  EXPECT_EQ(node.vertexStride(2), 0);

  ColouredVertex written = colouredAt(3.0f, 0xff102030u);
  node.writeVertex(0, 2, written);
  // Vertex numbers outside the buffer are refused rather than written past its end.
  node.writeVertex(0, 4, written);
  node.writeVertex(0, -1, written);
  node.writeVertex(7, 0, written);
  for (int binding = 0; binding < 2; ++binding) {
    RecordingVertexBuffer* buffer = memoryBuffer(node, binding, 0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::memcmp(buffer->storage.data() + 48, written.data(), 24), 0);
    EXPECT_FALSE(buffer->isLocked());
  }
  ColouredVertex read;
  node.readVertex(0, 2, read);
  EXPECT_EQ(read.colour, 0xff102030u);
  EXPECT_EQ(read.v, 0.75f);
}

TEST(RenderNodeTest, UnlockCopiesTheLockedMasterToTheOtherDrivers) {
  RecordingGraphicsDriver first, second;
  RenderNode node(&first);
  node.addDriver(&second);
  int index = node.createVertexBuffer(9, 3, 0);
  RecordingVertexBuffer* master = memoryBuffer(node, 0, index);
  RecordingVertexBuffer* copy = memoryBuffer(node, 1, index);

  float* data = static_cast<float*>(node.lockVertexBuffer(index));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(node.lockVertexBuffer(index), data);  // a second lock gives the same address
  EXPECT_EQ(master->lockCount, 1);
  for (int i = 0; i < 18; ++i) data[i] = static_cast<float>(i);
  EXPECT_TRUE(node.unlockVertexBuffer(index));
  EXPECT_FALSE(master->isLocked());
  EXPECT_FALSE(copy->isLocked());
  EXPECT_EQ(copy->storage, master->storage);

  // Unlocking a buffer that is not locked copies nothing.
  copy->storage[0] = 0x7f;
  int copyLocks = copy->lockCount;
  EXPECT_TRUE(node.unlockVertexBuffer(index));
  EXPECT_EQ(copy->storage[0], 0x7f);
  EXPECT_EQ(copy->lockCount, copyLocks);
}

TEST(RenderNodeTest, EachTextureIsLoadedOncePerDriverWithItsAlphaPicture) {
  RecordingGraphicsDriver first, second;
  RenderNode node(&first);
  node.addDriver(&second);
  EXPECT_EQ(node.addMaterial(materialWithLayers({})), 0);
  EXPECT_EQ(node.addMaterial(materialWithLayers({"lensflare.jpg(lensflarea.jpg)", "laddar.jpg"})), 1);
  EXPECT_EQ(node.addMaterial(materialWithLayers({"laddar.jpg", "lensflare.jpg(lensflarea.jpg)"})), 2);
  const Names expected = {"lensflare.jpg|lensflarea.jpg", "laddar.jpg|"};
  EXPECT_EQ(loads(first), expected);
  EXPECT_EQ(loads(second), expected);
  EXPECT_NE(first.findTexture("lensflare.jpg(lensflarea.jpg)"), nullptr);
}

TEST(RenderNodeTest, LateDriverGetsEqualBuffersAndAllTextures) {
  RecordingGraphicsDriver first, late;
  RenderNode node(&first);
  int a = node.createVertexBuffer(1, 2, 1);
  int b = node.createVertexBuffer(11, 5, 0);
  node.writeVertex(a, 0, colouredAt(1.0f, 0x01020304u));
  node.writeVertex(a, 1, colouredAt(2.0f, 0x05060708u));
  float* mesh = static_cast<float*>(node.lockVertexBuffer(b));
  for (int i = 0; i < 50; ++i) mesh[i] = static_cast<float>(i) * 0.5f;
  node.unlockVertexBuffer(b);
  node.addMaterial(materialWithLayers({"fire0.jpg", "env.jpg(enva.jpg)"}));
  node.addMaterial(materialWithLayers({"fire0.jpg"}));

  node.addDriver(&late);
  ASSERT_EQ(node.driverCount, 2);
  for (int index : {a, b}) {
    RecordingVertexBuffer* master = memoryBuffer(node, 0, index);
    RecordingVertexBuffer* copy = memoryBuffer(node, 1, index);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->vertexType, master->vertexType);
    EXPECT_EQ(copy->vertexCount, master->vertexCount);
    EXPECT_EQ(copy->flags, master->flags);
    EXPECT_EQ(copy->storage, master->storage);
    EXPECT_FALSE(master->isLocked());
    EXPECT_FALSE(copy->isLocked());
  }
  EXPECT_EQ(loads(late), (Names{"fire0.jpg|", "env.jpg|enva.jpg"}));

  // The same driver added again finds its textures and loads nothing more.
  node.addDriver(&late);
  EXPECT_EQ(late.count("loadTexture"), 2);
  EXPECT_EQ(late.count("createVertexBuffer"), 4);
}

TEST(RenderNodeTest, DrawIndexedDrawsOncePerMaterialPassOnActiveDrivers) {
  RecordingGraphicsDriver first, second, inactive;
  first.maxTextureStages = 1;
  second.maxTextureStages = 1;
  inactive.active = false;
  RenderNode node(&first);
  node.addDriver(&second);
  node.addDriver(&inactive);
  int buffer = node.createVertexBuffer(9, 3, 0);
  int threePass = node.addMaterial(materialWithLayers({"a.jpg", "b.jpg", "c.jpg"}));
  int onePass = node.addMaterial(materialWithLayers({}));
  const std::uint16_t indices[3] = {0, 1, 2};

  node.selectMaterial(threePass);
  for (RecordingGraphicsDriver* driver : {&first, &second}) driver->clearCalls();
  node.drawIndexed(buffer, 4, 0, 3, indices, 3);
  const Names expected = {"applyMaterialPass", "drawIndexed",       "applyMaterialPass",
                          "drawIndexed",       "applyMaterialPass", "drawIndexed"};
  for (RecordingGraphicsDriver* driver : {&first, &second}) {
    EXPECT_EQ(driver->sequence(), expected);
    auto passes = driver->callsOf("applyMaterialPass");
    for (int p = 0; p < 3; ++p) EXPECT_EQ(passes[p].ints[0], p);
    auto draws = driver->callsOf("drawIndexed");
    EXPECT_EQ(draws[0].ints[0], 4);
    EXPECT_EQ(draws[0].ints[2], 3);
    EXPECT_EQ(draws[0].ints[3], 3);
  }
  EXPECT_EQ(inactive.count("drawIndexed"), 0);
  EXPECT_EQ(inactive.count("applyMaterialPass"), 0);

  node.selectMaterial(onePass);
  first.clearCalls();
  node.drawIndexed(buffer, 4, 0, 3, indices, 3);
  EXPECT_EQ(first.sequence(), (Names{"applyMaterialPass", "drawIndexed"}));
}

TEST(RenderNodeTest, DrawIndexedBeforeAnyMaterialDrawsWithTheCurrentState) {
  RecordingGraphicsDriver driver;
  RenderNode node(&driver);
  int buffer = node.createVertexBuffer(9, 3, 0);
  node.drawIndexed(buffer, 4, 0, 3, nullptr, 0);
  EXPECT_EQ(driver.sequence({"applyMaterialPass", "drawIndexed"}), (Names{"drawIndexed"}));
  // An index outside the material list selects nothing.
  node.selectMaterial(5);
  node.selectMaterial(-1);
  EXPECT_EQ(node.currentMaterial, -1);
  EXPECT_EQ(driver.count("applyMaterialPass"), 0);
}

// A driver that never reports the last pass.
struct EndlessPassDriver : RecordingGraphicsDriver {
  bool applyMaterialPass(Material* material, int pass) override {
    RecordingGraphicsDriver::applyMaterialPass(material, pass);
    return false;
  }
};

TEST(RenderNodeTest, DrawIndexedStopsAfterAsManyPassesAsTheMaterialHasLayers) {
  EndlessPassDriver driver;
  RenderNode node(&driver);
  int buffer = node.createVertexBuffer(9, 3, 0);
  node.selectMaterial(node.addMaterial(materialWithLayers({"a.jpg", "b.jpg"})));
  driver.clearCalls();
  node.drawIndexed(buffer, 4, 0, 3, nullptr, 0);
  EXPECT_EQ(driver.count("applyMaterialPass"), 3);
  EXPECT_EQ(driver.count("drawIndexed"), 3);
}

TEST(RenderNodeTest, StateCallsReachOnlyActiveDrivers) {
  RecordingGraphicsDriver active, inactive;
  inactive.active = false;
  RenderNode node(&active);
  node.addDriver(&inactive);
  int buffer = node.createVertexBuffer(1, 3, 0);
  int m = node.addMaterial(materialWithLayers({}));
  LightParameters light;
  Camera camera;
  Matrix4 identity;
  identity.setIdentity();
  active.clearCalls();
  inactive.clearCalls();

  node.selectMaterial(m);
  node.setAmbientLight(0.1f, 0.2f, 0.3f, 1.0f);
  node.enableLighting();
  node.disableLighting();
  node.attachLight(&light);
  node.detachLight(&light);
  node.setCamera(&camera);
  node.setCamera(nullptr);
  node.setProjectionMatrix(identity);
  node.setViewMatrix(identity);
  node.setWorldMatrix(identity);
  node.drawVertexBuffer(buffer, 6, 0, 3);
  node.drawBillboard(Vector3{1.0f, 2.0f, 3.0f}, 0.5f);

  EXPECT_TRUE(inactive.calls.empty());
  EXPECT_EQ(active.sequence(),
            (Names{"applyMaterialPass", "setAmbientLight", "enableLighting", "disableLighting", "addLight",
                   "removeLight", "setCamera", "setViewMatrix", "setProjectionMatrix", "setProjectionMatrix",
                   "setViewMatrix", "setWorldMatrix", "draw", "drawBillboard"}));
  EXPECT_EQ(active.callsOf("addLight")[0].pointer, &light);
  EXPECT_EQ(active.callsOf("setAmbientLight")[0].floats[2], 0.3f);
  EXPECT_EQ(active.callsOf("draw")[0].ints[0], 6);
  EXPECT_EQ(active.callsOf("drawBillboard")[0].floats[0], 0.5f);
  EXPECT_EQ(node.currentMaterial, m);
}

TEST(RenderNodeTest, TextureFromPixelsReturnsTheFirstDriversTexture) {
  RecordingGraphicsDriver first, second;
  second.active = false;
  RenderNode node(&first);
  node.addDriver(&second);
  const std::uint8_t rgb[12] = {};
  Texture* texture = nullptr;
  EXPECT_TRUE(node.createTextureFromPixels(&texture, "pixels", 2, 2, rgb, rgb, true));
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture, first.findTexture("pixels(pixels)"));
  EXPECT_NE(second.findTexture("pixels(pixels)"), nullptr);
  EXPECT_EQ(second.count("createTextureFromPixels"), 1);
}

TEST(RenderNodeTest, FailedGrowthIsAbsorbed) {
  RecordingGraphicsDriver first, second;
  RenderNode node(&first);
  failHeapArrayGrowthAfter(0);
  node.addDriver(&second);
  EXPECT_EQ(node.driverCount, 1);

  // A material the list cannot take is not leaked: the node owns what it is given.
  const int trackedBefore = memoryTrackerState().recordCount;
  Material* refused = TRACKED_NEW Material();
  refused->addLayer("a.jpg", 0, kBlendBase, kAddressWrap, kAddressWrap, nullptr);
  failHeapArrayGrowthAfter(0);
  EXPECT_EQ(node.addMaterial(refused), 0);
  EXPECT_EQ(node.materialCount, 0);
  EXPECT_EQ(first.count("loadTexture"), 0);
  EXPECT_EQ(memoryTrackerState().recordCount, trackedBefore);

  // One binding misses a buffer; later indices stay aligned on both bindings.
  node.addDriver(&second);
  failHeapArrayGrowthAfter(1);
  EXPECT_EQ(node.createVertexBuffer(1, 2, 0), 0);
  EXPECT_EQ(node.createVertexBuffer(9, 2, 0), 1);
  EXPECT_NE(node.vertexBuffer(0, 0), nullptr);
  EXPECT_EQ(node.vertexBuffer(1, 0), nullptr);
  ASSERT_NE(node.vertexBuffer(1, 1), nullptr);
  EXPECT_EQ(node.vertexBuffer(1, 1)->vertexType, 9);
  ColouredVertex vertex;
  node.writeVertex(0, 1, vertex);
  node.drawVertexBuffer(0, 4, 0, 2);
  EXPECT_EQ(second.count("draw"), 0);
}

}  // namespace
