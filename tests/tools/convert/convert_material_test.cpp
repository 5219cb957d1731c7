// glTF materials and skins through the converter: packed occlusion pictures, specular-
// glossiness, see-through materials, addressing the object file cannot hold, pictures
// written only when used, and skinned meshes placed as their skin binds them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "convert_test_files.h"
#include "port/decoded_picture.h"
#include "support/scene_files.h"

namespace {

using namespace convert_test;
namespace fs = std::filesystem;

// A textured square facing +z; `material` is the glTF material object, `extra` further
// top-level members (textures, images, samplers, extensionsUsed).
std::string squareGltf(const std::string& material, const std::string& extra) {
  GltfBuffer b;
  const int positions = b.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", true);
  const int uvs = b.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
  const int indices = b.shorts({0, 1, 2, 0, 2, 3}, "SCALAR");
  return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
"meshes":[{"primitives":[{"attributes":{"POSITION":)" +
         std::to_string(positions) + R"(,"TEXCOORD_0":)" + std::to_string(uvs) + R"(},"indices":)" +
         std::to_string(indices) + R"(,"material":0}]}],
"materials":[)" +
         material + "]," + extra + "," + b.json() + "}";
}

// A 4 x 4 PNG of one colour; a quarter opaque on the right half when translucent.
bool writeFlatPng(const std::string& path, std::uint32_t rgb, bool translucent) {
  std::vector<std::uint8_t> rgba(64);
  for (int i = 0; i < 16; ++i) {
    rgba[4 * i] = static_cast<std::uint8_t>(rgb >> 16);
    rgba[4 * i + 1] = static_cast<std::uint8_t>(rgb >> 8);
    rgba[4 * i + 2] = static_cast<std::uint8_t>(rgb);
    rgba[4 * i + 3] = translucent && i % 4 >= 2 ? 0x40 : 0xFF;
  }
  return writePngRgba(path, rgba, 4, 4);
}

class ConvertMaterialTest : public ::testing::Test {
 protected:
  SceneTempDir dir;
};

// A packed occlusion (red), roughness (green), metalness (blue) picture: only its red
// channel may become the base map; the whole picture tints the model.
TEST_F(ConvertMaterialTest, PackedOcclusionBecomesAGreyBaseMapOfItsRedChannel) {
  ASSERT_TRUE(writeFlatPng(dir.file("orm.png"), 0xC81EFA, false));  // occlusion 200, roughness 30, metal 250
  dir.writeText("bottle.gltf", squareGltf(R"({"name":"glass","occlusionTexture":{"index":0},
  "pbrMetallicRoughness":{"metallicRoughnessTexture":{"index":0}}})",
                                          R"("textures":[{"source":0}],"images":[{"uri":"orm.png"}])"));
  const ToolRun run = convert(dir.file("bottle.gltf") + " " + dir.file("bottle.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  const ObjectFileLayer layer = readLayer(dir.file("bottle.3dx"));
  ASSERT_EQ(layer.groups.size(), 1u);
  const std::string base = layer.groups[0].material.textures[4];
  ASSERT_FALSE(base.empty()) << run.messages;
  const DecodedPicture picture(dir.file(base).c_str());
  ASSERT_TRUE(picture) << base;
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(picture.bgr()[c], 200, 6) << "channel " << c << " of " << base;
  // The same picture's other channels are said by name, not as "other".
  EXPECT_TRUE(contains(run, "metallic-roughness map is not carried (orm.png)")) << run.messages;
  EXPECT_FALSE(contains(run, "its other map")) << run.messages;
}

// Specular-glossiness's default specular factor is (1, 1, 1); added wherever light falls it
// would wash the model out to white.
TEST_F(ConvertMaterialTest, SpecularGlossinessKeepsItsDiffuseColourAndNoSpecular) {
  dir.writeText("lantern.gltf", squareGltf(R"({"name":"brass","extensions":{"KHR_materials_pbrSpecularGlossiness":
  {"diffuseFactor":[0.8,0.4,0.1,1],"glossinessFactor":0.5}}})",
                                           R"("extensionsUsed":["KHR_materials_pbrSpecularGlossiness"])"));
  const ToolRun run = convert(dir.file("lantern.gltf") + " " + dir.file("lantern.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  const ObjectFileLayer layer = readLayer(dir.file("lantern.3dx"));
  ASSERT_EQ(layer.groups.size(), 1u);
  EXPECT_EQ(layer.groups[0].material.diffuse & 0xFFFFFFu, 0xCC661Au);
  EXPECT_EQ(layer.groups[0].material.specular & 0xFFFFFFu, 0u);
  EXPECT_TRUE(contains(run, "specular-glossiness values are not carried")) << run.messages;
}

// A see-through material with a base map: the program honours the alpha map only when the
// colour map is drawn through it, which it does without a base map.
TEST_F(ConvertMaterialTest, BlendedMaterialsKeepTheirAlphaAndOpaqueOnesWriteNone) {
  ASSERT_TRUE(writeFlatPng(dir.file("lens.png"), 0x3050FF, true));
  ASSERT_TRUE(writeFlatPng(dir.file("ao.png"), 0xFF0000, false));
  dir.writeText("lens.gltf",
                squareGltf(R"({"name":"lens","alphaMode":"BLEND","occlusionTexture":{"index":1},
  "pbrMetallicRoughness":{"baseColorTexture":{"index":0}}})",
                           R"("textures":[{"source":0},{"source":1}],"images":[{"uri":"lens.png"},{"uri":"ao.png"}])"));
  ToolRun run = convert(dir.file("lens.gltf") + " " + dir.file("lens.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  ObjectFileLayer layer = readLayer(dir.file("lens.3dx"));
  ASSERT_EQ(layer.groups.size(), 1u);
  const ObjectFileGroup& g = layer.groups[0];
  EXPECT_EQ(std::string(g.material.textures[0]), "lens.jpg");
  EXPECT_EQ(std::string(g.material.textures[3]), "lens_alpha.jpg");
  EXPECT_EQ(std::string(g.material.textures[4]), "(none)") << "a base map would leave the alpha map unused";
  EXPECT_TRUE(contains(run, "base (occlusion) map is not carried, so that its alpha map is")) << run.messages;
  EXPECT_EQ(g.texSetCount, 2);

  // The same picture on an opaque material: no alpha map and no alpha picture on disk.
  fs::create_directory(dir.file("opaque"));
  dir.writeText("opaque/lens.gltf", squareGltf(R"({"name":"lens","alphaMode":"OPAQUE",
  "pbrMetallicRoughness":{"baseColorTexture":{"index":0}}})",
                                               R"("textures":[{"source":0}],"images":[{"uri":"../lens.png"}])"));
  run = convert(dir.file("opaque/lens.gltf") + " " + dir.file("opaque/lens.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  layer = readLayer(dir.file("opaque/lens.3dx"));
  ASSERT_EQ(layer.groups.size(), 1u);
  EXPECT_EQ(std::string(layer.groups[0].material.textures[3]), "(none)");
  EXPECT_TRUE(fs::exists(dir.file("opaque/lens.jpg")));
  EXPECT_FALSE(fs::exists(dir.file("opaque/lens_alpha.jpg"))) << "an unused alpha picture is written";
}

// The object file repeats every map: clamped and mirrored samplers are reported.
TEST_F(ConvertMaterialTest, ClampedAndMirroredMapsAreReported) {
  ASSERT_TRUE(writeFlatPng(dir.file("label.png"), 0x808080, false));
  dir.writeText("label.gltf",
                squareGltf(R"({"name":"label","pbrMetallicRoughness":{"baseColorTexture":{"index":0}}})",
                           R"("samplers":[{"wrapS":33071,"wrapT":33648}],"textures":[{"source":0,"sampler":0}],
"images":[{"uri":"label.png"}])"));
  const ToolRun run = convert(dir.file("label.gltf") + " " + dir.file("label.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_TRUE(contains(run, "colour map is clamped in u")) << run.messages;
  EXPECT_TRUE(contains(run, "colour map is mirrored in v")) << run.messages;
}

// A skin whose joints and inverse bind matrices place the mesh away from its node: the
// object holds the mesh where the skin binds it.
TEST_F(ConvertMaterialTest, SkinnedMeshesArePlacedByTheirJointsAndInverseBindMatrices) {
  GltfBuffer b;
  const int positions = b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", true);
  const int joints = b.shorts({0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0}, "VEC4");
  const int weights = b.floats({1, 0, 0, 0, .5f, .5f, 0, 0, 0, 1, 0, 0}, "VEC4");
  const int indices = b.shorts({0, 1, 2}, "SCALAR");
  // Joint 0 at (4, 0, -3) with an identity inverse bind: the skin moves the mesh there. Joint 1
  // at (4, 2, -3) with an inverse bind that takes it back by (0, -2, 0): the same place.
  std::vector<float> matrices;
  for (int j = 0; j < 2; ++j)
    for (int k = 0; k < 16; ++k) matrices.push_back(k % 5 == 0 ? 1.0f : (j == 1 && k == 13 ? -2.0f : 0.0f));
  const int inverseBind = b.floats(matrices, "MAT4");
  const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
"nodes":[{"name":"body","mesh":0,"skin":0,"translation":[9,9,9]},{"name":"hip","translation":[4,0,-3],"children":[2]},
  {"name":"knee","translation":[0,2,0]}],
"skins":[{"joints":[1,2],"inverseBindMatrices":)" +
                           std::to_string(inverseBind) + R"(}],
"meshes":[{"primitives":[{"attributes":{"POSITION":)" +
                           std::to_string(positions) + R"(,"JOINTS_0":)" + std::to_string(joints) + R"(,"WEIGHTS_0":)" +
                           std::to_string(weights) + R"(},"indices":)" + std::to_string(indices) + R"(}]}],)" +
                           b.json() + "}";
  dir.writeText("monster.gltf", gltf);
  const ToolRun run = convert(dir.file("monster.gltf") + " " + dir.file("monster.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  const ObjectFileLayer layer = readLayer(dir.file("monster.3dx"));
  ASSERT_EQ(layer.groups.size(), 1u);
  const ObjectFileGroup& g = layer.groups[0];
  // z mirrored: the engine's z is 3 where the source's is -3; the mesh node's own (9, 9, 9) plays no part.
  EXPECT_GE(vertexAt(g, 4, 0, 3), 0);
  EXPECT_GE(vertexAt(g, 5, 0, 3), 0);
  EXPECT_GE(vertexAt(g, 4, 1, 3), 0);
  EXPECT_EQ(g.weightMaps.size(), 2u);
}

}  // namespace
