// The editor of an effect, end to end: a host window, the effect's dispatcher with the editor
// opcodes, a form read from its description, the effect-attach message, a timer on the virtual
// clock, a click routed to the right control, and the host's screen as a picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless/Headless.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/Form.h"
#include "ui/FormClass.h"
#include "ui/Panel.h"
#include "ui/StatusBar.h"
#include "ui/TypeInfo.h"
#include "vst/DVstTemplate.h"
#include "vst/DVstTemplateEditor.h"

namespace {

// A windowless push area painted in its colour with its caption.
class TTestPad : public TControl {
 public:
  explicit TTestPad(TComponent* owner) : TControl(owner) { SetBounds(0, 0, 40, 20); }
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TTestPad>("TTestPad", &TControl::StaticClass()).Component().Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void Paint(plat::DrawContext& ctx) override {
    ctx.FillRect({0, 0, Width(), Height()}, ColorToRGB(Color()));
    plat::Rect r{0, 0, Width(), Height()};
    ctx.SetFont(Font().PlatformFont());
    ctx.SetTextColor(ColorToRGB(Font().Color()));
    ctx.DrawText(Caption(), &r, plat::kTextCenter | plat::kTextVCenter | plat::kTextSingleLine);
  }
};

const char* kTestFormText = R"(object TestEditor: TTestEditor
  Left = 0
  Top = 0
  BorderStyle = bsNone
  ClientWidth = 240
  ClientHeight = 120
  Color = $00302010
  Font.Color = clWhite
  Font.Height = 11
  Font.Name = 'Tahoma'
  OnCreate = FormCreate
  object Pad1: TTestPad
    Left = 10
    Top = 10
    Width = 100
    Height = 40
    Caption = 'Louder'
    Color = $000000C0
    OnClick = PadClick
  end
  object Pad2: TTestPad
    Left = 120
    Top = 10
    Width = 100
    Height = 40
    Caption = 'Softer'
    Color = $0000C000
    OnClick = PadClick
  end
  object Infos: TStatusBar
    Left = 0
    Top = 100
    Width = 240
    Height = 20
    Panels = <
      item
        Width = 60
      end
      item
        Text = 'Info'
        Width = 200
      end>
  end
end
)";

struct Trace {
  std::vector<std::string> events;
  int forms = 0;
};
Trace* gTrace = nullptr;

class TTestEditor : public TForm {
 public:
  explicit TTestEditor(TComponent* owner) : TForm(owner) {
    RegisterClass(TTestPad::StaticClass());
    InitFromDescription(kTestFormText);
    ++gTrace->forms;
  }
  ~TTestEditor() override {
    if (WindowHandle()) plat::Platform().KillTimer(WindowHandle(), 7);
    --gTrace->forms;
  }
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TTestEditor>("TTestEditor", &TForm::StaticClass())
                                       .Method("FormCreate", &TTestEditor::FormCreate)
                                       .Method("PadClick", &TTestEditor::PadClick)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void FormCreate(TPersistent*) { gTrace->events.push_back("create"); }
  void PadClick(TPersistent* sender) {
    auto* pad = static_cast<TControl*>(sender);
    gTrace->events.push_back("click " + pad->Name());
    if (effect) effect->setParameterAutomated(0, pad->Name() == "Pad1" ? 1.0f : 0.0f);
    static_cast<TStatusBar*>(FindComponent("Infos"))->Panels().Panel(0)->SetText(pad->Caption());
  }
  void WndProc(TMessage& m) override {
    if (m.msg == kMsgEffectAttach) {
      effect = reinterpret_cast<TVstTemplate*>(m.wParam);
      gTrace->events.push_back("attach");
      return;
    }
    if (m.msg == plat::kMsgTimer && m.wParam == 7) {
      // The refresh of a real editor: it needs the effect.
      gTrace->events.push_back(effect ? "tick" : "tick without effect");
      if (effect && effect->isChanged()) effect->clearChanged();
      return;
    }
    TForm::WndProc(m);
  }

 protected:
  void CreateHandle() override {
    TForm::CreateHandle();
    if (WindowHandle()) plat::Platform().SetTimer(WindowHandle(), 7, 15);
  }

 private:
  TVstTemplate* effect = nullptr;
};

const TFormClassInfo kTestEditorClass{"TTestEditor", 240, 120, &CreateFormOf<TTestEditor>};

TVstTemplateIdentity Identity() {
  TVstTemplateIdentity id;
  id.uniqueIdString = "KTed";
  id.effectName = "EditorTest";
  return id;
}

class TEditorEffect : public TVstTemplate {
 public:
  TEditorEffect() : TVstTemplate(nullptr, 1, 1, &kTestEditorClass, Identity()) { initialize(); }
};

class EditorHosting : public ::testing::Test {
 protected:
  void SetUp() override {
    gTrace = &trace;
    hl = &plat::headless::InstallHeadless();
    ASSERT_EQ(hl->CreateHostWindow({50, 40, 350, 240}, plat::MakeColor(90, 90, 90), &host), plat::Status::Ok);
    effect = new TEditorEffect();
    ae = effect->getAeffect();
  }
  void TearDown() override {
    if (ae) Dispatch(effClose);
    EXPECT_EQ(trace.forms, 0);
    plat::InstallBackend(nullptr);
    gTrace = nullptr;
  }
  VstIntPtr Dispatch(VstInt32 op, void* ptr = nullptr) { return ae->dispatcher(ae, op, 0, 0, ptr, 0); }
  ERect Rect() {
    ERect* r = nullptr;
    EXPECT_EQ(Dispatch(effEditGetRect, &r), 1);
    return r ? *r : ERect{-1, -1, -1, -1};
  }
  TVstTemplateEditor* Editor() { return static_cast<TVstTemplateEditor*>(effect->getEditor()); }
  plat::Color Pixel(int x, int y) {
    plat::Color c = 0;
    EXPECT_EQ(hl->ScreenPixel(host, {x, y}, &c), plat::Status::Ok);
    return c;
  }

  Trace trace;
  plat::headless::HeadlessBackend* hl = nullptr;
  plat::WindowHandle host = nullptr;
  TEditorEffect* effect = nullptr;
  AEffect* ae = nullptr;
};

}  // namespace

TEST_F(EditorHosting, OpenAttachTickClickAndPicture) {
  // Before the first open the host learns the designed size.
  ERect r = Rect();
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 240);
  EXPECT_EQ(r.bottom, 120);

  ASSERT_EQ(Dispatch(effEditOpen, host), 1);
  TForm* form = Editor()->getForm();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(trace.events, (std::vector<std::string>{"create"}));
  plat::WindowHandle parent = nullptr;
  hl->GetParent(form->WindowHandle(), &parent);
  EXPECT_EQ(parent, host);
  EXPECT_EQ(form->Left(), 0);
  EXPECT_EQ(form->Top(), 0);
  r = Rect();
  EXPECT_EQ(r.right, 240);
  EXPECT_EQ(r.bottom, 120);

  // The host's loop runs: the attach message comes before any tick.
  hl->Advance(50);
  ASSERT_GE(trace.events.size(), 3u);
  EXPECT_EQ(trace.events[1], "attach");
  EXPECT_EQ(trace.events[2], "tick");
  EXPECT_EQ(std::count(trace.events.begin(), trace.events.end(), "tick without effect"), 0);
  EXPECT_EQ(std::count(trace.events.begin(), trace.events.end(), "attach"), 1);
  EXPECT_FALSE(effect->isChanged());  // the tick saw and cleared it

  // A click at a screen position reaches the control drawn there.
  trace.events.clear();
  hl->InjectClick({50 + 150, 40 + 30});
  EXPECT_EQ(trace.events, (std::vector<std::string>{"click Pad2"}));
  EXPECT_EQ(effect->getParameter(0), 0.0f);
  hl->InjectClick({50 + 30, 40 + 30});
  EXPECT_EQ(effect->getParameter(0), 1.0f);
  EXPECT_TRUE(effect->isChanged());
  hl->Advance(20);

  // The pixels: background, the two pads, the status bar, and the host around the form.
  EXPECT_EQ(Pixel(5, 5), plat::MakeColor(0x10, 0x20, 0x30));
  EXPECT_EQ(Pixel(12, 12), plat::MakeColor(0xC0, 0, 0));
  EXPECT_EQ(Pixel(122, 12), plat::MakeColor(0, 0xC0, 0));
  EXPECT_EQ(Pixel(260, 60), plat::MakeColor(90, 90, 90));
  // Text was drawn in white inside Pad1 (light pixels on its red), and nowhere on its edge.
  int light = 0;
  for (int y = 10; y < 50; ++y)
    for (int x = 10; x < 110; ++x) {
      plat::Color c = Pixel(x, y);
      light += plat::ColorRed(c) > 220 && plat::ColorGreen(c) > 160 && plat::ColorBlue(c) > 160;
    }
  EXPECT_GT(light, 20);
  EXPECT_EQ(Pixel(11, 48), plat::MakeColor(0xC0, 0, 0));
  const char* dir = std::getenv("KESTRUNE_TEST_OUT");
  std::string png = (dir ? std::string(dir) + "/" : ::testing::TempDir()) + "editor_hosting.png";
  EXPECT_EQ(hl->SaveScreenPng(host, png), plat::Status::Ok);

  Dispatch(effEditClose);
  EXPECT_EQ(Editor()->getForm(), nullptr);
  EXPECT_EQ(trace.forms, 0);
  // After the last close the host still gets the last size.
  r = Rect();
  EXPECT_EQ(r.right, 240);
}

TEST_F(EditorHosting, OpenCountsAndCloses) {
  ASSERT_EQ(Dispatch(effEditOpen, host), 1);
  ASSERT_EQ(Dispatch(effEditOpen, host), 1);
  EXPECT_EQ(Editor()->getOpenCount(), 2);
  EXPECT_EQ(trace.forms, 1);
  hl->Pump();
  EXPECT_EQ(std::count(trace.events.begin(), trace.events.end(), "attach"), 1);  // one per form

  Dispatch(effEditClose);
  EXPECT_NE(Editor()->getForm(), nullptr);
  Dispatch(effEditClose);
  EXPECT_EQ(Editor()->getForm(), nullptr);
  Dispatch(effEditClose);  // unmatched: nothing to destroy
  EXPECT_EQ(Editor()->getOpenCount(), 0);
  EXPECT_EQ(trace.forms, 0);

  // Idle reaches the effect's handler with the form, and only while a form exists.
  std::vector<TForm*> idled;
  effect->OnEditorIdle =
      TVstEvent<TForm*>{[](void* r, TForm* f) { static_cast<std::vector<TForm*>*>(r)->push_back(f); }, &idled};
  Dispatch(effEditIdle);
  EXPECT_TRUE(idled.empty());
  // Key opcodes while open: not taken.
  ASSERT_EQ(Dispatch(effEditOpen, host), 1);
  EXPECT_EQ(ae->dispatcher(ae, effEditKeyDown, 'a', 0, nullptr, 0), -1);
  Dispatch(effEditIdle);
  EXPECT_EQ(idled, (std::vector<TForm*>{Editor()->getForm()}));
  Dispatch(effEditClose);
  effect->OnEditorIdle = {};
}

TEST_F(EditorHosting, OpenInAnotherWindowMovesTheForm) {
  plat::WindowHandle other = nullptr;
  ASSERT_EQ(hl->CreateHostWindow({400, 40, 700, 240}, 0, &other), plat::Status::Ok);
  ASSERT_EQ(Dispatch(effEditOpen, host), 1);
  TForm* form = Editor()->getForm();
  ASSERT_EQ(Dispatch(effEditOpen, other), 1);
  EXPECT_EQ(Editor()->getForm(), form);
  plat::WindowHandle parent = nullptr;
  hl->GetParent(form->WindowHandle(), &parent);
  EXPECT_EQ(parent, other);
  EXPECT_EQ(Editor()->getParentWindow(), other);
  hl->Pump();
  EXPECT_EQ(Pixel(5, 5), plat::MakeColor(90, 90, 90));  // the first window no longer shows it
}

TEST_F(EditorHosting, AnOpenWithoutAWindowCountsNothing) {
  EXPECT_EQ(Dispatch(effEditOpen, nullptr), 0);
  EXPECT_EQ(Editor()->getOpenCount(), 0);
  Dispatch(effEditClose);
  EXPECT_EQ(Editor()->getOpenCount(), 0);
  EXPECT_EQ(trace.forms, 0);
}

TEST_F(EditorHosting, ClosingTheEffectWithTheEditorOpenDestroysTheForm) {
  ASSERT_EQ(Dispatch(effEditOpen, host), 1);
  ASSERT_EQ(Dispatch(effEditOpen, host), 1);
  hl->Advance(30);
  size_t windows = hl->WindowCount();
  Dispatch(effClose);
  ae = nullptr;
  EXPECT_EQ(trace.forms, 0);
  EXPECT_LT(hl->WindowCount(), windows);
  EXPECT_EQ(hl->RunningTimerCount(), 0u);
  hl->Advance(100);  // no tick reaches a dead form
}

TEST_F(EditorHosting, AHostThatDestroysItsWindowBeforeClosingIsSurvived) {
  ASSERT_EQ(Dispatch(effEditOpen, host), 1);
  hl->Advance(20);
  ASSERT_EQ(hl->DestroyWindow(host), plat::Status::Ok);
  EXPECT_FALSE(Editor()->getForm()->HandleAllocated());
  hl->Advance(50);

  // Opened again in a new window without a close in between: the form moves there, whole.
  plat::WindowHandle second = nullptr;
  ASSERT_EQ(hl->CreateHostWindow({50, 40, 350, 240}, plat::MakeColor(90, 90, 90), &second), plat::Status::Ok);
  host = second;
  ASSERT_EQ(Dispatch(effEditOpen, second), 1);
  EXPECT_TRUE(Editor()->getForm()->HandleAllocated());
  hl->Pump();
  EXPECT_EQ(Pixel(12, 12), plat::MakeColor(0xC0, 0, 0));
  EXPECT_NE(Pixel(100, 110), plat::MakeColor(0x10, 0x20, 0x30));  // the status bar came back too
  Dispatch(effEditClose);
  Dispatch(effEditClose);
  EXPECT_EQ(trace.forms, 0);
}

// Our vendor requests, as a host that links nothing of ours uses them: its own window, the editor
// in it, a control located, clicked and the clock advanced, the pixels read back; bad records
// and other effects' requests get 0.
TEST_F(EditorHosting, HeadlessRequestsDriveTheEditorFromOutside) {
  auto ask = [&](VstIntPtr request, void* record) {
    return ae->dispatcher(ae, effVendorSpecific, kKestruneRequest, request, record, 0);
  };
  EXPECT_EQ(ask(kRequestProbe, nullptr), 1);
  KestruneHostWindow w{100, 60, 240, 120, nullptr};
  ASSERT_EQ(ask(kRequestCreateHostWindow, &w), 1);
  ASSERT_NE(w.window, nullptr);
  KestruneControl missing{"Pad1", 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ask(kRequestLocateControl, &missing), 0);  // no editor open yet
  ASSERT_EQ(Dispatch(effEditOpen, w.window), 1);
  KestruneAdvance wait{20};
  ASSERT_EQ(ask(kRequestAdvance, &wait), 1);
  EXPECT_EQ(trace.events[1], "attach");

  KestruneControl pad{"pad2", 0, 0, 0, 0, 0, 0};  // names match without regard to case
  ASSERT_EQ(ask(kRequestLocateControl, &pad), 1);
  EXPECT_EQ(pad.left, 100 + 120);
  EXPECT_EQ(pad.top, 60 + 10);
  EXPECT_EQ(pad.width, 100);
  EXPECT_EQ(pad.height, 40);
  EXPECT_EQ(pad.grabX, 100 + 170);  // the centre: this form names no better place
  EXPECT_EQ(pad.grabY, 60 + 30);
  trace.events.clear();
  KestruneMouse down{pad.grabX, pad.grabY, kMouseDown, 0}, up{pad.grabX, pad.grabY, kMouseUp, 0};
  ASSERT_EQ(ask(kRequestMouse, &down), 1);
  ASSERT_EQ(ask(kRequestMouse, &up), 1);
  EXPECT_EQ(trace.events, (std::vector<std::string>{"click Pad2"}));

  std::vector<unsigned char> pixels(240 * 120 * 4);
  KestrunePixels read{w.window, 240, 120, pixels.data()};
  ASSERT_EQ(ask(kRequestReadPixels, &read), 1);
  const unsigned char* pad1 = &pixels[(12 * 240 + 12) * 4];  // red, green, blue, 255 from the top
  EXPECT_EQ(std::vector<int>(pad1, pad1 + 4), (std::vector<int>{0xC0, 0, 0, 255}));
  const unsigned char* pad2 = &pixels[(45 * 240 + 215) * 4];
  EXPECT_EQ(std::vector<int>(pad2, pad2 + 4), (std::vector<int>{0, 0xC0, 0, 255}));

  // Records that do not fit are refused, and nothing is drawn on their behalf.
  KestrunePixels wrongSize{w.window, 200, 120, pixels.data()};
  EXPECT_EQ(ask(kRequestReadPixels, &wrongSize), 0);
  KestrunePixels noBuffer{w.window, 240, 120, nullptr};
  EXPECT_EQ(ask(kRequestReadPixels, &noBuffer), 0);
  KestruneHostWindow huge{0, 0, 5000, 10, nullptr};
  EXPECT_EQ(ask(kRequestCreateHostWindow, &huge), 0);
  KestruneMouse badButton{1, 1, kMouseDown, 7}, badAction{1, 1, 9, 0};
  EXPECT_EQ(ask(kRequestMouse, &badButton), 0);
  EXPECT_EQ(ask(kRequestMouse, &badAction), 0);
  KestruneAdvance backwards{-1};
  EXPECT_EQ(ask(kRequestAdvance, &backwards), 0);
  EXPECT_EQ(ask(kRequestAdvance, nullptr), 0);
  EXPECT_EQ(ask(99, &wait), 0);
  EXPECT_EQ(ae->dispatcher(ae, effVendorSpecific, kKestruneRequest + 1, kRequestAdvance, &wait, 0), 0);

  // Only host windows are destroyed on request, not the editor's own windows nor a stranger.
  auto* bar = static_cast<TWinControl*>(Editor()->getForm()->FindComponent("Infos"));
  for (void* notOurs : {Editor()->getForm()->WindowHandle(), bar->WindowHandle(), static_cast<void*>(this)})
    EXPECT_EQ(ask(kRequestDestroyHostWindow, notOurs), 0) << notOurs;
  EXPECT_TRUE(bar->HandleAllocated());

  Dispatch(effEditClose);
  EXPECT_EQ(ask(kRequestLocateControl, &pad), 0);
  EXPECT_EQ(ask(kRequestDestroyHostWindow, w.window), 1);
  EXPECT_EQ(ask(kRequestDestroyHostWindow, w.window), 0);
}

// A host handle given to effEditOpen costs nothing once the editor closed: a thousand
// distinct foreign parents leave as many windows (and so screens) as there were before.
TEST_F(EditorHosting, AThousandForeignParentsLeaveNoWindowBehind) {
  const size_t windows = hl->WindowCount();
  for (uintptr_t i = 0; i < 1000; ++i) {
    ASSERT_EQ(Dispatch(effEditOpen, reinterpret_cast<void*>(0x10000 + 16 * i)), 1) << i;
    if (i % 100 == 0) hl->Advance(20);  // painted and ticked now and then
    Dispatch(effEditClose);
    ASSERT_EQ(hl->WindowCount(), windows) << i;
  }
  EXPECT_EQ(trace.forms, 0);
}
