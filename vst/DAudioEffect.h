// The base effect and the base editor: the effect record the host sees, the five entry functions
// stored in it, the base dispatcher (opcodes 0 to 24) and the base wrappers around the host
// callback. Concrete effects derive from AudioEffectX or, in this project, from TVstTemplate.
#pragma once

#include <atomic>
#include <memory>

#include "vst/DAEffect.h"

class AudioEffect;

// The editor interface both dispatchers reach. Lives on the host's user-interface thread only.
class AEffEditor {
 public:
  explicit AEffEditor(AudioEffect* effect);
  virtual ~AEffEditor();

  // Stores a pointer to the editor's rectangle in *rect (null here) and answers non-zero when it did.
  virtual VstInt32 getRect(ERect** rect);
  virtual VstInt32 open(void* ptr);
  virtual void close();
  virtual void idle();  // runs update() once after postUpdate()
  virtual void update();
  virtual void postUpdate();
  virtual VstInt32 onKeyDown(VstKeyCode& keyCode);
  virtual VstInt32 onKeyUp(VstKeyCode& keyCode);
  virtual VstInt32 setKnobMode(VstInt32 val);
  virtual bool onWheel(float distance);

  AudioEffect* getEffect() const { return effect; }
  void* getSystemWindow() const { return systemWindow; }

 protected:
  AudioEffect* effect;  // not owned
  void* systemWindow = nullptr;
  VstInt32 updateFlag = 0;
};

class AudioEffect {
 public:
  // audioMaster may be null: every host call then falls back to its no-host answer.
  AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
  virtual ~AudioEffect();  // destroys the attached editor

  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  // Ignores a rate that isUsableSampleRate refuses.
  virtual void setSampleRate(float sampleRate);
  // Ignores a size below 1.
  virtual void setBlockSize(VstInt32 blockSize);
  virtual void setParameter(VstInt32 index, float value);
  virtual float getParameter(VstInt32 index);
  // setParameter, then tells the host (audioMasterAutomate) the normalised value it stored.
  virtual void setParameterAutomated(VstInt32 index, float value);
  virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
  virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);
  virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  virtual void open();
  virtual void close();
  virtual VstInt32 getProgram();
  virtual void setProgram(VstInt32 program);
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);
  virtual void getParameterLabel(VstInt32 index, char* label);
  virtual void getParameterDisplay(VstInt32 index, char* text);
  virtual void getParameterName(VstInt32 index, char* text);
  virtual float getVu();
  virtual VstInt32 getChunk(void** data, bool isPreset = false);
  virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false);
  virtual void suspend();
  virtual void resume();
  virtual void setUniqueID(VstInt32 iD);
  virtual void setNumInputs(VstInt32 inputs);
  virtual void setNumOutputs(VstInt32 outputs);
  virtual void hasVu(bool state = true);
  virtual void hasClip(bool state = true);
  virtual void canMono(bool state = true);
  virtual void canProcessReplacing(bool state = true);
  virtual void programsAreChunks(bool state = true);
  virtual void setRealtimeQualities(VstInt32 qualities);
  virtual void setOfflineQualities(VstInt32 qualities);
  virtual void setInitialDelay(VstInt32 delay);
  virtual VstInt32 getMasterVersion();  // 1 without host or when the host answers 0
  virtual VstInt32 getCurrentUniqueId();
  virtual void masterIdle();
  virtual bool isInputConnected(VstInt32 input);
  virtual bool isOutputConnected(VstInt32 output);

  // The one place that decides which sample rates are taken (effSetSampleRate, 43 and
  // updateSampleRate). The base takes every finite positive rate; an effect may tighten it.
  virtual bool isUsableSampleRate(float rate) const;

  // Attaches an editor (owned from now on; a different previous one is destroyed) or, with null,
  // detaches and destroys it. Sets or clears effFlagsHasEditor.
  void setEditor(AEffEditor* newEditor);
  AEffEditor* getEditor() const { return editor.get(); }
  AEffect* getAeffect() { return &cEffect; }
  // Whether a call to the host is under way (on any thread): a request the host makes from inside
  // it may find code of ours still running below it.
  bool inHostCall() const;
  audioMasterCallback getAudioMaster() const { return audioMaster; }

  float getSampleRate() const { return sampleRate.load(std::memory_order_relaxed); }
  VstInt32 getBlockSize() const { return blockSize.load(std::memory_order_relaxed); }
  VstInt32 getNumPrograms() const { return numPrograms; }
  VstInt32 getNumParams() const { return numParams; }

  // NaN becomes 0, values above 1 become 1 and below 0 become 0.
  static float clampNormalised(float value) noexcept;

  // The entry functions stored in the record. None lets an exception reach the host.
  static VstIntPtr VSTCALLBACK dispatcherEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                               float opt);
  static void VSTCALLBACK processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames);
  static void VSTCALLBACK processReplacingEntry(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames);
  static void VSTCALLBACK setParameterEntry(AEffect* e, VstInt32 index, float value);
  static float VSTCALLBACK getParameterEntry(AEffect* e, VstInt32 index);

 protected:
  // Calls the host with this effect's record; answers `fallback` when there is no host callback.
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f,
                     VstIntPtr fallback = 0) const;

  AEffect cEffect{};
  std::atomic<float> sampleRate{44100.0f};  // written by the dispatcher, read by processing
  std::unique_ptr<AEffEditor> editor;
  VstInt32 numPrograms;
  VstInt32 numParams;
  std::atomic<VstInt32> blockSize{1024};
  std::atomic<VstInt32> curProgram{0};  // read by parameter access on any thread
  audioMasterCallback audioMaster;
  // Calls to the host under way, counted by the calling thread: each of the first kHostCallers
  // threads of the process to call a host has a counter of its own, which it alone writes, so
  // that counting takes no locked instruction (one that waits for every store before it); later
  // threads share the last counter.
  static constexpr int kHostCallers = 8;
  mutable std::atomic<int> hostCalls[kHostCallers + 1]{};
  // This thread's counter: its own for the first kHostCallers threads, else the shared last one.
  static int hostCallerIndex();
};
