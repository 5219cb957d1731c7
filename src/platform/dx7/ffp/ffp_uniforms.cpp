// Uniform values from the device state, and sending only those a program does not hold yet.
#include "platform/dx7/ffp/ffp_uniforms.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "platform/dx7/ffp/ffp_enum_translation.h"
#include "platform/dx7/ffp/ffp_matrix.h"

namespace {

// D3D samples pixel centres at integer coordinates, GL at +0.5: geometry moves by a little less
// than half a pixel so that D3D's top-left fill rule survives.
constexpr float kPixelCentreShift = 63.0f / 128.0f;

bool sameValues(const float* a, const float* b, int count) {
  return std::memcmp(a, b, sizeof(float) * static_cast<std::size_t>(count)) == 0;
}

// The world-view, projection and normal matrices, and where the viewport lies.
void stageTransforms(FfpStagedUniforms& staged, const FfpProgram& p, const DeviceState& state,
                     const FfpScreenRect& screen) {
  FfpMat4 world, view, proj, worldView;
  ffpToRows(state.transforms[D3DTRANSFORMSTATE_WORLD], world);
  ffpToRows(state.transforms[D3DTRANSFORMSTATE_VIEW], view);
  ffpToRows(state.transforms[D3DTRANSFORMSTATE_PROJECTION], proj);
  ffpMultiply(world, view, worldView);
  if (p.has(kUniformWorldView)) staged.stage(kUniformWorldView, &worldView[0][0], 16);
  if (p.has(kUniformProj)) staged.stage(kUniformProj, &proj[0][0], 16);
  if (p.has(kUniformNormalMatrix)) {
    // Normals go through the inverse transpose of the whole 4x4 world-view matrix: GLSL's
    // column-vector form of it is the plain inverse. A singular matrix leaves normals as given.
    FfpMat4 inv;
    ffpInverseOrIdentity(worldView, inv);
    staged.stage(kUniformNormalMatrix, &inv[0][0], 16);
  }
  if (p.has(kUniformScreen)) {
    const float rect[4] = {screen.x, screen.y, screen.width, screen.height};
    staged.stage(kUniformScreen, rect, 4);
  }
  if (p.has(kUniformPixelOffset)) {
    const float offset[2] = {screen.width > 0 ? 2.0f * kPixelCentreShift / screen.width : 0.0f,
                             screen.height > 0 ? 2.0f * kPixelCentreShift / screen.height : 0.0f};
    staged.stage(kUniformPixelOffset, offset, 2);
  }
  if (p.has(kUniformPixelCorrection)) {
    const float correction = 0.5f - kPixelCentreShift;
    staged.stage(kUniformPixelCorrection, &correction, 1);
  }
}

// The lights that take part, in camera space, as the uniform arrays hold them.
struct LightArrays {
  float pos[kFfpMaxLights][3] = {}, dir[kFfpMaxLights][3] = {}, dif[kFfpMaxLights][4] = {}, spe[kFfpMaxLights][4] = {},
        amb[kFfpMaxLights][4] = {}, att[kFfpMaxLights][4] = {}, spot[kFfpMaxLights][3] = {};
  int count = 0;

  void add(const D3DLIGHT7& l, const FfpMat4 view) {
    const int n = count++;
    // Lights are given in world space; lighting runs in camera space.
    const float px = l.dvPosition.x, py = l.dvPosition.y, pz = l.dvPosition.z;
    const float dx = l.dvDirection.x, dy = l.dvDirection.y, dz = l.dvDirection.z;
    for (int c = 0; c < 3; ++c) {
      pos[n][c] = px * view[0][c] + py * view[1][c] + pz * view[2][c] + view[3][c];
      dir[n][c] = dx * view[0][c] + dy * view[1][c] + dz * view[2][c];
    }
    const D3DCOLORVALUE* colours[3] = {&l.dcvDiffuse, &l.dcvSpecular, &l.dcvAmbient};
    float(*targets[3])[4] = {dif, spe, amb};
    for (int k = 0; k < 3; ++k) {
      targets[k][n][0] = colours[k]->r;
      targets[k][n][1] = colours[k]->g;
      targets[k][n][2] = colours[k]->b;
      targets[k][n][3] = colours[k]->a;
    }
    att[n][0] = l.dvAttenuation0;
    att[n][1] = l.dvAttenuation1;
    att[n][2] = l.dvAttenuation2;
    att[n][3] = l.dvRange;
    spot[n][0] = std::cos(l.dvTheta * 0.5f);
    spot[n][1] = std::cos(l.dvPhi * 0.5f);
    spot[n][2] = l.dvFalloff;
  }
};

void stageLights(FfpStagedUniforms& staged, const FfpProgram& p, const FfpShaderKey& key, const DeviceState& state) {
  FfpMat4 view;
  ffpToRows(state.transforms[D3DTRANSFORMSTATE_VIEW], view);
  LightArrays lights;
  for (DWORD i = 0; i < kDeviceLightSlots && lights.count < key.lightCount; ++i) {
    if (!state.lightEnabled[i]) continue;
    const D3DLIGHT7& l = state.lights[i];
    if (l.dltType != D3DLIGHT_POINT && l.dltType != D3DLIGHT_SPOT && l.dltType != D3DLIGHT_DIRECTIONAL) continue;
    lights.add(l, view);
  }
  const int n = lights.count;
  if (n == 0) return;
  if (p.has(kUniformLightPos)) staged.stage(kUniformLightPos, &lights.pos[0][0], 3 * n);
  if (p.has(kUniformLightDir)) staged.stage(kUniformLightDir, &lights.dir[0][0], 3 * n);
  if (p.has(kUniformLightDiffuse)) staged.stage(kUniformLightDiffuse, &lights.dif[0][0], 4 * n);
  if (p.has(kUniformLightSpecular)) staged.stage(kUniformLightSpecular, &lights.spe[0][0], 4 * n);
  if (p.has(kUniformLightAmbient)) staged.stage(kUniformLightAmbient, &lights.amb[0][0], 4 * n);
  if (p.has(kUniformLightAtt)) staged.stage(kUniformLightAtt, &lights.att[0][0], 4 * n);
  if (p.has(kUniformLightSpot)) staged.stage(kUniformLightSpot, &lights.spot[0][0], 3 * n);
}

void stageMaterial(FfpStagedUniforms& staged, const FfpProgram& p, const DeviceState& state) {
  const D3DMATERIAL7& m = state.material;
  if (p.has(kUniformMatDiffuse)) staged.stage(kUniformMatDiffuse, &m.diffuse.r, 4);
  if (p.has(kUniformMatAmbient)) staged.stage(kUniformMatAmbient, &m.ambient.r, 4);
  if (p.has(kUniformMatSpecular)) staged.stage(kUniformMatSpecular, &m.specular.r, 4);
  if (p.has(kUniformMatEmissive)) staged.stage(kUniformMatEmissive, &m.emissive.r, 4);
  if (p.has(kUniformMatPower)) staged.stage(kUniformMatPower, &m.power, 1);
  float ambient[4];
  ffpColourToFloats(state.renderStates[D3DRENDERSTATE_AMBIENT], ambient);
  if (p.has(kUniformGlobalAmbient)) staged.stage(kUniformGlobalAmbient, ambient, 4);
}

// Texture matrices, fog, the texture factor and the alpha reference.
void stageRasterValues(FfpStagedUniforms& staged, const FfpProgram& p, const DeviceState& state) {
  const DWORD* rs = state.renderStates;
  if (p.has(kUniformTexMatrix))
    staged.stage(kUniformTexMatrix, &state.transforms[D3DTRANSFORMSTATE_TEXTURE0]._11,
                 16 * static_cast<int>(kDeviceTextureStages));
  if (p.has(kUniformFogParams)) {
    // Table fog runs on w with perspective projections, on z (0..1) otherwise; pre-transformed
    // vertices follow the projection matrix too.
    const bool useW = state.transforms[D3DTRANSFORMSTATE_PROJECTION]._34 != 0.0f;
    const float fog[4] = {state.renderStateFloat(D3DRENDERSTATE_FOGSTART),
                          state.renderStateFloat(D3DRENDERSTATE_FOGEND),
                          state.renderStateFloat(D3DRENDERSTATE_FOGDENSITY), useW ? 1.0f : 0.0f};
    staged.stage(kUniformFogParams, fog, 4);
  }
  if (p.has(kUniformFogColor)) {
    float fog[4];
    ffpColourToFloats(rs[D3DRENDERSTATE_FOGCOLOR], fog);
    staged.stage(kUniformFogColor, fog, 3);
  }
  if (p.has(kUniformTextureFactor)) {
    float factor[4];
    ffpColourToFloats(rs[D3DRENDERSTATE_TEXTUREFACTOR], factor);
    staged.stage(kUniformTextureFactor, factor, 4);
  }
  if (p.has(kUniformAlphaRef)) {
    const float ref = static_cast<float>(rs[D3DRENDERSTATE_ALPHAREF] & 0xFF);
    staged.stage(kUniformAlphaRef, &ref, 1);
  }
}

void stageClipPlanes(FfpStagedUniforms& staged, const FfpProgram& p, const DeviceState& state) {
  if (!p.has(kUniformClipPlane)) return;
  // World-space planes into camera space: a camera point e is the world point e * inverse(view),
  // so the plane becomes inverse(view) times the plane as a column.
  FfpMat4 view, viewInverse;
  ffpToRows(state.transforms[D3DTRANSFORMSTATE_VIEW], view);
  ffpInverseOrIdentity(view, viewInverse);
  float planes[kFfpMaxClipPlanes][4];
  for (int i = 0; i < kFfpMaxClipPlanes; ++i)
    for (int r = 0; r < 4; ++r) {
      float sum = 0.0f;
      for (int c = 0; c < 4; ++c) sum += viewInverse[r][c] * state.clipPlanes[i][c];
      planes[i][r] = sum;
    }
  staged.stage(kUniformClipPlane, &planes[0][0], 4 * kFfpMaxClipPlanes);
}

// Each stage's border colour and LOD bias, where the shader does border addressing or the bias.
void stageSamplerStates(FfpStagedUniforms& staged, const FfpProgram& p, const DeviceState& state) {
  constexpr int kStages = static_cast<int>(kDeviceTextureStages);
  if (p.has(kUniformBorderColour)) {
    float colours[kStages][4];
    for (int st = 0; st < kStages; ++st)
      ffpColourToFloats(state.textureStageStates[st][D3DTSS_BORDERCOLOR], colours[st]);
    staged.stage(kUniformBorderColour, &colours[0][0], 4 * kStages);
  }
  if (p.has(kUniformLodBias)) {
    float biases[kStages];
    for (int st = 0; st < kStages; ++st) {
      const DWORD bias = state.textureStageStates[st][D3DTSS_MIPMAPLODBIAS];
      biases[st] = 0.0f;
      if (ffpHasLodBias(bias)) std::memcpy(&biases[st], &bias, sizeof(float));
    }
    staged.stage(kUniformLodBias, biases, kStages);
  }
}

void stageColourKeys(FfpStagedUniforms& staged, const FfpProgram& p, const FfpShaderKey& key,
                     const FfpTexture textures[kDeviceTextureStages]) {
  for (int st = 0; st < key.stageCount; ++st) {
    if (!key.stages[st].colorKey || !p.has(kUniformKeyLow0 + st)) continue;
    float low[4], high[4];
    ffpColourToFloats(textures[st].colorKeyLow, low);
    ffpColourToFloats(textures[st].colorKeyHigh, high);
    const float slack = 1.0f / 255.0f;  // texture channels narrower than 8 bits round differently
    const float lowKey[3] = {low[0] - slack, low[1] - slack, low[2] - slack};
    const float highKey[3] = {high[0] + slack, high[1] + slack, high[2] + slack};
    staged.stage(kUniformKeyLow0 + st, lowKey, 3);
    if (p.has(kUniformKeyHigh0 + st)) staged.stage(kUniformKeyHigh0 + st, highKey, 3);
  }
}

}  // namespace

FfpProgram::FfpProgram() {
  std::fill(std::begin(location), std::end(location), -1);
  std::fill(std::begin(sentFloats), std::end(sentFloats), -1);
}

void FfpProgram::bindUniforms(GLuint linked) {
  program = linked;
  for (int u = 0; u < kUniformSlotCount; ++u) location[u] = glGetUniformLocation(linked, kFfpUniforms[u].name);
  sent.assign(static_cast<std::size_t>(kFfpUniformLayout.total), 0.0f);
  for (int s = 0; s < static_cast<int>(kDeviceTextureStages); ++s) {
    const std::string name = "uTex" + std::to_string(s);
    const GLint l = glGetUniformLocation(linked, name.c_str());
    if (l >= 0) glUniform1i(l, s);
  }
}

bool FfpProgram::differs(const FfpStagedUniforms& staged) const {
  for (int i = 0; i < kUniformSlotCount; ++i) {
    const int n = staged.floats[i];
    if (n == 0) continue;
    if (n != sentFloats[i]) return true;
    const int at = kFfpUniformLayout.offset[i];
    if (!sameValues(staged.values + at, sent.data() + at, n)) return true;
  }
  return false;
}

void FfpProgram::sendAs(const FfpProgram& other) {
  FfpStagedUniforms same;
  for (int i = 0; i < kUniformSlotCount; ++i)
    if (other.sentFloats[i] > 0) same.stage(i, other.sent.data() + kFfpUniformLayout.offset[i], other.sentFloats[i]);
  send(same);
}

void FfpProgram::send(const FfpStagedUniforms& staged) {
  for (int i = 0; i < kUniformSlotCount; ++i) {
    const int n = staged.floats[i];
    if (n == 0) continue;
    const int at = kFfpUniformLayout.offset[i];
    const float* v = staged.values + at;
    if (n == sentFloats[i] && sameValues(v, sent.data() + at, n)) continue;
    const FfpUniformInfo& u = kFfpUniforms[i];
    const GLint loc = location[i];
    const GLsizei count = n / u.components;
    switch (u.components) {
      case 1:
        glUniform1fv(loc, count, v);
        break;
      case 2:
        glUniform2fv(loc, count, v);
        break;
      case 3:
        glUniform3fv(loc, count, v);
        break;
      case 4:
        glUniform4fv(loc, count, v);
        break;
      default:
        glUniformMatrix4fv(loc, count, u.transpose ? GL_TRUE : GL_FALSE, v);
        break;
    }
    std::memcpy(sent.data() + at, v, sizeof(float) * static_cast<std::size_t>(n));
    sentFloats[i] = n;
  }
}

void ffpStageUniforms(FfpStagedUniforms& staged, const FfpProgram& p, const FfpShaderKey& key, const DeviceState& state,
                      const FfpTexture textures[kDeviceTextureStages], const FfpScreenRect& screen) {
  staged.clear();
  stageTransforms(staged, p, state, screen);
  if (key.lighting) {
    stageMaterial(staged, p, state);
    stageLights(staged, p, key, state);
  }
  stageRasterValues(staged, p, state);
  stageClipPlanes(staged, p, state);
  stageSamplerStates(staged, p, state);
  stageColourKeys(staged, p, key, textures);
}
