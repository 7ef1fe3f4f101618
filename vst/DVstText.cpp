#include "vst/DVstText.h"

#include <cstring>

namespace vsttext {

bool copy(char* dst, const char* src, std::size_t limit) noexcept {
  if (dst == nullptr || limit == 0) return false;
  std::size_t n = 0;
  if (src != nullptr) {
    while (n + 1 < limit && src[n] != '\0') ++n;
    std::memmove(dst, src, n);
  }
  dst[n] = '\0';
  return true;
}

}  // namespace vsttext
