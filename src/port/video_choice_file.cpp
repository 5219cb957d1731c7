// Reading and writing the remembered video choice.
#include "port/video_choice_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* kSection = "[video]";
constexpr std::size_t kMaxFileBytes = 4096;
constexpr std::size_t kMaxValueBytes = 255;

bool makeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool parseFlag(const std::string& text, bool* out) {
  if (text == "0" || text == "1") {
    *out = text == "1";
    return true;
  }
  return false;
}

}  // namespace

std::string videoChoicePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // Only an absolute folder counts, as the base directory rules say.
  if (config != nullptr && config[0] == '/') return std::string(config) + "/vellumite/video.ini";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/vellumite/video.ini";
  return "";
}

bool readVideoChoice(const std::string& path, VideoChoiceRecord* record) {
  if (path.empty() || record == nullptr) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::string text(kMaxFileBytes + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.size() > kMaxFileBytes) return false;

  VideoChoiceRecord read;
  bool inSection = false;
  unsigned seen = 0;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line == kSection) {
      if (inSection) return false;
      inSection = true;
      continue;
    }
    std::size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) return false;
    std::string key = line.substr(0, equals);
    std::string value = line.substr(equals + 1);
    if (value.size() > kMaxValueBytes || value.find('\0') != std::string::npos) return false;
    unsigned bit = 0;
    bool ok = true;
    if (key == "adapter") {
      read.adapter = value;
      bit = 1;
    } else if (key == "mode") {
      read.mode = value;
      bit = 2;
    } else if (key == "fullscreen") {
      ok = parseFlag(value, &read.fullscreen);
      bit = 4;
    } else if (key == "retrace") {
      ok = parseFlag(value, &read.waitForRetrace);
      bit = 8;
    } else if (key == "lowbpp") {
      ok = parseFlag(value, &read.lowBppTextures);
      bit = 16;
    } else if (key == "dither") {
      ok = parseFlag(value, &read.dither);
      bit = 32;
    } else {
      return false;
    }
    if (!ok || (seen & bit) != 0) return false;
    seen |= bit;
  }
  if (seen != 63) return false;
  *record = read;
  return true;
}

bool writeVideoChoice(const std::string& path, const VideoChoiceRecord& record) {
  if (path.empty() || !makeFolders(path)) return false;
  for (const std::string* value : {&record.adapter, &record.mode})
    if (value->find('\n') != std::string::npos || value->find('\r') != std::string::npos) return false;
  // Written beside the old file and moved over it, so a crash never leaves half a file.
  const std::string temporary = path + ".new";
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file,
               "# The last choice of the video setup dialog, preselected at the next start.\n"
               "%s\nadapter=%s\nmode=%s\nfullscreen=%d\nretrace=%d\nlowbpp=%d\ndither=%d\n",
               kSection, record.adapter.c_str(), record.mode.c_str(), record.fullscreen ? 1 : 0,
               record.waitForRetrace ? 1 : 0, record.lowBppTextures ? 1 : 0, record.dither ? 1 : 0);
  bool ok = std::fflush(file) == 0;
  ok = std::fclose(file) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
