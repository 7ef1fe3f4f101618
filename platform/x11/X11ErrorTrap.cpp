#include "platform/x11/X11ErrorTrap.h"

#include "platform/x11/X11BackendImpl.h"

namespace plat::x11 {

namespace {
int gDepth = 0;
X11BackendImpl* gOwner = nullptr;
XErrorHandler gPrevious = nullptr;
}  // namespace

ErrorTrap::ErrorTrap(X11BackendImpl& backend) : backend_(backend) {
  if (gDepth++ == 0) {
    gOwner = &backend;
    gPrevious = XSetErrorHandler(&ErrorTrap::OnError);
  }
}

ErrorTrap::~ErrorTrap() {
  if (--gDepth > 0) return;
  if (backend_.display_) XSync(backend_.display_, False);
  XSetErrorHandler(gPrevious);
  gPrevious = nullptr;
  gOwner = nullptr;
}

bool ErrorTrap::Sync() {
  if (backend_.display_) XSync(backend_.display_, False);
  return true;
}

int ErrorTrap::OnError(Display* display, XErrorEvent* error) {
  if (gOwner && display == gOwner->display_) {
    gOwner->NoteXError(*error);
    return 0;
  }
  return gPrevious ? gPrevious(display, error) : 0;
}

}  // namespace plat::x11
