// One shadow of a GL context's state, shared by every user of the context (the fixed-function
// pipeline, the surfaces, the blitter, presenting): each sets the state it needs through these
// binders, which call GL only when the value differs from what the context holds, so that no
// user has to put GL back for the next one. Deleting objects goes through here too, since GL
// drops the bindings of a deleted object and its name may come back.
//
// What is not shadowed is set by whoever uses it, every time: clear values, the scissor
// rectangle, blend/depth/stencil functions (the pipeline keeps those), array and element buffer
// bindings (only the pipeline draws from buffers), framebuffer attachments, draw and read
// buffers. A user that calls GL around these binders must call forget() afterwards.
#pragma once

#include <cstdint>

#include "platform/dx7/ffp/gl_api.h"

class GlState {
 public:
  static constexpr int kTextureUnits = 8;
  static constexpr int kClipDistances = 8;

  GlState() { forget(); }

  // Everything unknown: the next binder call of each kind sends its value.
  void forget();

  // GL_FRAMEBUFFER binds both the draw and the read framebuffer.
  void bindFramebuffer(GLenum target, GLuint framebuffer);
  // The texture unit that plain bindTexture and texture uploads use.
  void activeTexture(GLuint unit);
  // GL_TEXTURE_2D of the active unit.
  void bindTexture(GLuint texture);
  // GL_TEXTURE_2D of `unit`, made active first when it is not.
  void bindTextureUnit(GLuint unit, GLuint texture);
  void bindSampler(GLuint unit, GLuint sampler);
  void useProgram(GLuint program);
  void bindVertexArray(GLuint vertexArray);
  // GL_PIXEL_PACK_BUFFER or GL_PIXEL_UNPACK_BUFFER (others go to GL unshadowed).
  void bindBuffer(GLenum target, GLuint buffer);

  // glEnable/glDisable: scissor, blend, depth and stencil tests, culling, dither, depth clamp,
  // polygon offsets and clip distances are shadowed, others go to GL every time.
  void enable(GLenum capability, bool on);
  void colorMask(bool red, bool green, bool blue, bool alpha);
  void depthMask(bool on);
  void stencilMask(GLuint mask);
  void polygonMode(GLenum mode);  // GL_FRONT_AND_BACK
  void viewport(GLint x, GLint y, GLsizei width, GLsizei height);
  void depthRange(double nearValue, double farValue);
  // glClipControl's depth mode: 0..1 (true) or GL's -1..1; origin lower left either way.
  void clipControl(bool zeroToOne);
  // GL_PACK_/GL_UNPACK_ ALIGNMENT and ROW_LENGTH.
  void pixelStore(GLenum name, GLint value);

  void deleteTextures(GLsizei count, const GLuint* textures);
  void deleteFramebuffers(GLsizei count, const GLuint* framebuffers);
  void deleteBuffers(GLsizei count, const GLuint* buffers);
  void deleteSamplers(GLsizei count, const GLuint* samplers);
  void deleteVertexArrays(GLsizei count, const GLuint* vertexArrays);
  void deleteProgram(GLuint program);

  // What the context holds, as far as known (kUnknown where not).
  static constexpr GLuint kUnknown = 0xFFFFFFFFu;
  GLuint drawFramebuffer() const { return drawFramebuffer_; }
  GLuint program() const { return program_; }
  GLuint activeUnit() const { return activeUnit_; }
  GLuint texture(GLuint unit) const { return unit < kTextureUnits ? texture_[unit] : kUnknown; }
  GLuint sampler(GLuint unit) const { return unit < kTextureUnits ? sampler_[unit] : kUnknown; }
  // 1 on, 0 off, -1 unknown (or not shadowed).
  int enabled(GLenum capability) const;
  // False while unknown.
  bool viewportIs(const GLint viewport[4]) const;
  bool viewportKnown() const { return viewportKnown_; }
  const GLint* knownViewport() const { return viewport_; }
  bool depthRangeIs(double nearValue, double farValue) const;
  int clipControlZeroToOne() const { return clipControl_; }
  int colorMaskBits() const { return colorMask_; }
  int depthMaskOn() const { return depthMask_; }
  std::int64_t stencilWriteMask() const { return stencilMask_; }
  GLenum polygonModeHeld() const { return polygonMode_; }

 private:
  // The shadowed capabilities' slots, -1 for others.
  static int slotOf(GLenum capability);
  static constexpr int kCapabilities = 10 + kClipDistances;

  GLuint drawFramebuffer_, readFramebuffer_;
  GLuint activeUnit_;
  GLuint texture_[kTextureUnits];
  GLuint sampler_[kTextureUnits];
  GLuint program_, vertexArray_, packBuffer_, unpackBuffer_;
  std::int8_t capability_[kCapabilities];
  int colorMask_;  // 4 bits red..alpha, -1 unknown
  int depthMask_;
  std::int64_t stencilMask_;  // -1 unknown
  GLenum polygonMode_;
  bool viewportKnown_;
  GLint viewport_[4];
  bool depthRangeKnown_;
  double depthRange_[2];
  int clipControl_;
  GLint pixelStore_[4];  // pack alignment, pack row length, unpack alignment, unpack row length; -1 unknown
};
