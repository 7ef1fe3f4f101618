// The controls' tables and arithmetic where the end-to-end tests cannot reach every case: glyph
// frames per strip length, the fade colours, accelerators, slider ranges at their limits.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "DIB/Source/cDIBFadeLabel.h"
#include "DIB/Source/cDIBGlyphButton.h"
#include "DIB/Source/cDIBSliderGeometry.h"

namespace {

TEST(ControlTables, GlyphFramePerStateForEveryStripLength) {
  // Rows: NumGlyphs 2 ... 5; columns: states enabled, click, disabled, over, down.
  const int expected[4][5] = {{0, 1, 0, 0, 1}, {0, 1, 2, 0, 1}, {0, 1, 2, 3, 1}, {0, 1, 2, 3, 4}};
  for (int n = 2; n <= 5; ++n)
    for (int s = 0; s < 5; ++s)
      EXPECT_EQ(GlyphFrame(n, static_cast<TButtonState>(s)), expected[n - 2][s]) << n << " " << s;
}

TEST(ControlTables, FadeTablesAndAccelerators) {
  auto grey = [](int v) { return plat::MakeColor(v, v, v); };
  std::vector<plat::Color> silver, white;
  for (int v : {19, 38, 57, 76, 96, 115, 134, 153, 172, 191}) silver.push_back(grey(v));  // 10 x 19.2 < 192
  for (int v : {25, 51, 76, 102, 127, 153, 178, 204, 229, 255}) white.push_back(grey(v));
  EXPECT_EQ(BuildFadeTable(grey(0), grey(192), 10), silver);
  EXPECT_EQ(BuildFadeTable(grey(0), grey(255), 10), white);
  // Channels move separately, also downwards.
  EXPECT_EQ(BuildFadeTable(plat::MakeColor(200, 10, 100), plat::MakeColor(0, 110, 100), 4),
            (std::vector<plat::Color>{plat::MakeColor(150, 35, 100), plat::MakeColor(100, 60, 100),
                                      plat::MakeColor(50, 85, 100), plat::MakeColor(0, 110, 100)}));
  EXPECT_TRUE(BuildFadeTable(0, 0xFFFFFF, 1).empty());
  EXPECT_TRUE(BuildFadeTable(0, 0xFFFFFF, 0).empty());

  EXPECT_TRUE(IsAccelerator('s', "Host &Sync"));
  EXPECT_FALSE(IsAccelerator('h', "Host &Sync"));
  EXPECT_FALSE(IsAccelerator('&', "Fish && chips"));
  EXPECT_TRUE(IsAccelerator('c', "Fish && &chips"));
  EXPECT_FALSE(IsAccelerator('x', "trailing &"));
}

TEST(ControlTables, SliderRangesAtTheirLimits) {
  // No track to measure on: a press steps by the whole range (then LargeChange), a drag lands on
  // Min, the knob stays at the start.
  EXPECT_EQ(SliderDistanceToStep(3, 0, 100, 0), 100);
  EXPECT_EQ(SliderPixelToPosition(3, 0, 100, 0), 0);
  EXPECT_EQ(SliderPositionToPixel(50, 0, 100, 0), 0);
  EXPECT_EQ(SliderPositionToPixel(50, 0, 100, -4), 0);  // a knob longer than the track
  // The widest 32-bit range neither overflows nor leaves it.
  EXPECT_EQ(SliderPixelToPosition(100, INT_MIN, INT_MAX, 100), INT_MAX);
  EXPECT_EQ(SliderPixelToPosition(50, INT_MIN, INT_MAX, 100), -1);
  EXPECT_EQ(SliderPositionToPixel(0, INT_MIN, INT_MAX, 100), 50);
  EXPECT_EQ(SliderDistanceToStep(100, INT_MIN, INT_MAX, 100), std::int64_t{UINT_MAX});
  // Hostile sizes and offsets are limited instead of overflowing.
  TSliderLayoutInput huge;
  huge.Width = huge.Height = huge.PointerOffset = INT_MAX;
  huge.SliderType = stVertical;
  huge.Main = {true, 20, 151};
  huge.Pointer = {true, 16, 30};
  EXPECT_EQ(SliderTrackLength(LayoutSlider(huge), stVertical), (1 << 24) + 2 - 30);
  // The minimum size bounds the length along the axis only.
  int w = 0, h = 0;
  SliderMinimumSize(stHorizontal, {true, 8, 10}, {true, 40, 5}, {true, 6, 12}, w, h);
  EXPECT_EQ(w, 56);
  EXPECT_EQ(h, 2);
  SliderMinimumSize(stVertical, {}, {true, 20, 151}, {}, w, h);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 153);
}

}  // namespace
