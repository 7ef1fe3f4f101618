#include "plugin/uPlugin.h"

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
  const float* inL = inputs[0].data();
  const float* inR = inputs[1].data();
  float* outL = outputs[0].data();
  float* outR = outputs[1].data();

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

  for (VstInt32 i = 0; i < sampleFrames; ++i) {
    const double l = sane(inL[i]);
    const double r = sane(inR[i]);

    if (++WritePos > sampleRateInt) WritePos = 0;

    Para.Step(Rate.load(kRelaxed), rateF, PhaseOffset.load(kRelaxed));
    Mod1 = static_cast<float>(Para.Out1 * 0.5);
    Mod2 = static_cast<float>(Para.Out2 * 0.5);
    const double m1 = static_cast<double>(Mod1) + 0.5;
    const double m2 = static_cast<double>(Mod2) + 0.5;

    const double feedback = FeedbackGain.load(kRelaxed);
    if (MergeSwitch.load(kRelaxed) > 0.5f) {
      const double merged = (l + r) * 0.6;
      DelayL.Write(WritePos, lineSample(merged + WetL * feedback));
      DelayR.Write(WritePos, lineSample(merged + WetR * feedback));
    } else {
      DelayL.Write(WritePos, lineSample(WetL * feedback + l));
      DelayR.Write(WritePos, lineSample(WetR * feedback + r));
    }

    // Limited to the ring: the depth may come from a derivation at an older, higher rate.
    DelayTime = static_cast<float>(m1 * DelayDepth.load(kRelaxed));
    if (!(DelayTime <= rateF)) DelayTime = rateF;
    DelayL.Read(WritePos, ringLength, DelayTime);
    DelayR.Read(WritePos, ringLength, DelayTime);
    WetL = static_cast<float>(DelayL.Output);
    WetR = static_cast<float>(DelayR.Output);

    const double leftDepth = LeftDepth.load(kRelaxed);
    const double rightDepth = RightDepth.load(kRelaxed);
    if (TrajSwap.load(kRelaxed) > 0.5f) {
      GainL = static_cast<float>(1.0 - m1 * leftDepth);
      GainR = static_cast<float>(1.0 - m2 * rightDepth);
    } else {
      GainL = static_cast<float>(1.0 - m2 * leftDepth);
      GainR = static_cast<float>(1.0 - m1 * rightDepth);
    }
    GainL = GainL > 1.0f ? 1.0f : (GainL < 0.0f ? 0.0f : GainL);
    GainR = GainR > 1.0f ? 1.0f : (GainR < 0.0f ? 0.0f : GainR);

    const float ll = WetL * GainL;
    const float lr = WetL * GainR;
    const float rl = WetR * GainL;
    const float rr = WetR * GainR;
    MixL = static_cast<float>((static_cast<double>(ll) + rl) * 0.7);
    MixR = static_cast<float>((static_cast<double>(lr) + rr) * 0.7);

    const double dampDepth = DampDepth.load(kRelaxed);
    DampL.Process(MixL, static_cast<float>(12000.0 - m1 * dampDepth), rateF);
    DampR.Process(MixR, static_cast<float>(12000.0 - m2 * dampDepth), rateF);
    const double master = MasterGain.load(kRelaxed);
    outL[i] = static_cast<float>(DampL.Output * master);
    outR[i] = static_cast<float>(DampR.Output * master);
  }
}
