#include "DIB/Source/cDIB.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "DIB/Source/DIBStream.h"
#include "DIB/Source/cDIBCompressor.h"
#include "DIB/Source/cDIBRows.h"
#include "platform/Platform.h"
#include "ui/TypeInfo.h"

namespace {

// A transformed dimension as a pixel count; anything non-finite or out of the 16-bit range is a
// clear error rather than an undefined conversion.
int CheckedDimension(long double value, const char* what) {
  if (!(value >= 0 && value <= 65535))
    throw EDIBError(std::string("Transformed image ") + what + " " + std::to_string(static_cast<double>(value)) +
                    " is out of range");
  return static_cast<int>(value);
}

}  // namespace

void DIBRotatedBounds(int width, int height, long double scaleX, long double scaleY, long double angle,
                      int& boundsWidth, int& boundsHeight) {
  if (!(angle >= 0 && angle < 360)) throw EAssertionFailed("DIB/Source/cDIB");
  const long double theta = -angle * 3.14159265358979323846264338327950288L / 180;
  const long double w = scaleX * width / 100, h = scaleY * height / 100;
  const int bw = CheckedDimension(std::ceil(std::fabs(w * std::cos(theta)) + std::fabs(h * std::sin(theta))), "width");
  const int bh = CheckedDimension(std::ceil(std::fabs(w * std::sin(theta)) + std::fabs(h * std::cos(theta))), "height");
  boundsWidth = bw - bw % 2;
  boundsHeight = bh - bh % 2;
}

std::uint32_t DIBColorToPixel(TDIBColor color) {
  const std::uint32_t rgb = plat::ResolveColor(color) & 0x00FFFFFFu;
  return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

TDIBColor DIBPixelToColor(std::uint32_t pixel) {
  return ((pixel & 0xFFu) << 16) | (pixel & 0xFF00u) | ((pixel >> 16) & 0xFFu);
}

// ---- construction and settings ----------------------------------------------------------------

TAbstractSuperDIB::TAbstractSuperDIB() { ResetSettings(); }

TAbstractSuperDIB::~TAbstractSuperDIB() = default;

void TAbstractSuperDIB::ResetSettings() {
  FAngle = 0;
  FMasked = false;
  FOpacity = 255;
  FScaleX = 100;
  FScaleY = 100;
  FTransparent = false;
  FAutoSize = false;
  FTransparentMode = tmAuto;
  FTransparentColor = 0;
  FUpdateCount = 0;
  FDrawRoutine = &TAbstractSuperDIB::RowsCopy;
  FDrawRoutineOwner = this;
}

void TAbstractSuperDIB::Changed() {
  SelectDrawRoutine();
  if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TAbstractSuperDIB::SelectDrawRoutine() {
  FDrawRoutineOwner = this;
  if (FOpacity == 255) {
    if (FMasked)
      FDrawRoutine = &TAbstractSuperDIB::RowsBlendMask;
    else if (FTransparent)
      FDrawRoutine = &TAbstractSuperDIB::RowsCopyKeyed;
    else
      FDrawRoutine = &TAbstractSuperDIB::RowsCopy;
  } else {
    if (FMasked)
      FDrawRoutine = &TAbstractSuperDIB::RowsBlendMaskOpacity;
    else if (FTransparent)
      FDrawRoutine = &TAbstractSuperDIB::RowsBlendKeyedOpacity;
    else
      FDrawRoutine = &TAbstractSuperDIB::RowsBlendOpacity;
  }
}

void TAbstractSuperDIB::SetAngle(long double value) {
  value = DIBNormalAngle(value);
  if (value != FAngle) {
    FAngle = value;
    Changed();
  }
}

void TAbstractSuperDIB::SetAutoSize(bool value) {
  if (value != FAutoSize) {
    FAutoSize = value;
    Changed();
  }
}

void TAbstractSuperDIB::SetHeight(int value) { SetSize(FWidth, value); }

void TAbstractSuperDIB::SetWidth(int value) { SetSize(value, FHeight); }

void TAbstractSuperDIB::SetMasked(bool value) {
  if (value != FMasked) {
    FMasked = value;
    if (value) FTransparent = false;
    Changed();
  }
}

void TAbstractSuperDIB::SetTransparent(bool value) {
  if (value != FTransparent) {
    FTransparent = value;
    if (value) FMasked = false;
    Changed();
  }
}

void TAbstractSuperDIB::SetOpacity(std::uint8_t value) {
  if (value != FOpacity) {
    FOpacity = value;
    Changed();
  }
}

namespace {}  // namespace

// A scale comes from descriptions and callers; NaN, infinities and magnitudes no drawing can use
// would only turn into undefined conversions later.
void DIBCheckScale(long double value) {
  if (!std::isfinite(value) || std::fabs(value) > 1.0e6L)
    throw EDIBError("Invalid image scale " + std::to_string(static_cast<double>(value)));
}

long double DIBNormalAngle(long double value) {
  if (!std::isfinite(value)) throw EDIBError("Invalid image angle " + std::to_string(static_cast<double>(value)));
  // fmod rather than repeated steps of 360: exact, and bounded for huge inputs.
  value = std::fmod(value, 360.0L);
  if (value < 0) value += 360;
  if (value >= 360)  // a tiny negative angle rounds up to 360
    value = 0;
  return value;
}

void TAbstractSuperDIB::SetScale(long double value) {
  DIBCheckScale(value);
  if (value != FScaleX || value != FScaleY) {
    FScaleX = value;
    FScaleY = value;
    Changed();
  }
}

void TAbstractSuperDIB::SetScaleX(long double value) {
  DIBCheckScale(value);
  if (value != FScaleX) {
    FScaleX = value;
    Changed();
  }
}

void TAbstractSuperDIB::SetScaleY(long double value) {
  DIBCheckScale(value);
  if (value != FScaleY) {
    FScaleY = value;
    Changed();
  }
}

TDIBColor TAbstractSuperDIB::TransparentColor() const {
  if (FTransparentMode == tmAuto && FBits && FWidth > 0 && FHeight > 0) {
    std::uint32_t first;
    std::memcpy(&first, FBits, 4);
    return DIBPixelToColor(first & 0x00FFFFFFu);
  }
  return DIBPixelToColor(FTransparentColor);
}

void TAbstractSuperDIB::SetTransparentColor(TDIBColor value) {
  if (value != DIBPixelToColor(FTransparentColor)) {
    FTransparentColor = DIBColorToPixel(value);
    Changed();
  }
}

void TAbstractSuperDIB::SetTransparentMode(TTransparentMode value) {
  if (value != FTransparentMode) {
    FTransparentMode = value;
    Changed();
  }
}

void TAbstractSuperDIB::SetClipRect(const TDIBRect& rect) {
  TDIBRect r = rect;
  if (r.Left > r.Right) std::swap(r.Left, r.Right);
  if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
  if (r.Right > FWidth - 1) r.Right = FWidth - 1;
  if (r.Left < 0) r.Left = 0;
  if (r.Bottom > FHeight - 1) r.Bottom = FHeight - 1;
  if (r.Top < 0) r.Top = 0;
  FClipRect = r;
}

void TAbstractSuperDIB::BeginUpdate() { ++FUpdateCount; }

void TAbstractSuperDIB::EndUpdate() {
  if (FUpdateCount == 0) throw EDIBError("EndUpdate without BeginUpdate");
  if (--FUpdateCount == 0) Changed();
}

// ---- storage ----------------------------------------------------------------------------------

std::uint8_t* TAbstractSuperDIB::ScanLine(int y) const {
  return FBits + static_cast<std::ptrdiff_t>(FHeight - y - 1) * FWidth * 4;
}

bool TAbstractSuperDIB::HasBits() const { return FBits != nullptr || !FOwnsBits; }

void TAbstractSuperDIB::SetSize(int width, int height) {
  if (width == FWidth && height == FHeight && (FBits || !FOwnsBits)) return;
  if (width < 0 || height < 0 || width > 65535 || height > 65535 || std::int64_t{width} * height > DIBMaxPixels)
    throw EDIBError("Invalid image size " + std::to_string(width) + " x " + std::to_string(height));
  if (width == 0) width = 1;
  if (height == 0) height = 1;
  if (width == FWidth && height == FHeight && (FBits || !FOwnsBits)) return;
  // The new pixels are allocated before the old ones go, so that a refusal leaves the image whole.
  const int oldWidth = FWidth;
  const int oldHeight = FHeight;
  std::uint8_t* const oldBits = FBits;
  const bool ownedBits = FOwnsBits;
  if (!FOwnsBits) {
    // A sharing image cannot resize the pixels it borrows: it takes pixels of its own again.
    FBits = nullptr;
    FOwnsBits = true;
  }
  FWidth = width;
  FHeight = height;
  try {
    AllocBits();
  } catch (...) {
    FWidth = oldWidth;
    FHeight = oldHeight;
    FBits = oldBits;
    FOwnsBits = ownedBits;
    throw;
  }
  FClipRect = TDIBRect{0, 0, FWidth - 1, FHeight - 1};
  BitsChanged();
}

void TAbstractSuperDIB::BitsChanged() {
  if (OnBitsChange) OnBitsChange(this);
}

void TAbstractSuperDIB::ShareBitsOf(const TAbstractSuperDIB& source) {
  if (&source == this) return;
  if (FOwnsBits && FBits) FreeBits();
  FBits = nullptr;
  FOwnsBits = false;
  source.CopySettingsTo(this);
  FBits = source.FBits;
  FClipRect = TDIBRect{0, 0, FWidth - 1, FHeight - 1};
  BitsChanged();
}

void TAbstractSuperDIB::CopySettingsTo(TPersistent* targetObject) const {
  auto* target = dynamic_cast<TAbstractSuperDIB*>(targetObject);
  if (!target)
    throw EDIBError("Cannot assign a TAbstractDIB to a " +
                    std::string(targetObject ? targetObject->ClassName() : std::string_view("nil")));
  target->FAngle = FAngle;
  target->FAutoSize = FAutoSize;
  target->FMasked = FMasked;
  target->FOpacity = FOpacity;
  target->FScaleX = FScaleX;
  target->FScaleY = FScaleY;
  target->FTransparent = FTransparent;
  target->FTransparentColor = FTransparentColor;
  target->FTransparentMode = FTransparentMode;
  target->FDrawRoutine = FDrawRoutine;
  target->FDrawRoutineOwner = FDrawRoutineOwner;
  if (!target->FOwnsBits) {
    target->FWidth = FWidth;
    target->FHeight = FHeight;
  }
}

void TAbstractSuperDIB::Assign(const TPersistent& sourceObject) {
  auto* source = dynamic_cast<const TAbstractSuperDIB*>(&sourceObject);
  if (!source) {
    TPersistent::Assign(sourceObject);  // refuses
    return;
  }
  if (source == this) return;
  CopyPixelsFrom(*source);
  source->CopySettingsTo(this);
  Changed();
}

void TAbstractSuperDIB::LoadData(TDIBStream& stream) { DIBLoadData(*this, stream); }

void TAbstractSuperDIB::SaveData(TDIBStream& stream) const { DIBSaveData(*this, stream); }

std::vector<std::uint8_t> TAbstractSuperDIB::DataBytes() const {
  TDIBMemoryStream stream;
  SaveData(stream);
  return stream.TakeBytes();
}

void TAbstractSuperDIB::SetDataBytes(const std::uint8_t* bytes, std::size_t count) {
  TDIBMemoryStream stream(bytes, count);
  LoadData(stream);
}

const TClassInfo& TAbstractSuperDIB::StaticClass() {
  using T = TAbstractSuperDIB;
  static const TClassInfo info =
      TClassBuilder<T>("TAbstractSuperDIB", &TPersistent::StaticClass())
          .Float("Angle", &T::Angle, &T::SetAngle, 0.0)
          .Bool("AutoSize", &T::AutoSize, &T::SetAutoSize)
          .Int("Height", &T::Height, &T::SetHeight)
          .Bool("Masked", &T::Masked, &T::SetMasked)
          .Int("Opacity", &T::Opacity, &T::SetOpacity)
          .Float("Scale", &T::Scale, &T::SetScale)
          .Bool("Transparent", &T::Transparent, &T::SetTransparent)
          .Color("TransparentColor", &T::TransparentColor, &T::SetTransparentColor)
          .Enum("TransparentMode", {"tmAuto", "tmFixed"}, &T::TransparentMode, &T::SetTransparentMode)
          .Int("Width", &T::Width, &T::SetWidth)
          .Build();
  return info;
}

void TAbstractSuperDIB::CopyPixelsFrom(const TAbstractSuperDIB& source) {
  if (&source == this) return;
  SetSize(source.FWidth, source.FHeight);
  if (source.FBits && FBits && source.FWidth == FWidth && source.FHeight == FHeight)
    std::memcpy(FBits, source.FBits, static_cast<std::size_t>(FWidth) * FHeight * 4);
  Changed();
}

// ---- pixel operations -------------------------------------------------------------------------

void TAbstractSuperDIB::Fill(TDIBColor color) {
  if (FBits) {
    FillRows(DIBColorToPixel(color), 0, FWidth, 0, FHeight);
  }
  Changed();
}

void TAbstractSuperDIB::FillRows(std::uint32_t pixel, int left, int right, int top, int bottom) {
  // One row pixel by pixel, the others copied from it: a copy moves whole vectors.
  const std::size_t span = static_cast<std::size_t>(right - left) * 4;
  std::uint8_t* first = ScanLine(top) + static_cast<std::ptrdiff_t>(left) * 4;
  for (std::size_t at = 0; at < span; at += 4) std::memcpy(first + at, &pixel, 4);
  for (int row = top + 1; row < bottom; ++row)
    std::memcpy(ScanLine(row) + static_cast<std::ptrdiff_t>(left) * 4, first, span);
}

void TAbstractSuperDIB::FillRect(TDIBColor color, int x, int y, int width, int height) {
  if (!FBits || width <= 0 || height <= 0 || x >= FWidth || y >= FHeight) return;
  // 64-bit ends: x + width may pass the int range for hostile arguments.
  std::int64_t right = std::int64_t{x} + width;
  std::int64_t bottom = std::int64_t{y} + height;
  if (right <= 0 || bottom <= 0) return;
  const int left = x < 0 ? 0 : x;
  const int top = y < 0 ? 0 : y;
  if (right > FWidth) right = FWidth;
  if (bottom > FHeight) bottom = FHeight;
  FillRows(DIBColorToPixel(color), left, static_cast<int>(right), top, static_cast<int>(bottom));
}

void TAbstractSuperDIB::SetAlpha(std::uint8_t value) {
  if (FBits) {
    const std::size_t count = static_cast<std::size_t>(FWidth) * FHeight;
    for (std::size_t i = 0; i < count; ++i) FBits[i * 4 + 3] = value;
  }
  Changed();
}

void TAbstractSuperDIB::StretchFrom(const TAbstractSuperDIB& source) {
  if (FBits && source.FBits && FWidth > 0 && FHeight > 0) {
    const std::uint32_t sw = source.FWidth, sh = source.FHeight;
    const std::uint32_t dw = FWidth, dh = FHeight;
    const std::uint32_t xStep = sw / dw;
    const std::uint32_t xFrac = ((sw * 65536u) / dw) % 65536u;
    const std::uint32_t yStep = sh / dh;
    const std::uint32_t yFrac = ((sh * 65536u) / dh) % 65536u;
    // sw * 65536 stays below 2^32 for 16-bit widths. The accumulators borrow at most as often
    // as the fractions add up to whole pixels, so the source index stays below sw and sh.
    std::uint16_t yAcc = 0xFFFF;
    std::uint32_t sourceRow = 0, previousRow = sh;
    const std::size_t rowBytes = static_cast<std::size_t>(dw) * 4;
    for (std::uint32_t row = 0; row < dh; ++row) {
      const std::uint8_t* s = source.FBits + static_cast<std::size_t>(sourceRow) * sw * 4;
      std::uint8_t* d = FBits + static_cast<std::size_t>(row) * rowBytes;
      // A row made from the same source row as the one before is that row again, and one of the
      // source's own width is the source row: both copied whole.
      if (sourceRow == previousRow) {
        std::memcpy(d, d - rowBytes, rowBytes);
      } else if (sw == dw) {
        std::memcpy(d, s, rowBytes);
      } else {
        std::uint16_t xAcc = 0xFFFF;
        std::uint32_t col = 0;
        for (std::uint32_t i = 0; i < dw; ++i) {
          std::memcpy(d + i * 4, s + static_cast<std::size_t>(col) * 4, 4);
          col += xStep;
          if (xAcc < xFrac) ++col;
          xAcc = static_cast<std::uint16_t>(xAcc - xFrac);
        }
      }
      previousRow = sourceRow;
      sourceRow += yStep;
      if (yAcc < yFrac) ++sourceRow;
      yAcc = static_cast<std::uint16_t>(yAcc - yFrac);
    }
  }
  Changed();
}

void TAbstractSuperDIB::RenderRotated(TAbstractSuperDIB* target) const {
  if (!target || !FBits || !target->FBits) return;
  const float sx = static_cast<float>(FScaleX / 100);
  const float sy = static_cast<float>(FScaleY / 100);
  const float sw = static_cast<float>(FWidth) * sx;
  const float sh = static_cast<float>(FHeight) * sy;
  const int tw = target->FWidth, th = target->FHeight;
  if (!(sw > 0) || !(sh > 0) || tw <= 0 || th <= 0) return;
  const float W = static_cast<float>(tw), H = static_cast<float>(th);
  const float theta = static_cast<float>(-FAngle * 3.14159265358979323846264338327950288L / 180);
  const float cosT = std::cos(theta), sinT = std::sin(theta);
  const float cx = sw / 2, cy = sh / 2;
  const float ox = (1 - sw / W) * W / 2;
  const float oy = (1 - sh / H) * H / 2;
  const float maxU = static_cast<float>(FWidth - 1), maxV = static_cast<float>(FHeight - 1);
  for (int ty = 0; ty < th; ++ty) {
    std::uint8_t* out = target->ScanLine(ty);
    const float dy = static_cast<float>(ty) - oy - cy;
    for (int tx = 0; tx < tw; ++tx) {
      const float dx = static_cast<float>(tx) - ox - cx;
      const float u = (cx + dx * cosT - dy * sinT) / sx;
      const float v = (dx * sinT + cy + dy * cosT) / sy;
      // 0 < trunc(u) < width - 1 is 1 <= u < width - 1; testing the float first keeps the
      // conversion defined for any value.
      if (!(u >= 1 && u < maxU && v >= 1 && v < maxV)) continue;
      const int iu = static_cast<int>(u), iv = static_cast<int>(v);
      const float fu = u - static_cast<float>(iu), fv = v - static_cast<float>(iv);
      const float wu[2] = {1 - fu, fu};
      const float wv[2] = {1 - fv, fv};
      const std::uint8_t* rows[2] = {ScanLine(iv) + static_cast<std::ptrdiff_t>(iu) * 4,
                                     ScanLine(iv + 1) + static_cast<std::ptrdiff_t>(iu) * 4};
      for (int k = 0; k < 4; ++k) {
        float value = 0;
        for (int j = 0; j < 2; ++j)
          for (int i = 0; i < 2; ++i) value += wu[i] * wv[j] * static_cast<float>(rows[j][i * 4 + k]);
        const float rounded = std::nearbyint(value);
        out[tx * 4 + k] = static_cast<std::uint8_t>(rounded < 0 ? 0 : rounded > 255 ? 255 : rounded);
      }
    }
  }
  target->Changed();
}

std::vector<TDIBRect> TAbstractSuperDIB::AlphaRuns(std::uint8_t threshold) const {
  std::vector<TDIBRect> runs;
  if (!FBits) return runs;
  for (int y = 0; y < FHeight; ++y) {
    const std::uint8_t* row = ScanLine(y);
    int x = 0;
    while (x < FWidth) {
      while (x < FWidth && row[x * 4 + 3] <= threshold) ++x;
      const int start = x;
      while (x < FWidth && row[x * 4 + 3] > threshold) ++x;
      if (x > start) runs.push_back(TDIBRect{start, y, x, y + 1});
    }
  }
  return runs;
}

std::vector<TDIBRect> TAbstractSuperDIB::ColorRuns(TDIBColor color) const {
  std::vector<TDIBRect> runs;
  if (!FBits) return runs;
  const std::uint32_t key = DIBColorToPixel(color);
  auto differs = [key](const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
            (static_cast<std::uint32_t>(p[2]) << 16)) != key;
  };
  for (int y = 0; y < FHeight; ++y) {
    const std::uint8_t* row = ScanLine(y);
    int x = 0;
    while (x < FWidth) {
      while (x < FWidth && !differs(row + x * 4)) ++x;
      const int start = x;
      while (x < FWidth && differs(row + x * 4)) ++x;
      if (x > start) runs.push_back(TDIBRect{start, y, x, y + 1});
    }
  }
  return runs;
}

// ---- row routines -----------------------------------------------------------------------------

#define DIB_ROW_ROUTINE(Name, Call)                                                                    \
  void TAbstractSuperDIB::Name(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels, \
                               int sourceWidth, int targetWidth) const {                               \
    const DIBRows::TRowBlock block{source, target, rows, pixels, sourceWidth, targetWidth};            \
    Call;                                                                                              \
  }

DIB_ROW_ROUTINE(RowsMaskToGrey, DIBRows::MaskToGrey(block))
DIB_ROW_ROUTINE(RowsCopyAlpha, DIBRows::CopyAlpha(block))
DIB_ROW_ROUTINE(RowsCopy, DIBRows::Copy(block))
DIB_ROW_ROUTINE(RowsBlendOpacity, DIBRows::BlendOpacity(block, FOpacity))
DIB_ROW_ROUTINE(RowsBlendMask, DIBRows::BlendMask(block))
DIB_ROW_ROUTINE(RowsBlendMaskOpacity, DIBRows::BlendMaskOpacity(block, FOpacity))
DIB_ROW_ROUTINE(RowsCopyKeyed, DIBRows::CopyKeyed(block, FTransparentColor))
DIB_ROW_ROUTINE(RowsBlendKeyedOpacity, DIBRows::BlendKeyedOpacity(block, FTransparentColor, FOpacity))

#undef DIB_ROW_ROUTINE

// ---- drawing ----------------------------------------------------------------------------------

void TAbstractSuperDIB::DrawBlock(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX,
                                  int sourceY, TDIBDrawRoutine routine, const TAbstractSuperDIB* owner) {
  if (!target || !FBits || !target->FBits || !routine || !owner) return;
  // 64-bit arithmetic throughout: hostile positions and sizes must not overflow.
  std::int64_t px = x, py = y, w = width, h = height, sx = sourceX, sy = sourceY;
  const TDIBRect& clip = target->FClipRect;
  if (px < clip.Left) {
    sx += clip.Left - px;
    w -= clip.Left - px;
    px = clip.Left;
  }
  if (py < clip.Top) {
    sy += clip.Top - py;
    h -= clip.Top - py;
    py = clip.Top;
  }
  if (px + w > clip.Right) w = std::min<std::int64_t>(w, std::int64_t{clip.Right} - px + 1);
  if (py + h > clip.Bottom) h = std::min<std::int64_t>(h, std::int64_t{clip.Bottom} - py + 1);
  // A block starting left of or above the source would read before its pixels.
  if (sx < 0) {
    px -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    py -= sy;
    h += sy;
    sy = 0;
  }
  if (sx + w > FWidth) w = FWidth - sx;
  if (sy + h > FHeight) h = FHeight - sy;
  if (w < 1 || h < 1 || px < 0 || py < 0 || px >= target->FWidth || py >= target->FHeight) return;
  w = std::min<std::int64_t>(w, target->FWidth - px);
  h = std::min<std::int64_t>(h, target->FHeight - py);

  // Onto itself (or its own pixels shared): the routines read and write separate memory, so
  // the source is taken from a copy.
  TMemoryDIB copy;
  const TAbstractSuperDIB* source = this;
  if (target->FBits == FBits) {
    copy.CopyPixelsFrom(*this);
    source = &copy;
  }
  const std::uint8_t* s = source->ScanLine(static_cast<int>(sy)) + sx * 4;
  std::uint8_t* d = target->ScanLine(static_cast<int>(py)) + px * 4;
  (owner->*routine)(s, d, static_cast<int>(h), static_cast<int>(w), FWidth, target->FWidth);
  target->Changed();
}

void TAbstractSuperDIB::Draw(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX, int sourceY) {
  if (FAngle != 0 || FScaleX != 100 || FScaleY != 100)
    DrawTransformed(x, y, width, height, target);
  else
    DrawBlock(x, y, width, height, target, sourceX, sourceY, FDrawRoutine, FDrawRoutineOwner);
}

void TAbstractSuperDIB::DrawTransformed(int x, int y, int width, int height, TAbstractSuperDIB* target) {
  if (!target || !FBits || width < 1 || height < 1) return;
  int scratchWidth = width, scratchHeight = height;
  if (FAutoSize) {
    if (FAngle != 0) {
      DIBRotatedBounds(width, height, FScaleX, FScaleY, FAngle, scratchWidth, scratchHeight);
    } else {
      scratchWidth = CheckedDimension(std::ceil(width * FScaleX / 100), "width");
      scratchHeight = CheckedDimension(std::ceil(height * FScaleY / 100), "height");
    }
  }
  // Memory pixels start zeroed, just as a fresh platform surface would.
  TMemoryDIB scratch;
  scratch.SetSize(scratchWidth, scratchHeight);
  scratch.FMasked = FMasked;
  scratch.FOpacity = FOpacity;
  scratch.FTransparent = FTransparent;
  scratch.FTransparentMode = tmFixed;
  scratch.FTransparentColor = DIBColorToPixel(TransparentColor());
  if (FAngle != 0)
    RenderRotated(&scratch);
  else
    scratch.StretchFrom(*this);
  scratch.DrawBlock(x, y, scratch.FWidth, scratch.FHeight, target, 0, 0, FDrawRoutine, FDrawRoutineOwner);
}

void TAbstractSuperDIB::DrawForced(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX,
                                   int sourceY, TDIBDrawRoutine routine, bool untransformed) {
  struct Saved {
    TAbstractSuperDIB* Self;
    TDIBDrawRoutine Routine;
    const TAbstractSuperDIB* Owner;
    long double Angle, ScaleX, ScaleY;
    ~Saved() {
      Self->FDrawRoutine = Routine;
      Self->FDrawRoutineOwner = Owner;
      Self->FAngle = Angle;
      Self->FScaleX = ScaleX;
      Self->FScaleY = ScaleY;
    }
  } saved{this, FDrawRoutine, FDrawRoutineOwner, FAngle, FScaleX, FScaleY};
  FDrawRoutine = routine;
  FDrawRoutineOwner = this;
  if (untransformed) {
    FAngle = 0;
    FScaleX = 100;
    FScaleY = 100;
  }
  Draw(x, y, width, height, target, sourceX, sourceY);
}

void TAbstractSuperDIB::DrawCopy(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX,
                                 int sourceY) {
  DrawForced(x, y, width, height, target, sourceX, sourceY, &TAbstractSuperDIB::RowsCopy, true);
}

void TAbstractSuperDIB::DrawAlpha(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX,
                                  int sourceY) {
  DrawForced(x, y, width, height, target, sourceX, sourceY, &TAbstractSuperDIB::RowsCopyAlpha, false);
}

void TAbstractSuperDIB::DrawMaskAsGrey(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX,
                                       int sourceY) {
  DrawForced(x, y, width, height, target, sourceX, sourceY, &TAbstractSuperDIB::RowsMaskToGrey, false);
}

// ---- memory kind ------------------------------------------------------------------------------

TCustomMemoryDIB::TCustomMemoryDIB() = default;

TCustomMemoryDIB::TCustomMemoryDIB(int width, int height) {
  SetSize(width, height);
  SetClipRect(TDIBRect{0, 0, Width() - 1, Height() - 1});
}

TCustomMemoryDIB::TCustomMemoryDIB(const TAbstractSuperDIB* source) {
  if (source) ShareBitsOf(*source);
}

TCustomMemoryDIB::~TCustomMemoryDIB() {
  if (FOwnsBits && FBits) TCustomMemoryDIB::FreeBits();
}

void TCustomMemoryDIB::AllocBits() {
  const std::size_t bytes = static_cast<std::size_t>(Width()) * Height() * 4;
  auto* bits = new (std::nothrow) std::uint8_t[bytes]();
  if (!bits)
    throw EDIBError("Out of memory for an image of " + std::to_string(Width()) + " x " + std::to_string(Height()));
  if (FOwnsBits) delete[] FBits;
  FBits = bits;
}

void TCustomMemoryDIB::FreeBits() {
  delete[] FBits;
  FBits = nullptr;
}

void TCustomMemoryDIB::Assign(const TPersistent& source) {
  TAbstractSuperDIB::Assign(source);
  if (auto* memory = dynamic_cast<const TCustomMemoryDIB*>(&source); memory && memory != this) {
    ImageFilename = memory->ImageFilename;
    MaskFilename = memory->MaskFilename;
  }
}

void TCustomMemoryDIB::SaveData(TDIBStream& stream) const {
  if (StoreData) TAbstractSuperDIB::SaveData(stream);
}

void TCustomMemoryDIB::ImportPicture(const std::string& fileName) {
  TAbstractSuperDIB::ImportPicture(fileName);
  ImageFilename = fileName;
}

void TCustomMemoryDIB::ImportMask(const std::string& fileName) {
  TAbstractSuperDIB::ImportMask(fileName);
  MaskFilename = fileName;
}

const TClassInfo& TCustomMemoryDIB::StaticClass() {
  using T = TCustomMemoryDIB;
  static const TClassInfo info =
      TClassBuilder<T>("TCustomMemoryDIB", &TAbstractSuperDIB::StaticClass())
          .Bytes("Data", &T::DataBytes,
                 [](T& dib, std::span<const std::uint8_t> bytes) { dib.SetDataBytes(bytes.data(), bytes.size()); })
          .String("ImageFilename", &T::ImageFilename, &T::ImageFilename)
          .String("MaskFilename", &T::MaskFilename, &T::MaskFilename)
          .Build();
  return info;
}

const TClassInfo& TMemoryDIB::StaticClass() {
  static const TClassInfo info = TClassBuilder<TMemoryDIB>("TMemoryDIB", &TCustomMemoryDIB::StaticClass()).Build();
  return info;
}
