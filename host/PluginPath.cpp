#include "host/PluginPath.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kestrune {
namespace {

// Plug-in libraries are DLLs on Windows, shared objects elsewhere.
#if defined(_WIN32)
constexpr const char* kSuffix = ".dll";
#else
constexpr const char* kSuffix = ".so";
#endif

}  // namespace

std::string executableFolder() {
#if defined(_WIN32)
  // The runtime's copy of the program's full path.
  if (_pgmptr == nullptr || *_pgmptr == 0) return ".";
  const std::filesystem::path self(_pgmptr);
#else
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
#endif
  return self.parent_path().string();
}

std::string defaultPluginPath(const std::string& folder) {
  const std::filesystem::path dir(folder);
  const std::string effect = std::string("KestruneEn") + kSuffix;
  // Beside kestrune in a build tree or the Windows archive; where an installation puts it on Linux
  // (<prefix>/bin/kestrune, <prefix>/lib/lxvst/KestruneEn.so).
  for (const std::filesystem::path& candidate : {dir / effect, dir / ".." / "lib" / "lxvst" / effect}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate.lexically_normal().string();
#if defined(_WIN32)
    break;  // Windows has no installed layout of that kind
#endif
  }
  return (dir / (std::string("kestrune_testfx") + kSuffix)).string();
}

void addPluginOption(CLI::App& command, std::string& path) {
  // An empty path would otherwise stand for "not given" and load the default in silence.
  command
      .add_option("--plugin", path,
                  std::string("VST 2 plug-in library to load (default: KestruneEn") + kSuffix +
                      " beside kestrune or in ../lib/lxvst, else kestrune_testfx" + kSuffix + ")")
      ->check(CLI::Validator(
          [](std::string& text) { return text.empty() ? std::string("the plug-in library must be named") : ""; },
          "PATH"));
}

std::string resolvePluginPath(const std::string& path) {
  return path.empty() ? defaultPluginPath(executableFolder()) : path;
}

}  // namespace kestrune
