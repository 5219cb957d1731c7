// Tests of the fire effect: set-up, per-zone motion, fading and sizes, frame choice,
// respawning, the half-below rule and the fixed random sequence.
#include "scene/fire_effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/material.h"
#include "support/gfx_recording_driver.h"

namespace {

using Names = std::vector<std::string>;

// The same generator, stepped alongside the effect to predict its draws.
struct ReferenceRandom {
  std::uint32_t state = 1;
  int byte() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7fffu) % 256;
  }
  void skip(int n) {
    for (int i = 0; i < n; ++i) byte();
  }
};

const Vector3 kBase{0.0f, 1.5f, -6.5f};

class FireEffectTest : public ::testing::Test {
 protected:
  void SetUp() override { seedParticleRandom(1); }

  // An effect with `count` particles after set-up; the reference has skipped set-up's draws.
  FireEffect* makeFire(int count) {
    fire = std::make_unique<FireEffect>(&driver);
    fire->setup(kBase, count, 1.0f, 3.0f);
    reference.skip(count);
    driver.clearCalls();
    return fire.get();
  }

  // Places particle i at height h above the base.
  void placeAt(int i, float h) {
    fire->particles[i]->x = kBase.x;
    fire->particles[i]->y = kBase.y + h;
    fire->particles[i]->z = kBase.z;
  }

  RecordingGraphicsDriver driver;
  ReferenceRandom reference;
  std::unique_ptr<FireEffect> fire;
};

TEST(ParticleRandomTest, ReproducesTheClassicSequenceFromSeedOne) {
  seedParticleRandom(1);
  EXPECT_EQ(particleRandom(), 41);
  EXPECT_EQ(particleRandom(), 18467);
  EXPECT_EQ(particleRandom(), 6334);
  EXPECT_EQ(particleRandom(), 26500);
}

TEST_F(FireEffectTest, SetupPlacesParticlesAboveTheBaseAndRegistersSixFrames) {
  fire = std::make_unique<FireEffect>(&driver);
  fire->addDriver(&driver);  // held twice, as the object loader does
  EXPECT_EQ(fire->setup(kBase, 45, 1.0f, 3.0f), 5);
  ASSERT_EQ(fire->particleCount, 45);
  EXPECT_EQ(fire->size, 1.0f);
  EXPECT_EQ(fire->setupA, 1.0f);
  EXPECT_EQ(fire->setupB, 3.0f);
  for (int i = 0; i < 45; ++i) {
    const Vector3& p = *fire->particles[i];
    EXPECT_EQ(p.x, kBase.x);
    EXPECT_EQ(p.z, kBase.z);
    float h = p.y - kBase.y;
    EXPECT_NEAR(h, reference.byte() / 256.0f * 3.0f, 1e-5f) << i;
    EXPECT_GE(h, 0.0f);
    EXPECT_LE(h, 2.98828125f + 1e-5f);
  }

  ASSERT_EQ(fire->materialCount, 6);
  for (int k = 0; k < 6; ++k) {
    const Material* frame = fire->material(fire->frameMaterials[k]);
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->depthWrite);
    EXPECT_EQ(frame->depthFunction, 4);
    EXPECT_EQ(frame->cullMode, 0);
    EXPECT_EQ(frame->transparency, 0.5f);
    ASSERT_EQ(frame->layerCount, 1);
    EXPECT_EQ(std::string(frame->layers[0].textureName), "fire" + std::to_string(k) + ".jpg");
    EXPECT_EQ(frame->layers[0].blendMode, kBlendAdd);
    EXPECT_EQ(frame->layers[0].texCoordSource, 0);
    EXPECT_FALSE(frame->layers[0].hasMatrix);
  }
  // The driver held twice still loads each picture once.
  EXPECT_EQ(driver.count("loadTexture"), 6);
}

TEST_F(FireEffectTest, LowerZoneParticleFadesAndShrinksWithItsNewHeight) {
  makeFire(1);
  int rx = reference.byte(), rz = reference.byte(), ry = reference.byte();
  placeAt(0, 0.5f - ry / 4096.0f);  // after its rise the particle stands at height 0.5
  fire->animate(0.0f, nullptr);

  const Vector3& p = *fire->particles[0];
  EXPECT_NEAR(p.x, kBase.x + (rx / 256.0f - 0.5f) * 0.1f, 1e-6f);
  EXPECT_NEAR(p.z, kBase.z + (rz / 256.0f - 0.5f) * 0.1f, 1e-6f);
  EXPECT_NEAR(p.y - kBase.y, 0.5f, 1e-5f);

  auto billboards = driver.callsOf("drawBillboard");
  ASSERT_EQ(billboards.size(), 1u);
  const GfxCall& drawn = billboards[0];
  EXPECT_EQ(drawn.material, fire->material(fire->frameMaterials[0]));
  EXPECT_NEAR(drawn.materialTransparency, (1.0f - 0.5f / 3.0f) * 0.125f, 1e-6f);  // 0.1041667
  EXPECT_EQ(drawn.materialDiffuse, 0x1a1a1a1au);                                  // grey level 26 in all four bytes
  EXPECT_NEAR(drawn.floats[0], 0.8f, 1e-5f);
  EXPECT_NEAR(drawn.point.y, p.y, 1e-6f);
}

TEST_F(FireEffectTest, UpperZoneParticleDriftsLessAndUsesTheLaterFrames) {
  makeFire(1);
  int rx = reference.byte(), rz = reference.byte(), ry = reference.byte();
  placeAt(0, 2.0f - ry / 4096.0f);
  fire->animate(0.0f, nullptr);

  const Vector3& p = *fire->particles[0];
  EXPECT_NEAR(p.x, kBase.x + (rx / 256.0f - 0.5f) * 0.011111111f, 1e-6f);
  EXPECT_NEAR(p.z, kBase.z + (rz / 256.0f - 0.5f) * 0.011111111f, 1e-6f);
  const GfxCall drawn = driver.callsOf("drawBillboard")[0];
  EXPECT_EQ(drawn.material, fire->material(fire->frameMaterials[3]));
  EXPECT_NEAR(drawn.materialTransparency, 0.0625f, 1e-6f);
  EXPECT_EQ(drawn.materialDiffuse, 0x0f0f0f0fu);
  EXPECT_NEAR(drawn.floats[0], 1.3333333f, 1e-5f);
}

TEST_F(FireEffectTest, ZoneIsChosenByTheHeightBeforeTheMove) {
  makeFire(1);
  reference.skip(2);
  int ry = reference.byte();
  ASSERT_GT(ry, 8);  // the rise is enough to cross the zone border
  placeAt(0, 0.999f);
  fire->animate(0.0f, nullptr);
  float h = 0.999f + ry / 4096.0f;
  ASSERT_GT(h, 1.0f);
  const GfxCall drawn = driver.callsOf("drawBillboard")[0];
  EXPECT_EQ(drawn.material, fire->material(fire->frameMaterials[0]));
  EXPECT_NEAR(drawn.materialTransparency, (1.0f - h / 3.0f) * 0.125f, 1e-5f);
  EXPECT_NEAR(drawn.floats[0], 1.0f - h / 2.5f, 1e-5f);
}

TEST_F(FireEffectTest, FramesAdvanceWithTimeAndNeighboursAreOneFrameApart) {
  makeFire(6);
  for (int i = 0; i < 6; ++i) placeAt(i, i == 4 ? 1.5f : 0.0f);  // particle 4 high, the rest low
  auto frameOfDraw = [&](int i) {
    const Material* used = driver.callsOf("drawBillboard")[i].material;
    for (int k = 0; k < 6; ++k) {
      if (fire->material(fire->frameMaterials[k]) == used) return k;
    }
    return -1;
  };
  fire->animate(0.0f, nullptr);
  EXPECT_EQ(frameOfDraw(0), 0);
  EXPECT_EQ(frameOfDraw(1), 1);
  EXPECT_EQ(frameOfDraw(3), 0);
  EXPECT_EQ(frameOfDraw(4), 4);  // upper zone: frame 1 + 3
  driver.clearCalls();
  fire->animate(1.75f, nullptr);
  EXPECT_EQ(frameOfDraw(0), 1);
  EXPECT_EQ(frameOfDraw(2), 0);
  driver.clearCalls();
  fire->animate(-1.5f, nullptr);  // a time before the start still names a valid frame
  EXPECT_EQ(frameOfDraw(0), 2);
  EXPECT_EQ(driver.count("drawBillboard"), 6);
}

TEST_F(FireEffectTest, FireScaledToNothingStillGetsAValidFadeAndAnEmptyBillboard) {
  makeFire(1);
  fire->size = 0.0f;  // the object's x scale is animated from zero
  // A seed whose third draw (the rise) is 0, so the particle stays exactly at the base: 0 / 0.
  std::uint32_t seed = 1;
  for (;; ++seed) {
    seedParticleRandom(seed);
    particleRandom();
    particleRandom();
    if (particleRandom() % 256 == 0) break;
  }
  seedParticleRandom(seed);
  placeAt(0, 0.0f);
  fire->animate(0.0f, nullptr);
  const GfxCall drawn = driver.callsOf("drawBillboard")[0];
  EXPECT_EQ(drawn.materialTransparency, 0.01f);
  EXPECT_EQ(drawn.materialDiffuse, 0x02020202u);
  EXPECT_EQ(drawn.floats[0], 0.0f);  // not NaN
}

TEST_F(FireEffectTest, ParticleAboveThreeSizesIsSentBackToTheBase) {
  makeFire(1);
  fire->size = 2.0f;
  reference.skip(3);
  int respawnX = reference.byte();
  placeAt(0, 6.5f);  // upper zone, still above 3 sizes after the move
  fire->animate(0.0f, nullptr);
  const Vector3& p = *fire->particles[0];
  EXPECT_EQ(p.y, kBase.y);
  EXPECT_EQ(p.z, kBase.z);
  EXPECT_NEAR(p.x, kBase.x + (respawnX / 256.0f - 0.5f) * 0.5f * (2.0f * 0.25f), 1e-6f);
  EXPECT_LE(std::fabs(p.x - kBase.x), 0.0625f * 2.0f);
  // It was drawn where it had risen to, before going back.
  EXPECT_GT(driver.callsOf("drawBillboard")[0].point.y, kBase.y + 6.0f);
}

TEST_F(FireEffectTest, WhenFewerThanHalfAreLowTheLastRisenOneGoesBack) {
  makeFire(4);
  placeAt(0, 0.0f);
  placeAt(1, 1.5f);
  placeAt(2, 1.6f);
  placeAt(3, 1.7f);
  fire->animate(0.0f, nullptr);
  EXPECT_EQ(fire->particles[3]->y, kBase.y);
  EXPECT_GT(fire->particles[1]->y, kBase.y + 1.5f);
  EXPECT_GT(fire->particles[2]->y, kBase.y + 1.6f);

  // With half or more low, nobody is sent back.
  makeFire(4);
  placeAt(0, 0.0f);
  placeAt(1, 0.0f);
  placeAt(2, 1.6f);
  placeAt(3, 1.7f);
  fire->animate(0.0f, nullptr);
  EXPECT_GT(fire->particles[3]->y, kBase.y + 1.7f);
}

TEST_F(FireEffectTest, EveryBindingDrawsEachParticleAfterApplyingItsFrame) {
  fire = std::make_unique<FireEffect>(&driver);
  fire->addDriver(&driver);
  fire->setup(kBase, 45, 1.0f, 3.0f);
  driver.clearCalls();
  fire->animate(0.0f, nullptr);
  EXPECT_EQ(driver.count("drawBillboard"), 90);
  EXPECT_EQ(driver.count("applyMaterialPass"), 90);
  Names order = driver.sequence();
  for (std::size_t i = 0; i + 3 < order.size(); i += 4) {
    EXPECT_EQ(order[i], "applyMaterialPass");
    EXPECT_EQ(order[i + 2], "drawBillboard");
  }
}

std::vector<float> runShow() {
  seedParticleRandom(1);
  RecordingGraphicsDriver driver;
  FireEffect fire(&driver);
  fire.setup(kBase, 45, 1.0f, 3.0f);
  for (int frame = 0; frame < 300; ++frame) fire.animate(static_cast<float>(frame) * 0.02f, nullptr);
  std::vector<float> positions;
  for (int i = 0; i < fire.particleCount; ++i) {
    positions.push_back(fire.particles[i]->x);
    positions.push_back(fire.particles[i]->y);
    positions.push_back(fire.particles[i]->z);
  }
  return positions;
}

TEST(FireEffectRunTest, TwoRunsGiveIdenticalParticles) {
  std::vector<float> first = runShow();
  std::vector<float> second = runShow();
  ASSERT_EQ(first.size(), 135u);
  EXPECT_EQ(first, second);
  // The fire stays between its base and three sizes above it.
  for (std::size_t i = 1; i < first.size(); i += 3) {
    EXPECT_GE(first[i], kBase.y);
    EXPECT_LE(first[i], kBase.y + 3.0f);
  }
}

}  // namespace
