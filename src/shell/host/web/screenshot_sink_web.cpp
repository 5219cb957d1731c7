// The screenshot on the page: the frame's pixels written to a file of the in-memory file
// system (blue, green, red, alpha bytes, top row first, no header: the page knows the size),
// and, once the show's window has gone (which empties the canvas), the frame drawn on the
// canvas again at its own size, where it stays.
#include <emscripten.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "shell/host/capture_sinks.h"

namespace {

// Draws top-row-first BGRA pixels on the page's canvas through its WebGL 2 context, at the
// frame's size. The program ends after it: nothing draws on the canvas again. The body is
// JavaScript, which clang-format would break.
// clang-format off
EM_JS(int, drawFrameOnCanvas, (const unsigned char* bgra, int width, int height), {
  const canvas = Module.canvas;
  const gl = typeof GL !== 'undefined' && GL.currentContext ? GL.currentContext.GLctx : null;
  if (!canvas || !gl) return 0;
  canvas.width = width;
  canvas.height = height;
  const count = width * height;
  const rgba = new Uint8Array(count * 4);
  rgba.set(HEAPU8.subarray(bgra, bgra + count * 4));
  for (let i = 0; i < count * 4; i += 4) {
    const blue = rgba[i];
    rgba[i] = rgba[i + 2];
    rgba[i + 2] = blue;
  }
  gl.bindBuffer(gl.PIXEL_UNPACK_BUFFER, null);
  gl.pixelStorei(gl.UNPACK_ALIGNMENT, 4);
  gl.pixelStorei(gl.UNPACK_ROW_LENGTH, 0);
  gl.pixelStorei(gl.UNPACK_SKIP_ROWS, 0);
  gl.pixelStorei(gl.UNPACK_SKIP_PIXELS, 0);
  const texture = gl.createTexture();
  gl.bindTexture(gl.TEXTURE_2D, texture);
  gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
  const framebuffer = gl.createFramebuffer();
  gl.bindFramebuffer(gl.READ_FRAMEBUFFER, framebuffer);
  gl.framebufferTexture2D(gl.READ_FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, texture, 0);
  gl.bindFramebuffer(gl.DRAW_FRAMEBUFFER, null);
  gl.disable(gl.SCISSOR_TEST);
  gl.colorMask(true, true, true, true);
  // The texture's first row is the top one; the canvas's GL origin is bottom-left.
  gl.blitFramebuffer(0, 0, width, height, 0, height, width, 0, gl.COLOR_BUFFER_BIT, gl.NEAREST);
  gl.bindFramebuffer(gl.READ_FRAMEBUFFER, null);
  gl.deleteFramebuffer(framebuffer);
  gl.deleteTexture(texture);
  return gl.getError() === gl.NO_ERROR ? 1 : 0;
});
// clang-format on

class PageScreenshotSink : public FrameSink {
 public:
  explicit PageScreenshotSink(std::string file) { output_ = std::move(file); }
  bool write(std::vector<std::uint32_t>& pixels, int width, int height, const std::int16_t*, std::size_t) override {
    if (!frame.empty()) return true;
    std::FILE* file = std::fopen(output_.c_str(), "wb");
    bool ok = file != nullptr && std::fwrite(pixels.data(), 4, pixels.size(), file) == pixels.size();
    int error = errno;
    if (file != nullptr && std::fclose(file) != 0) ok = false;
    if (!ok) {
      error_ = "cannot write " + output_ + ": " + std::strerror(error);
      return false;
    }
    frame.swap(pixels);
    frameWidth = width;
    frameHeight = height;
    return true;
  }
  bool finish() override {
    if (frame.empty()) {
      error_ = "no frame was rendered";
      return false;
    }
    if (drawFrameOnCanvas(reinterpret_cast<const unsigned char*>(frame.data()), frameWidth, frameHeight) == 0) {
      error_ = "cannot draw the frame on the page";
      return false;
    }
    return true;
  }

  std::vector<std::uint32_t> frame;
  int frameWidth = 0;
  int frameHeight = 0;
};

}  // namespace

std::unique_ptr<FrameSink> createScreenshotSink(const std::string& path) {
  return std::make_unique<PageScreenshotSink>(path);
}
