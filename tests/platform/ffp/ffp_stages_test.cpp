// Texture stages: operations and arguments, unbound textures, texture alpha, coordinate sets,
// generated coordinates, texture transforms, addressing and filtering.
#include "ffp_test_util.h"

#include <cstring>

namespace {

constexpr std::uint32_t kTexel = 0x608040BFu;    // a 0x60, r 0x80, g 0x40, b 0xBF
constexpr std::uint32_t kDiffuse = 0xC8408020u;  // a 0xC8, r 0x40, g 0x80, b 0x20

class FfpStageTest : public FfpTest {
 public:
  void SetUp() override {
    FfpTest::SetUp();
    if (IsSkipped()) return;
    solid = texture(1, 1, {kTexel});
    // Texels A, B, C, D across u (point sampled, one row).
    strip = texture(4, 1, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu});
  }
  void setStage(DWORD s, DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1,
                DWORD alphaArg2) {
    DWORD* ts = state.textureStageStates[s];
    ts[D3DTSS_COLOROP] = colorOp;
    ts[D3DTSS_COLORARG1] = colorArg1;
    ts[D3DTSS_COLORARG2] = colorArg2;
    ts[D3DTSS_ALPHAOP] = alphaOp;
    ts[D3DTSS_ALPHAARG1] = alphaArg1;
    ts[D3DTSS_ALPHAARG2] = alphaArg2;
  }
  // Colour of a quad whose vertices all carry coordinates (u, 0.5).
  std::uint32_t stripAt(float u, float u1 = 0.0f) {
    textures[0] = FfpTexture{strip, false};
    setStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    gl.clear(0xFF000000);
    EXPECT_TRUE(draw(texturedQuad(kDiffuse, u, 0.5f, u1, 0.5f), kTexturedFvf));
    return centre();
  }
  unsigned int solid = 0;
  unsigned int strip = 0;
};

TEST_F(FfpStageTest, OperationsOnTextureAndDiffuse) {
  const int texels[4] = {0x60, 0x80, 0x40, 0xBF}, diffuse[4] = {0xC8, 0x40, 0x80, 0x20};
  struct Case {
    DWORD op;
    int (*f)(int texel, int diffuse);
  };
  const Case cases[] = {
      {D3DTOP_SELECTARG1, [](int t, int) { return t; }},
      {D3DTOP_MODULATE, [](int t, int d) { return mulByte(t, d); }},
      {D3DTOP_MODULATE2X, [](int t, int d) { return clampByte(2.0 * t * d / 255.0); }},
      {D3DTOP_MODULATE4X, [](int t, int d) { return clampByte(4.0 * t * d / 255.0); }},
      {D3DTOP_ADD, [](int t, int d) { return clampByte(t + d); }},
      {D3DTOP_SUBTRACT, [](int t, int d) { return clampByte(t - d); }},
      // Premodulation and bump mapping are not drawn: they pass their first argument on.
      {D3DTOP_PREMODULATE, [](int t, int) { return t; }},
      {D3DTOP_BUMPENVMAP, [](int t, int) { return t; }},
      {D3DTOP_BUMPENVMAPLUMINANCE, [](int t, int) { return t; }},
  };
  textures[0] = FfpTexture{solid, true};
  for (const Case& c : cases) {
    setStage(0, c.op, D3DTA_TEXTURE, D3DTA_DIFFUSE, c.op, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    ASSERT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf));
    EXPECT_ARGB_NEAR(centre(),
                     argb(c.f(texels[0], diffuse[0]), c.f(texels[1], diffuse[1]), c.f(texels[2], diffuse[2]),
                          c.f(texels[3], diffuse[3])),
                     2)
        << "op " << c.op;
  }
}

TEST_F(FfpStageTest, DotProduct3FillsAllChannels) {
  textures[0] = FfpTexture{texture(1, 1, {0x20FF8080u}), true};
  setStage(0, D3DTOP_DOTPRODUCT3, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  ASSERT_TRUE(draw(texturedQuad(0xFFBF8080u, 0.5f, 0.5f), kTexturedFvf));
  const double v = 4.0 * ((255 / 255.0 - 0.5) * (191 / 255.0 - 0.5) + 2 * (128 / 255.0 - 0.5) * (128 / 255.0 - 0.5));
  EXPECT_ARGB_NEAR(centre(), argbF(v, v, v, v), 2);
}

TEST_F(FfpStageTest, CascadeArgumentsAndDisabledStages) {
  const unsigned int second = texture(1, 1, {0xFF102030u});
  textures[0] = FfpTexture{solid, true};
  textures[1] = FfpTexture{second, false};

  // Stage 0 takes the diffuse colour, stage 1 adds its texture to the current colour.
  setStage(0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
  setStage(1, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT);
  ASSERT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf));
  // Alpha op DISABLE on stage 1 keeps the current alpha.
  EXPECT_ARGB_NEAR(centre(), argb(0xC8, 0x40 + 0x10, 0x80 + 0x20, 0x20 + 0x30), 1);

  // Stage 1 disabled: the cascade ends after stage 0.
  state.textureStageStates[1][D3DTSS_COLOROP] = D3DTOP_DISABLE;
  ASSERT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf));
  EXPECT_ARGB_NEAR(centre(), kDiffuse, 1);

  // Stage 0 disabled: the diffuse colour, whatever stage 1 says.
  state.textureStageStates[1][D3DTSS_COLOROP] = D3DTOP_ADD;
  state.textureStageStates[0][D3DTSS_COLOROP] = D3DTOP_DISABLE;
  ASSERT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf));
  EXPECT_ARGB_NEAR(centre(), kDiffuse, 1);

  // Texture factor as an argument.
  state.renderStates[D3DRENDERSTATE_TEXTUREFACTOR] = 0x11223344u;
  setStage(0, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT);
  state.textureStageStates[1][D3DTSS_COLOROP] = D3DTOP_DISABLE;
  ASSERT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf));
  EXPECT_ARGB_NEAR(centre(), 0x11223344u, 1);
}

TEST_F(FfpStageTest, UnboundTextureAndTextureWithoutAlpha) {
  // The default first stage (MODULATE texture by current, alpha from the texture) with no texture:
  // the diffuse colour passes.
  ASSERT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf));
  EXPECT_ARGB_NEAR(centre(), kDiffuse, 1);

  // An opaque texture reads alpha 1 whatever its stored alpha.
  textures[0] = FfpTexture{texture(1, 1, {0x00FFFFFFu}), false};
  ASSERT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf));
  EXPECT_ARGB_NEAR(centre(), argb(0xFF, 0x40, 0x80, 0x20), 1);

  // With alpha it is read.
  textures[0] = FfpTexture{solid, true};
  ASSERT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf));
  EXPECT_ARGB_NEAR(centre(), argb(0x60, mulByte(0x80, 0x40), mulByte(0x40, 0x80), mulByte(0xBF, 0x20)), 2);
}

TEST_F(FfpStageTest, CoordinateSetAddressingAndTransform) {
  EXPECT_EQ(stripAt(0.1f, 0.6f), 0xFFFF0000u);
  state.textureStageStates[0][D3DTSS_TEXCOORDINDEX] = 1;
  EXPECT_EQ(stripAt(0.1f, 0.6f), 0xFF0000FFu);
  state.textureStageStates[0][D3DTSS_TEXCOORDINDEX] = 0;

  struct Case {
    DWORD address;
    float u;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {D3DTADDRESS_WRAP, 1.1f, 0xFFFF0000u},
      {D3DTADDRESS_WRAP, -0.1f, 0xFFFFFFFFu},
      {D3DTADDRESS_MIRROR, 1.1f, 0xFFFFFFFFu},
      {D3DTADDRESS_MIRROR, -0.1f, 0xFFFF0000u},
      {D3DTADDRESS_MIRROR, 1.4f, 0xFF0000FFu},
      {D3DTADDRESS_CLAMP, 1.4f, 0xFFFFFFFFu},
      {D3DTADDRESS_CLAMP, -0.4f, 0xFFFF0000u},
      {D3DTADDRESS_WRAP, 1.4f, 0xFF00FF00u},
      // Outside the texture the border colour (black unless set; opaque, as the texture has no
      // alpha); an unknown mode wraps.
      {D3DTADDRESS_BORDER, 1.4f, 0xFF000000u},
      {D3DTADDRESS_BORDER, 0.1f, 0xFFFF0000u},
      {17, 1.4f, 0xFF00FF00u},
  };
  for (const Case& c : cases) {
    state.textureStageStates[0][D3DTSS_ADDRESSU] = c.address;
    EXPECT_EQ(stripAt(c.u), c.expected) << "address " << c.address << " u " << c.u;
  }
  // D3DTSS_ADDRESS sets both axes.
  ASSERT_TRUE(state.setStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_MIRROR));
  EXPECT_EQ(stripAt(1.4f), 0xFF0000FFu);
  state.textureStageStates[0][D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;

  // Two-component coordinates are (u, v, 1, 0) for the texture matrix: _31 translates.
  D3DMATRIX m = DeviceState::identity();
  m._31 = 0.5f;
  state.transforms[D3DTRANSFORMSTATE_TEXTURE0] = m;
  EXPECT_EQ(stripAt(0.1f), 0xFFFF0000u);  // no transform until the flags ask for one
  state.textureStageStates[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT2;
  EXPECT_EQ(stripAt(0.1f), 0xFF0000FFu);
  m._11 = 3.0f;  // u = 0.3 + 0.5
  state.transforms[D3DTRANSFORMSTATE_TEXTURE0] = m;
  EXPECT_EQ(stripAt(0.1f), 0xFFFFFFFFu);
}

TEST_F(FfpStageTest, BorderColourFollowsTheFilterOnEachBorderedAxis) {
  const unsigned int white = texture(4, 4, std::vector<std::uint32_t>(16, 0xFFFFFFFFu));
  textures[0] = FfpTexture{white, false};
  setStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
  DWORD* ts = state.textureStageStates[0];
  ts[D3DTSS_BORDERCOLOR] = 0x400000FFu;  // its alpha reads as one: the texture has none
  auto at = [&](float u, float v) {
    gl.clear(0xFF000000);
    EXPECT_TRUE(draw(texturedQuad(kDiffuse, u, v), kTexturedFvf));
    return centre();
  };
  ts[D3DTSS_ADDRESSU] = D3DTADDRESS_BORDER;
  ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
  // Point sampled, a lookup is a texel or the border.
  EXPECT_EQ(at(0.99f, 0.5f), 0xFFFFFFFFu);
  EXPECT_EQ(at(1.0f, 0.5f), 0xFF0000FFu);
  EXPECT_EQ(at(0.3f, 1.7f), 0xFFFFFFFFu);  // v wraps
  // Linear: at the edge half the footprint is border; a texel further out, all of it.
  ts[D3DTSS_MAGFILTER] = D3DTFG_LINEAR;
  ts[D3DTSS_MINFILTER] = D3DTFN_LINEAR;
  EXPECT_ARGB_NEAR(at(1.0f, 0.5f), 0xFF8080FFu, 2);
  EXPECT_ARGB_NEAR(at(0.0f, 0.5f), 0xFF8080FFu, 2);
  EXPECT_ARGB_NEAR(at(-0.0625f, 0.5f), 0xFF4040FFu, 2);  // a quarter inside
  EXPECT_EQ(at(1.2f, 0.5f), 0xFF0000FFu);
  EXPECT_EQ(at(0.5f, 0.5f), 0xFFFFFFFFu);
  // Bordered in v alone, then in both.
  ts[D3DTSS_ADDRESSU] = D3DTADDRESS_CLAMP;
  ts[D3DTSS_ADDRESSV] = D3DTADDRESS_BORDER;
  EXPECT_EQ(at(1.5f, 0.5f), 0xFFFFFFFFu);
  EXPECT_EQ(at(0.5f, -0.5f), 0xFF0000FFu);
  ts[D3DTSS_ADDRESS] = D3DTADDRESS_BORDER;
  ts[D3DTSS_ADDRESSU] = ts[D3DTSS_ADDRESSV] = D3DTADDRESS_BORDER;
  EXPECT_ARGB_NEAR(at(1.0f, 1.0f), 0xFF4040FFu, 2);  // half of each axis inside
}

TEST_F(FfpStageTest, LodBiasMovesTheLookupToAnotherLevel) {
  // A red and blue checker whose next level is their mean, tiled so that a pixel covers half a
  // texel: level 0 unbiased, level 1 with a bias of 2.
  const unsigned int checker = texture(2, 2, {0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu, 0xFFFF0000u}, true);
  textures[0] = FfpTexture{checker, false};
  setStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
  DWORD* ts = state.textureStageStates[0];
  ts[D3DTSS_MAGFILTER] = D3DTFG_POINT;
  ts[D3DTSS_MINFILTER] = D3DTFN_POINT;
  ts[D3DTSS_MIPFILTER] = D3DTFP_POINT;
  const std::vector<TexturedVertex> tiled = quad<TexturedVertex>(-1, -1, 1, 1, [](float x, float y) {
    return TexturedVertex{x, y, 0.5f, kDiffuse, 8.0f * (x + 1.0f), 8.0f * (1.0f - y), 0, 0};
  });
  auto drawn = [&](float bias) {
    std::memcpy(&ts[D3DTSS_MIPMAPLODBIAS], &bias, sizeof(bias));
    gl.clear(0xFF000000);
    EXPECT_TRUE(draw(tiled, kTexturedFvf));
    return gl.readPixel(21, 37);
  };
  const std::uint32_t level0 = drawn(0.0f);
  EXPECT_TRUE(level0 == 0xFFFF0000u || level0 == 0xFF0000FFu) << std::hex << level0;
  EXPECT_ARGB_NEAR(drawn(2.0f), 0xFF800080u, 2);
  EXPECT_EQ(drawn(0.5f), level0);  // still magnified
  EXPECT_EQ(drawn(-3.0f), level0);
}

TEST_F(FfpStageTest, GeneratedCameraSpaceCoordinates) {
  textures[0] = FfpTexture{strip, false};
  setStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
  // Sphere-map style matrix: u = 0.5 x + 0.5 of the generated (x, y, z, 1).
  D3DMATRIX m{};
  m._11 = 0.5f;
  m._22 = -0.5f;
  m._41 = 0.5f;
  m._42 = 0.5f;
  state.transforms[D3DTRANSFORMSTATE_TEXTURE0] = m;
  state.textureStageStates[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT2;

  // Normal (0.28, 0, -0.96): u = 0.64, texel C.
  state.textureStageStates[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACENORMAL;
  ASSERT_TRUE(draw(normalQuad(0.28f, 0.0f, -0.96f), kNormalFvf));
  EXPECT_EQ(centre(), 0xFF0000FFu);

  // Reflection of the view direction (0, 0, 1) about that normal: x = 0.5376, u = 0.77, texel D.
  state.renderStates[D3DRENDERSTATE_LOCALVIEWER] = FALSE;
  state.textureStageStates[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR;
  ASSERT_TRUE(draw(normalQuad(0.28f, 0.0f, -0.96f), kNormalFvf));
  EXPECT_EQ(centre(), 0xFFFFFFFFu);
  ASSERT_TRUE(draw(normalQuad(-0.28f, 0.0f, -0.96f), kNormalFvf));
  EXPECT_EQ(centre(), 0xFFFF0000u);

  // Camera-space position: u follows x across the quad.
  state.textureStageStates[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACEPOSITION;
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_EQ(gl.readPixel(3, 32), 0xFFFF0000u);
  EXPECT_EQ(gl.readPixel(22, 32), 0xFF00FF00u);
  EXPECT_EQ(gl.readPixel(41, 32), 0xFF0000FFu);
  EXPECT_EQ(gl.readPixel(60, 32), 0xFFFFFFFFu);
}

TEST_F(FfpStageTest, LinearFilteringWithLinearMipmaps) {
  // A one-pixel black and white checkerboard shown at 8 x 8 pixels.
  std::vector<std::uint32_t> checker(64 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) checker[y * 64 + x] = ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
  textures[0] = FfpTexture{texture(64, 64, checker, true), false};
  setStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
  state.viewport = D3DVIEWPORT7{0, 0, 8, 8, 0.0f, 1.0f};
  auto v = quad<TexturedVertex>(-1, -1, 1, 1, [](float x, float y) {
    return TexturedVertex{x, y, 0.5f, 0xFFFFFFFFu, (x + 1) / 2, (1 - y) / 2, 0, 0};
  });

  // Point sampling of the top level: pure black or white.
  ASSERT_TRUE(draw(v, kTexturedFvf));
  const int point = argbRed(gl.readPixel(3, 3));
  EXPECT_TRUE(point == 0 || point == 255) << point;

  DWORD* ts = state.textureStageStates[0];
  ts[D3DTSS_MAGFILTER] = D3DTFG_LINEAR;
  ts[D3DTSS_MINFILTER] = D3DTFN_LINEAR;
  ts[D3DTSS_MIPFILTER] = D3DTFP_LINEAR;
  ASSERT_TRUE(draw(v, kTexturedFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(3, 3), 0xFF808080u, 6);
}

TEST_F(FfpStageTest, MagnifiedDrawsSampleAsMipmappedOnesAndMinifiedOnesKeepTheirMipmaps) {
  // A checkerboard of 2 x 2 texel squares, 16 x 16 texels: about 4 pixels per texel over the whole
  // target (magnified), while its levels from the third on are plain grey.
  std::vector<std::uint32_t> checker(16 * 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) checker[y * 16 + x] = ((x / 2 + y / 2) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
  textures[0] = FfpTexture{texture(16, 16, checker, true), false};
  textures[0].width = textures[0].height = 16;
  setStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
  DWORD* ts = state.textureStageStates[0];
  ts[D3DTSS_MAGFILTER] = D3DTFG_LINEAR;
  ts[D3DTSS_MINFILTER] = D3DTFN_LINEAR;
  ts[D3DTSS_MIPFILTER] = D3DTFP_LINEAR;
  auto whole = quad<TexturedVertex>(-1, -1, 1, 1, [](float x, float y) {
    return TexturedVertex{x, y, 0.5f, 0xFFFFFFFFu, (x + 1) / 2, (1 - y) / 2, 0, 0};
  });
  // The whole texture again on a 4-pixel triangle in a corner, minified four times, moved by a
  // texel so that the top level alone would give pixel (0, 0) a square's black or white.
  const float t = 1.0f / 16;
  const std::vector<TexturedVertex> tiny = {{-1, 1, 0.4f, 0xFFFFFFFFu, t, t, 0, 0},
                                            {-0.875f, 1, 0.4f, 0xFFFFFFFFu, 1 + t, t, 0, 0},
                                            {-1, 0.875f, 0.4f, 0xFFFFFFFFu, t, 1 + t, 0, 0}};

  ASSERT_TRUE(draw(whole, kTexturedFvf));  // magnified everywhere
  const std::vector<std::uint32_t> magnified = gl.readImage();
  gl.clear(0xFF000000);
  std::vector<TexturedVertex> both = whole;
  both.insert(both.end(), tiny.begin(), tiny.end());
  ASSERT_TRUE(draw(both, kTexturedFvf));  // minified in one corner
  const std::vector<std::uint32_t> mixed = gl.readImage();
  int differing = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 4; x < kSize; ++x) differing += magnified[y * kSize + x] != mixed[y * kSize + x];
  EXPECT_EQ(differing, 0);
  // The corner reads the grey levels, not the checkerboard's black or white.
  EXPECT_ARGB_NEAR(gl.readPixel(0, 0), 0xFF808080u, 24);

  // Alone, the tiny triangle is not magnified either.
  gl.clear(0xFF000000);
  ASSERT_TRUE(draw(tiny, kTexturedFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(0, 0), 0xFF808080u, 24);
}

TEST_F(FfpStageTest, OneToOneQuadsSampleTexelCentresWithoutBlur) {
  // D3D's pixel centres are at integers, so a quad moved up and left by half a pixel, with u, v running
  // 0..1 over it, maps each texel onto one pixel: linear filtering must return the texels unmixed.
  std::vector<std::uint32_t> checker(64 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) checker[y * 64 + x] = ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
  textures[0] = FfpTexture{texture(64, 64, checker), false};
  setStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
  state.textureStageStates[0][D3DTSS_MAGFILTER] = D3DTFG_LINEAR;
  state.textureStageStates[0][D3DTSS_MINFILTER] = D3DTFN_LINEAR;
  auto mismatches = [&] {
    int count = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) count += gl.readPixel(x, y) != checker[y * 64 + x];
    return count;
  };

  struct ScreenTexVertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
  };
  auto screen = quad<ScreenTexVertex>(0, 0, 64, 64, [](float x, float y) {
    return ScreenTexVertex{x - 0.5f, y - 0.5f, 0.5f, 1.0f, 0xFFFFFFFFu, x / 64, y / 64};
  });
  ASSERT_TRUE(draw(screen, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1));
  EXPECT_EQ(mismatches(), 0);

  // The same through identity transforms (half a pixel is 1/64 in clip units here): transformed
  // geometry samples as interpolated, 1/128 pixel off the texel centres, which mixes at most a
  // few levels of the neighbouring texel.
  gl.clear(0xFF000000);
  const float half = 1.0f / kSize;
  auto clip = quad<TexturedVertex>(-1, -1, 1, 1, [half](float x, float y) {
    return TexturedVertex{x - half, y + half, 0.5f, 0xFFFFFFFFu, (x + 1) / 2, (1 - y) / 2, 0, 0};
  });
  ASSERT_TRUE(draw(clip, kTexturedFvf));
  int far = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) far += !argbNear(gl.readPixel(x, y), checker[y * 64 + x], 6);
  EXPECT_EQ(far, 0);
}

}  // namespace

namespace {

// Every operation, argument modifier and coordinate option must yield a program that builds.
TEST_F(FfpStageTest, EveryStageConfigurationBuilds) {
  textures[0] = FfpTexture{solid, true};
  textures[1] = FfpTexture{strip, false};
  for (DWORD op = D3DTOP_SELECTARG1; op <= D3DTOP_DOTPRODUCT3; ++op) {
    setStage(0, op, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE, op, D3DTA_TEXTURE,
             D3DTA_SPECULAR);
    setStage(1, op, D3DTA_CURRENT, D3DTA_TFACTOR, op, D3DTA_TEXTURE, D3DTA_CURRENT);
    EXPECT_TRUE(draw(texturedQuad(kDiffuse, 0.5f, 0.5f), kTexturedFvf)) << "op " << op << ": " << pipeline.lastError();
  }
  setStage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  setStage(1, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT);
  const DWORD lit =
      D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1);
  struct LitVertex {
    float x, y, z, nx, ny, nz;
    DWORD diffuse, specular;
    float u0, v0, u1, v1, w1;
  };
  auto v = quad<LitVertex>(-1, -1, 1, 1, [](float x, float y) {
    return LitVertex{x, y, 0.5f, 0, 0, -1, 0xFFFFFFFFu, 0x80000000u, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f};
  });
  state.renderStates[D3DRENDERSTATE_LIGHTING] = TRUE;
  state.renderStates[D3DRENDERSTATE_SPECULARENABLE] = TRUE;
  state.renderStates[D3DRENDERSTATE_NORMALIZENORMALS] = TRUE;
  state.renderStates[D3DRENDERSTATE_AMBIENTMATERIALSOURCE] = D3DMCS_COLOR1;
  state.renderStates[D3DRENDERSTATE_EMISSIVEMATERIALSOURCE] = D3DMCS_COLOR2;
  D3DLIGHT7 lights[3] = {DeviceState::defaultLight(), DeviceState::defaultLight(), DeviceState::defaultLight()};
  lights[1].dltType = D3DLIGHT_POINT;
  lights[2].dltType = D3DLIGHT_SPOT;
  for (DWORD i = 0; i < 3; ++i) {
    state.lights[i] = lights[i];
    state.lightEnabled[i] = true;
  }
  const DWORD generation[] = {D3DTSS_TCI_PASSTHRU | 1, D3DTSS_TCI_CAMERASPACENORMAL, D3DTSS_TCI_CAMERASPACEPOSITION,
                              D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR};
  const DWORD transforms[] = {D3DTTFF_DISABLE, D3DTTFF_COUNT1, D3DTTFF_COUNT2, D3DTTFF_COUNT3 | D3DTTFF_PROJECTED,
                              D3DTTFF_COUNT4 | D3DTTFF_PROJECTED};
  for (DWORD g : generation)
    for (DWORD t : transforms) {
      state.textureStageStates[1][D3DTSS_TEXCOORDINDEX] = g;
      state.textureStageStates[1][D3DTSS_TEXTURETRANSFORMFLAGS] = t;
      EXPECT_TRUE(draw(v, lit)) << "coordinates " << g << "/" << t << ": " << pipeline.lastError();
    }
  state.renderStates[D3DRENDERSTATE_FOGENABLE] = TRUE;
  state.renderStates[D3DRENDERSTATE_ALPHATESTENABLE] = TRUE;
  for (DWORD mode = D3DFOG_EXP; mode <= D3DFOG_LINEAR; ++mode) {
    state.renderStates[D3DRENDERSTATE_FOGVERTEXMODE] = mode;
    state.renderStates[D3DRENDERSTATE_RANGEFOGENABLE] = mode == D3DFOG_EXP;
    state.renderStates[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_NEVER + mode;
    EXPECT_TRUE(draw(v, lit)) << "vertex fog " << mode << ": " << pipeline.lastError();
  }
  state.renderStates[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_NONE;
  EXPECT_TRUE(draw(v, lit)) << "fog from specular alpha: " << pipeline.lastError();
}

}  // namespace

namespace {

TEST_F(FfpTest, WrapStatesTakeTheShorterWayRoundTheTexture) {
  // Texture in four vertical stripes: red, green, blue, white for u in quarters. A quad whose u
  // runs from 0.75 on the left to 0.25 on the right: plainly interpolated it goes back through
  // 0.5 (blue, then green); with WRAP0's U bit it goes 0.75 -> 1.0 = 0.0 -> 0.25 (white, then red).
  const std::uint32_t stripes[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  std::vector<std::uint32_t> pixels(64 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) pixels[static_cast<std::size_t>(y * 64 + x)] = stripes[x / 16];
  textures[0].name = texture(64, 64, pixels);
  state.textureStageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  state.textureStageStates[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  auto v = quad<TexturedVertex>(-1, -1, 1, 1, [](float x, float y) {
    return TexturedVertex{x, y, 0.5f, 0xFFFFFFFFu, x < 0 ? 0.75f : 0.25f, 0.5f, x < 0 ? 0.75f : 0.25f, 0.5f};
  });
  ASSERT_TRUE(draw(v, kTexturedFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), stripes[2], 0);
  EXPECT_ARGB_NEAR(gl.readPixel(48, 32), stripes[1], 0);

  state.renderStates[D3DRENDERSTATE_WRAP0] = D3DWRAP_U;
  ASSERT_TRUE(draw(v, kTexturedFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), stripes[3], 0);
  EXPECT_ARGB_NEAR(gl.readPixel(48, 32), stripes[0], 0);
  // The same as a strip.
  std::vector<TexturedVertex> strip = {v[5], v[2], v[0], v[1]};
  gl.clear(0xFF000000);
  ASSERT_TRUE(draw(strip, kTexturedFvf, D3DPT_TRIANGLESTRIP));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), stripes[3], 0);
  EXPECT_ARGB_NEAR(gl.readPixel(48, 32), stripes[0], 0);
  // WRAP1 covers coordinate set 1: the stage reading set 0 is drawn plainly again, the one
  // reading set 1 wraps.
  state.renderStates[D3DRENDERSTATE_WRAP0] = 0;
  state.renderStates[D3DRENDERSTATE_WRAP1] = D3DWRAP_U;
  ASSERT_TRUE(draw(v, kTexturedFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), stripes[2], 0);
  state.textureStageStates[0][D3DTSS_TEXCOORDINDEX] = 1;
  ASSERT_TRUE(draw(v, kTexturedFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), stripes[3], 0);
}

}  // namespace
