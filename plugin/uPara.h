// TPara: the pair of low-frequency oscillators that move the sound source. Both run at one rate;
// each time the first wraps, the second is set to the phase offset, so from the first wrap on it
// leads by offset + 0.5 cycles. The shape is a piecewise parabola close to cos(2 pi p).
#pragma once

#include <limits>

#include "vst/DDspUtils.h"

class TPara {
 public:
  // Advances both oscillators by one sample and stores Out1 and Out2 (each within -1..1).
  // A phase that is not a number restarts at -0.5, so one bad rate cannot stop the oscillators
  // for good.
  void Step(float rate, float sampleRate, float offset) {
    Advance(rate, sampleRate, offset);
    Shape();
  }

  // The two halves of Step: moving the phases, and the outputs of the phases. A caller may
  // advance many samples and shape them elsewhere, then call Shape for the last one.
  void Advance(float rate, float sampleRate, float offset) {
    SetRate(rate, sampleRate);
    AdvanceAtRate(offset);
  }
  // Advance in two parts: the increment, then the move. Many moves at one rate may share the
  // first part.
  void SetRate(float rate, float sampleRate) {
    if (sampleRate != InverseOf) {  // the same reciprocal as dividing each time, without the division
      InverseOf = sampleRate;
      Inverse = 1.0 / static_cast<double>(sampleRate);
    }
    Increment = Inverse * static_cast<double>(rate);
  }
  void AdvanceAtRate(float offset) { AdvancePhases(Phase1, Phase2, Increment, offset); }
  // AdvanceAtRate on phases kept elsewhere: in registers, by a caller moving many samples on.
  static void AdvancePhases(double& phase1, double& phase2, double increment, float offset) {
    phase1 += increment;
    phase2 += increment;
    if (!(phase1 <= 0.5)) {  // the excess over 0.5 is dropped, not carried
      phase1 = -0.5;
      phase2 = offset;
    }
    // Rare, and kept a branch (a call cannot be turned into a selection): a selection would put a
    // compare and a blend on the chain from one sample's phase to the next.
    if (!(phase2 <= 0.5)) [[unlikely]]
      phase2 = restartPhase();
  }
  void Shape() {
    Tri1 = 0.25 - fastAbs(static_cast<float>(Phase1));
    Shape1 = 1.0 - 2.0 * fastAbs(static_cast<float>(Tri1));
    Out1 = 8.0 * Tri1 * Shape1;
    Tri2 = 0.25 - fastAbs(static_cast<float>(Phase2));
    Shape2 = 1.0 - 2.0 * fastAbs(static_cast<float>(Tri2));
    Out2 = 8.0 * Tri2 * Shape2;
  }

  double Increment = 0.0;  // cycles per sample of the last step
  double Phase1 = 0.0;     // cycles, within -0.5..0.5
  double Phase2 = 0.0;
  double Tri1 = 0.0, Shape1 = 0.0;  // working values of the last step
  double Tri2 = 0.0, Shape2 = 0.0;
  double Out1 = 0.0;
  double Out2 = 0.0;

 private:
#if defined(__GNUC__) || defined(__clang__)
  [[gnu::noinline, gnu::cold]]
#endif
  static double
  restartPhase() {
    return -0.5;
  }

  float InverseOf = 0.0f;
  double Inverse = std::numeric_limits<double>::infinity();  // 1 / InverseOf
};
