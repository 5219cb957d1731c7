// Particle systems: a render node holding a cloud of particle positions drawn as
// billboards, and the process-wide pseudo-random sequence the effects draw from.
#pragma once

#include <cstdint>

#include "math/camera.h"
#include "math/vector3.h"
#include "scene/render_node.h"

// The C library's classic generator: state = state * 214013 + 2531011, value = bits 16..30
// of the new state (0..32767). Seeded with 1 at start and never reseeded, so every run
// draws the same sequence.
int particleRandom();
// Restarts the sequence (tests).
void seedParticleRandom(std::uint32_t seed);

class ParticleSystem : public RenderNode {
 public:
  explicit ParticleSystem(GraphicsDriver* driver);
  // Deletes the particles, then the render node releases buffers and materials.
  ~ParticleSystem() override;

  virtual void setPosition(const Vector3& base);
  // Appends n particles at (0, 0, 0); false (and nothing added) when storage runs out.
  virtual bool addParticles(int n);
  // Draws every particle as a billboard of `size` with the current material.
  virtual void animate(float time, Camera* frameCamera);

  Vector3** particles;
  Vector3 position;
  // Particle size scale; the drawing object sets it to its x scale.
  float size;
  int particleCount;
};
