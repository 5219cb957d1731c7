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
#include <unordered_map>
#include <vector>

#include "platform/dx7/ffp/ffp_enum_translation.h"
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

struct ProgramEntry {
  GLuint program = 0;
  bool failed = false;
  GLint worldView = -1, proj = -1, normalMatrix = -1, screen = -1, pixelOffset = -1;
  GLint matDiffuse = -1, matAmbient = -1, matSpecular = -1, matEmissive = -1, matPower = -1, globalAmbient = -1;
  GLint lightPos = -1, lightDir = -1, lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1, lightAtt = -1,
        lightSpot = -1;
  GLint pixelCorrection = -1;
  GLint texMatrix = -1, fogParams = -1, fogColor = -1, textureFactor = -1, alphaRef = -1;
  GLint clipPlane = -1;
  GLint keyLow[kDeviceTextureStages] = {-1, -1, -1, -1, -1, -1, -1, -1};
  GLint keyHigh[kDeviceTextureStages] = {-1, -1, -1, -1, -1, -1, -1, -1};
};

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

using SamplerKey = std::tuple<DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD>;

// Offset in bytes of texture coordinate set `set` in a vertex of format fvf.
std::size_t texCoordOffset(DWORD fvf, int set) {
  std::size_t offset = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW ? 16 : 12;
  const DWORD position = fvf & D3DFVF_POSITION_MASK;
  if (position >= D3DFVF_XYZB1 && position != D3DFVF_XYZRHW) offset += 4 * ((position - D3DFVF_XYZB1) / 2 + 1);
  if (fvf & D3DFVF_NORMAL) offset += 12;
  if (fvf & D3DFVF_RESERVED1) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) offset += 4;
  if (fvf & D3DFVF_SPECULAR) offset += 4;
  for (int i = 0; i < set; ++i) offset += 4 * static_cast<std::size_t>(ffpTexCoordSize(fvf, i));
  return offset;
}

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
      if (bits & (1u << c)) wrapped.push_back({texCoordOffset(fvf, set) + 4 * static_cast<std::size_t>(c), c});
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
  GLuint vao = 0;
  StreamBuffer vertexStream;
  StreamBuffer indexStream;
  std::unordered_map<FfpShaderKey, ProgramEntry, FfpShaderKeyHash> programs;
  std::unordered_map<SourceKey, SourceEntry, SourceKeyHash> sources;
  std::map<SamplerKey, GLuint> samplers;
  int compiled = 0;
  int maxLights = kFfpMaxLights;
  std::string error;

  void initialise() {
    if (initialised) return;
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vertexStream.name);
    glGenBuffers(1, &indexStream.name);
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    clipControl = allowClipControl && (major > 4 || (major == 4 && minor >= 5));
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
    for (auto& p : programs)
      if (p.second.program) glDeleteProgram(p.second.program);
    for (auto& s : sources)
      if (s.second.buffer) glDeleteBuffers(1, &s.second.buffer);
    for (auto& s : samplers) glDeleteSamplers(1, &s.second);
    glDeleteBuffers(1, &vertexStream.name);
    glDeleteBuffers(1, &indexStream.name);
    glDeleteVertexArrays(1, &vao);
    programs.clear();
    sources.clear();
    samplers.clear();
    vao = 0;
    vertexStream = StreamBuffer{};
    indexStream = StreamBuffer{};
    initialised = false;
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
    auto loc = [prog](const char* name) { return glGetUniformLocation(prog, name); };
    entry.worldView = loc("uWorldView");
    entry.proj = loc("uProj");
    entry.normalMatrix = loc("uNormalMatrix");
    entry.screen = loc("uScreen");
    entry.pixelOffset = loc("uPixelOffset");
    entry.matDiffuse = loc("uMatDiffuse");
    entry.matAmbient = loc("uMatAmbient");
    entry.matSpecular = loc("uMatSpecular");
    entry.matEmissive = loc("uMatEmissive");
    entry.matPower = loc("uMatPower");
    entry.globalAmbient = loc("uGlobalAmbient");
    entry.lightPos = loc("uLightPos");
    entry.lightDir = loc("uLightDir");
    entry.lightDiffuse = loc("uLightDiffuse");
    entry.lightSpecular = loc("uLightSpecular");
    entry.lightAmbient = loc("uLightAmbient");
    entry.lightAtt = loc("uLightAtt");
    entry.lightSpot = loc("uLightSpot");
    entry.pixelCorrection = loc("uPixelCorrection");
    entry.texMatrix = loc("uTexMatrix");
    entry.fogParams = loc("uFogParams");
    entry.fogColor = loc("uFogColor");
    entry.textureFactor = loc("uTextureFactor");
    entry.alphaRef = loc("uAlphaRef");
    entry.clipPlane = loc("uClipPlane");
    for (int st = 0; st < static_cast<int>(kDeviceTextureStages); ++st) {
      entry.keyLow[st] = loc(("uKeyLow" + std::to_string(st)).c_str());
      entry.keyHigh[st] = loc(("uKeyHigh" + std::to_string(st)).c_str());
    }
    glUseProgram(prog);
    for (int s = 0; s < static_cast<int>(kDeviceTextureStages); ++s) {
      const std::string name = "uTex" + std::to_string(s);
      const GLint l = glGetUniformLocation(prog, name.c_str());
      if (l >= 0) glUniform1i(l, s);
    }
    return entry;
  }

  GLuint sampler(const DWORD* ts) {
    const SamplerKey key{ts[D3DTSS_ADDRESSU], ts[D3DTSS_ADDRESSV], ts[D3DTSS_MAGFILTER], ts[D3DTSS_MINFILTER],
                         ts[D3DTSS_MIPFILTER], ts[D3DTSS_MIPMAPLODBIAS], ts[D3DTSS_BORDERCOLOR],
                         ts[D3DTSS_MAXMIPLEVEL]};
    auto found = samplers.find(key);
    if (found != samplers.end()) return found->second;
    GLuint s = 0;
    glGenSamplers(1, &s);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, ffpAddressMode(ts[D3DTSS_ADDRESSU]));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, ffpAddressMode(ts[D3DTSS_ADDRESSV]));
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, ffpMagFilter(ts[D3DTSS_MAGFILTER]));
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, ffpMinFilter(ts[D3DTSS_MINFILTER], ts[D3DTSS_MIPFILTER]));
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
  // the offset of the first vertex in it.
  std::size_t bindVertices(const void* vertices, std::size_t bytes, const void* sourceId, std::uint64_t version) {
    if (!sourceId) return vertexStream.append(GL_ARRAY_BUFFER, vertices, bytes, 16);
    SourceEntry& entry = sources[SourceKey{sourceId, vertices}];
    const bool changed = entry.version != version || entry.bytes != bytes;
    if (!entry.buffer && !entry.dynamic) {
      glGenBuffers(1, &entry.buffer);
      glBindBuffer(GL_ARRAY_BUFFER, entry.buffer);
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), vertices, GL_STATIC_DRAW);
    } else if (changed || (entry.dynamic && entry.streamGeneration != vertexStream.generation)) {
      if (!entry.dynamic) {
        glDeleteBuffers(1, &entry.buffer);
        entry.buffer = 0;
        entry.dynamic = true;
      }
      entry.streamOffset = vertexStream.append(GL_ARRAY_BUFFER, vertices, bytes, 16);
      entry.streamGeneration = vertexStream.generation;
    } else {
      glBindBuffer(GL_ARRAY_BUFFER, entry.dynamic ? vertexStream.name : entry.buffer);
    }
    entry.version = version;
    entry.bytes = bytes;
    return entry.dynamic ? entry.streamOffset : 0;
  }

  void setAttributes(DWORD fvf, DWORD stride, std::size_t base) {
    for (GLuint i = 0; i < static_cast<GLuint>(kFfpAttribTexCoord0 + 8); ++i) glDisableVertexAttribArray(i);
    std::size_t offset = base;
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
  }

  void applyRasterState(const DeviceState& state) {
    const DWORD* rs = state.renderStates;
    if (rs[D3DRENDERSTATE_ZENABLE]) {
      glEnable(GL_DEPTH_TEST);
      glDepthFunc(ffpCompareFunc(rs[D3DRENDERSTATE_ZFUNC]));
    } else {
      glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(rs[D3DRENDERSTATE_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);

    if (rs[D3DRENDERSTATE_ALPHABLENDENABLE]) {
      glEnable(GL_BLEND);
      glBlendEquation(GL_FUNC_ADD);
      const FfpBlendFactors f = ffpBlendFactors(rs[D3DRENDERSTATE_SRCBLEND], rs[D3DRENDERSTATE_DESTBLEND]);
      glBlendFunc(f.source, f.destination);
    } else {
      glDisable(GL_BLEND);
    }

    const FfpCullMode cull = ffpCullMode(rs[D3DRENDERSTATE_CULLMODE]);
    if (cull.enabled) {
      glEnable(GL_CULL_FACE);
      glFrontFace(cull.frontFace);
      glCullFace(cull.cullFace);
    } else {
      glDisable(GL_CULL_FACE);
    }

    const DWORD zbias = std::min<DWORD>(rs[D3DRENDERSTATE_ZBIAS], 16);
    if (zbias) {
      glEnable(GL_POLYGON_OFFSET_FILL);
      glEnable(GL_POLYGON_OFFSET_LINE);
      glEnable(GL_POLYGON_OFFSET_POINT);
      glPolygonOffset(0.0f, -kZBiasUnits * static_cast<float>(zbias));
    } else {
      glDisable(GL_POLYGON_OFFSET_FILL);
      glDisable(GL_POLYGON_OFFSET_LINE);
      glDisable(GL_POLYGON_OFFSET_POINT);
    }

    glPolygonMode(GL_FRONT_AND_BACK, ffpPolygonMode(rs[D3DRENDERSTATE_FILLMODE]));

    if (rs[D3DRENDERSTATE_STENCILENABLE]) {
      glEnable(GL_STENCIL_TEST);
      glStencilFunc(ffpCompareFunc(rs[D3DRENDERSTATE_STENCILFUNC]), static_cast<GLint>(rs[D3DRENDERSTATE_STENCILREF]),
                    rs[D3DRENDERSTATE_STENCILMASK]);
      glStencilOp(ffpStencilOp(rs[D3DRENDERSTATE_STENCILFAIL]), ffpStencilOp(rs[D3DRENDERSTATE_STENCILZFAIL]),
                  ffpStencilOp(rs[D3DRENDERSTATE_STENCILPASS]));
      glStencilMask(rs[D3DRENDERSTATE_STENCILWRITEMASK]);
    } else {
      glDisable(GL_STENCIL_TEST);
    }

    if (rs[D3DRENDERSTATE_DITHERENABLE]) {
      glEnable(GL_DITHER);
    } else {
      glDisable(GL_DITHER);
    }
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  }

  void setUniforms(const ProgramEntry& p, const FfpShaderKey& key, const DeviceState& state,
                   const FfpTexture textures[kDeviceTextureStages], float viewportX, float viewportY, float viewportW,
                   float viewportH) {
    Mat4 world, view, proj, worldView;
    toRows(state.transforms[D3DTRANSFORMSTATE_WORLD], world);
    toRows(state.transforms[D3DTRANSFORMSTATE_VIEW], view);
    toRows(state.transforms[D3DTRANSFORMSTATE_PROJECTION], proj);
    multiply(world, view, worldView);
    if (p.worldView >= 0) glUniformMatrix4fv(p.worldView, 1, GL_FALSE, &worldView[0][0]);
    if (p.proj >= 0) glUniformMatrix4fv(p.proj, 1, GL_FALSE, &proj[0][0]);
    if (p.normalMatrix >= 0) {
      // Normals go through the inverse transpose of the whole 4x4 world-view matrix: GLSL's
      // column-vector form of it is the plain inverse. A singular matrix leaves normals as given.
      Mat4 inv;
      if (!inverse4(worldView, inv)) {
        std::memset(inv, 0, sizeof(inv));
        inv[0][0] = inv[1][1] = inv[2][2] = inv[3][3] = 1.0f;
      }
      glUniformMatrix4fv(p.normalMatrix, 1, GL_TRUE, &inv[0][0]);
    }
    if (p.screen >= 0) glUniform4f(p.screen, viewportX, viewportY, viewportW, viewportH);
    if (p.pixelOffset >= 0)
      glUniform2f(p.pixelOffset, viewportW > 0 ? 2.0f * kPixelCentreShift / viewportW : 0.0f,
                  viewportH > 0 ? 2.0f * kPixelCentreShift / viewportH : 0.0f);

    if (p.pixelCorrection >= 0) glUniform1f(p.pixelCorrection, 0.5f - kPixelCentreShift);

    const DWORD* rs = state.renderStates;
    if (key.lighting) {
      const D3DMATERIAL7& m = state.material;
      if (p.matDiffuse >= 0) glUniform4f(p.matDiffuse, m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a);
      if (p.matAmbient >= 0) glUniform4f(p.matAmbient, m.ambient.r, m.ambient.g, m.ambient.b, m.ambient.a);
      if (p.matSpecular >= 0) glUniform4f(p.matSpecular, m.specular.r, m.specular.g, m.specular.b, m.specular.a);
      if (p.matEmissive >= 0) glUniform4f(p.matEmissive, m.emissive.r, m.emissive.g, m.emissive.b, m.emissive.a);
      if (p.matPower >= 0) glUniform1f(p.matPower, m.power);
      float ambient[4];
      colourToFloats(rs[D3DRENDERSTATE_AMBIENT], ambient);
      if (p.globalAmbient >= 0) glUniform4fv(p.globalAmbient, 1, ambient);

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
        if (p.lightPos >= 0) glUniform3fv(p.lightPos, n, &pos[0][0]);
        if (p.lightDir >= 0) glUniform3fv(p.lightDir, n, &dir[0][0]);
        if (p.lightDiffuse >= 0) glUniform4fv(p.lightDiffuse, n, &dif[0][0]);
        if (p.lightSpecular >= 0) glUniform4fv(p.lightSpecular, n, &spe[0][0]);
        if (p.lightAmbient >= 0) glUniform4fv(p.lightAmbient, n, &amb[0][0]);
        if (p.lightAtt >= 0) glUniform4fv(p.lightAtt, n, &att[0][0]);
        if (p.lightSpot >= 0) glUniform3fv(p.lightSpot, n, &spot[0][0]);
      }
    }

    if (p.texMatrix >= 0) {
      float matrices[kDeviceTextureStages][16];
      for (DWORD s = 0; s < kDeviceTextureStages; ++s)
        std::memcpy(matrices[s], &state.transforms[D3DTRANSFORMSTATE_TEXTURE0 + s], sizeof(float) * 16);
      glUniformMatrix4fv(p.texMatrix, kDeviceTextureStages, GL_FALSE, &matrices[0][0]);
    }
    if (p.fogParams >= 0) {
      // Table fog runs on w with perspective projections, on z (0..1) otherwise; pre-transformed
      // vertices follow the projection matrix too.
      const bool useW = proj[2][3] != 0.0f;
      glUniform4f(p.fogParams, state.renderStateFloat(D3DRENDERSTATE_FOGSTART),
                  state.renderStateFloat(D3DRENDERSTATE_FOGEND), state.renderStateFloat(D3DRENDERSTATE_FOGDENSITY),
                  useW ? 1.0f : 0.0f);
    }
    if (p.fogColor >= 0) {
      float fog[4];
      colourToFloats(rs[D3DRENDERSTATE_FOGCOLOR], fog);
      glUniform3f(p.fogColor, fog[0], fog[1], fog[2]);
    }
    if (p.textureFactor >= 0) {
      float factor[4];
      colourToFloats(rs[D3DRENDERSTATE_TEXTUREFACTOR], factor);
      glUniform4fv(p.textureFactor, 1, factor);
    }
    if (p.alphaRef >= 0) glUniform1f(p.alphaRef, static_cast<float>(rs[D3DRENDERSTATE_ALPHAREF] & 0xFF));
    if (p.clipPlane >= 0) {
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
      glUniform4fv(p.clipPlane, kFfpMaxClipPlanes, &planes[0][0]);
    }
    for (int st = 0; st < key.stageCount; ++st) {
      if (!key.stages[st].colorKey || p.keyLow[st] < 0) continue;
      float low[4], high[4];
      colourToFloats(textures[st].colorKeyLow, low);
      colourToFloats(textures[st].colorKeyHigh, high);
      const float slack = 1.0f / 255.0f;  // texture channels narrower than 8 bits round differently
      glUniform3f(p.keyLow[st], low[0] - slack, low[1] - slack, low[2] - slack);
      glUniform3f(p.keyHigh[st], high[0] + slack, high[1] + slack, high[2] + slack);
    }
  }
};

FixedFunctionPipeline::FixedFunctionPipeline(bool useClipControl) : impl_(std::make_unique<Impl>()) {
  impl_->allowClipControl = useClipControl;
}

FixedFunctionPipeline::~FixedFunctionPipeline() { impl_->release(); }

void FixedFunctionPipeline::releaseGlResources() { impl_->release(); }

void FixedFunctionPipeline::setMaxActiveLights(int count) {
  impl_->maxLights = count < 0 ? 0 : (count > kFfpMaxLights ? kFfpMaxLights : count);
}

int FixedFunctionPipeline::programsCompiled() const { return impl_->compiled; }

const char* FixedFunctionPipeline::lastError() const { return impl_->error.c_str(); }

void FixedFunctionPipeline::releaseSource(const void* sourceId) {
  for (auto it = impl_->sources.begin(); it != impl_->sources.end();) {
    if (it->first.id == sourceId) {
      if (it->second.buffer) glDeleteBuffers(1, &it->second.buffer);
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
  const FfpShaderKey key = ffpBuildShaderKey(state, textures, fvf, d.clipControl, d.maxLights);
  ProgramEntry& program = d.program(key);
  if (program.failed) {
    if (d.error.empty()) d.error = "shader build failed earlier for this state";
    return false;
  }

  const D3DVIEWPORT7& vp = state.viewport;
  float vx = static_cast<float>(vp.dwX), vy = static_cast<float>(vp.dwY);
  float vw = static_cast<float>(vp.dwWidth), vh = static_cast<float>(vp.dwHeight);
  if (vp.dwWidth > 0 && vp.dwHeight > 0) {
    glViewport(static_cast<GLint>(vp.dwX), static_cast<GLint>(vp.dwY), static_cast<GLsizei>(vp.dwWidth),
               static_cast<GLsizei>(vp.dwHeight));
    // MinZ..MaxZ scales the depth of transformed vertices; a pre-transformed z is the depth itself.
    // An empty or inverted range behaves as MinZ..MinZ + 0.001.
    if (key.pretransformed)
      glDepthRange(0.0, 1.0);
    else if (!(vp.dvMaxZ > vp.dvMinZ))
      glDepthRange(vp.dvMinZ, std::min(1.0, static_cast<double>(vp.dvMinZ) + 0.001));
    else
      glDepthRange(vp.dvMinZ, vp.dvMaxZ);
  } else {
    GLint current[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, current);
    vx = static_cast<float>(current[0]);
    vy = static_cast<float>(current[1]);
    vw = static_cast<float>(current[2]);
    vh = static_cast<float>(current[3]);
  }

  glUseProgram(program.program);
  glBindVertexArray(d.vao);
  const std::size_t base =
      d.bindVertices(vertices, static_cast<std::size_t>(vertexCount) * stride, sourceId, sourceVersion);
  d.setAttributes(fvf, stride, base);
  d.applyRasterState(state);
  d.setUniforms(program, key, state, textures, vx, vy, vw, vh);

  for (int s = 0; s < key.stageCount; ++s) {
    if (!key.stages[s].samplesTexture) continue;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
    glBindTexture(GL_TEXTURE_2D, textures[s].name);
    glBindSampler(static_cast<GLuint>(s), d.sampler(state.textureStageStates[s]));
  }
  glActiveTexture(GL_TEXTURE0);

  if (d.clipControl) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  // Pre-transformed vertices are not clipped in z: their depth is clamped instead.
  if (key.pretransformed) glEnable(GL_DEPTH_CLAMP);
  for (int i = 0; i < kFfpMaxClipPlanes; ++i)
    if (key.clipPlanes & (1u << i)) glEnable(GL_CLIP_DISTANCE0 + static_cast<GLenum>(i));
  if (indices) {
    const std::size_t at = d.indexStream.append(GL_ELEMENT_ARRAY_BUFFER, indices, std::size_t{indexCount} * 2, 4);
    glDrawElements(drawMode, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(at));
  } else {
    glDrawArrays(drawMode, 0, static_cast<GLsizei>(vertexCount));
  }
  if (d.clipControl) glClipControl(GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
  if (key.pretransformed) glDisable(GL_DEPTH_CLAMP);
  for (int i = 0; i < kFfpMaxClipPlanes; ++i)
    if (key.clipPlanes & (1u << i)) glDisable(GL_CLIP_DISTANCE0 + static_cast<GLenum>(i));
  // Leave nothing behind that would silently change other drawing: sampler objects override
  // texture parameters, a polygon mode or depth mask would spoil blits and clears.
  for (int s = 0; s < key.stageCount; ++s)
    if (key.stages[s].samplesTexture) glBindSampler(static_cast<GLuint>(s), 0);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDepthMask(GL_TRUE);
  return true;
}
