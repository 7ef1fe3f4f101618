#include "vst/DAudioEffect.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr VstInt32 kDefaultUniqueId = 0x4E6F4566;  // "NoEf"
constexpr VstInt32 kIdentify = 0x4E764566;         // "NvEf"

AudioEffect* effectOf(AEffect* e) noexcept { return e != nullptr ? static_cast<AudioEffect*>(e->object) : nullptr; }

void setFlag(AEffect& record, VstInt32 flag, bool state) {
  if (state)
    record.flags |= flag;
  else
    record.flags &= ~flag;
}

// Nearest integer of x, or 0 when x is not a number or lies outside the int32 range.
VstInt32 roundedOrZero(double x) {
  if (!std::isfinite(x) || x >= 2147483647.5 || x < -2147483648.5) return 0;
  return static_cast<VstInt32>(std::lround(x));
}

}  // namespace

// ---- AEffEditor -------------------------------------------------------------------------------

AEffEditor::AEffEditor(AudioEffect* effect) : effect(effect) {}
AEffEditor::~AEffEditor() = default;

VstInt32 AEffEditor::getRect(ERect** rect) {
  if (rect != nullptr) *rect = nullptr;
  return 0;
}

VstInt32 AEffEditor::open(void* ptr) {
  systemWindow = ptr;
  return 0;
}

void AEffEditor::close() {}

void AEffEditor::idle() {
  if (updateFlag != 0) {
    updateFlag = 0;
    update();
  }
}

void AEffEditor::update() {}
void AEffEditor::postUpdate() { updateFlag = 1; }
VstInt32 AEffEditor::onKeyDown(VstKeyCode&) { return -1; }
VstInt32 AEffEditor::onKeyUp(VstKeyCode&) { return -1; }
VstInt32 AEffEditor::setKnobMode(VstInt32) { return 0; }
bool AEffEditor::onWheel(float) { return false; }

// ---- AudioEffect ------------------------------------------------------------------------------

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : numPrograms(numPrograms), numParams(numParams), audioMaster(audioMaster) {
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = &dispatcherEntry;
  cEffect.process = &processEntry;
  cEffect.setParameter = &setParameterEntry;
  cEffect.getParameter = &getParameterEntry;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.flags = 0;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = kDefaultUniqueId;
  cEffect.version = 1;
  cEffect.processReplacing = &processReplacingEntry;
}

AudioEffect::~AudioEffect() = default;

bool AudioEffect::isUsableSampleRate(float rate) const { return std::isfinite(rate) && rate > 0.0f; }

void AudioEffect::setSampleRate(float rate) {
  if (isUsableSampleRate(rate)) sampleRate.store(rate, std::memory_order_relaxed);
}

void AudioEffect::setBlockSize(VstInt32 size) {
  if (size > 0) blockSize.store(size, std::memory_order_relaxed);
}

void AudioEffect::setParameter(VstInt32, float) {}
float AudioEffect::getParameter(VstInt32) { return 0.0f; }

float AudioEffect::clampNormalised(float value) noexcept {
  if (value > 1.0f) return 1.0f;
  if (value >= 0.0f) return value;
  return 0.0f;  // below 0 and NaN
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
  setParameter(index, value);
  if (audioMaster != nullptr) callHost(audioMasterAutomate, index, 0, nullptr, clampNormalised(value));
}

void AudioEffect::processReplacing(float**, float**, VstInt32) {}
void AudioEffect::open() {}
void AudioEffect::close() {}
VstInt32 AudioEffect::getProgram() { return curProgram.load(std::memory_order_relaxed); }
void AudioEffect::setProgram(VstInt32 program) { curProgram.store(program, std::memory_order_relaxed); }
void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char*) {}
void AudioEffect::getParameterLabel(VstInt32, char*) {}
void AudioEffect::getParameterDisplay(VstInt32, char*) {}
void AudioEffect::getParameterName(VstInt32, char*) {}
float AudioEffect::getVu() { return 0.0f; }
VstInt32 AudioEffect::getChunk(void**, bool) { return 0; }
VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) { return 0; }
void AudioEffect::suspend() {}
void AudioEffect::resume() {}
void AudioEffect::setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
void AudioEffect::setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
void AudioEffect::setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
void AudioEffect::hasVu(bool state) { setFlag(cEffect, effFlagsHasVu, state); }
void AudioEffect::hasClip(bool state) { setFlag(cEffect, effFlagsHasClip, state); }
void AudioEffect::canMono(bool state) { setFlag(cEffect, effFlagsCanMono, state); }
void AudioEffect::canProcessReplacing(bool state) { setFlag(cEffect, effFlagsCanReplacing, state); }
void AudioEffect::programsAreChunks(bool state) { setFlag(cEffect, effFlagsProgramChunks, state); }
void AudioEffect::setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
void AudioEffect::setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }
void AudioEffect::setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

namespace {

std::atomic<int> gHostCallers{0};  // threads that have been given a counter of their own

}  // namespace

int AudioEffect::hostCallerIndex() {
  thread_local const int index = [] {
    int taken = gHostCallers.load(std::memory_order_relaxed);
    while (taken < kHostCallers && !gHostCallers.compare_exchange_weak(taken, taken + 1, std::memory_order_relaxed)) {
    }
    return taken < kHostCallers ? taken : kHostCallers;
  }();
  return index;
}

bool AudioEffect::inHostCall() const {
  for (const std::atomic<int>& calls : hostCalls)
    if (calls.load(std::memory_order_relaxed) > 0) return true;
  return false;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt,
                                VstIntPtr fallback) const {
  if (audioMaster == nullptr) return fallback;
  struct TCounted {
    std::atomic<int>& calls;
    const bool shared;
    TCounted(std::atomic<int>& c, bool s) : calls(c), shared(s) { step(1); }
    ~TCounted() { step(-1); }
    void step(int by) {
      if (shared)
        calls.fetch_add(by, std::memory_order_relaxed);
      else  // this thread alone writes it
        calls.store(calls.load(std::memory_order_relaxed) + by, std::memory_order_relaxed);
    }
  };
  const int caller = hostCallerIndex();
  const TCounted counted(hostCalls[caller], caller == kHostCallers);
  return audioMaster(const_cast<AEffect*>(&cEffect), opcode, index, value, ptr, opt);
}

VstInt32 AudioEffect::getMasterVersion() {
  const VstIntPtr answer = callHost(audioMasterVersion, 0, 0, nullptr, 0.0f, 1);
  return answer == 0 ? 1 : static_cast<VstInt32>(answer);
}

VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }
void AudioEffect::masterIdle() { callHost(audioMasterIdle); }
bool AudioEffect::isInputConnected(VstInt32 input) {
  return callHost(audioMasterPinConnected, input, 0, nullptr, 0.0f, 0) == 0;
}
bool AudioEffect::isOutputConnected(VstInt32 output) {
  return callHost(audioMasterPinConnected, output, 1, nullptr, 0.0f, 0) == 0;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
  if (newEditor != editor.get()) editor.reset(newEditor);
  setFlag(cEffect, effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
      // A negative or over-wide value would otherwise wrap into a valid-looking index.
      if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
      return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName:
      if (ptr != nullptr) setProgramName(static_cast<char*>(ptr));
      return 0;
    case effGetProgramName:
      if (ptr != nullptr) getProgramName(static_cast<char*>(ptr));
      return 0;
    case effGetParamLabel:
      if (ptr != nullptr) getParameterLabel(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamDisplay:
      if (ptr != nullptr) getParameterDisplay(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamName:
      if (ptr != nullptr) getParameterName(index, static_cast<char*>(ptr));
      return 0;
    case effGetVu: return roundedOrZero(static_cast<double>(getVu()) * 32767.0);
    case effSetSampleRate:
      if (isUsableSampleRate(opt)) setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      if (value > 0 && value <= std::numeric_limits<VstInt32>::max()) setBlockSize(static_cast<VstInt32>(value));
      return 0;
    case effMainsChanged:
      if (value == 0)
        suspend();
      else
        resume();
      return 0;
    case effEditGetRect:
      if (editor == nullptr || ptr == nullptr) return 0;
      return editor->getRect(static_cast<ERect**>(ptr));
    case effEditOpen: return editor != nullptr ? editor->open(ptr) : 0;
    case effEditClose:
      if (editor != nullptr) editor->close();
      return 0;
    case effEditIdle:
      if (editor != nullptr) editor->idle();
      return 0;
    case effIdentify: return kIdentify;
    case effGetChunk:
      if (ptr == nullptr) return 0;
      return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
      if (ptr == nullptr || value < 0 || value > std::numeric_limits<VstInt32>::max()) return 0;
      return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default: return 0;
  }
}

// ---- entry functions --------------------------------------------------------------------------

VstIntPtr VSTCALLBACK AudioEffect::dispatcherEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                   void* ptr, float opt) {
  AudioEffect* effect = effectOf(e);
  if (effect == nullptr) return 0;
  if (opcode == effClose) {
    // The object goes whatever close() does: the host will not touch the record again.
    try {
      effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
    }
    // The editor and its window go first, while the whole effect still exists: a derived effect's
    // destructor has already run by the time the base would free them.
    try {
      effect->setEditor(nullptr);
    } catch (...) {
    }
    try {
      delete effect;
    } catch (...) {
    }
    return 1;
  }
  try {
    return effect->dispatcher(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

void VSTCALLBACK AudioEffect::processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
  AudioEffect* effect = effectOf(e);
  if (effect == nullptr) return;
  try {
    effect->process(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

void VSTCALLBACK AudioEffect::processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                                    VstInt32 sampleFrames) {
  AudioEffect* effect = effectOf(e);
  if (effect == nullptr) return;
  try {
    effect->processReplacing(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

void VSTCALLBACK AudioEffect::setParameterEntry(AEffect* e, VstInt32 index, float value) {
  AudioEffect* effect = effectOf(e);
  if (effect == nullptr) return;
  try {
    effect->setParameter(index, value);
  } catch (...) {
  }
}

float VSTCALLBACK AudioEffect::getParameterEntry(AEffect* e, VstInt32 index) {
  AudioEffect* effect = effectOf(e);
  if (effect == nullptr) return 0.0f;
  try {
    return effect->getParameter(index);
  } catch (...) {
    return 0.0f;
  }
}
