// Stretching copies between GL textures and framebuffers for Blt: a screen rectangle drawn with
// the source pixel floor(x * source size / destination size) for each pixel, optionally dropping texels whose alpha
// marks a matching colour key.
#pragma once

#include "platform/dx7/ffp/gl_api.h"
#include "platform/win32/win32_types.h"

class Dx7Blitter {
 public:
  static Dx7Blitter& instance();

  // Copies src (texels of a texWidth x texHeight texture, top row first) onto dst of the
  // framebuffer (targetWidth x targetHeight, top row first). keyed: texels with alpha below
  // one half are left out. opaque: the written alpha is 1.
  bool draw(GLuint framebuffer, int targetWidth, int targetHeight, const RECT& dst, GLuint texture, int texWidth,
            int texHeight, const RECT& src, bool keyed, bool opaque);

 private:
  Dx7Blitter() = default;
  bool build();

  bool built_ = false;
  bool ok_ = false;
  GLuint program_ = 0;
  GLuint vao_ = 0;
  GLint dstRectLocation_ = -1;
  GLint dstPixelsLocation_ = -1;
  GLint srcPixelsLocation_ = -1;
  GLint keyedLocation_ = -1;
  GLint opaqueLocation_ = -1;
};
