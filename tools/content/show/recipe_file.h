// The show's recipe files: plain text, one statement a line, words separated by blanks,
// '#' starts a comment, indented lines belong to the statement above. Words of the form
// key=value are options.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct RecipeLine {
  std::string file;       // the recipe file it comes from
  int lineNumber = 0;     // line number in the file, from 1
  bool indented = false;  // starts with a blank: belongs to the statement above
  std::vector<std::string> words;
  std::map<std::string, std::string> options;  // key=value words, taken out of `words`

  // An option as a number or colour, or the fallback when it is absent; a malformed value
  // reports an error through RecipeErrors and gives the fallback.
  float number(const std::string& key, float fallback) const;
  std::array<float, 3> colour(const std::string& key, std::array<float, 3> fallback) const;
  std::string text(const std::string& key, const std::string& fallback) const;
};

struct RecipeFile {
  std::string path;
  std::vector<RecipeLine> lines;
};

// Reads a recipe file; nullopt (with a message on stderr) when it cannot be read.
std::optional<RecipeFile> readRecipeFile(const std::string& path);

// Numbers and colours ("#RRGGBB" or "r,g,b" with components 0..1).
bool parseNumber(const std::string& text, float* out);
bool parseColour(const std::string& text, std::array<float, 3>* out);

// Errors found while making the show: reported on stderr with file and line, counted.
struct RecipeErrors {
  static void report(const std::string& where, int line, const std::string& message);
  static int count();
};
