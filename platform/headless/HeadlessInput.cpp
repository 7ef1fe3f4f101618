// Headless input, focus, capture, timers and the virtual clock.
#include <algorithm>
#include <cstdlib>

#include "platform/headless/HeadlessBackendImpl.h"

namespace plat::headless {

namespace {
constexpr uint32_t kMinTimerPeriod = 10;
constexpr uint64_t kDoubleClickTime = 500;
constexpr int32_t kDoubleClickDistance = 2;  // half the width of the double-click box
}  // namespace

// --- Focus, capture, mouse-leave tracking

Status HeadlessBackendImpl::SetFocus(WindowHandle window) {
  Window* w = nullptr;
  if (window) {
    w = Find(window);
    if (!w) return Status::NotFound;
    if (w->kind == Kind::Message) return Status::InvalidArgument;
  }
  const uint64_t old = focus_, next = w ? w->id : 0;
  if (old == next) return Status::Ok;
  focus_ = next;
  if (old) SendMessage(HandleOf(old), kMsgKillFocus, uintptr_t(next), 0);
  if (next && focus_ == next) SendMessage(HandleOf(next), kMsgSetFocus, uintptr_t(old), 0);
  return Status::Ok;
}

Status HeadlessBackendImpl::SetCapture(WindowHandle window) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  const uint64_t old = capture_;
  capture_ = w->id;
  if (old && old != w->id) SendMessage(HandleOf(old), kMsgCaptureChanged, 0, intptr_t(w->id));
  return Status::Ok;
}

Status HeadlessBackendImpl::ReleaseCapture() {
  const uint64_t old = capture_;
  capture_ = 0;
  if (old) SendMessage(HandleOf(old), kMsgCaptureChanged, 0, 0);
  return Status::Ok;
}

Status HeadlessBackendImpl::TrackMouseLeave(WindowHandle window) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  // One window is tracked at a time; a new request replaces an older one.
  if (tracked_ && tracked_ != w->id) {
    const uint64_t old = tracked_;
    tracked_ = 0;
    SendMessage(HandleOf(old), kMsgMouseLeave, 0, 0);
  }
  tracked_ = w->id;
  // Already outside: the leave comes at once, as the system does it.
  Window* under = Find(WindowFromPoint(cursor_));
  if (under != w) {
    tracked_ = 0;
    SendMessage(window, kMsgMouseLeave, 0, 0);
  }
  return Status::Ok;
}

void HeadlessBackendImpl::GetKeyboardState(uint8_t keys[256]) const { std::copy(keys_, keys_ + 256, keys); }

bool HeadlessBackendImpl::IsKeyDown(uint32_t virtualKey) const {
  return virtualKey < 256 && (keys_[virtualKey] & 0x80);
}

uintptr_t HeadlessBackendImpl::MouseState() const {
  uintptr_t s = 0;
  if (IsKeyDown(kVkLButton)) s |= kMkLButton;
  if (IsKeyDown(kVkRButton)) s |= kMkRButton;
  if (IsKeyDown(kVkMButton)) s |= kMkMButton;
  if (IsKeyDown(kVkShift)) s |= kMkShift;
  if (IsKeyDown(kVkControl)) s |= kMkControl;
  return s;
}

void HeadlessBackendImpl::Route(uint64_t target, uint32_t msg, uintptr_t wParam, Point screen) {
  Point local = screen;
  if (ScreenToClient(HandleOf(target), &local) != Status::Ok) return;
  Message m{msg, wParam, PackPoint(local.x, local.y), 0};
  Dispatch(target, m);
}

// --- Injected input

Status HeadlessBackendImpl::InjectMouseMove(Point screen) {
  if (dispatchDepth_ > 0) return Status::Busy;
  cursor_ = screen;
  Window* under = Find(WindowFromPoint(screen));
  const uint64_t underId = under ? under->id : 0;
  if (tracked_ && tracked_ != underId) {
    const uint64_t left = tracked_;
    tracked_ = 0;
    SendMessage(HandleOf(left), kMsgMouseLeave, 0, 0);
  }
  if (!capture_ && underId)
    SendMessage(HandleOf(underId), kMsgSetCursor, uintptr_t(underId), PackPoint(1, kMsgMouseMove));
  const uint64_t target = capture_ ? capture_ : underId;
  if (target) Route(target, kMsgMouseMove, MouseState(), screen);
  return Pump();
}

Status HeadlessBackendImpl::MouseButton(Point screen, int button, bool down) {
  static constexpr uint32_t kDown[3] = {kMsgLButtonDown, kMsgRButtonDown, kMsgMButtonDown};
  static constexpr uint32_t kKeys[3] = {kVkLButton, kVkRButton, kVkMButton};
  if (button < 0 || button > 2) return Status::InvalidArgument;
  if (cursor_ != screen) {
    if (Status s = InjectMouseMove(screen); s != Status::Ok) return s;
  }
  if (dispatchDepth_ > 0) return Status::Busy;
  keys_[kKeys[button]] = down ? 0x80 : 0;
  Window* under = Find(WindowFromPoint(screen));
  const uint64_t target = capture_ ? capture_ : (under ? under->id : 0);
  if (!target) return Pump();
  uint32_t msg = kDown[button] + (down ? 0 : 1);
  if (down) {
    Window* t = FindId(target);
    const bool dbl = t && t->doubleClicks && lastButton_ == button && lastDownWindow_ == target &&
                     now_ - lastDownTime_ <= kDoubleClickTime &&
                     std::abs(screen.x - lastDownPos_.x) <= kDoubleClickDistance &&
                     std::abs(screen.y - lastDownPos_.y) <= kDoubleClickDistance;
    if (dbl) {
      msg = kDown[button] + 2;
      lastButton_ = -1;  // a third press starts over
    } else {
      lastButton_ = button;
      lastDownWindow_ = target;
      lastDownTime_ = now_;
      lastDownPos_ = screen;
    }
  }
  Route(target, msg, MouseState(), screen);
  return Pump();
}

Status HeadlessBackendImpl::InjectMouseButton(Point screen, int button, bool down) {
  if (dispatchDepth_ > 0) return Status::Busy;
  return MouseButton(screen, button, down);
}

Status HeadlessBackendImpl::InjectClick(Point screen, int button) {
  if (Status s = InjectMouseButton(screen, button, true); s != Status::Ok) return s;
  return InjectMouseButton(screen, button, false);
}

Status HeadlessBackendImpl::InjectKey(uint32_t virtualKey, bool down) {
  if (virtualKey == 0 || virtualKey > 255) return Status::InvalidArgument;
  if (dispatchDepth_ > 0) return Status::Busy;
  const bool wasDown = IsKeyDown(virtualKey);
  keys_[virtualKey] = down ? 0x80 : 0;
  if (focus_) {
    const bool alt = IsKeyDown(kVkMenu) || virtualKey == kVkMenu;
    const uint32_t msg = (alt ? kMsgSysKeyDown : kMsgKeyDown) + (down ? 0 : 1);
    // Repeat count 1; bit 30: the key was down before; bit 31: released.
    intptr_t lParam = 1 | (wasDown ? 0x40000000 : 0) | (down ? 0 : intptr_t(0x80000000u));
    SendMessage(HandleOf(focus_), msg, virtualKey, lParam);
  }
  return Pump();
}

Status HeadlessBackendImpl::InjectChar(uint8_t character) {
  if (dispatchDepth_ > 0) return Status::Busy;
  if (focus_) SendMessage(HandleOf(focus_), IsKeyDown(kVkMenu) ? kMsgSysChar : kMsgChar, character, 1);
  return Pump();
}

// --- Timers and the virtual clock

Status HeadlessBackendImpl::SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  const uint32_t period = std::max(periodMs, kMinTimerPeriod);
  for (Timer& t : timers_)
    if (t.window == w->id && t.id == id) {
      t.period = period;
      t.due = now_ + period;
      t.seq = ++timerSeq_;
      return Status::Ok;
    }
  if (timers_.size() >= timerLimit_) return Status::OutOfResources;
  timers_.push_back({w->id, id, period, now_ + period, ++timerSeq_});
  return Status::Ok;
}

Status HeadlessBackendImpl::KillTimer(WindowHandle window, uintptr_t id) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  auto it =
      std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.window == w->id && t.id == id; });
  if (it == timers_.end()) return Status::NotFound;
  timers_.erase(it);
  return Status::Ok;
}

Status HeadlessBackendImpl::CreateGuid(uint8_t out[16]) {
  if (!out) return Status::InvalidArgument;
  for (int half = 0; half < 2; ++half) {
    // splitmix64: a fixed, well-mixed sequence.
    uint64_t z = (guidState_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    for (int i = 0; i < 8; ++i) out[half * 8 + i] = uint8_t(z >> (8 * i));
  }
  out[6] = uint8_t((out[6] & 0x0F) | 0x40);
  out[8] = uint8_t((out[8] & 0x3F) | 0x80);
  return Status::Ok;
}

Status HeadlessBackendImpl::Advance(uint32_t ms) {
  if (dispatchDepth_ > 0) return Status::Busy;
  const uint64_t target = now_ + ms;
  Status result = Pump();
  for (;;) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (it->due <= std::max(target, now_) &&
          (next == timers_.end() || it->due < next->due || (it->due == next->due && it->seq < next->seq)))
        next = it;
    if (next == timers_.end()) break;
    now_ = std::max(now_, next->due);
    // Late ticks are not made up: the next one is the first period boundary after now.
    while (next->due <= now_) next->due += next->period;
    const uint64_t window = next->window;
    Message m{kMsgTimer, next->id, 0, 0};
    Dispatch(window, m);
    if (Status s = Pump(); s != Status::Ok) result = s;
    if (now_ > target) break;  // a handler spent the rest of the time
  }
  now_ = std::max(now_, target);
  if (Status s = Pump(); s != Status::Ok) result = s;
  return result;
}

}  // namespace plat::headless
