// The converter's objects as 3DX files, written by the shared object writer.
#include "object_writer.h"

#include <array>

#include "writers/byte_writer.h"
#include "writers/object_writer.h"

namespace convert {
namespace {

void encodeGroup(ObjectWriter& writer, const Group& g) {
  ObjectWriter::Material m;
  m.diffuse = g.material.diffuse;
  m.specular = g.material.specular;
  m.transparency = g.material.transparency;
  m.doubleSided = g.material.doubleSided ? 1 : 0;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const std::string& name = g.material.textures[slot];
    m.textures[static_cast<std::size_t>(slot)] = name.empty() ? "(none)" : name;
  }
  writer.material(m);

  std::vector<std::array<float, 3>> positions(static_cast<std::size_t>(g.vertexCount()));
  for (std::size_t v = 0; v < positions.size(); ++v)
    positions[v] = {g.positions[3 * v], g.positions[3 * v + 1], g.positions[3 * v + 2]};
  writer.vertices(positions, g.texSetCount, g.texCoords);

  std::vector<std::array<std::uint16_t, 3>> triangles(static_cast<std::size_t>(g.triangleCount()));
  for (std::size_t t = 0; t < triangles.size(); ++t)
    triangles[t] = {g.indices[3 * t], g.indices[3 * t + 1], g.indices[3 * t + 2]};
  writer.triangles(triangles);

  if (g.weightMaps.empty()) return;
  std::vector<ObjectWriter::WeightMap> maps;
  maps.reserve(g.weightMaps.size());
  for (const WeightMap& map : g.weightMaps) maps.push_back({map.name, map.values});
  writer.weights(maps);
}

}  // namespace

std::vector<std::uint8_t> encodeObject(const ConvertedObject& object) {
  ObjectWriter writer;
  for (const Layer& layer : object.layers) {
    writer.object(static_cast<int>(layer.groups.size()), layer.number);
    for (const Group& g : layer.groups) encodeGroup(writer, g);
  }
  return writer.bytes;
}

bool writeObjectFile(const ConvertedObject& object, const std::string& path) {
  return saveBytes(path, encodeObject(object));
}

}  // namespace convert
