// What the Doppler processing does to audio: exact samples where the path is simple enough to
// follow by hand, properties elsewhere, and robustness against hostile input and rates.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
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
  // Doppler Amount, Damping, Lmax, Rmax and Feedback at 0: no movement at all.
  static void still(APlugin& fx) {
    for (VstInt32 i : {APlugin::kDopplerAmount, APlugin::kDamping, APlugin::kLmax, APlugin::kRmax, APlugin::kFeedback})
      fx.setParameter(i, 0.0f);
  }
  static void one(APlugin& fx, float l, float r) {
    Stereo s(1);
    s.l[0] = l;
    s.r[0] = r;
    runBlocks(fx, s, 1);
  }
};

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

}  // namespace

TEST_F(ProcessingTest, MasterZeroIsSilentAndStillnessIsTheLowPassedSum) {
  APlugin mute(TestHost::callback);
  mute.setParameter(APlugin::kMaster, 0.0f);
  mute.setParameter(APlugin::kFeedback, 0.7f);
  for (float s : runBlocks(mute, testSignal(20000), 512).l) ASSERT_EQ(s, 0.0f);

  for (float merge : {0.0f, 1.0f}) {
    APlugin fx(TestHost::callback);
    still(fx);
    fx.setParameter(APlugin::kMaster, 0.3f);
    fx.setParameter(APlugin::kMergeins, merge);
    const Stereo in = testSignal(3000);
    const Stereo out = runBlocks(fx, in, 256);
    TLp1 ref;
    for (std::size_t i = 0; i < in.size(); ++i) {
      const double sum = static_cast<double>(in.l[i]) + in.r[i];
      ref.Process(static_cast<float>(sum * (merge > 0.5f ? 0.84 : 0.7)), 12000.0f, 44100.0f);
      const float want = static_cast<float>(ref.Output * 0.3f);
      if (merge > 0.5f) {
        ASSERT_NEAR(out.l[i], want, 1e-6) << i;  // 0.6 x 0.7 taken in two roundings
      } else {
        ASSERT_EQ(bits(out.l[i]), bits(want)) << i;
      }
      ASSERT_EQ(bits(out.r[i]), bits(out.l[i])) << i;
    }
    EXPECT_EQ(fx.DelayTime, 0.0f);
    EXPECT_EQ(fx.GainL, 1.0f);
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

TEST_F(ProcessingTest, TheRingTheFullDepthAndFeedback) {
  APlugin fx(TestHost::callback);
  fx.setSampleRate(100.0f);
  still(fx);
  fx.setParameter(APlugin::kSpeed, 0.0f);  // the first oscillator stays at its peak
  fx.setParameter(APlugin::kDopplerAmount, 1.0f);
  const Stereo in = testSignal(300);
  for (std::size_t i = 0; i < in.size(); ++i) {
    one(fx, in.l[i], in.r[i]);
    ASSERT_EQ(fx.WritePos, static_cast<std::int32_t>((i + 1) % 101));  // 1, 2, .. 100, 0, 1 ..
    ASSERT_EQ(fx.DelayTime, 100.0f);
    ASSERT_EQ(fx.WetR, i >= 100 ? in.r[i - 100] : 0.0f) << i;  // written SampleRateInt samples earlier
  }
  EXPECT_EQ(fx.DelayL.WholeDelay, 99);
  fx.setSampleRate(50.0f);  // a smaller ring takes the position back at once
  one(fx, 0, 0);
  EXPECT_EQ(fx.WritePos, 0);

  // Feedback 1 with no delay: the line returns what it was fed, -0.99 times fed back.
  fx.setParameter(APlugin::kDopplerAmount, 0.0f);
  fx.setParameter(APlugin::kFeedback, 1.0f);
  float line = fx.WetL;
  for (std::size_t i = 0; i < in.size(); ++i) {
    one(fx, in.l[i], 0.0f);
    line = static_cast<float>(line * static_cast<double>(static_cast<float>(-0.99L)) + in.l[i]);
    ASSERT_EQ(fx.WetL, line) << i;
  }
}

TEST_F(ProcessingTest, SwitchesAtExactlyOneHalfTakeTheSecondBranch) {
  APlugin fx(TestHost::callback);
  fx.setSampleRate(1000.0f);  // the first oscillator wraps early, and the two part ways
  still(fx);
  fx.setParameter(APlugin::kMergeins, 0.5f);      // separate lines
  fx.setParameter(APlugin::kTrajControl2, 0.5f);  // crossed gains
  fx.setParameter(APlugin::kLmax, 1.0f);
  fx.setParameter(APlugin::kRmax, 0.6f);
  fx.setParameter(APlugin::kSpeed, 1.0f);
  const Stereo in = testSignal(3000);
  for (std::size_t i = 0; i < in.size(); ++i) {
    one(fx, in.l[i], 0.0f);
    ASSERT_EQ(fx.WetR, 0.0f) << i;  // merged lines would carry the left input on the right too
    ASSERT_EQ(fx.GainL, static_cast<float>(1.0 - (fx.Mod2 + 0.5) * fx.LeftDepth.load())) << i;
    ASSERT_EQ(fx.GainR, static_cast<float>(1.0 - (fx.Mod1 + 0.5) * fx.RightDepth.load())) << i;
  }
  EXPECT_NE(fx.Mod1, fx.Mod2);
}

TEST_F(ProcessingTest, BadInputCountsAsSilenceAndLeavesNoTrace) {
  for (float bad : {std::nanf(""), std::numeric_limits<float>::infinity(), -1e30f, 70000.0f}) {
    Stereo in = testSignal(6000, 0.9f, 3), clean = in;
    for (std::size_t i = 1000; i < 1200; ++i) {
      in.l[i] = bad;
      clean.l[i] = 0.0f;
      if (i & 1) in.r[i] = bad, clean.r[i] = 0.0f;
    }
    auto render = [&](const Stereo& s) {
      APlugin fx(TestHost::callback);
      fx.setSampleRate(2000.0f);
      fx.setProgram(3);
      fx.setParameter(APlugin::kFeedback, 0.9f);
      return runBlocks(fx, s, 100);
    };
    const Stereo out = render(in), want = render(clean);
    for (std::size_t i = 0; i < out.size(); ++i) {
      ASSERT_TRUE(std::isfinite(out.l[i]) && std::isfinite(out.r[i])) << bad << " " << i;
      ASSERT_EQ(bits(out.l[i]), bits(want.l[i])) << bad << " " << i;
      ASSERT_EQ(bits(out.r[i]), bits(want.r[i])) << bad << " " << i;
    }
  }
}

TEST_F(ProcessingTest, ExtremeRatesAndDepthsStayInsideTheDelayLines) {
  // Under the address sanitizer any tap outside a line is reported.
  APlugin fx(TestHost::callback);
  fx.setParameter(APlugin::kSpeed, 0.0f);
  fx.setParameter(APlugin::kDopplerAmount, 1.0f);
  fx.setParameter(APlugin::kFeedback, 1.0f);
  const Stereo in = testSignal(4096);
  for (float rate : {768000.0f, 1.0f, 2.0f, 768000.0f, 3.0f}) {
    fx.setSampleRate(rate);
    for (float s : runBlocks(fx, in, 4096).l) ASSERT_TRUE(std::isfinite(s)) << rate;
    EXPECT_EQ(fx.DelayTime, static_cast<float>(fx.SampleRateInt.load())) << rate;
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
#if defined(__SSE__)
  const unsigned before = _mm_getcsr();
#endif
  one(fx, 1.0f, -1.0f);
#if defined(__SSE__)
  EXPECT_EQ(_mm_getcsr(), before);
#endif
  int samples = 0;
  for (; samples < 200000 && (samples < 100 || fx.WetL != 0.0f || fx.WetR != 0.0f); ++samples) {
    one(fx, 0.0f, 0.0f);
    ASSERT_NE(std::fpclassify(fx.WetL), FP_SUBNORMAL) << samples;
    ASSERT_NE(std::fpclassify(fx.WetR), FP_SUBNORMAL) << samples;
  }
  EXPECT_GT(samples, 1000);  // it did ring on, and then stopped
  EXPECT_EQ(fx.WetL, 0.0f);
}
