// vellumite-convert: turns objects of common 3D formats into the program's .3dx objects,
// one file or every object a LightWave scene loads, and whole glTF scenes into LightWave scenes.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gltf_scene.h"
#include "isolated_run.h"
#include "model_import.h"
#include "object_writer.h"
#include "scene_objects.h"

namespace {

using namespace convert;

void usage(std::FILE* out) {
  std::fputs(
      "Usage: vellumite-convert [options] IN OUT.3dx\n"
      "       vellumite-convert [options] --scene SCENE.lws [--search DIR]... [--out DIR]\n"
      "       vellumite-convert [options] SCENE.gltf|SCENE.glb OUT.lws\n"
      "Converts a 3D object into the program's .3dx format: one group per material with its\n"
      "colours, transparency, double-sidedness, texture names and texture coordinates, and a\n"
      "weight map per bone where the source is skinned. Reads LightWave objects (.lwo, with\n"
      "their layers, UV and weight maps), Wavefront OBJ + MTL, glTF 2.0 (.gltf/.glb), FBX,\n"
      "3DS, PLY, Collada (.dae) and the other formats of the asset import library; LightWave 5\n"
      "objects (LWOB) are read by the converter itself.\n"
      "Pictures embedded in the source, and PNG pictures, are written next to OUT as JPEG.\n"
      "\n"
      "Options:\n"
      "  --scene FILE.lws   convert every object the scene loads; each .lwo is looked up as\n"
      "                     written, next to the scene, in Objects folders beside or above\n"
      "                     it and in the --search folders, and written next to the scene\n"
      "                     (or into --out DIR) as the .3dx the program loads\n"
      "  --search DIR       another folder to look for a scene's objects in (repeatable)\n"
      "  --out DIR          where --scene writes the objects\n"
      "  --scale S          multiply every position by S (default 1)\n"
      "  --flip-z           mirror z (the default): every format arrives right-handed, with\n"
      "                     y up; mirroring z gives the program's left-handed space, so a\n"
      "                     LightWave object keeps its own coordinates and a glTF or OBJ\n"
      "                     object faces the program's camera as it faced its own\n"
      "  --no-flip-z        keep z as it comes (for sources made left-handed)\n"
      "  --up y|z           the source's up axis (default y); with z, z becomes y, for\n"
      "                     z-up OBJ or PLY files (3DS, Collada and FBX files arrive\n"
      "                     upright already)\n"
      "  --layer N          only layer N of a LightWave object (layers count from 1, as\n"
      "                     scene files count them); other formats have layer 1 only\n"
      "  --merge            put every layer into layer 1\n"
      "  --camera NAME      (glTF scenes) the camera to carry; default the scene's first\n"
      "  --animation NAME   (glTF scenes) play only this animation; default all at once\n"
      "  --ambient A        (glTF scenes) the scene's ambient intensity (default 0.25)\n"
      "  --quiet            print only errors\n"
      "  --help             print this text and exit\n"
      "  --version          print the version and exit\n"
      "\n"
      "The object file has no normals: the program computes them from the triangles, and\n"
      "vertices whose normals differ in the source stay separate, so hard edges stay hard.\n"
      "Polygons of more than three corners are triangulated; points, lines and maps the\n"
      "program does not draw (normal, bump, specular, ...) are reported and left out.\n"
      "A glTF scene becomes a LightWave scene the program plays (OUT.lws) with an object\n"
      "NAME.3dx beside it for each mesh node: nodes become objects and nulls with their\n"
      "parents, node animation becomes motions (baked into linear keys where the program\n"
      "interpolates otherwise), the camera and the punctual lights are carried and skins become\n"
      "bones with weight maps. What cannot be carried is listed.\n"
      "Exit status: 0 done, 1 an output file could not be written, 2 bad options or an\n"
      "input that cannot be read.\n",
      out);
}

bool endsWith(std::string text, const std::string& ending) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

int bad(const char* message, const char* detail = "") {
  std::fprintf(stderr, "vellumite-convert: %s%s\n(vellumite-convert --help lists the options)\n", message, detail);
  return 2;
}

bool parseScale(const char* text, float& out) {
  if (text == nullptr) return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value) || value <= 0.0 || value > 1e6) return false;
  out = static_cast<float>(value);
  return true;
}

bool parseLayer(const char* text, int& out) {
  if (text == nullptr) return false;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 127) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ImportOptions import;
  SceneConvertOptions sceneOptions;
  GltfSceneOptions gltfOptions;
  std::string scene;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("vellumite-convert %s\n", VELLUMITE_VERSION);
      return 0;
    } else if (a == "--scale") {
      const char* v = value();
      if (!parseScale(v, import.scale)) return bad("--scale takes a positive number, not ", v ? v : "nothing");
    } else if (a == "--flip-z") {
      import.flipZ = true;
    } else if (a == "--no-flip-z") {
      import.flipZ = false;
    } else if (a == "--up") {
      const char* v = value();
      if (v == nullptr || (std::strcmp(v, "y") != 0 && std::strcmp(v, "z") != 0)) return bad("--up takes y or z");
      import.up = v[0];
    } else if (a == "--layer") {
      const char* v = value();
      if (!parseLayer(v, import.layer))
        return bad("--layer takes a layer number from 1 to 127, not ", v ? v : "nothing");
    } else if (a == "--merge") {
      import.merge = true;
    } else if (a == "--quiet") {
      sceneOptions.quiet = true;
    } else if (a == "--camera") {
      const char* v = value();
      if (v == nullptr) return bad("--camera needs a name");
      gltfOptions.camera = v;
    } else if (a == "--animation") {
      const char* v = value();
      if (v == nullptr) return bad("--animation needs a name");
      gltfOptions.animation = v;
    } else if (a == "--ambient") {
      const char* v = value();
      float ambient = 0.0f;
      if (v == nullptr || (std::strcmp(v, "0") != 0 && !parseScale(v, ambient)))
        return bad("--ambient takes a number of 0 or more");
      gltfOptions.ambient = ambient;
    } else if (a == "--scene") {
      const char* v = value();
      if (v == nullptr) return bad("--scene needs a scene file");
      scene = v;
    } else if (a == "--search") {
      const char* v = value();
      if (v == nullptr) return bad("--search needs a folder");
      sceneOptions.searchDirs.push_back(v);
    } else if (a == "--out") {
      const char* v = value();
      if (v == nullptr) return bad("--out needs a folder");
      sceneOptions.outDir = v;
    } else if (a.size() > 1 && a[0] == '-') {
      return bad("unknown option ", a.c_str());
    } else {
      files.push_back(a);
    }
  }

  const bool sceneOptionsGiven =
      !gltfOptions.camera.empty() || !gltfOptions.animation.empty() || gltfOptions.ambient != 0.25;
  if (sceneOptionsGiven && (files.size() != 2 || !endsWith(files[1], ".lws")))
    return bad("--camera, --animation and --ambient are for glTF scenes (IN.gltf OUT.lws)");
  if (!scene.empty()) {
    if (!files.empty()) return bad("--scene converts the scene's objects; give no other files");
    if (import.layer != 0) return bad("--layer is for one object; --scene converts every layer");
    sceneOptions.import = import;
    return convertSceneObjects(scene, sceneOptions, stderr);
  }
  if (!sceneOptions.searchDirs.empty() || !sceneOptions.outDir.empty())
    return bad("--search and --out are used with --scene");
  if (files.size() != 2) return bad("give an input file and an output .3dx file");

  const std::string& in = files[0];
  const std::string& out = files[1];
  if (endsWith(out, ".lws")) {
    if (!endsWith(in, ".gltf") && !endsWith(in, ".glb"))
      return bad("a scene file (.lws) is made from a glTF scene (.gltf or .glb)");
    if (import.layer != 0 || import.merge || !import.flipZ || import.up == 'z')
      return bad("--layer, --merge, --no-flip-z and --up are for objects");
    gltfOptions.import = import;
    gltfOptions.quiet = sceneOptions.quiet;
    return runIsolated(in, "", [&]() -> int { return convertGltfScene(in, out, gltfOptions, stderr); });
  }
  if (out.size() < 4 || out.compare(out.size() - 4, 4, ".3dx") != 0)
    std::fprintf(stderr,
                 "vellumite-convert: note: the program loads objects named NAME.3dx (for NAME.lwo in a scene)\n");
  namespace fs = std::filesystem;
  import.outDir = fs::path(out).parent_path().string();
  import.outBase = fs::path(out).stem().string();
  return runIsolated(in, "", [&]() -> int {
    ConvertedObject object;
    ImportStats stats;
    ConvertReport report;
    std::string error;
    if (!importModel(in, import, object, stats, report, error)) {
      std::fprintf(stderr, "vellumite-convert: cannot convert %s: %s\n", in.c_str(), error.c_str());
      return 2;
    }
    if (!writeObjectFile(object, out)) {
      std::fprintf(stderr, "vellumite-convert: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
      return 1;
    }
    if (!sceneOptions.quiet) {
      std::fprintf(stderr, "%s -> %s: %d layers, %d groups, %d vertices, %d triangles, %d weight maps\n", in.c_str(),
                   out.c_str(), stats.layers, stats.groups, stats.vertices, stats.triangles, stats.weightMaps);
      if (stats.ngons > 0)
        std::fprintf(stderr, "  note: %d polygons of more than three corners were triangulated\n", stats.ngons);
      if (stats.droppedFaces > 0)
        std::fprintf(stderr, "  note: %d points and lines were left out (an object file holds triangles)\n",
                     stats.droppedFaces);
      for (const std::string& note : report.notes) std::fprintf(stderr, "  note: %s\n", note.c_str());
    }
    return 0;
  });
}
