// One pass through the editor-like scene: drag the slider (across the label, which must not light
// up), click the button, hover the label through a whole fade; values, events and screen pixels at
// each step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/dib/ControlScene.h"

namespace {

using dibtest::Rgb;
using namespace scene;

// Black to silver in 10 steps: 19.2 per step, the tenth sum just below 192.
plat::Color FadeStep(int i) {
  const int v[] = {19, 38, 57, 76, 96, 115, 134, 153, 172, 191};
  return Rgb(v[i], v[i], v[i]);
}

TEST_F(SceneTest, DragClickAndHoverThroughAWholeFade) {
  LoadScene();
  const plat::Color black = Rgb(0, 0, 0);
  EXPECT_TRUE(LabelShows(black));
  EXPECT_EQ(ButtonPixel(40, 15), kFrameUp);

  // Drag the knob (top 24 at position 20) down by 63 pixels, passing over the label on the way.
  Press(kSliderX + 8, kSliderY + 30);
  MoveTo(kLabelX + 30, kLabelY + 15);  // v = 95 - 19 + 1 - 6 = 71
  EXPECT_EQ(slider->Position(), 100 * 71 / 126);
  EXPECT_FALSE(label->MouseIn());
  EXPECT_TRUE(LabelShows(black));
  MoveTo(kSliderX + 8, kSliderY + 30 + 63);
  EXPECT_EQ(slider->Position(), 100 * (25 + 63) / 126);  // the knob's offset as a position
  EXPECT_EQ(slider->KnobOffset(), 25 + 63);
  EXPECT_EQ(SliderPixel(3, 24 + 63 + 5), kKnob);  // opacity 255 while dragging
  Release(kSliderX + 8, kSliderY + 93);
  EXPECT_EQ(SliderPixel(3, 24 + 63 + 5), Blend(kKnob, kGrey, 196));
  // Knob top now 87: grab it 6 below, drag to v = 1 (truncates to 0), then beyond the start, outside
  // the control: the knob stops at 0.
  Press(kSliderX + 8, kSliderY + 93);
  MoveTo(kSliderX + 8, kSliderY + 6);
  EXPECT_EQ(slider->Position(), 0);
  EXPECT_EQ(slider->KnobOffset(), 1);
  MoveTo(kSliderX + 60, kSliderY + 0);
  EXPECT_EQ(slider->KnobOffset(), 0);
  Release(kSliderX + 60, kSliderY + 0);
  // A drag that changes nothing raises nothing.
  Press(kSliderX + 8, kSliderY + 10);
  MoveTo(kSliderX + 8, kSliderY + 11);
  Release(kSliderX + 8, kSliderY + 11);
  EXPECT_EQ(Log(), (std::vector<std::string>{"start", "change:56", "change:69", "end", "start", "change:0", "end"}));

  // Click the button: down, frame 1.
  Press(kButtonX + 40, kButtonY + 15);
  Release(kButtonX + 40, kButtonY + 15);
  EXPECT_TRUE(button->Down());
  EXPECT_EQ(ButtonPixel(40, 15), kFrameDown);
  EXPECT_EQ(Log().size(), 10u);
  EXPECT_EQ(Log()[8], "click:up");

  // Hover the label, then leave it: the highlight until the first tick, entries 9 ... 1 at 50 ms
  // each, the font colour at the tenth tick.
  MoveTo(kLabelX + 30, kLabelY + 15);
  EXPECT_TRUE(LabelShows(kSilver));
  MoveTo(5, 190);
  EXPECT_EQ(ButtonPixel(40, 15), kFrameDown);  // still down after the mouse left it
  EXPECT_TRUE(LabelShows(kSilver));
  for (int tick = 1; tick <= 9; ++tick) {
    Advance(50);
    EXPECT_TRUE(LabelShows(FadeStep(10 - tick))) << tick;
    EXPECT_FALSE(LabelShows(kSilver)) << tick;
  }
  Advance(50);
  EXPECT_TRUE(LabelShows(black));
  EXPECT_FALSE(LabelShows(FadeStep(0)));  // entry 0 is never shown
  EXPECT_FALSE(label->Fading());
  EXPECT_EQ(Log().size(), 10u);
}

}  // namespace
