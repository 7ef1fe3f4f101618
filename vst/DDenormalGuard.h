// Scope guard for processing: while it lives, SSE arithmetic flushes denormal results to zero and
// treats denormal inputs as zero, and rounds to nearest; the previous control word comes back when
// it goes. Feedback paths decaying towards silence would otherwise slow the audio thread down by
// orders of magnitude, and a host's own rounding mode would change the samples (and the kernels'
// shortcuts that hold only when rounding to nearest). On targets without SSE it does nothing.
#pragma once

#if defined(__SSE__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#include <xmmintrin.h>
#define KESTRUNE_HAVE_MXCSR 1
#endif

class TDenormalGuard {
 public:
#ifdef KESTRUNE_HAVE_MXCSR
  static constexpr unsigned kFlushToZero = 0x8000;       // FTZ
  static constexpr unsigned kDenormalsAreZero = 0x0040;  // DAZ
  static constexpr unsigned kRounding = 0x6000;          // RC; 0 rounds to nearest
  TDenormalGuard() noexcept : saved(_mm_getcsr()) {
    _mm_setcsr((saved & ~kRounding) | kFlushToZero | kDenormalsAreZero);
  }
  ~TDenormalGuard() { _mm_setcsr(saved); }
#else
  TDenormalGuard() noexcept {}
#endif
  TDenormalGuard(const TDenormalGuard&) = delete;
  TDenormalGuard& operator=(const TDenormalGuard&) = delete;

 private:
#ifdef KESTRUNE_HAVE_MXCSR
  unsigned saved;
#endif
};
