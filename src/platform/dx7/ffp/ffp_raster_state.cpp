// Render states to GL raster state.
#include "platform/dx7/ffp/ffp_raster_state.h"

#include <algorithm>

#include "platform/dx7/ffp/ffp_enum_translation.h"

namespace {

// Polygon offset units per ZBIAS step (GL scales units by the depth buffer's resolution).
constexpr float kZBiasUnits = 2.0f;

void applyDepthAndBlend(const FfpRasterState& r, const FfpRasterState& o, bool all, GlState& gl) {
  gl.enable(GL_DEPTH_TEST, r.depthFunc != 0);
  if (r.depthFunc != 0 && (all || r.depthFunc != o.depthFunc)) glDepthFunc(r.depthFunc);
  gl.depthMask(r.depthMask != 0);
  gl.enable(GL_BLEND, r.blend != 0);
  if (all) glBlendEquation(GL_FUNC_ADD);
  if (r.blend != 0 && (all || r.blendSource != o.blendSource || r.blendDestination != o.blendDestination))
    glBlendFunc(r.blendSource, r.blendDestination);
}

void applyFaces(const FfpRasterState& r, const FfpRasterState& o, bool all, GlState& gl) {
  gl.enable(GL_CULL_FACE, r.cullFace != 0);
  if (r.cullFace != 0 && (all || r.cullFace != o.cullFace || r.frontFace != o.frontFace)) {
    glFrontFace(r.frontFace);
    glCullFace(r.cullFace);
  }
  const bool offset = r.zbias != 0;
  gl.enable(GL_POLYGON_OFFSET_FILL, offset);
  gl.enable(GL_POLYGON_OFFSET_LINE, offset);
  gl.enable(GL_POLYGON_OFFSET_POINT, offset);
  if (offset && (all || r.zbias != o.zbias)) glPolygonOffset(0.0f, -kZBiasUnits * static_cast<float>(r.zbias));
  gl.polygonMode(r.polygonMode);
}

void applyStencil(const FfpRasterState& r, const FfpRasterState& o, bool all, GlState& gl) {
  gl.enable(GL_STENCIL_TEST, r.stencilFunc != 0);
  if (r.stencilFunc == 0) return;
  if (all || r.stencilFunc != o.stencilFunc || r.stencilRef != o.stencilRef || r.stencilMask != o.stencilMask)
    glStencilFunc(r.stencilFunc, r.stencilRef, r.stencilMask);
  if (all || r.stencilFail != o.stencilFail || r.stencilDepthFail != o.stencilDepthFail ||
      r.stencilPass != o.stencilPass)
    glStencilOp(r.stencilFail, r.stencilDepthFail, r.stencilPass);
  gl.stencilMask(r.stencilWriteMask);
}

}  // namespace

FfpRasterState ffpRasterStateOf(const DeviceState& state) {
  FfpRasterState r;
  std::memset(&r, 0, sizeof r);
  const DWORD* rs = state.renderStates;
  if (rs[D3DRENDERSTATE_ZENABLE]) r.depthFunc = ffpCompareFunc(rs[D3DRENDERSTATE_ZFUNC]);
  r.depthMask = rs[D3DRENDERSTATE_ZWRITEENABLE] ? GL_TRUE : GL_FALSE;
  if (rs[D3DRENDERSTATE_ALPHABLENDENABLE]) {
    const FfpBlendFactors f = ffpBlendFactors(rs[D3DRENDERSTATE_SRCBLEND], rs[D3DRENDERSTATE_DESTBLEND]);
    r.blend = 1;
    r.blendSource = f.source;
    r.blendDestination = f.destination;
  }
  const FfpCullMode cull = ffpCullMode(rs[D3DRENDERSTATE_CULLMODE]);
  if (cull.enabled) {
    r.cullFace = cull.cullFace;
    r.frontFace = cull.frontFace;
  }
  r.zbias = std::min<DWORD>(rs[D3DRENDERSTATE_ZBIAS], 16);
  r.polygonMode = ffpPolygonMode(rs[D3DRENDERSTATE_FILLMODE]);
  if (rs[D3DRENDERSTATE_STENCILENABLE]) {
    r.stencilFunc = ffpCompareFunc(rs[D3DRENDERSTATE_STENCILFUNC]);
    r.stencilRef = static_cast<GLint>(rs[D3DRENDERSTATE_STENCILREF]);
    r.stencilMask = rs[D3DRENDERSTATE_STENCILMASK];
    r.stencilFail = ffpStencilOp(rs[D3DRENDERSTATE_STENCILFAIL]);
    r.stencilDepthFail = ffpStencilOp(rs[D3DRENDERSTATE_STENCILZFAIL]);
    r.stencilPass = ffpStencilOp(rs[D3DRENDERSTATE_STENCILPASS]);
    r.stencilWriteMask = rs[D3DRENDERSTATE_STENCILWRITEMASK];
  }
  r.dither = rs[D3DRENDERSTATE_DITHERENABLE] ? GL_TRUE : GL_FALSE;
  return r;
}

void ffpApplyRasterState(const FfpRasterState& r, const FfpRasterState* held, GlState& gl) {
  const bool all = held == nullptr;
  const FfpRasterState& o = all ? r : *held;
  applyDepthAndBlend(r, o, all, gl);
  applyFaces(r, o, all, gl);
  applyStencil(r, o, all, gl);
  gl.enable(GL_DITHER, r.dither != 0);
  gl.colorMask(true, true, true, true);
  if (all) glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
}

bool ffpRasterStateHeld(const FfpRasterState& r, const GlState& gl) {
  const bool offset = r.zbias != 0;
  return gl.enabled(GL_DEPTH_TEST) == (r.depthFunc != 0) && gl.depthMaskOn() == (r.depthMask != 0) &&
         gl.enabled(GL_BLEND) == (r.blend != 0) && gl.enabled(GL_CULL_FACE) == (r.cullFace != 0) &&
         gl.enabled(GL_POLYGON_OFFSET_FILL) == offset && gl.enabled(GL_POLYGON_OFFSET_LINE) == offset &&
         gl.enabled(GL_POLYGON_OFFSET_POINT) == offset && gl.polygonModeHeld() == r.polygonMode &&
         gl.enabled(GL_STENCIL_TEST) == (r.stencilFunc != 0) &&
         (r.stencilFunc == 0 || gl.stencilWriteMask() == static_cast<std::int64_t>(r.stencilWriteMask)) &&
         gl.enabled(GL_DITHER) == (r.dither != 0) && gl.colorMaskBits() == 15;
}
