// Windowed controls: a control with a platform window of its own, parent of other controls. Its
// window procedure routes mouse messages to the windowless child under the mouse (or the one holding
// the capture), tracks which control the mouse is over (kCmMouseEnter / kCmMouseLeave), delivers
// keys and focus to itself, and paints its background, then its windowless children.
//
// The window exists while the control has a parent with a window, or a foreign parent window
// (SetParentWindow); it is created on demand and destroyed with the control.
#pragma once

#include <vector>

#include "platform/Platform.h"
#include "ui/Control.h"

class TWinControl;

// The windowed control that owns `window`, or null for a window that is not one of ours.
TWinControl* FindControl(plat::WindowHandle window);

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void WndProc(TMessage& message) override;

  // --- The window
  plat::WindowHandle Handle();  // creates the window when it can; null when it cannot yet
  plat::WindowHandle WindowHandle() const { return handle_; }
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Places the control in a window that is not one of ours (a host's window); null detaches.
  void SetParentWindow(plat::WindowHandle parent);
  plat::WindowHandle ParentWindow() const { return parentWindow_; }
  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void Invalidate() override;

  // --- Children, in z-order (first = bottom-most)
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Control(int i) const { return controls_.at(static_cast<std::size_t>(i)); }
  const std::vector<TControl*>& Controls() const { return controls_; }
  bool ContainsControl(const TControl* c) const;  // a child or a child's child
  // The topmost visible windowless child whose area holds `p` (client coordinates) and that takes
  // the hit; disabled ones only when `allowDisabled`. Null when none.
  TControl* ControlAtPos(plat::Point p, bool allowDisabled = false) const;

  // --- Focus and keys
  bool Focused() const;
  virtual bool CanFocus() const;
  void SetFocus();
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }
  // Position among the parent's windowed children in Tab order; -1 without a parent. Written
  // while loading, it is applied in Loaded, when every sibling has been read.
  int TabOrder() const;
  void SetTabOrder(int order);
  // The next (or previous) focusable windowed control inside this one after `current`, in Tab
  // order across all levels, wrapping around; with `tabStopsOnly` only those with TabStop.
  TWinControl* FindNextControl(TWinControl* current, bool forward, bool tabStopsOnly) const;
  void Loaded() override;

  TNotifyEvent OnEnter, OnExit;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  friend class TControl;
  virtual void CreateHandle();   // creates the platform window (children's windows follow)
  virtual void DestroyHandle();  // destroys the window of this control and of its windowed children
  // Creates the platform window for `desc`; descendants backed by a platform control override it.
  virtual plat::Status CreateWindowHandle(const plat::WindowDesc& desc, plat::WindowHandle* out);
  // The area to repaint has `area`; the context's origin is the client area's top-left corner.
  virtual void PaintHandler(plat::DrawContext& context, const plat::Rect& area);
  // The control's own background and drawing (fills with Color, then Paint).
  virtual void PaintWindow(plat::DrawContext& context);
  // Paints the windowless children that meet `area`, bottom-most first.
  void PaintControls(plat::DrawContext& context, const plat::Rect& area);
  // The generic handling of the raw messages, for descendants that take them first in their own
  // WndProc: the paint message (with or without a carried context) and the key messages
  // (key-down/up, system keys, characters; form preview, key events, Tab navigation).
  void HandlePaint(TMessage& m);
  void HandleKey(TMessage& m);
  // Whether a Tab key-down that reaches the generic key handling moves the focus on: by default
  // when the control does not want Tab itself.
  virtual bool TabMovesFocus();
  // Passes platform messages to the platform's default handling of this control's window.
  void DefaultHandler(TMessage& message) override;

  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(std::uint16_t& key, TShiftState shift);
  virtual void KeyUp(std::uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // Offers Alt + `ch` to this control's children; true when one took it.
  bool BroadcastDialogChar(char ch);

  void ParentFontChanged() override;
  void ParentColorChanged() override;
  void Changed(std::uint32_t cm) override;
  TWinControl* WindowHolder() const override { return const_cast<TWinControl*>(this); }

 private:
  friend class TControlAccess;
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  bool CanCreateHandle() const;
  void RouteMouse(TMessage& m);
  void TrackMouseControl(TControl* under);
  TControl* ControlUnderMouse(plat::Point p) const;
  void Dispatch(plat::WindowHandle window, TMessage& m);
  void ForgetHandle();
  void CollectTabOrder(std::vector<TWinControl*>& out) const;

  plat::WindowHandle handle_ = nullptr;
  plat::WindowHandle parentWindow_ = nullptr;
  bool creating_ = false;
  bool tabStop_ = false;
  int pendingTabOrder_ = -1;
  std::vector<TWinControl*> tabList_;  // windowed children in Tab order
  std::vector<TControl*> controls_;
};
