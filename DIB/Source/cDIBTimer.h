// TDIBTimer: a non-visual component that raises OnTimer every Interval milliseconds on the
// user-interface thread, from a platform window timer on a hidden message window of its own.
// The platform timer and the window exist exactly while Enabled, Interval != 0 and OnTimer are
// all given; changing any of the three restarts the period.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "platform/Platform.h"
#include "ui/Component.h"
#include "ui/Events.h"

// The platform refused a resource (a timer). Raised to the code that enabled the timer.
class EOutOfResources : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TDIBTimer : public TComponent {
 public:
  explicit TDIBTimer(TComponent* owner);
  ~TDIBTimer() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  bool Enabled() const { return enabled_; }
  // Fails with EOutOfResources (and stays disabled) when the platform refuses the timer.
  void SetEnabled(bool value);
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t value);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(const TNotifyEvent& handler);

  // Whether the platform timer runs now (the hidden window exists).
  bool Running() const { return window_ != nullptr; }

 protected:
  // One tick: raises OnTimer. An error it raises goes to the application's error handler and the
  // timer keeps running.
  virtual void Timer();

 private:
  void UpdateTimer();
  void ReleaseWindow();
  void WindowProc(plat::WindowHandle window, plat::Message& message);

  std::uint32_t interval_ = 1000;
  bool enabled_ = false;
  TNotifyEvent onTimer_;
  plat::WindowHandle window_ = nullptr;
};
