// Test helpers for scene content: a writer of 3DX object files, small builders of
// LightWave scene text, and a temporary working folder that tests load from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Builds a 3DX object file chunk by chunk; the bytes can be saved or edited before saving.
class Scene3dxWriter {
 public:
  struct Material {
    std::uint32_t diffuse = 0xFFC0C0C0;
    std::uint32_t specular = 0xFF808080;
    float transparency = 0.0f;
    float reserved[2] = {0.0f, 0.0f};
    std::uint8_t doubleSided = 0;
    std::uint8_t reservedFlag = 0;
    std::uint8_t smoothing = 1;
    // Colour, additive, reflection, alpha and base map names; "(none)" when unused.
    std::array<std::string, 5> textures = {"(none)", "(none)", "(none)", "(none)", "(none)"};
  };
  struct WeightMap {
    std::string name;
    std::vector<float> values;
  };

  Scene3dxWriter();

  void object(int groupCount, int layer);
  void material(const Material& m);
  // Positions (x, y, z per vertex) and, per vertex, texSets pairs of (u, v) in uv.
  void vertices(const std::vector<std::array<float, 3>>& positions, int texSets = 0,
                const std::vector<float>& uv = {});
  void triangles(const std::vector<std::array<std::uint16_t, 3>>& tris);
  void weights(const std::vector<WeightMap>& maps);
  // Any chunk with the given id and data, written as is.
  void chunk(const char* id, const std::vector<std::uint8_t>& data);
  // A chunk whose length field claims more or fewer bytes than the data holds.
  void chunkWithLength(const char* id, std::uint32_t length, const std::vector<std::uint8_t>& data);

  bool save(const std::string& path) const;

  std::vector<std::uint8_t> bytes;
};

// Little-endian byte building for chunk data.
void sceneAppendU8(std::vector<std::uint8_t>& out, std::uint8_t v);
void sceneAppendU16(std::vector<std::uint8_t>& out, std::uint16_t v);
void sceneAppendU32(std::vector<std::uint8_t>& out, std::uint32_t v);
void sceneAppendFloat(std::vector<std::uint8_t>& out, float v);
void sceneAppendString(std::vector<std::uint8_t>& out, const std::string& s);  // with its NUL

// A motion block ("ObjectMotion" and the like) whose channels each hold one constant key.
std::string sceneMotionText(const std::string& keyword, const std::vector<float>& channelValues);
// One key of a keyed channel: value at time, linear (shape 3) unless given.
struct SceneKey {
  float value;
  float time;
  int shape = 3;
};
// A motion block with keyed channels; behaviours default to constant (1, 1).
std::string sceneKeyedMotionText(const std::string& keyword, const std::vector<std::vector<SceneKey>>& channels);
// Object, camera and light motion of nine channels: position, heading/pitch/bank (radians), scale.
std::string sceneItemMotionText(const std::string& keyword, float x, float y, float z, float h = 0,
                                float p = 0, float b = 0, float sx = 1, float sy = 1, float sz = 1);
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
