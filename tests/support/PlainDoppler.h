// A plain per-sample formulation of the Doppler effect, written from the formulas on none of the
// effect's own kernels, so that a misreading in them cannot hide in it too. The exactness tests
// compare the effect with it bit for bit; the benchmarks time the effect against it.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "plugin/uPlugin.h"

namespace plainref {

// The sine polynomial, every step rounded to float; the 0.16605 held in extended precision.
inline float polySin(float x) {
  const float s = x * x;
  float t = std::bit_cast<float>(0x3BF95D4Fu) * s;
  t = static_cast<float>(static_cast<long double>(t) - 0.16605L);
  t = t * s;
  t = t + 1.0f;
  return t * x;
}

// The nearest integer, ties to even, to x - (0.5 - 2^-53) in a 64-bit significand.
inline std::int32_t floorOf(float x) {
  return static_cast<std::int32_t>(std::nearbyintl(static_cast<long double>(x) - (0.5L - 0x1p-53L)));
}

// A delay line of doubles read at a fractional delay through the Catmull-Rom cubic.
struct Line {
  std::vector<double> buffer = std::vector<double>(APlugin::kDelayLineLength, 0.0);
  double read(std::int32_t writePos, std::int32_t ringLength, float delay) const {
    const std::int32_t whole = floorOf(static_cast<float>(delay - 0.5f));
    const float x = static_cast<float>(static_cast<double>(delay) - whole);
    std::int32_t tap[4] = {writePos - whole + 1, writePos - whole, writePos - whole - 1, writePos - whole - 2};
    for (std::int32_t& t : tap)
      if (t < 0) t += ringLength;
    const double ym1 = static_cast<float>(buffer[tap[0]]), y0 = static_cast<float>(buffer[tap[1]]),
                 y1 = static_cast<float>(buffer[tap[2]]), y2 = static_cast<float>(buffer[tap[3]]);
    const double dx = x;
    return static_cast<float>(
        y0 + (0.5 * dx) * ((y1 - ym1) + dx * ((4 * y1 + 2 * ym1 - 5 * y0 - y2) + dx * (3 * (y0 - y1) - ym1 + y2))));
  }
};

// The one-pole low-pass with its coefficient from pi x cutoff / rate, rounded to float once.
struct LowPass {
  double prevOut = 0, prevIn = 0;
  double process(float input, float cutoff, float rate) {
    const double c = polySin(static_cast<float>(3.1415926536L * cutoff / rate));
    const double out = (c * (input + prevIn) + (1 - c) * prevOut) / (1 + c);
    // The offset, in extended precision, keeps the state clear of denormals; never in the output.
    prevOut = static_cast<double>(out + 1e-24L);
    prevIn = static_cast<double>(input + 1e-24L);
    return out;
  }
};

// The oscillator pair: parabolic cosines, the second set to the offset when the first wraps.
struct Oscillators {
  double phase1 = 0, phase2 = 0, out1 = 0, out2 = 0;
  static double shape(double p) {
    const double t = 0.25 - std::fabs(static_cast<float>(p));
    const double s = 1.0 - 2.0 * std::fabs(static_cast<float>(t));
    return 8.0 * t * s;
  }
  void step(float rate, float sampleRate, float offset) {
    const double increment = (1.0 / sampleRate) * rate;
    phase1 += increment;
    phase2 += increment;
    if (phase1 > 0.5) {
      phase1 = -0.5;
      phase2 = offset;
    }
    if (phase2 > 0.5) phase2 = -0.5;
    out1 = shape(phase1);
    out2 = shape(phase2);
  }
};

// One sample at a time, every stored value rounded where the effect rounds it.
class PlainDoppler {
 public:
  explicit PlainDoppler(const APlugin& fx) : fx(fx) {}

  void frame(std::int32_t sampleRateInt, float inL, float inR, float& outL, float& outR) {
    const float rateF = static_cast<float>(sampleRateInt);
    const double l = inL, r = inR;
    if (++writePos > sampleRateInt) writePos = 0;
    para.step(fx.Rate.load(), rateF, fx.PhaseOffset.load());
    const float mod1 = static_cast<float>(para.out1 * 0.5);
    const float mod2 = static_cast<float>(para.out2 * 0.5);
    const double fb = fx.FeedbackGain.load();
    if (fx.MergeSwitch.load() > 0.5f) {
      lineL->buffer[writePos] = static_cast<float>((l + r) * 0.6 + wetL * fb);
      lineR->buffer[writePos] = static_cast<float>((r + l) * 0.6 + wetR * fb);
    } else {
      lineL->buffer[writePos] = static_cast<float>(wetL * fb + l);
      lineR->buffer[writePos] = static_cast<float>(wetR * fb + r);
    }
    const float delay = static_cast<float>((mod1 + 0.5) * fx.DelayDepth.load());
    wetL = static_cast<float>(lineL->read(writePos, sampleRateInt + 1, delay));
    wetR = static_cast<float>(lineR->read(writePos, sampleRateInt + 1, delay));
    float gainL, gainR;
    if (fx.TrajSwap.load() > 0.5f) {
      gainL = static_cast<float>(1 - (mod1 + 0.5) * fx.LeftDepth.load());
      gainR = static_cast<float>(1 - (mod2 + 0.5) * fx.RightDepth.load());
    } else {
      gainL = static_cast<float>(1 - (mod2 + 0.5) * fx.LeftDepth.load());
      gainR = static_cast<float>(1 - (mod1 + 0.5) * fx.RightDepth.load());
    }
    gainL = std::fmin(std::fmax(gainL, 0.0f), 1.0f);
    gainR = std::fmin(std::fmax(gainR, 0.0f), 1.0f);
    const float ll = wetL * gainL, lr = wetL * gainR, rl = wetR * gainL, rr = wetR * gainR;
    const float mixL = static_cast<float>((static_cast<double>(ll) + rl) * 0.7);
    const float mixR = static_cast<float>((static_cast<double>(lr) + rr) * 0.7);
    const double dampedL = dampL.process(mixL, static_cast<float>(12000 - (mod1 + 0.5) * fx.DampDepth.load()), rateF);
    const double dampedR = dampR.process(mixR, static_cast<float>(12000 - (mod2 + 0.5) * fx.DampDepth.load()), rateF);
    outL = static_cast<float>(dampedL * fx.MasterGain.load());
    outR = static_cast<float>(dampedR * fx.MasterGain.load());
  }

 private:
  const APlugin& fx;
  Oscillators para;
  std::unique_ptr<Line> lineL = std::make_unique<Line>();
  std::unique_ptr<Line> lineR = std::make_unique<Line>();
  LowPass dampL, dampR;
  std::int32_t writePos = 0;
  float wetL = 0, wetR = 0;
};

}  // namespace plainref
