// Builds without libpng read and write BMP only.
#include "platform/PictureCodecs.h"

namespace plat::detail {

bool LooksLikePng(const uint8_t* data, size_t size) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size < 8) return false;
  for (int i = 0; i < 8; ++i)
    if (data[i] != kSignature[i]) return false;
  return true;
}

Status DecodePng(const uint8_t*, size_t, Picture*) { return Status::Unsupported; }

Status EncodePngPixels(const uint8_t*, int32_t, int32_t, bool, std::vector<uint8_t>*) { return Status::Unsupported; }

}  // namespace plat::detail
