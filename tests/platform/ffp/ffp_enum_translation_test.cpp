// The Direct3D-to-GL value tables, checked without a GL context: every named value maps to its
// counterpart, and values outside the tables fall back to the documented default.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/dx7/ffp/ffp_enum_translation.h"

namespace {

template <typename Out>
using Table = std::vector<std::pair<DWORD, Out>>;

TEST(FfpEnumTranslation, BlendFactorsMapEveryNamedFactorAndDefaultToOne) {
  const Table<GLenum> table = {
      {D3DBLEND_ZERO, GL_ZERO},
      {D3DBLEND_ONE, GL_ONE},
      {D3DBLEND_SRCCOLOR, GL_SRC_COLOR},
      {D3DBLEND_INVSRCCOLOR, GL_ONE_MINUS_SRC_COLOR},
      {D3DBLEND_SRCALPHA, GL_SRC_ALPHA},
      {D3DBLEND_INVSRCALPHA, GL_ONE_MINUS_SRC_ALPHA},
      {D3DBLEND_DESTALPHA, GL_DST_ALPHA},
      {D3DBLEND_INVDESTALPHA, GL_ONE_MINUS_DST_ALPHA},
      {D3DBLEND_DESTCOLOR, GL_DST_COLOR},
      {D3DBLEND_INVDESTCOLOR, GL_ONE_MINUS_DST_COLOR},
      {D3DBLEND_SRCALPHASAT, GL_SRC_ALPHA_SATURATE},
      {0, GL_ONE},
      {99, GL_ONE},
  };
  for (const auto& [d3d, gl] : table) EXPECT_EQ(ffpBlendFactor(d3d), gl) << "D3DBLEND " << d3d;
}

TEST(FfpEnumTranslation, BothAlphaBlendsSetBothFactorsAndIgnoreTheDestination) {
  struct Row {
    DWORD source, destination;
    GLenum glSource, glDestination;
  };
  const std::vector<Row> rows = {
      {D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
      {D3DBLEND_BOTHSRCALPHA, D3DBLEND_DESTCOLOR, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
      {D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA},
      {D3DBLEND_SRCALPHA, D3DBLEND_ONE, GL_SRC_ALPHA, GL_ONE},  // the fire's additive blend
      {D3DBLEND_ONE, D3DBLEND_ZERO, GL_ONE, GL_ZERO},
      // BOTH* given as the destination is no factor of its own: it falls back to ONE.
      {D3DBLEND_ZERO, D3DBLEND_BOTHSRCALPHA, GL_ZERO, GL_ONE},
  };
  for (const Row& r : rows) {
    const FfpBlendFactors f = ffpBlendFactors(r.source, r.destination);
    EXPECT_EQ(f.source, r.glSource) << r.source << "/" << r.destination;
    EXPECT_EQ(f.destination, r.glDestination) << r.source << "/" << r.destination;
  }
}

TEST(FfpEnumTranslation, CompareFunctionsAndStencilOperations) {
  const Table<GLenum> compare = {
      {D3DCMP_NEVER, GL_NEVER},      {D3DCMP_LESS, GL_LESS},       {D3DCMP_EQUAL, GL_EQUAL},
      {D3DCMP_LESSEQUAL, GL_LEQUAL}, {D3DCMP_GREATER, GL_GREATER}, {D3DCMP_NOTEQUAL, GL_NOTEQUAL},
      {D3DCMP_GREATEREQUAL, GL_GEQUAL}, {D3DCMP_ALWAYS, GL_ALWAYS}, {0, GL_ALWAYS}, {9, GL_ALWAYS},
  };
  for (const auto& [d3d, gl] : compare) EXPECT_EQ(ffpCompareFunc(d3d), gl) << "D3DCMP " << d3d;

  // The saturating D3D operations are GL's plain INCR/DECR; the wrapping ones are GL's _WRAP.
  const Table<GLenum> stencil = {
      {D3DSTENCILOP_KEEP, GL_KEEP},       {D3DSTENCILOP_ZERO, GL_ZERO},      {D3DSTENCILOP_REPLACE, GL_REPLACE},
      {D3DSTENCILOP_INCRSAT, GL_INCR},    {D3DSTENCILOP_DECRSAT, GL_DECR},   {D3DSTENCILOP_INVERT, GL_INVERT},
      {D3DSTENCILOP_INCR, GL_INCR_WRAP},  {D3DSTENCILOP_DECR, GL_DECR_WRAP}, {0, GL_KEEP},
      {42, GL_KEEP},
  };
  for (const auto& [d3d, gl] : stencil) EXPECT_EQ(ffpStencilOp(d3d), gl) << "D3DSTENCILOP " << d3d;
}

TEST(FfpEnumTranslation, CullModesCullTheFacesOfTheFlippedImage) {
  // Counter-clockwise is the front in GL; D3D's clockwise faces arrive as GL's front faces.
  const FfpCullMode cw = ffpCullMode(D3DCULL_CW);
  EXPECT_TRUE(cw.enabled);
  EXPECT_EQ(cw.frontFace, static_cast<GLenum>(GL_CCW));
  EXPECT_EQ(cw.cullFace, static_cast<GLenum>(GL_FRONT));
  const FfpCullMode ccw = ffpCullMode(D3DCULL_CCW);
  EXPECT_TRUE(ccw.enabled);
  EXPECT_EQ(ccw.frontFace, static_cast<GLenum>(GL_CCW));
  EXPECT_EQ(ccw.cullFace, static_cast<GLenum>(GL_BACK));
  for (DWORD none : {static_cast<DWORD>(D3DCULL_NONE), DWORD{0}, DWORD{7}}) EXPECT_FALSE(ffpCullMode(none).enabled);
}

TEST(FfpEnumTranslation, FillModesAndPrimitiveTypes) {
  const Table<GLenum> fill = {
      {D3DFILL_POINT, GL_POINT}, {D3DFILL_WIREFRAME, GL_LINE}, {D3DFILL_SOLID, GL_FILL}, {0, GL_FILL}, {4, GL_FILL}};
  for (const auto& [d3d, gl] : fill) EXPECT_EQ(ffpPolygonMode(d3d), gl) << "D3DFILL " << d3d;

  const Table<GLenum> primitives = {
      {D3DPT_POINTLIST, GL_POINTS},        {D3DPT_LINELIST, GL_LINES},
      {D3DPT_LINESTRIP, GL_LINE_STRIP},    {D3DPT_TRIANGLELIST, GL_TRIANGLES},
      {D3DPT_TRIANGLESTRIP, GL_TRIANGLE_STRIP}, {D3DPT_TRIANGLEFAN, GL_TRIANGLE_FAN},
  };
  for (const auto& [d3d, gl] : primitives) {
    bool ok = false;
    EXPECT_EQ(ffpPrimitiveMode(static_cast<D3DPRIMITIVETYPE>(d3d), ok), gl) << "D3DPT " << d3d;
    EXPECT_TRUE(ok) << "D3DPT " << d3d;
  }
  for (int unknown : {0, 7, 255}) {
    bool ok = true;
    ffpPrimitiveMode(static_cast<D3DPRIMITIVETYPE>(unknown), ok);
    EXPECT_FALSE(ok) << "D3DPT " << unknown;
  }
}

TEST(FfpEnumTranslation, TextureAddressingAndFilters) {
  const Table<GLint> address = {{D3DTADDRESS_WRAP, GL_REPEAT},
                                {D3DTADDRESS_MIRROR, GL_MIRRORED_REPEAT},
                                {D3DTADDRESS_CLAMP, GL_CLAMP_TO_EDGE},
                                {D3DTADDRESS_BORDER, GL_CLAMP_TO_BORDER},
                                {0, GL_REPEAT},
                                {17, GL_REPEAT}};
  for (const auto& [d3d, gl] : address) EXPECT_EQ(ffpAddressMode(d3d), gl) << "D3DTADDRESS " << d3d;

  struct Row {
    DWORD minFilter, mipFilter;
    GLint gl;
  };
  // Anything but POINT minifies linearly (anisotropic included); NONE and unknown mip filters
  // leave the mipmaps out.
  const std::vector<Row> rows = {
      {D3DTFN_POINT, D3DTFP_NONE, GL_NEAREST},
      {D3DTFN_LINEAR, D3DTFP_NONE, GL_LINEAR},
      {D3DTFN_ANISOTROPIC, D3DTFP_NONE, GL_LINEAR},
      {D3DTFN_POINT, D3DTFP_POINT, GL_NEAREST_MIPMAP_NEAREST},
      {D3DTFN_LINEAR, D3DTFP_POINT, GL_LINEAR_MIPMAP_NEAREST},
      {D3DTFN_POINT, D3DTFP_LINEAR, GL_NEAREST_MIPMAP_LINEAR},
      {D3DTFN_LINEAR, D3DTFP_LINEAR, GL_LINEAR_MIPMAP_LINEAR},
      {D3DTFN_LINEAR, 0, GL_LINEAR},
      {D3DTFN_POINT, 9, GL_NEAREST},
  };
  for (const Row& r : rows) EXPECT_EQ(ffpMinFilter(r.minFilter, r.mipFilter), r.gl) << r.minFilter << "/" << r.mipFilter;

  EXPECT_EQ(ffpMagFilter(D3DTFG_POINT), GL_NEAREST);
  for (DWORD linear : {D3DTFG_LINEAR, D3DTFG_FLATCUBIC, D3DTFG_GAUSSIANCUBIC, D3DTFG_ANISOTROPIC})
    EXPECT_EQ(ffpMagFilter(linear), GL_LINEAR) << "D3DTFG " << linear;
}

TEST(FfpEnumTranslation, TextureOperationsAndFogFormulas) {
  for (DWORD op = D3DTOP_DISABLE; op <= D3DTOP_DOTPRODUCT3; ++op) EXPECT_TRUE(ffpKnownTextureOp(op)) << op;
  for (DWORD op : {DWORD{0}, DWORD{D3DTOP_DOTPRODUCT3 + 1}, DWORD{0xFFFFFFFF}}) EXPECT_FALSE(ffpKnownTextureOp(op)) << op;

  // The bump-mapping and premodulation operations pass their first argument on; the rest are kept.
  for (DWORD op : {D3DTOP_PREMODULATE, D3DTOP_BUMPENVMAP, D3DTOP_BUMPENVMAPLUMINANCE})
    EXPECT_EQ(ffpEmulatedTextureOp(op), static_cast<DWORD>(D3DTOP_SELECTARG1)) << op;
  for (DWORD op : {D3DTOP_DISABLE, D3DTOP_MODULATE, D3DTOP_ADD, D3DTOP_BLENDTEXTUREALPHAPM, D3DTOP_DOTPRODUCT3})
    EXPECT_EQ(ffpEmulatedTextureOp(op), op) << op;

  EXPECT_FALSE(ffpFogFormula(D3DFOG_NONE));
  EXPECT_TRUE(ffpFogFormula(D3DFOG_EXP));
  EXPECT_TRUE(ffpFogFormula(D3DFOG_EXP2));
  EXPECT_TRUE(ffpFogFormula(D3DFOG_LINEAR));
  EXPECT_FALSE(ffpFogFormula(D3DFOG_LINEAR + 1));
}

}  // namespace
