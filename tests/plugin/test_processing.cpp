// What the Doppler processing does to audio: exact samples where the path is simple enough to
// follow by hand, properties elsewhere, and the effect's robustness against hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "PluginTestHost.h"
#include "plugin/uLp1.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

class ProcessingTest : public ::testing::Test {
 protected:
  void SetUp() override { TestHost::reset(); }

  // Doppler Amount, Damping, Lmax, Rmax and Feedback at 0: a plain low-pass of the sum.
  static void still(APlugin& fx) {
    for (VstInt32 i : {APlugin::kDopplerAmount, APlugin::kDamping, APlugin::kLmax, APlugin::kRmax,
                       APlugin::kFeedback})
      fx.setParameter(i, 0.0f);
  }
};

bool allFinite(const Stereo& s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (!std::isfinite(s.l[i]) || !std::isfinite(s.r[i])) return false;
  return true;
}

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

::testing::AssertionResult sameBits(const Stereo& a, const Stereo& b, std::size_t from = 0) {
  for (std::size_t i = from; i < a.size(); ++i)
    if (bits(a.l[i]) != bits(b.l[i]) || bits(a.r[i]) != bits(b.r[i]))
      return ::testing::AssertionFailure() << "first difference at frame " << i << ": " << a.l[i] << "/"
                                           << b.l[i] << ", " << a.r[i] << "/" << b.r[i];
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(ProcessingTest, MasterZeroIsSilent) {
  APlugin fx(TestHost::callback);
  fx.setParameter(APlugin::kMaster, 0.0f);
  fx.setParameter(APlugin::kFeedback, 0.7f);
  const Stereo out = runBlocks(fx, testSignal(20000), 512);
  for (std::size_t i = 0; i < out.size(); ++i) {
    ASSERT_EQ(out.l[i], 0.0f);
    ASSERT_EQ(out.r[i], 0.0f);
  }
}

TEST_F(ProcessingTest, WithoutMovementBothSidesAreTheLowPassedSum) {
  for (float master : {1.0f, 0.5f, 0.3f}) {
    APlugin fx(TestHost::callback);
    still(fx);
    fx.setParameter(APlugin::kMaster, master);
    const Stereo in = testSignal(3000);
    const Stereo out = runBlocks(fx, in, 256);
    TLp1 ref;
    for (std::size_t i = 0; i < in.size(); ++i) {
      EXPECT_EQ(fx.DelayTime, 0.0f);
      ref.Process(static_cast<float>((static_cast<double>(in.l[i]) + in.r[i]) * 0.7), 12000.0f, 44100.0f);
      const float want = static_cast<float>(ref.Output * master);
      ASSERT_EQ(bits(out.l[i]), bits(want)) << i;
      ASSERT_EQ(bits(out.r[i]), bits(want)) << i;
    }
    EXPECT_EQ(fx.GainL, 1.0f);
    EXPECT_EQ(fx.GainR, 1.0f);
  }
  // Merged inputs: each line already carries 0.6 of the sum, so 0.84 of it comes out.
  APlugin fx(TestHost::callback);
  still(fx);
  fx.setParameter(APlugin::kMergeins, 1.0f);
  const Stereo in = testSignal(3000);
  const Stereo out = runBlocks(fx, in, 256);
  TLp1 ref;
  for (std::size_t i = 0; i < in.size(); ++i) {
    ref.Process(static_cast<float>((static_cast<double>(in.l[i]) + in.r[i]) * 0.84), 12000.0f, 44100.0f);
    ASSERT_NEAR(out.l[i], ref.Output, 1e-6) << i;
    ASSERT_EQ(out.l[i], out.r[i]);
  }
}

TEST_F(ProcessingTest, ARightOnlySignalIsHeardOnBothSides) {
  for (int program : {1, 2, 3}) {
    APlugin fx(TestHost::callback);
    fx.setProgram(program);
    Stereo in = testSignal(30000);
    std::fill(in.l.begin(), in.l.end(), 0.0f);
    const Stereo out = runBlocks(fx, in, 500);
    double energyL = 0, energyR = 0;
    for (std::size_t i = 20000; i < out.size(); ++i) {
      energyL += out.l[i] * out.l[i];
      energyR += out.r[i] * out.r[i];
    }
    // Levels differ (a side may sit near its 0.01 gain floor), but neither side is silent.
    EXPECT_GT(energyL, 0.01) << program;
    EXPECT_GT(energyR, 0.01) << program;
  }
}

TEST_F(ProcessingTest, WritePositionCyclesThroughTheRing) {
  APlugin fx(TestHost::callback);
  fx.setSampleRate(100.0f);
  const Stereo in(1);
  for (int n = 1; n <= 100; ++n) {
    runBlocks(fx, in, 1);
    ASSERT_EQ(fx.WritePos, n);
  }
  runBlocks(fx, in, 1);
  EXPECT_EQ(fx.WritePos, 0);  // the ring holds SampleRateInt + 1 samples
  runBlocks(fx, in, 1);
  EXPECT_EQ(fx.WritePos, 1);
  // A lower rate pulls the position back into the smaller ring at once.
  runBlocks(fx, Stereo(60), 60);
  fx.setSampleRate(50.0f);
  runBlocks(fx, in, 1);
  EXPECT_EQ(fx.WritePos, 0);
}

TEST_F(ProcessingTest, FullDepthAtThePeakDelaysByTheWholeRing) {
  APlugin fx(TestHost::callback);
  fx.setSampleRate(100.0f);
  still(fx);
  fx.setParameter(APlugin::kSpeed, 0.0f);  // the first oscillator stays at its peak
  fx.setParameter(APlugin::kDopplerAmount, 1.0f);
  Stereo in(400);
  in.l[3] = 1.0f;
  in.r[7] = -0.5f;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const Stereo one = [&] {
      Stereo s(1);
      s.l[0] = in.l[i];
      s.r[0] = in.r[i];
      return s;
    }();
    runBlocks(fx, one, 1);
    ASSERT_EQ(fx.DelayTime, 100.0f);
    ASSERT_EQ(fx.DelayL.WholeDelay, 99);
    ASSERT_EQ(fx.DelayL.Fraction, 1.0);
    // The sample written SampleRateInt positions earlier.
    ASSERT_EQ(fx.WetL, i >= 100 ? in.l[i - 100] : 0.0f) << i;
    ASSERT_EQ(fx.WetR, i >= 100 ? in.r[i - 100] : 0.0f) << i;
  }
}

TEST_F(ProcessingTest, FeedbackReturnsMinusPoint99OfTheDelayedOutput) {
  APlugin fx(TestHost::callback);
  still(fx);
  fx.setParameter(APlugin::kFeedback, 1.0f);
  const Stereo in = testSignal(2000);
  float expectL = 0.0f, expectR = 0.0f;  // with no delay the line gives back what it was fed
  const double gain = static_cast<float>(-0.99L);
  for (std::size_t i = 0; i < in.size(); ++i) {
    Stereo one(1);
    one.l[0] = in.l[i];
    one.r[0] = in.r[i];
    runBlocks(fx, one, 1);
    expectL = static_cast<float>(expectL * gain + in.l[i]);
    expectR = static_cast<float>(expectR * gain + in.r[i]);
    ASSERT_EQ(fx.WetL, expectL) << i;
    ASSERT_EQ(fx.WetR, expectR) << i;
  }
}

TEST_F(ProcessingTest, SwitchesAtExactlyOneHalfTakeTheSecondBranch) {
  APlugin fx(TestHost::callback);
  fx.setSampleRate(1000.0f);  // the first oscillator wraps early, and the two part ways
  still(fx);
  fx.setParameter(APlugin::kMergeins, 0.5f);  // separate lines
  fx.setParameter(APlugin::kTrajControl2, 0.5f);  // crossed gains
  fx.setParameter(APlugin::kLmax, 1.0f);
  fx.setParameter(APlugin::kRmax, 0.6f);
  fx.setParameter(APlugin::kSpeed, 1.0f);
  fx.setParameter(APlugin::kTrajControl1, 0.9f);
  const Stereo in = testSignal(3000);
  for (std::size_t i = 0; i < in.size(); ++i) {
    Stereo one(1);
    one.l[0] = in.l[i];
    one.r[0] = 0.0f;
    runBlocks(fx, one, 1);
    ASSERT_EQ(fx.WetR, 0.0f) << i;  // merged lines would carry the left input on the right too
    ASSERT_EQ(fx.WetL, in.l[i]);
    const float crossedL = static_cast<float>(1.0 - (fx.Mod2 + 0.5) * fx.LeftDepth.load());
    const float crossedR = static_cast<float>(1.0 - (fx.Mod1 + 0.5) * fx.RightDepth.load());
    ASSERT_EQ(fx.GainL, crossedL) << i;
    ASSERT_EQ(fx.GainR, crossedR) << i;
  }
  EXPECT_NE(fx.Mod1, fx.Mod2);
}

TEST_F(ProcessingTest, TheBlockPartitionDoesNotChangeTheOutput) {
  const Stereo in = testSignal(30000, 0.8f, 7);
  auto render = [&](std::size_t block) {
    APlugin fx(TestHost::callback);
    fx.setProgram(3);
    fx.setParameter(APlugin::kFeedback, 0.6f);
    fx.setParameter(APlugin::kMergeins, 1.0f);
    fx.setParameter(APlugin::kSpeed, 0.9f);  // several oscillator wraps
    return runBlocks(fx, in, block);
  };
  const Stereo whole = render(in.size());
  for (std::size_t block : {1u, 7u, 64u, 4096u}) EXPECT_TRUE(sameBits(whole, render(block))) << block;
  EXPECT_TRUE(allFinite(whole));
}

TEST_F(ProcessingTest, BadInputCountsAsSilenceAndLeavesNoTrace) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {nan, inf, -inf, 1e30f, std::numeric_limits<float>::max(), 70000.0f}) {
    Stereo in = testSignal(6000, 0.9f, 3);
    Stereo clean = in;
    for (std::size_t i = 1000; i < 1200; ++i) {
      in.l[i] = bad;
      in.r[i] = (i & 1) ? bad : in.r[i];
      clean.l[i] = 0.0f;
      clean.r[i] = (i & 1) ? 0.0f : clean.r[i];
    }
    auto render = [&](const Stereo& s) {
      APlugin fx(TestHost::callback);
      fx.setSampleRate(2000.0f);
      fx.setProgram(3);
      fx.setParameter(APlugin::kFeedback, 0.9f);
      return runBlocks(fx, s, 100);
    };
    const Stereo out = render(in);
    EXPECT_TRUE(allFinite(out)) << bad;
    EXPECT_TRUE(sameBits(out, render(clean))) << bad;
  }
  // Ordinary loud input is processed as it is.
  Stereo loud = testSignal(3000, 100.0f, 5);
  APlugin fx(TestHost::callback);
  still(fx);
  const Stereo out = runBlocks(fx, loud, 256);
  TLp1 ref;
  for (std::size_t i = 0; i < loud.size(); ++i) {
    ref.Process(static_cast<float>((static_cast<double>(loud.l[i]) + loud.r[i]) * 0.7), 12000.0f, 44100.0f);
    ASSERT_EQ(out.l[i], static_cast<float>(ref.Output)) << i;
  }
}

TEST_F(ProcessingTest, ExtremeRatesAndDepthsStayInsideTheDelayLines) {
  // Run under the address sanitizer: any tap outside a line is reported.
  APlugin fx(TestHost::callback);
  fx.setParameter(APlugin::kSpeed, 0.0f);
  fx.setParameter(APlugin::kDopplerAmount, 1.0f);
  fx.setParameter(APlugin::kFeedback, 1.0f);
  const Stereo in = testSignal(4096);
  for (float rate : {768000.0f, 1.0f, 2.0f, 768000.0f, 44100.0f, 3.0f}) {
    fx.setSampleRate(rate);
    const Stereo out = runBlocks(fx, in, 4096);
    EXPECT_TRUE(allFinite(out)) << rate;
    EXPECT_LE(fx.DelayTime, static_cast<float>(fx.SampleRateInt.load()));
  }
  // A depth derived at a higher rate on another thread, read at a lower one: limited to the ring.
  fx.setSampleRate(1000.0f);
  runBlocks(fx, in, 64);
  fx.DelayDepth.store(700000.0f);
  runBlocks(fx, in, 64);
  EXPECT_EQ(fx.DelayTime, 1000.0f);
}

TEST_F(ProcessingTest, AFeedbackTailNeverGoesSubnormalAndTheFpStateIsRestored) {
  APlugin fx(TestHost::callback);
  fx.setSampleRate(1000.0f);
  still(fx);
  fx.setParameter(APlugin::kFeedback, 1.0f);
  fx.setParameter(APlugin::kDopplerAmount, 0.005f);  // a loop of a few samples: a fast decay
  Stereo in(64);
  in.l[0] = 1.0f;
  in.r[0] = -1.0f;
#if defined(__SSE__)
  const unsigned before = _mm_getcsr();
#endif
  runBlocks(fx, in, 64);
#if defined(__SSE__)
  EXPECT_EQ(_mm_getcsr(), before);
#endif
  const Stereo silence(1);
  int samples = 0;
  bool subnormal = false;
  for (; samples < 200000 && (fx.WetL != 0.0f || fx.WetR != 0.0f); ++samples) {
    const Stereo out = runBlocks(fx, silence, 1);
    subnormal |= std::fpclassify(fx.WetL) == FP_SUBNORMAL || std::fpclassify(fx.WetR) == FP_SUBNORMAL ||
                 std::fpclassify(out.l[0]) == FP_SUBNORMAL || std::fpclassify(out.r[0]) == FP_SUBNORMAL;
  }
  EXPECT_GT(samples, 1000);  // it did ring on
  EXPECT_FALSE(subnormal);
  EXPECT_EQ(fx.WetL, 0.0f);
  EXPECT_EQ(fx.WetR, 0.0f);
}
