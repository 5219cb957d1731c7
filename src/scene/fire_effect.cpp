// The fire effect's set-up, motion, fading and respawning.
#include "scene/fire_effect.h"

#include <cmath>
#include <cstdio>

#include "gfx/material.h"
#include "shell/memory_tracker.h"

namespace {

// R: the next random value reduced to 0..255.
float randomByte() { return static_cast<float>(particleRandom() % 256); }

float limitAlpha(float a) {
  // A fire scaled to nothing divides zero by zero at its base height: that NaN counts as
  // below the range, so the grey level below never converts a NaN to an integer.
  if (!(a >= 0.01f)) return 0.01f;
  if (a > 0.99f) return 0.99f;
  return a;
}

// Frame 0..2 from trunc(i + time) mod 3; one frame per second, neighbours one frame apart.
int framePhase(int index, float time) {
  double t = std::trunc(static_cast<double>(static_cast<float>(index) + time));
  if (!std::isfinite(t)) return 0;
  int phase = static_cast<int>(std::fmod(t, 3.0));
  return phase < 0 ? phase + 3 : phase;
}

}  // namespace

FireEffect::FireEffect(GraphicsDriver* driver)
    : ParticleSystem(driver), setupA(0.0f), setupB(0.0f), frameMaterials{-1, -1, -1, -1, -1, -1} {}

int FireEffect::setup(const Vector3& base, int count, float a, float b) {
  setPosition(base);
  addParticles(count);
  setupA = a;
  setupB = b;
  size = 1.0f;
  for (int i = 0; i < particleCount; ++i) {
    Vector3& p = *particles[i];
    p.x = position.x;
    p.y = position.y + randomByte() / 256.0f * (size * 3.0f);
    p.z = position.z;
  }
  int last = -1;
  for (int k = 0; k < kFrameCount; ++k) {
    char name[32];
    std::snprintf(name, sizeof(name), "fire%d.jpg", k);
    Material* frame = TRACKED_NEW Material();
    frame->setCullMode(0);
    frame->setDepthWrite(false);
    frame->setTransparency(0.5f);
    frame->addLayer(name, 0, kBlendAdd, kAddressWrap, kAddressWrap, nullptr);
    last = addMaterial(frame);
    frameMaterials[k] = last;
  }
  return last;
}

void FireEffect::respawn(Vector3& particle) {
  particle.x = position.x + (randomByte() / 256.0f - 0.5f) * 0.5f * (size * 0.25f);
  particle.y = position.y;
  particle.z = position.z;
}

void FireEffect::animate(float time, Camera*) {
  const float s = size;
  const float by = position.y;
  for (int i = 0; i < particleCount; ++i) {
    Vector3& p = *particles[i];
    int frame;
    float alpha;
    float billboardSize;
    // The zone is decided by the height before the move; alpha and size use the new height.
    if (by + s > p.y) {
      p.x += (randomByte() / 256.0f - 0.5f) * 0.1f * s;
      p.z += (randomByte() / 256.0f - 0.5f) * 0.1f * s;
      p.y += randomByte() / 4096.0f;
      float h = p.y - by;
      frame = framePhase(i, time);
      alpha = limitAlpha((1.0f - h / (3.0f * s)) * 0.125f);
      billboardSize = s * (1.0f - h / (2.5f * s));
    } else {
      p.x += (randomByte() / 256.0f - 0.5f) * 0.011111111f * s;
      p.z += (randomByte() / 256.0f - 0.5f) * 0.011111111f * s;
      p.y += randomByte() / 4096.0f;
      float h = p.y - by;
      frame = framePhase(i, time) + 3;
      alpha = limitAlpha((1.0f - h / (4.0f * s)) * 0.125f);
      billboardSize = s * (h / (1.5f * s));
    }
    Material* m = material(frameMaterials[frame]);
    if (m != nullptr) {
      m->setTransparency(alpha);
      std::uint32_t grey = static_cast<std::uint32_t>(m->transparency * 255.0f);
      m->setDiffuse(grey * 0x01010101u);
      selectMaterial(frameMaterials[frame]);
    }
    // A fire scaled to nothing gives 0 * (0 / 0) at its base: a billboard of no size, not
    // one whose corners are all NaN.
    if (billboardSize != billboardSize) billboardSize = 0.0f;
    Vector3 centre = p;
    drawBillboard(centre, billboardSize);
    if (p.y > by + 3.0f * s) respawn(p);
  }

  // Keep at least half of the fire low: when too few particles are in the lower zone,
  // send the last risen one back to the base.
  int lower = 0;
  int lastRisen = 0;
  for (int i = 0; i < particleCount; ++i) {
    const Vector3& p = *particles[i];
    if (by + s > p.y) {
      ++lower;
    } else if (p.y - by > 0.0f) {
      lastRisen = i;
    }
  }
  if (lower < particleCount / 2) respawn(*particles[lastRisen]);
}
