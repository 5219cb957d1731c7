// The part of the device state that shapes the generated fixed-function shaders. Two draws with
// equal keys share one GL program; everything else (matrices, colours, fog distances...) is a
// uniform. Unused fields stay zero so equivalent states compare equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/ffp_vertex_layout.h"

// A texture handed to a stage: the GL texture name (0 = none bound) and whether it has alpha.
struct FfpTexture {
  unsigned int name = 0;
  bool hasAlpha = false;
  // The surface's source colour key as 0xAARRGGBB (low..high), for COLORKEYENABLE.
  bool hasColorKey = false;
  std::uint32_t colorKeyLow = 0;
  std::uint32_t colorKeyHigh = 0;
  // Size of the top level in texels (0 when not known).
  int width = 0;
  int height = 0;
};

constexpr int kFfpMaxClipPlanes = 6;

constexpr int kFfpMaxLights = 8;

// Where a stage's texture coordinates come from (D3DTSS_TCI_* >> 16).
enum class FfpTexCoordGen : std::uint8_t {
  kPassThru = 0,  // the vertex's coordinate set
  kCameraSpaceNormal = 1,
  kCameraSpacePosition = 2,
  kCameraSpaceReflection = 3,
};

// Which fog a draw gets.
enum class FfpFogMode : std::uint8_t {
  kNone = 0,
  kTable = 1,          // per pixel, from depth (FOGTABLEMODE)
  kVertex = 2,         // per vertex, from eye distance (FOGVERTEXMODE)
  kSpecularAlpha = 3,  // the application put the fog factor into the specular alpha
};

struct FfpStageKey {
  std::uint8_t colorOp;    // D3DTOP_*, DISABLE ends the cascade
  std::uint8_t colorArg1;  // D3DTA_* (selector and modifiers), 0 when the op does not read it
  std::uint8_t colorArg2;
  std::uint8_t alphaOp;
  std::uint8_t alphaArg1;
  std::uint8_t alphaArg2;
  std::uint8_t textureBound;
  std::uint8_t textureAlpha;  // bound texture has an alpha channel
  std::uint8_t texCoordSet;   // vertex set the stage reads (PASSTHRU)
  FfpTexCoordGen texCoordGen;
  std::uint8_t transformCount;  // D3DTTFF_COUNTn (0 = no texture transform)
  std::uint8_t projected;       // D3DTTFF_PROJECTED
  std::uint8_t samplesTexture;  // the stage reads its texture (coordinates needed)
  std::uint8_t colorKey;        // 0 none, 1 keyed texels are not drawn, 2 keyed texels read alpha 0
  // Sampler states the shader carries out where the GL dialect's samplers lack them (ES):
  // border addressing (kFfpBorder* bits) and a level-of-detail bias.
  std::uint8_t border;
  std::uint8_t lodBias;
};

constexpr std::uint8_t kFfpBorderU = 1;
constexpr std::uint8_t kFfpBorderV = 2;
constexpr std::uint8_t kFfpBorderPoint = 4;  // point filtered: a texel is the border or not

struct FfpShaderKey {
  // Vertex format
  std::uint8_t pretransformed;  // D3DFVF_XYZRHW
  std::uint8_t hasNormal;
  std::uint8_t hasDiffuse;
  std::uint8_t hasSpecular;
  std::uint8_t texCoordCount;
  std::uint8_t texCoordSize[8];  // floats per set, 1..4
  // Lighting
  std::uint8_t lighting;  // lit: LIGHTING on, not pretransformed (with or without a normal)
  std::uint8_t lightCount;
  std::uint8_t lightTypes[kFfpMaxLights];
  std::uint8_t specularEnable;
  std::uint8_t localViewer;
  std::uint8_t normalizeNormals;
  std::uint8_t diffuseSource;  // D3DMCS_* after checking the vertex has that colour
  std::uint8_t ambientSource;
  std::uint8_t specularSource;
  std::uint8_t emissiveSource;
  // Raster
  std::uint8_t flatShading;
  FfpFogMode fogMode;
  std::uint8_t fogFormula;  // D3DFOG_* for table or vertex fog
  std::uint8_t rangeFog;
  std::uint8_t alphaTest;    // D3DCMP_* when ALPHATESTENABLE, else 0
  std::uint8_t clipControl;  // clip z is already 0..1 (no remap in the shader)
  std::uint8_t stageCount;   // stages before the first disabled one
  std::uint8_t clipPlanes;   // CLIPPLANEENABLE bits of the planes in use
  // The fragment's colour, as the frame buffer would store it, is written doubled: one draw
  // of triangles that came twice in a row under additive blending (see the pipeline).
  std::uint8_t addedTwice;
  // Pre-transformed depth is clamped to 0..1 in the vertex shader: the context has no depth
  // clamp (an ES context without EXT_depth_clamp), and geometry outside would be clipped.
  std::uint8_t depthClampInShader;
  FfpStageKey stages[kDeviceTextureStages];

  FfpShaderKey();
  bool operator==(const FfpShaderKey& other) const;
  std::size_t hash() const;
};

// The key is compared and hashed as raw bytes: no padding may hide in it.
static_assert(std::has_unique_object_representations_v<FfpStageKey>);
static_assert(std::has_unique_object_representations_v<FfpShaderKey>);

struct FfpShaderKeyHash {
  std::size_t operator()(const FfpShaderKey& key) const { return key.hash(); }
};

// What the generated shaders do where the GL dialect lacks it (bits of shaderEmulation below).
constexpr unsigned kFfpEmulateSamplerStates = 1;  // border addressing and the LOD bias
constexpr unsigned kFfpEmulateDepthClamp = 2;     // depth clamping, per vertex

// Builds the key for a draw with this state, these stage textures and vertex layout. The first
// maxLights enabled lights (in index order, at most kFfpMaxLights) take part in lighting.
FfpShaderKey ffpBuildShaderKey(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages],
                               const FfpVertexLayout& layout, bool clipControl, int maxLights = kFfpMaxLights,
                               unsigned shaderEmulation = 0);
// The same for a vertex format.
FfpShaderKey ffpBuildShaderKey(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages], DWORD fvf,
                               bool clipControl, int maxLights = kFfpMaxLights, unsigned shaderEmulation = 0);
// Whether a stage's MIPMAPLODBIAS is a bias to apply (finite and not zero).
bool ffpHasLodBias(DWORD bias);

// Whether a render state / texture stage state can change the key: the device gives its state a
// new shape version only when one of these changes (or a light's type or enable).
bool ffpRenderStateShapesKey(DWORD renderState);
bool ffpStageStateShapesKey(DWORD stageState);

// Whether a stage operation reads its first / second argument.
bool ffpOpReadsArg1(DWORD op);
bool ffpOpReadsArg2(DWORD op);
