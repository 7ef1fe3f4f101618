// 32-bit images with an 8-bit alpha channel and the settings that say how they are drawn onto
// another image: opacity, mask, colour key, scale and rotation.
//
// Pixel layout: four bytes per pixel in the order blue, green, red, alpha (0xAARRGGBB as a
// little-endian word), rows bottom-up without gaps: visual row y starts at byte
// (Height - y - 1) * Width * 4. Colours handed in by callers are platform colours 0x00BBGGRR (or a
// system-colour reference); pixel form is 0x00RRGGBB with alpha 0.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DIB/Source/DIBErrors.h"
#include "platform/Region.h"
#include "ui/Persistent.h"

namespace plat {
class DrawContext;
class Surface;
}  // namespace plat
class TDIBStream;

using TDIBColor = std::uint32_t;  // platform colour 0x00BBGGRR, or a system-colour reference

struct TDIBRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;  // inclusive where the image library stores a clip; exclusive for region runs
  int Bottom = 0;
};

enum TTransparentMode : std::uint8_t { tmAuto = 0, tmFixed = 1 };

// Platform colour -> pixel form (system colours resolved, alpha 0) and back.
std::uint32_t DIBColorToPixel(TDIBColor color);
TDIBColor DIBPixelToColor(std::uint32_t pixel);

// Largest number of pixels one image may hold (128 MB of pixels). Sizes come from stored data and
// designers; anything beyond this is refused with an EDIBError instead of being allocated.
constexpr std::int64_t DIBMaxPixels = std::int64_t{1} << 25;

class TAbstractSuperDIB;

// The bounds of a width x height picture scaled by scaleX, scaleY percent and rotated by `angle`
// degrees (which must lie in [0, 360)): each side ceil(|w'cos| + |h'sin|) or ceil(|w'sin| + |h'cos|)
// of the scaled sides, then made even (101 -> 100). EDIBError when a side leaves 0..65535.
void DIBRotatedBounds(int width, int height, long double scaleX, long double scaleY, long double angle,
                      int& boundsWidth, int& boundsHeight);

// An angle in degrees brought into [0, 360); EDIBError "Invalid image angle ..." when not finite.
long double DIBNormalAngle(long double value);
// EDIBError "Invalid image scale ..." for a scale (percent) that is not finite or beyond 10^6.
void DIBCheckScale(long double value);

// A palette for Render8Bit: up to 256 entries and the colour lookup table, 64 x 64 x 64 entry
// numbers indexed by DIBLookupIndex. An empty table means none. Only the first kDIBSectionColors
// entries reach the display, so a table should name no later entry.
struct TDIBPalette {
  std::vector<TDIBColor> Entries;
  std::vector<std::uint8_t> LookupTable;
};

constexpr std::size_t kDIBLookupSize = 64 * 64 * 64;
constexpr std::size_t kDIBSectionColors = 235;

// The lookup table's entry number for a pixel's blue, green and red bytes.
constexpr std::size_t DIBLookupIndex(const std::uint8_t* pixel) {
  return static_cast<std::size_t>(pixel[0] >> 2) + static_cast<std::size_t>(pixel[1] >> 2) * 64 +
         static_cast<std::size_t>(pixel[2] >> 2) * 4096;
}

// A 3 x 3 convolution for ApplyFilter. For each colour channel of a pixel that has all eight
// neighbours: sum of Weights[row * 3 + column] x the channel of the neighbour (row 0 the row above,
// column 0 the one to the left, 4 the pixel itself), divided by Divisor (truncating towards zero;
// 0 counts as 1), plus the channel's offset, clamped to 0..255. Alpha is not filtered.
struct TDIBFilter {
  std::array<int, 9> Weights{0, 0, 0, 0, 1, 0, 0, 0, 0};
  int Divisor = 1;
  int OffsetBlue = 0;
  int OffsetGreen = 0;
  int OffsetRed = 0;
};

// A row routine: blends Rows x Pixels from source to target; the image it is called on is the
// routine owner whose Opacity and stored key it reads.
using TDIBDrawRoutine = void (TAbstractSuperDIB::*)(const std::uint8_t* source, std::uint8_t* target, int rows,
                                                    int pixels, int sourceWidth, int targetWidth) const;

class TAbstractSuperDIB : public TPersistent {
 public:
  using TChangeEvent = std::function<void(TAbstractSuperDIB* sender)>;

  ~TAbstractSuperDIB() override;

  // Published: Angle, AutoSize, Height, Masked, Opacity, Scale, Transparent, TransparentColor,
  // TransparentMode, Width.
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // Pixel storage, supplied by the kinds. AllocBits sizes for Width x Height and replaces the pixels
  // the image owns only once the new ones exist: when it fails, FBits and the storage are untouched.
  virtual void AllocBits() = 0;
  virtual void FreeBits() = 0;

  // Re-selects the row routine, then raises OnChange unless inside BeginUpdate/EndUpdate.
  virtual void Changed();
  // Picks the row routine for the current Opacity/Masked/Transparent, with this image as owner.
  virtual void SelectDrawRoutine();

  // Row routines; see DIB/Source/cDIBRows.h for the arithmetic.
  virtual void RowsMaskToGrey(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels, int sourceWidth,
                              int targetWidth) const;
  virtual void RowsCopyAlpha(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels, int sourceWidth,
                             int targetWidth) const;
  virtual void RowsCopy(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels, int sourceWidth,
                        int targetWidth) const;
  virtual void RowsBlendOpacity(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels, int sourceWidth,
                                int targetWidth) const;
  virtual void RowsBlendMask(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels, int sourceWidth,
                             int targetWidth) const;
  virtual void RowsBlendMaskOpacity(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels,
                                    int sourceWidth, int targetWidth) const;
  virtual void RowsCopyKeyed(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels, int sourceWidth,
                             int targetWidth) const;
  virtual void RowsBlendKeyedOpacity(const std::uint8_t* source, std::uint8_t* target, int rows, int pixels,
                                     int sourceWidth, int targetWidth) const;

  // Settings. Setters compare first and raise Changed only on a real change.
  long double Angle() const { return FAngle; }
  virtual void SetAngle(long double value);  // kept in [0, 360); non-finite values are refused
  bool AutoSize() const { return FAutoSize; }
  virtual void SetAutoSize(bool value);
  int Height() const { return FHeight; }
  virtual void SetHeight(int value);
  bool Masked() const { return FMasked; }
  virtual void SetMasked(bool value);  // true clears Transparent
  std::uint8_t Opacity() const { return FOpacity; }
  virtual void SetOpacity(std::uint8_t value);
  long double Scale() const { return FScaleX; }
  virtual void SetScale(long double value);  // both axes
  long double ScaleX() const { return FScaleX; }
  virtual void SetScaleX(long double value);
  long double ScaleY() const { return FScaleY; }
  virtual void SetScaleY(long double value);
  int Width() const { return FWidth; }
  virtual void SetWidth(int value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value);  // true clears Masked
  // With tmAuto the colour of the first stored (bottom-left) pixel, else the stored key; as a
  // platform colour either way. The keyed routines always use the stored key.
  TDIBColor TransparentColor() const;
  void SetTransparentColor(TDIBColor value);
  std::uint32_t StoredTransparentColor() const { return FTransparentColor; }  // pixel form
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode value);
  bool OwnsBits() const { return FOwnsBits; }
  int UpdateCount() const { return FUpdateCount; }
  const TDIBRect& ClipRect() const { return FClipRect; }
  // Stores the rectangle ordered and clamped to the image (right and bottom inclusive).
  void SetClipRect(const TDIBRect& rect);

  TChangeEvent OnChange;
  // Raised whenever the pixel storage is replaced (SetSize, ShareBitsOf), inside an update too and
  // although SetSize raises no Changed: whatever shares these pixels must follow them.
  TChangeEvent OnBitsChange;

  TDIBDrawRoutine DrawRoutine() const { return FDrawRoutine; }
  const TAbstractSuperDIB* DrawRoutineOwner() const { return FDrawRoutineOwner; }

  std::uint8_t* Bits() const { return FBits; }
  // Address of visual row y (0 = top); y must lie in [0, Height).
  std::uint8_t* ScanLine(int y) const;
  // True when pixels are present, or when the image shares another image's pixels.
  virtual bool HasBits() const;

  // Copies Angle, AutoSize, Masked, Opacity, scales, Transparent, the stored key, TransparentMode
  // and the row routine with its owner; the size only when target does not own its pixels.
  // A target that is not an image: EDIBError "Cannot assign a TAbstractDIB to a <class>".
  virtual void CopySettingsTo(TPersistent* target) const;
  // From another image: pixels and settings, then Changed (which makes this image the routine
  // owner). Anything else is refused.
  void Assign(const TPersistent& source) override;

  // The "Data" block: a size and the pixels, compressed by the active codec when that pays.
  virtual void LoadData(TDIBStream& stream);
  virtual void SaveData(TDIBStream& stream) const;
  // The same as bytes, for descriptions.
  std::vector<std::uint8_t> DataBytes() const;
  void SetDataBytes(const std::uint8_t* bytes, std::size_t count);

  // Puts the block (sourceX, sourceY, width, height) of this image onto target at (x, y), clipped
  // to target's ClipRect and to both images. When rotated or scaled, the whole image is
  // transformed into a scratch image of width x height (or the transformed bounds with AutoSize)
  // which is then drawn at (x, y).
  virtual void Draw(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX = 0, int sourceY = 0);
  // Draw as a plain copy, untransformed; the settings in force are restored afterwards, also on failure.
  virtual void DrawCopy(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX = 0,
                        int sourceY = 0);
  // Draw copying the alpha byte only (transforms stay in force).
  virtual void DrawAlpha(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX = 0,
                         int sourceY = 0);
  // Draw the alpha channel as grey.
  virtual void DrawMaskAsGrey(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX = 0,
                              int sourceY = 0);

  // Uses source's pixels and settings without copying them. The sharing image must not outlive
  // source; resizing it afterwards gives it pixels of its own again.
  virtual void ShareBitsOf(const TAbstractSuperDIB& source);

  virtual void Fill(TDIBColor color);  // alpha 0; Changed
  // Clipped to the image (not to ClipRect); alpha 0; no Changed.
  virtual void FillRect(TDIBColor color, int x, int y, int width, int height);
  virtual void ResetSettings();
  // 0 becomes 1. Refuses negative sizes, more than 65535 per side and more than DIBMaxPixels with
  // an EDIBError, before freeing anything. Contents are zero afterwards; no Changed, but
  // OnBitsChange. When the pixels cannot be allocated the image stays as it was (size, pixels, clip).
  virtual void SetSize(int width, int height);
  // Rotates and scales the whole image bilinearly into target (already sized) about the centres.
  virtual void RenderRotated(TAbstractSuperDIB* target) const;

  void BeginUpdate();
  void EndUpdate();  // EDIBError "EndUpdate without BeginUpdate" when not inside an update
  void CopyPixelsFrom(const TAbstractSuperDIB& source);
  // Nearest-neighbour resample of the whole source into this image's size.
  void StretchFrom(const TAbstractSuperDIB& source);
  void SetAlpha(std::uint8_t value);
  // Filters the image with a 3 x 3 convolution: the result, with the border pixels (the outer
  // rows and columns) as they were and every alpha byte kept, is made in a scratch image that is
  // then drawn back over the whole image at `opacity` (255: replaced; within ClipRect). Changed.
  void ApplyFilter(const TDIBFilter& filter, std::uint8_t opacity = 255);

  // Horizontal runs, row by row from the top, one row high with exclusive right and bottom, of
  // the pixels whose alpha exceeds threshold / whose colour differs from color.
  std::vector<TDIBRect> AlphaRuns(std::uint8_t threshold) const;
  std::vector<TDIBRect> ColorRuns(TDIBColor color) const;
  // The same runs as a platform region (for window shapes); empty when there is no run.
  plat::Region AlphaRegion(std::uint8_t threshold) const;
  plat::Region ColorRegion(TDIBColor color) const;

  // Loads a PNG or BMP file: the image takes its size and pixels. A file with its own alpha sets
  // Masked; otherwise every alpha byte becomes 255. EDIBError when the file cannot be read.
  virtual void ImportPicture(const std::string& fileName);
  // Loads a PNG or BMP file, stretches it to this image's size and takes its blue byte as every
  // pixel's alpha; sets Masked. Needs pixels first.
  virtual void ImportMask(const std::string& fileName);
  // Copies a block (clipped to the image) through the palette's lookup table onto an 8-bit context
  // at (x, y), with the palette's first kDIBSectionColors entries as the colour table. EDIBError
  // without a lookup table or on a context that is not 8 bits per pixel; std::runtime_error
  // "Windows error (...)" when the platform refuses the transfer.
  virtual void Render8Bit(plat::DrawContext& context, int x, int y, const TDIBPalette& palette, int sourceX,
                          int sourceY, int width, int height) const;

 protected:
  TAbstractSuperDIB();

  std::uint8_t* FBits = nullptr;
  bool FOwnsBits = true;

  // Stores the size without touching the pixels (for kinds that reallocate themselves).
  void StoreSize(int width, int height) {
    FWidth = width;
    FHeight = height;
  }

 private:
  void BitsChanged();
  // Sets columns left..right - 1 of rows top..bottom - 1 (all within the picture) to `pixel`.
  void FillRows(std::uint32_t pixel, int left, int right, int top, int bottom);
  void DrawTransformed(int x, int y, int width, int height, TAbstractSuperDIB* target);
  void DrawBlock(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX, int sourceY,
                 TDIBDrawRoutine routine, const TAbstractSuperDIB* owner);
  // Runs a draw with the routine (and, for a copy, the untransformed settings) forced.
  void DrawForced(int x, int y, int width, int height, TAbstractSuperDIB* target, int sourceX, int sourceY,
                  TDIBDrawRoutine routine, bool untransformed);

  long double FAngle = 0;
  bool FAutoSize = false;
  TDIBRect FClipRect{0, 0, -1, -1};
  int FHeight = 0;
  bool FMasked = false;
  std::uint8_t FOpacity = 255;
  long double FScaleX = 100;
  long double FScaleY = 100;
  bool FTransparent = false;
  std::uint32_t FTransparentColor = 0;
  TTransparentMode FTransparentMode = tmAuto;
  int FUpdateCount = 0;
  int FWidth = 0;
  TDIBDrawRoutine FDrawRoutine;
  const TAbstractSuperDIB* FDrawRoutineOwner = nullptr;
};

// Pixels in plain heap memory: the kind stored in window descriptions.
class TCustomMemoryDIB : public TAbstractSuperDIB {
 public:
  TCustomMemoryDIB();
  TCustomMemoryDIB(int width, int height);                     // CreateSized
  explicit TCustomMemoryDIB(const TAbstractSuperDIB* source);  // CreateShared (see ShareBitsOf)
  ~TCustomMemoryDIB() override;

  // Adds "Data", "ImageFilename" and "MaskFilename" to the published properties.
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  void AllocBits() override;
  void FreeBits() override;
  void Assign(const TPersistent& source) override;           // also the file names from a memory image
  void SaveData(TDIBStream& stream) const override;          // nothing when StoreData is false
  void ImportPicture(const std::string& fileName) override;  // remembers the name
  void ImportMask(const std::string& fileName) override;

  std::string ImageFilename;
  std::string MaskFilename;
  bool StoreData = true;  // false: the "Data" writer writes nothing
};

class TMemoryDIB : public TCustomMemoryDIB {
 public:
  using TCustomMemoryDIB::TCustomMemoryDIB;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};

// Pixels in a platform surface with a drawing context, so that platform drawing (text, frames,
// transfers) also reaches the image: scratch images and off-screen buffers. New pixels are zero.
class TCustomWinDIB : public TAbstractSuperDIB {
 public:
  TCustomWinDIB();
  TCustomWinDIB(int width, int height);
  explicit TCustomWinDIB(const TAbstractSuperDIB* source);
  ~TCustomWinDIB() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // Section creation failure: std::runtime_error "Windows error (<code>) <message>".
  void AllocBits() override;
  void FreeBits() override;

  // The platform drawing context on the pixels; null while the image has none of its own.
  // Use it as the source of platform transfers.
  plat::DrawContext* Handle() const;
  // The same context, but every drawing call through it (fills, frames, text, transfers onto
  // it) raises Changed.
  plat::DrawContext* Canvas() const;

 private:
  std::unique_ptr<plat::Surface> FSurface;
  std::unique_ptr<plat::DrawContext> FCanvas;
};

class TWinDIB : public TCustomWinDIB {
 public:
  using TCustomWinDIB::TCustomWinDIB;
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassInfo() const override { return StaticClass(); }
};
