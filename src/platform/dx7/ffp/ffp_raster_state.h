// The fixed-function raster state a draw asks GL for (depth, blending, culling, depth bias,
// fill mode, stencil, dither), worked out from the render states, and sending what differs
// from what GL holds.
#pragma once

#include <cstring>
#include <type_traits>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/gl_api.h"
#include "platform/dx7/ffp/gl_state.h"

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

// Sets r in GL. The enables, write masks and fill mode go through the context's shared state
// (others change those too); the functions only where they differ from `held`, what the
// pipeline last set, or all of them, the fixed parts (blend equation, provoking vertex)
// included, when held is null.
void ffpApplyRasterState(const FfpRasterState& r, const FfpRasterState* held, GlState& gl);
// Whether the shared state holds r's enables, write masks and fill mode.
bool ffpRasterStateHeld(const FfpRasterState& r, const GlState& gl);
