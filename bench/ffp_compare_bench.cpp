// The fixed-function back end against Mesa's own fixed-function path, side by side in one run:
// a fire-like frame (a lit, textured mesh behind 180 additive, textured billboards, each drawn
// as two single-triangle fans under its own world matrix, as the engine draws them) rendered
// headless into a 640 x 480 or 1280 x 720 target, once through FixedFunctionPipeline on a GL 3.3
// core context and once with glLight/glTexEnv/glMaterial on a compatibility-profile context.
// Reports frames per second of each (every frame finished with glFinish).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/dx7/ffp/ffp_pipeline.h"

namespace {

constexpr int kBillboards = 180;
constexpr int kGrid = 40;  // the mesh: kGrid x kGrid quads
constexpr int kTextureSide = 64;

// The billboards' and the mesh's vertices (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1
// for the mesh, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1 for the billboards).
struct MeshVertex {
  float x, y, z, nx, ny, nz;
  std::uint32_t colour;
  float u, v;
};
struct BillboardVertex {
  float x, y, z;
  std::uint32_t colour;
  float u, v;
};
constexpr DWORD kMeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kBillboardFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// What both paths draw: the same geometry, matrices (row vectors, as D3D gives them; loaded
// unchanged into GL's column-major matrices they transform the same way) and textures.
struct Workload {
  std::vector<MeshVertex> mesh;
  std::vector<WORD> meshIndices;
  std::vector<BillboardVertex> billboards;  // 6 per billboard: two fans of three
  std::vector<D3DMATRIX> billboardWorlds;
  std::vector<std::uint32_t> texture;  // 0xAARRGGBB
  D3DMATRIX view{}, projection{}, identity{};

  explicit Workload(int width, int height) {
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    view = identity;
    view._43 = 4.0f;  // the camera 4 units in front of the origin, looking along +z
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const float zn = 0.5f, zf = 50.0f;
    projection._11 = 1.0f / aspect;
    projection._22 = 1.0f;
    projection._33 = zf / (zf - zn);
    projection._34 = 1.0f;
    projection._43 = -zn * zf / (zf - zn);
    for (int r = 0; r <= kGrid; ++r)
      for (int c = 0; c <= kGrid; ++c) {
        const float u = static_cast<float>(c) / kGrid, v = static_cast<float>(r) / kGrid;
        const float x = -6.0f + 12.0f * u, y = 4.5f - 9.0f * v;
        const float z = 3.0f + 0.3f * std::sin(3.0f * x) * std::cos(2.0f * y);
        mesh.push_back({x, y, z, 0.0f, 0.0f, -1.0f, 0xFFFFFFFFu, 4.0f * u, 3.0f * v});
      }
    for (int r = 0; r < kGrid; ++r)
      for (int c = 0; c < kGrid; ++c) {
        const auto at = [](int row, int column) { return static_cast<WORD>(row * (kGrid + 1) + column); };
        meshIndices.insert(meshIndices.end(),
                           {at(r, c), at(r, c + 1), at(r + 1, c + 1), at(r, c), at(r + 1, c + 1), at(r + 1, c)});
      }
    // Particles rising in a column, larger near the base, dimmer higher up.
    std::uint32_t seed = 12345u;
    auto random = [&seed]() {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < kBillboards; ++i) {
      const float rise = 3.0f * random();
      const float size = 1.6f * (1.0f - rise / 4.0f) + 0.2f;
      const float h = size / 2.0f;
      D3DMATRIX world = identity;
      world._41 = (random() - 0.5f) * 0.8f;
      world._42 = -1.5f + rise;
      world._43 = (random() - 0.5f) * 0.8f;
      billboardWorlds.push_back(world);
      const auto grey = static_cast<std::uint32_t>(255.0f * (1.0f - rise / 3.5f));
      const std::uint32_t colour = (0x60u << 24) | (grey << 16) | (grey * 3 / 4 << 8) | (grey / 3);
      const BillboardVertex c1{-h, -h, 0, colour, 0, 0}, c2{h, -h, 0, colour, 1, 0}, c3{h, h, 0, colour, 1, 1},
          c4{-h, h, 0, colour, 0, 1};
      billboards.insert(billboards.end(), {c1, c2, c3, c3, c4, c1});
    }
    for (int y = 0; y < kTextureSide; ++y)
      for (int x = 0; x < kTextureSide; ++x) {
        const float dx = (static_cast<float>(x) + 0.5f) / kTextureSide - 0.5f;
        const float dy = (static_cast<float>(y) + 0.5f) / kTextureSide - 0.5f;
        const float glow = std::max(0.0f, 1.0f - 2.0f * std::sqrt(dx * dx + dy * dy));
        const auto g = static_cast<std::uint32_t>(255.0f * glow);
        texture.push_back(0xFF000000u | (g << 16) | ((g * g / 255) << 8) | (g * g * g / 65025));
      }
  }
};

// An EGL surfaceless display with one context of the asked profile and a framebuffer object
// (RGBA8 colour, 24-bit depth) to draw into.
class HeadlessContext {
 public:
  HeadlessContext(int width, int height, bool compatibility) : width_(width), height_(height) {
    display_ = openDisplay();
    if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API)) return;
    EGLConfig config = nullptr;
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    eglChooseConfig(display_, configAttributes, &config, 1, &count);
    const EGLint attributes[] = {
        EGL_CONTEXT_MAJOR_VERSION,
        compatibility ? 2 : 3,
        EGL_CONTEXT_MINOR_VERSION,
        compatibility ? 1 : 3,
        EGL_CONTEXT_OPENGL_PROFILE_MASK,
        compatibility ? EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT : EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
        EGL_NONE};
    context_ = eglCreateContext(display_, count > 0 ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context_ == EGL_NO_CONTEXT || !makeCurrent()) return;
    glGenTextures(1, &colour_);
    glBindTexture(GL_TEXTURE_2D, colour_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glGenFramebuffers(1, &fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth_);
    ok_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }
  ~HeadlessContext() {
    if (context_ != EGL_NO_CONTEXT) {
      makeCurrent();
      glDeleteFramebuffers(1, &fbo_);
      glDeleteRenderbuffers(1, &depth_);
      glDeleteTextures(1, &colour_);
      eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(display_, context_);
    }
  }
  HeadlessContext(const HeadlessContext&) = delete;
  HeadlessContext& operator=(const HeadlessContext&) = delete;

  bool ok() const { return ok_; }
  bool makeCurrent() { return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE; }
  GLuint framebuffer() const { return fbo_; }
  // Starts a frame: the target bound, cleared to black with depth 1.
  void beginFrame() {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glViewport(0, 0, width_, height_);
    glDepthMask(GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  // A mipmapped, trilinear RGBA8 texture from 0xAARRGGBB pixels.
  static GLuint createTexture(const std::vector<std::uint32_t>& pixels) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kTextureSide, kTextureSide, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
  }

 private:
  static EGLDisplay openDisplay() {
    const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (extensions != nullptr && std::strstr(extensions, "EGL_MESA_platform_surfaceless") != nullptr) {
      auto getPlatformDisplay =
          reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
      if (getPlatformDisplay != nullptr) {
        EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d != EGL_NO_DISPLAY) return d;
      }
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
  }

  int width_, height_;
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLContext context_ = EGL_NO_CONTEXT;
  GLuint fbo_ = 0, colour_ = 0, depth_ = 0;
  bool ok_ = false;
};

D3DCOLORVALUE colourValue(float r, float g, float b, float a) { return D3DCOLORVALUE{r, g, b, a}; }

// The generated path: device state as the engine sets it, drawn through the pipeline.
void BM_FireFrameGenerated(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  HeadlessContext gl(width, height, false);
  if (!gl.ok()) {
    state.SkipWithError("no GL 3.3 core context");
    return;
  }
  const Workload w(width, height);
  const GLuint texture = HeadlessContext::createTexture(w.texture);
  auto pipeline = std::make_unique<FixedFunctionPipeline>();
  pipeline->setKeepGlState(true);
  DeviceState device;
  device.reset(static_cast<DWORD>(width), static_cast<DWORD>(height), true);
  device.transforms[D3DTRANSFORMSTATE_VIEW] = w.view;
  device.transforms[D3DTRANSFORMSTATE_PROJECTION] = w.projection;
  D3DLIGHT7 point = DeviceState::defaultLight();
  point.dltType = D3DLIGHT_POINT;
  point.dcvDiffuse = colourValue(1.0f, 0.6f, 0.3f, 1.0f);
  point.dvPosition = {0.0f, 0.0f, 1.0f};
  point.dvRange = 40.0f;
  point.dvAttenuation0 = 0.2f;
  point.dvAttenuation1 = 0.1f;
  D3DLIGHT7 directional = DeviceState::defaultLight();
  directional.dcvDiffuse = colourValue(0.2f, 0.2f, 0.3f, 1.0f);
  directional.dvDirection = {0.3f, -0.5f, 1.0f};
  device.lights[0] = point;
  device.lights[1] = directional;
  device.lightSet[0] = device.lightSet[1] = true;
  device.lightEnabled[0] = device.lightEnabled[1] = true;
  device.material.diffuse = colourValue(1.0f, 1.0f, 1.0f, 1.0f);
  device.material.ambient = colourValue(0.2f, 0.2f, 0.2f, 1.0f);
  device.renderStates[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE] = D3DMCS_MATERIAL;
  device.renderStates[D3DRENDERSTATE_AMBIENT] = 0xFF202020u;
  device.renderStates[D3DRENDERSTATE_CULLMODE] = D3DCULL_NONE;
  DWORD* stage = device.textureStageStates[0];
  stage[D3DTSS_COLOROP] = D3DTOP_MODULATE;
  stage[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  stage[D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
  stage[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG2;
  stage[D3DTSS_ALPHAARG2] = D3DTA_DIFFUSE;
  stage[D3DTSS_MINFILTER] = D3DTFN_LINEAR;
  stage[D3DTSS_MAGFILTER] = D3DTFG_LINEAR;
  stage[D3DTSS_MIPFILTER] = D3DTFP_LINEAR;
  FfpTexture textures[kDeviceTextureStages];
  textures[0] = FfpTexture{texture, false};
  textures[0].width = textures[0].height = kTextureSide;  // as the device passes its textures
  bool ok = true;
  for (auto _ : state) {
    pipeline->restoreGlState();
    gl.beginFrame();
    pipeline->bindFramebuffer(gl.framebuffer());
    device.renderStates[D3DRENDERSTATE_LIGHTING] = TRUE;
    device.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = FALSE;
    device.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    device.transforms[D3DTRANSFORMSTATE_WORLD] = w.identity;
    ok &=
        pipeline->draw(device, textures, D3DPT_TRIANGLELIST, kMeshFvf, w.mesh.data(), static_cast<DWORD>(w.mesh.size()),
                       w.meshIndices.data(), static_cast<DWORD>(w.meshIndices.size()), &w.mesh, 1);
    device.renderStates[D3DRENDERSTATE_LIGHTING] = FALSE;
    device.renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = TRUE;
    device.renderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_SRCALPHA;
    device.renderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ONE;
    device.renderStates[D3DRENDERSTATE_ZWRITEENABLE] = FALSE;
    for (int i = 0; i < kBillboards; ++i) {
      device.transforms[D3DTRANSFORMSTATE_WORLD] = w.billboardWorlds[static_cast<std::size_t>(i)];
      for (int t = 0; t < 2; ++t)
        ok &= pipeline->draw(device, textures, D3DPT_TRIANGLEFAN, kBillboardFvf, &w.billboards[6 * i + 3 * t], 3,
                             nullptr, 0, nullptr, 0);
    }
    pipeline->restoreGlState();
    glFinish();
  }
  if (!ok) state.SkipWithError(pipeline->lastError());
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["programs"] = pipeline->programsCompiled();
  pipeline->releaseGlResources();
  glDeleteTextures(1, &texture);
}

// Mesa's own fixed-function path: the same frame with glLight, glMaterial and glTexEnv.
void BM_FireFrameMesaFixedFunction(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  HeadlessContext gl(width, height, true);
  if (!gl.ok()) {
    state.SkipWithError("no compatibility-profile context");
    return;
  }
  const Workload w(width, height);
  const GLuint texture = HeadlessContext::createTexture(w.texture);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(&w.projection._11);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(&w.view._11);
  // Lights are placed through the modelview matrix in force: the view, as the device does.
  const GLfloat pointPosition[4] = {0.0f, 0.0f, 1.0f, 1.0f}, pointDiffuse[4] = {1.0f, 0.6f, 0.3f, 1.0f};
  const GLfloat towardsLight[4] = {-0.3f, 0.5f, -1.0f, 0.0f}, directionalDiffuse[4] = {0.2f, 0.2f, 0.3f, 1.0f};
  const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, pointPosition);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, pointDiffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, black);
  glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 0.2f);
  glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.1f);
  glLightfv(GL_LIGHT1, GL_POSITION, towardsLight);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, directionalDiffuse);
  glLightfv(GL_LIGHT1, GL_SPECULAR, black);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  const GLfloat ambient[4] = {0.125f, 0.125f, 0.125f, 1.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  const GLfloat materialAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, materialAmbient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  // The mesh in buffer objects, as the pipeline keeps a vertex buffer's copy.
  GLuint buffers[2] = {0, 0};
  glGenBuffers(2, buffers);
  glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(w.mesh.size() * sizeof(MeshVertex)), w.mesh.data(),
               GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(w.meshIndices.size() * sizeof(WORD)),
               w.meshIndices.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  const auto offset = [](std::size_t bytes) { return reinterpret_cast<const void*>(bytes); };
  for (auto _ : state) {
    gl.beginFrame();
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glLoadMatrixf(&w.view._11);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), offset(0));
    glNormalPointer(GL_FLOAT, sizeof(MeshVertex), offset(12));
    glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, sizeof(MeshVertex), offset(24));
    glTexCoordPointer(2, GL_FLOAT, sizeof(MeshVertex), offset(28));
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(w.meshIndices.size()), GL_UNSIGNED_SHORT, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    for (int i = 0; i < kBillboards; ++i) {
      // World then view (row vectors): the view applied after the particle's translation.
      D3DMATRIX modelView = w.view;
      const D3DMATRIX& world = w.billboardWorlds[static_cast<std::size_t>(i)];
      modelView._41 += world._41;
      modelView._42 += world._42;
      modelView._43 += world._43;
      glLoadMatrixf(&modelView._11);
      const BillboardVertex* v = &w.billboards[static_cast<std::size_t>(6 * i)];
      for (int t = 0; t < 2; ++t) {
        glVertexPointer(3, GL_FLOAT, sizeof(BillboardVertex), &v[3 * t].x);
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, sizeof(BillboardVertex), &v[3 * t].colour);
        glTexCoordPointer(2, GL_FLOAT, sizeof(BillboardVertex), &v[3 * t].u);
        glDrawArrays(GL_TRIANGLE_FAN, 0, 3);
      }
    }
    glFinish();
  }
  if (glGetError() != GL_NO_ERROR) state.SkipWithError("GL error");
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  glDeleteBuffers(2, buffers);
  glDeleteTextures(1, &texture);
}

// Each size both ways, one after the other.
BENCHMARK(BM_FireFrameGenerated)->Args({640, 480})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FireFrameMesaFixedFunction)->Args({640, 480})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FireFrameGenerated)->Args({1280, 720})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FireFrameMesaFixedFunction)->Args({1280, 720})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
