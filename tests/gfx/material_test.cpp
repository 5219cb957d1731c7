// Tests of materials, texture layers and texture-name splitting.
#include "gfx/material.h"

#include <gtest/gtest.h>

#include <string>

#include "gfx/heap_array.h"

namespace {

TEST(MaterialTest, NewMaterialHasTheDocumentedDefaults) {
  Material material;
  EXPECT_EQ(material.diffuse, 0x80808080u);
  EXPECT_EQ(material.specular, 0x80808080u);
  EXPECT_EQ(material.luminous, 0u);
  EXPECT_EQ(material.transparency, 0.0f);
  EXPECT_TRUE(material.smoothShading);
  EXPECT_TRUE(material.depthWrite);
  EXPECT_EQ(material.depthFunction, 4);
  EXPECT_EQ(material.cullMode, 0);
  EXPECT_EQ(material.layerCount, 0);
  EXPECT_EQ(material.layers, nullptr);
}

TEST(MaterialTest, AddLayerCopiesTheNameAndDerivesAlphaFromTheLastCharacter) {
  Material material;
  std::string name = "a.jpg";
  Matrix4* first = material.addLayer(name.c_str(), 0, kBlendBase, kAddressWrap, kAddressClamp, nullptr);
  name[0] = 'b';
  material.addLayer("lensflare.jpg(lensflarea.jpg)", kTexCoordCameraNormal, kBlendAdd, kAddressClamp, kAddressMirror,
                    nullptr);
  material.addLayer("odd)", 1, kBlendMultiply, kAddressWrap, kAddressWrap, nullptr);
  material.addLayer("", 0, kBlendBase, kAddressWrap, kAddressWrap, nullptr);
  ASSERT_EQ(material.layerCount, 4);
  ASSERT_NE(first, nullptr);

  const TextureLayer& plain = material.layers[0];
  EXPECT_STREQ(plain.textureName, "a.jpg");
  EXPECT_FALSE(plain.hasAlpha);
  EXPECT_EQ(plain.addressU, kAddressWrap);
  EXPECT_EQ(plain.addressV, kAddressClamp);
  EXPECT_FALSE(plain.hasMatrix);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(plain.matrix.m[i], (i % 5 == 0) ? 1.0f : 0.0f);

  const TextureLayer& flare = material.layers[1];
  EXPECT_TRUE(flare.hasAlpha);
  EXPECT_EQ(flare.texCoordSource, -1);
  EXPECT_EQ(flare.blendMode, 4);
  EXPECT_EQ(flare.addressV, kAddressMirror);
  EXPECT_TRUE(material.layers[2].hasAlpha);  // ends in ')' without any '('
  EXPECT_FALSE(material.layers[3].hasAlpha);

  EXPECT_EQ(material.addLayer(nullptr, 0, 0, 0, 0, nullptr), nullptr);
  EXPECT_EQ(material.layerCount, 4);
}

TEST(MaterialTest, AddLayerCopiesAGivenMatrixAndReturnsTheLayersMatrix) {
  Material material;
  Matrix4 sphere;
  for (int i = 0; i < 16; ++i) sphere.m[i] = static_cast<float>(i) * 0.5f;
  Matrix4* stored = material.addLayer("env.jpg", -1, kBlendDotProduct, kAddressClamp, kAddressClamp, &sphere);
  ASSERT_EQ(stored, &material.layers[0].matrix);
  EXPECT_TRUE(material.layers[0].hasMatrix);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(stored->m[i], sphere.m[i]);
}

TEST(MaterialTest, FailedLayerGrowthAndRepeatedReleaseLeaveTheMaterialSound) {
  Material material;
  material.addLayer("a.jpg", 0, 0, 0, 0, nullptr);
  failHeapArrayGrowthAfter(0);
  EXPECT_EQ(material.addLayer("b.jpg", 0, 0, 0, 0, nullptr), nullptr);
  ASSERT_EQ(material.layerCount, 1);
  EXPECT_STREQ(material.layers[0].textureName, "a.jpg");

  material.release();
  EXPECT_EQ(material.layerCount, 0);
  EXPECT_EQ(material.layers, nullptr);
  material.release();
  EXPECT_EQ(material.layerCount, 0);
}

struct SplitCase {
  const char* name;
  bool hasAlpha;
  const char* base;
  const char* alpha;
};

TEST(TextureNameTest, SplitsBaseAndAlphaNames) {
  const SplitCase cases[] = {
      {"lensflare.jpg(lensflarea.jpg)", true, "lensflare.jpg", "lensflarea.jpg"},
      {"laddar.jpg", false, "laddar.jpg", ""},
      {"a(b(c))", true, "a", "b(c)"},  // first '(' and final ')'
      {"odd)", false, "odd)", ""},     // no '(' : taken as a plain file name
      {"a(b)c", false, "a(b)c", ""},   // does not end in ')'
      {"()", true, "", ""},
      {"", false, "", ""},
  };
  for (const SplitCase& c : cases) {
    char base[kTextureNameCapacity];
    char alpha[kTextureNameCapacity];
    EXPECT_EQ(splitTextureName(c.name, base, alpha), c.hasAlpha) << c.name;
    EXPECT_STREQ(base, c.base) << c.name;
    EXPECT_STREQ(alpha, c.alpha) << c.name;
  }
}

TEST(TextureNameTest, OverlongNamesAreCutToTheBuffers) {
  std::string longBase(300, 'b');
  std::string longAlpha(400, 'a');
  std::string name = longBase + "(" + longAlpha + ")";
  char base[kTextureNameCapacity];
  char alpha[kTextureNameCapacity];
  EXPECT_TRUE(splitTextureName(name.c_str(), base, alpha));
  EXPECT_EQ(std::string(base), std::string(255, 'b'));
  EXPECT_EQ(std::string(alpha), std::string(255, 'a'));
  EXPECT_FALSE(splitTextureName(longBase.c_str(), base, alpha));
  EXPECT_EQ(std::string(base).size(), 255u);
}

}  // namespace
