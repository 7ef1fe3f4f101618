// The X11 backend's implementation (private to platform/x11/).
#pragma once

#include <chrono>
#include <map>

#include "platform/soft/SoftBackend.h"
#include "platform/x11/X11.h"
#include "platform/x11/X11Xlib.h"

namespace plat::x11 {

class X11BackendImpl final : public soft::SoftBackend, public X11Backend {
 public:
  X11BackendImpl();
  ~X11BackendImpl() override;
  const char* Name() const override { return "x11"; }
  Status CreateGuid(uint8_t out[16]) override;
  Status Idle() override;
  // ScaleFromEnvironment of GDK_SCALE and the resources of the display the window is on (read
  // only when GDK_SCALE is not a whole number from 1 to 8).
  double ContentScale(WindowHandle window) override;

  bool Connected() const override { return display_ != nullptr; }
  size_t RealWindowCount() const override { return outputs_.size(); }
  bool UsesSharedMemory() const override { return shmUsed_; }
  size_t XErrorCount() const override { return xErrors_; }
  unsigned long NativeWindowOf(WindowHandle window) const override;

  // True when `window` is a window on the display of the environment (the connection is not
  // kept open for it).
  bool Reaches(WindowHandle window);
  // The instance the event-proc function pumps (the one that most recently made a real window).
  static X11BackendImpl* Live();

 protected:
  uint64_t NowMs() const override;
  void RootAdopted(WindowHandle foreign, Window* root) override;
  void RootResized(Window* root) override;
  void RootDestroyed(Window* root) override;

 private:
  // A real window showing one root's screen.
  struct Output {
    ::Window xwindow = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    XImage* image = nullptr;  // a mirror of the root's screen in the server's pixel format
    XShmSegmentInfo shm{};
    bool shared = false;   // `image` lives in a shared segment
    bool shmBusy = false;  // the server has not yet read the segment
    uint64_t busySince = 0;
  };
  friend class ErrorTrap;

  bool Connect();
  // The attributes of a window on our connection, with the errors of a bad id trapped.
  bool QueryWindow(uintptr_t window, XWindowAttributes* out);
  void DisconnectIfUnused();
  void NoteXError(const XErrorEvent& error);
  void SetEventProcProperty(::Window window);

  // --- Events (X11Events.cpp)
  void ReadEvents();
  void HandleEvent(const XEvent& event);
  Window* RootOfX(::Window window);

  // --- Transfers (X11Transfer.cpp)
  void PresentAll();
  void Present(Window* root, Output& out);
  bool MakeImage(Output& out, int width, int height);
  void FreeImage(Output& out);
  void CopyToImage(const Window* root, const Rect& area, XImage* image) const;

  Display* display_ = nullptr;
  bool shmAvailable_ = false;  // the server offers MIT-SHM and attaching worked
  bool shmUsed_ = false;
  int shmCompletion_ = -1;  // event type of a completed shared-memory transfer
  Atom eventProcAtom_ = 0;
  size_t xErrors_ = 0;
  std::map<uint64_t, Output> outputs_;  // by root id
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace plat::x11
