// Reading and parsing of the show's recipe files.
#include "recipe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
int gErrors = 0;
}  // namespace

void RecipeErrors::report(const std::string& where, int line, const std::string& message) {
  ++gErrors;
  if (line > 0)
    std::fprintf(stderr, "%s:%d: %s\n", where.c_str(), line, message.c_str());
  else
    std::fprintf(stderr, "%s: %s\n", where.c_str(), message.c_str());
}

int RecipeErrors::count() { return gErrors; }

bool parseNumber(const std::string& text, float* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const float v = std::strtof(text.c_str(), &end);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  *out = v;
  return true;
}

bool parseColour(const std::string& text, std::array<float, 3>* out) {
  if (text.size() == 7 && text[0] == '#') {
    for (int k = 0; k < 3; ++k) {
      char* end = nullptr;
      const std::string part = text.substr(1 + 2 * k, 2);
      const long v = std::strtol(part.c_str(), &end, 16);
      if (end == nullptr || *end != '\0') return false;
      (*out)[k] = float(v) / 255.0f;
    }
    return true;
  }
  std::array<float, 3> c{};
  std::stringstream s(text);
  std::string part;
  int k = 0;
  while (std::getline(s, part, ',')) {
    if (k >= 3 || !parseNumber(part, &c[k])) return false;
    ++k;
  }
  if (k != 3) return false;
  *out = c;
  return true;
}

float RecipeLine::number(const std::string& key, float fallback) const {
  const auto it = options.find(key);
  if (it == options.end()) return fallback;
  float v = fallback;
  if (!parseNumber(it->second, &v)) {
    RecipeErrors::report(file, lineNumber, key + "=" + it->second + " is not a number");
    return fallback;
  }
  return v;
}

std::array<float, 3> RecipeLine::colour(const std::string& key, std::array<float, 3> fallback) const {
  const auto it = options.find(key);
  if (it == options.end()) return fallback;
  std::array<float, 3> c = fallback;
  if (!parseColour(it->second, &c)) {
    RecipeErrors::report(file, lineNumber, key + "=" + it->second + " is not a colour (#RRGGBB or r,g,b)");
    return fallback;
  }
  return c;
}

std::string RecipeLine::text(const std::string& key, const std::string& fallback) const {
  const auto it = options.find(key);
  return it == options.end() ? fallback : it->second;
}

std::optional<RecipeFile> readRecipeFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    RecipeErrors::report(path, 0, "cannot be read");
    return std::nullopt;
  }
  RecipeFile file;
  file.path = path;
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    const std::string& line = raw;
    RecipeLine out;
    out.file = path;
    out.lineNumber = number;
    out.indented = !line.empty() && (line[0] == ' ' || line[0] == '\t');
    std::string word;
    bool quoted = false, any = false;
    auto finish = [&]() {
      if (!any) return;
      const std::size_t eq = word.find('=');
      if (eq != std::string::npos && eq > 0 && !quoted)
        out.options[word.substr(0, eq)] = word.substr(eq + 1);
      else
        out.words.push_back(word);
      word.clear();
      any = false;
      quoted = false;
    };
    bool inQuotes = false;
    for (char c : line) {
      // A '#' that starts a word starts a comment; inside a word ("fg=#ffc060") it is text.
      if (c == '#' && !inQuotes && !any) break;
      if (c == '"') {
        inQuotes = !inQuotes;
        quoted = true;
        any = true;
      } else if (!inQuotes && (c == ' ' || c == '\t' || c == '\r')) {
        finish();
      } else {
        word += c;
        any = true;
      }
    }
    finish();
    if (!out.words.empty() || !out.options.empty()) file.lines.push_back(std::move(out));
  }
  return file;
}
