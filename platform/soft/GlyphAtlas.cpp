#include "platform/soft/GlyphAtlas.h"

#include <cstring>

namespace plat::soft {

namespace {

constexpr char kMagic[4] = {'K', 'G', 'A', '1'};

void Put16(std::vector<uint8_t>& out, int32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(uint32_t(v) >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(v >> shift));
}

void PutGlyph(std::vector<uint8_t>& out, const Glyph& g) {
  for (int32_t v : {g.left, g.top, g.width, g.rows, g.advance}) Put16(out, v);
  out.insert(out.end(), g.coverage.begin(), g.coverage.end());
}

// Reads forward through the stored bytes; every read past the end leaves `ok` false.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool ok = true;
  bool AtEnd() const { return p_ == end_; }
  uint8_t U8() { return Take(1) ? p_[-1] : 0; }
  int32_t I16() { return Take(2) ? int16_t(uint16_t(p_[-2] | p_[-1] << 8)) : 0; }
  uint32_t U32() {
    if (!Take(4)) return 0;
    return uint32_t(p_[-4]) | uint32_t(p_[-3]) << 8 | uint32_t(p_[-2]) << 16 | uint32_t(p_[-1]) << 24;
  }
  bool Glyph(plat::soft::Glyph* g) {
    g->left = I16();
    g->top = I16();
    g->width = I16();
    g->rows = I16();
    g->advance = I16();
    if (!ok || g->width < 0 || g->rows < 0) return ok = false;
    const size_t n = size_t(g->width) * size_t(g->rows);
    if (size_t(end_ - p_) < n) return ok = false;
    g->coverage.assign(p_, p_ + n);
    p_ += n;
    return true;
  }

 private:
  bool Take(size_t n) {
    if (!ok || size_t(end_ - p_) < n) return ok = false;
    p_ += n;
    return true;
  }
  const uint8_t* p_;
  const uint8_t* end_;
};

}  // namespace

std::vector<uint8_t> WriteGlyphAtlas(const std::vector<BakedFace>& faces) {
  std::vector<uint8_t> out(kMagic, kMagic + 4);
  Put16(out, int32_t(faces.size()));
  for (const BakedFace& f : faces) {
    out.push_back(f.bold ? 1 : 0);
    for (int32_t v : {f.height, f.metrics.ascent, f.metrics.descent, f.metrics.averageWidth}) Put16(out, v);
    PutGlyph(out, f.missing);
    Put16(out, int32_t(f.glyphs.size()));
    for (const auto& [cp, g] : f.glyphs) {
      Put32(out, cp);
      PutGlyph(out, g);
    }
  }
  return out;
}

Status ReadGlyphAtlas(const uint8_t* data, size_t size, std::vector<BakedFace>* out) {
  if (!out || (!data && size)) return Status::InvalidArgument;
  out->clear();
  if (size < 4 || std::memcmp(data, kMagic, 4) != 0) return Status::BadFormat;
  Reader r(data + 4, size - 4);
  const int32_t faceCount = uint16_t(r.I16());
  std::vector<BakedFace> faces(size_t(r.ok ? faceCount : 0));
  for (BakedFace& f : faces) {
    f.bold = r.U8() != 0;
    f.height = r.I16();
    f.metrics.ascent = r.I16();
    f.metrics.descent = r.I16();
    f.metrics.lineHeight = f.metrics.ascent + f.metrics.descent;
    f.metrics.averageWidth = r.I16();
    if (!r.Glyph(&f.missing)) return Status::BadFormat;
    const int32_t count = uint16_t(r.I16());
    for (int32_t i = 0; r.ok && i < count; ++i) {
      const uint32_t cp = r.U32();
      Glyph g;
      if (!r.Glyph(&g)) return Status::BadFormat;
      f.glyphs.emplace(cp, std::move(g));
    }
    if (!r.ok || f.height <= 0) return Status::BadFormat;
  }
  if (!r.ok || !r.AtEnd()) return Status::BadFormat;
  *out = std::move(faces);
  return Status::Ok;
}

}  // namespace plat::soft
