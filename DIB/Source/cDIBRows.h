// The eight row routines of the image library: they put a block of rows from one 32-bit image onto
// another. Pixels are blue, green, red, alpha bytes; images are stored bottom-up, so the row below a
// visual row lies one image width *lower* in memory. Every routine walks Rows rows of Pixels pixels,
// starting at Source and Target, and steps each pointer back by its own image's width per row.
// The caller has clipped the block to both images; nothing here checks bounds.
#pragma once

#include <cstdint>

namespace DIBRows {

struct TRowBlock {
  const std::uint8_t* Source;  // first pixel of the top visual row of the block
  std::uint8_t* Target;
  int Rows;
  int Pixels;       // per row
  int SourceWidth;  // pixels per stored row of the source image
  int TargetWidth;
};

// d := s, all four bytes.
void Copy(const TRowBlock& block);
// Colour: (o*s + (255-o)*d + 255) >> 8; alpha: max(d, s).
void BlendOpacity(const TRowBlock& block, std::uint8_t opacity);
// As BlendOpacity with o taken from each source pixel's alpha.
void BlendMask(const TRowBlock& block);
// As BlendMask with o = (source alpha * opacity) >> 8; the alpha byte still takes max(d, unscaled s).
void BlendMaskOpacity(const TRowBlock& block, std::uint8_t opacity);
// Source pixels whose colour (low 24 bits) differs from key replace the target with alpha 0.
void CopyKeyed(const TRowBlock& block, std::uint32_t key);
// Source pixels whose colour differs from key blend with opacity; their alpha is copied.
void BlendKeyedOpacity(const TRowBlock& block, std::uint32_t key, std::uint8_t opacity);
// Only the alpha byte is copied.
void CopyAlpha(const TRowBlock& block);
// Every target byte takes the source alpha: the mask as a grey picture.
void MaskToGrey(const TRowBlock& block);

}  // namespace DIBRows
