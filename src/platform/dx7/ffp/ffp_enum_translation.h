// Direct3D 7 state values turned into their OpenGL counterparts: blend factors, compare
// functions, stencil operations, cull modes, fill modes, texture addressing and filtering, colours,
// primitive types, and which texture-stage operations and fog formulas the pipeline emulates.
// Plain functions of values: nothing here touches a GL context.
#pragma once

#include "platform/dx7/d3d_types.h"
#include "platform/dx7/ffp/gl_api.h"

// Primitive type to GL draw mode; false in ok (and GL_POINTS) for an unknown type.
GLenum ffpPrimitiveMode(D3DPRIMITIVETYPE type, bool& ok);

// D3DBLEND_* to a GL blend factor; an unknown value is GL_ONE.
GLenum ffpBlendFactor(DWORD blend);

// The GL source and destination factors of SRCBLEND/DESTBLEND: BOTHSRCALPHA and BOTHINVSRCALPHA
// set both factors and ignore DESTBLEND.
struct FfpBlendFactors {
  GLenum source;
  GLenum destination;
};
FfpBlendFactors ffpBlendFactors(DWORD sourceBlend, DWORD destinationBlend);

// D3DCMP_* to a GL compare function; an unknown value is GL_ALWAYS.
GLenum ffpCompareFunc(DWORD compare);

// D3DSTENCILOP_* to a GL stencil operation; an unknown value is GL_KEEP.
GLenum ffpStencilOp(DWORD op);

// D3DCULL_* to GL culling. D3D's winding is that of its y-down screen; the flipped GL image
// turns D3D clockwise into GL counter-clockwise, so with front faces CCW, GL's front faces are
// D3D's clockwise ones. NONE and unknown values cull nothing.
struct FfpCullMode {
  bool enabled;
  GLenum frontFace;
  GLenum cullFace;
};
FfpCullMode ffpCullMode(DWORD cull);

// D3DFILL_* to a GL polygon mode; SOLID and unknown values fill.
GLenum ffpPolygonMode(DWORD fill);

// D3DTADDRESS_* to a GL wrap mode; WRAP and unknown values repeat.
GLint ffpAddressMode(DWORD address);

// D3DTFN_* with D3DTFP_* to a GL minifying filter (NONE and unknown mip filters: no mipmaps).
GLint ffpMinFilter(DWORD minFilter, DWORD mipFilter);

// D3DTFG_* to a GL magnifying filter: POINT is nearest, everything else linear.
GLint ffpMagFilter(DWORD magFilter);

// Whether a D3DTOP_* value is a texture-stage operation at all (DISABLE..DOTPRODUCT3).
bool ffpKnownTextureOp(DWORD op);

// The operation the generated stages carry out for op: the bump-mapping and premodulation
// operations select their first argument, every other one is itself.
DWORD ffpEmulatedTextureOp(DWORD op);

// Whether a D3DFOG_* value is a fog formula (EXP, EXP2 or LINEAR) rather than NONE or unknown.
bool ffpFogFormula(DWORD mode);

// A D3DCOLOR (0xAARRGGBB) as red, green, blue, alpha floats 0..1.
void ffpColourToFloats(D3DCOLOR colour, float out[4]);
