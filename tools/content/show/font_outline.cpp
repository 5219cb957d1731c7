// FreeType rendering of the show's letters.
#include "font_outline.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <ft2build.h>
#include FT_FREETYPE_H

std::string showFontFile() {
  const char* env = std::getenv("VELLUMITE_SHOW_FONT");
  if (env != nullptr && *env != '\0') return env;
  return "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
}

FontOutline::FontOutline(const std::string& fontFile) {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) return;
  library = lib;
  FT_Face f = nullptr;
  if (FT_New_Face(lib, fontFile.c_str(), 0, &f) != 0) {
    std::fprintf(stderr, "vellumite-show-maker: cannot read the font %s\n", fontFile.c_str());
    return;
  }
  face = f;
}

FontOutline::~FontOutline() {
  if (face != nullptr) FT_Done_Face(static_cast<FT_Face>(face));
  if (library != nullptr) FT_Done_FreeType(static_cast<FT_Library>(library));
}

GlyphCoverage FontOutline::glyph(char32_t letter, int pixelHeight) const {
  GlyphCoverage out;
  if (face == nullptr) return out;
  FT_Face f = static_cast<FT_Face>(face);
  FT_Set_Pixel_Sizes(f, 0, FT_UInt(pixelHeight));
  if (FT_Load_Char(f, FT_ULong(letter), FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0) return out;
  const FT_Bitmap& b = f->glyph->bitmap;
  out.coverage.width = int(b.width);
  out.coverage.height = int(b.rows);
  out.coverage.values.resize(std::size_t(b.width) * b.rows);
  for (unsigned y = 0; y < b.rows; ++y)
    for (unsigned x = 0; x < b.width; ++x)
      out.coverage.values[std::size_t(y) * b.width + x] = b.buffer[std::ptrdiff_t(y) * b.pitch + x] / 255.0f;
  out.left = f->glyph->bitmap_left;
  out.top = f->glyph->bitmap_top;
  out.advance = float(f->glyph->advance.x) / 64.0f;
  return out;
}

Coverage FontOutline::text(const std::string& line, int pixelHeight) const {
  std::vector<GlyphCoverage> glyphs;
  float pen = 0;
  int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
  std::vector<float> pens;
  for (char c : line) {
    GlyphCoverage g = glyph(char32_t(static_cast<unsigned char>(c)), pixelHeight);
    pens.push_back(pen);
    if (g.coverage.width > 0) {
      minX = std::min(minX, int(pen) + g.left);
      maxX = std::max(maxX, int(pen) + g.left + g.coverage.width);
      minY = std::min(minY, -g.top);
      maxY = std::max(maxY, -g.top + g.coverage.height);
    }
    pen += g.advance;
    glyphs.push_back(std::move(g));
  }
  Coverage out;
  if (maxX <= minX) return out;
  out.width = maxX - minX;
  out.height = maxY - minY;
  out.values.assign(std::size_t(out.width) * out.height, 0.0f);
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    const GlyphCoverage& g = glyphs[i];
    const int ox = int(pens[i]) + g.left - minX, oy = -g.top - minY;
    for (int y = 0; y < g.coverage.height; ++y)
      for (int x = 0; x < g.coverage.width; ++x) {
        float& v = out.values[std::size_t(oy + y) * out.width + std::size_t(ox + x)];
        v = std::min(1.0f, v + g.coverage.at(x, y));
      }
  }
  return out;
}
