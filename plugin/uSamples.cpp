#include "plugin/uSamples.h"

#include <limits>

#include "plugin/uQuad.h"

namespace {

// The four taps of a read whose oldest tap is `first` (see Tdelay4p::locateRuns).
KESTRUNE_ALWAYS_INLINE void loadTaps(const TSampleLoop& s, std::int32_t first, TPair& y2, TPair& y1, TPair& y0,
                                     TPair& ym1) {
  if (first >= 0) {
    const double* run = s.lines + 2 * first;
    y2 = TPair::load(run);
    y1 = TPair::load(run + 2);
    y0 = TPair::load(run + 4);
    ym1 = TPair::load(run + 6);
  } else {  // the taps straddle position 0
    const auto tap = [&](std::int32_t p) {
      if (p < 0) p += s.ringLength;
      return TPair::load(s.lines + 2 * p);
    };
    y2 = tap(first);
    y1 = tap(first + 1);
    y0 = tap(first + 2);
    ym1 = tap(first + 3);
  }
}

// The per-sample steps of the loop on both lanes (left, right), shared by its two orders.
struct TSampleSteps {
  TPair feedback, master, mixGain = TPair::all(0.7), one = TPair::all(1.0);
  TPair stateOffset = TPair::all(1e-24);  // TLp1's guard against denormal states
  explicit TSampleSteps(const TSampleLoop& s) : feedback(TPair::all(s.feedback)), master(TPair::all(s.master)) {}

  // DelayL.Write and DelayR.Write of sample k, each line fed from its last output.
  template <bool exactFeed>
  KESTRUNE_ALWAYS_INLINE void write(const TSampleLoop& s, std::int32_t k, TPairF wet) const {
    const TPair fed = wet.toDouble() * feedback + TPair::load(s.ins + 2 * k);
    (exactFeed ? fed : fed.toFloat().within(s.maxSample).toDouble()).store(s.lines + 2 * s.positions[k]);
  }
  // Both lines read at sample k's delay: one tap computation, two lanes of interpolation.
  KESTRUNE_ALWAYS_INLINE static TPairF read(const TSampleLoop& s, std::int32_t k) {
    TPair y2, y1, y0, ym1;
    loadTaps(s, s.oldest[k], y2, y1, y0, ym1);
    return hermite4Pair(s.fractions[k], ym1, y0, y1, y2);
  }
  KESTRUNE_ALWAYS_INLINE static TPair coefOf(const TSampleLoop& s, std::int32_t k) {
    return fastSinPair(TPairF::load(s.dampArgs + 2 * k)).toDouble();
  }
  // The mix through the side gains and TLp1::Process on both lanes, then the outputs.
  KESTRUNE_ALWAYS_INLINE void filter(const TSampleLoop& s, std::int32_t k, TSampleLoop::TState& state) const {
    auto& [wet, gain, mix, prevIn, prevOut, damped, coef] = state;
    // (wetL gainL + wetR gainL, wetL gainR + wetR gainR) x 0.7, each product a float.
    gain = TPairF::load(s.gains + 2 * k);
    const TPairF fromL = wet.broadcastA() * gain;
    const TPairF fromR = wet.broadcastB() * gain;
    mix = ((fromL.toDouble() + fromR.toDouble()) * mixGain).toFloat();
    damped = damp(s, k, mix, coef, prevIn, prevOut);
  }
  // TLp1::ProcessWith on both lanes for the mix of sample k, then its outputs.
  KESTRUNE_ALWAYS_INLINE TPair damp(const TSampleLoop& s, std::int32_t k, TPairF mix, TPair coef, TPair& prevIn,
                                    TPair& prevOut) const {
    const TPair x = mix.toDouble();
    const TPair damped = (coef * (x + prevIn) + (one - coef) * prevOut) / (one + coef);
    prevOut = damped + stateOffset;
    prevIn = x + stateOffset;
    const TPairF out = (damped * master).toFloat();
    s.outL[k] = out.a();
    s.outR[k] = out.b();
    return damped;
  }
};

// Samples from..to-1. The filters' coefficients are computed one sample ahead, and with
// `readsAhead` each sample's taps too, right after the previous sample's writes (only where
// TSampleLoop::readsAhead allows it): each step's work then starts from values the step before
// computed, which keeps more steps in flight. Only the filters' recursion chains one sample to
// the next.
template <bool readsAhead, bool exactFeed>
KESTRUNE_ALWAYS_INLINE void runSequential(TSampleLoop& loop, std::int32_t from, std::int32_t to) {
  // The pointers and the state in locals, where stores to the outputs and the lines cannot
  // alias them.
  const TSampleLoop s = loop;
  TSampleLoop::TState state = s.state;
  const TSampleSteps steps(s);
  if (from >= to) return;
  TPair coefNext = TSampleSteps::coefOf(s, from);
  TPairF wetNext = readsAhead ? TSampleSteps::read(s, from) : state.wet;
  for (std::int32_t k = from; k < to; ++k) {
    steps.template write<exactFeed>(s, k, state.wet);
    state.wet = readsAhead ? wetNext : TSampleSteps::read(s, k);
    state.coef = coefNext;
    if (k + 1 < to) {
      if (readsAhead) wetNext = TSampleSteps::read(s, k + 1);
      coefNext = TSampleSteps::coefOf(s, k + 1);
    }
    steps.filter(s, k, state);
  }
  loop.state = state;
}

// runSequential from..to-1 with the way the lines are fed chosen once.
template <bool readsAhead>
void runSequentialFed(TSampleLoop& loop, std::int32_t from, std::int32_t to) {
  if (loop.exactFeed)
    runSequential<readsAhead, true>(loop, from, to);
  else
    runSequential<readsAhead, false>(loop, from, to);
}

}  // namespace

void runSamplesPlain(TSampleLoop& s, std::int32_t n) {
  if (s.readsAhead)
    runSequentialFed<true>(s, 0, n);
  else
    runSequentialFed<false>(s, 0, n);
}

#ifdef KESTRUNE_WIDE
namespace {

// hermite4Pair on four lanes (two samples, left and right), each pair of lanes at its fraction.
KESTRUNE_TARGET_WIDE inline __m128 hermite4Quad(__m256d dx, __m256d m1, __m256d z0, __m256d p1, __m256d p2) {
  const __m256d inner = _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(_mm256_set1_pd(3.0), _mm256_sub_pd(z0, p1)), m1), p2);
  const __m256d middle = _mm256_sub_pd(
      _mm256_sub_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(4.0), p1), _mm256_mul_pd(_mm256_set1_pd(2.0), m1)),
                    _mm256_mul_pd(_mm256_set1_pd(5.0), z0)),
      p2);
  const __m256d outer =
      _mm256_add_pd(_mm256_sub_pd(p1, m1), _mm256_mul_pd(dx, _mm256_add_pd(middle, _mm256_mul_pd(dx, inner))));
  return _mm256_cvtpd_ps(_mm256_add_pd(z0, _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(0.5), dx), outer)));
}

KESTRUNE_TARGET_WIDE inline __m256d joined(TPair low, TPair high) { return _mm256_set_m128d(high.v, low.v); }

// The interpolated outputs of samples k and k + 1, (left k, right k, left k + 1, right k + 1).
KESTRUNE_TARGET_WIDE KESTRUNE_ALWAYS_INLINE __m128 wetsOf(const TSampleLoop& s, std::int32_t k) {
  __m256d y2, y1, y0, ym1;
  const std::int32_t firstA = s.oldest[k], firstB = s.oldest[k + 1];
  if ((firstA | firstB) >= 0) {
    const double* runA = s.lines + 2 * firstA;
    const double* runB = s.lines + 2 * firstB;
    y2 = _mm256_loadu2_m128d(runB, runA);
    y1 = _mm256_loadu2_m128d(runB + 2, runA + 2);
    y0 = _mm256_loadu2_m128d(runB + 4, runA + 4);
    ym1 = _mm256_loadu2_m128d(runB + 6, runA + 6);
  } else {
    TPair a2, a1, a0, am1, b2, b1, b0, bm1;
    loadTaps(s, firstA, a2, a1, a0, am1);
    loadTaps(s, firstB, b2, b1, b0, bm1);
    y2 = joined(a2, b2);
    y1 = joined(a1, b1);
    y0 = joined(a0, b0);
    ym1 = joined(am1, bm1);
  }
  // (fraction k, fraction k, fraction k + 1, fraction k + 1)
  const __m128d fractions = _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(s.fractions + k))));
  const __m256d dx = _mm256_permute4x64_pd(_mm256_castpd128_pd256(fractions), _MM_SHUFFLE(1, 1, 0, 0));
  return hermite4Quad(dx, ym1, y0, y1, y2);
}

// The filters' coefficients of samples k and k + 1, (left k, right k, left k + 1, right k + 1).
KESTRUNE_TARGET_WIDE KESTRUNE_ALWAYS_INLINE __m256d coefsOf(const TSampleLoop& s, std::int32_t k) {
  return _mm256_cvtps_pd(fastSinQuad(_mm_loadu_ps(s.dampArgs + 2 * k)));
}

// Whether the filters' short chain held for outputs whose least square is `least`. Each output
// + 1e-24 is the output itself while the output is beyond 2^-26 in magnitude: there the doubles on
// either side lie at least 2^-78 away, and 1e-24 is below half that. (At -2^-26 exactly, the one
// towards zero lies only 2^-79 away.) And x x > 2^-52 exactly where |x| > 2^-26, rounding keeping
// order.
KESTRUNE_ALWAYS_INLINE bool shortChainHeld(TPair least) { return least.bothAbove(0x1p-52); }

// Whether the filters' last outputs lie near silence, where the short chain would not hold.
KESTRUNE_ALWAYS_INLINE bool nearSilence(const TSampleLoop::TState& state) {
  return !shortChainHeld(state.prevOut * state.prevOut);
}

// The filters over samples from..to-1 again, the long way: from the state `first`, on the mixes
// the short chain kept. Writes their outputs again and leaves the filters' state.
void filterAgain(TSampleLoop& loop, const TSampleLoop::TState& first, std::int32_t from, std::int32_t to) {
  const TSampleLoop s = loop;
  const TSampleSteps steps(s);
  TPair prevIn = first.prevIn, prevOut = first.prevOut, damped = first.damped;
  for (std::int32_t k = from; k < to; ++k)
    damped = steps.damp(s, k, TPairF::load(s.mixes + 2 * k), TSampleSteps::coefOf(s, k), prevIn, prevOut);
  loop.state.prevIn = prevIn;
  loop.state.prevOut = prevOut;
  loop.state.damped = damped;
}

// Two samples at a time read both samples' taps before writing both inputs, and the next pair's
// right after: the same reads ahead as runSequential<true>. Runs the pairs of samples 0..n-1 and
// answers where they end, and whether the short chain held (always, without `shortChain`).
template <bool exactFeed, bool shortChain>
KESTRUNE_TARGET_WIDE bool runPairs(TSampleLoop& loop, std::int32_t n, std::int32_t& end) {
  const TSampleLoop s = loop;  // a local: stores to the outputs and the lines cannot alias it

  __m128 wets = _mm_movelh_ps(s.state.wet.v, s.state.wet.v), mixes = _mm_movelh_ps(s.state.mix.v, s.state.mix.v);
  TPair prevIn = s.state.prevIn, prevOut = s.state.prevOut, damped = s.state.damped;
  const TPair stateOffset = TPair::all(1e-24);
  const __m256d feedback = _mm256_set1_pd(s.feedback), master = _mm256_set1_pd(s.master);
  const __m256d mixGain = _mm256_set1_pd(0.7), offsets = _mm256_set1_pd(1e-24);
  const __m256d one = _mm256_set1_pd(1.0);
  // The coefficients too one step ahead: their long chain of steps overlaps a pair's work.
  __m256d coefs = _mm256_setzero_pd(), coefsNext = coefsOf(s, 0);
  const __m128 maxSample = _mm_set1_ps(s.maxSample);
  // Each pair's reads run one step ahead, right after the previous pair's writes: the order of
  // reads and writes is that of one step after the other, and the interpolation of the next
  // pair overlaps the mix and the filters of this one.
  __m128 next = wetsOf(s, 0);
  __m256d least = _mm256_set1_pd(std::numeric_limits<double>::infinity());  // of the outputs' squares
  std::int32_t k = 0;
  for (; k + 2 <= n; k += 2) {
    const __m128 before = wets;  // the previous pair's
    wets = next;
    // Both inputs to the lines, each from the output before it.
    __m256d feds =
        _mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm_shuffle_ps(before, wets, _MM_SHUFFLE(1, 0, 3, 2))), feedback),
                      _mm256_loadu_pd(s.ins + 2 * k));
    if (!exactFeed) feds = _mm256_cvtps_pd(TPairF::withinLanes(_mm256_cvtpd_ps(feds), maxSample));
    _mm_storeu_pd(s.lines + 2 * s.positions[k], _mm256_castpd256_pd128(feds));
    _mm_storeu_pd(s.lines + 2 * s.positions[k + 1], _mm256_extractf128_pd(feds, 1));
    if (k + 4 <= n) next = wetsOf(s, k + 2);
    coefs = coefsNext;
    if (k + 4 <= n) coefsNext = coefsOf(s, k + 2);
    const __m256d keeps = _mm256_sub_pd(one, coefs), divisors = _mm256_add_pd(one, coefs);
    // The mix of both: (wetL gain, wetR gain) per side, each product a float.
    const __m128 gains = _mm_loadu_ps(s.gains + 2 * k);
    const __m128 fromL = _mm_mul_ps(_mm_moveldup_ps(wets), gains);
    const __m128 fromR = _mm_mul_ps(_mm_movehdup_ps(wets), gains);
    mixes = _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_add_pd(_mm256_cvtps_pd(fromL), _mm256_cvtps_pd(fromR)), mixGain));
    if (shortChain) _mm_storeu_ps(s.mixes + 2 * k, mixes);
    const __m256d x = _mm256_cvtps_pd(mixes);
    const __m256d xNext = _mm256_add_pd(x, offsets);  // each sample's input + 1e-24, the next one's PrevIn
    const __m256d fromInput =
        _mm256_mul_pd(coefs, _mm256_add_pd(x, _mm256_set_m128d(_mm256_castpd256_pd128(xNext), prevIn.v)));
    prevIn = TPair{_mm256_extractf128_pd(xNext, 1)};
    // The filters' chain, one sample after the other.
    const TPair fromInputB{_mm256_extractf128_pd(fromInput, 1)}, keepsB{_mm256_extractf128_pd(keeps, 1)},
        divisorsB{_mm256_extractf128_pd(divisors, 1)};
    const TPair dampedA = (TPair{_mm256_castpd256_pd128(fromInput)} + TPair{_mm256_castpd256_pd128(keeps)} * prevOut) /
                          TPair{_mm256_castpd256_pd128(divisors)};
    damped = (fromInputB + keepsB * (shortChain ? dampedA : dampedA + stateOffset)) / divisorsB;
    prevOut = shortChain ? damped : damped + stateOffset;
    const __m256d both = joined(dampedA, damped);
    if (shortChain) least = _mm256_min_pd(_mm256_mul_pd(both, both), least);  // a NaN square leaves it
    // (left k, right k, left k + 1, right k + 1) to each side's two samples.
    const __m128 out = _mm256_cvtpd_ps(_mm256_mul_pd(both, master));
    const __m128 sides = _mm_shuffle_ps(out, out, _MM_SHUFFLE(3, 1, 2, 0));
    _mm_storel_pi(reinterpret_cast<__m64*>(s.outL + k), sides);
    _mm_storeh_pi(reinterpret_cast<__m64*>(s.outR + k), sides);
  }
  loop.state = {TPairF{_mm_movehl_ps(wets, wets)},
                TPairF::load(s.gains + 2 * k - 2),
                TPairF{_mm_movehl_ps(mixes, mixes)},
                prevIn,
                prevOut,
                damped,
                TPair{_mm256_extractf128_pd(coefs, 1)}};
  end = k;
  return shortChainHeld(TPair::lessOr(TPair{_mm256_castpd256_pd128(least)}, TPair{_mm256_extractf128_pd(least, 1)}));
}

// runPairs over samples 0..n-1 with the filters' chain short where it holds (see
// runSamplesWide), then the last sample where n is odd.
template <bool exactFeed>
KESTRUNE_TARGET_WIDE void runPairsFed(TSampleLoop& loop, std::int32_t n) {
  const TSampleLoop::TState first = loop.state;
  std::int32_t end = 0;
  if (nearSilence(first))
    runPairs<exactFeed, false>(loop, n, end);
  else if (!runPairs<exactFeed, true>(loop, n, end))
    filterAgain(loop, first, 0, end);
  if (end < n) runSequential<false, exactFeed>(loop, end, n);
}

}  // namespace

KESTRUNE_TARGET_WIDE void runSamplesWide(TSampleLoop& loop, std::int32_t n) {
  if (n < 2 || !loop.readsAhead)
    runSequentialFed<false>(loop, 0, n);
  else if (loop.exactFeed)
    runPairsFed<true>(loop, n);
  else
    runPairsFed<false>(loop, n);
}

#else
void runSamplesWide(TSampleLoop& s, std::int32_t n) { runSamplesPlain(s, n); }
#endif
