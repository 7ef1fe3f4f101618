// The fade label end to end: a hover and a whole fade on the virtual clock with the text colour
// read back from the screen, table changes during a fade, the disabled emboss, Space and Alt +
// accelerator clicks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DIB/Source/cDIBFeatures.h"
#include "tests/dib/ControlScene.h"
#include "ui/Application.h"

namespace {

using dibtest::Rgb;
using scene::kLabelX;
using scene::kLabelY;
using scene::kSilver;

constexpr plat::Color kBlack = Rgb(0, 0, 0);

constexpr plat::Color kEntry7 = Rgb(153, 153, 153);  // black to silver: 8 x 19.2, truncated

// A feature that takes the label's dialog character, font and text notices.
struct TNoticeTaker : TDIBFeature {
  using TDIBFeature::TDIBFeature;
  void HandleMessage(TMessage& m, bool& handled) override {
    handled = m.msg == kCmDialogChar || m.msg == kCmFontChanged || m.msg == kCmTextChanged;
  }
};

class FadeLabelTest : public scene::SceneTest {
 protected:
  void Enter() { MoveTo(kLabelX + 30, kLabelY + 15); }
  void Leave() { MoveTo(5, 190); }
};

TEST_F(FadeLabelTest, EnteringOrAFontChangeDuringAFade) {
  LoadScene();
  // Entering during a fade stops it at once.
  Enter();
  Leave();
  Advance(150);
  EXPECT_TRUE(LabelShows(kEntry7));
  Enter();
  EXPECT_FALSE(label->Fading());
  EXPECT_TRUE(LabelShows(kSilver));
  Advance(500);
  EXPECT_TRUE(LabelShows(kSilver));

  // A font change while hovered keeps the highlight; the new colour shows when the fade ends.
  label->Font().SetColor(clRed);
  Pump();
  EXPECT_TRUE(LabelShows(kSilver));
  EXPECT_EQ(label->FadeTable().front(), Rgb(248, 19, 19));  // rebuilt from red: 255 - 6.3, 19.2, 19.2
  Leave();
  Advance(500);
  EXPECT_TRUE(LabelShows(Rgb(255, 0, 0)));
}

TEST_F(FadeLabelTest, ShortFadesAndTablesChangedDuringAFade) {
  LoadScene();
  label->SetFrameCount(1);
  EXPECT_TRUE(label->FadeTable().empty());
  Enter();
  Leave();
  EXPECT_FALSE(label->Fading());
  EXPECT_TRUE(LabelShows(kBlack));

  label->SetFrameCount(10);
  label->SetFrameDelay(0);
  Enter();
  Leave();
  EXPECT_FALSE(label->Fading());
  EXPECT_TRUE(LabelShows(kBlack));

  // Three ticks into a fade of ten (next entry 6), the table shrinks to three: the fade goes on from
  // its last entry.
  label->SetFrameDelay(50);
  Enter();
  Leave();
  Advance(150);
  ASSERT_TRUE(LabelShows(kEntry7));
  label->SetFrameCount(3);  // black to silver in 3: 64, 128, 192
  EXPECT_EQ(label->FadeIndex(), 2);
  Advance(50);
  EXPECT_TRUE(LabelShows(kSilver));
  Advance(50);
  EXPECT_TRUE(LabelShows(Rgb(128, 128, 128)));
  Advance(50);
  EXPECT_TRUE(LabelShows(kBlack));
  EXPECT_FALSE(label->Fading());

  // Down to one frame during a fade: the fade ends in the font colour.
  label->SetFrameCount(10);
  Enter();
  Leave();
  Advance(100);
  label->SetFrameCount(1);
  EXPECT_FALSE(label->Fading());
  Pump();
  EXPECT_TRUE(LabelShows(kBlack));
  Advance(500);
  EXPECT_EQ(Application().ErrorCount(), 0u);
}

TEST_F(FadeLabelTest, DisabledCaptionIsEmbossed) {
  LoadScene();
  label->SetColorHighlighted(clWhite);
  // The box of the pixels the text touches, left, top, right, bottom.
  auto box = [&] {
    std::vector<int> b{1000, 1000, -1, -1};
    for (int y = 0; y < scene::kLabelH; ++y)
      for (int x = 0; x < scene::kLabelW; ++x)
        if (ScreenPixel(kLabelX + x, kLabelY + y) != scene::kGrey)
          b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
    return b;
  };
  const std::vector<int> enabled = box();
  ASSERT_GE(enabled[2], enabled[0]);
  EXPECT_FALSE(LabelShows(Rgb(255, 255, 255)));
  label->SetEnabled(false);
  Pump();
  // A second copy in the highlight one pixel right and down, under the text in the font colour.
  EXPECT_EQ(box(), (std::vector<int>{enabled[0], enabled[1], enabled[2] + 1, enabled[3] + 1}));
  EXPECT_TRUE(LabelShows(Rgb(255, 255, 255)));
  EXPECT_TRUE(LabelShows(kBlack));
}

TEST_F(FadeLabelTest, SpaceAndAltAcceleratorClick) {
  LoadScene();
  int clicks = 0;
  label->OnClick = TNotifyEvent([&](TPersistent*) { ++clicks; });
  label->SetCaption("&Sync");
  label->Perform(plat::kMsgSetFocus);
  ASSERT_TRUE(label->Focused());
  hl->InjectChar('s');  // the character alone does nothing
  EXPECT_EQ(clicks, 0);
  hl->InjectChar(' ');
  EXPECT_EQ(clicks, 1);
  hl->InjectKey(plat::kVkMenu, true);
  hl->InjectChar('S');
  hl->InjectChar('x');
  hl->InjectKey(plat::kVkMenu, false);
  EXPECT_EQ(clicks, 2);
  label->SetShowAccelChar(false);
  hl->InjectKey(plat::kVkMenu, true);
  hl->InjectChar('s');
  hl->InjectKey(plat::kVkMenu, false);
  EXPECT_EQ(clicks, 2);

  // Features see the dialog character, font and text notices before the label: taken by one, they
  // leave the label as it was.
  label->SetShowAccelChar(true);
  label->SetAutoSize(true);
  static_cast<TDIBFeatureItem*>(label->DIBFeatures()->Add())->SetFeature(new TNoticeTaker(label));
  const int width = label->Width();
  const std::vector<plat::Color> table = label->FadeTable();
  hl->InjectKey(plat::kVkMenu, true);
  hl->InjectChar('S');
  hl->InjectKey(plat::kVkMenu, false);
  label->Font().SetColor(clRed);
  label->SetCaption("&Sync all of them");
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(label->FadeTable(), table);  // not rebuilt from red
  EXPECT_EQ(label->Width(), width);
}

}  // namespace
