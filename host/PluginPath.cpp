#include "host/PluginPath.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <system_error>

namespace kestrune {

std::string executableFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return self.parent_path().string();
}

std::string defaultPluginPath(const std::string& folder) {
  const std::filesystem::path dir(folder);
  std::error_code ec;
  const std::filesystem::path effect = dir / "KestruneEn.so";
  if (std::filesystem::exists(effect, ec)) return effect.string();
  return (dir / "kestrune_testfx.so").string();
}

void addPluginOption(CLI::App& command, std::string& path) {
  command.add_option("--plugin", path,
                     "VST 2 plug-in library to load (default: KestruneEn.so beside kestrune, else kestrune_testfx.so)");
}

std::string resolvePluginPath(const std::string& path) {
  return path.empty() ? defaultPluginPath(executableFolder()) : path;
}

}  // namespace kestrune
