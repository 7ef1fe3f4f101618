// The editor window of KestruneEn: nine sliders and two toggle buttons on a skinned background,
// eleven fading captions and a status bar (value panel, info panel). Everything it shows is read
// from its window description (uEditor.desc, built into the library); its own logic is the
// two-way binding with the effect:
// - a user's change of a slider or button is written to the effect with setParameterAutomated,
//   bracketed by the host's begin-edit and end-edit around the whole gesture;
// - every 15 ms, when the effect reports changed parameters, the controls are moved to the
//   effect's values without being written back (the flag is cleared before the values are read,
//   so a change made meanwhile shows at the next tick);
// - the info panel shows the hint of the control under the mouse, the value panel the value of
//   the slider that changed last (100 - Position).
// The effect arrives with the effect-attach message (kMsgEffectAttach) after the window was
// created; until then changes reach only the window. On arrival the window takes the effect's
// values once, whatever the effect's changed flag says. User-interface thread only.
#pragma once

#include "ui/Form.h"
#include "ui/FormClass.h"

class TVstTemplate;
class TStatusBar;
class TDIBSlider;
class TDIBGlyphButton;

class TPluginEditorwindow : public TForm {
 public:
  explicit TPluginEditorwindow(TComponent* owner);  // reads the description; throws on a bad one
  // The window at `scale` (one of kFormScales): the description with every length multiplied and
  // the pictures drawn for that scale.
  TPluginEditorwindow(TComponent* owner, double scale);
  ~TPluginEditorwindow() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // Handlers bound by the description.
  void p0Change(TPersistent* Sender);
  void p0MouseMove(TPersistent* Sender, TShiftState Shift, int X, int Y);
  void p9Click(TPersistent* Sender);
  void p10Click(TPersistent* Sender);
  void DIBFadeLabel10Click(TPersistent* Sender);
  void DIBFadeLabel11Click(TPersistent* Sender);
  void UpdaterTimer(TPersistent* Sender);
  void GestureStart(TPersistent* Sender);
  void GestureEnd(TPersistent* Sender);

  void SliderFeedback(TDIBSlider* slider, int index);
  void ButtonFeedback(TDIBGlyphButton* button, int index);

  TVstTemplate* Effect() const { return effect_; }
  bool Refreshing() const { return refreshing_; }
  double Scale() const { return scale_; }

 protected:
  void WndProc(TMessage& message) override;

 private:
  void Refresh();
  void ButtonClick(TDIBGlyphButton* button, int index);
  void CaptionClick(TDIBGlyphButton* button, int index);
  // Where the mouse takes `control` (control coordinates), for kMsgControlGrabPoint.
  bool GrabPoint(TControl& control, plat::Point& point) const;
  // The parameter a slider or button stands for.
  int ParameterOf(TPersistent* sender) const;
  void SetValueText(int value);
  // Takes over the status texts of the window this one replaces (kMsgFormTakeOver).
  void TakeOver(const TPluginEditorwindow& previous);

  TVstTemplate* effect_ = nullptr;
  double scale_ = 1;
  bool refreshing_ = false;
  int editing_ = -1;  // the parameter whose begin-edit the host heard, -1 for none
  TStatusBar* infos_ = nullptr;
  TDIBSlider* sliders_[9] = {};
  TDIBGlyphButton* p9_ = nullptr;
  TDIBGlyphButton* p10_ = nullptr;
};

// What KestruneEn hands to its template: "TPluginEditorwindow", designed at 415 x 218, made at
// every scale of kFormScales.
extern const TFormClassInfo kPluginEditorwindowClass;
