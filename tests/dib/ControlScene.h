// A scene like the editor's, read from a description: a container holding one vertical slider
// (20 x 151 masked track, 16 x 30 knob; a 20 x 6 track for horizontal use), one toggling glyph button (160 x 30
// two-frame strip) and one fade label, on a form whose handler methods log what the controls raise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "DIB/Source/cDIBFadeLabel.h"
#include "DIB/Source/cDIBGlyphButton.h"
#include "DIB/Source/cDIBPanel.h"
#include "DIB/Source/cDIBSlider.h"
#include "tests/dib/DIBFixture.h"
#include "ui/ClassRegistry.h"
#include "ui/TypeInfo.h"

namespace scene {

using dibtest::Rgb;

constexpr plat::Color kGrey = Rgb(64, 64, 64);         // the container
constexpr plat::Color kSlot = Rgb(239, 238, 224);      // the track's painted columns
constexpr plat::Color kKnob = Rgb(139, 128, 117);      // the knob
constexpr plat::Color kFrameUp = Rgb(30, 60, 90);      // glyph frame 0
constexpr plat::Color kFrameDown = Rgb(200, 100, 50);  // glyph frame 1
constexpr plat::Color kSilver = Rgb(192, 192, 192);    // the label's highlight
constexpr int kSliderX = 14, kSliderY = 19;            // the slider's place in the container
constexpr int kButtonX = 100, kButtonY = 20;
constexpr int kLabelX = 100, kLabelY = 80, kLabelW = 60, kLabelH = 30;

// The blend of `over` at opacity o onto `under`, per colour byte.
inline plat::Color Blend(plat::Color over, plat::Color under, int o) {
  auto mix = [o](int a, int b) { return (o * a + (255 - o) * b + 255) >> 8; };
  return Rgb(mix(dibtest::RedOf(over), dibtest::RedOf(under)), mix(dibtest::GreenOf(over), dibtest::GreenOf(under)),
             mix(dibtest::BlueOf(over), dibtest::BlueOf(under)));
}

// An image-list item: colour and alpha per pixel; `extra` adds DIB settings.
inline std::string Item(int w, int h, const std::function<plat::Color(int, int)>& color,
                        const std::function<int(int, int)>& alpha = {}, const std::string& extra = {}) {
  return "item\nDIB.Data = " + dibtest::PictureData(w, h, color, alpha) + "\n" + extra + "end\n";
}

// The form: its handlers log "change:<position>", "start", "end", "click:<down>".
class TSceneForm : public TForm {
 public:
  using TForm::TForm;
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = TClassBuilder<TSceneForm>("TSceneForm", &TForm::StaticClass())
                                       .Method("SliderChange", &TSceneForm::SliderChange)
                                       .Method("GestureStart", &TSceneForm::GestureStart)
                                       .Method("GestureEnd", &TSceneForm::GestureEnd)
                                       .Method("ButtonClick", &TSceneForm::ButtonClick)
                                       .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void SliderChange(TPersistent* sender) {
    log.push_back("change:" + std::to_string(static_cast<TDIBSlider*>(sender)->Position()));
  }
  void GestureStart(TPersistent*) { log.push_back("start"); }
  void GestureEnd(TPersistent*) { log.push_back("end"); }
  void ButtonClick(TPersistent* sender) {
    log.push_back(std::string("click:") + (static_cast<TDIBGlyphButton*>(sender)->Down() ? "down" : "up"));
  }
  std::vector<std::string> log;
};

inline std::string Description(const std::string& sliderExtra = {}, const std::string& labelExtra = {}) {
  // The tracks are painted (alpha 255) in their slot columns 8 ... 11 only.
  auto slot = [](int x, int) { return x >= 8 && x <= 11 ? kSlot : Rgb(255, 0, 255); };
  auto slotAlpha = [](int x, int) { return x >= 8 && x <= 11 ? 255 : 0; };
  const std::string track = Item(20, 151, slot, slotAlpha, "DIB.Masked = True\n");
  const std::string knob = Item(
      16, 30, [](int, int) { return kKnob; }, [](int, int) { return 0; });
  const std::string glyph = Item(160, 30, [](int x, int) { return x < 80 ? kFrameUp : kFrameDown; });
  const std::string bar = Item(20, 6, slot, slotAlpha, "DIB.Masked = True\n");
  const std::string strip3 = Item(120, 30, [](int x, int) {
    return x < 40 ? Rgb(255, 0, 0) : x < 80 ? Rgb(0, 255, 0) : Rgb(0, 0, 255);
  });
  return "object F: TSceneForm\n ClientWidth = 300\n ClientHeight = 220\n"
         "object Images: TDIBImageList\n DIBImages = <\n" +
         track + knob + glyph + bar + strip3 +
         ">\nend\n"
         "object C: TDIBContainer\n Left = 0\n Top = 0\n Width = 200\n Height = 200\n Color = $00404040\n"
         " object S: TDIBSlider\n Left = 14\n Top = 19\n Width = 20\n Height = 154\n SliderType = stVertical\n"
         "  Min = 0\n Max = 100\n Position = 20\n LargeChange = 1\n DIBTabOrder = 0\n DIBImageList = Images\n"
         "  IndexMain.DIBIndex = 0\n IndexPointer.DIBIndex = 1\n OnChange = SliderChange\n"
         "  OnGestureStart = GestureStart\n OnGestureEnd = GestureEnd\n" +
         sliderExtra +
         " end\n"
         " object B: TDIBGlyphButton\n Left = 100\n Top = 20\n ToggleDown = True\n DIBImageList = Images\n"
         "  Glyph.DIBIndex = 2\n OnClick = ButtonClick\n OnGestureStart = GestureStart\n"
         "  OnGestureEnd = GestureEnd\n end\n"
         " object L: TDIBFadeLabel\n Left = 100\n Top = 80\n Width = 60\n Height = 30\n Caption = 'III'\n"
         "  ParentFont = False\n Font.Color = clBlack\n Font.Height = 20\n Font.Style = [fsBold]\n"
         "  ColorHighlighted = clSilver\n FrameCount = 10\n FrameDelay = 50\n" +
         labelExtra +
         " end\n"
         "end\nend\n";
}

class SceneTest : public dibtest::DIBFixture {
 protected:
  void SetUp() override {
    DIBFixture::SetUp();
    RegisterClass(TSceneForm::StaticClass());
  }

  void LoadScene(const std::string& sliderExtra = {}, const std::string& labelExtra = {}) {
    auto* f = new TSceneForm(nullptr);
    form = f;
    ReadDescription(*f, Description(sliderExtra, labelExtra));
    f->SetParentWindow(host);
    f->Show();
    Pump();
    sceneForm = f;
    slider = Find<TDIBSlider>("S");
    button = Find<TDIBGlyphButton>("B");
    label = Find<TDIBFadeLabel>("L");
  }
  std::vector<std::string>& Log() { return sceneForm->log; }

  // Screen pixel at a place of the slider / button / label.
  plat::Color SliderPixel(int x, int y) const { return ScreenPixel(slider->Left() + x, slider->Top() + y); }
  plat::Color ButtonPixel(int x, int y) const { return ScreenPixel(kButtonX + x, kButtonY + y); }
  // Whether some pixel of the label's area shows exactly `c`.
  bool LabelShows(plat::Color c) const {
    for (int y = 0; y < kLabelH; ++y)
      for (int x = 0; x < kLabelW; ++x)
        if (ScreenPixel(kLabelX + x, kLabelY + y) == c) return true;
    return false;
  }

  TSceneForm* sceneForm = nullptr;
  TDIBSlider* slider = nullptr;
  TDIBGlyphButton* button = nullptr;
  TDIBFadeLabel* label = nullptr;
};

}  // namespace scene
