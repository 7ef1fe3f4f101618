// Picture files: the BMP reader and the file front end. Every read is bounds-checked and every
// allocation follows a check of the declared size against the file's real size and the limits.
#include "platform/Picture.h"

#include <cstring>
#include <fstream>
#include <limits>

#include "platform/PictureCodecs.h"

namespace plat {

namespace {

// Picture files beyond this are refused before they are read.
constexpr int64_t kMaxFileSize = int64_t{1} << 30;

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool SizeAllowed(int64_t w, int64_t h) {
  return w <= kMaxPixelDimension && h <= kMaxPixelDimension && w * h <= kMaxPixelCount;
}

// One channel of a bit-field pixel scaled to 8 bits (0 when the mask is empty).
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit Channel(uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    max = m >> shift;
  }
  uint8_t Get(uint32_t px) const { return max ? uint8_t(((px & mask) >> shift) * 255u / max) : 0; }
};

Status DecodeBmp(const uint8_t* data, size_t size, Picture* out) {
  if (size < 14 + 12) return Status::BadFormat;
  const uint32_t offBits = U32(data + 10);
  const uint32_t headerSize = U32(data + 14);
  if (headerSize < 12 || headerSize > size - 14) return Status::BadFormat;
  const uint8_t* h = data + 14;
  int64_t width, height;
  uint32_t bpp, compression = 0, colorsUsed = 0;
  size_t paletteEntry = 4;
  if (headerSize == 12) {  // the oldest header: 16-bit sizes, 3-byte palette entries
    width = U16(h + 4);
    height = U16(h + 6);
    bpp = U16(h + 10);
    paletteEntry = 3;
  } else if (headerSize >= 40) {
    width = int32_t(U32(h + 4));
    height = int32_t(U32(h + 8));
    bpp = U16(h + 14);
    compression = U32(h + 16);
    colorsUsed = U32(h + 32);
  } else {
    return Status::Unsupported;
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0) return Status::BadFormat;
  if (!SizeAllowed(width, height)) return Status::TooLarge;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return Status::Unsupported;
  if (compression != 0 && compression != 3 && compression != 6) return Status::Unsupported;  // run-length and others
  if (compression != 0 && bpp != 16 && bpp != 32) return Status::BadFormat;

  // Masks: inside a longer header, or right after the 40-byte one.
  uint32_t rMask = 0, gMask = 0, bMask = 0, aMask = 0;
  size_t afterHeader = 14 + headerSize;
  if (compression == 3 || compression == 6) {
    const size_t count = compression == 6 ? 4 : 3;
    const uint8_t* m = h + 40;
    if (headerSize < 40 + 4 * count) {
      if (afterHeader + 4 * count > size) return Status::BadFormat;
      m = data + afterHeader;
      afterHeader += 4 * count;
    }
    rMask = U32(m);
    gMask = U32(m + 4);
    bMask = U32(m + 8);
    if (count == 4 || headerSize >= 56) aMask = U32(m + 12);
  } else if (bpp == 16) {
    rMask = 0x7C00;
    gMask = 0x03E0;
    bMask = 0x001F;
  } else if (bpp == 32) {
    rMask = 0x00FF0000;
    gMask = 0x0000FF00;
    bMask = 0x000000FF;
    aMask = 0xFF000000;  // a 32-bit bitmap carries its alpha in the fourth byte
  }

  // Palette.
  uint8_t palette[256][3] = {};
  if (bpp <= 8) {
    const uint32_t maxColors = 1u << bpp;
    if (colorsUsed > 256) return Status::BadFormat;
    const uint32_t n = colorsUsed ? std::min(colorsUsed, maxColors) : maxColors;
    if (afterHeader + size_t(n) * paletteEntry > size) return Status::BadFormat;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = data + afterHeader + size_t(i) * paletteEntry;
      palette[i][0] = e[0];
      palette[i][1] = e[1];
      palette[i][2] = e[2];
    }
  }

  const uint64_t stride = ((uint64_t(width) * bpp + 31) / 32) * 4;
  if (offBits > size || stride * uint64_t(height) > size - offBits) return Status::BadFormat;

  Picture pic;
  pic.width = int32_t(width);
  pic.height = int32_t(height);
  pic.hasAlpha = bpp == 32;
  try {
    pic.pixels.assign(size_t(width) * size_t(height) * 4, 255);
  } catch (const std::bad_alloc&) {
    return Status::OutOfResources;
  }
  const Channel r(rMask), g(gMask), b(bMask), a(aMask);
  for (int64_t row = 0; row < height; ++row) {
    // File rows are bottom-up unless the height was negative; ours are always bottom-up.
    const int64_t fileRow = topDown ? height - 1 - row : row;
    const uint8_t* src = data + offBits + size_t(fileRow) * stride;
    uint8_t* dst = pic.pixels.data() + size_t(row) * size_t(width) * 4;
    for (int64_t x = 0; x < width; ++x, dst += 4) {
      switch (bpp) {
        case 1:
        case 4:
        case 8: {
          const uint64_t bit = uint64_t(x) * bpp;
          const uint32_t index = (src[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
          dst[0] = palette[index][0];
          dst[1] = palette[index][1];
          dst[2] = palette[index][2];
          break;
        }
        case 24: std::memcpy(dst, src + x * 3, 3); break;
        default: {
          const uint32_t px = bpp == 16 ? U16(src + x * 2) : U32(src + x * 4);
          dst[0] = b.Get(px);
          dst[1] = g.Get(px);
          dst[2] = r.Get(px);
          dst[3] = aMask ? a.Get(px) : 255;
        }
      }
    }
  }
  *out = std::move(pic);
  return Status::Ok;
}

Status ReadFile(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  if (!f) return Status::IoError;
  const std::streamoff size = f.tellg();
  if (size < 0) return Status::IoError;
  if (size > kMaxFileSize) return Status::TooLarge;
  f.seekg(0);
  try {
    out->resize(size_t(size));
  } catch (const std::bad_alloc&) {
    return Status::OutOfResources;
  }
  if (size > 0 && !f.read(reinterpret_cast<char*>(out->data()), size)) return Status::IoError;
  return Status::Ok;
}

}  // namespace

Status LoadPictureFromMemory(const uint8_t* data, size_t size, Picture* out) {
  if (!out || (!data && size)) return Status::InvalidArgument;
  *out = Picture{};
  if (detail::LooksLikePng(data, size)) return detail::DecodePng(data, size, out);
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size, out);
  return Status::BadFormat;
}

Status LoadPicture(const std::string& path, Picture* out) {
  if (!out) return Status::InvalidArgument;
  *out = Picture{};
  std::vector<uint8_t> bytes;
  if (Status s = ReadFile(path, &bytes); s != Status::Ok) return s;
  return LoadPictureFromMemory(bytes.data(), bytes.size(), out);
}

Status EncodePng(const uint8_t* pixels, int32_t width, int32_t height, bool keepAlpha, std::vector<uint8_t>* out) {
  if (!pixels || !out || width < 1 || height < 1) return Status::InvalidArgument;
  if (!SizeAllowed(width, height)) return Status::TooLarge;
  return detail::EncodePngPixels(pixels, width, height, keepAlpha, out);
}

Status SavePng(const std::string& path, const uint8_t* pixels, int32_t width, int32_t height, bool keepAlpha) {
  std::vector<uint8_t> bytes;
  if (Status s = EncodePng(pixels, width, height, keepAlpha, &bytes); s != Status::Ok) return s;
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return Status::IoError;
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  f.close();
  return f ? Status::Ok : Status::IoError;
}

}  // namespace plat
