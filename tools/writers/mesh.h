// Triangle meshes for 3DX objects: vertices with one texture coordinate pair, triangles wound
// so that the loader's normals point outward, a few primitive shapes, and the writing of a
// mesh as one group (material, vertices, triangles, weight maps) of an ObjectWriter.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "writers/object_writer.h"

using MeshVec3 = std::array<float, 3>;

struct Mesh {
  std::vector<MeshVec3> pos;
  std::vector<std::array<float, 2>> uv;
  std::vector<std::array<std::uint16_t, 3>> tris;

  std::uint16_t vertex(MeshVec3 p, float u, float v);
  // Adds the triangle wound so that its face normal (as the loader computes it) points along
  // outward; a degenerate triangle is left out.
  void tri(std::uint16_t a, std::uint16_t b, std::uint16_t c, MeshVec3 outward);
  void quad(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d, MeshVec3 outward);
  // Appends another mesh's vertices and triangles.
  void append(const Mesh& other);
  // Moves every vertex by offset, or scales it about the origin.
  void translate(MeshVec3 offset);
  void scale(MeshVec3 factors);
};

// A box of half extents half centred at c; every face carries the whole picture.
Mesh meshBox(MeshVec3 half, MeshVec3 c = {0, 0, 0});
// A w × h rectangle in cells × cells squares, horizontal facing up, or upright facing −z;
// texture coordinates run 0..repeat.
Mesh meshPlate(float w, float h, bool upright, float repeat = 1, int cells = 1);
// A latitude-longitude sphere (height 0), or an open tube of that height standing on y = 0.
Mesh meshLathe(float radius, int sides, int rings, float height = 0);
// A surface of revolution about y through the profile points (radius, y), bottom to top.
Mesh meshRevolve(const std::vector<std::array<float, 2>>& profile, int sides);

// Writes the mesh as the next group: its material, vertices with `sets` texture coordinate
// sets (set k is the mesh's pair times setScale[k], or times 1 when not given), triangles and
// the weight maps when there are any.
void writeMeshGroup(ObjectWriter& writer, const Mesh& mesh, const ObjectWriter::Material& material, int sets,
                    const std::vector<float>& setScale = {}, const std::vector<ObjectWriter::WeightMap>& weights = {});
// The number of texture coordinate sets a material's maps take (at least one).
int meshTextureSets(const ObjectWriter::Material& material);
