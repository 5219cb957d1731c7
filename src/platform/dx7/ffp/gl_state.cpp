// Sending GL state only when it changes.
#include "platform/dx7/ffp/gl_state.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

int pixelStoreSlot(GLenum name) {
  switch (name) {
    case GL_PACK_ALIGNMENT:
      return 0;
    case GL_PACK_ROW_LENGTH:
      return 1;
    case GL_UNPACK_ALIGNMENT:
      return 2;
    case GL_UNPACK_ROW_LENGTH:
      return 3;
    default:
      return -1;
  }
}

}  // namespace

void GlState::forget() {
  drawFramebuffer_ = readFramebuffer_ = kUnknown;
  activeUnit_ = kUnknown;
  std::fill(std::begin(texture_), std::end(texture_), kUnknown);
  std::fill(std::begin(sampler_), std::end(sampler_), kUnknown);
  program_ = vertexArray_ = packBuffer_ = unpackBuffer_ = kUnknown;
  std::fill(std::begin(capability_), std::end(capability_), std::int8_t{-1});
  colorMask_ = -1;
  depthMask_ = -1;
  stencilMask_ = -1;
  polygonMode_ = kUnknown;
  viewportKnown_ = false;
  std::memset(viewport_, 0, sizeof viewport_);
  depthRangeKnown_ = false;
  depthRange_[0] = depthRange_[1] = 0.0;
  clipControl_ = -1;
  std::fill(std::begin(pixelStore_), std::end(pixelStore_), -1);
}

int GlState::slotOf(GLenum capability) {
  switch (capability) {
    case GL_SCISSOR_TEST:
      return 0;
    case GL_BLEND:
      return 1;
    case GL_DEPTH_TEST:
      return 2;
    case GL_STENCIL_TEST:
      return 3;
    case GL_CULL_FACE:
      return 4;
    case GL_DITHER:
      return 5;
    case GL_DEPTH_CLAMP:
      return 6;
    case GL_POLYGON_OFFSET_FILL:
      return 7;
    case GL_POLYGON_OFFSET_LINE:
      return 8;
    case GL_POLYGON_OFFSET_POINT:
      return 9;
    default:
      if (capability >= GL_CLIP_DISTANCE0 && capability < GL_CLIP_DISTANCE0 + kClipDistances)
        return 10 + static_cast<int>(capability - GL_CLIP_DISTANCE0);
      return -1;
  }
}

void GlState::bindFramebuffer(GLenum target, GLuint framebuffer) {
  const bool draw = target == GL_FRAMEBUFFER || target == GL_DRAW_FRAMEBUFFER;
  const bool read = target == GL_FRAMEBUFFER || target == GL_READ_FRAMEBUFFER;
  if ((!draw || drawFramebuffer_ == framebuffer) && (!read || readFramebuffer_ == framebuffer)) return;
  if (draw && read && drawFramebuffer_ != framebuffer && readFramebuffer_ != framebuffer) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  } else if (draw && drawFramebuffer_ != framebuffer) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  } else if (read && readFramebuffer_ != framebuffer) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  }
  if (draw) drawFramebuffer_ = framebuffer;
  if (read) readFramebuffer_ = framebuffer;
}

void GlState::activeTexture(GLuint unit) {
  if (activeUnit_ == unit) return;
  glActiveTexture(GL_TEXTURE0 + unit);
  activeUnit_ = unit;
}

void GlState::bindTexture(GLuint texture) {
  if (activeUnit_ < kTextureUnits && texture_[activeUnit_] == texture) return;
  glBindTexture(GL_TEXTURE_2D, texture);
  if (activeUnit_ < kTextureUnits) texture_[activeUnit_] = texture;
}

void GlState::bindTextureUnit(GLuint unit, GLuint texture) {
  if (unit < kTextureUnits && texture_[unit] == texture) return;
  activeTexture(unit);
  bindTexture(texture);
}

void GlState::bindSampler(GLuint unit, GLuint sampler) {
  if (unit < kTextureUnits && sampler_[unit] == sampler) return;
  glBindSampler(unit, sampler);
  if (unit < kTextureUnits) sampler_[unit] = sampler;
}

void GlState::useProgram(GLuint program) {
  if (program_ == program) return;
  glUseProgram(program);
  program_ = program;
}

void GlState::bindVertexArray(GLuint vertexArray) {
  if (vertexArray_ == vertexArray) return;
  glBindVertexArray(vertexArray);
  vertexArray_ = vertexArray;
}

void GlState::bindBuffer(GLenum target, GLuint buffer) {
  GLuint* held =
      target == GL_PIXEL_PACK_BUFFER ? &packBuffer_ : (target == GL_PIXEL_UNPACK_BUFFER ? &unpackBuffer_ : nullptr);
  if (held && *held == buffer) return;
  glBindBuffer(target, buffer);
  if (held) *held = buffer;
}

void GlState::enable(GLenum capability, bool on) {
  const int slot = slotOf(capability);
  if (slot >= 0 && capability_[slot] == (on ? 1 : 0)) return;
  if (on)
    glEnable(capability);
  else
    glDisable(capability);
  if (slot >= 0) capability_[slot] = on ? 1 : 0;
}

int GlState::enabled(GLenum capability) const {
  const int slot = slotOf(capability);
  return slot >= 0 ? capability_[slot] : -1;
}

void GlState::colorMask(bool red, bool green, bool blue, bool alpha) {
  const int bits = (red ? 1 : 0) | (green ? 2 : 0) | (blue ? 4 : 0) | (alpha ? 8 : 0);
  if (colorMask_ == bits) return;
  glColorMask(red, green, blue, alpha);
  colorMask_ = bits;
}

void GlState::depthMask(bool on) {
  if (depthMask_ == (on ? 1 : 0)) return;
  glDepthMask(on ? GL_TRUE : GL_FALSE);
  depthMask_ = on ? 1 : 0;
}

void GlState::stencilMask(GLuint mask) {
  if (stencilMask_ == static_cast<std::int64_t>(mask)) return;
  glStencilMask(mask);
  stencilMask_ = mask;
}

void GlState::polygonMode(GLenum mode) {
  if (polygonMode_ == mode) return;
  glPolygonMode(GL_FRONT_AND_BACK, mode);
  polygonMode_ = mode;
}

void GlState::viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  const GLint v[4] = {x, y, width, height};
  if (viewportIs(v)) return;
  glViewport(x, y, width, height);
  std::memcpy(viewport_, v, sizeof viewport_);
  viewportKnown_ = true;
}

bool GlState::viewportIs(const GLint v[4]) const {
  return viewportKnown_ && std::memcmp(viewport_, v, sizeof viewport_) == 0;
}

void GlState::depthRange(double nearValue, double farValue) {
  if (depthRangeIs(nearValue, farValue)) return;
  glDepthRange(nearValue, farValue);
  depthRange_[0] = nearValue;
  depthRange_[1] = farValue;
  depthRangeKnown_ = true;
}

bool GlState::depthRangeIs(double nearValue, double farValue) const {
  return depthRangeKnown_ && depthRange_[0] == nearValue && depthRange_[1] == farValue;
}

void GlState::clipControl(bool zeroToOne) {
  if (clipControl_ == (zeroToOne ? 1 : 0)) return;
  glClipControl(GL_LOWER_LEFT, zeroToOne ? GL_ZERO_TO_ONE : GL_NEGATIVE_ONE_TO_ONE);
  clipControl_ = zeroToOne ? 1 : 0;
}

void GlState::pixelStore(GLenum name, GLint value) {
  const int slot = pixelStoreSlot(name);
  if (slot >= 0 && pixelStore_[slot] == value) return;
  glPixelStorei(name, value);
  if (slot >= 0) pixelStore_[slot] = value;
}

void GlState::deleteTextures(GLsizei count, const GLuint* textures) {
  glDeleteTextures(count, textures);
  for (GLsizei i = 0; i < count; ++i)
    for (GLuint& t : texture_)
      if (t == textures[i] && textures[i] != 0) t = 0;
}

void GlState::deleteFramebuffers(GLsizei count, const GLuint* framebuffers) {
  glDeleteFramebuffers(count, framebuffers);
  for (GLsizei i = 0; i < count; ++i) {
    if (framebuffers[i] == 0) continue;
    if (drawFramebuffer_ == framebuffers[i]) drawFramebuffer_ = 0;
    if (readFramebuffer_ == framebuffers[i]) readFramebuffer_ = 0;
  }
}

void GlState::deleteBuffers(GLsizei count, const GLuint* buffers) {
  glDeleteBuffers(count, buffers);
  for (GLsizei i = 0; i < count; ++i) {
    if (buffers[i] == 0) continue;
    if (packBuffer_ == buffers[i]) packBuffer_ = 0;
    if (unpackBuffer_ == buffers[i]) unpackBuffer_ = 0;
  }
}

void GlState::deleteSamplers(GLsizei count, const GLuint* samplers) {
  glDeleteSamplers(count, samplers);
  for (GLsizei i = 0; i < count; ++i)
    for (GLuint& s : sampler_)
      if (s == samplers[i] && samplers[i] != 0) s = 0;
}

void GlState::deleteVertexArrays(GLsizei count, const GLuint* vertexArrays) {
  glDeleteVertexArrays(count, vertexArrays);
  for (GLsizei i = 0; i < count; ++i)
    if (vertexArray_ == vertexArrays[i] && vertexArrays[i] != 0) vertexArray_ = 0;
}

void GlState::deleteProgram(GLuint program) {
  // A program in use would live on until no longer used: stop using it first.
  if (program != 0 && program_ == program) useProgram(0);
  glDeleteProgram(program);
}
