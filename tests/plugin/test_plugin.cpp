// The Doppler effect as the host sees it (record, dispatcher, programs, displays) and its
// internal values.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "PluginTestHost.h"
#include "plugin/KestruneEn.h"
#include "vst/DVstUtils.h"

namespace {

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override { TestHost::reset(); }

  std::string text(AEffect* e, VstInt32 opcode, VstInt32 index = 0) {
    char buf[256];
    std::memset(buf, 0, sizeof buf);
    e->dispatcher(e, opcode, index, 0, buf, 0.0f);
    return buf;
  }
  VstIntPtr ask(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
  }
  // One block of silence: captures the sample rate and tempo.
  void block(APlugin& fx, VstInt32 frames = 16) { runBlocks(fx, Stereo(frames), frames); }
};

constexpr float kProgramTable[4][11] = {
    {0.1f, 0.1f, 0.4f, 0.2f, 0.8f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f},
    {0.1f, 0.1f, 0.4f, 0.2f, 0.8f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f},
    {0.2f, 0.05f, 0.2f, 0.8f, 0.2f, 0.0f, 1.0f, 0.8f, 1.0f, 0.0f, 0.0f},
    {0.05f, 0.15f, 0.3f, 0.8f, 0.8f, 0.0f, 0.8f, 1.0f, 1.0f, 0.0f, 0.0f},
};

}  // namespace

TEST_F(PluginTest, FactoryRecordIdentityAndCapabilities) {
  TestHost::version = 0;
  EXPECT_EQ(createKestruneEn(TestHost::callback, nullptr), nullptr);
  EXPECT_EQ(createKestruneEn(nullptr, nullptr), nullptr);
  TestHost::version = 2400;
  AEffect* e = createKestruneEn(TestHost::callback, nullptr);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->numPrograms, 4);
  EXPECT_EQ(e->numParams, 11);
  EXPECT_EQ(e->flags, effFlagsCanMono | effFlagsCanReplacing);  // without an editor class: 24
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->uniqueID, fourCharToLong('Q', 'X', '0', '9'));
  EXPECT_EQ(e->version, 1);
  EXPECT_EQ(text(e, effGetEffectName), "KestruneEn");
  EXPECT_EQ(text(e, effGetProductString), "KestruneEnhanced");
  EXPECT_EQ(text(e, effGetVendorString), "QX Audio");
  EXPECT_EQ(ask(e, effGetVendorVersion), 1100);
  EXPECT_EQ(ask(e, effGetTailSize), 0);
  const struct {
    const char* what;
    VstIntPtr answer;
  } canDo[] = {{"sendVstEvents", 1},      {"sendVstMidiEvent", 1}, {"receiveVstEvents", 1}, {"receiveVstMidiEvent", 1},
               {"receiveVstTimeInfo", 0}, {"2in2out", 0},          {"bypass", 0},           {"sendVstTimeInfo", 0},
               {"ReceiveVstEvents", -1}};
  for (const auto& c : canDo) EXPECT_EQ(ask(e, effCanDo, 0, 0, const_cast<char*>(c.what)), c.answer) << c.what;
  EXPECT_EQ(ask(e, effClose), 1);
}

TEST_F(PluginTest, ProgramsNamesLabelsAndDisplays) {
  APlugin fx(TestHost::callback);
  AEffect* e = fx.getAeffect();
  EXPECT_EQ(ask(e, effGetProgram), 0);
  EXPECT_EQ(text(e, effGetProgramName), "Free ini slot");
  const char* names[] = {"Free ini slot", "Doppler 1", "Doppler 2", "Doppler 3"};
  for (int p = 0; p < 4; ++p) {
    char buf[64] = {};
    EXPECT_EQ(ask(e, effGetProgramNameIndexed, p, 0, buf), 1);
    EXPECT_STREQ(buf, names[p]);
  }
  const char* params[] = {"Speed", "Doppler Amount", "Damping", "TrajControl1", "TrajControl2", "Feedback",
                          "Lmax",  "Rmax",           "Master",  "Sync",         "Mergeins"};
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(text(e, effGetParamName, i), params[i]);
    EXPECT_EQ(text(e, effGetParamLabel, i), "");
  }
  for (int p : {0, 1, 2, 3}) {
    ask(e, effSetProgram, 0, p);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(e->getParameter(e, i), kProgramTable[p][i]) << p << "/" << i;
  }
  ask(e, effSetProgram, 0, 2);
  EXPECT_EQ(text(e, effGetParamDisplay, APlugin::kDopplerAmount), "0.05");
  EXPECT_EQ(text(e, effGetParamDisplay, APlugin::kTrajControl1), "0.80");
  EXPECT_EQ(text(e, effGetParamDisplay, 11), "undefined");
}

TEST_F(PluginTest, InternalValuesDescribeTheCurrentProgramFromConstructionOn) {
  APlugin fx(TestHost::callback);
  // Before any block the rate is unknown: no delay depth yet.
  EXPECT_EQ(fx.DelayDepth.load(), 0.0f);
  EXPECT_EQ(fx.Rate.load(), 0.2f);
  EXPECT_EQ(fx.DampDepth.load(), static_cast<float>(0.4f * 12000.0));
  EXPECT_EQ(fx.PhaseOffset.load(), static_cast<float>(0.2f - 0.5));
  EXPECT_EQ(fx.TrajSwap.load(), 0.8f);
  EXPECT_EQ(fx.FeedbackGain.load(), 0.0f);
  EXPECT_EQ(fx.LeftDepth.load(), static_cast<float>(0.99L));
  EXPECT_EQ(fx.RightDepth.load(), static_cast<float>(0.99L));
  EXPECT_EQ(fx.MasterGain.load(), 1.0f);
  block(fx);
  EXPECT_EQ(fx.SampleRateInt.load(), 44100);
  EXPECT_EQ(fx.DelayDepth.load(), 4410.0f);

  // Every change derives all values: a program switch lands them all.
  fx.setProgram(3);
  EXPECT_EQ(fx.Rate.load(), 0.1f);
  EXPECT_EQ(fx.DelayDepth.load(), static_cast<float>(0.15f * 44100.0));
  EXPECT_EQ(fx.LeftDepth.load(), static_cast<float>(0.8f * 0.99L));
  fx.setParameter(APlugin::kFeedback, 1.0f);
  EXPECT_EQ(fx.FeedbackGain.load(), static_cast<float>(-0.99L));
  fx.setParameter(APlugin::kFeedback, 0.3f);
  EXPECT_EQ(fx.FeedbackGain.load(), static_cast<float>(static_cast<long double>(0.3f) * -0.99L));
}

TEST_F(PluginTest, SyncedRateDivisorsAndTheSyncSwitch) {
  TestHost::tempoAt = 120 * 10000;
  APlugin fx(TestHost::callback);
  block(fx);
  // Speed -> beats per cycle: Rate x 7 rounded half to even, plus 1.
  const struct {
    float speed;
    double beats;
  } cases[] = {{0.0f, 1}, {0.1f, 2}, {0.25f, 5}, {0.5f, 8}, {0.75f, 11}, {1.0f, 15}};
  for (const auto& c : cases) {
    fx.setParameter(APlugin::kSpeed, c.speed);
    EXPECT_EQ(fx.SyncedRate.load(), static_cast<float>(120.0 / 60.0 / c.beats)) << c.speed;
  }
  fx.setParameter(APlugin::kSpeed, 0.1f);
  EXPECT_EQ(fx.SyncedRate.load(), 1.0f);

  // Synced: the block start replaces Rate; switching off restores 2 x Speed at once.
  fx.setParameter(APlugin::kSync, 1.0f);
  EXPECT_EQ(fx.Rate.load(), 0.2f);
  block(fx);
  EXPECT_EQ(fx.Rate.load(), 1.0f);
  fx.setParameter(APlugin::kSync, 0.0f);
  EXPECT_EQ(fx.Rate.load(), 0.2f);
  // Exactly 0.5 counts as off.
  fx.setParameter(APlugin::kSync, 0.5f);
  block(fx);
  EXPECT_EQ(fx.Rate.load(), 0.2f);
}

TEST_F(PluginTest, RateAndTempoChangesDeriveAgainAtTheNextBlock) {
  TestHost::tempoAt = 120 * 10000;
  APlugin fx(TestHost::callback);
  fx.setParameter(APlugin::kSpeed, 0.1f);
  EXPECT_EQ(fx.SyncedRate.load(), 0.0f);  // no tempo captured yet
  block(fx);
  EXPECT_EQ(fx.SyncedRate.load(), 1.0f);
  TestHost::tempoAt = 90 * 10000;
  block(fx);
  EXPECT_EQ(fx.SyncedRate.load(), static_cast<float>(90.0 / 60.0 / 2.0));

  fx.setSampleRate(48000.0f);
  block(fx);
  EXPECT_EQ(fx.SampleRateInt.load(), 48000);
  EXPECT_EQ(fx.DelayDepth.load(), static_cast<float>(0.1f * 48000.0));
  fx.setSampleRate(22050.0f);  // a drop: the depth must follow before the delay reads
  block(fx);
  EXPECT_EQ(fx.DelayDepth.load(), static_cast<float>(0.1f * 22050.0));
}

TEST_F(PluginTest, TempoFallsBackToTimeInfoAndBadTemposCountAsZero) {
  TestHost::tempoAt = 0;
  TestHost::timeInfoValid = true;
  TestHost::timeInfo.tempo = 150.0;
  APlugin fx(TestHost::callback);
  fx.setParameter(APlugin::kSpeed, 0.0f);  // one cycle per beat
  block(fx);
  EXPECT_EQ(fx.SyncedRate.load(), 2.5f);

  for (double bad : {-120.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    TestHost::timeInfo.tempo = bad;
    block(fx);
    EXPECT_EQ(fx.SyncedRate.load(), 0.0f) << bad;
  }
  TestHost::timeInfoValid = false;
  TestHost::tempoAt = -1200000;
  block(fx);
  EXPECT_EQ(fx.SyncedRate.load(), 0.0f);
  // With no tempo the synced oscillators stand still.
  fx.setParameter(APlugin::kSync, 1.0f);
  block(fx);
  const double phase = fx.Para.Phase1;
  block(fx);
  EXPECT_EQ(fx.Para.Phase1, phase);
}

TEST_F(PluginTest, SampleRatesOutsideTheUsableRangeAreRefused) {
  APlugin fx(TestHost::callback);
  AEffect* e = fx.getAeffect();
  const float refused[] = {0.0f,
                           -44100.0f,
                           0.4f,
                           0.5f,
                           768001.0f,
                           1e9f,
                           std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
  for (float rate : refused) {
    ask(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    ask(e, effSetSampleRate, 0, 0, nullptr, rate);
    EXPECT_EQ(fx.getSampleRate(), 96000.0f) << rate;
  }
  EXPECT_TRUE(fx.isUsableSampleRate(1.5f));
  EXPECT_TRUE(fx.isUsableSampleRate(768000.0f));
  EXPECT_EQ(APlugin::acceptedSampleRate(44100.5f), 44100);  // ties to even
  EXPECT_EQ(APlugin::acceptedSampleRate(44101.5f), 44102);
  EXPECT_EQ(APlugin::acceptedSampleRate(1.5f), 2);
  EXPECT_EQ(APlugin::acceptedSampleRate(768000.5f), 768000);
  EXPECT_EQ(APlugin::acceptedSampleRate(768000.75f), 0);
}
