// Fuzz target for the 3DX object reader: the input is the file; its last byte also picks the
// layer asked for. Every group of an accepted layer must be complete and consistent, and its
// normals are computed.
#include "loading/fuzz/fuzz_data_file.h"
#include "scene/object_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DataFile file;
  if (!loading_fuzz::serve(file, data, size)) return 0;
  const int layer = size > 5 ? static_cast<int8_t>(data[size - 1]) % 4 : 1;
  ObjectFileLayer out;
  if (readObjectFile(file, layer, out) != ObjectFileStatus::ok) {
    loading_fuzz::require(out.groups.empty());  // a refused file keeps nothing
    return 0;
  }
  for (ObjectFileGroup& group : out.groups) {
    loading_fuzz::require(group.vertexCount >= 0 && group.texSetCount >= 0 && group.texSetCount <= 8);
    loading_fuzz::require(group.vertices.size() == static_cast<size_t>(group.vertexCount) * group.floatsPerVertex());
    loading_fuzz::require(group.indices.size() == static_cast<size_t>(group.triangleCount) * 3);
    for (std::uint16_t index : group.indices) loading_fuzz::require(index < group.vertexCount);
    computeObjectNormals(group);
  }
  return 0;
}
