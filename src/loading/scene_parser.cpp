// Scene file header, item ids and link tables of the LightWave scene reader.
#include "loading/scene_parser.h"

#include <cstring>

#include "loading/data_file.h"

SceneItemId decodeSceneItemId(std::uint32_t id) {
  SceneItemId out;
  std::uint32_t kind = id >> 28;
  switch (kind) {
    case 1:
    case 2:
    case 3:
      out.kind = static_cast<SceneItemKind>(kind);
      out.index = id & 0x0FFFFFFFu;
      break;
    case 4:
      out.kind = SceneItemKind::bone;
      out.boneNumber = (id >> 16) & 0x0FFFu;
      out.index = id & 0xFFFFu;
      break;
    default:
      break;
  }
  return out;
}

int readSceneFileVersion(DataFile& file) {
  std::uint32_t start = file.position;
  char token[512];
  file.readToken(token, sizeof(token));
  if (std::strcmp(token, "LWSC") != 0) {
    file.seek(static_cast<std::int32_t>(start), 0);
    return kSceneFileDefaultVersion;
  }
  return file.readInt();
}

SceneLinkTable* SceneLinkTables::parentsOf(SceneItemKind kind) {
  switch (kind) {
    case SceneItemKind::object:
      return &objectParents;
    case SceneItemKind::light:
      return &lightParents;
    case SceneItemKind::camera:
      return &cameraParents;
    case SceneItemKind::bone:
      return &boneParents;
    default:
      return nullptr;
  }
}

SceneLinkTable* SceneLinkTables::targetsOf(SceneItemKind kind) {
  switch (kind) {
    case SceneItemKind::camera:
      return &cameraTargets;
    case SceneItemKind::light:
      return &lightTargets;
    default:
      return nullptr;
  }
}
