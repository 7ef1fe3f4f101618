// The headless backend's implementation (private to platform/headless/): the software windows
// of platform/soft/ with a virtual clock, injected input and host windows whose screens tests
// read back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/headless/Headless.h"
#include "platform/soft/SoftBackend.h"

namespace plat::headless {

class HeadlessBackendImpl final : public soft::SoftBackend, public HeadlessBackend {
 public:
  const char* Name() const override { return "headless"; }
  Status CreateGuid(uint8_t out[16]) override;
  Status Idle() override;

  Status CreateHostWindow(const Rect& screenBounds, Color background, WindowHandle* out, WindowProc proc) override;
  bool IsHostWindow(WindowHandle window) const override;
  Status ReadScreen(WindowHandle hostWindow, std::unique_ptr<Surface>* out) override;
  Status SaveScreenPng(WindowHandle hostWindow, const std::string& path) override;
  Status ScreenPixel(WindowHandle hostWindow, Point p, Color* out) const override;

  Status Advance(uint32_t ms) override;
  void Spend(uint32_t ms) override { now_ += ms; }
  uint64_t Now() const override { return now_; }
  Status Pump() override { return DeliverPending(); }

  Status InjectMouseMove(Point screen) override;
  Status InjectMouseButton(Point screen, int button, bool down) override;
  Status InjectClick(Point screen, int button) override;
  Status InjectKey(uint32_t virtualKey, bool down) override;
  Status InjectChar(uint8_t character) override;

  Status SetScreenBitsPerPixel(WindowHandle hostWindow, int bits) override;
  void SetContentScale(double scale) override { contentScale_ = scale; }
  double ContentScale(WindowHandle) override { return contentScale_; }
  void SetTimerLimit(size_t limit) override { timers_.SetLimit(limit); }
  size_t RunningTimerCount() const override { return timers_.Count(); }
  size_t WindowCount() const override { return LiveWindowCount(); }
  size_t EscapedExceptions() const override { return EscapedExceptionCount(); }

 protected:
  uint64_t NowMs() const override { return now_; }

 private:
  // The host window's root, or null; `status` tells why not.
  Window* HostRoot(WindowHandle hostWindow, Status* status) const;
  // Runs one injected event and then what a message loop does when idle.
  Status Deliver(Status injected);

  uint64_t now_ = 0;
  uint64_t guidState_ = 0x4B657374;  // seed of the identifier sequence
  double contentScale_ = 1;
};

}  // namespace plat::headless
