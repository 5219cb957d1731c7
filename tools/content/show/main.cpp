// vellumite-show-maker: makes the show's files from the readable sources under content/show:
// pictures.txt (picture recipes, JPEG), meshes.txt (mesh recipes and the extruded title,
// 3DX) and scenes/*.scene (scene recipes, LightWave scene text). The same sources give the
// same bytes on every machine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "font_outline.h"
#include "pictures.h"
#include "recipe_file.h"
#include "scene_recipe.h"
#include "shapes.h"
#include "writers/byte_writer.h"

int main(int argc, char** argv) {
  if (argc != 3 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: vellumite-show-maker SOURCE_DIR OUT_DIR\n"
                 "makes the show's pictures, objects and scenes from the recipes in SOURCE_DIR into OUT_DIR\n");
    return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const std::string source = argv[1], out = argv[2];
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    std::fprintf(stderr, "vellumite-show-maker: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
    return 1;
  }
  FontOutline font(showFontFile());
  if (!font.ok()) {
    std::fprintf(stderr, "vellumite-show-maker: the font %s is needed (Debian package fonts-dejavu-core)\n",
                 showFontFile().c_str());
    return 1;
  }
  int pictures = 0, scenes = 0;
  if (auto recipe = readRecipeFile(source + "/pictures.txt")) {
    for (const RecipeLine& line : recipe->lines) {
      if (!line.words.empty() && line.words[0] == "picture") {
        pictures += makePicture(line, out, font) ? 1 : 0;
      } else {
        RecipeErrors::report(line.file, line.lineNumber, "expected 'picture NAME WIDTH HEIGHT KIND ...'");
      }
    }
  }
  if (auto recipe = readRecipeFile(source + "/meshes.txt")) makeMeshes(*recipe, out, font);
  std::vector<std::filesystem::path> sceneFiles;
  for (const auto& entry : std::filesystem::directory_iterator(source + "/scenes", ec))
    if (entry.path().extension() == ".scene") sceneFiles.push_back(entry.path());
  std::sort(sceneFiles.begin(), sceneFiles.end());
  for (const auto& path : sceneFiles) {
    auto recipe = readRecipeFile(path.string());
    if (!recipe) continue;
    const std::string target = out + "/" + path.stem().string() + ".lws";
    if (!saveText(target, compileSceneRecipe(*recipe))) RecipeErrors::report(target, 0, "cannot be written");
    ++scenes;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (RecipeErrors::count() > 0) {
    std::fprintf(stderr, "vellumite-show-maker: %d error(s); the show in %s is incomplete\n", RecipeErrors::count(),
                 out.c_str());
    return 1;
  }
  std::printf("vellumite-show-maker: %d pictures, %d scenes and their objects in %s (%.1f s)\n", pictures, scenes,
              out.c_str(), seconds);
  return 0;
}
