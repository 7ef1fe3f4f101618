// The static image: auto-size, centring, stretch, angle and scale, drawn into a container and read
// back from its buffer.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBPanel.h"
#include "tests/dib/DIBFixture.h"

namespace {

using dibtest::Rgb;

constexpr plat::Color kBack = Rgb(9, 9, 9);
// A picture whose left half is red and right half blue, so that a drawn position can be read.
plat::Color Halves(int x, int w) { return x < w / 2 ? Rgb(255, 0, 0) : Rgb(0, 0, 255); }

class ImageTest : public dibtest::DIBFixture {
 protected:
  // A container of w x h holding one image of the picture size pw x ph (list index 0); a second
  // picture of 8 x 8 at index 1.
  void Load(int w, int h, int pw, int ph, const std::string& imageProps) {
    LoadForm(
        "object F: TForm\n ClientWidth = 500\n ClientHeight = 300\n"
        "object Images: TDIBImageList\n DIBImages = <\n" +
        dibtest::PictureItem(pw, ph, [pw](int x, int) { return Halves(x, pw); }) +
        dibtest::PictureItem(8, 8, [](int, int) { return Rgb(0, 255, 0); }) +
        ">\nend\n"
        "object C: TDIBContainer\n Width = " +
        std::to_string(w) + "\n Height = " + std::to_string(h) +
        "\n Color = $00090909\n"
        " object I: TDIBImage\n DIBImageList = Images\n IndexMain.DIBIndex = 0\n" +
        imageProps + "\n end\nend\nend\n");
    container = Find<TDIBContainer>("C");
    image = Find<TDIBImage>("I");
  }
  plat::Color At(int x, int y) const { return ImagePixel(container->BufferDIB(), x, y); }

  TDIBContainer* container = nullptr;
  TDIBImage* image = nullptr;
};

}  // namespace

TEST_F(ImageTest, AutoSizeTakesTheEvenBoundsAndClipsTheLastColumn) {
  Load(500, 250, 415, 200, " AutoSize = True");
  EXPECT_EQ(image->Width(), 414);
  EXPECT_EQ(image->Height(), 200);
  EXPECT_EQ(At(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(At(413, 199), Rgb(0, 0, 255));
  EXPECT_EQ(At(414, 0), kBack);  // the picture's last column is cut
  EXPECT_EQ(At(0, 200), kBack);
}

TEST_F(ImageTest, CentringPlacesThePictureAndMayCutBothSides) {
  Load(300, 200, 100, 50, " Width = 200\n Height = 100\n Center = True");
  EXPECT_EQ(At(49, 25), kBack);
  EXPECT_EQ(At(50, 25), Rgb(255, 0, 0));
  EXPECT_EQ(At(149, 74), Rgb(0, 0, 255));
  EXPECT_EQ(At(150, 74), kBack);
  EXPECT_EQ(At(50, 24), kBack);
  // In a 50 x 50 control the picture starts at (-25, 0): its middle 50 columns show.
  image->SetBounds(0, 0, 50, 50);
  Pump();
  EXPECT_EQ(At(0, 0), Rgb(255, 0, 0));   // picture column 25
  EXPECT_EQ(At(24, 0), Rgb(255, 0, 0));  // column 49
  EXPECT_EQ(At(25, 0), Rgb(0, 0, 255));  // column 50
  EXPECT_EQ(At(49, 49), Rgb(0, 0, 255));
  EXPECT_EQ(At(50, 0), kBack);
}

TEST_F(ImageTest, StretchScaleAndAngle) {
  Load(300, 200, 100, 50, " Width = 200\n Height = 100\n Stretch = True");
  EXPECT_EQ(At(99, 99), Rgb(255, 0, 0));  // drawn 200 x 100: the red half is 100 wide
  EXPECT_EQ(At(100, 0), Rgb(0, 0, 255));
  EXPECT_EQ(At(199, 99), Rgb(0, 0, 255));
  EXPECT_EQ(At(200, 0), kBack);
  image->SetScale(50);  // ends stretching: drawn 50 x 25
  EXPECT_FALSE(image->Stretch());
  Pump();
  EXPECT_EQ(At(24, 24), Rgb(255, 0, 0));
  EXPECT_EQ(At(25, 0), Rgb(0, 0, 255));
  EXPECT_EQ(At(50, 0), kBack);
  EXPECT_EQ(At(0, 25), kBack);

  // Stretch ends AutoSize; -90 is kept as 270 and auto-size takes the rotated bounds.
  image->SetAutoSize(true);
  image->SetStretch(true);
  EXPECT_FALSE(image->AutoSize());
  image->SetStretch(false);
  image->SetScale(100);
  image->SetAngle(-90);
  EXPECT_EQ(image->Angle(), 270);
  image->SetAutoSize(true);
  EXPECT_EQ(image->Width(), 50);
  EXPECT_EQ(image->Height(), 100);
  image->SetAngle(725);
  EXPECT_EQ(image->Angle(), 5);
  // Angles far off the circle (as a description may hold) still land on it, at once.
  image->SetAutoSize(false);
  image->SetAngle(1e300);
  EXPECT_GE(image->Angle(), 0);
  EXPECT_LT(image->Angle(), 360);
  image->SetAngle(-1e-30);
  EXPECT_GE(image->Angle(), 0);
  EXPECT_LT(image->Angle(), 360);
  // What no drawing can use is refused with a clear error, the settings kept.
  const long double angle = image->Angle();
  EXPECT_THROW(image->SetAngle(std::numeric_limits<long double>::quiet_NaN()), EDIBError);
  EXPECT_THROW(image->SetScale(std::numeric_limits<long double>::infinity()), EDIBError);
  EXPECT_EQ(image->Angle(), angle);
  EXPECT_EQ(image->Scale(), 100);
}

TEST_F(ImageTest, SettingsNeverReachTheSharedPictureAndOtherPicturesDoNotRepaint) {
  Load(300, 200, 100, 50, " Width = 100\n Height = 50\n Angle = 180");
  // Rotated by 180 the blue half comes first.
  EXPECT_EQ(At(10, 10), Rgb(0, 0, 255));
  TAbstractSuperDIB* stored = Find<TDIBImageList>("Images")->DIBImages()->Items(0)->StoredDIB();
  EXPECT_EQ(stored->Angle(), 0);
  EXPECT_FALSE(stored->AutoSize());
  // A second image of the same picture draws it untransformed.
  auto* plain = new TDIBImage(form);
  plain->SetParent(container);
  plain->SetDIBImageList(image->DIBImageList());
  plain->IndexMain()->SetDIBIndex(0);
  plain->SetBounds(150, 0, 100, 50);
  Pump();
  EXPECT_EQ(At(160, 10), Rgb(255, 0, 0));
  EXPECT_EQ(At(10, 10), Rgb(0, 0, 255));

  // A change to the other picture leaves the image alone; a change to its own repaints it.
  Advance(50);
  const std::uint32_t before = image->LastChangeTime();
  Find<TDIBImageList>("Images")->DIBImages()->Items(1)->StoredDIB()->Fill(0);
  EXPECT_EQ(image->LastChangeTime(), before);
  Find<TDIBImageList>("Images")->DIBImages()->Items(0)->StoredDIB()->Fill(0x00FFFF);
  EXPECT_NE(image->LastChangeTime(), before);
  Pump();
  EXPECT_EQ(At(10, 10), Rgb(255, 255, 0));
}
