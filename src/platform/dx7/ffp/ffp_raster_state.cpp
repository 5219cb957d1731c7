// Render states to GL raster state.
#include "platform/dx7/ffp/ffp_raster_state.h"

#include <algorithm>

#include "platform/dx7/ffp/ffp_enum_translation.h"

namespace {

// Polygon offset units per ZBIAS step (GL scales units by the depth buffer's resolution).
constexpr float kZBiasUnits = 2.0f;

void setEnabled(GLenum capability, bool on) {
  if (on)
    glEnable(capability);
  else
    glDisable(capability);
}

void applyDepthAndBlend(const FfpRasterState& r, const FfpRasterState& o, bool all) {
  if (all || (r.depthFunc != 0) != (o.depthFunc != 0)) setEnabled(GL_DEPTH_TEST, r.depthFunc != 0);
  if (r.depthFunc != 0 && (all || r.depthFunc != o.depthFunc)) glDepthFunc(r.depthFunc);
  if (all || r.depthMask != o.depthMask) glDepthMask(static_cast<GLboolean>(r.depthMask));
  if (all || r.blend != o.blend) {
    setEnabled(GL_BLEND, r.blend != 0);
    if (all) glBlendEquation(GL_FUNC_ADD);
  }
  if (r.blend != 0 && (all || r.blendSource != o.blendSource || r.blendDestination != o.blendDestination))
    glBlendFunc(r.blendSource, r.blendDestination);
}

void applyFaces(const FfpRasterState& r, const FfpRasterState& o, bool all) {
  if (all || (r.cullFace != 0) != (o.cullFace != 0)) setEnabled(GL_CULL_FACE, r.cullFace != 0);
  if (r.cullFace != 0 && (all || r.cullFace != o.cullFace || r.frontFace != o.frontFace)) {
    glFrontFace(r.frontFace);
    glCullFace(r.cullFace);
  }
  if (all || r.zbias != o.zbias) {
    const bool offset = r.zbias != 0;
    if (all || offset != (o.zbias != 0)) {
      setEnabled(GL_POLYGON_OFFSET_FILL, offset);
      setEnabled(GL_POLYGON_OFFSET_LINE, offset);
      setEnabled(GL_POLYGON_OFFSET_POINT, offset);
    }
    if (offset) glPolygonOffset(0.0f, -kZBiasUnits * static_cast<float>(r.zbias));
  }
  if (all || r.polygonMode != o.polygonMode) glPolygonMode(GL_FRONT_AND_BACK, r.polygonMode);
}

void applyStencil(const FfpRasterState& r, const FfpRasterState& o, bool all) {
  if (all || (r.stencilFunc != 0) != (o.stencilFunc != 0)) setEnabled(GL_STENCIL_TEST, r.stencilFunc != 0);
  if (r.stencilFunc == 0) return;
  if (all || r.stencilFunc != o.stencilFunc || r.stencilRef != o.stencilRef || r.stencilMask != o.stencilMask)
    glStencilFunc(r.stencilFunc, r.stencilRef, r.stencilMask);
  if (all || r.stencilFail != o.stencilFail || r.stencilDepthFail != o.stencilDepthFail ||
      r.stencilPass != o.stencilPass)
    glStencilOp(r.stencilFail, r.stencilDepthFail, r.stencilPass);
  if (all || r.stencilWriteMask != o.stencilWriteMask) glStencilMask(r.stencilWriteMask);
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

void ffpApplyRasterState(const FfpRasterState& r, const FfpRasterState* held) {
  const bool all = held == nullptr;
  const FfpRasterState& o = all ? r : *held;
  applyDepthAndBlend(r, o, all);
  applyFaces(r, o, all);
  applyStencil(r, o, all);
  if (all || r.dither != o.dither) setEnabled(GL_DITHER, r.dither != 0);
  if (all) {
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  }
}
