// Controls: components with bounds inside a parent, visibility, enabled state, caption, font,
// colour, hint, cursor and the mouse, key and paint events. A control without a window of its own
// lives inside its windowed parent: the parent routes mouse messages to it, paints it, and tells
// it when the mouse enters or leaves it. Every control is driven by messages through WndProc,
// which descendants override to handle more and pass on the rest.
#pragma once

#include <cstdint>
#include <string>

#include "platform/DrawContext.h"
#include "platform/Types.h"
#include "ui/Component.h"
#include "ui/Events.h"
#include "ui/Graphics.h"
#include "ui/UIMessages.h"

class TWinControl;

// Size limits of a control, applied by SetBounds; 0 means no limit.
class TSizeConstraints : public TPersistent {
 public:
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  int MinWidth() const { return minWidth_; }
  void SetMinWidth(int v);
  int MinHeight() const { return minHeight_; }
  void SetMinHeight(int v);
  int MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int v);
  int MaxHeight() const { return maxHeight_; }
  void SetMaxHeight(int v);
  // Clamps a size to the limits (minimums win over maximums).
  void Apply(int& width, int& height) const;
  void Assign(const TPersistent& source) override;

  TNotifyEvent OnChange;  // raised after a real change

 private:
  void Set(int& field, int v);
  int minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
};

using TMouseEvent = TEvent<TPersistent*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TPersistent*, TShiftState, int, int>;
using TKeyEvent = TEvent<TPersistent*, std::uint16_t&, TShiftState>;
using TKeyPressEvent = TEvent<TPersistent*, char&>;

// What a control class does by itself.
using TControlStyle = std::uint32_t;
inline constexpr TControlStyle csAcceptsControls = 1,  // may parent other controls
    csCaptureMouse = 2,                                // takes the mouse capture while a button is down
    csClickEvents = 4,                                 // a press and release inside it make a click
    csOpaque = 8,                                      // paints its whole area
    csDoubleClicks = 16;  // a quick second press is a double click (without: another single press)

using TCursor = std::int32_t;
inline constexpr TCursor crDefault = 0;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // --- Messages
  virtual void WndProc(TMessage& message);
  // Sends a message to this control now and answers its result.
  std::intptr_t Perform(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

  // --- Placement (in the parent's client coordinates)
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  plat::Rect BoundsRect() const { return plat::Rect::FromSize(left_, top_, width_, height_); }
  virtual plat::Rect ClientRect() const { return {0, 0, width_, height_}; }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int v);
  void SetClientHeight(int v);
  // With AutoSize set, every SetBounds (after loading) asks CanAutoSize for the size to take;
  // classes that size themselves publish AutoSize and answer CanAutoSize.
  bool AutoSize() const { return autoSize_; }
  virtual void SetAutoSize(bool v);
  // Re-applies the automatic size now (nothing without AutoSize or while loading).
  void AdjustSize();
  TSizeConstraints& Constraints() { return constraints_; }
  const TSizeConstraints& Constraints() const { return constraints_; }
  // Between this control's client coordinates and the screen (needs a windowed ancestor with a window).
  plat::Point ClientToScreen(plat::Point p) const;
  plat::Point ScreenToClient(plat::Point p) const;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so are all its parents (a windowed ancestor must have a window).
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool v);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& v) { hint_ = v; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v) { showHint_ = v; }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor v) { cursor_ = v; }
  TControlStyle ControlStyle() const { return style_; }
  void SetControlStyle(TControlStyle s) { style_ = s; }

  // --- Mouse capture: while set, every mouse message goes to this control.
  bool MouseCapture() const;
  void SetMouseCapture(bool capture);

  // --- Painting
  // Asks for a repaint of the whole control (a windowless one: its area of the parent window).
  virtual void Invalidate();
  // Paints pending areas of the window holding this control now.
  void Update();
  // Drawing done by the control itself, on a context whose origin is the control's top-left corner.
  virtual void Paint(plat::DrawContext& /*context*/) {}

  virtual void Click();
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  bool HasParent() const override { return true; }
  void Loaded() override;  // applies AutoSize

  TNotifyEvent OnClick, OnDblClick, OnResize;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter, OnMouseLeave;

  // The control under the mouse and the control holding the capture, over all windows.
  static TControl* MouseControl();
  static TControl* CaptureControl();

 protected:
  friend class TWinControl;
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void Resize();
  // The size the control wants for a proposed one: adjusts the two values and answers true, or
  // answers false to keep the proposed size. Asked only while AutoSize is set.
  virtual bool CanAutoSize(int& newWidth, int& newHeight);
  // Messages no handler took: nothing for a windowless control; a windowed one passes platform
  // messages to the platform's default handling.
  virtual void DefaultHandler(TMessage& message);
  virtual void Changed(std::uint32_t cm);  // a kCm*Changed notification to itself
  // Font or colour of the parent changed: take them when following the parent.
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  // Whether `p` (client coordinates) hits the control; the whole rectangle by default.
  virtual bool HitTest(plat::Point p) { return ClientRect().Contains(p); }
  // The windowed control whose window this control is drawn in (itself when windowed).
  virtual TWinControl* WindowHolder() const;

  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TControlStyle style_ = csCaptureMouse | csClickEvents;

 private:
  void HandleMouse(TMessage& m);
  void FontChanged(TPersistent*);
  void ConstraintsChanged(TPersistent*);

  TWinControl* parent_ = nullptr;
  bool visible_ = true;
  bool enabled_ = true;
  bool clicked_ = false;
  std::string caption_;
  TFont font_;
  bool parentFont_ = true;
  bool inFontChange_ = false;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  std::string hint_;
  bool showHint_ = false;
  TCursor cursor_ = crDefault;
  bool autoSize_ = false;
  TSizeConstraints constraints_;

  static TControl* mouseControl_;
  static TControl* captureControl_;
  static void SetMouseControl(TControl* c);
};
