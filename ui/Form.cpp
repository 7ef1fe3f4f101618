#include "ui/Form.h"

#include "ui/Application.h"
#include "ui/Description.h"
#include "ui/TypeInfo.h"

const TClassInfo& TCustomForm::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCustomForm>("TCustomForm", &TWinControl::StaticClass())
          .Enum("BorderStyle", {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
                &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle, bsSizeable)
          // A form stores its client size; its outer size follows from it.
          .Int("Width", &TCustomForm::Width, &TCustomForm::SetWidth)
          .StoredIf([](const TCustomForm&) { return false; })
          .Int("Height", &TCustomForm::Height, &TCustomForm::SetHeight)
          .StoredIf([](const TCustomForm&) { return false; })
          // A form follows no parent font and is shown by whoever places it.
          .Bool("ParentFont", &TCustomForm::ParentFont, &TCustomForm::SetParentFont, false)
          .Bool("Visible", &TCustomForm::Visible, &TCustomForm::SetVisible, false)
          .StoredIf([](const TCustomForm&) { return false; })
          .Int("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth)
          .Int("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight)
          .Bool("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview, false)
          .Bool("OldCreateOrder", &TCustomForm::OldCreateOrder, &TCustomForm::SetOldCreateOrder, false)
          .Int("PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch, 96)
          .Bool("Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled, true)
          .Event("OnCreate", &TCustomForm::OnCreate)
          .Event("OnDestroy", &TCustomForm::OnDestroy)
          .Event("OnHide", &TCustomForm::OnHide)
          .Event("OnPaint", &TCustomForm::OnPaint)
          .Event("OnShow", &TCustomForm::OnShow)
          .Build();
  return info;
}

const TClassInfo& TForm::StaticClass() {
  static const TClassInfo info = TClassBuilder<TForm>("TForm", &TCustomForm::StaticClass()).Component().Build();
  return info;
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetColor(clBtnFace);
  SetParentFont(false);
}

TCustomForm::~TCustomForm() {
  MarkDestroying();
  if (!destroyRaised_) {
    destroyRaised_ = true;
    try {
      OnDestroy(this);
    } catch (...) {
      Application().HandleException(this);
    }
  }
  // Components go while the form is still whole: their destructors may talk to it.
  DestroyComponents();
}

void TCustomForm::InitFromDescription(std::string_view text) {
  ReadDescription(*this, text);
  OnCreate(this);
}

void TCustomForm::Loaded() {
  TWinControl::Loaded();
  designWidth_ = ClientWidth();
  designHeight_ = ClientHeight();
}

void TCustomForm::WndProc(TMessage& message) {
  if (message.msg == plat::kMsgDpiChanged) OnDensityChange(this);
  TWinControl::WndProc(message);
}

void TCustomForm::Paint(plat::DrawContext& ctx) {
  paintContext_ = &ctx;
  struct Reset {
    plat::DrawContext*& p;
    ~Reset() { p = nullptr; }
  } reset{paintContext_};
  OnPaint(this);
}

void TCustomForm::Changed(std::uint32_t cm) {
  TWinControl::Changed(cm);
  if (cm == kCmVisibleChanged && !Loading()) {
    if (Visible())
      OnShow(this);
    else
      OnHide(this);
  }
}

TCustomForm* GetParentForm(const TControl* control) {
  if (!control) return nullptr;
  const TControl* top = control;
  while (top->Parent()) top = top->Parent();
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(top));
}

bool TCustomForm::PreviewKey(std::uint32_t msg, std::uint16_t& key, TShiftState shift) {
  if (!keyPreview_) return false;
  if (msg == plat::kMsgKeyDown || msg == plat::kMsgSysKeyDown)
    OnKeyDown(this, key, shift);
  else if (msg == plat::kMsgKeyUp || msg == plat::kMsgSysKeyUp)
    OnKeyUp(this, key, shift);
  return key == 0;
}
