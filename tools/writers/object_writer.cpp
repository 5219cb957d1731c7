// The 3DX object file writer.
#include "writers/object_writer.h"

ObjectWriter::ObjectWriter() { bytes = {'3', 'D', 'X', 1, 0}; }

void ObjectWriter::chunkWithLength(const char* id, std::uint32_t length, const ByteBuffer& data) {
  bytes.insert(bytes.end(), id, id + 4);
  appendU32(bytes, length);
  bytes.insert(bytes.end(), data.begin(), data.end());
}

void ObjectWriter::chunk(const char* id, const ByteBuffer& data) {
  chunkWithLength(id, static_cast<std::uint32_t>(data.size()), data);
}

void ObjectWriter::object(int groupCount, int layer) {
  ByteBuffer d;
  appendU16(d, static_cast<std::uint16_t>(groupCount));
  appendU8(d, static_cast<std::uint8_t>(layer));
  chunk("OBJE", d);
}

void ObjectWriter::material(const Material& m) {
  ByteBuffer d;
  appendU32(d, m.diffuse);
  appendU32(d, m.specular);
  appendFloat(d, m.transparency);
  appendFloat(d, m.reserved[0]);
  appendFloat(d, m.reserved[1]);
  appendU8(d, m.doubleSided);
  appendU8(d, m.reservedFlag);
  appendU8(d, m.smoothing);
  for (const std::string& t : m.textures) appendString(d, t);
  chunk("MATR", d);
}

void ObjectWriter::vertices(const std::vector<std::array<float, 3>>& positions, int texSets,
                            const std::vector<float>& uv) {
  ByteBuffer d;
  appendU16(d, static_cast<std::uint16_t>(positions.size()));
  appendU8(d, static_cast<std::uint8_t>(texSets));
  std::size_t next = 0;
  for (const auto& p : positions) {
    for (float c : p) appendFloat(d, c);
    for (int s = 0; s < texSets * 2; ++s) appendFloat(d, next < uv.size() ? uv[next++] : 0.0f);
  }
  chunk("VERT", d);
}

void ObjectWriter::triangles(const std::vector<std::array<std::uint16_t, 3>>& tris) {
  ByteBuffer d;
  appendU16(d, static_cast<std::uint16_t>(tris.size()));
  for (const auto& t : tris)
    for (std::uint16_t i : t) appendU16(d, i);
  chunk("POLY", d);
}

void ObjectWriter::weights(const std::vector<WeightMap>& maps) {
  ByteBuffer d;
  appendU16(d, static_cast<std::uint16_t>(maps.size()));
  for (const auto& m : maps) {
    appendU16(d, static_cast<std::uint16_t>(m.values.size()));
    appendString(d, m.name);
    for (float v : m.values) appendFloat(d, v);
  }
  chunk("WGHT", d);
}

bool ObjectWriter::save(const std::string& path) const { return saveBytes(path, bytes); }
