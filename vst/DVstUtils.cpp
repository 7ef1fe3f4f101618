#include "vst/DVstUtils.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

void floatToDisplay(char* text, std::size_t capacity, float value) {
  if (text == nullptr || capacity == 0) return;
  char buf[64];
  // value × 100 is exact in double for every float, so the half-way cases are seen exactly.
  const double hundredths = static_cast<double>(value) * 100.0;
  if (std::fabs(hundredths) < 9.0e15) {
    const long long n = std::llround(hundredths);
    const unsigned long long mag =
        n < 0 ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    const std::lconv* lc = std::localeconv();
    const char* point =
        (lc != nullptr && lc->decimal_point != nullptr && lc->decimal_point[0] != '\0') ? lc->decimal_point : ".";
    std::snprintf(buf, sizeof buf, "%s%llu%.8s%02llu", n < 0 ? "-" : "", mag / 100, point, mag % 100);
  } else {
    // Integral (or not finite) at this size: no half-way case left, printf is exact.
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(value));
  }
  const std::size_t len = std::min(std::strlen(buf), capacity - 1);
  std::memcpy(text, buf, len);
  text[len] = '\0';
}
