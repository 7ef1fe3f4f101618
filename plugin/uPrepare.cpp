#include "plugin/uPrepare.h"

#include <bit>

#include "plugin/uPair.h"
#include "plugin/uWide.h"

#ifdef KESTRUNE_WIDE
#include <immintrin.h>
#endif

namespace {

// One sample's move of the oscillators: their phases.
struct TStep {
  double phase1 = 0.0, phase2 = 0.0;
};

// Requires m.para.SetRate(m.rate, m.sampleRate) first.
KESTRUNE_ALWAYS_INLINE TStep step(TMotion& m) {
  m.para.AdvanceAtRate(m.offset);
  return {m.para.Phase1, m.para.Phase2};
}

// The moves of samples k..k+3 of n; the spare ones stay still, at their defaults. The phases go
// to the vector work straight from registers: loading what was just stored sample by sample
// would wait for the stores to leave.
KESTRUNE_ALWAYS_INLINE void stepFour(TMotion& m, std::int32_t left, TStep& s0, TStep& s1, TStep& s2, TStep& s3) {
  s0 = step(m);
  if (left >= 4) {
    s1 = step(m);
    s2 = step(m);
    s3 = step(m);
  } else {
    if (left > 1) s1 = step(m);
    if (left > 2) s2 = step(m);
  }
}

// The write positions of samples k..k+3 of n (0 for the spare ones).
KESTRUNE_ALWAYS_INLINE void positionsFour(TMotion& m, std::int32_t left, std::int32_t* positions) {
  if (left >= 4 && m.writePos <= m.lastPos - 4) {  // no wrap: the common case, in one vector
    TQuadI::all(m.writePos).plusOneToFour().store(positions);
    m.writePos += 4;
    return;
  }
  for (std::int32_t j = 0; j < 4; ++j) {
    if (j < left) {
      if (++m.writePos > m.lastPos) m.writePos = 0;
      positions[j] = m.writePos;
    } else {
      positions[j] = 0;
    }
  }
}

}  // namespace

void preparePlain(TMotion& motion, const TPrepare& p, std::int32_t n, const TChunk& out) {
  TMotion m = motion;  // a local: the stores below cannot alias it
  const TPair half = TPair::all(0.5), one = TPair::all(1.0), cutoffTop = TPair::all(12000.0);
  const TPair depthD = TPair::all(p.delayDepth), leftDepth = TPair::all(p.leftDepth),
              rightDepth = TPair::all(p.rightDepth);
  const TPair dampDepth = TPair::all(p.dampDepth), pi = TPair::all(3.1415926536);
  const TPairF rate = TPairF::all(p.rateF), oneF = TPairF::all(1.0f), zeroF = TPairF::all(0.0f);
  const TPair rateD = rate.toDouble();
  // g > 1 ? 1 : (g < 0 ? 0 : g)
  const auto sideGain = [&](TPair mod, TPair depth) {
    return TPairF::lessOr(oneF, TPairF::greaterOr(zeroF, (one - mod * depth).toFloat()));
  };
  // TLp1::coefficientFor
  const auto coefficient = [&](TPair mod) {
    return fastSinPair(((cutoffTop - mod * dampDepth).toFloat().toDouble() * pi / rateD).toFloat());
  };
  // Two neighbouring samples per pair: samples j, j + 1.
  const auto pair = [&](std::int32_t j, const TStep& first, const TStep& second) {
    const TPairF a = (paraShapePair(TPair::of(first.phase1, second.phase1)) * half).toFloat();
    const TPairF b = (paraShapePair(TPair::of(first.phase2, second.phase2)) * half).toFloat();
    a.store(out.mods1 + j);
    b.store(out.mods2 + j);
    const TPair m1 = a.toDouble() + half, m2 = b.toDouble() + half;  // Mod1 + 0.5, Mod2 + 0.5
    // Limited to the ring: the depth may come from a derivation at an older, higher rate.
    TPairF::lessOr((m1 * depthD).toFloat(), rate).store(out.delays + j);
    TPairF::storeInterleaved(out.gains + 2 * j, sideGain(p.ownSides ? m1 : m2, leftDepth),
                             sideGain(p.ownSides ? m2 : m1, rightDepth));
  };
  m.para.SetRate(m.rate, m.sampleRate);
  for (std::int32_t k = 0; k < n; k += 4) {
    TStep s0, s1, s2, s3;
    stepFour(m, n - k, s0, s1, s2, s3);
    positionsFour(m, n - k, out.positions + k);
    pair(k, s0, s1);
    pair(k + 2, s2, s3);
  }
  // The coefficients in a pass of their own, as in the wide build: with both long chains of
  // dependent steps in one pass, too few samples are in flight. Mod + 0.5 comes again from the
  // stored Mod, exactly.
  for (std::int32_t j = 0; j < n; j += 2) {
    const TPair m1 = TPairF::load(out.mods1 + j).toDouble() + half, m2 = TPairF::load(out.mods2 + j).toDouble() + half;
    TPair c0, c1;  // (left, right) of sample j and of sample j + 1
    TPairF::widenInterleaved(coefficient(m1), coefficient(m2), c0, c1);
    c0.store(out.coefs + 2 * j);
    c1.store(out.coefs + 2 * j + 2);
    (one - c0).store(out.keeps + 2 * j);
    (one - c1).store(out.keeps + 2 * j + 2);
    (one + c0).store(out.divisors + 2 * j);
    (one + c1).store(out.divisors + 2 * j + 2);
  }
  motion = m;
}

void conditionPlain(const float* inL, const float* inR, std::int32_t n, bool merge, float limit, double* out) {
  const TPair mergeGain = TPair::all(0.6);
  for (std::int32_t k = 0; k < n; ++k) {
    TPair in = TPairF::gather(inL + k, inR + k).within(limit).toDouble();
    if (merge) in = (in + in.swapped()) * mergeGain;  // (l + r, r + l) x 0.6
    in.store(out + 2 * k);
  }
}

#ifdef KESTRUNE_WIDE
namespace {

// The same per-lane operations as the pair functions, on four samples.
KESTRUNE_TARGET_WIDE inline __m256d paraShapeQuad(__m256d phase) {
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m256d t = _mm256_sub_pd(_mm256_set1_pd(0.25), _mm256_cvtps_pd(_mm_and_ps(_mm256_cvtpd_ps(phase), magnitude)));
  const __m256d s =
      _mm256_sub_pd(_mm256_set1_pd(1.0),
                    _mm256_mul_pd(_mm256_set1_pd(2.0), _mm256_cvtps_pd(_mm_and_ps(_mm256_cvtpd_ps(t), magnitude))));
  return _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(8.0), t), s);
}

KESTRUNE_TARGET_WIDE inline __m128 fastSinQuad(__m128 x) {
  const __m128 s = _mm_mul_ps(x, x);
  __m128 t = _mm_mul_ps(_mm_set1_ps(std::bit_cast<float>(0x3BF95D4Fu)), s);
  t = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_cvtps_pd(t), _mm256_set1_pd(0.16605)));
  t = _mm_mul_ps(t, s);
  t = _mm_add_ps(t, _mm_set1_ps(1.0f));
  return _mm_mul_ps(t, x);
}

// Mod + 0.5 of four samples.
KESTRUNE_TARGET_WIDE inline __m256d modPlusHalf(const float* mods) {
  return _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(mods)), _mm256_set1_pd(0.5));
}

KESTRUNE_TARGET_WIDE inline __m128 sideGainQuad(__m256d m, __m256d depth) {
  const __m128 g = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(m, depth)));
  return _mm_min_ps(_mm_set1_ps(1.0f), _mm_max_ps(_mm_setzero_ps(), g));
}

KESTRUNE_TARGET_WIDE inline __m128 coefficientQuad(__m256d m, __m256d dampDepth, __m128 rate) {
  const __m128 cutoff = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_set1_pd(12000.0), _mm256_mul_pd(m, dampDepth)));
  const __m256d product = _mm256_mul_pd(_mm256_set1_pd(3.1415926536), _mm256_cvtps_pd(cutoff));
  return fastSinQuad(_mm256_cvtpd_ps(_mm256_div_pd(product, _mm256_cvtps_pd(rate))));
}

// c, 1 - c and 1 + c of four samples' (left, right) coefficients, interleaved.
KESTRUNE_TARGET_WIDE inline void storeCoefficients(__m128 left, __m128 right, double* coefs, double* keeps,
                                                   double* divisors) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d c0 = _mm256_cvtps_pd(_mm_unpacklo_ps(left, right));
  const __m256d c1 = _mm256_cvtps_pd(_mm_unpackhi_ps(left, right));
  _mm256_storeu_pd(coefs, c0);
  _mm256_storeu_pd(coefs + 4, c1);
  _mm256_storeu_pd(keeps, _mm256_sub_pd(one, c0));
  _mm256_storeu_pd(keeps + 4, _mm256_sub_pd(one, c1));
  _mm256_storeu_pd(divisors, _mm256_add_pd(one, c0));
  _mm256_storeu_pd(divisors + 4, _mm256_add_pd(one, c1));
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
  conditionPlain(inL + k, inR + k, n - k, merge, limit, out + 2 * k);
}

KESTRUNE_TARGET_WIDE void prepareWide(TMotion& motion, const TPrepare& p, std::int32_t n, const TChunk& out) {
  TMotion m = motion;  // a local: the stores below cannot alias it
  const __m256d half = _mm256_set1_pd(0.5), depthD = _mm256_set1_pd(p.delayDepth);
  const __m256d leftDepth = _mm256_set1_pd(p.leftDepth), rightDepth = _mm256_set1_pd(p.rightDepth);
  const __m256d dampDepth = _mm256_set1_pd(p.dampDepth);
  const __m128 rate = _mm_set1_ps(p.rateF);
  m.para.SetRate(m.rate, m.sampleRate);
  for (std::int32_t k = 0; k < n; k += 4) {
    TStep s0, s1, s2, s3;
    stepFour(m, n - k, s0, s1, s2, s3);
    positionsFour(m, n - k, out.positions + k);
    const __m256d phase1 = _mm256_set_pd(s3.phase1, s2.phase1, s1.phase1, s0.phase1);
    const __m256d phase2 = _mm256_set_pd(s3.phase2, s2.phase2, s1.phase2, s0.phase2);
    const __m128 a = _mm256_cvtpd_ps(_mm256_mul_pd(paraShapeQuad(phase1), half));
    const __m128 b = _mm256_cvtpd_ps(_mm256_mul_pd(paraShapeQuad(phase2), half));
    _mm_storeu_ps(out.mods1 + k, a);
    _mm_storeu_ps(out.mods2 + k, b);
    const __m256d m1 = _mm256_add_pd(_mm256_cvtps_pd(a), half), m2 = _mm256_add_pd(_mm256_cvtps_pd(b), half);
    _mm_storeu_ps(out.delays + k, _mm_min_ps(_mm256_cvtpd_ps(_mm256_mul_pd(m1, depthD)), rate));
    const __m128 gainL = sideGainQuad(p.ownSides ? m1 : m2, leftDepth);
    const __m128 gainR = sideGainQuad(p.ownSides ? m2 : m1, rightDepth);
    _mm_storeu_ps(out.gains + 2 * k, _mm_unpacklo_ps(gainL, gainR));
    _mm_storeu_ps(out.gains + 2 * k + 4, _mm_unpackhi_ps(gainL, gainR));
  }
  // The coefficients in a pass of their own: with both long chains of dependent steps in one
  // pass, too few groups are in flight. Mod + 0.5 comes again from the stored Mod, exactly.
  for (std::int32_t k = 0; k < n; k += 4) {
    const __m256d m1 = modPlusHalf(out.mods1 + k), m2 = modPlusHalf(out.mods2 + k);
    storeCoefficients(coefficientQuad(m1, dampDepth, rate), coefficientQuad(m2, dampDepth, rate), out.coefs + 2 * k,
                      out.keeps + 2 * k, out.divisors + 2 * k);
  }
  motion = m;
}

#else
void prepareWide(TMotion& motion, const TPrepare& p, std::int32_t n, const TChunk& out) {
  preparePlain(motion, p, n, out);
}
void conditionWide(const float* inL, const float* inR, std::int32_t n, bool merge, float limit, double* out) {
  conditionPlain(inL, inR, n, merge, limit, out);
}
#endif
