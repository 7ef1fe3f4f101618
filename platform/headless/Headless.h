// The headless backend: windows, paint cycles and timers without a display, for tests and for
// drawing an editor offline. Deterministic:
// - time is a virtual clock that only Advance moves; timers fire from it, in due order, on the
//   calling thread;
// - input is injected at screen positions and routed by hit-testing the window tree;
// - each top-level ("host") window owns an in-memory screen that child windows paint into and
//   that can be read back or saved as PNG;
// - text is drawn with FreeType from a face built into the library (no font file is read), so
//   the same text gives the same pixels everywhere.
// Every Inject* call and Advance deliver the messages they cause, then everything posted, then
// pending paints, before they answer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"

namespace plat::headless {

class HeadlessBackend : public virtual Backend {
 public:
  // --- Host windows: top-level windows standing in for the windows a plug-in host owns. They
  // paint their client area in `background` unless `proc` handles kMsgPaint.
  virtual Status CreateHostWindow(const Rect& screenBounds, Color background, WindowHandle* out,
                                  WindowProc proc = {}) = 0;
  // True for a live window made by CreateHostWindow; false for the windows placed in one and for
  // what stands for a foreign handle.
  virtual bool IsHostWindow(WindowHandle window) const = 0;
  // A copy of the host window's screen (surface layout, alpha 255).
  virtual Status ReadScreen(WindowHandle hostWindow, std::unique_ptr<Surface>* out) = 0;
  virtual Status SaveScreenPng(WindowHandle hostWindow, const std::string& path) = 0;
  // One pixel of the host window's screen, client coordinates.
  virtual Status ScreenPixel(WindowHandle hostWindow, Point p, Color* out) const = 0;

  // --- Virtual clock
  // Moves time forward by `ms`, firing every timer due on the way in order of due time (ties:
  // in order of starting). Busy when called from inside a message it is delivering.
  virtual Status Advance(uint32_t ms) = 0;
  // Moves time forward without delivering anything: a message handler that "takes" this long.
  virtual void Spend(uint32_t ms) = 0;
  virtual uint64_t Now() const = 0;
  // Delivers everything posted and every pending paint (what a message loop does when idle).
  virtual Status Pump() = 0;

  // --- Input, in screen coordinates
  virtual Status InjectMouseMove(Point screen) = 0;
  // button: 0 left, 1 right, 2 middle. Moves the mouse to `screen` first.
  virtual Status InjectMouseButton(Point screen, int button, bool down) = 0;
  // Down and up at one place.
  virtual Status InjectClick(Point screen, int button = 0) = 0;
  // Key down or up to the focus window; Alt held makes system keys.
  virtual Status InjectKey(uint32_t virtualKey, bool down) = 0;
  // A character message to the focus window (kMsgSysChar while Alt is held).
  virtual Status InjectChar(uint8_t character) = 0;

  // --- Test hooks
  // Makes the host window's screen stand for an 8-bit palette display (bits 8) or a true-colour
  // one (32, the default): paint contexts on it report that depth. The screen keeps full colour;
  // pictures reach it through TransferIndexed like on a palette display.
  virtual Status SetScreenBitsPerPixel(WindowHandle hostWindow, int bits) = 0;
  // What ContentScale answers for every window from now on (1 at first), whatever it is.
  virtual void SetContentScale(double scale) = 0;
  // At most this many timers may run at once; beyond it SetTimer answers OutOfResources.
  virtual void SetTimerLimit(size_t limit) = 0;
  virtual size_t RunningTimerCount() const = 0;
  virtual size_t WindowCount() const = 0;  // live windows, host windows included
  // Exceptions that escaped window procedures (swallowed and counted).
  virtual size_t EscapedExceptions() const = 0;
};

// A fresh headless backend installed as the current one (earlier handles become stale).
HeadlessBackend& InstallHeadless();
// A fresh headless backend, not installed.
std::unique_ptr<Backend> CreateHeadlessBackend();
// The current backend when it is headless, else null.
HeadlessBackend* CurrentHeadless();
// The headless backend for drawing offline. Without `create`: the current one when it is
// headless, else the one set aside while it holds host windows, else null. With `create`: a
// headless backend made current (the set-aside one or a fresh one, without settling the choice),
// or null while an editor shows in the current backend.
HeadlessBackend* OfflineHeadless(bool create);

// Which face the headless text is drawn with, for diagnostics ("" without FreeType).
std::string FontFilePath(bool bold);

}  // namespace plat::headless
