// Direct3D 7 state values to OpenGL values, one switch per kind of value.
#include "platform/dx7/ffp/ffp_enum_translation.h"

GLenum ffpPrimitiveMode(D3DPRIMITIVETYPE type, bool& ok) {
  ok = true;
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST:
      return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
  }
  ok = false;
  return GL_POINTS;
}

GLenum ffpBlendFactor(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_ONE:
      return GL_ONE;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    default:
      return GL_ONE;
  }
}

FfpBlendFactors ffpBlendFactors(DWORD sourceBlend, DWORD destinationBlend) {
  if (sourceBlend == D3DBLEND_BOTHSRCALPHA) return {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
  if (sourceBlend == D3DBLEND_BOTHINVSRCALPHA) return {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA};
  return {ffpBlendFactor(sourceBlend), ffpBlendFactor(destinationBlend)};
}

GLenum ffpCompareFunc(DWORD compare) {
  switch (compare) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_LESS;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_LEQUAL;
    case D3DCMP_GREATER:
      return GL_GREATER;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum ffpStencilOp(DWORD op) {
  switch (op) {
    case D3DSTENCILOP_ZERO:
      return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
      return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
      return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
      return GL_DECR;
    case D3DSTENCILOP_INVERT:
      return GL_INVERT;
    case D3DSTENCILOP_INCR:
      return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
      return GL_DECR_WRAP;
    default:
      return GL_KEEP;
  }
}

FfpCullMode ffpCullMode(DWORD cull) {
  switch (cull) {
    case D3DCULL_CW:
      return {true, GL_CCW, GL_FRONT};
    case D3DCULL_CCW:
      return {true, GL_CCW, GL_BACK};
    default:
      return {false, GL_CCW, GL_BACK};
  }
}

GLenum ffpPolygonMode(DWORD fill) {
  switch (fill) {
    case D3DFILL_POINT:
      return GL_POINT;
    case D3DFILL_WIREFRAME:
      return GL_LINE;
    default:
      return GL_FILL;
  }
}

GLint ffpAddressMode(DWORD address) {
  switch (address) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_REPEAT;
  }
}

GLint ffpMinFilter(DWORD minFilter, DWORD mipFilter) {
  const bool linear = minFilter != D3DTFN_POINT;
  switch (mipFilter) {
    case D3DTFP_POINT:
      return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case D3DTFP_LINEAR:
      return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    default:
      return linear ? GL_LINEAR : GL_NEAREST;
  }
}

GLint ffpMagFilter(DWORD magFilter) { return magFilter == D3DTFG_POINT ? GL_NEAREST : GL_LINEAR; }

bool ffpKnownTextureOp(DWORD op) { return op >= D3DTOP_DISABLE && op <= D3DTOP_DOTPRODUCT3; }

DWORD ffpEmulatedTextureOp(DWORD op) {
  switch (op) {
    case D3DTOP_PREMODULATE:
    case D3DTOP_BUMPENVMAP:
    case D3DTOP_BUMPENVMAPLUMINANCE:
      return D3DTOP_SELECTARG1;
    default:
      return op;
  }
}

bool ffpFogFormula(DWORD mode) { return mode >= D3DFOG_EXP && mode <= D3DFOG_LINEAR; }

void ffpColourToFloats(D3DCOLOR c, float out[4]) {
  out[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
  out[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>(c & 0xFF) / 255.0f;
  out[3] = static_cast<float>(c >> 24) / 255.0f;
}
