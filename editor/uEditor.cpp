#include "editor/uEditor.h"

#include <cmath>
#include <string>
#include <string_view>

#include "DIB/Source/DIBRegister.h"
#include "DIB/Source/cDIBGlyphButton.h"
#include "DIB/Source/cDIBSlider.h"
#include "editor/EditorScale.h"
#include "ui/Errors.h"
#include "ui/StatusBar.h"
#include "ui/TypeInfo.h"
#include "vst/DVstTemplate.h"

// The window description, built into the library from uEditor.desc.
namespace embedded {
extern const std::uint8_t EditorDescription[];
extern const std::size_t EditorDescriptionSize;
}  // namespace embedded

namespace {

constexpr int kSync = 9;
constexpr int kMergeins = 10;
constexpr int kValuePanel = 0;
constexpr int kInfoPanel = 1;

template <class T>
T* Find(const TComponent& root, const char* name) {
  auto* c = dynamic_cast<T*>(root.FindComponent(name));
  if (!c) throw EComponentError(std::string("The editor description has no ") + name);
  return c;
}

}  // namespace

const TFormClassInfo kPluginEditorwindowClass{"TPluginEditorwindow", 415, 218, &CreateFormOf<TPluginEditorwindow>,
                                              &CreateScaledFormOf<TPluginEditorwindow>};

const TClassInfo& TPluginEditorwindow::StaticClass() {
  using T = TPluginEditorwindow;
  static const TClassInfo info = TClassBuilder<T>("TPluginEditorwindow", &TForm::StaticClass())
                                     .Method("p0Change", &T::p0Change)
                                     .Method("p0MouseMove", &T::p0MouseMove)
                                     .Method("p9Click", &T::p9Click)
                                     .Method("p10Click", &T::p10Click)
                                     .Method("DIBFadeLabel10Click", &T::DIBFadeLabel10Click)
                                     .Method("DIBFadeLabel11Click", &T::DIBFadeLabel11Click)
                                     .Method("UpdaterTimer", &T::UpdaterTimer)
                                     .Method("GestureStart", &T::GestureStart)
                                     .Method("GestureEnd", &T::GestureEnd)
                                     .Build();
  return info;
}

TPluginEditorwindow::TPluginEditorwindow(TComponent* owner) : TPluginEditorwindow(owner, 1.0) {}

TPluginEditorwindow::TPluginEditorwindow(TComponent* owner, double scale)
    : TForm(owner), scale_(SnapFormScale(&kPluginEditorwindowClass, scale)) {
  RegisterDIBClasses();
  InitFromDescription(ScaleEditorDescription(
      std::string_view(reinterpret_cast<const char*>(embedded::EditorDescription), embedded::EditorDescriptionSize),
      scale_));
  infos_ = Find<TStatusBar>(*this, "Infos");
  static const char* const kSliders[9] = {"p0", "p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8"};
  for (int i = 0; i < 9; ++i) sliders_[i] = Find<TDIBSlider>(*this, kSliders[i]);
  p9_ = Find<TDIBGlyphButton>(*this, "p9");
  p10_ = Find<TDIBGlyphButton>(*this, "p10");
}

TPluginEditorwindow::~TPluginEditorwindow() {
  // A window closed in the middle of a gesture still ends it for the host.
  if (effect_ && editing_ >= 0) effect_->endEdit(editing_);
}

void TPluginEditorwindow::WndProc(TMessage& message) {
  if (message.msg == kMsgEffectAttach) {
    effect_ = dynamic_cast<TVstTemplate*>(reinterpret_cast<AudioEffect*>(message.wParam));
    if (effect_) Refresh();
    return;
  }
  if (message.msg == kMsgFormTakeOver) {
    if (auto* previous = dynamic_cast<TPluginEditorwindow*>(reinterpret_cast<TForm*>(message.wParam)))
      TakeOver(*previous);
    return;
  }
  if (message.msg == kMsgControlGrabPoint) {
    auto* control = reinterpret_cast<TControl*>(message.wParam);
    auto* point = reinterpret_cast<plat::Point*>(message.lParam);
    message.result = (control && point && GrabPoint(*control, *point)) ? 1 : 0;
    return;
  }
  TForm::WndProc(message);
}

bool TPluginEditorwindow::GrabPoint(TControl& control, plat::Point& point) const {
  // A slider is taken by its knob; anything else where the mouse reaches it and not a caption
  // lying over it (the buttons' captions cover their middles).
  plat::Point start{control.Width() / 2, control.Height() / 2};
  if (auto* slider = dynamic_cast<TDIBSlider*>(&control); slider && slider->Layout().Knob.Left >= 0) {
    const TDIBRect& knob = slider->Layout().Knob;
    start = {(knob.Left + knob.Right) / 2, (knob.Top + knob.Bottom) / 2};
  }
  TWinControl* parent = control.Parent();
  if (!parent) return false;
  auto reaches = [&](plat::Point p) {
    return parent->ControlAtPos({control.Left() + p.x, control.Top() + p.y}) == &control;
  };
  if (reaches(start)) {
    point = start;
    return true;
  }
  // Rows from the bottom up, each from its middle outwards.
  for (int y = control.Height() - 2; y > 0; y -= 2)
    for (int dx = 0; dx < control.Width() / 2; dx += 2)
      for (int x : {start.x + dx, start.x - dx})
        if (x > 0 && x < control.Width() && reaches({x, y})) {
          point = {x, y};
          return true;
        }
  return false;
}

int TPluginEditorwindow::ParameterOf(TPersistent* sender) const {
  if (sender == p9_) return kSync;
  if (sender == p10_) return kMergeins;
  auto* component = dynamic_cast<TComponent*>(sender);
  return component ? component->Tag() : -1;
}

void TPluginEditorwindow::SetValueText(int value) {
  infos_->Panels().Panel(kValuePanel)->SetText(std::to_string(value));
}

void TPluginEditorwindow::TakeOver(const TPluginEditorwindow& previous) {
  for (int panel : {kValuePanel, kInfoPanel})
    infos_->Panels().Panel(panel)->SetText(previous.infos_->Panels().Panel(panel)->Text());
}

void TPluginEditorwindow::p0Change(TPersistent* Sender) {
  auto* slider = dynamic_cast<TDIBSlider*>(Sender);
  if (!slider) return;
  if (effect_ && !refreshing_)
    effect_->setParameterAutomated(slider->Tag(), static_cast<float>(1.0 - slider->Position() / 100.0));
  SetValueText(100 - slider->Position());
}

void TPluginEditorwindow::p0MouseMove(TPersistent* Sender, TShiftState, int, int) {
  if (auto* control = dynamic_cast<TControl*>(Sender)) infos_->Panels().Panel(kInfoPanel)->SetText(control->Hint());
}

void TPluginEditorwindow::ButtonClick(TDIBGlyphButton* button, int index) {
  if (!effect_) return;
  // Each test sees the button as it is then (the click toggles it only afterwards).
  if (button->Down()) effect_->setParameterAutomated(index, 0.0f);
  if (!button->Down()) effect_->setParameterAutomated(index, 1.0f);
}

void TPluginEditorwindow::CaptionClick(TDIBGlyphButton* button, int index) {
  // A caption click is a gesture of its own: the button does not see it.
  GestureStart(button);
  ButtonClick(button, index);
  GestureEnd(button);
}

void TPluginEditorwindow::p9Click(TPersistent*) { ButtonClick(p9_, kSync); }
void TPluginEditorwindow::p10Click(TPersistent*) { ButtonClick(p10_, kMergeins); }
void TPluginEditorwindow::DIBFadeLabel10Click(TPersistent*) { CaptionClick(p9_, kSync); }
void TPluginEditorwindow::DIBFadeLabel11Click(TPersistent*) { CaptionClick(p10_, kMergeins); }

void TPluginEditorwindow::GestureStart(TPersistent* Sender) {
  if (!effect_) return;
  if (editing_ >= 0) effect_->endEdit(editing_);  // an unfinished gesture ends before the next
  editing_ = ParameterOf(Sender);
  if (editing_ >= 0) effect_->beginEdit(editing_);
}

void TPluginEditorwindow::GestureEnd(TPersistent*) {
  if (!effect_ || editing_ < 0) return;
  const int index = editing_;
  editing_ = -1;
  effect_->endEdit(index);
}

void TPluginEditorwindow::UpdaterTimer(TPersistent*) {
  if (effect_ && effect_->isChanged()) Refresh();
}

void TPluginEditorwindow::Refresh() {
  // Cleared first: a change the host makes while the controls move sets it again for the next tick.
  effect_->clearChanged();
  refreshing_ = true;
  try {
    for (int i = 0; i < 9; ++i) SliderFeedback(sliders_[i], i);
    ButtonFeedback(p9_, kSync);
    ButtonFeedback(p10_, kMergeins);
  } catch (...) {
    refreshing_ = false;
    throw;
  }
  refreshing_ = false;
}

void TPluginEditorwindow::SliderFeedback(TDIBSlider* slider, int index) {
  // 100 v in extended precision, to the nearest integer with ties to even.
  const long double n = std::nearbyint(static_cast<long double>(effect_->getParameter(index)) * 100.0L);
  const int p = 100 - static_cast<int>(n);
  if (p != slider->Position()) slider->SetPosition(p);
}

void TPluginEditorwindow::ButtonFeedback(TDIBGlyphButton* button, int index) {
  const float x = effect_->getParameter(index);
  if (x > 0.5f && !button->Down()) button->SetDown(true);
  if (x < 0.5f && button->Down()) button->SetDown(false);
}
