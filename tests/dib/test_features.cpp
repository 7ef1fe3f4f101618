// Control features end to end: a container read from a description with a moveable, a highlighted
// and a shaped control, driven by injected mouse and keys; the feature registry and its errors; the
// round trip of features and an animation through a description.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "DIB/Source/cDIBAnimMgr.h"
#include "DIB/Source/cDIBFeatures.h"
#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBPanel.h"
#include "DIB/Source/cDIBStandardFeatures.h"
#include "DIBFixture.h"
#include "ui/ClassRegistry.h"
#include "ui/Errors.h"
#include "ui/TypeInfo.h"

using namespace dibtest;

namespace {

constexpr plat::Color kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0);

// Picture 0: the left half black (the colour of its bottom-left pixel), the right half red.
// Picture 1: all green.
std::string SceneText() {
  return "object F: TForm\n"
         "Width = 300\nHeight = 200\n"
         "object Images: TDIBImageList\n"
         "DIBImages = <\n" +
         PictureItem(20, 20, [](int x, int) { return x < 10 ? Rgb(0, 0, 0) : kRed; }) +
         PictureItem(20, 20, [](int, int) { return kGreen; }) +
         ">\nend\n"
         "object Box: TDIBContainer\n"
         "Left = 0\nTop = 0\nWidth = 300\nHeight = 200\n"
         "object Under: TDIBImage\n"
         "Left = 0\nTop = 10\nWidth = 40\nHeight = 20\nDIBImageList = Images\nIndexMain.DIBIndex = 1\n"
         "end\n"
         "object Shaped: TDIBImage\n"
         "Left = 10\nTop = 10\nWidth = 20\nHeight = 20\nDIBImageList = Images\nIndexMain.DIBIndex = 0\n"
         "DIBFeatures = <\nitem\nFeatureClassName = 'TShapeableDIB'\nend>\n"
         "end\n"
         "object Mover: TDIBImage\n"
         "Left = 100\nTop = 50\nWidth = 20\nHeight = 20\nDIBImageList = Images\nIndexMain.DIBIndex = 1\n"
         "DIBTabOrder = 0\n"
         "DIBFeatures = <\nitem\nFeatureClassName = 'TMoveableDIB'\nFeature.SnapSize = 4\n"
         "Feature.MouseButtons = [mbLeft, mbRight]\nend>\n"
         "end\n"
         "object Lamp: TDIBImage\n"
         "Left = 200\nTop = 50\nWidth = 20\nHeight = 20\nDIBImageList = Images\nIndexMain.DIBIndex = 1\n"
         "Opacity = 100\nDIBTabOrder = 1\n"
         "DIBFeatures = <\nitem\nFeatureClassName = 'THighlightDIB'\nFeature.HighlightOpacity = 250\nend>\n"
         "end\n"
         "end\n"
         "object Anim: TDIBAnimation\n"
         "DIBImageList = Images\n"
         "Frames = <\nitem\nIndexImage.DIBIndex = 1\nOpacity = 128\nend\nitem\nIndexImage.DIBIndex = 0\nend>\n"
         "end\n"
         "end\n";
}

template <class F>
F* FeatureOf(TCustomDIBControl* c) {
  return c->DIBFeatures()->Count() ? dynamic_cast<F*>(c->DIBFeatures()->Items(0)->Feature()) : nullptr;
}

class FeaturesTest : public DIBFixture {
 protected:
  void SetUp() override {
    DIBFixture::SetUp();
    LoadForm(SceneText());
    box = Find<TDIBContainer>("Box");
    under = Find<TDIBImage>("Under");
    shaped = Find<TDIBImage>("Shaped");
    mover = Find<TDIBImage>("Mover");
    lamp = Find<TDIBImage>("Lamp");
    for (TDIBImage* c : {under, shaped, mover})
      c->OnMouseDown =
          TMouseEvent([this, c](TPersistent*, TMouseButton, TShiftState, int, int) { downs += c->Name(); });
  }
  void Drag(int x, int y) { MoveTo(x, y); }
  void Button(int x, int y, int button, bool down) { hl->InjectMouseButton(At(x, y), button, down); }
  void Key(std::uint32_t vk) {
    hl->InjectKey(vk, true);
    hl->InjectKey(vk, false);
  }
  plat::Point Pos(const TControl* c) const { return {c->Left(), c->Top()}; }

  TDIBContainer* box = nullptr;
  TDIBImage *under = nullptr, *shaped = nullptr, *mover = nullptr, *lamp = nullptr;
  std::string downs;
};

}  // namespace

TEST_F(FeaturesTest, DescriptionWritesBackIdentically) {
  const std::string text = WriteDescription(*form);
  // Stored readably: the class name, then the settings that differ from the defaults.
  EXPECT_NE(text.find("FeatureClassName = 'TMoveableDIB'"), std::string::npos) << text;
  EXPECT_NE(text.find("Feature.SnapSize = 4"), std::string::npos);
  EXPECT_NE(text.find("Feature.MouseButtons = [mbLeft, mbRight]"), std::string::npos);
  EXPECT_NE(text.find("Feature.HighlightOpacity = 250"), std::string::npos);
  EXPECT_EQ(text.find("Feature.AllowVertical"), std::string::npos);  // a default stays out
  TForm again(nullptr);
  ReadDescription(again, text);
  EXPECT_EQ(WriteDescription(again), text);
  auto* anim = dynamic_cast<TDIBAnimation*>(again.FindComponent("Anim"));
  ASSERT_NE(anim, nullptr);
  EXPECT_EQ(anim->Frames()->Items(0)->Opacity(), 128);
  // Features are bound to their control once it has finished loading.
  auto* m = dynamic_cast<TCustomDIBControl*>(again.FindComponent("Mover"));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(FeatureOf<TMoveableDIB>(m)->Control(), m);
}

TEST_F(FeaturesTest, ShapedControlPassesPressesOnTransparentPixelsToTheControlBeneath) {
  // Left half of Shaped is its transparent colour: the press goes to Under.
  Press(12, 15);
  Release(12, 15);
  EXPECT_EQ(downs, "Under");
  downs.clear();
  Press(25, 15);
  Release(25, 15);
  EXPECT_EQ(downs, "Shaped");
  downs.clear();

  // A fixed transparent colour: now the red half is the hole.
  auto* shape = FeatureOf<TShapeableDIB>(shaped);
  shape->SetTransparentMode(tmFixed);
  shape->SetTransparentColor(DIBPixelToColor(0xFF0000));
  EXPECT_EQ(box->ControlAtPos({12, 15}), shaped);
  EXPECT_EQ(box->ControlAtPos({25, 15}), under);

  // The picture changes within the same millisecond as the last shape: the shape follows anyway.
  shape->SetTransparentMode(tmAuto);
  EXPECT_EQ(box->ControlAtPos({12, 15}), under);
  // All green, which is then its own key: no region at all, so the whole control takes the mouse.
  shaped->IndexMain()->SetDIBIndex(1);
  EXPECT_EQ(box->ControlAtPos({12, 15}), shaped);
  // With a mask level the alpha decides: clear the alpha of the right (red) half of picture 0.
  shaped->IndexMain()->SetDIBIndex(0);
  shape->SetMaskLevel(1);
  EXPECT_EQ(box->ControlAtPos({12, 15}), shaped);
  TMemoryDIB* picture = Find<TDIBImageList>("Images")->DIBImages()->Items(0)->DIB();
  for (int y = 0; y < 20; ++y)
    for (int x = 10; x < 20; ++x) picture->ScanLine(y)[x * 4 + 3] = 0;
  picture->Changed();
  EXPECT_EQ(box->ControlAtPos({12, 15}), shaped);
  EXPECT_EQ(box->ControlAtPos({25, 15}), under);
}

TEST_F(FeaturesTest, DragMovesInSnapStepsUntilTheRememberedButtonIsReleased) {
  Press(105, 55);  // grab at (5, 5) of Mover
  EXPECT_TRUE(FeatureOf<TMoveableDIB>(mover)->Dragging());
  Drag(112, 55);  // +7 -> one step of 4
  EXPECT_EQ(Pos(mover), (plat::Point{104, 50}));
  Drag(113, 58);  // +4 from the grab in the moved control, +3 down cut to 0
  EXPECT_EQ(Pos(mover), (plat::Point{108, 50}));
  // Another button comes and goes: the drag goes on.
  Button(113, 58, 1, true);
  Button(113, 58, 1, false);
  Drag(121, 50);  // +8 right, -5 up cut towards zero to -4
  EXPECT_EQ(Pos(mover), (plat::Point{116, 46}));
  // Crossing Lamp during the drag lights nothing: Lamp is not entered under another's capture.
  Drag(205, 55);
  EXPECT_EQ(lamp->Opacity(), 100);
  Drag(121, 50);
  Release(121, 50);
  EXPECT_FALSE(FeatureOf<TMoveableDIB>(mover)->Dragging());
  Drag(160, 60);
  EXPECT_EQ(Pos(mover), (plat::Point{116, 46}));

  // The click gave Mover the focus: the arrows move it by SnapSize.
  Key(plat::kVkRight);
  Key(plat::kVkUp);
  EXPECT_EQ(Pos(mover), (plat::Point{120, 42}));

  // Horizontal only: neither the arrows nor a drag move it vertically.
  FeatureOf<TMoveableDIB>(mover)->SetAllowVertical(false);
  Key(plat::kVkDown);
  EXPECT_EQ(Pos(mover), (plat::Point{120, 42}));
  Press(122, 44);
  Drag(131, 70);
  Release(131, 70);
  EXPECT_EQ(Pos(mover), (plat::Point{128, 42}));

  // The right button drags too (it is in MouseButtons); the middle one does not.
  Button(130, 45, 2, true);
  Drag(140, 45);
  Button(140, 45, 2, false);
  EXPECT_EQ(Pos(mover), (plat::Point{128, 42}));
  Button(130, 45, 1, true);
  Drag(140, 45);
  Button(140, 45, 1, false);
  EXPECT_EQ(Pos(mover), (plat::Point{136, 42}));

  // BorderSize is compared with the grab point of the previous press: that one was (2, 3), inside
  // a border of 3, so this press does not drag; it leaves (10, 10), so the next one does.
  FeatureOf<TMoveableDIB>(mover)->SetBorderSize(3);
  Press(146, 52);
  EXPECT_FALSE(FeatureOf<TMoveableDIB>(mover)->Dragging());
  Release(146, 52);
  Press(146, 52);
  EXPECT_TRUE(FeatureOf<TMoveableDIB>(mover)->Dragging());
  Release(146, 52);
}

TEST_F(FeaturesTest, HighlightRaisesOpacityWhileEnteredOrFocused) {
  MoveTo(205, 55);
  EXPECT_EQ(lamp->Opacity(), 250);
  MoveTo(250, 150);
  EXPECT_EQ(lamp->Opacity(), 100);
  // Clicked: entered and focused; leaving keeps it lit while it has the focus.
  Press(205, 55);
  Release(205, 55);
  EXPECT_TRUE(lamp->Focused());
  MoveTo(250, 150);
  EXPECT_EQ(lamp->Opacity(), 250);
  // Focus to Mover: Lamp goes back to what it was.
  Press(105, 55);
  Release(105, 55);
  EXPECT_FALSE(lamp->Focused());
  EXPECT_EQ(lamp->Opacity(), 100);
  // What is drawn: the green picture blended over the container's background at the opacity.
  const plat::Color bg = ScreenPixel(290, 190);
  auto blend = [&](int o) {
    auto mix = [o](int fg, int back) { return (o * fg + (255 - o) * back + 255) >> 8; };
    return Rgb(mix(0, RedOf(bg)), mix(255, GreenOf(bg)), mix(0, BlueOf(bg)));
  };
  EXPECT_EQ(ScreenPixel(210, 60), blend(100));
  MoveTo(205, 55);
  Pump();
  EXPECT_EQ(ScreenPixel(210, 60), blend(250));
}

// ---- registry and items -------------------------------------------------------------------------

namespace {

class TProbeFeature : public TDIBFeature {
 public:
  explicit TProbeFeature(TComponent* owner) : TDIBFeature(owner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info =
        TClassBuilder<TProbeFeature>("TProbeFeature", &TDIBFeature::StaticClass()).Component().Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};

// The same name in other letters, registered later: lookups find this one.
class TLaterProbeFeature : public TDIBFeature {
 public:
  explicit TLaterProbeFeature(TComponent* owner) : TDIBFeature(owner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info =
        TClassBuilder<TLaterProbeFeature>("TPROBEFEATURE", &TDIBFeature::StaticClass()).Component().Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void HandleMessage(TMessage& m, bool& handled) override {
    if (m.msg == plat::kMsgLButtonDown) throw std::runtime_error("probe failed");
    handled = false;
  }
};

}  // namespace

TEST_F(FeaturesTest, RegistryItemsAndErrors) {
  const auto classes = FeatureClasses();
  ASSERT_GE(classes.size(), 3u);
  EXPECT_EQ(classes[0], &TMoveableDIB::StaticClass());
  EXPECT_EQ(classes[1], &THighlightDIB::StaticClass());
  EXPECT_EQ(classes[2], &TShapeableDIB::StaticClass());
  EXPECT_EQ(FindClass("tshapeabledib"), &TShapeableDIB::StaticClass());
  RegisterFeature(TProbeFeature::StaticClass());
  RegisterFeature(TLaterProbeFeature::StaticClass());
  EXPECT_EQ(FindFeatureClass("TProbeFeature"), &TLaterProbeFeature::StaticClass());
  EXPECT_EQ(FindFeatureClass("TDIBFeature"), nullptr);
  THighlightDIB highlight(nullptr);
  EXPECT_TRUE(highlight.CanApplyTo(lamp));
  EXPECT_FALSE(highlight.CanApplyTo(box));
  EXPECT_TRUE(TMoveableDIB(nullptr).CanApplyTo(box));

  auto* item = static_cast<TDIBFeatureItem*>(under->DIBFeatures()->Add());
  EXPECT_EQ(item->DisplayName(), "DIB feature");
  item->SetFeatureClassName("TMoveableDIB");
  EXPECT_EQ(item->DisplayName(), "Moveable DIB");
  TDIBFeature* kept = item->Feature();
  EXPECT_EQ(kept->Owner(), under);
  EXPECT_EQ(kept->Control(), under);
  try {
    item->SetFeatureClassName("TNoSuchFeature");
    FAIL();
  } catch (const EFeatureError& e) {
    EXPECT_STREQ(e.what(), "TNoSuchFeature has not been registered");
  }
  EXPECT_EQ(item->Feature(), kept);  // a failed change leaves the item as it was
  EXPECT_EQ(item->FeatureClassName(), "TMoveableDIB");

  // Assign copies the class and the settings into a new instance.
  static_cast<TMoveableDIB*>(kept)->SetSnapSize(7);
  item->SetEnabled(false);
  auto* copy = static_cast<TDIBFeatureItem*>(lamp->DIBFeatures()->Add());
  copy->Assign(*item);
  ASSERT_NE(copy->Feature(), nullptr);
  EXPECT_NE(copy->Feature(), kept);
  EXPECT_EQ(static_cast<TMoveableDIB*>(copy->Feature())->SnapSize(), 7);
  EXPECT_FALSE(copy->Enabled());
  EXPECT_EQ(copy->Feature()->Owner(), lamp);

  // Clearing the name frees the instance; freeing the control frees it with the control.
  item->SetFeatureClassName("");
  EXPECT_EQ(item->Feature(), nullptr);
  EXPECT_EQ(under->ComponentCount(), 0);

  // A feature that throws: the error goes to the application and the control still gets the press.
  item->SetEnabled(true);
  item->SetFeatureClassName("tprobefeature");
  ASSERT_NE(dynamic_cast<TLaterProbeFeature*>(item->Feature()), nullptr);
  downs.clear();
  Press(5, 15);
  Release(5, 15);
  EXPECT_EQ(downs, "Under");
  EXPECT_EQ(Application().ErrorCount(), 1u);
  EXPECT_EQ(Application().LastError(), "probe failed");

  // Unknown names in a description are an error naming the place.
  const std::string bad =
      "object F: TForm\nobject Box: TDIBContainer\nobject C: TDIBImage\n"
      "DIBFeatures = <\nitem\nFeatureClassName = 'TNope'\nend>\nend\nend\nend\n";
  TForm other(nullptr);
  try {
    ReadDescription(other, bad);
    FAIL();
  } catch (const EDescriptionError& e) {
    EXPECT_NE(std::string(e.what()).find("TNope has not been registered"), std::string::npos) << e.what();
    EXPECT_EQ(e.Line(), 6);
  }
  EXPECT_EQ(other.ComponentCount(), 0);
}
