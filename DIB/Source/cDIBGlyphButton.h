// Glyph buttons: a push button drawn from one picture strip, the glyph, whose frames (each as wide
// as the button) show, left to right, the states enabled, mouse click, disabled, mouse over and
// down. A strip with fewer frames falls back: down to the click frame, the rest to frame 0.
//
// Contracts:
// - The button always sizes itself: strip width / NumGlyphs by strip height (without a picture
//   the size stays).
// - An optional caption is drawn centred over the frame, shifted by the offset of the state, in
//   FontDisabled when disabled and in Font otherwise. Without a glyph picture nothing is drawn.
// - NumGlyphs outside 2 ... 5 fails an assertion (EAssertionFailed, unit
//   "DIB/Source/cDIBGlyphButton", line 297) and keeps the old value.
#pragma once

#include <cstdint>

#include "DIB/Source/cDIBButton.h"

using TNumGlyphs = std::uint8_t;  // 2 ... 5

// The frame of a strip of `numGlyphs` frames that shows `state`.
int GlyphFrame(int numGlyphs, TButtonState state);

class TCustomDIBGlyphButton : public TAbstractDIBButton {
 public:
  explicit TCustomDIBGlyphButton(TComponent* owner);
  ~TCustomDIBGlyphButton() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  TDIBImageLink* Glyph() const { return glyph_; }
  TNumGlyphs NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(TNumGlyphs value);

  // Offsets of the caption per state; the setters copy X and Y.
  TPointProperty& CaptionOffsetEnabled() { return offsets_[bsEnabled]; }
  TPointProperty& CaptionOffsetMouseClick() { return offsets_[bsMouseClick]; }
  TPointProperty& CaptionOffsetDisabled() { return offsets_[bsDisabled]; }
  TPointProperty& CaptionOffsetMouseOver() { return offsets_[bsMouseOver]; }
  TPointProperty& CaptionOffsetDown() { return offsets_[bsDown]; }
  const TPointProperty& CaptionOffset(TButtonState state) const { return offsets_[state]; }
  void SetCaptionOffset(TButtonState state, const TPointProperty& value) { offsets_[state].Assign(value); }

  TFont& FontDisabled() { return fontDisabled_; }
  const TFont& FontDisabled() const { return fontDisabled_; }
  void SetFontDisabled(const TFont& value);

 protected:
  void ImageChanged(int index, TDIBImageChange kind) override;
  bool CanAutoSize(int& newWidth, int& newHeight) override;
  void Paint() override;

 private:
  void PaintCaption(TWinDIB& target);

  TDIBImageLink* glyph_;
  TNumGlyphs numGlyphs_ = 2;
  TPointProperty offsets_[5];
  TFont fontDisabled_;
};

// Publishes the glyph button's properties for window descriptions.
class TDIBGlyphButton : public TCustomDIBGlyphButton {
 public:
  explicit TDIBGlyphButton(TComponent* owner);
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};
