// The glyph button end to end: frames per state read back from the screen, toggling, groups,
// caption offsets and the strip-length check, through injected mouse input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/dib/ControlScene.h"

namespace {

using dibtest::Rgb;
using scene::kButtonX;
using scene::kButtonY;
using scene::kFrameDown;
using scene::kFrameUp;
using Events = std::vector<std::string>;

class GlyphButtonTest : public scene::SceneTest {
 protected:
  void PressButton() { Press(kButtonX + 40, kButtonY + 15); }
  void ReleaseButton() { Release(kButtonX + 40, kButtonY + 15); }
  void ClickButton() {
    PressButton();
    ReleaseButton();
  }
  // The bounding box of the pixels of the button showing `c`: left, top, right, bottom (inclusive).
  std::vector<int> BoxOf(plat::Color c) const {
    std::vector<int> box{1000, 1000, -1, -1};
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 80; ++x)
        if (ButtonPixel(x, y) == c)
          box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    return box;
  }
};

TEST_F(GlyphButtonTest, FramesFollowTheStateThroughAToggleClick) {
  LoadScene();
  EXPECT_EQ(button->Width(), 80);  // 160 / NumGlyphs 2
  EXPECT_EQ(button->Height(), 30);
  EXPECT_EQ(button->State(), bsEnabled);
  EXPECT_EQ(ButtonPixel(5, 5), kFrameUp);
  MoveTo(kButtonX + 40, kButtonY + 15);
  EXPECT_EQ(button->State(), bsMouseOver);
  EXPECT_EQ(ButtonPixel(5, 5), kFrameUp);  // frame 0 with two glyphs
  PressButton();
  EXPECT_EQ(button->State(), bsMouseClick);
  EXPECT_EQ(ButtonPixel(79, 29), kFrameDown);
  ReleaseButton();
  // OnClick saw the button up; it went down after, inside one gesture.
  EXPECT_EQ(Log(), (Events{"start", "click:up", "end"}));
  EXPECT_TRUE(button->Down());
  EXPECT_EQ(button->State(), bsDown);
  EXPECT_EQ(ButtonPixel(0, 0), kFrameDown);

  // A quick second click is a second click, not a double click.
  ClickButton();
  EXPECT_FALSE(button->Down());
  EXPECT_EQ(button->State(), bsMouseOver);
  MoveTo(5, 190);
  EXPECT_EQ(button->State(), bsEnabled);
  EXPECT_EQ(Log(), (Events{"start", "click:up", "end", "start", "click:down", "end"}));

  // Down set by program code redraws, raises no click and no gesture.
  button->SetDown(true);
  Pump();
  EXPECT_EQ(ButtonPixel(40, 15), kFrameDown);
  EXPECT_EQ(Log().size(), 6u);
}

TEST_F(GlyphButtonTest, ThreeGlyphsDisabledFrameAndTheStripLengthCheck) {
  LoadScene();
  button->SetNumGlyphs(3);
  button->Glyph()->SetDIBIndex(4);  // red, green, blue frames of 40 pixels
  EXPECT_EQ(button->Width(), 40);
  button->SetEnabled(false);
  Pump();
  EXPECT_EQ(button->State(), bsDisabled);
  EXPECT_EQ(ButtonPixel(20, 15), Rgb(0, 0, 255));
  button->SetEnabled(true);
  MoveTo(kButtonX + 20, kButtonY + 15);
  EXPECT_EQ(button->State(), bsMouseOver);
  EXPECT_EQ(ButtonPixel(20, 15), Rgb(255, 0, 0));  // mouse over falls back to frame 0

  for (int bad : {0, 1, 6, 255}) {
    try {
      button->SetNumGlyphs(static_cast<TNumGlyphs>(bad));
      ADD_FAILURE() << bad;
    } catch (const EAssertionFailed& e) {
      EXPECT_STREQ(e.what(), "Assertion failure");
      EXPECT_EQ(e.Source(), "DIB/Source/cDIBGlyphButton");
      EXPECT_EQ(e.Line(), 297);
    }
  }
  EXPECT_EQ(button->NumGlyphs(), 3);
}

TEST_F(GlyphButtonTest, GroupsReleaseEachOtherWithoutClicks) {
  LoadScene();
  int clicks = 0;
  auto make = [&] {
    auto* b = new TDIBGlyphButton(form);
    b->SetToggleDown(true);
    b->SetGroup(1);
    b->OnClick = TNotifyEvent([&](TPersistent*) { ++clicks; });
    return b;
  };
  TDIBGlyphButton *first = make(), *second = make(), *third = make();
  first->Click();
  EXPECT_TRUE(first->Down());
  second->Click();
  EXPECT_FALSE(first->Down());
  EXPECT_TRUE(second->Down());
  EXPECT_FALSE(third->Down());
  second->Click();
  EXPECT_FALSE(second->Down());
  EXPECT_FALSE(first->Down());
  EXPECT_EQ(clicks, 3);

  // Group 0 leaves every other button alone.
  first->SetDown(true);
  button->SetDown(true);
  EXPECT_TRUE(first->Down());
  // Joining a group while down releases the others of that group.
  third->SetDown(false);
  third->SetGroup(0);
  third->SetDown(true);
  third->SetGroup(1);
  EXPECT_FALSE(first->Down());

  try {
    second->SetGroup(-1);
    ADD_FAILURE();
  } catch (const EDIBButtonError& e) {
    EXPECT_STREQ(e.what(), "Invalid group.");
  }
  EXPECT_EQ(second->Group(), 1);
}

TEST_F(GlyphButtonTest, CaptionOffsetsPerStateAndTheDisabledFont) {
  LoadScene();
  const plat::Color red = Rgb(255, 0, 0), green = Rgb(0, 255, 0);
  button->SetCaption("H");
  button->SetParentFont(false);
  button->Font().SetHeight(20);
  button->Font().SetStyle(fsBold);
  button->Font().SetColor(RGBColor(255, 0, 0));
  button->FontDisabled().Assign(button->Font());
  button->FontDisabled().SetColor(RGBColor(0, 255, 0));
  button->CaptionOffsetMouseClick().SetX(1);
  button->CaptionOffsetMouseClick().SetY(1);
  Pump();
  const std::vector<int> idle = BoxOf(red);
  ASSERT_GE(idle[2], idle[0]);
  // Centred: the box lies about the middle of the 80 x 30 button.
  EXPECT_NEAR((idle[0] + idle[2]) / 2.0, 40, 3);
  EXPECT_NEAR((idle[1] + idle[3]) / 2.0, 15, 4);
  MoveTo(kButtonX + 40, kButtonY + 15);
  EXPECT_EQ(BoxOf(red), idle);  // mouse over: offset (0, 0)
  PressButton();
  EXPECT_EQ(BoxOf(red), (std::vector<int>{idle[0] + 1, idle[1] + 1, idle[2] + 1, idle[3] + 1}));
  ReleaseButton();
  MoveTo(5, 190);
  button->SetDown(false);
  button->SetEnabled(false);
  Pump();
  EXPECT_EQ(BoxOf(green), idle);
  EXPECT_EQ(BoxOf(red)[2], -1);
}

}  // namespace
