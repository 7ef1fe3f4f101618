// Numeric kernels the delay line, the filter and the oscillators run on every sample. Their exact
// arithmetic is part of the effect's sound: each documents where it rounds to 32 bits. Inline,
// because they sit in the per-sample loop.
#pragma once

#include <bit>
#include <cstdint>

// Four-point Hermite (Catmull-Rom) interpolation between y0 and y1 at fraction x, with ym1 the
// sample before y0 and y2 the one after y1. Evaluated in double in exactly this grouping and
// rounded once to float: x = 0 gives y0, x = 1 gives y1; x up to 1.5 is used.
inline float hermite4(float x, float ym1, float y0, float y1, float y2) {
  const double dx = x, m1 = ym1, z0 = y0, p1 = y1, p2 = y2;
  return static_cast<float>(
      z0 + (0.5 * dx) * ((p1 - m1) + dx * ((4.0 * p1 + 2.0 * m1 - 5.0 * z0 - p2) + dx * (3.0 * (z0 - p1) - m1 + p2))));
}

// floor(x) for every non-integral x. For an integral x the result is x, except that an odd x of
// magnitude 2049 or more gives x - 1 (2049 -> 2048, -2049 -> -2050): the answer of rounding
// x - (0.5 - 2^-53) to even in a 64-bit significand, made deterministic whatever the FP state.
// NaN gives 0; values beyond the int32 range saturate.
inline std::int32_t fastFloor(float x) {
  const double d = x;
  if (!(d >= -2147483648.0)) return d != d ? 0 : INT32_MIN;
  if (d >= 2147483648.0) return INT32_MAX;
  std::int64_t n = static_cast<std::int64_t>(d);  // truncates toward zero
  if (static_cast<double>(n) > d) {
    --n;
  } else if (static_cast<double>(n) == d && (n & 1) != 0 && (n >= 2049 || n <= -2049)) {
    --n;
  }
  if (n < INT32_MIN) n = INT32_MIN;
  return static_cast<std::int32_t>(n);
}

// Polynomial sine for about -pi/2..pi/2, every step rounded to float: x (1 - 0.16605 x^2 +
// 0.00761 x^4) in Horner form. It is not the sine: fastSin(pi/4) is 0.70722562.
inline float fastSin(float x) {
  constexpr float kC5 = std::bit_cast<float>(0x3BF95D4Fu);  // 0.00761
  constexpr double kC3 = 0.16605;
  const float s = x * x;
  float t = kC5 * s;
  t = static_cast<float>(static_cast<double>(t) - kC3);
  t = t * s;
  t = t + 1.0f;
  return t * x;
}

// x with the sign bit cleared (-0.0 gives +0.0, NaN stays NaN).
inline float fastAbs(float x) {
  return __builtin_fabsf(x);  // the IEEE abs: exactly the sign bit cleared, one instruction
}
