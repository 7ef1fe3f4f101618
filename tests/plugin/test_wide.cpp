// The wide-vector (AVX2) build of the processing against the plain one, bit for bit, under what a
// host may do between blocks: odd block sizes, sample-rate changes that leave the write position
// beyond the new ring, parameter moves, and garbage input.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "PluginTestHost.h"
#include "plugin/uSamples.h"
#include "plugin/uWide.h"
#include "vst/DDspUtils.h"

namespace {

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

}  // namespace

TEST(PluginWide, WideAndPlainBuildsGiveTheSameSamplesWhateverTheHostDoes) {
  if (!wideVectorsAvailable()) GTEST_SKIP() << "this processor has no AVX2";
  TestHost::reset();
  TestHost::tempoAt = 1100000;
  APlugin wide(TestHost::callback), plain(TestHost::callback);
  wide.UseWideVectors = true;
  plain.UseWideVectors = false;
  std::mt19937 random(20261207);
  const auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
  const float rates[] = {44100.0f, 3000.0f, 96000.0f, 7.0f, 768000.0f, 22050.0f};

  Stereo in(300), outWide(300), outPlain(300);
  for (int block = 0; block < 400; ++block) {
    if (block % 40 == 0) {  // a new rate: the last write position may lie beyond the new ring
      const float rate = rates[(block / 40) % 6];
      wide.setSampleRate(rate);
      plain.setSampleRate(rate);
    }
    if (block % 7 == 0) {
      const VstInt32 index = static_cast<VstInt32>(random() % APlugin::kNumParams);
      const float value = uniform(0.0f, 1.0f);
      wide.setParameter(index, value);
      plain.setParameter(index, value);
    }
    const auto n = static_cast<VstInt32>(1 + random() % 300);
    for (VstInt32 i = 0; i < n; ++i) {
      in.l[i] = uniform(-1.0f, 1.0f);
      in.r[i] = uniform(-1.0f, 1.0f);
    }
    if (block % 13 == 0) {  // garbage from the host
      in.l[0] = std::numeric_limits<float>::quiet_NaN();
      in.r[n - 1] = 1e30f;
    }
    float* ins[2] = {in.l.data(), in.r.data()};
    float* wideOuts[2] = {outWide.l.data(), outWide.r.data()};
    float* plainOuts[2] = {outPlain.l.data(), outPlain.r.data()};
    wide.processReplacing(ins, wideOuts, n);
    plain.processReplacing(ins, plainOuts, n);
    for (VstInt32 i = 0; i < n; ++i) {
      ASSERT_EQ(bits(outWide.l[i]), bits(outPlain.l[i])) << "block " << block << " frame " << i;
      ASSERT_EQ(bits(outWide.r[i]), bits(outPlain.r[i])) << "block " << block << " frame " << i;
    }
    ASSERT_EQ(wide.WritePos, plain.WritePos) << "block " << block;
    ASSERT_EQ(wide.DampL.PrevOut, plain.DampL.PrevOut) << "block " << block;
    ASSERT_EQ(wide.DampR.Coefficient, plain.DampR.Coefficient) << "block " << block;
    ASSERT_EQ(bits(wide.WetL), bits(plain.WetL)) << "block " << block;
    ASSERT_EQ(bits(wide.MixR), bits(plain.MixR)) << "block " << block;
    ASSERT_EQ(bits(wide.GainL), bits(plain.GainL)) << "block " << block;
  }
}

// The wide build adds the filters' 1e-24 state offset the long way only for outputs within 2^-26
// of zero. At the edges of that bound, and through a decay that crosses it inside a chunk (which
// then goes again the long way, an odd sample after it), both builds leave the outputs and the
// state one sample at a time leaves. The lines are silent: each output is the state before it
// times (1 - c) / (1 + c).
TEST(PluginWide, FilterStatesAroundTheOffsetsBoundMatchOneSampleAtATime) {
  if (!wideVectorsAvailable()) GTEST_SKIP() << "this processor has no AVX2";
  constexpr std::int32_t ring = 64, most = 9;
  std::vector<double> ins(2 * most, 0.0), lines(2 * (ring + 3), 0.0);
  std::vector<std::int32_t> positions(most), oldest(most);
  std::vector<float> fractions(most, 1.0f), gains(2 * most, 0.0f), mixes(2 * most);
  for (std::int32_t k = 0; k < most; ++k) {
    positions[k] = 20 + k;
    oldest[k] = 10 + k;  // a delay of about ten samples: reads may run ahead
  }
  const double edge = 0x1p-26;
  struct Case {
    double state;
    float argument;  // of the coefficients' sine: 0 keeps the state, about pi / 6 takes a third of it
    std::int32_t n;
  };
  for (const Case c : {Case{edge, 0.0f, 8},
                       {-edge, 0.0f, 8},
                       {std::nextafter(-edge, -1.0), 0.0f, 8},
                       {std::nextafter(-edge, 0.0), 0.0f, 8},
                       {2 * edge, 0.5236f, most}}) {
    // TLp1::ProcessWith on silence, one sample at a time.
    const double coef = fastSin(c.argument);
    double prevIn = 0.0, prevOut[2] = {c.state, -c.state}, output[2] = {};
    std::vector<float> expected[2] = {std::vector<float>(c.n), std::vector<float>(c.n)};
    for (std::int32_t k = 0; k < c.n; ++k) {
      for (int side = 0; side < 2; ++side) {
        output[side] = (coef * (0.0 + prevIn) + (1.0 - coef) * prevOut[side]) / (1.0 + coef);
        prevOut[side] = output[side] + 1e-24;
        expected[side][k] = static_cast<float>(output[side] * 1.0);
      }
      prevIn = 0.0 + 1e-24;
    }
    const std::vector<float> dampArgs(2 * most, c.argument);
    for (const bool wide : {false, true}) {
      std::vector<float> outL(c.n), outR(c.n);
      TSampleLoop s{.ins = ins.data(),
                    .positions = positions.data(),
                    .oldest = oldest.data(),
                    .fractions = fractions.data(),
                    .gains = gains.data(),
                    .dampArgs = dampArgs.data(),
                    .outL = outL.data(),
                    .outR = outR.data(),
                    .lines = lines.data(),
                    .mixes = mixes.data(),
                    .ringLength = ring,
                    .feedback = 0.0,
                    .master = 1.0,
                    .maxSample = 1e30f,
                    .readsAhead = true,
                    .exactFeed = false,
                    .state = {}};
      s.state.prevOut = TPair::of(c.state, -c.state);
      (wide ? runSamplesWide : runSamplesPlain)(s, c.n);
      for (const auto& [want, got] : {std::pair{prevOut[0], s.state.prevOut.a()},
                                      {prevOut[1], s.state.prevOut.b()},
                                      {output[0], s.state.damped.a()}})
        EXPECT_EQ(std::bit_cast<std::uint64_t>(want), std::bit_cast<std::uint64_t>(got))
            << std::hexfloat << c.state << (wide ? " wide" : " plain");
      for (std::int32_t k = 0; k < c.n; ++k) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(expected[0][k]), std::bit_cast<std::uint32_t>(outL[k])) << k;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(expected[1][k]), std::bit_cast<std::uint32_t>(outR[k])) << k;
      }
    }
  }
}
