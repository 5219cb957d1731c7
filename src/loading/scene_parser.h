// Pieces of the LightWave scene file reader that need no scene: the file header and its
// version, item ids, and the per-load link tables of parents and targets.
#pragma once

#include <cstdint>

class DataFile;

// Kinds of items, as numbered in the top four bits of an item id.
enum class SceneItemKind : int { none = 0, object = 1, light = 2, camera = 3, bone = 4 };

// A decoded item id: objects, lights and cameras carry their list index in bits 0-27;
// bones carry their number among their object's bones (bits 16-27) and the object's
// index (bits 0-15).
struct SceneItemId {
  SceneItemKind kind = SceneItemKind::none;
  std::uint32_t index = 0;
  std::uint32_t boneNumber = 0;
};

SceneItemId decodeSceneItemId(std::uint32_t id);

// Scene files without a version header are read as this version.
constexpr int kSceneFileDefaultVersion = 3;
// Versions from this one on write an item id after the layer of "LoadObjectLayer" and
// after "AddNullObject", "AddLight", "AddCamera" and "AddBone".
constexpr int kSceneFileItemIdVersion = 4;

// Reads the "LWSC" header and its version from the start of the file, leaving the file
// after it. A file that does not start with "LWSC" is rewound and counts as version 3.
int readSceneFileVersion(DataFile& file);

// Holds one link per item index of one kind, -1 where none is set. Indices outside the
// table are never stored and read back as -1.
class SceneLinkTable {
 public:
  static constexpr int kCapacity = 4096;

  SceneLinkTable() { clear(); }
  void clear() {
    for (std::int32_t& e : entries) e = -1;
  }
  void set(int index, std::int32_t value) {
    if (index >= 0 && index < kCapacity) entries[index] = value;
  }
  std::int32_t get(int index) const { return index >= 0 && index < kCapacity ? entries[index] : -1; }

 private:
  std::int32_t entries[kCapacity];
};

// The six tables of one load: parent ids of every kind, target object indices of
// cameras and lights.
struct SceneLinkTables {
  SceneLinkTable objectParents;
  SceneLinkTable lightParents;
  SceneLinkTable cameraParents;
  SceneLinkTable boneParents;
  SceneLinkTable cameraTargets;
  SceneLinkTable lightTargets;

  SceneLinkTable* parentsOf(SceneItemKind kind);
  SceneLinkTable* targetsOf(SceneItemKind kind);
};
