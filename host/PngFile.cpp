#include "host/PngFile.h"

#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>

#include "host/HostError.h"

namespace kestrune {

void PngFile::write(int width, int height, const std::vector<std::uint8_t>& rgba) {
  const std::string& path = target_.path();
  if (width < 1 || height < 1 || rgba.size() != std::size_t(width) * std::size_t(height) * 4)
    throw HostError("cannot write '" + path + "': no picture to write");
  const int fd = dup(target_.descriptor());
  FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (!file) {
    if (fd >= 0) close(fd);
    throw HostError("cannot write '" + path + "': cannot open the temporary file");
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  volatile bool ok = png && info;
  // libpng reports its errors by jumping back here; nothing with a destructor lives in between.
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, rgba.data() + std::size_t(y) * std::size_t(width) * 4);
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (std::fclose(file) != 0) ok = false;
  if (!ok) throw HostError("cannot write '" + path + "': the PNG encoder failed");
  target_.commit();
}

}  // namespace kestrune
