#include "DIB/Source/cDIBControl.h"

#include <algorithm>

#include "DIB/Source/cDIBControlTemplate.h"
#include "DIB/Source/cDIBFeatures.h"
#include "DIB/Source/cDIBPanel.h"
#include "DIB/Source/cDIBTimer.h"
#include "platform/Platform.h"
#include "ui/Errors.h"
#include "ui/Form.h"
#include "ui/TypeInfo.h"

// ---- TPointProperty ----------------------------------------------------------------------------

const TClassInfo& TPointProperty::StaticClass() {
  using T = TPointProperty;
  static const TClassInfo info = TClassBuilder<T>("TPointProperty", &TPersistent::StaticClass())
                                     .Int("X", &T::X, &T::SetX, 0)
                                     .Int("Y", &T::Y, &T::SetY, 0)
                                     .Build();
  return info;
}

void TPointProperty::SetX(int v) {
  x_ = v;
  OnChange(this);
}

void TPointProperty::SetY(int v) {
  y_ = v;
  OnChange(this);
}

void TPointProperty::Assign(const TPersistent& source) {
  auto* p = dynamic_cast<const TPointProperty*>(&source);
  if (!p) return TPersistent::Assign(source);
  SetX(p->x_);
  SetY(p->y_);
}

// ---- TControlItem / TControlList ---------------------------------------------------------------

TControlItem::TControlItem(TCollection* collection) : TCollectionItem(collection) {}

const TClassInfo& TControlItem::StaticClass() {
  static const TClassInfo info = TClassBuilder<TControlItem>("TControlItem", &TCollectionItem::StaticClass())
                                     .Item()
                                     .Reference<TControl>("Control", &TControlItem::Control, &TControlItem::SetControl)
                                     .Build();
  return info;
}

void TControlItem::SetControl(TControl* control) {
  if (!control) throw EFeatureError("You cannot set Control to nil");
  if (control == control_) return;
  auto* list = dynamic_cast<TControlList*>(Collection());
  if (list) {
    for (int i = 0; i < list->Count(); ++i)
      if (list->Items(i) != this && list->Items(i)->Control() == control)
        throw EFeatureError("Control already exists in list.");
  }
  control_ = control;
  // The owning control forgets the item when the control it holds goes away.
  if (list && list->Control()) list->Control()->FreeNotification(control);
}

std::string TControlItem::DisplayName() const {
  if (!control_) return TCollectionItem::DisplayName();
  return control_->Name().empty() ? std::string(control_->ClassName()) : control_->Name();
}

TControlList::TControlList(TCustomDIBControl* owner)
    : TCollection(owner, TControlItem::StaticClass()), control_(owner) {
  SetPropName("Children");
}

void TControlList::RemoveControl(const TComponent* component) {
  if (!component) return;
  for (int i = Count() - 1; i >= 0; --i)
    if (static_cast<const TComponent*>(Items(i)->Control()) == component) Delete(i);
}

// ---- TCustomDIBControl ---------------------------------------------------------------------------

const TClassInfo& TCustomDIBControl::StaticClass() {
  using T = TCustomDIBControl;
  static const TClassInfo info =
      TClassBuilder<T>("TCustomDIBControl", &TControl::StaticClass())
          .Int("Accelerator", &T::Accelerator, &T::SetAccelerator, 0)
          .Collection("Children", &T::Children)
          .Collection("DIBFeatures", &T::DIBFeatures)
          .Reference<TCustomDIBImageList>("DIBImageList", &T::DIBImageList, &T::SetDIBImageList)
          .Int("DIBTabOrder", &T::DIBTabOrder, &T::SetDIBTabOrder, -1)
          .Set("DialogCodeFlags", {"dcWantTab", "dcWantArrows", "dcWantAllKeys"}, &T::DialogCodeFlags,
               &T::SetDialogCodeFlags, dcWantArrows)
          .Int("Opacity", &T::Opacity, &T::SetOpacity, 255)
          .Event("OnEnter", &T::OnEnter)
          .Event("OnExit", &T::OnExit)
          .Event("OnKeyDown", &T::OnKeyDown)
          .Event("OnKeyPress", &T::OnKeyPress)
          .Event("OnKeyUp", &T::OnKeyUp)
          .Event("OnPaintEnd", &T::OnPaintEnd)
          .Event("OnPaintStart", &T::OnPaintStart)
          .Build();
  return info;
}

TCustomDIBContainer* TCustomDIBControl::ContainerFor(TComponent* candidate) {
  if (!candidate) return nullptr;
  if (auto* c = dynamic_cast<TCustomDIBContainer*>(candidate)) return c;
  for (TComponent* owned : candidate->Components())
    if (auto* c = dynamic_cast<TCustomDIBContainer*>(owned)) return c;
  return nullptr;
}

TCustomDIBControl::TCustomDIBControl(TComponent* owner) : TControl(owner) {
  if (!owner) throw EDIBControlError("Owner cannot be nil");
  if (!ContainerFor(owner)) throw EDIBControlError("Parent must be a TDIBContainer");
  children_ = std::make_unique<TControlList>(this);
  dibFeatures_ = std::make_unique<TDIBFeatures>(this);
  repeatTimer_ = std::make_unique<TDIBTimer>(nullptr);
  repeatTimer_->SetOnTimer(TNotifyEvent(this, &TCustomDIBControl::RepeatTick));
  SetBounds(0, 0, 32, 32);
  lastChangeTime_ = 0;
  RegisterTemplateProperty("Width");
  RegisterTemplateProperty("Height");
}

TCustomDIBControl::~TCustomDIBControl() {
  MarkDestroying();
  repeatTimer_.reset();
  if (TCustomDIBContainer* c = Container()) c->ForgetControl(this);
  TControl::SetParent(nullptr);
  imageLinks_.clear();
  if (dibImageList_) RemoveFreeNotification(dibImageList_);
}

TCustomDIBContainer* TCustomDIBControl::Container() const { return dynamic_cast<TCustomDIBContainer*>(Parent()); }

void TCustomDIBControl::SetParent(TWinControl* parent) {
  if (parent) {
    TCustomDIBContainer* c = ContainerFor(parent);
    if (!c) throw EDIBControlError("Parent must be a TDIBContainer");
    parent = c;
  }
  TCustomDIBContainer* old = Container();
  if (old && old != parent) {
    old->SetTabPosition(this, -1);
    if (old->ActiveControl() == this) old->SetActiveControl(nullptr);
  }
  TControl::SetParent(parent);
  if (parent) ApplyStoredTabOrder();
}

void TCustomDIBControl::ApplyStoredTabOrder() {
  if (Container() && !Loading()) SetDIBTabOrder(storedDIBTabOrder_);
}

void TCustomDIBControl::Loaded() {
  creating_ = false;
  TControl::Loaded();
  dibFeatures_->FinishLoading();
  ApplyStoredTabOrder();
}

int TCustomDIBControl::DIBTabOrder() const {
  TCustomDIBContainer* c = Container();
  if (!c) return -1;
  const auto& list = c->DIBTabList();
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TCustomDIBControl::SetDIBTabOrder(int order) {
  TCustomDIBContainer* c = Container();
  if (!c || Loading()) {
    storedDIBTabOrder_ = static_cast<std::int16_t>(std::clamp(order, -1, 32767));
    return;
  }
  c->SetTabPosition(this, order);
  storedDIBTabOrder_ = static_cast<std::int16_t>(DIBTabOrder());
}

void TCustomDIBControl::SetOpacity(std::uint8_t v) {
  if (v == opacity_) return;
  opacity_ = v;
  Invalidate();
}

TDIBImageLink* TCustomDIBControl::AddImageLink() {
  auto link = std::make_unique<TDIBImageLink>(this);
  link->OnChange = [this](TDIBImageLink*, int index, TDIBImageChange kind) {
    if (!Destroying()) ImageChanged(index, kind);
  };
  TDIBImageLink* raw = link.get();
  imageLinks_.push_back(std::move(link));
  if (dibImageList_) raw->SetDIBImageList(dibImageList_);
  return raw;
}

void TCustomDIBControl::SetDIBImageList(TCustomDIBImageList* list) {
  if (dibImageList_) RemoveFreeNotification(dibImageList_);
  dibImageList_ = list;
  for (auto& link : imageLinks_) link->SetDIBImageList(list);
  if (list) FreeNotification(list);
}

void TCustomDIBControl::Notification(TComponent* component, TOperation operation) {
  TControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dibImageList_) {
    dibImageList_ = nullptr;
    for (auto& link : imageLinks_) link->SetDIBImageList(nullptr);
  }
  if (!Destroying() && children_) children_->RemoveControl(component);
}

void TCustomDIBControl::Invalidate() {
  TControl::Invalidate();
  if (!pureMove_) {
    lastChangeTime_ = plat::Platform().TickCount();
    ++changeCount_;
  }
}

void TCustomDIBControl::SetBounds(int left, int top, int width, int height) {
  if (inSetBounds_) return;
  struct Guard {
    TCustomDIBControl* c;
    ~Guard() { c->inSetBounds_ = c->pureMove_ = false; }
  } guard{this};
  pureMove_ = width == Width() && height == Height();
  inSetBounds_ = true;
  const int dx = left - Left(), dy = top - Top();
  TControl::SetBounds(left, top, width, height);
  if ((dx != 0 || dy != 0) && children_) {
    for (int i = 0; i < children_->Count(); ++i)
      if (TControl* c = children_->Items(i)->Control())
        c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
  }
}

void TCustomDIBControl::Click() {
  TControl::Click();
  if (DIBTabOrder() >= 0 && !focused_) Perform(plat::kMsgSetFocus);
}

void TCustomDIBControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  shift_ = shift;
  pressedButtons_ |= static_cast<std::uint8_t>(1u << button);
  if (DIBTabOrder() >= 0) Perform(plat::kMsgSetFocus);
  TControl::MouseDown(button, shift, x, y);
}

void TCustomDIBControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  shift_ = shift;
  pressedButtons_ &= static_cast<std::uint8_t>(~(1u << button));
  TControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && mouseIn_ && !mouseOver_) MouseLeave();
}

// ---- virtual operations --------------------------------------------------------------------------

void TCustomDIBControl::DoPaintEnd() { OnPaintEnd(this); }
void TCustomDIBControl::AdjustPaintRect(plat::Rect& /*rect*/) {}
void TCustomDIBControl::DoPaintStart() { OnPaintStart(this); }
void TCustomDIBControl::HighlightOn() {}
void TCustomDIBControl::HighlightOff() {}

void TCustomDIBControl::DoEnter() {
  const bool wasNeither = !focused_ && !mouseIn_;
  focused_ = true;
  if (TCustomDIBContainer* c = Container()) {
    c->SetActiveControl(this);
    if (c->HandleAllocated()) plat::Platform().SetFocus(c->WindowHandle());
  }
  if (wasNeither) HighlightOn();
  OnEnter(this);
}

void TCustomDIBControl::DoExit() {
  focused_ = false;
  OnExit(this);
  if (!focused_ && !mouseIn_) HighlightOff();
}

bool TCustomDIBControl::DoKeyDown(TMessage& m) {
  auto key = static_cast<std::uint16_t>(m.wParam);
  TShiftState shift = ShiftFromKeyboard();
  if (TCustomForm* form = GetParentForm(this); form && form->PreviewKey(m.msg, key, shift)) return true;
  shift_ = shift;
  OnKeyDown(this, key, shift);
  m.wParam = key;
  return key == 0;
}

bool TCustomDIBControl::DoKeyPress(TMessage& m) {
  char ch = static_cast<char>(m.wParam);
  OnKeyPress(this, ch);
  m.wParam = static_cast<unsigned char>(ch);
  return ch == 0;
}

bool TCustomDIBControl::DoKeyUp(TMessage& m) {
  auto key = static_cast<std::uint16_t>(m.wParam);
  TShiftState shift = ShiftFromKeyboard();
  if (TCustomForm* form = GetParentForm(this); form && form->PreviewKey(m.msg, key, shift)) return true;
  shift_ = shift;
  OnKeyUp(this, key, shift);
  m.wParam = key;
  return key == 0;
}

void TCustomDIBControl::MouseEnter() {
  const bool wasNeither = !focused_ && !mouseIn_;
  mouseOver_ = mouseIn_ = true;
  if (wasNeither) HighlightOn();
  OnMouseEnter(this);
}

void TCustomDIBControl::MouseLeave() {
  mouseOver_ = false;
  if (MouseCapture()) return;  // stays entered until the button is released
  mouseIn_ = false;
  OnMouseLeave(this);
  if (!focused_ && !mouseIn_) HighlightOff();
}

void TCustomDIBControl::ImageChanged(int /*index*/, TDIBImageChange /*kind*/) {}

// No popup menus and no application key hook exist in this framework, so nothing claims a
// shortcut.
bool TCustomDIBControl::IsShortCut(TMessage& /*message*/) { return false; }

void TCustomDIBControl::Paint() {}

void TCustomDIBControl::StopRepeat() { stopRepeatRequested_ = true; }

void TCustomDIBControl::LoadTemplate(TDIBStream& stream) { LoadControlTemplate(*this, stream); }
void TCustomDIBControl::SaveTemplate(TDIBStream& stream) { SaveControlTemplate(*this, stream); }

void TCustomDIBControl::RegisterTemplateProperty(const std::string& name) {
  const TPropInfo* p = ClassInfo().FindProp(name);
  if (!p)
    throw EDIBControlError("Class " + std::string(ClassName()) + " is trying to register " + name +
                           " as a template property, and that property does not exist.");
  switch (p->Kind) {
    case TPropKind::Integer:
    case TPropKind::Float:
    case TPropKind::Boolean:
    case TPropKind::String:
    case TPropKind::Enum:
    case TPropKind::Set:
    case TPropKind::Color: break;
    case TPropKind::Object: {
      // Image links, and the fonts and caption offsets of buttons.
      TPersistent* o = p->GetObject(*this);
      if (dynamic_cast<TDIBImageLink*>(o) || dynamic_cast<TFont*>(o) || dynamic_cast<TPointProperty*>(o)) break;
      throw EDIBControlError("Attempting to template an invalid property type.");
    }
    default: throw EDIBControlError("Attempting to template an invalid property type.");
  }
  if (std::find(templateProperties_.begin(), templateProperties_.end(), name) == templateProperties_.end())
    templateProperties_.push_back(name);
}

// ---- messages ------------------------------------------------------------------------------------

bool TCustomDIBControl::RepeatTimerRunning() const { return repeatTimer_ && repeatTimer_->Enabled(); }

void TCustomDIBControl::StartRepeat() {
  repeatTimer_->SetInterval(repeatInterval_);
  repeatTimer_->SetEnabled(true);
}

void TCustomDIBControl::StopRepeatTimer() {
  if (repeatTimer_) repeatTimer_->SetEnabled(false);
}

void TCustomDIBControl::RepeatTick(TPersistent*) {
  if (stopRepeatRequested_) {
    stopRepeatRequested_ = false;
    StopRepeatTimer();
    return;
  }
  Perform(savedMessage_.msg, savedMessage_.wParam, savedMessage_.lParam);
}

std::intptr_t TCustomDIBControl::DialogCode() const {
  if (dialogCodeFlags_ & dcWantAllKeys) return plat::kDlgcWantAllKeys;
  std::intptr_t code = 0;
  if (dialogCodeFlags_ & dcWantTab) code |= plat::kDlgcWantTab;
  if (dialogCodeFlags_ & dcWantArrows) code |= plat::kDlgcWantArrows;
  return code;
}

void TCustomDIBControl::DialogChar(TMessage& m) {
  shift_ = ShiftFromKeyboard();
  const char ch = static_cast<char>(m.wParam);
  TCustomDIBContainer* c = Container();
  if (accelerator_ != 0 && ch == accelerator_ && Enabled() && Visible() && (shift_ & ssAlt) && c && c->CanFocus()) {
    Click();
    m.result = 1;
  }
}

bool TCustomDIBControl::ControlMessage(TMessage& /*message*/) { return false; }

void TCustomDIBControl::WndProc(TMessage& m) {
  const bool handled = dibFeatures_ && dibFeatures_->HandleMessage(m);
  switch (m.msg) {
    case plat::kMsgLButtonDown:
    case plat::kMsgLButtonDblClk:
      savedMessage_ = m;
      if (!RepeatTimerRunning()) {
        // A new press, not a repeat: a stop asked for during an earlier press (a click on a
        // slider's knob released before the first repeat) is not this one's.
        stopRepeatRequested_ = false;
        if (autoRepeat_) StartRepeat();
      }
      break;
    case plat::kMsgMouseMove: {
      savedMessage_.wParam = m.wParam;
      savedMessage_.lParam = m.lParam;
      const plat::Point p = plat::UnpackPoint(m.lParam);
      mouseX_ = p.x;
      mouseY_ = p.y;
      if (mouseOver_ && !mouseIn_) Perform(kCmMouseEnter);
      break;
    }
    case plat::kMsgLButtonUp:
      StopRepeatTimer();
      if (mouseIn_ && !mouseOver_) Perform(kCmMouseLeave);
      break;
    case kCmMouseEnter:
      MouseEnter();
      if (MouseCapture() && autoRepeat_) StartRepeat();
      return;  // raised OnMouseEnter itself
    case kCmMouseLeave:
      StopRepeatTimer();
      MouseLeave();
      return;
    default: break;
  }
  if (handled || ControlMessage(m)) return;
  switch (m.msg) {
    case plat::kMsgPaint: PaintCycle(); return;
    case plat::kMsgSetFocus:
      if (Enabled() && !focused_) DoEnter();
      return;
    case plat::kMsgKillFocus: DoExit(); return;
    case plat::kMsgKeyDown:
    case plat::kMsgSysKeyDown:
      if (!DoKeyDown(m)) DefaultHandler(m);
      return;
    case plat::kMsgKeyUp:
    case plat::kMsgSysKeyUp:
      if (!DoKeyUp(m)) DefaultHandler(m);
      return;
    case plat::kMsgChar:
      if (!DoKeyPress(m)) DefaultHandler(m);
      return;
    case plat::kMsgGetDlgCode: m.result = DialogCode(); return;
    case kCmDialogChar: DialogChar(m); return;
    case kCmEnabledChanged:
      if (!Enabled() && focused_) DoExit();
      break;
    default: break;
  }
  TControl::WndProc(m);
}

// ---- paint cycle ---------------------------------------------------------------------------------

void TCustomDIBControl::PaintInto(TWinDIB& dib) {
  TWinDIB* lent = controlDIB_;
  plat::DrawContext* canvas = controlCanvas_;
  struct Restore {
    TCustomDIBControl* c;
    TWinDIB* dib;
    plat::DrawContext* canvas;
    ~Restore() {
      c->controlDIB_ = dib;
      c->controlCanvas_ = canvas;
    }
  } restore{this, lent, canvas};
  controlDIB_ = &dib;
  controlCanvas_ = dib.Handle();
  Paint();
}

void TCustomDIBControl::PaintCycle() {
  TCustomDIBContainer* container = Container();
  TWinDIB* dib = controlDIB_;
  if (!container || !dib) return;
  TWinDIB& buffer = container->BufferDIB();
  // The buffer's area under the control becomes the background the control draws over.
  buffer.DrawCopy(std::max(-Left(), 0), std::max(-Top(), 0), Width(), Height(), dib, std::max(Left(), 0),
                  std::max(Top(), 0));
  struct Unbind {
    plat::DrawContext*& canvas;
    ~Unbind() { canvas = nullptr; }
  } unbind{controlCanvas_};
  controlCanvas_ = dib->Handle();
  DoPaintStart();
  Paint();
  DoPaintEnd();
  dib->SetOpacity(opacity_);
  dib->Draw(Left(), Top(), Width(), Height(), &buffer);
}
