// Four lanes of the per-sample arithmetic the work computed ahead needs, for the wide build:
// the same per-lane operations as the pair functions of uPair.h, on four samples (or on two
// samples of both sides) at once.
#pragma once

#include "plugin/uWide.h"

#ifdef KESTRUNE_WIDE
#include <immintrin.h>

#include <bit>
#include <cstdint>

// (a0, a1, a2, a3, b0, b1, b2, b3) to (a0, b0, a1, b1, a2, b2, a3, b3).
KESTRUNE_TARGET_WIDE inline __m256 interleaveHalves(__m256 x) {
  return _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

KESTRUNE_TARGET_WIDE inline __m256d paraHalfShapeQuad(__m256d phase) {
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m256d t = _mm256_sub_pd(_mm256_set1_pd(0.25), _mm256_cvtps_pd(_mm_and_ps(_mm256_cvtpd_ps(phase), magnitude)));
  const __m256d s =
      _mm256_sub_pd(_mm256_set1_pd(1.0),
                    _mm256_mul_pd(_mm256_set1_pd(2.0), _mm256_cvtps_pd(_mm_and_ps(_mm256_cvtpd_ps(t), magnitude))));
  return _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(4.0), t), s);
}

KESTRUNE_TARGET_WIDE inline __m128 fastSinQuad(__m128 x) {
  const __m128 s = _mm_mul_ps(x, x);
  __m128 t = _mm_mul_ps(_mm_set1_ps(std::bit_cast<float>(0x3BF95D4Fu)), s);
  t = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_cvtps_pd(t), _mm256_set1_pd(0.16605)));
  t = _mm_mul_ps(t, s);
  t = _mm_add_ps(t, _mm_set1_ps(1.0f));
  return _mm_mul_ps(t, x);
}

// Both sides' gains of four samples, interleaved (left, right, left, right, ...): each
// g > 1 ? 1 : (g < 0 ? 0 : g) with g = 1 - m depth rounded to float.
KESTRUNE_TARGET_WIDE inline __m256 sideGainsQuad(__m256d mLeft, __m256d depthLeft, __m256d mRight, __m256d depthRight) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256 g = _mm256_set_m128(_mm256_cvtpd_ps(_mm256_sub_pd(one, _mm256_mul_pd(mRight, depthRight))),
                                   _mm256_cvtpd_ps(_mm256_sub_pd(one, _mm256_mul_pd(mLeft, depthLeft))));
  return interleaveHalves(_mm256_min_ps(_mm256_set1_ps(1.0f), _mm256_max_ps(_mm256_setzero_ps(), g)));
}

// Tdelay4p::locateRuns for eight reads at once.
KESTRUNE_TARGET_WIDE inline void locateRunsEight(const std::int32_t* writePos, std::int32_t ringLength,
                                                 const float* delay, std::int32_t* start, float* fraction) {
  const __m256 d = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(delay), _mm256_setzero_ps()),
                                 _mm256_set1_ps(static_cast<float>(ringLength - 1)));
  const __m256 x = _mm256_sub_ps(d, _mm256_set1_ps(0.5f));
  const __m256i t = _mm256_cvttps_epi32(x);
  const __m256 tf = _mm256_cvtepi32_ps(t);
  const __m256i oddAbove2048 =
      _mm256_and_si256(_mm256_cmpgt_epi32(t, _mm256_set1_epi32(2048)),
                       _mm256_sub_epi32(_mm256_setzero_si256(), _mm256_and_si256(t, _mm256_set1_epi32(1))));
  const __m256i below = _mm256_castps_si256(_mm256_cmp_ps(x, tf, _CMP_LT_OQ));
  const __m256i equal = _mm256_castps_si256(_mm256_cmp_ps(x, tf, _CMP_EQ_OQ));
  const __m256i whole = _mm256_add_epi32(_mm256_add_epi32(t, below), _mm256_and_si256(equal, oddAbove2048));
  _mm256_storeu_ps(fraction, _mm256_sub_ps(d, _mm256_cvtepi32_ps(whole)));
  const __m256i oldest = _mm256_sub_epi32(
      _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(writePos)), whole), _mm256_set1_epi32(2));
  const __m256i wrap =
      _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(-3), oldest), _mm256_set1_epi32(ringLength));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(start), _mm256_add_epi32(oldest, wrap));
}

// dampArgumentPair on four lanes.
KESTRUNE_TARGET_WIDE inline __m128 dampArgumentQuad(__m256d m, __m256d dampDepth, __m256d rate) {
  const __m128 cutoff = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_set1_pd(12000.0), _mm256_mul_pd(m, dampDepth)));
  const __m256d product = _mm256_mul_pd(_mm256_cvtps_pd(cutoff), _mm256_set1_pd(3.1415926536));
  return _mm256_cvtpd_ps(_mm256_div_pd(product, rate));
}
#endif
