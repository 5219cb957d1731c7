// Drawing speed of the Direct3D driver on the GL fixed-function pipeline: a 50 000-triangle
// textured, lit mesh drawn in two material passes per frame (a two-layer material on a device
// with one texture stage), headless, at 640 x 480 and 1280 x 720. Reports frames per second and
// how many GL programs are built per frame once the first frames have warmed the shader cache.
// A second run draws the mesh row by row, its vertex buffer written anew each frame, as animated
// objects come: many small indexed draws whose vertices stream into GL at a new place each time,
// at a small size where the per-draw cost shows.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/light_parameters.h"
#include "gfx/material.h"
#include "gfx/texture.h"
#include "gfx/vertex.h"
#include "gfx/vertex_buffer.h"
#include "math/matrix4.h"
#include "platform/dx7/dx7_pipeline.h"
#include "platform/dx7/dx7_platform.h"
#include "platform/dx7/ffp/ffp_pipeline.h"
#include "platform/win32/win32_sdl.h"

namespace {

// Grid of kColumns x kRows quads, two triangles each: 50 000 triangles on 25 351 vertices
// (within reach of 16-bit indices).
constexpr int kColumns = 250;
constexpr int kRows = 100;
constexpr int kTriangles = kColumns * kRows * 2;
constexpr int kVertexCount = (kColumns + 1) * (kRows + 1);
constexpr int kIndexCount = kTriangles * 3;
constexpr int kVertexType = 10;  // position, normal, one texture set
constexpr int kTriangleList = 4;
constexpr int kWarmUpFrames = 5;
constexpr std::uint32_t kClearColour = 0xff203040u;
constexpr int kTextureSide = 256;

static_assert(kVertexCount <= 65536);

using MeshVertex = NormalTexVertex<1>;

// A gently waved sheet 4 x 3 units in the z = 0 plane, so the light shades it unevenly.
void writeMesh(VertexBuffer& buffer) {
  buffer.lock();
  for (int row = 0; row <= kRows; ++row) {
    for (int column = 0; column <= kColumns; ++column) {
      const float u = static_cast<float>(column) / kColumns;
      const float v = static_cast<float>(row) / kRows;
      const float x = -2.0f + 4.0f * u;
      const float y = 1.5f - 3.0f * v;
      const float wave = 0.15f * std::sin(6.0f * x) * std::cos(5.0f * y);
      // Normal of z = wave(x, y), pointing towards the camera (-z).
      const float dx = 0.9f * std::cos(6.0f * x) * std::cos(5.0f * y);
      const float dy = -0.75f * std::sin(6.0f * x) * std::sin(5.0f * y);
      const float length = std::sqrt(dx * dx + dy * dy + 1.0f);
      MeshVertex vertex;
      vertex.x = x;
      vertex.y = y;
      vertex.z = wave;
      vertex.nx = dx / length;
      vertex.ny = dy / length;
      vertex.nz = -1.0f / length;
      vertex.texCoords[0][0] = 4.0f * u;
      vertex.texCoords[0][1] = 3.0f * v;
      buffer.writeVertex(vertex, row * (kColumns + 1) + column);
    }
  }
  buffer.unlock();
}

std::vector<std::uint16_t> meshIndices() {
  std::vector<std::uint16_t> indices;
  indices.reserve(kIndexCount);
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const auto a = static_cast<std::uint16_t>(row * (kColumns + 1) + column);
      const auto b = static_cast<std::uint16_t>(a + 1);
      const auto c = static_cast<std::uint16_t>(a + kColumns + 1);
      const auto d = static_cast<std::uint16_t>(c + 1);
      indices.insert(indices.end(), {a, b, c, c, b, d});
    }
  }
  return indices;
}

// RGB bytes of a checker (base) or a soft stripe pattern (detail).
std::vector<std::uint8_t> texturePixels(bool detail) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kTextureSide) * kTextureSide * 3);
  for (int y = 0; y < kTextureSide; ++y) {
    for (int x = 0; x < kTextureSide; ++x) {
      std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kTextureSide + x) * 3];
      if (detail) {
        const auto level = static_cast<std::uint8_t>(160 + 95 * ((x + y) % 32) / 31);
        p[0] = p[1] = p[2] = level;
      } else {
        const bool dark = ((x / 32) + (y / 32)) % 2 == 0;
        p[0] = dark ? 40 : 230;
        p[1] = dark ? 90 : 200;
        p[2] = static_cast<std::uint8_t>(x);
      }
    }
  }
  return rgb;
}

// Left-handed perspective projection (z 0..1 between the planes).
Matrix4 perspective(float fovY, float aspect, float zNear, float zFar) {
  Matrix4 m{};
  const float ys = 1.0f / std::tan(fovY / 2.0f);
  m.m[0] = ys / aspect;
  m.m[5] = ys;
  m.m[10] = zFar / (zFar - zNear);
  m.m[11] = 1.0f;
  m.m[14] = -zNear * zFar / (zFar - zNear);
  return m;
}

// The driver with the mesh, its material, textures and light, ready to draw frames.
class DrawScene {
 public:
  ~DrawScene() {
    delete buffer;
    if (driver != nullptr) driver->removeLight(&light);
    driver.reset();
    dx7ResetAdapterProfile();
  }

  // False (with the reason in *why) when any step of the set-up fails.
  bool open(int width, int height, const char** why) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    win32SetHeadless(true);
    AdapterProfile profile = dx7DefaultAdapterProfile();
    AdapterEntry adapter;
    adapter.description = "Benchmark adapter";
    adapter.driverName = "display";
    adapter.modes = {{static_cast<DWORD>(width), static_cast<DWORD>(height), 32}};
    profile.adapters = {adapter};
    // One texture per pass: the two layers take two passes.
    profile.maxSimultaneousTextures = 1;
    profile.maxTextureBlendStages = 1;
    dx7SetAdapterProfile(profile);

    driver = std::make_unique<Direct3DDriver>(nullptr, "Draw benchmark");
    VideoPreset preset;
    preset.width = width;
    preset.height = height;
    preset.bitsPerPixel = 32;
    driver->presetVideoOptions(preset);
    if (!driver->chooseVideoMode(0, 0)) return fail(why, "no video mode");
    if (!driver->initialize()) return fail(why, "driver set-up failed");
    if (driver->maxTextureStages != 1) return fail(why, "device offers more than one stage");

    if (!driver->createVertexBuffer(&buffer, kVertexType, kVertexCount, 0)) return fail(why, "no vertex buffer");
    writeMesh(*buffer);
    indices = meshIndices();

    const std::vector<std::uint8_t> base = texturePixels(false);
    const std::vector<std::uint8_t> detail = texturePixels(true);
    Texture* texture = nullptr;
    if (!driver->createTextureFromPixels(&texture, "bench_base", kTextureSide, kTextureSide, base.data(), nullptr,
                                         true))
      return fail(why, "base texture");
    texture = nullptr;
    if (!driver->createTextureFromPixels(&texture, "bench_detail", kTextureSide, kTextureSide, detail.data(), nullptr,
                                         true))
      return fail(why, "detail texture");

    material.setDiffuse(0xffffffu);
    material.setSpecular(0);
    material.setLuminous(0);
    material.setSmoothShading(true);
    material.setDepthWrite(true);
    material.setDepthFunction(4);  // less-or-equal: the second pass lands on the first
    material.setCullMode(0);
    Matrix4 detailScale;
    detailScale.setIdentity();
    detailScale.m[0] = 3.0f;
    detailScale.m[5] = 3.0f;
    if (material.addLayer("bench_base", 0, kBlendBase, kAddressWrap, kAddressWrap, nullptr) == nullptr ||
        material.addLayer("bench_detail", 0, kBlendMultiply, kAddressWrap, kAddressWrap, &detailScale) == nullptr)
      return fail(why, "material layers");

    light.setType(LightParameters::kDirectional);
    light.setDirection(Vector3{0.4f, -0.5f, 0.75f});
    light.setDiffuse(1.0f, 0.95f, 0.9f, 1.0f);
    light.setAmbient(0.0f, 0.0f, 0.0f, 1.0f);
    if (driver->addLight(&light) < 0) return fail(why, "no light slot");
    driver->setAmbientLight(0.25f, 0.25f, 0.3f, 1.0f);
    driver->enableLighting();

    Matrix4 view;
    view.setIdentity();
    view.m[14] = 3.0f;  // the sheet 3 units ahead of the camera
    driver->setViewMatrix(view);
    driver->setProjectionMatrix(
        perspective(1.0471976f, static_cast<float>(width) / static_cast<float>(height), 0.1f, 100.0f));
    return true;
  }

  // One frame; returns the number of passes drawn.
  int frame() {
    driver->clear(kClearColour, 1.0f, 0, nullptr, true);
    driver->beginScene();
    Matrix4 world;
    world.setRotationY(0.3f * std::sin(0.05f * static_cast<float>(frameNumber++)));
    driver->setWorldMatrix(world);
    int passes = 0;
    for (int pass = 0; pass < material.layerCount; ++pass) {
      const bool last = driver->applyMaterialPass(&material, pass);
      buffer->drawIndexed(kTriangleList, 0, kVertexCount, indices.data(), kIndexCount);
      ++passes;
      if (last) break;
    }
    driver->endScene();
    driver->present(false);
    return passes;
  }

  // One frame of the mesh drawn row by row after its vertices were written anew.
  void rowFrame() {
    buffer->lock();
    buffer->unlock();
    driver->clear(kClearColour, 1.0f, 0, nullptr, true);
    driver->beginScene();
    for (int pass = 0; pass < material.layerCount; ++pass) {
      const bool last = driver->applyMaterialPass(&material, pass);
      for (int row = 0; row < kRows; ++row)
        buffer->drawIndexed(kTriangleList, row * (kColumns + 1), 2 * (kColumns + 1), indices.data(), kColumns * 6);
      if (last) break;
    }
    driver->endScene();
    driver->present(false);
  }

  // Waits for the GL work queued so far by reading the presented frame back; fills `pixels`.
  bool finishFrames() { return dx7ReadPresentedFrame(pixels, &shownWidth, &shownHeight); }

  std::unique_ptr<Direct3DDriver> driver;
  VertexBuffer* buffer = nullptr;
  std::vector<std::uint16_t> indices;
  Material material;
  LightParameters light;
  std::vector<std::uint32_t> pixels;
  int shownWidth = 0;
  int shownHeight = 0;
  int frameNumber = 0;

 private:
  static bool fail(const char** why, const char* reason) {
    *why = reason;
    return false;
  }
};

int programsCompiled() {
  FixedFunctionPipeline* pipeline = dx7Pipeline();
  return pipeline != nullptr ? pipeline->programsCompiled() : -1;
}

// Arguments: width, height. Each iteration is one frame of two passes.
void BM_DrawTwoPassMesh(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  DrawScene scene;
  const char* why = "";
  if (!scene.open(width, height, &why)) {
    state.SkipWithError(why);
    return;
  }

  int passes = 0;
  for (int i = 0; i < kWarmUpFrames; ++i) passes = scene.frame();
  if (!scene.finishFrames() || scene.shownWidth != width || scene.shownHeight != height) {
    state.SkipWithError("nothing was presented");
    return;
  }
  // The mesh covers the middle of the frame: a clear-coloured centre means nothing was drawn.
  const std::uint32_t centre = scene.pixels[static_cast<std::size_t>(height / 2) * width + width / 2];
  if ((centre & 0xffffffu) == (kClearColour & 0xffffffu)) {
    state.SkipWithError("the mesh was not drawn");
    return;
  }
  if (passes != 2) {
    state.SkipWithError("the material did not take two passes");
    return;
  }
  const int programsWarm = programsCompiled();
  if (programsWarm < 0) {
    state.SkipWithError("no fixed-function pipeline");
    return;
  }

  // The GL work is waited for before the first and within the last timed frame, so queued
  // frames neither leak into nor escape the measurement.
  std::int64_t frames = 0;
  for (auto _ : state) {
    scene.frame();
    if (++frames == state.max_iterations) scene.finishFrames();
  }
  const int programsAfter = programsCompiled();

  state.counters["fps"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.counters["triangles/frame"] = static_cast<double>(kTriangles * passes);
  // Programs of the whole process: the pipeline and its cache outlive each run's driver.
  state.counters["programs_total"] = programsAfter;
  state.counters["programs/frame"] =
      frames > 0 ? static_cast<double>(programsAfter - programsWarm) / static_cast<double>(frames) : 0.0;
}
BENCHMARK(BM_DrawTwoPassMesh)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: width, height. Each iteration is one frame of kRows draws a pass (the first row's
// indices serve every row, each drawn from its own first vertex).
void BM_DrawRewrittenMeshByRows(benchmark::State& state) {
  DrawScene scene;
  const char* why = "";
  if (!scene.open(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), &why)) {
    state.SkipWithError(why);
    return;
  }
  for (int i = 0; i < kWarmUpFrames; ++i) scene.rowFrame();
  if (!scene.finishFrames()) {
    state.SkipWithError("nothing was presented");
    return;
  }
  std::int64_t frames = 0;
  for (auto _ : state) {
    scene.rowFrame();
    if (++frames == state.max_iterations) scene.finishFrames();
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.counters["draws/frame"] = 2 * kRows;
}
BENCHMARK(BM_DrawRewrittenMeshByRows)->Args({160, 120})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
