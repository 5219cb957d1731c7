// vellumite-sample: writes a small but complete sample show into a folder: the seven scene
// files, the 3DX objects they load, procedural JPEG pictures and a short XM tune.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "writers/byte_writer.h"
#include "writers/jpeg_writer.h"
#include "writers/mesh.h"
#include "writers/object_writer.h"
#include "writers/scene_text_writer.h"
#include "writers/xm_writer.h"

namespace {

constexpr float kPi = 3.14159265f;
using Bytes = std::vector<std::uint8_t>;
using Vec3 = MeshVec3;
std::string gDir;
bool gOk = true;

void save(const std::string& name, const Bytes& data) {
  if (!saveBytes(gDir + "/" + name, data)) {
    std::fprintf(stderr, "vellumite-sample: cannot write %s/%s\n", gDir.c_str(), name.c_str());
    gOk = false;
  }
}
void saveSceneText(const std::string& name, const std::string& text) {
  if (!saveText(gDir + "/" + name, text)) {
    std::fprintf(stderr, "vellumite-sample: cannot write %s/%s\n", gDir.c_str(), name.c_str());
    gOk = false;
  }
}

// ---- Pictures ------------------------------------------------------------------------------

using Shader = std::function<Vec3(float u, float v)>;  // u, v in 0..1, v = 0 at the top row

void writeJpeg(const std::string& name, int w, int h, const Shader& shade) {
  std::vector<std::uint8_t> rgb(std::size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Vec3 c = shade((x + 0.5f) / w, (y + 0.5f) / h);
      for (int k = 0; k < 3; ++k)
        rgb[(std::size_t(y) * w + x) * 3 + k] = std::uint8_t(std::clamp(c[k], 0.0f, 1.0f) * 255.0f + 0.5f);
    }
  save(name, encodeJpeg(rgb.data(), w, h, JpegPixels::kRgb));
}

// A 5×7 block font for the few words the pictures carry.
const char* glyph(char c) {
  static const char* const table[] = {"A.###.#...##...#######...##...##...#", "D####.#...##...##...##...##...#####.",
                                      "E######....#....####.#....#....#####", "G.###.#...##....#.####...##...#.###.",
                                      "H#...##...##...#######...##...##...#", "I.###...#....#....#....#....#...###.",
                                      "L#....#....#....#....#....#....#####", "M#...###.###.#.##.#.##...##...##...#",
                                      "N#...###..##.#.##..###...##...##...#", "O.###.#...##...##...##...##...#.###.",
                                      "P####.#...##...#####.#....#....#....", "S.#####....#.....###.....#....#####.",
                                      "T#####..#....#....#....#....#....#..", "X#...##...#.#.#...#...#.#.#...##...#"};
  for (const char* g : table)
    if (g[0] == c) return g + 1;
  return nullptr;
}

// Brightness 0/1 of text centred in the picture, letters as large as fit.
float textAt(const std::string& text, float u, float v, float aspect) {
  const float cols = 6.0f * text.size() + 1.0f, rows = 9.0f;
  const float cell = std::min(aspect / cols, 1.0f / rows);
  const float gx = (u * aspect - (aspect - cols * cell) * 0.5f) / cell - 1.0f;
  const float gy = (v - (1.0f - rows * cell) * 0.5f) / cell - 1.0f;
  if (gx < 0 || gy < 0 || gy >= 7) return 0.0f;
  const std::size_t letter = std::size_t(gx) / 6, col = std::size_t(gx) % 6;
  if (letter >= text.size() || col >= 5) return 0.0f;
  const char* g = glyph(text[letter]);
  return g != nullptr && g[int(gy) * 5 + col] == '#' ? 1.0f : 0.0f;
}

Vec3 mix(const Vec3& a, const Vec3& b, float t) {
  return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

void writePictures() {
  // Checkers with a red square in the top-left corner, so that flips are easy to spot.
  writeJpeg("checker.jpg", 128, 128, [](float u, float v) -> Vec3 {
    if (u < 0.125f && v < 0.125f) return {0.9f, 0.1f, 0.1f};
    return (int(u * 8) + int(v * 8)) % 2 ? Vec3{0.95f, 0.6f, 0.2f} : Vec3{0.95f, 0.95f, 0.9f};
  });
  writeJpeg("tiles.jpg", 128, 128, [](float u, float v) -> Vec3 {
    const float du = std::fmod(u * 4, 1.0f), dv = std::fmod(v * 4, 1.0f);
    const bool grout = du < 0.06f || dv < 0.06f;
    return grout ? Vec3{0.2f, 0.2f, 0.25f} : mix({0.3f, 0.5f, 0.9f}, {0.9f, 0.9f, 1.0f}, v);
  });
  // Reflection map: sky and earth with a sharp horizon, dim since it is added. Reflections look it
  // up with v = 0.5 + 0.5 × (camera-space normal y): surfaces facing up read the bottom rows, so
  // the sky is the bottom half of the picture.
  writeJpeg("env.jpg", 128, 128, [](float, float v) -> Vec3 {
    return v >= 0.5f ? mix({0.45f, 0.5f, 0.55f}, {0.05f, 0.15f, 0.5f}, v * 2 - 1)
                     : mix({0.05f, 0.05f, 0.02f}, {0.3f, 0.2f, 0.05f}, v * 2);
  });
  writeJpeg("marble.jpg", 128, 128, [](float u, float v) -> Vec3 {
    const float s = 0.5f + 0.5f * std::sin(u * 18 + 3 * std::sin(v * 9) + 2 * std::sin(u * 5 + v * 7));
    return mix({0.5f, 0.3f, 0.6f}, {1, 1, 0.95f}, s);
  });
  writeJpeg("stripes.jpg", 64, 64, [](float, float v) -> Vec3 {
    return int(v * 8) % 2 ? Vec3{0.2f, 0.8f, 0.3f} : Vec3{0.95f, 0.9f, 0.3f};
  });
  auto radial = [](Vec3 inner, Vec3 outer, float power) {
    return [=](float u, float v) {
      const float r = std::min(1.0f, 2 * std::hypot(u - 0.5f, v - 0.5f));
      return mix(inner, outer, std::pow(r, power));
    };
  };
  writeJpeg("glow.jpg", 64, 64, radial({1, 0.9f, 0.5f}, {0, 0, 0}, 0.7f));
  // Alpha pictures give transparency: black is opaque, white is clear.
  writeJpeg("mask.jpg", 64, 64, [](float u, float v) -> Vec3 {  // window: opaque frame and bars, clear panes
    const bool frame =
        u < 0.1f || u > 0.9f || v < 0.1f || v > 0.9f || std::fabs(u - 0.5f) < 0.04f || std::fabs(v - 0.5f) < 0.04f;
    const float a = frame ? 0.0f : 0.8f;
    return {a, a, a};
  });
  writeJpeg("title.jpg", 256, 64, [](float u, float v) -> Vec3 {
    return mix(mix({0.1f, 0.1f, 0.4f}, {0.5f, 0.1f, 0.3f}, v), {1, 1, 1}, textAt("SAMPLE", u, v, 4));
  });
  for (int k = 0; k < 6; ++k)  // fire frames: yellow cores becoming redder and smaller as they rise
    writeJpeg("fire" + std::to_string(k) + ".jpg", 64, 64, [k](float u, float v) -> Vec3 {
      const float r = std::hypot(u - 0.5f, (v - 0.5f) * (1.2f + 0.1f * k) + 0.05f * std::sin(u * 20 + k));
      const float t = std::clamp(1 - r * 2.2f, 0.0f, 1.0f);
      return {t * 1.3f, t * t * (1.1f - 0.12f * k), t * t * t * 0.3f};
    });
  writeJpeg("light.jpg", 64, 64, radial({1, 1, 1}, {0, 0, 0}, 0.5f));
  writeJpeg("lensflare.jpg", 128, 128, [](float u, float v) -> Vec3 {
    const float r = 2 * std::hypot(u - 0.5f, v - 0.5f);
    const float ring = std::exp(-std::pow((r - 0.7f) * 12, 2.0f));
    return {std::max(0.0f, 1 - r) + ring * 0.3f, std::max(0.0f, 1 - r) * 0.9f + ring * 0.6f,
            std::max(0.0f, 1 - r) * 0.7f + ring};
  });
  writeJpeg("lensflarea.jpg", 128, 128, radial({0, 0, 0}, {1, 1, 1}, 1.0f));
  writeJpeg("laddar.jpg", 200, 40, [](float u, float v) -> Vec3 {
    return mix({0.05f, 0.05f, 0.15f}, {1, 0.9f, 0.4f}, textAt("LOADING", u, v, 5));
  });
  writeJpeg("slut.jpg", 200, 40, [](float u, float v) -> Vec3 {
    return mix({0.15f, 0.02f, 0.02f}, {1, 1, 1}, textAt("THE END", u, v, 5));
  });
}

// ---- Objects -------------------------------------------------------------------------------

Mesh box(Vec3 half, Vec3 c = {0, 0, 0}) { return meshBox(half, c); }
Mesh plate(float w, float h, bool upright, float repeat = 1, int cells = 1) {
  return meshPlate(w, h, upright, repeat, cells);
}
Mesh lathe(float radius, int sides, int rings, float height = 0) { return meshLathe(radius, sides, rings, height); }

struct Group {
  Mesh mesh;
  std::uint32_t diffuse = 0xFFC8C8C8, specular = 0xFF000000;  // specular is flat (power 0): kept dark
  std::array<std::string, 5> maps = {"(none)", "(none)", "(none)", "(none)",
                                     "(none)"};  // colour, add, reflect, alpha, base
  float transparency = 0;
  bool doubleSided = false;
  std::vector<std::pair<std::string, std::vector<float>>> weightMaps;
};

// One layer (layer 1) holding every group. The maps of a material take texture sets 0, 1, 2, ...
// in order (the reflection map skips one), so a group carries one set per map it names; the first
// set maps the picture once, the others twice.
void writeObject(const std::string& name, const std::vector<Group>& groups) {
  ObjectWriter w;
  w.object(int(groups.size()), 1);
  for (const Group& g : groups) {
    ObjectWriter::Material m;
    m.diffuse = g.diffuse;
    m.specular = g.specular;
    m.transparency = g.transparency;
    m.doubleSided = g.doubleSided ? 1 : 0;
    m.textures = g.maps;
    std::vector<ObjectWriter::WeightMap> weights;
    for (const auto& [mapName, values] : g.weightMaps) weights.push_back({mapName, values});
    writeMeshGroup(w, g.mesh, m, meshTextureSets(m), {1, 2, 2, 2, 2}, weights);
  }
  save(name, w.bytes);
}

Group plain(Mesh mesh, std::uint32_t diffuse) {
  Group g;
  g.mesh = std::move(mesh);
  g.diffuse = diffuse;
  return g;
}
Group textured(Mesh mesh, const char* colour) {
  Group g = plain(std::move(mesh), 0xFFFFFFFF);
  g.maps[0] = colour;
  return g;
}

void writeObjects() {
  writeObject("ground.3dx", {textured(plate(16, 16, false, 4, 24), "checker.jpg")});
  writeObject("cube.3dx", {textured(box({0.5f, 0.5f, 0.5f}), "checker.jpg")});
  writeObject("ball.3dx", {plain(lathe(0.8f, 24, 16), 0xFFE0E0E0)});
  Group title = textured(plate(3.6f, 0.9f, true), "title.jpg");
  title.transparency = 0.3f;  // the opening shows through a little
  writeObject("title.3dx", {title});
  // Layered materials: colour + additive glow; base + multiplied colour; colour + reflection; colour with an alpha map.
  Group glow = textured(box({0.6f, 0.6f, 0.6f}), "tiles.jpg");
  glow.maps[1] = "glow.jpg";
  Group based = textured(box({0.6f, 0.6f, 0.6f}), "tiles.jpg");
  based.maps[4] = "marble.jpg";
  Group chrome = textured(lathe(0.7f, 24, 16), "marble.jpg");
  chrome.diffuse = 0xFF909090;  // leaves room for the added reflection
  chrome.maps[2] = "env.jpg";
  Group window = textured(plate(1.6f, 1.6f, true), "tiles.jpg");
  window.maps[3] = "mask.jpg";
  window.doubleSided = true;
  writeObject("glowcube.3dx", {glow});
  writeObject("basecube.3dx", {based});
  writeObject("chrome.3dx", {chrome});
  writeObject("window.3dx", {window});
  // Every map at once: base, dot-product reflection, multiplied colour, added glow and an alpha map.
  Group all = textured(box({0.5f, 0.5f, 0.5f}), "tiles.jpg");
  all.maps = {"tiles.jpg", "glow.jpg", "env.jpg", "mask.jpg", "marble.jpg"};
  writeObject("allmaps.3dx", {all});
  // A striped tube bent by two bones; its weight map keeps the foot on the lower bone.
  Group tube = textured(lathe(0.35f, 12, 16, 3.0f), "stripes.jpg");
  std::vector<float> foot;
  for (const Vec3& p : tube.mesh.pos) foot.push_back(std::clamp(p[1] - 0.5f, 0.0f, 1.0f));
  tube.weightMaps.push_back({"Upper", foot});
  writeObject("tube.3dx", {tube});
  // A lantern: an opaque stand and a translucent glass block drawn in the second pass.
  Group glass = textured(box({0.5f, 0.7f, 0.5f}, {0, 0.9f, 0}), "tiles.jpg");  // blending needs a texture layer
  glass.diffuse = 0xFF90D0FF;
  glass.transparency = 0.6f;
  glass.doubleSided = true;
  writeObject("lantern.3dx", {textured(box({0.6f, 0.1f, 0.6f}, {0, 0.1f, 0}), "marble.jpg"), glass});
  Group halo = plain(plate(2.5f, 2.5f, true), 0xFFFFFFFF);  // additive only: its one layer blends with the frame
  halo.maps[1] = "glow.jpg";
  halo.doubleSided = true;
  writeObject("halo.3dx", {halo});
  Group flare = textured(plate(2, 2, true), "lensflare.jpg");
  flare.maps[3] = "lensflarea.jpg";
  flare.doubleSided = true;
  writeObject("flare.3dx", {flare});
}

// ---- Scenes --------------------------------------------------------------------------------

struct Key {
  float time, value;
};
// One channel: keys with one shape (3 linear, 0 spline), constant before, post behaviour after.
struct Chan {
  std::vector<Key> keys;
  int shape = 3, post = 1;
  Chan(float v) : keys{{0, v}} {}  // NOLINT: constants read naturally in motion lists
  Chan(std::vector<Key> k, int s = 3, int p = 1) : keys(std::move(k)), shape(s), post(p) {}
};
Chan spin(float period, float turns = 1) { return Chan({{0, 0}, {period, 2 * kPi * turns}}, 3, 4); }
Chan swing(float period, float amp) { return Chan({{0, -amp}, {period / 2, amp}, {period, -amp}}, 0, 2); }

SceneChannel channel(const Chan& c) {
  SceneChannel out;
  for (const Key& k : c.keys) out.keys.push_back(SceneKey{k.value, k.time, c.shape});
  out.post = c.post;
  return out;
}

struct SceneText {
  std::string s = "LWSC\n3\n\nFirstFrame 1\nLastFrame 1200\nFramesPerSecond 30\n\n";
  int objects = 0;

  // Position, heading/pitch/bank (radians) and a uniform scale.
  void motion(const char* keyword, Chan x, Chan y, Chan z, Chan h = 0.0f, Chan p = 0.0f, Chan b = 0.0f,
              Chan sc = 1.0f) {
    s += sceneMotionBlock(keyword, {channel(x), channel(y), channel(z), channel(h), channel(p), channel(b), channel(sc),
                                    channel(sc), channel(sc)});
  }
  int object(const std::string& file) {
    s += "\nLoadObjectLayer 1 Objects/" + file + ".lwo\n";
    return objects++;
  }
  int null(const std::string& name) {
    s += "\nAddNullObject " + name + "\n";
    return objects++;
  }
  void parent(int objectIndex) { s += "ParentItem " + hex(0x10000000 | objectIndex) + "\n"; }
  static std::string hex(unsigned id) { return sceneItemId(id >> 28, id & 0x0FFFFFFFu); }
  void camera(int target) {  // call after the camera's motion; target −1 for none
    if (target >= 0) s += "TargetObject " + std::to_string(target + 1) + "\n";
  }
  void ambient(float grey, float intensity) {
    char b[96];
    std::snprintf(b, sizeof b, "\nAmbientColor %g %g %g\nAmbientIntensity %g\n", double(grey), double(grey),
                  double(grey), double(intensity));
    s += b;
  }
};

// LightWave writes the light's motion right after its name; the parser wants the motion before
// its colour and intensity, so the light block is motion first.
void addLight(SceneText& t, const char* name, int type, Vec3 rgb, float intensity, Chan x, Chan y, Chan z,
              Chan h = 0.0f, Chan p = 0.0f) {
  t.s += std::string("\nLightName ") + name + "\n";
  t.motion("LightMotion", x, y, z, h, p);
  char b[160];
  std::snprintf(b, sizeof b, "LightType %d\nLightColor %g %g %g\nLightIntensity %g\n", type, double(rgb[0]),
                double(rgb[1]), double(rgb[2]), double(intensity));
  t.s += b;
}

void camera(SceneText& t, Chan x, Chan y, Chan z, int target, Chan h = 0.0f, Chan p = 0.0f) {
  t.s += "\nCameraName Camera\n";
  t.motion("CameraMotion", x, y, z, h, p);
  t.camera(target);
}

void writeScenes() {
  {  // Opening: lit and textured objects, a parent chain, three kinds of light and a flying camera on a target.
    SceneText t;
    t.object("ground");
    t.motion("ObjectMotion", 0, 0, 0);
    const int orbit = t.null("Orbit");
    t.motion("ObjectMotion", 0, 1.2f, 0, spin(10));
    const int cube = t.object("cube");
    t.motion("ObjectMotion", 2.4f, 0, 0, spin(4), spin(6));
    t.parent(orbit);
    t.object("cube");  // a moon of the cube, sharing its mesh
    t.motion("ObjectMotion", 0, 1.1f, 0, spin(2), 0.0f, 0.0f, 0.4f);
    t.parent(cube);
    t.object("ball");
    t.motion("ObjectMotion", 0, 0.8f, 0);
    const int aim = t.null("Aim");
    t.motion("ObjectMotion", 0, 0.8f, 0);
    addLight(t, "Sun", 0, {1, 0.95f, 0.85f}, 0.6f, 0, 0, 0, 0.5f, 0.9f);
    addLight(t, "Lamp", 1, {1, 0.25f, 0.15f}, 1.5f, -2.0f, 1.0f, -1.5f);
    addLight(t, "Spot", 2, {0.3f, 0.5f, 1.0f}, 1.5f, 1.5f, 3.5f, -0.5f, 0.0f, kPi / 2);
    camera(t, Chan({{0, 0}, {12, 5}, {24, -3}, {40, 0}}, 0), Chan({{0, 3}, {20, 1.6f}, {40, 2.5f}}, 0),
           Chan({{0, -8}, {12, -5}, {24, -6}, {40, -8}}, 0), aim);
    t.ambient(1, 0.01f);
    saveSceneText("grand.lws", t.s);
  }
  {  // A translucent title sliding in over the opening.
    SceneText t;
    t.object("title");
    t.motion("ObjectMotion", Chan({{0, -6}, {1.5f, 0}}, 0), 0.3f, 0);
    addLight(t, "Front", 0, {1, 1, 1}, 0.6f, 0, 0, 0);
    camera(t, 0, 0, -5, -1);
    t.ambient(1, 0.01f);
    saveSceneText("text.lws", t.s);
  }
  {  // Layered materials, a camera without target panning across them.
    SceneText t;
    t.object("ground");
    t.motion("ObjectMotion", 0, -1.0f, 0);
    const char* names[] = {"glowcube", "basecube", "chrome", "window"};
    for (int i = 0; i < 4; ++i) {
      t.object(names[i]);
      t.motion("ObjectMotion", -3.0f + 2.0f * i, 0.2f, 0, spin(8.0f + i), i == 3 ? Chan(0.0f) : spin(11));
    }
    t.object("allmaps");
    t.motion("ObjectMotion", 0, 1.9f, 2.0f, spin(7), spin(13));
    addLight(t, "Key", 0, {1, 1, 1}, 0.6f, 0, 0, 0, -0.4f, 0.6f);
    addLight(t, "Warm", 1, {1, 0.7f, 0.3f}, 1.5f, Chan({{0, -4}, {28, 4}}), 2.0f, -1.5f);
    addLight(t, "Spot", 2, {0.5f, 1, 0.5f}, 1.5f, 1.0f, 4.0f, 0, 0, kPi / 2);
    camera(t, Chan({{0, -2.0f}, {28, 2.0f}}), 1.5f, -7.0f, -1, 0.0f, 0.15f);
    t.ambient(1, 0.01f);
    saveSceneText("design.lws", t.s);
  }
  {  // A skinned tube bent by two bones.
    SceneText t;
    t.object("ground");
    t.motion("ObjectMotion", 0, 0, 0);
    const int tube = t.object("tube");
    t.motion("ObjectMotion", 0, 0, 0, spin(13));
    t.s +=
        "BoneFalloffType 2\n\nBoneName Lower\nBoneActive 1\nBoneRestPosition 0 0 0\nBoneRestDirection 0 -90 0\n"
        "BoneRestLength 1.5\nBoneStrength 1\n";
    t.motion("BoneMotion", 0, 0, 0, 0.0f, -kPi / 2, 0.0f);
    t.parent(tube);
    t.s +=
        "\nBoneName Upper\nBoneActive 1\nBoneRestPosition 0 0 1.5\nBoneRestDirection 0 0 0\nBoneRestLength 1.5\n"
        "BoneStrength 1\nBoneWeightMapName Upper\n";
    t.motion("BoneMotion", 0, 0, 1.5f, swing(3, 0.9f), swing(4.5f, 0.5f));
    t.s += "ParentItem " + SceneText::hex(0x40000000 | unsigned(tube)) + "\n";
    const int aim = t.null("Aim");
    t.motion("ObjectMotion", 0, 1.5f, 0);
    addLight(t, "Sun", 0, {0.9f, 0.9f, 1}, 0.5f, 0, 0, 0, -0.6f, 0.7f);
    addLight(t, "Orbiter", 1, {1, 0.4f, 0.8f}, 1.5f, swing(6, 2.5f), 2.0f, -1.5f);
    camera(t, swing(26, 3), 2.5f, -6, aim);
    t.ambient(1, 0.01f);
    saveSceneText("dance2.lws", t.s);
  }
  {  // Fire, a translucent lantern and an additive halo in the dark. The fire's particles start
     // in a column above (0, 1.5, -6.5), so the stage stands there and the fire burns from its first frame.
    SceneText t;
    const int stage = t.null("Stage");
    t.motion("ObjectMotion", 0, 1.5f, -6.5f);
    t.object("ground");
    t.motion("ObjectMotion", 0, 0, 0);
    t.parent(stage);
    t.null("fire");
    t.motion("ObjectMotion", 0, 0, 0);
    t.parent(stage);
    t.object("lantern");
    t.motion("ObjectMotion", -2.2f, 0, 0.5f, spin(20));
    t.parent(stage);
    t.object("halo");
    t.motion("ObjectMotion", 2.2f, 1.4f, 0.5f, 0.0f, 0.0f, spin(9));
    t.parent(stage);
    const int aim = t.null("Aim");
    t.motion("ObjectMotion", 0, 1.3f, 0);
    t.parent(stage);
    // Cameras and lights take their own position channels, whatever their parents: world positions.
    addLight(t, "Ember", 1, {1, 0.5f, 0.1f}, 2.0f, 0, 2.5f, -7.3f);
    addLight(t, "Moon", 0, {0.3f, 0.35f, 0.6f}, 0.5f, 0, 0, 0, 0.3f, 0.8f);
    camera(t, Chan({{0, -1}, {40, 1}}), Chan({{0, 2.7f}, {40, 3.7f}}), Chan({{0, -14.0f}, {40, -13.0f}}), aim);
    t.ambient(1, 0.01f);
    saveSceneText("dass.lws", t.s);
  }
  {  // Closing: a reflective ball under a light that fades out.
    SceneText t;
    t.object("chrome");
    t.motion("ObjectMotion", 0, 0, 0, spin(6), 0.0f, 0.0f, 1.6f);
    t.s += "\nLightName Fade\n";
    t.motion("LightMotion", 0, 0, 0, 0.3f, 0.4f);
    t.s += "LightType 0\nLightColor 1 0.9 0.8\n" +
           sceneEnvelopeLines("LightIntensity", {channel(Chan({{0, 1.0f}, {8, 0}}))});
    camera(t, 0, 0, -4.5f, -1);
    t.ambient(1, 0.01f);
    saveSceneText("Slut.lws", t.s);
  }
  {  // Lens flares drifting over the closing scene.
    SceneText t;
    t.object("flare");
    t.motion("ObjectMotion", Chan({{0, -3}, {9, 3}}), Chan({{0, 1.0f}, {9, -1.0f}}), -2.5f, 0.0f, 0.0f, 0.0f, 0.6f);
    t.object("halo");
    t.motion("ObjectMotion", Chan({{0, 1.6f}, {9, -1.6f}}), -0.7f, -2.5f, 0.0f, 0.0f, spin(4), 0.4f);
    addLight(t, "Front", 0, {1, 1, 1}, 0.6f, 0, 0, 0);
    camera(t, 0, 0, -5, -1);
    t.ambient(1, 0.01f);
    saveSceneText("skitdemo.lws", t.s);
  }
}

// ---- Music ---------------------------------------------------------------------------------

// Four channels, two patterns of 64 rows (7.68 s each at tempo 6, 125 BPM) played 20 times
// over (about 154 s), two looped instruments: a square lead and a triangle bass.
void writeMusic() {
  XmModule m;
  m.name = "vellumite sample";
  m.tracker = "vellumite-sample";
  m.channels = 4;
  m.speed = 6;
  m.bpm = 125;
  for (int i = 0; i < 20; ++i) m.orders.push_back(i % 4 == 3 ? 1 : 0);
  const int rows = 64;
  const int roots[2][4] = {{45, 41, 48, 43}, {41, 43, 45, 45}};  // A, F, C, G / F, G, A, A (around octave 3)
  const int arp[4] = {0, 3, 7, 12};
  for (int p = 0; p < 2; ++p) {
    XmPattern pattern(rows, m.channels);
    for (int row = 0; row < rows; ++row) {
      const int root = roots[p][row / 16];
      const int minor = (root == 45) ? 3 : 4;
      for (int ch = 0; ch < m.channels; ++ch) {
        int note = 0, inst = 0;
        if (ch == 0 && row % 8 == 0) note = root - 12, inst = 2;
        if (ch == 1 && row % 2 == 0)
          note = root + 12 + (arp[(row / 2) % 4] == 3 ? minor : arp[(row / 2) % 4]), inst = 1;
        if (ch == 2 && row % 16 == 4) note = root + 24 + 7, inst = 1;
        if (ch == 3 && row % 4 == 0) note = root + (row % 8 ? 7 : 0), inst = 2;
        pattern.at(row, ch, m.channels) = {std::uint8_t(note), std::uint8_t(inst), 0, 0, 0};
      }
    }
    m.patterns.push_back(pattern);
  }
  for (int inst = 1; inst <= 2; ++inst) {  // one looped 8-bit wave for all notes, no envelopes
    XmSample wave;
    wave.name = "wave";
    wave.sixteenBit = false;
    wave.volume = inst == 1 ? 24 : 48;
    const int length = 32;
    for (int i = 0; i < length; ++i) {
      const int tri = i < length / 2 ? -64 + 8 * i : 64 - 8 * (i - length / 2);
      const int value = inst == 1 ? (i < length / 2 ? 40 : -40) : std::clamp(tri, -127, 127);
      wave.pcm.push_back(std::int16_t(value * 256));
    }
    wave.loop = XmLoop::Forward;
    wave.loopLength = length;
    XmInstrument instrument;
    instrument.name = inst == 1 ? "square" : "triangle";
    instrument.samples.push_back(wave);
    m.instruments.push_back(instrument);
  }
  save("rockon.xm", xmBytes(m));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: vellumite-sample DIR\nwrites a sample show (scenes, objects, pictures, music) into DIR\n");
    return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
  }
  gDir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(gDir, ec);
  writePictures();
  writeObjects();
  writeScenes();
  writeMusic();
  if (!gOk) return 1;
  std::printf("sample show written to %s\nplay it with: vellumite --data %s\n", gDir.c_str(), gDir.c_str());
  return 0;
}
