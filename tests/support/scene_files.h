// Test helpers for scene content: small builders of LightWave scene text on top of the
// shared writers, and a temporary working folder that tests load from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "writers/byte_writer.h"
#include "writers/object_writer.h"
#include "writers/scene_text_writer.h"

// The 3DX writer and little-endian byte building come from the shared writers library.
using Scene3dxWriter = ObjectWriter;
inline void sceneAppendU8(std::vector<std::uint8_t>& out, std::uint8_t v) { appendU8(out, v); }
inline void sceneAppendU16(std::vector<std::uint8_t>& out, std::uint16_t v) { appendU16(out, v); }
inline void sceneAppendU32(std::vector<std::uint8_t>& out, std::uint32_t v) { appendU32(out, v); }
inline void sceneAppendFloat(std::vector<std::uint8_t>& out, float v) { appendFloat(out, v); }
inline void sceneAppendString(std::vector<std::uint8_t>& out, const std::string& s) { appendString(out, s); }

// A motion block ("ObjectMotion" and the like) whose channels each hold one constant key.
std::string sceneMotionText(const std::string& keyword, const std::vector<float>& channelValues);
// A motion block with keyed channels; behaviours default to constant (1, 1).
std::string sceneKeyedMotionText(const std::string& keyword, const std::vector<std::vector<SceneKey>>& channels);
// Object, camera and light motion of nine channels: position, heading/pitch/bank (radians), scale.
std::string sceneItemMotionText(const std::string& keyword, float x, float y, float z, float h = 0, float p = 0,
                                float b = 0, float sx = 1, float sy = 1, float sz = 1);
// An envelope block for "LightColor" and the like, one block per channel.
std::string sceneEnvelopeText(const std::string& keyword, const std::vector<std::vector<SceneKey>>& channels);

// A fresh folder under the system's temporary folder that becomes the working directory
// while the object lives; the previous working directory and the folder's removal follow.
class SceneTempDir {
 public:
  SceneTempDir();
  ~SceneTempDir();
  SceneTempDir(const SceneTempDir&) = delete;
  SceneTempDir& operator=(const SceneTempDir&) = delete;

  const std::string& path() const { return dir; }
  // Writes text to a file in the folder and returns its full path.
  std::string writeText(const std::string& name, const std::string& text) const;
  std::string file(const std::string& name) const { return dir + "/" + name; }

 private:
  std::string dir;
  std::string previous;
};
