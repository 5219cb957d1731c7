// The device moves its shape version only for the render and stage states said to shape the
// shader key: any state that can change the key must be among them, or a draw would reuse a
// stale program. Checked by changing every state to a range of values from several starting
// states and comparing keys.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/ffp_shader_key.h"

namespace {

constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;
const DWORD kValues[] = {0,    1,    2,    3,       4,       5,     6,           7,          8,
                         0x10, 0x22, 0x3F, 0x10000, 0x30001, 0x100, 0x3F800000u, 0xFFFFFFFFu};

// Starting states that between them switch on every part of the key.
std::vector<DeviceState> startingStates() {
  std::vector<DeviceState> states;
  for (int variant = 0; variant < 3; ++variant) {
    DeviceState s;
    s.reset(64, 64, true);
    DWORD* rs = s.renderStates;
    rs[D3DRENDERSTATE_LIGHTING] = variant != 2;
    rs[D3DRENDERSTATE_FOGENABLE] = TRUE;
    rs[D3DRENDERSTATE_FOGTABLEMODE] = variant == 0 ? D3DFOG_LINEAR : D3DFOG_NONE;
    rs[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_EXP;
    rs[D3DRENDERSTATE_ALPHATESTENABLE] = TRUE;
    rs[D3DRENDERSTATE_COLORKEYENABLE] = TRUE;
    rs[D3DRENDERSTATE_COLORVERTEX] = TRUE;
    rs[D3DRENDERSTATE_SPECULARENABLE] = variant == 1;
    s.lights[0] = DeviceState::defaultLight();
    s.lightSet[0] = s.lightEnabled[0] = true;
    for (DWORD st = 0; st < 2; ++st) {
      s.textureStageStates[st][D3DTSS_COLOROP] = D3DTOP_MODULATE;
      s.textureStageStates[st][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
      s.textureStageStates[st][D3DTSS_ALPHAOP] = D3DTOP_MODULATE;
      s.textureStageStates[st][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
      s.textureStageStates[st][D3DTSS_TEXCOORDINDEX] = st;
    }
    states.push_back(s);
  }
  return states;
}

// The key with the sampler states in the sampler, and with those the shader does itself (ES).
std::pair<FfpShaderKey, FfpShaderKey> keyOf(const DeviceState& s) {
  FfpTexture textures[kDeviceTextureStages];
  for (int st = 0; st < 2; ++st) {
    textures[st].name = 1 + static_cast<unsigned>(st);
    textures[st].hasAlpha = st == 0;
    textures[st].hasColorKey = true;
  }
  return {ffpBuildShaderKey(s, textures, kFvf, false),
          ffpBuildShaderKey(s, textures, kFvf, false, kFfpMaxLights, kFfpEmulateSamplerStates)};
}

TEST(FfpShapeClasses, EveryRenderStateThatChangesTheKeyIsAShapingOne) {
  for (const DeviceState& start : startingStates()) {
    const auto before = keyOf(start);
    for (DWORD rs = 0; rs < D3DRENDERSTATE_SLOTCOUNT; ++rs) {
      if (ffpRenderStateShapesKey(rs)) continue;
      for (DWORD value : kValues) {
        DeviceState changed = start;
        changed.renderStates[rs] = value;
        EXPECT_TRUE(keyOf(changed) == before) << "render state " << rs << " = " << value;
      }
    }
  }
}

TEST(FfpShapeClasses, EveryStageStateThatChangesTheKeyIsAShapingOne) {
  for (const DeviceState& start : startingStates()) {
    const auto before = keyOf(start);
    for (DWORD stage = 0; stage < 3; ++stage)
      for (DWORD ts = 0; ts < D3DTSS_SLOTCOUNT; ++ts) {
        if (ffpStageStateShapesKey(ts)) continue;
        for (DWORD value : kValues) {
          DeviceState changed = start;
          changed.textureStageStates[stage][ts] = value;
          EXPECT_TRUE(keyOf(changed) == before) << "stage " << stage << " state " << ts << " = " << value;
        }
      }
  }
}

// Lights reach the key through their type and whether they are on; the rest are uniforms.
TEST(FfpShapeClasses, LightsShapeTheKeyOnlyThroughTypeAndEnable) {
  const DeviceState start = startingStates()[0];
  const auto before = keyOf(start);
  DeviceState moved = start;
  moved.lights[0].dvPosition.x = 5.0f;
  moved.lights[0].dcvDiffuse.r = 0.25f;
  moved.lights[0].dvRange = 10.0f;
  moved.lights[0].dvAttenuation1 = 2.0f;
  EXPECT_TRUE(keyOf(moved) == before);
  DeviceState retyped = start;
  retyped.lights[0].dltType = retyped.lights[0].dltType == D3DLIGHT_POINT ? D3DLIGHT_SPOT : D3DLIGHT_POINT;
  EXPECT_FALSE(keyOf(retyped) == before);
}

}  // namespace
