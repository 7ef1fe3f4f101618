// PNG through libpng. libpng reports errors by longjmp: the functions that set the jump point
// hold no objects with destructors of their own; the pixel buffers live in the callers' frames.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/PictureCodecs.h"

namespace plat::detail {

namespace {

struct ReadCursor {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* c = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (count > c->size - c->pos) png_error(png, "truncated");
  std::memcpy(out, c->data + c->pos, count);
  c->pos += count;
}

void WriteToVector(png_structp png, png_bytep in, png_size_t count) {
  auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  try {
    v->insert(v->end(), in, in + count);
  } catch (...) {
    png_error(png, "out of memory");
  }
}

void FlushNothing(png_structp) {}

// Silences libpng's messages (they would go to standard error); errors still jump back.
void IgnoreWarning(png_structp, png_const_charp) {}
[[noreturn]] void JumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

struct DecodeState {
  Picture* pic = nullptr;
  std::vector<png_bytep> rows;
  Status status = Status::BadFormat;
};

// Reads the header, then (back in the caller) pixels; answers false after a libpng error.
bool DecodeInto(png_structp png, png_infop info, ReadCursor* cursor, DecodeState* state) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, cursor, ReadFromMemory);
  png_set_user_limits(png, kMaxPixelDimension, kMaxPixelDimension);
  png_read_info(png, info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &colorType, &interlace, nullptr, nullptr);
  if (uint64_t(w) * h > uint64_t(kMaxPixelCount)) {
    state->status = Status::TooLarge;
    return false;
  }
  state->pic->hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  // Everything becomes 8-bit blue, green, red, alpha.
  if (depth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(w) * 4) return false;
  state->pic->width = int32_t(w);
  state->pic->height = int32_t(h);
  return true;
}

bool ReadRows(png_structp png, png_infop info, DecodeState* state) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, state->rows.data());
  png_read_end(png, info);
  return true;
}

bool EncodeRows(png_structp png, png_infop info, std::vector<uint8_t>* out, int32_t width, int32_t height,
                bool keepAlpha, png_bytep* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, WriteToVector, FlushNothing);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
               keepAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  if (!keepAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);  // drop the fourth byte
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

}  // namespace

bool LooksLikePng(const uint8_t* data, size_t size) { return size >= 8 && png_sig_cmp(data, 0, 8) == 0; }

Status DecodePng(const uint8_t* data, size_t size, Picture* out) {
  // The declared size decides before libpng allocates anything.
  if (size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0) {
    auto be32 = [&](size_t at) {
      return (uint32_t(data[at]) << 24) | (uint32_t(data[at + 1]) << 16) | (uint32_t(data[at + 2]) << 8) | data[at + 3];
    };
    const uint64_t w = be32(16), h = be32(20);
    if (w > uint64_t(kMaxPixelDimension) || h > uint64_t(kMaxPixelDimension) || w * h > uint64_t(kMaxPixelCount))
      return Status::TooLarge;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
  if (!png) return Status::OutOfResources;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return Status::OutOfResources;
  }
  ReadCursor cursor{data, size, 0};
  DecodeState state;
  Picture pic;
  state.pic = &pic;
  Status result = Status::Ok;
  if (!DecodeInto(png, info, &cursor, &state)) {
    result = state.status;
  } else {
    try {
      pic.pixels.resize(size_t(pic.width) * size_t(pic.height) * 4);
      state.rows.resize(size_t(pic.height));
      // libpng writes top row first; our rows are bottom-up.
      for (int32_t y = 0; y < pic.height; ++y)
        state.rows[size_t(y)] = pic.pixels.data() + size_t(pic.height - 1 - y) * size_t(pic.width) * 4;
    } catch (const std::bad_alloc&) {
      result = Status::OutOfResources;
    }
    if (result == Status::Ok && !ReadRows(png, info, &state)) result = Status::BadFormat;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (result == Status::Ok) *out = std::move(pic);
  return result;
}

Status EncodePngPixels(const uint8_t* pixels, int32_t width, int32_t height, bool keepAlpha,
                       std::vector<uint8_t>* out) {
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y)
    rows[size_t(y)] = const_cast<png_bytep>(pixels + size_t(height - 1 - y) * size_t(width) * 4);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
  if (!png) return Status::OutOfResources;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return Status::OutOfResources;
  }
  out->clear();
  const bool ok = EncodeRows(png, info, out, width, height, keepAlpha, rows.data());
  png_destroy_write_struct(&png, &info);
  return ok ? Status::Ok : Status::OutOfResources;
}

}  // namespace plat::detail
