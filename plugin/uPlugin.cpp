#include "plugin/uPlugin.h"

#include <algorithm>
#include <cmath>

#include "plugin/uPair.h"
#include "plugin/uPrepare.h"
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
    : TVstTemplate(audioMaster, kNumPrograms, kNumParams, editorClass, identity()), UseWideVectors(wideVectorsAvailable()) {
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

  if (UseWideVectors)
    processFramesWide(inputs, outputs, sampleFrames, sampleRateInt);
  else
    processFramesPlain(inputs, outputs, sampleFrames, sampleRateInt);
}

void APlugin::processFramesPlain(TArrayOfSingleArray& inputs, TArrayOfSingleArray& outputs, VstInt32 sampleFrames,
                                 std::int32_t sampleRateInt) {
  processFrames<false>(inputs, outputs, sampleFrames, sampleRateInt);
}

KESTRUNE_TARGET_WIDE void APlugin::processFramesWide(TArrayOfSingleArray& inputs, TArrayOfSingleArray& outputs,
                                                     VstInt32 sampleFrames, std::int32_t sampleRateInt) {
#ifdef KESTRUNE_WIDE
  processFrames<true>(inputs, outputs, sampleFrames, sampleRateInt);
#else
  processFrames<false>(inputs, outputs, sampleFrames, sampleRateInt);
#endif
}

template <bool Wide>
void APlugin::processFrames(TArrayOfSingleArray& inputs, TArrayOfSingleArray& outputs,
                                                   VstInt32 sampleFrames, std::int32_t sampleRateInt) {
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

  // The state lives in locals for the block, where stores to the outputs and the delay lines
  // cannot alias it and the compiler keeps it in registers. Left and right run as lanes of pairs.
  TPara para = Para;
  TPair prevIn = TPair::of(DampL.PrevIn, DampR.PrevIn);
  TPair prevOut = TPair::of(DampL.PrevOut, DampR.PrevOut);
  TPair damped = TPair::of(DampL.Output, DampR.Output);
  std::int32_t writePos = WritePos;
  float mod1 = Mod1, mod2 = Mod2, delayTime = DelayTime;
  TPairF wet = TPairF::of(WetL, WetR), gain = TPairF::of(GainL, GainR), mix = TPairF::of(MixL, MixR);
  TPairF coef = TPairF::of(static_cast<float>(DampL.Coefficient), static_cast<float>(DampR.Coefficient));

  // Each chunk first computes what does not depend on the audio (oscillators, delays, tap
  // positions, side gains, filter coefficients), two or four samples at a time, then runs the
  // delay lines and the filters sample by sample. Same operations in the same order as one
  // sample at a time: the same samples.
  constexpr VstInt32 kChunk = 64;
  alignas(16) double phase1[kChunk], phase2[kChunk];
  alignas(16) float mods1[kChunk], mods2[kChunk], delays[kChunk];
  alignas(16) std::int32_t positions[kChunk], oldest[kChunk];  // write position, first tap
  alignas(16) float fractions[kChunk];
  alignas(16) float gains[2 * kChunk];  // left, right interleaved
  // Per sample, left and right: the filter coefficient c, 1 - c and 1 + c.
  alignas(16) double coefs[2 * kChunk], keeps[2 * kChunk], divisors[2 * kChunk];
  alignas(16) double ins[2 * kChunk];  // the inputs as the lines take them
  std::int32_t aheadPos = WritePos;
  const TPair masterP = TPair::all(master), feedbackP = TPair::all(feedback);
  const TPair mixGain = TPair::all(0.7);
  const TPair stateOffset = TPair::all(1e-24);  // TLp1's guard against denormal states

  for (VstInt32 start = 0; start < sampleFrames; start += kChunk) {
    const VstInt32 n = std::min(kChunk, sampleFrames - start);

    for (VstInt32 k = 0; k < n; ++k) {
      para.Advance(rate, rateF, phaseOffset);
      phase1[k] = para.Phase1;
      phase2[k] = para.Phase2;
      if (++aheadPos > sampleRateInt) aheadPos = 0;
      positions[k] = aheadPos;
    }
    for (VstInt32 k = n; k < ((n + 3) & ~3); ++k) phase1[k] = phase2[k] = 0.0;  // spare lanes of the last four
    const TPrepare prepare{phase1, phase2, ownSides, delayDepth, leftDepth, rightDepth, dampDepth, rateF};
    TChunk chunk{mods1, mods2, delays, gains, coefs, keeps, divisors};
    if constexpr (Wide)
      prepareWide(prepare, n, chunk);
    else
      preparePlain(prepare, n, chunk);

    // Spare lanes of the last four: any in-range values, never read back.
    for (VstInt32 k = n; k < ((n + 3) & ~3); ++k) {
      delays[k] = 0.0f;
      positions[k] = 0;
    }
    for (VstInt32 k = 0; k < n; k += 4)
      Tdelay4p::locateRuns(positions + k, ringLength, delays + k, oldest + k, fractions + k);

    // Left and right as the two lanes of pairs. Only the filter's own previous output chains one
    // sample to the next here; the rest of the next samples' work runs while it waits.
    double* const lines = Lines.get();
    const float* inL = inputs[0].data() + start;
    const float* inR = inputs[1].data() + start;
    float* outL = outputs[0].data() + start;
    float* outR = outputs[1].data() + start;
    if constexpr (Wide)
      conditionWide(inL, inR, n, merge, kMaxSample, ins);
    else
      conditionPlain(inL, inR, n, merge, kMaxSample, ins);
    for (VstInt32 k = 0; k < n; ++k) {
      const TPair in = TPair::load(ins + 2 * k);
      writePos = positions[k];
      const TPairF fed = (wet.toDouble() * feedbackP + in).toFloat().within(kMaxSample);
      fed.toDouble().store(lines + 2 * writePos);  // DelayL.Write and DelayR.Write
      // Both lines read at the same delay: one tap computation, two lanes of interpolation.
      TPair y2, y1, y0, ym1;
      const std::int32_t first = oldest[k];
      if (first >= 0) {
        const double* run = lines + 2 * first;
        y2 = TPair::load(run);
        y1 = TPair::load(run + 2);
        y0 = TPair::load(run + 4);
        ym1 = TPair::load(run + 6);
      } else {  // the taps straddle position 0
        const auto tap = [&](std::int32_t p) {
          if (p < 0) p += ringLength;
          return TPair::load(lines + 2 * p);
        };
        y2 = tap(first);
        y1 = tap(first + 1);
        y0 = tap(first + 2);
        ym1 = tap(first + 3);
      }
      wet = hermite4Pair(fractions[k], ym1, y0, y1, y2);
      // (wetL gainL + wetR gainL, wetL gainR + wetR gainR) x 0.7, each product a float.
      gain = TPairF::load(gains + 2 * k);
      const TPairF fromL = wet.broadcastA() * gain;
      const TPairF fromR = wet.broadcastB() * gain;
      mix = ((fromL.toDouble() + fromR.toDouble()) * mixGain).toFloat();
      // TLp1::ProcessWith on both lanes.
      const TPair x = mix.toDouble();
      damped = (TPair::load(coefs + 2 * k) * (x + prevIn) + TPair::load(keeps + 2 * k) * prevOut) / TPair::load(divisors + 2 * k);
      prevOut = damped + stateOffset;
      prevIn = x + stateOffset;
      const TPairF out = (damped * masterP).toFloat();
      outL[k] = out.a();
      outR[k] = out.b();
    }
    coef = TPair::load(coefs + 2 * (n - 1)).toFloat();
    mod1 = mods1[n - 1];
    mod2 = mods2[n - 1];
    delayTime = delays[n - 1];
  }

  DampL.PrevIn = prevIn.a();
  DampR.PrevIn = prevIn.b();
  DampL.PrevOut = prevOut.a();
  DampR.PrevOut = prevOut.b();
  DampL.Output = damped.a();
  DampR.Output = damped.b();
  DampL.Coefficient = coef.a();
  DampR.Coefficient = coef.b();
  para.Shape();  // the oscillators' outputs of the last sample, as Step leaves them
  Para = para;
  WritePos = writePos;
  Mod1 = mod1;
  Mod2 = mod2;
  DelayTime = delayTime;
  WetL = wet.a();
  WetR = wet.b();
  GainL = gain.a();
  GainR = gain.b();
  MixL = mix.a();
  MixR = mix.b();
  // Leaves the lines' last-read fields as a per-sample Read would have.
  DelayL.Read(writePos, ringLength, delayTime);
  DelayR.Read(writePos, ringLength, delayTime);
}
