// The wide-vector build of the processing: on x86 processors with AVX2, the work computed ahead
// runs four samples at a time and the sample loop two, where they may. Each lane is still the
// plain IEEE operation (no fused multiply-add), so both builds give the same samples bit for bit.
#pragma once

// The wide functions build on the SSE2 pairs, so a 32-bit build needs SSE2 on (-msse2).
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#define KESTRUNE_WIDE 1
#define KESTRUNE_TARGET_WIDE __attribute__((target("avx2")))
#else
#define KESTRUNE_TARGET_WIDE
#endif

#if defined(__GNUC__) || defined(__clang__)
#define KESTRUNE_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define KESTRUNE_ALWAYS_INLINE inline
#endif

// Whether this processor (and its operating system, which must save the wide registers) runs the
// wide build.
inline bool wideVectorsAvailable() {
#ifdef KESTRUNE_WIDE
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return available;
#else
  return false;
#endif
}
