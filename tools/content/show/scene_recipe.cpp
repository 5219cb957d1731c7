// Scene recipe compiler. A recipe names items at the start of a line and gives their
// properties on the indented lines below:
//
//   object pillar.lwo as PillarL      a mesh (the 3dx file of that base name), optionally renamed
//   null Aim                          an item without geometry ("fire" carries the fire)
//   null fire as Torch0               the same, renamed in the recipe (a scene may hold many fires)
//   bone Shin                         a bone of the last object
//   light Key                         a light;  camera Eye: the camera
//   ambient color KEYS / ambient intensity KEYS
//   grid 1.5                          the scene's grid size (near and far planes)
//
// Properties: position X Y Z, rotation H P B (degrees), x y z h p b sx sy sz scale KEYS,
// pivot X Y Z, parent NAME, target NAME, type directional|point|spot, color KEYS,
// intensity KEYS; bones: rest X Y Z, direction H P B, length L, strength S, falloff N,
// weightmap NAME, scaled, limited MIN MAX, inactive.
//
// A KEYS is a constant ("0.5", "1,0.8,0.6" for colours) or keys TIME:VALUE (VALUE with commas
// for colours), with an optional default shape word (tcb, linear, step), a per-key shape
// suffix (/t, /l, /s), and the options pre=, post= (reset, constant, repeat, oscillate,
// offset, linear), tension=, continuity=, bias=.
#include "scene_recipe.h"

#include <cmath>
#include <map>
#include <sstream>
#include <vector>

#include "writers/scene_text_writer.h"

namespace {

constexpr float kDegrees = 0.017453292f;

struct Context {
  const RecipeLine* line = nullptr;
  void error(const std::string& message) const { RecipeErrors::report(line->file, line->lineNumber, message); }
};

int behaviourNumber(const std::string& name, const Context& at) {
  static const std::map<std::string, int> names = {{"reset", 0},     {"constant", 1}, {"repeat", 2},
                                                   {"oscillate", 3}, {"offset", 4},   {"linear", 5}};
  const auto it = names.find(name);
  if (it != names.end()) return it->second;
  at.error("unknown end behaviour '" + name + "'");
  return 1;
}

int shapeNumber(const std::string& name) {
  if (name == "tcb" || name == "t") return 0;
  if (name == "linear" || name == "l") return 3;
  if (name == "step" || name == "s") return 4;
  return -1;
}

// Parses the words from `first` on (and the line's options) into `components` channels,
// each value multiplied by `factor` (degrees to radians).
std::vector<SceneChannel> parseSpec(const RecipeLine& line, std::size_t first, int components, float factor,
                                    const Context& at) {
  std::vector<SceneChannel> channels(static_cast<std::size_t>(components));
  int shape = 0;  // TCB unless told
  for (std::size_t i = first; i < line.words.size(); ++i) {
    const int s = shapeNumber(line.words[i]);
    if (s >= 0 && line.words[i].find(':') == std::string::npos) shape = s;
  }
  const float tension = line.number("tension", 0), continuity = line.number("continuity", 0),
              bias = line.number("bias", 0);
  const int pre = behaviourNumber(line.text("pre", "constant"), at);
  const int post = behaviourNumber(line.text("post", "constant"), at);
  for (SceneChannel& c : channels) c.pre = pre, c.post = post;

  auto values = [&](const std::string& text, std::vector<float>* out, bool single = false) {
    std::stringstream s(text);
    std::string part;
    while (std::getline(s, part, ',')) {
      float v;
      if (!parseNumber(part, &v)) return false;
      out->push_back(v * factor);
    }
    return int(out->size()) == components || (single && out->size() == 1);
  };

  bool keyed = false, failed = false;
  std::vector<std::vector<float>> constants;
  for (std::size_t i = first; i < line.words.size(); ++i) {
    std::string w = line.words[i];
    if (shapeNumber(w) >= 0) continue;
    const std::size_t colon = w.find(':');
    if (colon == std::string::npos) {
      std::vector<float> v;
      if (!values(w, &v, true)) {
        at.error("'" + w + "' is not a value of " + std::to_string(components) + " component(s)");
        failed = true;
        continue;
      }
      constants.push_back(v);
      continue;
    }
    keyed = true;
    int keyShape = shape;
    const std::size_t slash = w.find('/');
    if (slash != std::string::npos) {
      keyShape = shapeNumber(w.substr(slash + 1));
      if (keyShape < 0) at.error("unknown key shape in '" + w + "'");
      w = w.substr(0, slash);
    }
    float time;
    std::vector<float> v;
    if (!parseNumber(w.substr(0, colon), &time) || !values(w.substr(colon + 1), &v)) {
      at.error("'" + w + "' is not a key TIME:VALUE");
      failed = true;
      continue;
    }
    for (int k = 0; k < components; ++k)
      channels[std::size_t(k)].keys.push_back(
          SceneKey{v[std::size_t(k)], time, keyShape < 0 ? shape : keyShape, tension, continuity, bias});
  }
  if (keyed && !constants.empty()) at.error("a value mixes constants and keys");
  if (!keyed) {
    if (constants.size() == std::size_t(components) && components > 1 &&
        constants[0].size() == 1) {  // "position 1 2 3" style: one value each
      for (int k = 0; k < components; ++k)
        channels[std::size_t(k)].keys.push_back(SceneKey{constants[std::size_t(k)][0], 0});
    } else if (constants.size() == 1 && constants[0].size() == std::size_t(components)) {
      for (int k = 0; k < components; ++k)
        channels[std::size_t(k)].keys.push_back(SceneKey{constants[0][std::size_t(k)], 0});
    } else if (!failed) {
      at.error("expected a value");
    }
  }
  return channels;
}

SceneChannel constant(float v) { return SceneChannel{{SceneKey{v, 0}}, 1, 1}; }

enum class Kind { kObject, kLight, kCamera, kBone };

struct Item {
  Kind kind;
  std::string name;
  std::string header;                  // the line that creates it
  int index = 0;                       // in the scene's list of its kind
  int boneNumber = 0;                  // bones: among the bones of their object
  int owner = 0;                       // bones: object index
  std::vector<SceneChannel> channels;  // nine: position, rotation (radians), scale
  std::string parent, target;
  std::string extra;  // type, colour, intensity, pivot, bone properties
  std::string boneProperties;
  bool hasColour = false, hasIntensity = false;
};

std::string numbers(const RecipeLine& line, std::size_t first, int count, float factor, const Context& at) {
  std::ostringstream s;
  s.precision(9);
  for (int k = 0; k < count; ++k) {
    float v = 0;
    if (first + std::size_t(k) >= line.words.size() || !parseNumber(line.words[first + std::size_t(k)], &v))
      at.error("expected " + std::to_string(count) + " numbers");
    s << " " << v * factor;
  }
  return s.str();
}

}  // namespace

std::string compileSceneRecipe(const RecipeFile& recipe) {
  std::vector<Item> items;
  std::string head = "LWSC\n3\n\nFirstFrame 1\nLastFrame 1800\nFramesPerSecond 30\n";
  std::string ambient;
  int counts[4] = {0, 0, 0, 0};
  std::map<int, int> bonesOfObject;
  int lastObject = -1;
  int falloff = 2;

  for (const RecipeLine& line : recipe.lines) {
    Context at{&line};
    const std::string& word = line.words.empty() ? std::string() : line.words[0];
    if (!line.indented) {
      if (word == "grid") {
        head += "GridSize" + numbers(line, 1, 1, 1, at) + "\n";
      } else if (word == "ambient" && line.words.size() >= 3 && line.words[1] == "color") {
        ambient += sceneValueOrEnvelope("AmbientColor", parseSpec(line, 2, 3, 1, at));
      } else if (word == "ambient" && line.words.size() >= 3 && line.words[1] == "intensity") {
        ambient += sceneValueOrEnvelope("AmbientIntensity", parseSpec(line, 2, 1, 1, at));
      } else if (word == "falloff") {
        float f = 2;
        if (line.words.size() < 2 || !parseNumber(line.words[1], &f)) at.error("falloff needs a number");
        falloff = int(f);
      } else if ((word == "object" || word == "null" || word == "camera" || word == "light" || word == "bone") &&
                 line.words.size() >= 2) {
        Item item;
        item.channels = {constant(0), constant(0), constant(0), constant(0), constant(0),
                         constant(0), constant(1), constant(1), constant(1)};
        if (word == "object") {
          item.kind = Kind::kObject;
          std::string file = line.words[1];
          item.name = file.substr(0, file.rfind('.'));
          if (line.words.size() >= 4 && line.words[2] == "as") item.name = line.words[3];
          item.header = "LoadObjectLayer 1 Objects/" + file + "\n";
        } else if (word == "null") {
          // "null fire as Torch0": the scene names it fire (and gives it a fire), the recipe Torch0.
          item.kind = Kind::kObject;
          item.name = line.words[1];
          item.header = "AddNullObject " + item.name + "\n";
          if (line.words.size() >= 4 && line.words[2] == "as") item.name = line.words[3];
        } else if (word == "camera") {
          item.kind = Kind::kCamera;
          item.name = line.words[1];
          item.header = "CameraName " + item.name + "\n";
        } else if (word == "light") {
          item.kind = Kind::kLight;
          item.name = line.words[1];
          item.header = "LightName " + item.name + "\n";
        } else {
          item.kind = Kind::kBone;
          item.name = line.words[1];
          if (lastObject < 0) at.error("a bone needs an object above it");
          item.owner = lastObject;
          item.boneNumber = bonesOfObject[lastObject]++;
          item.header = "BoneFalloffType " + std::to_string(falloff) + "\nBoneName " + item.name + "\n";
        }
        item.index = counts[int(item.kind)]++;
        if (item.kind == Kind::kObject) lastObject = item.index;
        for (const Item& other : items)
          if (other.name == item.name) at.error("the name " + item.name + " is used twice");
        items.push_back(item);
      } else {
        at.error("unknown statement '" + word + "'");
      }
      continue;
    }
    if (items.empty()) {
      at.error("a property needs an item above it");
      continue;
    }
    Item& item = items.back();
    static const std::map<std::string, std::pair<int, float>> channelNames = {
        {"x", {0, 1}},        {"y", {1, 1}},  {"z", {2, 1}},  {"h", {3, kDegrees}}, {"p", {4, kDegrees}},
        {"b", {5, kDegrees}}, {"sx", {6, 1}}, {"sy", {7, 1}}, {"sz", {8, 1}}};
    const auto channel = channelNames.find(word);
    if (channel != channelNames.end()) {
      item.channels[std::size_t(channel->second.first)] = parseSpec(line, 1, 1, channel->second.second, at)[0];
    } else if (word == "scale") {
      const SceneChannel c = parseSpec(line, 1, 1, 1, at)[0];
      item.channels[6] = item.channels[7] = item.channels[8] = c;
    } else if (word == "position" || word == "rotation") {
      const auto c = parseSpec(line, 1, 3, word == "rotation" ? kDegrees : 1, at);
      for (int k = 0; k < 3; ++k) item.channels[std::size_t(k + (word == "rotation" ? 3 : 0))] = c[std::size_t(k)];
    } else if (word == "parent" && line.words.size() == 2) {
      item.parent = line.words[1];
    } else if (word == "target" && line.words.size() == 2) {
      item.target = line.words[1];
    } else if (word == "pivot" && item.kind == Kind::kObject) {
      item.extra += "PivotPosition" + numbers(line, 1, 3, 1, at) + "\n";
    } else if (word == "type" && item.kind == Kind::kLight && line.words.size() == 2) {
      const std::string& t = line.words[1];
      item.extra += std::string("LightType ") + (t == "directional" ? "0" : t == "point" ? "1" : "2") + "\n";
      if (t != "directional" && t != "point" && t != "spot") at.error("light types are directional, point, spot");
    } else if (word == "color" && item.kind == Kind::kLight) {
      item.extra += sceneValueOrEnvelope("LightColor", parseSpec(line, 1, 3, 1, at));
      item.hasColour = true;
    } else if (word == "intensity" && item.kind == Kind::kLight) {
      item.extra += sceneValueOrEnvelope("LightIntensity", parseSpec(line, 1, 1, 1, at));
      item.hasIntensity = true;
    } else if (item.kind == Kind::kBone && word == "rest") {
      item.boneProperties += "BoneRestPosition" + numbers(line, 1, 3, 1, at) + "\n";
      const auto c = parseSpec(line, 1, 3, 1, at);
      for (int k = 0; k < 3; ++k) item.channels[std::size_t(k)] = c[std::size_t(k)];
    } else if (item.kind == Kind::kBone && word == "direction") {
      item.boneProperties += "BoneRestDirection" + numbers(line, 1, 3, 1, at) + "\n";
      const auto c = parseSpec(line, 1, 3, kDegrees, at);
      for (int k = 0; k < 3; ++k) item.channels[std::size_t(k + 3)] = c[std::size_t(k)];
    } else if (item.kind == Kind::kBone && word == "length") {
      item.boneProperties += "BoneRestLength" + numbers(line, 1, 1, 1, at) + "\n";
    } else if (item.kind == Kind::kBone && word == "strength") {
      item.boneProperties += "BoneStrength" + numbers(line, 1, 1, 1, at) + "\n";
    } else if (item.kind == Kind::kBone && word == "weightmap" && line.words.size() == 2) {
      item.boneProperties += "BoneWeightMapName " + line.words[1] + "\n";
    } else if (item.kind == Kind::kBone && word == "scaled") {
      item.boneProperties += "ScaleBoneStrength 1\n";
    } else if (item.kind == Kind::kBone && word == "limited") {
      item.boneProperties += "BoneLimitedRange 1\nBoneMinRange" + numbers(line, 1, 1, 1, at) + "\nBoneMaxRange" +
                             numbers(line, 2, 1, 1, at) + "\n";
    } else {
      at.error("'" + word + "' is not a property of " + item.name);
    }
  }

  auto find = [&](const std::string& name) -> const Item* {
    for (const Item& i : items)
      if (i.name == name) return &i;
    return nullptr;
  };
  std::string body;
  for (const Item& item : items) {
    body += "\n" + item.header;
    if (item.kind == Kind::kBone) body += "BoneActive 1\n" + item.boneProperties;
    static const char* const motions[4] = {"ObjectMotion", "LightMotion", "CameraMotion", "BoneMotion"};
    body += sceneMotionBlock(motions[int(item.kind)], item.channels);
    if (item.kind == Kind::kLight) {
      // The light's motion comes first: colour and intensity are filed with it.
      body += item.extra;
      if (!item.hasColour) body += "LightColor 1 1 1\n";
      if (!item.hasIntensity) body += "LightIntensity 1\n";
    } else {
      body += item.extra;
    }
    if (!item.parent.empty()) {
      const Item* p = find(item.parent);
      if (p == nullptr) {
        RecipeErrors::report(recipe.path, 0, item.name + ": no item named " + item.parent);
      } else if (p->kind == Kind::kBone) {
        body += "ParentItem " + sceneItemId(4, unsigned(p->boneNumber << 16 | p->owner)) + "\n";
      } else {
        static const unsigned kinds[3] = {1, 2, 3};
        body += "ParentItem " + sceneItemId(kinds[int(p->kind)], unsigned(p->index)) + "\n";
      }
    }
    if (!item.target.empty()) {
      const Item* t = find(item.target);
      if (t == nullptr || t->kind != Kind::kObject)
        RecipeErrors::report(recipe.path, 0, item.name + ": the target " + item.target + " is no object");
      else
        body += "TargetObject " + std::to_string(t->index + 1) + "\n";
    }
  }
  return head + body + "\n" + ambient;
}
