// Drawing through GDI: a context over a device context handle (a window's paint cycle, a memory
// context holding a DIB section, or a screen-compatible context for measuring), and the 32-bit
// DIB-section surfaces.
//
// Alpha: GDI fills and text write zero into the fourth byte of 32-bit pixels. Surfaces keep the
// contract of every backend (fills, frames and text leave alpha alone): a surface context saves
// the alpha bytes under each such operation and puts them back afterwards. A window context has
// no alpha to keep.
#pragma once

#include <vector>

#include "platform/DrawContext.h"
#include "platform/win32/Win32Api.h"

namespace plat::win32 {

class FontCache;

class GdiContext : public DrawContext {
 public:
  explicit GdiContext(FontCache& fonts) : fonts_(fonts) {}
  ~GdiContext() override { Unbind(); }
  GdiContext(const GdiContext&) = delete;
  GdiContext& operator=(const GdiContext&) = delete;

  // Binds the context to `dc` (not owned) and sets the defaults every context starts with:
  // origin 0, the default font, black text, transparent background. `alphaBits` is the top-down
  // a surface's pixels (bottom-up rows) whose alpha must be kept, or null for a window.
  void Bind(HDC dc, uint8_t* alphaBits = nullptr, int32_t width = 0, int32_t height = 0);
  // Restores what Bind changed in the device context and forgets it.
  void Unbind();
  HDC Dc() const { return dc_; }

  int Save() override;
  Status Restore(int depth) override;
  Point Origin() const override { return origin_; }
  void SetOrigin(Point origin) override;
  void IntersectClip(const Rect& rect) override;
  void ExcludeClip(const Rect& rect) override;
  Rect ClipBox() const override;
  bool RectVisible(const Rect& rect) const override;
  Status FillRect(const Rect& rect, Color color) override;
  Status FrameRect(const Rect& rect, Color color) override;
  Status SetFont(const FontSpec& font) override;
  const FontSpec& Font() const override { return font_; }
  Status GetFontMetrics(FontMetrics* out) override;
  void SetTextColor(Color color) override;
  void SetBackgroundOpaque(bool opaque, Color color) override;
  Status DrawText(std::string_view text, Rect* rect, uint32_t flags, int32_t* height) override;
  Status TextExtent(std::string_view text, Size* out) override;
  Status Transfer(const Rect& target, DrawContext& source, Point sourcePos) override;
  Status StretchTransfer(const Rect& target, DrawContext& source, const Rect& sourceRect) override;
  int BitsPerPixel() const override;
  // An 8-bit device-independent picture handed to GDI, which maps it to the display's palette.
  Status TransferIndexed(const Rect& target, const uint8_t* indices, int32_t stride, const Color* colors,
                         int32_t colorCount) override;

 private:
  struct Saved {
    int dcLevel;
    Point origin;
    FontSpec font;
  };
  // Keeps the alpha bytes of the pixels a GDI operation on `logical` may touch.
  class AlphaGuard;

  FontCache& fonts_;
  HDC dc_ = nullptr;
  int baseLevel_ = 0;  // SaveDC level taken at Bind, restored at Unbind
  Point origin_;
  FontSpec font_;
  std::vector<Saved> saved_;
  uint8_t* alphaBits_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

// One GDI font per distinct request, kept for the life of the backend so that repainting and
// reopening the editor create no new objects.
class FontCache {
 public:
  FontCache() = default;
  ~FontCache();
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  HFONT Get(const FontSpec& wanted);  // null when GDI refuses the font
  size_t Size() const { return fonts_.size(); }

 private:
  std::vector<std::pair<FontSpec, HFONT>> fonts_;
};

// A bottom-up 32-bit DIB section selected into a memory device context.
class DibSurface : public Surface {
 public:
  // Null `*out` with the reason when GDI refuses.
  static Status Create(FontCache& fonts, int32_t width, int32_t height, std::unique_ptr<Surface>* out);
  ~DibSurface() override;
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  uint8_t* Bits() override { return bits_; }
  const uint8_t* Bits() const override { return bits_; }
  DrawContext& Context() override { return context_; }
  void Flush() override { ::GdiFlush(); }

 private:
  explicit DibSurface(FontCache& fonts) : context_(fonts) {}
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint8_t* bits_ = nullptr;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  GdiContext context_;
};

// Text of the platform interface (UTF-8 where valid, Latin-1 otherwise) as UTF-16 for GDI.
std::wstring WidenText(std::string_view text);

}  // namespace plat::win32
