#include "plugin/uPrepare.h"

#include <bit>

#include "plugin/uDelay4p.h"
#include "plugin/uPair.h"
#include "plugin/uQuad.h"

namespace {

// The oscillators' phases (Phase1, Phase2) in a local while a chunk moves on, where they stay in
// a register from one sample to the next (through TPara they went through memory).
struct TPhases {
  TPair phases;
  double increment;
  float offset;
  bool rising;  // a non-negative increment: each phase only grows until it wraps
  // Requires para.SetRate first.
  TPhases(const TPara& para, float offset)
      : phases(TPair::of(para.Phase1, para.Phase2)),
        increment(para.Increment),
        offset(offset),
        rising(para.Increment >= 0.0) {}
  void storeTo(TPara& para) const {
    para.Phase1 = phases.a();
    para.Phase2 = phases.b();
  }
  KESTRUNE_ALWAYS_INLINE TPair step() {
    double phase1 = phases.a(), phase2 = phases.b();
    TPara::AdvancePhases(phase1, phase2, increment, offset);
    phases = TPair::of(phase1, phase2);
    return phases;
  }
};

// The phases after each move of samples k..k+3 of n; the spare ones stay still, at their
// defaults. They go to the vector work straight from registers: loading what was just stored
// sample by sample would wait for the stores to leave.
KESTRUNE_ALWAYS_INLINE void stepFour(TPhases& m, std::int32_t left, TPair& s0, TPair& s1, TPair& s2, TPair& s3) {
  if (left >= 4 && m.rising) {
    // While the phases only grow, the last of four moves within 0.5 (and not NaN) means that none
    // wrapped: the four moves are then the sums alone, with one test for all.
    const TPair increment = TPair::all(m.increment);
    const TPair a = m.phases + increment, b = a + increment, c = b + increment, d = c + increment;
    if (d.bothAtMost(0.5)) [[likely]] {
      s0 = a;
      s1 = b;
      s2 = c;
      s3 = d;
      m.phases = d;
      return;
    }
  }
  s0 = m.step();
  if (left >= 4) {
    s1 = m.step();
    s2 = m.step();
    s3 = m.step();
  } else {
    if (left > 1) s1 = m.step();
    if (left > 2) s2 = m.step();
  }
}

// The write positions of samples k..k+3 of n (0 for the spare ones).
KESTRUNE_ALWAYS_INLINE void positionsFour(std::int32_t& writePos, std::int32_t lastPos, std::int32_t left,
                                          std::int32_t* positions) {
  if (left >= 4 && writePos <= lastPos - 4) {  // no wrap: the common case, in one vector
    TQuadI::all(writePos).plusOneToFour().store(positions);
    writePos += 4;
    return;
  }
  for (std::int32_t j = 0; j < 4; ++j) {
    if (j < left) {
      if (++writePos > lastPos) writePos = 0;
      positions[j] = writePos;
    } else {
      positions[j] = 0;
    }
  }
}

// The bounds on a delay whose read may run ahead (see preparePlain).
struct TAheadBounds {
  float lowest, highest;
  explicit TAheadBounds(std::int32_t lastPos) : lowest(4.0f), highest(static_cast<float>(lastPos + 1 - 5)) {}
  bool within(float delay) const { return delay >= lowest && delay <= highest; }
};

// Where the reads take their taps for samples k.. of n, four at a time from k, and whether all of
// their delays lie within the bounds.
KESTRUNE_ALWAYS_INLINE bool locateFours(std::int32_t lastPos, std::int32_t k, std::int32_t n, const TChunk& out) {
  const TAheadBounds bounds(lastPos);
  bool within = true;
#ifdef KESTRUNE_PAIR_SSE2
  // In lanes of their own: one running test would be a chain of n dependent steps.
  const __m128 lowest = _mm_set1_ps(bounds.lowest), highest = _mm_set1_ps(bounds.highest);
  __m128 outside = _mm_setzero_ps();
  for (; k + 4 <= n; k += 4) {
    const __m128 d = _mm_loadu_ps(out.delays + k);
    outside = _mm_or_ps(outside, _mm_or_ps(_mm_cmpnge_ps(d, lowest), _mm_cmpnle_ps(d, highest)));  // NaN: outside
    Tdelay4p::locateRuns(out.positions + k, lastPos + 1, out.delays + k, out.oldest + k, out.fractions + k);
  }
  within = _mm_movemask_ps(outside) == 0;
#endif
  for (; k < n; k += 4) {
    Tdelay4p::locateRuns(out.positions + k, lastPos + 1, out.delays + k, out.oldest + k, out.fractions + k);
    for (std::int32_t j = k; j < k + 4 && j < n; ++j) within = within && bounds.within(out.delays[j]);
  }
  return within;
}

}  // namespace

bool preparePlain(TMotion& motion, const TPrepare& p, std::int32_t n, const TChunk& chunk) {
  // Locals: the stores below cannot alias them. Each value is read on its own: a copy of a whole
  // struct the caller has just written would wait for those writes to leave.
  TPara& para = *motion.para;
  std::int32_t writePos = motion.writePos;
  const std::int32_t lastPos = motion.lastPos;
  const TChunk out = chunk;
  const bool ownSides = p.ownSides;
  const TPair half = TPair::all(0.5), one = TPair::all(1.0);
  const TPair depthD = TPair::all(p.delayDepth), leftDepth = TPair::all(p.leftDepth),
              rightDepth = TPair::all(p.rightDepth);
  const TPairF rate = TPairF::all(p.rateF);
  const TPair dampDepth = TPair::all(p.dampDepth), rateD = rate.toDouble();
  // Both sides' gains of two samples, interleaved: g > 1 ? 1 : (g < 0 ? 0 : g) on four lanes.
  const auto sideGains = [&](TPair left, TPair right) {
    const TQuadF g = TQuadF::interleaved((one - left * leftDepth).toFloat(), (one - right * rightDepth).toFloat());
    return TQuadF::lessOr(TQuadF::all(1.0f), TQuadF::greaterOr(TQuadF::all(0.0f), g));
  };
  // Two neighbouring samples per pair: samples j, j + 1.
  const auto pair = [&](std::int32_t j, TPair first, TPair second) {
    const TPairF a = paraHalfShapePair(TPair::lows(first, second)).toFloat();
    const TPairF b = paraHalfShapePair(TPair::highs(first, second)).toFloat();
    a.store(out.mods1 + j);
    b.store(out.mods2 + j);
  };
  para.SetRate(motion.rate, motion.sampleRate);
  TPhases phases(para, motion.offset);
  for (std::int32_t k = 0; k < n; k += 4) {
    TPair s0 = TPair::all(0.0), s1 = s0, s2 = s0, s3 = s0;
    stepFour(phases, n - k, s0, s1, s2, s3);
    positionsFour(writePos, lastPos, n - k, out.positions + k);
    pair(k, s0, s1);
    pair(k + 2, s2, s3);
  }
  // What follows from the outputs in a pass of its own: in one pass with the oscillators, each
  // group's long chain of dependent steps kept too few groups in flight. Mod + 0.5 comes again
  // from the stored Mod, exactly. The spare samples too, up to the next multiple of four.
  for (std::int32_t j = 0, filled = (n + 3) & ~3; j < filled; j += 2) {
    const TPair m1 = TPairF::load(out.mods1 + j).toDouble() + half, m2 = TPairF::load(out.mods2 + j).toDouble() + half;
    // Limited to the ring: the depth may come from a derivation at an older, higher rate.
    TPairF::lessOr((m1 * depthD).toFloat(), rate).store(out.delays + j);
    sideGains(ownSides ? m1 : m2, ownSides ? m2 : m1).store(out.gains + 2 * j);
    TQuadF::interleaved(dampArgumentPair(m1, dampDepth, rateD), dampArgumentPair(m2, dampDepth, rateD))
        .store(out.dampArgs + 2 * j);
  }
  const bool ahead = locateFours(lastPos, 0, n, out);
  phases.storeTo(para);
  motion.writePos = writePos;
  return ahead;
}

void conditionPlain(const float* inL, const float* inR, std::int32_t n, bool merge, float limit, double* out) {
  const TPair mergeGain = TPair::all(0.6);
  const auto put = [&](TPair in, std::int32_t k) {
    if (merge) in = (in + in.swapped()) * mergeGain;  // (l + r, r + l) x 0.6
    in.store(out + 2 * k);
  };
  std::int32_t k = 0;
#ifdef KESTRUNE_PAIR_SSE2
  // Four samples of a side in one vector where there is a whole four.
  const __m128 limits = _mm_set1_ps(limit);
  for (; k + 4 <= n; k += 4) {
    const __m128 l = TPairF::withinLanes(_mm_loadu_ps(inL + k), limits);
    const __m128 r = TPairF::withinLanes(_mm_loadu_ps(inR + k), limits);
    const __m128 first = _mm_unpacklo_ps(l, r), second = _mm_unpackhi_ps(l, r);  // samples k, k + 1 / k + 2, k + 3
    put(TPairF{first}.toDouble(), k);
    put(TPairF{_mm_movehl_ps(first, first)}.toDouble(), k + 1);
    put(TPairF{second}.toDouble(), k + 2);
    put(TPairF{_mm_movehl_ps(second, second)}.toDouble(), k + 3);
  }
#endif
  for (; k < n; ++k) put(TPairF::gather(inL + k, inR + k).within(limit).toDouble(), k);
}

#ifdef KESTRUNE_WIDE
namespace {

// Mod + 0.5 of four samples.
KESTRUNE_TARGET_WIDE inline __m256d modPlusHalf(const float* mods) {
  return _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(mods)), _mm256_set1_pd(0.5));
}

}  // namespace

KESTRUNE_TARGET_WIDE void conditionWide(const float* inL, const float* inR, std::int32_t n, bool merge, float limit,
                                        double* out) {
  const __m128 limitQ = _mm_set1_ps(limit);
  const __m256d mergeGain = _mm256_set1_pd(0.6);
  std::int32_t k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m128 l = TPairF::withinLanes(_mm_loadu_ps(inL + k), limitQ);
    const __m128 r = TPairF::withinLanes(_mm_loadu_ps(inR + k), limitQ);
    __m256d first = _mm256_cvtps_pd(_mm_unpacklo_ps(l, r));  // samples k, k + 1
    __m256d second = _mm256_cvtps_pd(_mm_unpackhi_ps(l, r));
    if (merge) {
      first = _mm256_mul_pd(_mm256_add_pd(first, _mm256_permute_pd(first, 0x5)), mergeGain);
      second = _mm256_mul_pd(_mm256_add_pd(second, _mm256_permute_pd(second, 0x5)), mergeGain);
    }
    _mm256_storeu_pd(out + 2 * k, first);
    _mm256_storeu_pd(out + 2 * k + 4, second);
  }
  // The compiler leaves the wide registers' upper halves in use on this tail call, and the plain
  // code after it would then run slower; clear them first.
  _mm256_zeroupper();
  conditionPlain(inL + k, inR + k, n - k, merge, limit, out + 2 * k);
}

KESTRUNE_TARGET_WIDE bool prepareWide(TMotion& motion, const TPrepare& p, std::int32_t n, const TChunk& chunk) {
  // Locals: the stores below cannot alias them. Each value is read on its own: a copy of a whole
  // struct the caller has just written would wait for those writes to leave.
  TPara& para = *motion.para;
  std::int32_t writePos = motion.writePos;
  const std::int32_t lastPos = motion.lastPos;
  const TChunk out = chunk;
  const bool ownSides = p.ownSides;
  const __m256d depthD = _mm256_set1_pd(p.delayDepth);
  const __m256d leftDepth = _mm256_set1_pd(p.leftDepth), rightDepth = _mm256_set1_pd(p.rightDepth);
  const __m128 rate = _mm_set1_ps(p.rateF);
  const __m256d dampDepth = _mm256_set1_pd(p.dampDepth), rateD = _mm256_set1_pd(p.rateF);
  para.SetRate(motion.rate, motion.sampleRate);
  TPhases phases(para, motion.offset);
  for (std::int32_t k = 0; k < n; k += 4) {
    TPair s0 = TPair::all(0.0), s1 = s0, s2 = s0, s3 = s0;
    stepFour(phases, n - k, s0, s1, s2, s3);
    positionsFour(writePos, lastPos, n - k, out.positions + k);
    // Both oscillators of two samples per vector: the shape works lane by lane.
    const __m128 first = _mm256_cvtpd_ps(paraHalfShapeQuad(_mm256_set_m128d(s1.v, s0.v)));
    const __m128 second = _mm256_cvtpd_ps(paraHalfShapeQuad(_mm256_set_m128d(s3.v, s2.v)));
    _mm_storeu_ps(out.mods1 + k, _mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
    _mm_storeu_ps(out.mods2 + k, _mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
  }
  // What follows from the outputs in a pass of its own, as in the plain build.
  for (std::int32_t k = 0; k < n; k += 4) {
    const __m256d m1 = modPlusHalf(out.mods1 + k), m2 = modPlusHalf(out.mods2 + k);
    _mm_storeu_ps(out.delays + k, _mm_min_ps(_mm256_cvtpd_ps(_mm256_mul_pd(m1, depthD)), rate));
    _mm256_storeu_ps(out.gains + 2 * k, sideGainsQuad(ownSides ? m1 : m2, leftDepth, ownSides ? m2 : m1, rightDepth));
    _mm256_storeu_ps(out.dampArgs + 2 * k, interleaveHalves(_mm256_set_m128(dampArgumentQuad(m2, dampDepth, rateD),
                                                                            dampArgumentQuad(m1, dampDepth, rateD))));
  }
  const TAheadBounds bounds(lastPos);
  const __m256 lowest = _mm256_set1_ps(bounds.lowest), highest = _mm256_set1_ps(bounds.highest);
  __m256 outside = _mm256_setzero_ps();
  std::int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m256 d = _mm256_loadu_ps(out.delays + k);
    outside = _mm256_or_ps(outside, _mm256_or_ps(_mm256_cmp_ps(d, lowest, _CMP_NGE_UQ),
                                                 _mm256_cmp_ps(d, highest, _CMP_NLE_UQ)));  // NaN: outside
    locateRunsEight(out.positions + k, lastPos + 1, out.delays + k, out.oldest + k, out.fractions + k);
  }
  const bool ahead = locateFours(lastPos, k, n, out) && _mm256_movemask_ps(outside) == 0;
  phases.storeTo(para);
  motion.writePos = writePos;
  return ahead;
}

#else
bool prepareWide(TMotion& motion, const TPrepare& p, std::int32_t n, const TChunk& out) {
  return preparePlain(motion, p, n, out);
}
void conditionWide(const float* inL, const float* inR, std::int32_t n, bool merge, float limit, double* out) {
  conditionPlain(inL, inR, n, merge, limit, out);
}
#endif
