// The program as it runs from main: its options, its driver and its show, and the Win32
// entry that runs them.
#pragma once

#include "shell/entry.h"
#include "shell/host/options.h"

class Direct3DDriver;

// The environment of the real program: a Direct3DDriver set up from programOptions()
// (video options given: no dialog), the processor query, the show of createShow().
EntryEnvironment programEnvironment(ShowHooks* show);

// After chooseVideoMode: the exit code when the options named an adapter or mode the
// list lacks (2, with the message and the available modes on err) or when no mode can be
// used (1); -1 to go on.
int checkVideoChoice(const Direct3DDriver& driver, std::FILE* err);
