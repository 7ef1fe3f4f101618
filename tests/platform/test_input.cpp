// Injected mouse and keyboard input: routing by hit test, capture, leave tracking, double
// clicks, focus and key state.
#include "HeadlessFixture.h"

namespace plat::test {
namespace {

class Input : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    host = Host({100, 100, 300, 200});
    left = Child(host, {0, 0, 100, 100});
    right = Child(host, {100, 0, 200, 100});
    hl->Pump();
    log.clear();
  }
  std::vector<Received> Mouse() const {
    std::vector<Received> out;
    for (const Received& r : log)
      if (r.msg != kMsgPaint && r.msg != kMsgSetCursor) out.push_back(r);
    return out;
  }
  WindowHandle host, left, right;
};

TEST_F(Input, MovesGoToTheWindowUnderTheMouseUnlessOneHoldsTheCapture) {
  ASSERT_EQ(hl->InjectMouseMove({110, 120}), Status::Ok);
  ASSERT_EQ(hl->SetCapture(left), Status::Ok);
  ASSERT_EQ(hl->InjectMouseMove({250, 130}), Status::Ok);  // over `right`, captured by `left`
  ASSERT_EQ(hl->InjectMouseMove({50, 50}), Status::Ok);    // outside every window
  ASSERT_EQ(hl->ReleaseCapture(), Status::Ok);
  ASSERT_EQ(hl->InjectMouseMove({250, 130}), Status::Ok);
  auto m = Mouse();
  ASSERT_EQ(m.size(), 5u);
  EXPECT_EQ(m[0].window, left);
  EXPECT_EQ(UnpackPoint(m[0].lParam), (Point{10, 20}));
  EXPECT_EQ(m[1].window, left);
  EXPECT_EQ(UnpackPoint(m[1].lParam), (Point{150, 30}));
  EXPECT_EQ(m[2].window, left);
  EXPECT_EQ(UnpackPoint(m[2].lParam), (Point{-50, -50}));  // negative positions survive the packing
  EXPECT_EQ(m[3].window, left);
  EXPECT_EQ(m[3].msg, kMsgCaptureChanged);
  EXPECT_EQ(m[4].window, right);
  EXPECT_EQ(UnpackPoint(m[4].lParam), (Point{50, 30}));
}

TEST_F(Input, CaptureTakenAwayTellsTheOldHolder) {
  hl->SetCapture(left);
  hl->SetCapture(right);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].window, left);
  EXPECT_EQ(log[0].msg, kMsgCaptureChanged);
  EXPECT_EQ(hl->GetCapture(), right);
  hl->DestroyWindow(right);
  EXPECT_EQ(hl->GetCapture(), nullptr);
}

TEST_F(Input, MouseLeaveComesOnceWhenTheMouseLeavesATrackedWindow) {
  hl->InjectMouseMove({110, 110});
  ASSERT_EQ(hl->TrackMouseLeave(left), Status::Ok);
  hl->InjectMouseMove({150, 150});  // still inside
  hl->InjectMouseMove({210, 150});  // into `right`
  hl->InjectMouseMove({220, 150});
  hl->InjectMouseMove({110, 150});  // back: no request pending, no leave
  auto m = Mouse();
  std::vector<std::pair<WindowHandle, uint32_t>> seen;
  for (auto& r : m) seen.push_back({r.window, r.msg});
  // The leave comes once, before the move into the next window.
  EXPECT_EQ(seen, (std::vector<std::pair<WindowHandle, uint32_t>>{{left, kMsgMouseMove},
                                                                  {left, kMsgMouseMove},
                                                                  {left, kMsgMouseLeave},
                                                                  {right, kMsgMouseMove},
                                                                  {right, kMsgMouseMove},
                                                                  {left, kMsgMouseMove}}));
  // Asking while the mouse is elsewhere answers at once.
  log.clear();
  hl->TrackMouseLeave(right);
  EXPECT_EQ(MessagesOf(right), (std::vector<uint32_t>{kMsgMouseLeave}));
}

TEST_F(Input, DoubleClickReplacesTheSecondPressWithinTimeAndDistance) {
  struct Case {
    uint32_t pause;
    Point second;
    uint32_t expected;
  } cases[] = {
      {100, {110, 110}, kMsgLButtonDblClk},
      {600, {110, 110}, kMsgLButtonDown},  // too slow
      {100, {120, 110}, kMsgLButtonDown},  // too far
  };
  for (const Case& c : cases) {
    hl->Advance(1000);
    hl->InjectClick({110, 110});
    hl->Advance(c.pause);
    log.clear();
    hl->InjectMouseButton(c.second, 0, true);
    hl->InjectMouseButton(c.second, 0, false);
    auto m = Mouse();
    std::vector<uint32_t> msgs;
    for (auto& r : m)
      if (r.msg != kMsgMouseMove) msgs.push_back(r.msg);
    EXPECT_EQ(msgs, (std::vector<uint32_t>{c.expected, kMsgLButtonUp})) << c.pause;
  }
  // A third quick press is a plain press again.
  hl->Advance(1000);
  hl->InjectClick({110, 110});
  hl->InjectClick({110, 110});
  log.clear();
  hl->InjectMouseButton({110, 110}, 0, true);
  EXPECT_EQ(Mouse().back().msg, kMsgLButtonDown);
  EXPECT_EQ(Mouse().back().wParam & kMkLButton, kMkLButton);
  EXPECT_TRUE(hl->IsKeyDown(kVkLButton));
}

TEST_F(Input, FocusAndKeysReachTheFocusWindow) {
  ASSERT_EQ(hl->SetFocus(left), Status::Ok);
  ASSERT_EQ(hl->SetFocus(right), Status::Ok);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].msg, kMsgSetFocus);
  EXPECT_EQ(log[1].window, left);
  EXPECT_EQ(log[1].msg, kMsgKillFocus);
  EXPECT_EQ(log[1].wParam, reinterpret_cast<uintptr_t>(right));
  EXPECT_EQ(log[2].window, right);
  EXPECT_EQ(log[2].msg, kMsgSetFocus);
  EXPECT_EQ(log[2].wParam, reinterpret_cast<uintptr_t>(left));
  log.clear();
  hl->InjectKey(kVkShift, true);
  hl->InjectKey(kVkTab, true);
  hl->InjectChar('\t');
  hl->InjectKey(kVkTab, false);
  hl->InjectKey(kVkShift, false);
  EXPECT_EQ(MessagesOf(right), (std::vector<uint32_t>{kMsgKeyDown, kMsgKeyDown, kMsgChar, kMsgKeyUp, kMsgKeyUp}));
  uint8_t keys[256];
  hl->GetKeyboardState(keys);
  EXPECT_EQ(keys[kVkShift], 0);
  hl->InjectKey(kVkMenu, true);
  hl->InjectChar('a');
  EXPECT_EQ(log.back().msg, kMsgSysChar);
  hl->GetKeyboardState(keys);
  EXPECT_EQ(keys[kVkMenu], 0x80);
  EXPECT_EQ(hl->SetFocus(reinterpret_cast<WindowHandle>(uintptr_t(7))), Status::NotFound);
}

}  // namespace
}  // namespace plat::test
