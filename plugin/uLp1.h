// TLp1: one-pole low-pass whose cutoff may change on every sample (the damping of one side).
#pragma once

#include "vst/DDspUtils.h"

class TLp1 {
 public:
  // Filters one sample and stores Output. The coefficient is the sine polynomial of
  // pi * cutoff / sampleRate (not a tangent), that whole expression evaluated left to right in
  // double and rounded to float once.
  // For cutoff >= 0 the coefficient is >= 0 and the filter is stable; sampleRate must not be 0.
  void Process(float input, float cutoff, float sampleRate) { ProcessWith(input, coefficientFor(cutoff, sampleRate)); }

  // The coefficient Process uses for a cutoff, and Process with a coefficient already computed:
  // lets a caller compute the coefficients of many samples ahead, apart from the recursion.
  static float coefficientFor(float cutoff, float sampleRate) {
    return fastSin(static_cast<float>(3.1415926536 * static_cast<double>(cutoff) / static_cast<double>(sampleRate)));
  }
  void ProcessWith(float input, float coefficient) {
    Coefficient = coefficient;
    const double in = input;
    Output = (Coefficient * (in + PrevIn) + (1.0 - Coefficient) * PrevOut) / (1.0 + Coefficient);
    // The offset keeps the recursion clear of denormals; it never reaches Output itself.
    PrevOut = Output + 1e-24;
    PrevIn = in + 1e-24;
  }

  double PrevOut = 0.0;  // previous output + 1e-24
  double PrevIn = 0.0;   // previous input + 1e-24
  double Coefficient = 0.0;
  double Output = 0.0;
};
