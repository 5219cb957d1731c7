// The files the show reads: their names, which of them are missing from the data folder,
// and which are there but cannot be read.
#pragma once

#include <string>
#include <vector>

class Scene;

// The scenes in loading order; the timeline, the light release and the shutdown name them
// by these indices.
enum ShowSceneIndex : int {
  kShowGrand = 0,
  kShowText,
  kShowDesign,
  kShowDass,
  kShowDance2,
  kShowSlut,
  kShowSkitdemo,
  kShowSceneCount
};

// Scene file names, indexed by ShowSceneIndex.
extern const char* const kShowSceneFiles[kShowSceneCount];
extern const char* const kShowMusicFile;
extern const char* const kShowClosingPictureFile;
extern const char* const kShowLoadingPictureFile;
extern const char* const kShowLightTextureFile;

// A show file that is present but cannot be read, and why ("not a scene file").
struct UnreadableShowFile {
  std::string name;
  std::string reason;
};

// What the start-up check found, each file named once, in the order the show reads them:
// the pictures, the music, the scene files, then for each loaded scene the object files its
// objects name and the pictures its materials name (both pictures of a "colour(alpha)"
// texture name). A folder, named pipe or device in place of a file counts as missing.
struct ShowFileCheck {
  std::vector<std::string> missing;
  std::vector<UnreadableShowFile> unreadable;
};
ShowFileCheck checkShowFiles(Scene* const* scenes, int sceneCount);

// The missing part of checkShowFiles.
std::vector<std::string> findMissingShowFiles(Scene* const* scenes, int sceneCount);

// The object file an object name of a scene file is read from: the base name with the
// extension "lwo" replaced by "3dx"; empty when the name is not an object file name.
std::string showObjectFileName(const char* name);
