// Builds the GLSL for one shader key. Uniform names are shared with ffp_pipeline.cpp.
#include "platform/dx7/ffp/ffp_shader_gen.h"

#include <string>

namespace {

std::string num(int v) { return std::to_string(v); }

// Fog factor from a distance, as the fog formulas define it. Equal start and end fog everything
// with vertex fog; table fog leaves what lies in front of the start clear.
void appendFogFunction(std::string& s, int formula, bool table) {
  s += "float fogFactor(float d) {\n";
  switch (formula) {
    case D3DFOG_EXP:
      s += "  return exp(-uFogParams.z * d);\n";
      break;
    case D3DFOG_EXP2:
      s += "  float t = uFogParams.z * d;\n  return exp(-t * t);\n";
      break;
    default:
      s += table ? "  if (uFogParams.y == uFogParams.x) return d < uFogParams.x ? 1.0 : 0.0;\n"
                 : "  if (uFogParams.y == uFogParams.x) return 0.0;\n";
      s += "  return (uFogParams.y - d) / (uFogParams.y - uFogParams.x);\n";
      break;
  }
  s += "}\n";
}

// Whether the specular colour can be other than black where it is added: lit vertices need a
// normal and a light, unlit ones a specular colour. Adding black is left out of the shader.
bool specularReachesPixels(const FfpShaderKey& key) {
  if (!key.specularEnable) return false;
  if (key.lighting) return key.hasNormal && key.lightCount > 0;
  return key.hasSpecular != 0;
}

const char* interpolation(const FfpShaderKey& key) { return key.flatShading ? "flat " : ""; }

std::string texCoordInput(const FfpShaderKey& key, int set) {
  if (set >= key.texCoordCount) return "vec4(0.0, 0.0, 1.0, 0.0)";
  const std::string a = "aTexCoord" + num(set);
  switch (key.texCoordSize[set]) {
    case 1:
      return "vec4(" + a + ".x, 1.0, 0.0, 0.0)";
    case 3:
      return "vec4(" + a + ".xyz, 1.0)";
    case 4:
      return a;
    default:
      return "vec4(" + a + ".xy, 1.0, 0.0)";
  }
}

bool needsEyeNormal(const FfpShaderKey& key) {
  if (key.lighting) return true;
  for (int s = 0; s < key.stageCount; ++s)
    if (key.stages[s].samplesTexture && (key.stages[s].texCoordGen == FfpTexCoordGen::kCameraSpaceNormal ||
                                         key.stages[s].texCoordGen == FfpTexCoordGen::kCameraSpaceReflection))
      return true;
  return false;
}

void appendLight(std::string& s, const FfpShaderKey& key, int i) {
  const std::string n = num(i);
  const int type = key.lightTypes[i];
  s += "  {\n";
  if (type == D3DLIGHT_DIRECTIONAL) {
    s += "    vec3 L = normalize(-uLightDir[" + n + "]);\n";
    s += "    float att = 1.0;\n";
  } else {
    s += "    vec3 toLight = uLightPos[" + n + "] - P;\n";
    s += "    float dist = length(toLight);\n";
    s += "    vec3 L = dist > 0.0 ? toLight / dist : vec3(0.0, 0.0, -1.0);\n";
    s += "    vec4 ka = uLightAtt[" + n + "];\n";
    s += "    float denom = ka.x + ka.y * dist + ka.z * dist * dist;\n";
    s += "    float att = dist > ka.w ? 0.0 : (denom > 0.0 ? 1.0 / denom : 1.0);\n";
    if (type == D3DLIGHT_SPOT) {
      s += "    vec3 sp = uLightSpot[" + n + "];\n";
      s += "    float rho = dot(-L, normalize(uLightDir[" + n + "]));\n";
      s += "    float spot = rho <= sp.y ? 0.0 : (rho > sp.x ? 1.0 : pow((rho - sp.y) / (sp.x - sp.y), sp.z));\n";
      s += "    att *= spot;\n";
    }
  }
  s += "    ambientSum += uLightAmbient[" + n + "].rgb * att;\n";
  if (!key.hasNormal) {
    // Without a normal N.L and N.H are 0: the light adds nothing to diffuse or specular.
    s += "  }\n";
    return;
  }
  s += "    float NdotL = dot(N, L);\n";
  s += "    diffuseSum += uLightDiffuse[" + n + "].rgb * (max(NdotL, 0.0) * att);\n";
  if (key.specularEnable) {
    s += "    if (NdotL > 0.0) {\n";
    s += "      vec3 H = normalize(L + toEye);\n";
    s += "      float NdotH = dot(N, H);\n";
    s += "      if (NdotH > 0.0) specularSum += uLightSpecular[" + n +
         "].rgb * ((uMatPower == 0.0 ? 1.0 : pow(NdotH, uMatPower)) * att);\n";
    s += "    }\n";
  }
  s += "  }\n";
}

std::string materialColour(int source, const char* material) {
  if (source == D3DMCS_COLOR1) return "aDiffuse";
  if (source == D3DMCS_COLOR2) return "aSpecular";
  return material;
}

// Stage argument as a vec4 expression.
std::string argument(int arg, int stage) {
  std::string v;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_CURRENT:
      v = "current";
      break;
    case D3DTA_TEXTURE:
      v = "tex" + num(stage);
      break;
    case D3DTA_TFACTOR:
      v = "uTextureFactor";
      break;
    case D3DTA_SPECULAR:
      v = "specular";
      break;
    default:
      v = "diffuse";
      break;
  }
  if (arg & D3DTA_ALPHAREPLICATE) v = "vec4(" + v + ".a)";
  if (arg & D3DTA_COMPLEMENT) v = "(vec4(1.0) - " + v + ")";
  return v;
}

// Result of a colour (rgb) or alpha operation from the arguments x (arg1) and y (arg2), both vec4.
std::string operation(int op, bool colour, int stage) {
  const std::string c = colour ? ".rgb" : ".a";
  const std::string x = "x" + c, y = "y" + c;
  const std::string one = colour ? "vec3(1.0)" : "1.0";
  auto sat = [](const std::string& e) { return "clamp(" + e + ", 0.0, 1.0)"; };
  auto blend = [&](const std::string& a) { return "mix(" + y + ", " + x + ", " + a + ")"; };
  switch (op) {
    case D3DTOP_SELECTARG2:
      return y;
    case D3DTOP_MODULATE:
      return x + " * " + y;
    case D3DTOP_MODULATE2X:
      return sat(x + " * " + y + " * 2.0");
    case D3DTOP_MODULATE4X:
      return sat(x + " * " + y + " * 4.0");
    case D3DTOP_ADD:
      return sat(x + " + " + y);
    case D3DTOP_ADDSIGNED:
      return sat(x + " + " + y + " - 0.5");
    case D3DTOP_ADDSIGNED2X:
      return sat("(" + x + " + " + y + " - 0.5) * 2.0");
    case D3DTOP_SUBTRACT:
      return sat(x + " - " + y);
    case D3DTOP_ADDSMOOTH:
      return sat(x + " + " + y + " - " + x + " * " + y);
    case D3DTOP_BLENDDIFFUSEALPHA:
      return blend("diffuse.a");
    case D3DTOP_BLENDTEXTUREALPHA:
      return blend("tex" + num(stage) + ".a");
    case D3DTOP_BLENDFACTORALPHA:
      return blend("uTextureFactor.a");
    case D3DTOP_BLENDCURRENTALPHA:
      return blend("current.a");
    case D3DTOP_BLENDTEXTUREALPHAPM:
      return sat(x + " + " + y + " * (1.0 - tex" + num(stage) + ".a)");
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
      return colour ? sat("x.rgb + x.a * y.rgb") : x;
    case D3DTOP_MODULATECOLOR_ADDALPHA:
      return colour ? sat("x.rgb * y.rgb + vec3(x.a)") : x;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
      return colour ? sat("(1.0 - x.a) * y.rgb + x.rgb") : x;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
      return colour ? sat("(" + one + " - x.rgb) * y.rgb + vec3(x.a)") : x;
    case D3DTOP_DOTPRODUCT3: {
      const std::string d = "clamp(4.0 * dot(x.rgb - vec3(0.5), y.rgb - vec3(0.5)), 0.0, 1.0)";
      return colour ? "vec3(" + d + ")" : d;
    }
    default:
      return x;  // SELECTARG1
  }
}

// The first line of every generated shader: the GLSL dialect they are written in.
const char* versionHeader() { return "#version 330 core\n"; }

// Vertex inputs, the uniforms the vertex stage reads and its outputs.
void appendVertexDeclarations(std::string& s, const FfpShaderKey& key) {
  s += "invariant gl_Position;\n";
  s += "layout(location = 0) in vec4 aPosition;\n";
  if (key.hasNormal) s += "layout(location = 1) in vec3 aNormal;\n";
  if (key.hasDiffuse) s += "layout(location = 2) in vec4 aDiffuse;\n";
  if (key.hasSpecular) s += "layout(location = 3) in vec4 aSpecular;\n";
  for (int i = 0; i < key.texCoordCount; ++i)
    s += "layout(location = " + num(kFfpAttribTexCoord0 + i) + ") in vec4 aTexCoord" + num(i) + ";\n";

  s += "uniform mat4 uWorldView;\nuniform mat4 uProj;\nuniform mat4 uNormalMatrix;\n";
  s += "uniform vec4 uScreen;\nuniform vec2 uPixelOffset;\n";
  if (key.lighting) {
    s += "uniform vec4 uMatDiffuse;\nuniform vec4 uMatAmbient;\nuniform vec4 uMatSpecular;\nuniform vec4 "
         "uMatEmissive;\n";
    s += "uniform float uMatPower;\nuniform vec4 uGlobalAmbient;\n";
    if (key.lightCount > 0) {
      const std::string n = num(kFfpMaxLights);
      s += "uniform vec3 uLightPos[" + n + "];\nuniform vec3 uLightDir[" + n + "];\n";
      s += "uniform vec4 uLightDiffuse[" + n + "];\nuniform vec4 uLightSpecular[" + n + "];\n";
      s += "uniform vec4 uLightAmbient[" + n + "];\nuniform vec4 uLightAtt[" + n + "];\n";
      s += "uniform vec3 uLightSpot[" + n + "];\n";
    }
  }
  bool anyTransform = false;
  for (int st = 0; st < key.stageCount; ++st)
    anyTransform |= key.stages[st].samplesTexture && key.stages[st].transformCount;
  if (anyTransform) s += "uniform mat4 uTexMatrix[8];\n";
  if (key.fogMode == FfpFogMode::kTable || key.fogMode == FfpFogMode::kVertex) s += "uniform vec4 uFogParams;\n";
  if (key.fogMode == FfpFogMode::kVertex) appendFogFunction(s, key.fogFormula, false);
  if (key.clipPlanes) s += "uniform vec4 uClipPlane[" + num(kFfpMaxClipPlanes) + "];\n";

  const char* interp = interpolation(key);
  s += std::string(interp) + "out vec4 vDiffuse;\n";
  s += std::string(interp) + "out vec4 vSpecular;\n";
  s += "out float vFog;\n";
  for (int st = 0; st < key.stageCount; ++st) {
    if (!key.stages[st].samplesTexture) continue;
    s += std::string(key.stages[st].projected ? "out vec3 vTex" : "out vec2 vTex") + num(st) + ";\n";
  }
}

// Clip position, table fog depth and clip distances; P is the camera-space position.
void appendPosition(std::string& s, const FfpShaderKey& key) {
  // Position: the same expressions in every variant, so passes over the same triangle agree.
  if (key.pretransformed) {
    s += "  float w = aPosition.w > 0.0 ? 1.0 / aPosition.w : 1.0;\n";
    s += "  vec2 ndc = (aPosition.xy - uScreen.xy) / uScreen.zw * 2.0 - 1.0;\n";
    s += "  vec4 c = vec4(ndc * w, aPosition.z * w, w);\n";
    if (key.depthClampInShader) s += "  c.z = clamp(c.z, 0.0, c.w);\n";
    s += "  vec3 P = vec3(0.0);\n";
  } else {
    s += "  vec4 eye = uWorldView * vec4(aPosition.xyz, 1.0);\n";
    s += "  vec4 c = uProj * eye;\n";
    s += "  c.y = -c.y;\n";
    s += "  vec3 P = eye.xyz;\n";
  }
  s += "  c.xy += uPixelOffset * c.w;\n";
  if (key.fogMode == FfpFogMode::kTable) s += "  vFog = uFogParams.w > 0.5 ? c.w : c.z / c.w;\n";
  if (!key.clipControl) s += "  c.z = 2.0 * c.z - c.w;\n";
  s += "  gl_Position = c;\n";
  // Clip planes arrive in camera space; a point is kept where the plane's equation is >= 0.
  for (int i = 0; i < kFfpMaxClipPlanes; ++i)
    if (key.clipPlanes & (1u << i)) s += "  gl_ClipDistance[" + num(i) + "] = dot(uClipPlane[" + num(i) + "], eye);\n";
}

// The camera-space normal N and the direction to the eye, where lighting or generated
// coordinates need them.
void appendEyeNormal(std::string& s, const FfpShaderKey& key) {
  if (!needsEyeNormal(key)) return;
  if (key.hasNormal && !key.pretransformed) {
    s += "  vec3 N = (uNormalMatrix * vec4(aNormal, 0.0)).xyz;\n";
    if (!key.lighting || key.normalizeNormals) s += "  N = normalize(N);\n";
  } else {
    s += "  vec3 N = vec3(0.0);\n";
  }
  s += std::string("  vec3 toEye = ") + (key.localViewer ? "-normalize(P)" : "vec3(0.0, 0.0, -1.0)") + ";\n";
}

// The diffuse and specular colours: lit, or the vertex's own.
void appendVertexColours(std::string& s, const FfpShaderKey& key) {
  const std::string vertexDiffuse = key.hasDiffuse ? "aDiffuse" : "vec4(1.0)";
  const std::string vertexSpecular = key.hasSpecular ? "aSpecular" : "vec4(0.0)";
  if (!key.lighting) {
    s += "  vDiffuse = " + vertexDiffuse + ";\n";
    s += "  vSpecular = " + vertexSpecular + ";\n";
    return;
  }
  s += "  vec3 ambientSum = vec3(0.0);\n  vec3 diffuseSum = vec3(0.0);\n  vec3 specularSum = vec3(0.0);\n";
  for (int i = 0; i < key.lightCount; ++i) appendLight(s, key, i);
  s += "  vec4 md = " + materialColour(key.diffuseSource, "uMatDiffuse") + ";\n";
  s += "  vec4 ma = " + materialColour(key.ambientSource, "uMatAmbient") + ";\n";
  s += "  vec4 ms = " + materialColour(key.specularSource, "uMatSpecular") + ";\n";
  s += "  vec4 me = " + materialColour(key.emissiveSource, "uMatEmissive") + ";\n";
  s += "  vDiffuse = clamp(vec4(ma.rgb * (uGlobalAmbient.rgb + ambientSum) + md.rgb * diffuseSum + me.rgb, md.a), "
       "0.0, 1.0);\n";
  s += "  vSpecular = clamp(vec4(ms.rgb * specularSum, " + vertexSpecular + ".a), 0.0, 1.0);\n";
}

void appendVertexFog(std::string& s, const FfpShaderKey& key) {
  if (key.fogMode == FfpFogMode::kVertex) {
    // The factor is a per-vertex value (the specular alpha of a lit vertex), saturated before it is interpolated.
    s += std::string("  vFog = clamp(fogFactor(") + (key.rangeFog ? "length(P)" : "abs(P.z)") + "), 0.0, 1.0);\n";
  } else if (key.fogMode == FfpFogMode::kSpecularAlpha) {
    s += "  vFog = aSpecular.a;\n";
  } else if (key.fogMode == FfpFogMode::kNone) {
    s += "  vFog = 1.0;\n";
  }
}

// The coordinates stage st samples its texture at: generated or the vertex's, transformed.
void appendStageTexCoord(std::string& s, const FfpShaderKey& key, int st) {
  const FfpStageKey& stage = key.stages[st];
  const std::string n = num(st);
  std::string in;
  switch (stage.texCoordGen) {
    case FfpTexCoordGen::kCameraSpaceNormal:
      in = "vec4(N, 1.0)";
      break;
    case FfpTexCoordGen::kCameraSpacePosition:
      in = "vec4(P, 1.0)";
      break;
    case FfpTexCoordGen::kCameraSpaceReflection:
      in = key.hasNormal && !key.pretransformed ? "vec4(reflect(-toEye, normalize(N)), 1.0)" : "vec4(-toEye, 1.0)";
      break;
    default:
      in = texCoordInput(key, stage.texCoordSet);
      break;
  }
  if (!stage.transformCount) {
    s += "  vTex" + n + " = (" + in + ").xy;\n";
    return;
  }
  s += "  vec4 t" + n + " = uTexMatrix[" + n + "] * " + in + ";\n";
  if (stage.projected) {
    const char* q = stage.transformCount == 2 ? "y" : (stage.transformCount == 3 ? "z" : "w");
    s += "  vTex" + n + " = vec3(t" + n + ".xy, t" + n + "." + q + ");\n";
  } else if (stage.transformCount == 1) {
    s += "  vTex" + n + " = vec2(t" + n + ".x, 0.0);\n";
  } else {
    s += "  vTex" + n + " = t" + n + ".xy;\n";
  }
}

// Fragment inputs, samplers and the uniforms the fragment stage reads.
void appendFragmentDeclarations(std::string& s, const FfpShaderKey& key) {
  const char* interp = interpolation(key);
  s += std::string(interp) + "in vec4 vDiffuse;\n";
  s += std::string(interp) + "in vec4 vSpecular;\n";
  s += "in float vFog;\n";
  for (int st = 0; st < key.stageCount; ++st) {
    if (!key.stages[st].samplesTexture) continue;
    s += std::string(key.stages[st].projected ? "in vec3 vTex" : "in vec2 vTex") + num(st) + ";\n";
    s += "uniform sampler2D uTex" + num(st) + ";\n";
    if (key.stages[st].colorKey) s += "uniform vec3 uKeyLow" + num(st) + ";\nuniform vec3 uKeyHigh" + num(st) + ";\n";
  }
  bool border = false, lodBias = false;
  for (int st = 0; st < key.stageCount; ++st) {
    border |= key.stages[st].samplesTexture && key.stages[st].border;
    lodBias |= key.stages[st].samplesTexture && key.stages[st].lodBias;
  }
  if (border) s += "uniform vec4 uBorderColour[" + num(static_cast<int>(kDeviceTextureStages)) + "];\n";
  if (lodBias) s += "uniform float uLodBias[" + num(static_cast<int>(kDeviceTextureStages)) + "];\n";
  s += "uniform float uPixelCorrection;\n";
  s += "uniform vec4 uTextureFactor;\nuniform vec3 uFogColor;\nuniform vec4 uFogParams;\nuniform float uAlphaRef;\n";
  if (key.fogMode == FfpFogMode::kTable) appendFogFunction(s, key.fogFormula, true);
  s += "out vec4 fragColor;\n";
}

// Border addressing for the samplers that lack it: texN (sampled clamped to the edge) blends
// towards the border colour by the share of its filter footprint that lies outside the texture
// on the bordered axes. The footprint is level 0's: a minified lookup's band is narrower.
void appendStageBorder(std::string& s, const FfpStageKey& stage, const std::string& n, const std::string& at) {
  s += "    {\n      vec2 at = " + at + ";\n";
  if (stage.border & kFfpBorderPoint) {
    s += "      vec2 inside = vec2(greaterThanEqual(at, vec2(0.0))) * vec2(lessThan(at, vec2(1.0)));\n";
  } else {
    s += "      vec2 size = vec2(textureSize(uTex" + n + ", 0));\n";
    s += "      vec2 inside = clamp(at * size + 0.5, 0.0, 1.0) * clamp((1.0 - at) * size + 0.5, 0.0, 1.0);\n";
  }
  const std::string u = stage.border & kFfpBorderU ? "inside.x" : "1.0";
  const std::string v = stage.border & kFfpBorderV ? "inside.y" : "1.0";
  s += "      tex" + n + " = mix(uBorderColour[" + n + "], tex" + n + ", " + u + " * " + v + ");\n    }\n";
}

// texN: stage st's texel, colour keyed.
void appendStageSample(std::string& s, const FfpShaderKey& key, int st) {
  const FfpStageKey& stage = key.stages[st];
  const std::string n = num(st);
  // Geometry sits kPixelCentreShift (a little under half a pixel) to the lower right of where D3D puts it, so
  // the coordinates GL interpolates at its pixel centres are those of a point uPixelCorrection pixels past
  // D3D's. Screen-space (pre-transformed) quads step back along the screen derivatives so 1:1 texel mappings
  // sample texel centres, unblurred. Transformed geometry samples as interpolated: the 1/128-pixel error is
  // invisible there, and plain interpolated lookups keep the rasteriser's fast texturing path (about a fifth
  // of the frame time of a textured mesh on the software rasteriser).
  const std::string tc = key.pretransformed
                             ? "(vTex" + n + " - uPixelCorrection * (dFdx(vTex" + n + ") + dFdy(vTex" + n + ")))"
                             : "vTex" + n;
  const std::string bias = stage.lodBias ? ", uLodBias[" + n + "]" : "";
  s += "    vec4 tex" + n + " = " +
       (stage.projected ? "textureProj(uTex" + n + ", " + tc + bias + ")"
                        : "texture(uTex" + n + ", " + tc + bias + ")") +
       ";\n";
  if (stage.border) appendStageBorder(s, stage, n, stage.projected ? "(" + tc + ").xy / (" + tc + ").z" : tc);
  if (!stage.textureAlpha) s += "    tex" + n + ".a = 1.0;\n";
  if (stage.colorKey) {
    // Texels inside the colour key's range (half a step either side for the texture's precision).
    s += "    if (all(greaterThanEqual(tex" + n + ".rgb, uKeyLow" + n + ")) && all(lessThanEqual(tex" + n +
         ".rgb, uKeyHigh" + n + ")))";
    s += stage.colorKey == 1 ? " discard;\n" : " tex" + n + ".a = 0.0;\n";
  }
}

// One operation of a stage: `target` = op(arg1, arg2); alphaFromRed: alpha takes the result's red
// (the dot product fills all four channels).
void appendStageOperation(std::string& s, int op, int arg1, int arg2, bool colour, int st, const char* target,
                          bool alphaFromRed) {
  s += "    {\n";
  s += "      vec4 x = " + (ffpOpReadsArg1(op) ? argument(arg1, st) : std::string("vec4(0.0)")) + ";\n";
  s += "      vec4 y = " + (ffpOpReadsArg2(op) ? argument(arg2, st) : std::string("vec4(0.0)")) + ";\n";
  s += std::string("      ") + target + " = " + operation(op, colour, st) + ";\n";
  if (alphaFromRed) s += "      alpha = rgb.r;\n";
  s += "    }\n";
}

void appendStage(std::string& s, const FfpShaderKey& key, int st) {
  const FfpStageKey& stage = key.stages[st];
  s += "  {\n";
  if (stage.samplesTexture) appendStageSample(s, key, st);
  // Colour
  s += "    vec3 rgb;\n    float alpha;\n";
  const bool dotProduct = stage.alphaOp == D3DTOP_DOTPRODUCT3;
  appendStageOperation(s, stage.colorOp, stage.colorArg1, stage.colorArg2, true, st, "rgb", dotProduct);
  if (!dotProduct) appendStageOperation(s, stage.alphaOp, stage.alphaArg1, stage.alphaArg2, false, st, "alpha", false);
  s += "    current = vec4(rgb, alpha);\n";
  s += "  }\n";
}

// Specular add, fog, the alpha test and the fragment's colour.
void appendFragmentTail(std::string& s, const FfpShaderKey& key) {
  if (specularReachesPixels(key)) s += "  current.rgb = min(current.rgb + specular.rgb, vec3(1.0));\n";
  if (key.fogMode == FfpFogMode::kTable) {
    s += "  current.rgb = mix(uFogColor, current.rgb, clamp(fogFactor(vFog), 0.0, 1.0));\n";
  } else if (key.fogMode != FfpFogMode::kNone) {
    s += "  current.rgb = mix(uFogColor, current.rgb, clamp(vFog, 0.0, 1.0));\n";
  }
  if (key.alphaTest) {
    static const char* const kCompare[] = {"", "false", "<", "==", "<=", ">", "!=", ">=", "true"};
    if (key.alphaTest == D3DCMP_NEVER) {
      s += "  discard;\n";
    } else {
      s += "  float alphaByte = floor(clamp(current.a, 0.0, 1.0) * 255.0 + 0.5);\n";
      s += std::string("  if (!(alphaByte ") + kCompare[key.alphaTest] + " uAlphaRef)) discard;\n";
    }
  }
  if (key.addedTwice) {
    // The byte the frame buffer would store (nearest, ties to even), doubled: added once, it
    // gives what adding the fragment twice would.
    s += "  fragColor = min(2.0 * roundEven(clamp(current, 0.0, 1.0) * 255.0), 255.0) / 255.0;\n";
  } else {
    s += "  fragColor = current;\n";
  }
}

}  // namespace

std::string ffpVertexShaderSource(const FfpShaderKey& key) {
  std::string s = versionHeader();
  appendVertexDeclarations(s, key);
  s += "void main() {\n";
  appendPosition(s, key);
  appendEyeNormal(s, key);
  appendVertexColours(s, key);
  appendVertexFog(s, key);
  for (int st = 0; st < key.stageCount; ++st)
    if (key.stages[st].samplesTexture) appendStageTexCoord(s, key, st);
  s += "}\n";
  return s;
}

std::string ffpFragmentShaderSource(const FfpShaderKey& key) {
  std::string s = versionHeader();
  appendFragmentDeclarations(s, key);
  s += "void main() {\n";
  s += "  vec4 diffuse = vDiffuse;\n  vec4 specular = vSpecular;\n  vec4 current = diffuse;\n";
  for (int st = 0; st < key.stageCount; ++st) appendStage(s, key, st);
  appendFragmentTail(s, key);
  s += "}\n";
  return s;
}
