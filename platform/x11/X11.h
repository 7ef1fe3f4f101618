// The X11 backend: editor windows inside a plug-in host's X window, on the software windows of
// platform/soft/.
//
// - Its own display connection (the DISPLAY of the environment), opened when a window is first
//   placed in a foreign X window and closed when the last window of ours on it goes. It never
//   calls XInitThreads and never uses or changes the host's connection.
// - A foreign X window that receives a window of ours gets one real child window at (0, 0),
//   sized to hold what is placed in it. Everything inside is composed in software and
//   transferred with XPutImage (through shared memory when the server offers MIT-SHM).
// - Nothing runs on its own and no thread is made: Idle reads pending events without blocking,
//   fires due timers, delivers posted messages and paints, and transfers what was painted. Hosts
//   reach it through the editor's idle call and through the `_XEventProc` property of each real
//   window, which holds the address of a function taking an event pointer (on 64-bit systems as
//   two 32-bit items, low half first).
// - An X error on the connection is caught (the previous error handler is restored after each of
//   our calls), counted and handed to the platform's error sink; it never ends the host.
// - A foreign handle that is not a window on a reachable display gets an in-memory window, as
//   the headless backend gives it (timers then run on the same clock, from Idle).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/Platform.h"

namespace plat::x11 {

class X11Backend : public virtual Backend {
 public:
  virtual bool Connected() const = 0;
  // Real windows of ours alive on the connection.
  virtual size_t RealWindowCount() const = 0;
  // True when pixels go through MIT-SHM (known once a window was shown).
  virtual bool UsesSharedMemory() const = 0;
  virtual size_t XErrorCount() const = 0;
  // The real window that shows `window` (0 when it is not shown in one).
  virtual unsigned long NativeWindowOf(WindowHandle window) const = 0;
};

// The content scale that the environment and a display's resources (the text of its
// RESOURCE_MANAGER property) ask for: GDK_SCALE when it is a whole number from 1 to 8, else the
// "Xft.dpi" resource divided by 96, else 1.
double ScaleFromEnvironment(const char* gdkScale, std::string_view resources);

std::unique_ptr<Backend> CreateX11Backend();
// An X11 backend when `hostWindow` is a window on the display of the environment, else null.
std::unique_ptr<Backend> CreateX11BackendFor(WindowHandle hostWindow);
// A fresh X11 backend installed as the current one (earlier handles become stale).
X11Backend& InstallX11();

}  // namespace plat::x11
