// Headless EGL context (GL 3.3 core, or ES 3.0 with VELLUMITE_GL=gles) with an FBO target for
// rendering tests.
#include "support/gl_test_context.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

bool hasExtension(const char* list, const char* name) {
  if (!list) return false;
  const std::size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    const bool startOk = p == list || p[-1] == ' ';
    const bool endOk = p[n] == '\0' || p[n] == ' ';
    if (startOk && endOk) return true;
  }
  return false;
}

EGLDisplay openDisplay() {
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay) {
      EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
      if (d != EGL_NO_DISPLAY) return d;
    }
  }
  return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

// 0xAARRGGBB values as R, G, B, A bytes in memory, and back (the swap is its own inverse).
void swapRedBlue(std::uint32_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t v = pixels[i];
    pixels[i] = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
  }
}

}  // namespace

bool argbNear(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    if (ca - cb > tolerance || cb - ca > tolerance) return false;
  }
  return true;
}

GlTestContext::~GlTestContext() { destroy(); }

bool GlTestContext::create(int width, int height, Depth depth) {
  destroy();
  EGLDisplay display = openDisplay();
  if (display == EGL_NO_DISPLAY) {
    error_ = "no EGL display";
    return false;
  }
  EGLint major = 0, minor = 0;
  if (!eglInitialize(display, &major, &minor)) {
    error_ = "eglInitialize failed";
    return false;
  }
  display_ = display;
  const char* dialect = std::getenv("VELLUMITE_GL");
  es_ = dialect != nullptr && std::strcmp(dialect, "gles") == 0;
  if (!eglBindAPI(es_ ? EGL_OPENGL_ES_API : EGL_OPENGL_API)) {
    error_ = es_ ? "no GL ES API" : "no desktop GL API";
    destroy();
    return false;
  }
  const char* displayExtensions = eglQueryString(display, EGL_EXTENSIONS);
  if (!hasExtension(displayExtensions, "EGL_KHR_surfaceless_context")) {
    error_ = "no surfaceless contexts";
    destroy();
    return false;
  }
  EGLConfig config = nullptr;
  if (!hasExtension(displayExtensions, "EGL_KHR_no_config_context")) {
    const EGLint attributes[] = {EGL_RENDERABLE_TYPE, es_ ? EGL_OPENGL_ES3_BIT : EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, &config, 1, &count) || count < 1) {
      error_ = "no GL config";
      destroy();
      return false;
    }
  }
  const EGLint contextAttributes[] = {
      EGL_CONTEXT_MAJOR_VERSION,           3,       EGL_CONTEXT_MINOR_VERSION, 3, EGL_CONTEXT_OPENGL_PROFILE_MASK,
      EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  const EGLint esAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, es_ ? esAttributes : contextAttributes);
  if (context == EGL_NO_CONTEXT) {
    error_ = "eglCreateContext failed";
    destroy();
    return false;
  }
  context_ = context;
  if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
    error_ = "eglMakeCurrent failed";
    destroy();
    return false;
  }

  esClipDistances_ = false;
  esDepthClamp_ = false;
  if (es_) {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
      const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
      if (name != nullptr && std::strcmp(name, "GL_EXT_clip_cull_distance") == 0) esClipDistances_ = true;
      if (name != nullptr && std::strcmp(name, "GL_EXT_depth_clamp") == 0) esDepthClamp_ = true;
    }
  }

  width_ = width;
  height_ = height;
  glGenFramebuffers(1, &fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glGenRenderbuffers(1, &colour_);
  glBindRenderbuffer(GL_RENDERBUFFER, colour_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  if (depth != Depth::None) {
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, depth == Depth::Bits16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24, width,
                          height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    error_ = "framebuffer incomplete";
    destroy();
    return false;
  }
  bindTarget();
  error_ = nullptr;
  return true;
}

void GlTestContext::destroy() {
  if (context_) {
    if (fbo_) glDeleteFramebuffers(1, &fbo_);
    if (colour_) glDeleteRenderbuffers(1, &colour_);
    if (depth_) glDeleteRenderbuffers(1, &depth_);
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
  }
  // The display stays initialised for the life of the process: terminating it unloads the driver,
  // which leaves the driver's own process-lifetime allocations unattributable for leak checking.
  fbo_ = colour_ = depth_ = 0;
  context_ = nullptr;
  display_ = nullptr;
}

void GlTestContext::bindTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glViewport(0, 0, width_, height_);
  if (es_)
    glDepthRangef(0.0f, 1.0f);
  else
    glDepthRange(0.0, 1.0);
}

void GlTestContext::clear(std::uint32_t argb, float depth) {
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(argbRed(argb) / 255.0f, argbGreen(argb) / 255.0f, argbBlue(argb) / 255.0f, argbAlpha(argb) / 255.0f);
  if (es_)
    glClearDepthf(depth);
  else
    glClearDepth(depth);
  glClear(GL_COLOR_BUFFER_BIT | (depth_ ? GL_DEPTH_BUFFER_BIT : 0));
}

std::uint32_t GlTestContext::readPixel(int x, int y) {
  std::uint8_t bgra[4] = {0, 0, 0, 0};
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, es_ ? GL_RGBA : GL_BGRA, GL_UNSIGNED_BYTE, bgra);
  if (es_) std::swap(bgra[0], bgra[2]);
  return static_cast<std::uint32_t>(bgra[0]) | (static_cast<std::uint32_t>(bgra[1]) << 8) |
         (static_cast<std::uint32_t>(bgra[2]) << 16) | (static_cast<std::uint32_t>(bgra[3]) << 24);
}

std::vector<std::uint32_t> GlTestContext::readImage() {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  if (es_) {
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    swapRedBlue(pixels.data(), pixels.size());
  } else {
    glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
  }
  return pixels;
}

unsigned int GlTestContext::createTexture(int width, int height, const std::uint32_t* argb, bool mipmaps) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (es_) {
    std::vector<std::uint32_t> rgba(argb, argb + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    swapRedBlue(rgba.data(), rgba.size());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb);
  }
  if (mipmaps) {
    glGenerateMipmap(GL_TEXTURE_2D);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  return name;
}

void GlTestContext::deleteTexture(unsigned int name) {
  if (name) glDeleteTextures(1, &name);
}

const char* GlTestContext::glErrorName() {
  switch (glGetError()) {
    case GL_NO_ERROR:
      return nullptr;
    case GL_INVALID_ENUM:
      return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE:
      return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION:
      return "GL_INVALID_OPERATION";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
      return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_OUT_OF_MEMORY:
      return "GL_OUT_OF_MEMORY";
    default:
      return "GL error";
  }
}
