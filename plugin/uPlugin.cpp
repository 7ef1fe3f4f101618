#include "plugin/uPlugin.h"

#include <algorithm>
#include <cmath>

#include "plugin/uPair.h"
#include "plugin/uPrepare.h"
#include "plugin/uSamples.h"
#include "plugin/uWide.h"
#include "vst/DVstUtils.h"

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

struct ProgramValues {
  const char* name;
  float values[APlugin::kNumParams];
};

// Program 0 starts as a copy of "Doppler 1".
constexpr ProgramValues kPrograms[APlugin::kNumPrograms] = {
    {"Free ini slot", {0.1f, 0.1f, 0.4f, 0.2f, 0.8f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f}},
    {"Doppler 1", {0.1f, 0.1f, 0.4f, 0.2f, 0.8f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f}},
    {"Doppler 2", {0.2f, 0.05f, 0.2f, 0.8f, 0.2f, 0.0f, 1.0f, 0.8f, 1.0f, 0.0f, 0.0f}},
    {"Doppler 3", {0.05f, 0.15f, 0.3f, 0.8f, 0.8f, 0.0f, 0.8f, 1.0f, 1.0f, 0.0f, 0.0f}},
};

constexpr const char* kParamNames[APlugin::kNumParams] = {
    "Speed", "Doppler Amount", "Damping", "TrajControl1", "TrajControl2", "Feedback",
    "Lmax",  "Rmax",           "Master",  "Sync",         "Mergeins",
};

// Nearest integer, ties to even, whatever the rounding mode of the calling thread.
double roundHalfEven(double x) {
  double r = std::floor(x + 0.5);
  if (r - x == 0.5 && std::fmod(r, 2.0) != 0.0) r -= 1.0;
  return r;
}

}  // namespace

TVstTemplateIdentity APlugin::identity() {
  TVstTemplateIdentity id;
  id.uniqueIdString = "QX09";
  id.vendorVersion = KESTRUNE_VENDOR_VERSION;  // from the project version (CMakeLists.txt)
  id.effectName = "KestruneEn";
  id.vendorName = "QX Audio";
  id.productName = "KestruneEnhanced";
  id.numInputs = 2;
  id.numOutputs = 2;
  id.initialDelay = 0;
  // sendVstEvents, sendVstMidiEvent, receiveVstEvents, receiveVstMidiEvent
  id.canDoSet = (1u << 0) | (1u << 1) | (1u << 3) | (1u << 4);
  id.effectFlagSet = kFlagCanMono | kFlagCanReplacing;
  return id;
}

APlugin::APlugin(audioMasterCallback audioMaster, TFormClass editorClass)
    : TVstTemplate(audioMaster, kNumPrograms, kNumParams, editorClass, identity()),
      UseWideVectors(wideVectorsAvailable()) {
  initialize();
  OnParameterChange = TVstEvent<VstInt32>::bind<&APlugin::parameterChanged>(this);
  OnEditorIdle = TVstEvent<TForm*>{[](void*, TForm*) {}, this};
  // Internal values describe the current program from the start; the first block derives them
  // again once it has captured the sample rate and tempo.
  parameterChanged(-1);
}

APlugin::~APlugin() = default;

void APlugin::initialize() {
  for (VstInt32 i = 0; i < kNumParams; ++i) getParameterProperty(i)->setName(kParamNames[i]);
  for (VstInt32 p = kNumPrograms - 1; p >= 0; --p) {
    setProgram(p);
    for (VstInt32 i = 0; i < kNumParams; ++i) setParameter(i, kPrograms[p].values[i]);
    setProgramName(const_cast<char*>(kPrograms[p].name));
  }
}

std::int32_t APlugin::acceptedSampleRate(float rate) {
  if (!std::isfinite(rate)) return 0;
  const double r = roundHalfEven(rate);
  if (r < 1.0 || r > kMaxSampleRate) return 0;
  return static_cast<std::int32_t>(r);
}

bool APlugin::isUsableSampleRate(float rate) const {
  return TVstTemplate::isUsableSampleRate(rate) && acceptedSampleRate(rate) != 0;
}

float APlugin::currentTempo() const {
  const float t = getTempo();
  return (std::isfinite(t) && t > 0.0f) ? t : 0.0f;
}

void APlugin::parameterChanged(VstInt32 /*index: every value is derived again*/) {
  const std::int32_t sampleRateInt = SampleRateInt.load(kRelaxed);
  const float bpm = currentTempo();
  const auto v = [this](VstInt32 i) { return static_cast<double>(getParameter(i)); };

  const float rate = static_cast<float>(v(kSpeed) * 2.0);
  Rate.store(rate, kRelaxed);
  DelayDepth.store(static_cast<float>(v(kDopplerAmount) * sampleRateInt), kRelaxed);
  DampDepth.store(static_cast<float>(v(kDamping) * 12000.0), kRelaxed);
  PhaseOffset.store(static_cast<float>(v(kTrajControl1) - 0.5), kRelaxed);
  TrajSwap.store(static_cast<float>(v(kTrajControl2)), kRelaxed);
  FeedbackGain.store(static_cast<float>(static_cast<long double>(getParameter(kFeedback)) * -0.99L), kRelaxed);
  LeftDepth.store(static_cast<float>(static_cast<long double>(getParameter(kLmax)) * 0.99L), kRelaxed);
  RightDepth.store(static_cast<float>(static_cast<long double>(getParameter(kRmax)) * 0.99L), kRelaxed);
  MasterGain.store(static_cast<float>(v(kMaster)), kRelaxed);
  SyncSwitch.store(static_cast<float>(v(kSync)), kRelaxed);
  MergeSwitch.store(static_cast<float>(v(kMergeins)), kRelaxed);
  // One cycle every n beats, n = 1..15 over the range of "Speed".
  const double beats = roundHalfEven(static_cast<double>(rate) * 7.0) + 1.0;
  SyncedRate.store(static_cast<float>(static_cast<double>(bpm) / 60.0 / beats), kRelaxed);

  derivedSampleRate.store(sampleRateInt, kRelaxed);
  derivedTempo.store(bpm, kRelaxed);
}

void APlugin::processAudio(TArrayOfSingleArray& inputs, TArrayOfSingleArray& outputs, VstInt32 sampleFrames) {
  if (inputs.size() < 2 || outputs.size() < 2) return;
  processFrames(inputs[0].data(), inputs[1].data(), outputs[0].data(), outputs[1].data(), sampleFrames);
}

bool APlugin::processDirect(const float* const* inputs, float* const* outputs, VstInt32 sampleFrames) {
  if (getNumInputs() < 2 || getNumOutputs() < 2) return false;
  processFrames(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
  return true;
}

void APlugin::processFrames(const float* inL, const float* inR, float* outL, float* outR, VstInt32 sampleFrames) {
  if (sampleFrames <= 0) return;

  // Block start: capture the rate (a refused one keeps the previous), derive again when the rate
  // or the tempo moved since the last derivation, then let the tempo drive the rate when synced.
  std::int32_t sampleRateInt = acceptedSampleRate(getSampleRate());
  if (sampleRateInt == 0) sampleRateInt = SampleRateInt.load(kRelaxed);
  if (sampleRateInt == 0) sampleRateInt = 44100;
  SampleRateInt.store(sampleRateInt, kRelaxed);
  if (sampleRateInt != derivedSampleRate.load(kRelaxed) || currentTempo() != derivedTempo.load(kRelaxed))
    parameterChanged(-1);
  if (SyncSwitch.load(kRelaxed) > 0.5f) Rate.store(SyncedRate.load(kRelaxed), kRelaxed);

  const std::int32_t ringLength = sampleRateInt + 1;
  const float rateF = static_cast<float>(sampleRateInt);

  // The internal values as this block sees them: read once, as if every change from another
  // thread landed just before or just after the block.
  const float rate = Rate.load(kRelaxed);
  const float phaseOffset = PhaseOffset.load(kRelaxed);
  const double feedback = FeedbackGain.load(kRelaxed);
  const bool merge = MergeSwitch.load(kRelaxed) > 0.5f;
  const double delayDepth = DelayDepth.load(kRelaxed);
  const bool ownSides = TrajSwap.load(kRelaxed) > 0.5f;
  const double leftDepth = LeftDepth.load(kRelaxed);
  const double rightDepth = RightDepth.load(kRelaxed);
  const double dampDepth = DampDepth.load(kRelaxed);
  const double master = MasterGain.load(kRelaxed);

  const bool wide = UseWideVectors;

  // Each chunk first computes what does not depend on the audio (oscillators, delays, tap
  // positions, side gains, cutoffs, then the inputs as the lines take them) several samples at a
  // time, then runs the delay lines and the filters, whose coefficients' last steps (the sine)
  // it computes beside their chain.
  // Same operations in the same order as one sample at a time: the same samples.
  // Each pass's start and end cost the same whatever its length: 256 samples spread them over
  // more samples than 128 did (3% faster on long blocks), in about 14 KB of stack.
  constexpr VstInt32 kChunk = 256;
  alignas(32) float mods1[kChunk], mods2[kChunk], delays[kChunk];
  alignas(32) std::int32_t positions[kChunk], oldest[kChunk];  // write position, first tap
  alignas(32) float fractions[kChunk];
  alignas(32) float gains[2 * kChunk], dampArgs[2 * kChunk];  // left, right interleaved
  alignas(32) double ins[2 * kChunk];
  alignas(32) float mixes[2 * kChunk];  // left, right interleaved
  TMotion motion{&Para, rate, rateF, phaseOffset, WritePos, sampleRateInt};
  TSampleLoop loop{};
  loop.ins = ins;
  loop.positions = positions;
  loop.oldest = oldest;
  loop.fractions = fractions;
  loop.gains = gains;
  loop.dampArgs = dampArgs;
  loop.lines = Lines.get();
  loop.mixes = mixes;
  loop.ringLength = ringLength;
  loop.feedback = feedback;
  loop.master = master;
  loop.maxSample = kMaxSample;
  loop.exactFeed = feedback == 0.0 && !merge;  // then each input is a float within kMaxSample
  loop.state = {TPairF::of(WetL, WetR),
                TPairF::of(GainL, GainR),
                TPairF::of(MixL, MixR),
                TPair::of(DampL.PrevIn, DampR.PrevIn),
                TPair::of(DampL.PrevOut, DampR.PrevOut),
                TPair::of(DampL.Output, DampR.Output),
                TPair::of(DampL.Coefficient, DampR.Coefficient)};
  const TPrepare prepare{ownSides, delayDepth, leftDepth, rightDepth, dampDepth, rateF};
  const TChunk chunk{positions, mods1, mods2, delays, gains, dampArgs, oldest, fractions};

  VstInt32 n = 0;
  for (VstInt32 start = 0; start < sampleFrames; start += n) {
    n = std::min(kChunk, sampleFrames - start);
    loop.readsAhead = (wide ? prepareWide : preparePlain)(motion, prepare, n, chunk);
    (wide ? conditionWide : conditionPlain)(inL + start, inR + start, n, merge, kMaxSample, ins);
    loop.outL = outL + start;
    loop.outR = outR + start;
    (wide ? runSamplesWide : runSamplesPlain)(loop, n);
  }

  // The state as processing one sample at a time leaves it.
  DampL.PrevIn = loop.state.prevIn.a();
  DampR.PrevIn = loop.state.prevIn.b();
  DampL.PrevOut = loop.state.prevOut.a();
  DampR.PrevOut = loop.state.prevOut.b();
  DampL.Output = loop.state.damped.a();
  DampR.Output = loop.state.damped.b();
  DampL.Coefficient = loop.state.coef.a();
  DampR.Coefficient = loop.state.coef.b();
  Para.Shape();  // the oscillators' outputs of the last sample, as Step leaves them
  WritePos = positions[n - 1];
  Mod1 = mods1[n - 1];
  Mod2 = mods2[n - 1];
  DelayTime = delays[n - 1];
  WetL = loop.state.wet.a();
  WetR = loop.state.wet.b();
  GainL = loop.state.gain.a();
  GainR = loop.state.gain.b();
  MixL = loop.state.mix.a();
  MixR = loop.state.mix.b();
  // Leaves the lines' last-read fields as a per-sample Read would have: its outputs are the last
  // sample's.
  const Tdelay4p::TTaps lastRead = Tdelay4p::locate(WritePos, ringLength, DelayTime);
  DelayL.SetRead(lastRead, WetL);
  DelayR.SetRead(lastRead, WetR);
}
