// The converter's picture of an object before it is written: layers of mesh groups, each
// group one material with its vertices (already in the engine's axes), triangles and
// weight maps. Importers fill it; the 3DX writer turns it into a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace convert {

// Texture slots of a group's material in the order the object file stores them.
enum TextureSlot { kColourMap = 0, kSecondMap = 1, kReflectionMap = 2, kAlphaMap = 3, kBaseMap = 4, kSlotCount = 5 };

struct GroupMaterial {
  std::string name;                    // the source's material name, for messages
  std::uint32_t diffuse = 0xFFC8C8C8;  // 0xAARRGGBB
  std::uint32_t specular = 0xFF000000;
  float transparency = 0.0f;  // 0 opaque
  bool doubleSided = false;
  std::string textures[kSlotCount];  // empty: no texture
};

struct WeightMap {
  std::string name;           // the bone or weight map name
  std::vector<float> values;  // one per vertex of the group
};

struct Group {
  GroupMaterial material;
  int texSetCount = 0;                 // (u, v) pairs per vertex, 0..8
  std::vector<float> positions;        // x, y, z per vertex
  std::vector<float> texCoords;        // texSetCount pairs per vertex
  std::vector<std::uint16_t> indices;  // 3 per triangle
  std::vector<WeightMap> weightMaps;

  int vertexCount() const { return static_cast<int>(positions.size() / 3); }
  int triangleCount() const { return static_cast<int>(indices.size() / 3); }
};

struct Layer {
  int number = 1;  // the layer number scene files name ("LoadObjectLayer N")
  std::vector<Group> groups;
};

struct ConvertedObject {
  std::vector<Layer> layers;
};

// The most vertices and triangles one group can hold (signed 16-bit counts).
constexpr int kMaxGroupVertices = 32767;
constexpr int kMaxGroupTriangles = 32767;

}  // namespace convert
