// What a glTF 2.0 file (.gltf or .glb) says about its scene, read by the converter itself:
// nodes with their rest transforms, animations with their samplers' keys, cameras,
// punctual lights and skins. Meshes and materials are read through the import library.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace convert {

using Vec3 = std::array<double, 3>;
using Quat = std::array<double, 4>;  // x, y, z, w as glTF stores them

struct GltfNode {
  std::string name;
  int parent = -1;
  std::vector<int> children;
  int mesh = -1;
  int skin = -1;
  int camera = -1;
  int light = -1;  // KHR_lights_punctual
  Vec3 translation{0, 0, 0};
  Quat rotation{0, 0, 0, 1};
  Vec3 scale{1, 1, 1};
};

enum class Interpolation { linear, step, cubicSpline };

struct GltfSampler {
  std::vector<double> times;
  std::vector<double> values;  // components per key: 3 or 4, three times that for cubic splines
  int components = 3;
  Interpolation interpolation = Interpolation::linear;
};

enum class AnimatedPath { translation, rotation, scale };

struct GltfChannel {
  int node = -1;
  AnimatedPath path = AnimatedPath::translation;
  int sampler = -1;  // index into the animation's samplers
};

struct GltfAnimation {
  std::string name;
  std::vector<GltfSampler> samplers;
  std::vector<GltfChannel> channels;
  int morphChannels = 0;  // "weights" channels, which objects cannot carry
};

struct GltfCamera {
  std::string name;
  bool perspective = true;
  double yfov = 0.0;         // radians
  double aspectRatio = 0.0;  // 0 when not given
  double znear = 0.1;
};

enum class LightKind { directional, point, spot };

struct GltfLight {
  std::string name;
  LightKind kind = LightKind::point;
  Vec3 colour{1, 1, 1};
  double intensity = 1.0;  // candela (point, spot) or lux (directional)
  double range = 0.0;      // 0: unlimited
  double innerCone = 0.0;
  double outerCone = 0.785398163;
};

struct GltfSkin {
  std::string name;
  std::vector<int> joints;
  int skeleton = -1;
};

struct GltfDocument {
  std::vector<GltfNode> nodes;
  std::vector<int> roots;  // root nodes of the scene shown
  std::vector<GltfAnimation> animations;
  std::vector<GltfCamera> cameras;
  std::vector<GltfLight> lights;
  std::vector<GltfSkin> skins;
};

// False with a message when the file is not glTF 2.0 or its animation data cannot be read.
bool readGltfDocument(const std::string& path, GltfDocument& out, std::string& error);

}  // namespace convert
