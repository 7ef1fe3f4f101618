// The editor window's scale changed while it is open, and its pictures at 200 %.
#include <gtest/gtest.h>

#include <limits>

#include "DIB/Source/cDIBSlider.h"
#include "tests/editor/EditorFixture.h"

namespace {

// A host that refuses the resize keeps a whole, usable window at the old scale; one that resizes
// gets the window rebuilt showing what it showed; bad factors change nothing.
TEST_F(EditorTest, AScaleChangeWhileOpenRebuildsTheWindowWhenTheHostResizes) {
  Open();  // in a 415 x 218 host window, the host refusing
  Hover("p2");
  ASSERT_EQ(AskScale(3.0f), 1);
  ASSERT_FALSE(resizes.empty());
  EXPECT_EQ(resizes.front(), (std::pair<int, int>{1245, 654}));
  Wait(20);
  Drag("p8", 40);
  ExpectGolden("slider-dragged-refused-scale");  // at 100 %, showing 69

  resizeAnswer = 1;
  resizes.clear();
  const std::string value = Panel(0), info = Panel(1);
  ASSERT_EQ(plat::Platform().SetBounds(host, plat::Rect{0, 0, 830, 436}), plat::Status::Ok);  // as hosts do
  ASSERT_EQ(AskScale(2.0f), 1);
  EXPECT_EQ(resizes, (std::vector<std::pair<int, int>>{{830, 436}}));
  Wait(20);
  EXPECT_EQ(ClientSize(), (plat::Size{830, 436}));
  EXPECT_EQ(Panel(0), value);
  EXPECT_EQ(Panel(1), info);
  EXPECT_EQ(Control<TDIBSlider>("p8")->Position(), 31);
  Hover("p7");  // the mouse reaches the control at its doubled place
  EXPECT_EQ(Panel(1), "Right modulation amount");

  TPluginEditorwindow* window = Window();
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();
  for (float bad : {0.0f, -2.0f, kNaN, kInf, 8.5f}) EXPECT_EQ(AskScale(bad), 0) << bad;
  EXPECT_EQ(Dispatch(effVendorSpecific, kVendorContentScale, 0, nullptr, 1.0f), 0);  // not ours
  EXPECT_EQ(Window(), window);
  EXPECT_EQ(ClientSize(), (plat::Size{830, 436}));
  EXPECT_EQ(resizes.size(), 1u);

  // Asked from inside the automation of a drag's first step, the rebuild waits until that step's
  // handler is done; the new window shows the value the drag left.
  ASSERT_EQ(AskScale(1.0f), 1);
  scaleInAutomate = record;
  Drag("p8", 20);
  Wait(20);
  EXPECT_EQ(ClientSize(), (plat::Size{830, 436}));
  EXPECT_EQ(Control<TDIBSlider>("p8")->Position(), 34);
  EXPECT_FLOAT_EQ(effect->getParameter(8), 0.66f);
}

// The display's density changing under the open window: a reading that snaps to another scale
// rebuilds the window there, asking the host for the room; a reading that is no scale, or snaps to
// the scale it has, changes nothing; once the host tells the scale, the display no longer does.
TEST_F(EditorTest, ADensityChangeWhileOpenFollowsTheDisplayUnlessTheHostTellsTheScale) {
  resizeAnswer = 1;
  Open();
  Drag("p8", 40);
  auto densityChangesTo = [&](double reading) {
    hl->SetContentScale(reading);
    plat::Platform().SendMessage(Window()->Handle(), plat::kMsgDpiChanged, 0, 0);
    Wait(20);
  };
  densityChangesTo(1.9);  // 182 dots per inch
  EXPECT_EQ(resizes, (std::vector<std::pair<int, int>>{{830, 436}}));
  EXPECT_EQ(ClientSize(), (plat::Size{830, 436}));
  EXPECT_EQ(Control<TDIBSlider>("p8")->Position(), 31);
  TPluginEditorwindow* window = Window();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();
  for (double unchanged : {0.0, -2.0, kNaN, kInf, 8.5, 2.2}) {
    densityChangesTo(unchanged);
    EXPECT_EQ(Window(), window) << unchanged;
  }
  EXPECT_EQ(resizes.size(), 1u);
  ASSERT_EQ(AskScale(1.0f), 1);  // from now on the host tells the scale
  densityChangesTo(3.0);
  EXPECT_EQ(ClientSize(), (plat::Size{415, 218}));
}

TEST_F(EditorTest, PicturesAtTwiceTheScale) {
  OpenAt(2.0f);
  ExpectGolden("initial-200");
  Drag("p8", 80);
  Click("p9");
  Hover("p5");
  Wait(100);
  ExpectGolden("dragged-200");
}

}  // namespace
