// Skinned sliders: a track picture (the main image) with optional end pictures, an overlay that
// fills the track up to the knob, and a knob picture (the pointer) that is dragged or stepped
// along the track. The slider holds an integer Position in Min ... Max.
//
// Contracts:
// - Position is always within Min ... Max; Min < Max after either setter. Min is at the left
//   (horizontal) or at the top (vertical).
// - OnChange is raised exactly when Position differs from its value at the last OnChange (or at
//   the end of loading), whoever changed it: setter, drag, press or key. Loading raises nothing.
// - A drag moves the knob pixel by pixel and Position in steps: dragged pixel k gives
//   Min + (Max - Min) * k / track length. The knob snaps to the pixel of Position at the next
//   position change, resize or load.
// - A press on the track steps towards the mouse by at most LargeChange, again every
//   RepeatInterval while the left button is held, and becomes a drag once the knob reaches the
//   mouse. A press on an end picture steps by SmallChange.
// - Gestures: OnGestureStart is raised just before the first change of Position made by one
//   gesture of the user (a drag, a burst of presses from one held button, a burst of key-downs
//   until the key goes up) and OnGestureEnd after its last, when the button or key is released, the
//   mouse is outside without the capture (taken away without a release) or the slider loses the
//   focus. A gesture that changes nothing raises neither; changes made by program code raise
//   neither.
// - Missing pictures are no error: each is skipped; without a knob picture presses and drags do
//   nothing (keys still work).
#pragma once

#include <cstdint>

#include "DIB/Source/cDIBControl.h"
#include "DIB/Source/cDIBSliderGeometry.h"

using TSliderInc = std::int16_t;  // 1 ... 32767

class TCustomDIBSlider : public TCustomDIBControl {
 public:
  explicit TCustomDIBSlider(TComponent* owner);
  ~TCustomDIBSlider() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;

  // --- Settings
  int Position() const { return position_; }
  void SetPosition(int value);  // clamped; always re-places the knob
  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);
  TSliderType SliderType() const { return sliderType_; }
  void SetSliderType(TSliderType value);
  int PointerOffset() const { return pointerOffset_; }
  void SetPointerOffset(int value);
  std::uint8_t OverlayBorderX() const { return overlayBorderX_; }
  void SetOverlayBorderX(std::uint8_t value);
  std::uint8_t OverlayBorderY() const { return overlayBorderY_; }
  void SetOverlayBorderY(std::uint8_t value);
  std::uint8_t OverlayOpacity() const { return overlayOpacity_; }
  void SetOverlayOpacity(std::uint8_t value);
  std::uint8_t PointerOpacityHigh() const { return pointerOpacityHigh_; }
  void SetPointerOpacityHigh(std::uint8_t value);
  std::uint8_t PointerOpacityLow() const { return pointerOpacityLow_; }
  void SetPointerOpacityLow(std::uint8_t value);
  bool StretchBackground() const { return stretchBackground_; }
  void SetStretchBackground(bool value);
  // Steps; values below 1 are taken as 1.
  TSliderInc SmallChange() const { return smallChange_; }
  void SetSmallChange(TSliderInc value) { smallChange_ = ValidStep(value); }
  TSliderInc LargeChange() const { return largeChange_; }
  void SetLargeChange(TSliderInc value) { largeChange_ = ValidStep(value); }
  TSliderInc PageSize() const { return pageSize_; }
  void SetPageSize(TSliderInc value) { pageSize_ = ValidStep(value); }

  TDIBImageLink* IndexEnd1() const { return indexEnd1_; }
  TDIBImageLink* IndexEnd2() const { return indexEnd2_; }
  TDIBImageLink* IndexMain() const { return indexMain_; }
  TDIBImageLink* IndexOverlay() const { return indexOverlay_; }
  TDIBImageLink* IndexPointer() const { return indexPointer_; }

  // --- State (cached; recomputed on position, size and setting changes)
  const TSliderLayout& Layout() const { return layout_; }
  int KnobOffset() const { return knobOffset_; }
  int TrackLength() const { return SliderTrackLength(layout_, sliderType_); }
  bool Dragging() const { return dragging_; }

  TNotifyEvent OnChange;
  TNotifyEvent OnGestureStart, OnGestureEnd;

  // --- Virtual operations added by the slider, in slot order
  // The smallest size that holds the end and main pictures along the axis (2 across it).
  virtual void MinimumSize(int& width, int& height);
  // Raises OnChange when Position differs from the last notified one.
  virtual void Change();

 protected:
  void DoEnter() override;
  void DoExit() override;
  void ImageChanged(int index, TDIBImageChange kind) override;
  void Paint() override;
  bool CanAutoSize(int& newWidth, int& newHeight) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseLeave() override;
  bool DoKeyDown(TMessage& message) override;
  bool DoKeyUp(TMessage& message) override;

 private:
  enum class GestureSource : std::uint8_t { None, Mouse, Keyboard };

  static TSliderInc ValidStep(TSliderInc v) { return v < 1 ? TSliderInc{1} : v; }
  TSliderLayoutInput LayoutInput(int width, int height) const;
  void UpdateLayout();
  // Puts the knob on the pixel of Position and lays out.
  void PlaceKnob();
  // Re-sizes with AutoSize, else lays out; then repaints.
  void Rearrange();
  // A change of Position made by the user: opens the gesture's notifications first.
  void UserSetPosition(std::int64_t value);
  void BeginGestureChange();
  void EndGesture(GestureSource source);
  void PaintMain(TAbstractSuperDIB& image, TWinDIB& target);
  void PaintOverlay(TAbstractSuperDIB& image, TWinDIB& target);

  int grabX_ = 0, grabY_ = 0;
  bool dragging_ = false;
  int knobOffset_ = 0;
  std::uint8_t pointerOpacityLow_ = 196;
  std::uint8_t pointerOpacityHigh_ = 255;
  TDIBImageLink* indexEnd1_;
  TDIBImageLink* indexEnd2_;
  TDIBImageLink* indexMain_;
  TDIBImageLink* indexOverlay_;
  TDIBImageLink* indexPointer_;
  TSliderInc largeChange_ = 5;
  int lastNotified_ = 0;
  int max_ = 100;
  int min_ = 0;
  std::uint8_t overlayOpacity_ = 64;
  std::uint8_t overlayBorderX_ = 0, overlayBorderY_ = 0;
  int pointerOffset_ = 0;
  TSliderLayout layout_;
  TSliderType sliderType_ = stHorizontal;
  TSliderInc smallChange_ = 1;
  TSliderInc pageSize_ = 5;
  int position_ = 0;
  bool stretchBackground_ = true;
  GestureSource gesture_ = GestureSource::None;
  bool gestureStarted_ = false;
};

// Publishes the slider's properties for window descriptions.
class TDIBSlider : public TCustomDIBSlider {
 public:
  explicit TDIBSlider(TComponent* owner);
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};
