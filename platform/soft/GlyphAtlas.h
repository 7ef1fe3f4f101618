// The built-in face's glyphs as drawn by FreeType, stored ready-made: builds without FreeType (the
// Windows ones) draw the same pixels from them as the headless backend draws from the face itself.
//
// Stored form (little-endian): "KGA1", u16 face count; per face u8 bold, i16 height, i16 ascent,
// descent, average width, the missing glyph, u16 glyph count, per glyph u32 code point and the
// glyph. A glyph is i16 left, top, width, rows, advance, then width x rows coverage bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/DrawContext.h"

namespace plat::soft {

// One glyph: coverage (0..255) in `rows` rows of `width`, placed `left` right of the pen and `top`
// above the baseline.
struct Glyph {
  int32_t left = 0, top = 0, width = 0, rows = 0, advance = 0;
  std::vector<uint8_t> coverage;
  friend bool operator==(const Glyph&, const Glyph&) = default;
};

// One size of one weight.
struct BakedFace {
  bool bold = false;
  int32_t height = 0;
  FontMetrics metrics;
  std::map<uint32_t, Glyph> glyphs;  // every code point the face maps
  Glyph missing;                     // what every other code point draws
};

std::vector<uint8_t> WriteGlyphAtlas(const std::vector<BakedFace>& faces);
// BadFormat when `data` is not a whole, well-formed atlas.
Status ReadGlyphAtlas(const uint8_t* data, size_t size, std::vector<BakedFace>* out);

}  // namespace plat::soft
