// The LV2 edition's run against the VST effect's processReplacing: the same effect, first program,
// signal, rate and tempo (120 bpm from the time input, or the time request). The difference is
// the adapter's cost. Counter: per_frame (CPU seconds per stereo frame).
#include <benchmark/benchmark.h>

#include "tests/lv2/Lv2TestHost.h"
#include "tests/plugin/PluginTestHost.h"

namespace {

constexpr double kRate = 44100.0;
const float kFirst[lv2bundle::kNumControls] = {0.1f, 0.1f, 0.4f, 0.2f, 0.8f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f};

void perFrame(benchmark::State& state) {
  state.counters["per_frame"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_VstProcessReplacing(benchmark::State& state) {
  const Stereo in = testSignal(static_cast<std::size_t>(state.range(0)));
  Stereo out(in.size());
  TestHost::timeInfoValid = true;
  TestHost::timeInfo.tempo = 120.0;
  APlugin fx(TestHost::callback);
  AEffect* e = fx.getAeffect();
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  e->dispatcher(e, effSetBlockSize, 0, state.range(0), nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  for (VstInt32 i = 0; i < APlugin::kNumParams; ++i) e->setParameter(e, i, kFirst[i]);
  float* ins[2] = {const_cast<float*>(in.l.data()), const_cast<float*>(in.r.data())};
  float* outs[2] = {out.l.data(), out.r.data()};
  for (auto _ : state) e->processReplacing(e, ins, outs, static_cast<VstInt32>(in.size()));
  perFrame(state);
}

void BM_Lv2Run(benchmark::State& state) {
  const Stereo in = testSignal(static_cast<std::size_t>(state.range(0)));
  Stereo out(in.size());
  TestLv2Host host(kRate, true);
  std::copy(std::begin(kFirst), std::end(kFirst), host.controls);
  host.setTempo(120.0f);
  for (auto _ : state)
    host.run(in.l.data(), in.r.data(), out.l.data(), out.r.data(), static_cast<std::uint32_t>(in.size()));
  perFrame(state);
}

BENCHMARK(BM_VstProcessReplacing)->RangeMultiplier(8)->Range(64, 4096);
BENCHMARK(BM_Lv2Run)->RangeMultiplier(8)->Range(64, 4096);

}  // namespace
