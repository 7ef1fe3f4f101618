#include "platform/win32/GdiContext.h"

#include <algorithm>

#include "platform/soft/TextRenderer.h"

namespace plat::win32 {

namespace {

RECT ToRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Face names compare without regard to letter case, as GDI matches them.
bool SameFaceName(const char* a, const char* b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  for (; *a && *b; ++a, ++b)
    if (lower(*a) != lower(*b)) return false;
  return *a == *b;
}

bool FaceSubstituted(HFONT font, const char* asked) {
  if (!*asked) return false;
  HDC dc = ::CreateCompatibleDC(nullptr);
  if (!dc) return false;
  const HGDIOBJ old = ::SelectObject(dc, font);
  char face[LF_FACESIZE] = {};
  const int n = ::GetTextFaceA(dc, LF_FACESIZE, face);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return n > 0 && !SameFaceName(face, asked);
}

// The layout flags the interface defines; anything else (such as asking GDI to write into the
// text) is dropped before it reaches DrawTextW.
constexpr uint32_t kKnownTextFlags = kTextCenter | kTextRight | kTextVCenter | kTextBottom | kTextWordBreak |
                                     kTextSingleLine | kTextExpandTabs | kTextNoClip | kTextCalcRect | kTextNoPrefix |
                                     kTextRtlReading;

}  // namespace

std::wstring WidenText(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (uint32_t cp : soft::DecodeText(text)) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(wchar_t(0xD800 + (cp >> 10)));
      out.push_back(wchar_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(wchar_t(cp));
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
class GdiContext::AlphaGuard {
 public:
  // `logical`: the area the operation may write; null for everything the clip allows.
  AlphaGuard(GdiContext& c, const Rect* logical) : c_(c) {
    if (!c.alphaBits_) return;
    Rect area = c.ClipBox();
    if (logical && !Intersect(area, *logical, &area)) return;
    area = area.Offset(c.origin_.x, c.origin_.y);
    if (!Intersect(area, Rect{0, 0, c.width_, c.height_}, &area_)) return;
    ::GdiFlush();
    saved_.resize(size_t(area_.Width()) * size_t(area_.Height()));
    size_t k = 0;
    for (int32_t y = area_.top; y < area_.bottom; ++y)
      for (int32_t x = area_.left; x < area_.right; ++x) saved_[k++] = *Alpha(x, y);
  }
  ~AlphaGuard() {
    if (saved_.empty()) return;
    ::GdiFlush();
    size_t k = 0;
    for (int32_t y = area_.top; y < area_.bottom; ++y)
      for (int32_t x = area_.left; x < area_.right; ++x) *Alpha(x, y) = saved_[k++];
  }
  AlphaGuard(const AlphaGuard&) = delete;
  AlphaGuard& operator=(const AlphaGuard&) = delete;

 private:
  uint8_t* Alpha(int32_t x, int32_t y) const {
    return c_.alphaBits_ + (size_t(c_.height_ - 1 - y) * size_t(c_.width_) + size_t(x)) * 4 + 3;
  }
  GdiContext& c_;
  Rect area_;
  std::vector<uint8_t> saved_;
};

// ---------------------------------------------------------------------------------------------
void GdiContext::Bind(HDC dc, uint8_t* alphaBits, int32_t width, int32_t height) {
  Unbind();
  dc_ = dc;
  alphaBits_ = alphaBits;
  width_ = width;
  height_ = height;
  baseLevel_ = ::SaveDC(dc);
  origin_ = {};
  ::SetViewportOrgEx(dc, 0, 0, nullptr);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, 0);
  ::SetBkColor(dc, 0xFFFFFF);
  ::SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  SetFont(FontSpec{});
}

void GdiContext::Unbind() {
  if (!dc_) return;
  if (baseLevel_ > 0) ::RestoreDC(dc_, baseLevel_);
  dc_ = nullptr;
  alphaBits_ = nullptr;
  baseLevel_ = 0;
  saved_.clear();
}

int GdiContext::Save() {
  const int level = dc_ ? ::SaveDC(dc_) : 0;
  saved_.push_back({level, origin_, font_, builtIn_});
  return int(saved_.size());
}

Status GdiContext::Restore(int depth) {
  if (depth < 0) depth = int(saved_.size()) + 1 + depth;  // -1: the last saved state
  if (depth < 1 || size_t(depth) > saved_.size()) return Status::InvalidArgument;
  const Saved s = saved_[size_t(depth) - 1];
  saved_.resize(size_t(depth) - 1);
  if (dc_ && s.dcLevel > 0) ::RestoreDC(dc_, s.dcLevel);
  origin_ = s.origin;
  font_ = s.font;
  builtIn_ = s.builtIn;
  return Status::Ok;
}

void GdiContext::SetOrigin(Point origin) {
  origin_ = origin;
  if (dc_) ::SetViewportOrgEx(dc_, origin.x, origin.y, nullptr);
}

void GdiContext::IntersectClip(const Rect& rect) {
  if (!dc_) return;
  if (rect.IsEmpty()) {
    ::IntersectClipRect(dc_, 0, 0, 0, 0);
    return;
  }
  ::IntersectClipRect(dc_, rect.left, rect.top, rect.right, rect.bottom);
}

void GdiContext::ExcludeClip(const Rect& rect) {
  if (dc_ && !rect.IsEmpty()) ::ExcludeClipRect(dc_, rect.left, rect.top, rect.right, rect.bottom);
}

Rect GdiContext::ClipBox() const {
  if (!dc_) return {};
  RECT r{};
  const int kind = ::GetClipBox(dc_, &r);
  if (kind == NULLREGION || kind == ERROR) return {};
  const Rect out{r.left, r.top, r.right, r.bottom};
  return out.IsEmpty() ? Rect{} : out;
}

bool GdiContext::RectVisible(const Rect& rect) const {
  if (!dc_ || rect.IsEmpty()) return false;
  const RECT r = ToRect(rect);
  return ::RectVisible(dc_, &r) != FALSE;
}

Status GdiContext::FillRect(const Rect& rect, Color color) {
  if (!dc_ || rect.IsEmpty()) return Status::Ok;
  AlphaGuard keep(*this, &rect);
  const RECT r = ToRect(rect);
  ::SetDCBrushColor(dc_, color & 0xFFFFFF);
  ::FillRect(dc_, &r, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
  return Status::Ok;
}

Status GdiContext::FrameRect(const Rect& rect, Color color) {
  if (!dc_ || rect.IsEmpty()) return Status::Ok;
  AlphaGuard keep(*this, &rect);
  const RECT r = ToRect(rect);
  ::SetDCBrushColor(dc_, color & 0xFFFFFF);
  ::FrameRect(dc_, &r, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
  return Status::Ok;
}

Status GdiContext::SetFont(const FontSpec& font) {
  font_ = font;
  bool substituted = false;
  HFONT f = fonts_.Get(font, &substituted);
  builtIn_ = substituted && soft::TextRenderer::Shared().Serves(font) == Status::Ok;
  if (!f) return Status::OutOfResources;
  if (dc_) ::SelectObject(dc_, f);
  return Status::Ok;
}

Status GdiContext::GetFontMetrics(FontMetrics* out) {
  if (!out) return Status::InvalidArgument;
  if (!dc_) return Status::Unsupported;
  if (builtIn_) return soft::TextRenderer::Shared().Metrics(font_, out);
  TEXTMETRICW tm{};
  if (!::GetTextMetricsW(dc_, &tm)) return Status::OutOfResources;
  out->ascent = tm.tmAscent;
  out->descent = tm.tmDescent;
  out->lineHeight = tm.tmAscent + tm.tmDescent;
  out->averageWidth = tm.tmAveCharWidth;
  return Status::Ok;
}

void GdiContext::SetTextColor(Color color) {
  if (dc_) ::SetTextColor(dc_, color & 0xFFFFFF);
}

void GdiContext::SetBackgroundOpaque(bool opaque, Color color) {
  if (!dc_) return;
  ::SetBkMode(dc_, opaque ? OPAQUE : TRANSPARENT);
  ::SetBkColor(dc_, color & 0xFFFFFF);
}

Status GdiContext::DrawText(std::string_view text, Rect* rect, uint32_t flags, int32_t* height) {
  if (!rect) return Status::InvalidArgument;
  if (!dc_) return Status::Unsupported;
  if (builtIn_) return DrawBuiltIn(text, rect, flags & kKnownTextFlags, height);
  const std::wstring wide = WidenText(text);
  RECT r = ToRect(*rect);
  flags &= kKnownTextFlags;
  int h = 0;
  {
    const bool draws = !(flags & kTextCalcRect);
    AlphaGuard keep(*this, draws && !(flags & kTextNoClip) ? rect : nullptr);
    h = ::DrawTextW(dc_, wide.c_str(), int(wide.size()), &r, flags);
  }
  if (flags & kTextCalcRect) {
    rect->right = r.right;
    rect->bottom = r.bottom;
  }
  if (height) *height = h;
  return Status::Ok;
}

Status GdiContext::TextExtent(std::string_view text, Size* out) {
  if (!out) return Status::InvalidArgument;
  if (!dc_) return Status::Unsupported;
  if (builtIn_) return soft::TextRenderer::Shared().Extent(font_, text, out);
  const std::wstring wide = WidenText(text);
  SIZE s{};
  if (!::GetTextExtentPoint32W(dc_, wide.c_str(), int(wide.size()), &s)) return Status::OutOfResources;
  *out = {s.cx, s.cy};
  return Status::Ok;
}

Status GdiContext::DrawBuiltIn(std::string_view text, Rect* rect, uint32_t flags, int32_t* height) {
  soft::TextRenderer& renderer = soft::TextRenderer::Shared();
  soft::TextRenderer::DrawRequest request;
  request.font = &font_;
  request.text = text;
  request.flags = flags;
  request.color = Color(::GetTextColor(dc_) & 0xFFFFFF);
  request.opaque = ::GetBkMode(dc_) == OPAQUE;
  request.background = Color(::GetBkColor(dc_) & 0xFFFFFF);
  // The renderer lays out in device coordinates.
  Rect device = rect->Offset(origin_.x, origin_.y);
  if (flags & kTextCalcRect) {
    const Status s = renderer.Draw(request, &device, height, nullptr, nullptr);
    if (s == Status::Ok) *rect = device.Offset(-origin_.x, -origin_.y);
    return s;
  }
  if (alphaBits_) {
    ::GdiFlush();
    const soft::PixelTarget target{alphaBits_, width_, height_};
    const Region clip = SurfaceClip();
    return renderer.Draw(request, &device, height, &target, &clip);
  }
  // A window: the pixels the text may touch are copied out, drawn on and copied back, clipped by
  // GDI on the way back as any other drawing.
  Rect area = ClipBox();
  if (!(flags & kTextNoClip) && !Intersect(area, *rect, &area)) area = {};
  if (area.IsEmpty()) return renderer.Draw(request, &device, height, nullptr, nullptr);
  Dib32 dib;  // released on every way out: the layout allocates and may throw
  if (!dib.Create(area.Width(), area.Height())) return Status::OutOfResources;
  ::BitBlt(dib.dc, 0, 0, area.Width(), area.Height(), dc_, area.left, area.top, SRCCOPY);
  ::GdiFlush();
  const soft::PixelTarget target{dib.bits, area.Width(), area.Height()};
  const Region clip(Rect{0, 0, area.Width(), area.Height()});
  Rect local = rect->Offset(-area.left, -area.top);
  const Status s = renderer.Draw(request, &local, height, &target, &clip);
  ::BitBlt(dc_, area.left, area.top, area.Width(), area.Height(), dib.dc, 0, 0, SRCCOPY);
  return s;
}

Region GdiContext::SurfaceClip() const {
  Region out(Rect{0, 0, width_, height_});
  HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
  if (!rgn) return {};
  // 1: a clip region (in device coordinates), 0: none, -1: failure.
  const int kind = ::GetClipRgn(dc_, rgn);
  if (kind == 1) {
    const DWORD size = ::GetRegionData(rgn, 0, nullptr);
    std::vector<uint8_t> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (size >= sizeof(RGNDATAHEADER) && ::GetRegionData(rgn, size, data) == size) {
      const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
      std::vector<Rect> parts;
      for (DWORD i = 0; i < data->rdh.nCount; ++i)
        parts.push_back({rects[i].left, rects[i].top, rects[i].right, rects[i].bottom});
      out.Intersect(Region::FromRects(parts.data(), parts.size()));
    } else {
      out.Clear();
    }
  } else if (kind != 0) {
    out.Clear();
  }
  ::DeleteObject(rgn);
  return out;
}

Status GdiContext::Transfer(const Rect& target, DrawContext& source, Point sourcePos) {
  auto* src = dynamic_cast<GdiContext*>(&source);
  if (!src) return Status::Unsupported;
  if (!dc_ || !src->dc_ || target.IsEmpty()) return Status::Ok;
  ::BitBlt(dc_, target.left, target.top, target.Width(), target.Height(), src->dc_, sourcePos.x, sourcePos.y, SRCCOPY);
  return Status::Ok;
}

Status GdiContext::StretchTransfer(const Rect& target, DrawContext& source, const Rect& sourceRect) {
  auto* src = dynamic_cast<GdiContext*>(&source);
  if (!src) return Status::Unsupported;
  if (target.IsEmpty() || sourceRect.IsEmpty()) return Status::InvalidArgument;
  if (!dc_ || !src->dc_) return Status::Ok;
  ::SetStretchBltMode(dc_, COLORONCOLOR);
  ::StretchBlt(dc_, target.left, target.top, target.Width(), target.Height(), src->dc_, sourceRect.left, sourceRect.top,
               sourceRect.Width(), sourceRect.Height(), SRCCOPY);
  return Status::Ok;
}

Status GdiContext::TransferIndexed(const Rect& target, const uint8_t* indices, int32_t stride, const Color* colors,
                                   int32_t colorCount) {
  if (target.IsEmpty()) return Status::Ok;
  if (!indices || stride < target.Width() || colorCount < 0 || (colorCount > 0 && !colors))
    return Status::InvalidArgument;
  if (!dc_) return Status::Ok;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD table[256];
  } info{};
  const int32_t w = target.Width(), h = target.Height();
  info.header = {sizeof(BITMAPINFOHEADER), w, -h, 1, 8, BI_RGB, 0, 0, 0, 256, 0};  // top-down rows
  for (int32_t i = 0; i < std::min(colorCount, 256); ++i)
    info.table[i] = {ColorBlue(colors[i]), ColorGreen(colors[i]), ColorRed(colors[i]), 0};
  // GDI wants rows of whole 32-bit words.
  const size_t rowBytes = (size_t(w) + 3) & ~size_t(3);
  std::vector<uint8_t> rows(rowBytes * size_t(h));
  for (int32_t y = 0; y < h; ++y)
    std::copy_n(indices + size_t(y) * size_t(stride), size_t(w), rows.data() + size_t(y) * rowBytes);
  AlphaGuard keep(*this, &target);
  ::SetDIBitsToDevice(dc_, target.left, target.top, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), rows.data(),
                      reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  return Status::Ok;
}

int GdiContext::BitsPerPixel() const {
  if (alphaBits_ || !dc_) return 32;
  return ::GetDeviceCaps(dc_, BITSPIXEL);
}

// ---------------------------------------------------------------------------------------------
FontCache::~FontCache() {
  for (Entry& e : fonts_) ::DeleteObject(e.font);
}

HFONT FontCache::Get(const FontSpec& wanted, bool* substituted) {
  if (substituted) *substituted = false;
  for (const Entry& e : fonts_)
    if (e.request == wanted) {
      if (substituted) *substituted = e.substituted;
      return e.font;
    }
  LOGFONTA lf{};
  lf.lfHeight = -std::clamp(wanted.height, 1, 4096);  // negative: the character (em) height
  lf.lfWeight = wanted.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = wanted.italic;
  lf.lfUnderline = wanted.underline;
  lf.lfStrikeOut = wanted.strikeOut;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  const size_t n = std::min(wanted.name.size(), size_t(LF_FACESIZE - 1));
  std::copy_n(wanted.name.data(), n, lf.lfFaceName);
  HFONT f = ::CreateFontIndirectA(&lf);
  if (!f) return nullptr;
  const bool other = FaceSubstituted(f, lf.lfFaceName);
  fonts_.push_back({wanted, f, other});
  if (substituted) *substituted = other;
  return f;
}

// ---------------------------------------------------------------------------------------------
bool Dib32::Create(int32_t width, int32_t height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: bottom-up rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap && pixels) dc = ::CreateCompatibleDC(nullptr);
  if (!dc) {
    Release();
    return false;
  }
  oldBitmap = ::SelectObject(dc, bitmap);
  bits = static_cast<uint8_t*>(pixels);
  return true;
}

void Dib32::Release() {
  if (dc) {
    if (oldBitmap) ::SelectObject(dc, oldBitmap);
    ::DeleteDC(dc);
  }
  if (bitmap) ::DeleteObject(bitmap);
  bitmap = nullptr;
  dc = nullptr;
  oldBitmap = nullptr;
  bits = nullptr;
}

// ---------------------------------------------------------------------------------------------
Status DibSurface::Create(FontCache& fonts, int32_t width, int32_t height, std::unique_ptr<Surface>* out) {
  if (!out) return Status::InvalidArgument;
  out->reset();
  if (width < 1 || height < 1) return Status::InvalidArgument;
  if (width > kMaxPixelDimension || height > kMaxPixelDimension || int64_t(width) * height > kMaxPixelCount)
    return Status::TooLarge;
  std::unique_ptr<DibSurface> s(new DibSurface(fonts));
  if (!s->dib_.Create(width, height)) return Status::OutOfResources;
  s->width_ = width;
  s->height_ = height;
  s->context_.Bind(s->dib_.dc, s->dib_.bits, width, height);
  *out = std::move(s);
  return Status::Ok;
}

DibSurface::~DibSurface() {
  context_.Unbind();  // before the DIB section goes with dib_
}

}  // namespace plat::win32
