// A small test show on disk: one scene file with a red quad sliding from left to right in
// two seconds under white ambient light, seen by the scene's camera. Header only.
#pragma once

#include <string>
#include <vector>

#include "support/scene_files.h"

inline bool writeShowTestScene(const SceneTempDir& dir, const std::string& sceneName = "grand.lws") {
  Scene3dxWriter quad;
  quad.object(1, 1);
  Scene3dxWriter::Material material;
  material.diffuse = 0xFFFF0000u;
  material.doubleSided = 1;
  quad.material(material);
  quad.vertices({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
  quad.triangles({{0, 1, 2}, {0, 2, 3}});
  if (!quad.save(dir.file("quad.3dx"))) return false;
  std::vector<std::vector<SceneKey>> channels = {
      {{-1.5f, 0.0f}, {1.5f, 2.0f}}, {{0, 0}}, {{0, 0}}, {{0, 0}}, {{0, 0}}, {{0, 0}}, {{1, 0}}, {{1, 0}}, {{1, 0}}};
  dir.writeText(sceneName, "LWSC\n3\nLoadObjectLayer 1 quad.lwo\n" + sceneKeyedMotionText("ObjectMotion", channels) +
                               sceneEnvelopeText("AmbientIntensity", {{{0.1f, 0.0f}}}) + "CameraName Cam\n" +
                               sceneItemMotionText("CameraMotion", 0, 0, -5));
  return true;
}
