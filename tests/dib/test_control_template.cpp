// Control templates: a control saved with its template properties and pictures, loaded into a
// control of another image list (reusing pictures loaded before), and the errors on the way.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DIB/Source/DIBStream.h"
#include "DIB/Source/cDIBControlTemplate.h"
#include "DIB/Source/cDIBImage.h"
#include "DIB/Source/cDIBImageList.h"
#include "DIBFixture.h"
#include "ui/ClassRegistry.h"
#include "ui/Errors.h"
#include "ui/TypeInfo.h"

using namespace dibtest;

namespace {

std::string SceneText() {
  return "object F: TForm\n"
         "object Images: TDIBImageList\n"
         "DIBImages = <\n" +
         PictureItem(4, 4, [](int, int) { return Rgb(9, 9, 9); }) +
         PictureItem(6, 3, [](int x, int y) { return Rgb(x * 40, y * 80, 7); }) +
         ">\nend\n"
         "object Other: TDIBImageList\n"
         "DIBImages = <\n" +
         PictureItem(2, 2, [](int, int) { return Rgb(1, 1, 1); }) +
         ">\nend\n"
         "object Box: TDIBContainer\n"
         "Width = 200\nHeight = 100\n"
         "object Pic: TDIBImage\n"
         "Left = 5\nTop = 5\nWidth = 30\nHeight = 12\nDIBImageList = Images\nIndexMain.DIBIndex = 1\n"
         "Stretch = True\nOpacity = 77\n"
         "end\n"
         "object Target: TDIBImage\nDIBImageList = Other\nend\n"
         "object Target2: TDIBImage\nDIBImageList = Other\nend\n"
         "object Bare: TDIBImage\nend\n"
         "end\n"
         "end\n";
}

bool CountingGuid(std::uint8_t out[16]) {
  for (int i = 0; i < 16; ++i) out[i] = static_cast<std::uint8_t>(i);
  return true;
}

// Registers what it is told to, for the registration errors.
class TTemplateProbe : public TDIBImage {
 public:
  using TDIBImage::TDIBImage;
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TTemplateProbe>("TTemplateProbe", &TDIBImage::StaticClass()).Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
  void Register(const std::string& name) { RegisterTemplateProperty(name); }
};

class TemplateTest : public DIBFixture {
 protected:
  void SetUp() override {
    DIBFixture::SetUp();
    LoadForm(SceneText());
    images = Find<TDIBImageList>("Images");
    other = Find<TDIBImageList>("Other");
    pic = Find<TDIBImage>("Pic");
    target = Find<TDIBImage>("Target");
  }
  TDIBImageList *images = nullptr, *other = nullptr;
  TDIBImage *pic = nullptr, *target = nullptr;
};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

TEST_F(TemplateTest, SaveThenLoadIntoAnotherListReusesPictures) {
  const std::string text = SaveControlTemplate(*pic, CountingGuid);
  const std::string guid = "{03020100-0504-0706-0809-0A0B0C0D0E0F}";
  EXPECT_NE(text.find("TemplateGuid = '" + guid + "'"), std::string::npos) << text;
  EXPECT_NE(text.find("ControlClass = 'TDIBImage'"), std::string::npos);
  EXPECT_NE(text.find("Control.IndexMain = 0"), std::string::npos);
  EXPECT_NE(text.find("Control.Stretch = True"), std::string::npos);
  EXPECT_NE(text.find("DIB.Data = {"), std::string::npos);

  LoadControlTemplate(*target, text);
  ASSERT_EQ(other->DIBImages()->Count(), 2);
  TDIBImagesItem* loaded = other->DIBImages()->Items(1);
  EXPECT_EQ(loaded->TemplateFilename, guid + ":0");
  EXPECT_EQ(target->IndexMain()->DIBImageList(), other);
  EXPECT_EQ(target->IndexMain()->DIBIndex(), 1);
  EXPECT_EQ(target->Width(), 30);
  EXPECT_EQ(target->Height(), 12);
  EXPECT_TRUE(target->Stretch());
  EXPECT_EQ(target->Opacity(), 77);
  // The picture arrived pixel for pixel.
  const TMemoryDIB* want = images->DIBImages()->Items(1)->StoredDIB();
  const TMemoryDIB* got = loaded->StoredDIB();
  ASSERT_EQ(got->Width(), 6);
  ASSERT_EQ(got->Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(ImagePixel(*got, x, y), ImagePixel(*want, x, y)) << x << "," << y;

  // A second control from the same template reuses the picture; so does loading through a stream.
  auto* target2 = Find<TDIBImage>("Target2");
  TDIBMemoryStream stream(text.data(), text.size());
  target2->LoadTemplate(stream);
  EXPECT_EQ(other->DIBImages()->Count(), 2);
  EXPECT_EQ(target2->IndexMain()->DIBIndex(), 1);

  // Saving through a stream gives a fresh identifier each time.
  TDIBMemoryStream out1, out2;
  pic->SaveTemplate(out1);
  pic->SaveTemplate(out2);
  const std::string t1(out1.Bytes().begin(), out1.Bytes().end());
  const std::string t2(out2.Bytes().begin(), out2.Bytes().end());
  EXPECT_NE(t1.substr(0, t1.find("ControlClass")), t2.substr(0, t2.find("ControlClass")));
}

TEST_F(TemplateTest, ErrorsChangeNothing) {
  const std::string text = SaveControlTemplate(*pic, CountingGuid);
  EXPECT_EQ(ErrorOf([&] { SaveControlTemplate(*pic, [](std::uint8_t*) { return false; }); }),
            "Could not create a GUID for your new template.");
  EXPECT_EQ(ErrorOf([&] { LoadControlTemplate(*Find<TDIBImage>("Bare"), text); }),
            "No DIB image list has been assigned.");

  // A template cut short anywhere, or one whose picture number is out of range: nothing is applied.
  for (std::size_t end = text.find('\n'); end + 1 < text.size(); end = text.find('\n', end + 1))
    EXPECT_THROW(LoadControlTemplate(*target, text.substr(0, end + 1)), EDescriptionError) << end;
  EXPECT_THROW(LoadControlTemplate(*target, text.substr(0, text.size() / 2)), EDescriptionError);
  std::string wrong = text;
  wrong.replace(wrong.find("Control.IndexMain = 0"), 21, "Control.IndexMain = 5");
  EXPECT_THROW(LoadControlTemplate(*target, wrong), EDIBControlError);
  EXPECT_EQ(other->DIBImages()->Count(), 1);
  EXPECT_EQ(target->Width(), 32);
  EXPECT_EQ(target->IndexMain()->DIBIndex(), -1);

  TTemplateProbe probe(Find<TComponent>("Box"));
  EXPECT_EQ(
      ErrorOf([&] { probe.Register("Nope"); }),
      "Class TTemplateProbe is trying to register Nope as a template property, and that property does not exist.");
  EXPECT_EQ(ErrorOf([&] { probe.Register("OnClick"); }), "Attempting to template an invalid property type.");
  EXPECT_EQ(ErrorOf([&] { probe.Register("Children"); }), "Attempting to template an invalid property type.");
  EXPECT_EQ(ErrorOf([&] { probe.Register("IndexMain"); }), "(no error)");
}

// A template of every control class, object properties (fonts, caption offsets) included, brings
// every value over; saving only reads the control, and a template cut short changes nothing.
TEST_F(TemplateTest, EveryControlClassRoundTripsItsTemplate) {
  const struct {
    const char* controlClass;
    const char* settings;   // description lines of the saved control
    const char* savedLine;  // one of them as the template holds it
  } rows[] = {
      {"TDIBImage", "IndexMain.DIBIndex = 0\nCenter = True\nAngle = 30\nOpacity = 77\n", "Control.Angle = 30.0"},
      {"TDIBSlider", "SliderType = stVertical\nMax = 50\nPosition = 40\nStretchBackground = False\n",
       "Control.SliderType = stVertical"},
      {"TDIBGlyphButton",
       "NumGlyphs = 3\nParentFont = False\nFont.Name = 'Courier New'\nFont.Style = [fsItalic]\n"
       "FontDisabled.Color = clRed\nCaptionOffsetDown.Y = -2\nCaptionOffsetMouseOver.X = 1\n",
       "Control.CaptionOffsetDown.Y = -2"},
      {"TDIBFadeLabel", "Width = 70\nHeight = 25\n", "Control.Width = 70"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.controlClass);
    TForm scene(nullptr);
    ReadDescription(scene, std::string("object F: TForm\nobject Images: TDIBImageList\nDIBImages = <\n") +
                               PictureItem(6, 3, [](int x, int) { return Rgb(x * 40, 0, 7); }) +
                               ">\nend\nobject Other: TDIBImageList\nend\nobject Box: TDIBContainer\nobject Source: " +
                               row.controlClass + "\nDIBImageList = Images\n" + row.settings +
                               "end\nobject Target: " + row.controlClass + "\nDIBImageList = Other\nend\nend\nend\n");
    auto* source = dynamic_cast<TCustomDIBControl*>(scene.FindComponent("Source"));
    auto* target = dynamic_cast<TCustomDIBControl*>(scene.FindComponent("Target"));
    ASSERT_TRUE(source && target);
    const std::string text = SaveControlTemplate(*source, CountingGuid);
    EXPECT_NE(text.find(row.savedLine), std::string::npos) << text;
    EXPECT_EQ(SaveControlTemplate(*source, CountingGuid), text);
    const std::string before = SaveControlTemplate(*target, CountingGuid);
    EXPECT_THROW(LoadControlTemplate(*target, text.substr(0, text.rfind("end"))), EDescriptionError);
    EXPECT_EQ(SaveControlTemplate(*target, CountingGuid), before);
    LoadControlTemplate(*target, text);
    EXPECT_EQ(SaveControlTemplate(*target, CountingGuid), text);
  }
}
