// Program entry of the web page: the page hands over the show's folder in the in-memory file
// system and its URL parameters as the program's options (--data, --mode, --screenshot ...);
// the show then runs as on the desktop, its window being the page's canvas. A screenshot
// renders its frame as the desktop program's --screenshot does and leaves it on the canvas.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/win32/win32_system.h"
#include "shell/host/capture.h"
#include "shell/host/option_table.h"
#include "shell/host/options.h"
#include "shell/host/program.h"
#include "shell/host/show_services.h"

namespace {

struct PageScreenshot {
  bool given = false;
  double time = 0.0;
  std::string path;
};

void registerScreenshotOption(OptionTable& table, PageScreenshot* shot) {
  table.section("Screenshot:", "", false);
  table.add({"--screenshot", "T OUT",
             "render the show's frame at T seconds, keep it on the page and\nwrite its pixels (blue, green, red, alpha "
             "bytes, top row\nfirst) into OUT",
             [shot](OptionCall& call) {
               // The messages are the desktop program's, whose OUT is a PNG file.
               if (!parseOptionSeconds(call.value(), &shot->time))
                 return call.fail("--screenshot takes a time in seconds and a PNG file name");
               const char* path = call.value();
               if (path == nullptr || *path == '\0')
                 return call.fail("--screenshot needs a PNG file name after the time");
               shot->path = path;
               shot->given = true;
               return -1;
             }});
}

int runPageScreenshot(const PageScreenshot& shot, const ProgramOptions& options) {
  ProgramShowServices services;
  CaptureOptions capture;
  capture.services = &services;
  if (options.hasMode) {
    capture.width = options.width;
    capture.height = options.height;
    capture.bitsPerPixel = options.bitsPerPixel;
  }
  return runScreenshot(shot.time, shot.path, capture);
}

}  // namespace

int main(int argc, char** argv) {
  ProgramOptions options;
  PageScreenshot shot;
  OptionTable table("Usage: vellumite [options]\nPlays the show in a web page.\n\n");
  registerProgramOptions(table, &options, VELLUMITE_VERSION);
  registerScreenshotOption(table, &shot);
  int code = table.parse(argc, argv, stdout, stderr);
  if (code >= 0) return code;
  Direct3DDriver::setDefaultFrameFit(options.aspectFill ? FrameFit::kFill : FrameFit::kAuthored);
  if (!options.dataDirectory.empty() && chdir(options.dataDirectory.c_str()) != 0) {
    std::fprintf(stderr, "vellumite: cannot use --data %s: %s\n", options.dataDirectory.c_str(), std::strerror(errno));
    return 2;
  }
  // The program's end reaches the page through exit, as the show's end does through
  // ExitProcess; leaving main after the browser resumed it would end nothing. (ExitProcess
  // would close the windows, which empties the canvas the frame is kept on.)
  if (shot.given) std::exit(runPageScreenshot(shot, options));
  runProgram(GetModuleHandleA(nullptr), options);
}
