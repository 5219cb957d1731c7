// The files the show reads, and which of them are missing from the data folder.
#pragma once

#include <string>
#include <vector>

class Scene;

// Every file the show would read that cannot be opened from the current folder, each named
// once in the order the show reads them: the pictures, the music, the scene files, then for
// each loaded scene the object files its objects name and the pictures its materials name
// (both pictures of a "colour(alpha)" texture name).
std::vector<std::string> findMissingShowFiles(Scene* const* scenes, int sceneCount);

// The object file an object name of a scene file is read from: the base name with the
// extension "lwo" replaced by "3dx"; empty when the name is not an object file name.
std::string showObjectFileName(const char* name);
