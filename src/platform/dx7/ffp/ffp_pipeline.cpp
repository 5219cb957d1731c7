// Fixed-function drawing on GL: a draw goes through validation, its shader key and program,
// its view, its stage textures and samplers, its uniforms, and is then sent to GL or joins the
// triangles waiting to go as one draw. The parts live in their own files: the vertex layout,
// vertex streams, texture wrapping, raster state, samplers, programs and uniforms.
#include "platform/dx7/ffp/ffp_pipeline.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dx7/ffp/ffp_enum_translation.h"
#include "platform/dx7/ffp/ffp_fill_mode.h"
#include "platform/dx7/ffp/ffp_magnification.h"
#include "platform/dx7/ffp/ffp_programs.h"
#include "platform/dx7/ffp/ffp_provoking.h"
#include "platform/dx7/ffp/ffp_raster_state.h"
#include "platform/dx7/ffp/ffp_samplers.h"
#include "platform/dx7/ffp/ffp_uniforms.h"
#include "platform/dx7/ffp/ffp_vertex_layout.h"
#include "platform/dx7/ffp/ffp_vertex_streams.h"
#include "platform/dx7/ffp/ffp_wrap.h"
#include "platform/dx7/ffp/gl_api.h"
#include "platform/dx7/ffp/gl_state.h"

struct FixedFunctionPipeline::Impl {
  bool initialised = false;
  bool allowClipControl = true;
  bool clipControl = false;
  bool keepState = false;
  // The context's state shadow: the shared one, or one of the pipeline's own.
  std::unique_ptr<GlState> ownState;
  GlState* gl = nullptr;
  FfpVertexStreams streams;
  FfpProgramCache programs;
  FfpSamplerCache samplers;
  int maxLights = kFfpMaxLights;
  std::string error;
  FfpStagedUniforms staged;

  // The shader key and program of the last draw, reused while the state's shape version, the
  // vertex format and the stage textures' shaping properties stay the same.
  struct ShapeCache {
    std::uint64_t version = 0;
    DWORD fvf = 0;
    int maxLights = 0;
    unsigned int texture[kDeviceTextureStages] = {};
    bool textureAlpha[kDeviceTextureStages] = {};
    bool textureColorKey[kDeviceTextureStages] = {};
    FfpShaderKey key;
    FfpProgram* program = nullptr;

    bool matches(std::uint64_t v, DWORD f, int lights, const FfpTexture textures[kDeviceTextureStages]) const {
      if (program == nullptr || v == 0 || v != version || f != fvf || lights != maxLights) return false;
      for (DWORD s = 0; s < kDeviceTextureStages; ++s)
        if (textures[s].name != texture[s] || textures[s].hasAlpha != textureAlpha[s] ||
            textures[s].hasColorKey != textureColorKey[s])
          return false;
      return true;
    }
    void remember(std::uint64_t v, DWORD f, int lights, const FfpTexture textures[kDeviceTextureStages],
                  const FfpShaderKey& k, FfpProgram* p) {
      version = v;
      fvf = f;
      maxLights = lights;
      for (DWORD s = 0; s < kDeviceTextureStages; ++s) {
        texture[s] = textures[s].name;
        textureAlpha[s] = textures[s].hasAlpha;
        textureColorKey[s] = textures[s].hasColorKey;
      }
      key = k;
      program = p;
    }
  } shape;

  // The raster state this pipeline last set (its functions are set by no one else; its enables
  // and masks live in the shared state), known until restore().
  bool rasterKnown = false;
  FfpRasterState keptRaster{};
  // Whether bindFramebuffer bound one since restore() (which unbinds it).
  bool framebufferBound = false;

  // Single triangles drawn one after another with nothing changing in between go to GL as one
  // draw: they wait here (already in GL's triangle order) until something else comes.
  struct Batch {
    const FfpProgram* program = nullptr;
    FfpShaderKey key;
    DWORD stride = 0;
    std::vector<std::uint8_t> vertices;
  } batch;
  // Whether the renderer stores a fragment's colour as the nearest byte (ties to even), so a
  // program can work out what the frame buffer will hold (llvmpipe's blending does).
  bool nearestBytes = false;
  static constexpr std::size_t kBatchBytes = std::size_t{256} << 10;
  // The indices of a flat-shaded draw reordered for a dialect whose last vertex provokes, and
  // of a wireframe draw's edges for one without polygon modes.
  std::vector<WORD> provokingOrder;
  std::vector<WORD> edges;

  // One draw on its way through the pipeline.
  struct DrawCall {
    DrawCall(D3DPRIMITIVETYPE t, DWORD fvf, const void* v, DWORD count, const WORD* i, DWORD iCount, const void* id,
             std::uint64_t version)
        : type(t),
          layout(fvf),
          vertices(v),
          vertexCount(count),
          indices(i),
          indexCount(iCount),
          sourceId(id),
          sourceVersion(version) {}
    D3DPRIMITIVETYPE type;
    FfpVertexLayout layout;
    const void* vertices;
    DWORD vertexCount;
    const WORD* indices;
    DWORD indexCount;
    const void* sourceId;
    std::uint64_t sourceVersion;
    GLenum mode = GL_POINTS;              // the GL primitive drawn
    std::vector<std::uint8_t> unwrapped;  // the triangles with wrapped coordinates, when any
    // The primitive type the vertices now have.
    D3DPRIMITIVETYPE drawnType() const { return unwrapped.empty() ? type : D3DPT_TRIANGLELIST; }
  };
  // The viewport and depth range a draw asks for, and the rectangle its vertices map into.
  struct ViewState {
    GLint viewport[4];
    double depthRange[2];
    FfpScreenRect screen;
  };
  // The texture and sampler of every stage that samples one (0 for the others).
  struct StageBindings {
    GLuint texture[kDeviceTextureStages] = {};
    GLuint sampler[kDeviceTextureStages] = {};
  };

  void initialise();
  void release();
  void flushBatch();
  FfpProgram* addedTwiceProgram();
  void restore();
  void bindFramebuffer(GLuint framebuffer);
  FfpProgram& program(const FfpShaderKey& key);

  bool validate(DrawCall& call);
  bool unwrap(const DeviceState& state, DrawCall& call);
  FfpProgram* programFor(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages],
                         const FfpVertexLayout& layout);
  ViewState viewFor(const D3DVIEWPORT7& vp, const FfpShaderKey& key);
  StageBindings stageBindings(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages],
                              const FfpShaderKey& key, const DrawCall& call);
  void submit(FfpProgram& program, const FfpShaderKey& key, const FfpRasterState& raster, const ViewState& view,
              const StageBindings& stages, const DrawCall& call);

  bool stateMatches(const FfpProgram& program, const FfpShaderKey& key, const FfpRasterState& raster,
                    const ViewState& view, const StageBindings& stages) const;
  void applyState(FfpProgram& program, const FfpShaderKey& key, const FfpRasterState& raster, const ViewState& view,
                  const StageBindings& stages);
  void applyStageBindings(const FfpShaderKey& key, const StageBindings& stages);
  void applyClipping(const FfpShaderKey& key);
  void drawNow(const DrawCall& call, bool lastProvokes, GLenum fill);
  void startBatch(const FfpProgram& program, const FfpShaderKey& key, const FfpVertexLayout& layout);
  void appendToBatch(const DrawCall& call);
};

void FixedFunctionPipeline::Impl::initialise() {
  if (initialised) return;
  streams.create();
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  clipControl = allowClipControl && (major > 4 || (major == 4 && minor >= 5));
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  nearestBytes = renderer && std::strstr(renderer, "llvmpipe") != nullptr;
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

void FixedFunctionPipeline::Impl::release() {
  if (!initialised) return;
  restore();
  batch.vertices.clear();
  batch.program = nullptr;
  programs.release(*gl);
  samplers.release(*gl);
  streams.release(*gl);
  shape = ShapeCache{};
  initialised = false;
}

// Draws the waiting triangles with the GL state they were queued under (still current).
void FixedFunctionPipeline::Impl::flushBatch() {
  if (batch.vertices.empty()) return;
  const GLuint inUse = gl->program();  // the batch's: the next draw's state is not sent yet
  FfpProgram* twice = addedTwiceProgram();
  const std::size_t bytes = twice ? batch.vertices.size() / 2 : batch.vertices.size();
  const std::size_t at = streams.appendVertices(batch.vertices.data(), bytes, batch.stride);
  if (twice) {
    gl->useProgram(twice->program);
    twice->sendAs(*batch.program);
  }
  glDrawArrays(GL_TRIANGLES, static_cast<GLint>(at / batch.stride), static_cast<GLsizei>(bytes / batch.stride));
  if (twice) gl->useProgram(inUse);
  batch.vertices.clear();
  batch.program = nullptr;
}

// Triangles that come twice in a row under additive blending (a billboard drawn twice at one
// place, say) cost the rasteriser twice. When the waiting triangles are such a repeat, and
// the second copy meets the frame buffer exactly as the first did (no depth or stencil
// writes), their first half drawn once by a program that writes the stored colour doubled
// gives the same bytes: saturating sums of whole bytes do not depend on how they are grouped.
// Returns that program, or null to draw the triangles as they came.
FfpProgram* FixedFunctionPipeline::Impl::addedTwiceProgram() {
  const FfpRasterState& r = keptRaster;
  if (!nearestBytes || !r.blend || r.blendSource != GL_ONE || r.blendDestination != GL_ONE || r.depthMask ||
      r.stencilFunc != 0)
    return nullptr;
  const std::size_t half = batch.vertices.size() / 2;
  if (half == 0 || half % (3 * std::size_t{batch.stride}) != 0 ||
      std::memcmp(batch.vertices.data(), batch.vertices.data() + half, half) != 0)
    return nullptr;
  FfpShaderKey doubled = batch.key;
  doubled.addedTwice = 1;
  FfpProgram& entry = program(doubled);
  return entry.failed ? nullptr : &entry;
}

// Sends what is waiting and puts GL back as the header promises after a draw: no sampler
// objects, filled polygons, depth writes on, GL's own clip depth, no depth clamp or clip
// distances, texture unit 0 active and the default framebuffer bound. Afterwards nothing
// is assumed about GL's state.
void FixedFunctionPipeline::Impl::restore() {
  if (!initialised) return;
  flushBatch();
  if (rasterKnown) {
    for (GLuint s = 0; s < kDeviceTextureStages; ++s)
      if (gl->sampler(s) != 0) gl->bindSampler(s, 0);
    if (clipControl) gl->clipControl(false);
    gl->enable(GL_DEPTH_CLAMP, false);
    for (int i = 0; i < kFfpMaxClipPlanes; ++i) gl->enable(GL_CLIP_DISTANCE0 + static_cast<GLenum>(i), false);
    gl->activeTexture(0);
    gl->polygonMode(GL_FILL);
    gl->depthMask(true);
  }
  if (framebufferBound) gl->bindFramebuffer(GL_FRAMEBUFFER, 0);
  framebufferBound = false;
  gl->forget();
  rasterKnown = false;
  streams.forgetAttributes();
}

void FixedFunctionPipeline::Impl::bindFramebuffer(GLuint framebuffer) {
  if (gl->drawFramebuffer() != framebuffer) flushBatch();
  gl->bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  gl->enable(GL_SCISSOR_TEST, false);
  framebufferBound = true;
}

// The program for a key; building one leaves it in use.
FfpProgram& FixedFunctionPipeline::Impl::program(const FfpShaderKey& key) { return programs.get(key, error, *gl); }

// Checks the primitive type, vertex format, counts and indices; false with error set.
bool FixedFunctionPipeline::Impl::validate(DrawCall& call) {
  bool modeOk = false;
  call.mode = ffpPrimitiveMode(call.type, modeOk);
  if (!modeOk) {
    error = "unknown primitive type";
    return false;
  }
  if (!call.layout.drawable()) {
    error = "unsupported vertex format";
    return false;
  }
  if (!call.vertices || call.vertexCount == 0 || (call.indices && call.indexCount == 0)) {
    error = "nothing to draw";
    return false;
  }
  if (call.indices) {
    // An index past the vertices would make GL read outside the buffer.
    const WORD largest = *std::max_element(call.indices, call.indices + call.indexCount);
    if (largest >= call.vertexCount) {
      error = "index outside the vertices";
      return false;
    }
  }
  return true;
}

// Replaces triangles with wrapped coordinates by their unwrapped list; false when no triangle
// is left to draw.
bool FixedFunctionPipeline::Impl::unwrap(const DeviceState& state, DrawCall& call) {
  if (!ffpUnwrapTriangles(state, call.type, call.layout, call.vertices, call.vertexCount, call.indices, call.indexCount,
                          call.unwrapped))
    return true;
  if (call.unwrapped.empty()) return false;  // fewer than three vertices: no triangle
  call.vertices = call.unwrapped.data();
  call.vertexCount = static_cast<DWORD>(call.unwrapped.size() / call.layout.stride);
  call.indices = nullptr;
  call.indexCount = 0;
  call.sourceId = nullptr;
  call.mode = GL_TRIANGLES;
  return true;
}

// The program for the draw's shader key (kept in `shape`), or null with error set.
FfpProgram* FixedFunctionPipeline::Impl::programFor(const DeviceState& state,
                                                    const FfpTexture textures[kDeviceTextureStages],
                                                    const FfpVertexLayout& layout) {
  // The key is worked out again only when a state that shapes it changed.
  if (!shape.matches(state.shapeVersion, layout.fvf, maxLights, textures)) {
    const unsigned emulation =
        glDialectEs() ? kFfpEmulateSamplerStates | (glDialectEsDepthClamp() ? 0u : kFfpEmulateDepthClamp) : 0u;
    const FfpShaderKey built = ffpBuildShaderKey(state, textures, layout, clipControl, maxLights, emulation);
    if (!programs.contains(built)) flushBatch();  // building a program changes the program in use
    shape.remember(state.shapeVersion, layout.fvf, maxLights, textures, built, &program(built));
  }
  if (shape.program->failed) {
    if (error.empty()) error = "shader build failed earlier for this state";
    return nullptr;
  }
  return shape.program;
}

FixedFunctionPipeline::Impl::ViewState FixedFunctionPipeline::Impl::viewFor(const D3DVIEWPORT7& vp,
                                                                            const FfpShaderKey& key) {
  ViewState view{};
  if (vp.dwWidth == 0 || vp.dwHeight == 0) {
    // No viewport size: draw into GL's viewport and depth range as they are.
    if (gl->viewportKnown()) {
      std::memcpy(view.viewport, gl->knownViewport(), sizeof view.viewport);
    } else {
      glGetIntegerv(GL_VIEWPORT, view.viewport);
    }
    GLfloat range[2] = {0.0f, 1.0f};
    glGetFloatv(GL_DEPTH_RANGE, range);
    view.depthRange[0] = range[0];
    view.depthRange[1] = range[1];
    view.screen = {static_cast<float>(view.viewport[0]), static_cast<float>(view.viewport[1]),
                   static_cast<float>(view.viewport[2]), static_cast<float>(view.viewport[3])};
    return view;
  }
  view.viewport[0] = static_cast<GLint>(vp.dwX);
  view.viewport[1] = static_cast<GLint>(vp.dwY);
  view.viewport[2] = static_cast<GLsizei>(vp.dwWidth);
  view.viewport[3] = static_cast<GLsizei>(vp.dwHeight);
  // MinZ..MaxZ scales the depth of transformed vertices; a pre-transformed z is the depth itself.
  // An empty or inverted range behaves as MinZ..MinZ + 0.001.
  if (key.pretransformed) {
    view.depthRange[0] = 0.0;
    view.depthRange[1] = 1.0;
  } else if (!(vp.dvMaxZ > vp.dvMinZ)) {
    view.depthRange[0] = vp.dvMinZ;
    view.depthRange[1] = std::min(1.0, static_cast<double>(vp.dvMinZ) + 0.001);
  } else {
    view.depthRange[0] = vp.dvMinZ;
    view.depthRange[1] = vp.dvMaxZ;
  }
  view.screen = {static_cast<float>(vp.dwX), static_cast<float>(vp.dwY), static_cast<float>(vp.dwWidth),
                 static_cast<float>(vp.dwHeight)};
  return view;
}

FixedFunctionPipeline::Impl::StageBindings FixedFunctionPipeline::Impl::stageBindings(
    const DeviceState& state, const FfpTexture textures[kDeviceTextureStages], const FfpShaderKey& key,
    const DrawCall& call) {
  StageBindings stages;
  for (int s = 0; s < key.stageCount; ++s) {
    if (!key.stages[s].samplesTexture) continue;
    stages.texture[s] = textures[s].name;
    const DWORD* ts = state.textureStageStates[s];
    // Only a mipmapped lookup at the top level, without bias, gains from knowing the texture
    // is magnified everywhere.
    const bool mipmapped = ts[D3DTSS_MIPFILTER] == D3DTFP_POINT || ts[D3DTSS_MIPFILTER] == D3DTFP_LINEAR;
    const bool magnifiedOnly =
        mipmapped && ts[D3DTSS_MAXMIPLEVEL] == 0 && (ts[D3DTSS_MIPMAPLODBIAS] & 0x7FFFFFFFu) == 0 &&
        ffpDrawOnlyMagnifies(state, key, s, textures[s].width, textures[s].height, call.drawnType(), call.layout,
                             call.vertices, call.vertexCount, call.indices, call.indexCount);
    stages.sampler[s] = samplers.get(ts, magnifiedOnly);
  }
  return stages;
}

// Sends the draw to GL, or adds it to the waiting triangles: single triangles (a list of whole
// triangles, or a fan of one) from engine memory join them when nothing else changes.
void FixedFunctionPipeline::Impl::submit(FfpProgram& program, const FfpShaderKey& key, const FfpRasterState& raster,
                                         const ViewState& view, const StageBindings& stages, const DrawCall& call) {
  const DWORD stride = call.layout.stride;
  // Without polygon modes (ES) the fill mode is carried out on the draw's own primitives.
  const GLenum fill = glDialectEs() ? raster.polygonMode : static_cast<GLenum>(GL_FILL);
  const bool joinable = keepState && !call.sourceId && !call.indices && call.unwrapped.empty() && fill == GL_FILL &&
                        ((call.type == D3DPT_TRIANGLEFAN && call.vertexCount == 3) ||
                         (call.type == D3DPT_TRIANGLELIST && call.vertexCount % 3 == 0));
  const bool same = stateMatches(program, key, raster, view, stages);
  if (!(joinable && same && batch.program == &program && batch.stride == stride &&
        batch.vertices.size() + std::size_t{call.vertexCount} * stride <= kBatchBytes)) {
    flushBatch();
    if (!same) applyState(program, key, raster, view, stages);
    if (!joinable) {
      drawNow(call, glDialectEs() && key.flatShading, fill);
      if (!keepState) restore();
      return;
    }
    startBatch(program, key, call.layout);
  }
  appendToBatch(call);
}

// Whether GL already holds everything this draw needs besides its vertices.
bool FixedFunctionPipeline::Impl::stateMatches(const FfpProgram& program, const FfpShaderKey& key,
                                               const FfpRasterState& wanted, const ViewState& view,
                                               const StageBindings& stages) const {
  if (!rasterKnown || gl->program() != program.program || !(keptRaster == wanted) || !ffpRasterStateHeld(wanted, *gl))
    return false;
  if (!gl->viewportIs(view.viewport) || !gl->depthRangeIs(view.depthRange[0], view.depthRange[1])) return false;
  for (GLuint s = 0; s < kDeviceTextureStages && static_cast<int>(s) < key.stageCount; ++s) {
    if (!key.stages[s].samplesTexture) continue;
    if (gl->texture(s) != stages.texture[s] || gl->sampler(s) != stages.sampler[s]) return false;
  }
  for (int i = 0; i < kFfpMaxClipPlanes; ++i)
    if (gl->enabled(GL_CLIP_DISTANCE0 + static_cast<GLenum>(i)) != ((key.clipPlanes >> i) & 1)) return false;
  return gl->enabled(GL_DEPTH_CLAMP) == (key.pretransformed != 0) &&
         (!clipControl || gl->clipControlZeroToOne() == 1) && !program.differs(staged);
}

// Sets everything but the vertices for a draw.
void FixedFunctionPipeline::Impl::applyState(FfpProgram& program, const FfpShaderKey& key, const FfpRasterState& wanted,
                                             const ViewState& view, const StageBindings& stages) {
  gl->viewport(view.viewport[0], view.viewport[1], view.viewport[2], view.viewport[3]);
  gl->depthRange(view.depthRange[0], view.depthRange[1]);
  gl->useProgram(program.program);
  ffpApplyRasterState(wanted, rasterKnown ? &keptRaster : nullptr, *gl);
  keptRaster = wanted;
  rasterKnown = true;
  program.send(staged);
  applyStageBindings(key, stages);
  applyClipping(key);
}

void FixedFunctionPipeline::Impl::applyStageBindings(const FfpShaderKey& key, const StageBindings& stages) {
  for (int s = 0; s < key.stageCount; ++s) {
    if (!key.stages[s].samplesTexture) continue;
    gl->bindTextureUnit(static_cast<GLuint>(s), stages.texture[s]);
    gl->bindSampler(static_cast<GLuint>(s), stages.sampler[s]);
  }
}

// Clip control, depth clamping and the user clip planes.
void FixedFunctionPipeline::Impl::applyClipping(const FfpShaderKey& key) {
  if (clipControl) gl->clipControl(true);
  // Pre-transformed vertices are not clipped in z: their depth is clamped instead.
  gl->enable(GL_DEPTH_CLAMP, key.pretransformed != 0);
  for (int i = 0; i < kFfpMaxClipPlanes; ++i)
    gl->enable(GL_CLIP_DISTANCE0 + static_cast<GLenum>(i), ((key.clipPlanes >> i) & 1) != 0);
}

// lastProvokes: flat shading takes the last vertex's colour, where the draw wants the first's.
// fill: the fill mode GL_LINE or GL_POINT where the triangles are to be drawn as such, not by
// GL's polygon mode.
void FixedFunctionPipeline::Impl::drawNow(const DrawCall& call, bool lastProvokes, GLenum fill) {
  const DWORD stride = call.layout.stride;
  gl->bindVertexArray(streams.vertexArray());
  GLuint buffer = 0;
  const std::size_t first = streams.bindVertices(call.vertices, static_cast<std::size_t>(call.vertexCount) * stride,
                                                 stride, call.sourceId, call.sourceVersion, buffer);
  GLenum mode = call.mode;
  const WORD* indices = call.indices;
  DWORD indexCount = call.indexCount;
  if (lastProvokes &&
      ffpLastVertexProvokes(call.mode, call.indices, indices ? indexCount : call.vertexCount, provokingOrder, mode)) {
    if (provokingOrder.empty()) return;
    indices = provokingOrder.data();
    indexCount = static_cast<DWORD>(provokingOrder.size());
  }
  const bool triangles = mode == GL_TRIANGLES || mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN;
  if (fill == GL_LINE && ffpTriangleEdges(mode, indices, indices ? indexCount : call.vertexCount, edges)) {
    if (edges.empty()) return;
    mode = GL_LINES;
    indices = edges.data();
    indexCount = static_cast<DWORD>(edges.size());
  } else if (fill == GL_POINT && triangles) {
    mode = GL_POINTS;
  }
  // ES has no base vertex: indices reach the draw's vertices through where the attributes start.
  const bool baseInAttributes = indices && glDialectEs();
  streams.setAttributes(buffer, call.layout, baseInAttributes ? first : 0);
  if (indices) {
    const std::size_t at = streams.appendIndices(indices, indexCount);
    if (baseInAttributes)
      glDrawElements(mode, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(at));
    else
      glDrawElementsBaseVertex(mode, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT,
                               reinterpret_cast<const void*>(at), static_cast<GLint>(first));
  } else {
    glDrawArrays(mode, static_cast<GLint>(first), static_cast<GLsizei>(call.vertexCount));
  }
}

// A new batch: the attributes read the stream buffer from its start.
void FixedFunctionPipeline::Impl::startBatch(const FfpProgram& program, const FfpShaderKey& key,
                                             const FfpVertexLayout& layout) {
  gl->bindVertexArray(streams.vertexArray());
  glBindBuffer(GL_ARRAY_BUFFER, streams.streamBuffer());
  streams.setAttributes(streams.streamBuffer(), layout);
  batch.program = &program;
  batch.key = key;
  batch.stride = layout.stride;
}

// A fan's triangle goes in the order GL draws it in, so that GL sees the very same triangle:
// second, third, first vertex where the first vertex provokes (the provoking vertex first), as
// it comes where the last one does. Flat shaded where the last vertex provokes, triangles are
// turned round so that their first vertex comes last, as such draws are on their own.
void FixedFunctionPipeline::Impl::appendToBatch(const DrawCall& call) {
  const std::size_t stride = call.layout.stride;
  const auto* bytes = static_cast<const std::uint8_t*>(call.vertices);
  const bool es = glDialectEs();
  const bool lastProvokes = es && batch.key.flatShading;
  if (call.type == D3DPT_TRIANGLEFAN) {
    // Vertex order: (1, 2, 0); (0, 1, 2) in ES; (2, 0, 1) in ES flat shaded (1 provokes).
    const int first = !es ? 1 : (lastProvokes ? 2 : 0);
    for (int i = 0; i < 3; ++i) {
      const std::uint8_t* vertex = bytes + static_cast<std::size_t>((first + i) % 3) * stride;
      batch.vertices.insert(batch.vertices.end(), vertex, vertex + stride);
    }
    return;
  }
  const std::size_t at = batch.vertices.size();
  batch.vertices.insert(batch.vertices.end(), bytes, bytes + std::size_t{call.vertexCount} * stride);
  if (lastProvokes) ffpRotateTriangles(batch.vertices.data() + at, call.vertexCount / 3, call.layout.stride);
}

FixedFunctionPipeline::FixedFunctionPipeline(bool useClipControl, GlState* sharedState)
    : impl_(std::make_unique<Impl>()) {
  impl_->allowClipControl = useClipControl;
  if (sharedState == nullptr) impl_->ownState = std::make_unique<GlState>();
  impl_->gl = sharedState != nullptr ? sharedState : impl_->ownState.get();
}

FixedFunctionPipeline::~FixedFunctionPipeline() { impl_->release(); }

void FixedFunctionPipeline::releaseGlResources() { impl_->release(); }

void FixedFunctionPipeline::setKeepGlState(bool keep) {
  if (!keep) impl_->restore();
  impl_->keepState = keep;
}

void FixedFunctionPipeline::restoreGlState() { impl_->restore(); }

void FixedFunctionPipeline::drawWaiting() { impl_->flushBatch(); }

void FixedFunctionPipeline::bindFramebuffer(unsigned int framebuffer) {
  impl_->initialise();
  impl_->bindFramebuffer(framebuffer);
}

void FixedFunctionPipeline::setMaxActiveLights(int count) {
  impl_->maxLights = count < 0 ? 0 : (count > kFfpMaxLights ? kFfpMaxLights : count);
}

int FixedFunctionPipeline::programsCompiled() const { return impl_->programs.compiled(); }

const char* FixedFunctionPipeline::lastError() const { return impl_->error.c_str(); }

void FixedFunctionPipeline::releaseSource(const void* sourceId) {
  impl_->flushBatch();
  impl_->streams.releaseSource(sourceId);
}

DWORD FixedFunctionPipeline::vertexStride(DWORD fvf) { return FfpVertexLayout(fvf).stride; }

// Validate, key, view, samplers, uniforms, submit.
bool FixedFunctionPipeline::draw(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages],
                                 D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices, DWORD vertexCount,
                                 const WORD* indices, DWORD indexCount, const void* sourceId,
                                 std::uint64_t sourceVersion) {
  Impl& d = *impl_;
  d.error.clear();
  Impl::DrawCall call(type, fvf, vertices, vertexCount, indices, indexCount, sourceId, sourceVersion);
  if (!d.validate(call)) return false;
  if (!d.unwrap(state, call)) return true;
  d.initialise();
  FfpProgram* program = d.programFor(state, textures, call.layout);
  if (program == nullptr) return false;
  const FfpShaderKey& key = d.shape.key;
  const Impl::ViewState view = d.viewFor(state.viewport, key);
  const Impl::StageBindings stages = d.stageBindings(state, textures, key, call);
  ffpStageUniforms(d.staged, *program, key, state, textures, view.screen);
  d.submit(*program, key, ffpRasterStateOf(state), view, stages, call);
  return true;
}
