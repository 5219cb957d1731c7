// Program entry: reads the options, then runs the Win32 entry, which ends the process.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/win32_sdl.h"
#include "platform/win32/win32_window.h"
#include "shell/entry.h"
#include "shell/options.h"

int main(int argc, char** argv) {
  ProgramOptions& options = programOptions();
  int code = parseProgramOptions(argc, argv, VELLUMITE_VERSION, &options, stdout, stderr);
  if (code >= 0) return code;
  if (options.headless) win32SetHeadless(true);
  if (!options.dataDirectory.empty() && chdir(options.dataDirectory.c_str()) != 0) {
    std::fprintf(stderr, "vellumite: cannot use --data %s: %s\n", options.dataDirectory.c_str(), std::strerror(errno));
    return 2;
  }
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  WinMain(nullptr, nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
