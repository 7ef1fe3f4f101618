// One loaded VST 2 plug-in: the library, the record its entry returned, and safe ways to call it.
// Everything read from the record or from the plug-in's text answers is checked or bounded here,
// so that the commands above never see absurd counts, null entries or unterminated texts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/HostState.h"
#include "host/SharedLibrary.h"
#include "vst/DAEffect.h"

namespace kestrune {

// Counts beyond these are taken as a broken record rather than trusted.
constexpr VstInt32 kMaxChannels = 64;
constexpr VstInt32 kMaxParams = 10000;
constexpr VstInt32 kMaxPrograms = 10000;

// Bytes offered to the plug-in for any text answer, and how many of them we read at most; the
// rest is a guard so that a plug-in writing past the published limits lands in our memory.
constexpr std::size_t kTextBufferSize = 512;
constexpr std::size_t kTextReadLimit = 256;

// Text the plug-in wrote into a buffer, read up to its terminator or kTextReadLimit bytes, with
// control characters replaced by '?'.
struct PluginText {
  std::string text;
  VstIntPtr result = 0;    // what the dispatcher answered
  bool terminated = true;  // false: no terminator within kTextReadLimit bytes
  bool overran = false;    // the plug-in wrote beyond kTextReadLimit bytes
};

class Plugin {
 public:
  // Loads the library, calls `VSTPluginMain` (else `main`) with the host callback and checks the
  // record: magic, dispatcher, counts within the caps. Throws HostError with one clear line.
  static std::unique_ptr<Plugin> load(const std::string& path, HostState& host);

  ~Plugin();  // effClose unless already closed, then unloads the library
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  const std::string& path() const { return library_->path(); }
  AEffect& record() { return *effect_; }
  const AEffect& record() const { return *effect_; }
  HostState& host() { return host_; }

  // Validated counts, read again (and checked again) by open(): some plug-ins settle them there.
  int numInputs() const { return numInputs_; }
  int numOutputs() const { return numOutputs_; }
  int numParams() const { return numParams_; }
  int numPrograms() const { return numPrograms_; }
  bool canReplace() const;
  bool canAccumulate() const { return effect_->process != nullptr; }

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
  // A dispatcher request that answers with a text in `ptr`.
  PluginText text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);

  void open();   // effOpen, then re-checks the counts (throws HostError)
  void close();  // effClose; the record is gone afterwards
  void setSampleRate(float rate);
  void setBlockSize(int frames);
  void resume();  // effMainsChanged 1; refuses (HostError) a plug-in whose channel counts changed
  void suspend() { dispatch(effMainsChanged, 0, 0); }

  float getParameter(int index);  // 0 when the plug-in has no getParameter entry
  void setParameter(int index, float value);
  std::string parameterName(int index) { return text(effGetParamName, index).text; }
  std::string parameterLabel(int index) { return text(effGetParamLabel, index).text; }
  std::string parameterDisplay(int index) { return text(effGetParamDisplay, index).text; }
  int currentProgram();
  void setProgram(int index);
  // The name by effGetProgramNameIndexed; when the plug-in does not answer that, by selecting the
  // program and reading its name (the current program is restored afterwards).
  std::string programName(int index);
  VstIntPtr canDo(const char* text);

  // One block through processReplacing, or through process into zeroed outputs when the plug-in
  // cannot replace. `inputs` and `outputs` hold at least numInputs() / numOutputs() channels of
  // `frames` samples.
  void process(float** inputs, float** outputs, int frames);

 private:
  Plugin(std::unique_ptr<SharedLibrary> library, HostState& host);
  void checkCounts(const char* when);

  std::unique_ptr<SharedLibrary> library_;
  HostState& host_;
  std::unique_ptr<HostBinding> binding_;
  AEffect* effect_ = nullptr;
  bool closed_ = false;
  int numInputs_ = 0;
  int numOutputs_ = 0;
  int numParams_ = 0;
  int numPrograms_ = 0;
};

}  // namespace kestrune
