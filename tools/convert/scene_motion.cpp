// Matrix arithmetic in the program's conventions, glTF sampler evaluation (linear with
// spherical rotation, stepped, cubic spline) and the baking of keys.
#include "scene_motion.h"

#include <algorithm>
#include <cmath>

namespace convert {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kAngleTolerance = 0.01 * kPi / 180.0;
constexpr double kPositionTolerance = 1e-4;
constexpr double kScaleTolerance = 1e-4;
constexpr double kShortestSpan = 1.0 / 960.0;

double unwrap(double angle, double reference) {
  return angle + 2.0 * kPi * std::round((reference - angle) / (2.0 * kPi));
}

// The sampler's value at a time: `components` numbers into out.
void sample(const GltfSampler& s, AnimatedPath path, double t, double* out) {
  const int n = s.components;
  const bool cubic = s.interpolation == Interpolation::cubicSpline;
  const std::size_t keyWidth = static_cast<std::size_t>(n) * (cubic ? 3 : 1);
  auto value = [&](std::size_t k, int c) {
    return s.values[k * keyWidth + (cubic ? static_cast<std::size_t>(n) : 0) + static_cast<std::size_t>(c)];
  };
  const std::size_t count = s.times.size();
  if (count == 0) return;
  if (t <= s.times.front() || count == 1) {
    for (int c = 0; c < n; ++c) out[c] = value(0, c);
    return;
  }
  if (t >= s.times.back()) {
    for (int c = 0; c < n; ++c) out[c] = value(count - 1, c);
    return;
  }
  const std::size_t k =
      static_cast<std::size_t>(std::upper_bound(s.times.begin(), s.times.end(), t) - s.times.begin()) - 1;
  const double dt = s.times[k + 1] - s.times[k];
  const double u = dt > 0 ? (t - s.times[k]) / dt : 0.0;
  if (s.interpolation == Interpolation::step) {
    for (int c = 0; c < n; ++c) out[c] = value(k, c);
  } else if (cubic) {
    const double u2 = u * u, u3 = u2 * u;
    const double h00 = 2 * u3 - 3 * u2 + 1, h10 = u3 - 2 * u2 + u, h01 = -2 * u3 + 3 * u2, h11 = u3 - u2;
    for (int c = 0; c < n; ++c) {
      const double outTangent = s.values[k * keyWidth + 2 * static_cast<std::size_t>(n) + static_cast<std::size_t>(c)];
      const double inTangent = s.values[(k + 1) * keyWidth + static_cast<std::size_t>(c)];
      out[c] = h00 * value(k, c) + h10 * dt * outTangent + h01 * value(k + 1, c) + h11 * dt * inTangent;
    }
  } else if (path == AnimatedPath::rotation) {
    double a[4], b[4];
    for (int c = 0; c < 4; ++c) a[c] = value(k, c), b[c] = value(k + 1, c);
    double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (dot < 0) {  // the shorter way round
      for (double& v : b) v = -v;
      dot = -dot;
    }
    double wa = 1 - u, wb = u;
    if (dot < 0.9995) {
      const double theta = std::acos(std::min(1.0, dot));
      wa = std::sin((1 - u) * theta) / std::sin(theta);
      wb = std::sin(u * theta) / std::sin(theta);
    }
    for (int c = 0; c < 4; ++c) out[c] = wa * a[c] + wb * b[c];
  } else {
    for (int c = 0; c < n; ++c) out[c] = value(k, c) + (value(k + 1, c) - value(k, c)) * u;
  }
  if (path == AnimatedPath::rotation) {
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2] + out[3] * out[3]);
    if (length > 0)
      for (int c = 0; c < 4; ++c) out[c] /= length;
  }
}

Mat4 rotationPart(const Channels& c) { return rotationZ(c[5]) * rotationX(c[4]) * rotationY(c[3]); }

double angleBetween(const Mat4& a, const Mat4& b) {
  double trace = 0;
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) trace += a(i, k) * b(i, k);
  return std::acos(std::clamp((trace - 1.0) / 2.0, -1.0, 1.0));
}

struct Key {
  double time;
  int shape;
  Channels c;
};

}  // namespace

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a(i, k) * b(k, j);
      r(i, j) = sum;
    }
  return r;
}

Mat4 inverse(const Mat4& a) {
  // General 3x3 inverse (rotation and scale) and the translation carried through it.
  Mat4 r;
  const double det = a(0, 0) * (a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1)) -
                     a(0, 1) * (a(1, 0) * a(2, 2) - a(1, 2) * a(2, 0)) +
                     a(0, 2) * (a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0));
  const double d = det != 0 ? 1.0 / det : 0.0;
  r(0, 0) = (a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1)) * d;
  r(0, 1) = (a(0, 2) * a(2, 1) - a(0, 1) * a(2, 2)) * d;
  r(0, 2) = (a(0, 1) * a(1, 2) - a(0, 2) * a(1, 1)) * d;
  r(1, 0) = (a(1, 2) * a(2, 0) - a(1, 0) * a(2, 2)) * d;
  r(1, 1) = (a(0, 0) * a(2, 2) - a(0, 2) * a(2, 0)) * d;
  r(1, 2) = (a(0, 2) * a(1, 0) - a(0, 0) * a(1, 2)) * d;
  r(2, 0) = (a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0)) * d;
  r(2, 1) = (a(0, 1) * a(2, 0) - a(0, 0) * a(2, 1)) * d;
  r(2, 2) = (a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0)) * d;
  for (int j = 0; j < 3; ++j) r(3, j) = -(a(3, 0) * r(0, j) + a(3, 1) * r(1, j) + a(3, 2) * r(2, j));
  return r;
}

Mat4 rotationX(double a) {
  Mat4 r;
  r(1, 1) = std::cos(a), r(1, 2) = std::sin(a), r(2, 1) = -std::sin(a), r(2, 2) = std::cos(a);
  return r;
}
Mat4 rotationY(double a) {
  Mat4 r;
  r(0, 0) = std::cos(a), r(0, 2) = -std::sin(a), r(2, 0) = std::sin(a), r(2, 2) = std::cos(a);
  return r;
}
Mat4 rotationZ(double a) {
  Mat4 r;
  r(0, 0) = std::cos(a), r(0, 1) = std::sin(a), r(1, 0) = -std::sin(a), r(1, 1) = std::cos(a);
  return r;
}
Mat4 translation(double x, double y, double z) {
  Mat4 r;
  r(3, 0) = x, r(3, 1) = y, r(3, 2) = z;
  return r;
}
Mat4 scaling(double x, double y, double z) {
  Mat4 r;
  r(0, 0) = x, r(1, 1) = y, r(2, 2) = z;
  return r;
}

Mat4 channelMatrix(const Channels& c) {
  return rotationPart(c) * scaling(c[6], c[7], c[8]) * translation(c[0], c[1], c[2]);
}

Channels matrixChannels(const Mat4& m, const Channels& previous) {
  Channels out = previous;
  out[0] = m(3, 0), out[1] = m(3, 1), out[2] = m(3, 2);
  double r[3][3];
  double s[3];
  for (int i = 0; i < 3; ++i) {
    s[i] = std::sqrt(m(i, 0) * m(i, 0) + m(i, 1) * m(i, 1) + m(i, 2) * m(i, 2));
    for (int j = 0; j < 3; ++j) r[i][j] = s[i] > 0 ? m(i, j) / s[i] : (i == j ? 1.0 : 0.0);
  }
  const double det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                     r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                     r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
  if (det < 0) {
    s[0] = -s[0];
    for (double& v : r[0]) v = -v;
  }
  for (int i = 0; i < 3; ++i) out[static_cast<std::size_t>(6 + i)] = s[i];
  // R = Rz(b) × Rx(p) × Ry(h): row 2 is (cos p sin h, -sin p, cos p cos h); column 1 of rows 0
  // and 1 is (sin b cos p, cos b cos p).
  const double sinPitch = std::clamp(-r[2][1], -1.0, 1.0);
  const double cosPitch = std::sqrt(r[2][0] * r[2][0] + r[2][2] * r[2][2]);
  const double h0 = previous[3], p0 = previous[4], b0 = previous[5];
  if (cosPitch < 1e-6) {
    // Looking straight up or down: heading and bank turn about one axis; bank stays.
    const double b = b0;
    const double h = sinPitch > 0 ? b + std::atan2(-r[0][2], r[0][0]) : std::atan2(-r[0][2], r[0][0]) - b;
    out[3] = unwrap(h, h0);
    out[4] = unwrap(sinPitch > 0 ? kPi / 2 : -kPi / 2, p0);
    out[5] = b;
    return out;
  }
  const double p = std::atan2(sinPitch, cosPitch);
  const double h = std::atan2(r[2][0], r[2][2]);
  const double b = std::atan2(r[0][1], r[1][1]);
  // The same rotation as (h + pi, pi - p, b + pi): take whichever lies nearer.
  const std::array<double, 3> first = {unwrap(h, h0), unwrap(p, p0), unwrap(b, b0)};
  const std::array<double, 3> second = {unwrap(h + kPi, h0), unwrap(kPi - p, p0), unwrap(b + kPi, b0)};
  auto distance = [&](const std::array<double, 3>& a) {
    return std::fabs(a[0] - h0) + std::fabs(a[1] - p0) + std::fabs(a[2] - b0);
  };
  const std::array<double, 3>& chosen = distance(first) <= distance(second) ? first : second;
  out[3] = chosen[0], out[4] = chosen[1], out[5] = chosen[2];
  return out;
}

std::array<double, 2> lightAngles(const std::array<double, 3>& d, const std::array<double, 2>& previous) {
  // Direction (0, 0, 1) × Rz(b) × Ry(h) × Rx(p) = (sin h, -cos h sin p, cos h cos p).
  const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(length > 0)) return previous;
  const double x = d[0] / length, y = d[1] / length, z = d[2] / length;
  const double h = std::asin(std::clamp(x, -1.0, 1.0));
  const double across = std::sqrt(y * y + z * z);
  if (across < 1e-9) return {unwrap(h, previous[0]), previous[1]};
  const double p = std::atan2(-y, z);
  const std::array<double, 2> first = {unwrap(h, previous[0]), unwrap(p, previous[1])};
  const std::array<double, 2> second = {unwrap(kPi - h, previous[0]), unwrap(p + kPi, previous[1])};
  auto distance = [&](const std::array<double, 2>& a) {
    return std::fabs(a[0] - previous[0]) + std::fabs(a[1] - previous[1]);
  };
  return distance(first) <= distance(second) ? first : second;
}

NodeAnimator::NodeAnimator(const GltfDocument& document, const std::vector<int>& animations, double scale)
    : doc(document), positionScale(scale), tracks(document.nodes.size()) {
  for (int a : animations) {
    const GltfAnimation& animation = doc.animations[static_cast<std::size_t>(a)];
    for (const GltfChannel& channel : animation.channels) {
      const GltfSampler& s = animation.samplers[static_cast<std::size_t>(channel.sampler)];
      tracks[static_cast<std::size_t>(channel.node)].push_back({&s, channel.path});
      if (!s.times.empty()) end = std::max(end, s.times.back());
    }
  }
}

Mat4 NodeAnimator::fromTrs(const Vec3& t, const Quat& q, const Vec3& s) const {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                          {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                          {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  // glTF's column matrix T R S, transposed for row vectors and with z mirrored on both sides.
  const double f[3] = {1, 1, -1};
  Mat4 out;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out(i, j) = f[i] * r[j][i] * s[static_cast<std::size_t>(i)] * f[j];
  out(3, 0) = t[0] * positionScale, out(3, 1) = t[1] * positionScale, out(3, 2) = -t[2] * positionScale;
  return out;
}

Mat4 NodeAnimator::restLocal(int node) const {
  const GltfNode& n = doc.nodes[static_cast<std::size_t>(node)];
  return fromTrs(n.translation, n.rotation, n.scale);
}

Mat4 NodeAnimator::local(int node, double time) const {
  const GltfNode& n = doc.nodes[static_cast<std::size_t>(node)];
  Vec3 t = n.translation, s = n.scale;
  Quat q = n.rotation;
  for (const Track& track : tracks[static_cast<std::size_t>(node)]) {
    double v[4];
    sample(*track.sampler, track.path, time, v);
    if (track.path == AnimatedPath::translation)
      t = {v[0], v[1], v[2]};
    else if (track.path == AnimatedPath::scale)
      s = {v[0], v[1], v[2]};
    else
      q = {v[0], v[1], v[2], v[3]};
  }
  return fromTrs(t, q, s);
}

Mat4 NodeAnimator::world(int node, double time) const {
  Mat4 m = local(node, time);
  for (int p = doc.nodes[static_cast<std::size_t>(node)].parent; p >= 0;
       p = doc.nodes[static_cast<std::size_t>(p)].parent)
    m = m * local(p, time);
  return m;
}

Mat4 NodeAnimator::restWorld(int node) const {
  Mat4 m = restLocal(node);
  for (int p = doc.nodes[static_cast<std::size_t>(node)].parent; p >= 0;
       p = doc.nodes[static_cast<std::size_t>(p)].parent)
    m = m * restLocal(p);
  return m;
}

void NodeAnimator::keyTimes(const std::vector<int>& nodes, std::vector<double>& times,
                            std::vector<double>& steps) const {
  for (int node : nodes)
    for (const Track& track : tracks[static_cast<std::size_t>(node)]) {
      times.insert(times.end(), track.sampler->times.begin(), track.sampler->times.end());
      if (track.sampler->interpolation == Interpolation::step && track.sampler->times.size() > 1)
        steps.insert(steps.end(), track.sampler->times.begin() + 1, track.sampler->times.end());
    }
}

std::vector<SceneChannel> bakeMotion(const std::function<Mat4(double)>& at, std::vector<double> times,
                                     const std::vector<double>& steps, BakeReport& report) {
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end(), [](double a, double b) { return std::fabs(a - b) < 1e-7; }),
              times.end());
  if (times.empty()) times.push_back(0.0);
  // A stepped change: a linear key just before it, then the stepped key.
  std::vector<std::pair<double, int>> base;
  for (std::size_t i = 0; i < times.size(); ++i) {
    const double t = times[i];
    const bool stepped =
        i > 0 && std::any_of(steps.begin(), steps.end(), [t](double s) { return std::fabs(s - t) < 1e-7; });
    if (stepped) base.push_back({t - std::min(1e-3, (t - times[i - 1]) / 4), 3});
    base.push_back({t, stepped ? 4 : 3});
  }

  std::vector<Key> keys;
  keys.push_back({base[0].first, 3, matrixChannels(at(base[0].first), Channels{0, 0, 0, 0, 0, 0, 1, 1, 1})});
  // Channels between two keys as the program interpolates them, against the matrix.
  auto spanError = [&](const Key& left, const Key& right, double& angle, double& position, double& scale) {
    angle = position = scale = 0;
    for (double u : {0.25, 0.5, 0.75}) {
      const double t = left.time + (right.time - left.time) * u;
      const Channels truth = matrixChannels(at(t), left.c);
      Channels mix;
      for (std::size_t k = 0; k < 9; ++k)
        mix[k] = right.shape == 4 ? left.c[k] : left.c[k] + (right.c[k] - left.c[k]) * u;
      angle = std::max(angle, angleBetween(rotationPart(truth), rotationPart(mix)));
      for (int k = 0; k < 3; ++k) {
        position = std::max(position, std::fabs(truth[static_cast<std::size_t>(k)] - mix[static_cast<std::size_t>(k)]));
        scale =
            std::max(scale, std::fabs(truth[static_cast<std::size_t>(6 + k)] - mix[static_cast<std::size_t>(6 + k)]));
      }
    }
  };
  std::function<void(double, int)> bakeSpan = [&](double time, int shape) {
    const Key left = keys.back();
    const Key right{time, shape, matrixChannels(at(time), left.c)};
    double angle, position, scale;
    spanError(left, right, angle, position, scale);
    const bool close = angle <= kAngleTolerance && position <= kPositionTolerance && scale <= kScaleTolerance;
    if (close || shape == 4 || time - left.time < 2 * kShortestSpan) {
      if (shape != 4) {
        report.worstAngle = std::max(report.worstAngle, angle);
        report.worstPosition = std::max(report.worstPosition, position);
        report.worstScale = std::max(report.worstScale, scale);
      }
      keys.push_back(right);
      return;
    }
    bakeSpan((left.time + time) / 2, 3);
    bakeSpan(time, shape);
  };
  for (std::size_t i = 1; i < base.size(); ++i) bakeSpan(base[i].first, base[i].second);

  std::vector<SceneChannel> channels(9);
  for (const Key& key : keys)
    for (std::size_t k = 0; k < 9; ++k)
      channels[k].keys.push_back(SceneKey{static_cast<float>(key.c[k]), static_cast<float>(key.time), key.shape});
  report.keys += static_cast<int>(keys.size());
  return channels;
}

}  // namespace convert
