// Making the whole show (pictures, objects, scene files) from the recipes in a source folder.
#pragma once

#include <string>

struct ShowMade {
  int pictures = 0;
  int scenes = 0;
  int errors = 0;  // reported on stderr as they are found
};

// Reads SOURCE/pictures.txt, SOURCE/meshes.txt and SOURCE/scenes/*.scene and writes what they
// describe into out (created when missing).
ShowMade makeShow(const std::string& source, const std::string& out);
