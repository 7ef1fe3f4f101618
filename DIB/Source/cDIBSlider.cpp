#include "DIB/Source/cDIBSlider.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "ui/TypeInfo.h"

namespace {

TSliderPicture PictureOf(const TDIBImageLink* link) {
  TAbstractSuperDIB* image = nullptr;
  if (!link->GetImage(image)) return {};
  return {true, image->Width(), image->Height()};
}

// The press test of the platform's point-in-rectangle: right and bottom edges excluded.
bool PressIn(const TDIBRect& r, int x, int y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

}  // namespace

const TClassInfo& TCustomDIBSlider::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCustomDIBSlider>("TCustomDIBSlider", &TCustomDIBControl::StaticClass()).Build();
  return info;
}

const TClassInfo& TDIBSlider::StaticClass() {
  using T = TDIBSlider;
  auto link = [](TDIBImageLink* (T::*get)() const) { return [get](const T& s) { return (s.*get)(); }; };
  static const TClassInfo info =
      TClassBuilder<T>("TDIBSlider", &TCustomDIBSlider::StaticClass())
          .Component()
          .Bool("AutoSize", &T::AutoSize, &T::SetAutoSize)
          .Object("IndexEnd1", link(&T::IndexEnd1))
          .Object("IndexEnd2", link(&T::IndexEnd2))
          .Object("IndexMain", link(&T::IndexMain))
          .Object("IndexOverlay", link(&T::IndexOverlay))
          .Object("IndexPointer", link(&T::IndexPointer))
          .Int("LargeChange", &T::LargeChange, &T::SetLargeChange)
          .Int("Max", &T::Max, &T::SetMax)
          .Int("Min", &T::Min, &T::SetMin)
          .Int("OverlayBorderX", &T::OverlayBorderX, &T::SetOverlayBorderX, 0)
          .Int("OverlayBorderY", &T::OverlayBorderY, &T::SetOverlayBorderY, 0)
          .Int("OverlayOpacity", &T::OverlayOpacity, &T::SetOverlayOpacity, 64)
          .Int("PageSize", &T::PageSize, &T::SetPageSize)
          .Int("PointerOffset", &T::PointerOffset, &T::SetPointerOffset)
          .Int("PointerOpacityHigh", &T::PointerOpacityHigh, &T::SetPointerOpacityHigh, 255)
          .Int("PointerOpacityLow", &T::PointerOpacityLow, &T::SetPointerOpacityLow, 196)
          .Int("Position", &T::Position, &T::SetPosition)
          .Enum("SliderType", {"stHorizontal", "stVertical"}, &T::SliderType, &T::SetSliderType)
          .Int("SmallChange", &T::SmallChange, &T::SetSmallChange)
          .Bool("StretchBackground", &T::StretchBackground, &T::SetStretchBackground)
          .Event("OnChange", static_cast<TNotifyEvent T::*>(&T::OnChange))
          .Event("OnGestureStart", static_cast<TNotifyEvent T::*>(&T::OnGestureStart))
          .Event("OnGestureEnd", static_cast<TNotifyEvent T::*>(&T::OnGestureEnd))
          .Build();
  return info;
}

TCustomDIBSlider::TCustomDIBSlider(TComponent* owner)
    : TCustomDIBControl(owner),
      indexEnd1_(AddImageLink()),
      indexEnd2_(AddImageLink()),
      indexMain_(AddImageLink()),
      indexOverlay_(AddImageLink()),
      indexPointer_(AddImageLink()) {
  SetAutoSize(true);
  SetAutoRepeat(true);
}

// The template properties are registered where they are published.
TDIBSlider::TDIBSlider(TComponent* owner) : TCustomDIBSlider(owner) {
  for (const char* name : {"AutoSize", "LargeChange", "Min", "Max", "Opacity", "OverlayBorderX", "OverlayBorderY",
                           "OverlayOpacity", "PageSize", "PointerOffset", "PointerOpacityHigh", "PointerOpacityLow",
                           "Position", "SliderType", "SmallChange", "StretchBackground"})
    RegisterTemplateProperty(name);
}

TCustomDIBSlider::~TCustomDIBSlider() = default;

// --- Settings

void TCustomDIBSlider::SetPosition(int value) {
  position_ = std::clamp(value, min_, max_);
  if (Loading()) return;  // placed once when loading ends
  knobOffset_ = SliderPositionToPixel(value, min_, max_, TrackLength());
  UpdateLayout();
  Invalidate();
  Change();
}

void TCustomDIBSlider::SetMax(int value) {
  value = std::max(value, INT_MIN + 1);  // Min must stay representable below it
  max_ = value;
  if (min_ >= value) SetMin(value - 1);
  if (max_ < position_)
    SetPosition(max_);
  else
    SetPosition(position_);  // the range changed: the knob must not stay at a stale place
}

void TCustomDIBSlider::SetMin(int value) {
  value = std::min(value, INT_MAX - 1);  // Max must stay representable above it
  min_ = value;
  if (value >= max_) SetMax(value + 1);
  if (position_ < min_)
    SetPosition(min_);
  else
    SetPosition(position_);
}

void TCustomDIBSlider::SetSliderType(TSliderType value) {
  if (value == sliderType_) return;
  sliderType_ = value;
  Rearrange();
}

void TCustomDIBSlider::SetPointerOffset(int value) {
  if (value == pointerOffset_) return;
  pointerOffset_ = value;
  Rearrange();
}

void TCustomDIBSlider::SetOverlayBorderX(std::uint8_t value) {
  if (value == overlayBorderX_) return;
  overlayBorderX_ = value;
  Rearrange();
}

void TCustomDIBSlider::SetOverlayBorderY(std::uint8_t value) {
  if (value == overlayBorderY_) return;
  overlayBorderY_ = value;
  Rearrange();
}

void TCustomDIBSlider::SetOverlayOpacity(std::uint8_t value) {
  if (value == overlayOpacity_) return;
  overlayOpacity_ = value;
  Invalidate();
}

void TCustomDIBSlider::SetPointerOpacityHigh(std::uint8_t value) {
  if (value == pointerOpacityHigh_) return;
  pointerOpacityHigh_ = value;
  Invalidate();
}

void TCustomDIBSlider::SetPointerOpacityLow(std::uint8_t value) {
  if (value == pointerOpacityLow_) return;
  pointerOpacityLow_ = value;
  Invalidate();
}

void TCustomDIBSlider::SetStretchBackground(bool value) {
  if (value == stretchBackground_) return;
  stretchBackground_ = value;
  Invalidate();
}

// --- Layout

TSliderLayoutInput TCustomDIBSlider::LayoutInput(int width, int height) const {
  TSliderLayoutInput in;
  in.Width = width;
  in.Height = height;
  in.SliderType = sliderType_;
  in.End1 = PictureOf(indexEnd1_);
  in.End2 = PictureOf(indexEnd2_);
  in.Main = PictureOf(indexMain_);
  in.Pointer = PictureOf(indexPointer_);
  in.KnobOffset = knobOffset_;
  in.PointerOffset = pointerOffset_;
  in.OverlayBorderX = overlayBorderX_;
  in.OverlayBorderY = overlayBorderY_;
  return in;
}

void TCustomDIBSlider::UpdateLayout() { layout_ = LayoutSlider(LayoutInput(Width(), Height())); }

void TCustomDIBSlider::PlaceKnob() {
  UpdateLayout();  // the track length depends on the size and the pictures
  knobOffset_ = SliderPositionToPixel(position_, min_, max_, TrackLength());
  UpdateLayout();
}

void TCustomDIBSlider::Rearrange() {
  if (Loading()) return;
  if (AutoSize())
    AdjustSize();  // ends in SetBounds, which lays out
  else
    UpdateLayout();
  Invalidate();
}

void TCustomDIBSlider::MinimumSize(int& width, int& height) {
  SliderMinimumSize(sliderType_, PictureOf(indexEnd1_), PictureOf(indexMain_), PictureOf(indexEnd2_), width, height);
}

void TCustomDIBSlider::SetBounds(int left, int top, int width, int height) {
  int minWidth = 0, minHeight = 0;
  MinimumSize(minWidth, minHeight);
  TCustomDIBControl::SetBounds(left, top, std::max(width, minWidth), std::max(height, minHeight));
  if (Loading()) return;
  PlaceKnob();
  Invalidate();
}

bool TCustomDIBSlider::CanAutoSize(int& newWidth, int& newHeight) {
  if (!indexMain_->IsValid()) return false;
  int minWidth = 0, minHeight = 0;
  MinimumSize(minWidth, minHeight);
  newWidth = std::max(newWidth, minWidth);
  newHeight = std::max(newHeight, minHeight);
  const TSliderLayout l = LayoutSlider(LayoutInput(newWidth, newHeight));
  int across = std::max(
      {ExtentAcross(l.End1, sliderType_), ExtentAcross(l.End2, sliderType_), ExtentAcross(l.Main, sliderType_)});
  if (sliderType_ == stHorizontal) {
    across = std::max(across, Constraints().MinHeight());
    if (across > 0) newHeight = across;
  } else {
    across = std::max(across, Constraints().MinWidth());
    if (across > 0) newWidth = across;
  }
  return true;
}

void TCustomDIBSlider::Loaded() {
  TCustomDIBControl::Loaded();
  lastNotified_ = position_;
  AdjustSize();
  PlaceKnob();
}

void TCustomDIBSlider::ImageChanged(int index, TDIBImageChange kind) {
  TCustomDIBControl::ImageChanged(index, kind);
  if (Loading()) return;
  if (AutoSize())
    AdjustSize();  // ends in SetBounds, which places the knob
  else
    PlaceKnob();  // a new knob or track changes the track length
  Invalidate();
}

// --- Notifications

void TCustomDIBSlider::Change() {
  if (Loading()) return;
  if (position_ != lastNotified_ && OnChange) OnChange(this);
  lastNotified_ = position_;
}

void TCustomDIBSlider::BeginGestureChange() {
  if (gesture_ == GestureSource::None || gestureStarted_) return;
  gestureStarted_ = true;
  OnGestureStart(this);
}

void TCustomDIBSlider::EndGesture(GestureSource source) {
  if (gesture_ != source) return;
  gesture_ = GestureSource::None;
  if (!gestureStarted_) return;
  gestureStarted_ = false;
  OnGestureEnd(this);
}

void TCustomDIBSlider::UserSetPosition(std::int64_t value) {
  const int target = static_cast<int>(std::clamp<std::int64_t>(value, min_, max_));
  if (target != position_) BeginGestureChange();
  SetPosition(target);
}

void TCustomDIBSlider::DoEnter() {
  TCustomDIBControl::DoEnter();
  Invalidate();
}

void TCustomDIBSlider::DoExit() {
  EndGesture(GestureSource::Keyboard);
  TCustomDIBControl::DoExit();
  Invalidate();
}

// --- Mouse

void TCustomDIBSlider::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomDIBControl::MouseDown(button, shift, x, y);
  if (gesture_ == GestureSource::Keyboard) EndGesture(GestureSource::Keyboard);
  gesture_ = GestureSource::Mouse;
  if (!indexPointer_->IsValid()) return;
  const TDIBRect& knob = layout_.Knob;
  const bool horizontal = sliderType_ == stHorizontal;
  bool grab = PressIn(knob, x, y);
  // A held left button keeps pressing until the knob reaches the mouse along the track.
  if (!grab && RepeatTimerRunning())
    grab = horizontal ? (knob.Left <= x && x <= knob.Right) : (knob.Top <= y && y <= knob.Bottom);
  if (grab) {
    StopRepeat();
    dragging_ = true;
    grabX_ = x - knob.Left;
    grabY_ = y - knob.Top;
    Invalidate();
    return;
  }
  if (PressIn(layout_.End1, x, y)) return UserSetPosition(std::int64_t{position_} - smallChange_);
  if (PressIn(layout_.End2, x, y)) return UserSetPosition(std::int64_t{position_} + smallChange_);
  const std::int64_t d =
      horizontal ? x - (knob.Left + (knob.Right - knob.Left) / 2) : y - (knob.Top + (knob.Bottom - knob.Top) / 2);
  const std::int64_t step =
      std::min<std::int64_t>(SliderDistanceToStep(std::llabs(d), min_, max_, TrackLength()), largeChange_);
  UserSetPosition(d < 0 ? position_ - step : position_ + step);
}

void TCustomDIBSlider::MouseMove(TShiftState shift, int x, int y) {
  TCustomDIBControl::MouseMove(shift, x, y);
  if (!dragging_) return;
  const int track = TrackLength();
  if (track <= 0) return;
  const std::int64_t v = sliderType_ == stHorizontal ? std::int64_t{x} - layout_.Main.Left - grabX_
                                                     : std::int64_t{y} - layout_.Main.Top - grabY_;
  knobOffset_ = static_cast<int>(std::clamp<std::int64_t>(v, 0, track));
  const int target = SliderPixelToPosition(v, min_, max_, track);
  if (target != position_) BeginGestureChange();
  position_ = target;
  UpdateLayout();
  Invalidate();
  Change();
}

void TCustomDIBSlider::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (dragging_) Invalidate();  // the knob goes back to PointerOpacityLow
  dragging_ = false;
  TCustomDIBControl::MouseUp(button, shift, x, y);
  EndGesture(GestureSource::Mouse);
}

void TCustomDIBSlider::MouseLeave() {
  TCustomDIBControl::MouseLeave();
  // Outside without the capture (never taken, or taken away without a release): no release will
  // come here, so the drag and its gesture end now.
  if (MouseCapture()) return;
  if (dragging_) Invalidate();
  dragging_ = false;
  EndGesture(GestureSource::Mouse);
}

// --- Keys

bool TCustomDIBSlider::DoKeyDown(TMessage& message) {
  if (TCustomDIBControl::DoKeyDown(message)) return true;
  bool handled = false;
  const int step =
      SliderKeyStep(static_cast<std::uint32_t>(message.wParam), sliderType_, smallChange_, pageSize_, handled);
  if (!handled) return false;
  if (gesture_ == GestureSource::None) gesture_ = GestureSource::Keyboard;
  UserSetPosition(std::int64_t{position_} + step);
  return true;
}

bool TCustomDIBSlider::DoKeyUp(TMessage& message) {
  const bool handled = TCustomDIBControl::DoKeyUp(message);
  EndGesture(GestureSource::Keyboard);
  return handled;
}

// --- Painting

void TCustomDIBSlider::PaintMain(TAbstractSuperDIB& image, TWinDIB& target) {
  const TDIBRect& main = layout_.Main;
  if (stretchBackground_) {
    const int w = main.Right - main.Left + 1, h = main.Bottom - main.Top + 1;
    if (w < 1 || h < 1) return;
    TMemoryDIB stretched(w, h);
    stretched.StretchFrom(image);
    image.CopySettingsTo(&stretched);
    stretched.Draw(main.Left, main.Top, w, h, &target);
    return;
  }
  // Tiled along the axis, clipped to the main rectangle.
  const TDIBRect saved = target.ClipRect();
  const TDIBRect clip{std::max(saved.Left, main.Left), std::max(saved.Top, main.Top), std::min(saved.Right, main.Right),
                      std::min(saved.Bottom, main.Bottom)};
  if (clip.Left > clip.Right || clip.Top > clip.Bottom) return;  // nothing of the track is repainted
  const int step = sliderType_ == stHorizontal ? image.Width() : image.Height();
  if (step < 1) return;
  target.SetClipRect(clip);
  try {
    if (sliderType_ == stHorizontal)
      for (int place = main.Left; place < main.Right; place += step)
        image.Draw(place, main.Top, image.Width(), image.Height(), &target);
    else
      for (int place = main.Top; place < main.Bottom; place += step)
        image.Draw(main.Left, place, image.Width(), image.Height(), &target);
  } catch (...) {
    target.SetClipRect(saved);
    throw;
  }
  target.SetClipRect(saved);
}

void TCustomDIBSlider::PaintOverlay(TAbstractSuperDIB& image, TWinDIB& target) {
  const TDIBRect& r = layout_.Overlay;
  const int w = r.Right - r.Left + 1, h = r.Bottom - r.Top + 1;
  if (w < 1 || h < 1) return;
  // The overlay fills the track from its start up to the knob.
  const bool horizontal = sliderType_ == stHorizontal;
  const int along = knobOffset_ - (horizontal ? overlayBorderX_ : overlayBorderY_);
  if (along < 1) return;
  TMemoryDIB stretched(w, h);
  stretched.StretchFrom(image);
  image.CopySettingsTo(&stretched);
  stretched.SetOpacity(overlayOpacity_);
  stretched.Draw(r.Left, r.Top, horizontal ? std::min(along, w) : w, horizontal ? h : std::min(along, h), &target);
}

void TCustomDIBSlider::Paint() {
  TWinDIB* target = ControlDIB();
  if (!target) return;
  // Each hand-out is valid until the next one from the same list: draw at once.
  TAbstractSuperDIB* image = nullptr;
  if (indexMain_->GetImage(image)) PaintMain(*image, *target);
  if (indexOverlay_->GetImage(image)) PaintOverlay(*image, *target);
  if (indexEnd1_->GetImage(image))
    image->Draw(layout_.End1.Left, layout_.End1.Top, image->Width(), image->Height(), target);
  if (indexEnd2_->GetImage(image))
    image->Draw(layout_.End2.Left, layout_.End2.Top, image->Width(), image->Height(), target);
  if (indexPointer_->GetImage(image)) {
    image->SetOpacity(dragging_ ? pointerOpacityHigh_ : pointerOpacityLow_);
    image->Draw(layout_.Knob.Left, layout_.Knob.Top, image->Width(), image->Height(), target);
  }
}
