// Particle system base: particle storage and plain billboard drawing.
#include "scene/particle_system.h"

#include "gfx/heap_array.h"
#include "shell/memory_tracker.h"

namespace {
std::uint32_t randomState = 1;
}  // namespace

int particleRandom() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7fffu);
}

void seedParticleRandom(std::uint32_t seed) { randomState = seed; }

ParticleSystem::ParticleSystem(GraphicsDriver* driver)
    : RenderNode(nullptr), particles(nullptr), position{0.0f, 0.0f, 0.0f}, size(1.0f), particleCount(0) {
  if (driver != nullptr) addDriver(driver);
}

ParticleSystem::~ParticleSystem() {
  for (int i = 0; i < particleCount; ++i) delete particles[i];
  freeHeapArray(particles);
  particleCount = 0;
}

void ParticleSystem::setPosition(const Vector3& base) { position = base; }

bool ParticleSystem::addParticles(int n) {
  if (n < 0) return false;
  if (n == 0) return true;
  if (!resizeHeapArray(particles, static_cast<std::size_t>(particleCount) + static_cast<std::size_t>(n))) {
    return false;
  }
  for (int i = 0; i < n; ++i) particles[particleCount + i] = TRACKED_NEW Vector3{0.0f, 0.0f, 0.0f};
  particleCount += n;
  return true;
}

void ParticleSystem::animate(float, Camera*) {
  for (int i = 0; i < particleCount; ++i) drawBillboard(*particles[i], size);
}
