#include "DIB/Source/cDIBPanel.h"

#include <algorithm>
#include <cstdlib>

#include "DIB/Source/cDIBBorder.h"
#include "DIB/Source/cDIBControl.h"
#include "DIB/Source/cDIBPalette.h"
#include "platform/Platform.h"
#include "ui/Application.h"
#include "ui/TypeInfo.h"

namespace {
// Scratch images kept for children's sizes; beyond this the least recently used one goes.
constexpr std::size_t kMaxScratch = 32;

bool IsWindowed(const TControl* c) { return dynamic_cast<const TWinControl*>(c) != nullptr; }
}  // namespace

const TClassInfo& TCustomDIBContainer::StaticClass() {
  using T = TCustomDIBContainer;
  static const TClassInfo info =
      TClassBuilder<T>("TCustomDIBContainer", &TCustomPanel::StaticClass())
          .Enum("BevelOuter", {"bvNone", "bvLowered", "bvRaised", "bvSpace"}, &T::BevelOuter, &T::SetBevelOuter, bvNone)
          .Enum("BorderDrawPosition", {"bdOverControls", "bdUnderControls"}, &T::BorderDrawPosition,
                &T::SetBorderDrawPosition, bdOverControls)
          .Reference<TDIBBorder>("DIBBorder", &T::DIBBorder, &T::SetDIBBorder)
          .Event("AfterPaint", &T::AfterPaint)
          .Event("BeforePaint", &T::BeforePaint)
          .Event("OnActiveControlChange", &T::OnActiveControlChange)
          .Build();
  return info;
}

const TClassInfo& TDIBContainer::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TDIBContainer>("TDIBContainer", &TCustomDIBContainer::StaticClass()).Component().Build();
  return info;
}

TCustomDIBContainer::TCustomDIBContainer(TComponent* owner) : TCustomPanel(owner) {
  SetBevelOuter(bvNone);
  SetBevelInner(bvNone);
  SetBorderWidth(0);
  SetTabStop(false);
  bufferDIB_.SetSize(Width(), Height());
}

TCustomDIBContainer::~TCustomDIBContainer() {
  MarkDestroying();
  if (dibBorder_) dibBorder_->RemoveUser(this);
  // Children go first, while the tab list can still forget them.
  while (ControlCount() > 0) {
    TControl* c = Control(ControlCount() - 1);
    c->SetParent(nullptr);
  }
  dibTabList_.clear();
  activeControl_ = nullptr;
}

void TCustomDIBContainer::SetBounds(int left, int top, int width, int height) {
  TCustomPanel::SetBounds(left, top, width, height);
  if (!Loading()) bufferDIB_.SetSize(Width(), Height());
}

void TCustomDIBContainer::Loaded() {
  TCustomPanel::Loaded();
  bufferDIB_.SetSize(Width(), Height());
  if (!palette_ && Owner()) {
    for (TComponent* c : Owner()->Components())
      if (auto* p = dynamic_cast<TDIBPaletteComponent*>(c)) {
        SetPalette(p);
        break;
      }
  }
  RebuildTabList();
}

void TCustomDIBContainer::SetPalette(TDIBPaletteComponent* palette) {
  if (palette_) RemoveFreeNotification(palette_);
  palette_ = palette;
  if (palette) FreeNotification(palette);
}

plat::Rect TCustomDIBContainer::ClientRect() const {
  plat::Rect r = TCustomPanel::ClientRect();
  if (dibBorder_) {
    // A stored Size is whatever a description held; an edge is never thinner than nothing nor
    // thicker than a picture can be, which also keeps these sums from overflowing.
    auto inset = [](const TDIBBorderEdge* edge) { return std::clamp(edge->Size(), 0, 65535); };
    r.top += inset(dibBorder_->BorderTop());
    r.bottom -= inset(dibBorder_->BorderBottom());
    r.left += inset(dibBorder_->BorderLeft());
    r.right -= inset(dibBorder_->BorderRight());
  }
  return r;
}

void TCustomDIBContainer::SetDIBBorder(TDIBBorder* border) {
  if (dibBorder_) {
    dibBorder_->RemoveUser(this);
    RemoveFreeNotification(dibBorder_);
  }
  dibBorder_ = border;
  if (border) {
    border->AddUser(this);
    FreeNotification(border);
  }
  AdjustSize();
  Invalidate();
}

void TCustomDIBContainer::SetBorderDrawPosition(TBorderDrawPosition v) {
  borderDrawPosition_ = v;
  Invalidate();
}

void TCustomDIBContainer::Notification(TComponent* component, TOperation operation) {
  TCustomPanel::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dibBorder_) {
    dibBorder_ = nullptr;
    if (!Destroying()) Invalidate();
  }
  if (component == palette_) palette_ = nullptr;
  auto it = std::find(dibTabList_.begin(), dibTabList_.end(), component);
  if (it != dibTabList_.end()) dibTabList_.erase(it);
  if (component == activeControl_) activeControl_ = nullptr;
}

// ---- messages -----------------------------------------------------------------------------------

void TCustomDIBContainer::WndProc(TMessage& m) {
  switch (m.msg) {
    case plat::kMsgPaint: PaintContainer(m); return;
    case plat::kMsgEraseBkgnd: m.result = 1; return;
    case plat::kMsgGetDlgCode: m.result = plat::kDlgcWantAllKeys; return;
    case plat::kMsgSetCursor: SetCursorRequest(m); return;
    case plat::kMsgKeyDown:
    case plat::kMsgKeyUp:
    case plat::kMsgChar:
    case plat::kMsgSysKeyDown:
    case plat::kMsgSysKeyUp: HandleKeyMessage(m); return;
    case plat::kMsgSetFocus:
    case plat::kMsgKillFocus: FocusChanged(m); break;
    case kCmFocusChanged: FocusMoved(reinterpret_cast<TWinControl*>(m.lParam)); return;
    case plat::kMsgCaptureChanged: {
      // The capture was taken away without a button release: a skinned child that stayed entered
      // only because it held the capture leaves now.
      auto* held = dynamic_cast<TCustomDIBControl*>(CaptureControl());
      TCustomPanel::WndProc(m);
      if (held && held->Parent() == this && !held->MouseCapture() && held->MouseIn() && !held->MouseOver())
        held->MouseLeave();
      return;
    }
    default: break;
  }
  TCustomPanel::WndProc(m);
}

void TCustomDIBContainer::SetCursorRequest(TMessage& m) {
  // The skinned child under the cursor may answer the request itself.
  if (HandleAllocated()) {
    plat::Point p = ScreenToClient(plat::Platform().GetCursorPos());
    if (TControl* c = ControlAtPos(p); c && c->Perform(m.msg, m.wParam, m.lParam) == 1) {
      m.result = 1;
      return;
    }
  }
  TCustomPanel::WndProc(m);
}

void TCustomDIBContainer::FocusChanged(TMessage& m) {
  if (m.msg == plat::kMsgKillFocus) {
    // The platform focus left the container: to one of its windowed children, which becomes the
    // active control, or elsewhere, which clears the active control.
    TWinControl* to = FindControl(reinterpret_cast<plat::WindowHandle>(m.wParam));
    SetActiveControl(to && to->Parent() == this ? to : nullptr);
    return;
  }
  // The platform focus came to the container itself: the active skinned control keeps it, except
  // that Shift+Tab into the container with a windowed last control goes back one.
  auto* active = dynamic_cast<TWinControl*>(activeControl_);
  if (active && active->Parent() == this && (ShiftFromKeyboard() & ssShift)) SelectPrevious();
}

void TCustomDIBContainer::FocusMoved(TWinControl* now) {
  // The focus came into one of the windowed children, or went from one of them to elsewhere (the
  // container's own focus messages cover the rest).
  if (now == this) return;
  TControl* active = now && now->Parent() == this ? now : nullptr;
  if (active != activeControl_) SetActiveControl(active);
}

// ---- keyboard -----------------------------------------------------------------------------------

bool TCustomDIBContainer::WantsKey(TMessage& m) {
  auto* active = dynamic_cast<TCustomDIBControl*>(activeControl_);
  if (!active) return false;
  m.result = 1;
  if (active->IsShortCut(m)) return false;
  if (active->Perform(kCmChildKey, m.wParam, m.lParam) != 0) return false;
  std::intptr_t need = 0;
  switch (m.wParam) {
    case plat::kVkCancel:
    case plat::kVkReturn:
    case plat::kVkEscape:
    case plat::kVkExecute: need = plat::kDlgcWantAllKeys; break;
    case plat::kVkTab: need = plat::kDlgcWantTab; break;
    case plat::kVkLeft:
    case plat::kVkUp:
    case plat::kVkRight:
    case plat::kVkDown: need = plat::kDlgcWantArrows; break;
    default: return true;
  }
  const std::intptr_t code = active->Perform(plat::kMsgGetDlgCode);
  return (code & plat::kDlgcWantAllKeys) || (code & need);
}

void TCustomDIBContainer::HandleKeyMessage(TMessage& m) {
  if (WantsKey(m)) {
    m.result = activeControl_->Perform(m.msg, m.wParam, m.lParam);
    return;
  }
  m.result = 0;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{tabKeyActive_};
  if (m.msg == plat::kMsgKeyDown && m.wParam == plat::kVkTab) {
    tabKeyActive_ = true;
    const bool moved = (ShiftFromKeyboard() & ssShift) ? SelectPrevious() : SelectNext();
    if (moved) return;
  }
  // A Tab past the last (before the first) skinned control goes on to the form's next (previous)
  // tab stop; when the container is the form's only one, it stays and enters its first (last)
  // control again.
  HandleKey(m);
  if (m.msg == plat::kMsgKeyDown && HandleAllocated() && plat::Platform().GetFocus() == WindowHandle()) DoEnter();
}

bool TCustomDIBContainer::TabMovesFocus() { return tabKeyActive_; }

// ---- focus --------------------------------------------------------------------------------------

void TCustomDIBContainer::SetActiveControl(TControl* control) {
  if (inSetActive_) return;
  inSetActive_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{inSetActive_};
  // A windowed child gets its focus messages from the platform, which has moved the focus to it
  // or away from it.
  if (activeControl_ && activeControl_ != control && !IsWindowed(activeControl_))
    activeControl_->Perform(plat::kMsgKillFocus);
  activeControl_ = control;
  if (control && !IsWindowed(control)) control->Perform(plat::kMsgSetFocus);
  OnActiveControlChange(this);
}

void TCustomDIBContainer::SetTabPosition(TCustomDIBControl* control, int position) {
  if (!control) return;
  auto it = std::find(dibTabList_.begin(), dibTabList_.end(), control);
  const int current = it == dibTabList_.end() ? -1 : static_cast<int>(it - dibTabList_.begin());
  if (position == current) return;
  if (it != dibTabList_.end()) dibTabList_.erase(it);
  if (position >= static_cast<int>(dibTabList_.size()))
    dibTabList_.push_back(control);
  else if (position >= 0)
    dibTabList_.insert(dibTabList_.begin() + position, control);
  SetTabStop(!dibTabList_.empty());
}

void TCustomDIBContainer::ForgetControl(TCustomDIBControl* control) {
  dibTabList_.erase(std::remove(dibTabList_.begin(), dibTabList_.end(), control), dibTabList_.end());
  SetTabStop(!dibTabList_.empty());
  if (activeControl_ == control) activeControl_ = nullptr;
}

void TCustomDIBContainer::RebuildTabList() {
  std::vector<TCustomDIBControl*> table(static_cast<std::size_t>(ControlCount()), nullptr);
  for (TControl* c : Controls()) {
    auto* d = dynamic_cast<TCustomDIBControl*>(c);
    if (!d || d->StoredDIBTabOrder() < 0) continue;
    const auto index = static_cast<std::size_t>(d->StoredDIBTabOrder());
    if (index >= table.size()) table.resize(index + 1, nullptr);
    table[index] = d;
  }
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i]) SetTabPosition(table[i], static_cast<int>(i));
}

int TCustomDIBContainer::Rank(const TControl* control) const {
  if (!control) return -1;
  if (auto* d = dynamic_cast<const TCustomDIBControl*>(control)) {
    auto it = std::find(dibTabList_.begin(), dibTabList_.end(), d);
    return it == dibTabList_.end() ? -1 : static_cast<int>(it - dibTabList_.begin());
  }
  if (auto* w = dynamic_cast<const TWinControl*>(control); w && w->Parent() == this)
    return w->TabOrder() + ControlCount();
  return -1;
}

TCustomDIBControl* TCustomDIBContainer::NextSkinned(const TControl* from, bool forward) const {
  const auto n = static_cast<int>(dibTabList_.size());
  if (n == 0) return nullptr;
  auto it = std::find(dibTabList_.begin(), dibTabList_.end(), from);
  int i = it == dibTabList_.end() ? (forward ? n - 1 : 0) : static_cast<int>(it - dibTabList_.begin());
  for (int step = 0; step < n; ++step) {
    i = ((forward ? i + 1 : i - 1) % n + n) % n;
    if (dibTabList_[static_cast<std::size_t>(i)]->Enabled()) return dibTabList_[static_cast<std::size_t>(i)];
  }
  return nullptr;
}

TControl* TCustomDIBContainer::FindNext() {
  const int activeRank = Rank(activeControl_);
  TControl* found = nullptr;
  if (dynamic_cast<TCustomDIBControl*>(activeControl_)) {
    found = NextSkinned(activeControl_, true);
    if (found && Rank(found) < activeRank) found = nullptr;  // the list wrapped
  }
  if (!found) {
    auto* current = dynamic_cast<TWinControl*>(activeControl_);
    TWinControl* w = FindNextControl(current, true, true);
    if (w && w->Parent() == this && Rank(w) >= activeRank) found = w;
  }
  if (found && Rank(found) < activeRank) found = nullptr;
  return found;
}

TControl* TCustomDIBContainer::FindPrevious() {
  const int activeRank = Rank(activeControl_);
  TControl* found = nullptr;
  auto* current = dynamic_cast<TWinControl*>(activeControl_);
  if (current) {
    TWinControl* w = FindNextControl(current, false, true);
    if (w && w->Parent() == this) found = w;
  }
  if (!found) found = NextSkinned(activeControl_, false);
  if (found && (Rank(found) > activeRank || Rank(found) == -1)) found = nullptr;
  return found;
}

bool TCustomDIBContainer::SelectNext() { return Select(FindNext(), true); }

bool TCustomDIBContainer::SelectPrevious() { return Select(FindPrevious(), false); }

bool TCustomDIBContainer::Select(TControl* found, bool forward) {
  // Finding the active control itself (no other enabled one) is no move.
  const int from = Rank(activeControl_);
  const bool moved = found && (forward ? Rank(found) > from : Rank(found) < from);
  // A windowed child takes the platform focus; the focus messages then make it the active control.
  if (auto* w = dynamic_cast<TWinControl*>(found); w && w->CanFocus()) w->SetFocus();
  if (activeControl_ != found) SetActiveControl(found);
  return moved;
}

void TCustomDIBContainer::DoEnter() {
  if (activeControl_) return;
  if (dibTabList_.empty()) return TCustomPanel::DoEnter();
  const bool back = ShiftFromKeyboard() & ssShift;
  SetActiveControl(back ? dibTabList_.back() : dibTabList_.front());
  OnEnter(this);
}

void TCustomDIBContainer::DoExit() {
  if (!activeControl_) TCustomPanel::DoExit();
}

// ---- repaint ------------------------------------------------------------------------------------

TWinDIB* TCustomDIBContainer::ScratchFor(int width, int height) {
  const int w = std::max(width, 1), h = std::max(height, 1);
  for (std::size_t i = 0; i < scratch_.size(); ++i) {
    if (scratch_[i]->Width() == w && scratch_[i]->Height() == h) {
      std::rotate(scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(i),
                  scratch_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return scratch_.front().get();
    }
  }
  if (scratch_.size() >= kMaxScratch) scratch_.pop_back();
  auto dib = std::make_unique<TWinDIB>();
  dib->SetSize(w, h);
  scratch_.insert(scratch_.begin(), std::move(dib));
  return scratch_.front().get();
}

void TCustomDIBContainer::PaintContainer(TMessage& m) {
  plat::Backend& platform = plat::Platform();
  plat::DrawContext* target = nullptr;
  plat::PaintCycle cycle;
  bool begun = false;
  plat::Rect requested;
  if (m.wParam) {
    target = reinterpret_cast<plat::DrawContext*>(m.wParam);
    paintRect_ = target->ClipBox();
    paintRectFinal_ = true;
  } else {
    if (!HandleAllocated() || platform.BeginPaint(WindowHandle(), &cycle) != plat::Status::Ok) return;
    begun = true;
    target = cycle.context;
    requested = paintRect_ = cycle.area;
  }
  struct EndGuard {
    bool begun;
    plat::WindowHandle window;
    plat::PaintCycle* cycle;
    ~EndGuard() {
      if (begun) plat::Platform().EndPaint(window, cycle);
    }
  } guard{begun, WindowHandle(), &cycle};
  if (!target) return;

  if (!paintRectFinal_) {
    for (TControl* c : Controls())
      if (auto* d = dynamic_cast<TCustomDIBControl*>(c)) d->AdjustPaintRect(paintRect_);
    const plat::Rect& r = paintRect_;
    if (r.left != requested.left || r.top != requested.top || r.right != requested.right ||
        std::abs(r.bottom - requested.bottom) > 2) {
      // Grown by a child: paint the larger area with the next paint message.
      paintRectFinal_ = true;
      platform.Validate(WindowHandle(), &requested);
      platform.Invalidate(WindowHandle(), &paintRect_);
      return;
    }
  }
  paintRectFinal_ = false;
  if (paintRect_.IsEmpty()) return;
  Compose();
  if (target->BitsPerPixel() == 8 && palette_ && palette_->HasLookupTable())
    palette_->Render(bufferDIB_, *target, paintRect_.left, paintRect_.top, paintRect_.left, paintRect_.top,
                     paintRect_.Width(), paintRect_.Height());
  else
    target->Transfer(paintRect_, *bufferDIB_.Handle(), {paintRect_.left, paintRect_.top});
}

void TCustomDIBContainer::Compose() {
  // The clip's right and bottom are inclusive: it reaches one pixel beyond the paint rectangle,
  // which is composed like the rest; only the paint rectangle reaches the screen.
  bufferDIB_.SetClipRect(TDIBRect{paintRect_.left, paintRect_.top, paintRect_.right, paintRect_.bottom});
  try {
    BeforePaint(this);
  } catch (...) {
    Application().HandleException(this);
  }
  const TDIBColor color = ColorToRGB(Color());
  if (paintRect_ == plat::Rect{0, 0, Width(), Height()})
    bufferDIB_.Fill(color);
  else
    bufferDIB_.FillRect(color, paintRect_.left, paintRect_.top, paintRect_.Width(), paintRect_.Height());
  if (borderDrawPosition_ == bdUnderControls) DrawBorder({0, 0, Width(), Height()});
  PaintChildren();
  if (borderDrawPosition_ == bdOverControls) DrawBorder({0, 0, Width(), Height()});
  try {
    AfterPaint(this);
  } catch (...) {
    Application().HandleException(this);
  }
}

void TCustomDIBContainer::DrawBorder(const plat::Rect& rect) {
  if (dibBorder_) dibBorder_->DrawBorder(&bufferDIB_, rect);
}

void TCustomDIBContainer::PaintChildren() {
  const TDIBRect clip = bufferDIB_.ClipRect();
  plat::DrawContext* bufferContext = bufferDIB_.Handle();
  const auto& controls = Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    TControl* c = controls[i];
    if (IsWindowed(c) || !c->Visible() || !plat::Intersect(c->BoundsRect(), paintRect_, nullptr)) continue;
    try {
      if (auto* d = dynamic_cast<TCustomDIBControl*>(c)) {
        TWinDIB* dib = ScratchFor(d->Width(), d->Height());
        dib->ResetSettings();
        dib->SetClipRect(
            TDIBRect{clip.Left - d->Left(), clip.Top - d->Top(), clip.Right - d->Left(), clip.Bottom - d->Top()});
        controlDIB_ = dib;
        d->SetControlDIB(dib);
        struct Unlend {
          TCustomDIBContainer* self;
          TCustomDIBControl* child;
          ~Unlend() {
            child->SetControlDIB(nullptr);
            self->controlDIB_ = nullptr;
          }
        } unlend{this, d};
        d->Perform(plat::kMsgPaint, reinterpret_cast<std::uintptr_t>(bufferContext), 0);
      } else {
        // A plain windowless control paints through the buffer's context.
        const int depth = bufferContext->Save();
        struct Restore {
          plat::DrawContext* ctx;
          int depth;
          ~Restore() { ctx->Restore(depth); }
        } restore{bufferContext, depth};
        bufferContext->IntersectClip(paintRect_);
        bufferContext->OffsetOrigin(c->Left(), c->Top());
        bufferContext->IntersectClip({0, 0, c->Width(), c->Height()});
        c->Perform(plat::kMsgPaint, reinterpret_cast<std::uintptr_t>(bufferContext), 0);
      }
    } catch (...) {
      // The child is left out of this composition; the rest is still drawn.
      Application().HandleException(c);
    }
  }
}
