// Scene recipes: a readable description of one scene (its objects, nulls, bones, lights,
// camera, ambient light and their keyed motions) compiled into LightWave scene text.
#pragma once

#include <string>

#include "recipe_file.h"

// Compiles the recipe into scene text; errors go to RecipeErrors and leave gaps in the text.
std::string compileSceneRecipe(const RecipeFile& recipe);
