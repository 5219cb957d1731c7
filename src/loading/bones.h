// Bone geometry and influence: the rest matrix of a bone's rest pose, the distance from
// a vertex to a bone's segment and the raw weight that distance gives.
#pragma once

#include <cstdint>

#include "math/matrix4.h"
#include "math/vector3.h"

// Distance from P to the segment A-B; a segment of zero length measures to A.
float segmentDistance(const Vector3& a, const Vector3& b, const Vector3& p);

// Rz(bank) x Rx(pitch) x Ry(heading) x T(position), with the rest direction given as
// heading, pitch, bank in degrees.
Matrix4 boneRestMatrix(const float restPosition[3], const float restDirection[3]);

// The point (x, y, z, 1) as a row vector times m, translation included.
Vector3 transformPoint(const Vector3& p, const Matrix4& m);
// The direction (x, y, z, 0) times m: the 3x3 part only.
Vector3 transformDirection(const Vector3& d, const Matrix4& m);

// What a bone's weight computation needs from its properties.
struct BoneInfluence {
  float strength = 0.0f;         // already scaled by the rest length when asked to
  std::uint8_t falloffType = 0;  // 2: d^2, 3: d^4, 4: d^8, 5: d^16, others: d
  bool limitedRange = false;
  float minRange = 0.0f;
  float maxRange = 0.0f;
};

// The raw weight of a bone at a distance from its segment: mapValue x strength x
// sqrt(1 / powered distance), where a powered distance of 0 counts as 0.0001; 0 when the
// range is limited and the inverse square root lies outside [minRange, maxRange].
float boneRawWeight(const BoneInfluence& influence, float distance, float mapValue);

// Normalises per vertex: weights[link][vertex] over linkCount links sum to 1 for every
// vertex whose sum is not 0; vertices with all zeros stay zero.
void normalizeBoneWeights(float* const* weights, int linkCount, int vertexCount);
