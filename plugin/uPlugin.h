// APlugin: the Doppler effect. An oscillator pair sweeps an interpolated delay (the pitch shift),
// a damping low-pass per side and each side's level; negative feedback makes a flanger of the
// delay; "Master" scales the result. The template keeps the parameter values per program; this
// class names them, fills the programs, turns values into internal control values and processes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "plugin/uDelay4p.h"
#include "plugin/uLp1.h"
#include "plugin/uPara.h"
#include "ui/FormClass.h"
#include "vst/DVstTemplate.h"

class APlugin : public TVstTemplate {
 public:
  static constexpr std::int32_t kNumPrograms = 4;
  static constexpr std::int32_t kNumParams = 11;
  // The highest sample rate taken; the delay lines are sized for it once, at construction, so
  // that nothing grows later on any thread.
  static constexpr std::int32_t kMaxSampleRate = 768000;
  static constexpr std::int32_t kDelayLineLength = kMaxSampleRate + 3;  // ring + 2 taps beyond it
  // An input sample beyond this magnitude (96 dB above full scale) or not a number is garbage
  // from the host and counts as silence; a value bound for a delay line beyond it is written as 0.
  // Neither can then circulate in the feedback or overflow further down.
  static constexpr float kMaxSample = 65536.0f;

  enum Param : std::int32_t {
    kSpeed,
    kDopplerAmount,
    kDamping,
    kTrajControl1,
    kTrajControl2,
    kFeedback,
    kLmax,
    kRmax,
    kMaster,
    kSync,
    kMergeins,
  };

  // editorClass may be null: the effect then has no editor.
  explicit APlugin(audioMasterCallback audioMaster, TFormClass editorClass = nullptr);
  ~APlugin() override;

  void initialize() override;
  void processAudio(TArrayOfSingleArray& inputs, TArrayOfSingleArray& outputs, VstInt32 sampleFrames) override;
  bool processDirect(const float* const* inputs, float* const* outputs, VstInt32 sampleFrames) override;
  // Refuses, besides what the base refuses, rates above kMaxSampleRate or rounding below 1 Hz.
  bool isUsableSampleRate(float rate) const override;

  // The sample rate rounded to the nearest integer (ties to even), or 0 when it is not taken.
  static std::int32_t acceptedSampleRate(float rate);

  // The internal control values. Written by the parameter-change handler on whichever thread
  // stored a parameter (and by the block start), read per sample by processing.
  std::atomic<float> Rate{0.0f};         // Hz, 0..2, or SyncedRate while synced
  std::atomic<float> DelayDepth{0.0f};   // samples
  std::atomic<float> DampDepth{0.0f};    // Hz
  std::atomic<float> PhaseOffset{0.0f};  // cycles
  std::atomic<float> TrajSwap{0.0f};
  std::atomic<float> FeedbackGain{0.0f};
  std::atomic<float> LeftDepth{0.0f};
  std::atomic<float> RightDepth{0.0f};
  std::atomic<float> MasterGain{0.0f};
  std::atomic<float> SyncSwitch{0.0f};
  std::atomic<float> MergeSwitch{0.0f};
  std::atomic<float> SyncedRate{0.0f};  // Hz: one cycle per n beats of the host tempo

  // Processing state. SampleRateInt is also read by the handler; the rest is the audio thread's.
  std::atomic<std::int32_t> SampleRateInt{0};
  std::int32_t WritePos = 0;
  float Mod1 = 0.0f, Mod2 = 0.0f;
  float DelayTime = 0.0f;
  float WetL = 0.0f, WetR = 0.0f;
  float GainL = 0.0f, GainR = 0.0f;
  float MixL = 0.0f, MixR = 0.0f;

  TPara Para;
  // Both lines in one store, the left and right samples of a position side by side: the taps
  // of both channels at one position are one load.
  std::unique_ptr<double[]> Lines{std::make_unique<double[]>(2 * static_cast<std::size_t>(kDelayLineLength))};
  Tdelay4p DelayL{Lines.get(), kDelayLineLength, 2};
  Tdelay4p DelayR{Lines.get() + 1, kDelayLineLength, 2};
  TLp1 DampL;
  TLp1 DampR;

  // Whether processing runs the wide-vector build of its kernel; set where the processor has it.
  // Both builds give the same samples: tests switch it off to check the other.
  bool UseWideVectors;

 private:
  static TVstTemplateIdentity identity();
  // One block from the two inputs to the two outputs. Each chunk's inputs are read before any of
  // its outputs is written, so an output may be the very buffer of an input.
  void processFrames(const float* inL, const float* inR, float* outL, float* outR, VstInt32 sampleFrames);
  void parameterChanged(VstInt32 index);
  float currentTempo() const;

  // The sample rate and tempo the internal values were last derived from.
  std::atomic<std::int32_t> derivedSampleRate{-1};
  std::atomic<float> derivedTempo{-1.0f};
};
