// The whole command line of the program: the program's options and the offline and
// authoring modes, registered into one option table that parses it and prints the usage.
#pragma once

#include <cstdio>

#include "shell/host/options.h"
#include "shell/host/run_modes.h"

struct CommandLine {
  ProgramOptions program;
  RunModeOptions modes;
};

// Parses argv into the record. Returns -1 to run the program, or the exit code to end with:
// 0 after --help (the usage on out) or --version ("vellumite <version>" on out); 2 after an
// unknown option, a bad value or a combination of modes that makes no sense (the message
// on err, followed by the usage for the program's own options and unknown ones).
int parseCommandLine(int argc, const char* const* argv, const char* version, CommandLine* line, std::FILE* out,
                     std::FILE* err);

// The usage text (what --help prints).
void printCommandLineUsage(std::FILE* stream);
