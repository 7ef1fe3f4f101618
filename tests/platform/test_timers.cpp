// Timers on the virtual clock.
#include "HeadlessFixture.h"

namespace plat::test {
namespace {

class Timers : public HeadlessTest {
 protected:
  WindowHandle MessageWindow() {
    WindowHandle w = nullptr;
    EXPECT_EQ(hl->CreateMessageWindow(
                  [this](WindowHandle h, Message& m) {
                    if (m.msg == kMsgTimer) ticks.push_back({h, m.wParam, hl->Now()});
                    if (onTick && m.msg == kMsgTimer) onTick(h, m);
                  },
                  &w),
              Status::Ok);
    return w;
  }
  struct Tick {
    WindowHandle window;
    uintptr_t id;
    uint64_t at;
  };
  std::vector<uint64_t> TimesOf(uintptr_t id) const {
    std::vector<uint64_t> out;
    for (const Tick& t : ticks)
      if (t.id == id) out.push_back(t.at);
    return out;
  }
  std::vector<Tick> ticks;
  std::function<void(WindowHandle, Message&)> onTick;
};

TEST_F(Timers, TicksAtEveryPeriodInDueOrder) {
  WindowHandle w = MessageWindow();
  ASSERT_EQ(hl->SetTimer(w, 1, 15), Status::Ok);
  ASSERT_EQ(hl->SetTimer(w, 2, 20), Status::Ok);
  ASSERT_EQ(hl->Advance(14), Status::Ok);
  EXPECT_TRUE(ticks.empty());
  ASSERT_EQ(hl->Advance(46), Status::Ok);  // now 60
  EXPECT_EQ(TimesOf(1), (std::vector<uint64_t>{15, 30, 45, 60}));
  EXPECT_EQ(TimesOf(2), (std::vector<uint64_t>{20, 40, 60}));
  // At 60 both are due: the one started first comes first.
  ASSERT_GE(ticks.size(), 2u);
  EXPECT_EQ(ticks[ticks.size() - 2].id, 1u);
  EXPECT_EQ(ticks.back().id, 2u);
  EXPECT_EQ(hl->TickCount(), 60u);
}

TEST_F(Timers, RestartKillAndMinimumPeriod) {
  WindowHandle w = MessageWindow();
  ASSERT_EQ(hl->SetTimer(w, 1, 100), Status::Ok);
  hl->Advance(60);
  ASSERT_EQ(hl->SetTimer(w, 1, 100), Status::Ok);  // restarts the period from now
  hl->Advance(99);
  EXPECT_TRUE(ticks.empty());
  hl->Advance(1);
  EXPECT_EQ(TimesOf(1), (std::vector<uint64_t>{160}));
  EXPECT_EQ(hl->RunningTimerCount(), 1u);
  EXPECT_EQ(hl->KillTimer(w, 1), Status::Ok);
  EXPECT_EQ(hl->KillTimer(w, 1), Status::NotFound);
  hl->Advance(500);
  EXPECT_EQ(ticks.size(), 1u);
  ASSERT_EQ(hl->SetTimer(w, 3, 0), Status::Ok);  // raised to 10 ms
  hl->Advance(25);
  EXPECT_EQ(TimesOf(3), (std::vector<uint64_t>{670, 680}));
}

TEST_F(Timers, BusyHandlerGetsOneLateTickAndNoCatchUp) {
  WindowHandle w = MessageWindow();
  ASSERT_EQ(hl->SetTimer(w, 1, 10), Status::Ok);
  int n = 0;
  onTick = [&](WindowHandle, Message&) {
    if (++n == 2) hl->Spend(35);  // the second tick keeps the thread busy past three periods
    // The clock cannot be driven from inside a tick: ticks never overlap.
    EXPECT_EQ(hl->Advance(10), Status::Busy);
  };
  hl->Advance(100);
  // 10, 20 (busy until 55), then one late tick at 55, then back on the 10 ms grid.
  EXPECT_EQ(TimesOf(1), (std::vector<uint64_t>{10, 20, 55, 60, 70, 80, 90, 100}));
}

TEST_F(Timers, RefusedTimerAndTimersDyingWithTheirWindow) {
  WindowHandle w = MessageWindow();
  hl->SetTimerLimit(1);
  EXPECT_EQ(hl->SetTimer(w, 1, 10), Status::Ok);
  EXPECT_EQ(hl->SetTimer(w, 1, 20), Status::Ok);  // restarting is not a new timer
  EXPECT_EQ(hl->SetTimer(w, 2, 10), Status::OutOfResources);
  EXPECT_EQ(hl->SetTimer(nullptr, 1, 10), Status::NotFound);
  // A handler that destroys its own window: no tick afterwards, no timer left.
  onTick = [&](WindowHandle h, Message&) { EXPECT_EQ(hl->DestroyWindow(h), Status::Ok); };
  hl->Advance(100);
  EXPECT_EQ(ticks.size(), 1u);
  EXPECT_EQ(hl->RunningTimerCount(), 0u);
  EXPECT_EQ(hl->SetTimer(w, 1, 10), Status::NotFound);
}

TEST_F(Timers, EscapingExceptionIsContainedAndTheTimerRuns) {
  WindowHandle w = MessageWindow();
  ASSERT_EQ(hl->SetTimer(w, 1, 10), Status::Ok);
  onTick = [](WindowHandle, Message&) { throw std::runtime_error("handler failed"); };
  EXPECT_EQ(hl->Advance(30), Status::Ok);
  EXPECT_EQ(ticks.size(), 3u);
  EXPECT_EQ(hl->EscapedExceptions(), 3u);
}

TEST_F(Timers, TickCountWrapsAndIdentifiersAreDistinctAndRepeatable) {
  hl->Advance(0xFFFFFFF0u);
  hl->Advance(0x20);
  EXPECT_EQ(hl->TickCount(), 0x10u);
  auto sequence = [](headless::HeadlessBackend& b) {
    std::vector<std::vector<uint8_t>> ids;
    for (int i = 0; i < 3; ++i) {
      uint8_t g[16];
      EXPECT_EQ(b.CreateGuid(g), Status::Ok);
      EXPECT_EQ(g[6] >> 4, 4);
      EXPECT_EQ(g[8] >> 6, 2);
      ids.emplace_back(g, g + 16);
    }
    return ids;
  };
  auto first = sequence(*hl);
  EXPECT_NE(first[0], first[1]);
  EXPECT_NE(first[1], first[2]);
  EXPECT_EQ(sequence(headless::InstallHeadless()), first);
}

}  // namespace
}  // namespace plat::test
