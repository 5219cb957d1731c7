// Triangle meshes, primitive shapes and their writing as 3DX groups.
#include "writers/mesh.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kPi = 3.14159265f;
}

std::uint16_t Mesh::vertex(MeshVec3 p, float u, float v) {
  pos.push_back(p);
  uv.push_back({u, v});
  return static_cast<std::uint16_t>(pos.size() - 1);
}

void Mesh::tri(std::uint16_t a, std::uint16_t b, std::uint16_t c, MeshVec3 outward) {
  const MeshVec3 &A = pos[a], &B = pos[b], &C = pos[c];
  const MeshVec3 e{A[0] - B[0], A[1] - B[1], A[2] - B[2]}, f{A[0] - C[0], A[1] - C[1], A[2] - C[2]};
  const MeshVec3 n{e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2], e[0] * f[1] - e[1] * f[0]};
  if (n[0] == 0 && n[1] == 0 && n[2] == 0) return;
  const float d = n[0] * outward[0] + n[1] * outward[1] + n[2] * outward[2];
  tris.push_back(d >= 0 ? std::array<std::uint16_t, 3>{a, b, c} : std::array<std::uint16_t, 3>{a, c, b});
}

void Mesh::quad(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d, MeshVec3 outward) {
  tri(a, b, c, outward);
  tri(a, c, d, outward);
}

void Mesh::append(const Mesh& other) {
  const std::uint16_t base = static_cast<std::uint16_t>(pos.size());
  pos.insert(pos.end(), other.pos.begin(), other.pos.end());
  uv.insert(uv.end(), other.uv.begin(), other.uv.end());
  for (const auto& t : other.tris)
    tris.push_back({static_cast<std::uint16_t>(t[0] + base), static_cast<std::uint16_t>(t[1] + base),
                    static_cast<std::uint16_t>(t[2] + base)});
}

void Mesh::translate(MeshVec3 offset) {
  for (MeshVec3& p : pos)
    for (int k = 0; k < 3; ++k) p[k] += offset[k];
}

void Mesh::scale(MeshVec3 factors) {
  for (MeshVec3& p : pos)
    for (int k = 0; k < 3; ++k) p[k] *= factors[k];
}

Mesh meshBox(MeshVec3 half, MeshVec3 c) {
  Mesh m;
  for (int axis = 0; axis < 3; ++axis)
    for (int sign = -1; sign <= 1; sign += 2) {
      const int ua = axis == 0 ? 2 : 0, va = axis == 1 ? 2 : 1;
      MeshVec3 n{0, 0, 0};
      n[axis] = float(sign);
      std::uint16_t idx[4];
      for (int k = 0; k < 4; ++k) {
        const float su = (k == 1 || k == 2) ? 1.0f : -1.0f, sv = k >= 2 ? -1.0f : 1.0f;
        MeshVec3 p = c;
        p[axis] += sign * half[axis];
        p[ua] += su * half[ua];
        p[va] += sv * half[va];
        const float u = (su * (axis == 2 ? -sign : sign) + 1) * 0.5f;
        idx[k] = m.vertex(p, u, (1 - sv) * 0.5f);
      }
      m.quad(idx[0], idx[1], idx[2], idx[3], n);
    }
  return m;
}

Mesh meshPlate(float w, float h, bool upright, float repeat, int cells) {
  Mesh m;
  for (int j = 0; j <= cells; ++j)
    for (int i = 0; i <= cells; ++i) {
      const float u = float(i) / cells, v = float(j) / cells;
      const float x = (u - 0.5f) * w, y = (0.5f - v) * h;
      m.vertex(upright ? MeshVec3{x, y, 0} : MeshVec3{x, 0, y}, u * repeat, v * repeat);
    }
  for (int j = 0; j < cells; ++j)
    for (int i = 0; i < cells; ++i) {
      const std::uint16_t a = std::uint16_t(j * (cells + 1) + i), b = std::uint16_t(a + cells + 1);
      m.quad(a, std::uint16_t(a + 1), std::uint16_t(b + 1), b, upright ? MeshVec3{0, 0, -1} : MeshVec3{0, 1, 0});
    }
  return m;
}

// Rings close on their first vertex and the picture runs round forth and back: normals are
// averaged per vertex, so a duplicated seam column would show as a crease.
Mesh meshLathe(float radius, int sides, int rings, float height) {
  std::vector<std::array<float, 2>> profile;
  for (int r = rings; r >= 0; --r) {
    const float v = float(r) / rings;
    profile.push_back(height > 0 ? std::array<float, 2>{radius, height * (1 - v)}
                                 : std::array<float, 2>{radius * std::sin(kPi * v), radius * std::cos(kPi * v)});
  }
  return meshRevolve(profile, sides);
}

Mesh meshRevolve(const std::vector<std::array<float, 2>>& profile, int sides) {
  Mesh m;
  const int rings = static_cast<int>(profile.size());
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < sides; ++s) {
      const float a = 2 * kPi * s / sides, v = rings > 1 ? 1.0f - float(r) / (rings - 1) : 0.0f;
      const float radius = profile[std::size_t(r)][0];
      m.vertex({radius * std::sin(a), profile[std::size_t(r)][1], -radius * std::cos(a)},
               1 - std::fabs(2.0f * s / sides - 1), v);
    }
  for (int r = 0; r + 1 < rings; ++r)
    for (int s = 0; s < sides; ++s) {
      const auto at = [&](int rr, int ss) { return std::uint16_t(rr * sides + ss % sides); };
      const float a = 2 * kPi * (s + 0.5f) / sides;
      // Outward: away from the axis, tilted by the profile's slope.
      const float dr = profile[std::size_t(r + 1)][0] - profile[std::size_t(r)][0];
      const float dy = profile[std::size_t(r + 1)][1] - profile[std::size_t(r)][1];
      const MeshVec3 out{dy * std::sin(a), -dr, -dy * std::cos(a)};
      m.quad(at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s), out);
    }
  return m;
}

int meshTextureSets(const ObjectWriter::Material& material) {
  const int named = static_cast<int>(std::count_if(material.textures.begin(), material.textures.end(),
                                                   [](const std::string& m) { return m != "(none)"; }));
  return std::max(1, named);
}

void writeMeshGroup(ObjectWriter& writer, const Mesh& mesh, const ObjectWriter::Material& material, int sets,
                    const std::vector<float>& setScale, const std::vector<ObjectWriter::WeightMap>& weights) {
  writer.material(material);
  std::vector<float> uv;
  uv.reserve(mesh.pos.size() * std::size_t(sets) * 2);
  for (std::size_t i = 0; i < mesh.pos.size(); ++i)
    for (int k = 0; k < sets; ++k) {
      const float s = std::size_t(k) < setScale.size() ? setScale[std::size_t(k)] : 1.0f;
      uv.push_back(mesh.uv[i][0] * s);
      uv.push_back(mesh.uv[i][1] * s);
    }
  writer.vertices(mesh.pos, sets, uv);
  writer.triangles(mesh.tris);
  if (!weights.empty()) writer.weights(weights);
}
