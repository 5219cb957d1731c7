// The 3DX object file: chunked meshes, one object per layer, one group per material.
// The reader turns one layer of a file into plain, checked data; the scene builds its
// groups, materials and vertex buffers from that data (object_loader.cpp).
#pragma once

#include <cstdint>
#include <vector>

class DataFile;

// The material part of a "MATR" chunk.
struct ObjectFileMaterial {
  std::uint32_t diffuse = 0;
  std::uint32_t specular = 0;
  float transparency = 0.0f;
  float reserved[2] = {0.0f, 0.0f};
  std::uint8_t doubleSided = 0;
  std::uint8_t reservedFlag = 0;
  // Colour, additive, reflection, alpha and base map; "(none)" means no texture.
  char textures[5][256] = {};
};

// One weight map of a "WGHT" chunk: one value per vertex of its group.
struct ObjectFileWeightMap {
  char name[64] = {};
  std::vector<float> values;
};

// One mesh group: a material, its vertices, triangles and weight maps.
struct ObjectFileGroup {
  ObjectFileMaterial material;
  bool hasVertices = false;
  bool hasTriangles = false;
  int vertexCount = 0;
  int texSetCount = 0;
  // Per vertex: position (3), normal (3), then texSetCount (u, v) pairs.
  std::vector<float> vertices;
  int triangleCount = 0;
  std::vector<std::uint16_t> indices;  // 3 per triangle
  std::vector<ObjectFileWeightMap> weightMaps;

  int floatsPerVertex() const { return 6 + 2 * texSetCount; }
  float* vertex(int n) { return vertices.data() + static_cast<std::size_t>(n) * floatsPerVertex(); }
  const float* vertex(int n) const { return vertices.data() + static_cast<std::size_t>(n) * floatsPerVertex(); }
};

// The groups of the requested layer; found is false when no "OBJE" named that layer.
struct ObjectFileLayer {
  bool found = false;
  std::vector<ObjectFileGroup> groups;
};

enum class ObjectFileStatus {
  ok,          // read; the layer may still be absent (found false)
  cannotOpen,  // missing or unreadable file
  badMagic,    // the file does not start with "3DX"
  malformed,   // a chunk of the layer breaks the format's rules; nothing is kept
};

// Reads the chunks of the given layer. On anything but ok, out is left empty.
// Malformed: a texture set count outside 0..8, a negative count, more "MATR" chunks than
// the group count or fewer, "VERT"/"POLY"/"WGHT" before the first "MATR", a group without
// "VERT" or "POLY", a vertex number not below the group's vertex count, a weight map whose
// value count is not the group's vertex count, or counts that do not fit their chunk.
ObjectFileStatus readObjectFile(const char* path, int layer, ObjectFileLayer& out);
// The same on a file already loaded (read from its first byte).
ObjectFileStatus readObjectFile(DataFile& file, int layer, ObjectFileLayer& out);

// Vertex normals: the mean of the unit normals of the triangles that use each vertex
// (not renormalised); a vertex used by no triangle gets (0, 0, 1).
void computeObjectNormals(ObjectFileGroup& group);
