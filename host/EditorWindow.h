// Where `kestrune editor` shows a plug-in's editor: a window of the host that the editor opens in,
// mouse input at screen positions, time passing, and the window's pixels. One implementation per
// way of showing it; each throws HostError with one clear line when the plug-in cannot be served.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrune {

class Plugin;

struct ControlPlace {
  int left = 0, top = 0, width = 0, height = 0;  // screen pixels
  int grabX = 0, grabY = 0;                      // where the mouse takes it
};

class EditorWindow {
 public:
  virtual ~EditorWindow() = default;
  // Makes a window of the editor's size (effEditGetRect) and opens the editor in it (effEditOpen).
  virtual void open() = 0;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // Where the control of that name lies; throws HostError when the editor has none of that name.
  virtual ControlPlace locate(const std::string& control) = 0;
  virtual void mouseMove(int x, int y) = 0;
  virtual void mouseButton(int x, int y, bool down) = 0;  // left button
  // Lets `milliseconds` pass: timers fire, fades run, pending paints happen.
  virtual void wait(int milliseconds) = 0;
  // The window's pixels: width() * height(), rows from the top, red, green, blue, alpha.
  virtual std::vector<std::uint8_t> read() = 0;
  // effEditClose and the window gone; also done by the destructor of an implementation.
  virtual void close() = 0;
};

// Offline, through the plug-in's headless platform (our requests on effVendorSpecific). Only our
// own plug-ins answer them; others fail to open with a HostError saying so.
std::unique_ptr<EditorWindow> makeHeadlessEditorWindow(Plugin& plugin);

// In a real top-level X11 window on the display of the environment, for any plug-in whose editor
// opens in an X window; the picture is what the server shows. Throws HostError when there is no
// display or this build has no X11.
std::unique_ptr<EditorWindow> makeX11EditorWindow(Plugin& plugin);

}  // namespace kestrune
