// GL program and state for Blt between surfaces held in GL.
#include "platform/dx7/ffp/dx7_blitter.h"

#include "platform/dx7/ffp/gl_context.h"

namespace {

const char* kVertexSource = R"(#version 330 core
uniform vec4 dstRect;  // x0, y0, x1, y1 in normalised device coordinates
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
  gl_Position = vec4(mix(dstRect.xy, dstRect.zw, corner), 0.0, 1.0);
}
)";

// Destination pixel x (counted from the rectangle's edge) takes source pixel
// floor(x * source size / destination size), in exact integer arithmetic.
const char* kFragmentSource = R"(#version 330 core
uniform sampler2D source;
uniform ivec4 dstPixels;  // left, top, width, height
uniform ivec4 srcPixels;  // left, top, width, height
uniform bool keyed;
uniform bool opaque;
out vec4 colour;
void main() {
  ivec2 d = ivec2(gl_FragCoord.xy) - dstPixels.xy;
  ivec2 s = srcPixels.xy + (d * srcPixels.zw) / dstPixels.zw;
  vec4 c = texelFetch(source, s, 0);
  if (keyed && c.a < 0.5) discard;
  if (opaque || keyed) c.a = 1.0;
  colour = c;
}
)";

GLuint compile(GLenum type, const char* source) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

Dx7Blitter& Dx7Blitter::instance() {
  static auto* blitter = new Dx7Blitter();
  return *blitter;
}

bool Dx7Blitter::build() {
  built_ = true;
  GLuint vs = compile(GL_VERTEX_SHADER, kVertexSource);
  GLuint fs = compile(GL_FRAGMENT_SHADER, kFragmentSource);
  if (!vs || !fs) return false;
  program_ = glCreateProgram();
  glAttachShader(program_, vs);
  glAttachShader(program_, fs);
  glLinkProgram(program_);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint linked = 0;
  glGetProgramiv(program_, GL_LINK_STATUS, &linked);
  if (!linked) return false;
  dstRectLocation_ = glGetUniformLocation(program_, "dstRect");
  dstPixelsLocation_ = glGetUniformLocation(program_, "dstPixels");
  srcPixelsLocation_ = glGetUniformLocation(program_, "srcPixels");
  keyedLocation_ = glGetUniformLocation(program_, "keyed");
  opaqueLocation_ = glGetUniformLocation(program_, "opaque");
  GlState& gl = GlContext::instance().state();
  gl.useProgram(program_);
  glUniform1i(glGetUniformLocation(program_, "source"), 0);
  gl.useProgram(0);
  glGenVertexArrays(1, &vao_);
  return true;
}

bool Dx7Blitter::draw(GLuint framebuffer, int targetWidth, int targetHeight, const RECT& dst, GLuint texture,
                      int texWidth, int texHeight, const RECT& src, bool keyed, bool opaque) {
  if (!built_) ok_ = build();
  if (!ok_ || texWidth <= 0 || texHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return false;
  // The state the quad needs, whatever the pipeline left: no tests, blending, culling or clip
  // distances (the vertex program writes none), filled, no sampler object on unit 0.
  GlState& gl = GlContext::instance().state();
  gl.bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  gl.viewport(0, 0, targetWidth, targetHeight);
  gl.enable(GL_SCISSOR_TEST, false);
  gl.enable(GL_BLEND, false);
  gl.enable(GL_DEPTH_TEST, false);
  gl.enable(GL_CULL_FACE, false);
  gl.enable(GL_STENCIL_TEST, false);
  for (GLenum i = 0; i < GlState::kClipDistances; ++i) gl.enable(GL_CLIP_DISTANCE0 + i, false);
  gl.colorMask(true, true, true, true);
  gl.polygonMode(GL_FILL);
  gl.useProgram(program_);
  // Row 0 of the framebuffer is the top row: y maps to GL y directly.
  glUniform4f(dstRectLocation_, 2.0f * static_cast<float>(dst.left) / static_cast<float>(targetWidth) - 1.0f,
              2.0f * static_cast<float>(dst.top) / static_cast<float>(targetHeight) - 1.0f,
              2.0f * static_cast<float>(dst.right) / static_cast<float>(targetWidth) - 1.0f,
              2.0f * static_cast<float>(dst.bottom) / static_cast<float>(targetHeight) - 1.0f);
  glUniform4i(dstPixelsLocation_, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top);
  glUniform4i(srcPixelsLocation_, src.left, src.top, src.right - src.left, src.bottom - src.top);
  glUniform1i(keyedLocation_, keyed ? 1 : 0);
  glUniform1i(opaqueLocation_, opaque ? 1 : 0);
  gl.bindTextureUnit(0, texture);
  gl.bindSampler(0, 0);
  gl.bindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  return true;
}
