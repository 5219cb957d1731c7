// The program's one option table.
#include "shell/host/command_line.h"

#include "shell/host/option_table.h"

namespace {

const char* const kUsageIntro =
    "Usage: vellumite [options]\n"
    "Plays the show from the files in the current directory (or --data DIR).\n"
    "\n";

// The program's options first, then the modes, in the order the usage lists them.
void registerAll(OptionTable& table, CommandLine* line, const char* version) {
  registerProgramOptions(table, &line->program, version);
  registerRunModeOptions(table, &line->modes);
}

}  // namespace

int parseCommandLine(int argc, const char* const* argv, const char* version, CommandLine* line, std::FILE* out,
                     std::FILE* err) {
  OptionTable table(kUsageIntro);
  registerAll(table, line, version);
  return table.parse(argc, argv, out, err);
}

void printCommandLineUsage(std::FILE* stream) {
  CommandLine unused;
  OptionTable table(kUsageIntro);
  registerAll(table, &unused, "");
  table.printUsage(stream);
}
