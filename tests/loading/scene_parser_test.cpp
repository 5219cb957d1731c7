// Scene file header, item ids and link tables.
#include "loading/scene_parser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "loading/data_file.h"

namespace {

TEST(SceneItemId, DecodesEveryKind) {
  SceneItemId object = decodeSceneItemId(0x10000000u);
  EXPECT_EQ(object.kind, SceneItemKind::object);
  EXPECT_EQ(object.index, 0u);
  EXPECT_EQ(decodeSceneItemId(0x20000003u).kind, SceneItemKind::light);
  EXPECT_EQ(decodeSceneItemId(0x20000003u).index, 3u);
  EXPECT_EQ(decodeSceneItemId(0x30000001u).kind, SceneItemKind::camera);
  SceneItemId bone = decodeSceneItemId(0x40010002u);
  EXPECT_EQ(bone.kind, SceneItemKind::bone);
  EXPECT_EQ(bone.boneNumber, 1u);  // second bone ...
  EXPECT_EQ(bone.index, 2u);       // ... of the third object
  EXPECT_EQ(decodeSceneItemId(0xFFFFFFFFu).kind, SceneItemKind::none);
  EXPECT_EQ(decodeSceneItemId(0x00000001u).kind, SceneItemKind::none);
}

TEST(SceneLinkTable, NeverStoresOrReadsOutsideItsEntries) {
  SceneLinkTables tables;
  SceneLinkTable* parents = tables.parentsOf(SceneItemKind::object);
  ASSERT_NE(parents, nullptr);
  parents->set(0, 7);
  parents->set(SceneLinkTable::kCapacity - 1, 9);
  parents->set(SceneLinkTable::kCapacity, 11);
  parents->set(-1, 13);
  EXPECT_EQ(parents->get(0), 7);
  EXPECT_EQ(parents->get(SceneLinkTable::kCapacity - 1), 9);
  EXPECT_EQ(parents->get(SceneLinkTable::kCapacity), -1);
  EXPECT_EQ(parents->get(-1), -1);
  EXPECT_EQ(tables.targetsOf(SceneItemKind::object), nullptr);
  EXPECT_EQ(tables.targetsOf(SceneItemKind::light), &tables.lightTargets);
}

std::string writeTemp(const std::string& text) {
  char name[] = "/tmp/vellumite_lwsc_XXXXXX";
  int fd = mkstemp(name);
  FILE* f = fdopen(fd, "wb");
  std::fputs(text.c_str(), f);
  std::fclose(f);
  return name;
}

TEST(SceneFileVersion, ReadsTheHeaderOrDefaults) {
  struct Case {
    const char* text;
    int version;
    const char* next;
  } cases[] = {{"LWSC\n5\n\nFirstFrame 1\n", 5, "FirstFrame"},
               {"LWSC\r\n3\r\nGridSize 2\r\n", 3, "GridSize"},
               {"GridSize 2\n", 3, "GridSize"}};
  for (const Case& c : cases) {
    std::string path = writeTemp(c.text);
    DataFile file;
    ASSERT_TRUE(file.open(path.c_str(), 1));
    EXPECT_EQ(readSceneFileVersion(file), c.version) << c.text;
    char token[64];
    file.readToken(token, sizeof(token));
    EXPECT_STREQ(token, c.next);
    file.close();
    std::remove(path.c_str());
  }
}

}  // namespace
