// The LV2 edition's run against the VST effect's processReplacing, in one run: the same effect,
// the same settings ("Doppler 1"), signal, rate (44.1 kHz) and tempo (120 beats per minute, from
// the host's time position on the LV2 side, from the tempo query on the VST side). The
// difference is what the adapter costs: reading the time input, comparing the control ports and
// handing the block on. Counter: per_frame (CPU seconds per stereo frame).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "lv2/Lv2Bundle.h"
#include "lv2/Lv2Dsp.h"
#include "plugin/uPlugin.h"
#include "tests/lv2/Lv2TestFeatures.h"

namespace {

constexpr double kRate = 44100.0;
const float kDoppler1[lv2bundle::kNumControls] = {0.1f, 0.1f, 0.4f, 0.2f, 0.8f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f};

VstIntPtr VSTCALLBACK benchHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterTempoAt) return 1200000;  // 120 beats per minute
  return 0;
}

struct Signal {
  explicit Signal(std::size_t frames) : l(frames), r(frames), outL(frames), outR(frames) {
    for (std::size_t i = 0; i < frames; ++i) {
      const double t = static_cast<double>(i) / kRate;
      l[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 220.0 * t) + 0.1 * std::sin(2 * M_PI * 3001.0 * t));
      r[i] = static_cast<float>(0.4 * std::sin(2 * M_PI * 330.0 * t) + 0.1 * std::sin(2 * M_PI * 5003.0 * t));
    }
  }
  std::vector<float> l, r, outL, outR;
};

void setCounters(benchmark::State& state, std::int64_t frames) {
  const double total = static_cast<double>(state.iterations()) * static_cast<double>(frames);
  state.counters["per_frame"] = benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_VstProcessReplacing(benchmark::State& state) {
  const auto frames = static_cast<VstInt32>(state.range(0));
  Signal s(static_cast<std::size_t>(frames));
  auto effect = std::make_unique<APlugin>(benchHost);
  AEffect* e = effect->getAeffect();
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  e->dispatcher(e, effSetBlockSize, 0, frames, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  for (VstInt32 i = 0; i < APlugin::kNumParams; ++i) e->setParameter(e, i, kDoppler1[i]);
  float* ins[2] = {s.l.data(), s.r.data()};
  float* outs[2] = {s.outL.data(), s.outR.data()};
  for (int i = 0; i < 50; ++i) e->processReplacing(e, ins, outs, frames);
  for (auto _ : state) {
    e->processReplacing(e, ins, outs, frames);
    benchmark::DoNotOptimize(s.outL.data());
  }
  setCounters(state, frames);
}

void BM_Lv2Run(benchmark::State& state) {
  const auto frames = static_cast<std::uint32_t>(state.range(0));
  Signal s(frames);
  TestUridMap urids;
  const LV2_Feature* features[] = {&urids.feature, nullptr};
  std::unique_ptr<TLv2Dsp> dsp(TLv2Dsp::create(kRate, features));
  float controls[lv2bundle::kNumControls];
  std::copy(std::begin(kDoppler1), std::end(kDoppler1), controls);
  for (std::uint32_t i = 0; i < lv2bundle::kNumControls; ++i) dsp->connect(i, &controls[i]);
  TestTimeSequence time(&urids.map);
  time.clear();
  time.position(&urids.map, 120.0f);
  time.finish();
  dsp->connect(lv2bundle::kTimeIn, time.buffer);
  dsp->connect(lv2bundle::kAudioIn, s.l.data());
  dsp->connect(lv2bundle::kAudioIn + 1, s.r.data());
  dsp->connect(lv2bundle::kAudioOut, s.outL.data());
  dsp->connect(lv2bundle::kAudioOut + 1, s.outR.data());
  dsp->activate();
  for (int i = 0; i < 50; ++i) dsp->run(frames);
  for (auto _ : state) {
    dsp->run(frames);
    benchmark::DoNotOptimize(s.outL.data());
  }
  setCounters(state, frames);
}

BENCHMARK(BM_VstProcessReplacing)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_Lv2Run)->Arg(64)->Arg(512)->Arg(4096);

}  // namespace
