// The process's OpenGL context (SDL window or EGL surfaceless) and presenting frames.
#include "platform/dx7/ffp/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <SDL.h>
#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#endif

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/win32/win32_sdl.h"
#include "platform/win32/win32_system.h"

#if defined(__EMSCRIPTEN__)
// The page shows what was drawn once the program hands control back to the browser: each
// presented frame waits for the browser's next frame. The page's measurements (frames, and
// the program's own time per frame) are kept in Module.vellumiteFrames when the page asks.
// The body is JavaScript, which clang-format would break.
// clang-format off
EM_ASYNC_JS(void, waitForBrowserFrame, (), {
  const frames = Module.vellumiteFrames;
  const presented = performance.now();
  await new Promise(resolve => requestAnimationFrame(resolve));
  if (frames) frames.push(presented, performance.now());
});
// clang-format on

// WebGL 2 reads a buffer back by copying it out (getBufferSubData); it maps none for reading.
extern "C" void glGetBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data);
#endif

GlContext& GlContext::instance() {
  static GlContext* context = new GlContext();  // lives for the whole process
  return *context;
}

bool GlContext::makeCurrent() {
  if (!tried_) {
    tried_ = true;
    valid_ = create();
  }
  if (!valid_) return false;
  bool current = true;
  if (holds_ > 0) {
    current = true;
  } else if (headless_) {
    if (eglGetCurrentContext() != static_cast<EGLContext>(eglContext_))
      current = eglMakeCurrent(eglDisplay_, EGL_NO_SURFACE, EGL_NO_SURFACE, eglContext_) == EGL_TRUE;
  } else if (SDL_GL_GetCurrentContext() != sdlContext_) {
    current = SDL_GL_MakeCurrent(static_cast<SDL_Window*>(sdlHomeWindow_), sdlContext_) == 0;
  }
  if (current) restoreKeptState();
  return current;
}

bool GlContext::create() {
  headless_ = win32IsHeadless();
  bool ok = headless_ ? createEgl() : createSdl();
  if (!ok && !headless_) {
    // No usable window context: render without a display.
    headless_ = true;
    ok = createEgl();
  }
  if (!ok) {
    std::string text = std::string("OpenGL: no context (") + SDL_GetError() + ")\n";
    OutputDebugStringA(text.c_str());
    return false;
  }
  glDialectSetEs(glDialectEsRequested());
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  hasClipControl_ = !glDialectEs() && (major > 4 || (major == 4 && minor >= 5));
  if (glDialectEs()) {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    bool clipDistances = false, depthClamp = false;
    for (GLint i = 0; i < count; ++i) {
      const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
      if (name == nullptr) continue;
      clipDistances = clipDistances || std::strcmp(name, "GL_EXT_clip_cull_distance") == 0;
      depthClamp = depthClamp || std::strcmp(name, "GL_EXT_depth_clamp") == 0;
    }
    glDialectSetEsClipDistances(clipDistances);
    glDialectSetEsDepthClamp(depthClamp);
  }
  if (!hasClipControl_ && !glDialectEs()) {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count && !hasClipControl_; ++i) {
      const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
      if (name && std::strcmp(name, "GL_ARB_clip_control") == 0) hasClipControl_ = true;
    }
  }
  state_.forget();
  state_.pixelStore(GL_PACK_ALIGNMENT, 1);
  state_.pixelStore(GL_UNPACK_ALIGNMENT, 1);
  return true;
}

bool GlContext::createEgl() {
#if defined(__EMSCRIPTEN__)
  return false;  // the page always has its canvas
#else
  const bool es = glDialectEsRequested();
  EGLDisplay display = EGL_NO_DISPLAY;
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay) display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display == EGL_NO_DISPLAY) return false;
  EGLint major = 0, minor = 0;
  if (eglInitialize(display, &major, &minor) != EGL_TRUE) return false;
  if (eglBindAPI(es ? EGL_OPENGL_ES_API : EGL_OPENGL_API) != EGL_TRUE) return false;

  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, es ? EGL_OPENGL_ES3_BIT : EGL_OPENGL_BIT,
                                     EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configCount = 0;
  if (eglChooseConfig(display, configAttributes, &config, 1, &configCount) != EGL_TRUE || configCount < 1)
    config = nullptr;  // EGL_KHR_no_config_context
  const EGLint contextAttributes[] = {
      EGL_CONTEXT_MAJOR_VERSION,           3,       EGL_CONTEXT_MINOR_VERSION, 3, EGL_CONTEXT_OPENGL_PROFILE_MASK,
      EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  const EGLint esContextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, es ? esContextAttributes : contextAttributes);
  if (context == EGL_NO_CONTEXT) return false;
  if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE) {
    eglDestroyContext(display, context);
    return false;
  }
  eglDisplay_ = display;
  eglContext_ = context;
  return true;
#endif
}

bool GlContext::createSdl() {
  if (!win32EnsureVideo()) return false;
  const bool es = glDialectEsRequested();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, es ? 0 : 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, es ? SDL_GL_CONTEXT_PROFILE_ES : SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // A hidden window of our own keeps the context current while no render window exists.
  SDL_Window* home = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!home) return false;
  SDL_GLContext context = SDL_GL_CreateContext(home);
  if (!context) {
    SDL_DestroyWindow(home);
    return false;
  }
  if (SDL_GL_MakeCurrent(home, context) != 0) {
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(home);
    return false;
  }
  sdlHomeWindow_ = home;
  sdlContext_ = context;
  return true;
}

void GlContext::present(GLuint source, int width, int height, HWND window, int swapInterval) {
  if (!makeCurrent() || width <= 0 || height <= 0) return;
  if (presentedWidth_ != width || presentedHeight_ != height || presentedFbo_ == 0) {
    if (presentedFbo_ == 0) glGenFramebuffers(1, &presentedFbo_);
    if (presentedTexture_ == 0) glGenTextures(1, &presentedTexture_);
    state_.bindTexture(presentedTexture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    state_.bindTexture(0);
    state_.bindFramebuffer(GL_FRAMEBUFFER, presentedFbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, presentedTexture_, 0);
    presentedWidth_ = width;
    presentedHeight_ = height;
  }
  state_.enable(GL_SCISSOR_TEST, false);
  state_.colorMask(true, true, true, true);
  state_.bindFramebuffer(GL_READ_FRAMEBUFFER, source);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  state_.bindFramebuffer(GL_DRAW_FRAMEBUFFER, presentedFbo_);
  glDrawBuffer(GL_COLOR_ATTACHMENT0);
  glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  ++presentedCount_;

  SDL_Window* target = (headless_ || !window) ? nullptr : win32SdlWindow(window);
  if (target && SDL_GL_MakeCurrent(target, sdlContext_) == 0) {
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(target, &drawableWidth, &drawableHeight);
    // Keep the picture's aspect: scale to fit, centre, black bars on the rest.
    int outWidth = drawableWidth, outHeight = drawableHeight;
    if (static_cast<long long>(drawableWidth) * height > static_cast<long long>(drawableHeight) * width)
      outWidth = static_cast<int>(static_cast<long long>(drawableHeight) * width / height);
    else
      outHeight = static_cast<int>(static_cast<long long>(drawableWidth) * height / width);
    int x0 = (drawableWidth - outWidth) / 2;
    int y0 = (drawableHeight - outHeight) / 2;
    state_.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDrawBuffer(GL_BACK);
    state_.viewport(0, 0, drawableWidth, drawableHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    state_.bindFramebuffer(GL_READ_FRAMEBUFFER, presentedFbo_);
    // Stored top row first; the window's GL origin is bottom-left: flip vertically.
    bool exact = outWidth == width && outHeight == height;
    glBlitFramebuffer(0, 0, width, height, x0, y0 + outHeight, x0 + outWidth, y0, GL_COLOR_BUFFER_BIT,
                      exact ? GL_NEAREST : GL_LINEAR);
    SDL_GL_SetSwapInterval(swapInterval);
    SDL_GL_SwapWindow(target);
  }
  state_.bindFramebuffer(GL_FRAMEBUFFER, 0);
#if defined(__EMSCRIPTEN__)
  waitForBrowserFrame();
#endif
}

bool GlContext::readPresentedFrame(std::vector<std::uint32_t>& pixels, int* width, int* height) {
  if (presentedCount_ == 0 || !makeCurrent()) return false;
  pixels.assign(static_cast<size_t>(presentedWidth_) * static_cast<size_t>(presentedHeight_), 0);
  state_.bindFramebuffer(GL_READ_FRAMEBUFFER, presentedFbo_);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  state_.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  state_.pixelStore(GL_PACK_ALIGNMENT, 1);
  state_.pixelStore(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(0, 0, presentedWidth_, presentedHeight_, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
  state_.bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  for (std::uint32_t& p : pixels) p |= 0xFF000000u;
  if (width) *width = presentedWidth_;
  if (height) *height = presentedHeight_;
  return true;
}

bool GlContext::beginFrameRead() {
  if (presentedCount_ == 0 || pendingReads_ >= kFrameReadRing || !makeCurrent()) return false;
  FrameRead& read = reads_[nextRead_];
  std::size_t bytes = static_cast<std::size_t>(presentedWidth_) * static_cast<std::size_t>(presentedHeight_) * 4u;
  if (read.buffer == 0) glGenBuffers(1, &read.buffer);
  state_.bindBuffer(GL_PIXEL_PACK_BUFFER, read.buffer);
  if (read.capacity != bytes) {
    glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STREAM_READ);
    read.capacity = bytes;
  }
  state_.bindFramebuffer(GL_READ_FRAMEBUFFER, presentedFbo_);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  state_.pixelStore(GL_PACK_ALIGNMENT, 1);
  state_.pixelStore(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(0, 0, presentedWidth_, presentedHeight_, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  state_.bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  state_.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  read.width = presentedWidth_;
  read.height = presentedHeight_;
  nextRead_ = (nextRead_ + 1) % kFrameReadRing;
  ++pendingReads_;
  return true;
}

bool GlContext::takeFrameRead(std::vector<std::uint32_t>& pixels, int* width, int* height) {
  if (pendingReads_ == 0 || !makeCurrent()) return false;
  FrameRead& read = reads_[(nextRead_ + kFrameReadRing - pendingReads_) % kFrameReadRing];
  --pendingReads_;
  std::size_t count = static_cast<std::size_t>(read.width) * static_cast<std::size_t>(read.height);
  state_.bindBuffer(GL_PIXEL_PACK_BUFFER, read.buffer);
  // The ES dialect read the frame as RGBA bytes.
  const bool rgba = glDialectEs();
  auto convert = [&](const std::uint32_t* source, std::uint32_t* target) {
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t v = source[i];
      if (rgba) v = (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
      target[i] = v | 0xFF000000u;
    }
  };
#if defined(__EMSCRIPTEN__)
  pixels.resize(count);
  glGetBufferSubData(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(count * 4u), pixels.data());
  convert(pixels.data(), pixels.data());
  const bool ok = true;  // the copy fails only on arguments that are right here
#else
  const void* mapped =
      glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(read.capacity), GL_MAP_READ_BIT);
  bool ok = mapped != nullptr;
  if (ok) {
    pixels.resize(count);
    convert(static_cast<const std::uint32_t*>(mapped), pixels.data());
    ok = glUnmapBuffer(GL_PIXEL_PACK_BUFFER) == GL_TRUE;
  }
#endif
  state_.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  if (!ok) return false;
  if (width) *width = read.width;
  if (height) *height = read.height;
  return true;
}

void GlContext::resetFrameReads() {
  if (valid_ && makeCurrent()) {
    for (FrameRead& read : reads_) {
      if (read.buffer != 0) state_.deleteBuffers(1, &read.buffer);
    }
  }
  for (FrameRead& read : reads_) read = FrameRead{};
  nextRead_ = 0;
  pendingReads_ = 0;
}
