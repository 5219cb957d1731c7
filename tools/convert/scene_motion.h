// Motions of a converted scene: glTF node transforms evaluated at any time, turned into the
// program's axes and its heading/pitch/bank channels, and baked into keys of the shapes
// the program reads (linear and stepped) with a checked error bound.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "gltf_document.h"
#include "writers/scene_text_writer.h"

namespace convert {

// A 4x4 matrix as the program uses them: row-major, points as row vectors multiplied on the
// left, translation in elements 12, 13, 14; A × B applies A first.
struct Mat4 {
  std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  double& operator()(int r, int c) { return m[static_cast<std::size_t>(4 * r + c)]; }
  double operator()(int r, int c) const { return m[static_cast<std::size_t>(4 * r + c)]; }
};
Mat4 operator*(const Mat4& a, const Mat4& b);
Mat4 inverse(const Mat4& a);  // of a rotation, scale and translation
Mat4 rotationX(double a);     // the program's Rx, Ry, Rz
Mat4 rotationY(double a);
Mat4 rotationZ(double a);
Mat4 translation(double x, double y, double z);
Mat4 scaling(double x, double y, double z);

// An item's channels as the program keeps them: position x, y, z; heading, pitch, bank in
// radians; scale x, y, z.
using Channels = std::array<double, 9>;

// The program's matrix of channels: Rz(b) × Rx(p) × Ry(h) × S × T (objects, bones, cameras).
Mat4 channelMatrix(const Channels& c);
// Channels of a matrix, the angles chosen nearest to `previous` (no flips at pitch ±90°,
// no jumps of a full turn). Scale is read from the rows' lengths.
Channels matrixChannels(const Mat4& m, const Channels& previous);
// A light's heading and pitch for a direction (the program turns lights by heading before
// pitch), nearest to the previous ones.
std::array<double, 2> lightAngles(const std::array<double, 3>& direction, const std::array<double, 2>& previous);

// The transform of a node at a time under a set of animations, in the program's axes
// (z mirrored), positions multiplied by `scale`.
class NodeAnimator {
 public:
  NodeAnimator(const GltfDocument& document, const std::vector<int>& animations, double scale);
  Mat4 local(int node, double time) const;  // relative to the node's parent
  Mat4 world(int node, double time) const;
  Mat4 restLocal(int node) const;  // without animation
  Mat4 restWorld(int node) const;
  // Key times of the samplers that move any of the nodes, and those of stepped samplers.
  void keyTimes(const std::vector<int>& nodes, std::vector<double>& times, std::vector<double>& steps) const;
  double endTime() const { return end; }

 private:
  struct Track {
    const GltfSampler* sampler;
    AnimatedPath path;
  };
  Mat4 fromTrs(const Vec3& t, const Quat& q, const Vec3& s) const;
  const GltfDocument& doc;
  double positionScale;
  std::vector<std::vector<Track>> tracks;  // per node
  double end = 0.0;
};

struct BakeReport {
  int keys = 0;
  double worstAngle = 0.0;     // radians, at the checked points
  double worstPosition = 0.0;  // units
  double worstScale = 0.0;
};

// Keys for an item whose matrix `at` gives at any time: at the given key times (stepped at
// `steps`), with keys added where the program's linear interpolation of the channels
// strays from the matrix by more than a hundredth of a degree or a ten-thousandth of a
// unit at a quarter, half or three quarters of a span (down to spans of 1/960 s). The
// result has 9 channels.
std::vector<SceneChannel> bakeMotion(const std::function<Mat4(double)>& at, std::vector<double> times,
                                     const std::vector<double>& steps, BakeReport& report);

}  // namespace convert
