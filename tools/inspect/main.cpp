// vellumite-inspect: loads a scene file headless (no window, no device) and prints its
// cameras, lights, objects, bones, materials and ambient light as JSON; or decodes a
// picture as the engine does and writes it as PNG.
//
//   vellumite-inspect SCENE.lws [--time T]...
//   vellumite-inspect PICTURE --png OUT.png
//
// Exit codes: 0 done, 1 the input could not be read or the output written, 2 bad usage.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "inspect_driver.h"
#include "json_writer.h"
#include "port/decoded_picture.h"
#include "port/png_writer.h"
#include "scene/scene.h"
#include "scene_report.h"

namespace {

void usage(std::FILE* to) {
  std::fputs(
      "usage: vellumite-inspect SCENE.lws [--time T]...\n"
      "       vellumite-inspect PICTURE --png OUT.png\n"
      "Loads a scene file headless (objects from the scene file's folder) and prints it as JSON,\n"
      "with every item evaluated at each time given (default 0); or decodes a picture\n"
      "(jpg, pcx, bmp, tga) and writes it as PNG.\n",
      to);
}

bool parseTime(const char* text, float* out) {
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno != 0) return false;
  *out = static_cast<float>(v);
  return true;
}

int convertPicture(const std::string& input, const std::string& output) {
  const DecodedPicture picture(input.c_str());
  if (!picture) {
    std::fprintf(stderr, "vellumite-inspect: cannot decode picture '%s'\n", input.c_str());
    return 1;
  }
  if (!writePngBgr(output.c_str(), picture.bgr(), picture.width(), picture.height())) {
    std::fprintf(stderr, "vellumite-inspect: cannot write '%s'\n", output.c_str());
    return 1;
  }
  return 0;
}

int inspectScene(const std::string& input, const std::vector<float>& times) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(input, ec);
  if (ec || !std::filesystem::is_regular_file(path, ec)) {
    std::fprintf(stderr, "vellumite-inspect: cannot read scene '%s'\n", input.c_str());
    return 1;
  }
  // Objects are loaded from the current directory: the scene file's folder.
  std::filesystem::current_path(path.parent_path(), ec);
  if (ec) {
    std::fprintf(stderr, "vellumite-inspect: cannot enter the folder of '%s'\n", input.c_str());
    return 1;
  }
  InspectDriver driver;
  int status = 0;
  {
    Scene scene(&driver);
    if (!scene.loadScene(path.c_str())) {
      std::fprintf(stderr, "vellumite-inspect: cannot load scene '%s' (unreadable or an unsupported version)\n",
                   input.c_str());
      status = 1;
    } else {
      JsonWriter json(stdout);
      writeSceneReport(scene, input.c_str(), times, json);
    }
  }
  if (std::fflush(stdout) != 0) status = 1;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  std::string pngOutput;
  std::vector<float> times;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    }
    if (arg == "--time" || arg == "--png") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vellumite-inspect: %s needs a value\n", arg.c_str());
        usage(stderr);
        return 2;
      }
      const char* value = argv[++i];
      if (arg == "--png") {
        pngOutput = value;
      } else {
        float t = 0.0f;
        if (!parseTime(value, &t)) {
          std::fprintf(stderr, "vellumite-inspect: bad time '%s'\n", value);
          usage(stderr);
          return 2;
        }
        times.push_back(t);
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "vellumite-inspect: unknown option '%s'\n", arg.c_str());
      usage(stderr);
      return 2;
    }
    if (!input.empty()) {
      std::fprintf(stderr, "vellumite-inspect: more than one input file\n");
      usage(stderr);
      return 2;
    }
    input = arg;
  }
  if (input.empty() || (!pngOutput.empty() && !times.empty())) {
    usage(stderr);
    return 2;
  }
  if (!pngOutput.empty()) return convertPicture(input, pngOutput);
  if (times.empty()) times.push_back(0.0f);
  return inspectScene(input, times);
}
