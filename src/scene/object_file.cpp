// The 3DX object file reader: one layer of a file into plain, checked data.
#include "scene/object_file.h"

#include <cmath>
#include <cstring>

#include "loading/data_file.h"

namespace {

bool chunkIs(const char id[4], const char* name) { return std::memcmp(id, name, 4) == 0; }

// Reads the chunks that follow the layer's "OBJE" into out; false when the layer breaks a rule.
class LayerReader {
 public:
  LayerReader(DataFile& source, ObjectFileLayer& layer) : file(source), out(layer) {}

  bool startObject(int groupCount) {
    if (groupCount < 0) return false;
    out.found = true;
    out.groups.clear();
    declaredGroups = groupCount;
    current = -1;
    return true;
  }

  bool material(std::uint32_t end) {
    if (current + 1 >= declaredGroups) return false;  // more "MATR" than groups
    out.groups.emplace_back();
    ++current;
    ObjectFileMaterial& m = out.groups.back().material;
    m.diffuse = file.readDword();
    m.specular = file.readDword();
    m.transparency = file.readFloat();
    m.reserved[0] = file.readFloat();
    m.reserved[1] = file.readFloat();
    m.doubleSided = file.readByte();
    m.reservedFlag = file.readByte();
    file.readByte();  // smooth shading is always on
    if (file.position > end) return false;
    for (auto& name : m.textures) {
      file.readToken(name, sizeof(name));
      if (file.position > end) return false;
    }
    return true;
  }

  bool vertices(std::uint32_t length) {
    if (current < 0) return false;
    ObjectFileGroup& g = out.groups[current];
    int count = static_cast<std::int16_t>(file.readWord());
    int sets = static_cast<std::int8_t>(file.readByte());
    if (count < 0 || sets < 0 || sets > 8) return false;
    if (3u + static_cast<std::uint64_t>(count) * (12u + 8u * sets) > length) return false;
    g.vertexCount = count;
    g.texSetCount = sets;
    g.hasVertices = true;
    g.weightMaps.clear();  // weight maps follow their vertices
    g.vertices.assign(static_cast<std::size_t>(count) * g.floatsPerVertex(), 0.0f);
    for (int v = 0; v < count; ++v) {
      float* p = g.vertex(v);
      p[0] = file.readFloat();
      p[1] = file.readFloat();
      p[2] = file.readFloat();
      p[5] = 1.0f;  // normal (0, 0, 1) until the normals are computed
      for (int s = 0; s < 2 * sets; ++s) p[6 + s] = file.readFloat();
    }
    return true;
  }

  bool triangles(std::uint32_t length) {
    if (current < 0) return false;
    ObjectFileGroup& g = out.groups[current];
    int count = static_cast<std::int16_t>(file.readWord());
    if (count < 0 || 2u + 6u * static_cast<std::uint64_t>(count) > length) return false;
    g.triangleCount = count;
    g.hasTriangles = true;
    g.indices.resize(static_cast<std::size_t>(count) * 3);
    for (auto& index : g.indices) index = file.readWord();
    return true;
  }

  bool weights(std::uint32_t end) {
    if (current < 0) return false;
    ObjectFileGroup& g = out.groups[current];
    int count = static_cast<std::int16_t>(file.readWord());
    if (count < 0) return false;
    g.weightMaps.clear();
    for (int e = 0; e < count; ++e) {
      if (file.position + 2 > end) return false;
      ObjectFileWeightMap map;
      std::uint32_t values = file.readWord();
      file.readToken(map.name, sizeof(map.name));
      if (file.position + 4ull * values > end) return false;
      map.values.resize(values);
      for (float& v : map.values) v = file.readFloat();
      g.weightMaps.push_back(std::move(map));
    }
    return true;
  }

  // Every group was opened and filled, and every vertex number and weight map fits its group.
  bool complete() const {
    if (!out.found) return true;
    if (static_cast<int>(out.groups.size()) != declaredGroups) return false;
    for (const ObjectFileGroup& g : out.groups) {
      if (!g.hasVertices || !g.hasTriangles) return false;
      for (std::uint16_t i : g.indices)
        if (i >= g.vertexCount) return false;
      for (const ObjectFileWeightMap& m : g.weightMaps)
        if (static_cast<int>(m.values.size()) != g.vertexCount) return false;
    }
    return true;
  }

 private:
  DataFile& file;
  ObjectFileLayer& out;
  int declaredGroups = 0;
  int current = -1;
};

}  // namespace

ObjectFileStatus readObjectFile(const char* path, int layer, ObjectFileLayer& out) {
  out = ObjectFileLayer();
  DataFile file;
  if (!file.open(path, 1)) return ObjectFileStatus::cannotOpen;
  return readObjectFile(file, layer, out);
}

ObjectFileStatus readObjectFile(DataFile& file, int layer, ObjectFileLayer& out) {
  out = ObjectFileLayer();
  file.seek(0, 0);
  char magic[3] = {};
  for (char& c : magic) c = static_cast<char>(file.readByte());
  if (file.size < 3 || std::memcmp(magic, "3DX", 3) != 0) {
    file.close();
    return ObjectFileStatus::badMagic;
  }

  LayerReader reader(file, out);
  bool inObject = false;
  bool ok = true;
  std::uint64_t chunk = 5;
  while (ok && chunk + 8 <= file.size) {
    file.seek(static_cast<std::int32_t>(chunk), 0);
    char id[4];
    for (char& c : id) c = static_cast<char>(file.readByte());
    std::uint32_t length = file.readDword();
    std::uint64_t end = chunk + 8 + length;
    chunk = end;
    bool known =
        chunkIs(id, "OBJE") || chunkIs(id, "MATR") || chunkIs(id, "VERT") || chunkIs(id, "POLY") || chunkIs(id, "WGHT");
    if (!known || (!inObject && !chunkIs(id, "OBJE"))) continue;
    if (end > file.size) {  // the chunk claims more bytes than the file holds
      ok = false;
      break;
    }
    std::uint32_t dataEnd = static_cast<std::uint32_t>(end);
    if (chunkIs(id, "OBJE")) {
      int groups = static_cast<std::int16_t>(file.readWord());
      int number = static_cast<std::int8_t>(file.readByte());
      if (file.position > dataEnd)
        ok = false;
      else if (number != layer)
        inObject = false;
      else {
        inObject = true;
        ok = reader.startObject(groups);
      }
    } else if (chunkIs(id, "MATR")) {
      ok = reader.material(dataEnd);
    } else if (chunkIs(id, "VERT")) {
      ok = reader.vertices(length);
    } else if (chunkIs(id, "POLY")) {
      ok = reader.triangles(length);
    } else if (chunkIs(id, "WGHT")) {
      ok = reader.weights(dataEnd);
    }
    if (ok && file.position > dataEnd) ok = false;
  }
  file.close();
  if (!ok || !reader.complete()) {
    out = ObjectFileLayer();
    return ObjectFileStatus::malformed;
  }
  for (ObjectFileGroup& g : out.groups) computeObjectNormals(g);
  return ObjectFileStatus::ok;
}

void computeObjectNormals(ObjectFileGroup& group) {
  std::vector<int> uses(static_cast<std::size_t>(group.vertexCount), 0);
  for (int t = 0; t < group.triangleCount; ++t) {
    const std::uint16_t* corner = &group.indices[static_cast<std::size_t>(t) * 3];
    const float* a = group.vertex(corner[0]);
    const float* b = group.vertex(corner[1]);
    const float* c = group.vertex(corner[2]);
    float d1[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    float d2[3] = {a[0] - c[0], a[1] - c[1], a[2] - c[2]};
    float n[3] = {d1[1] * d2[2] - d1[2] * d2[1], d1[2] * d2[0] - d1[0] * d2[2], d1[0] * d2[1] - d1[1] * d2[0]};
    float lengthSquared = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    float length = 1.0f;
    if (lengthSquared != 0.0f) {
      length = std::sqrt(lengthSquared);
      if (length == 0.0f) length += 0.001f;
    }
    for (float& v : n) v /= length;
    for (int k = 0; k < 3; ++k) {
      float* normal = group.vertex(corner[k]) + 3;
      int& used = uses[corner[k]];
      for (int i = 0; i < 3; ++i) normal[i] = used == 0 ? n[i] : normal[i] + n[i];
      ++used;
    }
  }
  for (int v = 0; v < group.vertexCount; ++v) {
    float* normal = group.vertex(v) + 3;
    if (uses[v] > 0) {
      for (int i = 0; i < 3; ++i) normal[i] /= static_cast<float>(uses[v]);
    } else {
      normal[0] = 0.0f;
      normal[1] = 0.0f;
      normal[2] = 1.0f;
    }
  }
}
