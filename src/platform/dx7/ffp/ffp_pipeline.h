// The Direct3D 7 fixed-function pipeline emulated on OpenGL 3.3 core. draw() renders one
// primitive batch with the given device state into the currently bound draw framebuffer, whose
// row 0 holds the top row of the image. It sets glViewport and glDepthRange itself from the
// state's viewport (when the viewport has a size) and all raster state it depends on.
//
// GL state left behind by draw(): its program, vertex array, array/element buffers, the stage
// textures on units 0..7 (active unit 0), viewport, depth range and the blend/depth/cull/
// polygon-offset/stencil/dither enables as the device state asked. Sampler bindings are cleared,
// the polygon mode is back to fill, the depth write mask to GL_TRUE and clip control to GL's
// default, so clears and other drawing behave as usual. Needs a current GL context for every
// call, including releaseGlResources().
//
// With setKeepGlState(true) the pipeline instead keeps its GL state from draw to draw and sends
// only what changed (each program also keeps the uniform values it was sent), and single
// triangles drawn one after another with nothing changing in between wait to go to GL as one
// draw. Then, before anything else uses GL or reads what was drawn: drawWaiting(), when that
// user sets GL state through the same GlState as the pipeline (the context's shared shadow,
// given to the constructor), or restoreGlState() otherwise, after which the state above holds.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/ffp_shader_key.h"

class GlState;

class FixedFunctionPipeline {
 public:
  // useClipControl: map clip z 0..1 with glClipControl where the context has it; false always
  // remaps z in the shader instead (what contexts without clip control get). sharedState: the
  // context's state shadow that every GL user of the context sets state through; null gives the
  // pipeline one of its own (then every other GL use must come after restoreGlState()).
  explicit FixedFunctionPipeline(bool useClipControl = true, GlState* sharedState = nullptr);
  ~FixedFunctionPipeline();
  FixedFunctionPipeline(const FixedFunctionPipeline&) = delete;
  FixedFunctionPipeline& operator=(const FixedFunctionPipeline&) = delete;

  // Draws vertexCount vertices of format fvf (engine memory), or indexCount 16-bit indices into
  // them when indices is not null. sourceId names the vertex data (a vertex buffer) and
  // sourceVersion its contents: the GL copy is refreshed only when either changed, or when the
  // vertex pointer or count differ from the last draw of that source. A null sourceId uploads
  // every time. Returns false (nothing drawn) for an unknown primitive type or vertex format,
  // no vertices, an index outside the vertices, or a shader that fails to build.
  bool draw(const DeviceState& state, const FfpTexture textures[kDeviceTextureStages], D3DPRIMITIVETYPE type, DWORD fvf,
            const void* vertices, DWORD vertexCount, const WORD* indices, DWORD indexCount, const void* sourceId,
            std::uint64_t sourceVersion);

  // Keeps GL state between draws (see above); false restores it and goes back to leaving GL as
  // described after every draw.
  void setKeepGlState(bool keep);
  // Draws what waits and puts GL's state back as described above; afterwards the pipeline
  // assumes nothing about GL's state, so any GL use may come between this and the next draw.
  void restoreGlState();
  // Draws what waits and leaves GL's state as it is, known to the shared state shadow.
  void drawWaiting();
  // Binds the framebuffer the next draws go to (GL_FRAMEBUFFER, scissor test off), drawing
  // what waits for another one first; unbound again by restoreGlState().
  void bindFramebuffer(unsigned int framebuffer);

  // Forgets the GL copies of a source (call when the vertex buffer it names is released, since
  // its address may be reused).
  void releaseSource(const void* sourceId);

  // Deletes every GL object the pipeline made; call while the context is still current, before
  // the context goes away. Drawing again recreates what it needs.
  void releaseGlResources();

  // How many enabled lights take part in lighting (the device's active light limit), clamped to
  // 0..kFfpMaxLights; kFfpMaxLights unless set.
  void setMaxActiveLights(int count);

  // GL programs built so far (one per distinct shader-shaping state).
  int programsCompiled() const;
  // Why the last draw failed, or an empty string.
  const char* lastError() const;

  // Bytes per vertex of a flexible vertex format, 0 when the format is not drawable.
  static DWORD vertexStride(DWORD fvf);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
