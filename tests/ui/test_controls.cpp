// Controls on the headless platform: windows inside a host window, mouse routing with enter/leave
// and capture, keys and focus, dialog characters, posted messages, painting, the status bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/Headless.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/Panel.h"
#include "ui/StatusBar.h"

namespace {

// A windowless control that logs what reaches it.
class TProbe : public TControl {
 public:
  TProbe(TComponent* owner, std::vector<std::string>* log, const char* name) : TControl(owner), log_(log) {
    SetName(name);
    OnClick = TNotifyEvent([this](TPersistent*) { Log("click"); });
    OnMouseEnter = TNotifyEvent([this](TPersistent*) { Log("enter"); });
    OnMouseLeave = TNotifyEvent([this](TPersistent*) { Log("leave"); });
    OnMouseDown = TMouseEvent([this](TPersistent*, TMouseButton, TShiftState, int x, int y) { Log("down", x, y); });
    OnMouseUp = TMouseEvent([this](TPersistent*, TMouseButton, TShiftState, int x, int y) { Log("up", x, y); });
    OnMouseMove = TMouseMoveEvent([this](TPersistent*, TShiftState, int x, int y) { Log("move", x, y); });
  }
  void WndProc(TMessage& m) override {
    if (m.msg == kCmDialogChar && static_cast<char>(m.wParam) == accel) {
      Log("accel");
      m.result = 1;
      return;
    }
    TControl::WndProc(m);
  }
  void Paint(plat::DrawContext& ctx) override { ctx.FillRect({0, 0, Width(), Height()}, paint); }
  bool HitTest(plat::Point p) override { return !(holeLeftHalf && p.x < Width() / 2) && TControl::HitTest(p); }
  bool holeLeftHalf = false;
  void Log(const char* what) { log_->push_back(Name() + ":" + what); }
  void Log(const char* what, int x, int y) {
    log_->push_back(Name() + ":" + what + "@" + std::to_string(x) + "," + std::to_string(y));
  }
  char accel = 0;
  plat::Color paint = plat::MakeColor(200, 0, 0);

 private:
  std::vector<std::string>* log_;
};

class TProbeForm : public TForm {
 public:
  explicit TProbeForm(TComponent* owner) : TForm(owner) {}
  void WndProc(TMessage& m) override {
    if (m.msg == 1985) attached.push_back(m.wParam);
    TForm::WndProc(m);
  }
  std::vector<std::uintptr_t> attached;
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl = &plat::headless::InstallHeadless();
    EXPECT_EQ(hl->CreateHostWindow({100, 50, 500, 350}, plat::MakeColor(1, 2, 3), &host), plat::Status::Ok);
    form = new TProbeForm(nullptr);
    form->SetName("F");
    form->SetBounds(0, 0, 300, 200);
    form->SetColor(RGBColor(0, 0, 255));
    a = new TProbe(form, &log, "A");
    a->SetBounds(10, 10, 50, 50);
    a->SetParent(form);
    b = new TProbe(form, &log, "B");
    b->SetBounds(100, 10, 50, 50);
    b->SetParent(form);
    b->paint = plat::MakeColor(0, 200, 0);
    form->OnMouseEnter = TNotifyEvent([this](TPersistent*) { log.push_back("F:enter"); });
    form->OnMouseLeave = TNotifyEvent([this](TPersistent*) { log.push_back("F:leave"); });
    form->SetParentWindow(host);
    form->Show();
    hl->Pump();
  }
  void TearDown() override {
    TComponent::Free(form);
    EXPECT_EQ(TControl::MouseControl(), nullptr);
    EXPECT_EQ(TControl::CaptureControl(), nullptr);
    plat::InstallBackend(nullptr);
  }
  // Screen position of a host-client position.
  plat::Point At(int x, int y) { return {100 + x, 50 + y}; }
  std::vector<std::string> Take() { return std::exchange(log, {}); }
  plat::Color Pixel(int x, int y) {
    plat::Color c = 0;
    EXPECT_EQ(hl->ScreenPixel(host, {x, y}, &c), plat::Status::Ok);
    return c;
  }

  plat::headless::HeadlessBackend* hl = nullptr;
  plat::WindowHandle host = nullptr;
  TProbeForm* form = nullptr;
  TProbe* a = nullptr;
  TProbe* b = nullptr;
  std::vector<std::string> log;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(ControlsTest, FormLivesInTheHostWindowAndPaintsItsChildren) {
  ASSERT_TRUE(form->HandleAllocated());
  plat::WindowHandle parent = nullptr;
  EXPECT_EQ(hl->GetParent(form->WindowHandle(), &parent), plat::Status::Ok);
  EXPECT_EQ(parent, host);
  EXPECT_TRUE(form->Showing());
  EXPECT_EQ(Pixel(5, 5), ColorToRGB(RGBColor(0, 0, 255)));
  EXPECT_EQ(Pixel(20, 20), plat::MakeColor(200, 0, 0));
  EXPECT_EQ(Pixel(120, 20), plat::MakeColor(0, 200, 0));
  EXPECT_EQ(Pixel(350, 20), plat::MakeColor(1, 2, 3));  // outside the form: the host's own

  // Hiding a child repaints its area with the form's background; moving shows it elsewhere.
  b->Hide();
  hl->Pump();
  EXPECT_EQ(Pixel(120, 20), ColorToRGB(RGBColor(0, 0, 255)));
  a->SetLeft(200);
  hl->Pump();
  EXPECT_EQ(Pixel(20, 20), ColorToRGB(RGBColor(0, 0, 255)));
  EXPECT_EQ(Pixel(220, 20), plat::MakeColor(200, 0, 0));
}

TEST_F(ControlsTest, MouseEnterAndLeaveFollowTheControlUnderTheMouse) {
  hl->InjectMouseMove(At(20, 20));
  EXPECT_EQ(Take(), (Log{"A:enter", "A:move@10,10"}));
  hl->InjectMouseMove(At(25, 20));
  EXPECT_EQ(Take(), (Log{"A:move@15,10"}));
  hl->InjectMouseMove(At(110, 20));
  EXPECT_EQ(Take(), (Log{"A:leave", "B:enter", "B:move@10,10"}));
  hl->InjectMouseMove(At(200, 150));  // the form's own area
  EXPECT_EQ(Take(), (Log{"B:leave", "F:enter"}));
  hl->InjectMouseMove(At(400, 250));  // off the form, into the host window
  EXPECT_EQ(Take(), (Log{"F:leave"}));
  EXPECT_EQ(TControl::MouseControl(), nullptr);

  // A control that declines the hit lets the mouse through to what lies below.
  b->SetBounds(20, 10, 60, 50);  // over the right part of A, on top of it
  b->holeLeftHalf = true;
  hl->InjectMouseMove(At(45, 20));  // B's left half: A below
  EXPECT_EQ(Take(), (Log{"A:enter", "A:move@35,10"}));
  hl->InjectMouseMove(At(55, 20));  // B's right half
  EXPECT_EQ(Take(), (Log{"A:leave", "B:enter", "B:move@35,10"}));
  hl->InjectMouseMove(At(400, 250));
  EXPECT_EQ(Take(), (Log{"B:leave"}));
  b->SetBounds(100, 10, 50, 50);

  // Disabled and hidden controls are not under the mouse; the form is.
  b->SetEnabled(false);
  hl->InjectMouseMove(At(110, 20));
  EXPECT_EQ(Take(), (Log{"F:enter"}));
}

TEST_F(ControlsTest, CaptureKeepsMouseMessagesWithThePressedControl) {
  hl->InjectMouseMove(At(20, 20));
  Take();
  hl->InjectMouseButton(At(20, 20), 0, true);
  EXPECT_EQ(Take(), (Log{"A:down@10,10"}));
  EXPECT_EQ(TControl::CaptureControl(), a);

  // Dragging onto B: during the capture only A hears enter and leave, and the moves still go
  // to A, in A's coordinates. B and the form are not entered.
  hl->InjectMouseMove(At(110, 20));
  EXPECT_EQ(Take(), (Log{"A:leave", "A:move@100,10"}));
  hl->InjectMouseMove(At(5, 3));  // the form's own area
  EXPECT_EQ(Take(), (Log{"A:move@-5,-7"}));
  // Outside the form altogether: nothing is under the mouse, A still gets the moves.
  hl->InjectMouseMove(At(350, 250));
  EXPECT_EQ(Take(), (Log{"A:move@340,240"}));
  EXPECT_EQ(TControl::MouseControl(), nullptr);
  // Back over A: A is entered again.
  hl->InjectMouseMove(At(30, 20));
  EXPECT_EQ(Take(), (Log{"A:enter", "A:move@20,10"}));
  hl->InjectMouseMove(At(110, 20));
  EXPECT_EQ(Take(), (Log{"A:leave", "A:move@100,10"}));

  // Releasing over B: no click for A; the capture ends and B, under the mouse, is entered at once.
  hl->InjectMouseButton(At(110, 20), 0, false);
  EXPECT_EQ(Take(), (Log{"A:up@100,10", "B:enter"}));
  EXPECT_EQ(TControl::CaptureControl(), nullptr);
  EXPECT_EQ(TControl::MouseControl(), b);

  // Press and release inside: a click, before the release event.
  hl->InjectClick(At(120, 30));
  EXPECT_EQ(Take(), (Log{"B:move@20,20", "B:down@20,20", "B:click", "B:up@20,20"}));

  // A quick second click is another click for a control that takes no double clicks; a form
  // that takes them sees one.
  hl->InjectClick(At(120, 30));
  EXPECT_EQ(std::count(log.begin(), log.end(), "B:click"), 1);
  int formDouble = 0;
  form->OnDblClick = TNotifyEvent([&](TPersistent*) { ++formDouble; });
  hl->InjectClick(At(250, 150));
  hl->InjectClick(At(250, 150));
  EXPECT_EQ(formDouble, 1);
  Take();

  // Freeing the control that holds the capture drops it.
  hl->InjectMouseButton(At(120, 30), 0, true);
  TComponent::Free(b);
  b = nullptr;
  EXPECT_EQ(TControl::CaptureControl(), nullptr);
  hl->InjectMouseButton(At(120, 30), 0, false);
}

TEST_F(ControlsTest, KeysFocusDialogCharsAndPostedMessages) {
  Log keys;
  form->OnEnter = TNotifyEvent([&](TPersistent*) { keys.push_back("enter"); });
  form->OnExit = TNotifyEvent([&](TPersistent*) { keys.push_back("exit"); });
  form->OnKeyDown =
      TKeyEvent([&](TPersistent*, std::uint16_t& k, TShiftState) { keys.push_back("down" + std::to_string(k)); });
  form->OnKeyPress = TKeyPressEvent([&](TPersistent*, char& c) { keys.push_back(std::string("char") + c); });
  form->SetFocus();
  EXPECT_TRUE(form->Focused());
  hl->InjectKey('Q', true);
  hl->InjectChar('q');
  hl->InjectKey('Q', false);
  EXPECT_EQ(keys, (Log{"enter", "down81", "charq"}));

  // Alt + character: offered to the controls, taken by the one with that accelerator.
  b->accel = 'x';
  hl->InjectKey(plat::kVkMenu, true);
  hl->InjectChar('x');
  hl->InjectKey(plat::kVkMenu, false);
  EXPECT_EQ(Take(), (Log{"B:accel"}));

  // A posted message arrives through the window procedure, after everything sent before it.
  ASSERT_EQ(hl->PostMessage(form->Handle(), 1985, 0x1234, 0), plat::Status::Ok);
  EXPECT_TRUE(form->attached.empty());
  hl->Pump();
  EXPECT_EQ(form->attached, (std::vector<std::uintptr_t>{0x1234}));

  hl->SetFocus(nullptr);
  EXPECT_EQ(keys.back(), "exit");
}

TEST_F(ControlsTest, HandlerErrorsGoToTheApplicationNotThePlatform) {
  Application().ResetErrors();
  a->OnClick = TNotifyEvent([](TPersistent*) { throw std::runtime_error("handler failed"); });
  hl->InjectClick(At(20, 20));
  EXPECT_EQ(Application().ErrorCount(), 1u);
  EXPECT_EQ(Application().LastError(), "handler failed");
  EXPECT_EQ(hl->EscapedExceptions(), 0u);
  Application().ResetErrors();
}

TEST_F(ControlsTest, StatusBarShowsItsPanels) {
  auto* bar = new TStatusBar(form);
  bar->SetBounds(0, 180, 300, 20);
  bar->Panels().AddPanel()->SetWidth(40);
  bar->Panels().AddPanel()->SetText("Info");
  bar->SetParent(form);
  ASSERT_TRUE(bar->HandleAllocated());
  EXPECT_EQ(bar->ShownText(1), "Info");
  bar->Panels().Panel(0)->SetText("80");
  EXPECT_EQ(bar->ShownText(0), "80");
  hl->Pump();
  EXPECT_NE(Pixel(150, 190), ColorToRGB(RGBColor(0, 0, 255)));  // the bar covers the form there
}

TEST_F(ControlsTest, MovingTheFormToAnotherHostWindowKeepsItAlive) {
  plat::WindowHandle other = nullptr;
  ASSERT_EQ(hl->CreateHostWindow({600, 50, 1000, 350}, 0, &other), plat::Status::Ok);
  plat::WindowHandle h = form->WindowHandle();
  form->SetParentWindow(other);
  EXPECT_EQ(form->WindowHandle(), h);
  plat::WindowHandle parent = nullptr;
  hl->GetParent(h, &parent);
  EXPECT_EQ(parent, other);
  EXPECT_EQ(FindControl(h), form);
  EXPECT_EQ(FindControl(hl->WindowFromPoint({100 + 20, 50 + 20})), nullptr);  // the host's, not ours
  EXPECT_EQ(FindControl(hl->WindowFromPoint({600 + 20, 50 + 20})), form);
  // Detaching destroys the window; the form stays usable.
  form->SetParentWindow(nullptr);
  EXPECT_FALSE(form->HandleAllocated());
  EXPECT_FALSE(hl->IsWindow(h));
  EXPECT_EQ(FindControl(h), nullptr);
}

TEST_F(ControlsTest, TabMovesTheFocusThroughTheTabOrder) {
  auto make = [&](const char* name, int left, bool tabStop) {
    auto* p = new TPanel(form);
    p->SetName(name);
    p->SetBounds(left, 100, 30, 30);
    p->SetTabStop(tabStop);
    p->SetParent(form);
    return p;
  };
  TPanel* p1 = make("P1", 10, true);
  TPanel* p2 = make("P2", 50, true);
  TPanel* p3 = make("P3", 90, false);  // not a tab stop
  TPanel* p4 = make("P4", 130, true);
  auto* inner = new TPanel(form);
  inner->SetTabStop(true);
  inner->SetParent(p2);  // nested: comes right after its parent
  p4->SetEnabled(false);
  EXPECT_EQ(p3->TabOrder(), 2);

  auto tab = [&](bool shift) {
    if (shift) hl->InjectKey(plat::kVkShift, true);
    hl->InjectKey(plat::kVkTab, true);
    hl->InjectKey(plat::kVkTab, false);
    if (shift) hl->InjectKey(plat::kVkShift, false);
    return hl->GetFocus();
  };
  p1->SetFocus();
  EXPECT_EQ(tab(false), p2->WindowHandle());
  EXPECT_EQ(tab(false), inner->WindowHandle());
  EXPECT_EQ(tab(false), p1->WindowHandle());  // P3 is no stop, P4 disabled: wraps around
  EXPECT_EQ(tab(true), inner->WindowHandle());

  // With key preview the form sees its controls' keys first and may take them.
  Log seen;
  p2->OnKeyDown =
      TKeyEvent([&](TPersistent*, std::uint16_t& k, TShiftState) { seen.push_back("p2 " + std::to_string(k)); });
  form->OnKeyDown = TKeyEvent([&](TPersistent*, std::uint16_t& k, TShiftState) {
    seen.push_back("form " + std::to_string(k));
    if (k == 'Z') k = 0;
  });
  p2->SetFocus();
  hl->InjectKey('Y', true);
  form->SetKeyPreview(true);
  hl->InjectKey('Y', true);
  hl->InjectKey('Z', true);
  EXPECT_EQ(seen, (Log{"p2 89", "form 89", "p2 89", "form 90"}));

  // A new order takes effect at once.
  p1->SetTabOrder(3);
  EXPECT_EQ(p1->TabOrder(), 3);
  EXPECT_EQ(p2->TabOrder(), 0);
  p2->SetFocus();
  EXPECT_EQ(tab(true), p1->WindowHandle());
}

namespace {
// A control that wants a fixed size when sizing itself.
class TSelfSizing : public TControl {
 public:
  using TControl::TControl;
  bool CanAutoSize(int& w, int& h) override {
    if (!wanted) return false;
    w = 41;
    h = 31;
    return true;
  }
  bool wanted = true;
};
}  // namespace

TEST_F(ControlsTest, AutoSizeAndConstraintsShapeEverySetBounds) {
  auto* c = new TSelfSizing(form);
  c->SetBounds(5, 5, 10, 10);
  EXPECT_EQ(c->Width(), 10);
  c->SetAutoSize(true);  // takes its wanted size at once
  EXPECT_EQ(c->BoundsRect(), plat::Rect::FromSize(5, 5, 41, 31));
  c->SetBounds(7, 8, 100, 100);  // a move keeps the wanted size
  EXPECT_EQ(c->BoundsRect(), plat::Rect::FromSize(7, 8, 41, 31));
  c->wanted = false;  // a refused query keeps the proposed size
  c->SetBounds(7, 8, 100, 100);
  EXPECT_EQ(c->Width(), 100);

  // Constraints clamp both ways, the minimum winning; changing them re-applies them.
  c->SetAutoSize(false);
  c->Constraints().SetMaxWidth(60);
  EXPECT_EQ(c->Width(), 60);
  c->Constraints().SetMinHeight(120);
  EXPECT_EQ(c->Height(), 120);
  c->Constraints().SetMinWidth(70);
  c->SetBounds(0, 0, 1, 1);
  EXPECT_EQ(c->Width(), 70);
  EXPECT_EQ(c->Height(), 120);
  c->Constraints().SetMinWidth(-5);  // negatives mean no limit
  EXPECT_EQ(c->Constraints().MinWidth(), 0);
}
