// The objects a LightWave scene file loads, found on disk and converted next to the scene
// under the names the program looks for ("Objects\ship.lwo" -> "ship.3dx").
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model_import.h"

namespace convert {

// The distinct object file names of "LoadObjectLayer" lines, in order of first use; false
// when the file cannot be read or is not a scene file.
bool sceneObjectNames(const std::string& scenePath, std::vector<std::string>& names, std::string& error);

// The object file a scene names: the name as written (from the scene's folder), then its
// file name in the scene's folder, in Objects next to or above it, and in each search
// folder; letter case is ignored for the file name. Empty when none exists.
std::string findSceneObject(const std::string& name, const std::string& sceneDir,
                            const std::vector<std::string>& searchDirs);

// The file the program loads for an object name: its file name with the last three
// letters replaced by "3dx"; empty when the program would not load the name (not .lwo).
std::string objectFileFor(const std::string& name);

struct SceneConvertOptions {
  ImportOptions import;  // outDir and outBase are set per object
  std::vector<std::string> searchDirs;
  std::string outDir;  // empty: the scene's folder
  bool quiet = false;
};

// Converts every object of the scene; messages on log. Returns 0 when all were written,
// 2 when the scene or an object could not be read, 1 when a file could not be written.
int convertSceneObjects(const std::string& scenePath, const SceneConvertOptions& options, std::FILE* log);

}  // namespace convert
