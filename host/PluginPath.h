// Which plug-in the commands load when none is named.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace kestrune {

// The folder holding the running kestrune executable.
std::string executableFolder();

// <folder>/KestruneEn.so when it exists, else <folder>/../lib/lxvst/KestruneEn.so (installed) when
// that exists, else <folder>/kestrune_testfx.so (whether or not it exists, so that the load error
// names it). On Windows: <folder>/KestruneEn.dll, else <folder>/kestrune_testfx.dll.
std::string defaultPluginPath(const std::string& folder);

// Adds `--plugin PATH` to a command; `path` keeps its value when the option is absent. An empty
// PATH is refused.
void addPluginOption(CLI::App& command, std::string& path);

// `path` when given, else the default beside the executable.
std::string resolvePluginPath(const std::string& path);

}  // namespace kestrune
