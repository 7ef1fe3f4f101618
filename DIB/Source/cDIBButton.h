// The button family's common part: the visual state, Down, radio groups and toggling.
//
// Contracts:
// - The state is recomputed on press and release of the left button, mouse enter and leave,
//   Enabled and Down changes and the end of loading (not on focus changes alone).
// - Buttons with the same positive Group under one owner form a radio group: a button going down
//   puts every other down button of its group up, without click events.
// - A click of a ToggleDown button raises OnClick first (Down as before the click), then flips
//   Down. OnGestureStart and OnGestureEnd bracket every click (also when OnClick fails).
// - A quick second click is a second click: buttons take no double clicks.
#pragma once

#include <cstdint>

#include "DIB/Source/cDIBControl.h"

enum TButtonState : std::uint8_t { bsEnabled = 0, bsMouseClick = 1, bsDisabled = 2, bsMouseOver = 3, bsDown = 4 };

// The state a button shows: disabled wins, then down, then (under the mouse or focused) click
// while the left button is pressed, else mouse over; otherwise enabled.
TButtonState ButtonStateFor(bool enabled, bool down, bool overOrFocused, bool leftPressed);

class TAbstractDIBButton : public TCustomDIBControl {
 public:
  explicit TAbstractDIBButton(TComponent* owner);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void Click() override;
  void SetEnabled(bool value) override;
  void Loaded() override;

  TButtonState State() const { return state_; }
  bool Down() const { return down_; }
  std::int32_t Group() const { return group_; }
  // EDIBButtonError "Invalid group." for a negative value; the group stays.
  void SetGroup(std::int32_t value);
  bool ToggleDown() const { return toggleDown_; }
  void SetToggleDown(bool value) { toggleDown_ = value; }

  TNotifyEvent OnGestureStart, OnGestureEnd;

  // --- Virtual operations added by buttons, in slot order
  virtual void SetState(TButtonState value);
  virtual void SetDown(bool value);
  virtual void UpdateState();

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;

 private:
  void ReleaseGroup();

  TButtonState state_ = bsEnabled;
  std::int32_t group_ = 0;
  bool down_ = false;
  bool toggleDown_ = false;
};
