// The program's command-line options: where the show's files are, the video options that
// choose without the setup dialog, headless running, help and version.
#pragma once

#include <cstdio>
#include <string>

struct ProgramOptions {
  std::string dataDirectory;  // empty: the current directory
  bool headless = false;
  // Video options; any of them skips the setup dialog.
  bool hasMode = false;
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;
  bool fullscreen = false;
  bool vsync = false;
  int maxFps = 0;  // frames per second at most without --vsync; 0: as fast as it renders
  bool lowBppTextures = false;
  bool noDither = false;
  int adapter = -1;  // -1: the default adapter
  bool videoOptionGiven = false;
  // --author: the author's keys steer the show's clock (Space, Left/Right, Home).
  bool author = false;
  // --aspect fill: the frame fills a mode that is not 4:3 with a wider view, instead of
  // keeping its 4:3 framing between black bars (--aspect keep, the default).
  bool aspectFill = false;
};

// One argument: "--name=value" splits at the '='; anything else is a name without a value.
struct OptionArgument {
  std::string name;
  const char* value;
};
OptionArgument splitOptionArgument(const char* argument);
// The option's value: the one after '=', else the next argument (i moves past it), else null.
const char* takeOptionValue(const OptionArgument& option, int argc, const char* const* argv, int& i);

// Parses argv into options. Returns -1 to run the program, or the exit code to end with:
// 0 after --help (usage on out) or --version ("vellumite <version>" on out); 2 after an
// unknown option or a bad value (the message and the usage on err).
int parseProgramOptions(int argc, const char* const* argv, const char* version, ProgramOptions* options,
                        std::FILE* out, std::FILE* err);

// Parses "WxH" or "WxHxBPP" (BPP 16 or 32, default 32). False for anything else.
bool parseVideoMode(const char* text, int* width, int* height, int* bitsPerPixel);

void printUsage(std::FILE* stream);

// The options the program runs with (set by main before the entry runs).
ProgramOptions& programOptions();
