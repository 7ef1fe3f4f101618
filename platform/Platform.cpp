#include "platform/Platform.h"

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

// True once the backend was installed explicitly or chosen for a host's window: it stays then.
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
  Current() = std::move(backend);
}

void ChooseBackendFor(WindowHandle hostWindow) {
  if (Settled() || !hostWindow) return;
  // A window the current backend made (a headless host window) keeps it.
  if (Current() && Current()->IsWindow(hostWindow)) return;
  Settled() = true;
#if defined(KESTRUNE_PLATFORM_X11)
  if (auto x11 = x11::CreateX11BackendFor(hostWindow)) Current() = std::move(x11);
#endif
}

Color ResolveColor(uint32_t color) {
  if (color & 0x80000000u) return Platform().SystemColor(int(color & 0xFF));
  return color & 0x00FFFFFFu;
}

}  // namespace plat
