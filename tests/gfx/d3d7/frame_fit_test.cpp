// The show's 4:3 frame in display modes of other shapes: a ball seen by the frame camera
// stays round in 16:9, 4:3 and 5:4 modes, between bars by default and filling the mode
// with a wider view on request.
#include <gtest/gtest.h>

#include <cmath>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/vertex.h"
#include "math/camera.h"
#include "support/d3d7_fixture.h"

using d3d7_test::backPixel;
using d3d7_test::ProfileScope;

namespace {

AdapterProfile shapesProfile() {
  AdapterProfile profile = d3d7_test::smallProfile();
  profile.adapters[0].modes = {{160, 90, 32}, {160, 120, 32}, {160, 128, 32}};
  return profile;
}

// Sets the fit of the drivers made in one test and restores the default afterwards.
class FitScope {
 public:
  explicit FitScope(FrameFit fit) { Direct3DDriver::setDefaultFrameFit(fit); }
  ~FitScope() { Direct3DDriver::setDefaultFrameFit(FrameFit::kAuthored); }
  FitScope(const FitScope&) = delete;
  FitScope& operator=(const FitScope&) = delete;
};

struct Box {
  int left = 1 << 30;
  int top = 1 << 30;
  int right = -1;
  int bottom = -1;
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

// A white disc of radius 0.6 at the origin facing the show's frame camera (eye (0, 1, -3)),
// drawn on black; returns the bounding box of its pixels.
Box drawBall(Direct3DDriver& driver) {
  driver.clear(0, 1.0f, 0, nullptr, true);
  Camera camera;
  camera.setPosition(0.0f, 1.0f, -3.0f);
  camera.lookAt(Vector3{0.0f, 0.0f, 0.0f}, 0.0f);
  driver.setCamera(camera);
  Matrix4 identity;
  identity.setIdentity();
  driver.setWorldMatrix(identity);
  driver.beginScene();
  // Two axes across the line of sight (0, -1, 3).
  const float s = 1.0f / std::sqrt(10.0f);
  const float ux[3] = {1.0f, 0.0f, 0.0f};
  const float vx[3] = {0.0f, 3.0f * s, 1.0f * s};
  const int slices = 48;
  const float radius = 0.6f;
  const ColouredVertex centre(0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, nullptr, nullptr);
  for (int i = 0; i < slices; ++i) {
    ColouredVertex rim[2];
    for (int k = 0; k < 2; ++k) {
      const float angle = 2.0f * static_cast<float>(M_PI) * static_cast<float>(i + k) / static_cast<float>(slices);
      const float c = radius * std::cos(angle);
      const float d = radius * std::sin(angle);
      rim[k] = ColouredVertex(c * ux[0] + d * vx[0], c * ux[1] + d * vx[1], c * ux[2] + d * vx[2], 0xFFFFFFFFu, nullptr,
                              nullptr);
    }
    // Both windings, whatever the culling.
    driver.drawTriangle(centre, rim[0], rim[1]);
    driver.drawTriangle(centre, rim[1], rim[0]);
  }
  driver.endScene();
  Box box;
  for (int y = 0; y < driver.height; ++y)
    for (int x = 0; x < driver.width; ++x)
      if ((backPixel(driver, x, y) & 0xFF) > 128) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

void expectRound(const Box& box) {
  ASSERT_GT(box.width(), 10);
  ASSERT_GT(box.height(), 10);
  const double ratio = static_cast<double>(box.width()) / static_cast<double>(box.height());
  // The authored fields of view are 45 by 34 degrees, a shade off 4:3.
  EXPECT_NEAR(ratio, 1.0, 0.06) << box.width() << " x " << box.height();
}

}  // namespace

TEST(D3d7FrameFit, RegionIsTheCentredFourByThreePartOfTheMode) {
  const FrameRegion wide = frameRegionOf(1280, 720, FrameFit::kAuthored);
  EXPECT_EQ(wide.x, 160);
  EXPECT_EQ(wide.y, 0);
  EXPECT_EQ(wide.width, 960);
  EXPECT_EQ(wide.height, 720);
  const FrameRegion tall = frameRegionOf(1280, 1024, FrameFit::kAuthored);
  EXPECT_EQ(tall.x, 0);
  EXPECT_EQ(tall.y, 32);
  EXPECT_EQ(tall.width, 1280);
  EXPECT_EQ(tall.height, 960);
  const FrameRegion classic = frameRegionOf(640, 480, FrameFit::kAuthored);
  EXPECT_EQ(classic.x, 0);
  EXPECT_EQ(classic.width, 640);
  EXPECT_EQ(classic.height, 480);
  // Filling takes the whole mode and widens only where the mode is not 4:3.
  const FrameRegion filled = frameRegionOf(1280, 720, FrameFit::kFill);
  EXPECT_EQ(filled.x, 0);
  EXPECT_EQ(filled.width, 1280);
  EXPECT_FLOAT_EQ(frameWideningOf(1280, 720, FrameFit::kFill), 0.75f);
  EXPECT_FLOAT_EQ(frameWideningOf(640, 480, FrameFit::kFill), 1.0f);
  EXPECT_FLOAT_EQ(frameWideningOf(1280, 720, FrameFit::kAuthored), 1.0f);
  EXPECT_FLOAT_EQ(frameWideningOf(0, 0, FrameFit::kFill), 1.0f);
}

TEST(D3d7FrameFit, BallStaysRoundBetweenBarsInEveryModeShape) {
  ProfileScope profile(shapesProfile());
  for (const auto& size : {std::pair{160, 90}, std::pair{160, 120}, std::pair{160, 128}}) {
    SCOPED_TRACE(testing::Message() << size.first << "x" << size.second);
    auto driver = d3d7_test::openDriver(size.first, size.second);
    ASSERT_NE(driver, nullptr);
    const Box box = drawBall(*driver);
    expectRound(box);
    // Centred in the mode; nothing drawn into the bars.
    const FrameRegion frame = driver->frameRegion();
    EXPECT_NEAR((box.left + box.right) / 2.0, size.first / 2.0, 2.0);
    EXPECT_GE(box.left, frame.x);
    EXPECT_LT(box.right, frame.x + frame.width);
  }
}

TEST(D3d7FrameFit, FillingTheModeWidensTheViewAndKeepsTheBallRound) {
  ProfileScope profile(shapesProfile());
  FitScope fit(FrameFit::kFill);
  auto wide = d3d7_test::openDriver(160, 90);
  ASSERT_NE(wide, nullptr);
  D3DVIEWPORT7 viewport;
  wide->device->GetViewport(&viewport);
  EXPECT_EQ(viewport.dwWidth, 160u);
  const Box filled = drawBall(*wide);
  expectRound(filled);

  // The same ball is as tall as between bars: the view widened, it did not zoom.
  FitScope keep(FrameFit::kAuthored);
  auto barred = d3d7_test::openDriver(160, 90);
  ASSERT_NE(barred, nullptr);
  const Box kept = drawBall(*barred);
  EXPECT_NEAR(filled.height(), kept.height(), 1);
  // Projected points agree with the pixels.
  Vector3 top;
  ASSERT_TRUE(wide->projectToScreen(Vector3{0.6f, 0.0f, 0.0f}, &top));
  EXPECT_NEAR(top.x, filled.right, 1.5);
}
