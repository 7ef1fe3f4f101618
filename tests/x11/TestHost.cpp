#include "tests/x11/TestHost.h"

#include "tests/x11/TestXlib.h"

namespace kestrune::test {

namespace {

Display* D(void* display) { return static_cast<Display*>(display); }

int gErrors = 0;
int CountError(Display*, XErrorEvent*) {
  ++gErrors;
  return 0;
}

plat::Color ColorAt(XImage* image, int x, int y) {
  const unsigned long p = XGetPixel(image, x, y);
  auto channel = [p](unsigned long mask) {
    int shift = 0;
    while (mask && !((mask >> shift) & 1)) ++shift;
    const unsigned long top = mask >> shift;
    return uint8_t(top ? ((p & mask) >> shift) * 255 / top : 0);
  };
  return plat::MakeColor(channel(image->red_mask), channel(image->green_mask), channel(image->blue_mask));
}

}  // namespace

bool TestHost::Open(int width, int height) {
  display_ = XOpenDisplay(nullptr);
  if (!display_) return false;
  Display* d = D(display_);
  window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, unsigned(width), unsigned(height), 0, 0, 0x808080);
  XMapWindow(d, window_);
  XSync(d, False);
  return true;
}

TestHost::~TestHost() {
  if (display_) XCloseDisplay(D(display_));
}

std::vector<unsigned long> TestHost::Children() const {
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  std::vector<unsigned long> out;
  if (window_ && XQueryTree(D(display_), window_, &root, &parent, &children, &count))
    out.assign(children, children + count);
  if (children) XFree(children);
  return out;
}

void TestHost::Sync() { XSync(D(display_), False); }

plat::Color TestHost::Pixel(unsigned long window, int x, int y) const {
  XImage* image = XGetImage(D(display_), window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFF;
  const plat::Color c = ColorAt(image, 0, 0);
  XDestroyImage(image);
  return c;
}

std::vector<plat::Color> TestHost::Picture(unsigned long window, int width, int height) const {
  std::vector<plat::Color> out;
  XImage* image = XGetImage(D(display_), window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
  if (!image) return out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.push_back(ColorAt(image, x, y));
  XDestroyImage(image);
  return out;
}

void TestHost::Move(int x, int y) {
  XTestFakeMotionEvent(D(display_), 0, x, y, 0);
  XSync(D(display_), False);
}

void TestHost::Button(int x, int y, bool down) {
  XTestFakeMotionEvent(D(display_), 0, x, y, 0);
  XTestFakeButtonEvent(D(display_), 1, down ? True : False, 0);
  XSync(D(display_), False);
}

void TestHost::Shift(bool down) {
  XTestFakeKeyEvent(D(display_), XKeysymToKeycode(D(display_), XK_Shift_L), down ? True : False, 0);
  XSync(D(display_), False);
}

void TestHost::DestroyWindow() {
  XDestroyWindow(D(display_), window_);
  XSync(D(display_), False);
  window_ = 0;
}

TestHost::EventProc TestHost::ReadEventProc(unsigned long window, std::string* why) const {
  Display* d = D(display_);
  const Atom atom = XInternAtom(d, "_XEventProc", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, window, atom, 0, 2, False, AnyPropertyType, &type, &format, &count, &after, &data) !=
          Success ||
      !data) {
    *why = "no _XEventProc property";
    return nullptr;
  }
  // Xlib hands format-32 items over as longs.
  const long* items = reinterpret_cast<const long*>(data);
  uint64_t address = count >= 1 ? uint64_t(uint32_t(items[0])) : 0;
  if (count >= 2) address |= uint64_t(uint32_t(items[1])) << 32;
  const bool complete = format == 32 && count == sizeof(void*) / 4 && after == 0;
  XFree(data);
  if (!complete) {
    *why = "format " + std::to_string(format) + " with " + std::to_string(count) + " items";
    return nullptr;
  }
  return reinterpret_cast<EventProc>(uintptr_t(address));
}

void TestHost::InstallErrorCounter() {
  gErrors = 0;
  XSetErrorHandler(&CountError);
}

int TestHost::Errors() { return gErrors; }

bool TestHost::ErrorCounterInPlace() {
  XErrorHandler current = XSetErrorHandler(&CountError);
  return current == &CountError;
}

void TestHost::ProvokeError() {
  XDestroyWindow(D(display_), 0x1FFFFF00);
  XSync(D(display_), False);
}

}  // namespace kestrune::test
