// Vertex records of the flexible vertex formats the device and fixed-function pipeline tests
// draw with.
#pragma once

#include "platform/dx7/d3d_types.h"

struct ColourVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE
  float x, y, z;
  DWORD colour;
};
constexpr DWORD kColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct NormalVertex {  // D3DFVF_XYZ | D3DFVF_NORMAL
  float x, y, z;
  float nx, ny, nz;
};
constexpr DWORD kNormalFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

struct OneSetVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1
  float x, y, z;
  DWORD colour;
  float u, v;
};
constexpr DWORD kOneSetFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct TexturedVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2
  float x, y, z;
  DWORD colour;
  float u0, v0, u1, v1;
};
constexpr DWORD kTexturedFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2;

struct ScreenVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE
  float x, y, z, rhw;
  DWORD colour;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
