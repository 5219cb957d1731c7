// Program entry: reads the command line through the one option table, then runs an offline
// mode (capture, screenshot, scene preview) or the show, which ends the process.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_system.h"
#include "shell/host/command_line.h"
#include "shell/host/installed_show.h"
#include "shell/host/program.h"

int main(int argc, char** argv) {
  CommandLine line;
  int code = parseCommandLine(argc, argv, VELLUMITE_VERSION, &line, stdout, stderr);
  if (code >= 0) return code;
  const ProgramOptions& options = line.program;
  const RunModeOptions& modes = line.modes;
  if (options.headless) win32SetHeadless(true);
  Direct3DDriver::setDefaultFrameFit(options.aspectFill ? FrameFit::kFill : FrameFit::kAuthored);
  if (!options.dataDirectory.empty() && chdir(options.dataDirectory.c_str()) != 0) {
    std::fprintf(stderr, "vellumite: cannot use --data %s: %s\n", options.dataDirectory.c_str(), std::strerror(errno));
    return 2;
  }
  // An installed program plays its installed show when the current folder holds none.
  const bool sceneMode = modes.mode == RunMode::kScene || modes.mode == RunMode::kSceneScreenshot;
  if (options.dataDirectory.empty() && !sceneMode && !folderHoldsShow(".")) {
    const std::string installed = installedShowFolder(runningProgramPath());
    if (!installed.empty() && chdir(installed.c_str()) != 0) {
      std::fprintf(stderr, "vellumite: cannot use the show in %s: %s\n", installed.c_str(), std::strerror(errno));
      return 2;
    }
  }
  if (modes.mode != RunMode::kShow) return runMode(modes, options);
  runProgram(GetModuleHandleA(nullptr), options);
}
