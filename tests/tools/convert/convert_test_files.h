// What the converter's tests share: running the tools, and small writers of the inputs
// they convert (big-endian IFF chunks for LightWave objects, glTF files with their buffer
// inline).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/object_file.h"

namespace convert_test {

struct ToolRun {
  int status = -1;
  std::string messages;  // stdout and stderr together
};

// Runs the converter with the arguments (already quoted as the shell needs).
ToolRun convert(const std::string& arguments);
// Runs any command line the same way.
ToolRun runCommand(const std::string& command);
bool contains(const ToolRun& run, const std::string& text);

ObjectFileLayer readLayer(const std::string& path, int layer = 1);
// The vertex of the group at that position (within 1e-4), or -1.
int vertexAt(const ObjectFileGroup& g, float x, float y, float z);

using Bytes = std::vector<std::uint8_t>;
bool saveFile(const std::string& path, const Bytes& bytes);
// An RGBA PNG (4 bytes a pixel, top row first).
bool writePngRgba(const std::string& path, const std::vector<std::uint8_t>& rgba, int width, int height);

// ---- big-endian IFF ----
void be16(Bytes& b, unsigned v);
void be32(Bytes& b, std::uint32_t v);
void beFloat(Bytes& b, float f);
void id4(Bytes& b, const char* id);
void s0(Bytes& b, const std::string& s);                       // NUL-terminated, padded to even length
void chunk(Bytes& file, const char* id, const Bytes& data);    // four-byte length
void subchunk(Bytes& out, const char* id, const Bytes& data);  // two-byte length
Bytes form(const char* type, const Bytes& chunks);

// ---- glTF ----
// Collects binary data and accessors; json() gives the "buffers", "bufferViews" and
// "accessors" members for the rest of a glTF file, the buffer inline as base64.
class GltfBuffer {
 public:
  int floats(const std::vector<float>& values, const char* type, bool withBounds = false);
  int shorts(const std::vector<unsigned>& values, const char* type);  // unsigned 16-bit
  std::string json() const;
  // A binary glTF of the JSON text `head` (a glTF object without its closing brace, to which
  // this buffer's members are added) with the buffer as its binary chunk.
  Bytes glb(const std::string& head) const;

 private:
  int add(const Bytes& data, int componentType, std::size_t count, const char* type, const std::string& extra);
  Bytes data;
  std::vector<std::string> views;
  std::vector<std::string> accessors;
};

std::string base64(const Bytes& data);

}  // namespace convert_test
