// Extruded letters: closed solids whose faces and walls the loader lights from outside,
// holes kept open, and the real font's letters through FreeType.
#include <gtest/gtest.h>

#include <cmath>

#include "font_outline.h"
#include "shapes.h"

namespace {

// The loader's face normal: (A − B) × (A − C).
MeshVec3 faceNormal(const Mesh& m, const std::array<std::uint16_t, 3>& t) {
  const MeshVec3 &a = m.pos[t[0]], &b = m.pos[t[1]], &c = m.pos[t[2]];
  const MeshVec3 e{a[0] - b[0], a[1] - b[1], a[2] - b[2]}, f{a[0] - c[0], a[1] - c[1], a[2] - c[2]};
  return {e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2], e[0] * f[1] - e[1] * f[0]};
}

// A 12 × 12 square ring, 3 pixels thick: a letter with a hole.
GlyphCoverage ring() {
  GlyphCoverage g;
  g.coverage.width = g.coverage.height = 12;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) g.coverage.values.push_back((x < 3 || x > 8 || y < 3 || y > 8) ? 1.0f : 0.0f);
  g.top = 12;
  g.advance = 14;
  return g;
}

TEST(LetterExtrusion, FacesPointOutOfTheSolidAndTheHoleStaysOpen) {
  const LetterSolid s = extrudeLetter(ring(), 1.0f, 0.4f);
  ASSERT_FALSE(s.front.tris.empty());
  ASSERT_FALSE(s.walls.tris.empty());
  for (const auto& t : s.front.tris) {
    const MeshVec3 n = faceNormal(s.front, t);
    const float z = s.front.pos[t[0]][2];
    EXPECT_LT(std::fabs(n[0]) + std::fabs(n[1]), 1e-4f);
    EXPECT_GT(n[2] * z, 0.0f) << "front faces face −z, back faces +z";
    // No face covers the hole in the middle (pixels 3..8, centre 6, 6 → world x 6.5, y 5.5).
    const float cx = (s.front.pos[t[0]][0] + s.front.pos[t[1]][0] + s.front.pos[t[2]][0]) / 3;
    const float cy = (s.front.pos[t[0]][1] + s.front.pos[t[1]][1] + s.front.pos[t[2]][1]) / 3;
    EXPECT_FALSE(std::fabs(cx - 6.5f) < 2 && std::fabs(cy - 5.5f) < 2);
  }
  // Walls are vertical; outer walls face away from the centre, the hole's walls towards it.
  for (const auto& t : s.walls.tris) {
    const MeshVec3 n = faceNormal(s.walls, t);
    EXPECT_LT(std::fabs(n[2]), 1e-4f);
    const float mx = (s.walls.pos[t[0]][0] + s.walls.pos[t[1]][0]) / 2 - 6.5f;
    const float my = (s.walls.pos[t[0]][1] + s.walls.pos[t[1]][1]) / 2 - 5.5f;
    const bool outer = std::max(std::fabs(mx), std::fabs(my)) > 4.5f;
    EXPECT_EQ(n[0] * mx + n[1] * my > 0, outer);
  }
  // Front and back depth.
  float minZ = 1, maxZ = -1;
  for (const MeshVec3& p : s.front.pos) minZ = std::min(minZ, p[2]), maxZ = std::max(maxZ, p[2]);
  EXPECT_FLOAT_EQ(minZ, -0.2f);
  EXPECT_FLOAT_EQ(maxZ, 0.2f);
}

TEST(LetterExtrusion, AnEmptyGlyphGivesNothing) {
  GlyphCoverage space;
  space.advance = 5;
  const LetterSolid s = extrudeLetter(space, 1.0f, 0.3f);
  EXPECT_TRUE(s.front.tris.empty());
  EXPECT_TRUE(s.walls.tris.empty());
  EXPECT_FLOAT_EQ(s.advance, 5.0f);
}

TEST(LetterExtrusion, TheShowFontGivesLettersWithHolesAndSensibleSizes) {
  FontOutline font(showFontFile());
  ASSERT_TRUE(font.ok()) << showFontFile();
  const GlyphCoverage o = font.glyph(U'O', 40);
  ASSERT_GT(o.coverage.width, 10);
  // The middle of an O is empty, its left stroke is ink.
  EXPECT_LT(o.coverage.at(o.coverage.width / 2, o.coverage.height / 2), 0.1f);
  EXPECT_GT(o.coverage.at(2, o.coverage.height / 2), 0.9f);
  const LetterSolid s = extrudeLetter(o, 1.0f, 0.3f);
  EXPECT_LT(s.front.tris.size() + s.walls.tris.size(), 3000u);  // a budget for the title
  const Coverage word = font.text("THE END", 20);
  EXPECT_GT(word.width, word.height * 3);
}

}  // namespace
