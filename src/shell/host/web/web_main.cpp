// Program entry of the web page: the page hands over the show's folder in the in-memory file
// system and its URL parameters as the program's options (--data, --mode, ...); the show
// then runs as on the desktop, its window being the page's canvas.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/win32/win32_system.h"
#include "shell/host/option_table.h"
#include "shell/host/options.h"
#include "shell/host/program.h"

int main(int argc, char** argv) {
  ProgramOptions options;
  OptionTable table("Usage: vellumite [options]\nPlays the show in a web page.\n\n");
  registerProgramOptions(table, &options, VELLUMITE_VERSION);
  int code = table.parse(argc, argv, stdout, stderr);
  if (code >= 0) return code;
  Direct3DDriver::setDefaultFrameFit(options.aspectFill ? FrameFit::kFill : FrameFit::kAuthored);
  if (!options.dataDirectory.empty() && chdir(options.dataDirectory.c_str()) != 0) {
    std::fprintf(stderr, "vellumite: cannot use --data %s: %s\n", options.dataDirectory.c_str(), std::strerror(errno));
    return 2;
  }
  runProgram(GetModuleHandleA(nullptr), options);
}
