// The work of a chunk of samples that does not depend on the audio, computed ahead of the sample
// loop several samples at a time: the oscillators' outputs, the delays and where their reads take
// their taps, the side gains, the damping filters' cutoffs (as the argument of their
// coefficients' sine), and the inputs as the lines take them. Every value is rounded exactly as
// one sample at a time rounds it.
#pragma once

#include <cstdint>

#include "plugin/uPara.h"

// What moves from sample to sample ahead of the audio: the oscillators and the write position.
struct TMotion {
  TPara* para;                     // moved on in place
  float rate, sampleRate, offset;  // TPara::Advance's arguments
  std::int32_t writePos;           // of the last sample prepared
  std::int32_t lastPos;            // the ring's last position
};

struct TPrepare {
  bool ownSides;  // each side's gain follows its own oscillator (TrajSwap > 0.5)
  double delayDepth, leftDepth, rightDepth, dampDepth;
  float rateF;  // the sample rate
};

// Outputs, one per sample (gains, arguments: left and right interleaved).
struct TChunk {
  std::int32_t* positions;  // write positions
  float* mods1;             // Mod1, Mod2
  float* mods2;
  float* delays;         // DelayTime, limited to the sample rate
  float* gains;          // GainL, GainR
  float* dampArgs;       // dampArgumentPair of Mod1 + 0.5 (left) and Mod2 + 0.5 (right)
  std::int32_t* oldest;  // first taps, as Tdelay4p::locateRuns gives them
  float* fractions;
};

// Moves n samples on and fills their outputs, where their reads take their taps too. Also fills
// the spare samples up to the next multiple of four, without moving on for them: position 0 and
// in-range values. Answers whether every one of the n reads may run one step ahead of the writes
// before it: whether no read takes a tap at its own sample's write position or at the previous
// sample's, nor at the next ones' beyond the ring. That holds for 3 <= WholeDelay <= ring - 3;
// delays within 4..ring - 5 keep inside that with room to spare.
bool preparePlain(TMotion& motion, const TPrepare& p, std::int32_t n, const TChunk& out);
// The same with wide vectors; only where wideVectorsAvailable().
bool prepareWide(TMotion& motion, const TPrepare& p, std::int32_t n, const TChunk& out);

// The inputs of n samples as the delay lines take them, left and right interleaved: a sample
// beyond `limit` in magnitude or not a number as 0, and with `merge` each side (l + r) x 0.6.
void conditionPlain(const float* inL, const float* inR, std::int32_t n, bool merge, float limit, double* out);
// The same with wide vectors; only where wideVectorsAvailable().
void conditionWide(const float* inL, const float* inR, std::int32_t n, bool merge, float limit, double* out);
