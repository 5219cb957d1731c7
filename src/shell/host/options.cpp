// The program's command-line options.
#include "shell/host/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

}  // namespace

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

void registerProgramOptions(OptionTable& table, ProgramOptions* options, const char* version) {
  table.section("Options:",
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
                true);
  table.add({"--data", "DIR", "read the show's files from DIR", [options](OptionCall& call) {
               const char* dir = call.value();
               if (dir == nullptr || *dir == '\0') return call.fail("--data needs a directory");
               options->dataDirectory = dir;
               return -1;
             }});
  table.add({"--mode", "WxH[xBPP]", "display mode, e.g. 800x600 or 1024x768x16 (BPP 16 or 32,\ndefault 32)",
             [options](OptionCall& call) {
               const char* mode = call.value();
               if (mode == nullptr) return call.fail("--mode needs a mode such as 800x600 or 1024x768x16");
               if (!parseVideoMode(mode, &options->width, &options->height, &options->bitsPerPixel))
                 return call.fail("--mode takes WxH or WxHxBPP with BPP 16 or 32, not ", mode);
               options->hasMode = options->videoOptionGiven = true;
               return -1;
             }});
  table.add({"--fullscreen", nullptr, "full screen instead of a window", [options](OptionCall&) {
               options->fullscreen = options->videoOptionGiven = true;
               return -1;
             }});
  table.add({"--vsync", nullptr, "wait for the vertical retrace when presenting", [options](OptionCall&) {
               options->vsync = options->videoOptionGiven = true;
               return -1;
             }});
  table.add({"--max-fps", "N", "draw at most N frames per second (1..1000) when not\nwaiting for the retrace",
             [options](OptionCall& call) {
               const char* rate = call.value();
               if (rate == nullptr) return call.fail("--max-fps needs a number of frames per second");
               if (!parseInt(rate, 1, 1000, &options->maxFps))
                 return call.fail("--max-fps takes a number from 1 to 1000, not ", rate);
               return -1;
             }});
  table.add({"--low-bpp-textures", nullptr, "prefer 16-bit texture formats", [options](OptionCall&) {
               options->lowBppTextures = options->videoOptionGiven = true;
               return -1;
             }});
  table.add({"--no-dither", nullptr, "switch dithering off", [options](OptionCall&) {
               options->noDither = options->videoOptionGiven = true;
               return -1;
             }});
  table.add({"--adapter", "N", "display adapter N (0 is the first)", [options](OptionCall& call) {
               const char* index = call.value();
               if (index == nullptr) return call.fail("--adapter needs an adapter number");
               if (!parseInt(index, 0, 255, &options->adapter))
                 return call.fail("--adapter takes a number from 0, not ", index);
               options->videoOptionGiven = true;
               return -1;
             }});
  table.add({"--aspect", "keep|fill",
             "in a mode that is not 4:3: keep the show's 4:3 picture with\nblack bars (keep, the default) or fill the "
             "mode with a wider\nview (fill)",
             [options](OptionCall& call) {
               const char* fit = call.value();
               if (fit == nullptr) return call.fail("--aspect needs keep or fill");
               if (std::strcmp(fit, "fill") == 0)
                 options->aspectFill = true;
               else if (std::strcmp(fit, "keep") == 0)
                 options->aspectFill = false;
               else
                 return call.fail("--aspect takes keep or fill, not ", fit);
               return -1;
             }});
  table.add({"--headless", nullptr, "run without a display (offscreen video, no sound)", [options](OptionCall&) {
               options->headless = true;
               return -1;
             }});
  table.add({"--author", nullptr,
             "steer the show from the keyboard: Space pause, Left/Right\n-/+1 s (Shift: 10 s), Home restart; the title "
             "shows the time",
             [options](OptionCall&) {
               options->author = true;
               return -1;
             }});
  table.add({"--help", nullptr, "print this text and exit", [](OptionCall& call) {
               call.table().printUsage(call.out());
               return 0;
             }});
  table.add({"--version", nullptr, "print the version and exit", [version](OptionCall& call) {
               std::fprintf(call.out(), "vellumite %s\n", version);
               return 0;
             }});
}
