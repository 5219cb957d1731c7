// The complete state of a Direct3D 7 device: render states, texture stage states, transforms,
// viewport, material, lights, clip planes and clip status, with the device's defaults.
// The device object stores Set* values here and reads them back for Get*; the fixed-function
// pipeline draws from it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/dx7/d3d_types.h"

constexpr DWORD kDeviceTextureStages = 8;
constexpr DWORD kDeviceTransformSlots = 24;  // D3DTRANSFORMSTATE values 0..23
constexpr DWORD kDeviceLightSlots = 128;
constexpr DWORD kDeviceClipPlanes = 32;

struct DeviceState {
  DWORD renderStates[D3DRENDERSTATE_SLOTCOUNT];
  DWORD textureStageStates[kDeviceTextureStages][D3DTSS_SLOTCOUNT];
  D3DMATRIX transforms[kDeviceTransformSlots];
  D3DVIEWPORT7 viewport;
  D3DMATERIAL7 material;
  D3DLIGHT7 lights[kDeviceLightSlots];
  bool lightSet[kDeviceLightSlots];      // SetLight was called for the slot
  bool lightEnabled[kDeviceLightSlots];  // LightEnable(TRUE)
  D3DVALUE clipPlanes[kDeviceClipPlanes][4];
  D3DCLIPSTATUS clipStatus;
  // Names the states that shape the generated shaders (render states, texture stage states,
  // lights and their enables) as they are now: whoever changes one of them gives a new number
  // from a process-wide sequence, so that drawing can tell nothing changed there. 0 means
  // unknown: drawing then works the shaping out afresh every time.
  std::uint64_t shapeVersion;

  DeviceState() { reset(); }

  // Back to the device defaults. The viewport covers width x height (the render target) with
  // depth 0..1; ZENABLE starts TRUE when a depth buffer is attached.
  void reset(DWORD width = 0, DWORD height = 0, bool hasDepthBuffer = true) {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    DWORD* rs = renderStates;
    rs[D3DRENDERSTATE_ANTIALIAS] = D3DANTIALIAS_NONE;
    rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = TRUE;
    rs[D3DRENDERSTATE_ZENABLE] = hasDepthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    rs[D3DRENDERSTATE_ALPHATESTENABLE] = FALSE;
    rs[D3DRENDERSTATE_LASTPIXEL] = TRUE;
    rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    rs[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRENDERSTATE_ALPHAREF] = 0;
    rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_DITHERENABLE] = FALSE;
    rs[D3DRENDERSTATE_ALPHABLENDENABLE] = FALSE;
    rs[D3DRENDERSTATE_FOGENABLE] = FALSE;
    rs[D3DRENDERSTATE_SPECULARENABLE] = FALSE;
    rs[D3DRENDERSTATE_FOGCOLOR] = 0;
    rs[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_NONE;
    rs[D3DRENDERSTATE_FOGSTART] = std::bit_cast<DWORD>(0.0f);
    rs[D3DRENDERSTATE_FOGEND] = std::bit_cast<DWORD>(1.0f);
    rs[D3DRENDERSTATE_FOGDENSITY] = std::bit_cast<DWORD>(1.0f);
    rs[D3DRENDERSTATE_COLORKEYENABLE] = FALSE;
    rs[D3DRENDERSTATE_ZBIAS] = 0;
    rs[D3DRENDERSTATE_RANGEFOGENABLE] = FALSE;
    rs[D3DRENDERSTATE_STENCILENABLE] = FALSE;
    rs[D3DRENDERSTATE_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRENDERSTATE_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRENDERSTATE_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRENDERSTATE_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_STENCILREF] = 0;
    rs[D3DRENDERSTATE_STENCILMASK] = 0xFFFFFFFFu;
    rs[D3DRENDERSTATE_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRENDERSTATE_CLIPPING] = TRUE;
    rs[D3DRENDERSTATE_LIGHTING] = TRUE;
    rs[D3DRENDERSTATE_EXTENTS] = FALSE;
    rs[D3DRENDERSTATE_AMBIENT] = 0;
    rs[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_NONE;
    rs[D3DRENDERSTATE_COLORVERTEX] = TRUE;
    rs[D3DRENDERSTATE_LOCALVIEWER] = TRUE;
    rs[D3DRENDERSTATE_NORMALIZENORMALS] = FALSE;
    rs[D3DRENDERSTATE_COLORKEYBLENDENABLE] = FALSE;
    rs[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRENDERSTATE_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRENDERSTATE_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRENDERSTATE_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRENDERSTATE_VERTEXBLEND] = D3DVBLEND_DISABLE;
    rs[D3DRENDERSTATE_CLIPPLANEENABLE] = 0;

    for (DWORD s = 0; s < kDeviceTextureStages; ++s) {
      DWORD* ts = textureStageStates[s];
      ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
      ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
      ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
      ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
      ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
      ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
      ts[D3DTSS_TEXCOORDINDEX] = s;
      ts[D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
      ts[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
      ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
      ts[D3DTSS_MAGFILTER] = D3DTFG_POINT;
      ts[D3DTSS_MINFILTER] = D3DTFN_POINT;
      ts[D3DTSS_MIPFILTER] = D3DTFP_NONE;
      ts[D3DTSS_MAXANISOTROPY] = 1;
      ts[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
    }

    for (D3DMATRIX& m : transforms) m = identity();

    viewport.dwX = 0;
    viewport.dwY = 0;
    viewport.dwWidth = width;
    viewport.dwHeight = height;
    viewport.dvMinZ = 0.0f;
    viewport.dvMaxZ = 1.0f;
  }

  // Render states holding floats keep their bit patterns.
  D3DVALUE renderStateFloat(D3DRENDERSTATETYPE state) const { return std::bit_cast<D3DVALUE>(renderStates[state]); }
  void setRenderStateFloat(D3DRENDERSTATETYPE state, D3DVALUE value) {
    renderStates[state] = std::bit_cast<DWORD>(value);
  }

  // Stores a texture stage state; D3DTSS_ADDRESS sets both ADDRESSU and ADDRESSV as well.
  // False for a stage or state outside the record.
  bool setStageState(DWORD stage, DWORD type, DWORD value) {
    if (stage >= kDeviceTextureStages || type >= D3DTSS_SLOTCOUNT) return false;
    textureStageStates[stage][type] = value;
    if (type == D3DTSS_ADDRESS) {
      textureStageStates[stage][D3DTSS_ADDRESSU] = value;
      textureStageStates[stage][D3DTSS_ADDRESSV] = value;
    }
    return true;
  }

  DWORD renderState(D3DRENDERSTATETYPE state) const { return renderStates[state]; }
  DWORD stageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const { return textureStageStates[stage][type]; }
  const D3DMATRIX& transform(D3DTRANSFORMSTATETYPE type) const { return transforms[type]; }

  // A light that LightEnable turns on before any SetLight: white directional light along +z.
  static D3DLIGHT7 defaultLight() {
    D3DLIGHT7 l{};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse.r = l.dcvDiffuse.g = l.dcvDiffuse.b = 1.0f;
    l.dvDirection.z = 1.0f;
    return l;
  }

  static D3DMATRIX identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
  }
};
