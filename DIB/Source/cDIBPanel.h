// The container: the one real window among the skinned controls. It keeps an off-screen buffer
// (BufferDIB) the size of the panel and, on every repaint, composes into it its background colour,
// an optional image border and its skinned children, then copies the repainted area to the screen
// in one transfer. It also gives its skinned children a keyboard focus of their own: their tab list
// (DIBTabList), key routing to the active one (WantsKey) and Tab / Shift+Tab navigation.
//
// Contracts:
// - Repaint: the paint rectangle is the requested area (or the clip box of a carried context),
//   offered to every skinned child (AdjustPaintRect) first; drawing into the buffer is clipped to
//   it and only it reaches the screen. Children paint bottom-most first, each through a scratch
//   image of its size; scratch images are kept per size, so repaints after the first of a given
//   population allocate nothing.
// - An error raised while one child paints goes to the application's error handler; that child is
//   left out of this composition (its area shows what lies under it) and the rest is drawn.
// - The buffer is sized on Loaded and on every resize after loading.
// - SetActiveControl always sends kill-focus to the old active control before set-focus to the new
//   (a windowed child gets both from the platform instead).
// - Tab past the last skinned control moves the focus to the form's next tab stop (a windowed
//   child of the container first); only where the container is the form's one tab stop does it
//   come round to the first skinned control.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "DIB/Source/cDIB.h"
#include "ui/Panel.h"

class TCustomDIBControl;
class TDIBBorder;
class TDIBPaletteComponent;

enum TBorderDrawPosition : std::uint8_t { bdOverControls = 0, bdUnderControls = 1 };

class TCustomDIBContainer : public TCustomPanel {
 public:
  explicit TCustomDIBContainer(TComponent* owner);
  ~TCustomDIBContainer() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void WndProc(TMessage& message) override;
  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;
  // The generic client area shrunk by the border's edge sizes.
  plat::Rect ClientRect() const override;

  // --- Composition
  TWinDIB& BufferDIB() { return bufferDIB_; }
  const TWinDIB& BufferDIB() const { return bufferDIB_; }
  // The scratch image lent to the child being painted (null outside a child's paint).
  TWinDIB* ControlDIB() const { return controlDIB_; }
  const plat::Rect& PaintRect() const { return paintRect_; }
  bool PaintRectFinal() const { return paintRectFinal_; }
  TDIBBorder* DIBBorder() const { return dibBorder_; }
  void SetDIBBorder(TDIBBorder* border);
  TBorderDrawPosition BorderDrawPosition() const { return borderDrawPosition_; }
  void SetBorderDrawPosition(TBorderDrawPosition v);
  // The palette component used on 8-bit screens (null: the plain transfer). Loaded takes the first
  // one owned by the container's owner.
  TDIBPaletteComponent* Palette() const { return palette_; }
  void SetPalette(TDIBPaletteComponent* palette);
  // Draws the border onto the buffer within `rect` (nothing without a border).
  void DrawBorder(const plat::Rect& rect);

  // --- Keyboard focus of the skinned children
  TControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TControl* control);
  const std::vector<TCustomDIBControl*>& DIBTabList() const { return dibTabList_; }
  // Moves `control` to `position` in the tab list (appends beyond the end; a negative position only
  // removes it). The container is a tab stop exactly when the list is not empty.
  void SetTabPosition(TCustomDIBControl* control, int position);
  // A skinned child is going away: it leaves the tab list and, without being told, the active
  // control (it may no longer run its handlers).
  void ForgetControl(TCustomDIBControl* control);
  // Places every skinned child at its stored DIBTabOrder (a later child wins a shared position).
  void RebuildTabList();
  TControl* FindNext();
  TControl* FindPrevious();
  // The found control (or none) becomes the active control; true only when it lies beyond (before)
  // the active one in the tab order.
  bool SelectNext();
  bool SelectPrevious();
  // Whether the key message goes to the active control (presets the message result to 1).
  bool WantsKey(TMessage& message);
  bool InSetActive() const { return inSetActive_; }
  bool TabKeyActive() const { return tabKeyActive_; }

  TNotifyEvent BeforePaint, AfterPaint, OnActiveControlChange;

 protected:
  void DoEnter() override;
  void DoExit() override;
  void Notification(TComponent* component, TOperation operation) override;
  // Only a Tab that no skinned control took moves the platform focus on.
  bool TabMovesFocus() override;

 private:
  void PaintContainer(TMessage& message);
  void Compose();
  void PaintChildren();
  TWinDIB* ScratchFor(int width, int height);
  void HandleKeyMessage(TMessage& message);
  void SetCursorRequest(TMessage& message);
  void FocusChanged(TMessage& message);
  void FocusMoved(TWinControl* now);
  bool Select(TControl* found, bool forward);
  int Rank(const TControl* control) const;
  TCustomDIBControl* NextSkinned(const TControl* from, bool forward) const;

  bool inSetActive_ = false;
  bool tabKeyActive_ = false;
  bool paintRectFinal_ = false;
  TControl* activeControl_ = nullptr;
  std::vector<TCustomDIBControl*> dibTabList_;
  TWinDIB* controlDIB_ = nullptr;
  std::vector<std::unique_ptr<TWinDIB>> scratch_;  // one per child size met, most recent first
  TWinDIB bufferDIB_;
  TDIBBorder* dibBorder_ = nullptr;
  plat::Rect paintRect_;
  TDIBPaletteComponent* palette_ = nullptr;
  TBorderDrawPosition borderDrawPosition_ = bdOverControls;
};

class TDIBContainer : public TCustomDIBContainer {
 public:
  using TCustomDIBContainer::TCustomDIBContainer;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};
