// Reduces the device state to the fields that shape the generated shaders.
#include "platform/dx7/ffp/ffp_shader_key.h"

#include <cmath>
#include <cstring>

#include "platform/dx7/ffp/ffp_enum_translation.h"

FfpShaderKey::FfpShaderKey() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }

bool FfpShaderKey::operator==(const FfpShaderKey& other) const { return std::memcmp(this, &other, sizeof(*this)) == 0; }

std::size_t FfpShaderKey::hash() const {
  // FNV-1a over the bytes; the key is small and hashed once per draw.
  const auto* bytes = reinterpret_cast<const unsigned char*>(this);
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < sizeof(*this); ++i) {
    h ^= bytes[i];
    h *= 1099511628211ull;
  }
  return static_cast<std::size_t>(h);
}

bool ffpRenderStateShapesKey(DWORD renderState) {
  switch (renderState) {
    case D3DRENDERSTATE_LIGHTING:
    case D3DRENDERSTATE_SPECULARENABLE:
    case D3DRENDERSTATE_LOCALVIEWER:
    case D3DRENDERSTATE_NORMALIZENORMALS:
    case D3DRENDERSTATE_COLORVERTEX:
    case D3DRENDERSTATE_DIFFUSEMATERIALSOURCE:
    case D3DRENDERSTATE_AMBIENTMATERIALSOURCE:
    case D3DRENDERSTATE_SPECULARMATERIALSOURCE:
    case D3DRENDERSTATE_EMISSIVEMATERIALSOURCE:
    case D3DRENDERSTATE_SHADEMODE:
    case D3DRENDERSTATE_CLIPPLANEENABLE:
    case D3DRENDERSTATE_FOGENABLE:
    case D3DRENDERSTATE_FOGTABLEMODE:
    case D3DRENDERSTATE_FOGVERTEXMODE:
    case D3DRENDERSTATE_RANGEFOGENABLE:
    case D3DRENDERSTATE_ALPHATESTENABLE:
    case D3DRENDERSTATE_ALPHAFUNC:
    case D3DRENDERSTATE_COLORKEYENABLE:
    case D3DRENDERSTATE_COLORKEYBLENDENABLE:
      return true;
    default:
      return false;
  }
}

bool ffpStageStateShapesKey(DWORD stageState) {
  switch (stageState) {
    case D3DTSS_COLOROP:
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAOP:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
    case D3DTSS_TEXCOORDINDEX:
    case D3DTSS_TEXTURETRANSFORMFLAGS:
    // Border addressing and the LOD bias, where the shader does them.
    case D3DTSS_ADDRESS:
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
    case D3DTSS_MIPMAPLODBIAS:
      return true;
    default:
      return false;
  }
}

bool ffpHasLodBias(DWORD bias) {
  float value = 0.0f;
  std::memcpy(&value, &bias, sizeof(value));
  return std::isfinite(value) && value != 0.0f;
}

bool ffpOpReadsArg1(DWORD op) {
  switch (op) {
    case D3DTOP_DISABLE:
    case D3DTOP_SELECTARG2:
      return false;
    default:
      return true;
  }
}

bool ffpOpReadsArg2(DWORD op) {
  switch (op) {
    case D3DTOP_DISABLE:
    case D3DTOP_SELECTARG1:
    case D3DTOP_PREMODULATE:
    case D3DTOP_BUMPENVMAP:
    case D3DTOP_BUMPENVMAPLUMINANCE:
      return false;
    default:
      return true;
  }
}

namespace {

// Whether the operation reads the stage texture, through an argument or implicitly.
bool opReadsTexture(DWORD op, DWORD arg1, DWORD arg2) {
  if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM) return true;
  if (ffpOpReadsArg1(op) && (arg1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
  if (ffpOpReadsArg2(op) && (arg2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
  return false;
}

// Material colour source as it applies to this vertex format: a vertex colour the format lacks
// falls back to the material.
std::uint8_t materialSource(DWORD source, bool colorVertex, bool hasDiffuse, bool hasSpecular) {
  if (!colorVertex) return D3DMCS_MATERIAL;
  if (source == D3DMCS_COLOR1 && hasDiffuse) return D3DMCS_COLOR1;
  if (source == D3DMCS_COLOR2 && hasSpecular) return D3DMCS_COLOR2;
  return D3DMCS_MATERIAL;
}

void addVertexFormat(FfpShaderKey& key, const FfpVertexLayout& layout, bool clipControl) {
  key.pretransformed = layout.pretransformed;
  key.hasNormal = layout.normalOffset >= 0;
  key.hasDiffuse = layout.diffuseOffset >= 0;
  key.hasSpecular = layout.specularOffset >= 0;
  key.texCoordCount = static_cast<std::uint8_t>(layout.texCoordCount);
  for (int i = 0; i < layout.texCoordCount; ++i)
    key.texCoordSize[i] = static_cast<std::uint8_t>(layout.texCoordSize[i]);
  key.clipControl = clipControl;
}

void addLighting(FfpShaderKey& key, const DeviceState& state, int maxLights) {
  const DWORD* rs = state.renderStates;
  // Every untransformed vertex is lit; without a normal only the ambient and emissive terms remain.
  key.lighting = rs[D3DRENDERSTATE_LIGHTING] && !key.pretransformed;
  key.specularEnable = rs[D3DRENDERSTATE_SPECULARENABLE] != 0;
  if (!key.lighting) return;
  for (DWORD i = 0; i < kDeviceLightSlots && key.lightCount < maxLights; ++i) {
    if (!state.lightEnabled[i]) continue;
    const DWORD type = state.lights[i].dltType;
    if (type != D3DLIGHT_POINT && type != D3DLIGHT_SPOT && type != D3DLIGHT_DIRECTIONAL) continue;
    key.lightTypes[key.lightCount++] = static_cast<std::uint8_t>(type);
  }
  key.localViewer = rs[D3DRENDERSTATE_LOCALVIEWER] != 0;
  key.normalizeNormals = rs[D3DRENDERSTATE_NORMALIZENORMALS] != 0;
  const bool colorVertex = rs[D3DRENDERSTATE_COLORVERTEX] != 0;
  auto source = [&](D3DRENDERSTATETYPE which) {
    return materialSource(rs[which], colorVertex, key.hasDiffuse, key.hasSpecular);
  };
  key.diffuseSource = source(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE);
  key.ambientSource = source(D3DRENDERSTATE_AMBIENTMATERIALSOURCE);
  key.specularSource = source(D3DRENDERSTATE_SPECULARMATERIALSOURCE);
  key.emissiveSource = source(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE);
}

// Shading, clip planes, fog and the alpha test.
void addRaster(FfpShaderKey& key, const DWORD* rs) {
  key.flatShading = rs[D3DRENDERSTATE_SHADEMODE] == D3DSHADE_FLAT;
  // User clip planes are in world space: pre-transformed vertices have none.
  if (!key.pretransformed)
    key.clipPlanes = static_cast<std::uint8_t>(rs[D3DRENDERSTATE_CLIPPLANEENABLE] & ((1u << kFfpMaxClipPlanes) - 1u));

  if (rs[D3DRENDERSTATE_FOGENABLE]) {
    const DWORD table = rs[D3DRENDERSTATE_FOGTABLEMODE];
    const DWORD vertex = rs[D3DRENDERSTATE_FOGVERTEXMODE];
    if (ffpFogFormula(table)) {
      key.fogMode = FfpFogMode::kTable;
      key.fogFormula = static_cast<std::uint8_t>(table);
    } else if (ffpFogFormula(vertex) && !key.pretransformed) {
      key.fogMode = FfpFogMode::kVertex;
      key.fogFormula = static_cast<std::uint8_t>(vertex);
      key.rangeFog = rs[D3DRENDERSTATE_RANGEFOGENABLE] != 0;
    } else if (key.hasSpecular) {
      key.fogMode = FfpFogMode::kSpecularAlpha;
    }
  }

  if (rs[D3DRENDERSTATE_ALPHATESTENABLE]) {
    const DWORD func = rs[D3DRENDERSTATE_ALPHAFUNC];
    if (func >= D3DCMP_NEVER && func <= D3DCMP_ALWAYS && func != D3DCMP_ALWAYS)
      key.alphaTest = static_cast<std::uint8_t>(func);
  }
}

// A stage's operations and arguments as the generated stage carries them out, with `bound`
// telling whether the stage has a texture.
void addStageOperations(FfpStageKey& st, const DWORD* ts, bool bound) {
  DWORD colorOp = ffpEmulatedTextureOp(ts[D3DTSS_COLOROP]);
  DWORD alphaOp = ts[D3DTSS_ALPHAOP];
  alphaOp = ffpKnownTextureOp(alphaOp) ? ffpEmulatedTextureOp(alphaOp) : static_cast<DWORD>(D3DTOP_DISABLE);
  DWORD colorArg1 = ts[D3DTSS_COLORARG1] & 0x3F, colorArg2 = ts[D3DTSS_COLORARG2] & 0x3F;
  DWORD alphaArg1 = ts[D3DTSS_ALPHAARG1] & 0x3F, alphaArg2 = ts[D3DTSS_ALPHAARG2] & 0x3F;

  // Without a texture, an operation that reads it leaves the current colour as it is.
  if (!bound && opReadsTexture(colorOp, colorArg1, colorArg2)) {
    colorOp = D3DTOP_SELECTARG1;
    colorArg1 = D3DTA_CURRENT;
  }
  if (colorOp == D3DTOP_DOTPRODUCT3) {
    alphaOp = D3DTOP_DOTPRODUCT3;  // the dot product fills all four channels
    alphaArg1 = alphaArg2 = 0;
  } else if (alphaOp == D3DTOP_DISABLE) {
    alphaOp = D3DTOP_SELECTARG1;
    alphaArg1 = D3DTA_CURRENT;
  } else if (!bound && opReadsTexture(alphaOp, alphaArg1, alphaArg2)) {
    alphaOp = D3DTOP_SELECTARG1;
    alphaArg1 = D3DTA_CURRENT;
  }
  if (!ffpOpReadsArg1(colorOp)) colorArg1 = 0;
  if (!ffpOpReadsArg2(colorOp)) colorArg2 = 0;
  if (alphaOp != D3DTOP_DOTPRODUCT3) {
    if (!ffpOpReadsArg1(alphaOp)) alphaArg1 = 0;
    if (!ffpOpReadsArg2(alphaOp)) alphaArg2 = 0;
  }

  st.colorOp = static_cast<std::uint8_t>(colorOp);
  st.colorArg1 = static_cast<std::uint8_t>(colorArg1);
  st.colorArg2 = static_cast<std::uint8_t>(colorArg2);
  st.alphaOp = static_cast<std::uint8_t>(alphaOp);
  st.alphaArg1 = static_cast<std::uint8_t>(alphaArg1);
  st.alphaArg2 = static_cast<std::uint8_t>(alphaArg2);
  st.samplesTexture = bound && (opReadsTexture(colorOp, colorArg1, colorArg2) ||
                                (alphaOp != D3DTOP_DOTPRODUCT3 && opReadsTexture(alphaOp, alphaArg1, alphaArg2)));
}

// How a stage that samples its texture gets its coordinates, and its colour key.
void addStageTexture(FfpStageKey& st, const FfpShaderKey& key, const DWORD* ts, const DWORD* rs,
                     const FfpTexture& texture) {
  st.textureBound = 1;
  st.textureAlpha = texture.hasAlpha;
  const DWORD index = ts[D3DTSS_TEXCOORDINDEX];
  st.texCoordGen = static_cast<FfpTexCoordGen>((index >> 16) & 3);
  st.texCoordSet = static_cast<std::uint8_t>(index & 7);
  const DWORD flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
  const DWORD count = flags & 0xFF;
  if (count >= D3DTTFF_COUNT1 && count <= D3DTTFF_COUNT4 && !key.pretransformed) {
    st.transformCount = static_cast<std::uint8_t>(count);
    st.projected = (flags & D3DTTFF_PROJECTED) != 0 && count >= 2;
  }
  if (key.pretransformed) st.texCoordGen = FfpTexCoordGen::kPassThru;
  if (rs[D3DRENDERSTATE_COLORKEYENABLE] && texture.hasColorKey)
    st.colorKey = rs[D3DRENDERSTATE_COLORKEYBLENDENABLE] ? 2 : 1;
}

// Border addressing and the LOD bias of a stage that samples its texture, for the shader.
void addStageSamplerStates(FfpStageKey& st, const DWORD* ts) {
  if (ts[D3DTSS_ADDRESSU] == D3DTADDRESS_BORDER) st.border |= kFfpBorderU;
  if (ts[D3DTSS_ADDRESSV] == D3DTADDRESS_BORDER) st.border |= kFfpBorderV;
  if (st.border && ts[D3DTSS_MAGFILTER] == D3DTFG_POINT && ts[D3DTSS_MINFILTER] == D3DTFN_POINT)
    st.border |= kFfpBorderPoint;
  st.lodBias = ffpHasLodBias(ts[D3DTSS_MIPMAPLODBIAS]);
}

}  // namespace

FfpShaderKey ffpBuildShaderKey(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages],
                               const FfpVertexLayout& layout, bool clipControl, int maxLights,
                               unsigned shaderEmulation) {
  if (maxLights > kFfpMaxLights) maxLights = kFfpMaxLights;
  FfpShaderKey key;
  addVertexFormat(key, layout, clipControl);
  // Only pre-transformed vertices are drawn with depth clamping.
  key.depthClampInShader = key.pretransformed && (shaderEmulation & kFfpEmulateDepthClamp);
  addLighting(key, state, maxLights);
  addRaster(key, state.renderStates);
  for (DWORD s = 0; s < kDeviceTextureStages; ++s) {
    const DWORD* ts = state.textureStageStates[s];
    const DWORD colorOp = ts[D3DTSS_COLOROP];
    if (colorOp == D3DTOP_DISABLE || !ffpKnownTextureOp(colorOp)) break;
    const bool bound = textures && textures[s].name != 0;
    FfpStageKey& st = key.stages[s];
    addStageOperations(st, ts, bound);
    if (st.samplesTexture) addStageTexture(st, key, ts, state.renderStates, textures[s]);
    if (st.samplesTexture && (shaderEmulation & kFfpEmulateSamplerStates)) addStageSamplerStates(st, ts);
    key.stageCount = static_cast<std::uint8_t>(s + 1);
  }
  return key;
}

FfpShaderKey ffpBuildShaderKey(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages], DWORD fvf,
                               bool clipControl, int maxLights, unsigned shaderEmulation) {
  return ffpBuildShaderKey(state, textures, FfpVertexLayout(fvf), clipControl, maxLights, shaderEmulation);
}
