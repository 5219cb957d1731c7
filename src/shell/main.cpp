// Program entry: first stand-in until the shell's entry and main loop exist.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("vellumite %s\n", VELLUMITE_VERSION);
      return 0;
    }
  }
  return 0;
}
