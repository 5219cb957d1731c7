// Bone geometry and influence: rest matrix, distance to a bone's segment, raw weights.
#include "loading/bones.h"

#include <cmath>

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

Matrix4 identity() {
  Matrix4 m;
  m.setIdentity();
  return m;
}

Matrix4 rotationX(float a) {
  Matrix4 m = identity();
  float c = std::cos(a), s = std::sin(a);
  m[5] = c;
  m[6] = s;
  m[9] = -s;
  m[10] = c;
  return m;
}

// left x right (a point passes through left first).
Matrix4 product(const Matrix4& left, const Matrix4& right) {
  Matrix4 out;
  right.multiply(left, out);
  return out;
}

}  // namespace

float segmentDistance(const Vector3& a, const Vector3& b, const Vector3& p) {
  Vector3 d{b.x - a.x, b.y - a.y, b.z - a.z};
  Vector3 q{p.x - a.x, p.y - a.y, p.z - a.z};
  float t = d.x * q.x + d.y * q.y + d.z * q.z;
  float dd = d.x * d.x + d.y * d.y + d.z * d.z;
  float qq = q.x * q.x + q.y * q.y + q.z * q.z;
  if (t < 0.0f || dd == 0.0f) return std::sqrt(qq);
  if (t <= dd) {
    float squared = qq - t * (t / dd);
    return squared > 0.0f ? std::sqrt(squared) : 0.0f;  // rounding may dip below 0 on the segment
  }
  Vector3 e{p.x - b.x, p.y - b.y, p.z - b.z};
  return std::sqrt(e.x * e.x + e.y * e.y + e.z * e.z);
}

Matrix4 boneRestMatrix(const float restPosition[3], const float restDirection[3]) {
  Matrix4 heading;
  heading.setRotationY(restDirection[0] * kDegreesToRadians);
  Matrix4 pitch = rotationX(restDirection[1] * kDegreesToRadians);
  Matrix4 bank;
  bank.setRotationZ(restDirection[2] * kDegreesToRadians);
  Matrix4 translation = identity();
  translation[12] = restPosition[0];
  translation[13] = restPosition[1];
  translation[14] = restPosition[2];
  return product(product(product(bank, pitch), heading), translation);
}

Vector3 transformPoint(const Vector3& p, const Matrix4& m) {
  return Vector3{p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
                 p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

Vector3 transformDirection(const Vector3& d, const Matrix4& m) {
  return Vector3{d.x * m[0] + d.y * m[4] + d.z * m[8], d.x * m[1] + d.y * m[5] + d.z * m[9],
                 d.x * m[2] + d.y * m[6] + d.z * m[10]};
}

float boneRawWeight(const BoneInfluence& influence, float distance, float mapValue) {
  float powered = distance;
  int squarings = 0;
  switch (influence.falloffType) {
    case 2:
      squarings = 1;
      break;
    case 3:
      squarings = 2;
      break;
    case 4:
      squarings = 3;
      break;
    case 5:
      squarings = 4;
      break;
    default:
      break;
  }
  if (squarings > 0) {
    powered = distance * distance;
    for (int i = 1; i < squarings; ++i) powered *= powered;
  }
  if (powered == 0.0f) powered += 0.0001f;
  float e = std::sqrt(1.0f / powered);
  if (influence.limitedRange && (e > influence.maxRange || e < influence.minRange)) return 0.0f;
  return mapValue * influence.strength * e;
}

void normalizeBoneWeights(float* const* weights, int linkCount, int vertexCount) {
  for (int v = 0; v < vertexCount; ++v) {
    float sum = 0.0f;
    for (int l = 0; l < linkCount; ++l) sum += weights[l][v];
    if (sum == 0.0f) continue;
    for (int l = 0; l < linkCount; ++l) weights[l][v] /= sum;
  }
}
