// Child-process isolation of conversions.
#include "isolated_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace convert {

int runIsolated(const std::string& what, const std::string& partialOutput, const std::function<int()>& work) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return work();  // no child process: convert in this one
  if (child == 0) {
    const int status = work();
    std::fflush(nullptr);
    std::_Exit(status);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return 2;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::fprintf(stderr, "vellumite-convert: cannot convert %s: the import library failed on this file (%s)\n",
               what.c_str(), signal != 0 ? strsignal(signal) : "stopped");
  if (!partialOutput.empty()) std::remove(partialOutput.c_str());
  return 2;
}

}  // namespace convert
