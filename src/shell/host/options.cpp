// Command-line options.
#include "shell/host/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "shell/host/run_modes.h"

namespace {

bool parseInt(const char* text, int min, int max, int* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < min || value > max) return false;
  *out = static_cast<int>(value);
  return true;
}

int fail(std::FILE* err, const char* message, const char* detail) {
  std::fprintf(err, "vellumite: %s%s\n\n", message, detail);
  printUsage(err);
  return 2;
}

}  // namespace

ProgramOptions& programOptions() {
  static ProgramOptions options;
  return options;
}

bool parseVideoMode(const char* text, int* width, int* height, int* bitsPerPixel) {
  if (text == nullptr) return false;
  int values[3] = {0, 0, 32};
  int count = 0;
  const char* p = text;
  while (count < 3) {
    if (*p < '0' || *p > '9') return false;
    long value = 0;
    while (*p >= '0' && *p <= '9') {
      value = value * 10 + (*p - '0');
      if (value > 65535) return false;
      ++p;
    }
    values[count++] = static_cast<int>(value);
    if (*p == '\0') break;
    if (*p != 'x' && *p != 'X') return false;
    ++p;
  }
  if (*p != '\0' || count < 2) return false;
  if (values[0] <= 0 || values[1] <= 0) return false;
  if (values[2] != 16 && values[2] != 32) return false;
  *width = values[0];
  *height = values[1];
  *bitsPerPixel = values[2];
  return true;
}

void printUsage(std::FILE* stream) {
  std::fputs(
      "Usage: vellumite [options]\n"
      "Plays the show from the files in the current directory (or --data DIR).\n"
      "\n"
      "Options:\n"
      "  --data DIR          read the show's files from DIR\n"
      "  --mode WxH[xBPP]    display mode, e.g. 800x600 or 1024x768x16 (BPP 16 or 32,\n"
      "                      default 32)\n"
      "  --fullscreen        full screen instead of a window\n"
      "  --vsync             wait for the vertical retrace when presenting\n"
      "  --max-fps N         draw at most N frames per second (1..1000) when not\n"
      "                      waiting for the retrace\n"
      "  --low-bpp-textures  prefer 16-bit texture formats\n"
      "  --no-dither         switch dithering off\n"
      "  --adapter N         display adapter N (0 is the first)\n"
      "  --aspect keep|fill  in a mode that is not 4:3: keep the show's 4:3 picture with\n"
      "                      black bars (keep, the default) or fill the mode with a wider\n"
      "                      view (fill)\n"
      "  --headless          run without a display (offscreen video, no sound)\n"
      "  --author            steer the show from the keyboard: Space pause, Left/Right\n"
      "                      -/+1 s (Shift: 10 s), Home restart; the title shows the time\n"
      "  --help              print this text and exit\n"
      "  --version           print the version and exit\n"
      "\n"
      "Any video option (--mode, --fullscreen, --vsync, --low-bpp-textures, --no-dither,\n"
      "--adapter) skips the video setup dialog, which remembers its last choice in\n"
      "$XDG_CONFIG_HOME/vellumite/video.ini (~/.config when XDG_CONFIG_HOME is not set).\n"
      "\n"
      "Keys while the show runs:\n"
      "  Escape              end the show\n"
      "  Alt+Enter           switch between window and full screen\n"
      "In the video setup dialog: Tab and Shift+Tab move between the controls, the arrow\n"
      "keys change the focused list, Space ticks the focused box, Enter starts the show,\n"
      "Escape ends the program.\n"
      "\n"
      "Environment:\n"
      "  VELLUMITE_DEBUG=1        debug output (memory report, timings) on stderr\n"
      "  VELLUMITE_DEBUG_FILE=F   debug output into the file F\n"
      "\n",
      stream);
  printRunModeUsage(stream);
}

OptionArgument splitOptionArgument(const char* argument) {
  // "--name=value" and "--name value" both work for options with a value.
  OptionArgument option{argument, nullptr};
  std::size_t equals = option.name.find('=');
  if (option.name.rfind("--", 0) == 0 && equals != std::string::npos) {
    option.value = argument + equals + 1;
    option.name.resize(equals);
  }
  return option;
}

const char* takeOptionValue(const OptionArgument& option, int argc, const char* const* argv, int& i) {
  if (option.value != nullptr) return option.value;
  if (i + 1 < argc) return argv[++i];
  return nullptr;
}

int parseProgramOptions(int argc, const char* const* argv, const char* version, ProgramOptions* options,
                        std::FILE* out, std::FILE* err) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const OptionArgument option = splitOptionArgument(argument);
    const std::string& name = option.name;
    const char* value = option.value;
    auto takeValue = [&]() { return takeOptionValue(option, argc, argv, i); };
    bool flag = value == nullptr;
    if (name == "--help" && flag) {
      printUsage(out);
      return 0;
    }
    if (name == "--version" && flag) {
      std::fprintf(out, "vellumite %s\n", version);
      return 0;
    }
    if (name == "--headless" && flag) {
      options->headless = true;
    } else if (name == "--author" && flag) {
      options->author = true;
    } else if (name == "--fullscreen" && flag) {
      options->fullscreen = options->videoOptionGiven = true;
    } else if (name == "--vsync" && flag) {
      options->vsync = options->videoOptionGiven = true;
    } else if (name == "--low-bpp-textures" && flag) {
      options->lowBppTextures = options->videoOptionGiven = true;
    } else if (name == "--no-dither" && flag) {
      options->noDither = options->videoOptionGiven = true;
    } else if (name == "--data") {
      const char* dir = takeValue();
      if (dir == nullptr || *dir == '\0') return fail(err, "--data needs a directory", "");
      options->dataDirectory = dir;
    } else if (name == "--mode") {
      const char* mode = takeValue();
      if (mode == nullptr) return fail(err, "--mode needs a mode such as 800x600 or 1024x768x16", "");
      if (!parseVideoMode(mode, &options->width, &options->height, &options->bitsPerPixel))
        return fail(err, "--mode takes WxH or WxHxBPP with BPP 16 or 32, not ", mode);
      options->hasMode = options->videoOptionGiven = true;
    } else if (name == "--aspect") {
      const char* fit = takeValue();
      if (fit == nullptr) return fail(err, "--aspect needs keep or fill", "");
      if (std::strcmp(fit, "fill") == 0)
        options->aspectFill = true;
      else if (std::strcmp(fit, "keep") == 0)
        options->aspectFill = false;
      else
        return fail(err, "--aspect takes keep or fill, not ", fit);
    } else if (name == "--max-fps") {
      const char* rate = takeValue();
      if (rate == nullptr) return fail(err, "--max-fps needs a number of frames per second", "");
      if (!parseInt(rate, 1, 1000, &options->maxFps))
        return fail(err, "--max-fps takes a number from 1 to 1000, not ", rate);
    } else if (name == "--adapter") {
      const char* index = takeValue();
      if (index == nullptr) return fail(err, "--adapter needs an adapter number", "");
      if (!parseInt(index, 0, 255, &options->adapter)) return fail(err, "--adapter takes a number from 0, not ", index);
      options->videoOptionGiven = true;
    } else {
      return fail(err, "unknown option ", argument);
    }
  }
  return -1;
}
