// Where an installed program finds its show: the data folder beside its own folder
// (<prefix>/bin/vellumite reads <prefix>/share/vellumite), used when neither --data nor
// the current folder gives the show.
#pragma once

#include <string>

// True when the folder holds the show's first scene file or its music.
bool folderHoldsShow(const std::string& folder);

// <folder of programPath>/../share/vellumite when that folder holds the show; else empty.
std::string installedShowFolder(const std::string& programPath);

// The running program's own path (empty when it cannot be found).
std::string runningProgramPath();
