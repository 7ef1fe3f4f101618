// Picture files: PNG and BMP into 32-bit pixels, 32-bit pixels out as PNG. Independent of the
// backend. Every reader survives hostile files: a truncated or malformed file answers BadFormat,
// a declared size beyond kMaxPixelDimension / kMaxPixelCount answers TooLarge before anything
// is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace plat {

// Pixels in the surface layout: blue, green, red, alpha; rows bottom-up, no padding.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  // True when the file carried its own alpha (a 32-bit bitmap, a PNG with an alpha channel or a
  // transparency chunk); otherwise every alpha byte is 255.
  bool hasAlpha = false;
  std::vector<uint8_t> pixels;
};

// Accepts PNG (any bit depth and colour type) and uncompressed or bit-field BMP of 1, 4, 8, 16,
// 24 and 32 bits; run-length-coded BMP answers Unsupported. On failure `*out` is left empty.
Status LoadPicture(const std::string& path, Picture* out);
Status LoadPictureFromMemory(const uint8_t* data, size_t size, Picture* out);

// Writes `pixels` (surface layout, `width` x `height`) as an 8-bit RGBA PNG, or RGB when
// `keepAlpha` is false (for screenshots, whose alpha bytes mean nothing).
Status SavePng(const std::string& path, const uint8_t* pixels, int32_t width, int32_t height, bool keepAlpha);
Status EncodePng(const uint8_t* pixels, int32_t width, int32_t height, bool keepAlpha, std::vector<uint8_t>* out);

}  // namespace plat
