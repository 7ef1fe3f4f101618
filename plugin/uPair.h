// Two lanes of arithmetic for the left and right channels (or two neighbouring samples): every
// operation is the plain IEEE operation on each lane, so a pair gives bit for bit what two scalar
// computations give, in one instruction where SSE2 is there. Only what the processing needs.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KESTRUNE_PAIR_SSE2 1
#endif

struct TPairF;

// Two doubles.
struct TPair {
#ifdef KESTRUNE_PAIR_SSE2
  __m128d v;
  static TPair of(double a, double b) { return {_mm_set_pd(b, a)}; }
  static TPair all(double a) { return {_mm_set1_pd(a)}; }
  static TPair load(const double* p) { return {_mm_loadu_pd(p)}; }
  void store(double* p) const { _mm_storeu_pd(p, v); }
  double a() const { return _mm_cvtsd_f64(v); }
  double b() const { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
  friend TPair operator+(TPair x, TPair y) { return {_mm_add_pd(x.v, y.v)}; }
  friend TPair operator-(TPair x, TPair y) { return {_mm_sub_pd(x.v, y.v)}; }
  friend TPair operator*(TPair x, TPair y) { return {_mm_mul_pd(x.v, y.v)}; }
  friend TPair operator/(TPair x, TPair y) { return {_mm_div_pd(x.v, y.v)}; }
  TPair swapped() const { return {_mm_shuffle_pd(v, v, 1)}; }
  // (x.a, y.a) and (x.b, y.b).
  static TPair lows(TPair x, TPair y) { return {_mm_unpacklo_pd(x.v, y.v)}; }
  static TPair highs(TPair x, TPair y) { return {_mm_unpackhi_pd(x.v, y.v)}; }
  // Whether both lanes are at most `limit`, or beyond it (neither NaN).
  bool bothAtMost(double limit) const { return _mm_movemask_pd(_mm_cmple_pd(v, _mm_set1_pd(limit))) == 3; }
  bool bothAbove(double limit) const { return _mm_movemask_pd(_mm_cmpgt_pd(v, _mm_set1_pd(limit))) == 3; }
  // x < y ? x : y per lane, as the scalar expression (NaN gives y).
  static TPair lessOr(TPair x, TPair y) { return {_mm_min_pd(x.v, y.v)}; }
#else
  double lo, hi;
  static TPair of(double a, double b) { return {a, b}; }
  static TPair all(double a) { return {a, a}; }
  static TPair load(const double* p) { return {p[0], p[1]}; }
  void store(double* p) const {
    p[0] = lo;
    p[1] = hi;
  }
  double a() const { return lo; }
  double b() const { return hi; }
  friend TPair operator+(TPair x, TPair y) { return {x.lo + y.lo, x.hi + y.hi}; }
  friend TPair operator-(TPair x, TPair y) { return {x.lo - y.lo, x.hi - y.hi}; }
  friend TPair operator*(TPair x, TPair y) { return {x.lo * y.lo, x.hi * y.hi}; }
  friend TPair operator/(TPair x, TPair y) { return {x.lo / y.lo, x.hi / y.hi}; }
  TPair swapped() const { return {hi, lo}; }
  static TPair lows(TPair x, TPair y) { return {x.lo, y.lo}; }
  static TPair highs(TPair x, TPair y) { return {x.hi, y.hi}; }
  bool bothAtMost(double limit) const { return lo <= limit && hi <= limit; }
  bool bothAbove(double limit) const { return lo > limit && hi > limit; }
  static TPair lessOr(TPair x, TPair y) { return {x.lo < y.lo ? x.lo : y.lo, x.hi < y.hi ? x.hi : y.hi}; }
#endif
  inline TPairF toFloat() const;  // each lane rounded to float
};

// Two floats.
struct TPairF {
#ifdef KESTRUNE_PAIR_SSE2
  __m128 v;  // lanes 0 and 1
  static TPairF of(float a, float b) { return {_mm_unpacklo_ps(_mm_set_ss(a), _mm_set_ss(b))}; }
  static TPairF all(float a) { return {_mm_set1_ps(a)}; }
  float a() const { return _mm_cvtss_f32(v); }
  float b() const { return _mm_cvtss_f32(_mm_shuffle_ps(v, v, 1)); }
  void store(float* p) const { _mm_storel_pi(reinterpret_cast<__m64*>(p), v); }
  TPair toDouble() const { return {_mm_cvtps_pd(v)}; }
  friend TPairF operator+(TPairF x, TPairF y) { return {_mm_add_ps(x.v, y.v)}; }
  friend TPairF operator*(TPairF x, TPairF y) { return {_mm_mul_ps(x.v, y.v)}; }
  friend TPairF operator/(TPairF x, TPairF y) { return {_mm_div_ps(x.v, y.v)}; }
  // x < y ? x : y and x > y ? x : y per lane, as the scalar expressions (NaN gives y).
  static TPairF lessOr(TPairF x, TPairF y) { return {_mm_min_ps(x.v, y.v)}; }
  static TPairF greaterOr(TPairF x, TPairF y) { return {_mm_max_ps(x.v, y.v)}; }
  static TPairF load(const float* p) { return {_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p)))}; }
  static TPairF gather(const float* a, const float* b) { return {_mm_unpacklo_ps(_mm_load_ss(a), _mm_load_ss(b))}; }
  TPairF abs() const { return {_mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)))}; }
  TPairF broadcastA() const { return {_mm_shuffle_ps(v, v, 0x00)}; }
  TPairF broadcastB() const { return {_mm_shuffle_ps(v, v, 0x55)}; }
  // Each lane kept when its magnitude is at most limit, else 0 (NaN gives 0).
  TPairF within(float limit) const { return {withinLanes(v, _mm_set1_ps(limit))}; }
  // within on all four lanes of a register (the wide code's four samples or two stereo frames).
  static __m128 withinLanes(__m128 x, __m128 limit) {
    return _mm_and_ps(x, _mm_cmple_ps(_mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))), limit));
  }
#else
  float lo, hi;
  static TPairF of(float a, float b) { return {a, b}; }
  static TPairF all(float a) { return {a, a}; }
  float a() const { return lo; }
  float b() const { return hi; }
  void store(float* p) const {
    p[0] = lo;
    p[1] = hi;
  }
  TPair toDouble() const { return {static_cast<double>(lo), static_cast<double>(hi)}; }
  friend TPairF operator+(TPairF x, TPairF y) { return {x.lo + y.lo, x.hi + y.hi}; }
  friend TPairF operator*(TPairF x, TPairF y) { return {x.lo * y.lo, x.hi * y.hi}; }
  friend TPairF operator/(TPairF x, TPairF y) { return {x.lo / y.lo, x.hi / y.hi}; }
  static TPairF lessOr(TPairF x, TPairF y) { return {x.lo < y.lo ? x.lo : y.lo, x.hi < y.hi ? x.hi : y.hi}; }
  static TPairF greaterOr(TPairF x, TPairF y) { return {x.lo > y.lo ? x.lo : y.lo, x.hi > y.hi ? x.hi : y.hi}; }
  static TPairF load(const float* p) { return {p[0], p[1]}; }
  static TPairF gather(const float* a, const float* b) { return {*a, *b}; }
  TPairF abs() const { return {std::fabs(lo), std::fabs(hi)}; }
  TPairF broadcastA() const { return {lo, lo}; }
  TPairF broadcastB() const { return {hi, hi}; }
  TPairF within(float limit) const { return {std::fabs(lo) <= limit ? lo : 0.0f, std::fabs(hi) <= limit ? hi : 0.0f}; }
#endif
};

#ifdef KESTRUNE_PAIR_SSE2
inline TPairF TPair::toFloat() const { return {_mm_cvtpd_ps(v)}; }
#else
inline TPairF TPair::toFloat() const { return {static_cast<float>(lo), static_cast<float>(hi)}; }
#endif

// Four floats and four 32-bit integers, for work computed ahead over four samples at once.
#ifdef KESTRUNE_PAIR_SSE2
struct TQuadI {
  __m128i v;
  static TQuadI all(std::int32_t a) { return {_mm_set1_epi32(a)}; }
  static TQuadI load(const std::int32_t* p) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))}; }
  void store(std::int32_t* p) const { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  friend TQuadI operator+(TQuadI x, TQuadI y) { return {_mm_add_epi32(x.v, y.v)}; }
  friend TQuadI operator-(TQuadI x, TQuadI y) { return {_mm_sub_epi32(x.v, y.v)}; }
  friend TQuadI operator&(TQuadI x, TQuadI y) { return {_mm_and_si128(x.v, y.v)}; }
  TQuadI plusOneToFour() const { return {_mm_add_epi32(v, _mm_setr_epi32(1, 2, 3, 4))}; }
  // All ones where x < y, else 0.
  static TQuadI less(TQuadI x, TQuadI y) { return {_mm_cmplt_epi32(x.v, y.v)}; }
};

struct TQuadF {
  __m128 v;
  static TQuadF all(float a) { return {_mm_set1_ps(a)}; }
  static TQuadF load(const float* p) { return {_mm_loadu_ps(p)}; }
  void store(float* p) const { _mm_storeu_ps(p, v); }
  friend TQuadF operator-(TQuadF x, TQuadF y) { return {_mm_sub_ps(x.v, y.v)}; }
  static TQuadF lessOr(TQuadF x, TQuadF y) { return {_mm_min_ps(x.v, y.v)}; }
  static TQuadF greaterOr(TQuadF x, TQuadF y) { return {_mm_max_ps(x.v, y.v)}; }
  // (x.a, y.a, x.b, y.b)
  static TQuadF interleaved(TPairF x, TPairF y) { return {_mm_unpacklo_ps(x.v, y.v)}; }
  // Rounded toward zero (lanes within the int32 range); integers converted exactly below 2^24.
  TQuadI truncated() const { return {_mm_cvttps_epi32(v)}; }
  static TQuadF of(TQuadI x) { return {_mm_cvtepi32_ps(x.v)}; }
  // As integer lanes: all ones where x < y (where x == y), else 0.
  static TQuadI less(TQuadF x, TQuadF y) { return {_mm_castps_si128(_mm_cmplt_ps(x.v, y.v))}; }
  static TQuadI equal(TQuadF x, TQuadF y) { return {_mm_castps_si128(_mm_cmpeq_ps(x.v, y.v))}; }
};

#else
struct TQuadI {
  std::int32_t v[4];
  static TQuadI all(std::int32_t a) { return {{a, a, a, a}}; }
  static TQuadI load(const std::int32_t* p) { return {{p[0], p[1], p[2], p[3]}}; }
  void store(std::int32_t* p) const {
    for (int i = 0; i < 4; ++i) p[i] = v[i];
  }
  template <class F>
  static TQuadI map(F f) {
    TQuadI r;
    for (int i = 0; i < 4; ++i) r.v[i] = f(i);
    return r;
  }
  friend TQuadI operator+(TQuadI x, TQuadI y) {
    return map([&](int i) {
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(x.v[i]) + static_cast<std::uint32_t>(y.v[i]));
    });
  }
  friend TQuadI operator-(TQuadI x, TQuadI y) {
    return map([&](int i) {
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(x.v[i]) - static_cast<std::uint32_t>(y.v[i]));
    });
  }
  friend TQuadI operator&(TQuadI x, TQuadI y) {
    return map([&](int i) { return x.v[i] & y.v[i]; });
  }
  TQuadI plusOneToFour() const {
    return map([&](int i) { return v[i] + i + 1; });
  }
  static TQuadI less(TQuadI x, TQuadI y) {
    return map([&](int i) { return x.v[i] < y.v[i] ? -1 : 0; });
  }
};

struct TQuadF {
  float v[4];
  static TQuadF all(float a) { return {{a, a, a, a}}; }
  static TQuadF load(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
  void store(float* p) const {
    for (int i = 0; i < 4; ++i) p[i] = v[i];
  }
  template <class F>
  static TQuadF map(F f) {
    TQuadF r;
    for (int i = 0; i < 4; ++i) r.v[i] = f(i);
    return r;
  }
  friend TQuadF operator-(TQuadF x, TQuadF y) {
    return map([&](int i) { return x.v[i] - y.v[i]; });
  }
  static TQuadF lessOr(TQuadF x, TQuadF y) {
    return map([&](int i) { return x.v[i] < y.v[i] ? x.v[i] : y.v[i]; });
  }
  static TQuadF greaterOr(TQuadF x, TQuadF y) {
    return map([&](int i) { return x.v[i] > y.v[i] ? x.v[i] : y.v[i]; });
  }
  static TQuadF interleaved(TPairF x, TPairF y) { return {{x.lo, y.lo, x.hi, y.hi}}; }
  TQuadI truncated() const {
    return TQuadI::map([&](int i) { return static_cast<std::int32_t>(v[i]); });
  }
  static TQuadF of(TQuadI x) {
    return map([&](int i) { return static_cast<float>(x.v[i]); });
  }
  static TQuadI less(TQuadF x, TQuadF y) {
    return TQuadI::map([&](int i) { return x.v[i] < y.v[i] ? -1 : 0; });
  }
  static TQuadI equal(TQuadF x, TQuadF y) {
    return TQuadI::map([&](int i) { return x.v[i] == y.v[i] ? -1 : 0; });
  }
};

#endif

// hermite4 on two lanes sharing one fraction, the samples floats widened.
inline TPairF hermite4Pair(float x, TPair m1, TPair z0, TPair p1, TPair p2) {
  const TPair dx = TPair::all(x);
  const TPair four = TPair::all(4.0), two = TPair::all(2.0), five = TPair::all(5.0), three = TPair::all(3.0);
  return (z0 + (TPair::all(0.5) * dx) *
                   ((p1 - m1) + dx * ((four * p1 + two * m1 - five * z0 - p2) + dx * (three * (z0 - p1) - m1 + p2))))
      .toFloat();
}

// Half TPara's output for a phase, on two lanes: (8 t s) / 2 with t = 0.25 - |p| and
// s = 1 - 2 |t|, each magnitude taken of the value rounded to float. Computed as 4 t s, the same
// double: t is 0 or at least 2^-26 in magnitude (0.25 less a float of at most 0.5) and s lies
// within 0.5..1, so the product is far from the subnormals and the halving exact.
inline TPair paraHalfShapePair(TPair phase) {
  const TPair t = TPair::all(0.25) - phase.toFloat().abs().toDouble();
  const TPair s = TPair::all(1.0) - TPair::all(2.0) * t.toFloat().abs().toDouble();
  return TPair::all(4.0) * t * s;
}

// fastSin on two lanes.
inline TPairF fastSinPair(TPairF x) {
  const TPairF s = x * x;
  TPairF t = TPairF::all(std::bit_cast<float>(0x3BF95D4Fu)) * s;
  t = (t.toDouble() - TPair::all(0.16605)).toFloat();
  t = t * s;
  t = t + TPairF::all(1.0f);
  return t * x;
}

// The argument TLp1::coefficientFor takes the sine of for a cutoff of 12000 - m dampDepth, on two
// lanes (m: Mod + 0.5); the coefficient is fastSinPair of it.
inline TPairF dampArgumentPair(TPair m, TPair dampDepth, TPair rate) {
  return ((TPair::all(12000.0) - m * dampDepth).toFloat().toDouble() * TPair::all(3.1415926536) / rate).toFloat();
}
