#include "host/EditorCommand.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>

#include "host/EditorWindow.h"
#include "host/HostError.h"
#include "host/HostState.h"
#include "host/NumberOption.h"
#include "host/Plugin.h"
#include "host/PluginPath.h"
#include "host/PngFile.h"
#include "host/RenderCommand.h"

namespace kestrune {
namespace {

constexpr int kMaxDrag = 4096;
constexpr double kMaxScale = 8;
// Time for the editor to settle after opening and after each step: a few of its refresh ticks.
constexpr int kSettleMs = 50;
// A drag moves the mouse this far per step, one refresh tick apart, as a hand would.
constexpr int kDragStep = 4;
constexpr int kDragStepMs = 15;

struct Drag {
  std::string control;
  int pixels = 0;
};

Drag parseDrag(const std::string& text) {
  const auto colon = text.rfind(':');
  const std::string bad = "bad --drag '" + text + "': expected CONTROL:PIXELS, PIXELS a whole number from " +
                          std::to_string(-kMaxDrag) + " to " + std::to_string(kMaxDrag);
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) throw HostError(bad);
  const auto pixels = parseWhole(std::string_view(text).substr(colon + 1));
  if (!pixels || *pixels < -kMaxDrag || *pixels > kMaxDrag) throw HostError(bad);
  return {text.substr(0, colon), static_cast<int>(*pixels)};
}

// `d.pixels` are pixels of the editor at 100 %; the window is `factor` times that size.
void drag(EditorWindow& window, const Drag& d, double factor) {
  const ControlPlace place = window.locate(d.control);
  const int pixels = static_cast<int>(std::lround(d.pixels * factor));
  // Along the control's longer side, as on a value axis: positive up or right, negative down or left.
  const bool vertical = place.height >= place.width;
  int x = place.grabX, y = place.grabY;
  window.mouseMove(x, y);
  window.mouseButton(x, y, true);
  for (int moved = 0; moved != pixels;) {
    const int step = std::clamp(pixels - moved, -kDragStep, kDragStep);
    moved += step;
    if (vertical)
      y -= step;
    else
      x += step;
    window.mouseMove(x, y);
    window.wait(kDragStepMs);
  }
  window.mouseButton(x, y, false);
}

// The editor's width as the plug-in tells it now (0 when it does not).
int editorWidth(Plugin& plugin) {
  ERect* rect = nullptr;
  if (!(plugin.record().flags & effFlagsHasEditor) || plugin.dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect)
    return 0;
  return rect->right - rect->left;
}

}  // namespace

void drawEditor(const EditorOptions& options) {
  std::optional<Drag> dragStep;
  if (options.drag) dragStep = parseDrag(*options.drag);
  if (options.png.empty()) throw HostError("--png: the picture file must be named");
  std::optional<double> scale;
  if (options.scale) {
    scale = parseDecimal(*options.scale);
    if (!scale || !(*scale > 0 && *scale <= kMaxScale))
      throw HostError("bad --scale '" + *options.scale + "': expected a factor above 0 and at most " +
                      std::to_string(int(kMaxScale)));
  }
  PngFile output(options.png);  // a path that cannot be written fails here, before any work

  HostState host;
  auto plugin = Plugin::load(resolvePluginPath(options.plugin), host);
  plugin->open();
  if (!options.program.empty()) selectProgram(*plugin, options.program);
  for (const auto& [index, value] : parseSettings(*plugin, options.settings)) plugin->setParameter(index, value);

  // The editor's size at 100 % before any scale is asked: mouse steps are counted in its pixels.
  const int baseWidth = editorWidth(*plugin);
  if (scale && (plugin->record().flags & effFlagsHasEditor) &&
      plugin->dispatch(effVendorSpecific, kVendorContentScale, kContentScaleValue, nullptr,
                       static_cast<float>(*scale)) != 1)
    throw HostError("'" + plugin->path() + "' does not take a content scale for its editor");
  std::unique_ptr<EditorWindow> window = options.x11 ? makeX11EditorWindow(*plugin) : makeHeadlessEditorWindow(*plugin);
  window->open();
  const double factor = baseWidth > 0 ? double(window->width()) / baseWidth : 1.0;
  window->wait(kSettleMs);
  if (options.click) {
    const ControlPlace place = window->locate(*options.click);
    window->mouseMove(place.grabX, place.grabY);
    window->mouseButton(place.grabX, place.grabY, true);
    window->mouseButton(place.grabX, place.grabY, false);
    window->wait(kSettleMs);
  }
  if (dragStep) {
    drag(*window, *dragStep, factor);
    window->wait(kSettleMs);
  }
  if (options.hover) {
    const ControlPlace place = window->locate(*options.hover);
    window->mouseMove(place.grabX, place.grabY);
  }
  window->wait(options.waitMs);
  const std::vector<std::uint8_t> pixels = window->read();
  const int width = window->width(), height = window->height();
  window->close();
  window.reset();
  plugin->close();
  output.write(width, height, pixels);
}

void addEditorCommand(CLI::App& app) {
  auto options = std::make_shared<EditorOptions>();
  CLI::App* command = app.add_subcommand(
      "editor", "Opens the plug-in's editor offline, applies mouse steps and writes a PNG picture of it");
  addPluginOption(*command, options->plugin);
  command->add_option("--png", options->png, "PNG file to write")->required();
  addProgramOptions(*command, options->program, options->settings);
  command->add_option("--click", options->click, "Control to click (a name of the editor's description)");
  command->add_option("--drag", options->drag,
                      "CONTROL:PIXELS: takes the control (a slider by its knob) and moves the mouse that far "
                      "along its longer side: positive up or right, negative down or left");
  command->add_option("--hover", options->hover, "Control to leave the mouse over, after --click and --drag");
  command->add_flag("--x11", options->x11,
                    "Shows the editor in a real X11 window (any plug-in with an X11 editor) and pictures that "
                    "window");
  command->add_option("--scale", options->scale,
                      "Content scale asked of the editor (2 = 200 %); --click, --drag and --hover stay in the "
                      "pixels of its 100 % size");
  addNumberOption(*command, "--wait", options->waitMs, 0, 600000,
                  "Milliseconds to let pass before the picture is taken");
  command->callback([options] { drawEditor(*options); });
}

}  // namespace kestrune
