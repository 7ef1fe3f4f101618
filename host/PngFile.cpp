#include "host/PngFile.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "host/HostError.h"

namespace kestrune {
namespace {

// What libpng's callbacks report back: the system's error of a failed write, else the encoder's
// own message. Its own default handlers would print to standard error as well.
struct PngSink {
  OutputTarget* target;
  int systemError = 0;
  char message[128] = {};
};

void writeBytes(png_structp png, png_bytep data, png_size_t count) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  sink->systemError = sink->target->tryWrite(data, count);
  if (sink->systemError != 0) png_error(png, "write failed");
}

void flushNothing(png_structp) {}

void onError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
  std::strncpy(sink->message, message != nullptr ? message : "", sizeof sink->message - 1);
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The sink lives in the caller's frame, so what the callbacks wrote survives the jump back here;
// nothing with a destructor lives between setjmp and the jumps.
bool encode(PngSink& sink, int width, int height, const std::uint8_t* rgba) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, onError, onWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(png, &sink, writeBytes, flushNothing);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, rgba + std::size_t(y) * std::size_t(width) * 4);
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return ok;
}

}  // namespace

void PngFile::write(int width, int height, const std::vector<std::uint8_t>& rgba) {
  if (width < 1 || height < 1 || rgba.size() != std::size_t(width) * std::size_t(height) * 4)
    target_.fail("no picture to write");
  PngSink sink{&target_};
  if (!encode(sink, width, height, rgba.data())) {
    if (sink.systemError != 0) target_.fail(std::strerror(sink.systemError));
    target_.fail(std::string("the PNG encoder failed") + (sink.message[0] != 0 ? ": " : "") + sink.message);
  }
  target_.commit();
}

}  // namespace kestrune
