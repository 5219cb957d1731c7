// Whole glTF scenes through the converter into LightWave scenes, loaded and evaluated by
// the program's own scene loader: hierarchy, every glTF interpolation, turns through
// straight up, the camera, lights and skins, against the glTF semantics worked out here.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "convert_test_files.h"
#include "loading/envelope.h"
#include "loading/motion.h"
#include "loading/motion_evaluation.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"

namespace {

using namespace convert_test;
namespace fs = std::filesystem;
using V3 = std::array<double, 3>;
using Q = std::array<double, 4>;  // x, y, z, w

constexpr double kPi = 3.14159265358979323846;

Q axisAngle(V3 axis, double angle) {
  const double n = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  const double s = std::sin(angle / 2) / n;
  return {axis[0] * s, axis[1] * s, axis[2] * s, std::cos(angle / 2)};
}

V3 rotate(const Q& q, const V3& v) {
  const V3 u{q[0], q[1], q[2]};
  const double w = q[3];
  const V3 t{2 * (u[1] * v[2] - u[2] * v[1]), 2 * (u[2] * v[0] - u[0] * v[2]), 2 * (u[0] * v[1] - u[1] * v[0])};
  return {v[0] + w * t[0] + (u[1] * t[2] - u[2] * t[1]), v[1] + w * t[1] + (u[2] * t[0] - u[0] * t[2]),
          v[2] + w * t[2] + (u[0] * t[1] - u[1] * t[0])};
}

Q slerp(const Q& a, const Q& b, double u) {
  double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  const double theta = std::acos(std::min(1.0, dot));
  Q r;
  for (int k = 0; k < 4; ++k) r[k] = (std::sin((1 - u) * theta) * a[k] + std::sin(u * theta) * b[k]) / std::sin(theta);
  return r;
}

std::vector<float> quats(const std::vector<Q>& qs) {
  std::vector<float> out;
  for (const Q& q : qs)
    for (double c : q) out.push_back(static_cast<float>(c));
  return out;
}

// The evaluated matrix of a motion at a time.
Matrix4 at(Motion* motion, float time) {
  evaluateMotion(motion, time, false);
  return motion->matrix;
}

class ConvertGltfSceneTest : public ::testing::Test {
 protected:
  // Converts NAME.gltf next to NAME.lws and loads it into the scene.
  ToolRun convertAndLoad(const std::string& name, const std::string& gltf) {
    dir.writeText(name + ".gltf", gltf);
    ToolRun run = convert(dir.file(name + ".gltf") + " " + dir.file(name + ".lws"));
    EXPECT_EQ(run.status, 0) << run.messages;
    fs::current_path(dir.path());
    EXPECT_TRUE(scene.loadScene((name + ".lws").c_str())) << run.messages;
    return run;
  }
  SceneTempDir dir;
  RecordingGraphicsDriver driver;
  Scene scene{&driver};
};

const char* kTriangleMesh = R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}])";

TEST_F(ConvertGltfSceneTest, HierarchyAndEveryInterpolationPlayAsInGltf) {
  GltfBuffer b;
  b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", true);     // 0: a triangle
  const int times = b.floats({0, 1}, "SCALAR");            // 1
  const int slide = b.floats({0, 0, 0, 2, 0, 0}, "VEC3");  // 2
  const Q turned = axisAngle({1, 1, 0}, 120 * kPi / 180);
  const int turn = b.floats(quats({{0, 0, 0, 1}, turned}), "VEC4");                           // 3
  const int grow = b.floats({0, 0, 0, 1, 1, 1, 3, 3, 3, 0, 0, 0, 2, 2, 2, 0, 0, 0}, "VEC3");  // 4: cubic spline
  const int stepTimes = b.floats({0, 0.5f}, "SCALAR");
  const int steps = b.floats({0, 0, 0, 0, 5, 0}, "VEC3");
  const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,3]}],
"nodes":[{"name":"Root","mesh":0,"children":[1]},{"name":"Swing","translation":[0,1,0],"children":[2]},
  {"name":"Ball","mesh":0,"translation":[0,0,1]},{"name":"Stepper"}],
"animations":[{"name":"move","channels":[{"sampler":0,"target":{"node":0,"path":"translation"}},
  {"sampler":1,"target":{"node":1,"path":"rotation"}},{"sampler":2,"target":{"node":2,"path":"scale"}}],
  "samplers":[{"input":)" + std::to_string(times) +
                           R"(,"output":)" + std::to_string(slide) + R"(},
  {"input":)" + std::to_string(times) +
                           R"(,"output":)" + std::to_string(turn) + R"(},
  {"input":)" + std::to_string(times) +
                           R"(,"output":)" + std::to_string(grow) + R"(,"interpolation":"CUBICSPLINE"}]},
 {"name":"hop","channels":[{"sampler":0,"target":{"node":3,"path":"translation"}}],
  "samplers":[{"input":)" + std::to_string(stepTimes) +
                           R"(,"output":)" + std::to_string(steps) + R"(,"interpolation":"STEP"}]}],
)" + kTriangleMesh + "," + b.json() +
                           "}";
  const ToolRun run = convertAndLoad("moves", gltf);
  ASSERT_EQ(scene.objectCount, 4) << run.messages;
  EXPECT_TRUE(contains(run, "2 animations play at once")) << run.messages;
  EXPECT_TRUE(contains(run, "stray at most")) << run.messages;
  EXPECT_TRUE(fs::exists(dir.file("Root.3dx")));
  EXPECT_TRUE(fs::exists(dir.file("Ball.3dx")));
  SceneObject* ball = scene.objects[2];
  SceneObject* stepper = scene.objects[3];
  ASSERT_EQ(ball->groupCount, 1);
  ASSERT_EQ(stepper->groupCount, 0) << "a node without a mesh is a null";

  for (double t : {0.0, 0.3, 0.5, 0.7, 1.0, 1.5}) {
    const double u = std::min(t, 1.0);
    // glTF: world = T(root) × T(0, 1, 0) × R(slerp) × T(0, 0, 1) on the origin; z mirrored.
    const V3 arm = rotate(slerp({0, 0, 0, 1}, turned, u), {0, 0, 1});
    const V3 expected{2 * u + arm[0], 1 + arm[1], -arm[2]};
    const Matrix4 m = at(ball->motions[0].motion, static_cast<float>(t));
    EXPECT_NEAR(m[12], expected[0], 1e-3) << "t=" << t;
    EXPECT_NEAR(m[13], expected[1], 1e-3) << "t=" << t;
    EXPECT_NEAR(m[14], expected[2], 1e-3) << "t=" << t;
  }
  // Cubic spline halfway: 0.5 × 1 + 0.125 × 3 + 0.5 × 2 = 1.875.
  const Matrix4 half = at(ball->motions[0].motion, 0.5f);
  EXPECT_NEAR(std::sqrt(half[0] * half[0] + half[1] * half[1] + half[2] * half[2]), 1.875, 1e-3);
  // Stepped: held until the next key, then the new value.
  EXPECT_NEAR(at(stepper->motions[0].motion, 0.25f)[13], 0.0, 1e-6);
  EXPECT_NEAR(at(stepper->motions[0].motion, 0.499f)[13], 0.0, 1e-6);
  EXPECT_NEAR(at(stepper->motions[0].motion, 0.75f)[13], 5.0, 1e-6);
  // Every motion runs to the end of the longest animation.
  EXPECT_FLOAT_EQ(stepper->motions[0].motion->channels[1]->lastTime, 1.0f);
}

TEST_F(ConvertGltfSceneTest, TurnsThroughStraightUpHaveNoFlips) {
  GltfBuffer b;
  b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", true);
  const int times = b.floats({0, 1, 2}, "SCALAR");
  const Q up = axisAngle({1, 0, 0}, kPi / 2);
  const Q over = axisAngle({1, 0, 0}, kPi);
  const int turn = b.floats(quats({{0, 0, 0, 1}, up, over}), "VEC4");
  const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
"nodes":[{"name":"Flip","mesh":0}],
"animations":[{"channels":[{"sampler":0,"target":{"node":0,"path":"rotation"}}],
  "samplers":[{"input":)" + std::to_string(times) +
                           R"(,"output":)" + std::to_string(turn) + R"(}]}],)" + kTriangleMesh + "," + b.json() + "}";
  convertAndLoad("flip", gltf);
  ASSERT_EQ(scene.objectCount, 1);
  Motion* motion = scene.objects[0]->motions[0].motion;
  // Heading and bank stay put; pitch runs on past 90 degrees instead of turning round.
  for (int channel : {3, 5}) {
    const Envelope* e = motion->channels[channel];
    for (int k = 0; k < e->keyCount; ++k)
      EXPECT_NEAR(e->keys[k].value, 0.0f, 1e-3f) << "channel " << channel << " key " << k;
  }
  const Envelope* pitch = motion->channels[4];
  const float direction = pitch->lastKey->value > 0 ? 1.0f : -1.0f;
  for (int k = 1; k < pitch->keyCount; ++k) {
    const float step = direction * (pitch->keys[k].value - pitch->keys[k - 1].value);
    EXPECT_GE(step, 0.0f) << "key " << k;
    EXPECT_LE(step, kPi / 2 + 1e-3) << "key " << k;
  }
  EXPECT_NEAR(std::fabs(pitch->lastKey->value), kPi, 1e-3);
  // And the turn itself is the glTF one: the y axis at 1.5 s has turned 135 degrees about x.
  const Matrix4 m = at(motion, 1.5f);
  const V3 y = rotate(axisAngle({1, 0, 0}, 0.75 * kPi), {0, 1, 0});
  EXPECT_NEAR(m[4], y[0], 1e-3);
  EXPECT_NEAR(m[5], y[1], 1e-3);
  EXPECT_NEAR(m[6], -y[2], 1e-3);
}

TEST_F(ConvertGltfSceneTest, CameraAndLightsAreCarriedAndTheRestIsSaid) {
  GltfBuffer b;
  b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", true);
  const Q down = axisAngle({1, 0, 0}, -kPi / 2);
  const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1,2,3,4]}],
"extensionsUsed":["KHR_lights_punctual"],
"extensions":{"KHR_lights_punctual":{"lights":[{"type":"directional","color":[1,0.5,0],"intensity":683},
  {"type":"point","intensity":341.5,"range":20},{"type":"spot","spot":{"innerConeAngle":0.2,"outerConeAngle":0.4}}]}},
"cameras":[{"type":"perspective","perspective":{"yfov":1.0,"aspectRatio":1.5,"znear":0.5}},
  {"type":"perspective","perspective":{"yfov":0.5,"znear":0.1}}],
"nodes":[{"name":"Eye","camera":0,"translation":[1,2,3]},{"name":"Sun","rotation":[)" +
                           std::to_string(down[0]) + "," + std::to_string(down[1]) + "," + std::to_string(down[2]) +
                           "," + std::to_string(down[3]) + R"(],"extensions":{"KHR_lights_punctual":{"light":0}}},
  {"name":"Bulb","translation":[0,3,0],"extensions":{"KHR_lights_punctual":{"light":1}}},
  {"name":"Spot","extensions":{"KHR_lights_punctual":{"light":2}}},{"name":"Other","camera":1}],)" +
                           kTriangleMesh + "," + b.json() + "}";
  const ToolRun run = convertAndLoad("lit", gltf);
  EXPECT_TRUE(contains(run, "camera Eye: its field of view, 78.7° x 57.3°, is not carried")) << run.messages;
  EXPECT_TRUE(contains(run, "1 further cameras are not carried")) << run.messages;
  EXPECT_TRUE(contains(run, "light Spot: its cone")) << run.messages;
  ASSERT_EQ(scene.cameraCount, 1);
  ASSERT_EQ(scene.lightCount, 3);
  EXPECT_FLOAT_EQ(scene.gridSize, 5.0f) << "the near plane, a tenth of the grid size, is the camera's";

  Motion* eye = scene.cameras[0]->motions[0].motion;
  evaluateMotion(eye, 0.0f, false);
  EXPECT_NEAR(eye->position[0], 1.0f, 1e-5f);
  EXPECT_NEAR(eye->position[1], 2.0f, 1e-5f);
  EXPECT_NEAR(eye->position[2], -3.0f, 1e-5f);

  for (int l = 0; l < 3; ++l) ASSERT_TRUE(scene.lights[l]->updateLight(0, 0.0f));
  const LightParameters& sun = scene.lights[0]->parameters;
  EXPECT_EQ(sun.type, LightParameters::kDirectional);
  // Pointing down its -z, turned down: the light falls along -y.
  EXPECT_NEAR(sun.direction.x, 0.0f, 1e-4f);
  EXPECT_NEAR(sun.direction.y, -1.0f, 1e-4f);
  EXPECT_NEAR(sun.direction.z, 0.0f, 1e-4f);
  EXPECT_FLOAT_EQ(sun.diffuse.g, 0.5f);
  EXPECT_NEAR(sun.intensity, 1.0f, 1e-5f) << "683 lux: Blender's sun of strength 1";
  const LightParameters& bulb = scene.lights[1]->parameters;
  EXPECT_EQ(bulb.type, LightParameters::kPoint);
  EXPECT_NEAR(bulb.position.y, 3.0f, 1e-5f);
  EXPECT_NEAR(bulb.intensity, 1.0f, 1e-5f);
  EXPECT_EQ(scene.lights[2]->parameters.type, LightParameters::kSpot);
}

// An upright bar of three rings of four points (y = 0, 1, 2) on two joints: the lowest ring
// on the first, the middle shared, the top on the second, which turns 90 degrees about z.
TEST_F(ConvertGltfSceneTest, SkinsBecomeBonesThatBendTheMeshAsTheJointsDo) {
  GltfBuffer b;
  std::vector<float> points;
  std::vector<unsigned> joints;
  std::vector<float> weights;
  for (int ring = 0; ring < 3; ++ring)
    for (int k = 0; k < 4; ++k) {
      points.insert(points.end(), {k == 1 || k == 2 ? 0.1f : -0.1f, static_cast<float>(ring), k >= 2 ? 0.1f : -0.1f});
      joints.insert(joints.end(), {0, 1, 0, 0});
      weights.insert(weights.end(), {ring == 0   ? 1.0f
                                     : ring == 1 ? 0.5f
                                                 : 0.0f,
                                     ring == 0   ? 0.0f
                                     : ring == 1 ? 0.5f
                                                 : 1.0f,
                                     0, 0});
    }
  std::vector<unsigned> indices;
  for (int ring = 0; ring < 2; ++ring)
    for (int k = 0; k < 4; ++k) {
      const unsigned a = ring * 4 + k, c = ring * 4 + (k + 1) % 4;
      indices.insert(indices.end(), {a, c, c + 4, a, c + 4, a + 4});
    }
  const int position = b.floats(points, "VEC3", true);
  const int joint = b.shorts(joints, "VEC4");
  const int weight = b.floats(weights, "VEC4");
  const int index = b.shorts(indices, "SCALAR");
  std::vector<float> inverseBind;
  for (int j = 0; j < 2; ++j)
    for (int k = 0; k < 16; ++k) inverseBind.push_back(k % 5 == 0 ? 1.0f : (j == 1 && k == 13 ? -1.0f : 0.0f));
  const int binds = b.floats(inverseBind, "MAT4");
  const int times = b.floats({0, 1}, "SCALAR");
  const int bend = b.floats(quats({{0, 0, 0, 1}, axisAngle({0, 0, 1}, kPi / 2)}), "VEC4");
  const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
"nodes":[{"name":"Bar","mesh":0,"skin":0},{"name":"Rig","translation":[0,0,0],"children":[2]},
  {"name":"Upper","children":[3]},{"name":"Lower","translation":[0,1,0]}],
"skins":[{"joints":[2,3],"inverseBindMatrices":)" +
                           std::to_string(binds) + R"(}],
"meshes":[{"primitives":[{"attributes":{"POSITION":)" +
                           std::to_string(position) + R"(,"JOINTS_0":)" + std::to_string(joint) + R"(,"WEIGHTS_0":)" +
                           std::to_string(weight) + R"(},"indices":)" + std::to_string(index) + R"(}]}],
"animations":[{"channels":[{"sampler":0,"target":{"node":3,"path":"rotation"}}],
  "samplers":[{"input":)" + std::to_string(times) +
                           R"(,"output":)" + std::to_string(bend) + R"(}]}],)" + b.json() + "}";
  const ToolRun run = convertAndLoad("bar", gltf);
  ASSERT_EQ(scene.boneCount, 2) << run.messages;
  SceneObject* bar = scene.objects[0];
  ASSERT_EQ(bar->boneLinkCount, 2) << "both bones deform the bar";
  ASSERT_EQ(bar->groupCount, 1);

  // Skin each rest vertex with the program's own bone matrices at 1 s and compare with glTF:
  // the top ring turned 90 degrees about z round (0, 1, 0), the lowest ring still.
  std::vector<Matrix4> skins;
  for (int i = 0; i < 2; ++i) {
    Motion* m = bar->boneLinks[i].bone->motions[0].motion;
    evaluateMotion(m, 1.0f, false);
    Matrix4 skin;
    m->matrix.multiply(m->inverseRestMatrix, skin);
    skins.push_back(skin);
  }
  int checked = 0;
  for (int v = 0; v < bar->groups[0].vertexCount; ++v) {
    const float* p = bar->restVertices[0] + 6 * v;
    float out[3] = {0, 0, 0};
    for (int i = 0; i < 2; ++i) {
      const float w = bar->boneLinks[i].weights[0][v];
      const Matrix4& s = skins[static_cast<std::size_t>(i)];
      for (int c = 0; c < 3; ++c) out[c] += w * (p[0] * s[c] + p[1] * s[4 + c] + p[2] * s[8 + c] + s[12 + c]);
    }
    if (p[1] > 1.5f) {  // the top ring: weight 1 on the lower joint, exact
      EXPECT_NEAR(bar->boneLinks[1].weights[0][v], 1.0f, 1e-6f);
      // glTF: (x, 2, z) turned about z round (0, 1, 0) is (-1, 1 + x, z); z mirrored in both.
      EXPECT_NEAR(out[0], -1.0f, 1e-4f);
      EXPECT_NEAR(out[1], 1.0f + p[0], 1e-4f);
      EXPECT_NEAR(out[2], p[2], 1e-4f);
      ++checked;
    } else if (p[1] < 0.5f) {
      EXPECT_NEAR(out[0], p[0], 1e-4f);
      EXPECT_NEAR(out[1], p[1], 1e-4f);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 8);
}

}  // namespace

namespace {

// A binary glTF, its buffer in the file's binary chunk: a null turning a child object.
TEST_F(ConvertGltfSceneTest, BinaryGltfScenesReadTheirBinaryChunk) {
  GltfBuffer b;
  b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", true);
  const int times = b.floats({0, 2}, "SCALAR");
  const int turn = b.floats(quats({{0, 0, 0, 1}, axisAngle({0, 1, 0}, kPi / 2)}), "VEC4");
  const std::string head = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
"nodes":[{"name":"Pivot","children":[1]},{"name":"Box","mesh":0,"translation":[0,0,2]}],
"animations":[{"channels":[{"sampler":0,"target":{"node":0,"path":"rotation"}}],
  "samplers":[{"input":)" + std::to_string(times) +
                           R"(,"output":)" + std::to_string(turn) + R"(}]}],)" + kTriangleMesh;
  ASSERT_TRUE(saveFile(dir.file("spin.glb"), b.glb(head)));
  const ToolRun run = convert(dir.file("spin.glb") + " " + dir.file("spin.lws"));
  ASSERT_EQ(run.status, 0) << run.messages;
  fs::current_path(dir.path());
  ASSERT_TRUE(scene.loadScene("spin.lws"));
  ASSERT_EQ(scene.objectCount, 2);
  ASSERT_EQ(scene.objects[1]->groupCount, 1);
  // Halfway, a quarter turn about y has carried (0, 0, 2) to (sqrt 2, 0, sqrt 2); z mirrored.
  const Matrix4 m = at(scene.objects[1]->motions[0].motion, 1.0f);
  EXPECT_NEAR(m[12], std::sqrt(2.0), 1e-3);
  EXPECT_NEAR(m[14], -std::sqrt(2.0), 1e-3);
}

TEST_F(ConvertGltfSceneTest, DamagedScenesEndWithExitCode2) {
  GltfBuffer b;
  b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", true);
  const int times = b.floats({0, 1}, "SCALAR");
  const std::string tail = std::string(",") + kTriangleMesh + "," + b.json() + "}";
  // Two nodes each the other's child.
  dir.writeText("loop.gltf", R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
"nodes":[{"name":"A","mesh":0,"children":[1]},{"name":"B","children":[0]}])" +
                                 tail);
  ToolRun run = convert(dir.file("loop.gltf") + " " + dir.file("loop.lws"));
  EXPECT_EQ(run.status, 2) << run.messages;
  EXPECT_TRUE(contains(run, "their own ancestors") || contains(run, "two parents")) << run.messages;
  EXPECT_FALSE(fs::exists(dir.file("loop.lws")));
  // A sampler whose values are fewer than its key times.
  dir.writeText("short.gltf", R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
"animations":[{"channels":[{"sampler":0,"target":{"node":0,"path":"translation"}}],
  "samplers":[{"input":)" + std::to_string(times) +
                                  R"(,"output":)" + std::to_string(times) + R"(}]}])" + tail);
  run = convert(dir.file("short.gltf") + " " + dir.file("short.lws"));
  EXPECT_EQ(run.status, 2) << run.messages;
  EXPECT_TRUE(contains(run, "do not fit its key times")) << run.messages;
  // Not glTF at all.
  dir.writeText("text.gltf", "{ not json");
  EXPECT_EQ(convert(dir.file("text.gltf") + " " + dir.file("text.lws")).status, 2);
}

}  // namespace
