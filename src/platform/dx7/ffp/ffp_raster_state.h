// The fixed-function raster state a draw asks GL for (depth, blending, culling, depth bias,
// fill mode, stencil, dither), worked out from the render states, and sending what differs
// from what GL holds.
#pragma once

#include <cstring>
#include <type_traits>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/gl_api.h"

// Fields that do not apply (the depth function with the depth test off...) stay zero, so
// equal states compare equal.
struct FfpRasterState {
  GLenum depthFunc;  // 0: no depth test
  GLuint depthMask;
  GLuint blend;
  GLenum blendSource, blendDestination;
  GLenum cullFace;  // 0: no culling
  GLenum frontFace;
  DWORD zbias;
  GLenum polygonMode;
  GLenum stencilFunc;  // 0: no stencil test
  GLint stencilRef;
  GLuint stencilMask;
  GLenum stencilFail, stencilDepthFail, stencilPass;
  GLuint stencilWriteMask;
  GLuint dither;

  bool operator==(const FfpRasterState& o) const { return std::memcmp(this, &o, sizeof(*this)) == 0; }
};
static_assert(std::has_unique_object_representations_v<FfpRasterState>);

FfpRasterState ffpRasterStateOf(const DeviceState& state);

// Sets r in GL; only what differs from `held` (what GL holds) unless held is null, when it
// sets everything, the fixed parts (blend equation, provoking vertex, colour mask) included.
void ffpApplyRasterState(const FfpRasterState& r, const FfpRasterState* held);
