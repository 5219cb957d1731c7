// Puts the pictures a converted object names where the program finds them: next to the
// object, under names without blanks, in a format the program reads (JPEG, BMP, TGA, PCX).
// Embedded pictures are written out; PNG pictures become JPEG, their alpha channel a
// second, grey JPEG written only for a material that uses it; a packed occlusion map
// becomes a grey JPEG of its red channel.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "convert_report.h"

struct aiScene;

namespace convert {

struct TextureContext {
  std::string sourceDir;  // folder of the converted file; relative texture paths start here
  std::string outDir;     // folder of the written object
  std::string outBase;    // the object's name without extension, for embedded pictures
  ConvertReport* report = nullptr;
  std::set<std::string> written;  // derived pictures already written
};

// The grey picture of a source's alpha channel, as the program reads alpha pictures.
struct AlphaPicture {
  std::string name;
  int width = 0;
  int height = 0;
  std::vector<unsigned char> grey;  // black opaque, white clear
};

struct PlacedTexture {
  std::string name;  // the name to store in the object; empty when not carried
  // The source's alpha channel when some pixel is not opaque; written by useAlpha.
  std::shared_ptr<const AlphaPicture> alpha;
};

// The source path is the material's texture path ("*N" for an embedded picture).
PlacedTexture placeTexture(const aiScene* scene, const std::string& sourcePath, TextureContext& context);

// Writes the alpha picture of a placed texture (once) and gives its name; empty when the
// texture has no alpha channel or the picture cannot be written.
std::string useAlpha(const PlacedTexture& placed, TextureContext& context);

// A grey picture of the source picture's red channel, where glTF keeps occlusion (the
// other channels hold roughness and metalness). Empty name when the picture cannot be read.
PlacedTexture placeRedChannel(const aiScene* scene, const std::string& sourcePath, TextureContext& context);

// A texture name the object file can hold: the file name without folders, blanks replaced by '_'.
std::string textureToken(const std::string& path);

// Writes 8-bit pixels (1 or 3 channels per pixel) as a JPEG file; false when it cannot.
bool writeJpegFile(const std::string& path, const unsigned char* pixels, int width, int height, int channels);

}  // namespace convert
