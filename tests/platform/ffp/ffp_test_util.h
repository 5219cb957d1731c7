// Shared fixture and vertex helpers for the fixed-function pipeline rendering tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/ffp_pipeline.h"
#include "platform/dx7/ffp/gl_api.h"
#include "support/d3d_test_vertices.h"
#include "support/gl_test_context.h"

// Expected channel of a product of two bytes.
inline int mulByte(int a, int b) { return static_cast<int>(std::lround(a * b / 255.0)); }
inline int clampByte(double v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(std::lround(v))); }
inline std::uint32_t argb(int a, int r, int g, int b) {
  return (static_cast<std::uint32_t>(a) << 24) | (static_cast<std::uint32_t>(r) << 16) |
         (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}
inline std::uint32_t argbF(double a, double r, double g, double b) {
  return argb(clampByte(a * 255.0), clampByte(r * 255.0), clampByte(g * 255.0), clampByte(b * 255.0));
}

#define EXPECT_ARGB_NEAR(actual, expected, tolerance) \
  EXPECT_PRED3(argbNear, actual, expected, tolerance) \
      << std::hex << "actual 0x" << (actual) << " expected 0x" << (expected) << std::dec

class FfpTest : public ::testing::Test {
 public:
  static constexpr int kSize = 64;

  void SetUp() override {
    if (!gl.create(kSize, kSize, depthBits())) {
      // CI sets VELLUMITE_REQUIRE_GL=1: a missing context is a failure there, not a skip.
      const char* require = std::getenv("VELLUMITE_REQUIRE_GL");
      if (require && std::string(require) == "1") FAIL() << "no GL context: " << gl.error();
      GTEST_SKIP() << "no GL context: " << gl.error();
    }
    // The back end speaks the context's dialect.
    glDialectSetEs(gl.es());
    glDialectSetEsClipDistances(gl.esClipDistances());
    glDialectSetEsDepthClamp(gl.esDepthClamp());
    state.reset(kSize, kSize, true);
    state.renderStates[D3DRENDERSTATE_LIGHTING] = FALSE;
    state.renderStates[D3DRENDERSTATE_CULLMODE] = D3DCULL_NONE;
    gl.clear(0xFF000000);
  }
  void TearDown() override {
    for (unsigned int t : createdTextures) gl.deleteTexture(t);
    pipeline.releaseGlResources();
  }
  virtual GlTestContext::Depth depthBits() const { return GlTestContext::Depth::Bits24; }

  template <typename V>
  bool draw(const std::vector<V>& v, DWORD fvf, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST) {
    const bool ok =
        pipeline.draw(state, textures, type, fvf, v.data(), static_cast<DWORD>(v.size()), nullptr, 0, nullptr, 0);
    EXPECT_EQ(GlTestContext::glErrorName(), nullptr);
    EXPECT_STREQ(pipeline.lastError(), "");
    return ok;
  }

  // Two triangles covering x0..x1, y0..y1 (clip space with identity transforms) at depth z.
  template <typename V, typename Make>
  static std::vector<V> quad(float x0, float y0, float x1, float y1, Make make) {
    return {make(x0, y1), make(x1, y1), make(x1, y0), make(x0, y1), make(x1, y0), make(x0, y0)};
  }
  static std::vector<ColourVertex> colourQuad(DWORD colour, float z = 0.5f) {
    return quad<ColourVertex>(-1, -1, 1, 1, [&](float x, float y) { return ColourVertex{x, y, z, colour}; });
  }
  static std::vector<NormalVertex> normalQuad(float nx, float ny, float nz, float z = 0.5f) {
    return quad<NormalVertex>(-1, -1, 1, 1, [&](float x, float y) { return NormalVertex{x, y, z, nx, ny, nz}; });
  }
  static std::vector<TexturedVertex> texturedQuad(DWORD colour, float u, float v, float u1 = 0, float v1 = 0) {
    return quad<TexturedVertex>(-1, -1, 1, 1,
                                [&](float x, float y) { return TexturedVertex{x, y, 0.5f, colour, u, v, u1, v1}; });
  }

  unsigned int texture(int w, int h, const std::vector<std::uint32_t>& pixels, bool mipmaps = false) {
    const unsigned int t = gl.createTexture(w, h, pixels.data(), mipmaps);
    createdTextures.push_back(t);
    return t;
  }

  // Left-handed perspective projection (near plane zn, far plane zf, 90 degrees).
  static D3DMATRIX perspective(float zn, float zf) {
    D3DMATRIX m{};
    m._11 = 1.0f;
    m._22 = 1.0f;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
  }

  std::uint32_t centre() { return gl.readPixel(kSize / 2, kSize / 2); }

  GlTestContext gl;
  DeviceState state;
  FfpTexture textures[kDeviceTextureStages];
  FixedFunctionPipeline pipeline;
  std::vector<unsigned int> createdTextures;
};
