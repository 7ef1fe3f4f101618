// The LV2 instance against the VST effect it wraps: the same settings, tempo and input give the
// same samples bit for bit, whatever the block sizes; bad control values and tempos get the
// effect's own treatment; refused rates fail instantiation; run allocates nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Dsp.h"
#include "tests/lv2/Lv2TestFeatures.h"
#include "tests/plugin/PluginTestHost.h"
#include "tests/support/CountingNew.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr double kRate = 48000.0;

using Controls = std::vector<float>;

Controls program0() { return {0.1f, 0.1f, 0.4f, 0.2f, 0.8f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f}; }
Controls with(Controls c, int index, float value) {
  c[static_cast<std::size_t>(index)] = value;
  return c;
}

struct Case {
  const char* name;
  Controls controls;
  std::optional<float> tempo;  // the host's tempo, when it tells one
  std::vector<std::uint32_t> blocks;
  // A second setting that takes effect from the third block on (empty: none).
  Controls later;
};

const std::vector<std::uint32_t> kMixedBlocks = {1, 7, 64, 513, 4096, 9000, 300};

std::vector<Case> cases() {
  const Controls busy = {0.6f, 0.3f, 0.8f, 0.7f, 0.3f, 0.5f, 0.6f, 0.9f, 0.8f, 0.0f, 1.0f};
  return {
      {"first program", program0(), std::nullopt, kMixedBlocks, {}},
      {"busy settings, one big block", busy, std::nullopt, {20000}, {}},
      {"setting changed between blocks", busy, std::nullopt, kMixedBlocks, with(busy, APlugin::kSpeed, 0.05f)},
      {"synced at 120 bpm", with(busy, APlugin::kSync, 1.0f), 120.0f, kMixedBlocks, {}},
      {"synced, tempo 0", with(busy, APlugin::kSync, 1.0f), 0.0f, kMixedBlocks, {}},
      {"synced, tempo NaN", with(busy, APlugin::kSync, 1.0f), kNaN, kMixedBlocks, {}},
      {"synced, tempo 1e9", with(busy, APlugin::kSync, 1.0f), 1.0e9f, kMixedBlocks, {}},
      {"synced, tempo -inf", with(busy, APlugin::kSync, 1.0f), -kInf, kMixedBlocks, {}},
      {"values out of range",
       {2.0f, -1.0f, 1e30f, -1e-30f, 0.5f, 7.0f, -3.0f, 0.2f, 1.5f, 0.7f, -0.5f},
       std::nullopt,
       kMixedBlocks,
       {}},
      {"NaN and infinite values",
       {kNaN, kInf, -kInf, 0.5f, kNaN, 0.3f, kInf, 0.9f, 1.0f, kNaN, kInf},
       std::nullopt,
       kMixedBlocks,
       with(program0(), APlugin::kFeedback, kNaN)},
  };
}

std::uint32_t total(const std::vector<std::uint32_t>& blocks) {
  std::uint32_t n = 0;
  for (std::uint32_t b : blocks) n += b;
  return n;
}

// The VST effect as a VST host drives it.
Stereo renderVst(const Case& c, const Stereo& in) {
  TestHost::reset();
  TestHost::timeInfoValid = c.tempo.has_value();
  TestHost::timeInfo.tempo = c.tempo.value_or(0.0f);
  APlugin fx(TestHost::callback);
  AEffect* e = fx.getAeffect();
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  e->dispatcher(e, effSetBlockSize, 0, 4096, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  Stereo out(in.size());
  std::size_t at = 0;
  for (std::size_t b = 0; b < c.blocks.size(); ++b) {
    const Controls& now = (b >= 2 && !c.later.empty()) ? c.later : c.controls;
    if (b == 0 || (b == 2 && !c.later.empty()))
      for (std::size_t i = 0; i < now.size(); ++i)
        if (b == 0 || !(now[i] == c.controls[i] || (std::isnan(now[i]) && std::isnan(c.controls[i]))))
          e->setParameter(e, static_cast<VstInt32>(i), now[i]);
    float* ins[2] = {const_cast<float*>(in.l.data() + at), const_cast<float*>(in.r.data() + at)};
    float* outs[2] = {out.l.data() + at, out.r.data() + at};
    e->processReplacing(e, ins, outs, static_cast<VstInt32>(c.blocks[b]));
    at += c.blocks[b];
  }
  return out;
}

// The LV2 instance as an LV2 host drives it: ports, a time position in every block.
Stereo renderLv2(const Case& c, const Stereo& in) {
  TestUridMap urids;
  const LV2_Feature* features[] = {&urids.feature, nullptr};
  TLv2Dsp* dsp = TLv2Dsp::create(kRate, features);
  EXPECT_NE(dsp, nullptr);
  if (dsp == nullptr) return Stereo(in.size());
  float controls[lv2bundle::kNumControls];
  for (std::uint32_t i = 0; i < lv2bundle::kNumControls; ++i) dsp->connect(i, &controls[i]);
  TestTimeSequence time(&urids.map);
  dsp->connect(lv2bundle::kTimeIn, time.buffer);
  dsp->activate();
  Stereo out(in.size());
  std::size_t at = 0;
  for (std::size_t b = 0; b < c.blocks.size(); ++b) {
    const Controls& now = (b >= 2 && !c.later.empty()) ? c.later : c.controls;
    std::copy(now.begin(), now.end(), controls);
    time.clear();
    if (c.tempo) time.position(&urids.map, *c.tempo);
    time.finish();
    dsp->connect(lv2bundle::kAudioIn, const_cast<float*>(in.l.data() + at));
    dsp->connect(lv2bundle::kAudioIn + 1, const_cast<float*>(in.r.data() + at));
    dsp->connect(lv2bundle::kAudioOut, out.l.data() + at);
    dsp->connect(lv2bundle::kAudioOut + 1, out.r.data() + at);
    dsp->run(c.blocks[b]);
    at += c.blocks[b];
  }
  dsp->deactivate();
  delete dsp;
  return out;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(Lv2Dsp, GivesTheVstEffectsSamplesForEverySettingTempoAndBlockSize) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const Stereo in = testSignal(total(c.blocks), 0.5f, 7);
    const Stereo vst = renderVst(c, in);
    const Stereo lv2 = renderLv2(c, in);
    EXPECT_TRUE(sameBits(vst.l, lv2.l));
    EXPECT_TRUE(sameBits(vst.r, lv2.r));
  }
}

TEST(Lv2Dsp, ABadTempoFallsBackToNoTempoAndAGoodOneChangesTheSound) {
  const Controls synced = with(program0(), APlugin::kSync, 1.0f);
  const Stereo in = testSignal(total(kMixedBlocks), 0.5f, 3);
  const Stereo none = renderLv2({"none", synced, std::nullopt, kMixedBlocks, {}}, in);
  for (float bad : {0.0f, kNaN, 1.0e9f, -120.0f}) {
    SCOPED_TRACE(bad);
    const Stereo out = renderLv2({"bad", synced, bad, kMixedBlocks, {}}, in);
    EXPECT_TRUE(sameBits(out.l, none.l));
  }
  const Stereo tempo = renderLv2({"120", synced, 120.0f, kMixedBlocks, {}}, in);
  EXPECT_FALSE(sameBits(tempo.l, none.l));
}

TEST(Lv2Dsp, RefusedRatesFailInstantiationAndNoFeaturesStillRuns) {
  for (double rate : {0.0, -44100.0, 0.4, 1.0e7, std::nan(""), static_cast<double>(kInf)}) {
    SCOPED_TRACE(rate);
    EXPECT_EQ(TLv2Dsp::create(rate, nullptr), nullptr);
  }
  // Without a URID map the time input is not read; sound comes all the same.
  TLv2Dsp* dsp = TLv2Dsp::create(44100.0, nullptr);
  ASSERT_NE(dsp, nullptr);
  float controls[lv2bundle::kNumControls] = {};
  controls[APlugin::kMaster] = 1.0f;
  controls[APlugin::kLmax] = 1.0f;
  for (std::uint32_t i = 0; i < lv2bundle::kNumControls; ++i) dsp->connect(i, &controls[i]);
  Stereo in = testSignal(256), out(256);
  dsp->connect(lv2bundle::kAudioIn, in.l.data());
  dsp->connect(lv2bundle::kAudioIn + 1, in.r.data());
  dsp->connect(lv2bundle::kAudioOut, out.l.data());
  dsp->connect(lv2bundle::kAudioOut + 1, out.r.data());
  out.l.assign(256, 1.0f);
  dsp->run(256);  // not activated: silence, nothing grown on this thread
  EXPECT_EQ(out.l, std::vector<float>(256, 0.0f));
  dsp->activate();
  dsp->run(256);
  dsp->run(256);
  EXPECT_NE(out.l, std::vector<float>(256, 0.0f));
  delete dsp;
}

TEST(Lv2Dsp, RunAllocatesNothingWhateverTheHostSends) {
  TestUridMap urids;
  const LV2_Feature* features[] = {&urids.feature, nullptr};
  TLv2Dsp* dsp = TLv2Dsp::create(kRate, features);
  ASSERT_NE(dsp, nullptr);
  Controls controls = program0();
  for (std::uint32_t i = 0; i < lv2bundle::kNumControls; ++i) dsp->connect(i, &controls[i]);
  TestTimeSequence time(&urids.map);
  dsp->connect(lv2bundle::kTimeIn, time.buffer);
  const std::uint32_t longest = 20000;
  Stereo in = testSignal(longest), out(longest);
  dsp->connect(lv2bundle::kAudioIn, in.l.data());
  dsp->connect(lv2bundle::kAudioIn + 1, in.r.data());
  dsp->connect(lv2bundle::kAudioOut, out.l.data());
  dsp->connect(lv2bundle::kAudioOut + 1, out.r.data());
  dsp->activate();
  testalloc::allocations = 0;
  testalloc::counting = true;
  for (int n = 0; n < 60; ++n) {
    time.clear();
    time.position(&urids.map, n % 3 == 0 ? kNaN : 90.0f + static_cast<float>(n));
    time.finish();
    controls[APlugin::kSpeed] = static_cast<float>(n) / 60.0f;
    controls[APlugin::kSync] = (n / 10) % 2 == 0 ? 1.0f : 0.0f;
    dsp->run(n % 2 == 0 ? 64 : longest);
  }
  testalloc::counting = false;
  EXPECT_EQ(testalloc::allocations.load(), 0);
  delete dsp;
}
