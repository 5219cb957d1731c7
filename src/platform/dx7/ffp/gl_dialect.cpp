// The GL dialects: OpenGL 3.3 core passes straight through; OpenGL ES 3.0 / WebGL 2 gets
// what it lacks converted or left out here.
#define VELLUMITE_GL_DIALECT_IMPLEMENTATION 1
#include "platform/dx7/ffp/gl_api.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/dx7/ffp/ffp_shader_gen.h"

namespace {

#if defined(__EMSCRIPTEN__)
bool esDialect = true;
#else
bool esDialect = false;
#endif
bool esClipDistances = false;
bool esDepthClamp = false;
GLint unpackRowLength = 0;
// Textures whose alpha reads as one (TEXTURE_SWIZZLE_A = ONE), for ES implementations
// without swizzles (WebGL 2): their uploads get opaque alpha instead.
std::set<GLuint> opaqueTextures;

GLuint boundTexture2D() {
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  return static_cast<GLuint>(name);
}

std::uint32_t expand(std::uint32_t value, int bits) {
  return bits == 1 ? value * 255u : (value << (8 - bits)) | (value >> (2 * bits - 8));
}

// One texel of the desktop formats as R, G, B, A bytes in memory order.
std::uint32_t toRgba(const std::uint8_t* p, GLenum format, GLenum type) {
  std::uint32_t r = 0, g = 0, b = 0, a = 255;
  if (type == GL_UNSIGNED_BYTE) {
    // BGRA bytes
    b = p[0];
    g = p[1];
    r = p[2];
    a = p[3];
  } else {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    if (type == GL_UNSIGNED_SHORT_5_6_5) {
      r = expand(v >> 11, 5);
      g = expand((v >> 5) & 63u, 6);
      b = expand(v & 31u, 5);
    } else if (type == GL_UNSIGNED_SHORT_1_5_5_5_REV) {
      a = expand(v >> 15, 1);
      r = expand((v >> 10) & 31u, 5);
      g = expand((v >> 5) & 31u, 5);
      b = expand(v & 31u, 5);
    } else if (type == GL_UNSIGNED_SHORT_4_4_4_4_REV) {
      a = expand(v >> 12, 4);
      r = expand((v >> 8) & 15u, 4);
      g = expand((v >> 4) & 15u, 4);
      b = expand(v & 15u, 4);
    }
  }
  (void)format;
  return r | (g << 8) | (b << 16) | (a << 24);
}

// Whether ES takes this format and type for an RGBA8 texture as it is.
bool esTakes(GLenum format, GLenum type) {
  return !(format == GL_BGRA || type == GL_UNSIGNED_SHORT_1_5_5_5_REV || type == GL_UNSIGNED_SHORT_4_4_4_4_REV ||
           (format == GL_RGB && type == GL_UNSIGNED_SHORT_5_6_5));
}

// Texels of a desktop format converted to RGBA bytes, rows packed.
std::vector<std::uint32_t> converted(GLsizei width, GLsizei height, GLenum format, GLenum type, const void* pixels,
                                     bool opaque) {
  std::size_t bytes = type == GL_UNSIGNED_BYTE ? 4 : 2;
  std::size_t rowTexels =
      unpackRowLength > 0 ? static_cast<std::size_t>(unpackRowLength) : static_cast<std::size_t>(width);
  std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const auto* base = static_cast<const std::uint8_t*>(pixels);
  for (GLsizei y = 0; y < height; ++y) {
    const std::uint8_t* row = base + static_cast<std::size_t>(y) * rowTexels * bytes;
    for (GLsizei x = 0; x < width; ++x) {
      std::uint32_t texel = toRgba(row + static_cast<std::size_t>(x) * bytes, format, type);
      if (opaque) texel |= 0xFF000000u;
      out[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = texel;
    }
  }
  return out;
}

bool desktopOnlyCapability(GLenum capability) {
  if (capability >= GL_CLIP_DISTANCE0 && capability < GL_CLIP_DISTANCE0 + 8) return !esClipDistances;
  if (capability == GL_DEPTH_CLAMP) return !esDepthClamp;
  return capability == GL_POLYGON_OFFSET_POINT || capability == GL_POLYGON_OFFSET_LINE;
}

GLuint linkedProgram(const char* vertexSource, const char* fragmentSource) {
  GLuint shaders[2] = {glCreateShader(GL_VERTEX_SHADER), glCreateShader(GL_FRAGMENT_SHADER)};
  glShaderSource(shaders[0], 1, &vertexSource, nullptr);
  glShaderSource(shaders[1], 1, &fragmentSource, nullptr);
  GLuint program = glCreateProgram();
  for (GLuint shader : shaders) {
    glCompileShader(shader);
    glAttachShader(program, shader);
  }
  glLinkProgram(program);
  for (GLuint shader : shaders) glDeleteShader(shader);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) {
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

// The objects of the depth copy, made on its first use in a context.
struct DepthCopy {
  GLuint depthProgram = 0, stencilProgram = 0, vertexArray = 0, sampler = 0;
  GLuint framebuffer = 0, stencilFramebuffer = 0, colour = 0;
  GLint bitLocation = -1;
  bool failed = false;

  bool ready() {
    if (depthProgram != 0 || failed) return !failed;
    const char* vertexSource =
        "#version 300 es\nvoid main() {\n"
        "  vec2 p = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));\n"
        "  gl_Position = vec4(p, 0.0, 1.0);\n}\n";
    // Depth d holds n / (2^24 - 1) for a 24-bit n. d * (2^24 - 1) in floats rounds off by up
    // to two near 1, so n is taken as d * 2^24 (exact) less d, the whole part apart from the
    // fraction.
    const char* depthSource =
        "#version 300 es\nprecision highp float;\nprecision highp int;\nprecision highp sampler2D;\n"
        "uniform sampler2D depth;\nout vec4 colour;\nvoid main() {\n"
        "  float d = texelFetch(depth, ivec2(gl_FragCoord.xy), 0).r;\n"
        "  float scaled = d * 16777216.0;\n"
        "  float whole = floor(scaled);\n"
        "  int n = int(whole) + int(floor(scaled - whole - d + 0.5));\n"
        "  uint v = uint(clamp(n, 0, 16777215));\n"
        "  colour = vec4(float(v >> 16u), float((v >> 8u) & 255u), float(v & 255u), 0.0) / 255.0;\n}\n";
    // One stencil bit per pass, added into alpha where the stencil test finds it set.
    const char* stencilSource =
        "#version 300 es\nprecision highp float;\nuniform float bit;\nout vec4 colour;\n"
        "void main() { colour = vec4(0.0, 0.0, 0.0, bit / 255.0); }\n";
    depthProgram = linkedProgram(vertexSource, depthSource);
    stencilProgram = linkedProgram(vertexSource, stencilSource);
    if (depthProgram == 0 || stencilProgram == 0) {
      failed = true;
      return false;
    }
    bitLocation = glGetUniformLocation(stencilProgram, "bit");
    glGenVertexArrays(1, &vertexArray);
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_MODE, GL_NONE);
    glGenFramebuffers(1, &framebuffer);
    glGenFramebuffers(1, &stencilFramebuffer);
    glGenTextures(1, &colour);
    return true;
  }
};
DepthCopy depthCopy;

// The GL state the depth copy changes, taken before and put back after.
struct CopyStateKeeper {
  static constexpr GLenum kCapabilities[] = {GL_DEPTH_TEST, GL_BLEND, GL_SCISSOR_TEST, GL_CULL_FACE, GL_STENCIL_TEST};
  GLint program = 0, readFramebuffer = 0, drawFramebuffer = 0, activeTexture = 0, texture0 = 0, sampler0 = 0;
  GLint vertexArray = 0, readBuffer = 0;
  GLint viewport[4] = {};
  GLboolean mask[4] = {};
  GLboolean enabled[5] = {};
  GLint stencil[2][6] = {};  // func, ref, value mask, fail, depth fail, pass; front then back
  GLint stencilWriteMask[2] = {};
  GLint blend[6] = {};  // source and destination for RGB and alpha, the equations

  CopyStateKeeper() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture0);
    glGetIntegerv(GL_SAMPLER_BINDING, &sampler0);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    for (int i = 0; i < 5; ++i) enabled[i] = glIsEnabled(kCapabilities[i]);
    const GLenum front[6] = {
        GL_STENCIL_FUNC,           GL_STENCIL_REF, GL_STENCIL_VALUE_MASK, GL_STENCIL_FAIL, GL_STENCIL_PASS_DEPTH_FAIL,
        GL_STENCIL_PASS_DEPTH_PASS};
    const GLenum back[6] = {GL_STENCIL_BACK_FUNC,
                            GL_STENCIL_BACK_REF,
                            GL_STENCIL_BACK_VALUE_MASK,
                            GL_STENCIL_BACK_FAIL,
                            GL_STENCIL_BACK_PASS_DEPTH_FAIL,
                            GL_STENCIL_BACK_PASS_DEPTH_PASS};
    for (int i = 0; i < 6; ++i) {
      glGetIntegerv(front[i], &stencil[0][i]);
      glGetIntegerv(back[i], &stencil[1][i]);
    }
    glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilWriteMask[0]);
    glGetIntegerv(GL_STENCIL_BACK_WRITEMASK, &stencilWriteMask[1]);
    const GLenum blendNames[6] = {GL_BLEND_SRC_RGB,   GL_BLEND_DST_RGB,      GL_BLEND_SRC_ALPHA,
                                  GL_BLEND_DST_ALPHA, GL_BLEND_EQUATION_RGB, GL_BLEND_EQUATION_ALPHA};
    for (int i = 0; i < 6; ++i) glGetIntegerv(blendNames[i], &blend[i]);
  }

  ~CopyStateKeeper() {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));
    glReadBuffer(static_cast<GLenum>(readBuffer));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawFramebuffer));
    glBindVertexArray(static_cast<GLuint>(vertexArray));
    glUseProgram(static_cast<GLuint>(program));
    glBindSampler(0, static_cast<GLuint>(sampler0));
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture0));
    glActiveTexture(static_cast<GLenum>(activeTexture));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
    for (int i = 0; i < 5; ++i) {
      if (enabled[i])
        glEnable(kCapabilities[i]);
      else
        glDisable(kCapabilities[i]);
    }
    const GLenum faces[2] = {GL_FRONT, GL_BACK};
    for (int f = 0; f < 2; ++f) {
      glStencilFuncSeparate(faces[f], static_cast<GLenum>(stencil[f][0]), stencil[f][1],
                            static_cast<GLuint>(stencil[f][2]));
      glStencilOpSeparate(faces[f], static_cast<GLenum>(stencil[f][3]), static_cast<GLenum>(stencil[f][4]),
                          static_cast<GLenum>(stencil[f][5]));
      glStencilMaskSeparate(faces[f], static_cast<GLuint>(stencilWriteMask[f]));
    }
    glBlendFuncSeparate(static_cast<GLenum>(blend[0]), static_cast<GLenum>(blend[1]), static_cast<GLenum>(blend[2]),
                        static_cast<GLenum>(blend[3]));
    glBlendEquationSeparate(static_cast<GLenum>(blend[4]), static_cast<GLenum>(blend[5]));
  }
  CopyStateKeeper(const CopyStateKeeper&) = delete;
  CopyStateKeeper& operator=(const CopyStateKeeper&) = delete;
};

// ES reads no depth: the depth texture attached to the read framebuffer is drawn into a
// colour texture, its 24 bits of depth in red, green and blue; with `stencil` its stencil bits
// are added into alpha one bit a pass by the stencil test. The colour is read as bytes, each
// value returned as depth << 8 | stencil. The GL state the copy changes is put back
// afterwards. False when there is no depth texture.
bool readDepthByCopy(GLint x, GLint y, GLsizei width, GLsizei height, bool stencil,
                     std::vector<std::uint32_t>& values) {
  GLint objectType = GL_NONE, texture = 0;
  for (GLenum attachment : {GL_DEPTH_ATTACHMENT, GL_DEPTH_STENCIL_ATTACHMENT}) {
    glGetFramebufferAttachmentParameteriv(GL_READ_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE,
                                          &objectType);
    if (objectType == GL_TEXTURE) {
      glGetFramebufferAttachmentParameteriv(GL_READ_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME,
                                            &texture);
      break;
    }
  }
  if (objectType != GL_TEXTURE || texture == 0 || x < 0 || y < 0) return false;
  if (stencil) {
    GLint stencilType = GL_NONE;
    glGetFramebufferAttachmentParameteriv(GL_READ_FRAMEBUFFER, GL_STENCIL_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &stencilType);
    stencil = stencilType == GL_TEXTURE;
  }
  DepthCopy& copy = depthCopy;
  if (!copy.ready()) return false;
  CopyStateKeeper keeper;
  for (GLenum capability : CopyStateKeeper::kCapabilities) glDisable(capability);

  // The colour target covers the depth from its origin, so that both are addressed alike.
  glBindTexture(GL_TEXTURE_2D, copy.colour);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, x + width, y + height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, copy.framebuffer);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, copy.colour, 0);
  const GLenum buffer = GL_COLOR_ATTACHMENT0;
  glDrawBuffers(1, &buffer);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glBindSampler(0, copy.sampler);
  glUseProgram(copy.depthProgram);
  glBindVertexArray(copy.vertexArray);
  glViewport(x, y, width, height);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDrawArrays(GL_TRIANGLES, 0, 3);

  if (stencil) {
    // The depth texture is not sampled while it is attached.
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, copy.stencilFramebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, copy.colour, 0);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D,
                           static_cast<GLuint>(texture), 0);
    glDrawBuffers(1, &buffer);
    glUseProgram(copy.stencilProgram);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glEnable(GL_STENCIL_TEST);
    glStencilMask(0);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE);
    for (int bit = 0; bit < 8; ++bit) {
      glStencilFunc(GL_EQUAL, 0xFF, 1u << bit);
      glUniform1f(copy.bitLocation, static_cast<float>(1 << bit));
      glDrawArrays(GL_TRIANGLES, 0, 3);
    }
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
  }

  values.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, copy.framebuffer);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, values.data());
  for (std::uint32_t& v : values) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&v);
    v = (static_cast<std::uint32_t>(bytes[0]) << 24) | (static_cast<std::uint32_t>(bytes[1]) << 16) |
        (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3];
  }
  return true;
}

}  // namespace

bool glDialectEs() { return esDialect; }
void glDialectSetEs(bool es) {
  esDialect = es;
  depthCopy = DepthCopy{};  // a new context: its objects are made again
}
bool glDialectEsClipDistances() { return esClipDistances; }
void glDialectSetEsClipDistances(bool available) { esClipDistances = available; }
bool glDialectEsDepthClamp() { return esDepthClamp; }
void glDialectSetEsDepthClamp(bool available) { esDepthClamp = available; }

bool glDialectEsRequested() {
#if defined(__EMSCRIPTEN__)
  return true;
#else
  const char* value = std::getenv("VELLUMITE_GL");
  return value != nullptr && std::strcmp(value, "gles") == 0;
#endif
}

std::string glDialectShaderSource(const char* source) {
  std::string text = source != nullptr ? source : "";
  if (!esDialect) return text;
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line.rfind("#version", 0) == 0) {
      out += "#version 300 es\n";
      // Extensions come before anything that is not a directive.
      if (esClipDistances) out += "#extension GL_EXT_clip_cull_distance : enable\n";
      out +=
          "precision highp float;\nprecision highp int;\nprecision highp sampler2D;\n"
          "precision highp sampler3D;\nprecision highp samplerCube;\nprecision highp sampler2DShadow;\n";
      continue;
    }
    if (!esClipDistances && line.find("gl_ClipDistance") != std::string::npos) continue;
    // ES leaves the size of points undefined unless the vertex shader writes it.
    if (line.rfind("  gl_Position = ", 0) == 0) line += "\n  gl_PointSize = 1.0;";
    // Vertex colours come as BGRA bytes, which ES reads as RGBA: swizzled back.
    for (int location : {kFfpAttribDiffuse, kFfpAttribSpecular}) {
      std::string prefix = "layout(location = " + std::to_string(location) + ") in vec4 ";
      if (line.rfind(prefix, 0) == 0 && !line.empty() && line.back() == ';') {
        std::string name = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        line = prefix + name + "Bgra;\n#define " + name + " " + name + "Bgra.bgra";
      }
    }
    out += line;
    out += '\n';
  }
  return out;
}

void dialectDrawBuffer(GLenum buffer) {
  if (!esDialect) {
#if !defined(__EMSCRIPTEN__)
    glDrawBuffer(buffer);
#endif
    return;
  }
  glDrawBuffers(1, &buffer);
}

void dialectPolygonMode(GLenum face, GLenum mode) {
  if (esDialect) return;
#if !defined(__EMSCRIPTEN__)
  glPolygonMode(face, mode);
#else
  (void)face;
  (void)mode;
#endif
}

void dialectProvokingVertex(GLenum convention) {
  // ES takes flat colours from the last vertex.
  if (esDialect) return;
#if !defined(__EMSCRIPTEN__)
  glProvokingVertex(convention);
#else
  (void)convention;
#endif
}

void dialectClipControl(GLenum origin, GLenum depth) {
  if (esDialect) return;
#if !defined(__EMSCRIPTEN__)
  glClipControl(origin, depth);
#else
  (void)origin;
  (void)depth;
#endif
}

void dialectClearDepth(GLdouble depth) { glClearDepthf(static_cast<GLfloat>(depth)); }

void dialectDepthRange(GLdouble nearValue, GLdouble farValue) {
  glDepthRangef(static_cast<GLfloat>(nearValue), static_cast<GLfloat>(farValue));
}

void dialectEnable(GLenum capability) {
  if (esDialect && desktopOnlyCapability(capability)) return;
  glEnable(capability);
}

void dialectDisable(GLenum capability) {
  if (esDialect && desktopOnlyCapability(capability)) return;
  glDisable(capability);
}

void dialectPixelStorei(GLenum name, GLint value) {
  if (name == GL_UNPACK_ROW_LENGTH) unpackRowLength = value;
  glPixelStorei(name, value);
}

namespace {

// Texels ES cannot take, converted into tight RGBA rows for `upload` (the caller's row length
// is kept for the uploads after it).
template <typename Upload>
void uploadConverted(GLsizei width, GLsizei height, GLenum format, GLenum type, const void* pixels, Upload upload) {
  const std::vector<std::uint32_t> rgba =
      converted(width, height, format, type, pixels, opaqueTextures.count(boundTexture2D()) != 0);
  const GLint rowLength = unpackRowLength;
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  upload(rgba.data());
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
}

}  // namespace

void dialectTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const void* pixels) {
  if (!esDialect || esTakes(format, type)) {
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
    return;
  }
  if (pixels == nullptr) {
    glTexImage2D(target, level, GL_RGBA8, width, height, border, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    return;
  }
  uploadConverted(width, height, format, type, pixels, [&](const void* rgba) {
    glTexImage2D(target, level, GL_RGBA8, width, height, border, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  });
}

void dialectTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                          GLenum type, const void* pixels) {
  if (!esDialect || esTakes(format, type) || pixels == nullptr) {
    glTexSubImage2D(target, level, x, y, width, height, format, type, pixels);
    return;
  }
  uploadConverted(width, height, format, type, pixels, [&](const void* rgba) {
    glTexSubImage2D(target, level, x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  });
}

void dialectTexParameteri(GLenum target, GLenum name, GLint value) {
#if defined(__EMSCRIPTEN__)
  // WebGL 2 has no texture swizzles: the one the back end sets (alpha read as one) is kept
  // by making the texture's uploads opaque.
  if (name == GL_TEXTURE_SWIZZLE_R || name == GL_TEXTURE_SWIZZLE_G || name == GL_TEXTURE_SWIZZLE_B ||
      name == GL_TEXTURE_SWIZZLE_A) {
    if (name == GL_TEXTURE_SWIZZLE_A && target == GL_TEXTURE_2D) {
      if (value == GL_ONE)
        opaqueTextures.insert(boundTexture2D());
      else
        opaqueTextures.erase(boundTexture2D());
    }
    return;
  }
#endif
  glTexParameteri(target, name, value);
}

void dialectReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels) {
  if (!esDialect) {
    glReadPixels(x, y, width, height, format, type, pixels);
    return;
  }
  GLint packBuffer = 0;
  glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
  if (format == GL_BGRA && type == GL_UNSIGNED_BYTE) {
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    if (packBuffer != 0 || pixels == nullptr) return;  // swapped where the buffer is mapped
    auto* bytes = static_cast<std::uint8_t*>(pixels);
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i) std::swap(bytes[i * 4], bytes[i * 4 + 2]);
    return;
  }
  if (format == GL_DEPTH_COMPONENT || format == GL_DEPTH_STENCIL) {
    // ES reads no depth: a copy into colour does; without a depth texture the values read as
    // the far plane.
    if (packBuffer != 0 || pixels == nullptr) return;
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint32_t> values;
    if (!readDepthByCopy(x, y, width, height, format == GL_DEPTH_STENCIL, values)) values.assign(count, 0xFFFFFF00u);
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t v = values[i];
      if (type == GL_UNSIGNED_SHORT)
        static_cast<std::uint16_t*>(pixels)[i] = static_cast<std::uint16_t>(v >> 16);
      else if (type == GL_UNSIGNED_INT && format == GL_DEPTH_COMPONENT)
        static_cast<std::uint32_t*>(pixels)[i] = (v & 0xFFFFFF00u) | (v >> 24);
      else if (type == GL_UNSIGNED_INT_24_8)
        static_cast<std::uint32_t*>(pixels)[i] = v;
    }
    return;
  }
  glReadPixels(x, y, width, height, format, type, pixels);
}

void dialectSamplerParameteri(GLuint sampler, GLenum name, GLint value) {
  // ES 3.0 has no border addressing: the edge texel stands for the border colour.
  if (esDialect && value == GL_CLAMP_TO_BORDER) value = GL_CLAMP_TO_EDGE;
  glSamplerParameteri(sampler, name, value);
}

void dialectSamplerParameterf(GLuint sampler, GLenum name, GLfloat value) {
  if (esDialect && name == GL_TEXTURE_LOD_BIAS) return;
  glSamplerParameterf(sampler, name, value);
}

void dialectSamplerParameterfv(GLuint sampler, GLenum name, const GLfloat* values) {
  if (esDialect && name == GL_TEXTURE_BORDER_COLOR) return;
  glSamplerParameterfv(sampler, name, values);
}

void dialectVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                                const void* pointer) {
  // ES has no BGRA attribute size: the bytes are read as RGBA and the shader swizzles them.
  if (esDialect && size == GL_BGRA) size = 4;
  glVertexAttribPointer(index, size, type, normalized, stride, pointer);
}

void dialectDrawElementsBaseVertex(GLenum mode, GLsizei count, GLenum type, const void* indices, GLint baseVertex) {
  if (!esDialect) {
#if !defined(__EMSCRIPTEN__)
    glDrawElementsBaseVertex(mode, count, type, indices, baseVertex);
#endif
    return;
  }
  if (baseVertex == 0) {
    glDrawElements(mode, count, type, indices);
    return;
  }
  // ES 3.0 has no base vertex: every enabled array starts baseVertex elements later for the
  // draw, then goes back where it was.
  struct Moved {
    GLuint index;
    GLint buffer, size, type, normalized, stride, integer;
    void* pointer;
  };
  static GLint attributeCount = 0;
  if (attributeCount == 0) {
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &attributeCount);
    attributeCount = std::min(attributeCount, 16);
  }
  GLint arrayBuffer = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
  Moved moved[16];
  int movedCount = 0;
  for (GLint i = 0; i < attributeCount; ++i) {
    GLint enabled = 0;
    glGetVertexAttribiv(static_cast<GLuint>(i), GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
    if (!enabled) continue;
    Moved& m = moved[movedCount++];
    m.index = static_cast<GLuint>(i);
    glGetVertexAttribiv(m.index, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &m.buffer);
    glGetVertexAttribiv(m.index, GL_VERTEX_ATTRIB_ARRAY_SIZE, &m.size);
    glGetVertexAttribiv(m.index, GL_VERTEX_ATTRIB_ARRAY_TYPE, &m.type);
    glGetVertexAttribiv(m.index, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &m.normalized);
    glGetVertexAttribiv(m.index, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &m.stride);
    glGetVertexAttribiv(m.index, GL_VERTEX_ATTRIB_ARRAY_INTEGER, &m.integer);
    glGetVertexAttribPointerv(m.index, GL_VERTEX_ATTRIB_ARRAY_POINTER, &m.pointer);
  }
  auto point = [](const Moved& m, std::intptr_t shift) {
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(m.buffer));
    const void* at = static_cast<const char*>(m.pointer) + shift;
    if (m.integer)
      glVertexAttribIPointer(m.index, m.size, static_cast<GLenum>(m.type), m.stride, at);
    else
      glVertexAttribPointer(m.index, m.size, static_cast<GLenum>(m.type), static_cast<GLboolean>(m.normalized),
                            m.stride, at);
  };
  for (int i = 0; i < movedCount; ++i) {
    const Moved& m = moved[i];
    // Arrays with stride 0 are packed: their element size is the stride.
    GLint typeBytes = m.type == GL_FLOAT || m.type == GL_INT || m.type == GL_UNSIGNED_INT            ? 4
                      : m.type == GL_SHORT || m.type == GL_UNSIGNED_SHORT || m.type == GL_HALF_FLOAT ? 2
                                                                                                     : 1;
    GLint stride = m.stride != 0 ? m.stride : m.size * typeBytes;
    point(m, static_cast<std::intptr_t>(baseVertex) * stride);
  }
  glDrawElements(mode, count, type, indices);
  for (int i = 0; i < movedCount; ++i) point(moved[i], 0);
  glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
}

void dialectShaderSource(GLuint shader, GLsizei count, const GLchar* const* sources, const GLint* lengths) {
  if (!esDialect) {
    glShaderSource(shader, count, sources, lengths);
    return;
  }
  std::string whole;
  for (GLsizei i = 0; i < count; ++i) {
    if (lengths != nullptr && lengths[i] >= 0)
      whole.append(sources[i], static_cast<std::size_t>(lengths[i]));
    else
      whole += sources[i];
  }
  std::string translated = glDialectShaderSource(whole.c_str());
  const GLchar* text = translated.c_str();
  glShaderSource(shader, 1, &text, nullptr);
}

void* dialectMapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access) {
#if defined(__EMSCRIPTEN__)
  // WebGL maps nothing (Emscripten copies through a buffer of its own): callers copy with
  // glBufferSubData instead.
  (void)target;
  (void)offset;
  (void)length;
  (void)access;
  return nullptr;
#else
  return glMapBufferRange(target, offset, length, access);
#endif
}
