// Fuzz target for the 3DX object reader: the input is the file; the first byte also picks
// the layer asked for. Every group of an accepted layer must be complete and consistent,
// and its normals are computed.
#include <cstdlib>

#include "fuzz_files.h"
#include "scene/object_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  scene_fuzz::folder().write("object.3dx", data, size);
  const int layer = size > 5 ? static_cast<int8_t>(data[size - 1]) % 4 : 1;
  ObjectFileLayer out;
  if (readObjectFile("object.3dx", layer, out) != ObjectFileStatus::ok) {
    if (!out.groups.empty()) __builtin_trap();  // a refused file keeps nothing
    return 0;
  }
  for (ObjectFileGroup& group : out.groups) {
    if (group.vertexCount < 0 || group.texSetCount < 0 || group.texSetCount > 8) __builtin_trap();
    if (group.vertices.size() != static_cast<size_t>(group.vertexCount) * group.floatsPerVertex()) __builtin_trap();
    if (group.indices.size() != static_cast<size_t>(group.triangleCount) * 3) __builtin_trap();
    for (std::uint16_t index : group.indices)
      if (index >= group.vertexCount) __builtin_trap();
    computeObjectNormals(group);
  }
  return 0;
}
