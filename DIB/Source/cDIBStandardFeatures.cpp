#include "DIB/Source/cDIBStandardFeatures.h"

#include <cstring>

#include "DIB/Source/cDIBControl.h"
#include "ui/ClassRegistry.h"
#include "ui/Colors.h"
#include "ui/Control.h"
#include "ui/TypeInfo.h"

namespace {
// The button a mouse-button message is about; -1 for other messages.
int ButtonDown(std::uint32_t msg) {
  switch (msg) {
    case plat::kMsgLButtonDown:
    case plat::kMsgLButtonDblClk: return mbLeft;
    case plat::kMsgRButtonDown:
    case plat::kMsgRButtonDblClk: return mbRight;
    case plat::kMsgMButtonDown:
    case plat::kMsgMButtonDblClk: return mbMiddle;
    default: return -1;
  }
}
int ButtonUp(std::uint32_t msg) {
  switch (msg) {
    case plat::kMsgLButtonUp: return mbLeft;
    case plat::kMsgRButtonUp: return mbRight;
    case plat::kMsgMButtonUp: return mbMiddle;
    default: return -1;
  }
}
// Colour bytes of the first stored pixel (the bottom-left one), in pixel form.
std::uint32_t FirstStoredPixel(const TAbstractSuperDIB& dib) {
  std::uint32_t p = 0;
  std::memcpy(&p, dib.Bits(), sizeof p);
  return p & 0xFFFFFF;
}
// When the control last changed. The tick alone misses a second change within one tick.
std::pair<std::uint32_t, std::uint64_t> Stamp(const TCustomDIBControl& c) {
  return {c.LastChangeTime(), c.ChangeCount()};
}
// Opacity and a painted picture are what highlighting and shaping work on.
bool IsSkinned(const TControl* control) { return dynamic_cast<const TCustomDIBControl*>(control) != nullptr; }
// Cut towards zero to a multiple of snap (snap > 1).
int Snap(int v, int snap) { return v / snap * snap; }
}  // namespace

// ---- moveable ---------------------------------------------------------------------------------

TMoveableDIB::TMoveableDIB(TComponent* owner) : TDIBFeature(owner) {}

std::string TMoveableDIB::GetFeatureName() const { return "Moveable DIB"; }

void TMoveableDIB::ControlChanged() {
  dragging_ = false;
  button_ = -1;
}

void TMoveableDIB::MoveBy(int dx, int dy) {
  TControl* c = Control();
  if (c && (dx || dy)) c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
}

void TMoveableDIB::EndDrag() {
  dragging_ = false;
  if (TControl* c = Control(); c && c->MouseCapture()) c->SetMouseCapture(false);
}

void TMoveableDIB::HandleMessage(TMessage& m, bool& /*handled*/) {
  TControl* c = Control();
  if (!c) return;
  if (m.msg == plat::kMsgKeyDown) {
    const int step = snapSize_;
    switch (m.wParam) {
      case plat::kVkLeft:
        if (allowHorizontal_) MoveBy(-step, 0);
        break;
      case plat::kVkRight:
        if (allowHorizontal_) MoveBy(step, 0);
        break;
      case plat::kVkUp:
        if (allowVertical_) MoveBy(0, -step);
        break;
      case plat::kVkDown:
        if (allowVertical_) MoveBy(0, step);
        break;
      default: break;
    }
    return;
  }
  const plat::Point p = plat::UnpackPoint(m.lParam);
  if (!dragging_) {
    const int button = ButtonDown(m.msg);
    if (button < 0) return;
    button_ = button;
    if (!(mouseButtons_ >> button & 1)) return;
    const int b = borderSize_;
    const bool inside = grab_.x >= b && grab_.x <= c->Width() - b && grab_.y >= b && grab_.y <= c->Height() - b;
    grab_ = p;
    if (!inside) return;
    dragging_ = true;
    startPos_ = {c->Left(), c->Top()};
    // Right and middle drags get no capture of their own: keep the moves coming from outside.
    c->SetMouseCapture(true);
    return;
  }
  if (m.msg == plat::kMsgMouseMove) {
    int dx = allowHorizontal_ ? p.x - grab_.x : 0;
    int dy = allowVertical_ ? p.y - grab_.y : 0;
    if (snapSize_ > 1) {
      dx = Snap(dx, snapSize_);
      dy = Snap(dy, snapSize_);
    }
    MoveBy(dx, dy);
  } else if (ButtonUp(m.msg) == button_) {
    EndDrag();
  }
}

const TClassInfo& TMoveableDIB::StaticClass() {
  using T = TMoveableDIB;
  static const TClassInfo info =
      TClassBuilder<T>("TMoveableDIB", &TDIBFeature::StaticClass())
          .Component()
          .Bool("AllowHorizontal", &T::AllowHorizontal, &T::SetAllowHorizontal, true)
          .Bool("AllowVertical", &T::AllowVertical, &T::SetAllowVertical, true)
          .Int("BorderSize", &T::BorderSize, &T::SetBorderSize, 0)
          .Int("SnapSize", &T::SnapSize, &T::SetSnapSize, 1)
          .Set("MouseButtons", {"mbLeft", "mbRight", "mbMiddle"}, &T::MouseButtons, &T::SetMouseButtons, 1)
          .Build();
  return info;
}

// ---- highlight --------------------------------------------------------------------------------

THighlightDIB::THighlightDIB(TComponent* owner) : TDIBFeature(owner) {}

bool THighlightDIB::CanApplyTo(TControl* control) const { return IsSkinned(control); }

std::string THighlightDIB::GetFeatureName() const { return "Highlight dib"; }

void THighlightDIB::ControlChanged() { focused_ = entered_ = raised_ = false; }

void THighlightDIB::Raise() {
  auto* c = dynamic_cast<TCustomDIBControl*>(Control());
  if (!c || raised_) return;
  saved_ = c->Opacity();
  raised_ = true;
  c->SetOpacity(highlightOpacity_);
}

void THighlightDIB::Restore() {
  auto* c = dynamic_cast<TCustomDIBControl*>(Control());
  if (!c || !raised_) return;
  raised_ = false;
  c->SetOpacity(saved_);
}

void THighlightDIB::HandleMessage(TMessage& m, bool& /*handled*/) {
  TControl* c = Control();
  if (!c) return;
  switch (m.msg) {
    case plat::kMsgSetFocus:
      if (!focused_ && !entered_) Raise();
      focused_ = true;
      break;
    case plat::kMsgKillFocus:
      if (focused_ && !entered_) Restore();
      focused_ = false;
      break;
    case kCmMouseEnter:
      // Entering under a capture (a drag that began elsewhere) does not light the control.
      if (!focused_ && !c->MouseCapture()) {
        if (!entered_) Raise();
        entered_ = true;
      }
      break;
    case kCmMouseLeave:
      if (!focused_ && !c->MouseCapture()) Restore();
      if (!c->MouseCapture()) entered_ = false;
      break;
    case plat::kMsgLButtonUp:
      if (c->MouseCapture()) c->SetMouseCapture(false);
      break;
    default: break;
  }
}

const TClassInfo& THighlightDIB::StaticClass() {
  using T = THighlightDIB;
  static const TClassInfo info = TClassBuilder<T>("THighlightDIB", &TDIBFeature::StaticClass())
                                     .Component()
                                     .Int("HighlightOpacity", &T::HighlightOpacity, &T::SetHighlightOpacity, 255)
                                     .Build();
  return info;
}

// ---- shapeable --------------------------------------------------------------------------------

TShapeableDIB::TShapeableDIB(TComponent* owner) : TDIBFeature(owner) {}

bool TShapeableDIB::CanApplyTo(TControl* control) const { return IsSkinned(control); }

std::string TShapeableDIB::GetFeatureName() const { return "Shapeable DIB"; }

void TShapeableDIB::ControlChanged() { builtAt_.reset(); }

void TShapeableDIB::SetTransparentColor(TDIBColor value) {
  if (value == transparentColor_) return;
  transparentColor_ = value;
  builtAt_.reset();
}

void TShapeableDIB::SetTransparentMode(TTransparentMode value) {
  if (value == transparentMode_) return;
  transparentMode_ = value;
  builtAt_.reset();
}

void TShapeableDIB::SetMaskLevel(std::uint8_t value) {
  if (value == maskLevel_) return;
  maskLevel_ = value;
  builtAt_.reset();
}

void TShapeableDIB::Rebuild(TCustomDIBControl& control) {
  region_.Clear();
  if (control.Width() > 0 && control.Height() > 0) {
    TWinDIB shape(control.Width(), control.Height());  // new pixels are zero
    control.PaintInto(shape);
    if (maskLevel_ != 0)
      region_ = shape.AlphaRegion(maskLevel_);
    else if (transparentMode_ == tmFixed)
      region_ = shape.ColorRegion(transparentColor_);
    else  // the bottom-left pixel is the first one stored
      region_ = shape.ColorRegion(DIBPixelToColor(FirstStoredPixel(shape)));
  }
  builtAt_ = Stamp(control);
}

bool TShapeableDIB::Hits(plat::Point p) {
  auto* c = dynamic_cast<TCustomDIBControl*>(Control());
  if (!c) return true;
  if (builtAt_ != Stamp(*c)) Rebuild(*c);
  return region_.IsEmpty() || region_.Contains(p);
}

void TShapeableDIB::HandleMessage(TMessage& m, bool& handled) {
  if (m.msg != kCmHitTest || !Control()) return;
  m.result = Hits(plat::UnpackPoint(m.lParam)) ? 1 : 0;
  handled = true;
}

const TClassInfo& TShapeableDIB::StaticClass() {
  using T = TShapeableDIB;
  static const TClassInfo info =
      TClassBuilder<T>("TShapeableDIB", &TDIBFeature::StaticClass())
          .Component()
          .Color("TransparentColor", &T::TransparentColor, &T::SetTransparentColor, clBlack)
          .Enum("TransparentMode", {"tmAuto", "tmFixed"}, &T::TransparentMode, &T::SetTransparentMode, tmAuto)
          .Int("MaskLevel", &T::MaskLevel, &T::SetMaskLevel, 0)
          .Build();
  return info;
}

// ---- registration -----------------------------------------------------------------------------

void RegisterStandardFeatures() {
  RegisterFeature(TMoveableDIB::StaticClass());
  RegisterFeature(THighlightDIB::StaticClass());
  RegisterFeature(TShapeableDIB::StaticClass());
}
