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
#include <vector>

#include "platform/DrawContext.h"
#include "platform/Region.h"
#include "platform/soft/PixelTarget.h"

namespace plat::soft {

class TextRenderer {
 public:
  // The process-wide renderer (user-interface thread only).
  static TextRenderer& Shared();
  ~TextRenderer();

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
  struct Glyph {
    int32_t left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> coverage;
  };
  struct Face;
  Status GetFace(const FontSpec& font, Face** out);
  const Glyph* GetGlyph(Face& face, uint32_t codepoint);

  void* library_ = nullptr;  // FT_Library, kept opaque so FreeType's headers stay in the source
  std::map<std::tuple<bool, bool, int32_t>, std::unique_ptr<Face>> faces_;
};

// Decodes 8-bit text: valid UTF-8 sequences as UTF-8, every other byte as Latin-1.
std::vector<uint32_t> DecodeText(std::string_view text);

}  // namespace plat::soft
