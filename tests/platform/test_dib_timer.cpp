// TDIBTimer on the headless virtual clock.
#include <gtest/gtest.h>

#include "DIB/Source/cDIBTimer.h"
#include "platform/headless/Headless.h"
#include "ui/Application.h"

namespace {

class DIBTimer : public ::testing::Test {
 protected:
  void SetUp() override {
    hl = &plat::headless::InstallHeadless();
    Application().ResetErrors();
  }
  void TearDown() override { plat::InstallBackend(nullptr); }
  TNotifyEvent Counter() {
    return TNotifyEvent([this](TPersistent* sender) {
      EXPECT_EQ(sender, timer);
      times.push_back(hl->Now());
    });
  }
  plat::headless::HeadlessBackend* hl = nullptr;
  TDIBTimer* timer = nullptr;
  std::vector<uint64_t> times;
};

TEST_F(DIBTimer, RunsExactlyWhileEnabledIntervalAndHandlerAreGiven) {
  TComponent owner(nullptr);
  timer = new TDIBTimer(&owner);
  EXPECT_EQ(timer->Interval(), 1000u);
  EXPECT_FALSE(timer->Enabled());
  timer->SetInterval(15);
  timer->SetEnabled(true);
  EXPECT_FALSE(timer->Running()) << "no handler: no window, no platform timer";
  EXPECT_EQ(hl->WindowCount(), 0u);
  timer->SetOnTimer(Counter());
  EXPECT_TRUE(timer->Running());
  EXPECT_EQ(hl->WindowCount(), 1u);
  EXPECT_EQ(hl->RunningTimerCount(), 1u);
  hl->Advance(45);
  EXPECT_EQ(times, (std::vector<uint64_t>{15, 30, 45}));
  // Setting the current value changes nothing (the period is not restarted).
  hl->Advance(10);
  timer->SetEnabled(true);
  timer->SetInterval(15);
  hl->Advance(5);
  EXPECT_EQ(times.back(), 60u);
  // A new interval restarts the period from now.
  hl->Advance(7);
  timer->SetInterval(20);
  hl->Advance(20);
  EXPECT_EQ(times.back(), 87u);
  // Interval 0 never ticks even when enabled.
  timer->SetInterval(0);
  EXPECT_FALSE(timer->Running());
  hl->Advance(1000);
  EXPECT_EQ(times.size(), 5u);
  timer->SetInterval(10);
  timer->SetEnabled(false);
  EXPECT_FALSE(timer->Running());
  EXPECT_EQ(hl->WindowCount(), 0u);
}

TEST_F(DIBTimer, DestroyingARunningTimerStopsIt) {
  TComponent* owner = new TComponent(nullptr);
  timer = new TDIBTimer(owner);
  timer->SetInterval(10);
  timer->SetOnTimer(Counter());
  timer->SetEnabled(true);
  hl->Advance(10);
  TComponent::Free(owner);  // frees the timer with it
  EXPECT_EQ(hl->RunningTimerCount(), 0u);
  EXPECT_EQ(hl->WindowCount(), 0u);
  hl->Advance(100);
  EXPECT_EQ(times.size(), 1u);
}

TEST_F(DIBTimer, HandlerErrorsGoToTheApplicationAndTheTimerKeepsRunning) {
  TDIBTimer t(nullptr);
  timer = &t;
  int calls = 0;
  t.SetInterval(10);
  t.SetOnTimer(TNotifyEvent([&](TPersistent*) {
    if (++calls == 2) throw std::runtime_error("List index out of bounds (9)");
  }));
  t.SetEnabled(true);
  EXPECT_NO_THROW(hl->Advance(40));
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(Application().ErrorCount(), 1u);
  EXPECT_EQ(Application().LastError(), "List index out of bounds (9)");
  EXPECT_EQ(hl->EscapedExceptions(), 0u);
}

TEST_F(DIBTimer, RefusedTimerDisablesAndRaisesOutOfResources) {
  TDIBTimer t(nullptr);
  t.SetInterval(10);
  t.SetOnTimer(TNotifyEvent([](TPersistent*) {}));
  hl->SetTimerLimit(0);
  EXPECT_THROW(t.SetEnabled(true), EOutOfResources);
  EXPECT_FALSE(t.Enabled());
  EXPECT_FALSE(t.Running());
  EXPECT_EQ(hl->WindowCount(), 0u);
  hl->SetTimerLimit(10);
  t.SetEnabled(true);
  EXPECT_TRUE(t.Running());
}

TEST_F(DIBTimer, HandlerMayChangeItsOwnTimer) {
  TDIBTimer t(nullptr);
  timer = &t;
  t.SetInterval(10);
  t.SetOnTimer(TNotifyEvent([&](TPersistent*) {
    times.push_back(hl->Now());
    if (times.size() == 1) t.SetInterval(30);  // re-creates the window from inside its own tick
    if (times.size() == 3) t.SetEnabled(false);
  }));
  t.SetEnabled(true);
  hl->Advance(200);
  EXPECT_EQ(times, (std::vector<uint64_t>{10, 40, 70}));
  EXPECT_EQ(hl->WindowCount(), 0u);
}

TEST_F(DIBTimer, HandlerReplacingOnTimerRunsToItsEnd) {
  TDIBTimer t(nullptr);
  timer = &t;
  t.SetInterval(10);
  // Captured state on the heap: the running handler reads it after replacing itself.
  std::vector<int> own(64, 7);
  int later = 0;
  t.SetOnTimer(TNotifyEvent([&t, &later, own](TPersistent*) {
    t.SetOnTimer(TNotifyEvent([&later](TPersistent*) { ++later; }));
    later += own[63];
  }));
  t.SetEnabled(true);
  hl->Advance(30);
  EXPECT_EQ(later, 7 + 2);
}

}  // namespace
