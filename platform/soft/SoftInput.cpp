// Software windows: input routing, focus, capture and timers.
#include <algorithm>
#include <cstdlib>

#include "platform/soft/SoftBackend.h"

namespace plat::soft {

namespace {
constexpr uint64_t kDoubleClickTime = 500;
constexpr int32_t kDoubleClickDistance = 2;  // half the width of the double-click box
}  // namespace

// --- Focus, capture, mouse-leave tracking

Status SoftBackend::SetFocus(WindowHandle window) {
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

Status SoftBackend::SetCapture(WindowHandle window) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  const uint64_t old = capture_;
  capture_ = w->id;
  if (old && old != w->id) SendMessage(HandleOf(old), kMsgCaptureChanged, 0, intptr_t(w->id));
  return Status::Ok;
}

Status SoftBackend::ReleaseCapture() {
  const uint64_t old = capture_;
  capture_ = 0;
  if (old) SendMessage(HandleOf(old), kMsgCaptureChanged, 0, 0);
  return Status::Ok;
}

Status SoftBackend::TrackMouseLeave(WindowHandle window) {
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

void SoftBackend::GetKeyboardState(uint8_t keys[256]) const { std::copy(keys_, keys_ + 256, keys); }

bool SoftBackend::IsKeyDown(uint32_t virtualKey) const { return virtualKey < 256 && (keys_[virtualKey] & 0x80); }

uintptr_t SoftBackend::MouseState() const {
  uintptr_t s = 0;
  if (IsKeyDown(kVkLButton)) s |= kMkLButton;
  if (IsKeyDown(kVkRButton)) s |= kMkRButton;
  if (IsKeyDown(kVkMButton)) s |= kMkMButton;
  if (IsKeyDown(kVkShift)) s |= kMkShift;
  if (IsKeyDown(kVkControl)) s |= kMkControl;
  return s;
}

void SoftBackend::Route(uint64_t target, uint32_t msg, uintptr_t wParam, Point screen) {
  Point local = screen;
  if (ScreenToClient(HandleOf(target), &local) != Status::Ok) return;
  Message m{msg, wParam, PackPoint(local.x, local.y), 0};
  Dispatch(target, m);
}

// --- Input at screen positions

Status SoftBackend::MouseMove(Point screen) {
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
  return Status::Ok;
}

void SoftBackend::MouseLeft() {
  if (!tracked_ || dispatchDepth_ > 0) return;
  const uint64_t left = tracked_;
  tracked_ = 0;
  SendMessage(HandleOf(left), kMsgMouseLeave, 0, 0);
}

Status SoftBackend::MouseButton(Point screen, int button, bool down) {
  static constexpr uint32_t kDown[3] = {kMsgLButtonDown, kMsgRButtonDown, kMsgMButtonDown};
  static constexpr uint32_t kKeys[3] = {kVkLButton, kVkRButton, kVkMButton};
  if (button < 0 || button > 2) return Status::InvalidArgument;
  if (dispatchDepth_ > 0) return Status::Busy;
  if (cursor_ != screen) {
    // What the move caused (posted messages, paints) comes before the button.
    MouseMove(screen);
    if (Status s = DeliverPending(); s != Status::Ok) return s;
  }
  keys_[kKeys[button]] = down ? 0x80 : 0;
  Window* under = Find(WindowFromPoint(screen));
  const uint64_t target = capture_ ? capture_ : (under ? under->id : 0);
  if (!target) return Status::Ok;
  uint32_t msg = kDown[button] + (down ? 0 : 1);
  if (down) {
    Window* t = FindId(target);
    const uint64_t now = NowMs();
    const bool dbl = t && t->doubleClicks && lastButton_ == button && lastDownWindow_ == target &&
                     now - lastDownTime_ <= kDoubleClickTime &&
                     std::abs(screen.x - lastDownPos_.x) <= kDoubleClickDistance &&
                     std::abs(screen.y - lastDownPos_.y) <= kDoubleClickDistance;
    if (dbl) {
      msg = kDown[button] + 2;
      lastButton_ = -1;  // a third press starts over
    } else {
      lastButton_ = button;
      lastDownWindow_ = target;
      lastDownTime_ = now;
      lastDownPos_ = screen;
    }
  }
  Route(target, msg, MouseState(), screen);
  return Status::Ok;
}

Status SoftBackend::MouseWheel(Point screen, int32_t delta) {
  if (dispatchDepth_ > 0) return Status::Busy;
  if (cursor_ != screen) MouseMove(screen);
  Window* under = Find(WindowFromPoint(screen));
  const uint64_t target = capture_ ? capture_ : (under ? under->id : 0);
  if (!target) return Status::Ok;
  // The wheel message carries the screen position, not the client one.
  const uintptr_t wParam = MouseState() | (uintptr_t(uint16_t(int16_t(delta))) << 16);
  Message m{kMsgMouseWheel, wParam, PackPoint(screen.x, screen.y), 0};
  Dispatch(target, m);
  return Status::Ok;
}

Status SoftBackend::Key(uint32_t virtualKey, bool down) {
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
  return Status::Ok;
}

void SoftBackend::SyncModifiers(bool shift, bool control, bool alt) {
  keys_[kVkShift] = shift ? 0x80 : 0;
  keys_[kVkControl] = control ? 0x80 : 0;
  keys_[kVkMenu] = alt ? 0x80 : 0;
}

Status SoftBackend::Char(uint8_t character) {
  if (dispatchDepth_ > 0) return Status::Busy;
  if (focus_) SendMessage(HandleOf(focus_), IsKeyDown(kVkMenu) ? kMsgSysChar : kMsgChar, character, 1);
  return Status::Ok;
}

void SoftBackend::RaiseRoot(Window* root) {
  if (!root || root->kind != Kind::Root || (!tops_.empty() && tops_.back() == root->id)) return;
  std::erase(tops_, root->id);
  tops_.push_back(root->id);
}

// --- Timers

Status SoftBackend::SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  return timers_.Set(w->id, id, periodMs, NowMs());
}

Status SoftBackend::KillTimer(WindowHandle window, uintptr_t id) {
  Window* w = Find(window);
  if (!w) return Status::NotFound;
  return timers_.Kill(w->id, id);
}

Status SoftBackend::FireDueTimers(uint64_t now) {
  if (dispatchDepth_ > 0) return Status::Busy;
  Status result = Status::Ok;
  // Each timer fires at most once: Fire moves it past `now`.
  while (const TimerQueue::Timer* due = timers_.NextDue(now)) {
    const TimerQueue::Timer tick = timers_.Fire(due, now);
    Message m{kMsgTimer, tick.id, 0, 0};
    Dispatch(tick.window, m);
    if (Status s = DeliverPending(); s != Status::Ok) result = s;
  }
  return result;
}

}  // namespace plat::soft
