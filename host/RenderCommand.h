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

struct RenderOptions {
  std::vector<std::string> files;  // [IN] OUT
  std::string plugin;              // empty: the default beside the executable
  std::string program;             // empty: leave the plug-in's current program
  std::vector<std::string> settings;
  int blockSize = 512;
  double tempo = 0.0;  // 0: no tempo reported
  double tailSeconds = 0.0;
  std::string format;    // empty: by extension
  std::string encoding;  // empty: the format's default
};

void addRenderCommand(CLI::App& app);

// `--program` and `--set` (kept in `program` and `settings`), as render and editor take them; an
// empty or blank program name is refused.
void addProgramOptions(CLI::App& command, std::string& program, std::vector<std::string>& settings);

// The whole render: load, open, set rate and block size, select the program, apply the settings,
// resume, process every block, suspend, close, and only then give the output its name.
// Throws HostError; on any failure no output file is left behind.
void render(const RenderOptions& options);

// Selects a program given as an index or, when not a number, as an exact program name (then
// without regard to case). Throws HostError naming the choices when nothing matches.
void selectProgram(Plugin& plugin, const std::string& program);

// Parses the `--set NAME=VALUE` texts against the plug-in's parameters: NAME is a parameter name
// (exact, then without regard to case) or an index; VALUE a normalised value from 0 to 1.
// Throws HostError for the first text that does not fit.
std::vector<std::pair<int, float>> parseSettings(Plugin& plugin, const std::vector<std::string>& settings);

}  // namespace kestrune
