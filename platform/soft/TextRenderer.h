// Text layout and glyph drawing with FreeType, shared by the software drawing contexts. Lays text
// out the way the classic text-drawing call does (lines, word breaks, tab stops, "&" prefixes,
// alignment) so that callers written against it measure the same way.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/DrawContext.h"
#include "platform/Region.h"
#include "platform/soft/GlyphAtlas.h"
#include "platform/soft/PixelTarget.h"

namespace plat::soft {

class TextRenderer {
 public:
  // The process-wide renderer (user-interface thread only): the built-in face through FreeType, or
  // in builds without FreeType the glyphs baked from it (GlyphAtlas.h).
  static TextRenderer& Shared();
  // A renderer that draws only the baked sizes given; every other font answers NotFound.
  explicit TextRenderer(std::vector<BakedFace> faces);
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  // Ok when text in `font` has glyphs here; measuring and drawing it then succeed.
  Status Serves(const FontSpec& font);
  // The built-in face in the given (bold, em height) sizes as FreeType draws it, in stored form.
  // Unsupported without FreeType or on a baked renderer.
  Status Bake(const std::vector<std::pair<bool, int32_t>>& sizes, std::vector<uint8_t>* out);

  Status Metrics(const FontSpec& font, FontMetrics* out);
  Status Extent(const FontSpec& font, std::string_view text, Size* out);

  struct DrawRequest {
    const FontSpec* font = nullptr;
    std::string_view text;
    uint32_t flags = 0;
    Color color = 0;
    bool opaque = false;  // fill each line's box with `background` first
    Color background = 0;
  };
  // Lays the text out in `*rect` (device coordinates). When `target` is valid and the
  // calculate flag is not set, draws it there, clipped to `clip` (device coordinates).
  Status Draw(const DrawRequest& request, Rect* rect, int32_t* height, const PixelTarget* target, const Region* clip);

  // The built-in face drawn for regular or bold text ("" without FreeType).
  static std::string FontFile(bool bold);

 private:
  TextRenderer();
  struct Face;
  Status GetFace(const FontSpec& font, Face** out);
  const Glyph* GetGlyph(Face& face, uint32_t codepoint);
  // FreeType's face in one size, and one glyph of it (NotFound and nothing without FreeType).
  Status LoadFace(const FontSpec& font, int32_t height, Face** out);
  Glyph LoadGlyph(Face& face, uint32_t codepoint);

  void* library_ = nullptr;  // FT_Library, kept opaque so FreeType's headers stay in the source
  bool baked_ = false;       // faces_ holds every face there is
  std::map<std::tuple<bool, bool, int32_t>, std::unique_ptr<Face>> faces_;
};

// Decodes 8-bit text: valid UTF-8 sequences as UTF-8, every other byte as Latin-1.
std::vector<uint32_t> DecodeText(std::string_view text);

}  // namespace plat::soft
