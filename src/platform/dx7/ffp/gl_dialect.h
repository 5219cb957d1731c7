// The two GL dialects the back end speaks: OpenGL 3.3 core, and OpenGL ES 3.0 / WebGL 2
// (the web page, and natively on Mesa through EGL when VELLUMITE_GL=gles). The dialect is
// chosen when the context is made. The calls whose presence or meaning differ go through the
// functions below (gl_api.h routes the plain GL names to them); in the ES dialect they
// convert what ES lacks: BGRA and 16-bit texels at upload, BGRA read-back, the desktop-only
// calls and states, and the shaders' version line.
#pragma once

#include <cstddef>
#include <string>

// Included through gl_api.h, after the GL headers.

// What GL 3.3 core has and the ES 3.0 headers lack, so that the same sources compile for both.
#if defined(__EMSCRIPTEN__)
using GLdouble = double;
#define GL_BGRA 0x80E1
#define GL_UNSIGNED_SHORT_4_4_4_4_REV 0x8365
#define GL_UNSIGNED_SHORT_1_5_5_5_REV 0x8366
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367
#define GL_CLAMP_TO_BORDER 0x812D
#define GL_TEXTURE_BORDER_COLOR 0x1004
#define GL_TEXTURE_LOD_BIAS 0x8501
#define GL_DEPTH_CLAMP 0x864F
#define GL_CLIP_DISTANCE0 0x3000
#define GL_FIRST_VERTEX_CONVENTION 0x8E4D
#define GL_LAST_VERTEX_CONVENTION 0x8E4E
#define GL_LOWER_LEFT 0x8CA1
#define GL_NEGATIVE_ONE_TO_ONE 0x935E
#define GL_ZERO_TO_ONE 0x935F
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_POLYGON_OFFSET_POINT 0x2A01
#define GL_POLYGON_OFFSET_LINE 0x2A02
#endif

// Whether the current context speaks ES 3.0 (set once, when the context is made: setting it
// forgets the GL objects the dialect made in an earlier context).
bool glDialectEs();
void glDialectSetEs(bool es);
// Whether the ES context clips with user clip distances (EXT_clip_cull_distance).
bool glDialectEsClipDistances();
void glDialectSetEsClipDistances(bool available);
// Whether the ES context clamps depth (EXT_depth_clamp); without it the shaders clamp
// pre-transformed depth per vertex.
bool glDialectEsDepthClamp();
void glDialectSetEsDepthClamp(bool available);
// Whether the native program is asked for the ES dialect (VELLUMITE_GL=gles).
bool glDialectEsRequested();
// A shader's source as the dialect wants it: for ES the version line "#version 300 es" with
// high precision, the vertex colours read from BGRA bytes swizzled back, the clip distances
// through their extension (left out where the context lacks it), and points one pixel wide.
std::string glDialectShaderSource(const char* source);

void dialectDrawBuffer(GLenum buffer);
// ES has no polygon modes: the pipeline draws wireframe and point fill itself.
void dialectPolygonMode(GLenum face, GLenum mode);
void dialectProvokingVertex(GLenum convention);
void dialectClipControl(GLenum origin, GLenum depth);
void dialectClearDepth(GLdouble depth);
void dialectDepthRange(GLdouble nearValue, GLdouble farValue);
void dialectEnable(GLenum capability);
void dialectDisable(GLenum capability);
void dialectPixelStorei(GLenum name, GLint value);
void dialectTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const void* pixels);
void dialectTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                          GLenum type, const void* pixels);
void dialectTexParameteri(GLenum target, GLenum name, GLint value);
void dialectReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels);
void dialectSamplerParameteri(GLuint sampler, GLenum name, GLint value);
void dialectSamplerParameterf(GLuint sampler, GLenum name, GLfloat value);
void dialectSamplerParameterfv(GLuint sampler, GLenum name, const GLfloat* values);
void dialectVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                                const void* pointer);
void dialectDrawElementsBaseVertex(GLenum mode, GLsizei count, GLenum type, const void* indices, GLint baseVertex);
void dialectShaderSource(GLuint shader, GLsizei count, const GLchar* const* sources, const GLint* lengths);
void* dialectMapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access);

#if !defined(VELLUMITE_GL_DIALECT_IMPLEMENTATION)
#define glDrawBuffer dialectDrawBuffer
#define glPolygonMode dialectPolygonMode
#define glProvokingVertex dialectProvokingVertex
#define glClipControl dialectClipControl
#define glClearDepth dialectClearDepth
#define glDepthRange dialectDepthRange
#define glEnable dialectEnable
#define glDisable dialectDisable
#define glPixelStorei dialectPixelStorei
#define glTexImage2D dialectTexImage2D
#define glTexSubImage2D dialectTexSubImage2D
#define glTexParameteri dialectTexParameteri
#define glReadPixels dialectReadPixels
#define glSamplerParameteri dialectSamplerParameteri
#define glSamplerParameterf dialectSamplerParameterf
#define glSamplerParameterfv dialectSamplerParameterfv
#define glVertexAttribPointer dialectVertexAttribPointer
#define glDrawElementsBaseVertex dialectDrawElementsBaseVertex
#define glShaderSource dialectShaderSource
#define glMapBufferRange dialectMapBufferRange
#endif
