// A headless OpenGL 3.3 core context for rendering tests, or an OpenGL ES 3.0 one where
// VELLUMITE_GL=gles asks for the back end's ES dialect: EGL without a surface (Mesa's
// surfaceless platform, llvmpipe), with a framebuffer object holding an RGBA8 colour target and
// an optional depth target. Row 0 of the target is the top row of the image, as the Direct3D
// subset stores surfaces, so readPixel(x, y) takes D3D screen coordinates.
#pragma once

#include <cstdint>
#include <vector>

class GlTestContext {
 public:
  enum class Depth { None, Bits16, Bits24 };

  GlTestContext() = default;
  ~GlTestContext();
  GlTestContext(const GlTestContext&) = delete;
  GlTestContext& operator=(const GlTestContext&) = delete;

  // Creates the context and the target, makes both current and sets the viewport to the whole
  // target. False (with the reason in error()) when no GL 3.3 core context can be had.
  bool create(int width, int height, Depth depth = Depth::Bits24);
  void destroy();

  bool valid() const { return context_ != nullptr; }
  const char* error() const { return error_; }
  // Whether the context speaks ES 3.0, and whether it has user clip distances and depth clamping
  // there.
  bool es() const { return es_; }
  bool esClipDistances() const { return esClipDistances_; }
  bool esDepthClamp() const { return esDepthClamp_; }
  int width() const { return width_; }
  int height() const { return height_; }
  unsigned int framebuffer() const { return fbo_; }

  // Binds the target for drawing and reading, sets the full viewport, depth range 0..1.
  void bindTarget();
  // Clears colour (0xAARRGGBB) and, when present, depth to 1.0.
  void clear(std::uint32_t argb, float depth = 1.0f);

  // Pixel at (x, y), y counted from the top row, as 0xAARRGGBB. Finishes pending drawing first.
  std::uint32_t readPixel(int x, int y);
  // Whole image, rows top first, 0xAARRGGBB per pixel.
  std::vector<std::uint32_t> readImage();

  // Creates an RGBA8 2D texture from 0xAARRGGBB pixels (rows top first) with linear filtering;
  // with mipmaps the chain is generated, otherwise the texture has a single level. The caller
  // deletes it with deleteTexture.
  unsigned int createTexture(int width, int height, const std::uint32_t* argb, bool mipmaps = false);
  void deleteTexture(unsigned int name);

  // Name of the first GL error since the last call, or null.
  static const char* glErrorName();

 private:
  void* display_ = nullptr;
  void* context_ = nullptr;
  unsigned int fbo_ = 0;
  unsigned int colour_ = 0;
  unsigned int depth_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool es_ = false;
  bool esClipDistances_ = false;
  bool esDepthClamp_ = false;
  const char* error_ = "not created";
};

// Channel helpers for comparing read-back pixels.
inline int argbRed(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
inline int argbGreen(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int argbBlue(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
inline int argbAlpha(std::uint32_t c) { return static_cast<int>(c >> 24); }

// True when every channel of a and b differs by at most tolerance.
bool argbNear(std::uint32_t a, std::uint32_t b, int tolerance);
