// Puts the pictures a converted object names where the program finds them: next to the
// object, under names without blanks, in a format the program reads (JPEG, BMP, TGA, PCX).
// Embedded pictures are written out; PNG pictures become JPEG, their alpha channel a
// second, grey JPEG.
#pragma once

#include <set>
#include <string>

#include "convert_report.h"

struct aiScene;

namespace convert {

struct TextureContext {
  std::string sourceDir;  // folder of the converted file; relative texture paths start here
  std::string outDir;     // folder of the written object
  std::string outBase;    // the object's name without extension, for embedded pictures
  ConvertReport* report = nullptr;
};

struct PlacedTexture {
  std::string name;       // the name to store in the object; empty when not carried
  std::string alphaName;  // a grey picture of the source's alpha channel, when it has one
};

// The source path is the material's texture path ("*N" for an embedded picture).
PlacedTexture placeTexture(const aiScene* scene, const std::string& sourcePath, TextureContext& context);

// A texture name the object file can hold: the file name without folders, blanks replaced by '_'.
std::string textureToken(const std::string& path);

// Writes 8-bit pixels (1 or 3 channels per pixel) as a JPEG file; false when it cannot.
bool writeJpegFile(const std::string& path, const unsigned char* pixels, int width, int height, int channels);

}  // namespace convert
