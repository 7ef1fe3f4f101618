// The work of a chunk of samples that does not depend on the audio, computed ahead of the sample
// loop several samples at a time: the oscillators' outputs, the delays, the side gains and the
// damping filters' coefficients. Every value is rounded exactly as one sample at a time rounds it.
#pragma once

#include <cstdint>

struct TPrepare {
  const double* phase1;  // the oscillators' phases, one per sample
  const double* phase2;
  bool ownSides;  // each side's gain follows its own oscillator (TrajSwap > 0.5)
  double delayDepth, leftDepth, rightDepth, dampDepth;
  float rateF;  // the sample rate
};

// Outputs, one per sample (gains, coefficients: left and right interleaved).
struct TChunk {
  float* mods1;  // Mod1, Mod2
  float* mods2;
  float* delays;  // DelayTime, limited to the sample rate
  float* gains;   // GainL, GainR
  double* coefs;  // the filter coefficient c, 1 - c and 1 + c
  double* keeps;
  double* divisors;
};

// Fills n samples, and may fill spare ones up to the next multiple of four: the phases must hold
// (any) values there and the outputs room for them.
void preparePlain(const TPrepare& p, std::int32_t n, const TChunk& out);
// The same with wide vectors; only where wideVectorsAvailable().
void prepareWide(const TPrepare& p, std::int32_t n, const TChunk& out);

// The inputs of n samples as the delay lines take them, left and right interleaved: a sample
// beyond `limit` in magnitude or not a number as 0, and with `merge` each side (l + r) x 0.6.
void conditionPlain(const float* inL, const float* inR, std::int32_t n, bool merge, float limit, double* out);
// The same with wide vectors; only where wideVectorsAvailable().
void conditionWide(const float* inL, const float* inR, std::int32_t n, bool merge, float limit, double* out);
