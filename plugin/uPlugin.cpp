#include "plugin/uPlugin.h"

#include <algorithm>
#include <cmath>

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
  id.vendorVersion = 1100;
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
    : TVstTemplate(audioMaster, kNumPrograms, kNumParams, editorClass, identity()) {
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
  if (sampleFrames <= 0 || inputs.size() < 2 || outputs.size() < 2) return;

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
  const auto sane = [](float x) { return std::fabs(x) <= kMaxSample ? x : 0.0f; };
  const auto lineSample = [&sane](double x) { return sane(static_cast<float>(x)); };

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

  // The state lives in locals for the block, where stores to the outputs and the delay lines
  // cannot alias it and the compiler keeps it in registers.
  TPara para = Para;
  TLp1 dampL = DampL;
  TLp1 dampR = DampR;
  std::int32_t writePos = WritePos;
  float mod1 = Mod1, mod2 = Mod2, delayTime = DelayTime, wetL = WetL, wetR = WetR;
  float gainL = GainL, gainR = GainR, mixL = MixL, mixR = MixR;

  // Each chunk first computes what does not depend on the audio (oscillators, delays, gains,
  // filter coefficients) in straight loops the compiler can vectorise, then runs the recursive
  // part sample by sample. Same operations in the same order: the same samples.
  constexpr VstInt32 kChunk = 64;
  double out1[kChunk], out2[kChunk];
  float delays[kChunk], gainsL[kChunk], gainsR[kChunk], coefL[kChunk], coefR[kChunk];
  float mods1[kChunk], mods2[kChunk];

  for (VstInt32 start = 0; start < sampleFrames; start += kChunk) {
    const VstInt32 n = std::min(kChunk, sampleFrames - start);

    for (VstInt32 k = 0; k < n; ++k) {
      para.Step(rate, rateF, phaseOffset);
      out1[k] = para.Out1;
      out2[k] = para.Out2;
    }
    for (VstInt32 k = 0; k < n; ++k) {
      const float a = static_cast<float>(out1[k] * 0.5);
      const float b = static_cast<float>(out2[k] * 0.5);
      mods1[k] = a;
      mods2[k] = b;
      const double m1 = static_cast<double>(a) + 0.5;
      const double m2 = static_cast<double>(b) + 0.5;
      // Limited to the ring: the depth may come from a derivation at an older, higher rate.
      const float d = static_cast<float>(m1 * delayDepth);
      delays[k] = d <= rateF ? d : rateF;
      const float gl = static_cast<float>(1.0 - (ownSides ? m1 : m2) * leftDepth);
      const float gr = static_cast<float>(1.0 - (ownSides ? m2 : m1) * rightDepth);
      gainsL[k] = gl > 1.0f ? 1.0f : (gl < 0.0f ? 0.0f : gl);
      gainsR[k] = gr > 1.0f ? 1.0f : (gr < 0.0f ? 0.0f : gr);
      coefL[k] = TLp1::coefficientFor(static_cast<float>(12000.0 - m1 * dampDepth), rateF);
      coefR[k] = TLp1::coefficientFor(static_cast<float>(12000.0 - m2 * dampDepth), rateF);
    }

    const float* inL = inputs[0].data() + start;
    const float* inR = inputs[1].data() + start;
    float* outL = outputs[0].data() + start;
    float* outR = outputs[1].data() + start;
    for (VstInt32 k = 0; k < n; ++k) {
      const double l = sane(inL[k]);
      const double r = sane(inR[k]);
      if (++writePos > sampleRateInt) writePos = 0;
      if (merge) {
        const double merged = (l + r) * 0.6;
        DelayL.Write(writePos, lineSample(merged + wetL * feedback));
        DelayR.Write(writePos, lineSample(merged + wetR * feedback));
      } else {
        DelayL.Write(writePos, lineSample(wetL * feedback + l));
        DelayR.Write(writePos, lineSample(wetR * feedback + r));
      }
      wetL = DelayL.Tap(writePos, ringLength, delays[k]);
      wetR = DelayR.Tap(writePos, ringLength, delays[k]);
      gainL = gainsL[k];
      gainR = gainsR[k];
      const float ll = wetL * gainL;
      const float lr = wetL * gainR;
      const float rl = wetR * gainL;
      const float rr = wetR * gainR;
      mixL = static_cast<float>((static_cast<double>(ll) + rl) * 0.7);
      mixR = static_cast<float>((static_cast<double>(lr) + rr) * 0.7);
      dampL.ProcessWith(mixL, coefL[k]);
      dampR.ProcessWith(mixR, coefR[k]);
      outL[k] = static_cast<float>(dampL.Output * master);
      outR[k] = static_cast<float>(dampR.Output * master);
    }
    mod1 = mods1[n - 1];
    mod2 = mods2[n - 1];
    delayTime = delays[n - 1];
  }

  Para = para;
  DampL = dampL;
  DampR = dampR;
  WritePos = writePos;
  Mod1 = mod1;
  Mod2 = mod2;
  DelayTime = delayTime;
  WetL = wetL;
  WetR = wetR;
  GainL = gainL;
  GainR = gainR;
  MixL = mixL;
  MixR = mixR;
  // Leaves the lines' last-read fields as a per-sample Read would have.
  DelayL.Read(writePos, ringLength, delayTime);
  DelayR.Read(writePos, ringLength, delayTime);
}
