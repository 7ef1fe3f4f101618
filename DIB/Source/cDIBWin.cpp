// The parts of the image library that reach the platform: the window kind's surfaces, picture
// files, regions and 8-bit output.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "DIB/Source/cDIB.h"
#include "platform/DrawContext.h"
#include "platform/Picture.h"
#include "platform/Platform.h"
#include "ui/TypeInfo.h"

namespace {

// Regions are built from this many rectangles at a time and united.
constexpr std::size_t kRegionBatch = 400;

plat::Region RunsToRegion(const std::vector<TDIBRect>& runs) {
  plat::Region result;
  std::vector<plat::Rect> batch;
  batch.reserve(kRegionBatch);
  auto flush = [&] {
    if (!batch.empty()) result.Union(plat::Region::FromRects(batch.data(), batch.size()));
    batch.clear();
  };
  for (const TDIBRect& r : runs) {
    batch.push_back(plat::Rect{r.Left, r.Top, r.Right, r.Bottom});
    if (batch.size() == kRegionBatch) flush();
  }
  flush();
  return result;
}

// A platform refusal in the words the library has always used for it.
std::runtime_error PlatformError(plat::Status status) {
  return std::runtime_error("Windows error (" + std::to_string(static_cast<int>(status)) + ") " +
                            plat::StatusText(status));
}

// Loads a picture file into a memory image of its size.
bool LoadPictureFile(const std::string& fileName, TMemoryDIB& into) {
  plat::Picture picture;
  const plat::Status status = plat::LoadPicture(fileName, &picture);
  if (status != plat::Status::Ok)
    throw EDIBError("Cannot load the picture \"" + fileName + "\": " + plat::StatusText(status));
  into.SetSize(picture.width, picture.height);
  if (picture.pixels.size() != static_cast<std::size_t>(into.Width()) * into.Height() * 4)
    throw EDIBError("Cannot load the picture \"" + fileName + "\": size mismatch");
  std::memcpy(into.Bits(), picture.pixels.data(), picture.pixels.size());
  return picture.hasAlpha;
}

// A drawing context that forwards to the image's own one and raises Changed on the image after
// every call that draws.
class TNotifyingCanvas final : public plat::DrawContext {
 public:
  TNotifyingCanvas(plat::DrawContext& inner, TAbstractSuperDIB& image) : FInner(inner), FImage(image) {}

  int Save() override { return FInner.Save(); }
  plat::Status Restore(int depth) override { return FInner.Restore(depth); }
  plat::Point Origin() const override { return FInner.Origin(); }
  void SetOrigin(plat::Point origin) override { FInner.SetOrigin(origin); }
  void IntersectClip(const plat::Rect& rect) override { FInner.IntersectClip(rect); }
  void ExcludeClip(const plat::Rect& rect) override { FInner.ExcludeClip(rect); }
  plat::Rect ClipBox() const override { return FInner.ClipBox(); }
  bool RectVisible(const plat::Rect& rect) const override { return FInner.RectVisible(rect); }
  plat::Status FillRect(const plat::Rect& rect, plat::Color color) override {
    return Drawn(FInner.FillRect(rect, color));
  }
  plat::Status FrameRect(const plat::Rect& rect, plat::Color color) override {
    return Drawn(FInner.FrameRect(rect, color));
  }
  plat::Status SetFont(const plat::FontSpec& font) override { return FInner.SetFont(font); }
  const plat::FontSpec& Font() const override { return FInner.Font(); }
  plat::Status GetFontMetrics(plat::FontMetrics* out) override { return FInner.GetFontMetrics(out); }
  void SetTextColor(plat::Color color) override { FInner.SetTextColor(color); }
  void SetBackgroundOpaque(bool opaque, plat::Color color) override { FInner.SetBackgroundOpaque(opaque, color); }
  plat::Status DrawText(std::string_view text, plat::Rect* rect, std::uint32_t flags, std::int32_t* height) override {
    const plat::Status status = FInner.DrawText(text, rect, flags, height);
    return (flags & plat::kTextCalcRect) ? status : Drawn(status);
  }
  plat::Status TextExtent(std::string_view text, plat::Size* out) override { return FInner.TextExtent(text, out); }
  plat::Status Transfer(const plat::Rect& target, plat::DrawContext& source, plat::Point sourcePos) override {
    return Drawn(FInner.Transfer(target, Unwrap(source), sourcePos));
  }
  plat::Status StretchTransfer(const plat::Rect& target, plat::DrawContext& source,
                               const plat::Rect& sourceRect) override {
    return Drawn(FInner.StretchTransfer(target, Unwrap(source), sourceRect));
  }
  int BitsPerPixel() const override { return FInner.BitsPerPixel(); }
  plat::Status TransferIndexed(const plat::Rect& target, const std::uint8_t* indices, std::int32_t stride,
                               const plat::Color* colors, std::int32_t colorCount) override {
    return Drawn(FInner.TransferIndexed(target, indices, stride, colors, colorCount));
  }

  plat::DrawContext& Inner() { return FInner; }

 private:
  static plat::DrawContext& Unwrap(plat::DrawContext& context) {
    auto* canvas = dynamic_cast<TNotifyingCanvas*>(&context);
    return canvas ? canvas->Inner() : context;
  }
  plat::Status Drawn(plat::Status status) {
    if (status == plat::Status::Ok) FImage.Changed();
    return status;
  }

  plat::DrawContext& FInner;
  TAbstractSuperDIB& FImage;
};

}  // namespace

plat::Region TAbstractSuperDIB::AlphaRegion(std::uint8_t threshold) const { return RunsToRegion(AlphaRuns(threshold)); }

plat::Region TAbstractSuperDIB::ColorRegion(TDIBColor color) const { return RunsToRegion(ColorRuns(color)); }

void TAbstractSuperDIB::ImportPicture(const std::string& fileName) {
  TMemoryDIB picture;
  const bool hasAlpha = LoadPictureFile(fileName, picture);
  BeginUpdate();
  try {
    CopyPixelsFrom(picture);
    if (hasAlpha)
      SetMasked(true);
    else
      SetAlpha(255);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  Changed();
}

void TAbstractSuperDIB::ImportMask(const std::string& fileName) {
  if (Width() == 0 || Height() == 0 || !Bits()) throw EDIBError("You cannot import a mask until you have an image.");
  TMemoryDIB picture;
  LoadPictureFile(fileName, picture);
  TMemoryDIB mask(Width(), Height());
  mask.StretchFrom(picture);
  const std::size_t count = static_cast<std::size_t>(Width()) * Height();
  for (std::size_t i = 0; i < count; ++i) FBits[i * 4 + 3] = mask.Bits()[i * 4];
  BeginUpdate();
  SetMasked(true);
  EndUpdate();
  Changed();
}

void TAbstractSuperDIB::Render8Bit(plat::DrawContext& context, int x, int y, const TDIBPalette& palette, int sourceX,
                                   int sourceY, int width, int height) const {
  if (palette.LookupTable.size() < kDIBLookupSize)
    throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
  if (context.BitsPerPixel() != 8) throw EDIBError("Render8Bit can only be used to blit to an 8 bit DC");
  // Only the part of the block that lies on the image is sent.
  if (sourceX < 0) {
    x -= sourceX;
    width += sourceX;
    sourceX = 0;
  }
  if (sourceY < 0) {
    y -= sourceY;
    height += sourceY;
    sourceY = 0;
  }
  width = std::min(width, Width() - sourceX);
  height = std::min(height, Height() - sourceY);
  if (width <= 0 || height <= 0 || !FBits) return;
  // The section: one index byte per pixel, rows padded to 4 bytes, the palette's first entries
  // as its colour table.
  const std::size_t stride = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
  std::vector<std::uint8_t> section(stride * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* p = ScanLine(sourceY + row) + static_cast<std::size_t>(sourceX) * 4;
    std::uint8_t* out = section.data() + stride * static_cast<std::size_t>(row);
    for (int column = 0; column < width; ++column, p += 4) out[column] = palette.LookupTable[DIBLookupIndex(p)];
  }
  const std::size_t colors = std::min(palette.Entries.size(), kDIBSectionColors);
  std::vector<plat::Color> table(colors);
  for (std::size_t i = 0; i < colors; ++i) table[i] = plat::ResolveColor(palette.Entries[i]) & 0x00FFFFFFu;
  const plat::Status status =
      context.TransferIndexed(plat::Rect{x, y, x + width, y + height}, section.data(),
                              static_cast<std::int32_t>(stride), table.data(), static_cast<std::int32_t>(colors));
  if (status != plat::Status::Ok) throw PlatformError(status);
}

// ---- window kind ------------------------------------------------------------------------------

TCustomWinDIB::TCustomWinDIB() = default;

TCustomWinDIB::TCustomWinDIB(int width, int height) {
  SetSize(width, height);
  SetClipRect(TDIBRect{0, 0, Width() - 1, Height() - 1});
}

TCustomWinDIB::TCustomWinDIB(const TAbstractSuperDIB* source) {
  if (source) ShareBitsOf(*source);
}

TCustomWinDIB::~TCustomWinDIB() {
  if (FOwnsBits && FBits) TCustomWinDIB::FreeBits();
}

void TCustomWinDIB::AllocBits() {
  std::unique_ptr<plat::Surface> surface;
  const plat::Status status = plat::Platform().CreateSurface(Width(), Height(), &surface);
  if (status != plat::Status::Ok || !surface) throw PlatformError(status);
  auto canvas = std::make_unique<TNotifyingCanvas>(surface->Context(), *this);
  if (FOwnsBits && FBits) FreeBits();
  FSurface = std::move(surface);
  FCanvas = std::move(canvas);
  FBits = FSurface->Bits();
}

void TCustomWinDIB::FreeBits() {
  if (FSurface) FSurface->Flush();
  FCanvas.reset();
  FSurface.reset();
  FBits = nullptr;
}

plat::DrawContext* TCustomWinDIB::Handle() const { return FSurface && FOwnsBits ? &FSurface->Context() : nullptr; }

plat::DrawContext* TCustomWinDIB::Canvas() const { return FSurface && FOwnsBits ? FCanvas.get() : nullptr; }

const TClassInfo& TCustomWinDIB::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCustomWinDIB>("TCustomWinDIB", &TAbstractSuperDIB::StaticClass()).Build();
  return info;
}

const TClassInfo& TWinDIB::StaticClass() {
  static const TClassInfo info = TClassBuilder<TWinDIB>("TWinDIB", &TCustomWinDIB::StaticClass()).Build();
  return info;
}
