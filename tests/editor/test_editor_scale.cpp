// The editor window at the scales it comes in: the host's content-scale request, the window's size
// and layout, the same values for the same fraction of a drag at every scale, a change of scale
// while the window is open, and pictures at 200 %.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "DIB/Source/cDIBFadeLabel.h"
#include "DIB/Source/cDIBGlyphButton.h"
#include "DIB/Source/cDIBSlider.h"
#include "tests/editor/EditorFixture.h"

namespace {

const char* const kSliders[9] = {"p0", "p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8"};

class ScaledEditorTest : public EditorTest {
 protected:
  // Asks for `factor`, sizes the host window by getRect and opens the editor in it.
  void OpenAt(float factor) {
    ASSERT_EQ(AskScale(factor), 1);
    ERect* r = nullptr;
    ASSERT_EQ(Dispatch(effEditGetRect, 0, 0, &r), 1);
    MakeHostWindow(r->right - r->left, r->bottom - r->top);
    Open();
  }
  TVstTemplateEditor& Editor() const { return *dynamic_cast<TVstTemplateEditor*>(effect->getEditor()); }
  plat::Size ClientSize() const {
    plat::Size size;
    EXPECT_EQ(plat::Platform().GetClientSize(Window()->Handle(), &size), plat::Status::Ok);
    return size;
  }
};

TEST_F(ScaledEditorTest, EveryLengthIsTheDesignedOneTimesTheScale) {
  struct Case {
    float asked;
    double scale;
    int width, height;
  };
  // Requests between the scales go to the nearest (a tie to the smaller).
  const Case cases[] = {{1.0f, 1.0, 415, 218}, {1.5f, 1.5, 623, 327},  {2.0f, 2.0, 830, 436}, {3.0f, 3.0, 1245, 654},
                        {1.7f, 1.5, 623, 327}, {1.25f, 1.0, 415, 218}, {2.4f, 2.0, 830, 436}, {7.5f, 3.0, 1245, 654}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    OpenAt(c.asked);
    EXPECT_EQ(Editor().getScale(), c.scale);
    EXPECT_EQ(ClientSize(), (plat::Size{c.width, c.height}));
    ERect* r = nullptr;
    ASSERT_EQ(Dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right - r->left, c.width);
    EXPECT_EQ(r->bottom - r->top, c.height);
    // Edges at round(edge * scale): p10 is 315, 63, 80 x 30, the captions 11 pixels high.
    auto edge = [&](double v) { return int(std::lround(v * c.scale)); };
    const KestruneControl p10 = Locate("p10");
    EXPECT_EQ(p10.left, edge(315));
    EXPECT_EQ(p10.top, edge(63));
    EXPECT_EQ(p10.width, edge(395) - edge(315));
    EXPECT_EQ(p10.height, edge(93) - edge(63));
    // A slider (113, 19, 20 x 154) is scaled with its track picture, which reaches a pixel beyond
    // both ends: from 18 to 174 scaled, one pixel in at each end; its track (that length less the
    // knob's 30) grows exactly with the scale.
    const KestruneControl p3 = Locate("p3");
    EXPECT_EQ(p3.left, edge(113));
    EXPECT_EQ(p3.width, edge(133) - edge(113));
    EXPECT_EQ(p3.top, edge(18) + 1);
    EXPECT_EQ(p3.height, edge(174) - 1 - (edge(18) + 1));
    EXPECT_EQ(Control<TDIBSlider>("p3")->TrackLength(), edge(126));
    EXPECT_EQ(Control<TDIBFadeLabel>("DIBFadeLabel4")->Font().Height(), edge(11));
    const KestruneControl infos = Locate("Infos");
    EXPECT_EQ(infos.top, edge(200));
    EXPECT_EQ(infos.height, edge(218) - edge(200));
    EXPECT_EQ(Control<TStatusBar>("Infos")->Panels().Panel(0)->Width(), edge(40));
    EXPECT_TRUE(resizes.empty());  // getRect told the size before the window was made
    Dispatch(effEditClose);
  }
}

// The same drag, measured in the designed pixels and made over the scaled track, gives the same
// values at every scale; p8 taken 40 designed pixels down from the top shows 69.
TEST_F(ScaledEditorTest, TheSameFractionOfATrackGivesTheSameValueAtEveryScale) {
  struct Step {
    int slider;
    int pixels;  // designed pixels, positive down
  };
  const Step steps[] = {{0, -37}, {1, 13}, {2, 61}, {3, -200}, {4, 31}, {5, 7}, {6, 124}, {7, -3}, {8, 40}};
  std::vector<float> start, atDesigned;
  for (int i = 0; i < 9; ++i) start.push_back(effect->getParameter(i));
  for (float scale : {1.0f, 1.5f, 2.0f, 3.0f}) {
    SCOPED_TRACE(scale);
    for (int i = 0; i < 9; ++i) effect->setParameter(i, start[i]);  // the same start at every scale
    OpenAt(scale);
    for (const Step& s : steps) Drag(kSliders[s.slider], int(std::lround(s.pixels * scale)));
    Wait(30);
    std::vector<float> values;
    for (int i = 0; i < 9; ++i) values.push_back(effect->getParameter(i));
    if (atDesigned.empty())
      atDesigned = values;
    else
      for (int i = 0; i < 9; ++i) EXPECT_EQ(values[i], atDesigned[i]) << kSliders[i];
    EXPECT_EQ(Panel(0), "69");  // the last drag: Master from the top, 40 of 124 designed pixels
    EXPECT_EQ(Control<TDIBSlider>("p8")->Position(), 31);
    Dispatch(effEditClose);
  }
}

TEST_F(ScaledEditorTest, BadFactorsAreIgnored) {
  OpenAt(2.0f);
  TPluginEditorwindow* before = Window();
  for (float bad : {0.0f, -1.0f, -2.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity(), 8.5f, 1e30f}) {
    EXPECT_EQ(AskScale(bad), 0) << bad;
    EXPECT_EQ(Window(), before);
    EXPECT_EQ(Editor().getScale(), 2.0);
  }
  // Other vendor requests with the same index are not ours to answer.
  EXPECT_EQ(Dispatch(effVendorSpecific, kVendorContentScale, 0, nullptr, 1.0f), 0);
  EXPECT_EQ(Window(), before);
  EXPECT_TRUE(resizes.empty());
}

TEST_F(ScaledEditorTest, AScaleChangeWhileOpenRebuildsTheWindowKeepingWhatItShows) {
  resizeAnswer = 1;
  Open();
  Drag("p5", 30);
  Hover("p2");
  const float p5 = effect->getParameter(5);
  const std::string value = Panel(0), info = Panel(1);
  ASSERT_EQ(info, "Damp modulation amount");

  // What a host does before it answers the resize.
  ASSERT_EQ(plat::Platform().SetBounds(host, plat::Rect{0, 0, 830, 436}), plat::Status::Ok);
  calls.clear();
  ASSERT_EQ(AskScale(2.0f), 1);
  ASSERT_EQ(resizes.size(), 1u);
  EXPECT_EQ(resizes[0], (std::pair<int, int>{830, 436}));
  EXPECT_EQ(Editor().getScale(), 2.0);
  Wait(20);
  EXPECT_EQ(ClientSize(), (plat::Size{830, 436}));
  EXPECT_EQ(Panel(0), value);
  EXPECT_EQ(Panel(1), info);
  EXPECT_EQ(Control<TDIBSlider>("p5")->Position(), int(std::lround(100 - p5 * 100)));
  EXPECT_EQ(effect->getParameter(5), p5);
  EXPECT_TRUE(calls.empty());  // nothing written back
  EXPECT_EQ(TVstTemplateEditor::OpenForms(), 1);
  // The new window works: the mouse at 200 % reaches the control at its doubled place.
  Hover("p7");
  EXPECT_EQ(Panel(1), "Right modulation amount");
}

TEST_F(ScaledEditorTest, AHostRefusingTheResizeKeepsAWholeWindow) {
  Open();  // 415 x 218 host window, and the host refuses every resize
  Hover("p2");
  ASSERT_EQ(AskScale(3.0f), 1);
  ASSERT_FALSE(resizes.empty());
  EXPECT_EQ(resizes.front(), (std::pair<int, int>{1245, 654}));
  EXPECT_EQ(ClientSize(), (plat::Size{415, 218}));
  EXPECT_EQ(Editor().getScale(), 1.0);
  EXPECT_EQ(TVstTemplateEditor::OpenForms(), 1);
  ERect* r = nullptr;
  ASSERT_EQ(Dispatch(effEditGetRect, 0, 0, &r), 1);
  EXPECT_EQ(r->right, 415);
  EXPECT_EQ(r->bottom, 218);
  EXPECT_EQ(Panel(1), "Damp modulation amount");
  Wait(20);
  Drag("p8", 40);
  EXPECT_EQ(Panel(0), "69");
  ExpectGolden("slider-dragged-refused-scale");
}

TEST_F(ScaledEditorTest, PicturesAtTwiceTheScale) {
  OpenAt(2.0f);
  ExpectGolden("initial-200");
  Drag("p8", 80);
  Click("p9");
  Hover("p5");
  Wait(100);
  ExpectGolden("dragged-200");
}

// At 200 % the window is drawn for the density, not the designed picture with every pixel doubled:
// text, gradients and the status bar's lines differ from a doubled copy in many places.
TEST_F(ScaledEditorTest, TwiceTheScaleIsNotADoubledPicture) {
  Open();
  std::unique_ptr<plat::Surface> designed, doubled;
  ASSERT_EQ(hl->ReadScreen(host, &designed), plat::Status::Ok);
  Dispatch(effEditClose);
  OpenAt(2.0f);
  ASSERT_EQ(hl->ReadScreen(host, &doubled), plat::Status::Ok);
  ASSERT_EQ(doubled->Width(), 830);
  ASSERT_EQ(doubled->Height(), 436);
  int differing = 0;
  for (int y = 0; y < 436; ++y)
    for (int x = 0; x < 830; ++x) {
      const std::uint8_t* a = doubled->Bits() + (std::size_t(y) * 830 + x) * 4;
      const std::uint8_t* b = designed->Bits() + (std::size_t(y / 2) * 415 + x / 2) * 4;
      differing += std::memcmp(a, b, 3) != 0;
    }
  EXPECT_GT(differing, 830 * 436 / 10);
}

}  // namespace
