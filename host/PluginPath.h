// Which plug-in the commands load when none is named.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace kestrune {

// The folder holding the running kestrune executable; throws HostError saying why when the system
// does not tell.
std::string executableFolder();

#if !defined(_WIN32)
// The folder of the program that `link` (such as /proc/self/exe) leads to, symbolic links resolved:
// kestrune reached through a link in another bin folder finds the plug-in of its real installation.
// Throws HostError saying why when the link cannot be read.
std::string programLinkFolder(const std::string& link);
#endif

// <folder>/KestruneEn.so when it exists, else <folder>/../lib/lxvst/KestruneEn.so (installed) when
// that exists, else <folder>/kestrune_testfx.so (a build tree) when that exists; else throws
// HostError naming where it looked. On Windows: <folder>/KestruneEn.dll, else
// <folder>/kestrune_testfx.dll.
std::string defaultPluginPath(const std::string& folder);

// Adds `--plugin PATH` to a command; `path` keeps its value when the option is absent. An empty
// PATH is refused.
void addPluginOption(CLI::App& command, std::string& path);

// `path` when given, else the default beside the executable.
std::string resolvePluginPath(const std::string& path);

}  // namespace kestrune
