#include "DIB/Source/cDIBTimer.h"

#include "ui/Application.h"
#include "ui/TypeInfo.h"

namespace {
constexpr uintptr_t kTimerId = 1;
}  // namespace

const TClassInfo& TDIBTimer::StaticClass() {
  static const TClassInfo info = TClassBuilder<TDIBTimer>("TDIBTimer", &TComponent::StaticClass())
                                     .Component()
                                     .Bool("Enabled", &TDIBTimer::Enabled, &TDIBTimer::SetEnabled, false)
                                     .Int("Interval", &TDIBTimer::Interval, &TDIBTimer::SetInterval, 1000)
                                     .Event<TPersistent*>("OnTimer", &TDIBTimer::OnTimer, &TDIBTimer::SetOnTimer)
                                     .Build();
  return info;
}

TDIBTimer::TDIBTimer(TComponent* owner) : TComponent(owner) {}

TDIBTimer::~TDIBTimer() {
  enabled_ = false;
  ReleaseWindow();
}

void TDIBTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TDIBTimer::SetInterval(std::uint32_t value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TDIBTimer::SetOnTimer(const TNotifyEvent& handler) {
  onTimer_ = handler;
  UpdateTimer();
}

void TDIBTimer::ReleaseWindow() {
  if (!window_) return;
  plat::Backend& platform = plat::Platform();
  platform.KillTimer(window_, kTimerId);
  platform.DestroyWindow(window_);
  window_ = nullptr;
}

void TDIBTimer::UpdateTimer() {
  ReleaseWindow();
  if (interval_ == 0 || !enabled_ || !onTimer_) return;
  plat::Backend& platform = plat::Platform();
  plat::Status s =
      platform.CreateMessageWindow([this](plat::WindowHandle w, plat::Message& m) { WindowProc(w, m); }, &window_);
  if (s == plat::Status::Ok) s = platform.SetTimer(window_, kTimerId, interval_);
  if (s != plat::Status::Ok) {
    enabled_ = false;
    ReleaseWindow();
    throw EOutOfResources(std::string("Not enough timers available (") + plat::StatusText(s) + ")");
  }
}

void TDIBTimer::WindowProc(plat::WindowHandle window, plat::Message& message) {
  if (message.msg != plat::kMsgTimer) {
    plat::Platform().DefaultHandling(window, message);
    return;
  }
  try {
    Timer();
  } catch (...) {
    Application().HandleException(this);
  }
}

void TDIBTimer::Timer() {
  // The handler may replace OnTimer while it runs; the copy keeps it alive until it returns.
  const TNotifyEvent handler = onTimer_;
  handler(this);
}
