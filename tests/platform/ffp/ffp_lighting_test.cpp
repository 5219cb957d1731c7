// Per-vertex lighting: directional, point and spot lights, material colours, global ambient,
// emissive, specular, vertex colour as material source and the active light limit.
#include "ffp_test_util.h"

namespace {

D3DCOLORVALUE rgba(float r, float g, float b, float a = 1.0f) {
  D3DCOLORVALUE c;
  c.r = r;
  c.g = g;
  c.b = b;
  c.a = a;
  return c;
}

class FfpLightingTest : public FfpTest {
 public:
  void SetUp() override {
    FfpTest::SetUp();
    if (IsSkipped()) return;
    state.renderStates[D3DRENDERSTATE_LIGHTING] = TRUE;
    state.material = D3DMATERIAL7{};
    state.material.diffuse = rgba(1, 1, 1);
  }
  void setLight(DWORD index, const D3DLIGHT7& light) {
    state.lights[index] = light;
    state.lightSet[index] = true;
    state.lightEnabled[index] = true;
  }
  static D3DLIGHT7 directional(float dx, float dy, float dz, D3DCOLORVALUE diffuse) {
    D3DLIGHT7 l{};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse = diffuse;
    l.dvDirection.x = dx;
    l.dvDirection.y = dy;
    l.dvDirection.z = dz;
    return l;
  }
  // Point light straight in front of the quad, 2 units before its plane (z = 0.5).
  static D3DLIGHT7 pointInFront(float range, float a0, float a1, float a2) {
    D3DLIGHT7 l{};
    l.dltType = D3DLIGHT_POINT;
    l.dcvDiffuse = rgba(1, 1, 1);
    l.dvPosition.z = -1.5f;
    l.dvRange = range;
    l.dvAttenuation0 = a0;
    l.dvAttenuation1 = a1;
    l.dvAttenuation2 = a2;
    return l;
  }
};

TEST_F(FfpLightingTest, DirectionalLightWithMaterialAmbientAndEmissive) {
  state.material.diffuse = rgba(1.0f, 0.5f, 0.25f);
  state.material.ambient = rgba(1, 1, 1);
  state.material.emissive = rgba(0.1f, 0, 0);
  state.renderStates[D3DRENDERSTATE_AMBIENT] = 0x00202020u;
  // The light travels down and into the screen at 60 degrees to the normal: N.L = 0.5.
  D3DLIGHT7 light = directional(0, -0.8660254f, 0.5f, rgba(0.5f, 0.5f, 0.5f));
  light.dcvAmbient = rgba(0.1f, 0.1f, 0.1f);
  setLight(0, light);
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  const double ambient = 32 / 255.0 + 0.1;
  EXPECT_ARGB_NEAR(centre(), argbF(1, ambient + 0.5 * 0.5 + 0.1, ambient + 0.5 * 0.5 * 0.5, ambient + 0.5 * 0.5 * 0.25),
                   2);

  // Facing away from the light: ambient and emissive only.
  gl.clear(0xFF000000);
  ASSERT_TRUE(draw(normalQuad(0, 0, 1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, ambient + 0.1, ambient, ambient), 2);

  // A disabled light contributes nothing.
  state.lightEnabled[0] = false;
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, 32 / 255.0 + 0.1, 32 / 255.0, 32 / 255.0), 2);
}

TEST_F(FfpLightingTest, DiffuseAlphaComesFromTheMaterialAndColoursSaturate) {
  state.material.diffuse = rgba(2.0f, 1.0f, 0.0f, 0.25f);
  state.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = FALSE;
  setLight(3, directional(0, 0, 1, rgba(1, 1, 1)));
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(0.25, 1, 1, 0), 1);
}

TEST_F(FfpLightingTest, LightsAreInWorldSpaceAndTransformedByTheView) {
  // The view turns the world 180 degrees about y: a light travelling along world -z travels along
  // camera +z, onto the camera-facing quad.
  D3DMATRIX view = DeviceState::identity();
  view._11 = -1;
  view._33 = -1;
  state.transforms[D3DTRANSFORMSTATE_VIEW] = view;
  setLight(0, directional(0, 0, -1, rgba(0.5f, 0.5f, 0.5f)));
  // World normal (0, 0, 1) is camera (0, 0, -1) after the view; positions mirror back to the same quad.
  std::vector<NormalVertex> v =
      quad<NormalVertex>(-1, -1, 1, 1, [](float x, float y) { return NormalVertex{-x, y, -0.5f, 0, 0, 1}; });
  ASSERT_TRUE(draw(v, kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, 0.5, 0.5, 0.5), 2);
}

TEST_F(FfpLightingTest, PointLightRangeAndAttenuation) {
  // Every corner (x, y = +-1, z = 0.5) is sqrt(6) from the light at (0, 0, -1.5);
  // N.L = 2 / sqrt(6); att = 1 / (0.5 + 0.25 d + 0.125 d^2).
  const double d = std::sqrt(6.0);
  const double lit = (2.0 / d) / (0.5 + 0.25 * d + 0.125 * d * d);
  setLight(0, pointInFront(2.5f, 0.5f, 0.25f, 0.125f));
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, lit, lit, lit), 2);

  // Out of range: nothing.
  setLight(0, pointInFront(2.4f, 0.5f, 0.25f, 0.125f));
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), 0xFF000000u, 1);

  // Constant attenuation only.
  setLight(0, pointInFront(100.0f, 2.0f, 0.0f, 0.0f));
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, (2.0 / d) / 2.0, (2.0 / d) / 2.0, (2.0 / d) / 2.0), 2);
}

TEST_F(FfpLightingTest, SpotLightCone) {
  // The corners are at 35.26 degrees from the spot axis: cos = 0.8165.
  const double d = std::sqrt(6.0);
  const double rho = 2.0 / d;
  const double point = rho / (1.0 + 0.0 * d);
  D3DLIGHT7 spot = pointInFront(100.0f, 1.0f, 0.0f, 0.0f);
  spot.dltType = D3DLIGHT_SPOT;
  spot.dvDirection.z = 1.0f;
  spot.dvFalloff = 1.0f;

  // Inside the inner cone (theta/2 = 0.8 rad): full light.
  spot.dvTheta = 1.6f;
  spot.dvPhi = 2.0f;
  setLight(0, spot);
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, point, point, point), 2);

  // Outside the outer cone (phi/2 = 0.6 rad): nothing.
  spot.dvTheta = 1.0f;
  spot.dvPhi = 1.2f;
  setLight(0, spot);
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), 0xFF000000u, 1);

  // Between the cones, falloff 2.
  spot.dvTheta = 1.0f;
  spot.dvPhi = 2.0f;
  spot.dvFalloff = 2.0f;
  setLight(0, spot);
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  const double t = (rho - std::cos(1.0)) / (std::cos(0.5) - std::cos(1.0));
  const double between = point * t * t;
  EXPECT_ARGB_NEAR(centre(), argbF(1, between, between, between), 2);
}

TEST_F(FfpLightingTest, SpecularOnlyWhenEnabled) {
  state.material.diffuse = rgba(0.5f, 0, 0);
  state.material.specular = rgba(0, 0, 1);
  state.material.power = 0.0f;  // power 0: full highlight wherever it applies
  D3DLIGHT7 light = directional(0, 0, 1, rgba(1, 1, 1));
  light.dcvSpecular = rgba(0.5f, 0.5f, 0.5f);
  setLight(0, light);
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, 0.5, 0, 0), 2);

  state.renderStates[D3DRENDERSTATE_SPECULARENABLE] = TRUE;
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, 0.5, 0, 0.5), 2);

  // Power 2 with the local viewer: at each corner H = normalize(L - normalize(P)), N.H = sqrt(2/3).
  state.material.power = 2.0f;
  state.lights[0].dcvSpecular = rgba(1, 1, 1);
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, 0.5, 0, 2.0 / 3.0), 2);

  // No highlight on the side facing away from the light.
  ASSERT_TRUE(draw(normalQuad(0, 0, 1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), 0xFF000000u, 1);
}

TEST_F(FfpLightingTest, VertexColourAsDiffuseMaterialSource) {
  struct V {
    float x, y, z, nx, ny, nz;
    DWORD colour;
  };
  auto v = quad<V>(-1, -1, 1, 1, [](float x, float y) { return V{x, y, 0.5f, 0, 0, -1, 0x80FF8000u}; });
  setLight(0, directional(0, 0, 1, rgba(0.5f, 0.5f, 0.5f)));
  state.material.diffuse = rgba(0, 0, 1);
  const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
  ASSERT_TRUE(draw(v, fvf));  // COLORVERTEX with DIFFUSEMATERIALSOURCE = COLOR1 by default
  EXPECT_ARGB_NEAR(centre(), argb(0x80, 128, 64, 0), 2);

  state.renderStates[D3DRENDERSTATE_COLORVERTEX] = FALSE;
  ASSERT_TRUE(draw(v, fvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, 0, 0, 0.5), 2);

  // Lighting off: the vertex colour passes unchanged.
  state.renderStates[D3DRENDERSTATE_LIGHTING] = FALSE;
  ASSERT_TRUE(draw(v, fvf));
  EXPECT_ARGB_NEAR(centre(), 0x80FF8000u, 1);
}

TEST_F(FfpLightingTest, AtMostEightLightsAreActive) {
  for (DWORD i = 0; i < 10; ++i) setLight(i * 3, directional(0, 0, 1, rgba(0.1f, 0.1f, 0.1f)));
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, 0.8, 0.8, 0.8), 2);
  // A device limited to three active lights.
  pipeline.setMaxActiveLights(3);
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, 0.3, 0.3, 0.3), 2);
}

}  // namespace

namespace {

TEST_F(FfpLightingTest, NormalsFollowTheInverseTransposeOfWorldView) {
  // A shear x' = x + y keeps planes y = c, so their normal (0, 1, 0) must stay put; the plain
  // world matrix or its inverse would tilt it by 45 degrees (diffuse 0.71).
  D3DMATRIX shear = state.transforms[D3DTRANSFORMSTATE_WORLD];
  shear._21 = 1.0f;
  state.transforms[D3DTRANSFORMSTATE_WORLD] = shear;
  state.renderStates[D3DRENDERSTATE_NORMALIZENORMALS] = TRUE;
  setLight(0, directional(0, -1, 0, rgba(1, 1, 1)));
  auto v = quad<NormalVertex>(-1, -1, 0, 1, [](float x, float y) { return NormalVertex{x, y, 0.5f, 0, 1, 0}; });
  ASSERT_TRUE(draw(v, kNormalFvf));
  EXPECT_ARGB_NEAR(gl.readPixel(16, 32), 0xFFFFFFFFu, 1);

  // Without NORMALIZENORMALS the transformed normal keeps its length: a world scale of 2 along y
  // halves it (inverse transpose), and so the diffuse light.
  state.renderStates[D3DRENDERSTATE_NORMALIZENORMALS] = FALSE;
  D3DMATRIX scale = state.transforms[D3DTRANSFORMSTATE_VIEW];
  scale._22 = 2.0f;
  state.transforms[D3DTRANSFORMSTATE_WORLD] = scale;
  gl.clear(0xFF000000);
  auto w = quad<NormalVertex>(-1, -0.5f, 1, 0.5f, [](float x, float y) { return NormalVertex{x, y, 0.5f, 0, 1, 0}; });
  ASSERT_TRUE(draw(w, kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), 0xFF808080u, 2);
}

}  // namespace

namespace {

TEST_F(FfpLightingTest, VerticesWithoutNormalsKeepAmbientAndEmissive) {
  // Lighting on and no normal: no diffuse or specular light, but global and light ambient times
  // the ambient source plus emissive, with alpha from the diffuse source.
  state.material.ambient = rgba(0.5f, 0.5f, 0.5f);
  state.material.emissive = rgba(0.125f, 0, 0);
  state.renderStates[D3DRENDERSTATE_AMBIENT] = 0x00404040u;
  state.renderStates[D3DRENDERSTATE_SPECULARENABLE] = TRUE;
  D3DLIGHT7 light = directional(0, 0, 1, rgba(1, 1, 1));
  light.dcvAmbient = rgba(0.25f, 0.25f, 0.25f);
  light.dcvSpecular = rgba(1, 1, 1);
  setLight(0, light);
  const double ambient = 64 / 255.0 + 0.25;
  ASSERT_TRUE(draw(colourQuad(0x80FFFF00u), kColourFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(128 / 255.0, 0.5 * ambient + 0.125, 0.5 * ambient, 0.5 * ambient), 2);

  // The vertex colour as ambient source; emissive from the material still.
  state.renderStates[D3DRENDERSTATE_AMBIENTMATERIALSOURCE] = D3DMCS_COLOR1;
  ASSERT_TRUE(draw(colourQuad(0xFFFF8000u), kColourFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(1, ambient + 0.125, (128 / 255.0) * ambient, 0), 2);

  // COLORVERTEX off: every term from the material, alpha from the material diffuse.
  state.renderStates[D3DRENDERSTATE_COLORVERTEX] = FALSE;
  state.material.diffuse = rgba(1, 1, 1, 0.5f);
  ASSERT_TRUE(draw(colourQuad(0xFFFF8000u), kColourFvf));
  EXPECT_ARGB_NEAR(centre(), argbF(0.5, 0.5 * ambient + 0.125, 0.5 * ambient, 0.5 * ambient), 2);

  // Without ambient or emissive the vertex lights to black, whatever its colour.
  state.material.emissive = rgba(0, 0, 0);
  state.renderStates[D3DRENDERSTATE_AMBIENT] = 0;
  state.lightEnabled[0] = false;
  state.renderStates[D3DRENDERSTATE_COLORVERTEX] = TRUE;
  ASSERT_TRUE(draw(colourQuad(0xFF10C020u), kColourFvf));
  EXPECT_ARGB_NEAR(centre(), 0xFF000000u, 1);
}

TEST_F(FfpLightingTest, NormalsGoThroughTheWholeFourByFourInverse) {
  // A projective world matrix whose fourth column is (0, 0, -1, 0): the normal (0, 0, -1) comes
  // out as (0, 0, 0, 1), which has no direction and lights to black. Its upper 3x3 block alone is
  // singular, so a 3x3 inverse could not have given that.
  D3DMATRIX world{};
  world._11 = 1;
  world._22 = 1;
  world._34 = -1;
  world._43 = 1;
  state.transforms[D3DTRANSFORMSTATE_WORLD] = world;
  D3DMATRIX proj = DeviceState::identity();
  proj._33 = 0.25f;  // keeps the quad (eye z 1, w 0.5) between the depth planes
  state.transforms[D3DTRANSFORMSTATE_PROJECTION] = proj;
  setLight(0, directional(0, 0, 1, rgba(1, 1, 1)));
  ASSERT_TRUE(draw(normalQuad(0, 0, -1, -0.5f), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), 0xFF000000u, 1);

  // The same quad under an affine world matrix is lit.
  state.transforms[D3DTRANSFORMSTATE_WORLD] = DeviceState::identity();
  state.transforms[D3DTRANSFORMSTATE_PROJECTION] = DeviceState::identity();
  ASSERT_TRUE(draw(normalQuad(0, 0, -1), kNormalFvf));
  EXPECT_ARGB_NEAR(centre(), 0xFFFFFFFFu, 1);
}

}  // namespace
