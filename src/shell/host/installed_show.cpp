// The installed show's folder.
#include "shell/host/installed_show.h"

#include <unistd.h>

#include <filesystem>

#include "shell/show_files.h"

bool folderHoldsShow(const std::string& folder) {
  std::error_code ec;
  const std::filesystem::path dir(folder);
  return std::filesystem::is_regular_file(dir / kShowSceneFiles[0], ec) ||
         std::filesystem::is_regular_file(dir / kShowMusicFile, ec);
}

std::string installedShowFolder(const std::string& programPath) {
  if (programPath.empty()) return "";
  const std::filesystem::path data =
      std::filesystem::path(programPath).parent_path().parent_path() / "share" / "vellumite";
  return folderHoldsShow(data.string()) ? data.string() : "";
}

std::string runningProgramPath() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "" : self.string();
}
