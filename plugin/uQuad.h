// Four lanes of the per-sample arithmetic the work computed ahead needs, for the wide build:
// the same per-lane operations as the pair functions of uPair.h, on four samples (or on two
// samples of both sides) at once.
#pragma once

#include "plugin/uWide.h"

#ifdef KESTRUNE_WIDE
#include <immintrin.h>

#include <bit>

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

KESTRUNE_TARGET_WIDE inline __m128 sideGainQuad(__m256d m, __m256d depth) {
  const __m128 g = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(m, depth)));
  return _mm_min_ps(_mm_set1_ps(1.0f), _mm_max_ps(_mm_setzero_ps(), g));
}

// dampArgumentPair on four lanes.
KESTRUNE_TARGET_WIDE inline __m128 dampArgumentQuad(__m256d m, __m256d dampDepth, __m256d rate) {
  const __m128 cutoff = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_set1_pd(12000.0), _mm256_mul_pd(m, dampDepth)));
  const __m256d product = _mm256_mul_pd(_mm256_cvtps_pd(cutoff), _mm256_set1_pd(3.1415926536));
  return _mm256_cvtpd_ps(_mm256_div_pd(product, rate));
}
#endif
