#include "ui/WinControl.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/TypeInfo.h"

namespace {
// Windows of ours and their controls (user-interface thread only).
std::unordered_map<plat::WindowHandle, TWinControl*>& WindowControls() {
  static std::unordered_map<plat::WindowHandle, TWinControl*> map;
  return map;
}

bool IsWindowed(const TControl* c) { return dynamic_cast<const TWinControl*>(c) != nullptr; }

bool IsMouseMessage(std::uint32_t msg) { return msg >= plat::kMsgMouseMove && msg <= plat::kMsgMButtonDblClk; }

// Restores a context's saved state on every path.
struct SavedState {
  plat::DrawContext& ctx;
  int depth;
  explicit SavedState(plat::DrawContext& c) : ctx(c), depth(c.Save()) {}
  ~SavedState() { ctx.Restore(depth); }
};
}  // namespace

const TClassInfo& TWinControl::StaticClass() {
  static const TClassInfo info = TClassBuilder<TWinControl>("TWinControl", &TControl::StaticClass())
                                     .Int("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder)
                                     .StoredIf([](const TWinControl& w) { return w.TabStop() && w.Parent(); })
                                     .Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false)
                                     .Event("OnEnter", &TWinControl::OnEnter)
                                     .Event("OnExit", &TWinControl::OnExit)
                                     .Event("OnKeyDown", &TWinControl::OnKeyDown)
                                     .Event("OnKeyPress", &TWinControl::OnKeyPress)
                                     .Event("OnKeyUp", &TWinControl::OnKeyUp)
                                     .Build();
  return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { style_ |= csAcceptsControls | csDoubleClicks; }

TWinControl::~TWinControl() {
  MarkDestroying();
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  DestroyHandle();
}

bool TWinControl::CanCreateHandle() const { return (Parent() && Parent()->handle_) || (!Parent() && parentWindow_); }

plat::WindowHandle TWinControl::Handle() {
  if (!handle_ && CanCreateHandle()) CreateHandle();
  return handle_;
}

plat::Status TWinControl::CreateWindowHandle(const plat::WindowDesc& desc, plat::WindowHandle* out) {
  return plat::Platform().CreateChildWindow(desc, out);
}

void TWinControl::CreateHandle() {
  if (handle_ || !CanCreateHandle()) return;
  plat::WindowDesc desc;
  desc.parent = Parent() ? Parent()->handle_ : parentWindow_;
  desc.bounds = BoundsRect();
  desc.visible = Visible();
  desc.proc = [this](plat::WindowHandle w, plat::Message& m) { Dispatch(w, m); };
  plat::WindowHandle h = nullptr;
  creating_ = true;
  plat::Status st = CreateWindowHandle(desc, &h);
  creating_ = false;
  if (st != plat::Status::Ok) return;  // stays windowless; Handle() answers null
  handle_ = h;
  WindowControls()[h] = this;
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  if (MouseControl() && MouseControl()->WindowHolder() == this) SetMouseControl(nullptr);
  if (CaptureControl() && CaptureControl()->WindowHolder() == this) CaptureControl()->SetMouseCapture(false);
  plat::WindowHandle h = handle_;
  handle_ = nullptr;  // from here on the window's messages no longer reach this control
  WindowControls().erase(h);
  plat::Platform().DestroyWindow(h);
}

void TWinControl::Dispatch(plat::WindowHandle window, TMessage& m) {
  if (window != handle_ && !creating_) {
    plat::Platform().DefaultHandling(window, m);
    return;
  }
  try {
    WndProc(m);
    if ((m.msg == plat::kMsgSetFocus || m.msg == plat::kMsgKillFocus) && window == handle_) {
      // Parents hear where the focus went, also when it moves between two of their children or
      // from one of them to outside.
      TWinControl* now =
          m.msg == plat::kMsgSetFocus ? this : FindControl(reinterpret_cast<plat::WindowHandle>(m.wParam));
      for (TWinControl* p = Parent(); p; p = p->Parent())
        p->Perform(kCmFocusChanged, 0, reinterpret_cast<std::intptr_t>(now));
    }
  } catch (...) {
    Application().HandleException(this);
  }
  // The window is going without our asking (its host window was destroyed): forget it and the
  // windows inside it, so that the control can get a new window later.
  if (m.msg == plat::kMsgDestroy && window == handle_ && handle_) ForgetHandle();
}

void TWinControl::ForgetHandle() {
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->ForgetHandle();
  if (!handle_) return;
  if (MouseControl() && MouseControl()->WindowHolder() == this) SetMouseControl(nullptr);
  if (CaptureControl() && CaptureControl()->WindowHolder() == this) CaptureControl()->SetMouseCapture(false);
  WindowControls().erase(handle_);
  handle_ = nullptr;
}

TWinControl* FindControl(plat::WindowHandle window) {
  if (!window) return nullptr;
  auto it = WindowControls().find(window);
  return it == WindowControls().end() ? nullptr : it->second;
}

void TWinControl::SetParentWindow(plat::WindowHandle parent) {
  if (parent == parentWindow_ && (handle_ || !parent || Parent())) return;
  parentWindow_ = parent;
  if (Parent()) return;
  if (handle_ && parent)
    plat::Platform().SetParent(handle_, parent);
  else if (handle_)
    DestroyHandle();
  else if (parent)
    CreateHandle();
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  TControl::SetParent(parent);
  if (handle_) {
    if (parent && parent->handle_)
      plat::Platform().SetParent(handle_, parent->handle_);
    else if (!parent && parentWindow_)
      plat::Platform().SetParent(handle_, parentWindow_);
    else
      DestroyHandle();
  } else if (CanCreateHandle()) {
    CreateHandle();
  }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  if (handle_) {
    plat::Rect current;
    plat::Backend& b = plat::Platform();
    if (b.GetBounds(handle_, &current) == plat::Status::Ok && !(current == BoundsRect()))
      b.SetBounds(handle_, BoundsRect());
  }
}

void TWinControl::Invalidate() {
  if (handle_) plat::Platform().Invalidate(handle_, nullptr);
}

void TWinControl::InsertControl(TControl* c) {
  controls_.push_back(c);
  if (auto* w = dynamic_cast<TWinControl*>(c)) tabList_.push_back(w);
  c->parent_ = this;
  if (!IsWindowed(c)) c->Invalidate();
}

void TWinControl::RemoveControl(TControl* c) {
  if (!IsWindowed(c)) c->Invalidate();
  if (MouseControl() == c) SetMouseControl(nullptr);
  if (CaptureControl() == c) c->SetMouseCapture(false);
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
  tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), c), tabList_.end());
  c->parent_ = nullptr;
}

bool TWinControl::ContainsControl(const TControl* c) const {
  for (const TWinControl* p = c ? c->Parent() : nullptr; p; p = p->Parent())
    if (p == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(plat::Point p, bool allowDisabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (IsWindowed(c) || !c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
    if (!c->BoundsRect().Contains(p)) continue;
    if (c->Perform(kCmHitTest, 0, plat::PackPoint(p.x - c->Left(), p.y - c->Top())) != 0) return c;
  }
  return nullptr;
}

void TWinControl::WndProc(TMessage& m) {
  if (IsMouseMessage(m.msg)) return RouteMouse(m);
  switch (m.msg) {
    case plat::kMsgMouseLeave:
      if (TControl* mc = MouseControl(); mc && mc->WindowHolder() == this) {
        SetMouseControl(nullptr);
        mc->Perform(kCmMouseLeave);
      }
      break;
    case plat::kMsgPaint: HandlePaint(m); break;
    case plat::kMsgEraseBkgnd: m.result = 1; break;
    case plat::kMsgSetFocus: DoEnter(); break;
    case plat::kMsgKillFocus: DoExit(); break;
    case plat::kMsgKeyDown:
    case plat::kMsgSysKeyDown:
    case plat::kMsgKeyUp:
    case plat::kMsgSysKeyUp:
    case plat::kMsgChar: HandleKey(m); break;
    case plat::kMsgSysChar: {
      TWinControl* top = this;
      while (top->Parent()) top = top->Parent();
      m.result = top->BroadcastDialogChar(static_cast<char>(m.wParam)) ? 1 : 0;
      break;
    }
    case plat::kMsgCaptureChanged:
      if (TControl* cc = CaptureControl();
          cc && cc->WindowHolder() == this && reinterpret_cast<plat::WindowHandle>(m.lParam) != handle_)
        cc->SetMouseCapture(false);
      break;
    default: TControl::WndProc(m); break;
  }
}

void TWinControl::HandleKey(TMessage& m) {
  switch (m.msg) {
    case plat::kMsgKeyDown:
    case plat::kMsgSysKeyDown: {
      auto key = static_cast<std::uint16_t>(m.wParam);
      TShiftState shift = ShiftFromKeyboard();
      if (TCustomForm* form = GetParentForm(this); form && form != this && form->PreviewKey(m.msg, key, shift)) break;
      KeyDown(key, shift);
      // Tab moves the focus through the top control's Tab order.
      if (key == plat::kVkTab && m.msg == plat::kMsgKeyDown && TabMovesFocus()) {
        TWinControl* top = this;
        while (top->Parent()) top = top->Parent();
        if (TWinControl* next = top->FindNextControl(this, !(shift & ssShift), true)) next->SetFocus();
      }
      break;
    }
    case plat::kMsgKeyUp:
    case plat::kMsgSysKeyUp: {
      auto key = static_cast<std::uint16_t>(m.wParam);
      TShiftState shift = ShiftFromKeyboard();
      if (TCustomForm* form = GetParentForm(this); form && form != this && form->PreviewKey(m.msg, key, shift)) break;
      KeyUp(key, shift);
      break;
    }
    case plat::kMsgChar: {
      char ch = static_cast<char>(m.wParam);
      KeyPress(ch);
      break;
    }
    default: break;
  }
}

bool TWinControl::TabMovesFocus() {
  return !(Perform(plat::kMsgGetDlgCode) & (plat::kDlgcWantTab | plat::kDlgcWantAllKeys));
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (handle_ && m.msg < plat::kMsgFrameworkBase) plat::Platform().DefaultHandling(handle_, m);
}

TControl* TWinControl::ControlUnderMouse(plat::Point p) const {
  // Under a capture the moves keep coming from outside the window: then nothing is under it.
  if (!plat::Rect{0, 0, Width(), Height()}.Contains(p)) return nullptr;
  TControl* under = ControlAtPos(p);
  return under ? under : const_cast<TWinControl*>(this);
}

void TWinControl::RouteMouse(TMessage& m) {
  plat::Point p = plat::UnpackPoint(m.lParam);
  TControl* cc = CaptureControl();
  if (m.msg == plat::kMsgMouseMove) {
    TControl* under = ControlUnderMouse(p);
    // During a capture only the capturing control hears enter and leave: a drag must not light up
    // the controls it crosses.
    if (cc && under != cc) under = nullptr;
    TrackMouseControl(under);
    if (handle_) plat::Platform().TrackMouseLeave(handle_);
  }
  TControl* target = nullptr;
  if (cc && cc != this && cc->Parent() == this && !IsWindowed(cc))
    target = cc;
  else if (cc != this)
    target = ControlAtPos(p);
  if (!target) {
    TControl::WndProc(m);
  } else {
    TMessage sub{m.msg, m.wParam, plat::PackPoint(p.x - target->Left(), p.y - target->Top()), 0};
    target->WndProc(sub);
    m.result = sub.result;
  }
  // The capture ended with this release: what lies under the mouse now is entered at once.
  bool buttonUp = m.msg == plat::kMsgLButtonUp || m.msg == plat::kMsgRButtonUp || m.msg == plat::kMsgMButtonUp;
  if (buttonUp && cc && !CaptureControl() && handle_) TrackMouseControl(ControlUnderMouse(p));
}

void TWinControl::TrackMouseControl(TControl* under) {
  TControl* old = MouseControl();
  if (under == old) return;
  SetMouseControl(under);
  if (old) old->Perform(kCmMouseLeave);
  if (under && MouseControl() == under) under->Perform(kCmMouseEnter);
}

void TWinControl::HandlePaint(TMessage& m) {
  if (m.wParam) {
    auto& ctx = *reinterpret_cast<plat::DrawContext*>(m.wParam);
    PaintHandler(ctx, ctx.ClipBox());
    return;
  }
  if (!handle_) return;
  plat::Backend& b = plat::Platform();
  plat::PaintCycle cycle;
  if (b.BeginPaint(handle_, &cycle) != plat::Status::Ok || !cycle.context) return;
  struct EndGuard {
    plat::Backend& b;
    plat::WindowHandle h;
    plat::PaintCycle* c;
    ~EndGuard() { b.EndPaint(h, c); }
  } guard{b, handle_, &cycle};
  PaintHandler(*cycle.context, cycle.area);
}

void TWinControl::PaintHandler(plat::DrawContext& ctx, const plat::Rect& area) {
  {
    SavedState s(ctx);
    PaintWindow(ctx);
  }
  PaintControls(ctx, area);
}

void TWinControl::PaintWindow(plat::DrawContext& ctx) {
  if (Color() != clNone) ctx.FillRect({0, 0, Width(), Height()}, ColorToRGB(Color()));
  Paint(ctx);
}

void TWinControl::PaintControls(plat::DrawContext& ctx, const plat::Rect& area) {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    TControl* c = controls_[i];
    if (IsWindowed(c) || !c->Visible() || !plat::Intersect(c->BoundsRect(), area, nullptr)) continue;
    SavedState s(ctx);
    ctx.OffsetOrigin(c->Left(), c->Top());
    ctx.IntersectClip({0, 0, c->Width(), c->Height()});
    c->Perform(plat::kMsgPaint, reinterpret_cast<std::uintptr_t>(&ctx), 0);
  }
}

bool TWinControl::Focused() const { return handle_ && plat::Platform().GetFocus() == handle_; }

bool TWinControl::CanFocus() const { return Visible() && Enabled() && handle_; }

void TWinControl::SetFocus() {
  if (plat::WindowHandle h = Handle()) plat::Platform().SetFocus(h);
}

void TWinControl::DoEnter() { OnEnter(this); }
void TWinControl::DoExit() { OnExit(this); }
void TWinControl::KeyDown(std::uint16_t& key, TShiftState shift) { OnKeyDown(this, key, shift); }
void TWinControl::KeyUp(std::uint16_t& key, TShiftState shift) { OnKeyUp(this, key, shift); }
void TWinControl::KeyPress(char& key) { OnKeyPress(this, key); }

bool TWinControl::BroadcastDialogChar(char ch) {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    TControl* c = controls_[i];
    if (c->Perform(kCmDialogChar, static_cast<unsigned char>(ch)) != 0) return true;
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->BroadcastDialogChar(ch)) return true;
  }
  return false;
}

void TWinControl::ParentFontChanged() { TControl::ParentFontChanged(); }

void TWinControl::ParentColorChanged() { TControl::ParentColorChanged(); }

void TWinControl::Changed(std::uint32_t cm) {
  if (cm == kCmVisibleChanged && handle_) plat::Platform().Show(handle_, Visible());
  if (cm == kCmFontChanged)
    for (TControl* c : controls_) c->ParentFontChanged();
  if (cm == kCmColorChanged)
    for (TControl* c : controls_) c->ParentColorChanged();
  TControl::Changed(cm);
}

int TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  const auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (Loading()) {
    pendingTabOrder_ = order;
    return;
  }
  if (!Parent() || order < 0) return;
  auto& list = Parent()->tabList_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.insert(list.begin() + std::min<std::size_t>(static_cast<std::size_t>(order), list.size()), this);
}

void TWinControl::Loaded() {
  TControl::Loaded();
  if (pendingTabOrder_ >= 0) SetTabOrder(std::exchange(pendingTabOrder_, -1));
}

void TWinControl::CollectTabOrder(std::vector<TWinControl*>& out) const {
  for (TWinControl* w : tabList_) {
    out.push_back(w);
    w->CollectTabOrder(out);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool tabStopsOnly) const {
  std::vector<TWinControl*> order;
  CollectTabOrder(order);
  if (order.empty()) return nullptr;
  const auto n = static_cast<std::ptrdiff_t>(order.size());
  auto at = std::find(order.begin(), order.end(), current);
  std::ptrdiff_t start = at == order.end() ? (forward ? n - 1 : 0) : at - order.begin();
  for (std::ptrdiff_t step = 1; step <= n; ++step) {
    std::ptrdiff_t i = ((start + (forward ? step : -step)) % n + n) % n;
    TWinControl* w = order[static_cast<std::size_t>(i)];
    if (w == current) continue;
    if ((!tabStopsOnly || w->TabStop()) && w->Showing() && w->Enabled() && w->HandleAllocated()) return w;
  }
  return nullptr;
}
