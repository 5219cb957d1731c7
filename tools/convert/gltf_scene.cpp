// The glTF scene conversion: items in the order the program numbers them, motions baked
// per item, the scene text written with the shared scene writer.
#include "gltf_scene.h"

#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "convert_report.h"
#include "gltf_document.h"
#include "object_writer.h"
#include "scene_motion.h"
#include "writers/scene_text_writer.h"

namespace convert {
namespace {

namespace fs = std::filesystem;
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = 180.0 / kPi;
// The program's scene camera sees 45 degrees across and 34 degrees down.
constexpr double kViewWidth = 45.0;
constexpr double kViewHeight = 34.0;

std::string token(const std::string& name, const std::string& fallback) {
  std::string out;
  for (char c : name)
    out += std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ')' || c == '\\' || c == '/' ? '_' : c;
  if (out.empty()) out = fallback;
  if (out.size() > 63) out.resize(63);
  return out;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Pairs glTF nodes with the import library's nodes: the same tree, a made-up root above
// several scene roots.
void pairNodes(const GltfDocument& doc, int node, const aiNode* ai, std::vector<const aiNode*>& out) {
  out[static_cast<std::size_t>(node)] = ai;
  const GltfNode& n = doc.nodes[static_cast<std::size_t>(node)];
  if (ai->mNumChildren != n.children.size()) return;
  for (std::size_t c = 0; c < n.children.size(); ++c) pairNodes(doc, n.children[c], ai->mChildren[c], out);
}

struct Item {
  int node = -1;
  bool mesh = false;     // an object file, not a null
  std::string name;      // the item's name token
  std::string fileName;  // NAME.lwo for objects
};

void depthFirst(const GltfDocument& doc, int node, std::vector<int>& order) {
  order.push_back(node);
  for (int c : doc.nodes[static_cast<std::size_t>(node)].children) depthFirst(doc, c, order);
}

std::string fixed(double v) {
  std::ostringstream s;
  s.precision(7);
  s << v;
  return s.str();
}

std::string motionBlock(const std::string& keyword, std::vector<SceneChannel> channels, std::size_t count) {
  channels.resize(count);
  return sceneMotionBlock(keyword, channels);
}

std::vector<SceneChannel> staticChannels(const Channels& c) {
  std::vector<SceneChannel> channels(9);
  for (std::size_t k = 0; k < 9; ++k) channels[k].keys.push_back(SceneKey{static_cast<float>(c[k]), 0.0f, 3});
  return channels;
}

bool nonUniform(const Vec3& s) {
  const double largest = std::max({std::fabs(s[0]), std::fabs(s[1]), std::fabs(s[2])});
  return largest > 0 && (std::fabs(s[0] - s[1]) > 1e-4 * largest || std::fabs(s[1] - s[2]) > 1e-4 * largest);
}

}  // namespace

int convertGltfScene(const std::string& input, const std::string& scenePath, const GltfSceneOptions& options,
                     std::FILE* log) {
  GltfDocument doc;
  std::string error;
  if (!readGltfDocument(input, doc, error)) {
    std::fprintf(log, "vellumite-convert: cannot convert %s: %s\n", input.c_str(), error.c_str());
    return 2;
  }
  ConvertReport report;
  const fs::path sceneFile(scenePath);
  const std::string outDir = sceneFile.parent_path().empty() ? "." : sceneFile.parent_path().string();
  ImportOptions import = options.import;
  import.flipZ = true;
  import.up = 'y';
  import.outDir = outDir;
  import.outBase = sceneFile.stem().string();
  NodeMeshes meshes(input, import, report);
  if (!meshes.read(error)) {
    std::fprintf(log, "vellumite-convert: cannot convert %s: %s\n", input.c_str(), error.c_str());
    return 2;
  }
  std::vector<const aiNode*> aiNodes(doc.nodes.size(), nullptr);
  const aiNode* aiRoot = meshes.scene()->mRootNode;
  if (doc.roots.size() == 1) {
    pairNodes(doc, doc.roots[0], aiRoot, aiNodes);
  } else if (aiRoot->mNumChildren == doc.roots.size()) {
    for (std::size_t r = 0; r < doc.roots.size(); ++r) pairNodes(doc, doc.roots[r], aiRoot->mChildren[r], aiNodes);
  }
  for (std::size_t n = 0; n < doc.nodes.size(); ++n) {  // where the trees differ, by name
    const aiNode* ai = aiNodes[n];
    if ((ai == nullptr || (!doc.nodes[n].name.empty() && doc.nodes[n].name != ai->mName.C_Str())) &&
        !doc.nodes[n].name.empty())
      aiNodes[n] = aiRoot->FindNode(doc.nodes[n].name.c_str());
  }

  // Which animations play.
  std::vector<int> animations;
  for (std::size_t a = 0; a < doc.animations.size(); ++a)
    if (options.animation.empty() || doc.animations[a].name == options.animation)
      animations.push_back(static_cast<int>(a));
  if (!options.animation.empty() && animations.empty()) {
    std::fprintf(log, "vellumite-convert: %s has no animation named %s\n", input.c_str(), options.animation.c_str());
    return 2;
  }
  if (options.animation.empty() && animations.size() > 1)
    report.note(std::to_string(animations.size()) + " animations play at once (--animation NAME plays one)");
  for (int a : animations)
    if (doc.animations[static_cast<std::size_t>(a)].morphChannels > 0)
      report.note("animation " + doc.animations[static_cast<std::size_t>(a)].name +
                  ": morph target weights are not carried");
  for (int a : animations) {
    const GltfAnimation& animation = doc.animations[static_cast<std::size_t>(a)];
    for (const GltfChannel& channel : animation.channels) {
      if (channel.path != AnimatedPath::scale) continue;
      const GltfSampler& sampler = animation.samplers[static_cast<std::size_t>(channel.sampler)];
      for (std::size_t k = 0; k + 2 < sampler.values.size(); k += 3)
        if (nonUniform({sampler.values[k], sampler.values[k + 1], sampler.values[k + 2]})) {
          report.note(
              "node " +
              token(doc.nodes[static_cast<std::size_t>(channel.node)].name, "node_" + std::to_string(channel.node)) +
              ": its animated scale is not the same along every axis; the program scales after turning, so that "
              "is exact only where it is not turned");
          break;
        }
    }
  }
  const double scale = options.import.scale;
  const NodeAnimator animator(doc, animations, scale);
  const double end = animator.endTime();

  // Every node of the scene becomes an object (with a mesh) or a null, in depth-first order.
  std::vector<int> order;
  for (int r : doc.roots) depthFirst(doc, r, order);
  std::vector<int> itemOf(doc.nodes.size(), -1);
  std::vector<Item> items;
  std::set<std::string> usedNames;
  BakeReport bake;
  int written = 0;
  std::ostringstream body;
  std::vector<std::string> objectTexts(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) itemOf[static_cast<std::size_t>(order[i])] = static_cast<int>(i);

  for (std::size_t i = 0; i < order.size(); ++i) {
    const int node = order[i];
    const GltfNode& n = doc.nodes[static_cast<std::size_t>(node)];
    Item item;
    item.node = node;
    item.name = token(n.name, "node_" + std::to_string(node));
    std::string base = item.name;
    for (int k = 2; usedNames.count(lower(base)) != 0; ++k) base = item.name + "_" + std::to_string(k);
    usedNames.insert(lower(base));
    item.name = base;
    if (nonUniform(n.scale))
      report.note("node " + item.name +
                  ": its scale is not the same along every axis; the program scales after turning, so that is exact "
                  "only where it is not turned");

    std::ostringstream s;
    if (n.mesh >= 0) {
      ConvertedObject object;
      ImportStats stats;
      if (aiNodes[static_cast<std::size_t>(node)] == nullptr) {
        report.note("node " + item.name + ": its mesh is not found by the import library; it becomes a null");
      } else if (meshes.nodeObject(aiNodes[static_cast<std::size_t>(node)], object, stats)) {
        // A skinned object carries a weight map per joint in every group: a bone whose map a
        // group lacks would weigh that group fully.
        if (n.skin >= 0 && static_cast<std::size_t>(n.skin) < doc.skins.size()) {
          for (int joint : doc.skins[static_cast<std::size_t>(n.skin)].joints) {
            const aiNode* ai = aiNodes[static_cast<std::size_t>(joint)];
            const std::string mapName =
                token(ai != nullptr ? ai->mName.C_Str() : doc.nodes[static_cast<std::size_t>(joint)].name, "weight");
            for (Layer& layer : object.layers)
              for (Group& g : layer.groups) {
                bool found = false;
                for (const WeightMap& m : g.weightMaps) found = found || m.name == mapName;
                if (!found)
                  g.weightMaps.push_back(
                      WeightMap{mapName, std::vector<float>(static_cast<std::size_t>(g.vertexCount()), 0.0f)});
              }
          }
        }
        item.fileName = item.name + ".lwo";
        const std::string objectPath = (fs::path(outDir) / (item.name + ".3dx")).string();
        if (!writeObjectFile(object, objectPath)) {
          std::fprintf(log, "vellumite-convert: cannot write %s: %s\n", objectPath.c_str(), std::strerror(errno));
          return 1;
        }
        ++written;
        item.mesh = true;
        if (!options.quiet)
          std::fprintf(log, "  %s -> %s: %d groups, %d vertices, %d triangles\n", item.name.c_str(), objectPath.c_str(),
                       stats.groups, stats.vertices, stats.triangles);
      }
    }
    const std::string id = sceneItemId(1, static_cast<unsigned>(i));
    if (item.mesh)
      s << "LoadObjectLayer 1 " << id << " " << item.fileName << "\n";
    else
      s << "AddNullObject " << id << " " << item.name << "\n";
    std::vector<double> times, steps;
    animator.keyTimes({node}, times, steps);
    if (!times.empty()) times.push_back(end);
    s << sceneMotionBlock("ObjectMotion",
                          bakeMotion([&](double t) { return animator.local(node, t); }, times, steps, bake));
    if (n.parent >= 0 && itemOf[static_cast<std::size_t>(n.parent)] >= 0)
      s << "ParentItem " << sceneItemId(1, static_cast<unsigned>(itemOf[static_cast<std::size_t>(n.parent)])) << "\n";
    s << "\n";

    // Bones: one per joint, under the joint's null, turned so that it points along the
    // joint's +y (where bones point in the usual rigs) as the program's bones point along +z.
    if (item.mesh && n.skin >= 0 && static_cast<std::size_t>(n.skin) < doc.skins.size()) {
      const GltfSkin& skin = doc.skins[static_cast<std::size_t>(n.skin)];
      s << "BoneFalloffType 1\n";
      const Mat4 turn = rotationX(-kPi / 2);
      unsigned boneNumber = 0;
      // Lengths: to the first child joint of the skin; a last joint in a chain takes its
      // parent's (glTF keeps no bone ends), a lone one a tenth of a unit.
      std::vector<double> lengths(skin.joints.size(), 0.0);
      for (std::size_t b = 0; b < skin.joints.size(); ++b) {
        const Mat4 rest = animator.restWorld(skin.joints[b]);
        for (int c : doc.nodes[static_cast<std::size_t>(skin.joints[b])].children) {
          if (std::find(skin.joints.begin(), skin.joints.end(), c) == skin.joints.end()) continue;
          const Mat4 child = animator.restWorld(c);
          double sum = 0;
          for (int k = 0; k < 3; ++k) sum += (child(3, k) - rest(3, k)) * (child(3, k) - rest(3, k));
          lengths[b] = std::sqrt(sum);
          break;
        }
      }
      for (std::size_t b = 0; b < skin.joints.size(); ++b) {
        if (lengths[b] > 0) continue;
        const int parent = doc.nodes[static_cast<std::size_t>(skin.joints[b])].parent;
        const auto found = std::find(skin.joints.begin(), skin.joints.end(), parent);
        const double inherited =
            found == skin.joints.end() ? 0.0 : lengths[static_cast<std::size_t>(found - skin.joints.begin())];
        lengths[b] = inherited > 0 ? inherited : 0.1 * scale;
      }
      for (std::size_t b = 0; b < skin.joints.size(); ++b) {
        const int joint = skin.joints[b];
        if (itemOf[static_cast<std::size_t>(joint)] < 0) {
          report.note("skin of " + item.name + ": a joint outside the scene is not carried");
          continue;
        }
        const Mat4 rest = animator.restWorld(joint);
        const double det = rest(0, 0) * (rest(1, 1) * rest(2, 2) - rest(1, 2) * rest(2, 1)) -
                           rest(0, 1) * (rest(1, 0) * rest(2, 2) - rest(1, 2) * rest(2, 0)) +
                           rest(0, 2) * (rest(1, 0) * rest(2, 1) - rest(1, 1) * rest(2, 0));
        const double size = std::cbrt(std::fabs(det));
        const Channels restChannels = matrixChannels(turn * rest, Channels{0, 0, 0, 0, 0, 0, 1, 1, 1});
        const double length = lengths[b];
        const aiNode* ai = aiNodes[static_cast<std::size_t>(joint)];
        const std::string mapName =
            token(ai != nullptr ? ai->mName.C_Str() : doc.nodes[static_cast<std::size_t>(joint)].name, "weight");
        s << "AddBone " << sceneItemId(4, (boneNumber++ << 16) | static_cast<unsigned>(i)) << "\n";
        s << "BoneName " << token(doc.nodes[static_cast<std::size_t>(joint)].name, "joint_" + std::to_string(joint))
          << "\n";
        s << "BoneRestPosition " << fixed(restChannels[0]) << " " << fixed(restChannels[1]) << " "
          << fixed(restChannels[2]) << "\n";
        s << "BoneRestDirection " << fixed(restChannels[3] * kDegrees) << " " << fixed(restChannels[4] * kDegrees)
          << " " << fixed(restChannels[5] * kDegrees) << "\n";
        s << "BoneRestLength " << fixed(std::max(length, 1e-4)) << "\nBoneStrength 1\nBoneActive 1\n";
        s << "BoneWeightMapName " << mapName << "\nBoneWeightMapOnly 1\n";
        // The bone's own motion: the turn, and the joint's rest scale undone (its rest pose has none).
        Channels own = matrixChannels(turn, Channels{0, 0, 0, 0, 0, 0, 1, 1, 1});
        for (int k = 6; k < 9; ++k) own[static_cast<std::size_t>(k)] = size > 0 ? 1.0 / size : 1.0;
        s << sceneMotionBlock("BoneMotion", staticChannels(own));
        s << "ParentItem " << sceneItemId(1, static_cast<unsigned>(itemOf[static_cast<std::size_t>(joint)])) << "\n\n";
        if (std::fabs(size - 1.0) > 1e-3)
          report.note("skin of " + item.name + ": a joint's rest pose is scaled; its bone undoes the scale");
      }
    }
    objectTexts[i] = s.str();
    items.push_back(item);
  }
  for (const std::string& t : objectTexts) body << t;

  // Nodes whose transform reaches a world matrix: the node and its ancestors.
  auto chain = [&](int node) {
    std::vector<int> nodes;
    for (int p = node; p >= 0; p = doc.nodes[static_cast<std::size_t>(p)].parent) nodes.push_back(p);
    return nodes;
  };
  // World motion without scale, for cameras and lights.
  auto unscaledWorld = [&](int node) {
    return [&animator, node](double t) {
      Mat4 m = animator.world(node, t);
      for (int r = 0; r < 3; ++r) {
        const double length = std::sqrt(m(r, 0) * m(r, 0) + m(r, 1) * m(r, 1) + m(r, 2) * m(r, 2));
        if (length > 0)
          for (int c = 0; c < 3; ++c) m(r, c) /= length;
      }
      return m;
    };
  };

  // The camera: the named one, else the first in the scene.
  int cameraNode = -1;
  int cameras = 0;
  for (int node : order) {
    const GltfNode& n = doc.nodes[static_cast<std::size_t>(node)];
    if (n.camera < 0 || static_cast<std::size_t>(n.camera) >= doc.cameras.size()) continue;
    ++cameras;
    const bool named =
        !options.camera.empty() &&
        (n.name == options.camera || doc.cameras[static_cast<std::size_t>(n.camera)].name == options.camera);
    if ((options.camera.empty() && cameraNode < 0) || named) cameraNode = node;
  }
  if (!options.camera.empty() && cameraNode < 0) {
    std::fprintf(log, "vellumite-convert: %s has no camera named %s\n", input.c_str(), options.camera.c_str());
    return 2;
  }
  if (cameras > 1)
    report.note(std::to_string(cameras - 1) +
                " further cameras are not carried (the program plays one; --camera NAME chooses)");
  double gridSize = 1.0;
  std::ostringstream cameraText;
  if (cameraNode >= 0) {
    const GltfNode& n = doc.nodes[static_cast<std::size_t>(cameraNode)];
    const GltfCamera& camera = doc.cameras[static_cast<std::size_t>(n.camera)];
    const std::string name = token(n.name.empty() ? camera.name : n.name, "camera");
    cameraText << "AddCamera " << sceneItemId(3, 0) << "\nCameraName " << name << "\n";
    std::vector<double> times, steps;
    animator.keyTimes(chain(cameraNode), times, steps);
    if (!times.empty()) times.push_back(end);
    cameraText << motionBlock("CameraMotion", bakeMotion(unscaledWorld(cameraNode), times, steps, bake), 6) << "\n";
    if (!camera.perspective) {
      report.note("camera " + name + ": an orthographic camera is drawn in perspective");
    } else if (camera.yfov > 0) {
      const double aspect = camera.aspectRatio > 0
                                ? camera.aspectRatio
                                : std::tan(kViewWidth / 2 / kDegrees) / std::tan(kViewHeight / 2 / kDegrees);
      const double height = camera.yfov * kDegrees;
      const double width = 2 * std::atan(aspect * std::tan(camera.yfov / 2)) * kDegrees;
      if (std::fabs(width - kViewWidth) > 0.5 || std::fabs(height - kViewHeight) > 0.5) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "camera %s: its field of view, %.1f° x %.1f°, is not carried: the program's scene camera sees "
                      "45° x 34° (%+.1f° across, %+.1f° down)",
                      name.c_str(), width, height, kViewWidth - width, kViewHeight - height);
        report.note(text);
      }
    }
    // The program puts its near plane at a tenth of the grid size.
    if (camera.znear > 0) gridSize = std::clamp(camera.znear * scale * 10.0, 1e-3, 1e3);
  } else {
    report.note("the scene has no camera: the program's camera stays at the origin, looking along +z");
  }

  // Lights.
  std::ostringstream lightText;
  int lightIndex = 0;
  for (int node : order) {
    const GltfNode& n = doc.nodes[static_cast<std::size_t>(node)];
    if (n.light < 0 || static_cast<std::size_t>(n.light) >= doc.lights.size()) continue;
    const GltfLight& light = doc.lights[static_cast<std::size_t>(n.light)];
    const std::string name = token(n.name.empty() ? light.name : n.name, "light");
    lightText << "AddLight " << sceneItemId(2, static_cast<unsigned>(lightIndex++)) << "\nLightName " << name << "\n";
    std::vector<double> times, steps;
    animator.keyTimes(chain(node), times, steps);
    if (!times.empty()) times.push_back(end);
    const auto world = unscaledWorld(node);
    std::vector<SceneChannel> channels = bakeMotion(world, times, steps, bake);
    // Turn each key's angles into a light's, which turns by heading before pitch: its
    // direction is the node's -z in the program's axes, the third row of the matrix.
    std::array<double, 2> previous{0, 0};
    for (std::size_t k = 0; k < channels[0].keys.size(); ++k) {
      const Mat4 m = world(channels[0].keys[k].time);
      previous = lightAngles({m(2, 0), m(2, 1), m(2, 2)}, previous);
      channels[3].keys[k].value = static_cast<float>(previous[0]);
      channels[4].keys[k].value = static_cast<float>(previous[1]);
      channels[5].keys[k].value = 0.0f;
    }
    lightText << motionBlock("LightMotion", channels, 6);
    // Intensity: Blender's watts, as its exporter turns them into glTF's candela (× 683 / 4pi)
    // and lux (× 683), matched where the program's light falls off as 1 / (1 + d), at 1 unit.
    double intensity = light.intensity / 683.0;
    if (light.kind != LightKind::directional) intensity = 2.0 * light.intensity / 683.0;
    lightText << "LightColor " << fixed(light.colour[0]) << " " << fixed(light.colour[1]) << " "
              << fixed(light.colour[2]) << "\n";
    lightText << "LightIntensity " << fixed(intensity) << "\n";
    lightText << "LightType "
              << (light.kind == LightKind::directional ? 0
                  : light.kind == LightKind::point     ? 1
                                                       : 2)
              << "\n\n";
    if (light.kind == LightKind::spot) {
      char text[200];
      std::snprintf(
          text, sizeof text,
          "light %s: its cone (%.1f° inside, %.1f° outside) is not carried: the program's spot lights have none",
          name.c_str(), 2 * light.innerCone * kDegrees, 2 * light.outerCone * kDegrees);
      report.note(text);
    }
    if (light.kind != LightKind::directional)
      report.note("lights reach 8 units in the program and fall off as 1 / (1 + distance)");
  }

  std::ostringstream scene;
  scene << "LWSC\n4\n\nFirstFrame 0\nLastFrame " << static_cast<long>(std::ceil(end * 30.0))
        << "\nFramesPerSecond 30\n";
  scene << "GridSize " << fixed(gridSize) << "\n";
  scene << "AmbientColor 1 1 1\nAmbientIntensity " << fixed(options.ambient) << "\n\n";
  scene << body.str() << cameraText.str() << lightText.str();
  {
    std::ofstream out(scenePath, std::ios::binary);
    out << scene.str();
    if (!out) {
      std::fprintf(log, "vellumite-convert: cannot write %s: %s\n", scenePath.c_str(), std::strerror(errno));
      return 1;
    }
  }
  if (!options.quiet) {
    std::fprintf(log, "%s -> %s: %zu items (%d objects), %s, %d lights, %d keys over %.2f s\n", input.c_str(),
                 scenePath.c_str(), items.size(), written, cameraNode >= 0 ? "1 camera" : "no camera", lightIndex,
                 bake.keys, end);
    std::fprintf(
        log,
        "  motions baked into linear keys: at the checked points they stray at most %.4f° in rotation, %.6f units "
        "in position and %.6f in scale from the glTF motion\n",
        bake.worstAngle * kDegrees, bake.worstPosition, bake.worstScale);
    for (const std::string& note : report.notes) std::fprintf(log, "  note: %s\n", note.c_str());
  }
  return 0;
}

}  // namespace convert
