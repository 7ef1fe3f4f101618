#include "vst/DAudioEffectX.h"

#include <cmath>
#include <limits>

namespace {

void setFlag(AEffect& record, VstInt32 flag, bool state) {
  if (state)
    record.flags |= flag;
  else
    record.flags &= ~flag;
}

// The key record handed to the editor: character from index, virtual key from the low byte of
// value, modifier from the low byte of opt rounded to the nearest integer.
VstKeyCode keyCodeFrom(VstInt32 index, VstIntPtr value, float opt) {
  VstKeyCode key{};
  key.character = index;
  key.virt = static_cast<unsigned char>(value & 0xFF);
  long long modifier = 0;
  if (std::isfinite(opt) && std::fabs(opt) < 1.0e9f) modifier = std::llround(opt);
  key.modifier = static_cast<unsigned char>(modifier & 0xFF);
  return key;
}

VstIntPtr b(bool v) { return v ? 1 : 0; }

}  // namespace

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : AudioEffect(audioMaster, numPrograms, numParams) {}

AudioEffectX::~AudioEffectX() = default;

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  char* const text = static_cast<char*>(ptr);
  switch (opcode) {
    case effProcessEvents: return ptr != nullptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated: return b(canParameterBeAutomated(index));
    case effString2Parameter: return ptr != nullptr ? b(string2parameter(index, text)) : 0;
    case effGetNumProgramCategories: return getNumCategories();
    case effGetProgramNameIndexed:
      return ptr != nullptr ? b(getProgramNameIndexed(static_cast<VstInt32>(value), index, text)) : 0;
    case effCopyProgram: return b(copyProgram(index));
    case effConnectInput: inputConnected(index, value != 0); return 1;
    case effConnectOutput: outputConnected(index, value != 0); return 1;
    case effGetInputProperties:
      return ptr != nullptr ? b(getInputProperties(index, static_cast<VstPinProperties*>(ptr))) : 0;
    case effGetOutputProperties:
      return ptr != nullptr ? b(getOutputProperties(index, static_cast<VstPinProperties*>(ptr))) : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effGetCurrentPosition: return reportCurrentPosition();
    case effGetDestinationBuffer: return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify: return b(offlineNotify(ptr, static_cast<VstInt32>(value), index != 0));
    case effOfflinePrepare: return b(offlinePrepare(ptr, static_cast<VstInt32>(value)));
    case effOfflineRun: return b(offlineRun(ptr, static_cast<VstInt32>(value)));
    case effProcessVarIo: return b(processVariableIo(ptr));
    case effSetSpeakerArrangement: return b(setSpeakerArrangement(value, ptr));
    case effSetBlockSizeAndSampleRate:
      setBlockSizeAndSampleRate(
          value > 0 && value <= std::numeric_limits<VstInt32>::max() ? static_cast<VstInt32>(value) : 0, opt);
      return 1;
    case effSetBypass: return b(setBypass(value != 0));
    case effGetEffectName: return ptr != nullptr ? b(getEffectName(text)) : 0;
    case effGetErrorText: return ptr != nullptr ? b(getErrorText(text)) : 0;
    case effGetVendorString: return ptr != nullptr ? b(getVendorString(text)) : 0;
    case effGetProductString: return ptr != nullptr ? b(getProductString(text)) : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: return ptr != nullptr ? canDo(text) : 0;
    case effGetTailSize: return getGetTailSize();
    case effIdle: return fxIdle();
    case effGetIcon: return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition: return b(setViewPosition(index, static_cast<VstInt32>(value)));
    case effGetParameterProperties: return ptr != nullptr ? b(getParameterProperties(index, ptr)) : 0;
    case effKeysRequired: return keysRequired() ? 0 : 1;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
      AEffEditor* ed = getEditor();
      if (ed == nullptr) return 0;
      VstKeyCode key = keyCodeFrom(index, value, opt);
      return opcode == effEditKeyDown ? ed->onKeyDown(key) : ed->onKeyUp(key);
    }
    case effSetEditKnobMode: {
      AEffEditor* ed = getEditor();
      return ed != nullptr ? ed->setKnobMode(static_cast<VstInt32>(value)) : 0;
    }
    case effGetMidiProgramName: return ptr != nullptr ? getMidiProgramName(index, ptr) : 0;
    case effGetCurrentMidiProgram: return ptr != nullptr ? getCurrentMidiProgram(index, ptr) : -1;
    case effGetMidiProgramCategory: return ptr != nullptr ? getMidiProgramCategory(index, ptr) : 0;
    case effHasMidiProgramsChanged: return b(hasMidiProgramsChanged(index));
    case effGetMidiKeyName: return ptr != nullptr ? b(getMidiKeyName(index, ptr)) : 0;
    case effBeginSetProgram: return b(beginSetProgram());
    case effEndSetProgram: return b(endSetProgram());
    case effGetSpeakerArrangement: {
      // The host's cells are left alone: nothing is written back.
      void* in = nullptr;
      void* out = nullptr;
      return b(getSpeakerArrangement(&in, &out));
    }
    case effShellGetNextPlugin: return ptr != nullptr ? getNextShellPlugin(text) : 0;
    case effStartProcess: return startProcess();
    case effStopProcess: return stopProcess();
    case effSetTotalSampleToProcess: return setTotalSampleToProcess(value);
    case effSetPanLaw: return b(setPanLaw(static_cast<VstInt32>(value), opt));
    case effBeginLoadBank: return beginLoadBank(ptr);
    case effBeginLoadProgram: return beginLoadProgram(ptr);
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}

// ---- host-call wrappers -----------------------------------------------------------------------

void AudioEffectX::wantEvents(VstInt32 filter) { callHost(audioMasterWantMidi, 0, filter); }

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
  return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
  return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

void AudioEffectX::setTime(VstInt32 filter, VstTimeInfo* timeInfo) {
  callHost(audioMasterSetTime, 0, filter, timeInfo);
}

VstInt32 AudioEffectX::tempoAt(VstInt32 pos) { return static_cast<VstInt32>(callHost(audioMasterTempoAt, 0, pos)); }

VstInt32 AudioEffectX::getNumAutomatableParameters() {
  return static_cast<VstInt32>(callHost(audioMasterGetNumAutomatableParameters));
}
VstInt32 AudioEffectX::getParameterQuantization() {
  return static_cast<VstInt32>(callHost(audioMasterGetParameterQuantization));
}
bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }
bool AudioEffectX::needIdle() { return callHost(audioMasterNeedIdle) != 0; }
bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
  return callHost(audioMasterSizeWindow, width, height) != 0;
}

float AudioEffectX::updateSampleRate() {
  const VstIntPtr answer = callHost(audioMasterGetSampleRate);
  if (answer > 0 && answer <= std::numeric_limits<VstInt32>::max()) setSampleRate(static_cast<float>(answer));
  return getSampleRate();
}

VstInt32 AudioEffectX::updateBlockSize() {
  const VstIntPtr answer = callHost(audioMasterGetBlockSize);
  if (answer > 0 && answer <= std::numeric_limits<VstInt32>::max()) setBlockSize(static_cast<VstInt32>(answer));
  return getBlockSize();
}

VstInt32 AudioEffectX::getInputLatency() { return static_cast<VstInt32>(callHost(audioMasterGetInputLatency)); }
VstInt32 AudioEffectX::getOutputLatency() { return static_cast<VstInt32>(callHost(audioMasterGetOutputLatency)); }
AEffect* AudioEffectX::getPreviousPlug() { return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug)); }
AEffect* AudioEffectX::getNextPlug() { return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug)); }
VstInt32 AudioEffectX::willProcessReplacing() {
  return static_cast<VstInt32>(callHost(audioMasterWillReplaceOrAccumulate));
}
VstInt32 AudioEffectX::getCurrentProcessLevel() {
  return static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel));
}
VstInt32 AudioEffectX::getAutomationState() { return static_cast<VstInt32>(callHost(audioMasterGetAutomationState)); }

bool AudioEffectX::offlineStart(void* audioFiles, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles) {
  return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles) != 0;
}
bool AudioEffectX::offlineRead(void* offline, VstInt32 option, bool readSource) {
  return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}
bool AudioEffectX::offlineWrite(void* offline, VstInt32 option) {
  return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}
VstInt32 AudioEffectX::offlineGetCurrentPass() { return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0; }
VstInt32 AudioEffectX::offlineGetCurrentMetaPass() {
  return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}
void AudioEffectX::setOutputSamplerate(float samplerate) {
  callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}
void* AudioEffectX::getOutputSpeakerArrangement() {
  return reinterpret_cast<void*>(callHost(audioMasterGetOutputSpeakerArrangement));
}
void* AudioEffectX::getInputSpeakerArrangement() {
  return reinterpret_cast<void*>(callHost(audioMasterGetInputSpeakerArrangement));
}
bool AudioEffectX::getHostVendorString(char* text) { return callHost(audioMasterGetVendorString, 0, 0, text) != 0; }
bool AudioEffectX::getHostProductString(char* text) { return callHost(audioMasterGetProductString, 0, 0, text) != 0; }
VstInt32 AudioEffectX::getHostVendorVersion() { return static_cast<VstInt32>(callHost(audioMasterGetVendorVersion)); }
VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg) {
  return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}
VstInt32 AudioEffectX::canHostDo(char* text) { return static_cast<VstInt32>(callHost(audioMasterCanDo, 0, 0, text)); }
VstInt32 AudioEffectX::getHostLanguage() { return static_cast<VstInt32>(callHost(audioMasterGetLanguage)); }
void* AudioEffectX::openWindow(void* window) {
  return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}
bool AudioEffectX::closeWindow(void* window) { return callHost(audioMasterCloseWindow, 0, 0, window) != 0; }
void* AudioEffectX::getDirectory() { return reinterpret_cast<void*>(callHost(audioMasterGetDirectory)); }
bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
bool AudioEffectX::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffectX::openFileSelector(void* selector) {
  if (selector == nullptr) return false;
  return callHost(audioMasterOpenFileSelector, 0, 0, selector) != 0;
}

// ---- flag setters -----------------------------------------------------------------------------

void AudioEffectX::isSynth(bool state) { setFlag(cEffect, effFlagsIsSynth, state); }
void AudioEffectX::noTail(bool state) { setFlag(cEffect, effFlagsNoSoundInStop, state); }
void AudioEffectX::wantAsyncOperation(bool state) { setFlag(cEffect, effFlagsExtIsAsync, state); }
void AudioEffectX::hasExternalBuffer(bool state) { setFlag(cEffect, effFlagsExtHasBuffer, state); }

// ---- defaults of the operations the dispatcher reaches -------------------------------------

VstInt32 AudioEffectX::processEvents(VstEvents*) { return 0; }
bool AudioEffectX::canParameterBeAutomated(VstInt32) { return true; }
bool AudioEffectX::string2parameter(VstInt32, char*) { return false; }
float AudioEffectX::getChannelParameter(VstInt32, VstInt32) { return 0.0f; }
VstInt32 AudioEffectX::getNumCategories() { return 1; }
bool AudioEffectX::getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
bool AudioEffectX::copyProgram(VstInt32) { return false; }
void AudioEffectX::inputConnected(VstInt32, bool) {}
void AudioEffectX::outputConnected(VstInt32, bool) {}
bool AudioEffectX::getInputProperties(VstInt32, VstPinProperties*) { return false; }
bool AudioEffectX::getOutputProperties(VstInt32, VstPinProperties*) { return false; }
VstInt32 AudioEffectX::getPlugCategory() {
  return (cEffect.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
}
VstInt32 AudioEffectX::reportCurrentPosition() { return 0; }
float* AudioEffectX::reportDestinationBuffer() { return nullptr; }
bool AudioEffectX::offlineNotify(void*, VstInt32, bool) { return false; }
bool AudioEffectX::offlinePrepare(void*, VstInt32) { return false; }
bool AudioEffectX::offlineRun(void*, VstInt32) { return false; }
VstInt32 AudioEffectX::offlineGetNumPasses() { return 0; }
VstInt32 AudioEffectX::offlineGetNumMetaPasses() { return 0; }
bool AudioEffectX::processVariableIo(void*) { return false; }
bool AudioEffectX::setSpeakerArrangement(VstIntPtr, void*) { return false; }
bool AudioEffectX::getSpeakerArrangement(void**, void**) { return false; }

void AudioEffectX::setBlockSizeAndSampleRate(VstInt32 size, float rate) {
  if (size > 0) blockSize.store(size, std::memory_order_relaxed);
  if (isUsableSampleRate(rate)) sampleRate.store(rate, std::memory_order_relaxed);
}

bool AudioEffectX::setBypass(bool) { return false; }
bool AudioEffectX::getEffectName(char*) { return false; }
bool AudioEffectX::getErrorText(char*) { return false; }
bool AudioEffectX::getVendorString(char*) { return false; }
bool AudioEffectX::getProductString(char*) { return false; }
VstInt32 AudioEffectX::getVendorVersion() { return 0; }
VstIntPtr AudioEffectX::vendorSpecific(VstInt32, VstIntPtr, void*, float) { return 0; }
VstInt32 AudioEffectX::canDo(char*) { return 0; }
void* AudioEffectX::getIcon() { return nullptr; }
bool AudioEffectX::setViewPosition(VstInt32, VstInt32) { return false; }
VstInt32 AudioEffectX::getGetTailSize() { return 0; }
VstInt32 AudioEffectX::fxIdle() { return 0; }
bool AudioEffectX::getParameterProperties(VstInt32, void*) { return false; }
bool AudioEffectX::keysRequired() { return false; }
VstInt32 AudioEffectX::getVstVersion() { return 2300; }
VstInt32 AudioEffectX::getMidiProgramName(VstInt32, void*) { return 0; }
VstInt32 AudioEffectX::getCurrentMidiProgram(VstInt32, void*) { return -1; }
VstInt32 AudioEffectX::getMidiProgramCategory(VstInt32, void*) { return 0; }
bool AudioEffectX::hasMidiProgramsChanged(VstInt32) { return false; }
bool AudioEffectX::getMidiKeyName(VstInt32, void*) { return false; }
bool AudioEffectX::beginSetProgram() { return false; }
bool AudioEffectX::endSetProgram() { return false; }
VstIntPtr AudioEffectX::setTotalSampleToProcess(VstIntPtr value) { return value; }
VstInt32 AudioEffectX::getNextShellPlugin(char*) { return 0; }
VstInt32 AudioEffectX::startProcess() { return 0; }
VstInt32 AudioEffectX::stopProcess() { return 0; }
bool AudioEffectX::setPanLaw(VstInt32, float) { return false; }
VstInt32 AudioEffectX::beginLoadBank(void*) { return 0; }
VstInt32 AudioEffectX::beginLoadProgram(void*) { return 0; }
bool AudioEffectX::allocateArrangement(void**, VstInt32) { return false; }
bool AudioEffectX::deallocateArrangement(void**) { return false; }
bool AudioEffectX::copySpeaker(void*, void*) { return false; }
bool AudioEffectX::matchArrangement(void**, void*) { return false; }
