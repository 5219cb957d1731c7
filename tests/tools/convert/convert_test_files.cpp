// Tool runs and input writers for the converter's tests.
#include "convert_test_files.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace convert_test {

ToolRun runCommand(const std::string& command) {
  ToolRun r;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.messages.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

ToolRun convert(const std::string& arguments) {
  // VELLUMITE_CONVERT_UNDER_TEST runs another build of the converter against these tests.
  const char* other = std::getenv("VELLUMITE_CONVERT_UNDER_TEST");
  return runCommand(std::string(other != nullptr && *other != '\0' ? other : VELLUMITE_CONVERT) + " " + arguments);
}

bool contains(const ToolRun& run, const std::string& text) { return run.messages.find(text) != std::string::npos; }

ObjectFileLayer readLayer(const std::string& path, int layer) {
  ObjectFileLayer out;
  EXPECT_EQ(readObjectFile(path.c_str(), layer, out), ObjectFileStatus::ok) << path;
  return out;
}

int vertexAt(const ObjectFileGroup& g, float x, float y, float z) {
  for (int v = 0; v < g.vertexCount; ++v) {
    const float* p = g.vertex(v);
    if (std::fabs(p[0] - x) < 1e-4f && std::fabs(p[1] - y) < 1e-4f && std::fabs(p[2] - z) < 1e-4f) return v;
  }
  return -1;
}

bool saveFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool writePngRgba(const std::string& path, const std::vector<std::uint8_t>& rgba, int width, int height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

void be16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void be32(Bytes& b, std::uint32_t v) {
  be16(b, v >> 16);
  be16(b, v & 0xFFFF);
}
void beFloat(Bytes& b, float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, 4);
  be32(b, v);
}
void id4(Bytes& b, const char* id) {
  for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(id[k]));
}
void s0(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
  if ((s.size() + 1) % 2 != 0) b.push_back(0);
}
void chunk(Bytes& file, const char* id, const Bytes& data) {
  id4(file, id);
  be32(file, static_cast<std::uint32_t>(data.size()));
  file.insert(file.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) file.push_back(0);
}
void subchunk(Bytes& out, const char* id, const Bytes& data) {
  id4(out, id);
  be16(out, static_cast<unsigned>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) out.push_back(0);
}
Bytes form(const char* type, const Bytes& chunks) {
  Bytes file;
  id4(file, "FORM");
  be32(file, static_cast<std::uint32_t>(chunks.size() + 4));
  id4(file, type);
  file.insert(file.end(), chunks.begin(), chunks.end());
  return file;
}

std::string base64(const Bytes& data) {
  static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < data.size(); i += 3) {
    std::uint32_t v = std::uint32_t(data[i]) << 16;
    if (i + 1 < data.size()) v |= std::uint32_t(data[i + 1]) << 8;
    if (i + 2 < data.size()) v |= data[i + 2];
    out += table[(v >> 18) & 63];
    out += table[(v >> 12) & 63];
    out += i + 1 < data.size() ? table[(v >> 6) & 63] : '=';
    out += i + 2 < data.size() ? table[v & 63] : '=';
  }
  return out;
}

namespace {
int componentsOf(const char* type) {
  const std::string t = type;
  if (t == "SCALAR") return 1;
  if (t == "VEC2") return 2;
  if (t == "VEC3") return 3;
  if (t == "VEC4") return 4;
  if (t == "MAT4") return 16;
  return 1;
}
std::string number(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
  return text;
}
}  // namespace

int GltfBuffer::add(const Bytes& bytes, int componentType, std::size_t count, const char* type,
                    const std::string& extra) {
  while (data.size() % 4 != 0) data.push_back(0);
  views.push_back(R"({"buffer":0,"byteOffset":)" + std::to_string(data.size()) + R"(,"byteLength":)" +
                  std::to_string(bytes.size()) + "}");
  data.insert(data.end(), bytes.begin(), bytes.end());
  accessors.push_back(R"({"bufferView":)" + std::to_string(views.size() - 1) + R"(,"componentType":)" +
                      std::to_string(componentType) + R"(,"count":)" + std::to_string(count) + R"(,"type":")" + type +
                      "\"" + extra + "}");
  return static_cast<int>(accessors.size() - 1);
}

int GltfBuffer::floats(const std::vector<float>& values, const char* type, bool withBounds) {
  Bytes bytes;
  for (float f : values) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  }
  const int n = componentsOf(type);
  std::string extra;
  if (withBounds) {
    std::vector<float> lo(values.begin(), values.begin() + n), hi = lo;
    for (std::size_t i = 0; i < values.size(); ++i) {
      lo[i % n] = std::min(lo[i % n], values[i]);
      hi[i % n] = std::max(hi[i % n], values[i]);
    }
    extra = R"(,"min":[)";
    for (int k = 0; k < n; ++k) extra += (k ? "," : "") + number(lo[k]);
    extra += R"(],"max":[)";
    for (int k = 0; k < n; ++k) extra += (k ? "," : "") + number(hi[k]);
    extra += "]";
  }
  return add(bytes, 5126, values.size() / n, type, extra);
}

int GltfBuffer::shorts(const std::vector<unsigned>& values, const char* type) {
  Bytes bytes;
  for (unsigned v : values) {
    bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  return add(bytes, 5123, values.size() / componentsOf(type), type, "");
}

std::string GltfBuffer::json() const {
  std::string out = R"("buffers":[{"byteLength":)" + std::to_string(data.size()) +
                    R"(,"uri":"data:application/octet-stream;base64,)" + base64(data) + R"("}],"bufferViews":[)";
  for (std::size_t i = 0; i < views.size(); ++i) out += (i ? "," : "") + views[i];
  out += R"(],"accessors":[)";
  for (std::size_t i = 0; i < accessors.size(); ++i) out += (i ? "," : "") + accessors[i];
  return out + "]";
}

Bytes GltfBuffer::glb(const std::string& head) const {
  std::string json = head + R"(,"buffers":[{"byteLength":)" + std::to_string(data.size()) + R"(}],"bufferViews":[)";
  for (std::size_t i = 0; i < views.size(); ++i) json += (i ? "," : "") + views[i];
  json += R"(],"accessors":[)";
  for (std::size_t i = 0; i < accessors.size(); ++i) json += (i ? "," : "") + accessors[i];
  json += "]}";
  while (json.size() % 4 != 0) json += ' ';
  Bytes bin = data;
  while (bin.size() % 4 != 0) bin.push_back(0);
  Bytes out;
  auto le32 = [&out](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  };
  le32(0x46546C67);  // "glTF"
  le32(2);
  le32(static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
  le32(static_cast<std::uint32_t>(json.size()));
  le32(0x4E4F534A);  // "JSON"
  out.insert(out.end(), json.begin(), json.end());
  le32(static_cast<std::uint32_t>(bin.size()));
  le32(0x004E4942);  // "BIN"
  out.insert(out.end(), bin.begin(), bin.end());
  return out;
}

}  // namespace convert_test
