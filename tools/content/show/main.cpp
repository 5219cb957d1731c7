// vellumite-show-maker: makes the show's files from the readable sources under content/show:
// pictures.txt (picture recipes, JPEG), meshes.txt (mesh recipes and the extruded title,
// 3DX) and scenes/*.scene (scene recipes, LightWave scene text). The same sources give the
// same bytes on every machine.
#include <chrono>
#include <cstdio>
#include <string>

#include "show_maker.h"

int main(int argc, char** argv) {
  if (argc != 3 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: vellumite-show-maker SOURCE_DIR OUT_DIR\n"
                 "makes the show's pictures, objects and scenes from the recipes in SOURCE_DIR into OUT_DIR\n");
    return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const ShowMade made = makeShow(argv[1], argv[2]);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (made.errors > 0) {
    std::fprintf(stderr, "vellumite-show-maker: %d error(s); the show in %s is incomplete\n", made.errors, argv[2]);
    return 1;
  }
  std::printf("vellumite-show-maker: %d pictures, %d scenes and their objects in %s (%.1f s)\n", made.pictures,
              made.scenes, argv[2], seconds);
  return 0;
}
