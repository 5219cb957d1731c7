// Builds a 3DX object file chunk by chunk: objects (layers), materials with their five texture
// names, vertices with texture coordinate sets, triangles and weight maps. The bytes can be
// saved or edited before saving.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "writers/byte_writer.h"

class ObjectWriter {
 public:
  struct Material {
    std::uint32_t diffuse = 0xFFC0C0C0;
    std::uint32_t specular = 0xFF808080;
    float transparency = 0.0f;
    float reserved[2] = {0.0f, 0.0f};
    std::uint8_t doubleSided = 0;
    std::uint8_t reservedFlag = 0;
    std::uint8_t smoothing = 1;
    // Colour, additive, reflection, alpha and base map names; "(none)" when unused.
    std::array<std::string, 5> textures = {"(none)", "(none)", "(none)", "(none)", "(none)"};
  };
  struct WeightMap {
    std::string name;
    std::vector<float> values;
  };

  ObjectWriter();

  void object(int groupCount, int layer);
  void material(const Material& m);
  // Positions (x, y, z per vertex) and, per vertex, texSets pairs of (u, v) in uv.
  void vertices(const std::vector<std::array<float, 3>>& positions, int texSets = 0, const std::vector<float>& uv = {});
  void triangles(const std::vector<std::array<std::uint16_t, 3>>& tris);
  void weights(const std::vector<WeightMap>& maps);
  // Any chunk with the given id and data, written as is.
  void chunk(const char* id, const ByteBuffer& data);
  // A chunk whose length field claims more or fewer bytes than the data holds.
  void chunkWithLength(const char* id, std::uint32_t length, const ByteBuffer& data);

  bool save(const std::string& path) const;

  ByteBuffer bytes;
};
