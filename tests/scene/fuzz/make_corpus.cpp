// Writes the committed seeds of the scene, object, motion, tokenizer and music fuzz targets,
// all made by the project's own writers. Usage: scene_corpus_maker <source>/tests
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/bass_xm_writer.h"
#include "support/scene_files.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

bool save(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  fs::create_directories(folder);
  std::FILE* f = std::fopen((folder / name).c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A two-group object for layer 1 with texture names, two texture sets and weight maps, and a
// second layer with one plain group.
Bytes richObject() {
  Scene3dxWriter w;
  w.object(2, 1);
  Scene3dxWriter::Material a;
  a.textures = {"skin.jpg", "glow.jpg", "env.jpg", "mask.pcx", "(none)"};
  a.doubleSided = 1;
  w.material(a);
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, 2, {0, 0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1});
  w.triangles({{0, 1, 2}, {2, 1, 3}});
  w.weights({{"upper", {1, 1, 0, 0}}, {"lower", {0, 0, 1, 1}}});
  Scene3dxWriter::Material b;
  b.textures = {"(none)", "(none)", "(none)", "(none)", "base.tga"};
  w.material(b);
  w.vertices({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}});
  w.triangles({{0, 1, 2}});
  w.object(1, 2);
  w.material(Scene3dxWriter::Material{});
  w.vertices({{0, 0, 0}, {0, 2, 0}, {2, 0, 0}}, 1, {0, 0, 0, 1, 1, 0});
  w.triangles({{0, 1, 2}});
  return w.bytes;
}

Bytes plainObject() {
  Scene3dxWriter w;
  w.object(1, 1);
  w.material(Scene3dxWriter::Material{});
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  w.triangles({{0, 1, 2}});
  return w.bytes;
}

std::string keyed(const std::string& keyword) {
  std::vector<std::vector<SceneKey>> channels(9);
  for (int c = 0; c < 9; ++c) {
    channels[c] = {{c >= 6 ? 1.0f : 0.0f, 0.0f, 0}, {c >= 6 ? 1.5f : 1.0f + c, 1.0f, 3}, {0.5f, 2.0f, 4}};
  }
  return sceneKeyedMotionText(keyword, channels);
}

// A scene using every keyword the loader acts on: objects (one twice), a fire, a camera and
// lights with targets, bones with properties, envelopes and ambient light.
std::string richScene(int version) {
  const std::string id = version >= 4 ? " 10000000" : "";
  std::string s = "LWSC\n" + std::to_string(version) + "\n\nFirstFrame 1\nGridSize 0.5\n" +
                  sceneEnvelopeText("AmbientColor", {{{0.2f, 0}, {1, 2}}, {{0.3f, 0}}, {{0.4f, 0}}}) +
                  "AmbientIntensity 0.25\n";
  s += "LoadObjectLayer 1" + id + " Objects\\o0.lwo\n" + keyed("ObjectMotion") + "PivotPosition 0 1 0\n";
  s += "LoadObjectLayer 2" + id + " o0.lwo\n" + sceneItemMotionText("ObjectMotion", 1, 0, 0) + "ParentItem 10000000\n";
  s += "LoadObjectLayer 1" + id + " o1.lwo\n" + sceneItemMotionText("ObjectMotion", 0, 0, 2);
  s += "BoneFalloffType 2\n";
  for (int b = 0; b < 2; ++b) {
    s += std::string(version >= 4 ? "AddBone 40000000\n" : "") + "BoneName Bone" + std::to_string(b) +
         "\nBoneActive 1\nBoneRestPosition 0 " + std::to_string(b) +
         " 0\nBoneRestDirection 0 90 0\n"
         "BoneRestLength 1\nBoneStrength 1\nScaleBoneStrength 1\nBoneLimitedRange 1\nBoneMinRange 0.1\n"
         "BoneMaxRange 2\nBoneNormalization 1\nBoneWeightMapOnly " +
         std::to_string(b) + "\nBoneWeightMapName " + (b == 0 ? "upper" : "lower") + "\n" + keyed("BoneMotion") +
         (b == 0 ? "ParentItem 10000000\n" : "ParentItem 40000000\n");
  }
  s += "AddNullObject" + id + " fire\n" + sceneItemMotionText("ObjectMotion", 0, 1, 0);
  s += "AddNullObject" + id + " Target\n" + keyed("ObjectMotion") + "ParentItem 10000001\n";
  s += std::string(version >= 4 ? "AddLight 20000000\n" : "") + "LightName Sun\n" + keyed("LightMotion") +
       sceneEnvelopeText("LightColor", {{{1, 0}, {0, 3}}, {{1, 0}}, {{1, 0}}}) +
       "LightIntensity 0.8\nLightType 2\nTargetObject 4\nParentItem 30000000\n";
  s += "LightName Lamp\n" + sceneItemMotionText("LightMotion", 0, 3, 0) + "LightColor 1 0.5 0\n" +
       sceneEnvelopeText("LightIntensity", {{{0, 0}, {1, 1}}}) + "LightType 1\n";
  s += std::string(version >= 4 ? "AddCamera 30000000\n" : "") + "CameraName Cam\n" + keyed("CameraMotion") +
       "TargetObject 5\nParentItem 20000001\n";
  s += "CameraName Second\n" + sceneItemMotionText("CameraMotion", 0, 0, -5, 0.3f) + "TargetObject 1\n";
  return s;
}

std::string withObjects(const std::string& scene, const std::vector<Bytes>& objects) {
  std::string s = scene;
  for (const Bytes& o : objects) s += "\n#3DX\n" + std::string(o.begin(), o.end());
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scene_corpus_maker <source>/tests\n");
    return 2;
  }
  const fs::path tests(argv[1]);
  const fs::path scenes = tests / "scene/corpus/scene";
  const fs::path objects = tests / "scene/corpus/object";
  const fs::path motions = tests / "loading/corpus/motion";
  const fs::path tokens = tests / "loading/corpus/tokenizer";
  const fs::path music = tests / "platform/bass/corpus/music";
  bool ok = true;

  const Bytes rich = richObject();
  const Bytes plain = plainObject();
  ok &= save(scenes, "seed_00.lws", text(withObjects(richScene(3), {rich, plain})));
  ok &= save(scenes, "seed_01.lws", text(withObjects(richScene(4), {rich, plain})));
  ok &= save(scenes, "seed_02.lws", text(richScene(3)));
  ok &=
      save(scenes, "seed_03.lws", text("LWSC\n3\nAddNullObject fire\n" + sceneItemMotionText("ObjectMotion", 0, 0, 0)));
  ok &= save(scenes, "seed_04.lws", text("LWSC\n3\nCameraName C\nCameraMotion\n{\n  NumChannels 9\n  Channel 0\n"));
  ok &= save(scenes, "seed_05.lws", text(""));

  ok &= save(objects, "seed_00.3dx", rich);
  ok &= save(objects, "seed_01.3dx", plain);
  Bytes layer2 = rich;
  layer2.push_back(2);  // the last byte picks layer 2
  ok &= save(objects, "seed_02.3dx", layer2);
  ok &= save(objects, "seed_03.3dx", Bytes(rich.begin(), rich.begin() + rich.size() / 2));

  // Motion seeds: the first byte picks the reader (0-3 motion of type 1-4, 4 scalar, 5 colour).
  auto motion = [](std::uint8_t choice, const std::string& body) {
    Bytes b{choice};
    b.insert(b.end(), body.begin(), body.end());
    return b;
  };
  const std::string objectBlock = keyed("").substr(1);
  ok &= save(motions, "seed_00", motion(0, objectBlock + sceneItemMotionText("", 1, 2, 3).substr(1)));
  ok &= save(motions, "seed_01", motion(0xc1, objectBlock));
  ok &= save(motions, "seed_02", motion(3, objectBlock));
  ok &= save(motions, "seed_03", motion(4, "0.75\n"));
  ok &= save(motions, "seed_04", motion(5, sceneEnvelopeText("", {{{1, 0}, {0, 3}}, {{1, 0}}, {{1, 0}}}).substr(1)));
  std::vector<std::vector<SceneKey>> behaviours(9, std::vector<SceneKey>{{0, 0, 0}, {1, 1, 0}, {3, 2, 1}, {2, 4, 2}});
  std::string repeat = sceneKeyedMotionText("", behaviours).substr(1);
  for (std::size_t at = repeat.find("Behaviors 1 1"); at != std::string::npos; at = repeat.find("Behaviors 1 1", at))
    repeat.replace(at, 13, "Behaviors 5 4");
  ok &= save(motions, "seed_05", motion(2, repeat));

  // Tokenizer seeds: eight program bytes, then the file.
  auto program = [](const std::string& body) {
    Bytes b{0, 2, 1, 3, 4, 10, 8, 9};
    b.insert(b.end(), body.begin(), body.end());
    return b;
  };
  ok &= save(tokens, "seed_00", program("LWSC\r\n3\r\nKey\t0 1 -2.5e3 0x1F ffffffff\n" + std::string(300, 'w') + " x"));
  ok &= save(tokens, "seed_01", program(std::string("A\0B  \n\r\n12345678901234567890 -", 33)));
  ok &= save(tokens, "seed_02", Bytes{5, 6, 7, 8, 9, 5, 6, 7, 0x34, 0x12, 0, 0, 0x80, 0x3f, 1});

  const Bytes xm = bass_test::makeTestXm();
  ok &= save(music, "seed_00.xm", xm);
  ok &= save(music, "seed_01.xm", bass_test::makeTestXm(0));
  ok &= save(music, "seed_02.xm", Bytes(xm.begin(), xm.begin() + 80));
  ok &= save(music, "seed_03.xm", Bytes(xm.begin(), xm.begin() + xm.size() - 40));
  if (!ok) {
    std::fprintf(stderr, "scene_corpus_maker: cannot write the corpus\n");
    return 1;
  }
  return 0;
}
