// Rasterisation conventions: image orientation, pixel centres, culling winding, flat and Gouraud
// shading, unlit colours, blending, depth and z-bias.
#include <cstring>

#include "ffp_test_util.h"
#include "platform/dx7/ffp/ffp_enum_translation.h"

namespace {

using FfpRasterTest = FfpTest;

TEST_F(FfpRasterTest, UnlitColoursPassAndImageIsTopRowFirst) {
  // Upper half of the clip square is the top of the image: rows 0..31.
  auto top = quad<ColourVertex>(-1, 0, 1, 1, [](float x, float y) { return ColourVertex{x, y, 0.5f, 0xFF336699u}; });
  ASSERT_TRUE(draw(top, kColourFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(20, 5), 0xFF336699u, 1);
  EXPECT_ARGB_NEAR(gl.readPixel(20, 31), 0xFF336699u, 1);
  EXPECT_ARGB_NEAR(gl.readPixel(20, 32), 0xFF000000u, 0);
  EXPECT_ARGB_NEAR(gl.readPixel(20, 60), 0xFF000000u, 0);

  // No diffuse colour in the vertices and lighting off: white.
  state.renderStates[D3DRENDERSTATE_LIGHTING] = FALSE;
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), 0xFFFFFFFFu, 0);
}

TEST_F(FfpRasterTest, PixelCentresSitAtIntegerCoordinates) {
  // Pre-transformed quad from x = 0.25 to 32.25: D3D covers the centres 1..32.
  auto make = [](float x, float y) { return ScreenVertex{x, y, 0.5f, 1.0f, 0xFFFFFFFFu}; };
  std::vector<ScreenVertex> v = {make(0.25f, 0), make(32.25f, 0),  make(32.25f, 64),
                                 make(0.25f, 0), make(32.25f, 64), make(0.25f, 64)};
  ASSERT_TRUE(draw(v, kScreenFvf));
  EXPECT_EQ(gl.readPixel(0, 10), 0xFF000000u);
  EXPECT_EQ(gl.readPixel(1, 10), 0xFFFFFFFFu);
  EXPECT_EQ(gl.readPixel(32, 10), 0xFFFFFFFFu);
  EXPECT_EQ(gl.readPixel(33, 10), 0xFF000000u);

  // A transformed quad over the left half (screen x 0..32) covers columns 0..31 exactly.
  gl.clear(0xFF000000);
  auto left = quad<ColourVertex>(-1, -1, 0, 1, [](float x, float y) { return ColourVertex{x, y, 0.5f, 0xFFFFFFFFu}; });
  ASSERT_TRUE(draw(left, kColourFvf));
  EXPECT_EQ(gl.readPixel(31, 40), 0xFFFFFFFFu);
  EXPECT_EQ(gl.readPixel(32, 40), 0xFF000000u);
}

TEST_F(FfpRasterTest, ViewportPlacesTheImageFromTheTopLeft) {
  state.viewport = D3DVIEWPORT7{8, 4, 16, 16, 0.0f, 1.0f};
  ASSERT_TRUE(draw(colourQuad(0xFFFFFFFFu), kColourFvf));
  EXPECT_EQ(gl.readPixel(8, 4), 0xFFFFFFFFu);
  EXPECT_EQ(gl.readPixel(23, 19), 0xFFFFFFFFu);
  EXPECT_EQ(gl.readPixel(7, 4), 0xFF000000u);
  EXPECT_EQ(gl.readPixel(8, 3), 0xFF000000u);
  EXPECT_EQ(gl.readPixel(24, 19), 0xFF000000u);
  EXPECT_EQ(gl.readPixel(8, 20), 0xFF000000u);
}

TEST_F(FfpRasterTest, CullingFollowsScreenWinding) {
  // Top-left, top-right, bottom-left: clockwise on D3D's y-down screen.
  const std::vector<ColourVertex> clockwise = {
      {-1, 1, 0.5f, 0xFFFFFFFFu}, {1, 1, 0.5f, 0xFFFFFFFFu}, {-1, -1, 0.5f, 0xFFFFFFFFu}};
  const std::vector<ColourVertex> counterClockwise = {clockwise[0], clockwise[2], clockwise[1]};
  const std::vector<ScreenVertex> screenClockwise = {
      {0, 0, 0.5f, 1, 0xFFFFFFFFu}, {kSize, 0, 0.5f, 1, 0xFFFFFFFFu}, {0, kSize, 0.5f, 1, 0xFFFFFFFFu}};
  const std::vector<ScreenVertex> screenCounterClockwise = {screenClockwise[0], screenClockwise[2], screenClockwise[1]};
  struct Case {
    DWORD cull;
    bool clockwiseDrawn;
    bool counterClockwiseDrawn;
  };
  for (const Case& c :
       {Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true}, Case{D3DCULL_NONE, true, true}}) {
    state.renderStates[D3DRENDERSTATE_CULLMODE] = c.cull;
    gl.clear(0xFF000000);
    ASSERT_TRUE(draw(clockwise, kColourFvf));
    EXPECT_EQ(gl.readPixel(10, 10) == 0xFFFFFFFFu, c.clockwiseDrawn) << "cull mode " << c.cull;
    gl.clear(0xFF000000);
    ASSERT_TRUE(draw(counterClockwise, kColourFvf));
    EXPECT_EQ(gl.readPixel(10, 10) == 0xFFFFFFFFu, c.counterClockwiseDrawn) << "cull mode " << c.cull;
    // Pre-transformed vertices wind on the same screen.
    gl.clear(0xFF000000);
    ASSERT_TRUE(draw(screenClockwise, kScreenFvf));
    EXPECT_EQ(gl.readPixel(10, 10) == 0xFFFFFFFFu, c.clockwiseDrawn) << "cull mode " << c.cull;
    gl.clear(0xFF000000);
    ASSERT_TRUE(draw(screenCounterClockwise, kScreenFvf));
    EXPECT_EQ(gl.readPixel(10, 10) == 0xFFFFFFFFu, c.counterClockwiseDrawn) << "cull mode " << c.cull;
  }
}

TEST_F(FfpRasterTest, FlatShadingTakesTheFirstVertexGouraudInterpolates) {
  const std::vector<ColourVertex> tri = {
      {-1, 1, 0.5f, 0xFFFF0000u}, {1, 1, 0.5f, 0xFF00FF00u}, {-1, -1, 0.5f, 0xFF0000FFu}};
  state.renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_FLAT;
  ASSERT_TRUE(draw(tri, kColourFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 16), 0xFFFF0000u, 0);
  EXPECT_ARGB_NEAR(gl.readPixel(40, 4), 0xFFFF0000u, 0);

  // Gouraud at screen point (16, 16): weights 0.5 (first), 0.25, 0.25.
  state.renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
  ASSERT_TRUE(draw(tri, kColourFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 16), argb(255, 128, 64, 64), 2);

  // A fan's triangle i takes its colour from vertex i + 1.
  gl.clear(0xFF000000);
  state.renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_FLAT;
  const std::vector<ColourVertex> fan = {
      {-1, -1, 0.5f, 0xFFFF0000u}, {-1, 1, 0.5f, 0xFF00FF00u}, {1, 1, 0.5f, 0xFF0000FFu}, {1, -1, 0.5f, 0xFFFFFFFFu}};
  ASSERT_TRUE(draw(fan, kColourFvf, D3DPT_TRIANGLEFAN));
  EXPECT_ARGB_NEAR(gl.readPixel(10, 30), 0xFF00FF00u, 0);
  EXPECT_ARGB_NEAR(gl.readPixel(50, 30), 0xFF0000FFu, 0);

  // A strip's triangle i from vertex i; both triangles wind clockwise, so culling
  // counter-clockwise ones keeps them.
  gl.clear(0xFF000000);
  state.renderStates[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  const std::vector<ColourVertex> strip = {
      {-1, -1, 0.5f, 0xFFFF0000u}, {-1, 1, 0.5f, 0xFF00FF00u}, {1, -1, 0.5f, 0xFF0000FFu}, {1, 1, 0.5f, 0xFFFFFFFFu}};
  ASSERT_TRUE(draw(strip, kColourFvf, D3DPT_TRIANGLESTRIP));
  EXPECT_ARGB_NEAR(gl.readPixel(10, 50), 0xFFFF0000u, 0);
  EXPECT_ARGB_NEAR(gl.readPixel(50, 10), 0xFF00FF00u, 0);

  // Indexed, the first index's vertex.
  gl.clear(0xFF000000);
  const WORD indices[3] = {2, 0, 1};
  ASSERT_TRUE(pipeline.draw(state, textures, D3DPT_TRIANGLELIST, kColourFvf, tri.data(), 3, indices, 3, nullptr, 0));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 16), 0xFF0000FFu, 0);
  state.renderStates[D3DRENDERSTATE_CULLMODE] = D3DCULL_NONE;
}

TEST_F(FfpRasterTest, BlendFactors) {
  // Destination (0, 128, 255) with alpha 0xC0; source (255, 64, 0) with alpha 0x40. Every
  // named factor, the BOTH* pairs, and factors the tables lack (taken as ONE).
  const std::uint32_t dst = 0xC00080FFu;
  const int sa = 0x40;
  const int source[3] = {255, 64, 0}, target[3] = {0, 128, 255};
  constexpr double da = 0xC0 / 255.0;
  struct Case {
    DWORD src, dst;
    double (*f)(double source, double destination, double alpha);
  };
  const Case cases[] = {
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, [](double s, double d, double a) { return s * a + d * (1 - a); }},
      {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, [](double s, double d, double a) { return s * (1 - a) + d * a; }},
      {D3DBLEND_ONE, D3DBLEND_ONE, [](double s, double d, double) { return s + d; }},
      {D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, [](double s, double d, double) { return s * d + d * s; }},
      {D3DBLEND_INVDESTCOLOR, D3DBLEND_INVDESTCOLOR,
       [](double s, double d, double) { return s * (1 - d) + d * (1 - d); }},
      {D3DBLEND_ZERO, D3DBLEND_ONE, [](double, double d, double) { return d; }},
      {D3DBLEND_INVSRCCOLOR, D3DBLEND_ZERO, [](double s, double, double) { return s * (1 - s); }},
      {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, [](double s, double d, double) { return s * da + d * (1 - da); }},
      {D3DBLEND_SRCALPHASAT, D3DBLEND_ZERO, [](double s, double, double a) { return s * (a < 1 - da ? a : 1 - da); }},
      // BOTHSRCALPHA and BOTHINVSRCALPHA set both factors whatever the destination says.
      {D3DBLEND_BOTHSRCALPHA, D3DBLEND_DESTCOLOR, [](double s, double d, double a) { return s * a + d * (1 - a); }},
      {D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE, [](double s, double d, double a) { return s * (1 - a) + d * a; }},
      // As a destination BOTH* is no factor of its own, nor is an unknown value: ONE.
      {D3DBLEND_ZERO, D3DBLEND_BOTHSRCALPHA, [](double, double d, double) { return d; }},
      {99, D3DBLEND_ZERO, [](double s, double, double) { return s; }},
  };
  for (const Case& c : cases) {
    state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = FALSE;
    ASSERT_TRUE(draw(colourQuad(dst), kColourFvf));
    state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = TRUE;
    state.renderStates[D3DRENDERSTATE_SRCBLEND] = c.src;
    state.renderStates[D3DRENDERSTATE_DESTBLEND] = c.dst;
    ASSERT_TRUE(draw(colourQuad(argb(sa, source[0], source[1], source[2])), kColourFvf));
    int expected[3];
    for (int i = 0; i < 3; ++i) expected[i] = clampByte(255.0 * c.f(source[i] / 255.0, target[i] / 255.0, sa / 255.0));
    const std::uint32_t got = centre();
    EXPECT_ARGB_NEAR(got & 0x00FFFFFFu, argb(0, expected[0], expected[1], expected[2]), 2)
        << "blend " << c.src << "/" << c.dst;
  }
}

TEST_F(FfpRasterTest, EveryDepthCompareFunction) {
  // A drawing at depth 0.5, then one nearer, at the same depth and farther under each function.
  struct Case {
    DWORD func;
    bool nearer, same, farther;
  };
  const Case cases[] = {
      {D3DCMP_NEVER, false, false, false},
      {D3DCMP_LESS, true, false, false},
      {D3DCMP_EQUAL, false, true, false},
      {D3DCMP_LESSEQUAL, true, true, false},
      {D3DCMP_GREATER, false, false, true},
      {D3DCMP_NOTEQUAL, true, false, true},
      {D3DCMP_GREATEREQUAL, false, true, true},
      {D3DCMP_ALWAYS, true, true, true},
      {0, true, true, true},  // no function of the platform: always
  };
  for (const Case& c : cases) {
    const float depths[3] = {0.3f, 0.5f, 0.7f};
    const bool drawn[3] = {c.nearer, c.same, c.farther};
    for (int i = 0; i < 3; ++i) {
      gl.clear(0xFF000000);
      state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
      ASSERT_TRUE(draw(colourQuad(0xFFFF0000u, 0.5f), kColourFvf));
      state.renderStates[D3DRENDERSTATE_ZFUNC] = c.func;
      ASSERT_TRUE(draw(colourQuad(0xFF00FF00u, depths[i]), kColourFvf));
      EXPECT_EQ(centre(), drawn[i] ? 0xFF00FF00u : 0xFFFF0000u) << "function " << c.func << " at " << depths[i];
    }
  }
}

TEST_F(FfpRasterTest, FillModes) {
  // A quad over the middle: solid fills it, wireframe draws its edges only, points its corners.
  auto middle = quad<ColourVertex>(-0.5f, -0.5f, 0.5f, 0.5f, [](float x, float y) {
    return ColourVertex{x, y, 0.5f, 0xFFFFFFFFu};
  });
  for (DWORD mode : {static_cast<DWORD>(D3DFILL_SOLID), DWORD{0}, DWORD{4}}) {
    gl.clear(0xFF000000);
    state.renderStates[D3DRENDERSTATE_FILLMODE] = mode;
    ASSERT_TRUE(draw(middle, kColourFvf));
    EXPECT_EQ(centre(), 0xFFFFFFFFu) << "fill mode " << mode << " fills";
  }
  gl.clear(0xFF000000);
  state.renderStates[D3DRENDERSTATE_FILLMODE] = D3DFILL_WIREFRAME;
  ASSERT_TRUE(draw(middle, kColourFvf));
  EXPECT_EQ(gl.readPixel(40, 20), 0xFF000000u) << "inside a wireframe quad";
  bool edge = false;
  for (int x = 15; x <= 17; ++x) edge = edge || gl.readPixel(x, 32) == 0xFFFFFFFFu;
  EXPECT_TRUE(edge) << "on its left edge";
  // A strip's triangles each have their edges: the diagonal between them too.
  gl.clear(0xFF000000);
  const std::vector<ColourVertex> strip = {{-0.5f, -0.5f, 0.5f, 0xFFFFFFFFu},
                                           {-0.5f, 0.5f, 0.5f, 0xFFFFFFFFu},
                                           {0.5f, -0.5f, 0.5f, 0xFFFFFFFFu},
                                           {0.5f, 0.5f, 0.5f, 0xFFFFFFFFu}};
  ASSERT_TRUE(draw(strip, kColourFvf, D3DPT_TRIANGLESTRIP));
  bool diagonal = false;
  for (int x = 31; x <= 33; ++x) diagonal = diagonal || gl.readPixel(x, 32) == 0xFFFFFFFFu;
  EXPECT_TRUE(diagonal) << "on the strip's diagonal";
  EXPECT_EQ(gl.readPixel(40, 22), 0xFF000000u) << "inside a wireframe strip";
  gl.clear(0xFF000000);
  state.renderStates[D3DRENDERSTATE_FILLMODE] = D3DFILL_POINT;
  ASSERT_TRUE(draw(middle, kColourFvf));
  EXPECT_EQ(gl.readPixel(16, 32), 0xFF000000u) << "points draw no edges";
  state.renderStates[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
}

TEST_F(FfpRasterTest, DepthFunctionAndWriteMask) {
  state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESS;
  ASSERT_TRUE(draw(colourQuad(0xFFFF0000u, 0.5f), kColourFvf));
  ASSERT_TRUE(draw(colourQuad(0xFF00FF00u, 0.7f), kColourFvf));  // behind: fails
  EXPECT_EQ(centre(), 0xFFFF0000u);
  state.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = FALSE;
  ASSERT_TRUE(draw(colourQuad(0xFF0000FFu, 0.3f), kColourFvf));  // in front, depth not written
  EXPECT_EQ(centre(), 0xFF0000FFu);
  state.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
  ASSERT_TRUE(draw(colourQuad(0xFF00FF00u, 0.4f), kColourFvf));  // still in front of 0.5
  EXPECT_EQ(centre(), 0xFF00FF00u);
  state.renderStates[D3DRENDERSTATE_ZENABLE] = D3DZB_FALSE;
  ASSERT_TRUE(draw(colourQuad(0xFFFFFFFFu, 0.9f), kColourFvf));  // no depth test at all
  EXPECT_EQ(centre(), 0xFFFFFFFFu);
  state.renderStates[D3DRENDERSTATE_ZENABLE] = D3DZB_TRUE;
  state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_GREATER;
  ASSERT_TRUE(draw(colourQuad(0xFFFF00FFu, 0.6f), kColourFvf));
  EXPECT_EQ(centre(), 0xFFFF00FFu);
}

TEST_F(FfpRasterTest, ViewportDepthRangeScalesTransformedDepthOnly) {
  // MinZ 0.5, MaxZ 1: a transformed vertex at z 0.25 lands at depth 0.625, behind a buffer cleared to
  // 0.6; a pre-transformed vertex's z is already the depth buffer value and passes.
  state.viewport = D3DVIEWPORT7{0, 0, kSize, kSize, 0.5f, 1.0f};
  state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESS;
  gl.clear(0xFF000000, 0.6f);
  ASSERT_TRUE(draw(colourQuad(0xFFFF0000u, 0.25f), kColourFvf));
  EXPECT_EQ(centre(), 0xFF000000u);
  auto make = [](float x, float y) { return ScreenVertex{x, y, 0.25f, 1.0f, 0xFF00FF00u}; };
  ASSERT_TRUE(draw(quad<ScreenVertex>(0, 0, kSize, kSize, make), kScreenFvf));
  EXPECT_EQ(centre(), 0xFF00FF00u);
}

// The same slanted triangle drawn three times in perspective with z-bias 0, 1, 2 and a strict
// depth test: every later pass must win.
void expectLaterPassWins(FfpTest& t, FixedFunctionPipeline& pipeline, DeviceState& state, GlTestContext& gl,
                         FfpTexture* textures) {
  gl.clear(0xFF000000);
  state.transforms[D3DTRANSFORMSTATE_PROJECTION] = FfpTest::perspective(0.5f, 1000.0f);
  state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESS;
  const DWORD colours[3] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
  for (DWORD pass = 0; pass < 3; ++pass) {
    const std::vector<ColourVertex> tri = {
        {-30, 20, 40, colours[pass]}, {30, 25, 90, colours[pass]}, {-20, -30, 60, colours[pass]}};
    state.renderStates[D3DRENDERSTATE_ZBIAS] = pass;
    // Each pass runs a different generated program, as material passes do.
    state.renderStates[D3DRENDERSTATE_SHADEMODE] = pass == 1 ? D3DSHADE_FLAT : D3DSHADE_GOURAUD;
    state.textureStageStates[0][D3DTSS_COLORARG1] = pass == 2 ? D3DTA_DIFFUSE : D3DTA_TEXTURE;
    state.textureStageStates[0][D3DTSS_COLOROP] = pass == 2 ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE;
    ASSERT_TRUE(pipeline.draw(state, textures, D3DPT_TRIANGLELIST, kColourFvf, tri.data(), 3, nullptr, 0, nullptr, 0));
    const std::vector<std::uint32_t> image = gl.readImage();
    int drawn = 0, wrong = 0;
    for (std::uint32_t p : image) {
      if (p == 0xFF000000u) continue;
      ++drawn;
      if (p != colours[pass]) ++wrong;
    }
    EXPECT_GT(drawn, 300) << "pass " << pass;
    EXPECT_EQ(wrong, 0) << "pass " << pass;
  }
  (void)t;
}

TEST_F(FfpRasterTest, ZBiasLetsTheLaterPassWin) { expectLaterPassWins(*this, pipeline, state, gl, textures); }

TEST_F(FfpRasterTest, DepthWithoutClipControl) {
  // Contexts without clip control get z remapped in the shader: same depth results.
  FixedFunctionPipeline remapping(false);
  state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESS;
  auto drawAt = [&](DWORD colour, float z) {
    const std::vector<ColourVertex> v = colourQuad(colour, z);
    EXPECT_TRUE(remapping.draw(state, textures, D3DPT_TRIANGLELIST, kColourFvf, v.data(), 6, nullptr, 0, nullptr, 0));
  };
  drawAt(0xFFFF0000u, 0.5f);
  drawAt(0xFF00FF00u, 0.51f);
  EXPECT_EQ(centre(), 0xFFFF0000u);
  drawAt(0xFF0000FFu, 0.49f);
  EXPECT_EQ(centre(), 0xFF0000FFu);
  drawAt(0xFFFFFFFFu, 1.01f);   // beyond the far plane: clipped
  drawAt(0xFFFFFFFFu, -0.01f);  // before the near plane: clipped
  EXPECT_EQ(centre(), 0xFF0000FFu);
  expectLaterPassWins(*this, remapping, state, gl, textures);
  remapping.releaseGlResources();
}

class FfpRasterTest16 : public FfpTest {
  GlTestContext::Depth depthBits() const override { return GlTestContext::Depth::Bits16; }
};

TEST_F(FfpRasterTest16, ZBiasLetsTheLaterPassWinOnA16BitDepthBuffer) {
  expectLaterPassWins(*this, pipeline, state, gl, textures);
}

TEST_F(FfpRasterTest, AlphaTestDiscards) {
  state.renderStates[D3DRENDERSTATE_ALPHATESTENABLE] = TRUE;
  state.renderStates[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
  state.renderStates[D3DRENDERSTATE_ALPHAREF] = 0x80;
  ASSERT_TRUE(draw(colourQuad(0x7FFF0000u), kColourFvf));
  EXPECT_EQ(centre(), 0xFF000000u);
  ASSERT_TRUE(draw(colourQuad(0x80FF0000u), kColourFvf));
  EXPECT_EQ(centre() & 0x00FFFFFFu, 0x00FF0000u);
}

}  // namespace

namespace {

TEST_F(FfpRasterTest, PretransformedVerticesAreNotClippedInDepth) {
  // z outside 0..1 is still drawn with depth testing off. An ES context clamps depth where it
  // can, else the shader clamps it per vertex: that first, before GL's clamping is ever on.
  state.renderStates[D3DRENDERSTATE_ZENABLE] = D3DZB_FALSE;
  for (bool contextClamps : {false, true}) {
    if (!gl.es() && !contextClamps) continue;
    glDialectSetEsDepthClamp(contextClamps && gl.esDepthClamp());
    for (float z : {1.5f, -0.5f}) {
      gl.clear(0xFF000000);
      auto make = [z](float x, float y) { return ScreenVertex{x, y, z, 1.0f, 0xFF20A040u}; };
      std::vector<ScreenVertex> v = {make(0, 64), make(64, 64), make(64, 0), make(0, 64), make(64, 0), make(0, 0)};
      ASSERT_TRUE(draw(v, kScreenFvf));
      EXPECT_ARGB_NEAR(centre(), 0xFF20A040u, 1) << "z " << z << (contextClamps ? "" : ", clamped by the shader");
    }
  }
}

TEST_F(FfpRasterTest, EmptyOrInvertedViewportDepthRangeIsMinZPlusAThousandth) {
  // Depth buffer at 0.5005: with MinZ = MaxZ = 0.5 the near plane lands on 0.5 (passes) and the
  // far plane on 0.501 (fails), as a range of 0.5..0.501 does.
  state.renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
  for (float maxZ : {0.5f, 0.2f}) {
    state.viewport.dvMinZ = 0.5f;
    state.viewport.dvMaxZ = maxZ;
    gl.clear(0xFF000000, 0.5005f);
    ASSERT_TRUE(draw(colourQuad(0xFFFFFFFFu, 0.0f), kColourFvf));
    EXPECT_ARGB_NEAR(centre(), 0xFFFFFFFFu, 0) << "max z " << maxZ;
    gl.clear(0xFF000000, 0.5005f);
    ASSERT_TRUE(draw(colourQuad(0xFFFFFFFFu, 0.999f), kColourFvf));
    EXPECT_ARGB_NEAR(centre(), 0xFF000000u, 0) << "max z " << maxZ;
  }
}

}  // namespace

namespace {

TEST_F(FfpRasterTest, UserClipPlanesCutInWorldSpace) {
  // The plane x >= 0 (world space) keeps the right half.
  const float plane[4] = {1.0f, 0.0f, 0.0f, 0.0f};
  std::memcpy(state.clipPlanes[2], plane, sizeof(plane));
  ASSERT_TRUE(draw(colourQuad(0xFFFFFFFFu), kColourFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(48, 32), 0xFFFFFFFFu, 0);
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), 0xFFFFFFFFu, 0);  // stored but not enabled
  gl.clear(0xFF000000);
  state.renderStates[D3DRENDERSTATE_CLIPPLANEENABLE] = 1u << 2;
  ASSERT_TRUE(draw(colourQuad(0xFFFFFFFFu), kColourFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(48, 32), 0xFFFFFFFFu, 0);
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), 0xFF000000u, 0);

  // A view mirroring x shows world x >= 0 on the left of the screen.
  D3DMATRIX view = DeviceState::identity();
  view._11 = -1.0f;
  state.transforms[D3DTRANSFORMSTATE_VIEW] = view;
  gl.clear(0xFF000000);
  ASSERT_TRUE(draw(colourQuad(0xFFFFFFFFu), kColourFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), 0xFFFFFFFFu, 0);
  EXPECT_ARGB_NEAR(gl.readPixel(48, 32), 0xFF000000u, 0);

  // Pre-transformed vertices are not clipped by them.
  gl.clear(0xFF000000);
  auto make = [](float x, float y) { return ScreenVertex{x, y, 0.5f, 1.0f, 0xFFFFFFFFu}; };
  std::vector<ScreenVertex> v = {make(0, 64), make(64, 64), make(64, 0), make(0, 64), make(64, 0), make(0, 0)};
  ASSERT_TRUE(draw(v, kScreenFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(48, 32), 0xFFFFFFFFu, 0);
}

// What no test context can draw: the stencil operations (no context has a stencil buffer), where
// the saturating D3D operations are GL's plain INCR/DECR and the wrapping ones GL's _WRAP, and
// the platform's filters GL lacks (anisotropic and cubic), which fall to linear.
TEST(FfpTranslationFallbacks, StencilOperationsAndFiltersWithoutAGlCounterpart) {
  EXPECT_EQ(ffpStencilOp(D3DSTENCILOP_INCRSAT), static_cast<GLenum>(GL_INCR));
  EXPECT_EQ(ffpStencilOp(D3DSTENCILOP_DECRSAT), static_cast<GLenum>(GL_DECR));
  EXPECT_EQ(ffpStencilOp(D3DSTENCILOP_INCR), static_cast<GLenum>(GL_INCR_WRAP));
  EXPECT_EQ(ffpStencilOp(D3DSTENCILOP_DECR), static_cast<GLenum>(GL_DECR_WRAP));
  EXPECT_EQ(ffpStencilOp(D3DSTENCILOP_INVERT), static_cast<GLenum>(GL_INVERT));
  EXPECT_EQ(ffpStencilOp(42), static_cast<GLenum>(GL_KEEP));
  EXPECT_EQ(ffpMinFilter(D3DTFN_ANISOTROPIC, D3DTFP_NONE), GL_LINEAR);
  EXPECT_EQ(ffpMinFilter(D3DTFN_POINT, 9), GL_NEAREST) << "an unknown mip filter leaves the mipmaps out";
  for (DWORD linear : {D3DTFG_FLATCUBIC, D3DTFG_GAUSSIANCUBIC, D3DTFG_ANISOTROPIC})
    EXPECT_EQ(ffpMagFilter(linear), GL_LINEAR);
}

}  // namespace
