// The sample loop of the Doppler effect over one chunk: the delay lines' writes and reads, the
// mix through the side gains and the damping filters with their coefficients, left and right
// side by side. The rest of what does not depend on the audio was computed ahead for the chunk.
#pragma once

#include <cstdint>

#include "plugin/uPair.h"

struct TSampleLoop {
  // Per sample (left and right interleaved where there are two).
  const double* ins;              // the inputs as the lines take them
  const std::int32_t* positions;  // write positions
  const std::int32_t* oldest;     // first taps, as Tdelay4p::locateRuns gives them
  const float* fractions;
  const float* gains;
  const float* dampArgs;  // the arguments of the sines that are the filters' coefficients
  float* outL;
  float* outR;

  double* lines;  // left and right side by side
  float* mixes;   // room for the samples' mixes (left and right interleaved), for a second pass
  std::int32_t ringLength;
  double feedback, master;
  float maxSample;  // a value bound for a line beyond it is written as 0
  bool readsAhead;  // whether the reads may run ahead of the writes, as preparePlain answers
  // Whether the lines take input + wet x feedback as it is: with no feedback and inputs that are
  // floats within maxSample (not merged), rounding that sum to float and bounding it change
  // nothing, the sign of a zero included.
  bool exactFeed;

  // Carried from one sample to the next: the last sample's values.
  struct TState {
    TPairF wet, gain, mix;
    TPair prevIn, prevOut, damped;  // the filters' state (previous values + 1e-24) and output
    TPair coef;                     // the filters' last coefficients
  } state;
};

// Runs samples 0..n-1 in the order of one at a time (with reads ahead where s.readsAhead).
void runSamplesPlain(TSampleLoop& s, std::int32_t n);
// The same samples, bit for bit, two at a time with wide vectors where no sample of a pair reads
// what the pair writes; only where wideVectorsAvailable(). There the filters' chain leaves out
// the 1e-24 TLp1 adds to each output where that changes nothing: while the output is beyond 2^-26
// in magnitude (or not a number, or infinite) the sum rounded to nearest, as processing rounds
// (TDenormalGuard), is the output itself. A chunk that strays inside that range is filtered again
// the long way from s.mixes, and one that starts near silence goes the long way at once.
void runSamplesWide(TSampleLoop& s, std::int32_t n);
