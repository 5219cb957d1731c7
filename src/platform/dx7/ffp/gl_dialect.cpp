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
  std::size_t rowTexels = unpackRowLength > 0 ? static_cast<std::size_t>(unpackRowLength) : static_cast<std::size_t>(width);
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
  return capability == GL_DEPTH_CLAMP || capability == GL_POLYGON_OFFSET_POINT || capability == GL_POLYGON_OFFSET_LINE;
}

}  // namespace

bool glDialectEs() { return esDialect; }
void glDialectSetEs(bool es) { esDialect = es; }
bool glDialectEsClipDistances() { return esClipDistances; }
void glDialectSetEsClipDistances(bool available) { esClipDistances = available; }

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
  // ES fills polygons only: wireframe and point modes draw filled.
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
  std::vector<std::uint32_t> rgba =
      converted(width, height, format, type, pixels, opaqueTextures.count(boundTexture2D()) != 0);
  GLint rowLength = unpackRowLength;
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(target, level, GL_RGBA8, width, height, border, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
}

void dialectTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                          GLenum type, const void* pixels) {
  if (!esDialect || esTakes(format, type) || pixels == nullptr) {
    glTexSubImage2D(target, level, x, y, width, height, format, type, pixels);
    return;
  }
  std::vector<std::uint32_t> rgba =
      converted(width, height, format, type, pixels, opaqueTextures.count(boundTexture2D()) != 0);
  GLint rowLength = unpackRowLength;
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexSubImage2D(target, level, x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
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
  if (format == GL_DEPTH_COMPONENT) {
    // ES reads no depth: the values read as the far plane.
    if (packBuffer != 0 || pixels == nullptr) return;
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (type == GL_UNSIGNED_SHORT) std::fill_n(static_cast<std::uint16_t*>(pixels), count, std::uint16_t{0xFFFF});
    if (type == GL_UNSIGNED_INT) std::fill_n(static_cast<std::uint32_t*>(pixels), count, 0xFFFFFFFFu);
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
    GLint typeBytes = m.type == GL_FLOAT || m.type == GL_INT || m.type == GL_UNSIGNED_INT ? 4
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
