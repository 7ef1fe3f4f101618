// Forms: the top window of a window description. A form is built by reading its description (its
// components, their properties and event bindings to the form's own handler methods), then raises
// OnCreate. It can live inside a window that is not ours: SetParentWindow(host window).
#pragma once

#include <string_view>

#include "ui/WinControl.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

class TCustomForm : public TWinControl {
 public:
  // A hidden form with no window yet.
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;  // raises OnDestroy, then frees its components

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle v) { borderStyle_ = v; }
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int v) { pixelsPerInch_ = v; }
  bool Scaled() const { return scaled_; }
  void SetScaled(bool v) { scaled_ = v; }
  // With key preview the form's OnKeyDown / OnKeyUp see the keys of its controls first.
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool v) { keyPreview_ = v; }
  bool OldCreateOrder() const { return oldCreateOrder_; }
  void SetOldCreateOrder(bool v) { oldCreateOrder_ = v; }
  // The size the description was designed with (0 when never set).
  int DesignWidth() const { return designWidth_; }
  int DesignHeight() const { return designHeight_; }

  // Offers a key of one of its controls to the form first (kMsgKeyDown or kMsgKeyUp); true when the
  // form's handler took it (set the key to 0). False without KeyPreview.
  bool PreviewKey(std::uint32_t msg, std::uint16_t& key, TShiftState shift);

  // The drawing context of the paint in progress (for OnPaint handlers); null outside a paint.
  plat::DrawContext* PaintContext() const { return paintContext_; }

  TNotifyEvent OnCreate, OnDestroy, OnPaint, OnShow, OnHide;
  // The system says the display the form shows on may now have another density
  // (plat::kMsgDpiChanged). Raised inside the form's own message: a handler must not free the form.
  TNotifyEvent OnDensityChange;

  void WndProc(TMessage& message) override;

 protected:
  // Reads the form's description into it and raises OnCreate; on failure the form is left empty
  // and the error passes on.
  void InitFromDescription(std::string_view text);
  void Paint(plat::DrawContext& context) override;
  void Changed(std::uint32_t cm) override;
  void Loaded() override;

 private:
  TFormBorderStyle borderStyle_ = bsSizeable;
  int pixelsPerInch_ = 96;
  bool scaled_ = true;
  bool keyPreview_ = false;
  bool oldCreateOrder_ = false;
  int designWidth_ = 0, designHeight_ = 0;
  bool destroyRaised_ = false;
  plat::DrawContext* paintContext_ = nullptr;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};

// The form a control sits in (the top of its parent chain), or null when that is not a form.
TCustomForm* GetParentForm(const TControl* control);
