// A PNG picture file (8-bit RGBA) that appears under its name only complete. Creating it checks at
// once that the path can be written, so a bad path fails before any work is done; on any failure
// the target is left as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/OutputTarget.h"

namespace kestrune {

class PngFile {
 public:
  explicit PngFile(const std::string& path) : target_(path) {}  // throws HostError
  // `rgba` holds width * height pixels, rows from the top, red, green, blue, alpha. Writes and gives
  // the file its name; throws HostError.
  void write(int width, int height, const std::vector<std::uint8_t>& rgba);

 private:
  OutputTarget target_;
};

}  // namespace kestrune
