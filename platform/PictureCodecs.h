// PNG coding behind Picture.h (private to platform/): libpng where the build has it.
#pragma once

#include "platform/Picture.h"

namespace plat::detail {

bool LooksLikePng(const uint8_t* data, size_t size);
Status DecodePng(const uint8_t* data, size_t size, Picture* out);
Status EncodePngPixels(const uint8_t* pixels, int32_t width, int32_t height, bool keepAlpha, std::vector<uint8_t>* out);

}  // namespace plat::detail
