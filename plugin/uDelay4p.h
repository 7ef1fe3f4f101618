// Tdelay4p: one channel's delay line, read at a fractional delay with four-point Hermite
// interpolation. The caller owns the ring: it chooses the ring length and the write position.
#pragma once

#include <cstdint>
#include <memory>

#include "vst/DDspUtils.h"

class Tdelay4p {
 public:
  // A zero-filled line of `length` samples (at least 4).
  explicit Tdelay4p(std::int32_t length);

  std::int32_t length() const { return Length; }

  // Requires 0 <= position < length().
  void Write(std::int32_t position, float value) { Buffer[position] = value; }

  // Stores in Output the sample `delay` samples before the one at writePos. The taps are
  // writePos - WholeDelay + 1 down to writePos - WholeDelay - 2, each wrapped once by ringLength
  // when below 0; taps above writePos are used as they are (up to writePos + 2).
  // Requires 0 <= writePos < ringLength and ringLength + 2 <= length(). A delay outside
  // 0..ringLength - 1 (or not a number) is limited to that range, which keeps every tap inside
  // the line.
  void Read(std::int32_t writePos, std::int32_t ringLength, float delay) {
    Output = interpolate(writePos, ringLength, delay, &WholeDelay, &Fraction, Taps);
  }

  // What Read stores in Output, without storing anything.
  float Tap(std::int32_t writePos, std::int32_t ringLength, float delay) const {
    std::int32_t whole, taps[4];
    double fraction;
    return interpolate(writePos, ringLength, delay, &whole, &fraction, taps);
  }

  double Output = 0.0;          // result of the last Read (a float widened)
  double Fraction = 0.0;        // 0.5..1.5
  std::int32_t WholeDelay = 0;  // floor of delay - 0.5
  std::int32_t Taps[4] = {};    // positions of the last Read, newest first

 private:
  float interpolate(std::int32_t writePos, std::int32_t ringLength, float delay, std::int32_t* whole,
                    double* fraction, std::int32_t* taps) const {
    const float deepest = static_cast<float>(ringLength - 1);
    if (!(delay >= 0.0f)) delay = 0.0f;
    if (delay > deepest) delay = deepest;
    *whole = fastFloor(delay - 0.5f);
    *fraction = static_cast<double>(delay) - *whole;
    const std::int32_t base = writePos - *whole;
    for (int k = 0; k < 4; ++k) {
      std::int32_t p = base + 1 - k;
      if (p < 0) p += ringLength;
      taps[k] = p;
    }
    return hermite4(static_cast<float>(*fraction), Buffer[taps[0]], Buffer[taps[1]], Buffer[taps[2]],
                    Buffer[taps[3]]);
  }

  std::int32_t Length;
  // Every value written is a float, so float storage holds exactly what a wider line would.
  std::unique_ptr<float[]> Buffer;
};
