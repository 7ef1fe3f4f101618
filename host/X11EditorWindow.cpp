// `kestrune editor --x11`: the editor in a real top-level X11 window, as a Linux host shows it.
//
// Hosts' conventions served here: effEditOpen gets the window id in ptr and our Display in value;
// effEditIdle is called about every 10 ms while time passes; events that arrive on our connection
// for a window with an `_XEventProc` property go to the function it names (32-bit items, low half
// first). Mouse steps are real pointer input through XTest; the picture is read with XGetImage.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>

#include "host/EditorWindow.h"
#include "host/HostError.h"
#include "host/Plugin.h"

namespace kestrune {
namespace {

constexpr int kMaxSide = 4096;
constexpr int kIdleMs = 10;
// Before the first open some plug-ins do not know their size: the window starts this large.
constexpr int kProvisionalSide = 64;

int gHostXErrors = 0;
// The host's own handler: a plug-in that shares our connection must not end the process.
int CountXError(Display*, XErrorEvent*) {
  ++gHostXErrors;
  return 0;
}

class X11EditorWindow final : public EditorWindow {
 public:
  explicit X11EditorWindow(Plugin& plugin) : plugin_(plugin) {}
  ~X11EditorWindow() override { close(); }

  void open() override {
    if ((plugin_.record().flags & effFlagsHasEditor) == 0) throw HostError("'" + plugin_.path() + "' has no editor");
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
      const char* name = std::getenv("DISPLAY");
      throw HostError(std::string("--x11: cannot open the X display ") +
                      (name && *name ? "'" + std::string(name) + "'" : "(DISPLAY is not set)"));
    }
    previousHandler_ = XSetErrorHandler(&CountXError);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor))
      throw HostError("--x11: the X server has no XTest extension for mouse input");
    const bool sized = readSize(false);
    const int width = sized ? width_ : kProvisionalSide, height = sized ? height_ : kProvisionalSide;
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, unsigned(width), unsigned(height), 0, 0,
                                  BlackPixel(display_, DefaultScreen(display_)));
    XStoreName(display_, window_, "kestrune editor");
    XSelectInput(display_, window_, StructureNotifyMask);
    XMapWindow(display_, window_);
    waitForMap();
    if (plugin_.dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display_),
                         reinterpret_cast<void*>(static_cast<uintptr_t>(window_))) == 0)
      throw HostError("'" + plugin_.path() + "' did not open its editor in an X11 window");
    opened_ = true;
    if (!readSize(true)) throw HostError("'" + plugin_.path() + "' does not tell its editor's size");
    if (!sized || width != width_ || height != height_) {
      XResizeWindow(display_, window_, unsigned(width_), unsigned(height_));
      XSync(display_, False);
    }
  }
  int width() const override { return width_; }
  int height() const override { return height_; }

  ControlPlace locate(const std::string& control) override {
    KestruneControl request{control.c_str(), 0, 0, 0, 0, 0, 0};
    if (plugin_.dispatch(effVendorSpecific, kKestruneRequest, kRequestLocateControl, &request) != 1)
      throw HostError("the editor has no control named '" + control + "' (only our own plug-ins name their controls)");
    return {request.left, request.top, request.width, request.height, request.grabX, request.grabY};
  }
  void mouseMove(int x, int y) override {
    const Origin o = origin();
    XTestFakeMotionEvent(display_, DefaultScreen(display_), o.x + x, o.y + y, 0);
    XSync(display_, False);
    pump();
  }
  void mouseButton(int x, int y, bool down) override {
    mouseMove(x, y);
    XTestFakeButtonEvent(display_, 1, down ? True : False, 0);
    XSync(display_, False);
    pump();
  }
  void wait(int milliseconds) override {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
      pump();
      usleep(kIdleMs * 1000);
    } while (std::chrono::steady_clock::now() < end);
    pump();
  }
  std::vector<std::uint8_t> read() override {
    XSync(display_, False);
    XImage* image = XGetImage(display_, window_, 0, 0, unsigned(width_), unsigned(height_), AllPlanes, ZPixmap);
    if (!image) throw HostError("--x11: the editor window's pixels cannot be read");
    std::vector<std::uint8_t> pixels(std::size_t(width_) * std::size_t(height_) * 4);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        std::uint8_t* out = &pixels[(std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 4];
        out[0] = Channel(p, image->red_mask);
        out[1] = Channel(p, image->green_mask);
        out[2] = Channel(p, image->blue_mask);
        out[3] = 255;
      }
    XDestroyImage(image);
    return pixels;
  }
  void close() override {
    if (opened_) plugin_.dispatch(effEditClose);
    opened_ = false;
    if (display_) {
      if (window_) XDestroyWindow(display_, window_);
      XSync(display_, False);
      XSetErrorHandler(previousHandler_);
      XCloseDisplay(display_);
    }
    window_ = 0;
    display_ = nullptr;
  }

 private:
  struct Origin {
    int x = 0, y = 0;
  };

  static std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const unsigned long top = mask >> shift;
    return std::uint8_t(((pixel & mask) >> shift) * 255 / top);
  }

  bool readSize(bool strict) {
    ERect* rect = nullptr;
    plugin_.dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) return false;
    const int width = rect->right - rect->left, height = rect->bottom - rect->top;
    if (width < 1 || height < 1) return false;
    if (width > kMaxSide || height > kMaxSide) {
      if (!strict) return false;
      throw HostError("'" + plugin_.path() + "' reports an editor of " + std::to_string(width) + " x " +
                      std::to_string(height) + " pixels");
    }
    width_ = width;
    height_ = height;
    return true;
  }

  void waitForMap() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MapNotify && event.xmap.window == window_) return;
      }
      usleep(1000);
    }
    throw HostError("--x11: the editor's window was never shown");
  }

  // Where the window's client area lies on the screen (a window manager may have placed it).
  Origin origin() {
    Origin o;
    ::Window child = 0;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &o.x, &o.y, &child);
    return o;
  }

  // One turn of a host's loop: the editor's idle call and the events of our connection.
  void pump() {
    plugin_.dispatch(effEditIdle);
    while (display_ && XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (auto proc = eventProcOf(event.xany.window)) proc(&event);
    }
  }

  using EventProc = void (*)(XEvent*);
  EventProc eventProcOf(::Window window) {
    if (window == 0 || window == window_) return nullptr;
    if (auto it = procs_.find(window); it != procs_.end()) return it->second;
    const Atom atom = XInternAtom(display_, "_XEventProc", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    EventProc proc = nullptr;
    if (XGetWindowProperty(display_, window, atom, 0, 2, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32 && count >= 1) {
      const long* items = reinterpret_cast<const long*>(data);
      std::uint64_t address = std::uint32_t(items[0]);
      if (count >= 2 && sizeof(void*) > 4) address |= std::uint64_t(std::uint32_t(items[1])) << 32;
      proc = reinterpret_cast<EventProc>(static_cast<uintptr_t>(address));
    }
    if (data) XFree(data);
    procs_[window] = proc;
    return proc;
  }

  Plugin& plugin_;
  Display* display_ = nullptr;
  ::Window window_ = 0;
  XErrorHandler previousHandler_ = nullptr;
  bool opened_ = false;
  int width_ = 0, height_ = 0;
  std::map<::Window, EventProc> procs_;
};

}  // namespace

std::unique_ptr<EditorWindow> makeX11EditorWindow(Plugin& plugin) { return std::make_unique<X11EditorWindow>(plugin); }

}  // namespace kestrune
