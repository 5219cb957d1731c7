// Picture recipes: "picture NAME WIDTH HEIGHT KIND options" lines made into JPEG files.
#pragma once

#include <string>

#include "font_outline.h"
#include "recipe_file.h"

// Makes the picture a recipe line describes into dir; false when it cannot.
bool makePicture(const RecipeLine& line, const std::string& dir, const FontOutline& font);
