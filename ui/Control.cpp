#include "ui/Control.h"

#include "platform/Platform.h"
#include "ui/Errors.h"
#include "ui/TypeInfo.h"
#include "ui/WinControl.h"

TControl* TControl::mouseControl_ = nullptr;
TControl* TControl::captureControl_ = nullptr;

const TClassInfo& TControl::StaticClass() {
  static const TClassInfo info = TClassBuilder<TControl>("TControl", &TComponent::StaticClass())
                                     .Int("Left", &TControl::Left, &TControl::SetLeft)
                                     .Int("Top", &TControl::Top, &TControl::SetTop)
                                     .Int("Width", &TControl::Width, &TControl::SetWidth)
                                     .Int("Height", &TControl::Height, &TControl::SetHeight)
                                     .String("Caption", &TControl::Caption, &TControl::SetCaption)
                                     .Color("Color", &TControl::Color, &TControl::SetColor, clBtnFace)
                                     .StoredIf([](const TControl& c) { return !c.ParentColor(); })
                                     .Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false)
                                     .Int("Cursor", &TControl::Cursor, &TControl::SetCursor, crDefault)
                                     .Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
                                     .Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
                                     .Object("Font", [](const TControl& c) -> const TFont& { return c.Font(); })
                                     .StoredIf([](const TControl& c) { return !c.ParentFont(); })
                                     .String("Hint", &TControl::Hint, &TControl::SetHint)
                                     .Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false)
                                     .Bool("Visible", &TControl::Visible, &TControl::SetVisible, true)
                                     .Object("Constraints", [](const TControl& c) { return &c.Constraints(); })
                                     .Event("OnClick", &TControl::OnClick)
                                     .Event("OnDblClick", &TControl::OnDblClick)
                                     .Event("OnMouseDown", &TControl::OnMouseDown)
                                     .Event("OnMouseEnter", &TControl::OnMouseEnter)
                                     .Event("OnMouseLeave", &TControl::OnMouseLeave)
                                     .Event("OnMouseMove", &TControl::OnMouseMove)
                                     .Event("OnMouseUp", &TControl::OnMouseUp)
                                     .Event("OnResize", &TControl::OnResize)
                                     .Build();
  return info;
}

const TClassInfo& TSizeConstraints::StaticClass() {
  using T = TSizeConstraints;
  static const TClassInfo info = TClassBuilder<T>("TSizeConstraints", &TPersistent::StaticClass())
                                     .Int("MaxHeight", &T::MaxHeight, &T::SetMaxHeight, 0)
                                     .Int("MaxWidth", &T::MaxWidth, &T::SetMaxWidth, 0)
                                     .Int("MinHeight", &T::MinHeight, &T::SetMinHeight, 0)
                                     .Int("MinWidth", &T::MinWidth, &T::SetMinWidth, 0)
                                     .Build();
  return info;
}

void TSizeConstraints::Set(int& field, int v) {
  if (v < 0) v = 0;
  if (v == field) return;
  field = v;
  OnChange(this);
}
void TSizeConstraints::SetMinWidth(int v) { Set(minWidth_, v); }
void TSizeConstraints::SetMinHeight(int v) { Set(minHeight_, v); }
void TSizeConstraints::SetMaxWidth(int v) { Set(maxWidth_, v); }
void TSizeConstraints::SetMaxHeight(int v) { Set(maxHeight_, v); }

void TSizeConstraints::Apply(int& width, int& height) const {
  if (maxWidth_ > 0 && width > maxWidth_) width = maxWidth_;
  if (maxHeight_ > 0 && height > maxHeight_) height = maxHeight_;
  if (width < minWidth_) width = minWidth_;
  if (height < minHeight_) height = minHeight_;
}

void TSizeConstraints::Assign(const TPersistent& source) {
  auto* c = dynamic_cast<const TSizeConstraints*>(&source);
  if (!c) return TPersistent::Assign(source);
  minWidth_ = c->minWidth_;
  minHeight_ = c->minHeight_;
  maxWidth_ = c->maxWidth_;
  maxHeight_ = c->maxHeight_;
  OnChange(this);
}

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.OnChange = TNotifyEvent(this, &TControl::FontChanged);
  constraints_.OnChange = TNotifyEvent(this, &TControl::ConstraintsChanged);
}

TControl::~TControl() {
  MarkDestroying();
  if (mouseControl_ == this) mouseControl_ = nullptr;
  if (captureControl_ == this) SetMouseCapture(false);
  if (parent_) parent_->RemoveControl(this);
  font_.OnChange.Clear();
  constraints_.OnChange.Clear();
}

TControl* TControl::MouseControl() { return mouseControl_; }
TControl* TControl::CaptureControl() { return captureControl_; }
void TControl::SetMouseControl(TControl* c) { mouseControl_ = c; }

std::intptr_t TControl::Perform(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WndProc(m);
  return m.result;
}

void TControl::WndProc(TMessage& m) {
  switch (m.msg) {
    case plat::kMsgLButtonDown:
    case plat::kMsgLButtonDblClk:
    case plat::kMsgRButtonDown:
    case plat::kMsgRButtonDblClk:
    case plat::kMsgMButtonDown:
    case plat::kMsgMButtonDblClk:
    case plat::kMsgLButtonUp:
    case plat::kMsgRButtonUp:
    case plat::kMsgMButtonUp:
    case plat::kMsgMouseMove: HandleMouse(m); break;
    case kCmMouseEnter: OnMouseEnter(this); break;
    case kCmMouseLeave: OnMouseLeave(this); break;
    case kCmHitTest: m.result = HitTest(plat::UnpackPoint(m.lParam)) ? 1 : 0; break;
    case plat::kMsgPaint:
      if (m.wParam) Paint(*reinterpret_cast<plat::DrawContext*>(m.wParam));
      break;
    case kCmEnabledChanged:
    case kCmVisibleChanged:
    case kCmTextChanged:
    case kCmFontChanged:
    case kCmColorChanged: Invalidate(); break;
    default: DefaultHandler(m); break;
  }
}

void TControl::DefaultHandler(TMessage& /*message*/) {}

void TControl::HandleMouse(TMessage& m) {
  plat::Point p = plat::UnpackPoint(m.lParam);
  TShiftState shift = ShiftFromMouse(m.wParam);
  TMouseButton button = mbLeft;
  switch (m.msg) {
    case plat::kMsgRButtonDown:
    case plat::kMsgRButtonDblClk:
    case plat::kMsgRButtonUp: button = mbRight; break;
    case plat::kMsgMButtonDown:
    case plat::kMsgMButtonDblClk:
    case plat::kMsgMButtonUp: button = mbMiddle; break;
    default: break;
  }
  switch (m.msg) {
    case plat::kMsgMouseMove: MouseMove(shift, p.x, p.y); break;
    case plat::kMsgLButtonDown:
    case plat::kMsgLButtonDblClk:
    case plat::kMsgRButtonDown:
    case plat::kMsgRButtonDblClk:
    case plat::kMsgMButtonDown:
    case plat::kMsgMButtonDblClk: {
      bool dbl =
          (m.msg == plat::kMsgLButtonDblClk || m.msg == plat::kMsgRButtonDblClk || m.msg == plat::kMsgMButtonDblClk) &&
          (style_ & csDoubleClicks);
      if (button == mbLeft) {
        if (style_ & csCaptureMouse) SetMouseCapture(true);
        if ((style_ & csClickEvents) && !dbl) clicked_ = true;
        if (dbl) OnDblClick(this);
      }
      MouseDown(button, shift | (dbl ? ssDouble : 0), p.x, p.y);
      break;
    }
    default:  // button up
      if (button == mbLeft) {
        if (style_ & csCaptureMouse) SetMouseCapture(false);
        if (clicked_) {
          clicked_ = false;
          if (ClientRect().Contains(p)) Click();
        }
      }
      MouseUp(button, shift, p.x, p.y);
      break;
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) { OnMouseMove(this, shift, x, y); }
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) { OnMouseUp(this, button, shift, x, y); }
void TControl::Click() { OnClick(this); }
void TControl::Resize() { OnResize(this); }

void TControl::Changed(std::uint32_t cm) { Perform(cm); }

bool TControl::CanAutoSize(int& /*newWidth*/, int& /*newHeight*/) { return false; }

void TControl::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  AdjustSize();
}

void TControl::AdjustSize() {
  if (autoSize_ && !Loading()) SetBounds(left_, top_, width_, height_);
}

void TControl::ConstraintsChanged(TPersistent*) {
  if (!Loading()) SetBounds(left_, top_, width_, height_);
}

void TControl::Loaded() {
  TComponent::Loaded();
  SetBounds(left_, top_, width_, height_);  // AutoSize and constraints read with the description
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (!Loading()) {
    if (autoSize_) {
      int w = width, h = height;
      if (CanAutoSize(w, h)) {
        width = w;
        height = h;
      }
    }
    constraints_.Apply(width, height);
  }
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  bool resized = width != width_ || height != height_;
  Invalidate();  // the old area
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Invalidate();  // the new one
  if (resized && !Loading()) Resize();
}

void TControl::SetClientWidth(int v) { SetWidth(v + width_ - ClientWidth()); }
void TControl::SetClientHeight(int v) { SetHeight(v + height_ - ClientHeight()); }

plat::Point TControl::ClientToScreen(plat::Point p) const {
  if (TWinControl* self = WindowHolder(); self == this && self->HandleAllocated()) {
    plat::Platform().ClientToScreen(self->WindowHandle(), &p);
    return p;
  }
  if (!parent_) return p;
  return parent_->ClientToScreen({p.x + left_, p.y + top_});
}

plat::Point TControl::ScreenToClient(plat::Point p) const {
  if (TWinControl* self = WindowHolder(); self == this && self->HandleAllocated()) {
    plat::Platform().ScreenToClient(self->WindowHandle(), &p);
    return p;
  }
  if (!parent_) return p;
  plat::Point q = parent_->ScreenToClient(p);
  return {q.x - left_, q.y - top_};
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EComponentError("A control cannot be its own parent");
  if (parent && parent->ContainsControl(this) == false) {
    for (TWinControl* p = parent; p; p = p->Parent())
      if (p == this) throw EComponentError("A control cannot be a parent of its own parent");
  }
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
  if (parent_ && parentFont_) ParentFontChanged();
  if (parent_ && parentColor_) ParentColorChanged();
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

TWinControl* TControl::WindowHolder() const { return parent_; }

bool TControl::Showing() const {
  if (!visible_) return false;
  if (!parent_) {
    TWinControl* self = WindowHolder();
    return self == this && self->HandleAllocated();
  }
  return parent_->Showing();
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  if (!v) Invalidate();
  visible_ = v;
  Changed(kCmVisibleChanged);
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Changed(kCmEnabledChanged);
}

void TControl::SetCaption(const std::string& v) {
  if (v == caption_) return;
  caption_ = v;
  Changed(kCmTextChanged);
}

void TControl::FontChanged(TPersistent*) {
  if (!inFontChange_) parentFont_ = false;
  Changed(kCmFontChanged);
}

void TControl::SetParentFont(bool v) {
  if (v == parentFont_) return;
  parentFont_ = v;
  if (v && parent_) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  inFontChange_ = true;
  try {
    font_.Assign(parent_->Font());
  } catch (...) {
    inFontChange_ = false;
    throw;
  }
  inFontChange_ = false;
}

void TControl::SetColor(TColor v) {
  parentColor_ = false;
  if (v == color_) return;
  color_ = v;
  Changed(kCmColorChanged);
}

void TControl::SetParentColor(bool v) {
  if (v == parentColor_) return;
  parentColor_ = v;
  if (v && parent_) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  if (parent_->Color() == color_) return;
  color_ = parent_->Color();
  Changed(kCmColorChanged);
}

bool TControl::MouseCapture() const { return captureControl_ == this; }

void TControl::SetMouseCapture(bool capture) {
  TWinControl* holder = WindowHolder();
  plat::Backend& b = plat::Platform();
  if (capture) {
    captureControl_ = this;
    if (holder && holder->HandleAllocated()) b.SetCapture(holder->WindowHandle());
  } else if (captureControl_ == this) {
    captureControl_ = nullptr;
    if (holder && holder->HandleAllocated() && b.GetCapture() == holder->WindowHandle()) b.ReleaseCapture();
  }
}

void TControl::Invalidate() {
  if (!visible_ || !parent_ || !parent_->HandleAllocated()) return;
  plat::Rect r = BoundsRect();
  plat::Platform().Invalidate(parent_->WindowHandle(), &r);
}

void TControl::Update() {
  if (TWinControl* h = WindowHolder(); h && h->HandleAllocated()) plat::Platform().UpdateWindow(h->WindowHandle());
}

TShiftState ShiftFromMouse(std::uintptr_t w) {
  TShiftState s = 0;
  if (w & plat::kMkShift) s |= ssShift;
  if (w & plat::kMkControl) s |= ssCtrl;
  if (w & plat::kMkLButton) s |= ssLeft;
  if (w & plat::kMkRButton) s |= ssRight;
  if (w & plat::kMkMButton) s |= ssMiddle;
  if (plat::Platform().IsKeyDown(plat::kVkMenu)) s |= ssAlt;
  return s;
}

TShiftState ShiftFromKeyboard() {
  plat::Backend& b = plat::Platform();
  TShiftState s = 0;
  if (b.IsKeyDown(plat::kVkShift)) s |= ssShift;
  if (b.IsKeyDown(plat::kVkControl)) s |= ssCtrl;
  if (b.IsKeyDown(plat::kVkMenu)) s |= ssAlt;
  if (b.IsKeyDown(plat::kVkLButton)) s |= ssLeft;
  if (b.IsKeyDown(plat::kVkRButton)) s |= ssRight;
  if (b.IsKeyDown(plat::kVkMButton)) s |= ssMiddle;
  return s;
}
