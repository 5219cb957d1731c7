// The converter's import: file -> asset import library -> groups per material in the
// engine's axes, with texture sets laid out the way the engine assigns them.
#include "model_import.h"

#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <unordered_map>

#include "lwo_layers.h"
#include "lwob_object.h"
#include "polygon_split.h"
#include "texture_files.h"

namespace convert {
namespace {

namespace fs = std::filesystem;

const char* const kSlotNames[kSlotCount] = {"colour map", "second map", "reflection map", "alpha map", "base map"};

// Source texture kinds per slot, first found wins.
const std::vector<aiTextureType> kSlotTypes[kSlotCount] = {
    {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR},
    {aiTextureType_EMISSIVE, aiTextureType_EMISSION_COLOR},
    {aiTextureType_REFLECTION},
    {aiTextureType_OPACITY},
    {aiTextureType_LIGHTMAP, aiTextureType_AMBIENT_OCCLUSION, aiTextureType_AMBIENT},
};

struct UncarriedKind {
  aiTextureType type;
  const char* name;
};
const UncarriedKind kUncarried[] = {
    {aiTextureType_NORMALS, "normal"},
    {aiTextureType_HEIGHT, "bump"},
    {aiTextureType_SPECULAR, "specular"},
    {aiTextureType_SHININESS, "glossiness"},
    {aiTextureType_DISPLACEMENT, "displacement"},
    {aiTextureType_METALNESS, "metalness"},
    {aiTextureType_DIFFUSE_ROUGHNESS, "roughness"},
    {aiTextureType_NORMAL_CAMERA, "camera normal"},
    {aiTextureType_SHEEN, "sheen"},
    {aiTextureType_CLEARCOAT, "clearcoat"},
    {aiTextureType_TRANSMISSION, "transmission"},
    {aiTextureType_UNKNOWN, "other"},
};

std::uint32_t packColour(const aiColor4D& c) {
  auto channel = [](float v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
  return 0xFF000000u | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

// A group's material and the source texture coordinate channel of each texture set.
struct MaterialInfo {
  GroupMaterial material;
  std::vector<unsigned> setChannels;
};

// Builds the layers of a converted object from imported scenes: one group per material
// (split at the format's limits), vertices in the engine's axes, weight maps per bone.
class ObjectBuilder {
 public:
  ObjectBuilder(const std::string& sourcePath, const ImportOptions& importOptions, ConvertReport& conversionReport)
      : path(sourcePath), options(importOptions), report(conversionReport) {
    textures.sourceDir = fs::path(sourcePath).parent_path().string();
    if (textures.sourceDir.empty()) textures.sourceDir = ".";
    textures.outDir = options.outDir.empty() ? "." : options.outDir;
    textures.outBase = options.outBase;
    textures.report = &report;
    std::string extension = fs::path(sourcePath).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    gltfSource = extension == ".gltf" || extension == ".glb";
  }

  // One node's own meshes, in its own coordinates, into the layer.
  void addNodeMeshes(const aiScene* scene, const aiNode* node, Layer& layer) {
    openGroups.clear();
    pointsByPosition.clear();
    for (unsigned m = 0; m < node->mNumMeshes; ++m)
      if (node->mMeshes[m] < scene->mNumMeshes)
        addMesh(scene, scene->mMeshes[node->mMeshes[m]], aiMatrix4x4(), layer, nullptr);
  }

  // One imported file (or LightWave layer) into the layer.
  void addScene(const aiScene* scene, Layer& layer, const LwoLayer* lwo) {
    materials.clear();
    openGroups.clear();
    pointsByPosition.clear();
    if (lwo != nullptr) {
      for (std::size_t p = 0; p * 3 + 2 < lwo->points.size(); ++p) {
        Key key{lwo->points[3 * p], lwo->points[3 * p + 1], lwo->points[3 * p + 2]};
        pointsByPosition.emplace(key, static_cast<int>(p));
      }
    }
    addNode(scene, scene->mRootNode, aiMatrix4x4(), layer, lwo);
  }

 private:
  struct Key {
    float x, y, z;
    bool operator==(const Key& o) const { return std::memcmp(this, &o, sizeof(Key)) == 0; }
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const {
      std::uint32_t v[3];
      std::memcpy(v, &k, sizeof v);
      return (v[0] * 73856093u) ^ (v[1] * 19349663u) ^ (v[2] * 83492791u);
    }
  };

  void addNode(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent, Layer& layer, const LwoLayer* lwo) {
    const aiMatrix4x4 transform = parent * node->mTransformation;
    for (unsigned m = 0; m < node->mNumMeshes; ++m) {
      const aiMesh* mesh = scene->mMeshes[node->mMeshes[m]];
      addMesh(scene, mesh, transform, layer, lwo);
    }
    for (unsigned c = 0; c < node->mNumChildren; ++c) addNode(scene, node->mChildren[c], transform, layer, lwo);
  }

  const MaterialInfo& material(const aiScene* scene, unsigned index) {
    auto found = materials.find(index);
    if (found != materials.end()) return found->second;
    MaterialInfo info;
    if (index < scene->mNumMaterials) info = convertMaterial(scene, scene->mMaterials[index]);
    return materials.emplace(index, std::move(info)).first->second;
  }

  MaterialInfo convertMaterial(const aiScene* scene, const aiMaterial* source) {
    MaterialInfo info;
    GroupMaterial& m = info.material;
    aiString name;
    if (source->Get(AI_MATKEY_NAME, name) == AI_SUCCESS) m.name = name.C_Str();
    const std::string label = m.name.empty() ? "a material" : "material " + m.name;
    aiString alphaMode;
    const bool gltf = source->Get("$mat.gltf.alphaMode", 0, 0, alphaMode) == AI_SUCCESS;
    const bool opaqueMode = gltf && std::strcmp(alphaMode.C_Str(), "OPAQUE") == 0;
    aiColor4D colour;
    if (source->Get(AI_MATKEY_COLOR_DIFFUSE, colour) == AI_SUCCESS ||
        source->Get(AI_MATKEY_BASE_COLOR, colour) == AI_SUCCESS)
      m.diffuse = packColour(colour);
    float glossiness = 0.0f;
    if (gltf) {
      // A glTF specular colour is a reflectance at normal incidence, not a highlight: the
      // program adds its specular colour wherever light falls, so it is left black.
      if (source->Get(AI_MATKEY_GLOSSINESS_FACTOR, glossiness) == AI_SUCCESS)
        report.note(label + ": its specular-glossiness values are not carried (the program has no highlights)");
    } else if (source->Get(AI_MATKEY_COLOR_SPECULAR, colour) == AI_SUCCESS) {
      float strength = 1.0f;
      if (source->Get(AI_MATKEY_SHININESS_STRENGTH, strength) == AI_SUCCESS) colour = colour * strength;
      m.specular = packColour(colour);
    }
    float opacity = 1.0f;
    if (source->Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) {
      m.transparency = std::clamp(1.0f - opacity, 0.0f, 1.0f);
    } else if (source->Get(AI_MATKEY_TRANSPARENCYFACTOR, opacity) == AI_SUCCESS) {
      m.transparency = std::clamp(opacity, 0.0f, 1.0f);
    }
    if (opaqueMode) m.transparency = 0.0f;
    int twoSided = 0;
    if (source->Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS) m.doubleSided = twoSided != 0;

    unsigned channels[kSlotCount] = {};
    PlacedTexture colourPicture;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      for (aiTextureType type : kSlotTypes[slot]) {
        const unsigned count = source->GetTextureCount(type);
        if (count == 0) continue;
        aiString texturePath;
        unsigned uvIndex = 0;
        aiTextureMapping mapping = aiTextureMapping_UV;
        if (source->GetTexture(type, 0, &texturePath, &mapping, &uvIndex) != AI_SUCCESS) continue;
        if (count > 1) report.note(label + ": only the first " + kSlotNames[slot] + " is carried");
        if (mapping != aiTextureMapping_UV)
          report.note(label + ": the " + std::string(kSlotNames[slot]) + " has no texture coordinates");
        noteAddressing(source, type, label, kSlotNames[slot]);
        // glTF keeps occlusion in the red channel of a picture whose other channels may
        // hold roughness and metalness: only the red channel becomes the base map.
        const bool occlusion = gltf && (type == aiTextureType_LIGHTMAP || type == aiTextureType_AMBIENT_OCCLUSION);
        PlacedTexture placed =
            occlusion ? placeRedChannel(scene, texturePath.C_Str(), textures) : place(scene, texturePath.C_Str());
        if (placed.name.empty()) break;
        if (slot == kAlphaMap)
          report.note(
              label +
              ": its opacity map is used as it is; the program reads alpha pictures as black opaque, white clear");
        m.textures[slot] = placed.name;
        channels[slot] = uvIndex;
        if (slot == kColourMap) colourPicture = placed;
        break;
      }
    }
    // The colour picture's own alpha channel becomes the alpha map, unless the material is
    // opaque or has an opacity map of its own.
    if (colourPicture.alpha && !opaqueMode && m.textures[kAlphaMap].empty() &&
        source->GetTextureCount(aiTextureType_OPACITY) == 0) {
      const std::string alphaName = useAlpha(colourPicture, textures);
      if (!alphaName.empty()) {
        m.textures[kAlphaMap] = alphaName;
        channels[kAlphaMap] = channels[kColourMap];
      }
    }
    // The program draws a colour map through its alpha map only without a base map; beside a
    // base map the alpha map would be bound and unused, and the material drawn opaque.
    if (!m.textures[kAlphaMap].empty() && !m.textures[kColourMap].empty() && !m.textures[kBaseMap].empty()) {
      report.note(label + ": its base (" + baseKind(gltf) + ") map is not carried, so that its alpha map is");
      m.textures[kBaseMap].clear();
    }
    for (const UncarriedKind& kind : kUncarried) {
      const unsigned count = source->GetTextureCount(kind.type);
      if (count == 0) continue;
      std::string what = kind.name;
      if (kind.type == aiTextureType_UNKNOWN && gltf) what = "metallic-roughness";
      aiString texturePath;
      std::string file;
      if (source->GetTexture(kind.type, 0, &texturePath) == AI_SUCCESS) file = texturePath.C_Str();
      if (!file.empty() && file[0] == '*') file = "embedded picture " + file.substr(1);
      report.note(label + ": its " + what + " map is not carried" + (file.empty() ? "" : " (" + file + ")"));
    }
    // The engine gives the maps texture sets in slot order; the reflection map's set is unused.
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (!m.textures[slot].empty()) info.setChannels.push_back(channels[slot]);
    }
    return info;
  }

  static std::string baseKind(bool gltf) { return gltf ? "occlusion" : "light"; }

  // The object file has no addressing: every map repeats. Clamped and mirrored maps are said.
  void noteAddressing(const aiMaterial* source, aiTextureType type, const std::string& label, const char* slotName) {
    int modes[2] = {aiTextureMapMode_Wrap, aiTextureMapMode_Wrap};
    source->Get(AI_MATKEY_MAPPINGMODE_U(type, 0), modes[0]);
    source->Get(AI_MATKEY_MAPPINGMODE_V(type, 0), modes[1]);
    for (int axis = 0; axis < 2; ++axis) {
      const char* mode = modes[axis] == aiTextureMapMode_Clamp    ? "clamped"
                         : modes[axis] == aiTextureMapMode_Mirror ? "mirrored"
                         : modes[axis] == aiTextureMapMode_Decal  ? "decal (clamped to nothing)"
                                                                  : nullptr;
      if (mode != nullptr)
        report.note(label + ": its " + slotName + " is " + mode + " in " + (axis == 0 ? "u" : "v") +
                    "; the program repeats every map, so that is not carried");
    }
  }

  PlacedTexture place(const aiScene* scene, const std::string& source) {
    auto found = placedTextures.find(source);
    if (found != placedTextures.end()) return found->second;
    PlacedTexture placed = placeTexture(scene, source, textures);
    placedTextures.emplace(source, placed);
    return placed;
  }

  // The mesh's weight maps: for each vertex, the weight of each named map.
  struct MeshWeights {
    std::vector<std::string> names;
    std::vector<float> values;  // vertex-major: values[v * names.size() + k]
  };

  MeshWeights meshWeights(const aiMesh* mesh, const LwoLayer* lwo) {
    MeshWeights w;
    if (mesh->mNumBones > 0) {
      for (unsigned b = 0; b < mesh->mNumBones; ++b) w.names.push_back(mapToken(mesh->mBones[b]->mName.C_Str()));
      w.values.assign(static_cast<std::size_t>(mesh->mNumVertices) * w.names.size(), 0.0f);
      for (unsigned b = 0; b < mesh->mNumBones; ++b) {
        const aiBone* bone = mesh->mBones[b];
        for (unsigned k = 0; k < bone->mNumWeights; ++k) {
          const aiVertexWeight& vw = bone->mWeights[k];
          if (vw.mVertexId < mesh->mNumVertices) w.values[vw.mVertexId * w.names.size() + b] = vw.mWeight;
        }
      }
    } else if (lwo != nullptr && !lwo->weightMaps.empty()) {
      for (const LwoWeightMap& map : lwo->weightMaps) w.names.push_back(mapToken(map.name));
      w.values.assign(static_cast<std::size_t>(mesh->mNumVertices) * w.names.size(), 0.0f);
      int unmatched = 0;
      for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        // The importer hands LightWave points over with z mirrored; undo that to find the point.
        const aiVector3D& p = mesh->mVertices[v];
        auto point = pointsByPosition.find(Key{p.x, p.y, -p.z});
        if (point == pointsByPosition.end()) {
          ++unmatched;
          continue;
        }
        for (std::size_t k = 0; k < lwo->weightMaps.size(); ++k) {
          auto value = lwo->weightMaps[k].values.find(point->second);
          if (value != lwo->weightMaps[k].values.end()) w.values[v * w.names.size() + k] = value->second;
        }
      }
      if (unmatched > 0)
        report.note(std::to_string(unmatched) + " vertices were not found among the layer's points; they weigh 0");
    }
    return w;
  }

  std::string mapToken(const std::string& name) {
    std::string token;
    for (char c : name) token += std::isspace(static_cast<unsigned char>(c)) ? '_' : c;
    if (token.empty()) token = "weight";
    if (token.size() > 63) {
      report.note("the weight map name " + name + " is cut to 63 characters");
      token.resize(63);
    }
    return token;
  }

  Group& newGroup(Layer& layer, unsigned materialIndex, const MaterialInfo& info, const aiMesh* mesh) {
    layer.groups.emplace_back();
    Group& g = layer.groups.back();
    g.material = info.material;
    g.texSetCount = static_cast<int>(info.setChannels.size());
    if (g.texSetCount == 0 && mesh->HasTextureCoords(0)) g.texSetCount = 1;  // keep the coordinates for later maps
    openGroups[materialIndex] = layer.groups.size() - 1;
    return g;
  }

  void addMesh(const aiScene* scene, const aiMesh* mesh, const aiMatrix4x4& transform, Layer& layer,
               const LwoLayer* lwo) {
    if (mesh->mNumFaces == 0 || mesh->mNumVertices == 0) return;
    if (mesh->HasVertexColors(0)) report.note("vertex colours are not carried");
    const MaterialInfo& info = material(scene, mesh->mMaterialIndex);
    const MeshWeights weights = meshWeights(mesh, lwo);
    // A glTF skin places its mesh by its joints and inverse bind matrices, not by the
    // mesh's node: the object holds the mesh as the skin binds it.
    std::vector<aiVector3D> bound;
    aiMatrix4x4 placement = transform;
    if (gltfSource && mesh->mNumBones > 0) placement = bindPositions(scene, mesh, bound);
    const bool mirrored = aiMatrix3x3(placement).Determinant() < 0.0f;
    const bool reverse = options.flipZ != mirrored;

    auto open = openGroups.find(mesh->mMaterialIndex);
    Group* g =
        open != openGroups.end() ? &layer.groups[open->second] : &newGroup(layer, mesh->mMaterialIndex, info, mesh);
    std::vector<int> remap(mesh->mNumVertices, -1);
    std::vector<std::array<unsigned, 3>> faceTriangles;
    std::vector<std::array<float, 3>> corners;
    std::vector<std::array<int, 3>> split;
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      const aiFace& face = mesh->mFaces[f];
      if (face.mNumIndices < 3) continue;
      bool valid = true;
      for (unsigned k = 0; k < face.mNumIndices; ++k) valid = valid && face.mIndices[k] < mesh->mNumVertices;
      if (!valid) return;
      faceTriangles.clear();
      if (face.mNumIndices == 3) {
        faceTriangles.push_back({face.mIndices[0], face.mIndices[1], face.mIndices[2]});
      } else {
        corners.clear();
        split.clear();
        for (unsigned k = 0; k < face.mNumIndices; ++k) {
          const aiVector3D& p = mesh->mVertices[face.mIndices[k]];
          corners.push_back({p.x, p.y, p.z});
        }
        if (!splitPolygon(corners, split)) ++fannedPolygons;
        for (const auto& t : split)
          faceTriangles.push_back({face.mIndices[t[0]], face.mIndices[t[1]], face.mIndices[t[2]]});
      }
      for (const auto& triangle : faceTriangles) {
        int fresh = 0;
        for (unsigned k = 0; k < 3; ++k) {
          const unsigned i = triangle[k];
          if (remap[i] < 0 && (k == 0 || triangle[k] != triangle[k - 1])) ++fresh;
        }
        if (g->vertexCount() + fresh > kMaxGroupVertices || g->triangleCount() + 1 > kMaxGroupTriangles) {
          g = &newGroup(layer, mesh->mMaterialIndex, info, mesh);
          std::fill(remap.begin(), remap.end(), -1);
          report.note("a mesh larger than 32767 vertices or triangles is split into several groups");
        }
        std::uint16_t corner[3];
        for (unsigned k = 0; k < 3; ++k) {
          const unsigned i = triangle[k];
          if (remap[i] < 0)
            remap[i] = addVertex(*g, mesh, i, bound.empty() ? transform * mesh->mVertices[i] : bound[i], info, weights);
          corner[k] = static_cast<std::uint16_t>(remap[i]);
        }
        g->indices.push_back(corner[0]);
        g->indices.push_back(reverse ? corner[2] : corner[1]);
        g->indices.push_back(reverse ? corner[1] : corner[2]);
      }
    }
  }

  // Each vertex's position in the skin's bind pose: the sum over its joints of weight ×
  // (joint's world matrix × inverse bind matrix) × position. Returns the placement of the
  // first joint, whose handedness decides the winding.
  aiMatrix4x4 bindPositions(const aiScene* scene, const aiMesh* mesh, std::vector<aiVector3D>& out) {
    std::vector<aiMatrix4x4> skin(mesh->mNumBones);
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
      const aiBone* bone = mesh->mBones[b];
      aiMatrix4x4 world;
      for (const aiNode* n = scene->mRootNode->FindNode(bone->mName); n != nullptr; n = n->mParent)
        world = n->mTransformation * world;
      skin[b] = world * bone->mOffsetMatrix;
    }
    std::vector<aiVector3D> sum(mesh->mNumVertices, aiVector3D(0, 0, 0));
    std::vector<float> total(mesh->mNumVertices, 0.0f);
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
      const aiBone* bone = mesh->mBones[b];
      for (unsigned k = 0; k < bone->mNumWeights; ++k) {
        const aiVertexWeight& vw = bone->mWeights[k];
        if (vw.mVertexId >= mesh->mNumVertices || vw.mWeight <= 0.0f) continue;
        sum[vw.mVertexId] += (skin[b] * mesh->mVertices[vw.mVertexId]) * vw.mWeight;
        total[vw.mVertexId] += vw.mWeight;
      }
    }
    out.resize(mesh->mNumVertices);
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) out[v] = total[v] > 0.0f ? sum[v] / total[v] : mesh->mVertices[v];
    return skin.empty() ? aiMatrix4x4() : skin[0];
  }

  int addVertex(Group& g, const aiMesh* mesh, unsigned i, aiVector3D p, const MaterialInfo& info,
                const MeshWeights& weights) {
    const int index = g.vertexCount();
    if (options.up == 'z') p = aiVector3D(p.x, p.z, -p.y);
    if (options.flipZ) p.z = -p.z;
    p *= options.scale;
    g.positions.insert(g.positions.end(), {p.x, p.y, p.z});
    for (int s = 0; s < g.texSetCount; ++s) {
      const unsigned channel = s < static_cast<int>(info.setChannels.size()) ? info.setChannels[s] : 0;
      if (mesh->HasTextureCoords(channel)) {
        const aiVector3D& t = mesh->mTextureCoords[channel][i];
        g.texCoords.insert(g.texCoords.end(), {t.x, 1.0f - t.y});
      } else {
        g.texCoords.insert(g.texCoords.end(), {0.0f, 0.0f});
        report.note((g.material.name.empty() ? std::string("a material") : "material " + g.material.name) +
                    ": some of its meshes have no texture coordinates for its maps");
      }
    }
    for (WeightMap& map : g.weightMaps) map.values.push_back(0.0f);
    for (std::size_t k = 0; k < weights.names.size(); ++k) {
      WeightMap* map = nullptr;
      for (WeightMap& existing : g.weightMaps)
        if (existing.name == weights.names[k]) map = &existing;
      if (map == nullptr) {
        g.weightMaps.push_back(
            WeightMap{weights.names[k], std::vector<float>(static_cast<std::size_t>(index) + 1, 0.0f)});
        map = &g.weightMaps.back();
      }
      map->values[index] = weights.values[static_cast<std::size_t>(i) * weights.names.size() + k];
    }
    return index;
  }

  const std::string& path;
  const ImportOptions& options;
  ConvertReport& report;
  TextureContext textures;
  std::map<unsigned, MaterialInfo> materials;
  std::map<unsigned, std::size_t> openGroups;
  std::map<std::string, PlacedTexture> placedTextures;
  std::unordered_map<Key, int, KeyHash> pointsByPosition;
  bool gltfSource = false;

 public:
  int fannedPolygons = 0;  // polygons too bent or tangled to clip, cut into fans
};

// Reads, counts what triangulation and the primitive filter will change, then post-processes.
const aiScene* readScene(Assimp::Importer& importer, const std::string& path, ImportStats& stats, std::string& error) {
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  const aiScene* scene = importer.ReadFile(path, 0);
  if (scene == nullptr || scene->mRootNode == nullptr) {
    error = importer.GetErrorString();
    if (error.empty()) error = "not a 3D file this converter reads";
    return nullptr;
  }
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* mesh = scene->mMeshes[m];
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      if (mesh->mFaces[f].mNumIndices > 3) ++stats.ngons;
      if (mesh->mFaces[f].mNumIndices < 3) ++stats.droppedFaces;
    }
  }
  // Polygons are cut into triangles by the builder, which keeps every corner of bent and
  // tangled polygons.
  scene = importer.ApplyPostProcessing(aiProcess_SortByPType | aiProcess_JoinIdenticalVertices | aiProcess_GenUVCoords |
                                       aiProcess_TransformUVCoords | aiProcess_ValidateDataStructure);
  if (scene == nullptr) {
    error = importer.GetErrorString();
    if (error.empty()) error = "the file's data is inconsistent";
  }
  return scene;
}

// Drops empty groups and layers, counts what is left and reports fanned polygons.
void finish(int fannedPolygons, ConvertedObject& out, ImportStats& stats, ConvertReport& report) {
  if (fannedPolygons > 0)
    report.note(std::to_string(fannedPolygons) +
                " polygons are not flat or cross themselves: each was cut into a fan of triangles from its first "
                "corner, keeping all its corners (the source's program may have drawn them otherwise)");
  for (Layer& layer : out.layers) {
    layer.groups.erase(
        std::remove_if(layer.groups.begin(), layer.groups.end(), [](const Group& g) { return g.indices.empty(); }),
        layer.groups.end());
  }
  out.layers.erase(
      std::remove_if(out.layers.begin(), out.layers.end(), [](const Layer& l) { return l.groups.empty(); }),
      out.layers.end());
  stats.layers = static_cast<int>(out.layers.size());
  for (const Layer& layer : out.layers) {
    for (const Group& g : layer.groups) {
      ++stats.groups;
      stats.vertices += g.vertexCount();
      stats.triangles += g.triangleCount();
      stats.weightMaps = std::max(stats.weightMaps, static_cast<int>(g.weightMaps.size()));
    }
  }
}

}  // namespace

bool importModel(const std::string& path, const ImportOptions& given, ConvertedObject& out, ImportStats& stats,
                 ConvertReport& report, std::string& error) {
  out = ConvertedObject();
  stats = ImportStats();
  ImportOptions options = given;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    error = fs::exists(path, ec) ? "not a file" : "no such file";
    return false;
  }
  std::vector<unsigned char> head(12);
  {
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head.data()), 12);
    head.resize(static_cast<std::size_t>(in.gcount()));
  }
  // The importer already turns 3DS, Collada and FBX files upright.
  if (options.up == 0) options.up = 'y';
  ObjectBuilder builder(path, options, report);

  LwoFile lwo;
  if (looksLikeLwo(head) && !readLwoLayers(path, lwo)) {
    error = "a damaged LightWave object (a chunk runs past the end of the file)";
    return false;
  }
  if (lwo.isLwo2 && !lwo.layers.empty()) {
    std::vector<const LwoLayer*> chosen;
    for (const LwoLayer& layer : lwo.layers)
      if (options.layer == 0 || layer.number + 1 == options.layer) chosen.push_back(&layer);
    if (chosen.empty()) {
      error = "has no layer " + std::to_string(options.layer) + " (it has " + std::to_string(lwo.layers.size()) + ")";
      return false;
    }
    std::string firstError;
    for (const LwoLayer* layer : chosen) {
      Assimp::Importer reader;
      reader.SetPropertyInteger(AI_CONFIG_IMPORT_LWO_ONE_LAYER_ONLY, layer->number + 1);
      std::string layerError;
      const aiScene* scene = readScene(reader, path, stats, layerError);
      const int number = options.merge ? 1 : layer->number + 1;
      if (scene == nullptr) {
        if (firstError.empty()) firstError = layerError;
        report.note("layer " + std::to_string(layer->number + 1) + " is not carried: " + layerError);
        continue;
      }
      if (number > 127) {
        report.note("layer " + std::to_string(number) + " is not carried: object files number layers up to 127");
        continue;
      }
      if (out.layers.empty() || out.layers.back().number != number) {
        out.layers.emplace_back();
        out.layers.back().number = number;
      }
      builder.addScene(scene, out.layers.back(), layer);
    }
    if (out.layers.empty()) {
      error = firstError;
      return false;
    }
  } else if (!lwo.isLwo2 && looksLikeLwo(head)) {
    // LightWave 5 objects are read here: the import library cannot build them.
    if (options.layer > 1) {
      error = "has no layer " + std::to_string(options.layer) + " (LightWave 5 objects have one)";
      return false;
    }
    LwobResult lwob = readLwobObject(path);
    if (!lwob.scene) {
      error = lwob.error;
      return false;
    }
    for (const std::string& note : lwob.notes) report.note(note);
    stats.droppedFaces += lwob.dropped;
    for (unsigned m = 0; m < lwob.scene->mNumMeshes; ++m) {
      const aiMesh* mesh = lwob.scene->mMeshes[m];
      for (unsigned f = 0; f < mesh->mNumFaces; ++f)
        if (mesh->mFaces[f].mNumIndices > 3) ++stats.ngons;
    }
    out.layers.emplace_back();
    builder.addScene(lwob.scene.get(), out.layers.back(), nullptr);
  } else {
    if (options.layer > 1) {
      error = "has no layer " + std::to_string(options.layer) + " (only LightWave objects have layers)";
      return false;
    }
    Assimp::Importer reader;
    const aiScene* scene = readScene(reader, path, stats, error);
    if (scene == nullptr) return false;
    out.layers.emplace_back();
    builder.addScene(scene, out.layers.back(), nullptr);
  }

  finish(builder.fannedPolygons, out, stats, report);
  if (stats.triangles == 0) {
    error = "holds no polygons an object file can carry";
    return false;
  }
  return true;
}

struct NodeMeshes::State {
  State(const std::string& p, const ImportOptions& o, ConvertReport& r)
      : path(p), options(o), builder(path, options, r), report(r) {}
  std::string path;
  ImportOptions options;
  ObjectBuilder builder;
  ConvertReport& report;
  Assimp::Importer importer;
  const aiScene* scene = nullptr;
  ImportStats readStats;
};

NodeMeshes::NodeMeshes(const std::string& path, const ImportOptions& options, ConvertReport& report)
    : state(std::make_unique<State>(path, options, report)) {}

NodeMeshes::~NodeMeshes() = default;

bool NodeMeshes::read(std::string& error) {
  state->scene = readScene(state->importer, state->path, state->readStats, error);
  return state->scene != nullptr;
}

const aiScene* NodeMeshes::scene() const { return state->scene; }

bool NodeMeshes::nodeObject(const aiNode* node, ConvertedObject& out, ImportStats& stats) {
  out = ConvertedObject();
  stats = ImportStats();
  if (state->scene == nullptr || node == nullptr) return false;
  out.layers.emplace_back();
  const int fannedBefore = state->builder.fannedPolygons;
  state->builder.addNodeMeshes(state->scene, node, out.layers.back());
  finish(state->builder.fannedPolygons - fannedBefore, out, stats, state->report);
  return stats.triangles > 0;
}

}  // namespace convert
