// Motion evaluation: the time cache, the parent chain, and the matrices of objects,
// bones, lights and cameras; scalar and colour values.
#include "loading/motion_evaluation.h"

#include "math/camera.h"

#include <cmath>

namespace {

// Deeper parent chains than this can only come from a cycle of parents.
constexpr int kMaxParentDepth = 256;
int evaluationDepth = 0;

// a x b: a point passes through a first.
Matrix4 mul(const Matrix4& a, const Matrix4& b) {
  Matrix4 out;
  b.multiply(a, out);
  return out;
}

Matrix4 rotationX(float a) {
  Matrix4 r;
  r.setRotationX(a);
  return r;
}

Matrix4 rotationY(float a) {
  Matrix4 r;
  r.setRotationY(a);
  return r;
}

Matrix4 rotationZ(float a) {
  Matrix4 r;
  r.setRotationZ(a);
  return r;
}

Matrix4 translation(float x, float y, float z) {
  Matrix4 t;
  t.setIdentity();
  t.m[12] = x;
  t.m[13] = y;
  t.m[14] = z;
  return t;
}

Matrix4 scaling(float x, float y, float z) {
  Matrix4 s;
  s.setIdentity();
  s.m[0] = x;
  s.m[5] = y;
  s.m[10] = z;
  return s;
}

// Channel i drives position (0-2), rotation (3-5), scale (6-8).
void evaluateChannels(Motion* motion, float time, int32_t limit) {
  float* fields[9] = {&motion->position[0], &motion->position[1], &motion->position[2],
                      &motion->rotation[0], &motion->rotation[1], &motion->rotation[2],
                      &motion->scale[0],    &motion->scale[1],    &motion->scale[2]};
  const int32_t count = motion->channelCount < limit ? motion->channelCount : limit;
  for (int32_t i = 0; i < count; ++i) *fields[i] = motion->channels[i]->valueAt(time);
}

// The cache rule of objects, bones, cameras and lights: false when the cached result
// stands; otherwise the parent is up to date and the channels are fresh.
bool refreshChannels(Motion* motion, float time, int32_t limit) {
  if (motion->cachedTime == time) {
    if (!motion->parent) return false;
    if (!evaluateMotion(motion->parent, time, true)) return false;
  } else if (motion->parent) {
    evaluateMotion(motion->parent, time, true);
  }
  evaluateChannels(motion, time, limit);
  return true;
}

// Rz(b) x Rx(p) x Ry(h) x T(position): a light's or camera's placement.
Matrix4 placement(const Motion* motion) {
  const float h = motion->rotation[0];
  const float p = motion->rotation[1];
  const float b = motion->rotation[2];
  return mul(
      rotationZ(b),
      mul(rotationX(p), mul(rotationY(h), translation(motion->position[0], motion->position[1], motion->position[2]))));
}

// Where a camera or light aims: the translation row of T(pivot) x the target's matrix,
// i.e. the target item's own origin.
Vector3 aimPoint(const Motion* target) {
  Matrix4 shift = translation(-target->pivot[0], -target->pivot[1], -target->pivot[2]);
  Matrix4 unshift;
  if (!invertMatrix(shift, unshift)) unshift.setIdentity();
  const Matrix4 a = mul(unshift, target->matrix);
  return Vector3{a.m[12], a.m[13], a.m[14]};
}

// Turns a light so that its +Z runs from its position toward its target (bank still
// rolls it about that axis); the translation stays 0. A target at the light's own
// position leaves the matrix as it was.
void aimLight(Motion* light, float time) {
  evaluateMotion(light->target, time, true);
  const Vector3 aim = aimPoint(light->target);
  const Vector3 from{light->position[0], light->position[1], light->position[2]};
  Vector3 f;
  aim.subtract(from, f);
  if (f.x == 0.0f && f.y == 0.0f && f.z == 0.0f) return;
  f.normalize();
  const Vector3 up{0.0f, 1.0f, 0.0f};
  const float upDotF = f.y;
  Vector3 u{up.x - f.x * upDotF, up.y - f.y * upDotF, up.z - f.z * upDotF};
  u.normalize();
  Vector3 r;
  u.cross(f, r);
  Matrix4 aimed;
  aimed.setIdentity();
  aimed.m[0] = r.x;
  aimed.m[1] = r.y;
  aimed.m[2] = r.z;
  aimed.m[4] = u.x;
  aimed.m[5] = u.y;
  aimed.m[6] = u.z;
  aimed.m[8] = f.x;
  aimed.m[9] = f.y;
  aimed.m[10] = f.z;
  light->matrix = mul(rotationZ(light->rotation[2]), aimed);
}

uint32_t truncateToInt(float v) {
  // Truncation toward zero; values beyond the 32-bit range saturate instead of being undefined.
  if (!(v > -2147483648.0f)) return 0x80000000u;
  if (v >= 2147483648.0f) return 0x7FFFFFFFu;
  return static_cast<uint32_t>(static_cast<int32_t>(v));
}

}  // namespace

bool invertMatrix(Matrix4& m, Matrix4& out) { return m.invertMatrix(out); }

void setRotationY(Matrix4& out, float angle) { out.setRotationY(angle); }

bool evaluateObjectMotion(Motion* motion, float time) {
  if (!refreshChannels(motion, time, 9)) return false;
  const float h = motion->rotation[0];
  const float p = motion->rotation[1];
  const float b = motion->rotation[2];
  const Matrix4 t = translation(motion->position[0], motion->position[1], motion->position[2]);
  const Matrix4 placed = motion->parent ? mul(t, motion->parent->matrix) : t;
  const Matrix4 v = translation(-motion->pivot[0], -motion->pivot[1], -motion->pivot[2]);
  const Matrix4 s = scaling(motion->scale[0], motion->scale[1], motion->scale[2]);
  // A point: minus pivot, bank, pitch, heading, scale, position, then the parent's matrix.
  motion->matrix = mul(v, mul(rotationZ(b), mul(rotationX(p), mul(rotationY(h), mul(s, placed)))));
  if (motion->parent) {
    for (int i = 0; i < 3; ++i) motion->scale[i] *= motion->parent->scale[i];
  }
  motion->cachedTime = time;
  return true;
}

// A light or camera evaluated for a child: its placement under its own parent, marked stale so
// that its next ordinary evaluation recomputes its own matrix.
static bool evaluatePlacementForChild(Motion* motion, float time) {
  if (motion->parent) evaluateMotion(motion->parent, time, true);
  evaluateChannels(motion, time, 6);
  motion->matrix = placement(motion);
  motion->cachedTime = kMotionStaleTime;
  return true;
}

bool evaluateLightMotion(Motion* motion, float time, bool asParent) {
  if (asParent) return evaluatePlacementForChild(motion, time);
  if (!refreshChannels(motion, time, 6)) return false;
  if (motion->target) {
    aimLight(motion, time);
  } else {
    const float h = motion->rotation[0];
    const float p = motion->rotation[1];
    const float b = motion->rotation[2];
    Matrix4 base;
    if (motion->parent) {
      base = motion->parent->matrix;
    } else {
      base.setIdentity();
    }
    motion->matrix = mul(rotationZ(b), mul(rotationY(h), mul(rotationX(p), base)));
    // Orientation only: the light takes its position from the position channels.
    motion->matrix.m[12] = motion->matrix.m[13] = motion->matrix.m[14] = 0.0f;
  }
  motion->cachedTime = time;
  return true;
}

bool evaluateCameraMotion(Motion* motion, float time, bool asParent) {
  // No cache test: after an ordinary evaluation at this time matrix holds the view,
  // while a child needs the placement.
  if (asParent) return evaluatePlacementForChild(motion, time);
  if (!refreshChannels(motion, time, 6)) return false;
  const float h = motion->rotation[0];
  const float p = motion->rotation[1];
  const float b = motion->rotation[2];
  // The view matrix: the inverse of the camera's placement.
  const Matrix4 unplaced = mul(translation(-motion->position[0], -motion->position[1], -motion->position[2]),
                               mul(rotationY(-h), mul(rotationX(-p), rotationZ(-b))));
  if (motion->target) {
    evaluateMotion(motion->target, time, true);
    const Vector3 aim = aimPoint(motion->target);
    Camera camera;
    camera.setPosition(motion->position[0], motion->position[1], motion->position[2]);
    camera.lookAt(aim, b);
    camera.update();
    motion->matrix = camera.view;
  } else if (!motion->parent) {
    motion->matrix = unplaced;
  } else {
    // Placed under its parent: the view is the inverse of placement x parent's matrix.
    Matrix4 placed = mul(placement(motion), motion->parent->matrix);
    Matrix4 view;
    motion->matrix = invertMatrix(placed, view) ? view : unplaced;
  }
  motion->cachedTime = time;
  return true;
}

bool evaluateScalarMotion(Motion* motion, float time) {
  if (motion->cachedTime == time) return false;
  if (motion->channelCount >= 1) motion->value = motion->channels[0]->valueAt(time);
  motion->cachedTime = time;
  return true;
}

bool evaluateColorMotion(Motion* motion, float time) {
  if (motion->cachedTime == time) return false;
  const int32_t count = motion->channelCount < 3 ? motion->channelCount : 3;
  for (int32_t i = 0; i < count; ++i) motion->color[i] = motion->channels[i]->valueAt(time);
  motion->packedColor = truncateToInt(255.0f * motion->color[0]) * 65536u +
                        truncateToInt(255.0f * motion->color[1]) * 256u + truncateToInt(255.0f * motion->color[2]);
  motion->cachedTime = time;
  return true;
}

void prepareBoneRest(Motion* motion) {
  Matrix4 parentRest;
  parentRest.setIdentity();
  if (motion->parent) {
    evaluateMotion(motion->parent, 0.0f, true);
    if (motion->parent->type == MotionBone) parentRest = motion->parent->restMatrix;
  }
  motion->restMatrix = mul(motion->restMatrix, parentRest);
  Matrix4 copy = motion->restMatrix;
  // A singular rest pose would leave a half-reduced inverse: use the identity instead.
  if (!invertMatrix(copy, motion->inverseRestMatrix)) motion->inverseRestMatrix.setIdentity();
}

bool evaluateMotion(Motion* motion, float time, bool asParent) {
  if (!motion || evaluationDepth >= kMaxParentDepth) return false;
  ++evaluationDepth;
  bool changed = false;
  switch (motion->type) {
    case MotionObject:
      changed = evaluateObjectMotion(motion, time);
      break;
    case MotionBone:
      if (motion->restReady == 0) {
        motion->restReady = 1;
        prepareBoneRest(motion);
      }
      changed = evaluateObjectMotion(motion, time);
      break;
    case MotionLight:
      changed = evaluateLightMotion(motion, time, asParent);
      break;
    case MotionCamera:
      changed = evaluateCameraMotion(motion, time, asParent);
      break;
    case MotionScalar:
      changed = evaluateScalarMotion(motion, time);
      break;
    case MotionColor:
      changed = evaluateColorMotion(motion, time);
      break;
    default:
      break;
  }
  --evaluationDepth;
  return changed;
}
