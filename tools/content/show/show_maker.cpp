// The show maker: pictures, then meshes and the title letters, then the scene files.
#include "show_maker.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "font_outline.h"
#include "pictures.h"
#include "recipe_file.h"
#include "scene_recipe.h"
#include "shapes.h"
#include "writers/byte_writer.h"

ShowMade makeShow(const std::string& source, const std::string& out) {
  ShowMade made;
  const int before = RecipeErrors::count();
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    RecipeErrors::report(out, 0, "cannot be created: " + ec.message());
    made.errors = RecipeErrors::count() - before;
    return made;
  }
  FontOutline font(showFontFile());
  if (!font.ok()) {
    RecipeErrors::report(showFontFile(), 0, "the show's font is needed (Debian package fonts-dejavu-core)");
    made.errors = RecipeErrors::count() - before;
    return made;
  }
  if (auto recipe = readRecipeFile(source + "/pictures.txt")) {
    for (const RecipeLine& line : recipe->lines) {
      if (!line.words.empty() && line.words[0] == "picture") {
        made.pictures += makePicture(line, out, font) ? 1 : 0;
      } else {
        RecipeErrors::report(line.file, line.lineNumber, "expected 'picture NAME WIDTH HEIGHT KIND ...'");
      }
    }
  }
  if (auto recipe = readRecipeFile(source + "/meshes.txt")) makeMeshes(*recipe, out, font);
  std::vector<std::filesystem::path> sceneFiles;
  for (const auto& entry : std::filesystem::directory_iterator(source + "/scenes", ec))
    if (entry.path().extension() == ".scene") sceneFiles.push_back(entry.path());
  if (ec) RecipeErrors::report(source + "/scenes", 0, "cannot be read: " + ec.message());
  std::sort(sceneFiles.begin(), sceneFiles.end());
  for (const auto& path : sceneFiles) {
    auto recipe = readRecipeFile(path.string());
    if (!recipe) continue;
    const std::string target = out + "/" + path.stem().string() + ".lws";
    if (!saveText(target, compileSceneRecipe(*recipe))) RecipeErrors::report(target, 0, "cannot be written");
    ++made.scenes;
  }
  made.errors = RecipeErrors::count() - before;
  return made;
}
