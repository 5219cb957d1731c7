// GLSL 3.30 source generation for the fixed-function pipeline: a vertex shader doing transform,
// per-vertex lighting, texture coordinate generation/transforms and vertex fog, and a fragment
// shader running the texture stage cascade, specular add, fog and alpha test.
#pragma once

#include <string>

#include "platform/dx7/ffp/ffp_shader_key.h"

// Vertex attribute locations used by the generated shaders.
constexpr int kFfpAttribPosition = 0;
constexpr int kFfpAttribNormal = 1;
constexpr int kFfpAttribDiffuse = 2;
constexpr int kFfpAttribSpecular = 3;
constexpr int kFfpAttribTexCoord0 = 4;  // sets 0..7 at 4..11

std::string ffpVertexShaderSource(const FfpShaderKey& key);
std::string ffpFragmentShaderSource(const FfpShaderKey& key);
