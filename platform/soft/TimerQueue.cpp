#include "platform/soft/TimerQueue.h"

#include <algorithm>

namespace plat::soft {

namespace {
constexpr uint32_t kMinTimerPeriod = 10;
}  // namespace

Status TimerQueue::Set(uint64_t window, uintptr_t id, uint32_t periodMs, uint64_t now) {
  const uint32_t period = std::max(periodMs, kMinTimerPeriod);
  for (Timer& t : timers_)
    if (t.window == window && t.id == id) {
      t.period = period;
      t.due = now + period;
      t.seq = ++seq_;
      return Status::Ok;
    }
  if (timers_.size() >= limit_) return Status::OutOfResources;
  timers_.push_back({window, id, period, now + period, ++seq_});
  return Status::Ok;
}

Status TimerQueue::Kill(uint64_t window, uintptr_t id) {
  auto it =
      std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.window == window && t.id == id; });
  if (it == timers_.end()) return Status::NotFound;
  timers_.erase(it);
  return Status::Ok;
}

void TimerQueue::KillAllOf(uint64_t window) {
  std::erase_if(timers_, [&](const Timer& t) { return t.window == window; });
}

const TimerQueue::Timer* TimerQueue::NextDue(uint64_t until) const {
  const Timer* next = nullptr;
  for (const Timer& t : timers_)
    if (t.due <= until && (!next || t.due < next->due || (t.due == next->due && t.seq < next->seq))) next = &t;
  return next;
}

TimerQueue::Timer TimerQueue::Fire(const Timer* timer, uint64_t now) {
  Timer& t = timers_[size_t(timer - timers_.data())];
  const Timer tick = t;
  while (t.due <= now) t.due += t.period;
  return tick;
}

}  // namespace plat::soft
