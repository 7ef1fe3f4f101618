// The headless backend: host windows, the virtual clock and injected input on top of the
// software windows.
#include <algorithm>

#include "platform/Picture.h"
#include "platform/headless/HeadlessBackendImpl.h"
#include "platform/soft/SoftSurface.h"

namespace plat::headless {

Status HeadlessBackendImpl::CreateHostWindow(const Rect& screenBounds, Color background, WindowHandle* out,
                                             WindowProc proc) {
  if (!out) return Status::InvalidArgument;
  Window* w = nullptr;
  if (Status s = CreateRoot(screenBounds, background, std::move(proc), false, &w); s != Status::Ok) return s;
  *out = HandleOf(w->id);
  return Status::Ok;
}

bool HeadlessBackendImpl::IsHostWindow(WindowHandle window) const {
  const Window* w = Find(window);
  return w && w->kind == Kind::Root && !w->adopted;
}

Status HeadlessBackendImpl::SetScreenBitsPerPixel(WindowHandle hostWindow, int bits) {
  Window* w = Find(hostWindow);
  if (!w) return Status::NotFound;
  if (w->kind != Kind::Root || (bits != 8 && bits != 32)) return Status::InvalidArgument;
  w->screenBits = bits;
  return Status::Ok;
}

HeadlessBackendImpl::Window* HeadlessBackendImpl::HostRoot(WindowHandle hostWindow, Status* status) const {
  Window* w = Find(hostWindow);
  *status = !w ? Status::NotFound : (w->kind != Kind::Root || w->screen.empty()) ? Status::InvalidArgument : Status::Ok;
  return *status == Status::Ok ? w : nullptr;
}

Status HeadlessBackendImpl::ReadScreen(WindowHandle hostWindow, std::unique_ptr<Surface>* out) {
  Status s = Status::Ok;
  Window* w = HostRoot(hostWindow, &s);
  if (!w) return s;
  if (!out) return Status::InvalidArgument;
  std::vector<uint8_t> copy = w->screen;
  for (size_t i = 3; i < copy.size(); i += 4) copy[i] = 255;
  *out = std::make_unique<soft::SoftSurface>(w->bounds.Width(), w->bounds.Height(), std::move(copy));
  return Status::Ok;
}

Status HeadlessBackendImpl::SaveScreenPng(WindowHandle hostWindow, const std::string& path) {
  Status s = Status::Ok;
  Window* w = HostRoot(hostWindow, &s);
  if (!w) return s;
  return SavePng(path, w->screen.data(), w->bounds.Width(), w->bounds.Height(), false);
}

Status HeadlessBackendImpl::ScreenPixel(WindowHandle hostWindow, Point p, Color* out) const {
  Window* w = Find(hostWindow);
  if (!w) return Status::NotFound;
  if (w->kind != Kind::Root || !out) return Status::InvalidArgument;
  if (!Rect{0, 0, w->bounds.Width(), w->bounds.Height()}.Contains(p)) return Status::InvalidArgument;
  soft::PixelTarget t{const_cast<uint8_t*>(w->screen.data()), w->bounds.Width(), w->bounds.Height()};
  const uint8_t* px = t.At(p.x, p.y);
  *out = MakeColor(px[2], px[1], px[0]);
  return Status::Ok;
}

// --- Virtual clock

Status HeadlessBackendImpl::Idle() {
  if (InDispatch()) return Status::Busy;
  return DeliverPending();
}

Status HeadlessBackendImpl::Advance(uint32_t ms) {
  if (InDispatch()) return Status::Busy;
  const uint64_t target = now_ + ms;
  Status result = DeliverPending();
  while (const soft::TimerQueue::Timer* due = timers_.NextDue(std::max(target, now_))) {
    now_ = std::max(now_, due->due);
    const soft::TimerQueue::Timer tick = timers_.Fire(due, now_);
    Message m{kMsgTimer, tick.id, 0, 0};
    Dispatch(tick.window, m);
    if (Status s = DeliverPending(); s != Status::Ok) result = s;
    if (now_ > target) break;  // a handler spent the rest of the time
  }
  now_ = std::max(now_, target);
  if (Status s = DeliverPending(); s != Status::Ok) result = s;
  return result;
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

// --- Injected input

Status HeadlessBackendImpl::Deliver(Status injected) {
  if (injected != Status::Ok) return injected;
  return DeliverPending();
}

Status HeadlessBackendImpl::InjectMouseMove(Point screen) { return Deliver(MouseMove(screen)); }

Status HeadlessBackendImpl::InjectMouseButton(Point screen, int button, bool down) {
  return Deliver(MouseButton(screen, button, down));
}

Status HeadlessBackendImpl::InjectClick(Point screen, int button) {
  if (Status s = InjectMouseButton(screen, button, true); s != Status::Ok) return s;
  return InjectMouseButton(screen, button, false);
}

Status HeadlessBackendImpl::InjectKey(uint32_t virtualKey, bool down) { return Deliver(Key(virtualKey, down)); }

Status HeadlessBackendImpl::InjectChar(uint8_t character) { return Deliver(Char(character)); }

// --- Creation

HeadlessBackend& InstallHeadless() {
  auto backend = std::make_unique<HeadlessBackendImpl>();
  HeadlessBackend& ref = *backend;
  InstallBackend(std::move(backend));
  return ref;
}

HeadlessBackend* CurrentHeadless() { return dynamic_cast<HeadlessBackend*>(&Platform()); }

std::string FontFilePath(bool bold) { return soft::TextRenderer::FontFile(bold); }

std::unique_ptr<Backend> CreateHeadlessBackend() { return std::make_unique<HeadlessBackendImpl>(); }

HeadlessBackend* OfflineHeadless(bool create) {
  if (HeadlessBackend* current = CurrentHeadless()) return current;
  if (!create) return dynamic_cast<HeadlessBackend*>(SpareBackend());
  return dynamic_cast<HeadlessBackend*>(SwitchBackend("headless", &CreateHeadlessBackend));
}

}  // namespace plat::headless
