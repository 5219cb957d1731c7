// Mesh recipes: primitive shapes, the skinned dancer with its weight maps, and extruded letters.
#include "shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <tuple>

namespace {

constexpr float kPi = 3.14159265f;

// A closed tube from a to b with rounded ends: a revolved profile turned onto the axis a→b.
Mesh capsule(MeshVec3 a, MeshVec3 b, float r0, float r1, int sides) {
  const MeshVec3 d{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  std::vector<std::array<float, 2>> profile;
  const int capRings = 3;
  for (int i = 0; i <= capRings; ++i) {  // bottom cap, pole to equator
    const float t = float(i) / capRings * kPi / 2;
    profile.push_back({r0 * std::sin(t), -r0 * std::cos(t) * 0.8f});
  }
  profile.push_back({r0 + (r1 - r0) * 0.5f, len * 0.5f});
  for (int i = capRings; i >= 0; --i) {
    const float t = float(i) / capRings * kPi / 2;
    profile.push_back({r1 * std::sin(t), len + r1 * std::cos(t) * 0.8f});
  }
  Mesh m = meshRevolve(profile, sides);
  // Local y becomes the axis direction: an orthonormal frame (e1, axis, e2).
  MeshVec3 y{d[0] / len, d[1] / len, d[2] / len};
  MeshVec3 ref = std::fabs(y[1]) < 0.9f ? MeshVec3{0, 1, 0} : MeshVec3{1, 0, 0};
  MeshVec3 e1{ref[1] * y[2] - ref[2] * y[1], ref[2] * y[0] - ref[0] * y[2], ref[0] * y[1] - ref[1] * y[0]};
  const float l1 = std::sqrt(e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2]);
  for (float& c : e1) c /= l1;
  const MeshVec3 e2{e1[1] * y[2] - e1[2] * y[1], e1[2] * y[0] - e1[0] * y[2], e1[0] * y[1] - e1[1] * y[0]};
  for (MeshVec3& p : m.pos) {
    const MeshVec3 q = p;
    for (int k = 0; k < 3; ++k) p[k] = a[k] + e1[k] * q[0] + y[k] * q[1] + e2[k] * q[2];
  }
  // Winding was decided in the local frame; a mirrored frame would turn the faces inside out.
  const float handed = e1[0] * (y[1] * e2[2] - y[2] * e2[1]) - e1[1] * (y[0] * e2[2] - y[2] * e2[0]) +
                       e1[2] * (y[0] * e2[1] - y[1] * e2[0]);
  if (handed < 0)
    for (auto& t : m.tris) std::swap(t[1], t[2]);
  return m;
}

Mesh torus(float major, float minor, int sides, int rings) {
  std::vector<std::array<float, 2>> profile;
  for (int i = 0; i <= rings; ++i) {
    const float t = float(i) / rings * 2 * kPi;
    profile.push_back({major - minor * std::cos(t), -minor * std::sin(t)});
  }
  return meshRevolve(profile, sides);
}

// The dancer: a jointed figure standing on y = 0, 1.95 tall, facing −z, arms hanging. Each part
// is its own closed capsule; the weight maps tie each part to its bone, and the torso blends
// from the hips to the chest.
struct Part {
  const char* map;
  MeshVec3 a, b;
  float r0, r1;
};
const Part kDancerParts[] = {
    {"ThighL", {0.11f, 0.95f, 0}, {0.11f, 0.5f, 0}, 0.085f, 0.065f},
    {"ShinL", {0.11f, 0.5f, 0}, {0.11f, 0.07f, 0}, 0.065f, 0.05f},
    {"ThighR", {-0.11f, 0.95f, 0}, {-0.11f, 0.5f, 0}, 0.085f, 0.065f},
    {"ShinR", {-0.11f, 0.5f, 0}, {-0.11f, 0.07f, 0}, 0.065f, 0.05f},
    {"UpperArmL", {0.25f, 1.62f, 0}, {0.25f, 1.33f, 0}, 0.055f, 0.045f},
    {"ForeArmL", {0.25f, 1.33f, 0}, {0.25f, 1.05f, 0}, 0.045f, 0.04f},
    {"UpperArmR", {-0.25f, 1.62f, 0}, {-0.25f, 1.33f, 0}, 0.055f, 0.045f},
    {"ForeArmR", {-0.25f, 1.33f, 0}, {-0.25f, 1.05f, 0}, 0.045f, 0.04f},
};
const char* const kDancerMaps[] = {"Hips",  "Chest",     "ThighL",   "ShinL",     "ThighR",
                                   "ShinR", "UpperArmL", "ForeArmL", "UpperArmR", "ForeArmR"};

Mesh dancer(std::vector<ObjectWriter::WeightMap>* maps, int sides) {
  Mesh m;
  std::vector<std::string> owner;  // per vertex: the map it belongs to ("" = torso blend)
  for (const Part& p : kDancerParts) {
    Mesh part = capsule(p.a, p.b, p.r0, p.r1, sides);
    m.append(part);
    owner.resize(m.pos.size(), p.map);
  }
  // Torso: hips to shoulders, a waist, and the head on top.
  std::vector<std::array<float, 2>> profile = {
      {0.0f, 0.88f},  {0.15f, 0.9f},  {0.17f, 1.0f},  {0.13f, 1.2f},  {0.19f, 1.45f}, {0.21f, 1.6f}, {0.12f, 1.7f},
      {0.05f, 1.74f}, {0.05f, 1.77f}, {0.11f, 1.83f}, {0.12f, 1.92f}, {0.08f, 2.0f},  {0.0f, 2.02f}};
  Mesh torso = meshRevolve(profile, sides + 2);
  for (MeshVec3& p : torso.pos) p[2] *= 0.7f;  // flatter front to back
  m.append(torso);
  owner.resize(m.pos.size(), "");
  for (const char* name : kDancerMaps) {
    ObjectWriter::WeightMap map{name, {}};
    for (std::size_t i = 0; i < m.pos.size(); ++i) {
      float w = owner[i] == name ? 1.0f : 0.0f;
      if (owner[i].empty()) {
        const float t = std::clamp((m.pos[i][1] - 1.05f) / 0.35f, 0.0f, 1.0f);  // hips → chest
        if (std::string(name) == "Hips") w = 1 - t;
        if (std::string(name) == "Chest") w = t;
      }
      map.values.push_back(w);
    }
    maps->push_back(std::move(map));
  }
  return m;
}

MeshVec3 vec3Option(const RecipeLine& line, const std::string& key, MeshVec3 fallback) {
  std::array<float, 3> v = fallback;
  if (line.options.count(key) != 0 && !parseColour(line.options.at(key), &v))
    RecipeErrors::report(line.file, line.lineNumber, key + " needs x,y,z");
  return v;
}

// "r:y,r:y,..." profile points.
std::vector<std::array<float, 2>> profileOption(const RecipeLine& line) {
  std::vector<std::array<float, 2>> out;
  std::stringstream s(line.text("profile", ""));
  std::string point;
  while (std::getline(s, point, ',')) {
    const std::size_t colon = point.find(':');
    float r, y;
    if (colon == std::string::npos || !parseNumber(point.substr(0, colon), &r) ||
        !parseNumber(point.substr(colon + 1), &y)) {
      RecipeErrors::report(line.file, line.lineNumber, "profile points are RADIUS:Y");
      return {};
    }
    out.push_back({r, y});
  }
  return out;
}

std::uint32_t packColour(std::array<float, 3> c) {
  auto b = [](float v) { return std::uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
  return 0xFF000000u | b(c[0]) << 16 | b(c[1]) << 8 | b(c[2]);
}

ObjectWriter::Material materialOf(const RecipeLine& line) {
  ObjectWriter::Material m;
  m.diffuse = packColour(line.colour("diffuse", {0.8f, 0.8f, 0.8f}));
  m.specular = packColour(line.colour("specular", {0, 0, 0}));
  m.transparency = line.number("transparency", 0);
  m.doubleSided = line.number("double", 0) != 0 ? 1 : 0;
  const char* keys[5] = {"colour", "add", "reflect", "alpha", "base"};
  for (int k = 0; k < 5; ++k) m.textures[std::size_t(k)] = line.text(keys[k], "(none)");
  return m;
}

bool shapeFor(const RecipeLine& line, Mesh* out, std::vector<ObjectWriter::WeightMap>* maps) {
  const std::string kind = line.words.size() > 1 ? line.words[1] : "";
  const int sides = int(line.number("sides", 12)), rings = int(line.number("rings", 8));
  if (kind == "plate") {
    *out = meshPlate(line.number("w", 1), line.number("h", 1), line.number("upright", 0) != 0, line.number("repeat", 1),
                     int(line.number("cells", 1)));
  } else if (kind == "box") {
    *out = meshBox({line.number("w", 1) / 2, line.number("h", 1) / 2, line.number("d", 1) / 2});
  } else if (kind == "sphere") {
    *out = meshLathe(line.number("radius", 1), sides, rings);
  } else if (kind == "tube") {
    *out = meshLathe(line.number("radius", 1), sides, rings, line.number("height", 1));
  } else if (kind == "revolve") {
    const auto profile = profileOption(line);
    if (profile.size() < 2) return false;
    *out = meshRevolve(profile, sides);
  } else if (kind == "torus") {
    *out = torus(line.number("major", 1), line.number("minor", 0.2f), sides, rings);
  } else if (kind == "capsule") {
    *out = capsule(vec3Option(line, "from", {0, 0, 0}), vec3Option(line, "to", {0, 1, 0}), line.number("radius", 0.1f),
                   line.number("radius", 0.1f), sides);
  } else if (kind == "dancer") {
    *out = dancer(maps, sides);
  } else {
    RecipeErrors::report(line.file, line.lineNumber, "unknown shape '" + kind + "'");
    return false;
  }
  out->scale(vec3Option(line, "stretch", {1, 1, 1}));
  if (const float turn = line.number("turn", 0); turn != 0) {  // degrees about the upright axis
    const float c = std::cos(turn * kPi / 180), s = std::sin(turn * kPi / 180);
    for (MeshVec3& p : out->pos) p = MeshVec3{p[0] * c + p[2] * s, p[1], p[2] * c - p[0] * s};
  }
  out->translate(vec3Option(line, "at", {0, 0, 0}));
  return true;
}

}  // namespace

LetterSolid extrudeLetter(const GlyphCoverage& glyph, float height, float depth) {
  // Marching squares on the coverage, sampled at pixel centres with an empty border: each cell
  // becomes the polygon of its inside part, whose edges that cross the outline become walls.
  LetterSolid out;
  const Coverage& c = glyph.coverage;
  const float px = height / float(std::max(1, c.height > 0 ? c.height : 1));
  const float unit = height;  // set below from the em square
  (void)unit;
  out.advance = glyph.advance;
  auto value = [&](int x, int y) { return c.at(x, y); };
  auto world = [&](float x, float y) {
    return std::array<float, 2>{(float(glyph.left) + x + 0.5f), (float(glyph.top) - y - 0.5f)};
  };
  std::map<std::tuple<int, int, int, int>, std::uint16_t> frontIndex;  // (face, kind, x, y)
  const float z0 = -depth / 2, z1 = depth / 2;
  auto faceVertex = [&](int face, int kind, int x, int y, std::array<float, 2> p) {
    const auto key = std::make_tuple(face, kind, x, y);
    const auto it = frontIndex.find(key);
    if (it != frontIndex.end()) return it->second;
    const std::uint16_t i = out.front.vertex({p[0], p[1], face == 0 ? z0 : z1}, p[0] * 0.02f, 1 - p[1] * 0.02f);
    frontIndex[key] = i;
    return i;
  };
  (void)px;
  for (int y = -1; y < c.height; ++y) {
    int runStart = -2;
    for (int x = -1; x <= c.width; ++x) {
      // Corners in order around the cell: (x,y), (x+1,y), (x+1,y+1), (x,y+1).
      const int cx[4] = {x, x + 1, x + 1, x}, cy[4] = {y, y, y + 1, y + 1};
      float v[4];
      bool inside[4];
      int count = 0;
      for (int k = 0; k < 4; ++k) {
        v[k] = value(cx[k], cy[k]);
        inside[k] = v[k] >= 0.5f;
        count += inside[k] ? 1 : 0;
      }
      const bool full = count == 4 && x < c.width;
      if (full && runStart == -2) runStart = x;
      if (!full && runStart != -2) {  // close a run of full cells: one quad per face
        for (int face = 0; face < 2; ++face) {
          const std::uint16_t a = faceVertex(face, 0, runStart, y, world(float(runStart), float(y)));
          const std::uint16_t b = faceVertex(face, 0, x, y, world(float(x), float(y)));
          const std::uint16_t d = faceVertex(face, 0, x, y + 1, world(float(x), float(y + 1)));
          const std::uint16_t e = faceVertex(face, 0, runStart, y + 1, world(float(runStart), float(y + 1)));
          out.front.quad(a, b, d, e, {0, 0, face == 0 ? -1.0f : 1.0f});
        }
        runStart = -2;
      }
      if (count == 0 || full) continue;
      // The inside polygon: inside corners and edge crossings, in order round the cell.
      struct Point {
        std::array<float, 2> p;
        int kind, x, y;
        bool crossing;
      };
      std::vector<Point> poly;
      for (int k = 0; k < 4; ++k) {
        const int n = (k + 1) % 4;
        if (inside[k]) poly.push_back({world(float(cx[k]), float(cy[k])), 0, cx[k], cy[k], false});
        if (inside[k] != inside[n]) {
          const float t = (0.5f - v[k]) / (v[n] - v[k]);
          const float ex = float(cx[k]) + (float(cx[n]) - float(cx[k])) * t,
                      ey = float(cy[k]) + (float(cy[n]) - float(cy[k])) * t;
          const bool horizontal = cy[k] == cy[n];
          const int kx = std::min(cx[k], cx[n]), ky = std::min(cy[k], cy[n]);
          poly.push_back({world(ex, ey), horizontal ? 1 : 2, kx, ky, true});
        }
      }
      std::array<float, 2> centre{0, 0};
      for (const Point& p : poly) centre[0] += p.p[0] / float(poly.size()), centre[1] += p.p[1] / float(poly.size());
      for (int face = 0; face < 2; ++face) {
        std::vector<std::uint16_t> idx;
        for (const Point& p : poly) idx.push_back(faceVertex(face, p.kind, p.x, p.y, p.p));
        for (std::size_t i = 1; i + 1 < idx.size(); ++i)
          out.front.tri(idx[0], idx[i], idx[i + 1], {0, 0, face == 0 ? -1.0f : 1.0f});
      }
      for (std::size_t i = 0; i < poly.size(); ++i) {
        const Point& a = poly[i];
        const Point& b = poly[(i + 1) % poly.size()];
        if (!a.crossing || !b.crossing) continue;
        const float mx = (a.p[0] + b.p[0]) / 2 - centre[0], my = (a.p[1] + b.p[1]) / 2 - centre[1];
        float nx = b.p[1] - a.p[1], ny = -(b.p[0] - a.p[0]);
        if (nx * mx + ny * my < 0) nx = -nx, ny = -ny;
        const float along = (a.p[0] + a.p[1]) * 0.02f;
        const std::uint16_t w0 = out.walls.vertex({a.p[0], a.p[1], z0}, along, 0);
        const std::uint16_t w1 = out.walls.vertex({b.p[0], b.p[1], z0}, along + 0.02f, 0);
        const std::uint16_t w2 = out.walls.vertex({b.p[0], b.p[1], z1}, along + 0.02f, 1);
        const std::uint16_t w3 = out.walls.vertex({a.p[0], a.p[1], z1}, along, 1);
        out.walls.quad(w0, w1, w2, w3, {nx, ny, 0});
      }
    }
  }
  return out;
}

bool makeMeshes(const RecipeFile& recipe, const std::string& dir, const FontOutline& font) {
  const int before = RecipeErrors::count();
  std::string name;
  std::vector<std::pair<Mesh, std::pair<ObjectWriter::Material, std::vector<ObjectWriter::WeightMap>>>> groups;
  std::vector<float> setScale;
  auto flush = [&]() {
    if (name.empty()) return;
    ObjectWriter w;
    w.object(int(groups.size()), 1);
    for (const auto& [mesh, rest] : groups)
      writeMeshGroup(w, mesh, rest.first, meshTextureSets(rest.first), {1, 2, 2, 2, 2}, rest.second);
    if (!w.save(dir + "/" + name)) RecipeErrors::report(recipe.path, 0, "cannot write " + dir + "/" + name);
    groups.clear();
    name.clear();
  };
  for (const RecipeLine& line : recipe.lines) {
    const std::string& word = line.words.empty() ? std::string() : line.words[0];
    if (!line.indented && word == "mesh" && line.words.size() == 2) {
      flush();
      name = line.words[1];
    } else if (line.indented && word == "group" && !name.empty()) {
      Mesh mesh;
      std::vector<ObjectWriter::WeightMap> maps;
      if (shapeFor(line, &mesh, &maps)) groups.push_back({std::move(mesh), {materialOf(line), std::move(maps)}});
    } else if (!line.indented && word == "letters" && line.words.size() == 2) {
      // letters WORD prefix=P height=H depth=D face=(group options) wall=...: one file per
      // distinct letter, P_<letter>.3dx, each centred on its own middle; the layout (the x
      // of each letter's centre) is printed for the scene recipes.
      flush();
      const std::string word2 = line.words[1];
      const float height = line.number("height", 1), depth = line.number("depth", 0.3f);
      const int pixels = int(line.number("pixels", 40));
      std::vector<LetterSolid> solids;
      float pen = 0, total = 0;
      std::vector<float> pens;
      for (char ch : word2) {
        LetterSolid s = extrudeLetter(font.glyph(char32_t(static_cast<unsigned char>(ch)), pixels), height, depth);
        pens.push_back(pen);
        pen += s.advance;
        solids.push_back(std::move(s));
      }
      total = pen;
      const float unit = height / float(pixels);
      std::string layout;
      std::map<char, bool> written;
      for (std::size_t i = 0; i < word2.size(); ++i) {
        LetterSolid& s = solids[i];
        float minX = 1e9f, maxX = -1e9f;
        for (const MeshVec3& p : s.front.pos) minX = std::min(minX, p[0]), maxX = std::max(maxX, p[0]);
        const float mid = (minX + maxX) / 2;
        char b[64];
        std::snprintf(b, sizeof b, " %c=%.3f", word2[i], double((pens[i] + mid - total / 2) * unit));
        layout += b;
        if (written[word2[i]]) continue;
        written[word2[i]] = true;
        for (Mesh* m : {&s.front, &s.walls}) {
          m->translate({-mid, -float(pixels) * 0.36f, 0});
          m->scale({unit, unit, 1});
        }
        ObjectWriter::Material face, wall;
        RecipeLine faceLine = line, wallLine = line;
        faceLine.options.clear();
        wallLine.options.clear();
        for (const auto& [k, v] : line.options) {
          if (k.rfind("face.", 0) == 0) faceLine.options[k.substr(5)] = v;
          if (k.rfind("wall.", 0) == 0) wallLine.options[k.substr(5)] = v;
        }
        ObjectWriter w;
        w.object(2, 1);
        face = materialOf(faceLine);
        wall = materialOf(wallLine);
        writeMeshGroup(w, s.front, face, meshTextureSets(face));
        writeMeshGroup(w, s.walls, wall, meshTextureSets(wall));
        const std::string file = line.text("prefix", "letter") + "_" + std::string(1, word2[i]) + ".3dx";
        if (!w.save(dir + "/" + file)) RecipeErrors::report(recipe.path, 0, "cannot write " + file);
      }
      if (line.number("print", 0) != 0) std::printf("letters %s:%s\n", word2.c_str(), layout.c_str());
    } else {
      RecipeErrors::report(line.file, line.lineNumber,
                           "expected 'mesh FILE', an indented 'group KIND ...' or 'letters WORD'");
    }
  }
  flush();
  return RecipeErrors::count() == before;
}
