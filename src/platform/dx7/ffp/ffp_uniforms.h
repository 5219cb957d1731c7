// The uniforms of the generated programs: their table, the values worked out for one draw, and
// each program's copy of what it was last sent, so that a draw sends only what changed (a
// program keeps its uniforms while others are in use). Uniform names are shared with
// ffp_shader_gen.cpp.
#pragma once

#include <cstring>
#include <vector>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/ffp_shader_key.h"
#include "platform/dx7/ffp/gl_api.h"

enum FfpUniformSlot : int {
  kUniformWorldView,
  kUniformProj,
  kUniformNormalMatrix,
  kUniformScreen,
  kUniformPixelOffset,
  kUniformPixelCorrection,
  kUniformMatDiffuse,
  kUniformMatAmbient,
  kUniformMatSpecular,
  kUniformMatEmissive,
  kUniformMatPower,
  kUniformGlobalAmbient,
  kUniformLightPos,
  kUniformLightDir,
  kUniformLightDiffuse,
  kUniformLightSpecular,
  kUniformLightAmbient,
  kUniformLightAtt,
  kUniformLightSpot,
  kUniformTexMatrix,
  kUniformFogParams,
  kUniformFogColor,
  kUniformTextureFactor,
  kUniformAlphaRef,
  kUniformClipPlane,
  kUniformBorderColour,
  kUniformLodBias,
  kUniformKeyLow0,
  kUniformKeyHigh0 = kUniformKeyLow0 + kDeviceTextureStages,
  kUniformSlotCount = kUniformKeyHigh0 + kDeviceTextureStages
};

struct FfpUniformInfo {
  const char* name;
  int components;  // floats per element: 1..4, or 16 for a matrix
  int elements;    // array length (1 for a plain uniform)
  bool transpose;  // a matrix given row by row
};

inline constexpr FfpUniformInfo kFfpUniforms[kUniformSlotCount] = {
    {"uWorldView", 16, 1, false},
    {"uProj", 16, 1, false},
    {"uNormalMatrix", 16, 1, true},
    {"uScreen", 4, 1, false},
    {"uPixelOffset", 2, 1, false},
    {"uPixelCorrection", 1, 1, false},
    {"uMatDiffuse", 4, 1, false},
    {"uMatAmbient", 4, 1, false},
    {"uMatSpecular", 4, 1, false},
    {"uMatEmissive", 4, 1, false},
    {"uMatPower", 1, 1, false},
    {"uGlobalAmbient", 4, 1, false},
    {"uLightPos", 3, kFfpMaxLights, false},
    {"uLightDir", 3, kFfpMaxLights, false},
    {"uLightDiffuse", 4, kFfpMaxLights, false},
    {"uLightSpecular", 4, kFfpMaxLights, false},
    {"uLightAmbient", 4, kFfpMaxLights, false},
    {"uLightAtt", 4, kFfpMaxLights, false},
    {"uLightSpot", 3, kFfpMaxLights, false},
    {"uTexMatrix", 16, kDeviceTextureStages, false},
    {"uFogParams", 4, 1, false},
    {"uFogColor", 3, 1, false},
    {"uTextureFactor", 4, 1, false},
    {"uAlphaRef", 1, 1, false},
    {"uClipPlane", 4, kFfpMaxClipPlanes, false},
    {"uBorderColour", 4, kDeviceTextureStages, false},
    {"uLodBias", 1, kDeviceTextureStages, false},
    {"uKeyLow0", 3, 1, false},
    {"uKeyLow1", 3, 1, false},
    {"uKeyLow2", 3, 1, false},
    {"uKeyLow3", 3, 1, false},
    {"uKeyLow4", 3, 1, false},
    {"uKeyLow5", 3, 1, false},
    {"uKeyLow6", 3, 1, false},
    {"uKeyLow7", 3, 1, false},
    {"uKeyHigh0", 3, 1, false},
    {"uKeyHigh1", 3, 1, false},
    {"uKeyHigh2", 3, 1, false},
    {"uKeyHigh3", 3, 1, false},
    {"uKeyHigh4", 3, 1, false},
    {"uKeyHigh5", 3, 1, false},
    {"uKeyHigh6", 3, 1, false},
    {"uKeyHigh7", 3, 1, false},
};

// Where each slot's floats sit in a program's value cache, and how many floats there are.
struct FfpUniformLayout {
  int offset[kUniformSlotCount];
  int total;
  constexpr FfpUniformLayout() : offset(), total(0) {
    for (int i = 0; i < kUniformSlotCount; ++i) {
      offset[i] = total;
      total += kFfpUniforms[i].components * kFfpUniforms[i].elements;
    }
  }
};
inline constexpr FfpUniformLayout kFfpUniformLayout;

// Uniform values worked out for one draw, before they are compared with a program's.
struct FfpStagedUniforms {
  int floats[kUniformSlotCount] = {};  // 0: not staged
  float values[kFfpUniformLayout.total] = {};

  void clear() { std::memset(floats, 0, sizeof floats); }
  void stage(int slot, const float* v, int count) {
    std::memcpy(values + kFfpUniformLayout.offset[slot], v, sizeof(float) * static_cast<std::size_t>(count));
    floats[slot] = count;
  }
};

// A generated GL program, the locations of its uniforms and the values it holds.
struct FfpProgram {
  GLuint program = 0;
  bool failed = false;
  GLint location[kUniformSlotCount];
  int sentFloats[kUniformSlotCount];  // -1: never sent
  std::vector<float> sent;            // the values each slot was last sent

  FfpProgram();
  bool has(int slot) const { return location[slot] >= 0; }
  // Looks up the uniforms of the linked program (in use) and points its samplers at units 0..7.
  void bindUniforms(GLuint linked);
  // Whether sending the staged values would change any uniform of this program.
  bool differs(const FfpStagedUniforms& staged) const;
  // Sends another program's uniform values to this one (in use), for the same draw.
  void sendAs(const FfpProgram& other);
  // Sends the staged values that differ from what the program holds (the program is in use).
  void send(const FfpStagedUniforms& staged);
};

// The viewport rectangle a draw's vertices map into, in pixels.
struct FfpScreenRect {
  float x, y, width, height;
};

// Works out the draw's uniform values that program p uses into `staged`.
void ffpStageUniforms(FfpStagedUniforms& staged, const FfpProgram& p, const FfpShaderKey& key, const DeviceState& state,
                      const FfpTexture textures[kDeviceTextureStages], const FfpScreenRect& screen);
