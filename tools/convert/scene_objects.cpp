// Conversion of every object of a LightWave scene file.
#include "scene_objects.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "isolated_run.h"
#include "object_writer.h"

namespace convert {
namespace {

namespace fs = std::filesystem;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string baseName(const std::string& name) {
  std::size_t slash = name.find_last_of("\\/");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The file of that name in dir, letter case ignored (an exact match first).
fs::path inFolder(const fs::path& dir, const std::string& file) {
  std::error_code ec;
  if (fs::is_regular_file(dir / file, ec)) return dir / file;
  if (!fs::is_directory(dir, ec)) return {};
  const std::string wanted = lower(file);
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
    if (entry.is_regular_file(ec) && lower(entry.path().filename().string()) == wanted) return entry.path();
  }
  return {};
}

}  // namespace

bool sceneObjectNames(const std::string& scenePath, std::vector<std::string>& names, std::string& error) {
  names.clear();
  std::ifstream in(scenePath, std::ios::binary);
  if (!in) {
    error = std::strerror(errno);
    return false;
  }
  std::string token;
  if (!(in >> token) || token != "LWSC") {
    error = "not a LightWave scene file";
    return false;
  }
  // From version 4 on an item id (hexadecimal) follows the layer number.
  int version = 3;
  std::streampos afterHeader = in.tellg();
  if (in >> token) {
    char* end = nullptr;
    const long number = std::strtol(token.c_str(), &end, 10);
    if (end != token.c_str() && *end == '\0')
      version = static_cast<int>(number);
    else
      in.seekg(afterHeader);
  }
  while (in >> token) {
    if (token != "LoadObjectLayer") continue;
    std::string layer;
    std::string name;
    if (!(in >> layer)) break;
    if (version >= 4 && !(in >> name)) break;  // the item id
    if (!(in >> name)) break;
    bool known = false;
    for (const std::string& n : names) known = known || n == name;
    if (!known) names.push_back(name);
  }
  return true;
}

std::string findSceneObject(const std::string& name, const std::string& sceneDir,
                            const std::vector<std::string>& searchDirs) {
  std::string clean = name;
  for (char& c : clean)
    if (c == '\\') c = '/';
  if (clean.size() > 2 && clean[1] == ':') clean = clean.substr(2);  // a drive letter
  std::error_code ec;
  const fs::path scene(sceneDir.empty() ? "." : sceneDir);
  if (fs::is_regular_file(scene / clean, ec)) return (scene / clean).string();
  const std::string file = baseName(clean);
  std::vector<fs::path> dirs = {scene, scene / "Objects", scene.parent_path() / "Objects", scene / ".." / "Objects"};
  for (const std::string& dir : searchDirs) {
    dirs.emplace_back(dir);
    if (fs::is_regular_file(fs::path(dir) / clean, ec)) return (fs::path(dir) / clean).string();
  }
  for (const fs::path& dir : dirs) {
    fs::path found = inFolder(dir, file);
    if (!found.empty()) return found.string();
  }
  return "";
}

std::string objectFileFor(const std::string& name) {
  std::size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? name : name.substr(dot + 1);
  if (extension != "lwo" && extension != "LWO") return "";
  std::string base = baseName(name);
  return base.substr(0, base.size() - 3) + "3dx";
}

int convertSceneObjects(const std::string& scenePath, const SceneConvertOptions& options, std::FILE* log) {
  std::vector<std::string> names;
  std::string error;
  if (!sceneObjectNames(scenePath, names, error)) {
    std::fprintf(log, "vellumite-convert: cannot read the scene %s: %s\n", scenePath.c_str(), error.c_str());
    return 2;
  }
  const std::string sceneDir = fs::path(scenePath).parent_path().string();
  const std::string outDir = options.outDir.empty() ? (sceneDir.empty() ? "." : sceneDir) : options.outDir;
  if (names.empty()) std::fprintf(log, "vellumite-convert: %s loads no objects\n", scenePath.c_str());
  int result = 0;
  int written = 0;
  std::vector<std::string> targets;
  for (const std::string& name : names) {
    const std::string target = objectFileFor(name);
    if (target.empty()) {
      std::fprintf(log, "vellumite-convert: %s: the program loads only .lwo names; skipped\n", name.c_str());
      result = 2;  // the scene would play without it
      continue;
    }
    // The program loads objects by file name alone: two folders' ship.lwo are one ship.3dx.
    bool repeated = false;
    for (const std::string& t : targets) repeated = repeated || t == target;
    if (repeated) {
      std::fprintf(log, "vellumite-convert: %s: another object of the scene is also loaded as %s; the first is kept\n",
                   name.c_str(), target.c_str());
      continue;
    }
    targets.push_back(target);
    const std::string source = findSceneObject(name, sceneDir, options.searchDirs);
    if (source.empty()) {
      std::fprintf(log, "vellumite-convert: %s: not found next to the scene or in a search folder (--search DIR)\n",
                   name.c_str());
      result = 2;
      continue;
    }
    ImportOptions import = options.import;
    import.outDir = outDir;
    import.outBase = target.substr(0, target.size() - 4);
    const std::string out = (fs::path(outDir) / target).string();
    const int status = runIsolated(source, "", [&]() -> int {
      ConvertedObject object;
      ImportStats stats;
      ConvertReport report;
      if (!importModel(source, import, object, stats, report, error)) {
        std::fprintf(log, "vellumite-convert: cannot convert %s: %s\n", source.c_str(), error.c_str());
        return 2;
      }
      if (!writeObjectFile(object, out)) {
        std::fprintf(log, "vellumite-convert: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
      }
      if (!options.quiet) {
        std::fprintf(log, "%s -> %s: %d layers, %d groups, %d vertices, %d triangles\n", source.c_str(), out.c_str(),
                     stats.layers, stats.groups, stats.vertices, stats.triangles);
        for (const std::string& note : report.notes) std::fprintf(log, "  note: %s\n", note.c_str());
      }
      return 0;
    });
    if (status == 0)
      ++written;
    else if (status == 2 || result == 0)
      result = status;
  }
  if (!options.quiet)
    std::fprintf(log, "converted %d of %zu objects of %s\n", written, names.size(), scenePath.c_str());
  return result;
}

}  // namespace convert
