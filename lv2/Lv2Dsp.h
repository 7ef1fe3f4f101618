// The LV2 plug-in instance: the VST effect of plugin/ behind LV2 ports. It drives the effect only
// through its record, as a VST host does, so both editions run the same code on the same calls:
// - the sample rate arrives at instantiation (a rate the effect refuses fails it);
// - a control port whose value differs from the last one seen is a setParameter of that index,
//   with the effect's own clamping (NaN stores 0, values outside 0..1 are clamped);
// - the time input's last position in a block gives the tempo the effect asks for through its
//   time request, so a tempo of 0, NaN or beyond reason falls back exactly as with a VST host;
// - run hands the audio to processReplacing in pieces no longer than the effect's work buffers,
//   which grow at activation only: any block size, nothing allocated on the audio thread.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <cstdint>

#include "lv2/Lv2Bundle.h"
#include "vst/DAEffect.h"

class TLv2Dsp {
 public:
  // Null when the rate is refused or the effect cannot be made. features may be null; the URID map
  // among them is needed only to read the time input (without it the tempo stays unknown).
  static TLv2Dsp* create(double sampleRate, const LV2_Feature* const* features) noexcept;
  ~TLv2Dsp();
  TLv2Dsp(const TLv2Dsp&) = delete;
  TLv2Dsp& operator=(const TLv2Dsp&) = delete;

  void connect(std::uint32_t port, void* data) noexcept;
  void activate() noexcept;
  void deactivate() noexcept;
  void run(std::uint32_t frames) noexcept;

  // The effect's record, for tests that compare both editions.
  AEffect* effect() const { return effect_; }

 private:
  TLv2Dsp() = default;
  static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float opt);
  void readTimeInput();
  void mapUris(const LV2_URID_Map* map);

  AEffect* effect_ = nullptr;
  VstTimeInfo timeInfo_{};  // answered to the effect's time request; the tempo flag set once known
  VstInt32 pieceFrames_ = 0;
  bool active_ = false;
  bool sentAll_ = false;                      // every control went to the effect once
  float last_[lv2bundle::kNumControls] = {};  // the control values last handed on, as the host wrote them
  const float* controls_[lv2bundle::kNumControls] = {};
  const float* in_[2] = {};
  float* out_[2] = {};
  const void* timeIn_ = nullptr;

  struct Uris {
    LV2_URID atomBlank = 0, atomObject = 0, atomFloat = 0, atomDouble = 0, atomInt = 0, atomLong = 0;
    LV2_URID timePosition = 0, timeBeatsPerMinute = 0;
  } uris_;
  std::uint32_t maxBlock_ = 0;  // the host's bound on a block, when it tells one
};
