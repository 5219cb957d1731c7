// The glTF reader of the scene converter: JSON through nlohmann's library (without
// exceptions), binary chunks of .glb files, buffers inline, in the .glb or beside the file,
// and accessors of every component type read as numbers.
#include "gltf_document.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace convert {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Bytes = std::vector<unsigned char>;

const Json& member(const Json& object, const char* key) {
  static const Json none;
  if (!object.is_object()) return none;
  auto found = object.find(key);
  return found == object.end() ? none : *found;
}

double number(const Json& object, const char* key, double fallback) {
  const Json& v = member(object, key);
  return v.is_number() ? v.get<double>() : fallback;
}

int integer(const Json& object, const char* key, int fallback = -1) {
  const Json& v = member(object, key);
  return v.is_number_integer() || v.is_number_unsigned() ? v.get<int>() : fallback;
}

std::string text(const Json& object, const char* key) {
  const Json& v = member(object, key);
  return v.is_string() ? v.get<std::string>() : std::string();
}

bool decodeBase64(const std::string& in, Bytes& out) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+' || c == '-') return 62;
    if (c == '/' || c == '_') return 63;
    return -1;
  };
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : in) {
    if (c == '=') break;
    const int v = value(c);
    if (v < 0) return false;
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<unsigned char>(bits >> count));
    }
  }
  return true;
}

bool readFile(const fs::path& path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::uint32_t le32(const unsigned char* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

class Reader {
 public:
  Reader(const Json& root, const fs::path& folder, Bytes glbBinary)
      : json(root), dir(folder), binary(std::move(glbBinary)) {}

  // The accessor's elements as numbers, `components` per element; false when unreadable.
  bool accessor(int index, std::vector<double>& out, int& components, std::string& error) {
    const Json& accessors = member(json, "accessors");
    if (!accessors.is_array() || index < 0 || static_cast<std::size_t>(index) >= accessors.size()) {
      error = "an accessor that does not exist";
      return false;
    }
    const Json& a = accessors[static_cast<std::size_t>(index)];
    const std::string type = text(a, "type");
    components = type == "SCALAR" ? 1
                 : type == "VEC2" ? 2
                 : type == "VEC3" ? 3
                 : type == "VEC4" ? 4
                 : type == "MAT4" ? 16
                                  : 0;
    const int componentType = integer(a, "componentType", 0);
    const int size = componentType == 5126 || componentType == 5125   ? 4
                     : componentType == 5122 || componentType == 5123 ? 2
                     : componentType == 5120 || componentType == 5121 ? 1
                                                                      : 0;
    const int count = integer(a, "count", -1);
    if (components == 0 || size == 0 || count < 0) {
      error = "an accessor of a type animations do not use";
      return false;
    }
    if (!member(a, "sparse").is_null()) {
      error = "sparse accessors are not read";
      return false;
    }
    const bool normalized = member(a, "normalized").is_boolean() && member(a, "normalized").get<bool>();
    out.assign(static_cast<std::size_t>(count) * components, 0.0);
    const int viewIndex = integer(a, "bufferView");
    if (viewIndex < 0) return true;  // all zeros
    const Json& views = member(json, "bufferViews");
    if (!views.is_array() || static_cast<std::size_t>(viewIndex) >= views.size()) {
      error = "a buffer view that does not exist";
      return false;
    }
    const Json& view = views[static_cast<std::size_t>(viewIndex)];
    const Bytes* data = buffer(integer(view, "buffer"), error);
    if (data == nullptr) return false;
    const std::size_t stride = static_cast<std::size_t>(std::max(integer(view, "byteStride", 0), size * components));
    const std::size_t start = static_cast<std::size_t>(std::max(0, integer(view, "byteOffset", 0))) +
                              static_cast<std::size_t>(std::max(0, integer(a, "byteOffset", 0)));
    const std::size_t viewEnd = static_cast<std::size_t>(std::max(0, integer(view, "byteOffset", 0))) +
                                static_cast<std::size_t>(std::max(0, integer(view, "byteLength", 0)));
    const std::uint64_t last =
        static_cast<std::uint64_t>(start) +
        static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(count > 0 ? count - 1 : 0) +
        static_cast<std::uint64_t>(size * components);
    if (count > 0 && last > std::min<std::uint64_t>(viewEnd, data->size())) {
      error = "an accessor runs past its buffer";
      return false;
    }
    for (int e = 0; e < count; ++e) {
      const unsigned char* p = data->data() + start + stride * static_cast<std::size_t>(e);
      for (int c = 0; c < components; ++c, p += size) {
        double v = 0.0;
        switch (componentType) {
          case 5126: {
            const std::uint32_t bits = le32(p);
            float f;
            std::memcpy(&f, &bits, 4);
            v = f;
            break;
          }
          case 5125:
            v = le32(p);
            break;
          case 5123:
            v = (p[0] | (p[1] << 8)) / (normalized ? 65535.0 : 1.0);
            break;
          case 5122:
            v = static_cast<std::int16_t>(p[0] | (p[1] << 8));
            if (normalized) v = std::max(v / 32767.0, -1.0);
            break;
          case 5121:
            v = p[0] / (normalized ? 255.0 : 1.0);
            break;
          default:
            v = static_cast<std::int8_t>(p[0]);
            if (normalized) v = std::max(v / 127.0, -1.0);
            break;
        }
        out[static_cast<std::size_t>(e) * components + c] = v;
      }
    }
    return true;
  }

 private:
  const Bytes* buffer(int index, std::string& error) {
    const Json& buffers = member(json, "buffers");
    if (!buffers.is_array() || index < 0 || static_cast<std::size_t>(index) >= buffers.size()) {
      error = "a buffer that does not exist";
      return nullptr;
    }
    if (loaded.size() < buffers.size()) loaded.resize(buffers.size());
    Loaded& slot = loaded[static_cast<std::size_t>(index)];
    if (slot.done) return slot.ok ? &slot.bytes : nullptr;
    slot.done = true;
    const std::string uri = text(buffers[static_cast<std::size_t>(index)], "uri");
    if (uri.empty()) {
      slot.bytes = binary;  // the .glb's binary chunk
      slot.ok = index == 0 && !binary.empty();
    } else if (uri.rfind("data:", 0) == 0) {
      const std::size_t comma = uri.find(',');
      slot.ok = comma != std::string::npos && decodeBase64(uri.substr(comma + 1), slot.bytes);
    } else {
      slot.ok = readFile(dir / uri, slot.bytes);
    }
    if (!slot.ok)
      error = "the buffer " + (uri.rfind("data:", 0) == 0 ? std::string("inside the file") : uri) + " cannot be read";
    return slot.ok ? &slot.bytes : nullptr;
  }

  struct Loaded {
    bool done = false;
    bool ok = false;
    Bytes bytes;
  };
  const Json& json;
  fs::path dir;
  Bytes binary;
  std::vector<Loaded> loaded;
};

// A node's matrix (column-major, as glTF stores it) as translation, rotation and scale.
void decompose(const Json& matrix, GltfNode& node) {
  double m[16];
  for (int k = 0; k < 16; ++k)
    m[k] = matrix[static_cast<std::size_t>(k)].is_number() ? matrix[static_cast<std::size_t>(k)].get<double>() : 0.0;
  node.translation = {m[12], m[13], m[14]};
  double columns[3][3];
  for (int c = 0; c < 3; ++c) {
    const double length = std::sqrt(m[4 * c] * m[4 * c] + m[4 * c + 1] * m[4 * c + 1] + m[4 * c + 2] * m[4 * c + 2]);
    node.scale[static_cast<std::size_t>(c)] = length;
    for (int r = 0; r < 3; ++r) columns[c][r] = length > 0 ? m[4 * c + r] / length : (r == c ? 1.0 : 0.0);
  }
  const double det = columns[0][0] * (columns[1][1] * columns[2][2] - columns[2][1] * columns[1][2]) -
                     columns[1][0] * (columns[0][1] * columns[2][2] - columns[2][1] * columns[0][2]) +
                     columns[2][0] * (columns[0][1] * columns[1][2] - columns[1][1] * columns[0][2]);
  if (det < 0) {
    node.scale[0] = -node.scale[0];
    for (int r = 0; r < 3; ++r) columns[0][r] = -columns[0][r];
  }
  // Rotation matrix element (row r, column c) = columns[c][r].
  auto e = [&](int r, int c) { return columns[c][r]; };
  const double trace = e(0, 0) + e(1, 1) + e(2, 2);
  Quat q;
  if (trace > 0) {
    const double s = 0.5 / std::sqrt(trace + 1.0);
    q = {(e(2, 1) - e(1, 2)) * s, (e(0, 2) - e(2, 0)) * s, (e(1, 0) - e(0, 1)) * s, 0.25 / s};
  } else if (e(0, 0) > e(1, 1) && e(0, 0) > e(2, 2)) {
    const double s = 2.0 * std::sqrt(1.0 + e(0, 0) - e(1, 1) - e(2, 2));
    q = {0.25 * s, (e(0, 1) + e(1, 0)) / s, (e(0, 2) + e(2, 0)) / s, (e(2, 1) - e(1, 2)) / s};
  } else if (e(1, 1) > e(2, 2)) {
    const double s = 2.0 * std::sqrt(1.0 + e(1, 1) - e(0, 0) - e(2, 2));
    q = {(e(0, 1) + e(1, 0)) / s, 0.25 * s, (e(1, 2) + e(2, 1)) / s, (e(0, 2) - e(2, 0)) / s};
  } else {
    const double s = 2.0 * std::sqrt(1.0 + e(2, 2) - e(0, 0) - e(1, 1));
    q = {(e(0, 2) + e(2, 0)) / s, (e(1, 2) + e(2, 1)) / s, 0.25 * s, (e(1, 0) - e(0, 1)) / s};
  }
  node.rotation = q;
}

template <std::size_t N>
void readArray(const Json& value, std::array<double, N>& out) {
  if (!value.is_array() || value.size() != N) return;
  for (std::size_t k = 0; k < N; ++k)
    if (value[k].is_number()) out[k] = value[k].get<double>();
}

}  // namespace

bool readGltfDocument(const std::string& path, GltfDocument& out, std::string& error) {
  out = GltfDocument();
  Bytes file;
  if (!readFile(path, file)) {
    error = "cannot be read";
    return false;
  }
  Bytes binary;
  std::string jsonText;
  if (file.size() >= 12 && std::memcmp(file.data(), "glTF", 4) == 0) {
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
      const std::uint32_t length = le32(file.data() + at);
      const std::uint32_t type = le32(file.data() + at + 4);
      if (at + 8 + length > file.size()) {
        error = "a damaged binary glTF file (a chunk runs past the end)";
        return false;
      }
      if (type == 0x4E4F534Au)
        jsonText.assign(reinterpret_cast<const char*>(file.data() + at + 8), length);
      else if (type == 0x004E4942u)
        binary.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                      file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
      at += 8 + length;
    }
  } else {
    jsonText.assign(file.begin(), file.end());
  }
  const Json json = Json::parse(jsonText, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    error = "not a glTF file (its JSON cannot be read)";
    return false;
  }
  if (text(member(json, "asset"), "version").rfind("2.", 0) != 0) {
    error = "not a glTF 2.0 file";
    return false;
  }
  Reader reader(json, fs::path(path).parent_path(), std::move(binary));

  const Json& nodes = member(json, "nodes");
  if (nodes.is_array()) {
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const Json& n = nodes[i];
      GltfNode node;
      node.name = text(n, "name");
      node.mesh = integer(n, "mesh");
      node.skin = integer(n, "skin");
      node.camera = integer(n, "camera");
      node.light = integer(member(member(n, "extensions"), "KHR_lights_punctual"), "light");
      if (member(n, "matrix").is_array() && member(n, "matrix").size() == 16) decompose(member(n, "matrix"), node);
      readArray(member(n, "translation"), node.translation);
      readArray(member(n, "rotation"), node.rotation);
      readArray(member(n, "scale"), node.scale);
      const Json& children = member(n, "children");
      if (children.is_array())
        for (const Json& c : children)
          if (c.is_number_integer() && c.get<int>() >= 0 && static_cast<std::size_t>(c.get<int>()) < nodes.size())
            node.children.push_back(c.get<int>());
      out.nodes.push_back(node);
    }
  }
  for (std::size_t i = 0; i < out.nodes.size(); ++i)
    for (int c : out.nodes[i].children) {
      if (out.nodes[static_cast<std::size_t>(c)].parent >= 0 || c == static_cast<int>(i)) {
        error = "a node with two parents";
        return false;
      }
      out.nodes[static_cast<std::size_t>(c)].parent = static_cast<int>(i);
    }
  // A node that is its own ancestor would never end.
  for (std::size_t i = 0; i < out.nodes.size(); ++i) {
    std::size_t steps = 0;
    for (int p = out.nodes[i].parent; p >= 0; p = out.nodes[static_cast<std::size_t>(p)].parent)
      if (++steps > out.nodes.size()) {
        error = "nodes that are their own ancestors";
        return false;
      }
  }
  const Json& scenes = member(json, "scenes");
  const int sceneIndex = std::max(0, integer(json, "scene", 0));
  if (scenes.is_array() && static_cast<std::size_t>(sceneIndex) < scenes.size()) {
    const Json& roots = member(scenes[static_cast<std::size_t>(sceneIndex)], "nodes");
    if (roots.is_array())
      for (const Json& r : roots)
        if (r.is_number_integer() && r.get<int>() >= 0 && static_cast<std::size_t>(r.get<int>()) < out.nodes.size() &&
            out.nodes[static_cast<std::size_t>(r.get<int>())].parent < 0 &&
            std::find(out.roots.begin(), out.roots.end(), r.get<int>()) == out.roots.end())
          out.roots.push_back(r.get<int>());
  } else {
    for (std::size_t i = 0; i < out.nodes.size(); ++i)
      if (out.nodes[i].parent < 0) out.roots.push_back(static_cast<int>(i));
  }

  const Json& cameras = member(json, "cameras");
  if (cameras.is_array())
    for (const Json& c : cameras) {
      GltfCamera camera;
      camera.name = text(c, "name");
      camera.perspective = text(c, "type") != "orthographic";
      const Json& p = member(c, "perspective");
      camera.yfov = number(p, "yfov", 0.0);
      camera.aspectRatio = number(p, "aspectRatio", 0.0);
      camera.znear = number(camera.perspective ? p : member(c, "orthographic"), "znear", 0.1);
      out.cameras.push_back(camera);
    }
  const Json& lights = member(member(member(json, "extensions"), "KHR_lights_punctual"), "lights");
  if (lights.is_array())
    for (const Json& l : lights) {
      GltfLight light;
      light.name = text(l, "name");
      const std::string type = text(l, "type");
      light.kind = type == "directional" ? LightKind::directional : type == "spot" ? LightKind::spot : LightKind::point;
      readArray(member(l, "color"), light.colour);
      light.intensity = number(l, "intensity", 1.0);
      light.range = number(l, "range", 0.0);
      light.innerCone = number(member(l, "spot"), "innerConeAngle", 0.0);
      light.outerCone = number(member(l, "spot"), "outerConeAngle", 0.785398163);
      out.lights.push_back(light);
    }
  const Json& skins = member(json, "skins");
  if (skins.is_array())
    for (const Json& s : skins) {
      GltfSkin skin;
      skin.name = text(s, "name");
      skin.skeleton = integer(s, "skeleton");
      const Json& joints = member(s, "joints");
      if (joints.is_array())
        for (const Json& j : joints)
          if (j.is_number_integer() && j.get<int>() >= 0 && static_cast<std::size_t>(j.get<int>()) < out.nodes.size())
            skin.joints.push_back(j.get<int>());
      out.skins.push_back(skin);
    }

  const Json& animations = member(json, "animations");
  if (animations.is_array())
    for (std::size_t a = 0; a < animations.size(); ++a) {
      const Json& anim = animations[a];
      GltfAnimation animation;
      animation.name = text(anim, "name");
      if (animation.name.empty()) animation.name = "animation " + std::to_string(a);
      const Json& samplers = member(anim, "samplers");
      if (samplers.is_array())
        for (const Json& s : samplers) {
          GltfSampler sampler;
          const std::string interpolation = text(s, "interpolation");
          sampler.interpolation = interpolation == "STEP"          ? Interpolation::step
                                  : interpolation == "CUBICSPLINE" ? Interpolation::cubicSpline
                                                                   : Interpolation::linear;
          int inputComponents = 0;
          std::string why;
          if (!reader.accessor(integer(s, "input"), sampler.times, inputComponents, why) ||
              !reader.accessor(integer(s, "output"), sampler.values, sampler.components, why)) {
            error = "animation " + animation.name + ": " + why;
            return false;
          }
          if (inputComponents != 1 || !std::is_sorted(sampler.times.begin(), sampler.times.end())) {
            error = "animation " + animation.name + ": key times that are not a rising list";
            return false;
          }
          animation.samplers.push_back(std::move(sampler));
        }
      const Json& channels = member(anim, "channels");
      if (channels.is_array())
        for (const Json& c : channels) {
          const Json& target = member(c, "target");
          const std::string pathName = text(target, "path");
          GltfChannel channel;
          channel.node = integer(target, "node");
          channel.sampler = integer(c, "sampler");
          if (pathName == "weights") {
            ++animation.morphChannels;
            continue;
          }
          if (pathName != "translation" && pathName != "rotation" && pathName != "scale") continue;
          channel.path = pathName == "translation" ? AnimatedPath::translation
                         : pathName == "rotation"  ? AnimatedPath::rotation
                                                   : AnimatedPath::scale;
          if (channel.node < 0 || static_cast<std::size_t>(channel.node) >= out.nodes.size() || channel.sampler < 0 ||
              static_cast<std::size_t>(channel.sampler) >= animation.samplers.size())
            continue;
          const GltfSampler& sampler = animation.samplers[static_cast<std::size_t>(channel.sampler)];
          const int wanted = channel.path == AnimatedPath::rotation ? 4 : 3;
          const std::size_t perKey =
              static_cast<std::size_t>(wanted) * (sampler.interpolation == Interpolation::cubicSpline ? 3 : 1);
          if (sampler.components != wanted || sampler.values.size() != sampler.times.size() * perKey) {
            error = "animation " + animation.name + ": a sampler whose values do not fit its key times";
            return false;
          }
          animation.channels.push_back(channel);
        }
      out.animations.push_back(std::move(animation));
    }
  return true;
}

}  // namespace convert
