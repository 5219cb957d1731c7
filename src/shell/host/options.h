// The program's command-line options: where the show's files are, the video options that
// choose without the setup dialog, headless running, help and version, as entries of the
// option table.
#pragma once

#include <string>

#include "shell/host/option_table.h"

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

// Parses "WxH" or "WxHxBPP" (BPP 16 or 32, default 32). False for anything else.
bool parseVideoMode(const char* text, int* width, int* height, int* bitsPerPixel);

// Registers the program's options into the table, in a section of their own that prints
// the usage after a bad value: the data folder, the video options, --aspect, --headless,
// --author, and --help (the table's usage on out, exit code 0) and --version
// ("vellumite <version>" on out, exit code 0).
void registerProgramOptions(OptionTable& table, ProgramOptions* options, const char* version);
