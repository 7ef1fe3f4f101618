// The LV2 instance against the VST effect it wraps, for what lv2apply cannot send: block sizes
// from 1 up, controls changed between blocks, bad control values and tempos through the time
// input. The samples must match bit for bit and run must allocate nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "lv2/Lv2Description.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/plugin/PluginTestHost.h"
#include "tests/support/CountingNew.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr double kRate = 48000.0;
constexpr std::uint32_t kBlocks[] = {1, 7, 64, 513, 20000, 300};

using Controls = std::vector<float>;

struct Case {
  const char* name;
  Controls controls;
  std::optional<float> tempo;  // the host's tempo, when it tells one
  Controls later;              // what the controls become from the third block on (empty: no change)
};

Controls with(Controls c, int index, float value) {
  c[static_cast<std::size_t>(index)] = value;
  return c;
}

const Controls kFirst = {0.1f, 0.1f, 0.4f, 0.2f, 0.8f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f};
const Controls kSynced = with({0.6f, 0.3f, 0.8f, 0.7f, 0.3f, 0.5f, 0.6f, 0.9f, 0.8f, 0.0f, 1.0f}, APlugin::kSync, 1);

const Case kCases[] = {
    {"first program, speed changed", kFirst, std::nullopt, with(kFirst, APlugin::kSpeed, 0.05f)},
    {"synced at 120 bpm", kSynced, 120.0f, {}},
    {"synced, tempo 0", kSynced, 0.0f, {}},
    {"synced, tempo NaN", kSynced, kNaN, {}},
    {"synced, tempo 1e9", kSynced, 1.0e9f, {}},
    {"synced, tempo -inf", kSynced, -kInf, {}},
    {"out of range", {2.0f, -1.0f, 1e30f, -1e-30f, 0.5f, 7.0f, -3.0f, 0.2f, 1.5f, 0.7f, -0.5f}, std::nullopt, {}},
    {"NaN and infinite",
     {kNaN, kInf, -kInf, 0.5f, kNaN, 0.3f, kInf, 0.9f, 1.0f, kNaN, kInf},
     90.0f,
     with(kFirst, APlugin::kFeedback, kNaN)},
};

const Controls& controlsAt(const Case& c, std::size_t block) {
  return block >= 2 && !c.later.empty() ? c.later : c.controls;
}

bool same(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// The VST effect as a VST host drives it: a parameter set when it changes.
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
  for (std::size_t b = 0; b < std::size(kBlocks); at += kBlocks[b++]) {
    for (std::size_t i = 0; i < c.controls.size(); ++i)
      if (b == 0 || !same(controlsAt(c, b)[i], controlsAt(c, b - 1)[i]))
        e->setParameter(e, static_cast<VstInt32>(i), controlsAt(c, b)[i]);
    float* ins[2] = {const_cast<float*>(in.l.data() + at), const_cast<float*>(in.r.data() + at)};
    float* outs[2] = {out.l.data() + at, out.r.data() + at};
    e->processReplacing(e, ins, outs, static_cast<VstInt32>(kBlocks[b]));
  }
  return out;
}

}  // namespace

TEST(Lv2Dsp, GivesTheVstEffectsSamplesWithoutAllocatingAndRefusesBadRates) {
  for (double rate : {0.0, -44100.0, 0.4, 1.0e7, std::nan(""), static_cast<double>(kInf)})
    EXPECT_EQ(TestLv2Host(rate, true).dsp, nullptr) << rate;

  std::uint32_t frames = 0;
  for (std::uint32_t n : kBlocks) frames += n;
  const Stereo in = testSignal(frames, 0.5f, 7);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TestLv2Host host(kRate, c.tempo.has_value());  // without a tempo, without the map either
    ASSERT_NE(host.dsp, nullptr);
    host.setTempo(c.tempo);
    Stereo out(frames);
    std::size_t at = 0;
    testalloc::allocations = 0;
    for (std::size_t b = 0; b < std::size(kBlocks); at += kBlocks[b++]) {
      std::copy(controlsAt(c, b).begin(), controlsAt(c, b).end(), host.controls);
      testalloc::counting = true;
      host.run(in.l.data() + at, in.r.data() + at, out.l.data() + at, out.r.data() + at, kBlocks[b]);
      testalloc::counting = false;
    }
    EXPECT_EQ(testalloc::allocations.load(), 0);
    const Stereo vst = renderVst(c, in);
    EXPECT_EQ(std::memcmp(vst.l.data(), out.l.data(), frames * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(vst.r.data(), out.r.data(), frames * sizeof(float)), 0);
  }
}

// The bundle's minor and micro versions are the vendor version's hundreds digit and last two digits
// (major * 1000 + minor * 100 + patch), so 1.1.5 is published as 1.5, not 1.0.
TEST(Lv2Dsp, PublishesTheVendorVersionsMinorAndMicroDigits) {
  const struct {
    VstInt32 vendor;
    int minor, micro;
  } rows[] = {{1100, 1, 0}, {1105, 1, 5}, {2399, 3, 99}, {907, 9, 7}};
  for (const auto& r : rows) {
    EXPECT_EQ(lv2MinorVersion(r.vendor), r.minor) << r.vendor;
    EXPECT_EQ(lv2MicroVersion(r.vendor), r.micro) << r.vendor;
  }
}
