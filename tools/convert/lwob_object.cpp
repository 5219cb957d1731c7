// The LightWave 5 object reader: big-endian IFF chunks PNTS, SRFS, POLS and SURF with its
// sub-chunks (two-byte lengths), turned into a scene of the asset import library.
#include "lwob_object.h"

#include "iff_reader.h"

#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

namespace convert {
namespace {

enum class Projection { planar, cylindrical, spherical, cubic, other };

struct ImageMap {
  aiTextureType type = aiTextureType_DIFFUSE;
  std::string kind;   // the texture's name in the file ("Planar Image Map", ...)
  std::string image;  // TIMG
  Projection projection = Projection::other;
  int axis = 2;  // 0 x, 1 y, 2 z
  float size[3] = {1, 1, 1};
  float centre[3] = {0, 0, 0};
  bool worldCoordinates = false;
};

struct Surface {
  std::string name;
  float colour[3] = {200.0f / 255, 200.0f / 255, 200.0f / 255};
  float diffuse = 1.0f;
  float specular = 0.0f;
  float transparency = 0.0f;
  std::uint32_t flags = 0;
  std::vector<ImageMap> maps;
};

struct Polygon {
  std::vector<std::uint32_t> points;
  int surface = 0;  // from 1
};

constexpr std::uint32_t kSmoothing = 4;
constexpr std::uint32_t kDoubleSided = 256;
constexpr std::uint32_t kAdditive = 512;

// The surface's specular level as a fixed-point fraction (its float form is VSPC).
constexpr std::uint32_t kSpecularLevelChunk =
    (std::uint32_t('S') << 24) | (std::uint32_t('P') << 16) | ('E' << 8) | 'C';

// The texture kinds of a surface: what each maps to in the import library's terms, or
// none when the object file has no place for it.
bool textureType(std::uint32_t chunk, aiTextureType& type, std::string& what) {
  if (chunk == iffId("CTEX"))
    type = aiTextureType_DIFFUSE, what = "colour";
  else if (chunk == iffId("TTEX"))
    type = aiTextureType_OPACITY, what = "transparency";
  else if (chunk == iffId("RTEX"))
    type = aiTextureType_REFLECTION, what = "reflection";
  else if (chunk == iffId("LTEX"))
    type = aiTextureType_EMISSIVE, what = "luminosity";
  else if (chunk == iffId("DTEX"))
    type = aiTextureType_NONE, what = "diffuse level";
  else if (chunk == iffId("STEX"))
    type = aiTextureType_NONE, what = "specular level";
  else if (chunk == iffId("BTEX"))
    type = aiTextureType_NONE, what = "bump";
  else
    return false;
  return true;
}

bool readSurface(IffReader r, Surface& s, std::vector<std::string>& notes) {
  if (!r.s0(s.name)) return false;
  ImageMap* current = nullptr;
  std::uint32_t chunk = 0;
  IffReader d(nullptr, 0);
  for (IffChunk got; (got = r.next(2, chunk, d)) != IffChunk::kEnd;) {
    if (got == IffChunk::kDamaged) return false;
    aiTextureType type = aiTextureType_NONE;
    std::string what;
    if (chunk == iffId("COLR") && d.has(3)) {
      for (float& c : s.colour) c = static_cast<float>(*d.p++) / 255.0f;
    } else if (chunk == iffId("FLAG") && d.has(2)) {
      s.flags = d.u2();
    } else if (chunk == iffId("DIFF") && d.has(2)) {
      s.diffuse = static_cast<float>(d.u2()) / 256.0f;
    } else if (chunk == iffId("VDIF") && d.has(4)) {
      s.diffuse = d.f4();
    } else if (chunk == kSpecularLevelChunk && d.has(2)) {
      s.specular = static_cast<float>(d.u2()) / 256.0f;
    } else if (chunk == iffId("VSPC") && d.has(4)) {
      s.specular = d.f4();
    } else if (chunk == iffId("TRAN") && d.has(2)) {
      s.transparency = static_cast<float>(d.u2()) / 256.0f;
    } else if (chunk == iffId("VTRN") && d.has(4)) {
      s.transparency = d.f4();
    } else if (textureType(chunk, type, what)) {
      ImageMap map;
      map.type = type;
      d.s0(map.kind);
      if (type == aiTextureType_NONE) {
        notes.push_back("surface " + s.name + ": its " + what + " texture is not carried");
        current = nullptr;
        continue;
      }
      if (map.kind.find("Planar") != std::string::npos)
        map.projection = Projection::planar;
      else if (map.kind.find("Cylindrical") != std::string::npos)
        map.projection = Projection::cylindrical;
      else if (map.kind.find("Spherical") != std::string::npos)
        map.projection = Projection::spherical;
      else if (map.kind.find("Cubic") != std::string::npos)
        map.projection = Projection::cubic;
      s.maps.push_back(map);
      current = &s.maps.back();
      if (map.projection == Projection::other)
        notes.push_back("surface " + s.name + ": its " + what + " texture (" + map.kind + ") is not carried");
    } else if (current != nullptr && chunk == iffId("TIMG")) {
      d.s0(current->image);
      // "name (sequence)" and similar suffixes name the same picture.
      const std::size_t suffix = current->image.find(" (");
      if (suffix != std::string::npos) current->image.resize(suffix);
    } else if (current != nullptr && chunk == iffId("TFLG") && d.has(2)) {
      const std::uint32_t flags = d.u2();
      current->axis = (flags & 1) ? 0 : (flags & 2) ? 1 : 2;
      current->worldCoordinates = (flags & 8) != 0;
    } else if (current != nullptr && chunk == iffId("TSIZ") && d.has(12)) {
      for (float& v : current->size) v = d.f4();
    } else if (current != nullptr && chunk == iffId("TCTR") && d.has(12)) {
      for (float& v : current->centre) v = d.f4();
    }
  }
  if (s.flags & kAdditive) notes.push_back("surface " + s.name + ": additive drawing is not carried");
  return true;
}

// Texture coordinates of a point (LightWave's own axes) under an image map's projection;
// v grows upwards, as the import library hands coordinates over. Cubic maps project along
// the axis the polygon faces most.
aiVector3D project(const ImageMap& map, const float* point, const double* faceNormal) {
  float q[3];
  for (int k = 0; k < 3; ++k) q[k] = point[k] - map.centre[k];
  auto safe = [](float v) { return std::fabs(v) > 1e-12f ? v : 1.0f; };
  int axis = map.axis;
  if (map.projection == Projection::cubic) {
    axis = 0;
    for (int k = 1; k < 3; ++k)
      if (std::fabs(faceNormal[k]) > std::fabs(faceNormal[axis])) axis = k;
  }
  if (map.projection == Projection::planar || map.projection == Projection::cubic) {
    // Seen along the axis: x → u, y → v (along z); z → u, y → v (along x); x → u, z → v (along y).
    const int uAxis = axis == 0 ? 2 : 0;
    const int vAxis = axis == 1 ? 2 : 1;
    return aiVector3D(q[uAxis] / safe(map.size[uAxis]) + 0.5f, q[vAxis] / safe(map.size[vAxis]) + 0.5f, 0.0f);
  }
  const int a = axis == 0 ? 2 : 0;  // the two axes across the projection's axis
  const int b = axis == 2 ? 1 : (axis == 0 ? 1 : 2);
  const float around = std::atan2(q[a], q[axis == 1 ? 2 : b]);
  const float u = around / (2.0f * static_cast<float>(M_PI)) + 0.5f;
  if (map.projection == Projection::cylindrical) return aiVector3D(u, q[axis] / safe(map.size[axis]) + 0.5f, 0.0f);
  const float across = std::sqrt(q[a] * q[a] + q[b] * q[b]);
  return aiVector3D(u, std::atan2(q[axis], across) / static_cast<float>(M_PI) + 0.5f, 0.0f);
}

}  // namespace

LwobResult readLwobObject(const std::string& path) {
  LwobResult result;
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "FORM", 4) != 0 || std::memcmp(bytes.data() + 8, "LWOB", 4) != 0) {
    result.error = "not a LightWave 5 object";
    return result;
  }
  std::vector<float> points;
  std::vector<std::string> surfaceNames;
  std::vector<Polygon> polygons;
  std::map<std::string, Surface> surfaces;
  IffReader file(bytes.data() + 12, bytes.size() - 12);
  std::uint32_t chunk = 0;
  IffReader d(nullptr, 0);
  for (IffChunk got; (got = file.next(4, chunk, d)) != IffChunk::kEnd;) {
    if (got == IffChunk::kDamaged) {
      result.error = "a damaged LightWave object (a chunk runs past the end of the file)";
      return result;
    }
    const std::size_t length = static_cast<std::size_t>(d.end - d.p);
    if (chunk == iffId("PNTS")) {
      if (length % 12 != 0) {
        result.error = "a damaged LightWave object (a point list of the wrong size)";
        return result;
      }
      while (d.has(4)) points.push_back(d.f4());
    } else if (chunk == iffId("SRFS")) {
      std::string name;
      while (d.has(1) && d.s0(name)) surfaceNames.push_back(name);
    } else if (chunk == iffId("POLS")) {
      int details = 0;  // detail polygons still to come after a polygon with a negative surface
      while (d.has(2)) {
        const std::uint32_t count = d.u2();
        if (!d.has(2u * count + 2u)) {
          result.error = "a damaged LightWave object (a polygon runs past its chunk)";
          return result;
        }
        Polygon polygon;
        for (std::uint32_t k = 0; k < count; ++k) polygon.points.push_back(d.u2());
        const int surface = static_cast<std::int16_t>(d.u2());
        polygon.surface = surface < 0 ? -surface : surface;
        polygons.push_back(std::move(polygon));
        if (details > 0) --details;
        if (surface < 0 && d.has(2)) details = static_cast<int>(d.u2());
      }
    } else if (chunk == iffId("SURF")) {
      Surface s;
      if (!readSurface(d, s, result.notes)) {
        result.error = "a damaged LightWave object (a surface runs past its chunk)";
        return result;
      }
      surfaces[s.name] = s;
    } else if (chunk == iffId("CRVS") || chunk == iffId("PCHS")) {
      result.notes.push_back("curves and patches are not carried");
    }
  }
  const std::size_t pointCount = points.size() / 3;

  // One mesh per surface used, vertices per point (shared where the surface is smoothed,
  // per polygon where it is not) and texture coordinates.
  auto scene = std::make_unique<aiScene>();
  std::vector<aiMesh*> meshes;
  std::vector<aiMaterial*> materials;
  std::map<int, std::size_t> meshOfSurface;
  std::vector<std::vector<const Polygon*>> members;
  for (const Polygon& polygon : polygons) {
    ++result.polygons;
    bool valid = polygon.points.size() >= 3;
    for (std::uint32_t p : polygon.points) valid = valid && p < pointCount;
    if (!valid) {
      ++result.dropped;
      continue;
    }
    auto found = meshOfSurface.find(polygon.surface);
    if (found == meshOfSurface.end()) {
      found = meshOfSurface.emplace(polygon.surface, members.size()).first;
      members.emplace_back();
    }
    members[found->second].push_back(&polygon);
  }
  for (const auto& [surfaceNumber, index] : meshOfSurface) {
    Surface surface;
    if (surfaceNumber >= 1 && static_cast<std::size_t>(surfaceNumber) <= surfaceNames.size()) {
      auto s = surfaces.find(surfaceNames[static_cast<std::size_t>(surfaceNumber) - 1]);
      if (s != surfaces.end())
        surface = s->second;
      else
        surface.name = surfaceNames[static_cast<std::size_t>(surfaceNumber) - 1];
    }
    const bool smooth = (surface.flags & kSmoothing) != 0;
    std::vector<const ImageMap*> maps;
    for (const ImageMap& map : surface.maps)
      if (map.projection != Projection::other && !map.image.empty() && maps.size() < AI_MAX_NUMBER_OF_TEXTURECOORDS)
        maps.push_back(&map);

    std::vector<aiVector3D> positions;
    std::vector<std::vector<aiVector3D>> coords(maps.size());
    std::vector<std::vector<unsigned>> faces;
    std::map<std::tuple<std::size_t, std::size_t, int>, unsigned> vertexOf;
    std::size_t polygonNumber = 0;
    for (const Polygon* polygon : members[index]) {
      ++polygonNumber;
      double normal[3] = {0, 0, 0};
      const std::size_t n = polygon->points.size();
      for (std::size_t k = 0; k < n; ++k) {
        const float* a = &points[3 * polygon->points[k]];
        const float* b = &points[3 * polygon->points[(k + 1) % n]];
        normal[0] += (double(a[1]) - b[1]) * (double(a[2]) + b[2]);
        normal[1] += (double(a[2]) - b[2]) * (double(a[0]) + b[0]);
        normal[2] += (double(a[0]) - b[0]) * (double(a[1]) + b[1]);
      }
      int cubicAxis = 0;
      for (int k = 1; k < 3; ++k)
        if (std::fabs(normal[k]) > std::fabs(normal[cubicAxis])) cubicAxis = k;
      std::vector<unsigned> face;
      // Reversed: LightWave's front faces run clockwise, the import library's counter-clockwise.
      for (std::size_t k = n; k-- > 0;) {
        const std::uint32_t point = polygon->points[k];
        bool cubic = false;
        for (const ImageMap* map : maps) cubic = cubic || map->projection == Projection::cubic;
        const auto key =
            std::make_tuple(static_cast<std::size_t>(point), smooth ? 0 : polygonNumber, cubic ? cubicAxis : -1);
        auto v = vertexOf.find(key);
        if (v == vertexOf.end()) {
          const float* p = &points[3 * point];
          v = vertexOf.emplace(key, static_cast<unsigned>(positions.size())).first;
          positions.emplace_back(p[0], p[1], -p[2]);
          for (std::size_t m = 0; m < maps.size(); ++m) coords[m].push_back(project(*maps[m], p, normal));
        }
        face.push_back(v->second);
      }
      faces.push_back(std::move(face));
    }
    auto* mesh = new aiMesh();
    mesh->mMaterialIndex = static_cast<unsigned>(materials.size());
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE | aiPrimitiveType_POLYGON;
    mesh->mNumVertices = static_cast<unsigned>(positions.size());
    mesh->mVertices = new aiVector3D[positions.size()];
    std::copy(positions.begin(), positions.end(), mesh->mVertices);
    for (std::size_t m = 0; m < maps.size(); ++m) {
      mesh->mTextureCoords[m] = new aiVector3D[positions.size()];
      std::copy(coords[m].begin(), coords[m].end(), mesh->mTextureCoords[m]);
      mesh->mNumUVComponents[m] = 2;
    }
    mesh->mNumFaces = static_cast<unsigned>(faces.size());
    mesh->mFaces = new aiFace[faces.size()];
    for (std::size_t f = 0; f < faces.size(); ++f) {
      mesh->mFaces[f].mNumIndices = static_cast<unsigned>(faces[f].size());
      mesh->mFaces[f].mIndices = new unsigned[faces[f].size()];
      std::copy(faces[f].begin(), faces[f].end(), mesh->mFaces[f].mIndices);
    }
    meshes.push_back(mesh);

    auto* material = new aiMaterial();
    const aiString name(surface.name);
    material->AddProperty(&name, AI_MATKEY_NAME);
    const aiColor4D diffuse(surface.colour[0], surface.colour[1], surface.colour[2], 1.0f);
    material->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
    const aiColor4D specular(surface.specular, surface.specular, surface.specular, 1.0f);
    material->AddProperty(&specular, 1, AI_MATKEY_COLOR_SPECULAR);
    const float opacity = 1.0f - surface.transparency;
    material->AddProperty(&opacity, 1, AI_MATKEY_OPACITY);
    const int twoSided = (surface.flags & kDoubleSided) != 0 ? 1 : 0;
    material->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
    std::map<aiTextureType, unsigned> perType;
    for (std::size_t m = 0; m < maps.size(); ++m) {
      const aiString image(maps[m]->image);
      const unsigned n = perType[maps[m]->type]++;
      material->AddProperty(&image, AI_MATKEY_TEXTURE(maps[m]->type, n));
      const int channel = static_cast<int>(m);
      material->AddProperty(&channel, 1, AI_MATKEY_UVWSRC(maps[m]->type, n));
      if (maps[m]->worldCoordinates)
        result.notes.push_back("surface " + surface.name +
                               ": world-coordinate textures are mapped as if fixed to the object");
    }
    materials.push_back(material);
  }
  if (meshes.empty()) {
    result.error = "holds no polygons an object file can carry";
    return result;
  }
  scene->mNumMeshes = static_cast<unsigned>(meshes.size());
  scene->mMeshes = new aiMesh*[meshes.size()];
  std::copy(meshes.begin(), meshes.end(), scene->mMeshes);
  scene->mNumMaterials = static_cast<unsigned>(materials.size());
  scene->mMaterials = new aiMaterial*[materials.size()];
  std::copy(materials.begin(), materials.end(), scene->mMaterials);
  scene->mRootNode = new aiNode("object");
  scene->mRootNode->mNumMeshes = scene->mNumMeshes;
  scene->mRootNode->mMeshes = new unsigned[scene->mNumMeshes];
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) scene->mRootNode->mMeshes[m] = m;
  result.scene = std::move(scene);
  return result;
}

}  // namespace convert
