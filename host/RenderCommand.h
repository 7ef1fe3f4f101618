// `kestrune render [IN] OUT`: an audio file (or the embedded demo signal) through a plug-in.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
}

namespace kestrune {

class Plugin;

void addRenderCommand(CLI::App& app);

// Selects a program given as an index or, when not a number, as an exact program name (then
// without regard to case). Throws HostError naming the choices when nothing matches.
void selectProgram(Plugin& plugin, const std::string& program);

// Parses the `--set NAME=VALUE` texts against the plug-in's parameters: NAME is a parameter name
// (exact, then without regard to case) or an index; VALUE a normalised value from 0 to 1.
// Throws HostError for the first text that does not fit.
std::vector<std::pair<int, float>> parseSettings(Plugin& plugin, const std::vector<std::string>& settings);

}  // namespace kestrune
