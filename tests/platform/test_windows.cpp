// Windows in a host window: creation and posted-message order, invalidation and the paint cycle.
#include "HeadlessFixture.h"

namespace plat::test {
namespace {

constexpr uint32_t kAttach = 1985;

using Windows = HeadlessTest;

TEST_F(Windows, PostedMessageArrivesQueuedAfterCreationInPostingOrder) {
  WindowHandle host = Host();
  WindowHandle w = Child(host, {0, 0, 50, 20}, {}, false);
  ASSERT_EQ(hl->SetBounds(w, {0, 0, 60, 30}), Status::Ok);
  ASSERT_EQ(hl->Show(w, true), Status::Ok);
  ASSERT_EQ(hl->PostMessage(w, kAttach, 0x1234, 0), Status::Ok);
  ASSERT_EQ(hl->PostMessage(w, kMsgUser + 1, 2, 0), Status::Ok);
  // Queued, not sent: nothing of it yet.
  EXPECT_EQ(MessagesOf(w), (std::vector<uint32_t>{kMsgCreate, kMsgSize, kMsgShowWindow}));
  ASSERT_EQ(hl->SetTimer(w, 1, 15), Status::Ok);
  ASSERT_EQ(hl->Advance(15), Status::Ok);
  // Posted messages first, in posting order, then the paint, then the tick.
  EXPECT_EQ(MessagesOf(w),
            (std::vector<uint32_t>{kMsgCreate, kMsgSize, kMsgShowWindow, kAttach, kMsgUser + 1, kMsgPaint, kMsgTimer}));
  EXPECT_EQ(log[3].wParam, 0x1234u);
  EXPECT_EQ(hl->PostMessage(reinterpret_cast<WindowHandle>(uintptr_t(0x42)), kAttach, 0, 0), Status::NotFound);
}

TEST_F(Windows, PendingInvalidationsMergeIntoOnePaintOfTheirUnion) {
  WindowHandle host = Host();
  std::vector<Rect> areas;
  const Color first = MakeColor(255, 0, 0), later = MakeColor(0, 255, 0), back = MakeColor(10, 20, 30);
  WindowHandle w = Child(host, {10, 10, 110, 60}, [&](WindowHandle h, Message& m) {
    if (m.msg != kMsgPaint) return;
    PaintCycle pc;
    ASSERT_EQ(hl->BeginPaint(h, &pc), Status::Ok);
    areas.push_back(pc.area);
    // Everything the clip lets through, in a colour that tells the paints apart.
    pc.context->FillRect({-100, -100, 1000, 1000}, areas.size() == 1 ? first : later);
    hl->EndPaint(h, &pc);
  });
  hl->Pump();
  ASSERT_EQ(areas.size(), 1u);  // the first paint after creation covers the window
  EXPECT_EQ(areas[0], (Rect{0, 0, 100, 50}));
  // Repainting the host does not paint over its child.
  hl->Invalidate(host, nullptr);
  hl->Pump();
  EXPECT_EQ(areas.size(), 1u);
  EXPECT_EQ(Pixel(host, 5, 5), back);
  EXPECT_EQ(Pixel(host, 15, 15), first);

  Rect a{0, 0, 10, 10}, b{50, 20, 60, 30};
  hl->Invalidate(w, &a);
  hl->Invalidate(w, &b);
  Rect pending;
  hl->GetUpdateRect(w, &pending);
  EXPECT_EQ(pending, (Rect{0, 0, 60, 30}));
  hl->Pump();
  ASSERT_EQ(areas.size(), 2u);                // one paint for both
  EXPECT_EQ(areas[1], (Rect{0, 0, 60, 30}));  // the bounding box is reported...
  // ...but only the two invalidated areas reach the screen.
  EXPECT_EQ(Pixel(host, 10, 10), later);
  EXPECT_EQ(Pixel(host, 19, 19), later);
  EXPECT_EQ(Pixel(host, 20, 20), first);
  EXPECT_EQ(Pixel(host, 60, 30), later);
  EXPECT_EQ(Pixel(host, 69, 39), later);
  EXPECT_EQ(Pixel(host, 70, 40), first);
  hl->GetUpdateRect(w, &pending);
  EXPECT_TRUE(pending.IsEmpty());
  // Validated areas are not painted.
  hl->Invalidate(w, &a);
  hl->Validate(w, nullptr);
  hl->Pump();
  EXPECT_EQ(areas.size(), 2u);
}

TEST_F(Windows, PaintIsClippedToTheWindowItsParentAndChildrenAbove) {
  WindowHandle host = Host();
  auto painter = [&](Color c) {
    return [this, c](WindowHandle h, Message& m) {
      if (m.msg != kMsgPaint) return hl->DefaultHandling(h, m);
      PaintCycle pc;
      ASSERT_EQ(hl->BeginPaint(h, &pc), Status::Ok);
      EXPECT_EQ(hl->BeginPaint(h, &pc), Status::Busy);  // cycles do not nest
      pc.context->FillRect({-500, -500, 500, 500}, c);
      hl->EndPaint(h, &pc);
    };
  };
  const Color outer = MakeColor(0, 0, 255), inner = MakeColor(0, 255, 0), over = MakeColor(255, 255, 0);
  WindowHandle parent = Child(host, {20, 20, 120, 80}, painter(outer));
  Child(parent, {-10, -10, 30, 30}, painter(inner));  // sticks out of its parent
  Child(host, {100, 60, 150, 90}, painter(over));     // a sibling above the parent
  hl->Pump();
  EXPECT_EQ(Pixel(host, 19, 19), MakeColor(10, 20, 30));
  EXPECT_EQ(Pixel(host, 20, 20), inner);  // the child covers the parent's corner
  EXPECT_EQ(Pixel(host, 49, 49), inner);
  EXPECT_EQ(Pixel(host, 50, 50), outer);
  EXPECT_EQ(Pixel(host, 99, 59), outer);
  EXPECT_EQ(Pixel(host, 100, 60), over);
  EXPECT_EQ(Pixel(host, 149, 89), over);
  EXPECT_EQ(Pixel(host, 150, 90), MakeColor(10, 20, 30));
  // Repainting the parent alone leaves the child and the sibling alone.
  WindowHandle parentAgain = parent;
  hl->Invalidate(parentAgain, nullptr);
  hl->Pump();
  EXPECT_EQ(Pixel(host, 25, 25), inner);
  EXPECT_EQ(Pixel(host, 110, 70), over);
}

TEST_F(Windows, DestroyingSendsDestroyToTheTreeAndRepaintsTheParent) {
  WindowHandle host = Host();
  WindowHandle w = Child(host, {0, 0, 50, 50});
  WindowHandle inner = Child(w, {5, 5, 10, 10});
  hl->Pump();
  hl->SetCapture(inner);
  hl->SetFocus(w);
  ASSERT_EQ(hl->PostMessage(w, kAttach, 0, 0), Status::Ok);
  log.clear();
  ASSERT_EQ(hl->DestroyWindow(w), Status::Ok);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].window, w);
  EXPECT_EQ(log[0].msg, kMsgDestroy);
  EXPECT_EQ(log[1].window, inner);
  EXPECT_EQ(log[1].msg, kMsgDestroy);
  EXPECT_FALSE(hl->IsWindow(w));
  EXPECT_FALSE(hl->IsWindow(inner));
  EXPECT_EQ(hl->GetCapture(), nullptr);
  EXPECT_EQ(hl->GetFocus(), nullptr);
  EXPECT_EQ(hl->DestroyWindow(w), Status::NotFound);
  hl->Pump();  // the queued message of the dead window goes nowhere
  EXPECT_EQ(log.size(), 2u);
  Rect r;
  EXPECT_EQ(hl->GetUpdateRect(host, &r), Status::Ok);
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(hl->WindowCount(), 1u);
}

TEST_F(Windows, ShowingHidingAndMovingRepaintWhatBecomesVisible) {
  WindowHandle host = Host();
  std::vector<std::pair<WindowHandle, Rect>> paints;
  auto painter = [&](Color c) {
    return [this, c, &paints](WindowHandle h, Message& m) {
      if (m.msg != kMsgPaint) return hl->DefaultHandling(h, m);
      PaintCycle pc;
      ASSERT_EQ(hl->BeginPaint(h, &pc), Status::Ok);
      paints.push_back({h, pc.area});
      pc.context->FillRect(pc.area, c);
      hl->EndPaint(h, &pc);
    };
  };
  const Color under = MakeColor(0, 0, 200), panel = MakeColor(0, 200, 0), inner = MakeColor(200, 0, 0);
  WindowHandle low = Child(host, {0, 0, 100, 100}, painter(under));
  WindowHandle parent = Child(host, {20, 20, 80, 80}, painter(panel), false);
  WindowHandle child = Child(parent, {10, 10, 20, 20}, painter(inner));
  hl->Pump();
  EXPECT_EQ(Pixel(host, 35, 35), under);
  // Showing the parent paints its (already visible) child too.
  hl->Show(parent, true);
  hl->Pump();
  EXPECT_EQ(Pixel(host, 25, 25), panel);
  EXPECT_EQ(Pixel(host, 35, 35), inner);
  // Hiding it repaints the sibling under it, only where it was.
  paints.clear();
  hl->Show(parent, false);
  hl->Pump();
  ASSERT_EQ(paints.size(), 1u);
  EXPECT_EQ(paints[0].first, low);
  EXPECT_EQ(paints[0].second, (Rect{20, 20, 80, 80}));
  EXPECT_EQ(Pixel(host, 35, 35), under);
  // Moving a visible window repaints the old place and the window at the new one.
  hl->Show(parent, true);
  hl->Pump();
  paints.clear();
  hl->SetBounds(parent, {40, 40, 100, 100});
  hl->Pump();
  EXPECT_EQ(Pixel(host, 25, 25), under);
  EXPECT_EQ(Pixel(host, 45, 45), panel);
  EXPECT_EQ(Pixel(host, 55, 55), inner);
  (void)child;
}

TEST_F(Windows, ForeignParentHandleIsAdoptedAsAHostWindow) {
  int hostObject = 0;  // stands for a window the host made with some other toolkit
  WindowDesc d;
  d.parent = &hostObject;
  d.bounds = {0, 0, 40, 30};
  d.visible = true;
  WindowHandle w = nullptr;
  ASSERT_EQ(hl->CreateChildWindow(d, &w), Status::Ok);
  WindowHandle host = nullptr;
  ASSERT_EQ(hl->GetParent(w, &host), Status::Ok);
  Size s;
  ASSERT_EQ(hl->GetClientSize(host, &s), Status::Ok);
  EXPECT_EQ(s, (Size{40, 30}));
  std::unique_ptr<Surface> screen;
  EXPECT_EQ(hl->ReadScreen(host, &screen), Status::Ok);
  // It holds its children exactly: a larger one grows it, and it shrinks when that one is moved
  // to another host window, made smaller or destroyed; never beyond the largest size a window has.
  const auto sizeOfHost = [&] {
    EXPECT_EQ(hl->GetClientSize(host, &s), Status::Ok);
    return s;
  };
  int otherHost = 0;
  d.bounds = {0, 0, 80, 60};
  WindowHandle big = nullptr;
  ASSERT_EQ(hl->CreateChildWindow(d, &big), Status::Ok);
  EXPECT_EQ(sizeOfHost(), (Size{80, 60}));
  ASSERT_EQ(hl->SetParent(big, &otherHost), Status::Ok);
  EXPECT_EQ(sizeOfHost(), (Size{40, 30}));
  ASSERT_EQ(hl->SetParent(big, host), Status::Ok);
  ASSERT_EQ(hl->SetBounds(big, {16000, 16000, 17000, 17000}), Status::Ok);
  EXPECT_EQ(sizeOfHost(), (Size{kMaxPixelDimension, kMaxPixelDimension}));
  ASSERT_EQ(hl->SetBounds(big, {0, 0, 50, 20}), Status::Ok);
  EXPECT_EQ(sizeOfHost(), (Size{50, 30}));
  hl->DestroyWindow(big);
  EXPECT_EQ(sizeOfHost(), (Size{40, 30}));
  // A handle of one of our own windows that is gone is not taken for a foreign one.
  hl->DestroyWindow(w);
  d.parent = w;
  WindowHandle orphan = nullptr;
  EXPECT_EQ(hl->CreateChildWindow(d, &orphan), Status::NotFound);
  EXPECT_EQ(orphan, nullptr);
}

// A procedure that closes the last window and has the backend replaced (a host reopening an
// editor elsewhere from inside a callback) leaves the backend in place until the delivery is over.
TEST_F(Windows, TheBackendIsNotReplacedWhileItDeliversAMessage) {
  auto fresh = [] { return headless::CreateHeadlessBackend(); };
  Backend* during = hl;
  WindowHandle w = nullptr;
  ASSERT_EQ(hl->CreateMessageWindow(
                [&](WindowHandle self, Message& m) {
                  if (m.msg != kAttach) return;
                  hl->DestroyWindow(self);
                  during = SwitchBackend("elsewhere", fresh);
                },
                &w),
            Status::Ok);
  hl->SendMessage(w, kAttach, 0, 0);
  EXPECT_EQ(during, nullptr);
  EXPECT_EQ(&Platform(), hl);
  EXPECT_FALSE(hl->ShowsWindows());
  EXPECT_NE(SwitchBackend("elsewhere", fresh), nullptr);  // once it is over, nothing holds it
}

TEST_F(Windows, HitTestingFindsTheTopmostDeepestVisibleWindow) {
  WindowHandle host = Host({100, 100, 300, 200});
  WindowHandle a = Child(host, {0, 0, 100, 100});
  WindowHandle b = Child(a, {10, 10, 30, 30});
  WindowHandle hidden = Child(a, {10, 10, 30, 30}, {}, false);
  WindowHandle c = Child(host, {50, 50, 150, 100});
  (void)hidden;
  EXPECT_EQ(hl->WindowFromPoint({115, 115}), b);
  EXPECT_EQ(hl->WindowFromPoint({105, 105}), a);
  EXPECT_EQ(hl->WindowFromPoint({160, 160}), c);  // c lies above a
  EXPECT_EQ(hl->WindowFromPoint({299, 101}), host);
  EXPECT_EQ(hl->WindowFromPoint({300, 100}), nullptr);
  Point p{5, 5};
  ASSERT_EQ(hl->ClientToScreen(b, &p), Status::Ok);
  EXPECT_EQ(p, (Point{115, 115}));
  ASSERT_EQ(hl->ScreenToClient(c, &p), Status::Ok);
  EXPECT_EQ(p, (Point{-35, -35}));
}

}  // namespace
}  // namespace plat::test
