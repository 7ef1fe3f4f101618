// Tdelay4p: one channel's delay line, read at a fractional delay with four-point Hermite
// interpolation. The caller owns the ring: it chooses the ring length and the write position.
#pragma once

#include <cstdint>
#include <memory>

#include "plugin/uPair.h"
#include "vst/DDspUtils.h"

class Tdelay4p {
 public:
  // A zero-filled line of `length` samples (at least 4).
  explicit Tdelay4p(std::int32_t length);
  // A line of `length` samples (at least 4) kept by the caller: sample p is samples[p * stride].
  // The storage must be zero-filled, hold (length - 1) * stride + 1 values and outlive the line.
  // Lets two lines share one store with their samples side by side.
  Tdelay4p(double* samples, std::int32_t length, std::int32_t stride);

  std::int32_t length() const { return Length; }

  // Requires 0 <= position < length().
  void Write(std::int32_t position, float value) { Samples[position * Stride] = value; }

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

  // Where a read at `delay` takes its samples (the arithmetic of Read without the loads), and
  // one stored sample: lets two lines that share a delay share the tap arithmetic.
  struct TTaps {
    std::int32_t whole;
    double fraction;
    std::int32_t pos[4];
  };
  static TTaps locate(std::int32_t writePos, std::int32_t ringLength, float delay) {
    const float deepest = static_cast<float>(ringLength - 1);
    if (!(delay >= 0.0f)) delay = 0.0f;
    if (delay > deepest) delay = deepest;
    TTaps t;
    t.whole = fastFloor(delay - 0.5f);
    t.fraction = static_cast<double>(delay) - t.whole;
    const std::int32_t base = writePos - t.whole;
    for (int k = 0; k < 4; ++k) {
      std::int32_t p = base + 1 - k;
      if (p < 0) p += ringLength;
      t.pos[k] = p;
    }
    return t;
  }
  // Leaves the fields as Read leaves them, for a caller that has the output already: what a Read
  // at the place `t` locates (see locate) gave, no line written there since.
  void SetRead(const TTaps& t, float output) {
    WholeDelay = t.whole;
    Fraction = t.fraction;
    for (int k = 0; k < 4; ++k) Taps[k] = t.pos[k];
    Output = output;
  }

  // locate for four reads at once: for each i, the fraction as Read passes it to hermite4, and
  // the oldest tap, writePos[i] - WholeDelay - 2, plus ringLength when all four taps lie below 0.
  // The taps are then the consecutive positions start[i]..start[i] + 3, oldest first. A start of
  // -3..-1 means the taps straddle position 0: only those need wrapping one by one (locate).
  // Requires 0 <= writePos[i] < ringLength <= 2^23; delays are limited as by Read.
  static void locateRuns(const std::int32_t* writePos, std::int32_t ringLength, const float* delay, std::int32_t* start,
                         float* fraction) {
    const TQuadF d = TQuadF::lessOr(TQuadF::greaterOr(TQuadF::load(delay), TQuadF::all(0.0f)),
                                    TQuadF::all(static_cast<float>(ringLength - 1)));
    // fastFloor(d - 0.5) for -0.5 <= d - 0.5 < 2^23.
    const TQuadF x = d - TQuadF::all(0.5f);
    const TQuadI t = x.truncated();
    const TQuadF tf = TQuadF::of(t);
    const TQuadI zero = TQuadI::all(0);
    const TQuadI oddAbove2048 = TQuadI::less(TQuadI::all(2048), t) & (zero - (t & TQuadI::all(1)));
    const TQuadI whole = t + TQuadF::less(x, tf) + (TQuadF::equal(x, tf) & oddAbove2048);
    // d - whole is the double difference rounded once, as Read rounds it.
    (d - TQuadF::of(whole)).store(fraction);
    const TQuadI oldest = TQuadI::load(writePos) - whole - TQuadI::all(2);
    (oldest + (TQuadI::less(oldest, TQuadI::all(-3)) & TQuadI::all(ringLength))).store(start);
  }
  float at(std::int32_t position) const { return static_cast<float>(Samples[position * Stride]); }

 private:
  float interpolate(std::int32_t writePos, std::int32_t ringLength, float delay, std::int32_t* whole, double* fraction,
                    std::int32_t* taps) const {
    const TTaps t = locate(writePos, ringLength, delay);
    *whole = t.whole;
    *fraction = t.fraction;
    for (int k = 0; k < 4; ++k) taps[k] = t.pos[k];
    return hermite4(static_cast<float>(t.fraction), at(t.pos[0]), at(t.pos[1]), at(t.pos[2]), at(t.pos[3]));
  }

  std::int32_t Length;
  std::int32_t Stride = 1;
  std::unique_ptr<double[]> Owned;  // empty when the caller keeps the samples
  double* Samples;                  // every value written is a float, held exactly
};
