#include "platform/soft/TextRenderer.h"

#if KESTRUNE_HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

#include <cstddef>
#include <cstdint>

#if KESTRUNE_HAVE_FREETYPE
// The built-in faces, made from soft/font at build time.
namespace embedded {
extern const std::uint8_t DejaVuSansCondensedLatin1[];
extern const std::size_t DejaVuSansCondensedLatin1Size;
extern const std::uint8_t DejaVuSansCondensedBoldLatin1[];
extern const std::size_t DejaVuSansCondensedBoldLatin1Size;
}  // namespace embedded
#elif KESTRUNE_HAVE_GLYPH_ATLAS
// The built-in face's glyphs baked in the sizes the atlas holds (soft/font), made at build time.
namespace embedded {
extern const std::uint8_t BuiltInGlyphs[];
extern const std::size_t BuiltInGlyphsSize;
}  // namespace embedded
#endif

namespace plat::soft {

namespace {

// The project's text face: a condensed sans close to the classic 11-pixel dialog face in width,
// built into the library (a Latin-1 subset; see soft/font) so that no machine draws text with a
// different file. Code points outside Latin-1 draw the face's missing-glyph box.
struct BuiltInFace {
  const char* name;
  const std::uint8_t* data;
  std::size_t size;
};

#if KESTRUNE_HAVE_FREETYPE
BuiltInFace BuiltIn(bool bold);
#endif

[[maybe_unused]] constexpr int32_t kMaxFontHeight = 512;
[[maybe_unused]] constexpr size_t kMaxCachedGlyphs = 2048;

struct Item {
  uint32_t cp;
  bool underline;
};

bool IsBreakable(uint32_t cp) { return cp == ' ' || cp == '\t'; }

}  // namespace

std::vector<uint32_t> DecodeText(std::string_view text) {
  std::vector<uint32_t> out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const uint8_t b = s[i];
    size_t extra = (b >= 0xC2 && b < 0xE0) ? 1 : (b >= 0xE0 && b < 0xF0) ? 2 : (b >= 0xF0 && b < 0xF5) ? 3 : 0;
    if (extra > 0 && i + extra < n) {
      uint32_t cp = b & (0x3Fu >> extra);
      bool ok = true;
      for (size_t k = 1; ok && k <= extra; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
          ok = false;
        else
          cp = (cp << 6) | (s[i + k] & 0x3Fu);
      }
      // Overlong forms and surrogates are not UTF-8; their bytes are then Latin-1.
      if (ok && extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ok = false;
      if (ok && extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ok = false;
      if (ok) {
        out.push_back(cp);
        i += extra + 1;
        continue;
      }
    }
    out.push_back(b);
    ++i;
  }
  return out;
}

struct TextRenderer::Face {
  void* ft = nullptr;  // FT_Face; null for a baked face
  FontMetrics metrics;
  std::map<uint32_t, Glyph> glyphs;
  Glyph missing;  // a baked face's glyph for code points it does not map
  ~Face();
};

TextRenderer::TextRenderer(std::vector<BakedFace> faces) : baked_(true) {
  for (BakedFace& b : faces) {
    auto face = std::make_unique<Face>();
    face->metrics = b.metrics;
    face->glyphs = std::move(b.glyphs);
    face->missing = std::move(b.missing);
    faces_.emplace(std::make_tuple(b.bold, false, b.height), std::move(face));
  }
}

Status TextRenderer::Serves(const FontSpec& font) {
  Face* face = nullptr;
  return GetFace(font, &face);
}

Status TextRenderer::GetFace(const FontSpec& font, Face** out) {
  int32_t height = font.height < 0 ? -font.height : font.height;
  if (height == 0) height = 11;
  if (height > kMaxFontHeight) return Status::InvalidArgument;
  auto key = std::make_tuple(font.bold, font.italic, height);
  auto it = faces_.find(key);
  if (it != faces_.end()) {
    *out = it->second.get();
    return Status::Ok;
  }
  if (baked_) return Status::NotFound;
  return LoadFace(font, height, out);
}

const Glyph* TextRenderer::GetGlyph(Face& face, uint32_t codepoint) {
  auto it = face.glyphs.find(codepoint);
  if (it != face.glyphs.end()) return &it->second;
  if (!face.ft) return &face.missing;
  // Text from outside may name any code point: the cache starts over rather than grow for ever.
  // (Callers hold a glyph only until the next lookup.)
  if (face.glyphs.size() >= kMaxCachedGlyphs) face.glyphs.clear();
  return &face.glyphs.emplace(codepoint, LoadGlyph(face, codepoint)).first->second;
}

#if KESTRUNE_HAVE_FREETYPE
namespace {
BuiltInFace BuiltIn(bool bold) {
  if (bold)
    return {"DejaVuSansCondensed-Bold-Latin1.ttf (built in)", embedded::DejaVuSansCondensedBoldLatin1,
            embedded::DejaVuSansCondensedBoldLatin1Size};
  return {"DejaVuSansCondensed-Latin1.ttf (built in)", embedded::DejaVuSansCondensedLatin1,
          embedded::DejaVuSansCondensedLatin1Size};
}
}  // namespace

TextRenderer::Face::~Face() {
  if (ft) FT_Done_Face(static_cast<FT_Face>(ft));
}

TextRenderer& TextRenderer::Shared() {
  static TextRenderer renderer;
  return renderer;
}

TextRenderer::TextRenderer() {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) == 0) library_ = lib;
}

TextRenderer::~TextRenderer() {
  faces_.clear();
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

std::string TextRenderer::FontFile(bool bold) { return BuiltIn(bold).name; }

Status TextRenderer::LoadFace(const FontSpec& font, int32_t height, Face** out) {
  if (!library_) return Status::OutOfResources;
  const BuiltInFace built = BuiltIn(font.bold);
  auto face = std::make_unique<Face>();
  FT_Face f = nullptr;
  if (FT_New_Memory_Face(static_cast<FT_Library>(library_), built.data, FT_Long(built.size), 0, &f) != 0)
    return Status::NotFound;
  face->ft = f;
  if (FT_Set_Pixel_Sizes(f, 0, FT_UInt(height)) != 0) return Status::Unsupported;
  if (font.italic) {
    FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};  // slant of 0.2
    FT_Set_Transform(f, &shear, nullptr);
  }
  // Ascent and descent from the design values, rounded (not pushed outwards as the hinted size
  // metrics are): an 11-pixel face then has the 13-pixel line of the classic dialog face.
  const int64_t units = f->units_per_EM > 0 ? f->units_per_EM : 2048;
  face->metrics.ascent = int32_t((int64_t(f->ascender) * height + units / 2) / units);
  face->metrics.descent = int32_t((int64_t(-f->descender) * height + units / 2) / units);
  face->metrics.lineHeight = face->metrics.ascent + face->metrics.descent;
  Face* raw = face.get();
  faces_.emplace(std::make_tuple(font.bold, font.italic, height), std::move(face));
  const Glyph* x = GetGlyph(*raw, 'x');
  raw->metrics.averageWidth = x ? x->advance : height / 2;
  *out = raw;
  return Status::Ok;
}

Glyph TextRenderer::LoadGlyph(Face& face, uint32_t codepoint) {
  Glyph g;
  const FT_Face ft = static_cast<FT_Face>(face.ft);
  if (FT_Load_Char(ft, codepoint, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
    FT_GlyphSlot slot = ft->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.advance = int32_t((slot->advance.x + 32) >> 6);
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.buffer) {
      g.left = slot->bitmap_left;
      g.top = slot->bitmap_top;
      g.width = int32_t(bm.width);
      g.rows = int32_t(bm.rows);
      g.coverage.resize(size_t(g.width) * size_t(g.rows));
      for (int32_t y = 0; y < g.rows; ++y) {
        const unsigned char* src = bm.buffer + ptrdiff_t(y) * bm.pitch;
        std::copy(src, src + g.width, g.coverage.begin() + ptrdiff_t(y) * g.width);
      }
    }
  }
  return g;
}

Status TextRenderer::Bake(const std::vector<std::pair<bool, int32_t>>& sizes, std::vector<uint8_t>* out) {
  if (!out) return Status::InvalidArgument;
  if (baked_) return Status::Unsupported;
  // A code point no font maps: FreeType draws the face's missing glyph for it.
  constexpr uint32_t kUnmapped = 0x10FFFF;
  std::vector<BakedFace> faces;
  for (const auto& [bold, height] : sizes) {
    FontSpec font;
    font.bold = bold;
    font.height = height;
    Face* face = nullptr;
    if (Status s = GetFace(font, &face); s != Status::Ok) return s;
    const FT_Face ft = static_cast<FT_Face>(face->ft);
    if (FT_Get_Char_Index(ft, kUnmapped) != 0) return Status::Unsupported;
    BakedFace b;
    b.bold = bold;
    b.height = height;
    b.metrics = face->metrics;
    b.missing = *GetGlyph(*face, kUnmapped);
    FT_UInt index = 0;
    for (FT_ULong cp = FT_Get_First_Char(ft, &index); index != 0; cp = FT_Get_Next_Char(ft, cp, &index))
      b.glyphs.emplace(uint32_t(cp), *GetGlyph(*face, uint32_t(cp)));
    faces.push_back(std::move(b));
  }
  *out = WriteGlyphAtlas(faces);
  return Status::Ok;
}

#else
// Without FreeType the text is what was baked from the built-in face, where the build has it, and
// nothing else: other fonts answer NotFound.
TextRenderer::Face::~Face() = default;
#if KESTRUNE_HAVE_GLYPH_ATLAS
namespace {
std::vector<BakedFace> EmbeddedFaces() {
  std::vector<BakedFace> faces;
  ReadGlyphAtlas(embedded::BuiltInGlyphs, embedded::BuiltInGlyphsSize, &faces);
  return faces;
}
}  // namespace
TextRenderer& TextRenderer::Shared() {
  static TextRenderer renderer(EmbeddedFaces());
  return renderer;
}
std::string TextRenderer::FontFile(bool bold) {
  return bold ? "DejaVuSansCondensed-Bold-Latin1.ttf (built in, baked)"
              : "DejaVuSansCondensed-Latin1.ttf (built in, baked)";
}
#else
TextRenderer& TextRenderer::Shared() {
  static TextRenderer renderer;
  return renderer;
}
std::string TextRenderer::FontFile(bool) { return {}; }
#endif
TextRenderer::TextRenderer() = default;
TextRenderer::~TextRenderer() = default;
Status TextRenderer::LoadFace(const FontSpec&, int32_t, Face**) { return Status::NotFound; }
Glyph TextRenderer::LoadGlyph(Face&, uint32_t) { return {}; }
Status TextRenderer::Bake(const std::vector<std::pair<bool, int32_t>>&, std::vector<uint8_t>*) {
  return Status::Unsupported;
}
#endif

Status TextRenderer::Metrics(const FontSpec& font, FontMetrics* out) {
  if (!out) return Status::InvalidArgument;
  Face* face = nullptr;
  if (Status s = GetFace(font, &face); s != Status::Ok) return s;
  *out = face->metrics;
  return Status::Ok;
}

Status TextRenderer::Extent(const FontSpec& font, std::string_view text, Size* out) {
  if (!out) return Status::InvalidArgument;
  Face* face = nullptr;
  if (Status s = GetFace(font, &face); s != Status::Ok) return s;
  int32_t w = 0;
  for (uint32_t cp : DecodeText(text)) w += GetGlyph(*face, cp == '\t' ? ' ' : cp)->advance;
  *out = {w, face->metrics.lineHeight};
  return Status::Ok;
}

Status TextRenderer::Draw(const DrawRequest& request, Rect* rect, int32_t* height, const PixelTarget* target,
                          const Region* clip) {
  if (!rect || !request.font) return Status::InvalidArgument;
  Face* face = nullptr;
  if (Status s = GetFace(*request.font, &face); s != Status::Ok) return s;
  const uint32_t flags = request.flags;
  const bool singleLine = flags & kTextSingleLine;
  const bool wrap = (flags & kTextWordBreak) && !singleLine;
  const int32_t tabStop = std::max(1, 8 * face->metrics.averageWidth);

  // Prefix processing: "&x" underlines x, "&&" is one "&", a trailing "&" vanishes.
  std::vector<uint32_t> cps = DecodeText(request.text);
  std::vector<Item> items;
  items.reserve(cps.size());
  for (size_t i = 0; i < cps.size(); ++i) {
    if (cps[i] == '&' && !(flags & kTextNoPrefix)) {
      if (i + 1 >= cps.size()) break;
      ++i;
      items.push_back({cps[i], cps[i] != '&'});
      continue;
    }
    items.push_back({cps[i], false});
  }

  auto advance = [&](uint32_t cp, int32_t x) -> int32_t {
    if (cp == '\t') {
      if (flags & kTextExpandTabs) return (x / tabStop + 1) * tabStop - x;
      cp = ' ';
    }
    return GetGlyph(*face, cp)->advance;
  };

  // Logical lines.
  std::vector<std::vector<Item>> logical;
  if (!items.empty()) {
    logical.emplace_back();
    for (size_t i = 0; i < items.size(); ++i) {
      uint32_t cp = items[i].cp;
      if (cp == '\r' || cp == '\n') {
        if (singleLine) continue;
        if (cp == '\r' && i + 1 < items.size() && items[i + 1].cp == '\n') ++i;
        logical.emplace_back();
        continue;
      }
      logical.back().push_back(items[i]);
    }
    if (logical.size() > 1 && logical.back().empty()) logical.pop_back();  // a final line break adds no line
  }

  // Word breaking: greedy, between words; a word wider than the rectangle keeps a line of its own.
  std::vector<std::vector<Item>> lines;
  const int32_t maxWidth = rect->Width();
  for (auto& line : logical) {
    if (!wrap) {
      lines.push_back(std::move(line));
      continue;
    }
    std::vector<Item> current;
    int32_t x = 0;
    bool hasWord = false;
    size_t i = 0;
    while (i < line.size()) {
      size_t j = i;
      if (IsBreakable(line[i].cp)) {
        while (j < line.size() && IsBreakable(line[j].cp)) ++j;
        for (size_t k = i; k < j; ++k) {
          x += advance(line[k].cp, x);
          current.push_back(line[k]);
        }
      } else {
        while (j < line.size() && !IsBreakable(line[j].cp)) ++j;
        int32_t w = 0;
        for (size_t k = i; k < j; ++k) w += advance(line[k].cp, x + w);
        if (hasWord && x + w > maxWidth) {
          while (!current.empty() && IsBreakable(current.back().cp)) current.pop_back();
          lines.push_back(std::move(current));
          current.clear();
          x = 0;
          w = 0;
          for (size_t k = i; k < j; ++k) w += advance(line[k].cp, w);
        }
        for (size_t k = i; k < j; ++k) current.push_back(line[k]);
        x += w;
        hasWord = true;
      }
      i = j;
    }
    lines.push_back(std::move(current));
  }

  std::vector<int32_t> widths(lines.size(), 0);
  int32_t widest = 0;
  for (size_t l = 0; l < lines.size(); ++l) {
    int32_t x = 0;
    for (const Item& it : lines[l]) x += advance(it.cp, x);
    widths[l] = x;
    widest = std::max(widest, x);
  }
  const int32_t lineHeight = face->metrics.lineHeight;
  const int32_t total = int32_t(lines.size()) * lineHeight;
  if (height) *height = total;

  if (flags & kTextCalcRect) {
    rect->right = rect->left + widest;
    rect->bottom = rect->top + total;
    return Status::Ok;
  }
  if (!target || !target->Valid() || !clip) return Status::Ok;

  Region area = *clip;
  area.Intersect(Rect{0, 0, target->width, target->height});
  if (!(flags & kTextNoClip)) area.Intersect(*rect);
  if (area.IsEmpty()) return Status::Ok;

  const uint8_t cr = ColorRed(request.color), cg = ColorGreen(request.color), cb = ColorBlue(request.color);
  auto blend = [&](int32_t x, int32_t y, uint32_t a) {
    uint8_t* p = target->At(x, y);
    p[0] = uint8_t((cb * a + p[0] * (255 - a) + 127) / 255);
    p[1] = uint8_t((cg * a + p[1] * (255 - a) + 127) / 255);
    p[2] = uint8_t((cr * a + p[2] * (255 - a) + 127) / 255);
  };
  auto fill = [&](const Rect& r, Color c) {
    for (const Rect& a : area.Rects()) {
      Rect i;
      if (!Intersect(a, r, &i)) continue;
      for (int32_t y = i.top; y < i.bottom; ++y)
        for (int32_t x = i.left; x < i.right; ++x) {
          uint8_t* p = target->At(x, y);
          p[0] = ColorBlue(c);
          p[1] = ColorGreen(c);
          p[2] = ColorRed(c);
        }
    }
  };

  for (size_t l = 0; l < lines.size(); ++l) {
    int32_t top = rect->top + int32_t(l) * lineHeight;
    if (singleLine && (flags & kTextVCenter))
      top = rect->top + (rect->Height() - lineHeight) / 2;
    else if (singleLine && (flags & kTextBottom))
      top = rect->bottom - lineHeight;
    int32_t left = rect->left;
    if (flags & kTextCenter)
      left = rect->left + (rect->Width() - widths[l]) / 2;
    else if (flags & kTextRight)
      left = rect->right - widths[l];
    if (request.opaque) fill({left, top, left + widths[l], top + lineHeight}, request.background);
    const int32_t baseline = top + face->metrics.ascent;
    int32_t pen = left;
    for (const Item& it : lines[l]) {
      int32_t adv = advance(it.cp, pen - left);
      if (it.cp != '\t' && it.cp != ' ') {
        const Glyph* g = GetGlyph(*face, it.cp);
        Rect box = Rect::FromSize(pen + g->left, baseline - g->top, g->width, g->rows);
        for (const Rect& a : area.Rects()) {
          Rect i;
          if (!Intersect(a, box, &i)) continue;
          for (int32_t y = i.top; y < i.bottom; ++y)
            for (int32_t x = i.left; x < i.right; ++x) {
              uint32_t c = g->coverage[size_t(y - box.top) * size_t(g->width) + size_t(x - box.left)];
              if (c) blend(x, y, c);
            }
        }
      }
      if (it.underline || request.font->underline) fill({pen, baseline + 1, pen + adv, baseline + 2}, request.color);
      if (request.font->strikeOut) {
        int32_t y = baseline - face->metrics.ascent / 3;
        fill({pen, y, pen + adv, y + 1}, request.color);
      }
      pen += adv;
    }
  }
  return Status::Ok;
}

}  // namespace plat::soft
