// What the host tells a plug-in through its callback: version, sample rate, block size, tempo and
// transport time, and a record of the automation the plug-in reports.
#pragma once

#include <atomic>
#include <optional>

#include "vst/DAEffect.h"

namespace kestrune {

// Parameter changes a plug-in announced (audioMasterAutomate, begin/end of an edit gesture).
struct AutomationLog {
  std::atomic<long> automateCount{0};
  std::atomic<int> lastIndex{-1};
  std::atomic<float> lastValue{0.0f};
  std::atomic<long> beginEditCount{0};
  std::atomic<long> endEditCount{0};
};

class HostState {
 public:
  static constexpr VstIntPtr kHostVersion = 2400;

  void setSampleRate(double rate) { sampleRate_ = rate; }
  void setBlockSize(int frames) { blockSize_ = frames; }
  // No tempo means the tempo query answers 0 ("unknown") and the time information has no tempo flag.
  void setTempo(std::optional<double> bpm) { tempo_ = bpm; }
  // Position of the next block's first sample, advanced by the renderer after each block.
  void setSamplePosition(double frames) { samplePosition_ = frames; }
  void advance(int frames) { samplePosition_ += frames; }
  // The unique ID answered to audioMasterCurrentId.
  void setCurrentId(VstInt32 id) { currentId_ = id; }

  double sampleRate() const { return sampleRate_; }
  int blockSize() const { return blockSize_; }
  std::optional<double> tempo() const { return tempo_; }
  double samplePosition() const { return samplePosition_; }
  const AutomationLog& automation() const { return automation_; }

  // Answers one host-callback request. `effect` is whatever the plug-in passed (it may be null);
  // text pointers from the plug-in are read only up to a bounded length.
  VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  // The callback handed to a plug-in's entry. It routes each call to the HostState bound to the
  // calling record, or to the one whose plug-in is being constructed (see HostBinding).
  static audioMasterCallback callback();

 private:
  double sampleRate_ = 44100.0;
  int blockSize_ = 512;
  std::optional<double> tempo_;
  double samplePosition_ = 0.0;
  VstInt32 currentId_ = 0;
  VstTimeInfo timeInfo_{};  // filled on every time request; the plug-in reads it through our pointer
  AutomationLog automation_;
};

// Routes callback requests to a HostState for the lifetime of this object. Construct it before
// calling a plug-in's entry (requests from a record not yet known reach the newest binding), then
// attach() the record the entry returned.
class HostBinding {
 public:
  explicit HostBinding(HostState& state);
  ~HostBinding();
  HostBinding(const HostBinding&) = delete;
  HostBinding& operator=(const HostBinding&) = delete;

  void attach(AEffect* effect);

 private:
  HostState& state_;
};

}  // namespace kestrune
