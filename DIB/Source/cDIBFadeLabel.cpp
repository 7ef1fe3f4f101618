#include "DIB/Source/cDIBFadeLabel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "DIB/Source/cDIBTimer.h"
#include "platform/DrawContext.h"
#include "platform/Platform.h"
#include "ui/TypeInfo.h"
#include "ui/WinControl.h"

std::vector<plat::Color> BuildFadeTable(plat::Color from, plat::Color to, int frameCount) {
  std::vector<plat::Color> table;
  if (frameCount < 2) return table;
  table.reserve(static_cast<std::size_t>(frameCount));
  const long double n = frameCount;
  const long double dR = (static_cast<long double>(plat::ColorRed(to)) - plat::ColorRed(from)) / n;
  const long double dG = (static_cast<long double>(plat::ColorGreen(to)) - plat::ColorGreen(from)) / n;
  const long double dB = (static_cast<long double>(plat::ColorBlue(to)) - plat::ColorBlue(from)) / n;
  long double r = plat::ColorRed(from), g = plat::ColorGreen(from), b = plat::ColorBlue(from);
  auto channel = [](long double v) { return static_cast<std::uint8_t>(static_cast<int>(std::trunc(v)) & 0xFF); };
  for (int i = 0; i < frameCount; ++i) {
    b += dB;
    g += dG;
    r += dR;
    table.push_back(plat::MakeColor(channel(r), channel(g), channel(b)));
  }
  return table;
}

std::uint32_t FadeLabelTextFlags(bool wordWrap, TAlignment alignment) {
  std::uint32_t flags = plat::kTextExpandTabs;
  if (wordWrap) flags |= plat::kTextWordBreak;
  if (alignment == taRightJustify) flags |= plat::kTextRight;
  if (alignment == taCenter) flags |= plat::kTextCenter;
  return flags;
}

bool IsAccelerator(char ch, std::string_view caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;  // a plain ampersand
      continue;
    }
    return std::toupper(static_cast<unsigned char>(caption[i + 1])) == std::toupper(static_cast<unsigned char>(ch));
  }
  return false;
}

const TClassInfo& TCustomDIBFadeLabel::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCustomDIBFadeLabel>("TCustomDIBFadeLabel", &TCustomDIBControl::StaticClass()).Build();
  return info;
}

const TClassInfo& TDIBFadeLabel::StaticClass() {
  using T = TDIBFadeLabel;
  static const TClassInfo info =
      TClassBuilder<T>("TDIBFadeLabel", &TCustomDIBFadeLabel::StaticClass())
          .Component()
          .Enum("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"}, &T::Alignment, &T::SetAlignment)
          .Float("Angle", &T::Angle, &T::SetAngle)
          .Bool("AutoSize", &T::AutoSize, &T::SetAutoSize)
          .Color("ColorHighlighted", &T::ColorHighlighted, &T::SetColorHighlighted)
          .Int("FrameCount", &T::FrameCount, &T::SetFrameCount)
          .Int("FrameDelay", &T::FrameDelay, &T::SetFrameDelay)
          .Enum("Layout", {"tlTop", "tlCenter", "tlBottom"}, &T::Layout, &T::SetLayout)
          .Float("Scale", &T::Scale, &T::SetScale)
          .Bool("ShowAccelChar", &T::ShowAccelChar, &T::SetShowAccelChar)
          .Bool("Transparent", &T::Transparent, &T::SetTransparent)
          .Bool("WordWrap", &T::WordWrap, &T::SetWordWrap)
          .Build();
  return info;
}

TCustomDIBFadeLabel::TCustomDIBFadeLabel(TComponent* owner)
    : TCustomDIBControl(owner), fadeTimer_(std::make_unique<TDIBTimer>(nullptr)), currentColor_(Font().Color()) {
  fadeTimer_->SetEnabled(false);
  fadeTimer_->SetOnTimer(TNotifyEvent(this, &TCustomDIBFadeLabel::FadeStep));
  SetAutoSize(false);
  colorHighlighted_ = clBlack;  // differs, so that the setter below builds the table
  SetColorHighlighted(clWhite);
}

TCustomDIBFadeLabel::~TCustomDIBFadeLabel() { fadeTimer_.reset(); }

// --- Settings

void TCustomDIBFadeLabel::SetColorHighlighted(TColor value) {
  if (value == colorHighlighted_) return;
  colorHighlighted_ = value;
  BuildFadeTable();
}

void TCustomDIBFadeLabel::SetFrameCount(std::uint8_t value) {
  if (value == frameCount_) return;
  frameCount_ = value;
  BuildFadeTable();
}

void TCustomDIBFadeLabel::SetAngle(long double value) {
  if (value == angle_) return;
  angle_ = value;
  Invalidate();
}

void TCustomDIBFadeLabel::SetScale(long double value) {
  if (value == scale_) return;
  scale_ = value;
  Invalidate();
}

void TCustomDIBFadeLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomDIBFadeLabel::SetLayout(TTextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TCustomDIBFadeLabel::SetShowAccelChar(bool value) {
  if (value == showAccelChar_) return;
  showAccelChar_ = value;
  AdjustSize();
  Invalidate();
}

void TCustomDIBFadeLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

void TCustomDIBFadeLabel::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  Invalidate();
}

// --- Fading

bool TCustomDIBFadeLabel::Fading() const { return fadeTimer_->Enabled(); }

void TCustomDIBFadeLabel::StopFade() { fadeTimer_->SetEnabled(false); }

void TCustomDIBFadeLabel::BuildFadeTable() {
  fadeTable_ = ::BuildFadeTable(ColorToRGB(Font().Color()), ColorToRGB(colorHighlighted_), frameCount_);
  if (!Fading()) return;
  // A running fade continues from its place in the new table, or ends when there is none.
  if (fadeTable_.size() < 2) {
    StopFade();
    currentColor_ = Font().Color();
    Invalidate();
    return;
  }
  fadeIndex_ = std::min(fadeIndex_, static_cast<int>(fadeTable_.size()) - 1);
}

void TCustomDIBFadeLabel::HighlightOn() {
  StopFade();
  currentColor_ = colorHighlighted_;
  Invalidate();
}

void TCustomDIBFadeLabel::HighlightOff() {
  if (frameCount_ > 1 && frameDelay_ != 0) {
    fadeTimer_->SetInterval(frameDelay_);
    fadeIndex_ = std::min(frameCount_ - 1, static_cast<int>(fadeTable_.size()) - 1);
    fadeTimer_->SetEnabled(true);  // the highlight stays until the first tick
    return;
  }
  currentColor_ = Font().Color();
  Invalidate();
}

void TCustomDIBFadeLabel::FadeStep(TPersistent*) {
  if (fadeIndex_ > 0 && fadeIndex_ < static_cast<int>(fadeTable_.size())) {
    currentColor_ = static_cast<TColor>(fadeTable_[static_cast<std::size_t>(fadeIndex_)]);
    --fadeIndex_;
  } else {
    StopFade();
    currentColor_ = Font().Color();
  }
  Invalidate();
}

// --- Messages

bool TCustomDIBFadeLabel::ControlMessage(TMessage& m) {
  switch (m.msg) {
    case kCmFontChanged:
      // While highlighted the label keeps the highlight; the new colour shows when the fade ends.
      if (!MouseIn() && !Focused()) currentColor_ = Font().Color();
      AdjustSize();
      BuildFadeTable();
      return false;  // the base repaints
    case kCmTextChanged: AdjustSize(); return false;
    case kCmDialogChar:
      // Replaces the base's Accelerator: the caption's "&" marks the key.
      m.result = 0;
      if (Enabled() && showAccelChar_ && IsAccelerator(static_cast<char>(m.wParam), Caption()) && Parent() &&
          Parent()->CanFocus()) {
        Click();
        m.result = 1;
      }
      return true;
    default: return false;
  }
}

void TCustomDIBFadeLabel::Loaded() {
  TCustomDIBControl::Loaded();
  AdjustSize();
}

bool TCustomDIBFadeLabel::DoKeyPress(TMessage& message) {
  const bool handled = TCustomDIBControl::DoKeyPress(message);
  if (static_cast<char>(message.wParam) != ' ') return handled;
  Click();
  return true;
}

// --- Text

void TCustomDIBFadeLabel::DoDrawText(plat::DrawContext& context, plat::Rect& rect, std::uint32_t flags) {
  std::string text = Caption();
  // An empty caption measures one line high.
  if ((flags & plat::kTextCalcRect) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
  if (!showAccelChar_) flags |= plat::kTextNoPrefix;
  context.SetFont(Font().PlatformFont());
  context.SetBackgroundOpaque(false, 0);
  if ((flags & plat::kTextCalcRect) || Enabled()) {
    context.SetTextColor(ColorToRGB(currentColor_));
    context.DrawText(text, &rect, flags);
    return;
  }
  // Disabled: embossed, the highlight one pixel right and down under the font colour.
  plat::Rect shifted = rect.Offset(1, 1);
  context.SetTextColor(ColorToRGB(colorHighlighted_));
  context.DrawText(text, &shifted, flags);
  context.SetTextColor(ColorToRGB(Font().Color()));
  context.DrawText(text, &rect, flags);
}

bool TCustomDIBFadeLabel::CanAutoSize(int& newWidth, int& newHeight) {
  plat::Rect r = ClientRect();
  std::uint32_t flags = plat::kTextExpandTabs | plat::kTextCalcRect;
  if (wordWrap_) flags |= plat::kTextWordBreak;
  DoDrawText(plat::Platform().ScreenContext(), r, flags);
  newWidth = r.right;
  newHeight = r.bottom;
  return true;
}

void TCustomDIBFadeLabel::Paint() {
  TWinDIB* target = ControlDIB();
  if (!target) return;
  plat::DrawContext* canvas = ControlCanvas() ? ControlCanvas() : target->Canvas();
  if (!canvas) return;
  if (!transparent_) target->Fill(static_cast<TDIBColor>(Color()));
  plat::Rect r = ClientRect();
  const std::uint32_t flags = FadeLabelTextFlags(wordWrap_, alignment_);
  if (layout_ != tlTop) {
    plat::Rect measured = r;
    DoDrawText(*canvas, measured, flags | plat::kTextCalcRect);
    const int shift = Height() - measured.bottom;
    r = r.Offset(0, layout_ == tlBottom ? shift : shift / 2);
  }
  DoDrawText(*canvas, r, flags);
  // The paint cycle then draws the whole label picture rotated and scaled onto the buffer.
  target->SetAngle(angle_);
  target->SetScale(scale_);
}
