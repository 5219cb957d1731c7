// Text through FreeType from the show's outline font: coverage bitmaps of words (for the
// pictures) and of single letters (for the extruded title).
#pragma once

#include <string>
#include <vector>

struct Coverage {
  int width = 0, height = 0;
  std::vector<float> values;  // 0..1, top row first
  float at(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : values[std::size_t(y) * width + x];
  }
};

struct GlyphCoverage {
  Coverage coverage;
  int left = 0, top = 0;  // bitmap origin relative to the pen position, in pixels (top: up from the baseline)
  float advance = 0;      // pen advance in pixels
};

class FontOutline {
 public:
  explicit FontOutline(const std::string& fontFile);
  ~FontOutline();
  FontOutline(const FontOutline&) = delete;
  FontOutline& operator=(const FontOutline&) = delete;

  bool ok() const { return face != nullptr; }
  // A letter rendered with its em square pixelHeight pixels tall.
  GlyphCoverage glyph(char32_t letter, int pixelHeight) const;
  // A line of text rendered at pixelHeight, laid out with the font's advances.
  Coverage text(const std::string& line, int pixelHeight) const;

 private:
  void* library = nullptr;
  void* face = nullptr;
};

// The font the show is set in: DejaVu Sans Bold from Debian's fonts-dejavu-core.
std::string showFontFile();
