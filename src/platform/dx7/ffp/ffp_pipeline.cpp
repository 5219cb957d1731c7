// Fixed-function drawing on GL: program cache by shader key, vertex upload cache by source,
// sampler objects by stage state, raster state and uniforms from the device state.
#include "platform/dx7/ffp/ffp_pipeline.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/dx7/ffp/ffp_enum_translation.h"
#include "platform/dx7/ffp/ffp_magnification.h"
#include "platform/dx7/ffp/ffp_shader_gen.h"

namespace {

// VELLUMITE_FFP_DUMP=DIR: each generated program is written to DIR as HASH.vert and HASH.frag
// (HASH the shader key's hash in hexadecimal), each starting with a comment that holds the
// whole key's bytes, so that a shader can be read and tried by hand.
void dumpShaders(const FfpShaderKey& key, const std::string& vertex, const std::string& fragment) {
  static const char* const dir = std::getenv("VELLUMITE_FFP_DUMP");
  if (dir == nullptr || *dir == '\0') return;
  std::string bytes;
  const auto* raw = reinterpret_cast<const unsigned char*>(&key);
  for (std::size_t i = 0; i < sizeof key; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", raw[i]);
    bytes += hex;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016zx", key.hash());
  for (const auto& [extension, text] : {std::pair{".vert", &vertex}, std::pair{".frag", &fragment}}) {
    const std::string path = std::string(dir) + "/" + name + extension;
    if (std::FILE* f = std::fopen(path.c_str(), "w")) {
      std::fprintf(f, "// shader key %s\n%s", bytes.c_str(), text->c_str());
      std::fclose(f);
    }
  }
}

// D3D samples pixel centres at integer coordinates, GL at +0.5: geometry moves by a little less
// than half a pixel so that D3D's top-left fill rule survives.
constexpr float kPixelCentreShift = 63.0f / 128.0f;
// Polygon offset units per ZBIAS step (GL scales units by the depth buffer's resolution).
constexpr float kZBiasUnits = 2.0f;

using Mat4 = float[4][4];

void toRows(const D3DMATRIX& m, Mat4 out) { std::memcpy(out, &m, sizeof(float) * 16); }

void multiply(const Mat4 a, const Mat4 b, Mat4 out) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += a[r][k] * b[k][c];
      out[r][c] = s;
    }
}

// Inverse of a 4x4 matrix (cofactor expansion); false when it is singular.
bool inverse4(const Mat4 m, Mat4 out) {
  const float* a = &m[0][0];
  float inv[16];
  inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
           a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
  inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
           a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
  inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
           a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
  inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
            a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
  inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
           a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
  inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
           a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
  inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
           a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
  inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
            a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
  inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
           a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
  inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
           a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
  inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
            a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
  inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
            a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
  inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
           a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
  inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
           a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
  inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
            a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
  inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
            a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
  const double det = static_cast<double>(a[0]) * inv[0] + static_cast<double>(a[1]) * inv[4] +
                     static_cast<double>(a[2]) * inv[8] + static_cast<double>(a[3]) * inv[12];
  if (std::fabs(det) < 1e-30 || !std::isfinite(det)) return false;
  const float s = static_cast<float>(1.0 / det);
  float* o = &out[0][0];
  for (int i = 0; i < 16; ++i) o[i] = inv[i] * s;
  return true;
}

void colourToFloats(D3DCOLOR c, float out[4]) {
  out[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
  out[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>(c & 0xFF) / 255.0f;
  out[3] = static_cast<float>(c >> 24) / 255.0f;
}

// The uniforms of the generated programs. Each program keeps the values it was last sent, so a
// draw sends only what changed (a program keeps its uniforms while others are in use).
enum UniformSlot {
  kWorldView, kProj, kNormalMatrix, kScreen, kPixelOffset, kPixelCorrection,
  kMatDiffuse, kMatAmbient, kMatSpecular, kMatEmissive, kMatPower, kGlobalAmbient,
  kLightPos, kLightDir, kLightDiffuse, kLightSpecular, kLightAmbient, kLightAtt, kLightSpot,
  kTexMatrix, kFogParams, kFogColor, kTextureFactor, kAlphaRef, kClipPlane,
  kKeyLow0, kKeyHigh0 = kKeyLow0 + kDeviceTextureStages,
  kUniformSlotCount = kKeyHigh0 + kDeviceTextureStages
};

struct UniformInfo {
  const char* name;
  int components;  // floats per element: 1..4, or 16 for a matrix
  int elements;    // array length (1 for a plain uniform)
  bool transpose;  // a matrix given row by row
};

constexpr UniformInfo kUniforms[kUniformSlotCount] = {
    {"uWorldView", 16, 1, false},  {"uProj", 16, 1, false},         {"uNormalMatrix", 16, 1, true},
    {"uScreen", 4, 1, false},      {"uPixelOffset", 2, 1, false},   {"uPixelCorrection", 1, 1, false},
    {"uMatDiffuse", 4, 1, false},  {"uMatAmbient", 4, 1, false},    {"uMatSpecular", 4, 1, false},
    {"uMatEmissive", 4, 1, false}, {"uMatPower", 1, 1, false},      {"uGlobalAmbient", 4, 1, false},
    {"uLightPos", 3, kFfpMaxLights, false},      {"uLightDir", 3, kFfpMaxLights, false},
    {"uLightDiffuse", 4, kFfpMaxLights, false},  {"uLightSpecular", 4, kFfpMaxLights, false},
    {"uLightAmbient", 4, kFfpMaxLights, false},  {"uLightAtt", 4, kFfpMaxLights, false},
    {"uLightSpot", 3, kFfpMaxLights, false},     {"uTexMatrix", 16, kDeviceTextureStages, false},
    {"uFogParams", 4, 1, false},   {"uFogColor", 3, 1, false},      {"uTextureFactor", 4, 1, false},
    {"uAlphaRef", 1, 1, false},    {"uClipPlane", 4, kFfpMaxClipPlanes, false},
    {"uKeyLow0", 3, 1, false},     {"uKeyLow1", 3, 1, false},       {"uKeyLow2", 3, 1, false},
    {"uKeyLow3", 3, 1, false},     {"uKeyLow4", 3, 1, false},       {"uKeyLow5", 3, 1, false},
    {"uKeyLow6", 3, 1, false},     {"uKeyLow7", 3, 1, false},       {"uKeyHigh0", 3, 1, false},
    {"uKeyHigh1", 3, 1, false},    {"uKeyHigh2", 3, 1, false},      {"uKeyHigh3", 3, 1, false},
    {"uKeyHigh4", 3, 1, false},    {"uKeyHigh5", 3, 1, false},      {"uKeyHigh6", 3, 1, false},
    {"uKeyHigh7", 3, 1, false},
};

// Where each slot's floats sit in a program's value cache, and how many floats there are.
struct UniformLayout {
  int offset[kUniformSlotCount];
  int total;
  constexpr UniformLayout() : offset(), total(0) {
    for (int i = 0; i < kUniformSlotCount; ++i) {
      offset[i] = total;
      total += kUniforms[i].components * kUniforms[i].elements;
    }
  }
};
constexpr UniformLayout kUniformLayout;

// Uniform values worked out for one draw, before they are compared with a program's.
struct StagedUniforms {
  int floats[kUniformSlotCount] = {};  // 0: not staged
  float values[kUniformLayout.total] = {};

  void clear() { std::memset(floats, 0, sizeof floats); }
  void stage(int slot, const float* v, int count) {
    std::memcpy(values + kUniformLayout.offset[slot], v, sizeof(float) * static_cast<std::size_t>(count));
    floats[slot] = count;
  }
};

struct ProgramEntry {
  GLuint program = 0;
  bool failed = false;
  GLint location[kUniformSlotCount];
  int sentFloats[kUniformSlotCount];  // -1: never sent
  std::vector<float> sent;            // the values each slot was last sent

  ProgramEntry() {
    std::fill(std::begin(location), std::end(location), -1);
    std::fill(std::begin(sentFloats), std::end(sentFloats), -1);
  }
  bool has(int slot) const { return location[slot] >= 0; }

  // Whether sending the staged values would change any uniform of this program.
  bool differs(const StagedUniforms& staged) const {
    for (int i = 0; i < kUniformSlotCount; ++i) {
      const int n = staged.floats[i];
      if (n == 0) continue;
      if (n != sentFloats[i]) return true;
      const int at = kUniformLayout.offset[i];
      if (std::memcmp(staged.values + at, sent.data() + at, sizeof(float) * static_cast<std::size_t>(n)) != 0)
        return true;
    }
    return false;
  }

  // Sends another program's uniform values to this one (in use), for the same draw.
  void sendAs(const ProgramEntry& other) {
    StagedUniforms same;
    for (int i = 0; i < kUniformSlotCount; ++i)
      if (other.sentFloats[i] > 0) same.stage(i, other.sent.data() + kUniformLayout.offset[i], other.sentFloats[i]);
    send(same);
  }

  // Sends the staged values that differ from what the program holds (the program is in use).
  void send(const StagedUniforms& staged) {
    for (int i = 0; i < kUniformSlotCount; ++i) {
      const int n = staged.floats[i];
      if (n == 0) continue;
      const int at = kUniformLayout.offset[i];
      const float* v = staged.values + at;
      if (n == sentFloats[i] && std::memcmp(v, sent.data() + at, sizeof(float) * static_cast<std::size_t>(n)) == 0)
        continue;
      const UniformInfo& u = kUniforms[i];
      const GLint loc = location[i];
      const GLsizei count = n / u.components;
      switch (u.components) {
        case 1: glUniform1fv(loc, count, v); break;
        case 2: glUniform2fv(loc, count, v); break;
        case 3: glUniform3fv(loc, count, v); break;
        case 4: glUniform4fv(loc, count, v); break;
        default: glUniformMatrix4fv(loc, count, u.transpose ? GL_TRUE : GL_FALSE, v); break;
      }
      std::memcpy(sent.data() + at, v, sizeof(float) * static_cast<std::size_t>(n));
      sentFloats[i] = n;
    }
  }
};

// The fixed-function raster state a draw asks GL for. Fields that do not apply (the depth
// function with the depth test off...) stay zero, so equal states compare equal.
struct RasterState {
  GLenum depthFunc;  // 0: no depth test
  GLuint depthMask;
  GLuint blend;
  GLenum blendSource, blendDestination;
  GLenum cullFace;                       // 0: no culling
  GLenum frontFace;
  DWORD zbias;
  GLenum polygonMode;
  GLenum stencilFunc;  // 0: no stencil test
  GLint stencilRef;
  GLuint stencilMask;
  GLenum stencilFail, stencilDepthFail, stencilPass;
  GLuint stencilWriteMask;
  GLuint dither;

  bool operator==(const RasterState& o) const { return std::memcmp(this, &o, sizeof(*this)) == 0; }
};
static_assert(std::has_unique_object_representations_v<RasterState>);

RasterState rasterStateOf(const DeviceState& state) {
  RasterState r;
  std::memset(&r, 0, sizeof r);
  const DWORD* rs = state.renderStates;
  if (rs[D3DRENDERSTATE_ZENABLE]) r.depthFunc = ffpCompareFunc(rs[D3DRENDERSTATE_ZFUNC]);
  r.depthMask = rs[D3DRENDERSTATE_ZWRITEENABLE] ? GL_TRUE : GL_FALSE;
  if (rs[D3DRENDERSTATE_ALPHABLENDENABLE]) {
    const FfpBlendFactors f = ffpBlendFactors(rs[D3DRENDERSTATE_SRCBLEND], rs[D3DRENDERSTATE_DESTBLEND]);
    r.blend = 1;
    r.blendSource = f.source;
    r.blendDestination = f.destination;
  }
  const FfpCullMode cull = ffpCullMode(rs[D3DRENDERSTATE_CULLMODE]);
  if (cull.enabled) {
    r.cullFace = cull.cullFace;
    r.frontFace = cull.frontFace;
  }
  r.zbias = std::min<DWORD>(rs[D3DRENDERSTATE_ZBIAS], 16);
  r.polygonMode = ffpPolygonMode(rs[D3DRENDERSTATE_FILLMODE]);
  if (rs[D3DRENDERSTATE_STENCILENABLE]) {
    r.stencilFunc = ffpCompareFunc(rs[D3DRENDERSTATE_STENCILFUNC]);
    r.stencilRef = static_cast<GLint>(rs[D3DRENDERSTATE_STENCILREF]);
    r.stencilMask = rs[D3DRENDERSTATE_STENCILMASK];
    r.stencilFail = ffpStencilOp(rs[D3DRENDERSTATE_STENCILFAIL]);
    r.stencilDepthFail = ffpStencilOp(rs[D3DRENDERSTATE_STENCILZFAIL]);
    r.stencilPass = ffpStencilOp(rs[D3DRENDERSTATE_STENCILPASS]);
    r.stencilWriteMask = rs[D3DRENDERSTATE_STENCILWRITEMASK];
  }
  r.dither = rs[D3DRENDERSTATE_DITHERENABLE] ? GL_TRUE : GL_FALSE;
  return r;
}

void setEnabled(GLenum capability, bool on) {
  if (on)
    glEnable(capability);
  else
    glDisable(capability);
}

struct SourceKey {
  const void* id;
  const void* data;
  bool operator==(const SourceKey& o) const { return id == o.id && data == o.data; }
};
struct SourceKeyHash {
  std::size_t operator()(const SourceKey& k) const {
    return std::hash<const void*>()(k.id) * 31u ^ std::hash<const void*>()(k.data);
  }
};
struct SourceEntry {
  GLuint buffer = 0;
  std::uint64_t version = 0;
  std::size_t bytes = 0;
  // A source that changed after its first upload streams its new contents through the stream
  // buffer instead (a new buffer store per change costs an allocation in the driver).
  bool dynamic = false;
  std::uint64_t streamGeneration = 0;
  std::size_t streamOffset = 0;
};

// Bytes of one stream buffer store: drawing appends to it and starts a fresh store when full.
constexpr std::size_t kStreamBytes = std::size_t{4} << 20;

// One append-only GL buffer: data goes in at increasing offsets without waiting for earlier
// draws that still read it; a full buffer is orphaned (the driver gives it a new store).
struct StreamBuffer {
  GLuint name = 0;
  std::size_t capacity = 0;
  std::size_t offset = 0;
  std::uint64_t generation = 1;  // bumped with every new store

  // Copies bytes in (target's binding is left on this buffer); returns their offset.
  std::size_t append(GLenum target, const void* data, std::size_t bytes, std::size_t alignment) {
    glBindBuffer(target, name);
    std::size_t at = (offset + alignment - 1) / alignment * alignment;
    if (capacity == 0 || at + bytes > capacity) {
      capacity = std::max(kStreamBytes, bytes);
      glBufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
      ++generation;
      at = 0;
    }
    void* mapped = glMapBufferRange(target, static_cast<GLintptr>(at), static_cast<GLsizeiptr>(bytes),
                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (mapped) {
      std::memcpy(mapped, data, bytes);
      glUnmapBuffer(target);
    } else {
      glBufferSubData(target, static_cast<GLintptr>(at), static_cast<GLsizeiptr>(bytes), data);
    }
    offset = at + bytes;
    return at;
  }
};

// The stage states a sampler is made from, and whether it serves a draw that only magnifies.
using SamplerKey = std::tuple<DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, bool>;

// Texture wrapping (WRAP0..7 for coordinate sets 0..7): within each triangle a wrapped
// coordinate takes the shorter way round, so 0.9 to 0.1 crosses 1.0 instead of going back
// through 0.5. Triangles of every kind come out as a list with the wrapped coordinates moved
// by whole units, in GL's order and with its provoking vertex. False when nothing wraps.
bool unwrapTriangles(const DeviceState& state, D3DPRIMITIVETYPE type, DWORD fvf, DWORD stride, const void* vertices,
                     DWORD vertexCount, const WORD* indices, DWORD indexCount, std::vector<std::uint8_t>& out) {
  if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN) return false;
  const int sets = static_cast<int>(std::min<DWORD>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8));
  struct Wrapped {
    std::size_t offset;
    int component;
  };
  std::vector<Wrapped> wrapped;
  for (int set = 0; set < sets; ++set) {
    const DWORD bits = state.renderStates[D3DRENDERSTATE_WRAP0 + set];
    for (int c = 0; c < ffpTexCoordSize(fvf, set); ++c)
      if (bits & (1u << c)) wrapped.push_back({ffpTexCoordOffset(fvf, set) + 4 * static_cast<std::size_t>(c), c});
  }
  if (wrapped.empty()) return false;
  const DWORD count = indices ? indexCount : vertexCount;
  auto vertexAt = [&](DWORD i) {
    const DWORD v = indices ? indices[i] : i;
    return static_cast<const std::uint8_t*>(vertices) + static_cast<std::size_t>(v) * stride;
  };
  std::vector<DWORD> order;
  if (type == D3DPT_TRIANGLELIST) {
    for (DWORD i = 0; i + 2 < count; i += 3) order.insert(order.end(), {i, i + 1, i + 2});
  } else if (type == D3DPT_TRIANGLESTRIP) {
    for (DWORD i = 0; i + 2 < count; ++i)
      order.insert(order.end(), (i & 1) ? std::initializer_list<DWORD>{i, i + 2, i + 1}
                                         : std::initializer_list<DWORD>{i, i + 1, i + 2});
  } else {
    for (DWORD i = 1; i + 1 < count; ++i) order.insert(order.end(), {i, i + 1, 0});
  }
  out.resize(order.size() * stride);
  for (std::size_t t = 0; t + 2 < order.size(); t += 3) {
    std::uint8_t* tri = out.data() + t * stride;
    for (int k = 0; k < 3; ++k) std::memcpy(tri + k * stride, vertexAt(order[t + static_cast<std::size_t>(k)]), stride);
    for (const Wrapped& w : wrapped) {
      float first = 0.0f;
      std::memcpy(&first, tri + w.offset, 4);
      for (int k = 1; k < 3; ++k) {
        float v = 0.0f;
        std::memcpy(&v, tri + k * stride + w.offset, 4);
        if (std::isfinite(v) && std::isfinite(first)) v += std::round(first - v);
        std::memcpy(tri + k * stride + w.offset, &v, 4);
      }
    }
  }
  return true;
}

}  // namespace

struct FixedFunctionPipeline::Impl {
  bool initialised = false;
  bool allowClipControl = true;
  bool clipControl = false;
  bool keepState = false;
  GLuint vao = 0;
  StreamBuffer vertexStream;
  StreamBuffer indexStream;
  std::unordered_map<FfpShaderKey, ProgramEntry, FfpShaderKeyHash> programs;
  std::unordered_map<SourceKey, SourceEntry, SourceKeyHash> sources;
  std::map<SamplerKey, GLuint> samplers;
  int compiled = 0;
  int maxLights = kFfpMaxLights;
  std::string error;
  StagedUniforms staged;

  // The shader key and program of the last draw, reused while the state's shape version, the
  // vertex format and the stage textures' shaping properties stay the same.
  struct ShapeCache {
    std::uint64_t version = 0;
    DWORD fvf = 0;
    int maxLights = 0;
    unsigned int texture[kDeviceTextureStages] = {};
    bool textureAlpha[kDeviceTextureStages] = {};
    bool textureColorKey[kDeviceTextureStages] = {};
    FfpShaderKey key;
    ProgramEntry* program = nullptr;

    bool matches(std::uint64_t v, DWORD f, int lights, const FfpTexture textures[kDeviceTextureStages]) const {
      if (program == nullptr || v == 0 || v != version || f != fvf || lights != maxLights) return false;
      for (DWORD s = 0; s < kDeviceTextureStages; ++s)
        if (textures[s].name != texture[s] || textures[s].hasAlpha != textureAlpha[s] ||
            textures[s].hasColorKey != textureColorKey[s])
          return false;
      return true;
    }
    void remember(std::uint64_t v, DWORD f, int lights, const FfpTexture textures[kDeviceTextureStages],
                  const FfpShaderKey& k, ProgramEntry* p) {
      version = v;
      fvf = f;
      maxLights = lights;
      for (DWORD s = 0; s < kDeviceTextureStages; ++s) {
        texture[s] = textures[s].name;
        textureAlpha[s] = textures[s].hasAlpha;
        textureColorKey[s] = textures[s].hasColorKey;
      }
      key = k;
      program = p;
    }
  } shape;

  // What this pipeline last set in GL. Only meaningful while valid: restore() and anything
  // else that may have touched GL make it unknown, and the next draw sets everything again.
  struct Shadow {
    bool valid = false;
    GLuint framebuffer = 0;
    GLuint program = 0;
    GLint viewport[4] = {};
    double depthRange[2] = {};
    RasterState raster{};
    GLuint attributeBuffer = 0;  // the buffer and format the attribute pointers read
    DWORD attributeFvf = 0;
    GLuint texture[kDeviceTextureStages] = {};
    GLuint sampler[kDeviceTextureStages] = {};
    GLuint activeUnit = 0;
    bool depthClamp = false;
    unsigned clipDistances = 0;
    bool zeroToOneDepth = false;  // glClipControl's 0..1 depth
  } shadow;

  // Single triangles drawn one after another with nothing changing in between go to GL as one
  // draw: they wait here (already in GL's triangle order) until something else comes.
  struct Batch {
    const ProgramEntry* program = nullptr;
    FfpShaderKey key;
    DWORD stride = 0;
    std::vector<std::uint8_t> vertices;
  } batch;
  // Whether the renderer stores a fragment's colour as the nearest byte (ties to even), so a
  // program can work out what the frame buffer will hold (llvmpipe's blending does).
  bool nearestBytes = false;
  static constexpr std::size_t kBatchBytes = std::size_t{256} << 10;

  void initialise() {
    if (initialised) return;
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vertexStream.name);
    glGenBuffers(1, &indexStream.name);
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    clipControl = allowClipControl && (major > 4 || (major == 4 && minor >= 5));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    nearestBytes = renderer && std::strstr(renderer, "llvmpipe") != nullptr;
    if (allowClipControl && !clipControl) {
      GLint count = 0;
      glGetIntegerv(GL_NUM_EXTENSIONS, &count);
      for (GLint i = 0; i < count && !clipControl; ++i) {
        const char* ext = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        clipControl = ext && std::strcmp(ext, "GL_ARB_clip_control") == 0;
      }
    }
    initialised = true;
  }

  void release() {
    if (!initialised) return;
    restore();
    batch.vertices.clear();
    batch.program = nullptr;
    for (auto& p : programs)
      if (p.second.program) glDeleteProgram(p.second.program);
    for (auto& s : sources)
      if (s.second.buffer) glDeleteBuffers(1, &s.second.buffer);
    for (auto& s : samplers) glDeleteSamplers(1, &s.second);
    glDeleteBuffers(1, &vertexStream.name);
    glDeleteBuffers(1, &indexStream.name);
    glDeleteVertexArrays(1, &vao);
    programs.clear();
    shape = ShapeCache{};
    sources.clear();
    samplers.clear();
    vao = 0;
    vertexStream = StreamBuffer{};
    indexStream = StreamBuffer{};
    initialised = false;
  }

  // Draws the waiting triangles with the GL state they were queued under (still current).
  void flushBatch() {
    if (batch.vertices.empty()) return;
    const GLuint inUse = shadow.program;  // the batch's: the next draw's state is not sent yet
    ProgramEntry* twice = addedTwiceProgram();
    const std::size_t bytes = twice ? batch.vertices.size() / 2 : batch.vertices.size();
    const std::size_t at = vertexStream.append(GL_ARRAY_BUFFER, batch.vertices.data(), bytes, batch.stride);
    if (twice) {
      glUseProgram(twice->program);
      twice->sendAs(*batch.program);
    }
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(at / batch.stride), static_cast<GLsizei>(bytes / batch.stride));
    if (twice) {
      glUseProgram(inUse);
      shadow.program = inUse;
    }
    batch.vertices.clear();
    batch.program = nullptr;
  }

  // Triangles that come twice in a row under additive blending (a billboard drawn twice at one
  // place, say) cost the rasteriser twice. When the waiting triangles are such a repeat, and
  // the second copy meets the frame buffer exactly as the first did (no depth or stencil
  // writes), their first half drawn once by a program that writes the stored colour doubled
  // gives the same bytes: saturating sums of whole bytes do not depend on how they are grouped.
  // Returns that program, or null to draw the triangles as they came.
  ProgramEntry* addedTwiceProgram() {
    const RasterState& r = shadow.raster;
    if (!nearestBytes || !r.blend || r.blendSource != GL_ONE || r.blendDestination != GL_ONE || r.depthMask ||
        r.stencilFunc != 0)
      return nullptr;
    const std::size_t half = batch.vertices.size() / 2;
    if (half == 0 || half % (3 * std::size_t{batch.stride}) != 0 ||
        std::memcmp(batch.vertices.data(), batch.vertices.data() + half, half) != 0)
      return nullptr;
    FfpShaderKey doubled = batch.key;
    doubled.addedTwice = 1;
    ProgramEntry& entry = program(doubled);
    return entry.failed ? nullptr : &entry;
  }

  // Sends what is waiting and puts GL back as the header promises after a draw: no sampler
  // objects, filled polygons, depth writes on, GL's own clip depth, no depth clamp or clip
  // distances, texture unit 0 active and the default framebuffer bound. Afterwards nothing
  // is assumed about GL's state.
  void restore() {
    if (!initialised) return;
    flushBatch();
    if (shadow.valid) {
      for (GLuint s = 0; s < kDeviceTextureStages; ++s)
        if (shadow.sampler[s]) glBindSampler(s, 0);
      if (shadow.zeroToOneDepth) glClipControl(GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
      if (shadow.depthClamp) glDisable(GL_DEPTH_CLAMP);
      for (int i = 0; i < kFfpMaxClipPlanes; ++i)
        if (shadow.clipDistances & (1u << i)) glDisable(GL_CLIP_DISTANCE0 + static_cast<GLenum>(i));
      if (shadow.activeUnit != 0) glActiveTexture(GL_TEXTURE0);
      if (shadow.raster.polygonMode != GL_FILL) glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      if (!shadow.raster.depthMask) glDepthMask(GL_TRUE);
    }
    if (shadow.framebuffer != 0) glBindFramebuffer(GL_FRAMEBUFFER, 0);
    shadow = Shadow{};
  }

  void bindFramebuffer(GLuint framebuffer) {
    if (shadow.valid && shadow.framebuffer == framebuffer) return;
    flushBatch();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    if (!shadow.valid) glDisable(GL_SCISSOR_TEST);
    shadow.framebuffer = framebuffer;
  }

  GLuint compileShader(GLenum stage, const std::string& source) {
    GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      char log[1024] = {0};
      glGetShaderInfoLog(shader, sizeof(log) - 1, nullptr, log);
      error = std::string(stage == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + log;
      glDeleteShader(shader);
      return 0;
    }
    return shader;
  }

  ProgramEntry& program(const FfpShaderKey& key) {
    auto found = programs.find(key);
    if (found != programs.end()) return found->second;
    ProgramEntry& entry = programs[key];
    ++compiled;
    const std::string vertexSource = ffpVertexShaderSource(key);
    const std::string fragmentSource = ffpFragmentShaderSource(key);
    dumpShaders(key, vertexSource, fragmentSource);
    GLuint vs = compileShader(GL_VERTEX_SHADER, vertexSource);
    GLuint fs = vs ? compileShader(GL_FRAGMENT_SHADER, fragmentSource) : 0;
    if (!vs || !fs) {
      if (vs) glDeleteShader(vs);
      entry.failed = true;
      return entry;
    }
    GLuint prog = glCreateProgram();
    glAttachShader(prog, vs);
    glAttachShader(prog, fs);
    glLinkProgram(prog);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(prog, GL_LINK_STATUS, &ok);
    if (!ok) {
      char log[1024] = {0};
      glGetProgramInfoLog(prog, sizeof(log) - 1, nullptr, log);
      error = std::string("link: ") + log;
      glDeleteProgram(prog);
      entry.failed = true;
      return entry;
    }
    entry.program = prog;
    for (int u = 0; u < kUniformSlotCount; ++u) entry.location[u] = glGetUniformLocation(prog, kUniforms[u].name);
    entry.sent.assign(static_cast<std::size_t>(kUniformLayout.total), 0.0f);
    glUseProgram(prog);
    for (int s = 0; s < static_cast<int>(kDeviceTextureStages); ++s) {
      const std::string name = "uTex" + std::to_string(s);
      const GLint l = glGetUniformLocation(prog, name.c_str());
      if (l >= 0) glUniform1i(l, s);
    }
    shadow.program = prog;
    return entry;
  }

  // The sampler for a stage's states. One for a draw that only magnifies its texture filters
  // with the magnification filter alone: GL would never minify there, and no level of detail
  // need be worked out.
  GLuint sampler(const DWORD* ts, bool magnifiedOnly) {
    const SamplerKey key{ts[D3DTSS_ADDRESSU],    ts[D3DTSS_ADDRESSV],    ts[D3DTSS_MAGFILTER],
                         ts[D3DTSS_MINFILTER],   ts[D3DTSS_MIPFILTER],   ts[D3DTSS_MIPMAPLODBIAS],
                         ts[D3DTSS_BORDERCOLOR], ts[D3DTSS_MAXMIPLEVEL], magnifiedOnly};
    auto found = samplers.find(key);
    if (found != samplers.end()) return found->second;
    GLuint s = 0;
    glGenSamplers(1, &s);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, ffpAddressMode(ts[D3DTSS_ADDRESSU]));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, ffpAddressMode(ts[D3DTSS_ADDRESSV]));
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, ffpMagFilter(ts[D3DTSS_MAGFILTER]));
    glSamplerParameteri(
        s, GL_TEXTURE_MIN_FILTER,
        magnifiedOnly ? ffpMagFilter(ts[D3DTSS_MAGFILTER]) : ffpMinFilter(ts[D3DTSS_MINFILTER], ts[D3DTSS_MIPFILTER]));
    float bias = 0.0f;
    std::memcpy(&bias, &ts[D3DTSS_MIPMAPLODBIAS], sizeof(bias));
    if (std::isfinite(bias)) glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, bias);
    // MAXMIPLEVEL names the most detailed level used.
    glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, static_cast<float>(std::min<DWORD>(ts[D3DTSS_MAXMIPLEVEL], 16)));
    float border[4];
    colourToFloats(ts[D3DTSS_BORDERCOLOR], border);
    glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
    samplers[key] = s;
    return s;
  }

  // Binds a GL buffer holding the vertices, uploading only when the source changed; returns
  // the index of the first vertex in it.
  std::size_t bindVertices(const void* vertices, std::size_t bytes, DWORD stride, const void* sourceId,
                           std::uint64_t version, GLuint& buffer) {
    buffer = vertexStream.name;
    if (!sourceId) return vertexStream.append(GL_ARRAY_BUFFER, vertices, bytes, stride) / stride;
    SourceEntry& entry = sources[SourceKey{sourceId, vertices}];
    const bool changed = entry.version != version || entry.bytes != bytes;
    if (!entry.buffer && !entry.dynamic) {
      glGenBuffers(1, &entry.buffer);
      glBindBuffer(GL_ARRAY_BUFFER, entry.buffer);
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), vertices, GL_STATIC_DRAW);
    } else if (changed || (entry.dynamic && entry.streamGeneration != vertexStream.generation)) {
      if (!entry.dynamic) {
        glDeleteBuffers(1, &entry.buffer);
        if (shadow.attributeBuffer == entry.buffer) shadow.attributeBuffer = 0;
        entry.buffer = 0;
        entry.dynamic = true;
      }
      entry.streamOffset = vertexStream.append(GL_ARRAY_BUFFER, vertices, bytes, stride);
      entry.streamGeneration = vertexStream.generation;
    } else {
      glBindBuffer(GL_ARRAY_BUFFER, entry.dynamic ? vertexStream.name : entry.buffer);
    }
    entry.version = version;
    entry.bytes = bytes;
    if (!entry.dynamic) buffer = entry.buffer;
    return entry.dynamic ? entry.streamOffset / stride : 0;
  }

  // Points the attributes at the buffer bound to GL_ARRAY_BUFFER, vertex 0 at its start.
  void setAttributes(GLuint buffer, DWORD fvf, DWORD stride) {
    if (shadow.valid && shadow.attributeBuffer == buffer && shadow.attributeFvf == fvf) return;
    for (GLuint i = 0; i < static_cast<GLuint>(kFfpAttribTexCoord0 + 8); ++i) glDisableVertexAttribArray(i);
    std::size_t offset = 0;
    auto at = [&offset]() { return reinterpret_cast<const void*>(offset); };
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    glEnableVertexAttribArray(kFfpAttribPosition);
    if (position == D3DFVF_XYZRHW) {
      glVertexAttribPointer(kFfpAttribPosition, 4, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride), at());
      offset += 16;
    } else {
      glVertexAttribPointer(kFfpAttribPosition, 3, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride), at());
      offset += 12;
      if (position >= D3DFVF_XYZB1) offset += 4 * ((position - D3DFVF_XYZB1) / 2 + 1);  // blend weights
    }
    if (fvf & D3DFVF_NORMAL) {
      glEnableVertexAttribArray(kFfpAttribNormal);
      glVertexAttribPointer(kFfpAttribNormal, 3, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride), at());
      offset += 12;
    }
    if (fvf & D3DFVF_RESERVED1) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
      glEnableVertexAttribArray(kFfpAttribDiffuse);
      glVertexAttribPointer(kFfpAttribDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(stride), at());
      offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
      glEnableVertexAttribArray(kFfpAttribSpecular);
      glVertexAttribPointer(kFfpAttribSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(stride), at());
      offset += 4;
    }
    const DWORD sets = std::min<DWORD>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8);
    for (DWORD i = 0; i < sets; ++i) {
      const int size = ffpTexCoordSize(fvf, static_cast<int>(i));
      const GLuint location = static_cast<GLuint>(kFfpAttribTexCoord0) + i;
      glEnableVertexAttribArray(location);
      glVertexAttribPointer(location, size, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride), at());
      offset += 4 * static_cast<std::size_t>(size);
    }
    shadow.attributeBuffer = buffer;
    shadow.attributeFvf = fvf;
  }

  // Sets the raster state that differs from what GL holds.
  void applyRasterState(const RasterState& r) {
    const bool all = !shadow.valid;
    const RasterState& o = shadow.raster;
    if (all || (r.depthFunc != 0) != (o.depthFunc != 0)) setEnabled(GL_DEPTH_TEST, r.depthFunc != 0);
    if (r.depthFunc != 0 && (all || r.depthFunc != o.depthFunc)) glDepthFunc(r.depthFunc);
    if (all || r.depthMask != o.depthMask) glDepthMask(static_cast<GLboolean>(r.depthMask));
    if (all || r.blend != o.blend) {
      setEnabled(GL_BLEND, r.blend != 0);
      if (all) glBlendEquation(GL_FUNC_ADD);
    }
    if (r.blend != 0 && (all || r.blendSource != o.blendSource || r.blendDestination != o.blendDestination))
      glBlendFunc(r.blendSource, r.blendDestination);
    if (all || (r.cullFace != 0) != (o.cullFace != 0)) setEnabled(GL_CULL_FACE, r.cullFace != 0);
    if (r.cullFace != 0 && (all || r.cullFace != o.cullFace || r.frontFace != o.frontFace)) {
      glFrontFace(r.frontFace);
      glCullFace(r.cullFace);
    }
    if (all || r.zbias != o.zbias) {
      const bool offset = r.zbias != 0;
      if (all || offset != (o.zbias != 0)) {
        setEnabled(GL_POLYGON_OFFSET_FILL, offset);
        setEnabled(GL_POLYGON_OFFSET_LINE, offset);
        setEnabled(GL_POLYGON_OFFSET_POINT, offset);
      }
      if (offset) glPolygonOffset(0.0f, -kZBiasUnits * static_cast<float>(r.zbias));
    }
    if (all || r.polygonMode != o.polygonMode) glPolygonMode(GL_FRONT_AND_BACK, r.polygonMode);
    if (all || (r.stencilFunc != 0) != (o.stencilFunc != 0)) setEnabled(GL_STENCIL_TEST, r.stencilFunc != 0);
    if (r.stencilFunc != 0) {
      if (all || r.stencilFunc != o.stencilFunc || r.stencilRef != o.stencilRef || r.stencilMask != o.stencilMask)
        glStencilFunc(r.stencilFunc, r.stencilRef, r.stencilMask);
      if (all || r.stencilFail != o.stencilFail || r.stencilDepthFail != o.stencilDepthFail ||
          r.stencilPass != o.stencilPass)
        glStencilOp(r.stencilFail, r.stencilDepthFail, r.stencilPass);
      if (all || r.stencilWriteMask != o.stencilWriteMask) glStencilMask(r.stencilWriteMask);
    }
    if (all || r.dither != o.dither) setEnabled(GL_DITHER, r.dither != 0);
    if (all) {
      glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
      glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    shadow.raster = r;
  }

  // Works out the draw's uniform values into `staged`.
  void stageUniforms(const ProgramEntry& p, const FfpShaderKey& key, const DeviceState& state,
                     const FfpTexture textures[kDeviceTextureStages], float viewportX, float viewportY,
                     float viewportW, float viewportH) {
    staged.clear();
    Mat4 world, view, proj, worldView;
    toRows(state.transforms[D3DTRANSFORMSTATE_WORLD], world);
    toRows(state.transforms[D3DTRANSFORMSTATE_VIEW], view);
    toRows(state.transforms[D3DTRANSFORMSTATE_PROJECTION], proj);
    multiply(world, view, worldView);
    if (p.has(kWorldView)) staged.stage(kWorldView, &worldView[0][0], 16);
    if (p.has(kProj)) staged.stage(kProj, &proj[0][0], 16);
    if (p.has(kNormalMatrix)) {
      // Normals go through the inverse transpose of the whole 4x4 world-view matrix: GLSL's
      // column-vector form of it is the plain inverse. A singular matrix leaves normals as given.
      Mat4 inv;
      if (!inverse4(worldView, inv)) {
        std::memset(inv, 0, sizeof(inv));
        inv[0][0] = inv[1][1] = inv[2][2] = inv[3][3] = 1.0f;
      }
      staged.stage(kNormalMatrix, &inv[0][0], 16);
    }
    if (p.has(kScreen)) {
      const float screen[4] = {viewportX, viewportY, viewportW, viewportH};
      staged.stage(kScreen, screen, 4);
    }
    if (p.has(kPixelOffset)) {
      const float offset[2] = {viewportW > 0 ? 2.0f * kPixelCentreShift / viewportW : 0.0f,
                               viewportH > 0 ? 2.0f * kPixelCentreShift / viewportH : 0.0f};
      staged.stage(kPixelOffset, offset, 2);
    }
    if (p.has(kPixelCorrection)) {
      const float correction = 0.5f - kPixelCentreShift;
      staged.stage(kPixelCorrection, &correction, 1);
    }

    const DWORD* rs = state.renderStates;
    if (key.lighting) {
      const D3DMATERIAL7& m = state.material;
      if (p.has(kMatDiffuse)) staged.stage(kMatDiffuse, &m.diffuse.r, 4);
      if (p.has(kMatAmbient)) staged.stage(kMatAmbient, &m.ambient.r, 4);
      if (p.has(kMatSpecular)) staged.stage(kMatSpecular, &m.specular.r, 4);
      if (p.has(kMatEmissive)) staged.stage(kMatEmissive, &m.emissive.r, 4);
      if (p.has(kMatPower)) staged.stage(kMatPower, &m.power, 1);
      float ambient[4];
      colourToFloats(rs[D3DRENDERSTATE_AMBIENT], ambient);
      if (p.has(kGlobalAmbient)) staged.stage(kGlobalAmbient, ambient, 4);

      float pos[kFfpMaxLights][3] = {}, dir[kFfpMaxLights][3] = {}, dif[kFfpMaxLights][4] = {},
            spe[kFfpMaxLights][4] = {}, amb[kFfpMaxLights][4] = {}, att[kFfpMaxLights][4] = {},
            spot[kFfpMaxLights][3] = {};
      int n = 0;
      for (DWORD i = 0; i < kDeviceLightSlots && n < key.lightCount; ++i) {
        if (!state.lightEnabled[i]) continue;
        const D3DLIGHT7& l = state.lights[i];
        if (l.dltType != D3DLIGHT_POINT && l.dltType != D3DLIGHT_SPOT && l.dltType != D3DLIGHT_DIRECTIONAL) continue;
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
        ++n;
      }
      if (n > 0) {
        if (p.has(kLightPos)) staged.stage(kLightPos, &pos[0][0], 3 * n);
        if (p.has(kLightDir)) staged.stage(kLightDir, &dir[0][0], 3 * n);
        if (p.has(kLightDiffuse)) staged.stage(kLightDiffuse, &dif[0][0], 4 * n);
        if (p.has(kLightSpecular)) staged.stage(kLightSpecular, &spe[0][0], 4 * n);
        if (p.has(kLightAmbient)) staged.stage(kLightAmbient, &amb[0][0], 4 * n);
        if (p.has(kLightAtt)) staged.stage(kLightAtt, &att[0][0], 4 * n);
        if (p.has(kLightSpot)) staged.stage(kLightSpot, &spot[0][0], 3 * n);
      }
    }

    if (p.has(kTexMatrix))
      staged.stage(kTexMatrix, &state.transforms[D3DTRANSFORMSTATE_TEXTURE0]._11,
                   16 * static_cast<int>(kDeviceTextureStages));
    if (p.has(kFogParams)) {
      // Table fog runs on w with perspective projections, on z (0..1) otherwise; pre-transformed
      // vertices follow the projection matrix too.
      const bool useW = proj[2][3] != 0.0f;
      const float fog[4] = {state.renderStateFloat(D3DRENDERSTATE_FOGSTART),
                            state.renderStateFloat(D3DRENDERSTATE_FOGEND),
                            state.renderStateFloat(D3DRENDERSTATE_FOGDENSITY), useW ? 1.0f : 0.0f};
      staged.stage(kFogParams, fog, 4);
    }
    if (p.has(kFogColor)) {
      float fog[4];
      colourToFloats(rs[D3DRENDERSTATE_FOGCOLOR], fog);
      staged.stage(kFogColor, fog, 3);
    }
    if (p.has(kTextureFactor)) {
      float factor[4];
      colourToFloats(rs[D3DRENDERSTATE_TEXTUREFACTOR], factor);
      staged.stage(kTextureFactor, factor, 4);
    }
    if (p.has(kAlphaRef)) {
      const float ref = static_cast<float>(rs[D3DRENDERSTATE_ALPHAREF] & 0xFF);
      staged.stage(kAlphaRef, &ref, 1);
    }
    if (p.has(kClipPlane)) {
      // World-space planes into camera space: a camera point e is the world point e * inverse(view),
      // so the plane becomes inverse(view) times the plane as a column.
      Mat4 viewInverse;
      if (!inverse4(view, viewInverse)) {
        std::memset(viewInverse, 0, sizeof(viewInverse));
        viewInverse[0][0] = viewInverse[1][1] = viewInverse[2][2] = viewInverse[3][3] = 1.0f;
      }
      float planes[kFfpMaxClipPlanes][4];
      for (int i = 0; i < kFfpMaxClipPlanes; ++i)
        for (int r = 0; r < 4; ++r) {
          float sum = 0.0f;
          for (int c = 0; c < 4; ++c) sum += viewInverse[r][c] * state.clipPlanes[i][c];
          planes[i][r] = sum;
        }
      staged.stage(kClipPlane, &planes[0][0], 4 * kFfpMaxClipPlanes);
    }
    for (int st = 0; st < key.stageCount; ++st) {
      if (!key.stages[st].colorKey || !p.has(kKeyLow0 + st)) continue;
      float low[4], high[4];
      colourToFloats(textures[st].colorKeyLow, low);
      colourToFloats(textures[st].colorKeyHigh, high);
      const float slack = 1.0f / 255.0f;  // texture channels narrower than 8 bits round differently
      const float lowKey[3] = {low[0] - slack, low[1] - slack, low[2] - slack};
      const float highKey[3] = {high[0] + slack, high[1] + slack, high[2] + slack};
      staged.stage(kKeyLow0 + st, lowKey, 3);
      if (p.has(kKeyHigh0 + st)) staged.stage(kKeyHigh0 + st, highKey, 3);
    }
  }

  // The viewport and depth range a draw asks for.
  struct ViewState {
    GLint viewport[4];
    double depthRange[2];
  };

  // Whether GL already holds everything this draw needs besides its vertices.
  bool stateMatches(const ProgramEntry& program, const FfpShaderKey& key, const RasterState& raster,
                    const ViewState& view, const GLuint stageTextures[kDeviceTextureStages],
                    const GLuint stageSamplers[kDeviceTextureStages]) const {
    if (!shadow.valid || shadow.program != program.program || !(shadow.raster == raster)) return false;
    if (std::memcmp(shadow.viewport, view.viewport, sizeof view.viewport) != 0 ||
        shadow.depthRange[0] != view.depthRange[0] || shadow.depthRange[1] != view.depthRange[1])
      return false;
    for (int s = 0; s < key.stageCount; ++s)
      if (key.stages[s].samplesTexture && (shadow.texture[s] != stageTextures[s] || shadow.sampler[s] != stageSamplers[s]))
        return false;
    return shadow.depthClamp == (key.pretransformed != 0) && shadow.clipDistances == key.clipPlanes &&
           shadow.zeroToOneDepth == clipControl && !program.differs(staged);
  }

  // Sets everything but the vertices for a draw.
  void applyState(ProgramEntry& program, const FfpShaderKey& key, const RasterState& raster, const ViewState& view,
                  const GLuint stageTextures[kDeviceTextureStages], const GLuint stageSamplers[kDeviceTextureStages]) {
    const bool all = !shadow.valid;
    if (all) {
      glActiveTexture(GL_TEXTURE0);
      shadow.activeUnit = 0;
    }
    if (all || std::memcmp(shadow.viewport, view.viewport, sizeof view.viewport) != 0) {
      glViewport(view.viewport[0], view.viewport[1], view.viewport[2], view.viewport[3]);
      std::memcpy(shadow.viewport, view.viewport, sizeof view.viewport);
    }
    if (all || shadow.depthRange[0] != view.depthRange[0] || shadow.depthRange[1] != view.depthRange[1]) {
      glDepthRange(view.depthRange[0], view.depthRange[1]);
      shadow.depthRange[0] = view.depthRange[0];
      shadow.depthRange[1] = view.depthRange[1];
    }
    if (all || shadow.program != program.program) {
      glUseProgram(program.program);
      shadow.program = program.program;
    }
    applyRasterState(raster);
    program.send(staged);
    for (int s = 0; s < key.stageCount; ++s) {
      if (!key.stages[s].samplesTexture) continue;
      if (all || shadow.texture[s] != stageTextures[s]) {
        if (all || shadow.activeUnit != static_cast<GLuint>(s)) {
          glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
          shadow.activeUnit = static_cast<GLuint>(s);
        }
        glBindTexture(GL_TEXTURE_2D, stageTextures[s]);
        shadow.texture[s] = stageTextures[s];
      }
      if (all || shadow.sampler[s] != stageSamplers[s]) {
        glBindSampler(static_cast<GLuint>(s), stageSamplers[s]);
        shadow.sampler[s] = stageSamplers[s];
      }
    }
    if (clipControl && (all || !shadow.zeroToOneDepth)) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    shadow.zeroToOneDepth = clipControl;
    // Pre-transformed vertices are not clipped in z: their depth is clamped instead.
    const bool clamp = key.pretransformed != 0;
    if (all || shadow.depthClamp != clamp) setEnabled(GL_DEPTH_CLAMP, clamp);
    shadow.depthClamp = clamp;
    for (int i = 0; i < kFfpMaxClipPlanes; ++i) {
      const unsigned bit = 1u << i;
      if (all || (shadow.clipDistances & bit) != (key.clipPlanes & bit))
        setEnabled(GL_CLIP_DISTANCE0 + static_cast<GLenum>(i), (key.clipPlanes & bit) != 0);
    }
    shadow.clipDistances = key.clipPlanes;
    shadow.valid = true;
  }
};

FixedFunctionPipeline::FixedFunctionPipeline(bool useClipControl) : impl_(std::make_unique<Impl>()) {
  impl_->allowClipControl = useClipControl;
}

FixedFunctionPipeline::~FixedFunctionPipeline() { impl_->release(); }

void FixedFunctionPipeline::releaseGlResources() { impl_->release(); }

void FixedFunctionPipeline::setKeepGlState(bool keep) {
  if (!keep) impl_->restore();
  impl_->keepState = keep;
}

void FixedFunctionPipeline::restoreGlState() { impl_->restore(); }

void FixedFunctionPipeline::bindFramebuffer(unsigned int framebuffer) {
  impl_->initialise();
  impl_->bindFramebuffer(framebuffer);
}

void FixedFunctionPipeline::setMaxActiveLights(int count) {
  impl_->maxLights = count < 0 ? 0 : (count > kFfpMaxLights ? kFfpMaxLights : count);
}

int FixedFunctionPipeline::programsCompiled() const { return impl_->compiled; }

const char* FixedFunctionPipeline::lastError() const { return impl_->error.c_str(); }

void FixedFunctionPipeline::releaseSource(const void* sourceId) {
  impl_->flushBatch();
  for (auto it = impl_->sources.begin(); it != impl_->sources.end();) {
    if (it->first.id == sourceId) {
      if (it->second.buffer) {
        if (impl_->shadow.attributeBuffer == it->second.buffer) impl_->shadow.attributeBuffer = 0;
        glDeleteBuffers(1, &it->second.buffer);
      }
      it = impl_->sources.erase(it);
    } else {
      ++it;
    }
  }
}

DWORD FixedFunctionPipeline::vertexStride(DWORD fvf) {
  DWORD stride = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: stride = 12; break;
    case D3DFVF_XYZRHW: stride = 16; break;
    case D3DFVF_XYZB1: stride = 16; break;
    case D3DFVF_XYZB2: stride = 20; break;
    case D3DFVF_XYZB3: stride = 24; break;
    case D3DFVF_XYZB4: stride = 28; break;
    case D3DFVF_XYZB5: stride = 32; break;
    default: return 0;
  }
  if (fvf & D3DFVF_NORMAL) stride += 12;
  if (fvf & D3DFVF_RESERVED1) stride += 4;
  if (fvf & D3DFVF_DIFFUSE) stride += 4;
  if (fvf & D3DFVF_SPECULAR) stride += 4;
  const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (sets > 8) return 0;
  for (DWORD i = 0; i < sets; ++i) stride += 4 * static_cast<DWORD>(ffpTexCoordSize(fvf, static_cast<int>(i)));
  return stride;
}

bool FixedFunctionPipeline::draw(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages],
                                 D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices, DWORD vertexCount,
                                 const WORD* indices, DWORD indexCount, const void* sourceId,
                                 std::uint64_t sourceVersion) {
  Impl& d = *impl_;
  d.error.clear();
  bool modeOk = false;
  const GLenum mode = ffpPrimitiveMode(type, modeOk);
  if (!modeOk) {
    d.error = "unknown primitive type";
    return false;
  }
  const DWORD stride = vertexStride(fvf);
  if (stride == 0) {
    d.error = "unsupported vertex format";
    return false;
  }
  if (!vertices || vertexCount == 0 || (indices && indexCount == 0)) {
    d.error = "nothing to draw";
    return false;
  }
  if (indices) {
    // An index past the vertices would make GL read outside the buffer.
    const WORD largest = *std::max_element(indices, indices + indexCount);
    if (largest >= vertexCount) {
      d.error = "index outside the vertices";
      return false;
    }
  }

  std::vector<std::uint8_t> unwrapped;
  if (unwrapTriangles(state, type, fvf, stride, vertices, vertexCount, indices, indexCount, unwrapped)) {
    if (unwrapped.empty()) return true;  // fewer than three vertices: no triangle
    vertices = unwrapped.data();
    vertexCount = static_cast<DWORD>(unwrapped.size() / stride);
    indices = nullptr;
    indexCount = 0;
    sourceId = nullptr;
  }
  const GLenum drawMode = unwrapped.empty() ? mode : GL_TRIANGLES;

  d.initialise();
  // The key is worked out again only when a state that shapes it changed.
  if (!d.shape.matches(state.shapeVersion, fvf, d.maxLights, textures)) {
    const FfpShaderKey built = ffpBuildShaderKey(state, textures, fvf, d.clipControl, d.maxLights);
    if (d.programs.count(built) == 0) d.flushBatch();  // building a program changes the program in use
    d.shape.remember(state.shapeVersion, fvf, d.maxLights, textures, built, &d.program(built));
  }
  const FfpShaderKey& key = d.shape.key;
  ProgramEntry& program = *d.shape.program;
  if (program.failed) {
    if (d.error.empty()) d.error = "shader build failed earlier for this state";
    return false;
  }

  const D3DVIEWPORT7& vp = state.viewport;
  Impl::ViewState view{};
  float vx = static_cast<float>(vp.dwX), vy = static_cast<float>(vp.dwY);
  float vw = static_cast<float>(vp.dwWidth), vh = static_cast<float>(vp.dwHeight);
  if (vp.dwWidth > 0 && vp.dwHeight > 0) {
    view.viewport[0] = static_cast<GLint>(vp.dwX);
    view.viewport[1] = static_cast<GLint>(vp.dwY);
    view.viewport[2] = static_cast<GLsizei>(vp.dwWidth);
    view.viewport[3] = static_cast<GLsizei>(vp.dwHeight);
    // MinZ..MaxZ scales the depth of transformed vertices; a pre-transformed z is the depth itself.
    // An empty or inverted range behaves as MinZ..MinZ + 0.001.
    if (key.pretransformed) {
      view.depthRange[0] = 0.0;
      view.depthRange[1] = 1.0;
    } else if (!(vp.dvMaxZ > vp.dvMinZ)) {
      view.depthRange[0] = vp.dvMinZ;
      view.depthRange[1] = std::min(1.0, static_cast<double>(vp.dvMinZ) + 0.001);
    } else {
      view.depthRange[0] = vp.dvMinZ;
      view.depthRange[1] = vp.dvMaxZ;
    }
  } else {
    // No viewport size: draw into GL's viewport and depth range as they are.
    if (d.shadow.valid) {
      std::memcpy(view.viewport, d.shadow.viewport, sizeof view.viewport);
    } else {
      glGetIntegerv(GL_VIEWPORT, view.viewport);
    }
    GLfloat range[2] = {0.0f, 1.0f};
    glGetFloatv(GL_DEPTH_RANGE, range);
    view.depthRange[0] = range[0];
    view.depthRange[1] = range[1];
    vx = static_cast<float>(view.viewport[0]);
    vy = static_cast<float>(view.viewport[1]);
    vw = static_cast<float>(view.viewport[2]);
    vh = static_cast<float>(view.viewport[3]);
  }

  const RasterState raster = rasterStateOf(state);
  GLuint stageTextures[kDeviceTextureStages] = {};
  GLuint stageSamplers[kDeviceTextureStages] = {};
  for (int s = 0; s < key.stageCount; ++s) {
    if (!key.stages[s].samplesTexture) continue;
    stageTextures[s] = textures[s].name;
    const DWORD* ts = state.textureStageStates[s];
    // Only a mipmapped lookup at the top level, without bias, gains from knowing the texture
    // is magnified everywhere.
    const bool mipmapped = ts[D3DTSS_MIPFILTER] == D3DTFP_POINT || ts[D3DTSS_MIPFILTER] == D3DTFP_LINEAR;
    const bool magnifiedOnly = mipmapped && ts[D3DTSS_MAXMIPLEVEL] == 0 &&
                               (ts[D3DTSS_MIPMAPLODBIAS] & 0x7FFFFFFFu) == 0 &&
                               ffpDrawOnlyMagnifies(state, key, s, textures[s].width, textures[s].height,
                                                    unwrapped.empty() ? type : D3DPT_TRIANGLELIST, fvf, stride,
                                                    vertices, vertexCount, indices, indexCount);
    stageSamplers[s] = d.sampler(ts, magnifiedOnly);
  }
  d.stageUniforms(program, key, state, textures, vx, vy, vw, vh);

  // Single triangles (a list of whole triangles, or a fan of one) from engine memory join the
  // waiting ones when nothing else changes. A fan's triangle goes in GL's order for it (second,
  // third, first vertex: the provoking vertex first), so GL sees the very same triangle.
  const bool joinable = d.keepState && !sourceId && !indices && unwrapped.empty() &&
                        ((type == D3DPT_TRIANGLEFAN && vertexCount == 3) ||
                         (type == D3DPT_TRIANGLELIST && vertexCount % 3 == 0));
  const bool same = d.stateMatches(program, key, raster, view, stageTextures, stageSamplers);
  if (!(joinable && same && d.batch.program == &program && d.batch.stride == stride &&
        d.batch.vertices.size() + std::size_t{vertexCount} * stride <= Impl::kBatchBytes)) {
    d.flushBatch();
    if (!same) d.applyState(program, key, raster, view, stageTextures, stageSamplers);
    if (!joinable) {
      glBindVertexArray(d.vao);
      GLuint buffer = 0;
      const std::size_t first = d.bindVertices(vertices, static_cast<std::size_t>(vertexCount) * stride, stride,
                                               sourceId, sourceVersion, buffer);
      d.setAttributes(buffer, fvf, stride);
      if (indices) {
        const std::size_t at = d.indexStream.append(GL_ELEMENT_ARRAY_BUFFER, indices, std::size_t{indexCount} * 2, 4);
        glDrawElementsBaseVertex(drawMode, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(at), static_cast<GLint>(first));
      } else {
        glDrawArrays(drawMode, static_cast<GLint>(first), static_cast<GLsizei>(vertexCount));
      }
      if (!d.keepState) d.restore();
      return true;
    }
    // A new batch: the attributes read the stream buffer from its start.
    glBindVertexArray(d.vao);
    glBindBuffer(GL_ARRAY_BUFFER, d.vertexStream.name);
    d.setAttributes(d.vertexStream.name, fvf, stride);
    d.batch.program = &program;
    d.batch.key = key;
    d.batch.stride = stride;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(vertices);
  if (type == D3DPT_TRIANGLEFAN) {
    d.batch.vertices.insert(d.batch.vertices.end(), bytes + stride, bytes + 3 * std::size_t{stride});
    d.batch.vertices.insert(d.batch.vertices.end(), bytes, bytes + stride);
  } else {
    d.batch.vertices.insert(d.batch.vertices.end(), bytes, bytes + std::size_t{vertexCount} * stride);
  }
  return true;
}
