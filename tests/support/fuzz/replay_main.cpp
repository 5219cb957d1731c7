// Corpus replay driver for the fuzz targets where libFuzzer is not used: feeds every file
// named on the command line (folders are walked recursively, in name order) to the target.
// -dict=FILE reads the target's dictionary as libFuzzer would and fails on a line libFuzzer
// would refuse, so that a broken dictionary is caught without fuzzing.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// One dictionary line: `"value"` or `name="value"`, with \\, \" and \xNN escapes; an empty or
// comment line holds no entry. False for anything else or an empty value.
bool parseDictionaryLine(const std::string& line, bool* entry) {
  size_t at = 0;
  while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
  *entry = false;
  if (at == line.size() || line[at] == '#') return true;
  size_t quote = line.find('"', at);
  if (quote == std::string::npos) return false;
  for (size_t i = at; i < quote; ++i) {
    const char c = line[i];
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c == '=' && i + 1 == quote))) return false;
  }
  size_t end = line.rfind('"');
  if (end == quote) return false;
  for (size_t i = end + 1; i < line.size(); ++i)
    if (!std::isspace(static_cast<unsigned char>(line[i]))) return false;
  size_t bytes = 0;
  for (size_t i = quote + 1; i < end; ++i, ++bytes) {
    if (line[i] != '\\') continue;
    if (i + 1 < end && (line[i + 1] == '\\' || line[i + 1] == '"')) {
      ++i;
    } else if (i + 3 < end && line[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(line[i + 2])) &&
               std::isxdigit(static_cast<unsigned char>(line[i + 3]))) {
      i += 3;
    } else {
      return false;
    }
  }
  *entry = true;
  return bytes > 0;
}

int checkDictionary(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read the dictionary %s\n", path.c_str());
    return -1;
  }
  std::string line;
  int number = 0;
  int entries = 0;
  while (std::getline(in, line)) {
    ++number;
    bool entry = false;
    if (!parseDictionaryLine(line, &entry)) {
      std::fprintf(stderr, "replay: %s:%d is not a dictionary entry: %s\n", path.c_str(), number, line.c_str());
      return -1;
    }
    entries += entry ? 1 : 0;
  }
  if (entries == 0) std::fprintf(stderr, "replay: the dictionary %s is empty\n", path.c_str());
  return entries > 0 ? entries : -1;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("-dict=", 0) == 0) {
      const int entries = checkDictionary(arg.substr(6));
      if (entries < 0) return 2;
      std::printf("dictionary: %d entries\n", entries);
      continue;
    }
    const fs::path path(arg);
    std::error_code error;
    if (fs::is_directory(path, error)) {
      for (const auto& entry : fs::recursive_directory_iterator(path, error)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else if (fs::is_regular_file(path, error)) {
      inputs.push_back(path);
    } else {
      std::fprintf(stderr, "replay: cannot read %s\n", argv[i]);
      return 2;
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no inputs\n");
    return 2;
  }
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // An empty vector's data() may be null; the target gets a valid pointer either way.
    const uint8_t none = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
