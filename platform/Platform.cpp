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
std::unique_ptr<Backend> CreateX11Backend();
}
#endif

namespace {

std::unique_ptr<Backend>& Current() {
  static std::unique_ptr<Backend> backend;
  return backend;
}

// The backend for this system. Each backend folder supplies its factory; a system without one
// of its own gets the headless backend.
std::unique_ptr<Backend> CreateDefaultBackend() {
#if defined(KESTRUNE_PLATFORM_WIN32)
  return win32::CreateWin32Backend();
#elif defined(KESTRUNE_PLATFORM_X11)
  return x11::CreateX11Backend();
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

void InstallBackend(std::unique_ptr<Backend> backend) { Current() = std::move(backend); }

Color ResolveColor(uint32_t color) {
  if (color & 0x80000000u) return Platform().SystemColor(int(color & 0xFF));
  return color & 0x00FFFFFFu;
}

}  // namespace plat
