// The X11 backend: the connection, error trapping, real windows for adopted roots, and Idle.

#include <random>

#include "platform/x11/X11BackendImpl.h"
#include "platform/x11/X11ErrorTrap.h"

namespace plat::x11 {

namespace {

X11BackendImpl* gLive = nullptr;

// X resource ids have 29 bits; anything else handed to us as a parent is not an X window.
constexpr uintptr_t kMaxXid = 0x1FFFFFFF;

// What hosts that dispatch a window's events themselves call: it only nudges our pump, because
// our window's events arrive on our own connection.
void EventProc(XEvent* /*event*/) {
  if (X11BackendImpl* b = X11BackendImpl::Live()) b->Idle();
}

}  // namespace

X11BackendImpl::X11BackendImpl() = default;

X11BackendImpl::~X11BackendImpl() {
  if (gLive == this) gLive = nullptr;
  // Roots go without messages (procedures may belong to objects that are gone); only the X side
  // is released here.
  if (display_) {
    ErrorTrap trap(*this);
    for (auto& [id, out] : outputs_) {
      FreeImage(out);
      if (out.gc) XFreeGC(display_, out.gc);
      if (out.xwindow) XDestroyWindow(display_, out.xwindow);
    }
  }
  outputs_.clear();
  DisconnectIfUnused();
}

X11BackendImpl* X11BackendImpl::Live() { return gLive; }

uint64_t X11BackendImpl::NowMs() const {
  return uint64_t(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
}

Status X11BackendImpl::CreateGuid(uint8_t out[16]) {
  if (!out) return Status::InvalidArgument;
  try {
    std::random_device random;
    for (int i = 0; i < 16; i += 4) {
      const uint32_t v = random();
      for (int k = 0; k < 4; ++k) out[i + k] = uint8_t(v >> (8 * k));
    }
  } catch (...) {
    return Status::OutOfResources;
  }
  out[6] = uint8_t((out[6] & 0x0F) | 0x40);
  out[8] = uint8_t((out[8] & 0x3F) | 0x80);
  return Status::Ok;
}

// --- The connection

bool X11BackendImpl::Connect() {
  if (display_) return true;
  display_ = XOpenDisplay(nullptr);
  if (!display_) return false;
  ErrorTrap trap(*this);
  int major = 0, minor = 0;
  Bool pixmaps = False;
  shmAvailable_ = XShmQueryVersion(display_, &major, &minor, &pixmaps) == True;
  shmCompletion_ = shmAvailable_ ? XShmGetEventBase(display_) + ShmCompletion : -1;
  eventProcAtom_ = XInternAtom(display_, "_XEventProc", False);
  return true;
}

void X11BackendImpl::DisconnectIfUnused() {
  if (!display_ || !outputs_.empty()) return;
  ErrorTrap trap(*this);
  XSync(display_, False);
  XCloseDisplay(display_);
  display_ = nullptr;  // the trap does not sync a closed connection
  shmUsed_ = false;
}

void X11BackendImpl::NoteXError(const XErrorEvent& error) {
  ++xErrors_;
  char text[256] = {};
  XGetErrorText(display_, error.error_code, text, sizeof text - 1);
  ReportError("X error on the editor's display connection: " + std::string(text) + " (request " +
              std::to_string(int(error.request_code)) + "." + std::to_string(int(error.minor_code)) + ")");
}

// --- Real windows for adopted roots

bool X11BackendImpl::QueryWindow(uintptr_t window, XWindowAttributes* out) {
  if (window == 0 || window > kMaxXid || !Connect()) return false;
  ErrorTrap trap(*this);
  const size_t errorsBefore = xErrors_;
  // A handle that is not a window on this display answers 0 (and raises an error we trap).
  return XGetWindowAttributes(display_, ::Window(window), out) && trap.Sync() && xErrors_ == errorsBefore;
}

bool X11BackendImpl::Reaches(WindowHandle window) {
  XWindowAttributes attributes{};
  const bool reached = QueryWindow(reinterpret_cast<uintptr_t>(window), &attributes);
  DisconnectIfUnused();
  return reached;
}

void X11BackendImpl::RootAdopted(WindowHandle foreign, Window* root) {
  const uintptr_t parent = reinterpret_cast<uintptr_t>(foreign);
  Output out;
  XWindowAttributes attributes{};
  if (QueryWindow(parent, &attributes)) {
    ErrorTrap trap(*this);
    const size_t errorsBefore = xErrors_;
    Screen* screen = attributes.screen;
    out.visual = DefaultVisualOfScreen(screen);
    out.depth = DefaultDepthOfScreen(screen);
    XSetWindowAttributes set{};
    set.colormap = DefaultColormapOfScreen(screen);
    set.border_pixel = 0;
    set.background_pixmap = None;  // we paint every pixel; the server must not clear first
    set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                     LeaveWindowMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask;
    out.xwindow = XCreateWindow(display_, ::Window(parent), 0, 0, 1, 1, 0, out.depth, InputOutput, out.visual,
                                CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &set);
    if (out.xwindow && trap.Sync() && xErrors_ == errorsBefore) {
      out.gc = XCreateGC(display_, out.xwindow, 0, nullptr);
      SetEventProcProperty(out.xwindow);
    } else {
      out.xwindow = 0;
    }
  }
  if (!out.xwindow) {
    DisconnectIfUnused();
    return;  // stays an in-memory root
  }
  outputs_[root->id] = out;
  gLive = this;  // not at construction: a backend made only to test a handle must not take it
  RootResized(root);
  ErrorTrap trap(*this);
  XMapWindow(display_, out.xwindow);
}

void X11BackendImpl::SetEventProcProperty(::Window window) {
  // Format 32 items travel as longs in Xlib; a pointer wider than 32 bits goes in halves.
  const uintptr_t address = reinterpret_cast<uintptr_t>(&EventProc);
  long items[2] = {long(address & 0xFFFFFFFFu), long((uint64_t(address) >> 32) & 0xFFFFFFFFu)};
  const int count = sizeof(void*) > 4 ? 2 : 1;
  XChangeProperty(display_, window, eventProcAtom_, eventProcAtom_, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(items), count);
}

void X11BackendImpl::RootResized(Window* root) {
  auto it = outputs_.find(root->id);
  if (it == outputs_.end() || !display_) return;
  Output& out = it->second;
  const int width = std::max(1, root->bounds.Width()), height = std::max(1, root->bounds.Height());
  ErrorTrap trap(*this);
  XResizeWindow(display_, out.xwindow, unsigned(width), unsigned(height));
  FreeImage(out);  // made again at the next transfer, in the new size
}

void X11BackendImpl::RootDestroyed(Window* root) {
  auto it = outputs_.find(root->id);
  if (it == outputs_.end()) return;
  Output out = it->second;
  outputs_.erase(it);
  if (display_) {
    ErrorTrap trap(*this);
    FreeImage(out);
    if (out.gc) XFreeGC(display_, out.gc);
    if (out.xwindow) XDestroyWindow(display_, out.xwindow);
  }
  DisconnectIfUnused();
}

unsigned long X11BackendImpl::NativeWindowOf(WindowHandle window) const {
  Window* w = Root(Find(window));
  if (!w) return 0;
  auto it = outputs_.find(w->id);
  return it == outputs_.end() ? 0 : it->second.xwindow;
}

// --- The pump

Status X11BackendImpl::Idle() {
  if (InDispatch()) return Status::Busy;
  if (display_) ReadEvents();
  Status result = FireDueTimers(NowMs());
  if (Status s = DeliverPending(); s != Status::Ok) result = s;
  if (display_) PresentAll();
  return result;
}

// --- Creation

std::unique_ptr<Backend> CreateX11Backend() { return std::make_unique<X11BackendImpl>(); }

std::unique_ptr<Backend> CreateX11BackendFor(WindowHandle hostWindow) {
  auto backend = std::make_unique<X11BackendImpl>();
  if (!backend->Reaches(hostWindow)) return nullptr;
  return backend;
}

X11Backend& InstallX11() {
  auto backend = std::make_unique<X11BackendImpl>();
  X11Backend& ref = *backend;
  InstallBackend(std::move(backend));
  return ref;
}

}  // namespace plat::x11
