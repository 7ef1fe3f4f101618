#include "DIB/Source/cDIBGlyphButton.h"

#include "DIB/Source/DIBErrors.h"
#include "ui/TypeInfo.h"

namespace {
// Where the strip length is checked, as the assertion reports it.
constexpr const char* kUnit = "DIB/Source/cDIBGlyphButton";
constexpr int kNumGlyphsCheckLine = 297;
}  // namespace

int GlyphFrame(int numGlyphs, TButtonState state) {
  const int s = state;
  if (s + 1 <= numGlyphs) return s;
  return state == bsDown ? 1 : 0;
}

const TClassInfo& TCustomDIBGlyphButton::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCustomDIBGlyphButton>("TCustomDIBGlyphButton", &TAbstractDIBButton::StaticClass()).Build();
  return info;
}

const TClassInfo& TDIBGlyphButton::StaticClass() {
  using T = TDIBGlyphButton;
  auto offset = [](TButtonState s) { return [s](const T& b) { return &b.CaptionOffset(s); }; };
  static const TClassInfo info = TClassBuilder<T>("TDIBGlyphButton", &TCustomDIBGlyphButton::StaticClass())
                                     .Component()
                                     .Object("CaptionOffsetEnabled", offset(bsEnabled))
                                     .Object("CaptionOffsetDisabled", offset(bsDisabled))
                                     .Object("CaptionOffsetDown", offset(bsDown))
                                     .Object("CaptionOffsetMouseClick", offset(bsMouseClick))
                                     .Object("CaptionOffsetMouseOver", offset(bsMouseOver))
                                     .Bool("Down", &T::Down, &T::SetDown, false)
                                     .Object("FontDisabled", [](const T& b) { return &b.FontDisabled(); })
                                     .Object("Glyph", [](const T& b) { return b.Glyph(); })
                                     .Int("Group", &T::Group, &T::SetGroup, 0)
                                     .Int("NumGlyphs", &T::NumGlyphs, &T::SetNumGlyphs, 2)
                                     .Bool("ToggleDown", &T::ToggleDown, &T::SetToggleDown)
                                     .Event("OnGestureStart", static_cast<TNotifyEvent T::*>(&T::OnGestureStart))
                                     .Event("OnGestureEnd", static_cast<TNotifyEvent T::*>(&T::OnGestureEnd))
                                     .Build();
  return info;
}

TCustomDIBGlyphButton::TCustomDIBGlyphButton(TComponent* owner) : TAbstractDIBButton(owner), glyph_(AddImageLink()) {
  for (TPointProperty& o : offsets_) o.OnChange = TNotifyEvent([this](TPersistent*) { Invalidate(); });
  fontDisabled_.OnChange = TNotifyEvent([this](TPersistent*) { Invalidate(); });
  SetAutoSize(true);
}

TCustomDIBGlyphButton::~TCustomDIBGlyphButton() {
  for (TPointProperty& o : offsets_) o.OnChange.Clear();
  fontDisabled_.OnChange.Clear();
}

TDIBGlyphButton::TDIBGlyphButton(TComponent* owner) : TCustomDIBGlyphButton(owner) {
  // The template properties are registered where they are published.
  for (const char* name :
       {"NumGlyphs", "Opacity", "CaptionOffsetEnabled", "CaptionOffsetMouseClick", "CaptionOffsetDisabled",
        "CaptionOffsetMouseOver", "CaptionOffsetDown", "Font", "FontDisabled"})
    RegisterTemplateProperty(name);
}

void TCustomDIBGlyphButton::SetNumGlyphs(TNumGlyphs value) {
  if (value < 2 || value > 5) throw EAssertionFailed(kUnit, kNumGlyphsCheckLine);
  numGlyphs_ = value;
  AdjustSize();
}

void TCustomDIBGlyphButton::SetFontDisabled(const TFont& value) {
  fontDisabled_.Assign(value);
  Invalidate();
}

void TCustomDIBGlyphButton::ImageChanged(int index, TDIBImageChange kind) {
  TAbstractDIBButton::ImageChanged(index, kind);
  AdjustSize();
  Invalidate();
}

bool TCustomDIBGlyphButton::CanAutoSize(int& newWidth, int& newHeight) {
  TAbstractSuperDIB* image = nullptr;
  if (glyph_->GetImage(image)) {
    newWidth = image->Width() / numGlyphs_;
    newHeight = image->Height();
  }
  return true;
}

void TCustomDIBGlyphButton::Paint() {
  TAbstractDIBButton::Paint();
  TWinDIB* target = ControlDIB();
  TAbstractSuperDIB* image = nullptr;
  if (!target || !glyph_->GetImage(image)) return;
  const int frame = GlyphFrame(numGlyphs_, State());
  image->Draw(0, 0, Width(), Height(), target, frame * Width(), 0);
  PaintCaption(*target);
}

void TCustomDIBGlyphButton::PaintCaption(TWinDIB& target) {
  if (Caption().empty()) return;
  const TButtonState state = State();
  if (state > bsDown) throw EDIBGlyphButtonError("Unknown button state");
  plat::DrawContext* canvas = target.Canvas();
  if (!canvas) return;
  const TFont& font = state == bsDisabled ? fontDisabled_ : Font();
  const int depth = canvas->Save();
  struct Restore {
    plat::DrawContext* c;
    int d;
    ~Restore() { c->Restore(d); }
  } restore{canvas, depth};
  canvas->SetFont(font.PlatformFont());
  canvas->SetTextColor(ColorToRGB(font.Color()));
  canvas->SetBackgroundOpaque(false, 0);
  plat::Size extent;
  canvas->TextExtent(Caption(), &extent);
  const TPointProperty& offset = offsets_[state];
  const int x = Width() / 2 - extent.width / 2 + offset.X();
  const int y = Height() / 2 - extent.height / 2 + offset.Y();
  plat::Rect r{x, y, x + extent.width, y + extent.height};
  canvas->DrawText(Caption(), &r, plat::kTextSingleLine | plat::kTextNoPrefix | plat::kTextNoClip);
}
