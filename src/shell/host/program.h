// The program as it runs from main: its options handed to the entry through the
// environment, its driver and its show, and the Win32 entry that runs them.
#pragma once

#include <cstdio>
#include <string>

#include "shell/entry.h"
#include "shell/host/author_controls.h"
#include "shell/host/options.h"
#include "shell/host/show_services.h"

class Direct3DDriver;

// One run of the program through the entry: its options, which reach the entry's hooks as
// the environment's context, and what those hooks keep. Lives as long as the run.
class ProgramRun {
 public:
  explicit ProgramRun(const ProgramOptions& given) : options(given), author(setTitle, this) {}
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // The environment of the real program: a Direct3DDriver set up from the options (video
  // options given: no dialog), the processor query, the show, and with --author the
  // author's clock; this run is the context.
  EntryEnvironment environment(ShowHooks* show);

  ProgramOptions options;
  // In place of the entry's title when not empty (the scene preview names its scene).
  std::string windowTitle;
  // False: without video options the default mode is taken instead of asking in the
  // setup dialog (an author reopens the scene preview often).
  bool setupDialog = true;
  // The driver created for the run while it lives.
  Direct3DDriver* driver = nullptr;
  AuthorShowClock author;
  // What the show reaches beyond the driver: the program's own services.
  ProgramShowServices services;

 private:
  static void setTitle(const char* title, void* context);
};

// After chooseVideoMode: the exit code when the options named an adapter or mode the
// list lacks (2, with the message and the available modes on err) or when no mode can be
// used (1); -1 to go on.
int checkVideoChoice(const Direct3DDriver& driver, const ProgramOptions& options, std::FILE* err);

// The program: the display is opened first (a display that cannot be reached ends it with a
// message), then the show runs through the entry with these options; the process ends
// with the entry's exit code.
[[noreturn]] void runProgram(HINSTANCE instance, const ProgramOptions& options);
