// Evaluation of motions at a scene time: object, bone, light and camera matrices along
// the parent chain, scalar and colour values. Every evaluation is cached by time.
#pragma once

#include "loading/motion.h"
#include "math/matrix4.h"

// A light or camera evaluated for a child or an aiming camera gets this cachedTime, so
// that its next ordinary evaluation recomputes (bit pattern 0xC2F78937).
constexpr float kMotionStaleTime = -123.76799774169922f;

// True when the motion was recomputed, false when the cached result stands (or the motion
// is null or of an unknown type). asParent: evaluated for a child or an aiming camera.
bool evaluateMotion(Motion* motion, float time, bool asParent);

// The parts evaluateMotion dispatches to.
bool evaluateObjectMotion(Motion* motion, float time);
bool evaluateLightMotion(Motion* motion, float time, bool asParent);
bool evaluateCameraMotion(Motion* motion, float time, bool asParent);
bool evaluateScalarMotion(Motion* motion, float time);
bool evaluateColorMotion(Motion* motion, float time);
// Makes a bone's restMatrix relative to the object (through its parent bones) and
// computes inverseRestMatrix.
void prepareBoneRest(Motion* motion);

// General 4x4 inverse; m is destroyed. False for a singular matrix.
bool invertMatrix(Matrix4& m, Matrix4& out);
// out = rotation about Y by angle radians.
void setRotationY(Matrix4& out, float angle);
