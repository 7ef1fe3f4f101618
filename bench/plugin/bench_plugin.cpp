// Speed of the Doppler effect through the record's processReplacing at 44.1 kHz, on an ordinary
// signal and on a feedback tail decaying into silence, and of its per-sample primitives.
// Counters: per_frame (CPU seconds per stereo frame) and realtime (seconds of audio per CPU second).
// BM_DopplerReference times the plain formulation the exactness tests compare with; each
// BM_DopplerBlock run after it also reports its CPU time over the formulation's (vs_reference).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

#include "plugin/uDelay4p.h"
#include "plugin/uLp1.h"
#include "plugin/uPara.h"
#include "plugin/uPlugin.h"
#include "tests/support/PlainDoppler.h"
#include "vst/DDspUtils.h"

namespace {

constexpr double kRate = 44100.0;

VstIntPtr VSTCALLBACK benchHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterTempoAt) return 1200000;  // 120 beats per minute
  return 0;
}

struct Rig {
  explicit Rig(VstInt32 frames) : in(2, std::vector<float>(frames)), out(2, std::vector<float>(frames)) {
    effect = std::make_unique<APlugin>(benchHost);
    record = effect->getAeffect();
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    record->dispatcher(record, effSetBlockSize, 0, frames, nullptr, 0.0f);
    record->dispatcher(record, effSetProgram, 0, 1, nullptr, 0.0f);  // "Doppler 1"
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    inPtr[0] = in[0].data();
    inPtr[1] = in[1].data();
    outPtr[0] = out[0].data();
    outPtr[1] = out[1].data();
  }
  void run(VstInt32 frames) { record->processReplacing(record, inPtr, outPtr, frames); }

  std::unique_ptr<APlugin> effect;  // owned here: the benchmark never sends effClose
  AEffect* record = nullptr;
  std::vector<std::vector<float>> in, out;
  float* inPtr[2] = {};
  float* outPtr[2] = {};
};

void setCounters(benchmark::State& state, std::int64_t framesPerIteration) {
  const double frames = static_cast<double>(state.iterations()) * static_cast<double>(framesPerIteration);
  // Seconds per stereo frame, shown with an SI prefix (38.9n is 38.9 ns).
  state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// A program-like signal: two detuned tones, different per side.
void fillSignal(Rig& rig, std::int64_t start) {
  const VstInt32 n = static_cast<VstInt32>(rig.in[0].size());
  for (VstInt32 i = 0; i < n; ++i) {
    const double t = static_cast<double>(start + i) / kRate;
    rig.in[0][i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 220.0 * t) + 0.1 * std::sin(2 * M_PI * 3001.0 * t));
    rig.in[1][i] = static_cast<float>(0.4 * std::sin(2 * M_PI * 330.0 * t) + 0.1 * std::sin(2 * M_PI * 5003.0 * t));
  }
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// CPU seconds per frame of the plain formulation by block size, as BM_DopplerReference measured it.
std::map<std::int64_t, double> gReferencePerFrame;

void BM_DopplerReference(benchmark::State& state) {
  const VstInt32 frames = static_cast<VstInt32>(state.range(0));
  Rig rig(frames);
  fillSignal(rig, 0);
  rig.run(frames);  // the effect's values follow the captured rate
  plainref::PlainDoppler plain(*rig.effect);
  const std::int32_t rate = rig.effect->SampleRateInt.load();
  const double start = cpuSeconds();
  for (auto _ : state) {
    for (VstInt32 i = 0; i < frames; ++i) plain.frame(rate, rig.in[0][i], rig.in[1][i], rig.out[0][i], rig.out[1][i]);
    benchmark::DoNotOptimize(rig.out[0].data());
  }
  gReferencePerFrame[frames] = (cpuSeconds() - start) / (static_cast<double>(state.iterations()) * frames);
  setCounters(state, frames);
}
BENCHMARK(BM_DopplerReference)->Arg(32)->Arg(64)->Arg(512)->Arg(4096);

// "Doppler 1", with its Feedback of 0 unless `feedback` says otherwise.
void runDoppler(benchmark::State& state, float feedback) {
  const VstInt32 frames = static_cast<VstInt32>(state.range(0));
  Rig rig(frames);
  rig.effect->UseWideVectors = rig.effect->UseWideVectors && state.range(1) != 0;
  if (feedback != 0.0f) rig.record->setParameter(rig.record, APlugin::kFeedback, feedback);
  fillSignal(rig, 0);
  for (int i = 0; i < 50; ++i) rig.run(frames);  // past the start-up zeros of the delay
  const double start = cpuSeconds();
  for (auto _ : state) {
    rig.run(frames);
    benchmark::DoNotOptimize(rig.out[0].data());
  }
  const double perFrame = (cpuSeconds() - start) / (static_cast<double>(state.iterations()) * frames);
  setCounters(state, frames);
  if (gReferencePerFrame.count(frames) != 0) state.counters["vs_reference"] = perFrame / gReferencePerFrame[frames];
}
void BM_DopplerBlock(benchmark::State& state) { runDoppler(state, 0.0f); }
// Second argument: 1 for the wide-vector kernel where the processor has it, 0 for the plain one.
BENCHMARK(BM_DopplerBlock)->ArgsProduct({{32, 64, 512, 4096}, {1}})->Args({64, 0})->Args({4096, 0});
// With feedback the lines take each input rounded to float, which the default programs skip.
void BM_DopplerBlockFedBack(benchmark::State& state) { runDoppler(state, 0.5f); }
BENCHMARK(BM_DopplerBlockFedBack)->ArgsProduct({{64, 4096}, {1, 0}});

// Full feedback and a short delay: an impulse rings on and decays through the subnormal range.
void BM_DopplerFeedbackTail(benchmark::State& state) {
  const VstInt32 frames = static_cast<VstInt32>(state.range(0));
  Rig rig(frames);
  rig.effect->UseWideVectors = rig.effect->UseWideVectors && state.range(1) != 0;
  AEffect* e = rig.record;
  e->setParameter(e, APlugin::kFeedback, 1.0f);
  e->setParameter(e, APlugin::kDopplerAmount, 0.001f);
  rig.in[0][0] = 1.0f;
  rig.in[1][0] = -1.0f;
  rig.run(frames);
  rig.in[0][0] = rig.in[1][0] = 0.0f;
  // Into the quiet end of the tail before timing starts.
  for (int i = 0; i < 40000; ++i) rig.run(frames);
  for (auto _ : state) {
    rig.run(frames);
    benchmark::DoNotOptimize(rig.out[0].data());
  }
  setCounters(state, frames);
}
BENCHMARK(BM_DopplerFeedbackTail)->ArgsProduct({{64, 4096}, {1}})->Args({64, 0});

void BM_Hermite4(benchmark::State& state) {
  float y[4] = {0.1f, -0.3f, 0.7f, 0.2f};
  float x = 0.5f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    float r = hermite4(x, y[0], y[1], y[2], y[3]);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_Hermite4);

void BM_Tdelay4pReadWrite(benchmark::State& state) {
  Tdelay4p line(APlugin::kDelayLineLength);
  std::int32_t pos = 0;
  float delay = 1000.25f;
  for (auto _ : state) {
    if (++pos > 44100) pos = 0;
    line.Write(pos, 0.25f);
    line.Read(pos, 44101, delay);
    delay = delay > 4000.0f ? 10.5f : delay + 0.01f;
    benchmark::DoNotOptimize(line.Output);
  }
}
BENCHMARK(BM_Tdelay4pReadWrite);

void BM_TLp1(benchmark::State& state) {
  TLp1 f;
  float cutoff = 100.0f;
  for (auto _ : state) {
    f.Process(0.5f, cutoff, 44100.0f);
    cutoff = cutoff > 12000.0f ? 0.0f : cutoff + 0.37f;
    benchmark::DoNotOptimize(f.Output);
  }
}
BENCHMARK(BM_TLp1);

void BM_TPara(benchmark::State& state) {
  TPara p;
  for (auto _ : state) {
    p.Step(0.2f, 44100.0f, -0.3f);
    benchmark::DoNotOptimize(p.Out1);
    benchmark::DoNotOptimize(p.Out2);
  }
}
BENCHMARK(BM_TPara);

}  // namespace
