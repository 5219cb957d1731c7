// Runs one conversion in a child process, so that a crash inside the import library on a
// broken file ends that conversion with a message instead of ending the converter.
#pragma once

#include <functional>
#include <string>

namespace convert {

// The work's exit status; when the child dies from a signal, a message naming what on
// stderr, the file at partialOutput (if any) removed, and 2.
int runIsolated(const std::string& what, const std::string& partialOutput, const std::function<int()>& work);

}  // namespace convert
