// Telling that a draw only magnifies its texture, checked without a GL context: whenever a
// triangle is said to be magnified, the texel steps between neighbouring pixels, worked out
// directly from perspective-correct interpolation, stay below one texel; and draws that reach
// behind the eye, minify anywhere, or use coordinates the check cannot follow are never said to.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/dx7/ffp/ffp_magnification.h"

namespace {

constexpr double kWidth = 640, kHeight = 480;

// u, v at screen point (x, y) of a triangle, from its screen-space barycentric coordinates
// weighted by 1/w.
bool interpolate(const FfpClipCorner c[3], double x, double y, double& u, double& v) {
  double X[3], Y[3];
  for (int i = 0; i < 3; ++i) {
    X[i] = (c[i].x / c[i].w + 1) * 0.5 * kWidth;
    Y[i] = (c[i].y / c[i].w + 1) * 0.5 * kHeight;
  }
  const double area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (area == 0) return false;
  double l[3];
  l[1] = ((x - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (y - Y[0])) / area;
  l[2] = ((X[1] - X[0]) * (y - Y[0]) - (x - X[0]) * (Y[1] - Y[0])) / area;
  l[0] = 1 - l[1] - l[2];
  double sum = 0, su = 0, sv = 0;
  for (int i = 0; i < 3; ++i) {
    const double b = l[i] / c[i].w;
    sum += b;
    su += b * c[i].u;
    sv += b * c[i].v;
  }
  u = su / sum;
  v = sv / sum;
  return true;
}

// The largest |du| + |dv| between a point of the triangle on the screen and its right or lower
// neighbour.
double largestStep(const FfpClipCorner c[3], std::mt19937& random) {
  std::uniform_real_distribution<double> unit(0, 1);
  double largest = 0;
  for (int k = 0; k < 400; ++k) {
    double a = unit(random), b = unit(random);
    if (a + b > 1) a = 1 - a, b = 1 - b;
    // A point inside, in clip space, then on the screen.
    double p[4];
    const double* corner[3] = {&c[0].x, &c[1].x, &c[2].x};
    for (int j = 0; j < 4; ++j) p[j] = (1 - a - b) * corner[0][j] + a * corner[1][j] + b * corner[2][j];
    const double x = (p[0] / p[3] + 1) * 0.5 * kWidth, y = (p[1] / p[3] + 1) * 0.5 * kHeight;
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) continue;  // not drawn
    double u0, v0, u1, v1, u2, v2;
    if (!interpolate(c, x, y, u0, v0) || !interpolate(c, x + 1, y, u1, v1) || !interpolate(c, x, y + 1, u2, v2))
      continue;
    largest = std::max({largest, std::fabs(u1 - u0) + std::fabs(v1 - v0), std::fabs(u2 - u0) + std::fabs(v2 - v0)});
  }
  return largest;
}

TEST(FfpMagnification, TrianglesSaidToMagnifyNeverStepPastTheLimit) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> clip(-1.2, 1.2), depth(0.3, 12), tex(0, 1), spread(0.05, 600);
  int magnified = 0, minified = 0;
  for (int t = 0; t < 4000; ++t) {
    FfpClipCorner c[3];
    const double texels = spread(random);
    for (auto& corner : c) {
      const double w = depth(random);
      corner = {clip(random) * w, clip(random) * w, 0.5 * w, w, tex(random) * texels, tex(random) * texels};
    }
    if (ffpTriangleOnlyMagnifies(c, kWidth, kHeight, 0.9)) {
      ++magnified;
      EXPECT_LE(largestStep(c, random), 0.9) << "triangle " << t;
    } else {
      ++minified;
    }
  }
  // Both answers must have come up often enough to mean something.
  EXPECT_GT(magnified, 400);
  EXPECT_GT(minified, 400);
}

TEST(FfpMagnification, TrianglesAnswerByPlaceAndScale) {
  // A quarter of the screen showing 64 texels across: about 2.5 pixels per texel.
  const FfpClipCorner big[3] = {{-0.5, -0.5, 0.5, 1, 0, 0}, {0.5, -0.5, 0.5, 1, 64, 0}, {0.5, 0.5, 0.5, 1, 64, 64}};
  EXPECT_TRUE(ffpTriangleOnlyMagnifies(big, kWidth, kHeight, 0.9));
  // The same texels on a tenth of it: minified.
  FfpClipCorner small[3];
  for (int i = 0; i < 3; ++i) small[i] = {big[i].x * 0.1, big[i].y * 0.1, 0.5, 1, big[i].u, big[i].v};
  EXPECT_FALSE(ffpTriangleOnlyMagnifies(small, kWidth, kHeight, 0.9));
  // Moved wholly off the screen or past the far plane, it draws nothing.
  FfpClipCorner away[3], beyond[3];
  for (int i = 0; i < 3; ++i) {
    away[i] = small[i];
    away[i].x += 3;
    beyond[i] = small[i];
    beyond[i].z = 2;
  }
  EXPECT_TRUE(ffpTriangleOnlyMagnifies(away, kWidth, kHeight, 0.9));
  EXPECT_TRUE(ffpTriangleOnlyMagnifies(beyond, kWidth, kHeight, 0.9));
  // A corner behind the eye: no bound.
  FfpClipCorner behind[3] = {big[0], big[1], big[2]};
  behind[2].w = -1;
  behind[2].z = -0.5;
  EXPECT_FALSE(ffpTriangleOnlyMagnifies(behind, kWidth, kHeight, 0.9));
  behind[2] = big[2];
  behind[2].u = NAN;
  EXPECT_FALSE(ffpTriangleOnlyMagnifies(behind, kWidth, kHeight, 0.9));
}

struct Vertex {
  float x, y, z;
  DWORD colour;
  float u, v;
};
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class FfpDrawMagnification : public ::testing::Test {
 protected:
  void SetUp() override {
    state.reset(640, 480, true);
    state.textureStageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
    state.textureStageStates[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    textures[0].name = 1;
    textures[0].width = textures[0].height = 64;
    // Looking down +z from the origin, 90 degrees.
    D3DMATRIX p{};
    p._11 = 0.75f;
    p._22 = 1.0f;
    p._33 = 100.0f / 99.0f;
    p._34 = 1.0f;
    p._43 = -100.0f / 99.0f;
    state.transforms[D3DTRANSFORMSTATE_PROJECTION] = p;
  }
  bool only(const std::vector<Vertex>& v, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST,
            const std::vector<WORD>& indices = {}) {
    const FfpShaderKey key = ffpBuildShaderKey(state, textures, kFvf, true);
    return ffpDrawOnlyMagnifies(state, key, 0, textures[0].width, textures[0].height, type, FfpVertexLayout(kFvf),
                                v.data(), static_cast<DWORD>(v.size()), indices.empty() ? nullptr : indices.data(),
                                static_cast<DWORD>(indices.size()));
  }
  // A square billboard of half-size s at distance z, the whole texture on it, as a strip.
  static std::vector<Vertex> billboard(float s, float z, float x = 0) {
    return {{x - s, -s, z, ~0u, 0, 1}, {x - s, s, z, ~0u, 0, 0}, {x + s, -s, z, ~0u, 1, 1}, {x + s, s, z, ~0u, 1, 0}};
  }

  DeviceState state;
  FfpTexture textures[kDeviceTextureStages];
};

TEST_F(FfpDrawMagnification, BillboardsNearAndFar) {
  EXPECT_TRUE(only(billboard(1, 4), D3DPT_TRIANGLESTRIP));    // about 80 pixels tall for 64 texels
  EXPECT_FALSE(only(billboard(1, 40), D3DPT_TRIANGLESTRIP));  // about 12 pixels
  // The same corners as an indexed list and a fan.
  EXPECT_TRUE(only(billboard(1, 4), D3DPT_TRIANGLELIST, {0, 1, 2, 2, 1, 3}));
  EXPECT_TRUE(
      only({billboard(1, 4)[0], billboard(1, 4)[1], billboard(1, 4)[3], billboard(1, 4)[2]}, D3DPT_TRIANGLEFAN));
  // One far billboard among near ones spoils the draw.
  std::vector<Vertex> list;
  for (const auto& b : {billboard(1, 4), billboard(1, 40, 2), billboard(1, 5, -1)})
    for (const int i : {0, 1, 2, 2, 1, 3}) list.push_back(b[static_cast<std::size_t>(i)]);
  EXPECT_FALSE(only(list));
  list.erase(list.begin() + 6, list.begin() + 12);
  EXPECT_TRUE(only(list));
  // The world transform counts: scaled down five times, the near billboard is minified.
  state.transforms[D3DTRANSFORMSTATE_WORLD]._11 = state.transforms[D3DTRANSFORMSTATE_WORLD]._22 = 0.2f;
  EXPECT_FALSE(only(billboard(1, 4), D3DPT_TRIANGLESTRIP));
}

TEST_F(FfpDrawMagnification, CoordinatesTheCheckCannotFollowAreNeverMagnified) {
  const auto near = billboard(1, 4);
  ASSERT_TRUE(only(near, D3DPT_TRIANGLESTRIP));
  state.textureStageStates[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT2;
  EXPECT_FALSE(only(near, D3DPT_TRIANGLESTRIP));
  state.textureStageStates[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
  state.textureStageStates[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACEPOSITION;
  EXPECT_FALSE(only(near, D3DPT_TRIANGLESTRIP));
  state.textureStageStates[0][D3DTSS_TEXCOORDINDEX] = 0;
  EXPECT_FALSE(only(near, D3DPT_LINELIST));
  textures[0].width = 0;  // size not known
  EXPECT_FALSE(only(near, D3DPT_TRIANGLESTRIP));
  // Too many triangles to be worth examining.
  textures[0].width = 64;
  std::vector<Vertex> many;
  for (int i = 0; i < kFfpMagnificationTriangles + 1; ++i)
    for (const int k : {0, 1, 2}) many.push_back(near[static_cast<std::size_t>(k)]);
  EXPECT_FALSE(only(many));
}

}  // namespace
