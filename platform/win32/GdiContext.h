// Drawing through GDI: a context over a device context handle (a window's paint cycle, a memory
// context holding a DIB section, or a screen-compatible context for measuring), and the 32-bit
// DIB-section surfaces.
//
// Fonts: a face the description asks for that the system lacks (Tahoma, MS Sans Serif on a bare
// system) is replaced by GDI with another face, often a wider one, and captions laid out for the
// asked face are clipped. Text in such a font is measured and drawn with the built-in face instead,
// as the headless backend draws it, so that the window looks as designed wherever it runs.
//
// Alpha: GDI fills and text write zero into the fourth byte of 32-bit pixels. Surfaces keep the
// contract of every backend (fills, frames and text leave alpha alone): a surface context saves
// the alpha bytes under each such operation and puts them back afterwards. A window context has
// no alpha to keep.
#pragma once

#include <vector>

#include "platform/DrawContext.h"
#include "platform/Region.h"
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
    bool builtIn;
  };
  // Keeps the alpha bytes of the pixels a GDI operation on `logical` may touch.
  class AlphaGuard;

  // DrawText with the built-in face: straight into a surface's pixels, through a DIB section and
  // back for a window.
  Status DrawBuiltIn(std::string_view text, Rect* rect, uint32_t flags, int32_t* height);
  // The surface's pixels that the device context's clip region lets through.
  Region SurfaceClip() const;

  FontCache& fonts_;
  HDC dc_ = nullptr;
  int baseLevel_ = 0;  // SaveDC level taken at Bind, restored at Unbind
  Point origin_;
  FontSpec font_;
  bool builtIn_ = false;  // font_ is drawn with the built-in face, not through GDI
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
  // Null when GDI refuses the font. `substituted` (may be null) tells whether GDI chose another
  // face than the one named: the face a device context selects with it has another name (letter
  // case aside). A font that names no face gets the system's choice and is never substituted.
  HFONT Get(const FontSpec& wanted, bool* substituted = nullptr);
  size_t Size() const { return fonts_.size(); }

 private:
  struct Entry {
    FontSpec request;
    HFONT font;
    bool substituted;
  };
  std::vector<Entry> fonts_;
};

// A 32-bit DIB section of bottom-up rows selected into a new memory context, released with it;
// Create answers false (nothing kept) when GDI refuses.
struct Dib32 {
  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  uint8_t* bits = nullptr;
  Dib32() = default;
  ~Dib32() { Release(); }
  Dib32(const Dib32&) = delete;
  Dib32& operator=(const Dib32&) = delete;
  bool Create(int32_t width, int32_t height);
  void Release();
};

// A bottom-up 32-bit DIB section selected into a memory device context.
class DibSurface : public Surface {
 public:
  // Null `*out` with the reason when GDI refuses.
  static Status Create(FontCache& fonts, int32_t width, int32_t height, std::unique_ptr<Surface>* out);
  ~DibSurface() override;
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  uint8_t* Bits() override { return dib_.bits; }
  const uint8_t* Bits() const override { return dib_.bits; }
  DrawContext& Context() override { return context_; }
  void Flush() override { ::GdiFlush(); }

 private:
  explicit DibSurface(FontCache& fonts) : context_(fonts) {}
  int32_t width_ = 0;
  int32_t height_ = 0;
  Dib32 dib_;
  GdiContext context_;
};

// Text of the platform interface (UTF-8 where valid, Latin-1 otherwise) as UTF-16 for GDI.
std::wstring WidenText(std::string_view text);

}  // namespace plat::win32
