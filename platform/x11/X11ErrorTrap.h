// Catches X errors of our own connection for the time of a few calls.
//
// Xlib has one error handler per process, and the default one ends the process. While a trap
// lives, errors of our connection are counted and reported (X11BackendImpl::NoteXError); errors
// of any other connection go to the handler that was there before. The outermost trap syncs on
// leaving, so that the errors its calls caused arrive while it is installed, and then puts the
// previous handler back. User-interface thread only.
#pragma once

#include "platform/x11/X11Xlib.h"

namespace plat::x11 {

class X11BackendImpl;

class ErrorTrap {
 public:
  explicit ErrorTrap(X11BackendImpl& backend);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // Waits until the server has answered every request made so far; true (for use in conditions).
  bool Sync();

 private:
  static int OnError(Display* display, XErrorEvent* error);

  X11BackendImpl& backend_;
};

}  // namespace plat::x11
