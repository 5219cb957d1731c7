// The converter run on the model files of tests/tools/models (OBJ + MTL, PLY, Collada, FBX)
// and on files the tests build (glTF with its buffers, LightWave objects chunk by chunk through
// the shared byte writers, scenes), read back with the engine's own object reader.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <png.h>

#include <cstdlib>

#include "convert/convert_test_files.h"
#include "port/decoded_picture.h"
#include "port/png_writer.h"
#include "scene/object_file.h"
#include "scene/scene.h"
#include "scene/scene_object.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"
#include "writers/byte_writer.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status = -1;
  std::string messages;  // stdout and stderr together
};

ToolRun convert(const std::string& arguments) {
  ToolRun r;
  const std::string command = std::string(VELLUMITE_CONVERT) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.messages.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

ObjectFileLayer readLayer(const std::string& path, int layer = 1) {
  ObjectFileLayer out;
  EXPECT_EQ(readObjectFile(path.c_str(), layer, out), ObjectFileStatus::ok) << path;
  return out;
}

std::string textureName(const ObjectFileGroup& g, int slot) { return g.material.textures[slot]; }

// The vertex of the group at that position, or -1.
int vertexAt(const ObjectFileGroup& g, float x, float y, float z) {
  for (int v = 0; v < g.vertexCount; ++v) {
    const float* p = g.vertex(v);
    if (std::fabs(p[0] - x) < 1e-5f && std::fabs(p[1] - y) < 1e-5f && std::fabs(p[2] - z) < 1e-5f) return v;
  }
  return -1;
}

const ObjectFileWeightMap* weightMap(const ObjectFileGroup& g, const std::string& name) {
  for (const ObjectFileWeightMap& m : g.weightMaps)
    if (name == m.name) return &m;
  return nullptr;
}

// ---- LightWave objects, big-endian IFF chunks ----
using convert_test::be16;
using convert_test::Bytes;
using convert_test::chunk;
using convert_test::id4;
using convert_test::s0;
using convert_test::subchunk;
Bytes form(const Bytes& chunks) { return convert_test::form("LWO2", chunks); }

Bytes layerChunk(int number, const std::string& name) {
  Bytes d;
  be16(d, static_cast<unsigned>(number));
  be16(d, 0);
  for (int k = 0; k < 3; ++k) appendFloatBigEndian(d, 0.0f);
  s0(d, name);
  return d;
}
Bytes pointsChunk(const std::vector<std::array<float, 3>>& points) {
  Bytes d;
  for (const auto& p : points)
    for (float c : p) appendFloatBigEndian(d, c);
  return d;
}
Bytes facesChunk(const std::vector<std::vector<unsigned>>& faces) {
  Bytes d;
  id4(d, "FACE");
  for (const auto& f : faces) {
    be16(d, static_cast<unsigned>(f.size()));
    for (unsigned i : f) be16(d, i);
  }
  return d;
}
Bytes surfaceTags(int polygons, unsigned tag) {
  Bytes d;
  id4(d, "SURF");
  for (int p = 0; p < polygons; ++p) {
    be16(d, static_cast<unsigned>(p));
    be16(d, tag);
  }
  return d;
}
Bytes vertexMap(const char* type, unsigned dimension, const std::string& name,
                const std::vector<std::pair<unsigned, std::vector<float>>>& values) {
  Bytes d;
  id4(d, type);
  be16(d, dimension);
  s0(d, name);
  for (const auto& [point, v] : values) {
    be16(d, point);
    for (float f : v) appendFloatBigEndian(d, f);
  }
  return d;
}
// A surface with a colour, transparency, double sides and an image map on the UV map "UV".
Bytes surface(const std::string& name, float r, float g, float b, float transparency, unsigned clip) {
  Bytes d;
  s0(d, name);
  s0(d, "");
  Bytes sub;
  appendFloatBigEndian(sub, r);
  appendFloatBigEndian(sub, g);
  appendFloatBigEndian(sub, b);
  be16(sub, 0);
  subchunk(d, "COLR", sub);
  sub.clear();
  appendFloatBigEndian(sub, 1.0f);
  be16(sub, 0);
  subchunk(d, "DIFF", sub);
  sub.clear();
  appendFloatBigEndian(sub, transparency);
  be16(sub, 0);
  subchunk(d, "TRAN", sub);
  sub.clear();
  be16(sub, 3);
  subchunk(d, "SIDE", sub);
  if (clip != 0) {
    Bytes block;
    Bytes header;
    s0(header, "\x80");
    Bytes inner;
    id4(inner, "COLR");
    subchunk(header, "CHAN", inner);
    inner.clear();
    be16(inner, 1);
    subchunk(header, "ENAB", inner);
    subchunk(block, "IMAP", header);
    inner.clear();
    be16(inner, 5);
    subchunk(block, "PROJ", inner);
    inner.clear();
    be16(inner, clip);
    subchunk(block, "IMAG", inner);
    inner.clear();
    s0(inner, "UV");
    subchunk(block, "VMAP", inner);
    subchunk(d, "BLOK", block);
  }
  return d;
}
Bytes clipChunk(unsigned index, const std::string& path) {
  Bytes d;
  appendU32BigEndian(d, index);
  Bytes still;
  s0(still, path);
  subchunk(d, "STIL", still);
  return d;
}

// Two layers: layer 1 a quad of surface "Skin" with UVs and the weight maps "arm" and
// "leg"; layer 2 a triangle of surface "Glass".
Bytes twoLayerObject() {
  Bytes c;
  Bytes tags;
  s0(tags, "Skin");
  s0(tags, "Glass");
  chunk(c, "TAGS", tags);
  chunk(c, "LAYR", layerChunk(0, "body"));
  chunk(c, "PNTS", pointsChunk({{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}));
  chunk(c, "VMAP", vertexMap("TXUV", 2, "UV", {{0, {0, 0}}, {1, {0, 1}}, {2, {1, 1}}, {3, {1, 0}}}));
  chunk(c, "VMAP", vertexMap("WGHT", 1, "arm", {{0, {1.0f}}, {1, {0.5f}}}));
  chunk(c, "VMAP", vertexMap("WGHT", 1, "leg", {{2, {0.25f}}}));
  chunk(c, "POLS", facesChunk({{0, 1, 2, 3}}));
  chunk(c, "PTAG", surfaceTags(1, 0));
  chunk(c, "LAYR", layerChunk(1, "lid"));
  chunk(c, "PNTS", pointsChunk({{0, 2, 1}, {0, 3, 1}, {1, 3, 1}}));
  chunk(c, "POLS", facesChunk({{0, 1, 2}}));
  chunk(c, "PTAG", surfaceTags(1, 1));
  chunk(c, "CLIP", clipChunk(1, "Images/skin tone.jpg"));
  chunk(c, "SURF", surface("Skin", 1.0f, 0.5f, 0.0f, 0.0f, 1));
  chunk(c, "SURF", surface("Glass", 0.0f, 0.0f, 1.0f, 0.75f, 0));
  return form(c);
}

// ---- glTF: a skinned triangle with its buffer inline ----
// Without inverse bind matrices (optional in glTF) the import library of Debian 12 crashes.
std::string skinnedTriangleGltf(bool inverseBindMatrices = true) {
  Bytes buffer;
  for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) appendFloat(buffer, f);  // 0: positions
  for (float f : {0.f, 0.f, 1.f, 0.f, 0.f, 1.f}) appendFloat(buffer, f);                 // 36: uv
  for (unsigned j : {0u, 0u, 0u, 0u, 0u, 1u, 0u, 0u, 1u, 0u, 0u, 0u})
    appendU16(buffer, static_cast<std::uint16_t>(j));                                                     // 60: joints
  for (float f : {1.f, 0.f, 0.f, 0.f, .25f, .75f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f}) appendFloat(buffer, f);  // 84: weights
  for (unsigned i : {0u, 1u, 2u}) appendU16(buffer, static_cast<std::uint16_t>(i));  // 132: indices
  appendU16(buffer, 0);
  // 140: the inverse bind matrices: identity for the upper arm, back by (0, -1, 0) for the elbow.
  for (int joint = 0; joint < 2; ++joint)
    for (int k = 0; k < 16; ++k) appendFloat(buffer, k % 5 == 0 ? 1.0f : (joint == 1 && k == 13 ? -1.0f : 0.0f));
  const std::string skin = inverseBindMatrices ? R"({"joints":[1,2],"inverseBindMatrices":5})" : R"({"joints":[1,2]})";
  return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
"nodes":[{"mesh":0,"skin":0},{"name":"Upper Arm","children":[2]},{"name":"Elbow","translation":[0,1,0]}],
"skins":[)" +
         skin + R"(],
"meshes":[{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1,"JOINTS_0":2,"WEIGHTS_0":3},"indices":4,"material":0}]}],
"materials":[{"name":"leaf","doubleSided":true,"alphaMode":"BLEND",
  "pbrMetallicRoughness":{"baseColorFactor":[0,1,0,0.5],"baseColorTexture":{"index":0},"metallicRoughnessTexture":{"index":1}}}],
"textures":[{"source":0},{"source":1}],
"images":[{"uri":"tex.png"},{"uri":"rough.png"}],
"buffers":[{"byteLength":)" +
         std::to_string(buffer.size()) + R"(,"uri":"data:application/octet-stream;base64,)" +
         convert_test::base64(buffer) + R"("}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":24},
  {"buffer":0,"byteOffset":60,"byteLength":24},{"buffer":0,"byteOffset":84,"byteLength":48},
  {"buffer":0,"byteOffset":132,"byteLength":6},{"buffer":0,"byteOffset":140,"byteLength":128}],
"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},
  {"bufferView":1,"componentType":5126,"count":3,"type":"VEC2"},
  {"bufferView":2,"componentType":5123,"count":3,"type":"VEC4"},
  {"bufferView":3,"componentType":5126,"count":3,"type":"VEC4"},
  {"bufferView":4,"componentType":5123,"count":3,"type":"SCALAR"},
  {"bufferView":5,"componentType":5126,"count":2,"type":"MAT4"}]})";
}

// A binary glTF whose picture is stored inside it: a 16 x 16 PNG, opaque red on the left
// half, clear on the right; the material uses it as base colour and emissive map.
Bytes embeddedPictureGlb() {
  std::vector<unsigned char> rgba(16 * 16 * 4);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      unsigned char* p = &rgba[(y * 16 + x) * 4];
      p[0] = 255;
      p[3] = x < 8 ? 255 : 0;
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 16;
  image.height = 16;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  Bytes png(size);
  png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr);
  png.resize(size);

  Bytes bin;
  for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) appendFloat(bin, f);
  for (float f : {0.f, 0.f, 1.f, 0.f, 0.f, 1.f}) appendFloat(bin, f);
  for (unsigned i : {0u, 1u, 2u, 0u}) appendU16(bin, static_cast<std::uint16_t>(i));
  const std::size_t pictureAt = bin.size();
  bin.insert(bin.end(), png.begin(), png.end());
  while (bin.size() % 4 != 0) bin.push_back(0);
  std::string json = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"indices":2,"material":0}]}],
"materials":[{"name":"sign","alphaMode":"BLEND","pbrMetallicRoughness":{"baseColorTexture":{"index":0}},
  "emissiveTexture":{"index":0},"normalTexture":{"index":0}}],
"textures":[{"source":0}],"images":[{"bufferView":3,"mimeType":"image/png"}],
"buffers":[{"byteLength":)" +
                     std::to_string(bin.size()) + R"(}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":24},
  {"buffer":0,"byteOffset":60,"byteLength":6},{"buffer":0,"byteOffset":)" +
                     std::to_string(pictureAt) + R"(,"byteLength":)" + std::to_string(png.size()) + R"(}],
"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},
  {"bufferView":1,"componentType":5126,"count":3,"type":"VEC2"},
  {"bufferView":2,"componentType":5123,"count":3,"type":"SCALAR"}]})";
  while (json.size() % 4 != 0) json += ' ';
  Bytes glb;
  auto le32 = [&glb](std::uint32_t v) { appendU32(glb, v); };
  le32(0x46546C67);
  le32(2);
  le32(static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
  le32(static_cast<std::uint32_t>(json.size()));
  le32(0x4E4F534A);
  glb.insert(glb.end(), json.begin(), json.end());
  le32(static_cast<std::uint32_t>(bin.size()));
  le32(0x004E4942);
  glb.insert(glb.end(), bin.begin(), bin.end());
  return glb;
}

class ConvertToolTest : public ::testing::Test {
 protected:
  // A model file of tests/tools/models, copied into the test's folder.
  void copyModel(const std::string& name) {
    fs::copy_file(std::string(VELLUMITE_CONVERT_MODELS) + "/" + name, dir.file(name),
                  fs::copy_options::overwrite_existing);
  }
  // The cube of cube.obj and cube.mtl (hard edges, red and textured front and back, the rest
  // blue) with a stand-in for its picture.
  void writeCube() {
    copyModel("cube.obj");
    copyModel("cube.mtl");
    dir.writeText("wood grain.jpg", "not really a picture");
  }

  SceneTempDir dir;
};

// ---- Wavefront OBJ + MTL ----

TEST_F(ConvertToolTest, ObjCubeKeepsMaterialsUvsAndOutwardNormals) {
  writeCube();
  ToolRun run = convert(dir.file("cube.obj") + " " + dir.file("cube.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_NE(run.messages.find("6 polygons of more than three corners were triangulated"), std::string::npos)
      << run.messages;
  EXPECT_NE(run.messages.find("bump map is not carried"), std::string::npos) << run.messages;

  ObjectFileLayer layer = readLayer(dir.file("cube.3dx"));
  ASSERT_EQ(layer.groups.size(), 2u);
  const ObjectFileGroup& red = layer.groups[0];
  const ObjectFileGroup& blue = layer.groups[1];
  EXPECT_EQ(red.vertexCount, 8);
  EXPECT_EQ(red.triangleCount, 4);
  EXPECT_EQ(blue.vertexCount, 16);
  EXPECT_EQ(blue.triangleCount, 8);
  EXPECT_EQ(red.material.diffuse & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(blue.material.diffuse & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(red.material.specular & 0xFFFFFF, 0x808080u);
  EXPECT_FLOAT_EQ(red.material.transparency, 0.25f);
  EXPECT_FLOAT_EQ(blue.material.transparency, 0.0f);
  EXPECT_EQ(red.material.doubleSided, 0);
  EXPECT_EQ(textureName(red, 0), "wood_grain.jpg");
  for (int slot = 1; slot < 5; ++slot) EXPECT_EQ(textureName(red, slot), "(none)");
  EXPECT_EQ(textureName(blue, 0), "(none)");
  EXPECT_TRUE(fs::exists(dir.file("wood_grain.jpg"))) << "the picture is placed under its new name";

  // Hard edges stay hard, and the engine's normals point out of the cube: the triangles
  // face the way the source's normals say after the change of handedness.
  for (const ObjectFileGroup* g : {&red, &blue}) {
    for (int v = 0; v < g->vertexCount; ++v) {
      const float* x = g->vertex(v);
      const float* n = x + 3;
      EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-4f);
      EXPECT_GT(n[0] * x[0] + n[1] * x[1] + n[2] * x[2], 0.9f) << "vertex " << v << " normal points inwards";
    }
  }
  // The source's +z face is mirrored to -z; its corner with vt (0, 0) at (-1, -1, 1) keeps
  // u and gets v = 1 (texture rows run downwards in the engine).
  int corner = vertexAt(red, -1, -1, -1);
  ASSERT_GE(corner, 0);
  ASSERT_EQ(red.texSetCount, 1);
  const float* uv = red.vertex(corner) + 6;
  EXPECT_FLOAT_EQ(uv[0], 0.0f);
  EXPECT_FLOAT_EQ(uv[1], 1.0f);
  EXPECT_FLOAT_EQ(red.vertex(corner)[5], -1.0f);
}

TEST_F(ConvertToolTest, ScaleAxesAndSmoothSharing) {
  // No normals in the file: corners shared by faces stay one vertex (smooth shading).
  dir.writeText("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 -2\nf 1 2 3\nf 1 3 4\n");
  ToolRun run = convert("--scale 2 " + dir.file("tri.obj") + " " + dir.file("a.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  ObjectFileLayer a = readLayer(dir.file("a.3dx"));
  ASSERT_EQ(a.groups.size(), 1u);
  EXPECT_EQ(a.groups[0].vertexCount, 4);
  EXPECT_EQ(a.groups[0].texSetCount, 0);
  EXPECT_GE(vertexAt(a.groups[0], 0, 0, 4), 0) << "z mirrored and scaled";
  EXPECT_GE(vertexAt(a.groups[0], 2, 0, 0), 0);

  // Without the mirror the positions stay, and the triangle (seen from +z, counter-clockwise)
  // keeps its order, so the engine's normal points to -z... of the unmirrored data, i.e. away
  // from a viewer at +z; with --up z the source's z becomes y.
  run = convert("--no-flip-z --up z " + dir.file("tri.obj") + " " + dir.file("b.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  ObjectFileLayer b = readLayer(dir.file("b.3dx"));
  ASSERT_EQ(b.groups.size(), 1u);
  EXPECT_GE(vertexAt(b.groups[0], 0, -2, 0), 0) << "source z -2 becomes y -2";
  EXPECT_GE(vertexAt(b.groups[0], 0, 0, -1), 0) << "source y 1 becomes z -1";
}

TEST_F(ConvertToolTest, MeshesBeyondTheGroupLimitsAreSplitWithoutLosingTriangles) {
  // A 200 x 200 grid: 40401 vertices and 80000 triangles, more than one group may hold.
  std::string obj = "mtllib big.mtl\nusemtl stone\n";
  const int n = 200;
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x) obj += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const int a = y * (n + 1) + x + 1;
      obj += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + n + 2) + "\n";
      obj += "f " + std::to_string(a) + " " + std::to_string(a + n + 2) + " " + std::to_string(a + n + 1) + "\n";
    }
  }
  dir.writeText("big.obj", obj);
  dir.writeText("big.mtl", "newmtl stone\nKd 0.5 0.5 0.5\n");
  ToolRun run = convert(dir.file("big.obj") + " " + dir.file("big.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  ObjectFileLayer layer = readLayer(dir.file("big.3dx"));  // the reader checks every index
  ASSERT_GE(layer.groups.size(), 3u);
  int triangles = 0;
  for (const ObjectFileGroup& g : layer.groups) {
    EXPECT_LE(g.vertexCount, 32767);
    EXPECT_LE(g.triangleCount, 32767);
    EXPECT_EQ(g.material.diffuse & 0xFFFFFF, 0x808080u) << "every part keeps the material";
    triangles += g.triangleCount;
  }
  EXPECT_EQ(triangles, 2 * n * n);
}

// ---- glTF ----

TEST_F(ConvertToolTest, GltfSkinBecomesWeightMapsPerBone) {
  dir.writeText("leaf.gltf", skinnedTriangleGltf());
  const unsigned char bgr[2 * 2 * 3] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
  ASSERT_TRUE(writePngBgr(dir.file("tex.png").c_str(), bgr, 2, 2));
  ASSERT_TRUE(writePngBgr(dir.file("rough.png").c_str(), bgr, 2, 2));
  std::filesystem::create_directory(dir.file("out"));
  ToolRun run = convert(dir.file("leaf.gltf") + " " + dir.file("out/leaf.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_NE(run.messages.find("not carried"), std::string::npos)
      << "the metal/roughness map is reported: " << run.messages;

  ObjectFileLayer layer = readLayer(dir.file("out/leaf.3dx"));
  ASSERT_EQ(layer.groups.size(), 1u);
  const ObjectFileGroup& g = layer.groups[0];
  EXPECT_EQ(g.vertexCount, 3);
  EXPECT_EQ(g.triangleCount, 1);
  EXPECT_EQ(g.material.diffuse & 0xFFFFFF, 0x00FF00u);
  EXPECT_NE(g.material.doubleSided, 0);
  EXPECT_FLOAT_EQ(g.material.transparency, 0.5f);
  EXPECT_EQ(textureName(g, 0), "tex.jpg") << "PNG pictures become JPEG next to the object";
  EXPECT_TRUE(fs::exists(dir.file("out/tex.jpg")));
  // Facing a viewer at +z in the source, the viewer at -z in the engine.
  EXPECT_NEAR(g.vertex(0)[5], -1.0f, 1e-5f);

  const ObjectFileWeightMap* upper = weightMap(g, "Upper_Arm");
  const ObjectFileWeightMap* elbow = weightMap(g, "Elbow");
  ASSERT_NE(upper, nullptr) << "bone names become tokens without blanks";
  ASSERT_NE(elbow, nullptr);
  const int v0 = vertexAt(g, 0, 0, 0);
  const int v1 = vertexAt(g, 1, 0, 0);
  const int v2 = vertexAt(g, 0, 1, 0);
  ASSERT_TRUE(v0 >= 0 && v1 >= 0 && v2 >= 0);
  EXPECT_FLOAT_EQ(upper->values[v0], 1.0f);
  EXPECT_FLOAT_EQ(upper->values[v1], 0.25f);
  EXPECT_FLOAT_EQ(upper->values[v2], 0.0f);
  EXPECT_FLOAT_EQ(elbow->values[v0], 0.0f);
  EXPECT_FLOAT_EQ(elbow->values[v1], 0.75f);
  EXPECT_FLOAT_EQ(elbow->values[v2], 1.0f);
  // glTF's texture rows already run downwards, as the engine's do: coordinates arrive as stored.
  ASSERT_EQ(g.texSetCount, 1);
  EXPECT_FLOAT_EQ(g.vertex(v1)[6], 1.0f);
  EXPECT_FLOAT_EQ(g.vertex(v1)[7], 0.0f);
  EXPECT_FLOAT_EQ(g.vertex(v2)[7], 1.0f);

  // A file that brings the import library down ends with a message, not with the converter.
  dir.writeText("bare.gltf", skinnedTriangleGltf(false));
  run = convert(dir.file("bare.gltf") + " " + dir.file("out/bare.3dx"));
  EXPECT_TRUE(run.status == 0 || run.status == 2) << run.status;
  if (run.status == 2) {
    EXPECT_NE(run.messages.find("cannot convert " + dir.file("bare.gltf")), std::string::npos) << run.messages;
  }
}

TEST_F(ConvertToolTest, EmbeddedPicturesAreWrittenAsJpegWithTheirAlphaAsAlphaMap) {
  ASSERT_TRUE(saveBytes(dir.file("sign.glb"), embeddedPictureGlb()));
  ToolRun run = convert(dir.file("sign.glb") + " " + dir.file("sign.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_NE(run.messages.find("normal map is not carried"), std::string::npos) << run.messages;
  ObjectFileLayer layer = readLayer(dir.file("sign.3dx"));
  ASSERT_EQ(layer.groups.size(), 1u);
  const ObjectFileGroup& g = layer.groups[0];
  EXPECT_EQ(textureName(g, 0), "sign_0.jpg");
  EXPECT_EQ(textureName(g, 1), "sign_0.jpg") << "the emissive map adds";
  EXPECT_EQ(textureName(g, 3), "sign_0_alpha.jpg");
  EXPECT_EQ(g.texSetCount, 3) << "one set per map, as the engine assigns them";

  const DecodedPicture colour(dir.file("sign_0.jpg").c_str());
  ASSERT_TRUE(colour);
  EXPECT_EQ(colour.width(), 16);
  EXPECT_GT(colour.bgr()[2], 200) << "red (the loader gives blue, green, red)";
  const DecodedPicture alpha(dir.file("sign_0_alpha.jpg").c_str());
  ASSERT_TRUE(alpha);
  // The program reads alpha pictures as black opaque, white clear.
  EXPECT_LT(alpha.bgr()[(8 * 16 + 2) * 3], 40) << "the opaque half is black";
  EXPECT_GT(alpha.bgr()[(8 * 16 + 13) * 3], 215) << "the clear half is white";
}

// ---- PLY, Collada, FBX ----

TEST_F(ConvertToolTest, PlyColladaAndFbxCarryGeometryColoursAndTextures) {
  // PLY: a quad with normals and vertex colours (not carried, and said so).
  copyModel("quad.ply");
  ToolRun run = convert(dir.file("quad.ply") + " " + dir.file("quad.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_NE(run.messages.find("vertex colours are not carried"), std::string::npos) << run.messages;
  ObjectFileLayer ply = readLayer(dir.file("quad.3dx"));
  ASSERT_EQ(ply.groups.size(), 1u);
  EXPECT_EQ(ply.groups[0].triangleCount, 2);
  EXPECT_NEAR(ply.groups[0].vertex(0)[5], -1.0f, 1e-5f) << "faces the viewer, as the file's normals say";

  // Collada: z up by the file's word, so its z becomes the engine's y; its colour and
  // transparency come along.
  copyModel("tri.dae");
  run = convert(dir.file("tri.dae") + " " + dir.file("tri.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  ObjectFileLayer dae = readLayer(dir.file("tri.3dx"));
  ASSERT_EQ(dae.groups.size(), 1u);
  EXPECT_GE(vertexAt(dae.groups[0], 0, 1, 0), 0) << "the source's (0, 0, 1) is up";
  EXPECT_EQ(dae.groups[0].material.diffuse & 0xFFFFFF, 0x0080FFu);
  EXPECT_GT(dae.groups[0].material.transparency, 0.0f);

  // FBX (text form): a textured quad with a transparent material.
  copyModel("quad.fbx");
  run = convert(dir.file("quad.fbx") + " " + dir.file("fbx.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  ObjectFileLayer fbx = readLayer(dir.file("fbx.3dx"));
  ASSERT_EQ(fbx.groups.size(), 1u);
  EXPECT_EQ(fbx.groups[0].triangleCount, 2);
  EXPECT_EQ(fbx.groups[0].material.diffuse & 0xFFFFFF, 0x336699u);
  EXPECT_FLOAT_EQ(fbx.groups[0].material.transparency, 0.5f);
  EXPECT_EQ(textureName(fbx.groups[0], 0), "oak.jpg") << "folders of a Windows path are dropped";
}

// ---- LightWave objects ----

TEST_F(ConvertToolTest, LightWaveLayersSurfacesUvsAndWeightMaps) {
  ASSERT_TRUE(saveBytes(dir.file("thing.lwo"), twoLayerObject()));
  ToolRun run = convert(dir.file("thing.lwo") + " " + dir.file("thing.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;

  // Layer 1: the quad in LightWave's own coordinates, which are the engine's.
  ObjectFileLayer body = readLayer(dir.file("thing.3dx"), 1);
  ASSERT_TRUE(body.found);
  ASSERT_EQ(body.groups.size(), 1u);
  const ObjectFileGroup& skin = body.groups[0];
  EXPECT_EQ(skin.vertexCount, 4);
  EXPECT_EQ(skin.triangleCount, 2);
  EXPECT_EQ(skin.material.diffuse & 0xFFFFFF, 0xFF8000u);
  EXPECT_NE(skin.material.doubleSided, 0);
  EXPECT_EQ(textureName(skin, 0), "skin_tone.jpg");
  const int p0 = vertexAt(skin, 0, 0, 0);
  const int p1 = vertexAt(skin, 0, 1, 0);
  const int p2 = vertexAt(skin, 1, 1, 0);
  const int p3 = vertexAt(skin, 1, 0, 0);
  ASSERT_TRUE(p0 >= 0 && p1 >= 0 && p2 >= 0 && p3 >= 0);
  // Clockwise seen from -z is LightWave's front: the engine's normal points to -z.
  EXPECT_NEAR(skin.vertex(p0)[5], -1.0f, 1e-5f);
  ASSERT_GE(skin.texSetCount, 1);
  EXPECT_FLOAT_EQ(skin.vertex(p1)[6], 0.0f);
  EXPECT_FLOAT_EQ(skin.vertex(p1)[7], 0.0f) << "v = 1 at the top becomes 0";
  EXPECT_FLOAT_EQ(skin.vertex(p3)[7], 1.0f);
  const ObjectFileWeightMap* arm = weightMap(skin, "arm");
  const ObjectFileWeightMap* leg = weightMap(skin, "leg");
  ASSERT_NE(arm, nullptr);
  ASSERT_NE(leg, nullptr);
  EXPECT_FLOAT_EQ(arm->values[p0], 1.0f);
  EXPECT_FLOAT_EQ(arm->values[p1], 0.5f);
  EXPECT_FLOAT_EQ(arm->values[p2], 0.0f);
  EXPECT_FLOAT_EQ(leg->values[p2], 0.25f);
  EXPECT_FLOAT_EQ(leg->values[p3], 0.0f);

  // Layer 2: its own object, the transparent surface.
  ObjectFileLayer lid = readLayer(dir.file("thing.3dx"), 2);
  ASSERT_TRUE(lid.found);
  ASSERT_EQ(lid.groups.size(), 1u);
  EXPECT_EQ(lid.groups[0].triangleCount, 1);
  EXPECT_EQ(lid.groups[0].material.diffuse & 0xFFFFFF, 0x0000FFu);
  EXPECT_FLOAT_EQ(lid.groups[0].material.transparency, 0.75f);
  EXPECT_GE(vertexAt(lid.groups[0], 1, 3, 1), 0);
}

TEST_F(ConvertToolTest, LightWaveLayerChoiceAndMerge) {
  ASSERT_TRUE(saveBytes(dir.file("thing.lwo"), twoLayerObject()));
  ToolRun run = convert("--layer 2 " + dir.file("thing.lwo") + " " + dir.file("lid.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_FALSE(readLayer(dir.file("lid.3dx"), 1).found);
  EXPECT_EQ(readLayer(dir.file("lid.3dx"), 2).groups.size(), 1u);

  run = convert("--merge " + dir.file("thing.lwo") + " " + dir.file("all.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  ObjectFileLayer all = readLayer(dir.file("all.3dx"), 1);
  EXPECT_EQ(all.groups.size(), 2u);
  EXPECT_FALSE(readLayer(dir.file("all.3dx"), 2).found);

  run = convert("--layer 3 " + dir.file("thing.lwo") + " " + dir.file("none.3dx"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.messages.find("has no layer 3"), std::string::npos) << run.messages;
  EXPECT_FALSE(fs::exists(dir.file("none.3dx")));
}

// ---- Files it cannot read, bad options ----

TEST_F(ConvertToolTest, UnreadableInputsAreRefusedWithExitCode2) {
  dir.writeText("noise.glb", "glTF this is not a binary glTF at all");
  Bytes truncated = twoLayerObject();
  truncated.resize(truncated.size() / 2);
  ASSERT_TRUE(saveBytes(dir.file("cut.lwo"), truncated));
  dir.writeText("empty.obj", "# nothing here\n");
  for (const char* name : {"noise.glb", "cut.lwo", "empty.obj", "missing.obj"}) {
    ToolRun run = convert(dir.file(name) + " " + dir.file("out.3dx"));
    EXPECT_EQ(run.status, 2) << name << ": " << run.messages;
    EXPECT_NE(run.messages.find(std::string("cannot convert ") + dir.file(name)), std::string::npos) << run.messages;
    EXPECT_FALSE(fs::exists(dir.file("out.3dx"))) << name;
  }
  EXPECT_EQ(convert("--scale -1 a.obj b.3dx").status, 2);
  EXPECT_EQ(convert("--frobnicate a.obj b.3dx").status, 2);
  EXPECT_EQ(convert("only-one-file.obj").status, 2);
  writeCube();
  ToolRun unwritable = convert(dir.file("cube.obj") + " " + dir.file("no/such/folder/cube.3dx"));
  EXPECT_EQ(unwritable.status, 1) << unwritable.messages;
}

// ---- Every object of a scene ----

TEST_F(ConvertToolTest, SceneObjectsAreFoundAndWrittenUnderTheNamesTheProgramLoads) {
  fs::create_directories(dir.file("content/Scenes"));
  fs::create_directories(dir.file("content/Objects"));
  fs::create_directories(dir.file("library"));
  ASSERT_TRUE(saveBytes(dir.file("content/Objects/Thing.LWO"), twoLayerObject()));
  dir.writeText("library/prop.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  ASSERT_TRUE(saveBytes(dir.file("library/prop.lwo"), twoLayerObject()));
  const std::string scene = "LWSC\n3\n\nLoadObjectLayer 1 Objects\\thing.lwo\n" +
                            sceneItemMotionText("ObjectMotion", 0, 0, 0) + "LoadObjectLayer 2 Objects\\thing.lwo\n" +
                            sceneItemMotionText("ObjectMotion", 0, 0, 0) + "LoadObjectLayer 1 C:\\Work\\prop.lwo\n" +
                            sceneItemMotionText("ObjectMotion", 0, 0, 0);
  dir.writeText("content/Scenes/show.lws", scene);

  // Without the library folder one object is missing: reported, exit 2, the rest written.
  ToolRun run = convert("--scene " + dir.file("content/Scenes/show.lws"));
  EXPECT_EQ(run.status, 2) << run.messages;
  EXPECT_NE(run.messages.find("prop.lwo: not found"), std::string::npos) << run.messages;
  EXPECT_TRUE(fs::exists(dir.file("content/Scenes/thing.3dx")));

  run = convert("--scene " + dir.file("content/Scenes/show.lws") + " --search " + dir.file("library"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_NE(run.messages.find("converted 2 of 2 objects"), std::string::npos) << run.messages;
  EXPECT_EQ(readLayer(dir.file("content/Scenes/thing.3dx"), 2).groups.size(), 1u);
  EXPECT_EQ(readLayer(dir.file("content/Scenes/prop.3dx"), 1).groups.size(), 1u);

  // The engine loads the scene from its folder with every object in place.
  fs::current_path(dir.file("content/Scenes"));
  RecordingGraphicsDriver driver;
  Scene loaded(&driver);
  ASSERT_TRUE(loaded.loadScene("show.lws"));
  ASSERT_EQ(loaded.objectCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(loaded.objects[i]->groupCount, 1) << "object " << i;
  fs::current_path(dir.path());

  EXPECT_EQ(convert("--scene " + dir.file("content/Objects/Thing.LWO")).status, 2) << "not a scene file";

  // Two folders' objects of one name are one object file for the program: said, not overwritten.
  dir.writeText("content/Scenes/twice.lws",
                "LWSC\n3\nLoadObjectLayer 1 Objects\\thing.lwo\nLoadObjectLayer 1 Old\\thing.lwo\n");
  run = convert("--scene " + dir.file("content/Scenes/twice.lws"));
  EXPECT_EQ(run.status, 0) << run.messages;
  EXPECT_NE(run.messages.find("Old\\thing.lwo: another object of the scene is also loaded as thing.3dx"),
            std::string::npos)
      << run.messages;
}

}  // namespace
