#include "host/PluginPath.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/HostError.h"

namespace kestrune {
namespace {

// Plug-in libraries are DLLs on Windows, shared objects elsewhere.
#if defined(_WIN32)
constexpr const char* kSuffix = ".dll";
constexpr const char* kBeside = " beside kestrune";
#else
constexpr const char* kSuffix = ".so";
constexpr const char* kBeside = " beside kestrune or in ../lib/lxvst";
#endif

}  // namespace

std::string executableFolder() {
#if defined(_WIN32)
  // The runtime's copy of the program's full path.
  if (_pgmptr == nullptr || *_pgmptr == 0)
    throw HostError("cannot tell which folder kestrune runs from: name the plug-in with --plugin PATH");
  return std::filesystem::path(_pgmptr).parent_path().string();
#else
  return programLinkFolder("/proc/self/exe");
#endif
}

#if !defined(_WIN32)
std::string programLinkFolder(const std::string& link) {
  // Never fall back to the current folder: a plug-in found there would be code nobody chose to run.
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink(link, ec);
  if (ec || !self.is_absolute())
    throw HostError("cannot tell which folder kestrune runs from (" + link + ": " +
                    (ec ? ec.message() : "not an absolute path") + "): name the plug-in with --plugin PATH");
  return self.parent_path().string();
}
#endif

std::string defaultPluginPath(const std::string& folder) {
  const std::filesystem::path dir(folder);
  const std::string effect = std::string("KestruneEn") + kSuffix;
  // Beside kestrune in a build tree or the Windows archive; where an installation puts it on Linux
  // (<prefix>/bin/kestrune, <prefix>/lib/lxvst/KestruneEn.so).
#if defined(_WIN32)
  const std::filesystem::path candidates[] = {dir / effect};  // Windows has no installed layout of that kind
#else
  const std::filesystem::path candidates[] = {dir / effect, dir / ".." / "lib" / "lxvst" / effect};
#endif
  std::error_code ec;
  for (const std::filesystem::path& candidate : candidates)
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate.lexically_normal().string();
  // The test effect, in a build tree without KestruneEn.
  const std::filesystem::path testfx = dir / (std::string("kestrune_testfx") + kSuffix);
  if (std::filesystem::is_regular_file(testfx, ec)) return testfx.string();
#if defined(_WIN32)
  const std::string where = " is not in " + dir.string();
#else
  const std::string where =
      " is neither in " + dir.string() + " nor in " + candidates[1].parent_path().lexically_normal().string();
#endif
  throw HostError("no plug-in named and " + effect + where + ": name one with --plugin PATH");
}

void addPluginOption(CLI::App& command, std::string& path) {
  // An empty path would otherwise stand for "not given" and load the default in silence.
  command
      .add_option("--plugin", path,
                  std::string("VST 2 plug-in library to load (default: KestruneEn") + kSuffix + kBeside +
                      ", else kestrune_testfx" + kSuffix + ")")
      ->check(CLI::Validator(
          [](std::string& text) { return text.empty() ? std::string("the plug-in library must be named") : ""; },
          "PATH"));
}

std::string resolvePluginPath(const std::string& path) {
  return path.empty() ? defaultPluginPath(executableFolder()) : path;
}

}  // namespace kestrune
