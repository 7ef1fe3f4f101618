// Fade labels: text drawn into the lent control image. Entering the label (or focusing it) shows
// the text in ColorHighlighted at once; once it is neither entered nor focused again, the text
// fades back to the font colour: FrameCount steps, one every FrameDelay milliseconds, on a timer of
// its own. The whole label picture can be rotated (Angle, degrees) and scaled (Scale, percent).
//
// Contracts:
// - Fade timeline after leaving, with N = FrameCount and T = FrameDelay: the highlight stays until
//   the first tick; tick i (1 ... N - 1, at about i * T) shows fade table entry N - i; tick N shows
//   the font colour and stops the timer. N <= 1 or T = 0 return to the font colour at once.
//   Entering again stops the fade and shows the highlight at once.
// - The fade table is rebuilt on ColorHighlighted, FrameCount and font changes; a running fade
//   then continues from its place, clamped to the new table, or ends when the table is empty.
// - A font change keeps the highlight while the label is highlighted; the new font colour shows
//   when the fade ends.
// - A disabled label draws its caption twice: in ColorHighlighted one pixel right and down, then
//   in the font colour in place.
// - Space (while the label is the container's active control) and Alt + the accelerator that
//   "&" marks in the caption click the label.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "DIB/Source/cDIBControl.h"
#include "platform/Types.h"

class TDIBTimer;

enum TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
enum TTextLayout : std::uint8_t { tlTop = 0, tlCenter = 1, tlBottom = 2 };

// Entry i (0 ... frameCount - 1) is the colour (i + 1) / frameCount of the way from `from` to `to`,
// reached by adding the extended-precision step i + 1 times and truncating each channel. Empty for
// fewer than two frames.
std::vector<plat::Color> BuildFadeTable(plat::Color from, plat::Color to, int frameCount);

// The text-layout flags of a label's caption: word break when wrapping, tabs expanded, and the
// horizontal alignment.
std::uint32_t FadeLabelTextFlags(bool wordWrap, TAlignment alignment);

// Whether `ch` is the accelerator that `caption` marks with "&" (case-insensitive; "&&" is a
// plain ampersand).
bool IsAccelerator(char ch, std::string_view caption);

class TCustomDIBFadeLabel : public TCustomDIBControl {
 public:
  explicit TCustomDIBFadeLabel(TComponent* owner);
  ~TCustomDIBFadeLabel() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void Loaded() override;

  TColor ColorHighlighted() const { return colorHighlighted_; }
  void SetColorHighlighted(TColor value);
  std::uint8_t FrameCount() const { return frameCount_; }
  void SetFrameCount(std::uint8_t value);
  std::uint32_t FrameDelay() const { return frameDelay_; }
  void SetFrameDelay(std::uint32_t value) { frameDelay_ = value; }  // used at the next fade
  long double Angle() const { return angle_; }
  void SetAngle(long double value);
  long double Scale() const { return scale_; }
  void SetScale(long double value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);

  // --- State
  TColor CurrentColor() const { return currentColor_; }
  const std::vector<plat::Color>& FadeTable() const { return fadeTable_; }
  int FadeIndex() const { return fadeIndex_; }
  bool Fading() const;

  // --- Virtual operations added by the label
  // Lays the caption out in `rect` with kText* flags and draws it (kTextCalcRect: measures only,
  // on `context`); the label's font, current colour and accelerator setting apply.
  virtual void DoDrawText(plat::DrawContext& context, plat::Rect& rect, std::uint32_t flags);
  virtual void BuildFadeTable();

 protected:
  bool ControlMessage(TMessage& message) override;
  void HighlightOn() override;
  void HighlightOff() override;
  void Paint() override;
  bool DoKeyPress(TMessage& message) override;
  bool CanAutoSize(int& newWidth, int& newHeight) override;

 private:
  void FadeStep(TPersistent* sender);
  void StopFade();

  std::unique_ptr<TDIBTimer> fadeTimer_;
  TColor currentColor_;
  int fadeIndex_ = 0;
  std::vector<plat::Color> fadeTable_;
  TColor colorHighlighted_ = clWhite;
  std::uint8_t frameCount_ = 10;
  std::uint32_t frameDelay_ = 50;
  long double angle_ = 0;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  long double scale_ = 100;
  bool showAccelChar_ = true;
  bool transparent_ = true;
  bool wordWrap_ = false;
};

// Publishes the label's properties for window descriptions.
class TDIBFadeLabel : public TCustomDIBFadeLabel {
 public:
  using TCustomDIBFadeLabel::TCustomDIBFadeLabel;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};
