// `kestrune editor`: opens a plug-in's editor, applies mouse steps and writes a PNG of the window.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kestrune {

struct EditorOptions {
  std::string plugin;  // empty: the default beside the executable
  std::string png;
  std::string program;  // empty: leave the plug-in's current program
  std::vector<std::string> settings;
  std::optional<std::string> hover, click, drag;  // control names; drag as CONTROL:PIXELS
  int waitMs = 0;
  bool x11 = false;  // a real X11 window instead of the plug-in's offline drawing
  // The content scale asked of the plug-in before its editor opens (2 = 200 %); mouse steps stay in
  // the pixels of the editor's 100 % size.
  std::optional<std::string> scale;
};

void addEditorCommand(CLI::App& app);

// The whole command: checks the options and the output path, loads and opens the plug-in, selects
// the program, applies the settings, opens the editor, clicks, drags, hovers, waits, reads the
// window and only then writes the PNG. Throws HostError; on failure no file is written or replaced.
void drawEditor(const EditorOptions& options);

}  // namespace kestrune
