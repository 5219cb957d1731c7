// Bounding the texel steps per pixel over a draw's triangles, to sample without mipmaps where
// they could never be used.
#include "platform/dx7/ffp/ffp_magnification.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// How far (in pixels, along x and along y) from a drawn pixel's centre the rasteriser may take
// the neighbours it differences for the level of detail: one pixel in a 2 x 2 block, plus room
// for the pixel-centre offset and rounding.
constexpr double kReach = 1.5;

// A linear function of screen position.
struct Plane {
  double a = 0, b = 0, c = 0;
  double at(double x, double y) const { return a * x + b * y + c; }
};

// The linear function taking values f at the screen corners X, Y (twice the signed area area2).
Plane planeThrough(const double X[3], const double Y[3], const double f[3], double area2) {
  Plane p;
  p.a = ((f[1] - f[0]) * (Y[2] - Y[0]) - (f[2] - f[0]) * (Y[1] - Y[0])) / area2;
  p.b = ((f[2] - f[0]) * (X[1] - X[0]) - (f[1] - f[0]) * (X[2] - X[0])) / area2;
  p.c = f[0] - p.a * X[0] - p.b * Y[0];
  return p;
}

template <typename Outside>
bool allOutside(const FfpClipCorner c[3], Outside outside) {
  return outside(c[0]) && outside(c[1]) && outside(c[2]);
}

float floatAt(const std::uint8_t* bytes) {
  float f = 0;
  std::memcpy(&f, bytes, sizeof f);
  return f;
}

}  // namespace

bool ffpTriangleOnlyMagnifies(const FfpClipCorner c[3], double viewportWidth, double viewportHeight, double limit) {
  for (int i = 0; i < 3; ++i)
    if (!std::isfinite(c[i].x) || !std::isfinite(c[i].y) || !std::isfinite(c[i].z) || !std::isfinite(c[i].w) ||
        !std::isfinite(c[i].u) || !std::isfinite(c[i].v))
      return false;
  // Wholly outside one side of the view volume: clipped away.
  if (allOutside(c, [](const FfpClipCorner& p) { return p.x < -p.w; }) ||
      allOutside(c, [](const FfpClipCorner& p) { return p.x > p.w; }) ||
      allOutside(c, [](const FfpClipCorner& p) { return p.y < -p.w; }) ||
      allOutside(c, [](const FfpClipCorner& p) { return p.y > p.w; }) ||
      allOutside(c, [](const FfpClipCorner& p) { return p.z < 0; }) ||
      allOutside(c, [](const FfpClipCorner& p) { return p.z > p.w; }))
    return true;
  // Perspective-correct interpolation: u = U / Q, v = V / Q with U, V and Q (= 1/w) linear
  // across the screen. A corner at or behind the eye leaves Q without a positive bound.
  double X[3], Y[3], q[3], uq[3], vq[3];
  for (int i = 0; i < 3; ++i) {
    if (!(c[i].w > 1e-9)) return false;
    q[i] = 1.0 / c[i].w;
    X[i] = (c[i].x * q[i] + 1.0) * 0.5 * viewportWidth;
    Y[i] = (c[i].y * q[i] + 1.0) * 0.5 * viewportHeight;
    uq[i] = c[i].u * q[i];
    vq[i] = c[i].v * q[i];
  }
  const double area2 = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (area2 == 0) return true;  // covers no pixel
  const Plane Q = planeThrough(X, Y, q, area2);
  const Plane U = planeThrough(X, Y, uq, area2);
  const Plane V = planeThrough(X, Y, vq, area2);
  // du/dx = (Ux Q - U Qx) / Q^2: the numerator is linear, so over the triangle grown by kReach
  // (the convex hull of squares around the corners) its largest size and Q's smallest value
  // are found at those squares' corners.
  double ux = 0, uy = 0, vx = 0, vy = 0;
  double smallestQ = std::numeric_limits<double>::infinity();
  for (int i = 0; i < 3; ++i) {
    for (const double sx : {-kReach, kReach}) {
      for (const double sy : {-kReach, kReach}) {
        const double px = X[i] + sx, py = Y[i] + sy;
        const double qh = Q.at(px, py);
        if (!(qh > 0)) return false;
        smallestQ = std::min(smallestQ, qh);
        const double uh = U.at(px, py), vh = V.at(px, py);
        ux = std::max(ux, std::fabs(U.a * qh - uh * Q.a));
        uy = std::max(uy, std::fabs(U.b * qh - uh * Q.b));
        vx = std::max(vx, std::fabs(V.a * qh - vh * Q.a));
        vy = std::max(vy, std::fabs(V.b * qh - vh * Q.b));
      }
    }
  }
  const double scale = 1.0 / (smallestQ * smallestQ);
  return (ux + vx) * scale <= limit && (uy + vy) * scale <= limit;
}

bool ffpDrawOnlyMagnifies(const DeviceState& state, const FfpShaderKey& key, int stage, int textureWidth,
                          int textureHeight, D3DPRIMITIVETYPE type, const FfpVertexLayout& layout, const void* vertices,
                          DWORD vertexCount, const WORD* indices, DWORD indexCount) {
  if (stage < 0 || stage >= key.stageCount || textureWidth <= 0 || textureHeight <= 0) return false;
  const FfpStageKey& st = key.stages[stage];
  if (key.pretransformed || (layout.fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ || !st.samplesTexture ||
      st.texCoordGen != FfpTexCoordGen::kPassThru || st.transformCount != 0 || st.projected ||
      st.texCoordSet >= key.texCoordCount || key.texCoordSize[st.texCoordSet] < 2)
    return false;
  const D3DVIEWPORT7& vp = state.viewport;
  if (vp.dwWidth == 0 || vp.dwHeight == 0) return false;
  const DWORD count = indices ? indexCount : vertexCount;
  DWORD triangles = 0;
  switch (type) {
    case D3DPT_TRIANGLELIST:
      triangles = count / 3;
      break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      triangles = count >= 3 ? count - 2 : 0;
      break;
    default:
      return false;
  }
  if (triangles > static_cast<DWORD>(kFfpMagnificationTriangles)) return false;

  // Object to clip space, as the vertex program does it: v * world * view * projection.
  const D3DMATRIX* parts[3] = {&state.transforms[D3DTRANSFORMSTATE_WORLD], &state.transforms[D3DTRANSFORMSTATE_VIEW],
                               &state.transforms[D3DTRANSFORMSTATE_PROJECTION]};
  double m[4][4];
  for (int r = 0; r < 4; ++r)
    for (int k = 0; k < 4; ++k) m[r][k] = r == k ? 1.0 : 0.0;
  for (const D3DMATRIX* part : parts) {
    const float* p = &part->_11;
    double product[4][4];
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) {
        double sum = 0;
        for (int j = 0; j < 4; ++j) sum += m[r][j] * static_cast<double>(p[j * 4 + k]);
        product[r][k] = sum;
      }
    std::memcpy(m, product, sizeof m);
  }

  const auto* bytes = static_cast<const std::uint8_t*>(vertices);
  const std::size_t texOffset = static_cast<std::size_t>(layout.texCoordOffset[st.texCoordSet]);
  const std::size_t stride = layout.stride;
  auto corner = [&](DWORD n) {
    const DWORD index = indices ? indices[n] : n;
    const std::uint8_t* vertex = bytes + static_cast<std::size_t>(index) * stride;
    const double in[4] = {floatAt(vertex), floatAt(vertex + 4), floatAt(vertex + 8), 1.0};
    double out[4];
    for (int k = 0; k < 4; ++k) out[k] = in[0] * m[0][k] + in[1] * m[1][k] + in[2] * m[2][k] + in[3] * m[3][k];
    const double u = floatAt(vertex + texOffset) * double(textureWidth);
    const double v = floatAt(vertex + texOffset + 4) * double(textureHeight);
    return FfpClipCorner{out[0], out[1], out[2], out[3], u, v};
  };
  // At most 0.9 texels per pixel leaves room for the rasteriser's own rounding.
  constexpr double kLimit = 0.9;
  for (DWORD t = 0; t < triangles; ++t) {
    DWORD a = 3 * t, b = 3 * t + 1, c = 3 * t + 2;
    if (type == D3DPT_TRIANGLESTRIP) {
      a = t, b = t + 1, c = t + 2;
    } else if (type == D3DPT_TRIANGLEFAN) {
      a = 0, b = t + 1, c = t + 2;
    }
    const FfpClipCorner corners[3] = {corner(a), corner(b), corner(c)};
    if (!ffpTriangleOnlyMagnifies(corners, vp.dwWidth, vp.dwHeight, kLimit)) return false;
  }
  return true;
}
