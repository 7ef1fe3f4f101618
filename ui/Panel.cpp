#include "ui/Panel.h"

#include "ui/TypeInfo.h"

namespace {
const std::vector<std::string> kBevels = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};

void Bevel(plat::DrawContext& ctx, plat::Rect& r, TBevelCut cut, int width) {
  if (cut == bvNone) return;
  plat::Color light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
  if (cut == bvLowered) std::swap(light, dark);
  for (int i = 0; i < width && !r.IsEmpty(); ++i) {
    if (cut != bvSpace) {
      ctx.FillRect({r.left, r.top, r.right, r.top + 1}, light);
      ctx.FillRect({r.left, r.top, r.left + 1, r.bottom}, light);
      ctx.FillRect({r.left, r.bottom - 1, r.right, r.bottom}, dark);
      ctx.FillRect({r.right - 1, r.top, r.right, r.bottom}, dark);
    }
    r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
}
}  // namespace

const TClassInfo& TCustomPanel::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCustomPanel>("TCustomPanel", &TWinControl::StaticClass())
          .Enum("BevelInner", kBevels, &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner, bvNone)
          .Enum("BevelOuter", kBevels, &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter, bvRaised)
          .Int("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth, 1)
          .Int("BorderWidth", &TCustomPanel::BorderWidth, &TCustomPanel::SetBorderWidth, 0)
          .Build();
  return info;
}

const TClassInfo& TPanel::StaticClass() {
  static const TClassInfo info = TClassBuilder<TPanel>("TPanel", &TCustomPanel::StaticClass()).Component().Build();
  return info;
}

TCustomPanel::TCustomPanel(TComponent* owner) : TWinControl(owner) {
  left_ = 0;
  top_ = 0;
  width_ = 185;
  height_ = 41;
}

void TCustomPanel::SetBevelInner(TBevelCut v) {
  if (v == bevelInner_) return;
  bevelInner_ = v;
  Invalidate();
}
void TCustomPanel::SetBevelOuter(TBevelCut v) {
  if (v == bevelOuter_) return;
  bevelOuter_ = v;
  Invalidate();
}
void TCustomPanel::SetBevelWidth(int v) {
  if (v < 0 || v == bevelWidth_) return;
  bevelWidth_ = v;
  Invalidate();
}
void TCustomPanel::SetBorderWidth(int v) {
  if (v < 0 || v == borderWidth_) return;
  borderWidth_ = v;
  Invalidate();
}

plat::Rect TCustomPanel::ClientRect() const {
  int inset = borderWidth_ + (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
  plat::Rect r{inset, inset, Width() - inset, Height() - inset};
  if (r.IsEmpty()) r = {inset, inset, inset, inset};
  return r;
}

void TCustomPanel::Paint(plat::DrawContext& ctx) {
  plat::Rect r{0, 0, Width(), Height()};
  Bevel(ctx, r, bevelOuter_, bevelWidth_);
  r = {r.left + borderWidth_, r.top + borderWidth_, r.right - borderWidth_, r.bottom - borderWidth_};
  Bevel(ctx, r, bevelInner_, bevelWidth_);
  if (!Caption().empty() && !r.IsEmpty()) {
    ctx.SetFont(Font().PlatformFont());
    ctx.SetTextColor(ColorToRGB(Font().Color()));
    ctx.DrawText(Caption(), &r, plat::kTextCenter | plat::kTextVCenter | plat::kTextSingleLine);
  }
}
