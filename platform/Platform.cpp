#include "platform/Platform.h"

#include <cstring>

namespace plat {

#if defined(KESTRUNE_PLATFORM_WIN32)
namespace win32 {
std::unique_ptr<Backend> CreateWin32Backend();
}
#elif defined(KESTRUNE_PLATFORM_HEADLESS)
namespace headless {
std::unique_ptr<Backend> CreateHeadlessBackend();
}
#endif
#if defined(KESTRUNE_PLATFORM_X11)
namespace x11 {
std::unique_ptr<Backend> CreateX11BackendFor(WindowHandle hostWindow);
}
#endif

namespace {

std::unique_ptr<Backend>& Current() {
  static std::unique_ptr<Backend> backend;
  return backend;
}

// A replaced backend that still holds host windows of its own: their handles stay valid, and a
// host handing one of them again brings it back.
std::unique_ptr<Backend>& Spare() {
  static std::unique_ptr<Backend> backend;
  return backend;
}

// True while the backend was installed explicitly: host windows then choose nothing.
bool& Settled() {
  static bool settled = false;
  return settled;
}

// The backend for this system until a host hands a window. Each backend folder supplies its
// factory; a system without one of its own gets the headless backend.
std::unique_ptr<Backend> CreateDefaultBackend() {
#if defined(KESTRUNE_PLATFORM_WIN32)
  return win32::CreateWin32Backend();
#elif defined(KESTRUNE_PLATFORM_HEADLESS)
  return headless::CreateHeadlessBackend();
#else
  return nullptr;
#endif
}

const char* DefaultBackendName() {
#if defined(KESTRUNE_PLATFORM_WIN32)
  return "win32";
#else
  return "headless";
#endif
}

bool Named(const std::unique_ptr<Backend>& b, const char* name) { return b && std::strcmp(b->Name(), name) == 0; }

ErrorSink& Sink() {
  static ErrorSink sink;
  return sink;
}

}  // namespace

void SetErrorSink(ErrorSink sink) { Sink() = std::move(sink); }

void ReportError(const std::string& text) {
  if (!Sink()) return;
  try {
    Sink()(text);
  } catch (...) {
    // A failing sink has nowhere left to report to.
  }
}

Backend& Platform() {
  auto& b = Current();
  if (!b) b = CreateDefaultBackend();
  return *b;
}

void InstallBackend(std::unique_ptr<Backend> backend) {
  Settled() = backend != nullptr;
  Spare().reset();
  Current() = std::move(backend);
}

Backend* SpareBackend() { return Spare().get(); }

Backend* SwitchBackend(const char* name, const std::function<std::unique_ptr<Backend>()>& make) {
  auto& current = Current();
  if (Named(current, name)) return current.get();
  if (current && current->ShowsWindows()) return nullptr;
  std::unique_ptr<Backend> next;
  if (Named(Spare(), name))
    next = std::move(Spare());
  else if (make)
    next = make();
  if (!next) return nullptr;
  if (current && current->HoldsWindows()) Spare() = std::move(current);
  current = std::move(next);
  Settled() = false;
  return current.get();
}

void ChooseBackendFor(WindowHandle hostWindow) {
  if (Settled() || !hostWindow) return;
  auto& current = Current();
  // A window the current backend made (a headless host window) keeps it; an editor showing in it
  // keeps it too, since replacing the backend would strand that editor.
  if (current && (current->IsWindow(hostWindow) || current->ShowsWindows())) return;
  if (Spare() && Spare()->IsWindow(hostWindow)) {
    SwitchBackend(Spare()->Name(), {});
    return;
  }
#if defined(KESTRUNE_PLATFORM_X11)
  if (auto x11 = x11::CreateX11BackendFor(hostWindow)) {
    SwitchBackend(x11->Name(), [&x11] { return std::move(x11); });
    return;
  }
#endif
  // Not a window of a reachable display: the default backend, where it gets an in-memory window
  // (or, on Windows, whatever the system makes of it); the next editor chooses again.
  SwitchBackend(DefaultBackendName(), &CreateDefaultBackend);
}

Color ResolveColor(uint32_t color) {
  if (color & 0x80000000u) return Platform().SystemColor(int(color & 0xFF));
  return color & 0x00FFFFFFu;
}

}  // namespace plat
