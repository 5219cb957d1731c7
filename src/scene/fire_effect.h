// The fire effect: particles rising from a base as additive billboards, changing among six
// fire pictures, fading as they climb and sent back to the base three sizes up.
#pragma once

#include "scene/particle_system.h"

class FireEffect : public ParticleSystem {
 public:
  static constexpr int kFrameCount = 6;

  explicit FireEffect(GraphicsDriver* driver);

  // Moves and draws every particle (twice per frame: once per render pass).
  void animate(float time, Camera* frameCamera) override;
  // Places `count` particles above `base`, registers the six frame materials and returns
  // the last one's index. a and b are kept without effect.
  virtual int setup(const Vector3& base, int count, float a, float b);

  float setupA;
  float setupB;
  // Material index of frame k (the picture "fire<k>.jpg").
  int frameMaterials[kFrameCount];

 private:
  void respawn(Vector3& particle);
};
