// The extended effect: dispatcher for opcodes 25 to 76 with a default answer for each, the
// extended host-call wrappers (each answers its no-host value when there is no host callback) and
// four more flag setters. Adds no fields.
#pragma once

#include "vst/DAudioEffect.h"

class AudioEffectX : public AudioEffect {
 public:
  AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
  ~AudioEffectX() override;

  // Opcodes 25 to 76; every other opcode goes to AudioEffect::dispatcher. Booleans answer 1 or 0.
  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

  virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
  virtual void setTime(VstInt32 filter, VstTimeInfo* timeInfo);
  virtual VstInt32 tempoAt(VstInt32 pos);  // beats per minute x 10000, 0 when unknown
  virtual VstInt32 processEvents(VstEvents* events);
  virtual VstInt32 getNumAutomatableParameters();
  virtual VstInt32 getParameterQuantization();
  virtual bool canParameterBeAutomated(VstInt32 index);
  virtual bool string2parameter(VstInt32 index, char* text);
  virtual float getChannelParameter(VstInt32 channel, VstInt32 index);
  virtual VstInt32 getNumCategories();
  virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text);
  virtual bool copyProgram(VstInt32 destination);
  virtual bool ioChanged();
  virtual bool needIdle();
  virtual bool sizeWindow(VstInt32 width, VstInt32 height);
  virtual float updateSampleRate();  // asks the host, takes a usable positive answer, returns sampleRate
  virtual VstInt32 updateBlockSize();
  virtual VstInt32 getInputLatency();
  virtual VstInt32 getOutputLatency();
  virtual AEffect* getPreviousPlug();
  virtual AEffect* getNextPlug();
  virtual void inputConnected(VstInt32 index, bool state);
  virtual void outputConnected(VstInt32 index, bool state);
  virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties);
  virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties);
  virtual VstInt32 getPlugCategory();
  virtual VstInt32 willProcessReplacing();
  virtual VstInt32 getCurrentProcessLevel();
  virtual VstInt32 getAutomationState();
  virtual void wantAsyncOperation(bool state = true);
  virtual void hasExternalBuffer(bool state = true);
  virtual VstInt32 reportCurrentPosition();
  virtual float* reportDestinationBuffer();
  virtual bool offlineRead(void* offline, VstInt32 option, bool readSource = true);
  virtual bool offlineWrite(void* offline, VstInt32 option);
  virtual bool offlineStart(void* audioFiles, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles);
  virtual VstInt32 offlineGetCurrentPass();
  virtual VstInt32 offlineGetCurrentMetaPass();
  virtual bool offlineNotify(void* audioFiles, VstInt32 numAudioFiles, bool start);
  virtual bool offlinePrepare(void* offline, VstInt32 count);
  virtual bool offlineRun(void* offline, VstInt32 count);
  virtual VstInt32 offlineGetNumPasses();
  virtual VstInt32 offlineGetNumMetaPasses();
  virtual void setOutputSamplerate(float samplerate);
  virtual void* getInputSpeakerArrangement();
  virtual void* getOutputSpeakerArrangement();
  virtual bool getHostVendorString(char* text);
  virtual bool getHostProductString(char* text);
  virtual VstInt32 getHostVendorVersion();
  virtual VstIntPtr hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg);
  virtual VstInt32 canHostDo(char* text);
  virtual void isSynth(bool state = true);
  virtual void noTail(bool state = true);
  virtual VstInt32 getHostLanguage();
  virtual void* openWindow(void* window);
  virtual bool closeWindow(void* window);
  virtual void* getDirectory();
  virtual bool updateDisplay();
  virtual bool processVariableIo(void* varIo);
  virtual bool setSpeakerArrangement(VstIntPtr pluginInput, void* pluginOutput);
  virtual bool getSpeakerArrangement(void** pluginInput, void** pluginOutput);
  // Stores both fields directly, without setBlockSize or setSampleRate; unusable values are kept out.
  virtual void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate);
  virtual bool setBypass(bool onOff);
  virtual bool getEffectName(char* name);
  virtual bool getErrorText(char* text);
  virtual bool getVendorString(char* text);
  virtual bool getProductString(char* text);
  virtual VstInt32 getVendorVersion();
  virtual VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg);
  virtual VstInt32 canDo(char* text);  // 1 yes, 0 no, -1 unknown
  virtual void* getIcon();
  virtual bool setViewPosition(VstInt32 x, VstInt32 y);
  virtual VstInt32 getGetTailSize();
  virtual VstInt32 fxIdle();
  virtual bool getParameterProperties(VstInt32 index, void* properties);
  virtual bool keysRequired();
  virtual VstInt32 getVstVersion();
  virtual VstInt32 getMidiProgramName(VstInt32 channel, void* midiProgramName);
  virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, void* currentProgram);
  virtual VstInt32 getMidiProgramCategory(VstInt32 channel, void* category);
  virtual bool hasMidiProgramsChanged(VstInt32 channel);
  virtual bool getMidiKeyName(VstInt32 channel, void* keyName);
  virtual bool beginSetProgram();
  virtual bool endSetProgram();
  virtual bool beginEdit(VstInt32 index);
  virtual bool endEdit(VstInt32 index);
  virtual bool openFileSelector(void* selector);  // false without a call when selector is null
  virtual VstIntPtr setTotalSampleToProcess(VstIntPtr value);
  virtual VstInt32 getNextShellPlugin(char* name);
  virtual VstInt32 startProcess();
  virtual VstInt32 stopProcess();
  virtual bool setPanLaw(VstInt32 type, float val);
  virtual VstInt32 beginLoadBank(void* ptr);
  virtual VstInt32 beginLoadProgram(void* ptr);
  // Speaker-arrangement helpers; nothing here uses them and each answers false.
  virtual bool allocateArrangement(void** arrangement, VstInt32 nbChannels);
  virtual bool deallocateArrangement(void** arrangement);
  virtual bool copySpeaker(void* to, void* from);
  virtual bool matchArrangement(void** to, void* from);

  void wantEvents(VstInt32 filter = 1);
  bool sendVstEventsToHost(VstEvents* events);
};
