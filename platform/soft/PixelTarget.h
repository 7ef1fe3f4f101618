// Where software drawing lands: 32-bit blue-green-red-alpha pixels in bottom-up rows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat::soft {

struct PixelTarget {
  uint8_t* bits = nullptr;
  int32_t width = 0;
  int32_t height = 0;

  bool Valid() const { return bits != nullptr && width > 0 && height > 0; }
  // Pixel (x, y) counted from the top-left corner; the caller keeps x and y in range.
  uint8_t* At(int32_t x, int32_t y) const { return bits + (size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4; }
};

}  // namespace plat::soft
