// Program entry: reads the options, then runs an offline mode (capture, screenshot, scene
// preview) or the Win32 entry, which plays the show and ends the process.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "shell/entry.h"
#include "shell/host/installed_show.h"
#include "shell/host/options.h"
#include "shell/host/run_modes.h"

int main(int argc, char** argv) {
  RunModeOptions modes;
  std::vector<const char*> rest;
  int code = extractRunModeOptions(argc, argv, &modes, &rest, stderr);
  if (code >= 0) return code;
  ProgramOptions& options = programOptions();
  code = parseProgramOptions(static_cast<int>(rest.size()), rest.data(), VELLUMITE_VERSION, &options, stdout, stderr);
  if (code >= 0) return code;
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

  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
