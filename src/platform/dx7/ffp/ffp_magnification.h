// Telling before a draw that one of its stage textures can only be magnified: no 2 x 2 pixel
// block of its triangles samples it at a level of detail above zero. GL then filters with the
// magnification filter on the top level whatever the minification filter says, so a sampler
// without mipmaps gives the very same pixels, and the rasteriser skips the level-of-detail work
// (on a software rasteriser, a fifth or more of the time of large billboards).
#pragma once

#include <cstdint>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/ffp_shader_key.h"
#include "platform/dx7/ffp/ffp_vertex_layout.h"

// A triangle corner: clip-space position (before the divide by w) and texture coordinate in texels.
struct FfpClipCorner {
  double x, y, z, w;
  double u, v;
};

// Whether every pixel block that a triangle can touch in a viewport of this size sees texel
// steps of at most `limit` per pixel, counting |du| + |dv| along x and along y (more than any
// level-of-detail formula GL allows). A triangle outside the view volume, or of zero area,
// touches nothing and passes; one reaching behind the eye fails.
bool ffpTriangleOnlyMagnifies(const FfpClipCorner corners[3], double viewportWidth, double viewportHeight,
                              double limit);

// Whether a draw's stage `stage` texture, textureWidth x textureHeight texels on its top level,
// is only magnified on every triangle of the draw (type, vertices laid out as `layout` and
// indices as for a draw). Lines and points, pre-transformed or blended vertices, generated or
// transformed coordinates and draws of more than kFfpMagnificationTriangles triangles are not
// examined and answer false.
constexpr int kFfpMagnificationTriangles = 256;
bool ffpDrawOnlyMagnifies(const DeviceState& state, const FfpShaderKey& key, int stage, int textureWidth,
                          int textureHeight, D3DPRIMITIVETYPE type, const FfpVertexLayout& layout, const void* vertices,
                          DWORD vertexCount, const WORD* indices, DWORD indexCount);
