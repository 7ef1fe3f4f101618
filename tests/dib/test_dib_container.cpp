// The container and the control base end to end on the headless platform: a form read from a
// description, composed into the container's buffer and the host screen; mouse, keys and timers
// injected through the platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DIB/Source/cDIBBorder.h"
#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBPalette.h"
#include "DIB/Source/cDIBPanel.h"
#include "tests/dib/DIBFixture.h"
#include "ui/ClassRegistry.h"
#include "ui/Panel.h"
#include "ui/TypeInfo.h"

namespace {

using dibtest::Rgb;

// A static image that logs its highlight transitions and mouse events.
class TProbeImage : public TDIBImage {
 public:
  using TDIBImage::TDIBImage;
  static const TClassInfo& StaticClass() {
    static const TClassInfo info =
        TClassBuilder<TProbeImage>("TProbeImage", &TDIBImage::StaticClass()).Component().Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void HighlightOn() override { log->push_back(Name() + ":on"); }
  void HighlightOff() override { log->push_back(Name() + ":off"); }
  void WndProc(TMessage& m) override {
    if (m.msg == plat::kMsgSetCursor && takesCursor) {
      m.result = 1;
      log->push_back(Name() + ":cursor");
      return;
    }
    TDIBImage::WndProc(m);
  }
  void AdjustPaintRect(plat::Rect& rect) override { rect = plat::Bounding(rect, growTo); }
  bool takesCursor = false;
  plat::Rect growTo;
  static inline std::vector<std::string>* log = nullptr;
};

plat::Color Background(int x, int y) { return Rgb(x * 2, y * 4, 90); }
plat::Color Chip(int x, int y) { return Rgb(200, 10 + x, 30 + y); }
plat::Color MiddleRow(int row) { return Rgb(0, 20 * row, 250); }
constexpr plat::Color kEdgeTop = Rgb(250, 0, 0), kEdgeBottom = Rgb(0, 250, 0);
constexpr plat::Color kContainerColor = Rgb(0x30, 0x20, 0x10);

// The blend of a control at opacity o over what lies below it, per colour byte.
plat::Color Blend(plat::Color over, plat::Color under, int o) {
  auto mix = [o](int a, int b) { return (o * a + (255 - o) * b + 255) >> 8; };
  return Rgb(mix(dibtest::RedOf(over), dibtest::RedOf(under)), mix(dibtest::GreenOf(over), dibtest::GreenOf(under)),
             mix(dibtest::BlueOf(over), dibtest::BlueOf(under)));
}

class ContainerTest : public dibtest::DIBFixture {
 protected:
  void SetUp() override {
    DIBFixture::SetUp();
    RegisterClass(TProbeImage::StaticClass());
    TProbeImage::log = &log;
  }
  void TearDown() override {
    DIBFixture::TearDown();
    TProbeImage::log = nullptr;
  }

  // A 120 x 30 container at (10, 5) of the form: a background image sized by its 121 x 31 picture,
  // a chip at opacity 128, a chip half outside on the left, and a left border edge whose 10-pixel
  // middle picture tiles over 25 pixels.
  void LoadEditorLike(const std::string& borderPosition = "bdOverControls") {
    const std::string text =
        "object F: TForm\n ClientWidth = 300\n ClientHeight = 200\n"
        "object Images: TDIBImageList\n DIBImages = <\n" +
        dibtest::PictureItem(121, 31, Background) + dibtest::PictureItem(20, 10, Chip) +
        dibtest::PictureItem(4, 3, [](int, int) { return kEdgeTop; }) +
        dibtest::PictureItem(4, 10, [](int, int y) { return MiddleRow(y); }) +
        dibtest::PictureItem(4, 2, [](int, int) { return kEdgeBottom; }) +
        ">\nend\n"
        "object Border: TDIBBorder\n DIBImageList = Images\n BorderLeft.ImageTop.DIBIndex = 2\n"
        " BorderLeft.ImageMiddle.DIBIndex = 3\n BorderLeft.ImageBottom.DIBIndex = 4\nend\n"
        "object C: TDIBContainer\n Left = 10\n Top = 5\n Width = 120\n Height = 30\n Color = $00102030\n"
        " DIBBorder = Border\n BorderDrawPosition = " +
        borderPosition +
        "\n"
        " object Back: TProbeImage\n DIBImageList = Images\n IndexMain.DIBIndex = 0\n AutoSize = True\n end\n"
        " object Half: TProbeImage\n Left = 30\n Top = 10\n Width = 20\n Height = 10\n Opacity = 128\n"
        "  DIBImageList = Images\n IndexMain.DIBIndex = 1\n DIBTabOrder = 0\n end\n"
        " object Edge: TProbeImage\n Left = -5\n Top = 15\n Width = 20\n Height = 10\n"
        "  DIBImageList = Images\n IndexMain.DIBIndex = 1\n DIBTabOrder = 1\n end\n"
        "end\nend\n";
    LoadForm(text);
    container = Find<TDIBContainer>("C");
    back = Find<TProbeImage>("Back");
    half = Find<TProbeImage>("Half");
    edge = Find<TProbeImage>("Edge");
  }

  // A 300 x 200 form holding a 200 x 100 container C of `inside`, then `after`.
  TDIBContainer* LoadContainer(const std::string& inside, const std::string& after = "") {
    LoadForm(
        "object F: TForm\n ClientWidth = 300\n ClientHeight = 200\n"
        "object C: TDIBContainer\n Width = 200\n Height = 100\n" +
        inside + "end\n" + after + "end\n");
    return Find<TDIBContainer>("C");
  }

  // The composition of LoadEditorLike at container pixel (x, y), written out plainly.
  static plat::Color Expected(int x, int y, bool borderOver = true) {
    plat::Color c = kContainerColor;
    auto border = [&] {
      if (x < 4) {
        if (y < 3)
          c = kEdgeTop;
        else if (y >= 28)
          c = kEdgeBottom;
        else
          c = MiddleRow((y - 3) % 10);
      }
    };
    if (!borderOver) border();
    if (x < 120 && y < 30) c = Background(x, y);
    if (x >= 30 && x < 50 && y >= 10 && y < 20) c = Blend(Chip(x - 30, y - 10), c, 128);
    if (x < 15 && y >= 15 && y < 25) c = Chip(x + 5, y - 15);
    if (borderOver) border();
    return c;
  }

  TDIBContainer* container = nullptr;
  TProbeImage *back = nullptr, *half = nullptr, *edge = nullptr;
  std::vector<std::string> log;
};

}  // namespace

TEST_F(ContainerTest, ComposesBackgroundChildrenAndBorderOntoTheScreen) {
  LoadEditorLike();
  ASSERT_TRUE(container->HandleAllocated());
  EXPECT_EQ(back->Width(), 120);  // a 121 x 31 picture auto-sizes to even bounds
  EXPECT_EQ(back->Height(), 30);
  EXPECT_EQ(Application().ErrorCount(), 0u) << Application().LastError();
  int wrong = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const plat::Color want = Expected(x, y);
      if (ScreenPixel(10 + x, 5 + y) != want || ImagePixel(container->BufferDIB(), x, y) != want) {
        if (++wrong < 5) ADD_FAILURE() << "pixel " << x << "," << y;
      }
    }
  EXPECT_EQ(wrong, 0);
  // The tile of 10 over 25: copies at rows 3, 13 and 23, the last cut to 5 rows.
  EXPECT_EQ(ScreenPixel(10 + 1, 5 + 27), MiddleRow(4));
  EXPECT_EQ(ScreenPixel(10 + 1, 5 + 28), kEdgeBottom);
  // Outside the container the form shows.
  EXPECT_EQ(ScreenPixel(5, 5), ColorToRGB(form->Color()));
}

TEST_F(ContainerTest, BorderUnderControlsLiesBelowTheChildren) {
  LoadEditorLike("bdUnderControls");
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(ScreenPixel(10 + x, 5 + y), Expected(x, y, false)) << x << "," << y;
  // Switching back draws it over them again.
  container->SetBorderDrawPosition(bdOverControls);
  Pump();
  EXPECT_EQ(ScreenPixel(10 + 1, 5 + 16), Expected(1, 16, true));
}

TEST_F(ContainerTest, InvalidatingOneChildRepaintsOnlyItsArea) {
  LoadEditorLike();
  // Marks in the buffer: one well away from the chip, one just inside its area.
  TWinDIB& buffer = container->BufferDIB();
  buffer.ScanLine(2)[100 * 4] = 7;
  buffer.ScanLine(12)[35 * 4] = 7;
  half->SetOpacity(255);  // repaints the chip's area only
  Pump();
  EXPECT_EQ(buffer.ScanLine(2)[100 * 4], 7);  // untouched
  EXPECT_EQ(ImagePixel(buffer, 35, 12), Chip(5, 2));
  EXPECT_EQ(ScreenPixel(10 + 35, 5 + 12), Chip(5, 2));
  EXPECT_EQ(ScreenPixel(10 + 100, 5 + 2), Expected(100, 2));
}

TEST_F(ContainerTest, OpacityMovesAndTheLastChangeTime) {
  LoadEditorLike();
  Advance(100);
  const std::uint32_t before = half->LastChangeTime();
  half->SetOpacity(128);  // unchanged: nothing to repaint
  plat::Rect pending;
  ASSERT_EQ(hl->GetUpdateRect(container->WindowHandle(), &pending), plat::Status::Ok);
  EXPECT_TRUE(pending.IsEmpty());
  EXPECT_EQ(half->LastChangeTime(), before);

  // A pure move repaints but is no change of the control's look; a resize is.
  half->SetBounds(60, 10, 20, 10);
  EXPECT_EQ(half->LastChangeTime(), before);
  Pump();
  EXPECT_EQ(ScreenPixel(10 + 65, 5 + 12), Blend(Chip(5, 2), Background(65, 12), 128));
  EXPECT_EQ(ScreenPixel(10 + 35, 5 + 12), Background(35, 12));
  half->SetBounds(60, 10, 22, 10);
  EXPECT_EQ(half->LastChangeTime(), plat::Platform().TickCount());
  EXPECT_NE(half->LastChangeTime(), before);
}

TEST_F(ContainerTest, ChildrenMoveWithTheirControl) {
  LoadEditorLike();
  auto* item = static_cast<TControlItem*>(back->Children()->Add());
  item->SetControl(half);
  EXPECT_EQ(item->DisplayName(), "Half");
  back->SetBounds(3, 4, back->Width(), back->Height());
  EXPECT_EQ(half->Left(), 33);
  EXPECT_EQ(half->Top(), 14);
  back->SetBounds(3, 4, 50, 50);  // a resize alone moves nothing
  EXPECT_EQ(half->Left(), 33);

  auto* second = static_cast<TControlItem*>(back->Children()->Add());
  try {
    second->SetControl(half);
    ADD_FAILURE() << "a control twice in the list";
  } catch (const EFeatureError& e) {
    EXPECT_STREQ(e.what(), "Control already exists in list.");
  }
  try {
    second->SetControl(nullptr);
    ADD_FAILURE() << "no control";
  } catch (const EFeatureError& e) {
    EXPECT_STREQ(e.what(), "You cannot set Control to nil");
  }
  // Freeing a held control removes its item, and only that one (the empty item stays); moving the
  // owner afterwards touches nothing freed.
  ASSERT_EQ(back->Children()->Count(), 2);
  TComponent::Free(half);
  half = nullptr;
  ASSERT_EQ(back->Children()->Count(), 1);
  EXPECT_EQ(back->Children()->Items(0), second);
  back->SetBounds(10, 4, 50, 50);
}

TEST_F(ContainerTest, OwnerAndParentMustLeadToAContainer) {
  LoadEditorLike();
  try {
    new TDIBImage(nullptr);
    ADD_FAILURE();
  } catch (const EDIBControlError& e) {
    EXPECT_STREQ(e.what(), "Owner cannot be nil");
  }
  auto* bare = new TForm(nullptr);
  try {
    new TDIBImage(bare);
    ADD_FAILURE();
  } catch (const EDIBControlError& e) {
    EXPECT_STREQ(e.what(), "Parent must be a TDIBContainer");
  }
  // A form holding a container is accepted, and as a parent it stands for its container.
  auto* image = new TDIBImage(form);
  image->SetParent(form);
  EXPECT_EQ(image->Parent(), container);
  auto* panel = new TPanel(bare);
  try {
    image->SetParent(panel);
    ADD_FAILURE();
  } catch (const EDIBControlError& e) {
    EXPECT_STREQ(e.what(), "Parent must be a TDIBContainer");
  }
  EXPECT_EQ(image->Parent(), container);
  TComponent::Free(bare);
}

TEST_F(ContainerTest, HighlightFollowsTheMouseAndADragLightsNothingElse) {
  LoadEditorLike();
  // Across the controls: each is highlighted exactly once while the mouse is over it.
  MoveTo(10 + 80, 5 + 5);   // the background image
  MoveTo(10 + 35, 5 + 12);  // the chip
  MoveTo(10 + 80, 5 + 5);
  EXPECT_EQ(log, (std::vector<std::string>{"Back:on", "Back:off", "Half:on", "Half:off", "Back:on"}));
  log.clear();

  // A drag from the background across the chip lights nothing else; releasing over the chip
  // lets the background go and enters the chip.
  Press(10 + 80, 5 + 5);
  MoveTo(10 + 35, 5 + 12);
  MoveTo(10 + 40, 5 + 14);
  EXPECT_TRUE(back->MouseIn());
  EXPECT_FALSE(back->MouseOver());
  EXPECT_EQ(log, std::vector<std::string>{});
  Release(10 + 40, 5 + 14);
  EXPECT_EQ(log, (std::vector<std::string>{"Back:off", "Half:on"}));
  EXPECT_FALSE(back->MouseIn());
  EXPECT_TRUE(half->MouseIn());
  log.clear();

  // A capture taken away without a release ends the drag's entered state too.
  MoveTo(10 + 80, 5 + 5);
  Press(10 + 80, 5 + 5);
  MoveTo(10 + 35, 5 + 12);
  EXPECT_TRUE(back->MouseIn());
  hl->ReleaseCapture();
  EXPECT_FALSE(back->MouseIn());
  EXPECT_EQ(log, (std::vector<std::string>{"Half:off", "Back:on", "Back:off"}));
  Release(10 + 35, 5 + 12);
}

TEST_F(ContainerTest, HeldButtonRepeatsEveryIntervalUntilReleaseOrStop) {
  LoadEditorLike();
  std::vector<int> downs;
  back->OnMouseDown = TMouseEvent([&](TPersistent*, TMouseButton, TShiftState, int x, int) { downs.push_back(x); });
  back->SetAutoRepeat(true);
  Press(10 + 80, 5 + 5);
  EXPECT_EQ(downs.size(), 1u);
  Advance(249);
  EXPECT_EQ(downs.size(), 1u);
  Advance(1);
  EXPECT_EQ(downs.size(), 2u);
  MoveTo(10 + 90, 5 + 5);  // the repeat carries the latest position
  Advance(250);
  ASSERT_EQ(downs.size(), 3u);
  EXPECT_EQ(downs.back(), 90);
  Release(10 + 90, 5 + 5);
  Advance(1000);
  EXPECT_EQ(downs.size(), 3u);

  // StopRepeat ends it at the next tick, without a repeat.
  Press(10 + 80, 5 + 5);
  Advance(250);
  EXPECT_EQ(downs.size(), 5u);
  back->StopRepeat();
  Advance(250);
  Advance(1000);
  EXPECT_EQ(downs.size(), 5u);
  EXPECT_FALSE(back->RepeatTimerRunning());
  Release(10 + 80, 5 + 5);
}

TEST_F(ContainerTest, TabOrderKeysAndAccelerators) {
  TDIBContainer* c = LoadContainer(
      " object A: TProbeImage\n Left = 0\n DIBTabOrder = 0\n Accelerator = 75\n end\n"
      " object B: TProbeImage\n Left = 40\n DIBTabOrder = 1\n end\n"
      " object D: TProbeImage\n Left = 80\n DIBTabOrder = 1\n end\n"
      " object E: TProbeImage\n Left = 120\n end\n");
  auto* a = Find<TProbeImage>("A");
  auto* b = Find<TProbeImage>("B");
  auto* d = Find<TProbeImage>("D");
  auto* e = Find<TProbeImage>("E");
  // Two children stored at position 1: the later one gets it, the earlier one follows it.
  EXPECT_EQ(c->DIBTabList(), (std::vector<TCustomDIBControl*>{a, d, b}));
  EXPECT_EQ(e->DIBTabOrder(), -1);
  EXPECT_TRUE(c->TabStop());

  std::vector<std::string> focus;
  for (TProbeImage* p : {a, b, d, e}) {
    p->OnEnter = TNotifyEvent([&focus, p](TPersistent*) { focus.push_back(p->Name() + ":enter"); });
    p->OnExit = TNotifyEvent([&focus, p](TPersistent*) { focus.push_back(p->Name() + ":exit"); });
  }
  // Clicking a control without a tab position takes no focus; one with a position does.
  hl->InjectClick(At(130, 10));
  EXPECT_EQ(c->ActiveControl(), nullptr);
  hl->InjectClick(At(10, 10));
  EXPECT_EQ(c->ActiveControl(), a);
  EXPECT_TRUE(a->Focused());
  EXPECT_EQ(hl->GetFocus(), c->WindowHandle());

  // Tab moves on; Tab on the last clears the active control, and the container, the form's only tab
  // stop and so keeping the platform focus, enters its first control again.
  hl->InjectKey(plat::kVkTab, true);
  hl->InjectKey(plat::kVkTab, false);
  EXPECT_EQ(c->ActiveControl(), d);
  for (int i = 0; i < 2; ++i) {
    hl->InjectKey(plat::kVkTab, true);
    hl->InjectKey(plat::kVkTab, false);
  }
  EXPECT_EQ(c->ActiveControl(), a);
  EXPECT_EQ(focus,
            (std::vector<std::string>{"A:enter", "A:exit", "D:enter", "D:exit", "B:enter", "B:exit", "A:enter"}));
  // Shift+Tab on the first comes round to the last.
  hl->InjectKey(plat::kVkShift, true);
  hl->InjectKey(plat::kVkTab, true);
  hl->InjectKey(plat::kVkTab, false);
  hl->InjectKey(plat::kVkShift, false);
  EXPECT_EQ(c->ActiveControl(), b);
  hl->InjectKey(plat::kVkShift, true);
  hl->InjectKey(plat::kVkTab, true);
  hl->InjectKey(plat::kVkShift, false);
  EXPECT_EQ(c->ActiveControl(), d);

  // Arrows and plain keys go to the active control; it does not want Tab.
  std::vector<int> keys;
  d->OnKeyDown = TKeyEvent([&](TPersistent*, std::uint16_t& key, TShiftState) { keys.push_back(key); });
  hl->InjectKey(plat::kVkLeft, true);
  hl->InjectKey('X', true);
  EXPECT_EQ(keys, (std::vector<int>{plat::kVkLeft, 'X'}));
  d->SetDialogCodeFlags(dcWantTab);
  hl->InjectKey(plat::kVkTab, true);
  EXPECT_EQ(c->ActiveControl(), d);
  EXPECT_EQ(keys.back(), plat::kVkTab);

  // Alt + the accelerator clicks the control; the character alone does not.
  int clicks = 0;
  a->OnClick = TNotifyEvent([&](TPersistent*) { ++clicks; });
  hl->InjectChar('K');
  EXPECT_EQ(clicks, 0);
  hl->InjectKey(plat::kVkMenu, true);
  hl->InjectChar('K');
  hl->InjectKey(plat::kVkMenu, false);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(c->ActiveControl(), a);  // the click also gives it the focus

  // Disabling the focused control takes the focus away.
  a->SetEnabled(false);
  EXPECT_FALSE(a->Focused());
  a->SetEnabled(true);

  // When the platform focus leaves the container, its active control goes too.
  hl->InjectClick(At(10, 10));
  EXPECT_TRUE(a->Focused());
  hl->SetFocus(host);
  EXPECT_EQ(c->ActiveControl(), nullptr);
  EXPECT_FALSE(a->Focused());

  // Freeing the active control runs none of its handlers and leaves no trace in the container.
  hl->InjectClick(At(10, 10));
  a->OnExit = TNotifyEvent([](TPersistent*) { ADD_FAILURE() << "handler run while freeing"; });
  TComponent::Free(a);
  EXPECT_EQ(c->ActiveControl(), nullptr);
  EXPECT_EQ(c->DIBTabList(), (std::vector<TCustomDIBControl*>{d, b}));
}

TEST_F(ContainerTest, TabLeavesForTheFormsOtherTabStopsAndWindowedChildrenTakeTheFocus) {
  TDIBContainer* c = LoadContainer(
      " object A: TProbeImage\n DIBTabOrder = 0\n end\n object B: TProbeImage\n Left = 40\n DIBTabOrder = 1\n end\n"
      " object Inner: TPanel\n Left = 100\n Width = 40\n Height = 30\n TabStop = True\n end\n",
      "object Outer: TPanel\n Left = 210\n Width = 50\n Height = 50\n TabStop = True\nend\n");
  auto* a = Find<TProbeImage>("A");
  auto* b = Find<TProbeImage>("B");
  auto* inner = Find<TPanel>("Inner");
  auto* outer = Find<TPanel>("Outer");
  std::string innerFocus;
  inner->OnEnter = TNotifyEvent([&](TPersistent*) { innerFocus += '+'; });
  inner->OnExit = TNotifyEvent([&](TPersistent*) { innerFocus += '-'; });

  hl->InjectClick(At(10, 10));
  b->SetEnabled(false);  // with one enabled skinned control, finding itself is no move
  EXPECT_FALSE(c->SelectNext());
  EXPECT_FALSE(c->SelectPrevious());
  b->SetEnabled(true);

  // Tab (or Shift+Tab) runs through the skinned controls, the container's windowed child and the
  // form's other tab stop; without the child, past the last (first) skinned control to the other stop.
  const struct {
    bool back, innerEnabled;
    TWinControl* focus;
    TControl* active;
  } steps[] = {{false, true, c, b}, {false, true, inner, inner},    {false, true, outer, nullptr},
               {false, true, c, a}, {true, true, outer, nullptr},   {true, true, inner, inner},
               {true, true, c, b},  {false, false, outer, nullptr}, {true, false, c, b},
               {true, false, c, a}, {true, false, outer, nullptr}};
  for (const auto& step : steps) {
    SCOPED_TRACE(&step - steps);
    inner->SetEnabled(step.innerEnabled);
    if (step.back) hl->InjectKey(plat::kVkShift, true);
    hl->InjectKey(plat::kVkTab, true);
    hl->InjectKey(plat::kVkTab, false);
    if (step.back) hl->InjectKey(plat::kVkShift, false);
    EXPECT_EQ(hl->GetFocus(), step.focus->WindowHandle());
    EXPECT_EQ(c->ActiveControl(), step.active);
    for (TProbeImage* p : {a, b}) EXPECT_EQ(p->Focused(), step.active == p);
  }

  // The focus set into the windowed child from outside makes it the active control; set outside
  // the container, none.
  inner->SetEnabled(true);
  hl->SetFocus(inner->WindowHandle());
  EXPECT_EQ(c->ActiveControl(), inner);
  hl->SetFocus(host);
  EXPECT_EQ(c->ActiveControl(), nullptr);
  EXPECT_EQ(innerFocus, "+-+-+-");
}

TEST_F(ContainerTest, WrittenDescriptionNamesEachListOnceAndReadsBackTheSameControls) {
  LoadEditorLike();
  const std::string text = WriteDescription(*form);
  EXPECT_EQ(text.find("IndexMain.DIBImageList"), std::string::npos) << text;
  EXPECT_EQ(text.find("ImageTop.DIBImageList"), std::string::npos);
  EXPECT_NE(text.find("IndexMain.DIBIndex = 1"), std::string::npos);
  EXPECT_NE(text.find("DIBImageList = Images"), std::string::npos);
  // Read back, the controls point into the list again and compose the same picture.
  TComponent::Free(form);
  form = nullptr;
  LoadForm(text);
  container = Find<TDIBContainer>("C");
  for (int y = 0; y < 30; y += 3)
    for (int x = 0; x < 120; x += 3) ASSERT_EQ(ScreenPixel(10 + x, 5 + y), Expected(x, y)) << x << "," << y;
}

TEST_F(ContainerTest, AnEightBitScreenGetsThePictureThroughThePalette) {
  LoadEditorLike();
  auto* palette = new TDIBPaletteComponent(form);
  palette->SetEntries({Rgb(0, 0, 0), kEdgeBottom, kEdgeTop, Rgb(255, 255, 255)});
  container->SetPalette(palette);
  ASSERT_EQ(hl->SetScreenBitsPerPixel(host, 8), plat::Status::Ok);
  container->Invalidate();
  Pump();
  EXPECT_EQ(ScreenPixel(10 + 1, 5 + 1), kEdgeTop);
  EXPECT_EQ(ScreenPixel(10 + 1, 5 + 29), kEdgeBottom);
  // A colour between the entries lands on the nearest one: never itself.
  EXPECT_NE(ScreenPixel(10 + 80, 5 + 20), Expected(80, 20));
  EXPECT_EQ(Application().ErrorCount(), 0u) << Application().LastError();
  // Without the palette the plain transfer keeps every colour.
  TComponent::Free(palette);
  EXPECT_EQ(container->Palette(), nullptr);
  container->Invalidate();
  Pump();
  EXPECT_EQ(ScreenPixel(10 + 80, 5 + 20), Expected(80, 20));
}

TEST_F(ContainerTest, PaintEventsScratchReuseAndHandlerErrors) {
  LoadEditorLike();
  std::vector<std::string> events;
  const TWinDIB* scratch = nullptr;
  const std::uint8_t* bits = nullptr;
  int newStorage = 0;
  half->OnPaintStart = TNotifyEvent([&](TPersistent*) {
    events.push_back("start");
    if (half->ControlDIB() != scratch || half->ControlDIB()->Bits() != bits) ++newStorage;
    scratch = half->ControlDIB();
    bits = scratch->Bits();
  });
  half->OnPaintEnd = TNotifyEvent([&](TPersistent*) { events.push_back("end"); });
  for (int i = 0; i < 3; ++i) {
    container->Invalidate();
    Pump();
  }
  EXPECT_EQ(events, (std::vector<std::string>{"start", "end", "start", "end", "start", "end"}));
  EXPECT_EQ(newStorage, 1);                // the scratch image of the chip's size is made once and kept
  EXPECT_EQ(half->ControlDIB(), nullptr);  // lent only during the paint

  // A failing paint handler: the error goes to the application, the chip is left out of this
  // composition and everything else is drawn; the next paint after the fault draws it again.
  half->OnPaintEnd = TNotifyEvent([](TPersistent*) { throw std::runtime_error("paint failed"); });
  container->Invalidate();
  Pump();
  EXPECT_EQ(Application().ErrorCount(), 1u);
  EXPECT_EQ(Application().LastError(), "paint failed");
  EXPECT_EQ(hl->EscapedExceptions(), 0u);
  EXPECT_EQ(ScreenPixel(10 + 35, 5 + 12), Background(35, 12));
  EXPECT_EQ(ScreenPixel(10 + 2, 5 + 20), Expected(2, 20));
  EXPECT_EQ(ScreenPixel(10 + 8, 5 + 20), Expected(8, 20));
  half->OnPaintEnd.Clear();
  half->Invalidate();
  Pump();
  EXPECT_EQ(ScreenPixel(10 + 35, 5 + 12), Expected(35, 12));

  // A failing handler on a repeat tick: to the application too, and the repeat goes on.
  int downs = 0;
  back->SetAutoRepeat(true);
  back->OnMouseDown = TMouseEvent([&](TPersistent*, TMouseButton, TShiftState, int, int) {
    if (++downs > 1) throw std::runtime_error("tick failed");
  });
  Press(10 + 80, 5 + 5);
  Advance(500);
  Release(10 + 80, 5 + 5);
  EXPECT_EQ(downs, 3);
  EXPECT_EQ(Application().ErrorCount(), 3u);
  EXPECT_EQ(hl->EscapedExceptions(), 0u);
}

TEST_F(ContainerTest, CursorRequestsAskTheChildUnderTheCursorFirst) {
  LoadEditorLike();
  half->takesCursor = true;
  MoveTo(10 + 35, 5 + 12);
  EXPECT_EQ(hl->SendMessage(container->WindowHandle(), plat::kMsgSetCursor, 0, 0), 1);
  EXPECT_EQ(log.back(), "Half:cursor");
  MoveTo(10 + 80, 5 + 5);  // the background image does not answer: the generic handling does
  log.clear();
  EXPECT_EQ(hl->SendMessage(container->WindowHandle(), plat::kMsgSetCursor, 0, 0), 0);
  EXPECT_TRUE(log.empty());
}

TEST(PointProperty, EverySetRaisesAChangeAndAssignCopiesXThenY) {
  TPointProperty a, b;
  std::vector<std::string> seen;
  a.OnChange = TNotifyEvent([&](TPersistent*) { seen.push_back(std::to_string(a.X()) + "," + std::to_string(a.Y())); });
  a.SetX(0);  // no comparison: the same value still tells
  b.SetX(3);
  b.SetY(4);
  a.Assign(b);
  EXPECT_EQ(seen, (std::vector<std::string>{"0,0", "3,0", "3,4"}));
}

TEST_F(ContainerTest, AChildMayGrowThePaintRectangle) {
  LoadEditorLike();
  TWinDIB& buffer = container->BufferDIB();
  buffer.ScanLine(2)[100 * 4] = 7;
  // Growth by up to two pixels at the bottom is taken as it comes; more is painted by a second
  // paint message covering the grown area.
  half->growTo = {30, 10, 50, 22};
  half->Invalidate();
  Pump();
  EXPECT_EQ(buffer.ScanLine(2)[100 * 4], 7);
  half->growTo = {90, 0, 110, 5};
  half->Invalidate();
  Pump();
  EXPECT_EQ(ImagePixel(buffer, 100, 2), Expected(100, 2));
  EXPECT_FALSE(container->PaintRectFinal());
}

TEST_F(ContainerTest, StretchedEdgesComputedSizesAndTheBufferSize) {
  LoadEditorLike();
  auto* border = Find<TDIBBorder>("Border");
  TDIBBorderEdge* left = border->BorderLeft();
  EXPECT_EQ(left->Size(), 4);  // computed from the widest picture
  left->SetAutoCalcSize(false);
  EXPECT_EQ(left->Size(), 32);  // the stored size
  left->SetSize(6);
  EXPECT_EQ(container->ClientRect(), (plat::Rect{6, 0, 120, 30}));
  // Sizes from a description at the ends of their range: no edge is below 0 or above the largest
  // picture side, and the client area is worked out without overflowing.
  border->BorderRight()->SetAutoCalcSize(false);
  border->BorderRight()->SetSize(INT32_MIN);
  left->SetSize(INT32_MAX);
  EXPECT_EQ(container->ClientRect(), (plat::Rect{65535, 0, 120, 30}));
  border->BorderRight()->SetAutoCalcSize(true);
  left->SetAutoCalcSize(true);
  EXPECT_EQ(container->ClientRect(), (plat::Rect{4, 0, 120, 30}));

  // Stretched, the 10 rows of the middle picture cover the 25 between the ends, by the image
  // library's nearest-neighbour walk: stored rows bottom first, a 16-bit fraction of 10/25 row per
  // row, one more row whenever the fraction borrows.
  left->SetDrawStyle(dsStretch);
  Pump();
  const unsigned fraction = (10u * 65536u / 25u) % 65536u;
  unsigned accumulator = 0xFFFF, source = 0;
  for (int stored = 0; stored < 25; ++stored) {
    const int row = 24 - stored, pictureRow = 9 - static_cast<int>(source);
    EXPECT_EQ(ScreenPixel(10 + 1, 5 + 3 + row), MiddleRow(pictureRow)) << row;
    if (accumulator < fraction) ++source;
    accumulator = (accumulator - fraction) & 0xFFFF;
  }
  EXPECT_EQ(ScreenPixel(10 + 1, 5 + 2), kEdgeTop);
  EXPECT_EQ(ScreenPixel(10 + 1, 5 + 28), kEdgeBottom);

  // The buffer follows the container's size.
  container->SetBounds(10, 5, 150, 40);
  EXPECT_EQ(container->BufferDIB().Width(), 150);
  EXPECT_EQ(container->BufferDIB().Height(), 40);
  // Removing the border component clears the property.
  TComponent::Free(border);
  EXPECT_EQ(container->DIBBorder(), nullptr);
  Pump();
  EXPECT_EQ(ScreenPixel(10 + 1, 5 + 1), Background(1, 1));
}

TEST_F(ContainerTest, HighlightLastsWhileEitherTheMouseOrTheFocusStays) {
  LoadEditorLike();
  MoveTo(10 + 35, 5 + 12);
  hl->InjectClick(At(10 + 35, 5 + 12));  // entered, then focused: one HighlightOn
  EXPECT_TRUE(half->Focused());
  MoveTo(10 + 100, 5 + 2);  // the mouse leaves, the focus stays
  EXPECT_EQ(log, (std::vector<std::string>{"Half:on", "Back:on"}));
  hl->SetFocus(host);  // now both are gone
  EXPECT_EQ(log, (std::vector<std::string>{"Half:on", "Back:on", "Half:off"}));
}
