// The slider end to end: read from a description, dragged, pressed and keyed through the headless
// platform's injected input and virtual clock, with values, events and screen pixels checked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/dib/ControlScene.h"

namespace {

using scene::Blend;
using scene::kGrey;
using scene::kKnob;
using scene::kSlot;
using Events = std::vector<std::string>;

class SliderTest : public scene::SceneTest {
 protected:
  // Screen place of a point of the slider.
  void PressAt(int x, int y) { Press(slider->Left() + x, slider->Top() + y); }
  void MoveAt(int x, int y) { MoveTo(slider->Left() + x, slider->Top() + y); }
  void ReleaseAt(int x, int y) { Release(slider->Left() + x, slider->Top() + y); }
  bool KnobIs(int l, int t, int r, int b) const {
    const TDIBRect& k = slider->Layout().Knob;
    return k.Left == l && k.Top == t && k.Right == r && k.Bottom == b;
  }
};

TEST_F(SliderTest, LoadsWithoutChangeAndLaysOutTheEditorSlider) {
  LoadScene();
  EXPECT_TRUE(Log().empty());  // loading raises nothing
  EXPECT_EQ(slider->Width(), 20);
  EXPECT_EQ(slider->Height(), 154);
  const TDIBRect& m = slider->Layout().Main;
  EXPECT_EQ(m.Left, 0);
  EXPECT_EQ(m.Top, -1);
  EXPECT_EQ(m.Right, 19);
  EXPECT_EQ(m.Bottom, 154);
  EXPECT_EQ(slider->TrackLength(), 126);
  EXPECT_TRUE(KnobIs(2, 24, 17, 53));

  // Idle knob at opacity 196 over the container (the track is transparent in column 3); the
  // track's painted columns elsewhere.
  EXPECT_EQ(SliderPixel(3, 30), Blend(kKnob, kGrey, 196));
  EXPECT_EQ(SliderPixel(9, 100), kSlot);
  EXPECT_EQ(SliderPixel(3, 100), kGrey);

  slider->SetPosition(0);
  EXPECT_TRUE(KnobIs(2, -1, 17, 28));
  slider->SetPosition(150);  // clamped
  EXPECT_EQ(slider->Position(), 100);
  EXPECT_TRUE(KnobIs(2, 125, 17, 154));
  slider->SetPosition(150);  // no change, no event
  EXPECT_EQ(Log(), (Events{"change:0", "change:100"}));
  Pump();
  EXPECT_EQ(SliderPixel(3, 140), Blend(kKnob, kGrey, 196));
  EXPECT_EQ(SliderPixel(3, 30), kGrey);
}

TEST_F(SliderTest, HeldPressStepsEveryRepeatUntilTheKnobReachesTheMouseThenDrags) {
  LoadScene();
  // The knob's centre is row 38 at position 20; press 40 rows below it.
  PressAt(8, 78);
  EXPECT_EQ(slider->Position(), 21);
  for (int tick = 1; tick <= 25; ++tick) {
    Advance(250);
    // At 40 the knob (rows 49 ... 78) covers the mouse's row: the next tick grabs it.
    EXPECT_EQ(slider->Position(), std::min(21 + tick, 40)) << tick;
  }
  EXPECT_TRUE(slider->Dragging());
  EXPECT_FALSE(slider->RepeatTimerRunning());
  MoveAt(8, 100);  // grab offset 29: v = 100 + 1 - 29 = 72
  EXPECT_EQ(slider->Position(), 100 * 72 / 126);
  ReleaseAt(8, 100);
  ASSERT_EQ(Log().size(), 23u);
  EXPECT_EQ(Log().front(), "start");
  EXPECT_EQ(Log()[1], "change:21");
  EXPECT_EQ(Log()[20], "change:40");
  EXPECT_EQ(Log()[21], "change:57");
  EXPECT_EQ(Log().back(), "end");

  // Leaving the control stops the repetition; coming back while captured starts it again.
  Log().clear();
  slider->SetPosition(20);
  Log().clear();
  PressAt(8, 78);
  MoveAt(60, 78);
  Advance(1000);
  EXPECT_EQ(slider->Position(), 21);
  MoveAt(8, 78);
  Advance(250);
  EXPECT_EQ(slider->Position(), 22);
  ReleaseAt(8, 78);
  EXPECT_EQ(Log(), (Events{"start", "change:21", "change:22", "end"}));

  // The capture taken away without a release while the mouse is outside: the drag and its gesture
  // end there.
  Log().clear();
  PressAt(8, 31);  // knob top 26 at position 22: grab offset 5
  MoveAt(60, 51);  // v = 47
  hl->ReleaseCapture();
  EXPECT_FALSE(slider->Dragging());
  EXPECT_EQ(Log(), (Events{"start", "change:37", "end"}));
  ReleaseAt(60, 51);
  EXPECT_EQ(Log().size(), 3u);

  // A quick click on the knob, released before the first repeat, leaves no stop behind: the next
  // held press on the track steps at every repeat again.
  slider->SetPosition(20);  // knob rows 24 ... 53
  PressAt(8, 30);
  ReleaseAt(8, 30);
  PressAt(8, 78);
  EXPECT_EQ(slider->Position(), 21);
  Advance(500);
  EXPECT_EQ(slider->Position(), 23);
  ReleaseAt(8, 78);
  EXPECT_FALSE(slider->StopRepeatRequested());
}

TEST_F(SliderTest, KeysSettersAndRangeRules) {
  LoadScene();
  slider->Perform(plat::kMsgSetFocus);  // the container's active control
  ASSERT_TRUE(slider->Focused());
  slider->SetPageSize(5);
  slider->SetPosition(98);
  Log().clear();
  hl->InjectKey(plat::kVkNext, true);  // Page Down: 103 clamps to 100
  hl->InjectKey(plat::kVkNext, true);  // auto-repeat of the key: no change, same gesture
  hl->InjectKey(plat::kVkUp, true);
  hl->InjectKey(plat::kVkUp, false);
  hl->InjectKey(plat::kVkLeft, true);  // not a key of a vertical slider
  hl->InjectKey(plat::kVkLeft, false);
  hl->InjectKey(plat::kVkPrior, true);
  hl->InjectKey(plat::kVkPrior, false);
  EXPECT_EQ(slider->Position(), 94);
  EXPECT_EQ(Log(), (Events{"start", "change:100", "change:99", "end", "start", "change:94", "end"}));

  Log().clear();
  slider->SetMax(100);
  slider->SetMin(100);  // Min reaches Max: Max moves above it
  EXPECT_EQ(slider->Max(), 101);
  EXPECT_EQ(slider->Position(), 100);
  EXPECT_EQ(Log(), (Events{"change:100"}));
  // A new range re-places the knob even when the position stays: 100 of 100 ... 101 is the start.
  EXPECT_EQ(slider->KnobOffset(), 0);
  slider->SetMax(50);  // Min follows below, Position follows Max
  EXPECT_EQ(slider->Min(), 49);
  EXPECT_EQ(slider->Position(), 50);
  EXPECT_EQ(slider->KnobOffset(), 126);
}

TEST_F(SliderTest, DragWithAMinimumLandsInsideTheRange) {
  LoadScene("  Min = 100\n  Max = 200\n  Position = 120\n");
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(slider->KnobOffset(), 25);  // 126 * 20 / 100
  PressAt(8, 30);                       // knob top 24, grab offset 6
  MoveAt(8, 68);                        // v = 63
  ReleaseAt(8, 68);
  EXPECT_EQ(slider->Position(), 150);
  slider->SetPosition(slider->Position());  // reading it back puts the knob on the same pixel
  EXPECT_EQ(slider->KnobOffset(), 63);
}

TEST_F(SliderTest, HorizontalWithEndPicturesOverlayAndTiling) {
  LoadScene(
      "  SliderType = stHorizontal\n  Top = 150\n  Width = 120\n  Height = 20\n  IndexMain.DIBIndex = 3\n"
      "  IndexEnd1.DIBIndex = 1\n  IndexEnd2.DIBIndex = 1\n  IndexOverlay.DIBIndex = 2\n  OverlayOpacity = 128\n"
      "  SmallChange = 3\n  StretchBackground = False\n  IndexPointer.DIBIndex = -1\n  Position = 50\n");
  // Across the axis the slider takes its tallest picture (the 16 x 30 end pictures).
  EXPECT_EQ(slider->Height(), 30);
  EXPECT_EQ(slider->Width(), 120);
  // No knob: presses do nothing.
  PressAt(2, 10);
  ReleaseAt(2, 10);
  EXPECT_EQ(slider->Position(), 50);

  slider->IndexPointer()->SetDIBIndex(1);
  const TSliderLayout& l = slider->Layout();
  EXPECT_EQ(l.End1.Left, 0);
  EXPECT_EQ(l.End2.Right, 118);  // one short of the far edge
  EXPECT_EQ(l.Main.Left, 15);    // overlapping each end picture by one pixel
  EXPECT_EQ(l.Main.Right, 103);
  EXPECT_EQ(slider->TrackLength(), 89 - 16);
  EXPECT_EQ(l.Knob.Left, 15 + 73 * 50 / 100);
  Pump();
  // The 20-pixel track tiles from x = 15, its slot in columns 8 ... 11 of each tile; the overlay (the
  // glyph strip at opacity 128) covers it from the start of the track up to the knob.
  const int y = l.Main.Top + 1;
  EXPECT_EQ(SliderPixel(15 + 20 + 9, y), Blend(scene::kFrameUp, kSlot, 128));
  EXPECT_EQ(SliderPixel(15 + 60 + 9, y), kSlot);
  EXPECT_EQ(SliderPixel(15 + 60 + 13, y), kGrey);

  PressAt(2, 10);  // on the first end picture
  ReleaseAt(2, 10);
  EXPECT_EQ(slider->Position(), 47);
  PressAt(110, 10);
  ReleaseAt(110, 10);
  EXPECT_EQ(slider->Position(), 50);
  EXPECT_EQ(Log(), (Events{"start", "change:47", "end", "start", "change:50", "end"}));
}

}  // namespace
