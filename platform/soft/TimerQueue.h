// The window timers of a software backend: periods, due times and the order in which due timers
// fire. The queue holds no clock; its owner passes the time in milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Types.h"

namespace plat::soft {

class TimerQueue {
 public:
  struct Timer {
    uint64_t window = 0;
    uintptr_t id = 0;
    uint32_t period = 0;
    uint64_t due = 0;
    uint64_t seq = 0;  // order of starting: breaks ties between equal due times
  };

  // Starts or restarts (from `now`) timer `id` of `window`; periods below 10 ms are raised to
  // 10 ms. OutOfResources when `Limit` timers already run.
  Status Set(uint64_t window, uintptr_t id, uint32_t periodMs, uint64_t now);
  // NotFound when no such timer runs.
  Status Kill(uint64_t window, uintptr_t id);
  void KillAllOf(uint64_t window);
  void Clear() { timers_.clear(); }

  // The timer due first at or before `until` (ties: the one started first), or null. Valid
  // until the queue next changes.
  const Timer* NextDue(uint64_t until) const;
  // Takes one tick of `timer` (from NextDue) at `now`: answers the tick to deliver and moves
  // the timer to the first period boundary after `now`, so late ticks are not made up.
  Timer Fire(const Timer* timer, uint64_t now);

  size_t Count() const { return timers_.size(); }
  void SetLimit(size_t limit) { limit_ = limit; }

 private:
  std::vector<Timer> timers_;
  uint64_t seq_ = 0;
  size_t limit_ = 10000;
};

}  // namespace plat::soft
