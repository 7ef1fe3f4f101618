// Small helpers shared by the wide-vector (AVX2) functions of the processing.
#pragma once

#include "plugin/uWide.h"

#ifdef KESTRUNE_WIDE
#include <immintrin.h>

// TPairF::within on four lanes: each kept when its magnitude is at most limit, else 0 (NaN gives 0).
KESTRUNE_TARGET_WIDE inline __m128 withinQuad(__m128 v, __m128 limit) {
  const __m128 magnitude = _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
  return _mm_and_ps(v, _mm_cmple_ps(magnitude, limit));
}
#endif
