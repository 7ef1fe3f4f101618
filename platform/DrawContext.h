// Drawing contexts and 32-bit pixel surfaces.
//
// A drawing context draws into a window (during a paint cycle), into a pixel surface, or onto
// nothing in particular (the screen context used for measuring text). It keeps an origin, a clip
// area, a font and text colours, and a stack of saved states. All coordinates given to a context
// are logical: device position = logical position + origin.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Region.h"
#include "platform/Types.h"

namespace plat {

// Text layout flags (values of the classic text-drawing call).
inline constexpr uint32_t kTextLeft = 0x0000;
inline constexpr uint32_t kTextCenter = 0x0001;
inline constexpr uint32_t kTextRight = 0x0002;
inline constexpr uint32_t kTextVCenter = 0x0004;      // single line only
inline constexpr uint32_t kTextBottom = 0x0008;       // single line only
inline constexpr uint32_t kTextWordBreak = 0x0010;    // break lines between words to fit the width
inline constexpr uint32_t kTextSingleLine = 0x0020;   // line feeds are not line breaks
inline constexpr uint32_t kTextExpandTabs = 0x0040;   // tab stops every 8 average character widths
inline constexpr uint32_t kTextNoClip = 0x0100;       // do not clip to the rectangle
inline constexpr uint32_t kTextCalcRect = 0x0400;     // measure only: adjust the rectangle, draw nothing
inline constexpr uint32_t kTextNoPrefix = 0x0800;     // "&" is a plain character
inline constexpr uint32_t kTextRtlReading = 0x20000;  // accepted; text is laid out left to right

// A font request. Every backend maps the name to what it has; the headless one draws every name
// with the sans-serif face it ships, so only size and style matter there.
struct FontSpec {
  std::string name = "Tahoma";
  int32_t height = 11;  // em height in pixels (the character height, not the line height)
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

struct FontMetrics {
  int32_t ascent = 0;        // pixels above the baseline
  int32_t descent = 0;       // pixels below it
  int32_t lineHeight = 0;    // ascent + descent: the step from one line to the next
  int32_t averageWidth = 0;  // width of an average lower-case character (tab stops use it)
};

class DrawContext {
 public:
  virtual ~DrawContext() = default;

  // --- State. Save pushes origin, clip, font and colours and answers the new depth (>= 1);
  // Restore(depth) pops back to the state saved at that depth, Restore(-1) pops one level.
  virtual int Save() = 0;
  virtual Status Restore(int depth = -1) = 0;
  virtual Point Origin() const = 0;
  virtual void SetOrigin(Point origin) = 0;
  void OffsetOrigin(int32_t dx, int32_t dy) {
    Point o = Origin();
    SetOrigin({o.x + dx, o.y + dy});
  }

  // --- Clipping (logical coordinates). The clip area never exceeds what the context may touch:
  // the surface, or the window's visible part and its update area during a paint cycle.
  virtual void IntersectClip(const Rect& rect) = 0;
  virtual void ExcludeClip(const Rect& rect) = 0;
  // Bounding box of the clip area ({0,0,0,0} when nothing can be drawn).
  virtual Rect ClipBox() const = 0;
  virtual bool RectVisible(const Rect& rect) const = 0;

  // --- Filling: write the colour's red, green and blue and leave each pixel's alpha byte alone.
  virtual Status FillRect(const Rect& rect, Color color) = 0;
  // A one-pixel frame just inside the rectangle.
  virtual Status FrameRect(const Rect& rect, Color color) = 0;

  // --- Text. Text is 8-bit; valid UTF-8 sequences are read as UTF-8, other bytes as Latin-1.
  virtual Status SetFont(const FontSpec& font) = 0;
  virtual const FontSpec& Font() const = 0;
  virtual Status GetFontMetrics(FontMetrics* out) = 0;
  virtual void SetTextColor(Color color) = 0;
  // Transparent (the default) draws glyphs only; opaque fills each line's box first.
  virtual void SetBackgroundOpaque(bool opaque, Color color) = 0;
  // Lays `text` out in `*rect` with kText* flags and draws it (kTextCalcRect: only measures and
  // sets rect->right and rect->bottom to the extent of the laid-out text). Answers the height of
  // the text in pixels through `height` when non-null. Drawn glyphs blend the text colour over
  // the colour bytes and leave alpha alone. "&x" draws x underlined unless kTextNoPrefix; "&&"
  // draws one "&".
  virtual Status DrawText(std::string_view text, Rect* rect, uint32_t flags, int32_t* height = nullptr) = 0;
  // Width and height of one line of text, no prefix processing, tabs not expanded.
  virtual Status TextExtent(std::string_view text, Size* out) = 0;

  // --- Transfers. `source` must come from the same backend (Unsupported otherwise). Copies are
  // plain: all four bytes of each pixel. Overlapping source and target areas are handled.
  virtual Status Transfer(const Rect& target, DrawContext& source, Point sourcePos) = 0;
  // Nearest-neighbour stretch of `sourceRect` onto `target`; both must be non-empty
  // (InvalidArgument otherwise).
  virtual Status StretchTransfer(const Rect& target, DrawContext& source, const Rect& sourceRect) = 0;

  // Bits per pixel of the device behind the context (32 for surfaces; 8 on a palette display).
  virtual int BitsPerPixel() const = 0;

  // --- Palette pictures. Puts an 8-bit picture of colour-table indices onto `target` (logical
  // coordinates, one picture pixel per target pixel, clipped): index i draws colors[i]; an index
  // at or beyond colorCount draws black. Row 0 is the top row; rows are `stride` bytes apart
  // (stride >= target width). Colour bytes only, as FillRect. This is how pictures reach an 8-bit
  // display in its own palette; contexts without it answer Unsupported.
  virtual Status TransferIndexed(const Rect& /*target*/, const uint8_t* /*indices*/, int32_t /*stride*/,
                                 const Color* /*colors*/, int32_t /*colorCount*/) {
    return Status::Unsupported;
  }
};

// A 32-bit pixel surface with a drawing context bound to it. Pixels are blue, green, red, alpha
// bytes; rows are stored bottom-up (the first row in memory is the bottom one) without padding.
// Created zero-filled by Backend::CreateSurface.
class Surface {
 public:
  virtual ~Surface() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual uint8_t* Bits() = 0;
  virtual const uint8_t* Bits() const = 0;
  // Row y counted from the top.
  uint8_t* Row(int32_t y) { return Bits() + size_t(Height() - 1 - y) * size_t(Width()) * 4; }
  virtual DrawContext& Context() = 0;
  // Completes drawing that the platform may still hold back, before the bits are read.
  virtual void Flush() = 0;
};

}  // namespace plat
