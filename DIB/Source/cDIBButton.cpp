#include "DIB/Source/cDIBButton.h"

#include "DIB/Source/DIBErrors.h"
#include "ui/TypeInfo.h"

TButtonState ButtonStateFor(bool enabled, bool down, bool overOrFocused, bool leftPressed) {
  if (!enabled) return bsDisabled;
  if (down) return bsDown;
  if (overOrFocused) return leftPressed ? bsMouseClick : bsMouseOver;
  return bsEnabled;
}

const TClassInfo& TAbstractDIBButton::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TAbstractDIBButton>("TAbstractDIBButton", &TCustomDIBControl::StaticClass()).Build();
  return info;
}

TAbstractDIBButton::TAbstractDIBButton(TComponent* owner) : TCustomDIBControl(owner) {
  SetControlStyle(ControlStyle() & ~csDoubleClicks);
}

void TAbstractDIBButton::SetState(TButtonState value) {
  if (value == state_) return;
  state_ = value;
  Invalidate();
}

void TAbstractDIBButton::UpdateState() {
  SetState(ButtonStateFor(Enabled(), down_, MouseOver() || Focused(), ButtonPressed(mbLeft)));
}

void TAbstractDIBButton::SetDown(bool value) {
  down_ = value;
  UpdateState();
  if (down_) ReleaseGroup();
}

void TAbstractDIBButton::SetGroup(std::int32_t value) {
  if (value < 0) throw EDIBButtonError("Invalid group.");
  group_ = value;
  if (value > 0 && down_) ReleaseGroup();
}

void TAbstractDIBButton::ReleaseGroup() {
  TComponent* owner = Owner();
  if (!owner || group_ == 0) return;
  // By index: a handler of a released button may not add or remove components, but be safe anyway.
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    auto* other = dynamic_cast<TAbstractDIBButton*>(owner->Component(i));
    if (other && other != this && other->group_ == group_ && other->down_) other->SetDown(false);
  }
}

void TAbstractDIBButton::Click() {
  OnGestureStart(this);
  try {
    TCustomDIBControl::Click();
    if (toggleDown_) SetDown(!down_);
  } catch (...) {
    OnGestureEnd(this);
    throw;
  }
  OnGestureEnd(this);
}

void TAbstractDIBButton::SetEnabled(bool value) {
  TCustomDIBControl::SetEnabled(value);
  UpdateState();
}

void TAbstractDIBButton::Loaded() {
  TCustomDIBControl::Loaded();
  UpdateState();
}

void TAbstractDIBButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomDIBControl::MouseDown(button, shift, x, y);
  if (button == mbLeft) UpdateState();
}

void TAbstractDIBButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomDIBControl::MouseUp(button, shift, x, y);
  if (button == mbLeft) UpdateState();
}

void TAbstractDIBButton::MouseEnter() {
  TCustomDIBControl::MouseEnter();
  UpdateState();
}

void TAbstractDIBButton::MouseLeave() {
  TCustomDIBControl::MouseLeave();
  UpdateState();
}
