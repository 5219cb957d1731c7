// Mesh recipes: "mesh FILE.3dx" lines followed by indented "group KIND options" lines, made
// into 3DX objects. Also the extruded title letters ("letters WORD") from the show's font.
#pragma once

#include <string>
#include <vector>

#include "font_outline.h"
#include "recipe_file.h"
#include "writers/mesh.h"

// An extruded letter: a closed solid of `depth` along z centred on z = 0, its em square
// `height` tall, its front face (facing −z) and walls as separate meshes; x from the pen position.
struct LetterSolid {
  Mesh front;  // the front and back faces
  Mesh walls;
  float advance = 0;  // pen advance, in the same units
  float centreX = 0, centreY = 0;
};
LetterSolid extrudeLetter(const GlyphCoverage& glyph, float height, float depth);

// Makes every mesh and letter set of the recipe file into dir; false on any error.
bool makeMeshes(const RecipeFile& recipe, const std::string& dir, const FontOutline& font);
