// The three standard control features: moving a control with the mouse or the arrow keys,
// raising its opacity while it is entered or focused, and letting only its painted pixels take
// the mouse.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "DIB/Source/cDIB.h"
#include "DIB/Source/cDIBFeatures.h"
#include "platform/Region.h"

class TCustomDIBControl;

// Mouse buttons as a set (bit i = TMouseButton i).
using TMouseButtons = std::uint8_t;

// Moves its control: the arrow keys move it by SnapSize pixels; a press of a button in
// MouseButtons starts a drag that moves it with the mouse, in steps of SnapSize (cut towards
// zero), until that button is released. Messages stay unhandled, so the control sees them too.
//
// Where a drag may start: the test compares the grab point of the previous press with BorderSize
// and the control's size (BorderSize <= x <= Width - BorderSize, likewise y). With the default
// BorderSize 0 every press passes; with a larger one a press near the edge lets the next press
// drag. The grab point is taken at every press of a button in MouseButtons.
class TMoveableDIB : public TDIBFeature {
 public:
  explicit TMoveableDIB(TComponent* owner);

  // Published: AllowHorizontal (True), AllowVertical (True), BorderSize (0), SnapSize (1),
  // MouseButtons ([mbLeft]).
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  bool AllowHorizontal() const { return allowHorizontal_; }
  void SetAllowHorizontal(bool value) { allowHorizontal_ = value; }
  bool AllowVertical() const { return allowVertical_; }
  void SetAllowVertical(bool value) { allowVertical_ = value; }
  std::uint8_t BorderSize() const { return borderSize_; }
  void SetBorderSize(std::uint8_t value) { borderSize_ = value; }
  std::uint8_t SnapSize() const { return snapSize_; }
  void SetSnapSize(std::uint8_t value) { snapSize_ = value; }
  TMouseButtons MouseButtons() const { return mouseButtons_; }
  void SetMouseButtons(TMouseButtons value) { mouseButtons_ = value; }

  std::string GetFeatureName() const override;  // "Moveable DIB"
  void HandleMessage(TMessage& message, bool& handled) override;

  bool Dragging() const { return dragging_; }

 protected:
  void ControlChanged() override;

 private:
  void MoveBy(int dx, int dy);
  void EndDrag();

  bool allowHorizontal_ = true;
  bool allowVertical_ = true;
  std::uint8_t borderSize_ = 0;
  std::uint8_t snapSize_ = 1;
  TMouseButtons mouseButtons_ = 1;  // [mbLeft]

  bool dragging_ = false;
  int button_ = -1;             // the remembered button (TMouseButton), -1 none
  plat::Point grab_{0, 0};      // the mouse in the control when the drag started
  plat::Point startPos_{0, 0};  // the control's position then
};

// Raises the control's Opacity to HighlightOpacity while the control is focused or entered by the
// mouse (entering under a mouse capture does not count), and restores the previous opacity when
// both have ended. Releases the mouse capture on a left-button release.
class THighlightDIB : public TDIBFeature {
 public:
  explicit THighlightDIB(TComponent* owner);

  // Published: HighlightOpacity (255).
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  std::uint8_t HighlightOpacity() const { return highlightOpacity_; }
  void SetHighlightOpacity(std::uint8_t value) { highlightOpacity_ = value; }

  bool CanApplyTo(TControl* control) const override;  // skinned controls only
  std::string GetFeatureName() const override;        // "Highlight dib"
  void HandleMessage(TMessage& message, bool& handled) override;

 protected:
  void ControlChanged() override;

 private:
  void Raise();
  void Restore();

  std::uint8_t highlightOpacity_ = 255;
  bool focused_ = false;
  bool entered_ = false;
  bool raised_ = false;
  std::uint8_t saved_ = 255;
};

// Answers the control's hit test from its painted shape: the control's Paint is rendered into a
// zero-filled image and turned into a region (alpha above MaskLevel when MaskLevel is set, else
// every pixel whose colour differs from TransparentColor, or with tmAuto from the bottom-left
// pixel). The region is rebuilt when the control has been invalidated since (LastChangeTime, and
// the change count that tells apart changes within one tick), and when a setting changes. A
// control that paints nothing but the transparent colour has no region and takes the mouse
// everywhere.
class TShapeableDIB : public TDIBFeature {
 public:
  explicit TShapeableDIB(TComponent* owner);

  // Published: TransparentColor (clBlack), TransparentMode (tmAuto), MaskLevel (0).
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TDIBColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TDIBColor value);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode value);
  std::uint8_t MaskLevel() const { return maskLevel_; }
  void SetMaskLevel(std::uint8_t value);

  bool CanApplyTo(TControl* control) const override;  // skinned controls only
  std::string GetFeatureName() const override;        // "Shapeable DIB"
  void HandleMessage(TMessage& message, bool& handled) override;

  // Whether `p` (control coordinates) hits the control; rebuilds the shape first when needed.
  bool Hits(plat::Point p);

 protected:
  void ControlChanged() override;

 private:
  void Rebuild(TCustomDIBControl& control);

  TDIBColor transparentColor_ = 0;
  TTransparentMode transparentMode_ = tmAuto;
  std::uint8_t maskLevel_ = 0;

  // LastChangeTime and ChangeCount at the last rebuild; none before the first.
  std::optional<std::pair<std::uint32_t, std::uint64_t>> builtAt_;
  plat::Region region_;
};
